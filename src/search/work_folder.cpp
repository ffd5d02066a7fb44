#include "search/work_folder.h"

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

bool WorkFolder::Exists() const {
  struct stat st;
  return lstat(folder_.c_str(), &st) == 0;
}

void WorkFolder::Ensure() {
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

}  // namespace lorvek
