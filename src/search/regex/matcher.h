// Matching is a pure function of a compiled pattern and a text: a pattern
// holds no state of its own, so any number of patterns can be used at once,
// from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "search/regex/automaton.h"

namespace lorvek {

// A compiled pattern shared read-only by everyone who matches with it.
using PatternRef = std::shared_ptr<const CompiledPattern>;

// A match: 1-based start and length in bytes; start 0 when there is none.
struct MatchPos {
  size_t start = 0;
  size_t length = 0;
  explicit operator bool() const { return start != 0; }
  bool operator==(const MatchPos&) const = default;
};

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

}  // namespace lorvek
