// Whole-word rule: a word is bounded by delimiters, line ends, or a change of
// character class, so it also works for Japanese script. Neighbours are
// characters, found by walking the line from its start (a byte before a
// match may be the trail byte of a kanji); the prolonged sound mark and the
// iteration marks (ー ｰ 々 ゝ ゞ ヽ ヾ) take the class of the character
// before them, so コーヒー is no word of its own in コーヒーカップ.
#pragma once

#include <cstddef>
#include <string_view>

namespace lorvek {

// Judges matches of one line. Matches asked for from left to right cost one
// walk over the line in all; one further left starts the walk again.
class WholeWordJudge {
 public:
  explicit WholeWordJudge(std::string_view line) : line_(line) {}
  // start is 1-based, length in bytes; the match begins at a character.
  bool IsWhole(size_t start, size_t length);

 private:
  // Walks to the character that begins at byte to (or the last one that
  // begins before it), keeping the class of the character before it.
  void WalkTo(size_t to);

  std::string_view line_;
  size_t at_ = 0;         // a character start; every character before it is walked
  int before_class_ = 0;  // the class of the character before at_ (0: line start)
};

// One match of a line (start 1-based, length in bytes).
bool IsWholeWd(std::string_view line, size_t start, size_t length);

// The class of a character of its own: 1 delimiter, 2 other single byte,
// 3 half-width katakana, 17..21 double-byte groups; code is the byte or
// lead * 256 + trail. A mark that takes its class from the character
// before it gives 0.
int WordClassOf(unsigned code, bool delimiters_count);

}  // namespace lorvek
