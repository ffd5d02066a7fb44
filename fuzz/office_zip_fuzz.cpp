// The package reading of the office readers over hostile zip files: the
// parts read with small bounds, then every reader over what was read.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "sources/office_text.h"
#include "sources/package_parts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lorvek;
  PackageLimits limits;
  limits.part_bytes = 8 << 20;
  limits.total_bytes = 16 << 20;
  try {
    const PackageParts parts = ReadPackagePartsFromBytes(std::string_view(reinterpret_cast<const char*>(data), size),
                                                         [](const std::string&) { return true; }, limits);
    const auto line = [](std::string_view) { return true; };
    const auto cell = [](const ExcelCell&) { return true; };
    try { ReadWordXmlLines(parts, line); } catch (const std::exception&) {}
    try { ReadSheetXmlCells(parts, cell); } catch (const std::exception&) {}
    try { ReadSlideXmlLines(parts, line); } catch (const std::exception&) {}
    if (auto it = parts.find("content.xml"); it != parts.end()) {
      try { ReadOdfLines(it->second, line); } catch (const std::exception&) {}
      try { ReadOdfCells(it->second, cell); } catch (const std::exception&) {}
    }
  } catch (const std::exception&) {
  }
  return 0;
}
