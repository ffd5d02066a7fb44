#include "search/file_grep.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>
#include <cstring>

#include "search/long_line.h"
#include "text/sjis.h"

namespace lorvek {

void TGrep::Grep(const std::string& path) {
  Cancel = false;
  if (!OnMatch) return;
  ScanFileForMatches(
      Current(), FileRef::FromPath(path), [this](const RE_LineInfo_t& info) { OnMatch(*this, info); }, ProcessPendingEvents, &Cancel);
}

void ScanFileForMatches(const CompiledPattern& pattern, const FileRef& file,
                        const std::function<void(const RE_LineInfo_t&)>& on_match,
                        const std::function<void()>& process_events, const bool* cancel) {
  std::optional<InputFile> in;
  try {
    in.emplace(file);
  } catch (const std::system_error& e) {
    throw EFileNotFound(std::strerror(e.code().value()));
  }
  std::string block;
  LineMatchStream match(pattern);
  std::string line;  // the current line as far as it is kept
  int32_t line_no = 1;
  bool line_started = false;
  bool matched_before = false;  // the current line holds a match already
  bool pending_cr = false;  // a CR ended the last block: a LF right after it is passed over
  bool cut_front = false, cut_back = false;  // bytes of the line were left out there
  auto end_line = [&] {
    if (match.End()) {
      if (process_events) process_events();
      if (cancel && *cancel) throw EGrepCancel();
      RE_LineInfo_t info;
      // A line too long to keep shows where it was cut.
      if (cut_front) info.Line = kCutMark;
      info.Line += line;
      if (cut_back) info.Line += kCutMark;
      info.LineNo = line_no;
      on_match(info);
    }
    line.clear();
    line_started = false;
    matched_before = false;
    cut_front = cut_back = false;
    ++line_no;
    match.Begin();
  };
  // A piece of a line: matched whole, kept only up to the bound. Until the
  // line holds a match the latest bytes are kept, after it the bytes that
  // follow, so the kept text shows where the match is. The kept text always
  // starts and ends between two characters (the line's start is a
  // character's, and every cut is made at one).
  auto piece = [&](std::string_view bytes) {
    if (bytes.empty()) return;
    line_started = true;
    match.Feed(bytes);
    size_t from = line.size();
    if (!matched_before) {
      line.append(bytes);
      if (line.size() > TGrep::kMaxLineKept) {
        const size_t drop = CharStartAtOrBefore(line, line.size() - TGrep::kMaxLineKept / 2);
        line.erase(0, drop);
        from = from > drop ? from - drop : 0;
        cut_front = true;
      }
      matched_before = match.Matched();
    } else if (!cut_back) {
      line.append(bytes);
      if (line.size() > TGrep::kMaxLineKept) {
        line.resize(CharStartAtOrBefore(line, TGrep::kMaxLineKept));
        cut_back = true;
      }
      from = std::min(from, line.size());
    }
    std::replace(line.begin() + static_cast<std::ptrdiff_t>(from), line.end(), '\0', ' ');
  };
  // A pattern whose every match holds one of a few fixed strings (none
  // holding a blank, which a NUL byte would read as) cannot match a line
  // whose bytes lack them all: such lines, when they lie whole in one block,
  // are counted without the matcher.
  bool candidates = !pattern.candidates().empty();
  for (const std::string& c : pattern.candidates()) candidates = candidates && c.find(' ') == std::string::npos;
  auto lacks_candidate = [&](std::string_view segment) { return candidates && pattern.LacksEveryCandidate(segment); };
  match.Begin();
  for (;;) {
    size_t r;
    try {
      // A file that grew since it was opened is read on in whole blocks.
      if (const size_t want = in->NextReadSize(TGrep::kBlockSize); block.size() < want) block.resize(want);
      r = in->Read(block.data(), block.size());
    } catch (const std::system_error& e) {
      throw EFileNotFound(std::strerror(e.code().value()));
    }
    if (r == 0) break;
    std::string_view data(block.data(), r);
    const char* p = data.data();
    size_t start = 0;
    if (pending_cr) {
      pending_cr = false;
      if (data[0] == '\n') start = 1;
    }
    // The block may hold the string nowhere: then no line that starts in it
    // needs a closer look.
    const bool block_lacks = lacks_candidate(data);
    // The next CR and the next LF, each kept until passed.
    auto find = [&](char c, size_t from) -> size_t {
      const void* hit = from < r ? std::memchr(p + from, c, r - from) : nullptr;
      return hit ? static_cast<size_t>(static_cast<const char*>(hit) - p) : r;
    };
    size_t cr = find('\r', start), lf = find('\n', start);
    auto next_break = [&](size_t from) -> size_t {
      if (cr < from) cr = find('\r', from);
      if (lf < from) lf = find('\n', from);
      return cr < lf ? cr : lf;
    };
    for (size_t i = next_break(start); i < r; i = next_break(start)) {
      const char ch = data[i];
      const std::string_view segment = data.substr(start, i - start);
      if (!line_started && (block_lacks || lacks_candidate(segment))) {
        ++line_no;  // a whole line without the string: no match, nothing kept
      } else {
        piece(segment);
        end_line();
      }
      if (ch == '\r') {
        if (i + 1 < data.size()) {
          if (data[i + 1] == '\n') ++i;
        } else {
          pending_cr = true;
        }
      }
      start = i + 1;
    }
    piece(data.substr(start));
    if (process_events) process_events();
    if (cancel && *cancel) throw EGrepCancel();
  }
  // A last line without a break is still searched.
  if (line_started) end_line();
}

}  // namespace lorvek
