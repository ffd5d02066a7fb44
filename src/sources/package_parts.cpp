#include "sources/package_parts.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>
#include <vector>

#include "sources/xml_walk.h"

namespace lorvek {
namespace {

struct ArchiveFree {
  void operator()(archive* a) const { archive_read_free(a); }
};

[[noreturn]] void Fail(archive* a, const char* what) {
  const char* reason = a ? archive_error_string(a) : nullptr;
  throw DocumentError(std::string(what) + (reason ? std::string(": ") + reason : std::string()));
}

PackageParts ReadOpened(archive* a, const std::function<bool(const std::string& name)>& wanted,
                        const PackageLimits& limits) {
  PackageParts parts;
  uint64_t total = 0;
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    archive_entry* entry = nullptr;
    const int r = archive_read_next_header(a, &entry);
    if (r == ARCHIVE_EOF) break;
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) Fail(a, "ZIPの見出しが壊れています");
    const char* stored = archive_entry_pathname(entry);
    if (!stored || archive_entry_filetype(entry) != AE_IFREG) continue;
    std::string name = stored;
    if (!name.empty() && name[0] == '/') name.erase(0, 1);
    if (!wanted(name)) continue;
    if (archive_entry_is_encrypted(entry)) throw DocumentError("暗号化された部分があります: " + name);
    std::string bytes;
    for (;;) {
      const la_ssize_t n = archive_read_data(a, buffer.data(), buffer.size());
      if (n < 0) Fail(a, "ZIPの展開に失敗しました");
      if (n == 0) break;
      total += static_cast<uint64_t>(n);
      if (bytes.size() + static_cast<size_t>(n) > limits.part_bytes || total > limits.total_bytes)
        throw DocumentError("展開後のサイズが上限を超えます: " + name);
      bytes.append(buffer.data(), static_cast<size_t>(n));
    }
    parts[name] = std::move(bytes);
  }
  return parts;
}

}  // namespace

PackageParts ReadPackageParts(const std::string& path, const std::function<bool(const std::string& name)>& wanted,
                              const PackageLimits& limits) {
  std::unique_ptr<archive, ArchiveFree> owner(archive_read_new());
  archive_read_support_format_zip(owner.get());
  if (archive_read_open_filename(owner.get(), path.c_str(), 64 * 1024) != ARCHIVE_OK)
    Fail(owner.get(), "ZIP形式の文書ではありません");
  return ReadOpened(owner.get(), wanted, limits);
}

PackageParts ReadPackagePartsFromBytes(std::string_view bytes,
                                       const std::function<bool(const std::string& name)>& wanted,
                                       const PackageLimits& limits) {
  std::unique_ptr<archive, ArchiveFree> owner(archive_read_new());
  archive_read_support_format_zip(owner.get());
  if (archive_read_open_memory(owner.get(), bytes.data(), bytes.size()) != ARCHIVE_OK)
    Fail(owner.get(), "ZIP形式の文書ではありません");
  return ReadOpened(owner.get(), wanted, limits);
}

std::string ResolvePartName(const std::string& base_folder, const std::string& target) {
  std::vector<std::string> segments;
  auto add = [&](const std::string& text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t slash = text.find('/', start);
      if (slash == std::string::npos) slash = text.size();
      const std::string part = text.substr(start, slash - start);
      if (part == "..") {
        if (segments.empty()) return false;
        segments.pop_back();
      } else if (!part.empty() && part != ".") {
        segments.push_back(part);
      }
      start = slash + 1;
    }
    return true;
  };
  if (target.empty()) return "";
  if (target[0] != '/' && !add(base_folder)) return "";
  if (!add(target)) return "";
  std::string out;
  for (const std::string& s : segments) out += (out.empty() ? "" : "/") + s;
  return out;
}

}  // namespace lorvek
