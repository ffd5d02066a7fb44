// The fast matcher against the straightforward one on random patterns of the
// dialect and random Shift-JIS/ASCII subjects.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "regex_reference.h"
#include "whole_word_reference.h"
#include "search/compiled_word.h"
#include "search/regex/regular_expression.h"
#include "search/regex/multi_string_search.h"
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

// The whole-word rule as the reference applies it: match, and after a
// refused match search again in the whole line where it ends.
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
      const std::optional<MatchPos> expected = test::ReferenceWholeWordHit(pattern, line);
      ASSERT_TRUE(expected);
      ASSERT_EQ(FindWholeWordHit(awk.Current(), line, true), *expected)
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
  // The spellings after the start, three characters on: the longest that stay few.
  const V spelt = candidates("[ab]+(cd|ce)");
  EXPECT_EQ(spelt.size(), 16u);
  EXPECT_EQ(std::count(spelt.begin(), spelt.end(), "acd"), 1);
  // A fuzzy word: every form of its first two characters.
  const CompiledWordRef word = CompiledWord::Compile(fa + iru, true);
  const CompiledPattern& fuzzy = word->Term(0);
  EXPECT_EQ(fuzzy.candidates().size(), 18u);
  for (const char* form : {"\x83\x74\x83\x40", "\x82\xD3\x82\xA0", "\xCC\xA7"})
    EXPECT_EQ(std::count(fuzzy.candidates().begin(), fuzzy.candidates().end(), form), 1) << form;
  EXPECT_EQ(candidates("a*"), V{});                              // the empty match holds nothing
  EXPECT_EQ(candidates("^.*abc"), V{});                          // anchored patterns are left alone
}

}  // namespace
}  // namespace lorvek

namespace lorvek {
namespace {

// The earliest place at or after from where one of the strings starts, the
// plain way.
size_t EarliestByHand(const std::vector<std::string>& strings, std::string_view text, size_t from) {
  size_t best = std::string_view::npos;
  for (const std::string& s : strings) {
    if (s.empty()) continue;
    const size_t at = from <= text.size() ? text.find(s, from) : std::string_view::npos;
    best = std::min(best, at);
  }
  return best;
}

// Sets of one to forty strings over a small alphabet (so that first bytes
// repeat and strings share starts; lead bytes, small kana, half-width kana,
// so that strings are looked for by bytes inside them), texts long enough
// for the vector steps, every starting offset: the search finds what the
// plain way finds.
TEST(MultiStringSearchDifferential, FindsTheEarliestStringFromEveryOffset) {
  const char alphabet[] = {'a', 'b', '\x82', '\xA0', 'c', '\x83', '\x40', '\xCC', '\x9F'};
  for (const bool wide : {true, false}) {
    MultiStringSearch::UseWideSteps(wide);
    std::mt19937 rng(32);
    auto random_string = [&](size_t min, size_t max) {
      std::string s(min + rng() % (max - min + 1), ' ');
      for (char& c : s) c = alphabet[rng() % std::size(alphabet)];
      return s;
    };
    for (int round = 0; round < 2000; ++round) {
      std::vector<std::string> strings;
      const size_t count = 1 + rng() % (round % 4 == 0 ? 40 : 6);
      const size_t min_length = round % 3 == 0 ? 1 : 2;
      for (size_t k = 0; k < count; ++k) strings.push_back(random_string(min_length, 6));
      const MultiStringSearch search(strings);
      // Texts of several vector steps too (the steps of sixteen and
      // thirty-two bytes and the bytes after them each find their strings).
      const std::string text = random_string(0, round % 2 ? 70 : 200);
      for (size_t from = 0; from <= text.size() + 1; ++from)
        ASSERT_EQ(search.Find(text, from), EarliestByHand(strings, text, from))
            << "wide " << wide << " round " << round << " from " << from << " text [" << text << "]";
    }
  }
  MultiStringSearch::UseWideSteps(true);
}

TEST(MultiStringSearchDifferential, AStringEndingTheTextAndNoStringsAtAll) {
  const MultiStringSearch two({"xy", "zz"});
  const std::string text = std::string(40, '.') + "zz";  // the pair in the last two bytes
  EXPECT_EQ(two.Find(text, 0), 40u);
  EXPECT_EQ(two.Find(text, 41), std::string_view::npos);
  // "qzzァ" holds "zz" one byte on: the earlier start still wins, in the
  // vector steps and in the bytes after them.
  const MultiStringSearch inner({"zz", "qzz\x83\x40"});
  for (size_t pad : {0, 3, 40}) {
    const std::string text = std::string(pad, '.') + "qzz\x83\x40" + std::string(pad, '.');
    EXPECT_EQ(inner.Find(text, 0), pad) << pad;
    EXPECT_EQ(inner.Find(text, pad + 1), pad + 1) << pad;
  }
  EXPECT_EQ(MultiStringSearch({}).Find("abc", 0), std::string_view::npos);
  EXPECT_EQ(MultiStringSearch({""}).Find("abc", 0), std::string_view::npos);
}

}  // namespace
}  // namespace lorvek
