// Shift-JIS character structure: the one place that knows what a character is.
// Masks, the regex engine, the whole-word test and the file scan ask here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lorvek {

// Internal text is a byte string in Shift-JIS (code page 932).
using SjisString = std::string;

constexpr bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool IsHalfWidthKatakana(unsigned char b) { return b >= 0xA1 && b <= 0xDF; }

// Byte length of the character at pos: 2 for a lead byte followed by another
// byte, else 1. A lead byte at the very end counts as one byte so that no
// reader ever steps past the text.
inline size_t CharLength(std::string_view s, size_t pos) {
  return (IsLeadByte(static_cast<unsigned char>(s[pos])) && pos + 1 < s.size()) ? 2 : 1;
}

// Character code at pos: the byte, or lead * 256 + trail. 0 past the end.
inline uint16_t CharCode(std::string_view s, size_t pos) {
  if (pos >= s.size()) return 0;
  unsigned char b = static_cast<unsigned char>(s[pos]);
  if (IsLeadByte(b) && pos + 1 < s.size())
    return static_cast<uint16_t>(b * 256 + static_cast<unsigned char>(s[pos + 1]));
  return b;
}

// The last character start at or before pos, in a text that begins with a
// character. Looks back only over the run of bytes that could be lead bytes
// (any other byte ends a character), so it costs little in real text.
size_t CharStartAtOrBefore(std::string_view s, size_t pos);

// Appends the bytes of a character code (one byte below 256, else two).
inline void AppendCode(std::string& out, uint16_t code) {
  if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

// Without leading and trailing bytes of code 32 or less (blanks and control
// characters; no trail byte is that low, so Shift-JIS text stays whole).
std::string_view TrimBlanks(std::string_view s);

// ASCII-only upper-casing that leaves double-byte characters untouched.
std::string UpperAscii(std::string_view s);

}  // namespace lorvek
