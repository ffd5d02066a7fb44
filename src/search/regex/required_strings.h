// Fixed strings one of which every match of a pattern holds, read off its
// automaton, so that a text without any of them is passed over unread.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "search/regex/automaton.h"

namespace lorvek {

using Transitions = std::vector<std::vector<std::pair<CodeRange, int>>>;

// The strings (Shift-JIS bytes), or none when no useful set is found: the
// spellings that follow a state every match passes (a fuzzy word's forms),
// or a run of characters every match holds in a row, whichever is longer.
// For an automaton whose start does not accept.
std::vector<std::string> RequiredStrings(const Transitions& sorted, const std::vector<uint8_t>& accepting, int start);

}  // namespace lorvek
