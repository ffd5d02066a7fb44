#include "search/long_line.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "search/regex/matcher.h"
#include "text/sjis.h"

namespace lorvek {
namespace {

// Bytes next to a match that its decision reads: the whole-word test looks
// at the two bytes after it, the line-end anchor at the end or a CR.
constexpr size_t kEdge = 4;
// Candidates a window passes over because they touch its edges; only a
// pathological pattern and line come near it.
constexpr int kMaxTries = 4096;

}  // namespace

size_t MaxMatchBytes(const CompiledPattern& c) {
  const size_t n = c.state_count();
  const auto& moves = c.sorted_transitions();
  // States from which an accepting state can be reached.
  std::vector<std::vector<int>> back(n);
  for (size_t s = 0; s < n; ++s)
    for (const auto& [range, t] : moves[s])
      if (t >= 0) back[static_cast<size_t>(t)].push_back(static_cast<int>(s));
  std::vector<uint8_t> live(n, 0);
  std::vector<int> todo;
  for (size_t s = 0; s < n; ++s)
    if (c.accepting(static_cast<int>(s))) {
      live[s] = 1;
      todo.push_back(static_cast<int>(s));
    }
  while (!todo.empty()) {
    const int s = todo.back();
    todo.pop_back();
    for (int p : back[static_cast<size_t>(s)])
      if (!live[static_cast<size_t>(p)]) {
        live[static_cast<size_t>(p)] = 1;
        todo.push_back(p);
      }
  }
  // The longest path through live states, in steps; a cycle means no bound.
  constexpr size_t kUnbounded = SIZE_MAX;
  std::vector<size_t> longest(n, 0);
  std::vector<uint8_t> colour(n, 0);  // 0 new, 1 on the path, 2 done
  bool unbounded = false;
  std::function<void(int)> visit = [&](int s) {
    const size_t i = static_cast<size_t>(s);
    colour[i] = 1;
    size_t best = 0;
    for (const auto& [range, t] : moves[i]) {
      if (unbounded) return;
      if (t < 0 || !live[static_cast<size_t>(t)]) continue;
      const size_t j = static_cast<size_t>(t);
      if (colour[j] == 1) {
        unbounded = true;
        return;
      }
      if (colour[j] == 0) visit(t);
      best = std::max(best, longest[j] + 1);
    }
    longest[i] = best;
    colour[i] = 2;
  };
  size_t steps = 0;
  for (int s : {c.start(), c.line_start_state()}) {
    if (s < 0 || !live[static_cast<size_t>(s)]) continue;
    if (colour[static_cast<size_t>(s)] == 0) visit(s);
    if (unbounded) return kUnbounded;
    steps = std::max(steps, longest[static_cast<size_t>(s)] + (s == c.line_start_state() ? 1 : 0));
  }
  return steps * 2;  // a character is at most two bytes
}

LongLineMatcher::LongLineMatcher(const CompiledWord& word, bool whole_word, size_t window_bytes)
    : whole_word_(whole_word) {
  const size_t most = std::max<size_t>(window_bytes / 2, 64);
  std::vector<size_t> needed;
  size_t overlap = 256;
  bool any_unbounded = false;
  for (size_t k = 0; k < word.Terms().size(); ++k) {
    const size_t m = MaxMatchBytes(word.Term(k));
    const size_t need = m == SIZE_MAX || m > most ? SIZE_MAX : m + kEdge;
    needed.push_back(need);
    if (need == SIZE_MAX) any_unbounded = true;
    else overlap = std::max(overlap, need + 4 * kEdge);
  }
  if (any_unbounded) overlap = std::max(overlap, kUnboundedOverlap);
  overlap_ = std::min(overlap, most);
  for (size_t k = 0; k < needed.size(); ++k)
    terms_.push_back(Term{&word.Term(k), std::min(needed[k], overlap_ - 2 * kEdge)});
}

void LongLineMatcher::Begin() {
  window_.clear();
  window_at_ = 0;
  first_ = true;
  hit_ = false;
  all_found_ = false;
  hit_text_.clear();
  hit_pos_ = {};
  head_.clear();
  for (Term& t : terms_) t.found = false;
  fed_ = false;
}

void LongLineMatcher::Feed(std::string_view piece) {
  // The window before is searched once it is known not to be the last.
  if (fed_) {
    Search(window_, false);
    const size_t n = window_.size();
    const size_t keep_from = n > overlap_ ? CharStartAtOrBefore(window_, n - overlap_) : 0;
    if (all_found_) window_.clear();  // decided: the rest of the line is only read
    else window_.erase(0, keep_from);
    window_at_ += keep_from;
    first_ = false;
  }
  fed_ = true;
  if (!all_found_) window_.append(piece);
}

void LongLineMatcher::End() {
  if (fed_) Search(window_, true);
  window_.clear();
  window_.shrink_to_fit();
}

void LongLineMatcher::Search(std::string_view w, bool last) {
  if (first_ && head_.empty()) {
    const size_t cut = w.size() > kHeadBytes ? CharStartAtOrBefore(w, kHeadBytes) : w.size();
    head_.assign(w.substr(0, cut));
    if (cut < w.size() || !last) head_ += kCutMark;
  }
  if (all_found_) return;
  bool all = true;
  for (size_t k = 0; k < terms_.size(); ++k) {
    Term& t = terms_[k];
    if (!t.found) {
      size_t at = 0, length = 0;
      // Only term 0 takes the whole-word test.
      t.found = FindIn(t, k == 0 && whole_word_, w, last, &at, &length);
      if (t.found && k == 0) {
        hit_ = true;
        CutAround(w, at, length, last);
      }
    }
    all = all && t.found;
  }
  all_found_ = all;
}

bool LongLineMatcher::FindIn(const Term& t, bool whole_word, std::string_view w, bool last, size_t* at,
                             size_t* length) const {
  const CompiledPattern& p = *t.pattern;
  const size_t n = w.size();
  // Matches that start this late may reach past the window or read its end
  // as the line's: the next window, which holds them whole, decides them.
  const size_t limit = last ? n + 1 : (n > t.tail ? n - t.tail : 0);
  // Without anchors and the whole-word test a match does not depend on
  // what lies around it: any match the window holds is one of the line.
  const bool context_free = !whole_word && !p.anchored_start() && !p.anchored_end();
  size_t from = 0;
  for (int tries = 0; tries < kMaxTries && from < limit && from <= n; ++tries) {
    const std::string_view rest = w.substr(from);
    const MatchPos m = whole_word ? FindWholeWordHit(p, rest, true) : MatchLeftmostLongest(p, rest, mcls_CRLF);
    if (!m) return false;
    const size_t s = from + m.start - 1, e = s + m.length;
    if (s >= limit) return false;
    // The searched text's start reads as a line start: a match there is
    // the window's own unless the line starts there too. (Its place was
    // decided by the window before, which held it inside.)
    const bool edge_start = s == from && !(first_ && from == 0);
    const bool edge_end = !last && e + kEdge > n;
    if (context_free || (!edge_start && !edge_end)) {
      *at = s;
      *length = m.length;
      return true;
    }
    from = s + (s < n ? CharLength(w, s) : 1);
  }
  return false;
}

void LongLineMatcher::CutAround(std::string_view w, size_t at, size_t length, bool last) {
  const size_t n = w.size();
  const size_t from = at > kCutBefore ? CharStartAtOrBefore(w, at - kCutBefore) : 0;
  const size_t hit_end = at + std::min(length, kCutHitMax);
  const size_t want_to = hit_end + kCutAfter;
  const size_t to = want_to >= n ? n : CharStartAtOrBefore(w, want_to);
  hit_text_.clear();
  if (window_at_ + from > 0) hit_text_ += kCutMark;
  const size_t shown_at = hit_text_.size() + (at - from) + 1;
  hit_text_.append(w.substr(from, to - from));
  if (to < n || !last) hit_text_ += kCutMark;
  hit_pos_ = {shown_at, std::min(at + length, to) - at};
}

}  // namespace lorvek
