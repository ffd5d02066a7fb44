#include "app/grep_printer.h"

#include "search/open_path.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "search/compiled_word.h"
#include "search/line_info.h"
#include "text/cp932.h"
#include "text/encoding.h"

namespace lorvek {
namespace {

constexpr size_t kBlockBytes = 64 * 1024;
constexpr auto kMaxWait = std::chrono::milliseconds(50);
constexpr auto kWatchTick = std::chrono::milliseconds(25);

// The colours common grep tools use: file name, line number, separator, match.
constexpr char kPathColor[] = "\33[35m";
constexpr char kLineNoColor[] = "\33[32m";
constexpr char kSeparatorColor[] = "\33[36m";
constexpr char kMatchColor[] = "\33[01;31m";
constexpr char kPlain[] = "\33[m";

std::string Colored(const char* color, const std::string& text) { return color + text + kPlain; }

// A hit's line in UTF-8 with every match of the pattern coloured; the line
// is read whole, as the search reads it.
std::string WithMatchesColored(const std::string& sjis, const CompiledPattern* pattern) {
  if (!pattern) return Cp932ToUtf8(sjis);
  std::string out;
  size_t copied = 0;
  for (const MatchPos m : MatchesInLine(*pattern, sjis, false)) {
    if (m.length == 0) continue;  // nothing to colour
    out += Cp932ToUtf8(sjis.substr(copied, m.start - 1 - copied));
    out += Colored(kMatchColor, Cp932ToUtf8(sjis.substr(m.start - 1, m.length)));
    copied = m.start - 1 + m.length;
  }
  return out + Cp932ToUtf8(sjis.substr(copied));
}

bool IsPipe(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode);
}

}  // namespace

TagLinePrinter::TagLinePrinter(int fd, TagLineFormat format, std::function<void()> on_reader_gone)
    : fd_(fd), format_(format), line_buffered_(isatty(fd) == 1), on_reader_gone_(std::move(on_reader_gone)) {
  if (!line_buffered_) watcher_ = std::thread([this] { WatchOutput(); });
}

TagLinePrinter::~TagLinePrinter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (watcher_.joinable()) watcher_.join();
  Flush();
}

void TagLinePrinter::WatchOutput() {
  const bool pipe = IsPipe(fd_);
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, kWatchTick, [this] { return stopping_; })) {
    if (!buffer_.empty() && std::chrono::steady_clock::now() - waiting_since_ >= kMaxWait) FlushLocked();
    if (!pipe || closed_) continue;
    // The write end of a pipe reports an error once nobody reads it.
    struct pollfd p {fd_, 0, 0};
    if (poll(&p, 1, 0) == 1 && (p.revents & POLLERR)) {
      closed_ = true;
      if (on_reader_gone_) {
        lock.unlock();
        on_reader_gone_();
        return;
      }
    }
  }
}

void TagLinePrinter::Line(const std::string& path, const std::string& tag, int32_t line_no, char sep,
                          const std::string& column, const std::string& text) {
  if (buffer_.empty()) waiting_since_ = std::chrono::steady_clock::now();
  if (format_.context > 0 && any_line_ && (path != last_path_ || line_no != last_line_ + 1)) buffer_ += "--\n";
  // A member shows as "archive/member"; the stored "@archive@member" form
  // is the list's own.
  const std::string shown = path.empty() || path[0] != '@' ? path : OpenPath::Parse(path).DisplayPath();
  if (format_.color) {
    const std::string body =
        sep == ':' && !format_.only_matching ? WithMatchesColored(text, format_.highlight.get())
        : sep == ':'                         ? Colored(kMatchColor, Cp932ToUtf8(text))
                                             : Cp932ToUtf8(text);
    buffer_ += Colored(kPathColor, "\"" + shown + "\"") + tag + " " + Colored(kLineNoColor, std::to_string(line_no)) +
               Colored(kSeparatorColor, std::string(1, sep)) + column + " " + body + "\n";
  } else {
    buffer_ += "\"" + shown + "\"" + tag + " " + std::to_string(line_no) + sep + column + " " + Cp932ToUtf8(text) + "\n";
  }
  any_line_ = true;
  last_path_ = path;
  last_line_ = line_no;
}

void TagLinePrinter::PrintPendingBelow(int32_t before) {
  for (const Pending& p : pending_after_)
    if (p.line_no < before && !(p.path == last_path_ && p.line_no <= last_line_))
      Line(p.path, p.tag, p.line_no, '-', "", p.text);
  pending_after_.clear();
}

bool TagLinePrinter::Take(std::unique_ptr<MatchRecord> record, MatchPos hit) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_ || write_error_) return false;
  if (!format_.records) return true;
  const MatchRecord& r = *record;
  const std::string tag = format_.show_encoding ? EncodingTag(r.EncodingCode, r.LineEndCode) : "";
  // Scanned binary lines and document paragraphs carry no context.
  const bool context = format_.context > 0 && r.EncodingCode != ecBinary && r.EncodingCode != ecWord;
  const bool same_file = r.OpenPath == last_path_;
  PrintPendingBelow(same_file ? r.LineNo : INT32_MAX);
  if (context) {
    const std::string* before[2] = {&r.PrevLine2, &r.PrevLine1};
    for (int k = 2 - format_.context; k < 2; ++k) {
      const int32_t no = r.LineNo - (2 - k);
      if (no < 1 || *before[k] == kNulMarker) continue;
      if (r.OpenPath == last_path_ && no <= last_line_) continue;  // printed already
      Line(r.OpenPath, tag, no, '-', "", *before[k]);
    }
  }
  std::string column;
  std::string text = r.LineText;
  if (format_.column) column = std::to_string(hit.start) + ":";
  if (format_.only_matching && hit) text = r.LineText.substr(hit.start - 1, hit.length);
  Line(r.OpenPath, tag, r.LineNo, ':', column, text);
  if (context) {
    const std::string* after[2] = {&r.NextLine1, &r.NextLine2};
    for (int k = 0; k < format_.context; ++k)
      if (*after[k] != kNulMarker) pending_after_.push_back({r.OpenPath, tag, r.LineNo + k + 1, *after[k]});
  }
  ++printed_;
  if (line_buffered_ || buffer_.size() >= kBlockBytes) FlushLocked();
  return !closed_ && !write_error_;
}

void TagLinePrinter::Logged(const std::string& line, bool failure) {
  if (failure) ++logged_;
  const std::string out = "lorvek-grep: " + line + "\n";
  // Standard error is not buffered here: a failure is seen when it happens.
  ssize_t ignored = write(STDERR_FILENO, out.data(), out.size());
  (void)ignored;
}

void TagLinePrinter::RunEnds() {
  std::lock_guard<std::mutex> lock(mutex_);
  PrintPendingBelow(INT32_MAX);
  FlushLocked();
}

void TagLinePrinter::FlushIfDue() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!buffer_.empty() && std::chrono::steady_clock::now() - waiting_since_ >= kMaxWait) FlushLocked();
}

void TagLinePrinter::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  FlushLocked();
}

void TagLinePrinter::FlushLocked() {
  size_t done = 0;
  while (done < buffer_.size() && !closed_ && !write_error_) {
    ssize_t w = write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (w >= 0) {
      done += static_cast<size_t>(w);
    } else if (errno == EPIPE) {
      closed_ = true;
    } else if (errno != EINTR) {
      write_error_ = errno;
    }
  }
  buffer_.clear();
}

}  // namespace lorvek
