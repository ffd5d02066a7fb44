#include "app/grep_printer.h"

#include <unistd.h>

#include <cerrno>

#include "search/line_info.h"
#include "text/cp932.h"
#include "text/encoding.h"

namespace lorvek {
namespace {

constexpr size_t kBlockBytes = 64 * 1024;
constexpr auto kMaxWait = std::chrono::milliseconds(50);

}  // namespace

TagLinePrinter::TagLinePrinter(int fd, TagLineFormat format)
    : fd_(fd), format_(format), line_buffered_(isatty(fd) == 1) {}

TagLinePrinter::~TagLinePrinter() { Flush(); }

void TagLinePrinter::Line(const MatchRecord& r, const std::string& tag, int32_t line_no, char sep,
                          const std::string& column, const std::string& text) {
  if (buffer_.empty()) waiting_since_ = std::chrono::steady_clock::now();
  buffer_ += "\"" + r.OpenPath + "\"" + tag + " " + std::to_string(line_no) + sep + column + " " +
             Cp932ToUtf8(text) + "\n";
}

bool TagLinePrinter::Take(std::unique_ptr<MatchRecord> record, MatchPos hit) {
  if (closed_ || write_error_) return false;
  const MatchRecord& r = *record;
  const std::string tag = format_.show_encoding ? EncodingTag(r.EncodingCode, r.LineEndCode) : "";
  if (format_.context > 0) {
    if (printed_ > 0) buffer_ += "--\n";
    const std::string* before[2] = {&r.PrevLine2, &r.PrevLine1};
    for (int k = 2 - format_.context; k < 2; ++k)
      if (*before[k] != kNulMarker && !before[k]->empty() && r.LineNo - (2 - k) >= 1)
        Line(r, tag, r.LineNo - (2 - k), '-', "", *before[k]);
  }
  std::string column;
  std::string text = r.LineText;
  if (format_.column) column = std::to_string(hit.start) + ":";
  if (format_.only_matching && hit) text = r.LineText.substr(hit.start - 1, hit.length);
  Line(r, tag, r.LineNo, ':', column, text);
  if (format_.context > 0) {
    const std::string* after[2] = {&r.NextLine1, &r.NextLine2};
    for (int k = 0; k < format_.context; ++k)
      if (*after[k] != kNulMarker) Line(r, tag, r.LineNo + k + 1, '-', "", *after[k]);
  }
  ++printed_;
  if (line_buffered_ || buffer_.size() >= kBlockBytes) Flush();
  return !closed_ && !write_error_;
}

void TagLinePrinter::FlushIfDue() {
  if (!buffer_.empty() && std::chrono::steady_clock::now() - waiting_since_ >= kMaxWait) Flush();
}

void TagLinePrinter::Flush() {
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
