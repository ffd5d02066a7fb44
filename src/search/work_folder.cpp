#include "search/work_folder.h"

#include "sources/child_groups.h"
#include "text/path_names.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace lorvek {

WorkFolder::WorkFolder(std::string temp_root, std::string name) {
  if (temp_root.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    temp_root = (tmp && *tmp) ? tmp : "/tmp";
  }
  while (temp_root.size() > 1 && temp_root.back() == '/') temp_root.pop_back();
  if (name.empty()) name = "Lorvek-" + std::to_string(getuid());
  folder_ = temp_root + "/" + name;
  work_file_ = folder_ + "/Temp.txt";
}

WorkFolder WorkFolder::ForThisProcess() {
  return WorkFolder("", "Lorvek-" + std::to_string(getuid()) + "-" + std::to_string(getpid()));
}

bool WorkFolder::Exists() const { return EntryExists(folder_); }

void WorkFolder::Ensure() {
  // Not made again behind the clean-up of a run told to end.
  auto making = ChildGroups::HoldOffEnd();
  struct stat st;
  if (lstat(folder_.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) throw EWorkFolder("作業フォルダがシンボリックリンクです: " + folder_);
    if (!S_ISDIR(st.st_mode)) throw EWorkFolder("作業フォルダがフォルダではありません: " + folder_);
    if (st.st_uid != getuid()) throw EWorkFolder("作業フォルダの所有者が違います: " + folder_);
    if ((st.st_mode & 077) != 0) chmod(folder_.c_str(), 0700);
    return;
  }
  if (mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST)
    throw EWorkFolder("作業フォルダを作成できません: " + folder_ + ": " + std::strerror(errno));
  // Someone may have raced us to the name: check again what we got.
  if (lstat(folder_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
    throw EWorkFolder("作業フォルダを作成できません: " + folder_);
  work_file_ = folder_ + "/____temp.txt";
}

bool WorkFolder::Remove() {
  struct stat st;
  if (lstat(folder_.c_str(), &st) != 0) return true;
  if (!S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;  // never delete what is not ours
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
  return !ec;
}

int WorkFolder::RemoveLeftovers(std::string temp_root) {
  const WorkFolder mine(temp_root, "");
  const std::string root = mine.folder_.substr(0, mine.folder_.find_last_of('/'));
  const std::string prefix = "Lorvek-" + std::to_string(getuid()) + "-";
  int removed = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid <= 0 || pid == getpid()) continue;
    if (kill(pid, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to judge
    WorkFolder left(root, name);
    struct stat st;
    if (lstat(left.folder_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) continue;
    if (left.Remove()) ++removed;
  }
  return removed;
}

}  // namespace lorvek
