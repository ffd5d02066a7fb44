#include "search/whole_word.h"

#include "text/sjis.h"

namespace lorvek {
namespace {

bool IsSingleByteDelimiter(unsigned char b) {
  return b == 0x09 || b == 0x0A || b == 0x0D || (b >= 0x20 && b <= 0x2C) || b == 0x2E || b == 0x2F ||
         (b >= 0x3A && b <= 0x40) || (b >= 0x5B && b <= 0x5E) || b == 0x60 || (b >= 0x7B && b <= 0x7E) ||
         b == 0xA1 || b == 0xA4 || b == 0xA5;
}

bool IsDoubleByteDelimiter(unsigned c) {
  return (c >= 0x8140 && c <= 0x8151) || c == 0x815C || (c >= 0x815E && c <= 0x8160) || c == 0x8162 ||
         (c >= 0x8165 && c <= 0x8186) || (c >= 0x818B && c <= 0x8197);
}

unsigned char ByteAt(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }

// Class of the character that begins at byte i (0-based), delimiters as 1.
int ClassAt(std::string_view s, size_t i) {
  if (IsLeadByte(ByteAt(s, i)) && i + 1 < s.size())
    return WordClassOfDoubleByte(ByteAt(s, i) * 256u + ByteAt(s, i + 1), true);
  return WordClassOfByte(ByteAt(s, i));
}

}  // namespace

int WordClassOfByte(unsigned char b) {
  if (IsSingleByteDelimiter(b)) return 1;
  if (IsHalfWidthKatakana(b)) return 3;
  return 2;
}

int WordClassOfDoubleByte(unsigned c, bool delimiters_count) {
  if (delimiters_count && IsDoubleByteDelimiter(c)) return 1;
  if (c >= 0x889F && c <= 0xEEEC) return 17;
  if (c >= 0x829F && c <= 0x82F1) return 18;
  if (c >= 0x8340 && c <= 0x8396) return 19;
  if ((c >= 0x824F && c <= 0x829A) || (c >= 0x839F && c <= 0x83B6) || (c >= 0x8440 && c <= 0x8460)) return 20;
  return 21;
}

bool IsWholeWd(std::string_view line, size_t start, size_t length) {
  const size_t n = line.size();
  if (start == 0) return false;
  // Left neighbour.
  int left;
  if (start == 1) {
    left = 1;
  } else if (start == 2) {
    left = IsSingleByteDelimiter(ByteAt(line, 0)) ? 1 : 2;
  } else if (IsLeadByte(ByteAt(line, start - 3))) {
    left = WordClassOfDoubleByte(ByteAt(line, start - 3) * 256u + ByteAt(line, start - 2), true);
  } else {
    left = WordClassOfByte(ByteAt(line, start - 2));
  }
  // Right neighbour; e is the 1-based position of the match's last byte.
  const size_t e = start + length - 1;
  int right;
  if (e >= n) {
    right = 1;
  } else if (n - e == 1) {
    right = IsSingleByteDelimiter(ByteAt(line, e)) ? 1 : 2;
  } else {
    right = ClassAt(line, e);
  }
  if (left == 1 && right == 1) return true;
  if (length == 0) return true;
  // Classes of the match's own first and last characters (delimiters not special).
  auto own_class = [&](size_t i) {
    if (IsLeadByte(ByteAt(line, i)) && i + 1 < n) return WordClassOfDoubleByte(ByteAt(line, i) * 256u + ByteAt(line, i + 1), false);
    return IsHalfWidthKatakana(ByteAt(line, i)) ? 3 : 2;
  };
  const size_t first = start - 1;
  size_t last = first;
  for (size_t i = first; i < first + length && i < n; i += CharLength(line, i)) last = i;
  const int f = own_class(first), l = own_class(last);
  return (left == 1 || left != f) && (right == 1 || right != l);
}

}  // namespace lorvek
