// The fast matcher against the straightforward one on random patterns of the
// dialect and random Shift-JIS/ASCII subjects.
#include <gtest/gtest.h>

#include <random>

#include "regex_reference.h"
#include "search/compiled_word.h"
#include "search/regex/regular_expression.h"
#include "search/whole_word.h"

namespace lorvek {
namespace {

const char* const kAtoms[] = {"a", "b", "c", ".", "\\x82\\xA0", "\x82\xA0", "\x83\x5C", "\\\\",
                              "[ab]", "[^a]", "[a-c]", "\x82\xA0", "^", "$", "\\r", "\\n", "x"};
const char* const kSubjectPieces[] = {"a", "b", "c", "x", "\x82\xA0", "\x83\x5C", "\\",
                                      "\r", "\n", "\r\n", " ", "^", "$"};

std::string RandomPattern(std::mt19937& rng, int depth) {
  std::uniform_int_distribution<int> pick(0, 9);
  std::string out;
  int factors = 1 + static_cast<int>(rng() % 4);
  for (int f = 0; f < factors; ++f) {
    int k = pick(rng);
    if (k == 0 && depth < 3) {
      out += "(" + RandomPattern(rng, depth + 1) + ")";
    } else {
      out += kAtoms[rng() % std::size(kAtoms)];
    }
    int op = pick(rng);
    if (op == 0) out += "*";
    else if (op == 1) out += "+";
    else if (op == 2) out += "?";
  }
  if (pick(rng) == 0) out += "|" + RandomPattern(rng, depth + 1);
  return out;
}

std::string RandomSubject(std::mt19937& rng) {
  std::string s;
  int n = static_cast<int>(rng() % 12);
  for (int i = 0; i < n; ++i) s += kSubjectPieces[rng() % std::size(kSubjectPieces)];
  return s;
}

TEST(RegexDifferential, FastMatcherAgreesWithReferenceOnRandomCases) {
  std::mt19937 rng(20261207);
  TAWKStr awk;
  int compared = 0;
  for (int p = 0; p < 1500; ++p) {
    std::string pattern = RandomPattern(rng, 0);
    try {
      awk.SetRegExp(pattern);
    } catch (const ERegExpParser&) {
      // The independent parser refuses the same patterns.
      ASSERT_FALSE(test::ReferenceMatch(pattern, "", mcls_CRLF)) << "pattern [" << pattern << "]";
      continue;
    }
    for (int sep = 0; sep < 2; ++sep) {
      const auto separator = sep ? mcls_LF : mcls_CRLF;
      awk.SetLineSeparator(separator);
      for (int k = 0; k < 8; ++k) {
        std::string subject = RandomSubject(rng);
        const MatchPos fast = awk.Match(subject);
        ASSERT_EQ(fast, awk.MatchReference(subject))
            << "pattern [" << pattern << "] subject [" << subject << "] sep " << sep;
        // And against a matcher that shares no automaton with them.
        const std::optional<MatchPos> independent = test::ReferenceMatch(pattern, subject, separator);
        ASSERT_TRUE(independent) << "pattern [" << pattern << "]";
        ASSERT_EQ(fast, *independent) << "pattern [" << pattern << "] subject [" << subject << "] sep " << sep;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 15000);
}

// The whole-word rule as the straightforward loop applies it: match, and
// after a rejected match search again in the rest of the line after the byte
// that follows it.
MatchPos WholeWordByRetries(const TAWKStr& awk, std::string_view line) {
  size_t offset = 0;
  std::string_view s = line;
  for (;;) {
    MatchPos m = awk.MatchReference(s);
    if (!m) return {};
    if (IsWholeWd(s, m.start, m.length)) return {m.start + offset, m.length};
    size_t next = m.start + m.length;
    if (next > s.size()) return {};
    s.remove_prefix(next);
    offset += next;
  }
}

TEST(RegexDifferential, WholeWordRetriesAgreeWithTheStraightforwardLoop) {
  std::mt19937 rng(7);
  TAWKStr awk;
  const char* const pieces[] = {"cat", "xcat", "cat_", " ", "q", "\n", "\x82\xA0", "a", "(", ")", "\n"};
  int compared = 0;
  for (int p = 0; p < 800; ++p) {
    std::string pattern = RandomPattern(rng, 0);
    if (rng() % 3 == 0) pattern = "cat|cat.*q";
    try {
      awk.SetRegExp(pattern);
    } catch (const ERegExpParser&) {
      continue;
    }
    for (int k = 0; k < 6; ++k) {
      std::string line;
      for (int i = static_cast<int>(rng() % 14); i > 0; --i) line += pieces[rng() % std::size(pieces)];
      ASSERT_EQ(FindWholeWordHit(awk.Current(), line, true), WholeWordByRetries(awk, line))
          << "pattern [" << pattern << "] line [" << line << "]";
      ++compared;
    }
  }
  EXPECT_GT(compared, 3000);
}

TEST(RegexDifferential, WholeWordRetriesOverALongLineAreOnePass) {
  // Each rejected cat would send the run of cat.*q to the end of the line.
  TAWKStr awk;
  awk.SetRegExp("cat|cat.*q");
  std::string line;
  for (int i = 0; i < 20000; ++i) line += "xxcat";
  EXPECT_FALSE(FindWholeWordHit(awk.Current(), line, true));
  line += " cat";
  EXPECT_EQ(FindWholeWordHit(awk.Current(), line, true), (MatchPos{line.size() - 2, 3}));
}

TEST(RegexDifferential, LongLineWithDotStarIsLinear) {
  TAWKStr awk;
  awk.SetRegExp("x.*y");
  std::string line(1 << 20, 'x');
  EXPECT_FALSE(awk.Match(line));
  line.back() = 'y';
  EXPECT_EQ(awk.Match(line), (MatchPos{1, line.size()}));
  awk.SetRegExp("a*c|b");
  std::string as(1 << 18, 'a');
  as += "b";
  EXPECT_EQ(awk.Match(as), (MatchPos{as.size(), 1}));
}

}  // namespace
}  // namespace lorvek

namespace lorvek {
namespace {

// The strings a line must hold for a match, against the reference matcher:
// a line with a match always holds one of them, so skipping the others
// never loses a hit. The pieces repeat so that patterns have runs to find.
TEST(RegexDifferential, EveryMatchHoldsACandidateString) {
  const char* const atoms[] = {"a", "b", "ab", "\x83\x74\x83\x40", ".", "[ab]", "c", "[^a]", "(a|bc)"};
  const char* const pieces[] = {"a", "b", "c", "ab", "\x83\x74", "\x83\x40", "\x83\x74\x83\x40"};
  std::mt19937 rng(7);
  int with_candidates = 0, lines_with_match = 0;
  for (int p = 0; p < 3000; ++p) {
    std::string pattern;
    const int factors = 1 + static_cast<int>(rng() % 5);
    for (int f = 0; f < factors; ++f) {
      const bool group = rng() % 6 == 0;
      auto atom = [&] { return std::string(atoms[rng() % std::size(atoms)]); };
      pattern += group ? "(" + atom() + "|" + atom() + ")" : atom();
      const unsigned op = rng() % 6;
      pattern += op == 0 ? "*" : op == 1 ? "+" : op == 2 ? "?" : "";
    }
    TAWKStr awk;
    awk.SetRegExp(pattern);
    const std::vector<std::string>& candidates = awk.Current().candidates();
    if (candidates.empty()) continue;
    ++with_candidates;
    for (int k = 0; k < 12; ++k) {
      std::string line;
      const int n = static_cast<int>(rng() % 8);
      for (int i = 0; i < n; ++i) line += pieces[rng() % 7];
      if (!awk.MatchReference(line)) continue;
      ++lines_with_match;
      bool holds = false;
      for (const std::string& c : candidates) holds = holds || line.find(c) != std::string::npos;
      ASSERT_TRUE(holds) << "pattern [" << pattern << "] line [" << line << "] first candidate [" << candidates[0]
                         << "]";
      ASSERT_EQ(awk.Match(line), awk.MatchReference(line)) << "pattern [" << pattern << "] line [" << line << "]";
    }
  }
  EXPECT_GT(with_candidates, 1000);
  EXPECT_GT(lines_with_match, 2000);
}

TEST(RegexDifferential, InnerRunsOfPatternsWithoutALeadingString) {
  auto candidates = [](const std::string& pattern) {
    TAWKStr awk;
    awk.SetRegExp(pattern);
    return awk.Current().candidates();
  };
  using V = std::vector<std::string>;
  const std::string fa = "\x83\x74\x83\x40", ru = "\x83\x8B", iru = "\x83\x43\x83\x8B";
  EXPECT_EQ(candidates(fa + "." + ru), V{fa});                   // ファ.ル: the longer run
  // [0-9]+ファイル: the automaton reaches フ from two states, ァイル from one
  EXPECT_EQ(candidates("[0-9]+" + fa + iru), V{fa.substr(2) + iru});
  EXPECT_EQ(candidates("[ab]+(cd|ce)"), V{});                    // no single character in a row: none
  EXPECT_EQ(candidates("a*"), V{});                              // the empty match holds nothing
  EXPECT_EQ(candidates("^.*abc"), V{});                          // anchored patterns are left alone
}

}  // namespace
}  // namespace lorvek
