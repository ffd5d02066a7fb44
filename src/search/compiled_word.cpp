#include "search/compiled_word.h"

#include "search/regex/regular_expression.h"
#include "search/search_terms.h"
#include "search/whole_word.h"

namespace lorvek {

std::shared_ptr<const CompiledWord> CompiledWord::Compile(std::string_view word, bool fuzzy) {
  auto w = std::make_shared<CompiledWord>();
  w->word_.assign(word);
  w->fuzzy_ = fuzzy;
  w->terms_ = SplitSearchTerms(word);
  if (w->terms_.empty()) w->terms_.emplace_back();
  // Every term is compiled now, so an invalid later term refuses the search
  // before any file is read instead of silently losing hits later. A term
  // that repeats an earlier one shares its pattern.
  for (size_t k = 0; k < w->terms_.size(); ++k) {
    PatternRef p;
    for (size_t j = 0; j < k && !p; ++j)
      if (w->terms_[j] == w->terms_[k]) p = w->term_patterns_[j];
    w->term_patterns_.push_back(p ? p : CompileStringPattern(w->terms_[k], fuzzy));
  }
  w->file_pattern_ = CompileFilePattern(w->terms_[0], fuzzy);
  return w;
}

MatchPos FindWholeWordHit(const CompiledPattern& pattern, std::string_view line, bool whole_word) {
  size_t offset = 0;
  std::string_view s = line;
  for (;;) {
    MatchPos m = MatchLeftmostLongest(pattern, s, mcls_CRLF);
    if (!m) return {};
    if (!whole_word || IsWholeWd(s, m.start, m.length)) return {m.start + offset, m.length};
    // Retry after the byte that follows the match; the rest counts as a line
    // of its own for the whole-word test and the anchors.
    size_t next = m.start + m.length;
    if (next > s.size()) return {};
    s.remove_prefix(next);
    offset += next;
  }
}

MatchPos CompiledWord::FindHit(std::string_view line, bool whole_word) const {
  return FindWholeWordHit(Term(0), line, whole_word);
}

bool CompiledWord::OtherTermsMatch(std::string_view line) const {
  for (size_t k = 1; k < term_patterns_.size(); ++k)
    if (!MatchLeftmostLongest(*term_patterns_[k], line, mcls_CRLF)) return false;
  return true;
}

}  // namespace lorvek
