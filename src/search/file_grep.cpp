#include "search/file_grep.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/sjis.h"

namespace lorvek {

void TGrep::Grep(const std::string& path) {
  Cancel = false;
  if (!OnMatch) return;
  ScanFileForMatches(
      Current(), path, [this](const RE_LineInfo_t& info) { OnMatch(*this, info); }, ProcessPendingEvents, &Cancel);
}

void ScanFileForMatches(const CompiledPattern& pattern, const std::string& path,
                        const std::function<void(const RE_LineInfo_t&)>& on_match,
                        const std::function<void()>& process_events, const bool* cancel) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw EFileNotFound(std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};

  std::string block(TGrep::kBlockSize, '\0');
  std::string line;
  int32_t line_no = 1;
  bool pending_cr = false;  // a CR ended the last block: a LF right after it is passed over
  auto report_if_matching = [&] {
    if (LineHasMatch(pattern, line)) {
      if (process_events) process_events();
      if (cancel && *cancel) throw EGrepCancel();
      RE_LineInfo_t info;
      info.Line = line;
      info.LineNo = line_no;
      on_match(info);
    }
    line.clear();
    ++line_no;
  };
  bool any = false;
  for (;;) {
    ssize_t r = read(fd, block.data(), block.size());
    if (r < 0) {
      if (errno == EINTR) continue;
      throw EFileNotFound(std::strerror(errno));
    }
    if (r == 0) break;
    any = true;
    for (ssize_t i = 0; i < r; ++i) {
      char ch = block[static_cast<size_t>(i)];
      if (pending_cr) {
        pending_cr = false;
        if (ch == '\n') continue;
      }
      if (ch == '\r') {
        report_if_matching();
        pending_cr = true;
      } else if (ch == '\n') {
        report_if_matching();
      } else {
        line.push_back(ch == '\0' ? ' ' : ch);
      }
    }
    if (process_events) process_events();
    if (cancel && *cancel) throw EGrepCancel();
  }
  // A last line without a break is still searched.
  if (any && !line.empty()) report_if_matching();
}

}  // namespace lorvek
