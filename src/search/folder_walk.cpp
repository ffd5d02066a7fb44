// The walk over one target: a folder (optionally with its subfolders, in the
// order the file system lists them) or a single file.
#include <dirent.h>
#include <sys/stat.h>

#include "search/search_run.h"
#include "text/cp932.h"

namespace lorvek {
namespace {

struct DirCloser {
  DIR* d;
  ~DirCloser() {
    if (d) closedir(d);
  }
};

enum class EntryKind { Folder, File, Other };

// Symbolic links to folders are not followed (a link loop must not hang the
// walk); a link to a file is a file; dangling links and devices are passed over.
EntryKind KindOf(const std::string& full, unsigned char d_type) {
  if (d_type == DT_DIR) return EntryKind::Folder;
  if (d_type == DT_REG) return EntryKind::File;
  struct stat st;
  if (d_type == DT_UNKNOWN) {
    if (lstat(full.c_str(), &st) != 0) return EntryKind::Other;
    if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
    if (S_ISREG(st.st_mode)) return EntryKind::File;
    if (!S_ISLNK(st.st_mode)) return EntryKind::Other;
  } else if (d_type != DT_LNK) {
    return EntryKind::Other;
  }
  if (stat(full.c_str(), &st) != 0) return EntryKind::Other;
  return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
}

int64_t LastWriteTime(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 0;
  return FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

}  // namespace

void SearchRun::SearchTarget(const std::string& path, bool sub) {
  source_.archive_mode = false;
  if (abort_requested_) return;
  struct stat st;
  bool single_file = stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  // Mask tests see the name in Shift-JIS, as the masks are.
  auto mask_name = [](const std::string& name) { return ExternalToCp932(name); };
  if (single_file) {
    std::string name = FileNamePart(path);
    if (options_.find_also_archive && hooks_.search_archive && WildMatch2().Matches(mask_name(name))) {
      hooks_.search_archive(*this, path);
      CountSearchedFile();
      return;
    }
    bool filter_match = options_.use_filter && WildMatch3().Matches(mask_name(name));
    source_.path = path;
    source_.last_write_time = LastWriteTime(path);
    front_end_.SetStatusText(0, PathForDisplay(path));
    SearchFile(path, filter_match);
    CountSearchedFile();
    return;
  }
  const std::string folder = (!path.empty() && path.back() == '/') ? path : path + "/";
  DirCloser dir{opendir(folder.c_str())};
  if (!dir.d) return;  // a folder that cannot be listed yields nothing
  while (dirent* entry = readdir(dir.d)) {
    const std::string name = entry->d_name;
    const std::string full = folder + name;
    if (sub) front_end_.SetStatusText(0, PathForDisplay(path));
    front_end_.ProcessPendingEvents();
    const EntryKind kind = (name == "." || name == "..") ? EntryKind::Folder : KindOf(full, entry->d_type);
    if (kind == EntryKind::Folder && sub && name[0] != '.') SearchTarget(full + "/", sub);
    if (abort_requested_) return;
    if (kind != EntryKind::File) continue;
    const std::string sj_name = mask_name(name);
    if (options_.find_also_archive && hooks_.search_archive && WildMatch2().Matches(sj_name)) {
      hooks_.search_archive(*this, full);
      CountSearchedFile();
      continue;
    }
    const bool target_match = WildMatch1().Matches(sj_name);
    const bool filter_match = options_.use_filter && WildMatch3().Matches(sj_name);
    const bool selected = options_.find_mode == 0 ? target_match : !target_match;
    if (!selected) continue;
    source_.path = full;
    source_.last_write_time = LastWriteTime(full);
    front_end_.SetStatusText(0, PathForDisplay(full));
    SearchFile(full, filter_match);
    CountSearchedFile();
  }
}

}  // namespace lorvek
