// The viewer's text operations on Shift-JIS lines, free of any widget:
// finding with the option set, find all for the tag list, replacing,
// quoting, indenting and reformatting to a width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "search/regex/regular_expression.h"

#include "search/whole_word.h"

namespace lorvek {

// The find option set.
enum FindOption : int { kMatchCase = 1, kRegExp = 2, kFuzzy = 4, kWholeWord = 8 };

// A place in the text: a line (0-based) and a byte offset in it.
struct TextPoint {
  size_t line = 0;
  size_t col = 0;
  bool operator==(const TextPoint&) const = default;
};

struct TextMatch {
  TextPoint at;
  size_t length = 0;  // bytes
  bool found = false;
};

// The search word under an option set, through the system's own matcher:
// a word without kRegExp is taken literally; without kMatchCase a literal
// word's letters match either case (a regular expression is as written);
// kFuzzy widens it with the fuzzy table; kWholeWord applies the whole-word
// rule with its retry. Raises ERegExpParser for a bad expression.
class TextFinder {
 public:
  TextFinder(std::string_view word, int options);
  // The first match in line at or after byte from. Finds that go left to
  // right over one line share its judge (made for that line), which then
  // walks the line once for all of them.
  TextMatch FindIn(std::string_view line, size_t from) const;
  TextMatch FindIn(std::string_view line, size_t from, WholeWordJudge& judge) const;
  // The first match after (forward) or before (backward) the point.
  TextMatch Next(const std::vector<std::string>& lines, TextPoint from) const;
  TextMatch Previous(const std::vector<std::string>& lines, TextPoint before) const;
  // The last match in line that starts before byte limit.
  TextMatch LastIn(std::string_view line, size_t limit) const;
  // The matches a replacement takes in line, in order, as the replace run
  // takes them: each found against the whole line (anchors and the
  // whole-word test see its real start, end and neighbours); a match the
  // whole-word test refuses is passed over whole; after an empty match the
  // search goes on one character later. They never overlap, so no
  // replacement is matched again.
  std::vector<TextMatch> ReplaceMatches(std::string_view line) const;

 private:
  PatternRef pattern_;
  bool whole_word_;
};

// The regular expression that matches word as it is written.
std::string LiteralPattern(std::string_view word, bool match_case);

struct TagEntry {
  int32_t line_no = 0;  // 1-based
  std::string text;     // the line, trimmed
};

struct FindAllResult {
  std::vector<TagEntry> entries;  // one per line with a match
  size_t count = 0;               // every match
};

// Every match in lines [first, last] (by line), in text order.
FindAllResult FindAll(const std::vector<std::string>& lines, const TextFinder& finder, size_t first = 0,
                      size_t last = SIZE_MAX);

// Replaces every match (ReplaceMatches); returns how many.
size_t ReplaceAll(std::vector<std::string>& lines, const TextFinder& finder, std::string_view replacement);

// line with the given matches (in order, not overlapping) replaced.
std::string ApplyReplacements(std::string_view line, const std::vector<TextMatch>& matches,
                              std::string_view replacement);

// The matches chosen for replacing, by line.
using ChosenMatches = std::vector<std::pair<size_t, std::vector<TextMatch>>>;

struct RangeReplaceResult {
  size_t count = 0;
  size_t first_line = 0, last_line = 0;  // the lines changed (when count > 0)
  // The range's end after the replacements before it (one that starts
  // before it and reaches past it takes the end to the replacement's end).
  TextPoint end;
};

// Replaces the chosen matches (lines in ascending order), moving end along.
RangeReplaceResult ReplaceChosen(std::vector<std::string>& lines, const ChosenMatches& chosen,
                                 std::string_view replacement, TextPoint end);

// The matches (ReplaceMatches) that start at or after from and before end.
ChosenMatches MatchesInRange(const std::vector<std::string>& lines, const TextFinder& finder, TextPoint from,
                             TextPoint end);

// Every match that starts at or after from and before end replaced, as one
// pass over the text.
RangeReplaceResult ReplaceInRange(std::vector<std::string>& lines, const TextFinder& finder,
                                  std::string_view replacement, TextPoint from, TextPoint end);

// "> " before each line from first to last; Unquote takes it away where a
// line starts with it. Lines past the end are left alone.
void QuoteLines(std::vector<std::string>& lines, size_t first, size_t last);
void UnquoteLines(std::vector<std::string>& lines, size_t first, size_t last);
// A tab before each line; Unindent takes one tab, or up to four blanks, away.
void IndentLines(std::vector<std::string>& lines, size_t first, size_t last);
void UnindentLines(std::vector<std::string>& lines, size_t first, size_t last);

// Japanese line-breaking rules: characters that may not begin a line
// (。、 and the like, closing brackets, small kana, prolonged sound mark)
// and those that may not end one (opening brackets). c is one Shift-JIS
// character (one or two bytes).
bool MayNotBeginLine(std::string_view c);
bool MayNotEndLine(std::string_view c);

// Every line broken so that none is wider than width columns (a double-
// byte character is two), never inside a character. Empty lines stay.
// With kinsoku, a break that would begin a line with a character that may
// not begin one, or end a line with one that may not end one, moves back
// (the characters go down to the next line), unless the piece would then
// be empty.
std::vector<std::string> ReformatLines(const std::vector<std::string>& lines, size_t width, bool kinsoku = true);

// Leading and trailing blanks and tabs (and full-width blanks) removed.
std::string TrimLine(std::string_view line);

}  // namespace lorvek
