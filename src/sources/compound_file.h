// Streams of an OLE compound file (the container of .doc and .xls files),
// read with libgsf.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lorvek {

inline constexpr std::string_view kCompoundSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

class CompoundFile {
 public:
  // The compound file at path, or nullopt when it cannot be read as one.
  static std::optional<CompoundFile> Open(const std::string& path);
  // The same from bytes already in memory (copied).
  static std::optional<CompoundFile> FromBytes(std::string_view bytes);

  // The whole of the first top-level stream whose name is one of names, in
  // the order given and without regard to case; nullopt when there is none,
  // it cannot be read, or it is larger than max_bytes.
  std::optional<std::string> Stream(const std::vector<std::string>& names,
                                    size_t max_bytes = size_t{1} << 30) const;

  struct Handle;  // libgsf's objects, opaque here

 private:
  explicit CompoundFile(std::shared_ptr<Handle> handle) : handle_(std::move(handle)) {}
  std::shared_ptr<Handle> handle_;
};

}  // namespace lorvek
