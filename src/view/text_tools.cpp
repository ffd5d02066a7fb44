#include "view/text_tools.h"

#include <algorithm>

#include "search/compiled_word.h"
#include "search/regex/matcher.h"
#include "search/whole_word.h"
#include "text/cp932.h"
#include "text/sjis.h"

namespace lorvek {

std::string LiteralPattern(std::string_view word, bool match_case) {
  static const std::string_view kSpecial = ".*+?|()^$[]\\{}&";
  std::string out;
  for (size_t i = 0; i < word.size();) {
    const size_t len = CharLength(word, i);
    const char c = word[i];
    if (len == 1 && !match_case && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
      const char lower = static_cast<char>(c | 0x20), upper = static_cast<char>(c & ~0x20);
      out += '[';
      out += upper;
      out += lower;
      out += ']';
    } else {
      if (len == 1 && kSpecial.find(c) != std::string_view::npos) out += '\\';
      out.append(word.substr(i, len));
    }
    i += len;
  }
  return out;
}

TextFinder::TextFinder(std::string_view word, int options) : whole_word_((options & kWholeWord) != 0) {
  const std::string pattern = (options & kRegExp) ? std::string(word) : LiteralPattern(word, options & kMatchCase);
  pattern_ = CompileStringPattern(pattern, (options & kFuzzy) != 0);
}

TextMatch TextFinder::FindIn(std::string_view line, size_t from) const {
  WholeWordJudge judge(line);
  return FindIn(line, from, judge);
}

TextMatch TextFinder::FindIn(std::string_view line, size_t from, WholeWordJudge& judge) const {
  TextMatch m;
  if (from > line.size()) return m;
  // Matched from a character boundary at or after from; positions are 1-based.
  size_t start = 0;
  while (start < from) start += CharLength(line, start);
  while (start <= line.size()) {
    const MatchPos pos = MatchLeftmostLongest(*pattern_, line.substr(start), mcls_CRLF);
    if (!pos) return m;
    const size_t at = start + pos.start - 1;
    // The whole-word test looks at the whole line, the character before the
    // match included; a refused match is tried again one character on.
    if (!whole_word_ || judge.IsWhole(at + 1, pos.length)) {
      m.found = true;
      m.at.col = at;
      m.length = pos.length;
      return m;
    }
    if (at >= line.size()) return m;
    start = at + CharLength(line, at);
  }
  return m;
}

TextMatch TextFinder::Next(const std::vector<std::string>& lines, TextPoint from) const {
  for (size_t l = from.line; l < lines.size(); ++l) {
    TextMatch m = FindIn(lines[l], l == from.line ? from.col : 0);
    if (m.found) {
      m.at.line = l;
      return m;
    }
  }
  return {};
}

TextMatch TextFinder::LastIn(std::string_view line, size_t limit) const {
  TextMatch last;
  WholeWordJudge judge(line);
  for (size_t col = 0;;) {
    TextMatch m = FindIn(line, col, judge);
    if (!m.found || m.at.col >= limit) break;
    last = m;
    col = m.at.col + std::max<size_t>(1, m.length);
  }
  return last;
}

TextMatch TextFinder::Previous(const std::vector<std::string>& lines, TextPoint before) const {
  for (size_t l = std::min(before.line + 1, lines.size()); l-- > 0;) {
    TextMatch last = LastIn(lines[l], l == before.line ? before.col : SIZE_MAX);
    if (last.found) {
      last.at.line = l;
      return last;
    }
  }
  return {};
}

FindAllResult FindAll(const std::vector<std::string>& lines, const TextFinder& finder, size_t first, size_t last) {
  FindAllResult result;
  for (size_t l = first; l < lines.size() && l <= last; ++l) {
    bool listed = false;
    WholeWordJudge judge(lines[l]);
    for (size_t col = 0; col <= lines[l].size();) {
      const TextMatch m = finder.FindIn(lines[l], col, judge);
      if (!m.found) break;
      ++result.count;
      if (!listed) {
        result.entries.push_back({static_cast<int32_t>(l + 1), TrimLine(lines[l])});
        listed = true;
      }
      col = m.at.col + std::max<size_t>(1, m.length);
    }
  }
  return result;
}

size_t ReplaceAll(std::vector<std::string>& lines, const TextFinder& finder, std::string_view replacement) {
  return ReplaceInRange(lines, finder, replacement, {0, 0}, {SIZE_MAX, 0}).count;
}

std::vector<TextMatch> TextFinder::ReplaceMatches(std::string_view line) const {
  std::vector<TextMatch> out;
  for (const MatchPos m : MatchesInLine(*pattern_, line, whole_word_)) {
    TextMatch t;
    t.at.col = m.start - 1;
    t.length = m.length;
    t.found = true;
    out.push_back(t);
  }
  return out;
}

std::string ApplyReplacements(std::string_view line, const std::vector<TextMatch>& matches,
                              std::string_view replacement) {
  std::string out;
  out.reserve(line.size() + matches.size() * replacement.size());
  size_t copied = 0;
  for (const TextMatch& m : matches) {
    out.append(line, copied, m.at.col - copied);
    out.append(replacement);
    copied = m.at.col + m.length;
  }
  out.append(line, copied);
  return out;
}

namespace {

// Where col of a line is after the matches were replaced.
size_t MovedEnd(const std::vector<TextMatch>& matches, size_t replacement_size, size_t col) {
  long long shift = 0;
  for (const TextMatch& m : matches) {
    if (m.at.col >= col) break;
    const long long at = static_cast<long long>(m.at.col) + shift;
    if (m.at.col + m.length > col) return static_cast<size_t>(at) + replacement_size;  // reaches past it
    shift += static_cast<long long>(replacement_size) - static_cast<long long>(m.length);
  }
  return static_cast<size_t>(static_cast<long long>(col) + shift);
}

}  // namespace

RangeReplaceResult ReplaceChosen(std::vector<std::string>& lines, const ChosenMatches& chosen,
                                 std::string_view replacement, TextPoint end) {
  RangeReplaceResult r;
  r.end = end;
  for (const auto& [l, matches] : chosen) {
    if (matches.empty() || l >= lines.size()) continue;
    if (l == end.line) r.end.col = MovedEnd(matches, replacement.size(), end.col);
    lines[l] = ApplyReplacements(lines[l], matches, replacement);
    if (r.count == 0) r.first_line = l;
    r.last_line = l;
    r.count += matches.size();
  }
  return r;
}

ChosenMatches MatchesInRange(const std::vector<std::string>& lines, const TextFinder& finder, TextPoint from,
                             TextPoint end) {
  ChosenMatches out;
  for (size_t l = from.line; l < lines.size() && l <= end.line; ++l) {
    std::vector<TextMatch> ms = finder.ReplaceMatches(lines[l]);
    if (ms.empty()) continue;
    // Every match is found against the whole line; the range only picks.
    std::erase_if(ms, [&](const TextMatch& m) {
      return (l == from.line && m.at.col < from.col) || (l == end.line && m.at.col >= end.col);
    });
    if (!ms.empty()) out.emplace_back(l, std::move(ms));
  }
  return out;
}

RangeReplaceResult ReplaceInRange(std::vector<std::string>& lines, const TextFinder& finder,
                                  std::string_view replacement, TextPoint from, TextPoint end) {
  return ReplaceChosen(lines, MatchesInRange(lines, finder, from, end), replacement, end);
}

void QuoteLines(std::vector<std::string>& lines, size_t first, size_t last) {
  for (size_t l = first; l <= last && l < lines.size(); ++l) lines[l].insert(0, "> ");
}

void UnquoteLines(std::vector<std::string>& lines, size_t first, size_t last) {
  for (size_t l = first; l <= last && l < lines.size(); ++l)
    if (lines[l].compare(0, 2, "> ") == 0) lines[l].erase(0, 2);
}

void IndentLines(std::vector<std::string>& lines, size_t first, size_t last) {
  for (size_t l = first; l <= last && l < lines.size(); ++l) lines[l].insert(0, "\t");
}

void UnindentLines(std::vector<std::string>& lines, size_t first, size_t last) {
  for (size_t l = first; l <= last && l < lines.size(); ++l) {
    std::string& s = lines[l];
    if (!s.empty() && s[0] == '\t') {
      s.erase(0, 1);
      continue;
    }
    size_t n = 0;
    while (n < 4 && n < s.size() && s[n] == ' ') ++n;
    s.erase(0, n);
  }
}

namespace {

// The characters of a UTF-8 list as Shift-JIS strings.
std::vector<std::string> SjisCharacters(std::string_view utf8_list) {
  const std::string sjis = Utf8ToCp932(std::string(utf8_list));
  std::vector<std::string> out;
  for (size_t i = 0; i < sjis.size();) {
    const size_t len = CharLength(sjis, i);
    out.push_back(sjis.substr(i, len));
    i += len;
  }
  return out;
}

bool Contains(const std::vector<std::string>& set, std::string_view c) {
  return std::find(set.begin(), set.end(), c) != set.end();
}

}  // namespace

bool MayNotBeginLine(std::string_view c) {
  static const std::vector<std::string> set = SjisCharacters(
      "、。，．・：；？！゛゜ヽヾゝゞ々ー‐～"
      "）］｝」』】〕〉》’”"
      "ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ"
      "｡､｣･ｰﾞﾟｧｨｩｪｫｬｭｮｯ"
      ")]},.");
  return Contains(set, c);
}

bool MayNotEndLine(std::string_view c) {
  static const std::vector<std::string> set = SjisCharacters("（［｛「『【〔〈《‘“｢([{");
  return Contains(set, c);
}

std::vector<std::string> ReformatLines(const std::vector<std::string>& lines, size_t width, bool kinsoku) {
  std::vector<std::string> out;
  std::vector<size_t> starts;  // where each character of the line begins
  for (const std::string& line : lines) {
    if (line.empty()) {
      out.emplace_back();
      continue;
    }
    starts.clear();
    for (size_t i = 0; i < line.size(); i += CharLength(line, i)) starts.push_back(i);
    starts.push_back(line.size());
    auto at = [&](size_t k) { return std::string_view(line).substr(starts[k], starts[k + 1] - starts[k]); };
    const size_t count = starts.size() - 1;
    size_t first = 0;
    while (first < count) {
      // As many characters as fit (a double-byte character is two columns), at least one.
      size_t end = first, columns = 0;
      while (end < count && (end == first || columns + at(end).size() <= width)) columns += at(end++).size();
      size_t cut = end;
      if (kinsoku && end < count) {
        while (cut > first && (MayNotBeginLine(at(cut)) || MayNotEndLine(at(cut - 1)))) --cut;
        if (cut == first) cut = end;  // no place obeys the rules: break where the width says
      }
      out.push_back(line.substr(starts[first], starts[cut] - starts[first]));
      first = cut;
    }
  }
  return out;
}

std::string TrimLine(std::string_view line) {
  size_t b = 0, e = line.size();
  auto blank_at = [&](size_t i) -> size_t {  // the blank's length at i, or 0
    if (line[i] == ' ' || line[i] == '\t') return 1;
    if (i + 1 < line.size() && static_cast<unsigned char>(line[i]) == 0x81 && static_cast<unsigned char>(line[i + 1]) == 0x40)
      return 2;
    return 0;
  };
  while (b < e) {
    const size_t n = blank_at(b);
    if (n == 0) break;
    b += n;
  }
  // From the end: walk characters from b and remember where the last non-blank ends.
  size_t end = b;
  for (size_t i = b; i < e;) {
    const size_t len = CharLength(line, i);
    if (blank_at(i) == 0) end = i + len;
    i += len;
  }
  return std::string(line.substr(b, end - b));
}

}  // namespace lorvek
