#include "whole_word_reference.h"

#include <vector>

#include "regex_reference.h"

namespace lorvek::test {
namespace {

struct Char {
  size_t at;
  unsigned code;
};

std::vector<Char> Characters(std::string_view line) {
  std::vector<Char> out;
  for (size_t i = 0; i < line.size();) {
    const unsigned b = static_cast<unsigned char>(line[i]);
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    if (lead && i + 1 < line.size()) {
      out.push_back({i, b << 8 | static_cast<unsigned char>(line[i + 1])});
      i += 2;
    } else {
      out.push_back({i, b});
      i += 1;
    }
  }
  return out;
}

constexpr int kMark = -1;

// The table of classes, as the rule states it.
int TableClass(unsigned c, bool delimiters) {
  for (unsigned mark : {0x815Bu, 0xB0u, 0x8158u, 0x8154u, 0x8155u, 0x8152u, 0x8153u})
    if (c == mark) return kMark;
  if (c <= 0xFF) {
    static const std::string_view single_delimiters =
        "\t\n\r !\"#$%&'()*+,./:;<=>?@[\\]^`{|}~";
    if (delimiters && (single_delimiters.find(static_cast<char>(c)) != std::string_view::npos || c == 0xA1 ||
                       c == 0xA4 || c == 0xA5))
      return 1;
    return c >= 0xA1 && c <= 0xDF ? 3 : 2;
  }
  if (delimiters) {
    // "　、。，．・：；？！゛゜´｀¨＾￣＿―／＼～｜‘’“”（）〔〕［］｛｝〈〉《》「」『』【】＋－±×÷＝≠＜＞≦≧°′″℃￥＄￠￡％＃＆＊＠"
    const bool delimiter = (c >= 0x8140 && c <= 0x8151) || c == 0x815C || (c >= 0x815E && c <= 0x8160) ||
                           c == 0x8162 || (c >= 0x8165 && c <= 0x8186) || (c >= 0x818B && c <= 0x8197);
    if (delimiter) return 1;
  }
  if (c >= 0x889F && c <= 0xEEEC) return 17;
  if (c >= 0x829F && c <= 0x82F1) return 18;
  if (c >= 0x8340 && c <= 0x8396) return 19;
  if ((c >= 0x824F && c <= 0x829A) || (c >= 0x839F && c <= 0x83B6) || (c >= 0x8440 && c <= 0x8460)) return 20;
  return 21;
}

// The class of character i of chars, marks resolved leftwards; delimiters
// count as 1 when asked. A mark after nothing (or after a delimiter) keeps
// a class of its own.
int ClassAt(const std::vector<Char>& chars, size_t i, bool delimiters) {
  const int c = TableClass(chars[i].code, delimiters);
  if (c != kMark) return c;
  if (i == 0) return chars[i].code == 0xB0 ? 3 : 21;
  const int before = ClassAt(chars, i - 1, true);
  if (before == 1) return chars[i].code == 0xB0 ? 3 : 21;
  return ClassAt(chars, i - 1, false);
}

}  // namespace

bool ReferenceIsWhole(std::string_view line, size_t start, size_t length) {
  const std::vector<Char> chars = Characters(line);
  const size_t first_at = start - 1, end_at = first_at + length;
  size_t first = chars.size(), after = chars.size();
  for (size_t i = 0; i < chars.size(); ++i) {
    if (chars[i].at == first_at) first = i;
    if (chars[i].at == end_at) after = i;
  }
  const int left = first == 0 || first == chars.size() ? 1 : ClassAt(chars, first - 1, true);
  const int right = end_at < line.size() ? ClassAt(chars, after, true) : 1;
  if (left == 1 && right == 1) return true;
  if (length == 0) return true;
  const int f = ClassAt(chars, first, false);
  const int e = ClassAt(chars, after - 1, false);
  return (left == 1 || left != f) && (right == 1 || right != e);
}

std::optional<MatchPos> ReferenceWholeWordHit(std::string_view pattern, std::string_view line) {
  for (size_t from = 0; from <= line.size();) {
    const std::optional<MatchPos> m = ReferenceMatchFrom(pattern, line, mcls_CRLF, from);
    if (!m) return std::nullopt;
    if (!*m) return *m;
    if (ReferenceIsWhole(line, m->start, m->length)) return *m;
    const size_t start = m->start - 1;
    size_t step = 1;
    if (start < line.size()) {
      const unsigned b = static_cast<unsigned char>(line[start]);
      if (((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && start + 1 < line.size()) step = 2;
    }
    from = m->length > 0 ? start + m->length : start + step;
  }
  return MatchPos{};
}

}  // namespace lorvek::test
