#include <cstddef>
#include <cstdint>
#include <string>

#include "text/conversion.h"
#include "text/text_codec.h"

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
  // The codec never loses a byte it was not asked to change.
  for (int32_t code : {0, 2, 3, 4, 5, 7, 8, 9, 10}) {
    try {
      lorvek::DecodedText d =
          lorvek::DecodeFileText(s, lorvek::TextFileFormat::FromCodes(code, 1), {.check_round_trip = true});
      if (lorvek::RebuildFileBytes(s, d, {}) != s) __builtin_trap();
      if (d.LossyLines().empty() && lorvek::EncodeFileText(d.Lines(), d.format).size() > 0 && d.size() == 1 &&
          lorvek::RebuildFileBytes(s, d, {{0, std::string(d.Line(0))}}) != s)
        __builtin_trap();
    } catch (const lorvek::EConversionError&) {
    }
  }
  return 0;
}
