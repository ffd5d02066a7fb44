// Whole-word rule: a word is bounded by delimiters, line ends, or a change of
// character class, so it also works for Japanese script.
#pragma once

#include <cstddef>
#include <string_view>

namespace lorvek {

// start is 1-based, length in bytes.
bool IsWholeWd(std::string_view line, size_t start, size_t length);

// The class of a character: 1 delimiter, 2 other single byte, 3 half-width
// katakana, 17..21 double-byte groups.
int WordClassOfByte(unsigned char b);
int WordClassOfDoubleByte(unsigned code, bool delimiters_count);

}  // namespace lorvek
