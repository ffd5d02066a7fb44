#include "search/file_grep.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/sjis.h"

namespace lorvek {

bool TGrep::LineMatches(std::string_view line) const {
  const CompiledPattern& c = Current();
  // The line as the scan sees it: after a LF and followed by one.
  framed_.assign(1, '\n');
  framed_.append(line);
  framed_.push_back('\n');
  const std::string_view t = framed_;
  const size_t last_start = line.size();  // starts at the trailing LF belong to the next line

  if (c.is_plain_string()) {
    size_t start, end;
    return c.FindPlainString(t, &start, &end) && start <= last_start;
  }

  if (c.accepting(c.start())) return true;
  if (seen_.size() < c.state_count()) seen_.assign(c.state_count(), 0);
  states_.clear();
  for (size_t pos = 0; pos < t.size();) {
    size_t len = CharLength(t, pos);
    uint16_t code = CharCode(t, pos);
    if (++stamp_ == 0) {
      std::fill(seen_.begin(), seen_.end(), 0);
      stamp_ = 1;
    }
    next_states_.clear();
    auto advance = [&](int s) {
      int n = c.Step(s, code);
      if (n == CompiledPattern::kDead || seen_[static_cast<size_t>(n)] == stamp_) return false;
      seen_[static_cast<size_t>(n)] = stamp_;
      next_states_.push_back(n);
      return c.accepting(n);
    };
    for (int s : states_)
      if (advance(s)) return true;
    if (pos <= last_start && advance(c.start())) return true;
    states_.swap(next_states_);
    if (states_.empty() && pos >= last_start) return false;
    pos += len;
  }
  return false;
}

void TGrep::Grep(const std::string& path) {
  Cancel = false;
  if (!OnMatch) return;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw EFileNotFound(std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};

  std::string block(kBlockSize, '\0');
  std::string line;
  int32_t line_no = 1;
  bool pending_cr = false;  // a CR ended the last block: a LF right after it is passed over
  auto report_if_matching = [&] {
    if (LineMatches(line)) {
      if (ProcessPendingEvents) ProcessPendingEvents();
      if (Cancel) throw EGrepCancel();
      RE_LineInfo_t info;
      info.Line = line;
      info.LineNo = line_no;
      OnMatch(*this, info);
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
    if (ProcessPendingEvents) ProcessPendingEvents();
    if (Cancel) throw EGrepCancel();
  }
  // A last line without a break is still searched.
  if (any && !line.empty()) report_if_matching();
}

}  // namespace lorvek
