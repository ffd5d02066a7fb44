#include "search/folder_walk.h"

#include <dirent.h>
#include <sys/stat.h>

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

std::string NamePart(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class Walker {
 public:
  Walker(const WalkRules& rules, WalkObserver& observer) : rules_(rules), observer_(observer) {}

  void Target(const std::string& path) {
    if (observer_.StopWalking()) return;
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
      const std::string name = MaskName(NamePart(path));
      WalkItem item;
      item.path = path;
      item.archive = Archive(name);
      if (!item.archive) {
        item.filter_match = rules_.filters && rules_.filter_masks && rules_.filter_masks->Matches(name);
        item.last_write_time = LastWriteTime(path);
      }
      observer_.FileFound(item);
      return;
    }
    Folder(path);
  }

 private:
  // Mask tests see the name in Shift-JIS, as the masks are.
  static std::string MaskName(const std::string& name) { return ExternalToCp932(name); }

  bool Archive(const std::string& sj_name) const {
    return rules_.archives && rules_.archive_masks && rules_.archive_masks->Matches(sj_name);
  }

  // Returns false when the observer stopped the walk.
  bool Folder(const std::string& path) {
    const std::string folder = (!path.empty() && path.back() == '/') ? path : path + "/";
    DirCloser dir{opendir(folder.c_str())};
    if (!dir.d) return true;  // a folder that cannot be listed yields nothing
    while (dirent* entry = readdir(dir.d)) {
      const std::string name = entry->d_name;
      const std::string full = folder + name;
      if (rules_.subfolders) observer_.ListingFolder(path);
      observer_.EntryReached();
      const EntryKind kind = (name == "." || name == "..") ? EntryKind::Folder : KindOf(full, entry->d_type);
      if (kind == EntryKind::Folder && rules_.subfolders && name[0] != '.') Folder(full + "/");
      if (observer_.StopWalking()) return false;
      if (kind != EntryKind::File) continue;
      const std::string sj_name = MaskName(name);
      WalkItem item;
      item.path = full;
      if (Archive(sj_name)) {
        item.archive = true;
        observer_.FileFound(item);
        continue;
      }
      const bool target_match = rules_.target_masks && rules_.target_masks->Matches(sj_name);
      const bool selected = rules_.find_mode == 0 ? target_match : !target_match;
      if (!selected) continue;
      item.filter_match = rules_.filters && rules_.filter_masks && rules_.filter_masks->Matches(sj_name);
      item.last_write_time = LastWriteTime(full);
      observer_.FileFound(item);
    }
    return true;
  }

  const WalkRules& rules_;
  WalkObserver& observer_;
};

}  // namespace

int64_t FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
  return (seconds + 11644473600LL) * 10000000LL + nanoseconds / 100;
}

void WalkTarget(const std::string& target, const WalkRules& rules, WalkObserver& observer) {
  Walker(rules, observer).Target(target);
}

}  // namespace lorvek
