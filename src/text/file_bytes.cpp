#include "text/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace lorvek {
namespace {

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

std::string ReadFileBytes(const std::string& path) {
  // O_NONBLOCK so that a FIFO never hangs the search.
  Fd f{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (f.fd < 0) Fail("open");
  struct stat st;
  if (fstat(f.fd, &st) != 0) Fail("stat");
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    Fail("not a regular file");
  }
  std::string data;
  data.reserve(static_cast<size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    ssize_t r = read(f.fd, buf, sizeof buf);
    if (r < 0) {
      if (errno == EINTR) continue;
      Fail("read");
    }
    if (r == 0) break;
    data.append(buf, static_cast<size_t>(r));
  }
  return data;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  std::string tmp = path + ".lorvek-tmp-" + std::to_string(getpid());
  mode_t mode = 0644;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
  Fd f{open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)};
  if (f.fd < 0) Fail("create");
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t w = write(f.fd, bytes.data() + done, bytes.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      unlink(tmp.c_str());
      errno = e;
      Fail("write");
    }
    done += static_cast<size_t>(w);
  }
  if (fchmod(f.fd, mode) != 0 || fsync(f.fd) != 0) {
    int e = errno;
    unlink(tmp.c_str());
    errno = e;
    Fail("sync");
  }
  close(f.fd);
  f.fd = -1;
  if (rename(tmp.c_str(), path.c_str()) != 0) {
    int e = errno;
    unlink(tmp.c_str());
    errno = e;
    Fail("rename");
  }
}

}  // namespace lorvek
