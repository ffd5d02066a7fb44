// The search word compiled once for a run: its AND terms as immutable
// patterns, term 0 also in the form the file scan reads. A value that can be
// shared by the run, the preview, exports and replace, from any thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "search/match_target.h"
#include "search/regex/matcher.h"

namespace lorvek {

class CompiledWord final : public WordMatcher {
 public:
  // Splits the word into terms and compiles each once (the fuzzy expansion
  // first when asked). Raises ERegExpParser for the first invalid term.
  static std::shared_ptr<const CompiledWord> Compile(std::string_view word, bool fuzzy);

  const std::string& Word() const { return word_; }
  bool Fuzzy() const { return fuzzy_; }
  const std::vector<std::string>& Terms() const { return terms_; }
  const CompiledPattern& Term(size_t k) const { return *term_patterns_[k]; }
  // Term 0 with the file scan's LF anchors.
  const CompiledPattern& FilePattern() const { return *file_pattern_; }

  // Term 0 anywhere in the line, leftmost-longest.
  MatchPos MatchTerm0(std::string_view line) const { return MatchLeftmostLongest(Term(0), line, mcls_CRLF); }
  // Term 0's hit as the search accepts it: with whole word on, a rejected
  // match is retried on the text after it. The position is in line.
  MatchPos FindHit(std::string_view line, bool whole_word) const override;
  // Every term after the first somewhere in the line (no whole-word test).
  bool OtherTermsMatch(std::string_view line) const override;
  bool HasCandidates() const override { return !Term(0).candidates().empty(); }
  size_t NextCandidate(std::string_view text, size_t from) const override {
    return Term(0).candidate_search().Find(text, from);
  }
  void ScanFile(const FileRef& file, const std::function<void(const RE_LineInfo_t&)>& on_match,
                const std::function<void()>& process_events, bool* cancel) const override;
  std::unique_ptr<LongLineDecision> DecideLongLine(bool whole_word, size_t window_bytes) const override;

 private:
  std::string word_;
  bool fuzzy_ = false;
  std::vector<std::string> terms_;
  std::vector<PatternRef> term_patterns_;
  PatternRef file_pattern_;
};

using CompiledWordRef = std::shared_ptr<const CompiledWord>;

// The matches of a pattern in one line, the line read whole: a line-start
// anchor matches only at the line's start (or after a LF in it), the
// line-end anchor only at its end, so a match found from an offset is one
// the whole line holds. Positions are 1-based in the line.
class LineMatchFinder {
 public:
  LineMatchFinder(const CompiledPattern& pattern, std::string_view line);
  ~LineMatchFinder();
  // The leftmost-longest match that starts at offset (0-based) or later.
  MatchPos From(size_t offset);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Every match of a pattern in a line, left to right, each found after the
// one before (never overlapping it; past one character after an empty
// match), as LineMatchFinder finds them; with whole_word, those that pass
// the whole-word test against their real neighbours. What a replace takes.
std::vector<MatchPos> MatchesInLine(const CompiledPattern& pattern, std::string_view line, bool whole_word);

// FindHit for any pattern compiled for strings.
MatchPos FindWholeWordHit(const CompiledPattern& pattern, std::string_view line, bool whole_word);

}  // namespace lorvek
