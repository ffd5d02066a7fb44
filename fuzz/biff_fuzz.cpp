// The BIFF record reader over hostile workbook streams.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sources/excel_biff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lorvek::TXBiff biff;
  size_t cells = 0;
  biff.OnReadCell = [&](const lorvek::ExcelCell&) { return ++cells < 100000; };
  try {
    biff.ReadStream(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const lorvek::EExcelError&) {
  }
  return 0;
}
