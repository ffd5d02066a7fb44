#include "regex_reference.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <vector>

#include "search/regex/regex_error.h"
#include "search/regex/scanner.h"
#include "text/sjis.h"

namespace lorvek::test {
namespace {

constexpr unsigned kMaxCode = 0xFCFF;

bool InDot(unsigned code) { return (code >= 1 && code <= 9) || code == 11 || code == 12 || (code >= 14 && code <= 0xFCFC); }

struct Node {
  enum Kind { Exact, Dot, Class, LineStart, LineEnd, Concat, Union, Star, Empty } kind;
  unsigned code = 0;
  bool negated = false;
  std::vector<std::pair<unsigned, unsigned>> ranges;
  std::vector<int> kids;
};

struct Invalid : std::runtime_error {
  Invalid() : std::runtime_error("invalid") {}
};

class Parser {
 public:
  explicit Parser(std::string_view pattern) : tokens_(ScanPattern(pattern)) {}
  int Parse() {
    int root = Pattern();
    if (Cur().kind != TokenKind::End) throw Invalid();
    return root;
  }
  std::vector<Node> nodes;

 private:
  const Token& Cur() const { return tokens_[pos_]; }
  int Add(Node n) {
    nodes.push_back(std::move(n));
    return static_cast<int>(nodes.size()) - 1;
  }
  int Pattern() {
    std::vector<int> alts{Alternative()};
    while (Cur().kind == TokenKind::Bar) {
      ++pos_;
      alts.push_back(Alternative());
    }
    return alts.size() == 1 ? alts[0] : Add({Node::Union, 0, false, {}, alts});
  }
  int Alternative() {
    std::vector<int> factors;
    while (Cur().kind != TokenKind::Bar && Cur().kind != TokenKind::RParen && Cur().kind != TokenKind::End)
      factors.push_back(Factor());
    if (factors.empty()) return Add({Node::Empty});
    return factors.size() == 1 ? factors[0] : Add({Node::Concat, 0, false, {}, factors});
  }
  int Factor() {
    int atom = Atom();
    switch (Cur().kind) {
      case TokenKind::Star: ++pos_; return Add({Node::Star, 0, false, {}, {atom}});
      case TokenKind::Plus: {
        ++pos_;
        int star = Add({Node::Star, 0, false, {}, {atom}});
        return Add({Node::Concat, 0, false, {}, {atom, star}});
      }
      case TokenKind::Question: {
        ++pos_;
        int empty = Add({Node::Empty});
        return Add({Node::Union, 0, false, {}, {atom, empty}});
      }
      default: return atom;
    }
  }
  int Atom() {
    const Token t = Cur();
    ++pos_;
    switch (t.kind) {
      case TokenKind::Char: return Add({Node::Exact, t.code});
      case TokenKind::Dot: return Add({Node::Dot});
      case TokenKind::Caret: return Add({Node::LineStart});
      case TokenKind::Dollar: return Add({Node::LineEnd});
      case TokenKind::LParen: {
        int inner = Pattern();
        if (Cur().kind != TokenKind::RParen) throw Invalid();
        ++pos_;
        return inner;
      }
      case TokenKind::ClassOpen: return ClassBody(t.negated);
      default: throw Invalid();
    }
  }
  int ClassBody(bool negated) {
    Node n{Node::Class};
    n.negated = negated;
    while (Cur().kind != TokenKind::ClassClose) {
      if (Cur().kind != TokenKind::ClassChar) throw Invalid();
      unsigned lo = Cur().code;
      ++pos_;
      unsigned hi = lo;
      if (Cur().kind == TokenKind::ClassHyphen) {
        ++pos_;
        hi = Cur().code;
        ++pos_;
        if (hi < lo) throw Invalid();
      }
      n.ranges.push_back({lo, hi});
    }
    ++pos_;
    if (n.ranges.empty()) throw Invalid();
    if (negated) {
      bool any = false;
      for (unsigned c = 1; c <= 0xFCFC && !any; ++c)
        if (InDot(c) && !InRanges(n.ranges, c)) any = true;
      if (!any) throw Invalid();
    }
    return Add(std::move(n));
  }

 public:
  static bool InRanges(const std::vector<std::pair<unsigned, unsigned>>& r, unsigned c) {
    for (auto [lo, hi] : r)
      if (c >= lo && c <= hi) return true;
    return false;
  }

 private:
  std::vector<Token> tokens_;
  size_t pos_ = 0;
};

using State = std::pair<size_t, int>;  // position, and 1 once the line-start anchor was taken
using States = std::set<State>;

class Evaluator {
 public:
  Evaluator(const std::vector<Node>& nodes, std::string_view s) : nodes_(nodes), s_(s) {}

  // Runs the tree from pos; fills what one walk from there can tell.
  void Run(int root, size_t pos) {
    reached_[0] = pos;
    reached_[1] = pos;
    dollar_[0].clear();
    dollar_[1].clear();
    anchor_taken_ = false;
    ends_ = Eval(root, {{pos, 0}}, true, true);
  }
  // The longest end of the walk of tag t (0: from the start, 1: through the
  // line-start anchor), with the line-end rule at the point the walk stops.
  long long Longest(int t, unsigned separator) const {
    if (t == 1 && !anchor_taken_) return -1;
    long long last = -1;
    for (const State& e : ends_)
      if (e.second == t) last = std::max(last, static_cast<long long>(e.first));
    const size_t stop = reached_[t];
    const unsigned code = stop < s_.size() ? CharCode(s_, stop) : 0;
    if ((code == 0 || code == separator) && dollar_[t].count(stop)) return static_cast<long long>(stop);
    return last;
  }
  bool DollarAt(size_t pos) const { return dollar_[0].count(pos) > 0; }

  // Whether the tree holds an anchor at its start or end edge.
  bool HasAnchor(int node, bool at_start, bool at_end, Node::Kind kind) const {
    const Node& n = nodes_[static_cast<size_t>(node)];
    switch (n.kind) {
      case Node::LineStart: return kind == Node::LineStart && at_start;
      case Node::LineEnd: return kind == Node::LineEnd && at_end;
      case Node::Union:
        for (int k : n.kids)
          if (HasAnchor(k, at_start, at_end, kind)) return true;
        return false;
      case Node::Concat:
        for (size_t i = 0; i < n.kids.size(); ++i)
          if (HasAnchor(n.kids[i], at_start && i == 0, at_end && i + 1 == n.kids.size(), kind)) return true;
        return false;
      default: return false;
    }
  }

 private:
  bool Accepts(const Node& n, unsigned code) const {
    if (code == 0 || code > kMaxCode) return false;
    switch (n.kind) {
      case Node::Exact: return code == n.code;
      case Node::Dot: return InDot(code);
      case Node::Class: return n.negated ? InDot(code) && !Parser::InRanges(n.ranges, code) : Parser::InRanges(n.ranges, code);
      case Node::LineStart: return code == '^';
      case Node::LineEnd: return code == '$';
      default: return false;
    }
  }

  States Step(const Node& n, const States& in) {
    States out;
    for (auto [p, t] : in) {
      if (p >= s_.size() || !Accepts(n, CharCode(s_, p))) continue;
      size_t next = p + CharLength(s_, p);
      out.insert({next, t});
      reached_[t] = std::max(reached_[t], next);
    }
    return out;
  }

  States Eval(int node, const States& in, bool at_start, bool at_end) {
    const Node& n = nodes_[static_cast<size_t>(node)];
    switch (n.kind) {
      case Node::Exact:
      case Node::Dot:
      case Node::Class: return Step(n, in);
      case Node::LineStart: {
        if (!at_start) return Step(n, in);
        States out;
        for (auto [p, t] : in)
          if (t == 0) out.insert({p, 1});
        if (!out.empty()) anchor_taken_ = true;
        return out;
      }
      case Node::LineEnd:
        if (!at_end) return Step(n, in);
        for (auto [p, t] : in) dollar_[t].insert(p);
        return {};
      case Node::Empty: return in;
      case Node::Union: {
        States out;
        for (int k : n.kids) {
          States part = Eval(k, in, at_start, at_end);
          out.insert(part.begin(), part.end());
        }
        return out;
      }
      case Node::Concat: {
        States cur = in;
        for (size_t i = 0; i < n.kids.size(); ++i)
          cur = Eval(n.kids[i], cur, at_start && i == 0, at_end && i + 1 == n.kids.size());
        return cur;
      }
      case Node::Star: {
        States all = in, frontier = in;
        while (!frontier.empty()) {
          States next;
          for (const State& st : Eval(n.kids[0], frontier, false, false))
            if (!all.count(st)) next.insert(st);
          all.insert(next.begin(), next.end());
          frontier = std::move(next);
        }
        return all;
      }
    }
    return {};
  }

  const std::vector<Node>& nodes_;
  std::string_view s_;
  size_t reached_[2] = {0, 0};
  std::set<size_t> dollar_[2];
  bool anchor_taken_ = false;
  States ends_;
};

}  // namespace

std::optional<MatchPos> ReferenceMatch(std::string_view pattern, std::string_view s, TMatchCORE_LineSeparator sep) {
  return ReferenceMatchFrom(pattern, s, sep, 0);
}

std::optional<MatchPos> ReferenceMatchFrom(std::string_view pattern, std::string_view s, TMatchCORE_LineSeparator sep,
                                           size_t from) {
  Parser parser(pattern);
  int root;
  try {
    root = parser.Parse();
  } catch (const Invalid&) {
    return std::nullopt;
  } catch (const ERegExpParser&) {
    return std::nullopt;
  }
  Evaluator ev(parser.nodes, s);
  const bool anchored_start = ev.HasAnchor(root, true, true, Node::LineStart);
  const bool anchored_end = ev.HasAnchor(root, true, true, Node::LineEnd);
  const unsigned separator = SeparatorCode(sep);
  auto boundaries = [&] {
    std::vector<size_t> b;
    for (size_t p = 0; p < s.size(); p += CharLength(s, p))
      if (p >= from) b.push_back(p);
    return b;
  };
  if (!anchored_start && !anchored_end) {
    if (s.empty() || from >= s.size()) {
      if (from > s.size()) return MatchPos{};
      ev.Run(root, s.size());
      if (!s.empty()) return ev.Longest(0, ~0u) >= 0 ? MatchPos{s.size() + 1, 0} : MatchPos{};
      return ev.Longest(0, ~0u) >= 0 ? MatchPos{1, 0} : MatchPos{};
    }
    for (size_t pos : boundaries()) {
      ev.Run(root, pos);
      long long end = ev.Longest(0, ~0u);
      if (end >= 0) return MatchPos{pos + 1, static_cast<size_t>(end) - pos};
    }
    return MatchPos{};
  }
  auto line_start_way = [&](size_t pos) {
    ev.Run(root, pos);
    long long r = ev.Longest(0, separator);
    if (anchored_start) r = std::max(r, ev.Longest(1, separator));
    return r;
  };
  if (from == 0)
    if (long long r = line_start_way(0); r >= 0) return MatchPos{1, static_cast<size_t>(r)};
  for (size_t pos : boundaries()) {
    ev.Run(root, pos);
    if (long long r = ev.Longest(0, separator); r >= 0) return MatchPos{pos + 1, static_cast<size_t>(r) - pos};
    if (s[pos] == '\n' && anchored_start) {
      size_t q = pos + 1;
      if (long long r = line_start_way(q); r >= 0) return MatchPos{q + 1, static_cast<size_t>(r) - q};
    }
  }
  if (from > s.size()) return MatchPos{};
  ev.Run(root, s.size());
  if (anchored_end && ev.DollarAt(s.size())) return MatchPos{s.size() + 1, 0};
  return MatchPos{};
}

}  // namespace lorvek::test
