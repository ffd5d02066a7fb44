#include <cstddef>
#include <cstdint>
#include <string>

#include "text/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string buf(reinterpret_cast<const char*>(data), size);
  lorvek::DetectCode(buf, size, true);
  lorvek::DetectCode(buf, size, false);
  lorvek::ProbeBufferCode(buf);
  lorvek::DetectLineBreak(buf);
  return 0;
}
