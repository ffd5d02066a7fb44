// Standard output as lorvek-grep's printers write it: everything or an
// error, a reader that went away (a closed pipe) told apart from a failure.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace lorvek {

struct OutputChannel {
  int fd;
  bool closed = false;  // the reader went away
  int error = 0;        // a write failed otherwise (errno)

  bool Ok() const { return !closed && error == 0; }
  void Write(std::string_view text) {
    size_t done = 0;
    while (done < text.size() && Ok()) {
      const ssize_t w = ::write(fd, text.data() + done, text.size() - done);
      if (w >= 0) done += static_cast<size_t>(w);
      else if (errno == EPIPE) closed = true;
      else if (errno != EINTR) error = errno;
    }
  }
};

}  // namespace lorvek
