// String matching: leftmost start, then longest run, with the line-start and
// line-end anchors and the line-separator rule.
#include <algorithm>
#include <limits>

#include "search/regex/regular_expression.h"
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

}  // namespace

MatchPos TMatchCORE::MatchReference(std::string_view s) const {
  const CompiledPattern& c = Current();
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

  const uint16_t sep = SeparatorCode();
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

MatchPos TMatchCORE::MatchPlainString(std::string_view s) const {
  size_t start, end;
  if (!Current().FindPlainString(s, &start, &end)) return {};
  return {start + 1, end - start};
}

MatchPos TMatchCORE::MatchFast(std::string_view s) const {
  const CompiledPattern& c = Current();
  const bool ls = c.anchored_start();
  if (c.is_plain_string() && !ls && !c.anchored_end()) return MatchPlainString(s);

  const int start = c.start();
  const uint16_t sep = SeparatorCode();
  const bool start_accepts = c.accepting(start);
  const bool start_has_le = c.has_line_end(start);
  if (seen_.size() < c.state_count()) seen_.assign(c.state_count(), 0);

  runs_.clear();
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
    runs_.push_back({pos, state, last});
  };

  size_t pos = 0;
  uint16_t prev = 0;
  for (;;) {
    if (runs_.empty() && best_start == kNone && !start_accepts) {
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
    if (++seen_stamp_ == 0) {
      std::fill(seen_.begin(), seen_.end(), 0);
      seen_stamp_ = 1;
    }
    next_runs_.clear();
    for (Run r : runs_) {
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
        if (seen_[static_cast<size_t>(t)] == seen_stamp_) continue;
        seen_[static_cast<size_t>(t)] = seen_stamp_;
      }
      next_runs_.push_back(r);
    }
    runs_.swap(next_runs_);
    if (best_start != kNone) {
      runs_.erase(std::remove_if(runs_.begin(), runs_.end(),
                                 [&](const Run& r) { return r.start > best_start; }),
                  runs_.end());
      if (runs_.empty()) return {best_start + 1, static_cast<size_t>(best_end) - best_start};
    }
    if (ch.len == 0) break;
    prev = ch.code;
    pos += ch.len;
  }
  return {};
}

}  // namespace lorvek
