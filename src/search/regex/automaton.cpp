#include "search/regex/automaton.h"

#include <string.h>

#include <functional>

#include <algorithm>
#include <map>

#include "search/regex/regex_error.h"
#include "search/regex/required_strings.h"
#include "search/regex/scanner.h"
#include "text/sjis.h"

namespace lorvek {
namespace {

namespace msg = regex_messages;

constexpr uint16_t kMaxCode = 0xFCFF;  // highest code a character can have
constexpr size_t kMaxNfaStates = 262144;
constexpr size_t kMaxDfaStates = 20000;
constexpr size_t kMaxDfaCells = size_t{16} << 20;
// The subset construction's whole work (NFA states visited) and what its
// state sets hold: beyond these a pattern is refused as too complex instead
// of taking seconds and hundreds of megabytes.
constexpr size_t kMaxSubsetWork = size_t{30} << 20;
constexpr size_t kMaxSetEntries = size_t{4} << 20;
constexpr int kMaxNesting = 2000;

using RangeSet = std::vector<CodeRange>;

RangeSet Normalise(RangeSet r) {
  RangeSet out;
  for (auto& x : r) {
    if (x.lo == 0) x.lo = 1;  // code 0 is the end of the text: nothing matches it
    if (x.hi > kMaxCode) x.hi = kMaxCode;
  }
  r.erase(std::remove_if(r.begin(), r.end(), [](const CodeRange& x) { return x.lo > x.hi; }), r.end());
  std::sort(r.begin(), r.end(), [](const CodeRange& a, const CodeRange& b) { return a.lo < b.lo; });
  for (const auto& x : r) {
    if (!out.empty() && x.lo <= static_cast<unsigned>(out.back().hi) + 1)
      out.back().hi = std::max(out.back().hi, x.hi);
    else
      out.push_back(x);
  }
  return out;
}

const RangeSet& DotSet() {
  static const RangeSet dot = {{1, 9}, {11, 12}, {14, 0xFCFC}};
  return dot;
}

RangeSet Subtract(const RangeSet& from, const RangeSet& remove) {
  RangeSet out;
  for (CodeRange r : from) {
    unsigned lo = r.lo;
    for (const auto& x : remove) {
      if (x.hi < lo || x.lo > r.hi) continue;
      if (x.lo > lo) out.push_back({static_cast<uint16_t>(lo), static_cast<uint16_t>(x.lo - 1)});
      lo = static_cast<unsigned>(x.hi) + 1;
      if (lo > r.hi) break;
    }
    if (lo <= r.hi) out.push_back({static_cast<uint16_t>(lo), r.hi});
  }
  return out;
}

// ---- parse tree ----

enum class NodeKind { Set, LineStart, LineEnd, Concat, Union, Closure, Empty };

struct Node {
  NodeKind kind;
  RangeSet ranges;
  std::vector<int> kids;
};

class Parser {
 public:
  explicit Parser(std::string_view pattern) : tokens_(ScanPattern(pattern)) {}

  int ParseAll() {
    int root = ParsePattern();
    if (Cur().kind != TokenKind::End) throw ERegExpParser(msg::kExtraText, Cur().begin);
    return root;
  }
  std::vector<Node>& nodes() { return nodes_; }

 private:
  const Token& Cur() const { return tokens_[pos_]; }
  int Add(Node n) {
    nodes_.push_back(std::move(n));
    return static_cast<int>(nodes_.size() - 1);
  }
  int AddSet(RangeSet r) { return Add(Node{NodeKind::Set, Normalise(std::move(r)), {}}); }

  int ParsePattern() {
    if (++depth_ > kMaxNesting) throw ERegExpParser(msg::kTooComplex, Cur().begin);
    std::vector<int> alts{ParseAlternative()};
    while (Cur().kind == TokenKind::Bar) {
      ++pos_;
      alts.push_back(ParseAlternative());
    }
    --depth_;
    if (alts.size() == 1) return alts[0];
    return Add(Node{NodeKind::Union, {}, std::move(alts)});
  }

  int ParseAlternative() {
    std::vector<int> factors;
    while (Cur().kind != TokenKind::Bar && Cur().kind != TokenKind::RParen &&
           Cur().kind != TokenKind::End)
      factors.push_back(ParseFactor());
    if (factors.empty()) return Add(Node{NodeKind::Empty, {}, {}});
    if (factors.size() == 1) return factors[0];
    return Add(Node{NodeKind::Concat, {}, std::move(factors)});
  }

  int ParseFactor() {
    int atom = ParseAtom();
    switch (Cur().kind) {
      case TokenKind::Star:
        ++pos_;
        return Add(Node{NodeKind::Closure, {}, {atom}});
      case TokenKind::Plus: {
        ++pos_;
        int closure = Add(Node{NodeKind::Closure, {}, {atom}});
        return Add(Node{NodeKind::Concat, {}, {atom, closure}});
      }
      case TokenKind::Question: {
        ++pos_;
        int empty = Add(Node{NodeKind::Empty, {}, {}});
        return Add(Node{NodeKind::Union, {}, {atom, empty}});
      }
      default:
        return atom;
    }
  }

  int ParseAtom() {
    const Token& t = Cur();
    switch (t.kind) {
      case TokenKind::Char:
        ++pos_;
        return AddSet({{t.code, t.code}});
      case TokenKind::Dot:
        ++pos_;
        return AddSet(DotSet());
      case TokenKind::Caret:
        ++pos_;
        return Add(Node{NodeKind::LineStart, {}, {}});
      case TokenKind::Dollar:
        ++pos_;
        return Add(Node{NodeKind::LineEnd, {}, {}});
      case TokenKind::LParen: {
        ++pos_;
        int inner = ParsePattern();
        if (Cur().kind != TokenKind::RParen) throw ERegExpParser(msg::kNeedRightParen, Cur().begin);
        ++pos_;
        return inner;
      }
      case TokenKind::ClassOpen:
        return ParseClass();
      default:
        throw ERegExpParser(msg::kNeedAtom, t.begin);
    }
  }

  int ParseClass() {
    bool negated = Cur().negated;
    ++pos_;
    RangeSet items;
    bool any = false;
    while (Cur().kind != TokenKind::ClassClose) {
      const Token& lo = Cur();
      if (lo.kind != TokenKind::ClassChar) throw ERegExpParser(msg::kTreeFatal, lo.begin);
      ++pos_;
      any = true;
      if (Cur().kind == TokenKind::ClassHyphen) {
        ++pos_;
        const Token& hi = Cur();
        ++pos_;
        if (hi.code < lo.code) throw ERegExpParser(msg::kBadRange, hi.begin);
        items.push_back({lo.code, hi.code});
      } else {
        items.push_back({lo.code, lo.code});
      }
    }
    size_t close_at = Cur().begin;
    ++pos_;
    if (!any) throw ERegExpParser(msg::kBadClass, close_at);
    if (!negated) return AddSet(std::move(items));
    RangeSet rest = Subtract(DotSet(), Normalise(std::move(items)));
    if (rest.empty()) throw ERegExpParser(msg::kEmptyNegatedClass, close_at);
    return AddSet(std::move(rest));
  }

  std::vector<Token> tokens_;
  std::vector<Node> nodes_;
  size_t pos_ = 0;
  int depth_ = 0;
};

// ---- NFA ----

struct NfaTransition {
  CodeRange range;
  int target;
};

struct Nfa {
  std::vector<std::vector<NfaTransition>> moves;
  std::vector<std::vector<int>> empties;
  bool anchored_start = false;
  bool anchored_end = false;

  int NewState() {
    if (moves.size() >= kMaxNfaStates) throw ERegExpParser(msg::kTooComplex, 0);
    moves.emplace_back();
    empties.emplace_back();
    return static_cast<int>(moves.size() - 1);
  }
};

constexpr int kNfaStart = 0;
constexpr int kNfaFinal = 1;

class NfaBuilder {
 public:
  NfaBuilder(const std::vector<Node>& nodes, uint16_t ls, uint16_t le, Nfa& nfa)
      : nodes_(nodes), ls_(ls), le_(le), nfa_(nfa) {}

  // Builds node between the states from and to (GenerateStateList).
  void Build(int node, int from, int to) {
    const Node& n = nodes_[static_cast<size_t>(node)];
    switch (n.kind) {
      case NodeKind::Set:
        for (const auto& r : n.ranges) nfa_.moves[static_cast<size_t>(from)].push_back({r, to});
        return;
      case NodeKind::LineStart:
        if (from == kNfaStart) {
          nfa_.moves[static_cast<size_t>(from)].push_back({{ls_, ls_}, to});
          nfa_.anchored_start = true;
        } else {
          nfa_.moves[static_cast<size_t>(from)].push_back({{'^', '^'}, to});
        }
        return;
      case NodeKind::LineEnd:
        if (to == kNfaFinal) {
          nfa_.moves[static_cast<size_t>(from)].push_back({{le_, le_}, to});
          nfa_.anchored_end = true;
        } else {
          nfa_.moves[static_cast<size_t>(from)].push_back({{'$', '$'}, to});
        }
        return;
      case NodeKind::Concat: {
        int cur = from;
        for (size_t k = 0; k < n.kids.size(); ++k) {
          int next = (k + 1 == n.kids.size()) ? to : nfa_.NewState();
          Build(n.kids[k], cur, next);
          cur = next;
        }
        return;
      }
      case NodeKind::Union:
        for (int kid : n.kids) Build(kid, from, to);
        return;
      case NodeKind::Closure: {
        int p = nfa_.NewState();
        int q = nfa_.NewState();
        nfa_.empties[static_cast<size_t>(from)].push_back(p);
        nfa_.empties[static_cast<size_t>(q)].push_back(p);
        nfa_.empties[static_cast<size_t>(p)].push_back(to);
        Build(n.kids[0], p, q);
        return;
      }
      case NodeKind::Empty:
        nfa_.empties[static_cast<size_t>(from)].push_back(to);
        return;
    }
    throw ERegExpParser(msg::kNfaFatal, 0);
  }

 private:
  const std::vector<Node>& nodes_;
  uint16_t ls_, le_;
  Nfa& nfa_;
};

// ---- DFA by subset construction ----

class SubsetBuilder {
 public:
  explicit SubsetBuilder(const Nfa& nfa) : nfa_(nfa), mark_(nfa.moves.size(), 0) {}

  std::vector<int> Close(std::vector<int> set) {
    Spend(set.size());
    ++stamp_;
    std::vector<int> stack;
    std::vector<int> out;
    for (int s : set) {
      if (mark_[static_cast<size_t>(s)] == stamp_) continue;
      mark_[static_cast<size_t>(s)] = stamp_;
      stack.push_back(s);
    }
    while (!stack.empty()) {
      int s = stack.back();
      stack.pop_back();
      out.push_back(s);
      Spend(1 + nfa_.empties[static_cast<size_t>(s)].size());
      for (int t : nfa_.empties[static_cast<size_t>(s)]) {
        if (mark_[static_cast<size_t>(t)] == stamp_) continue;
        mark_[static_cast<size_t>(t)] = stamp_;
        stack.push_back(t);
      }
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  void Spend(size_t units) {
    work_ += units;
    if (work_ > kMaxSubsetWork) throw ERegExpParser(msg::kTooComplex, 0);
  }

 private:
  const Nfa& nfa_;
  size_t work_ = 0;
  std::vector<uint32_t> mark_;
  uint32_t stamp_ = 0;
};

}  // namespace

bool CompiledPattern::LacksEveryCandidate(std::string_view s) const {
  return !candidates_.empty() && candidate_search_->Find(s, 0) == std::string_view::npos;
}

bool CompiledPattern::FindPlainString(std::string_view s, size_t* start, size_t* end) const {
  size_t boundary = 0;  // a known character boundary at or before the candidate
  for (size_t from = 0; from <= s.size();) {
    const void* found = from + plain_bytes_.size() <= s.size()
                            ? memmem(s.data() + from, s.size() - from, plain_bytes_.data(), plain_bytes_.size())
                            : nullptr;
    if (!found) return false;
    const size_t hit = static_cast<size_t>(static_cast<const char*>(found) - s.data());
    while (boundary < hit) boundary += CharLength(s, boundary);
    if (boundary == hit) {
      size_t p = hit;
      bool ok = true;
      for (uint16_t code : plain_codes_) {
        if (p >= s.size() || CharCode(s, p) != code) {
          ok = false;
          break;
        }
        p += CharLength(s, p);
      }
      if (ok) {
        *start = hit;
        *end = p;
        return true;
      }
    }
    from = hit + 1;
  }
  return false;
}

int CompiledPattern::StepSorted(int state, uint16_t code) const {
  for (const auto& [range, target] : sorted_[static_cast<size_t>(state)]) {
    if (code < range.lo) break;
    if (code <= range.hi) return target;
  }
  return kDead;
}

std::shared_ptr<CompiledPattern> CompilePattern(std::string_view pattern, uint16_t line_start_code,
                                                uint16_t line_end_code) {
  Parser parser(pattern);
  int root = parser.ParseAll();

  Nfa nfa;
  nfa.NewState();  // start
  nfa.NewState();  // final
  NfaBuilder(parser.nodes(), line_start_code, line_end_code, nfa).Build(root, kNfaStart, kNfaFinal);

  auto out = std::make_shared<CompiledPattern>();
  CompiledPattern& c = *out;
  c.anchored_start_ = nfa.anchored_start;
  c.anchored_end_ = nfa.anchored_end;

  // Character classes: split the code space at every range boundary.
  std::vector<uint8_t> boundary(65537, 0);
  for (const auto& moves : nfa.moves)
    for (const auto& t : moves) {
      boundary[t.range.lo] = 1;
      boundary[static_cast<size_t>(t.range.hi) + 1] = 1;
    }
  c.class_of_.assign(65536, 0);
  std::vector<uint16_t> class_low{0};
  {
    int cls = 0;
    for (size_t code = 0; code < 65536; ++code) {
      if (code > 0 && boundary[code]) {
        ++cls;
        class_low.push_back(static_cast<uint16_t>(code));
      }
      c.class_of_[code] = static_cast<uint16_t>(cls);
    }
    c.num_classes_ = cls + 1;
  }
  const size_t nclasses = static_cast<size_t>(c.num_classes_);

  SubsetBuilder closer(nfa);
  std::map<std::vector<int>, int> index;
  std::vector<std::vector<int>> sets;
  size_t set_entries = 0;
  auto find_or_add = [&](std::vector<int> set) {
    auto it = index.find(set);
    if (it != index.end()) return it->second;
    set_entries += set.size();
    if (sets.size() >= kMaxDfaStates || (sets.size() + 1) * nclasses > kMaxDfaCells || set_entries > kMaxSetEntries)
      throw ERegExpParser(msg::kTooComplex, 0);
    int id = static_cast<int>(sets.size());
    index.emplace(set, id);
    sets.push_back(std::move(set));
    c.trans_.resize(sets.size() * nclasses, CompiledPattern::kDead);
    return id;
  };
  c.start_ = find_or_add(closer.Close({kNfaStart}));

  std::vector<std::vector<int>> buckets(nclasses);
  std::vector<size_t> touched;
  for (size_t d = 0; d < sets.size(); ++d) {
    touched.clear();
    for (int s : sets[d]) {
      closer.Spend(1);
      for (const auto& t : nfa.moves[static_cast<size_t>(s)]) {
        for (size_t k = c.class_of_[t.range.lo]; k <= c.class_of_[t.range.hi]; ++k) {
          if (buckets[k].empty()) touched.push_back(k);
          buckets[k].push_back(t.target);
        }
      }
    }
    std::sort(touched.begin(), touched.end());
    for (size_t k : touched) {
      int target = find_or_add(closer.Close(std::move(buckets[k])));
      buckets[k].clear();
      c.trans_[d * nclasses + k] = target;
    }
  }

  const size_t n = sets.size();
  c.accepting_.resize(n);
  c.has_line_end_.resize(n);
  c.sorted_.resize(n);
  const size_t le_class = c.class_of_[line_end_code];
  for (size_t d = 0; d < n; ++d) {
    c.accepting_[d] = std::binary_search(sets[d].begin(), sets[d].end(), kNfaFinal);
    c.has_line_end_[d] = c.anchored_end_ && c.trans_[d * nclasses + le_class] != CompiledPattern::kDead;
    // Sorted transition list: neighbouring classes with one target merge.
    auto& list = c.sorted_[d];
    for (size_t k = 0; k < nclasses; ++k) {
      int target = c.trans_[d * nclasses + k];
      if (target == CompiledPattern::kDead) continue;
      uint16_t lo = class_low[k];
      uint16_t hi = (k + 1 < nclasses) ? static_cast<uint16_t>(class_low[k + 1] - 1) : uint16_t{0xFFFF};
      if (!list.empty() && list.back().second == target && list.back().first.hi + 1 == lo)
        list.back().first.hi = hi;
      else
        list.push_back({{lo, hi}, target});
    }
  }
  if (c.anchored_start_) c.line_start_state_ = c.Step(c.start_, line_start_code);

  // Plain-string check: one single-character transition after another from
  // the start to a state with no transitions at all.
  {
    int s = c.start_;
    std::vector<uint16_t> codes;
    while (!c.accepting_[static_cast<size_t>(s)] && c.sorted_[static_cast<size_t>(s)].size() == 1 &&
           c.sorted_[static_cast<size_t>(s)][0].first.lo == c.sorted_[static_cast<size_t>(s)][0].first.hi &&
           codes.size() <= n) {
      codes.push_back(c.sorted_[static_cast<size_t>(s)][0].first.lo);
      s = c.sorted_[static_cast<size_t>(s)][0].second;
    }
    if (c.sorted_[static_cast<size_t>(s)].empty() && c.accepting_[static_cast<size_t>(s)] && !codes.empty()) {
      c.plain_ = true;
      c.plain_codes_ = std::move(codes);
      for (uint16_t code : c.plain_codes_) AppendCode(c.plain_bytes_, code);
    }
  }

  // The fixed strings every match begins with: the paths from the start to
  // the first accepting state on each, when there are few and all short.
  if (!c.anchored_start_ && !c.anchored_end_ && !c.accepting_[static_cast<size_t>(c.start_)]) {
    constexpr size_t kMaxLiterals = 32, kMaxDepth = 64, kMaxRange = 4;
    std::vector<std::string> found;
    bool ok = true;
    std::string path;
    std::function<void(int, size_t)> walk = [&](int state, size_t depth) {
      if (!ok) return;
      if (c.accepting_[static_cast<size_t>(state)]) {
        found.push_back(path);
        if (found.size() > kMaxLiterals) ok = false;
        return;
      }
      if (depth >= kMaxDepth) {
        ok = false;
        return;
      }
      for (const auto& [range, target] : c.sorted_[static_cast<size_t>(state)]) {
        if (range.hi >= 0xFFFD || static_cast<size_t>(range.hi - range.lo) >= kMaxRange) {
          ok = false;
          return;
        }
        for (unsigned code = range.lo; code <= range.hi && ok; ++code) {
          const size_t mark = path.size();
          AppendCode(path, static_cast<uint16_t>(code));
          walk(target, depth + 1);
          path.resize(mark);
        }
      }
    };
    walk(c.start_, 0);
    if (ok && !found.empty()) c.literals_ = std::move(found);
  }
  // Without such strings, strings one of which every match holds somewhere
  // ("ファ.ル", a fuzzy word's spellings) still rule out the lines without any.
  c.candidates_ = c.literals_;
  if (c.literals_.empty() && !c.anchored_start_ && !c.anchored_end_ && !c.accepting_[static_cast<size_t>(c.start_)])
    c.candidates_ = RequiredStrings(c.sorted_, c.accepting_, c.start_);
  c.candidate_search_ = std::make_shared<MultiStringSearch>(c.candidates_);

  // Bytes that can begin a match from the start state.
  for (const auto& [range, target] : c.sorted_[static_cast<size_t>(c.start_)]) {
    (void)target;
    for (unsigned code = range.lo; code <= range.hi; ++code) {
      unsigned char first = static_cast<unsigned char>(code > 0xFF ? code >> 8 : code);
      c.start_bytes_[first] = true;
      if (code > 0xFF && (code & 0xFF) != 0xFF) {  // jump to the next lead byte
        unsigned next = (code | 0xFF);
        if (next >= range.hi) break;
        code = next;
      }
    }
  }
  return out;
}

}  // namespace lorvek
