#include "search/compiled_word.h"

#include <algorithm>
#include <unordered_map>

#include "search/file_grep.h"
#include "search/long_line.h"
#include "search/regex/regular_expression.h"
#include "search/search_terms.h"
#include "search/whole_word.h"
#include "text/sjis.h"

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

namespace {

// The leftmost-longest match in the part of a line from an offset on, that
// part read as a line of its own (its start is a line start), as the string
// matcher finds it, for the retries of the whole-word rule. Every run of the
// automaton is deterministic, so the longest end a run reaches from a given
// position and state is the same whichever retry asks: it is remembered, and
// all the retries over one line cost one pass.
class RetryFinder {
 public:
  RetryFinder(const CompiledPattern& c, std::string_view line) : c_(c), line_(line) {}

  // offset_starts_line: the text from offset on is read as a line of its
  // own; else the line is read whole and offset is only where to look from.
  MatchPos From(size_t offset, bool offset_starts_line = true) {
    const size_t n = line_.size();
    const int start = c_.start();
    auto found = [&](size_t at, long long end) { return MatchPos{at - offset + 1, static_cast<size_t>(end) - at}; };
    if (!c_.anchored_start() && !c_.anchored_end()) {
      if (offset >= n) return c_.accepting(start) ? MatchPos{1, 0} : MatchPos{};
      for (size_t p = offset; p < n; p += CharLength(line_, p))
        if (long long r = Longest(p, start); r >= 0) return found(p, r);
      return {};
    }
    auto line_start_way = [&](size_t p) {
      long long r = Longest(p, start);
      if (c_.anchored_start()) r = std::max(r, Longest(p, c_.line_start_state()));
      return r;
    };
    const bool at_line_start = offset_starts_line || offset == 0 || (offset <= n && line_[offset - 1] == '\n');
    if (at_line_start)
      if (long long r = line_start_way(offset); r >= 0) return found(offset, r);
    for (size_t p = offset; p < n; p += CharLength(line_, p)) {
      if (long long r = Longest(p, start); r >= 0) return found(p, r);
      if (line_[p] == '\n' && c_.anchored_start())
        if (long long r = line_start_way(p + 1); r >= 0) return found(p + 1, r);
    }
    if (c_.anchored_end() && c_.has_line_end(start)) return MatchPos{n - offset + 1, 0};
    return {};
  }

 private:
  // The longest end of a run that is in state at position p, or -1.
  long long Longest(size_t p, int state) {
    if (state == CompiledPattern::kDead) return -1;
    const size_t n = line_.size();
    path_.clear();
    long long value;
    for (;;) {
      const uint64_t key = static_cast<uint64_t>(p) * c_.state_count() + static_cast<uint64_t>(state);
      if (auto it = memo_.find(key); it != memo_.end()) {
        value = it->second;
        break;
      }
      const uint16_t code = p < n ? CharCode(line_, p) : 0;
      const size_t len = p < n ? CharLength(line_, p) : 0;
      const int next = len ? c_.Step(state, code) : CompiledPattern::kDead;
      if (next == CompiledPattern::kDead) {
        // The run dies here: the line-end anchor may still take the end or a CR.
        const bool ends = ((code == 0 || code == 13) && c_.has_line_end(state)) || c_.accepting(state);
        value = ends ? static_cast<long long>(p) : -1;
        memo_.emplace(key, value);
        break;
      }
      path_.push_back({key, p, state});
      p += len;
      state = next;
    }
    for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
      if (value < 0 && c_.accepting(it->state)) value = static_cast<long long>(it->p);
      memo_.emplace(it->key, value);
    }
    return value;
  }

  struct Step {
    uint64_t key;
    size_t p;
    int state;
  };
  const CompiledPattern& c_;
  std::string_view line_;
  std::unordered_map<uint64_t, long long> memo_;
  std::vector<Step> path_;
};

}  // namespace

MatchPos FindWholeWordHit(const CompiledPattern& pattern, std::string_view line, bool whole_word) {
  MatchPos m = MatchLeftmostLongest(pattern, line, mcls_CRLF);
  if (!m || !whole_word) return m;
  WholeWordJudge judge(line);
  if (judge.IsWhole(m.start, m.length)) return m;
  // A refused match: the search goes on where it ends (one character on
  // after an empty one), in the whole line, so that the anchors and the
  // neighbours of later matches are the line's own.
  LineMatchFinder finder(pattern, line);
  for (;;) {
    const size_t start = m.start - 1;
    const size_t from = m.length > 0 ? start + m.length : start + (start < line.size() ? CharLength(line, start) : 1);
    if (from > line.size()) return {};
    m = finder.From(from);
    if (!m) return {};
    if (judge.IsWhole(m.start, m.length)) return m;
  }
}

struct LineMatchFinder::Impl {
  const CompiledPattern& pattern;
  std::string_view line;
  RetryFinder finder;
};

LineMatchFinder::LineMatchFinder(const CompiledPattern& pattern, std::string_view line)
    : impl_(std::make_unique<Impl>(Impl{pattern, line, RetryFinder(pattern, line)})) {}
LineMatchFinder::~LineMatchFinder() = default;

MatchPos LineMatchFinder::From(size_t offset) {
  const CompiledPattern& c = impl_->pattern;
  // A plain string without anchors is matched in the rest as it is; any
  // other pattern through the finder that remembers, for every place and
  // state, where its run ends, so that a line of many matches costs one
  // pass in all (a run of cat.*q would go to the line's end again and
  // again).
  const MatchPos m = c.is_plain_string() && !c.anchored_start() && !c.anchored_end()
                         ? MatchLeftmostLongest(c, impl_->line.substr(std::min(offset, impl_->line.size())), mcls_CRLF)
                         : impl_->finder.From(offset, false);
  return m ? MatchPos{m.start + offset, m.length} : m;
}

std::vector<MatchPos> MatchesInLine(const CompiledPattern& pattern, std::string_view line, bool whole_word) {
  std::vector<MatchPos> out;
  LineMatchFinder finder(pattern, line);
  WholeWordJudge judge(line);
  for (size_t from = 0; from <= line.size();) {
    const MatchPos m = finder.From(from);
    if (!m) break;
    const size_t start = m.start - 1;
    if (!whole_word || judge.IsWhole(m.start, m.length)) out.push_back(m);
    // Past this match; past one character after an empty one.
    from = m.length > 0 ? start + m.length : start + (start < line.size() ? CharLength(line, start) : 1);
  }
  return out;
}

MatchPos CompiledWord::FindHit(std::string_view line, bool whole_word) const {
  return FindWholeWordHit(Term(0), line, whole_word);
}

bool CompiledWord::OtherTermsMatch(std::string_view line) const {
  for (size_t k = 1; k < term_patterns_.size(); ++k)
    if (!MatchLeftmostLongest(*term_patterns_[k], line, mcls_CRLF)) return false;
  return true;
}

void CompiledWord::ScanFile(const FileRef& file, const std::function<void(const RE_LineInfo_t&)>& on_match,
                            const std::function<void()>& process_events, bool* cancel) const {
  try {
    ScanFileForMatches(FilePattern(), file, on_match, process_events, cancel);
  } catch (const EGrepCancel&) {
    // Nobody wants further lines: the scan ends here.
  }
}

std::unique_ptr<LongLineDecision> CompiledWord::DecideLongLine(bool whole_word, size_t window_bytes) const {
  return std::make_unique<LongLineMatcher>(*this, whole_word, window_bytes);
}

}  // namespace lorvek
