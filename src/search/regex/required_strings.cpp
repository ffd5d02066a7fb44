#include "search/regex/required_strings.h"

#include <algorithm>
#include <cstddef>

#include "text/sjis.h"

namespace lorvek {
namespace {

// Strings shorter than this rule out too little to pay for the look.
constexpr size_t kMinBytes = 2;
// Bounds of the spellings after a state: how many, how many characters on,
// and how wide a range of codes is spelt out code by code.
constexpr size_t kMaxStrings = 64;
constexpr size_t kMaxDepth = 8;
constexpr unsigned kMaxRange = 4;
constexpr size_t kMaxNodes = 1 << 20;

// The automaton as a graph whose nodes are the states, one node per
// transition, and a sink that every accepting state leads to; and the nodes
// that dominate the sink (every path from the start to an accepting state
// passes them), from the start on.
struct DominatorChain {
  int states = 0;
  std::vector<int> edge_from, edge_to;
  std::vector<uint16_t> edge_code;  // 0: more than one character
  std::vector<int> chain;           // without the start and the sink
  bool ok = false;

  DominatorChain(const Transitions& sorted, const std::vector<uint8_t>& accepting, int start) {
    states = static_cast<int>(sorted.size());
    for (int st = 0; st < states; ++st)
      for (const auto& [range, target] : sorted[static_cast<size_t>(st)]) {
        if (target < 0) continue;
        edge_from.push_back(st);
        edge_to.push_back(target);
        edge_code.push_back(range.lo == range.hi && range.hi < 0xFFFD ? range.lo : 0);
      }
    const size_t nodes = static_cast<size_t>(states) + edge_from.size() + 1;
    if (nodes > kMaxNodes) return;
    const int sink = static_cast<int>(nodes) - 1;
    std::vector<std::vector<int>> succ(nodes), pred(nodes);
    auto link = [&](int a, int b) {
      succ[static_cast<size_t>(a)].push_back(b);
      pred[static_cast<size_t>(b)].push_back(a);
    };
    for (size_t e = 0; e < edge_from.size(); ++e) {
      const int node = states + static_cast<int>(e);
      link(edge_from[e], node);
      link(node, edge_to[e]);
    }
    for (int st = 0; st < states; ++st)
      if (accepting[static_cast<size_t>(st)]) link(st, sink);

    // Reverse post-order from the start, then the dominators by the
    // iterative intersection of the predecessors' dominator chains.
    std::vector<int> order, rpo_index(nodes, -1);
    {
      std::vector<std::pair<int, size_t>> stack{{start, 0}};
      std::vector<uint8_t> seen(nodes, 0);
      seen[static_cast<size_t>(start)] = 1;
      while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next < succ[static_cast<size_t>(node)].size()) {
          const int to = succ[static_cast<size_t>(node)][next++];
          if (!seen[static_cast<size_t>(to)]) {
            seen[static_cast<size_t>(to)] = 1;
            stack.push_back({to, 0});
          }
        } else {
          order.push_back(node);
          stack.pop_back();
        }
      }
    }
    std::reverse(order.begin(), order.end());
    for (size_t k = 0; k < order.size(); ++k) rpo_index[static_cast<size_t>(order[k])] = static_cast<int>(k);
    if (rpo_index[static_cast<size_t>(sink)] < 0) return;
    std::vector<int> idom(nodes, -1);
    idom[static_cast<size_t>(start)] = start;
    auto intersect = [&](int a, int b) {
      while (a != b) {
        while (rpo_index[static_cast<size_t>(a)] > rpo_index[static_cast<size_t>(b)]) a = idom[static_cast<size_t>(a)];
        while (rpo_index[static_cast<size_t>(b)] > rpo_index[static_cast<size_t>(a)]) b = idom[static_cast<size_t>(b)];
      }
      return a;
    };
    for (bool changed = true; changed;) {
      changed = false;
      for (size_t k = 1; k < order.size(); ++k) {
        const int node = order[k];
        int dom = -1;
        for (int p : pred[static_cast<size_t>(node)]) {
          if (idom[static_cast<size_t>(p)] < 0) continue;
          dom = dom < 0 ? p : intersect(p, dom);
        }
        if (dom >= 0 && idom[static_cast<size_t>(node)] != dom) {
          idom[static_cast<size_t>(node)] = dom;
          changed = true;
        }
      }
    }
    for (int node = idom[static_cast<size_t>(sink)]; node != start; node = idom[static_cast<size_t>(node)])
      chain.push_back(node);
    std::reverse(chain.begin(), chain.end());
    ok = true;
  }
};

// The longest run of characters every match holds in a row: transitions on
// one character each that dominate the sink, in path order, joined where
// the state between them has no other way on.
std::string RequiredRun(const DominatorChain& d, const Transitions& sorted, const std::vector<uint8_t>& accepting) {
  std::string best, run;
  int run_end = -1;  // the state the run's last transition leads to
  for (int node : d.chain) {
    if (node < d.states) continue;
    const size_t e = static_cast<size_t>(node - d.states);
    const bool joins = run_end == d.edge_from[e] && !accepting[static_cast<size_t>(run_end)] &&
                       sorted[static_cast<size_t>(run_end)].size() == 1;
    if (!joins) run.clear();
    if (d.edge_code[e] == 0) {
      run_end = -1;
      continue;
    }
    AppendCode(run, d.edge_code[e]);
    run_end = d.edge_to[e];
    if (run.size() > best.size()) best = run;
  }
  return best;
}

// Every way on from a state, depth characters long or up to an accepting
// state, spelt out; false when there are too many or a range is too wide.
bool SpellingsAfter(const Transitions& sorted, const std::vector<uint8_t>& accepting, int state, size_t depth,
                    std::string& prefix, std::vector<std::string>& out) {
  if (depth == 0 || accepting[static_cast<size_t>(state)]) {
    if (std::find(out.begin(), out.end(), prefix) == out.end()) out.push_back(prefix);
    return out.size() <= kMaxStrings;
  }
  for (const auto& [range, target] : sorted[static_cast<size_t>(state)]) {
    if (target < 0) continue;
    if (range.hi >= 0xFFFD || static_cast<unsigned>(range.hi - range.lo) >= kMaxRange) return false;
    for (unsigned code = range.lo; code <= range.hi; ++code) {
      const size_t mark = prefix.size();
      AppendCode(prefix, static_cast<uint16_t>(code));
      const bool fits = SpellingsAfter(sorted, accepting, target, depth - 1, prefix, out);
      prefix.resize(mark);
      if (!fits) return false;
    }
  }
  return true;
}

size_t ShortestOf(const std::vector<std::string>& strings) {
  size_t n = SIZE_MAX;
  for (const std::string& s : strings) n = std::min(n, s.size());
  return strings.empty() ? 0 : n;
}

// Better: longer shortest string, then fewer strings.
bool Better(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  const size_t sa = ShortestOf(a), sb = ShortestOf(b);
  return sa != sb ? sa > sb : a.size() < b.size();
}

}  // namespace

std::vector<std::string> RequiredStrings(const Transitions& sorted, const std::vector<uint8_t>& accepting, int start) {
  DominatorChain d(sorted, accepting, start);
  if (!d.ok) return {};
  std::vector<std::string> best;
  const std::string run = RequiredRun(d, sorted, accepting);
  if (!run.empty()) best = {run};
  // The states every match passes: the start, then the chain's states.
  std::vector<int> passed{start};
  for (int node : d.chain)
    if (node < d.states) passed.push_back(node);
  for (int state : passed) {
    if (accepting[static_cast<size_t>(state)]) continue;
    for (size_t depth = 1; depth <= kMaxDepth; ++depth) {
      std::vector<std::string> spellings;
      std::string prefix;
      if (!SpellingsAfter(sorted, accepting, state, depth, prefix, spellings)) break;
      if (Better(spellings, best)) best = std::move(spellings);
    }
  }
  if (ShortestOf(best) < kMinBytes) return {};
  return best;
}

}  // namespace lorvek
