#include "replace/backup_names.h"

#include <dirent.h>
#include <sys/stat.h>

#include <set>

#include "text/path_names.h"

namespace lorvek {

std::string BackupStem(const std::string& name) {
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bak") == 0) return name.substr(0, name.size() - 4);
  const size_t open = name.rfind(".bak(");
  if (open == std::string::npos || open == 0 || name.back() != ')') return "";
  const size_t digits = open + 5, end = name.size() - 1;
  if (digits >= end || name.find_first_not_of("0123456789", digits) != end) return "";
  return name.substr(0, open);
}

std::string BackupName(const std::string& path) {
  // A name taken by anything, a link to nowhere included, is not written to.
  const std::string base = WithoutExtension(path);
  if (!EntryExists(base + ".bak")) return base + ".bak";
  for (int n = 1;; ++n) {
    std::string name = base + ".bak(" + std::to_string(n) + ")";
    if (!EntryExists(name)) return name;
  }
}

std::set<std::string> RegularFileNames(const std::string& folder) {
  std::set<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* e = readdir(dir)) {
    struct stat st;
    if (fstatat(dirfd(dir), e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode)) names.insert(e->d_name);
  }
  closedir(dir);
  return names;
}

bool IsBackupBesideItsFile(const std::string& name, const std::set<std::string>& beside) {
  const std::string stem = BackupStem(name);
  if (stem.empty()) return false;
  if (beside.count(stem)) return true;
  // The stem and the one extension the backup's name dropped.
  for (auto it = beside.lower_bound(stem + "."); it != beside.end() && it->compare(0, stem.size() + 1, stem + ".") == 0;
       ++it)
    if (*it != name && it->size() > stem.size() + 1 && it->find('.', stem.size() + 1) == std::string::npos &&
        BackupStem(*it).empty())
      return true;
  return false;
}

bool IsBackupBesideItsFile(const std::string& path) {
  return IsBackupBesideItsFile(FileNameOf(path), RegularFileNames(FolderOfFile(path)));
}

}  // namespace lorvek
