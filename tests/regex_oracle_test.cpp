// Runs every case of the regular-expression case table (tests/data/regex-cases.tsv).
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <sstream>

#include "regex_reference.h"
#include "search/regex/regular_expression.h"

namespace lorvek {
namespace {

std::string Unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 1 < field.size()) {
      char n = field[i + 1];
      if (n == '\\' || n == 't' || n == 'n' || n == 'r') {
        out.push_back(n == '\\' ? '\\' : n == 't' ? '\t' : n == 'n' ? '\n' : '\r');
        ++i;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return f;
}

std::string Outcome(TAWKStr& awk, const std::string& pattern, const std::string& subject, bool reference) {
  try {
    awk.SetRegExp(pattern);
  } catch (const ERegExpParser&) {
    return "error";
  }
  MatchPos m = reference ? awk.MatchReference(subject) : awk.Match(subject);
  if (!m) return "nomatch";
  return std::to_string(m.start) + "," + std::to_string(m.length);
}

struct Case {
  std::string id, pattern, subject, expect;
};

std::vector<Case> LoadCases() {
  std::ifstream in(std::string(LORVEK_TEST_DATA) + "/regex-cases.tsv", std::ios::binary);
  std::vector<Case> cases;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    auto f = SplitTabs(line);
    if (f.size() != 4) {
      ADD_FAILURE() << "bad case line: " << line;
      continue;
    }
    cases.push_back({f[0], Unescape(f[1]), Unescape(f[2]), f[3]});
  }
  return cases;
}

TEST(RegexOracle, EveryPublicCasePassesOnBothMatchers) {
  std::vector<Case> cases = LoadCases();
  ASSERT_GT(cases.size(), 100u) << "case table missing";
  TAWKStr awk;
  for (const Case& c : cases) {
    EXPECT_EQ(Outcome(awk, c.pattern, c.subject, false), c.expect) << "case " << c.id;
    EXPECT_EQ(Outcome(awk, c.pattern, c.subject, true), c.expect) << "case " << c.id << " (reference)";
    std::optional<MatchPos> m = test::ReferenceMatch(c.pattern, c.subject, mcls_CRLF);
    std::string independent = !m ? "error" : !*m ? "nomatch" : std::to_string(m->start) + "," + std::to_string(m->length);
    EXPECT_EQ(independent, c.expect) << "case " << c.id << " (independent)";
  }
}

TEST(RegexOracle, SharedPatternsFromTwoThreadsMatchAsOneAtATime) {
  // Every valid pattern compiled once and used by both threads at once, in
  // opposite orders, with the file scan's form of each beside it.
  struct Compiled {
    const Case* c;
    PatternRef in_string, in_file;
    MatchPos expected;
    bool expected_line;
  };
  std::vector<Case> cases = LoadCases();
  std::vector<Compiled> all;
  for (const Case& c : cases) {
    if (c.expect == "error") continue;
    Compiled k{&c, CompileStringPattern(c.pattern, false), CompileFilePattern(c.pattern, false), {}, false};
    k.expected = MatchLeftmostLongest(*k.in_string, c.subject, mcls_CRLF);
    k.expected_line = LineHasMatch(*k.in_file, c.subject);
    all.push_back(std::move(k));
  }
  ASSERT_GT(all.size(), 100u);
  std::atomic<int> mismatches{0};
  auto work = [&](bool backwards) {
    for (int round = 0; round < 30; ++round)
      for (size_t i = 0; i < all.size(); ++i) {
        const Compiled& k = all[backwards ? all.size() - 1 - i : i];
        if (!(MatchLeftmostLongest(*k.in_string, k.c->subject, mcls_CRLF) == k.expected)) ++mismatches;
        if (LineHasMatch(*k.in_file, k.c->subject) != k.expected_line) ++mismatches;
      }
  };
  std::thread a(work, false), b(work, true);
  a.join();
  b.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace lorvek
