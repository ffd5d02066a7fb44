// The parts of a zip-packaged document (Office Open XML, OpenDocument),
// read into memory through libarchive with bounds on what they inflate to.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace lorvek {

struct PackageLimits {
  uint64_t part_bytes = uint64_t{256} << 20;   // one part, inflated
  uint64_t total_bytes = uint64_t{1} << 30;    // every part read from one package
};

// Part name (as stored, e.g. "word/document.xml") to its bytes.
using PackageParts = std::map<std::string, std::string>;

// Reads the parts whose names wanted accepts. Raises DocumentError when the
// file is not a zip package, a part is encrypted or damaged, or a bound is
// passed.
PackageParts ReadPackageParts(const std::string& path, const std::function<bool(const std::string& name)>& wanted,
                              const PackageLimits& limits = {});

// The same from a package already in memory.
PackageParts ReadPackagePartsFromBytes(std::string_view bytes,
                                       const std::function<bool(const std::string& name)>& wanted,
                                       const PackageLimits& limits = {});

// A relationship target made a part name: relative to the folder of the
// part that refers to it ("xl/" + "worksheets/sheet1.xml"), or absolute
// from the package's root ("/xl/..."); ".." steps up. Empty when it climbs
// out of the package.
std::string ResolvePartName(const std::string& base_folder, const std::string& target);

}  // namespace lorvek
