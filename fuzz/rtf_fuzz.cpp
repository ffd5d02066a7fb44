// The RTF converter and the HTML tag stripper over hostile text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sources/html_strip.h"
#include "sources/rtf_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  lorvek::RtfToLines(bytes);
  lorvek::StripHtmlTags(bytes);
  return 0;
}
