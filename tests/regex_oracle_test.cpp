// Runs every case of the regular-expression case table (tests/data/regex-cases.tsv).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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

TEST(RegexOracle, EveryPublicCasePassesOnBothMatchers) {
  std::ifstream in(std::string(LORVEK_TEST_DATA) + "/regex-cases.tsv", std::ios::binary);
  ASSERT_TRUE(in) << "oracle file missing";
  std::string line;
  std::getline(in, line);  // header
  int cases = 0;
  TAWKStr awk;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    auto f = SplitTabs(line);
    ASSERT_EQ(f.size(), 4u) << line;
    std::string pattern = Unescape(f[1]), subject = Unescape(f[2]);
    EXPECT_EQ(Outcome(awk, pattern, subject, false), f[3]) << "case " << f[0];
    EXPECT_EQ(Outcome(awk, pattern, subject, true), f[3]) << "case " << f[0] << " (reference)";
    ++cases;
  }
  EXPECT_GT(cases, 100);
}

}  // namespace
}  // namespace lorvek
