#include "search/whole_word.h"

#include "text/sjis.h"

namespace lorvek {
namespace {

bool IsSingleByteDelimiter(unsigned b) {
  return b == 0x09 || b == 0x0A || b == 0x0D || (b >= 0x20 && b <= 0x2C) || b == 0x2E || b == 0x2F ||
         (b >= 0x3A && b <= 0x40) || (b >= 0x5B && b <= 0x5E) || b == 0x60 || (b >= 0x7B && b <= 0x7E) ||
         b == 0xA1 || b == 0xA4 || b == 0xA5;
}

bool IsDoubleByteDelimiter(unsigned c) {
  return (c >= 0x8140 && c <= 0x8151) || c == 0x815C || (c >= 0x815E && c <= 0x8160) || c == 0x8162 ||
         (c >= 0x8165 && c <= 0x8186) || (c >= 0x818B && c <= 0x8197);
}

// ー ｰ 々 ゝ ゞ ヽ ヾ: they lengthen or repeat the character before them.
bool TakesClassOfCharacterBefore(unsigned c) {
  return c == 0x815B || c == 0xB0 || c == 0x8158 || c == 0x8154 || c == 0x8155 || c == 0x8152 || c == 0x8153;
}

// The class of a mark without a character before it (at a line's start or
// after a delimiter): its own group.
int OwnClassOfMark(unsigned c) { return c == 0xB0 ? 3 : 21; }

// A character's class where the one before it has class before in the
// line (0: none; delimiters as 1); delimiters as 1 when delimiters_count.
int ClassInPlace(unsigned code, int before, bool delimiters_count) {
  const int own = WordClassOf(code, delimiters_count);
  if (own != 0) return own;
  return before > 1 ? before : OwnClassOfMark(code);
}

}  // namespace

int WordClassOf(unsigned c, bool delimiters_count) {
  if (TakesClassOfCharacterBefore(c)) return 0;
  if (c < 0x100) {
    if (delimiters_count && IsSingleByteDelimiter(c)) return 1;
    return IsHalfWidthKatakana(static_cast<unsigned char>(c)) ? 3 : 2;
  }
  if (delimiters_count && IsDoubleByteDelimiter(c)) return 1;
  if (c >= 0x889F && c <= 0xEEEC) return 17;
  if (c >= 0x829F && c <= 0x82F1) return 18;
  if (c >= 0x8340 && c <= 0x8396) return 19;
  if ((c >= 0x824F && c <= 0x829A) || (c >= 0x839F && c <= 0x83B6) || (c >= 0x8440 && c <= 0x8460)) return 20;
  return 21;
}

void WholeWordJudge::WalkTo(size_t to) {
  if (to < at_) {
    at_ = 0;
    before_class_ = 0;
  }
  while (at_ < to && at_ < line_.size()) {
    const size_t n = CharLength(line_, at_);
    if (at_ + n > to) break;  // to lies inside this character: it stays the one before
    before_class_ = ClassInPlace(CharCode(line_, at_), before_class_, true);
    at_ += n;
  }
}

bool WholeWordJudge::IsWhole(size_t start, size_t length) {
  if (start == 0) return false;
  const size_t first = start - 1;
  WalkTo(first);
  const int left = before_class_ == 0 ? 1 : before_class_;
  if (length == 0) return true;
  // The match's own characters count delimiters as their groups; a mark
  // among them (or right after them) takes the class the character before
  // it has in the line.
  const size_t end = first + length < line_.size() ? first + length : line_.size();
  int in_line = before_class_, first_class = 0, last_class = 0;
  for (size_t i = first; i < end; i += CharLength(line_, i)) {
    const unsigned code = CharCode(line_, i);
    last_class = ClassInPlace(code, in_line, false);
    if (i == first) first_class = last_class;
    in_line = ClassInPlace(code, in_line, true);
  }
  const int right = end < line_.size() ? ClassInPlace(CharCode(line_, end), in_line, true) : 1;
  if (left == 1 && right == 1) return true;
  return (left == 1 || left != first_class) && (right == 1 || right != last_class);
}

bool IsWholeWd(std::string_view line, size_t start, size_t length) {
  return WholeWordJudge(line).IsWhole(start, length);
}

}  // namespace lorvek
