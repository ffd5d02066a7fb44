#include "search/folder_walk.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "text/cp932.h"
#include "text/file_bytes.h"
#include "text/foreign_names.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

enum class EntryKind { Folder, File, Other };

struct Entry {
  std::string name;
  unsigned char type;
};

int64_t FileTime(const struct stat& st) { return FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec); }

// Mask tests see the name in Shift-JIS, as the masks are.
std::string MaskName(const std::string& name) { return NameToCp932(name); }

class Walker {
 public:
  // Open folder descriptors kept at once: the deepest ones and the target's.
  static constexpr size_t kOpenLevels = 32;

  Walker(const WalkRules& rules, WalkObserver& observer) : rules_(rules), observer_(observer) {}
  ~Walker() {
    for (Level& l : chain_) Close(l);
  }

  void Target(const std::string& path) {
    if (observer_.StopWalking()) return;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
      observer_.CannotList(path, errno);
      return;
    }
    if (!S_ISDIR(st.st_mode)) {
      const std::string name = MaskName(FileNameOf(path));
      WalkItem item;
      item.file = FileRef::FromPath(path);
      item.archive = Archive(name);
      if (!item.archive) {
        item.filter_match = rules_.filters && rules_.filter_masks && rules_.filter_masks->Matches(name);
        item.last_write_time = FileTime(st);
      }
      observer_.FileFound(item);
      return;
    }
    const std::string folder = path.back() == '/' ? path : path + "/";
    chain_.push_back({path, -1, folder});
    Folder();
    Close(chain_.back());
    chain_.pop_back();
  }

 private:
  struct Level {
    std::string name;  // the path itself for the target
    int fd;            // -1 while closed
    std::string path;  // with a trailing '/'
  };

  static void Close(Level& l) {
    if (l.fd >= 0) close(l.fd);
    l.fd = -1;
  }

  bool Archive(const std::string& sj_name) const {
    return rules_.archives && rules_.archive_masks && rules_.archive_masks->Matches(sj_name);
  }

  // The descriptor of level i, opened from the nearest open level above it,
  // one name at a time. -1 with errno when it cannot be opened.
  int LevelFd(size_t i) {
    if (chain_[i].fd >= 0) return chain_[i].fd;
    size_t from = i;
    while (from > 0 && chain_[from].fd < 0) --from;
    if (chain_[from].fd < 0) {
      chain_[0].fd = open(chain_[0].name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (chain_[0].fd < 0) return -1;
    }
    for (size_t k = from + 1; k <= i; ++k) {
      chain_[k].fd = openat(chain_[k - 1].fd, chain_[k].name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (chain_[k].fd < 0) return -1;
      // On the way down only the deepest levels stay open: a chain opened
      // again from near the top must not hold a descriptor per level.
      if (k - 1 > 0 && k - 1 + kOpenLevels < chain_.size()) Close(chain_[k - 1]);
    }
    // Keep the target and the deepest levels; the rest are opened again when needed.
    for (size_t k = 1; k + kOpenLevels < chain_.size(); ++k) Close(chain_[k]);
    return chain_[i].fd;
  }

  // The entries of the deepest level in name order, "." and ".." left out.
  bool List(std::vector<Entry>& entries) {
    int fd = LevelFd(chain_.size() - 1);
    int listing = fd < 0 ? -1 : dup(fd);
    DIR* dir = listing < 0 ? nullptr : fdopendir(listing);
    if (!dir) {
      int error = errno;
      if (listing >= 0) close(listing);
      observer_.CannotList(chain_.back().path, error);
      return false;
    }
    rewinddir(dir);
    errno = 0;
    while (dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") entries.push_back({std::move(name), e->d_type});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return true;
  }

  EntryKind KindOf(int dir_fd, const Entry& e, struct stat& st) {
    if (e.type == DT_DIR) return EntryKind::Folder;
    if (e.type != DT_REG && e.type != DT_LNK && e.type != DT_UNKNOWN) return EntryKind::Other;
    if (fstatat(dir_fd, e.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::Other;
    if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
    if (S_ISREG(st.st_mode)) return EntryKind::File;
    if (!S_ISLNK(st.st_mode)) return EntryKind::Other;
    // A link to a file is a file; a link to a folder is not followed.
    if (fstatat(dir_fd, e.name.c_str(), &st, 0) != 0) return EntryKind::Other;
    return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
  }

  // Walks the deepest level of the chain; false when the observer stopped it.
  bool Folder() {
    const size_t level = chain_.size() - 1;
    const std::string folder = chain_[level].path;
    const std::string shown = level == 0 ? chain_[0].name : folder;
    std::vector<Entry> entries;
    if (!List(entries)) return true;
    for (const Entry& e : entries) {
      const std::string full = folder + e.name;
      if (rules_.subfolders) observer_.ListingFolder(shown);
      observer_.EntryReached();
      const int dir_fd = LevelFd(level);
      if (dir_fd < 0) {
        // The folder cannot be reached again (no descriptor left, or it was
        // moved): what is left of it is said, not passed over.
        observer_.CannotList(folder, errno);
        return true;
      }
      struct stat st;
      const EntryKind kind = KindOf(dir_fd, e, st);
      if (kind == EntryKind::Folder && rules_.subfolders && e.name[0] != '.') {
        chain_.push_back({e.name, -1, full + "/"});
        Folder();
        Close(chain_.back());
        chain_.pop_back();
      }
      if (observer_.StopWalking()) return false;
      if (kind != EntryKind::File) continue;
      // Half-written new content of a file being replaced (or left by a
      // writer that was killed) is no file of the user's.
      if (IsWriterTemporaryName(e.name)) continue;
      const std::string sj_name = MaskName(e.name);
      WalkItem item;
      item.file = {full, LevelFd(level), e.name};
      if (Archive(sj_name)) {
        item.archive = true;
        observer_.FileFound(item);
        continue;
      }
      const bool target_match = rules_.target_masks && rules_.target_masks->Matches(sj_name);
      const bool selected = rules_.find_mode == 0 ? target_match : !target_match;
      if (!selected) continue;
      item.filter_match = rules_.filters && rules_.filter_masks && rules_.filter_masks->Matches(sj_name);
      item.last_write_time = FileTime(st);
      observer_.FileFound(item);
    }
    return true;
  }

  const WalkRules& rules_;
  WalkObserver& observer_;
  std::vector<Level> chain_;
};

}  // namespace

int64_t FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
  return (seconds + 11644473600LL) * 10000000LL + nanoseconds / 100;
}

void WalkTarget(const std::string& target, const WalkRules& rules, WalkObserver& observer) {
  Walker(rules, observer).Target(target);
}

}  // namespace lorvek
