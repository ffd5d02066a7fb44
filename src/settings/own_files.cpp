#include "settings/own_files.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "text/file_bytes.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

// Whether gid is the user's own group with nobody else in it (the private
// group a umask of 002 is meant for): its write permission lets nobody else in.
bool UsersPrivateGroup(gid_t gid) {
  passwd pw{}, *pw_found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(geteuid(), &pw, buffer.data(), buffer.size(), &pw_found) != 0 || !pw_found) return false;
  if (pw.pw_gid != gid) return false;
  const std::string user = pw.pw_name;
  group gr{}, *gr_found = nullptr;
  std::vector<char> group_buffer(65536);
  if (getgrgid_r(gid, &gr, group_buffer.data(), group_buffer.size(), &gr_found) != 0 || !gr_found) return false;
  // Named after the user (a shared primary group such as "users" lists
  // none of the users whose primary group it is), nobody else listed.
  if (user != gr.gr_name) return false;
  for (char** member = gr.gr_mem; *member; ++member)
    if (user != *member) return false;
  return true;
}

bool OthersMayWrite(const struct stat& st) {
  if (st.st_mode & S_IWOTH) return true;
  return (st.st_mode & S_IWGRP) && !UsersPrivateGroup(st.st_gid);
}

std::string DistrustOfStat(const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return "通常のファイルではありません";
  if (st.st_uid != geteuid()) return "所有者が実行中のユーザーではありません";
  if (OthersMayWrite(st)) return "グループか他のユーザーが書き込めます";
  return "";
}

}  // namespace

std::string OwnFolderDistrust(const std::string& folder) {
  struct stat st;
  // The folder may be reached through a link (a settings folder kept
  // elsewhere): what counts is the folder it leads to.
  if (stat(folder.empty() ? "." : folder.c_str(), &st) != 0) return errno == ENOENT ? "" : std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return "フォルダではありません";
  if (st.st_uid != geteuid() && st.st_uid != 0) return "フォルダの所有者が実行中のユーザーではありません";
  if (OthersMayWrite(st)) return "フォルダにグループか他のユーザーが書き込めます";
  return "";
}

std::string OwnFileDistrust(const std::string& path) {
  if (std::string why = OwnFolderDistrust(FolderOfFile(path)); !why.empty()) return why;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? "" : std::strerror(errno);
  return DistrustOfStat(st);
}

std::string OwnFileDistrust(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return std::strerror(errno);
  return DistrustOfStat(st);
}

std::optional<std::string> ReadOwnFile(const std::string& path) {
  if (std::string why = OwnFolderDistrust(FolderOfFile(path)); !why.empty()) throw UntrustedFileError(path, why);
  // Not followed, not waited on: a link, a FIFO or a device is refused as it is.
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    if (errno == ELOOP) throw UntrustedFileError(path, "通常のファイルではありません");
    throw std::system_error(errno, std::generic_category(), path);
  }
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  if (std::string why = OwnFileDistrust(fd); !why.empty()) throw UntrustedFileError(path, why);
  return ReadDescriptor(fd, path);
}

void WriteOwnFile(const std::string& path, std::string_view bytes) {
  if (std::string why = OwnFileDistrust(path); !why.empty()) throw UntrustedFileError(path, why);
  AtomicFileWriter out(path);
  out.SetMode(0600, /*required=*/false);
  out.Write(bytes);
  out.Commit();
}

}  // namespace lorvek
