#include "search/open_path.h"

#include <sys/stat.h>

#include "sources/archive_reader.h"

namespace lorvek {
namespace {

// Whether path names an archive on disk: a regular file with an archive's
// extension.
bool IsArchiveFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ArchiveFormatOf(path) != ArchiveFormat::None;
}

}  // namespace

OpenPath OpenPath::Parse(std::string_view text) {
  if (text.empty() || text[0] != '@') return Plain(std::string(text));
  const size_t first = text.find('@', 1);
  if (first == std::string_view::npos) return Plain(std::string(text.substr(1)));
  // Folder names (me@host, @scope) and member names may both hold "@": the
  // archive is the longest part before an "@" that is an archive on disk.
  // When none is there any more, the first "@" splits.
  for (size_t at = text.rfind('@'); at > first && at != std::string_view::npos; at = text.rfind('@', at - 1)) {
    const std::string archive(text.substr(1, at - 1));
    if (IsArchiveFile(archive)) return Member(archive, std::string(text.substr(at + 1)));
  }
  return Member(std::string(text.substr(1, first - 1)), std::string(text.substr(first + 1)));
}

std::string OpenPath::Text() const { return IsMember() ? "@" + file + "@" + member : file; }

std::string OpenPath::DisplayPath() const { return IsMember() ? file + "/" + member : file; }

std::string OpenPath::StatusPath() const { return IsMember() ? file + " / " + member : file; }

}  // namespace lorvek
