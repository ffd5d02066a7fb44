// Matching is a pure function of a compiled pattern and a text: a pattern
// holds no state of its own, so any number of patterns can be used at once,
// from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "search/match_pos.h"
#include "search/regex/automaton.h"

namespace lorvek {

// A compiled pattern shared read-only by everyone who matches with it.
using PatternRef = std::shared_ptr<const CompiledPattern>;

// The code the line-end anchor accepts at the end of a string: 13 for the
// CR LF separator, 10 for LF.
enum TMatchCORE_LineSeparator { mcls_CRLF = 0, mcls_LF = 1 };
inline uint16_t SeparatorCode(TMatchCORE_LineSeparator s) { return s == mcls_CRLF ? 13 : 10; }

// Leftmost-longest match in s of a pattern compiled with the string
// matcher's pseudo-codes, in time linear in the length of s.
MatchPos MatchLeftmostLongest(const CompiledPattern& c, std::string_view s, TMatchCORE_LineSeparator sep);
// The same answer by the straightforward procedure (restart at every start
// position, walk sorted transition lists). Kept as the reference.
MatchPos MatchLeftmostLongestReference(const CompiledPattern& c, std::string_view s,
                                       TMatchCORE_LineSeparator sep);

// Whether a line (without its break) holds a match of a pattern compiled with
// the file scan's LF anchors, as the scan of a binary file decides it.
bool LineHasMatch(const CompiledPattern& c, std::string_view line);

// The same decision fed piece by piece, so a line of any length is decided
// without being held: the line is read as if it followed a LF and was
// followed by one; a lead byte at the end of a piece waits for its trail
// byte; a NUL byte reads as a blank.
class LineMatchStream {
 public:
  explicit LineMatchStream(const CompiledPattern& c) : c_(c) {}
  void Begin();
  void Feed(std::string_view bytes);
  // The line's break: true when the line held a match.
  bool End();
  // A match has been seen already; the rest of the line changes nothing.
  bool Matched() const { return matched_; }

 private:
  void Step(uint16_t code, bool may_start);

  const CompiledPattern& c_;
  std::vector<int> states_, next_;
  std::vector<uint32_t> marks_;
  uint32_t stamp_ = 0;
  bool matched_ = false;
  int pending_lead_ = -1;
};

}  // namespace lorvek
