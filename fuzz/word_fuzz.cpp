// The Word reader over hostile files: the compound file, the file
// information block and piece table, and the fixed layouts.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "sources/word_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    lorvek::ExtractWordTextFromBytes(std::string_view(reinterpret_cast<const char*>(data), size),
                                     [](std::string_view, int) { return true; });
  } catch (const std::exception&) {
  }
  return 0;
}
