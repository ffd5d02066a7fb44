// A reference of the whole-word rule written apart from the engine: the line
// is cut into characters first (lead byte 81-9F or E0-FC and the byte after
// it; every other byte alone), each character gets its class from the
// table, a prolonged-sound or iteration mark the class of the character
// before it, and the neighbours of a match are the characters next to it.
#pragma once

#include <optional>
#include <string_view>

#include "search/regex/matcher.h"

namespace lorvek::test {

// start 1-based, length in bytes; the match must begin and end at characters.
bool ReferenceIsWhole(std::string_view line, size_t start, size_t length);

// The first match of pattern in line that the reference accepts, searching
// on after each refused one where it ends (one character on after an empty
// one), always in the whole line. nullopt for an invalid pattern.
std::optional<MatchPos> ReferenceWholeWordHit(std::string_view pattern, std::string_view line);

}  // namespace lorvek::test
