#include <cstddef>
#include <cstdint>
#include <string>

#include "text/conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string s(reinterpret_cast<const char*>(data), size);
  lorvek::JisToSjis(s);
  lorvek::EucToSjis(s);
  lorvek::SjisToJis(s);
  lorvek::SjisToEuc(s);
  lorvek::Utf16ToSjis(s, false);
  lorvek::Utf16ToSjis(s, true);
  lorvek::SjisToUtf8(s, true);
  lorvek::ToInternalText(s);
  lorvek::ConvertLineBreaks(s, 1);
  lorvek::ConvertLineBreaks(s, 3);
  try {
    lorvek::Utf8ToSjis(s, size > 0 && data[0] & 1);
  } catch (const lorvek::EConversionError&) {
  }
  return 0;
}
