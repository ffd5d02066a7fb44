// An independent reference for the string matcher: parses the dialect on its
// own (only the scanner is shared) and matches by evaluating the parse tree
// over sets of positions, with no automaton at all. The differential test
// and the regex fuzzer hold the compiled matchers against it.
#pragma once

#include <optional>
#include <string_view>

#include "search/regex/matcher.h"

namespace lorvek::test {

// The leftmost-longest match of pattern in subject as the string matcher
// decides it, or std::nullopt when the pattern is not valid.
std::optional<MatchPos> ReferenceMatch(std::string_view pattern, std::string_view subject,
                                       TMatchCORE_LineSeparator separator);
// The same, for a match that starts at byte from or later (a character
// start) in the whole subject: its start is no line start unless from is 0.
std::optional<MatchPos> ReferenceMatchFrom(std::string_view pattern, std::string_view subject,
                                           TMatchCORE_LineSeparator separator, size_t from);

}  // namespace lorvek::test
