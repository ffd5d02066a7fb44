// The file-reading matcher: scans a file from disk in blocks, reading
// Shift-JIS characters, and reports every line that holds a match once.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "search/line_info.h"
#include "search/regex/regular_expression.h"
#include "text/file_bytes.h"

namespace lorvek {

class EFileNotFound : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EGrepCancel : public std::runtime_error {
 public:
  EGrepCancel() : std::runtime_error("CancelRequest") {}
};

class TGrep : public TRegularExpression {
 public:
  static constexpr size_t kBlockSize = 102400;
  // A reported line keeps at most this many bytes (a binary file's "line"
  // between two breaks can be any length), cut between two characters with
  // the cut mark where bytes were left out; the match decision sees it all.
  static constexpr size_t kMaxLineKept = size_t{1} << 20;
  using TGrepOnMatch = std::function<void(TGrep& sender, const RE_LineInfo_t& info)>;

  // The file sees its own line ends, so both anchors read LF.
  TGrep() : TRegularExpression(10, 10) {}

  TGrepOnMatch OnMatch;
  bool Cancel = false;
  // Called after every block and before every reported line.
  std::function<void()> ProcessPendingEvents;

  // Scans the file; raises EFileNotFound, EGrepCancel, or what OnMatch raises.
  void Grep(const std::string& path);

  // Whether the line (without its break) holds a match, as the scan decides it.
  bool LineMatches(std::string_view line) const { return LineHasMatch(Current(), line); }
};

// The scan itself, for any pattern compiled with LF anchors: reports every
// line of the file that holds a match, once, in file order. process_events
// runs after every block and before every reported line; cancel is read
// right after it. Raises EFileNotFound, EGrepCancel, or what on_match raises.
void ScanFileForMatches(const CompiledPattern& pattern, const FileRef& file,
                        const std::function<void(const RE_LineInfo_t&)>& on_match,
                        const std::function<void()>& process_events, const bool* cancel);

}  // namespace lorvek
