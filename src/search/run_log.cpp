#include "search/run_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace lorvek {
namespace {

bool WriteWhole(int fd, const std::string& bytes) {
  // O_APPEND: one write is one line at the end, whoever else appends.
  ssize_t w;
  do w = write(fd, bytes.data(), bytes.size());
  while (w < 0 && errno == EINTR);
  return w == static_cast<ssize_t>(bytes.size());
}

}  // namespace

void RunLog::Begin(const std::string& path, const std::string& header) {
  End();
  written_ = false;
  fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd_ < 0) return;
  struct stat st;
  if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    End();
    return;
  }
  // Alone: start afresh. Another run holds the log: add to what it writes.
  if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    if (ftruncate(fd_, 0) != 0) {
      End();
      return;
    }
  }
  flock(fd_, LOCK_SH);
  written_ = WriteWhole(fd_, header + "\r\n");
}

void RunLog::Append(const std::string& line) {
  if (fd_ < 0) return;
  if (!WriteWhole(fd_, line + "\r\n")) written_ = false;
}

void RunLog::End() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

}  // namespace lorvek
