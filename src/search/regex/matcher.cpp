// String matching: leftmost start, then longest run, with the line-start and
// line-end anchors and the line-separator rule; and the per-line test of the
// file scan. Scratch space is per thread, so patterns stay shareable.
#include "search/regex/matcher.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "text/sjis.h"

namespace lorvek {
namespace {

struct Ch {
  uint16_t code;
  size_t len;  // 0 at the end of the text
};

inline Ch At(std::string_view s, size_t pos) {
  if (pos >= s.size()) return {0, 0};
  return {CharCode(s, pos), CharLength(s, pos)};
}

constexpr size_t kNone = std::numeric_limits<size_t>::max();

// Marks of states already reached at one position; a stamp per position
// spares clearing the marks.
struct SeenStates {
  std::vector<uint32_t> marks;
  uint32_t stamp = 0;
  void Prepare(size_t states) {
    if (marks.size() < states) marks.assign(states, 0);
  }
  void NextPosition() {
    if (++stamp == 0) {
      std::fill(marks.begin(), marks.end(), 0);
      stamp = 1;
    }
  }
  // True the first time a state is marked at this position.
  bool Mark(int state) {
    uint32_t& m = marks[static_cast<size_t>(state)];
    if (m == stamp) return false;
    m = stamp;
    return true;
  }
};

struct Run {
  size_t start;
  int state;
  long long last;  // last accepting end, -1 for none yet
};

struct StringScratch {
  std::vector<Run> runs, next_runs;
  SeenStates seen;
};


}  // namespace

MatchPos MatchLeftmostLongestReference(const CompiledPattern& c, std::string_view s,
                                       TMatchCORE_LineSeparator separator) {
  const int start = c.start();
  if (!c.anchored_start() && !c.anchored_end()) {
    if (s.empty()) return c.accepting(start) ? MatchPos{1, 0} : MatchPos{};
    for (size_t pos = 0; pos < s.size(); pos += CharLength(s, pos)) {
      int st = start;
      long long last = c.accepting(st) ? static_cast<long long>(pos) : -1;
      size_t p = pos;
      for (;;) {
        Ch ch = At(s, p);
        int t = ch.len ? c.StepSorted(st, ch.code) : CompiledPattern::kDead;
        if (t == CompiledPattern::kDead) break;
        st = t;
        p += ch.len;
        if (c.accepting(st)) last = static_cast<long long>(p);
      }
      if (last >= 0) return {pos + 1, static_cast<size_t>(last) - pos};
    }
    return {};
  }

  const uint16_t sep = SeparatorCode(separator);
  auto longest_run = [&](int st, size_t pos) -> long long {
    if (st == CompiledPattern::kDead) return -1;
    long long last = c.accepting(st) ? static_cast<long long>(pos) : -1;
    size_t p = pos;
    uint16_t stop;
    for (;;) {
      Ch ch = At(s, p);
      int t = ch.len ? c.StepSorted(st, ch.code) : CompiledPattern::kDead;
      if (t == CompiledPattern::kDead) {
        stop = ch.code;
        break;
      }
      st = t;
      p += ch.len;
      if (c.accepting(st)) last = static_cast<long long>(p);
    }
    if (stop != 0 && stop != sep) return last;
    if (c.has_line_end(st)) return static_cast<long long>(p);
    return last;
  };
  auto line_start_way = [&](size_t pos) {
    long long r = longest_run(start, pos);
    if (c.anchored_start()) r = std::max(r, longest_run(c.line_start_state(), pos));
    return r;
  };

  long long r = line_start_way(0);
  if (r >= 0) return {1, static_cast<size_t>(r)};
  for (size_t pos = 0; pos < s.size(); pos += CharLength(s, pos)) {
    r = longest_run(start, pos);
    if (r >= 0) return {pos + 1, static_cast<size_t>(r) - pos};
    if (s[pos] == '\n' && c.anchored_start()) {
      size_t q = pos + 1;
      r = line_start_way(q);
      if (r >= 0) return {q + 1, static_cast<size_t>(r) - q};
    }
  }
  if (c.anchored_end() && c.has_line_end(start)) return {s.size() + 1, 0};
  return {};
}

MatchPos MatchLeftmostLongest(const CompiledPattern& c, std::string_view s, TMatchCORE_LineSeparator separator) {
  const bool ls = c.anchored_start();
  if (c.is_plain_string() && !ls && !c.anchored_end()) {
    size_t start, end;
    if (!c.FindPlainString(s, &start, &end)) return {};
    return {start + 1, end - start};
  }

  // A line without any of the strings every match holds has no match.
  if (c.LacksEveryCandidate(s)) return {};
  thread_local StringScratch scratch;
  std::vector<Run>& runs = scratch.runs;
  std::vector<Run>& next_runs = scratch.next_runs;
  SeenStates& seen = scratch.seen;
  const int start = c.start();
  const uint16_t sep = SeparatorCode(separator);
  const bool start_accepts = c.accepting(start);
  const bool start_has_le = c.has_line_end(start);
  seen.Prepare(c.state_count());

  runs.clear();
  size_t best_start = kNone;
  long long best_end = -1;
  auto succeed = [&](size_t run_start, long long end) {
    if (best_start == kNone || run_start < best_start) {
      best_start = run_start;
      best_end = end;
    } else if (run_start == best_start) {
      best_end = std::max(best_end, end);
    }
  };
  auto add_run = [&](int state, size_t pos) {
    if (state == CompiledPattern::kDead) return;
    long long last = c.accepting(state) ? static_cast<long long>(pos) : -1;
    if (last >= 0) succeed(pos, -1);
    runs.push_back({pos, state, last});
  };

  size_t pos = 0;
  uint16_t prev = 0;
  for (;;) {
    if (runs.empty() && best_start == kNone && !start_accepts) {
      // Nothing alive: skip bytes that cannot begin a match.
      while (pos < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[pos]);
        if (c.CanStartWithByte(b) || (ls && (pos == 0 || prev == 10)) || (start_has_le && (b == sep || b == 0)))
          break;
        size_t len = CharLength(s, pos);
        prev = len == 1 ? b : 0;
        pos += len;
      }
    }
    Ch ch = At(s, pos);
    if (best_start == kNone) {
      add_run(start, pos);
      if (ls && (pos == 0 || prev == 10)) add_run(c.line_start_state(), pos);
    }
    seen.NextPosition();
    next_runs.clear();
    for (Run r : runs) {
      if (best_start != kNone && r.start > best_start) continue;
      int t = ch.len ? c.Step(r.state, ch.code) : CompiledPattern::kDead;
      if (t == CompiledPattern::kDead) {
        long long outcome = ((ch.code == 0 || ch.code == sep) && c.has_line_end(r.state))
                                ? static_cast<long long>(pos)
                                : r.last;
        if (outcome >= 0) succeed(r.start, outcome);
        continue;
      }
      r.state = t;
      if (c.accepting(t)) {
        r.last = static_cast<long long>(pos + ch.len);
        if (best_start == kNone || r.start < best_start) succeed(r.start, -1);
      }
      if (r.last < 0) {
        // Two runs in one state share their future: the earlier start wins.
        if (!seen.Mark(t)) continue;
      }
      next_runs.push_back(r);
    }
    runs.swap(next_runs);
    if (best_start != kNone) {
      runs.erase(std::remove_if(runs.begin(), runs.end(),
                                 [&](const Run& r) { return r.start > best_start; }),
                  runs.end());
      if (runs.empty()) return {best_start + 1, static_cast<size_t>(best_end) - best_start};
    }
    if (ch.len == 0) break;
    prev = ch.code;
    pos += ch.len;
  }
  return {};
}

bool LineHasMatch(const CompiledPattern& c, std::string_view line) {
  LineMatchStream stream(c);
  stream.Begin();
  stream.Feed(line);
  return stream.End();
}

void LineMatchStream::Begin() {
  states_.clear();
  pending_lead_ = -1;
  if (marks_.size() < c_.state_count()) marks_.assign(c_.state_count(), 0);
  matched_ = c_.accepting(c_.start());
  if (!matched_) Step('\n', true);  // the LF the line follows
}

void LineMatchStream::Step(uint16_t code, bool may_start) {
  if (++stamp_ == 0) {
    std::fill(marks_.begin(), marks_.end(), 0);
    stamp_ = 1;
  }
  next_.clear();
  auto advance = [&](int s) {
    int n = c_.Step(s, code);
    if (n == CompiledPattern::kDead || marks_[static_cast<size_t>(n)] == stamp_) return false;
    marks_[static_cast<size_t>(n)] = stamp_;
    next_.push_back(n);
    return c_.accepting(n);
  };
  for (int s : states_)
    if (advance(s)) {
      matched_ = true;
      return;
    }
  if (may_start && advance(c_.start())) {
    matched_ = true;
    return;
  }
  states_.swap(next_);
}

void LineMatchStream::Feed(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size() && !matched_; ++i) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b == 0) b = ' ';
    if (pending_lead_ >= 0) {
      uint16_t code = static_cast<uint16_t>(pending_lead_ * 256 + b);
      pending_lead_ = -1;
      Step(code, true);
      continue;
    }
    if (IsLeadByte(b)) {
      pending_lead_ = b;
      continue;
    }
    // Nothing alive and no match can begin here: the step changes nothing.
    if (states_.empty() && !c_.CanStartWithByte(b)) continue;
    Step(b, true);
  }
}

bool LineMatchStream::End() {
  if (matched_) return true;
  // A lead byte at the very end pairs with the LF after the line; no match
  // may begin at that LF itself, which belongs to the next line.
  if (pending_lead_ >= 0) Step(static_cast<uint16_t>(pending_lead_ * 256 + '\n'), true);
  else Step('\n', false);
  pending_lead_ = -1;
  return matched_;
}

}  // namespace lorvek
