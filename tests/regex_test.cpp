#include <gtest/gtest.h>

#include "search/fuzzy_expansion.h"
#include "search/regex/regular_expression.h"
#include "test_util.h"

namespace lorvek {
namespace {

using test::Sj;

MatchPos Find(const std::string& pattern, const std::string& subject,
              TMatchCORE_LineSeparator sep = mcls_CRLF) {
  TAWKStr awk;
  awk.SetLineSeparator(sep);
  awk.SetRegExp(pattern);
  MatchPos fast = awk.Match(subject);
  EXPECT_EQ(fast, awk.MatchReference(subject)) << pattern;
  return fast;
}

std::string ErrorOf(const std::string& pattern) {
  TAWKStr awk;
  try {
    awk.SetRegExp(pattern);
  } catch (const ERegExpParser& e) {
    return e.what();
  }
  return "";
}

TEST(RegexDialect, EdgeCasesOfTheDialect) {
  EXPECT_EQ(Find("a|b*", "xyz"), (MatchPos{1, 0}));
  EXPECT_EQ(Find(Sj("あ+"), Sj("xああy")), (MatchPos{2, 4}));
  EXPECT_EQ(Find(Sj("[ア-ン]+"), Sj("abcカタカナ")), (MatchPos{4, 8}));
  EXPECT_FALSE(Find("[^a]", "\r"));
  EXPECT_FALSE(Find("[^a]", "\n"));
  EXPECT_EQ(Find("^abc", "abc def"), (MatchPos{1, 3}));
  EXPECT_FALSE(Find("^abc", "xabc"));
  EXPECT_EQ(Find("a^b", "a^b"), (MatchPos{1, 3}));
  EXPECT_EQ(Find("def$", "abc def"), (MatchPos{5, 3}));
  EXPECT_EQ(Find("def$", "abc def\r"), (MatchPos{5, 3}));
  EXPECT_EQ(Find("def$", "abc def\rx"), (MatchPos{5, 3}));  // CR separates lines
  EXPECT_EQ(Find("\\x41", "xA"), (MatchPos{2, 1}));
  EXPECT_EQ(Find("\\101", "xA"), (MatchPos{2, 1}));
  EXPECT_EQ(Find("[\\]]", "a]"), (MatchPos{2, 1}));
  EXPECT_EQ(Find("\\x82A0", Sj("xあ")), (MatchPos{2, 2}));
  EXPECT_EQ(Find("a{2}", "aa{2}"), (MatchPos{2, 4}));  // braces are ordinary
}

TEST(RegexDialect, TrailBytesNeverStartAMatch) {
  // ソ is 83 5C and 表 is 95 5C: the pattern \\ must not find their trail bytes.
  EXPECT_FALSE(Find("\\\\", Sj("ソ表")));
  EXPECT_EQ(Find("\\\\", Sj("ソ\\")), (MatchPos{3, 1}));
  EXPECT_FALSE(Find("A", Sj("ア")));  // 83 41
  EXPECT_EQ(Find(Sj("表"), Sj("予表")), (MatchPos{3, 2}));
}

TEST(RegexDialect, LineSeparatorDecidesWhereDollarMayStop) {
  EXPECT_EQ(Find("def$", "def\r\n", mcls_CRLF), (MatchPos{1, 3}));
  EXPECT_FALSE(Find("def$", "def\nx", mcls_CRLF));
  EXPECT_EQ(Find("def$", "def\nx", mcls_LF), (MatchPos{1, 3}));
  EXPECT_FALSE(Find("def$", "def\rx", mcls_LF));
  EXPECT_EQ(Find("^x", "abc\nxyz", mcls_LF), (MatchPos{5, 1}));
  EXPECT_EQ(Find("x*$", "ab"), (MatchPos{3, 0}));
}

TEST(RegexDialect, CodeZeroMatchesNothingAndNeverReadsPastTheEnd) {
  EXPECT_FALSE(Find("\\0", std::string("a\0b", 3)));
  EXPECT_FALSE(Find("a\\x0", "a"));
  EXPECT_EQ(Find("a\\x0|b", "ab"), (MatchPos{2, 1}));
  std::string lone_lead = "ab\x82";
  EXPECT_EQ(Find("b.", lone_lead), (MatchPos{2, 2}));
  // An embedded NUL reads as the end of the text for the line-end anchor.
  EXPECT_EQ(Find("$", std::string("\xFF\0\xFF\t", 4)), (MatchPos{2, 0}));
}

TEST(RegexFailures, EveryMessageOfTheTable) {
  EXPECT_EQ(ErrorOf("a\x82"), "不正な２バイト文字コードです。");
  EXPECT_EQ(ErrorOf("a\\"), "\"\\\"の次には文字が必要です。");
  EXPECT_EQ(ErrorOf("\\x"), "不正な１６進数コード表記です。");
  EXPECT_EQ(ErrorOf("\\xg"), "不正な１６進数コード表記です。");
  EXPECT_EQ(ErrorOf("\\777777"), "不正な８進数コード表記です。");
  EXPECT_EQ(ErrorOf("[abc"), "右ブラケット\"]\"が必要です");
  EXPECT_EQ(ErrorOf("["), "右ブラケット\"]\"が必要です");
  EXPECT_EQ(ErrorOf("[a-"), "右ブラケット\"]\"が必要です");
  EXPECT_EQ(ErrorOf("[z-a]"), "不正なキャラクタ範囲です");
  EXPECT_EQ(ErrorOf("[]"), "不正なキャラクタクラス指定です。");
  EXPECT_EQ(ErrorOf("[^]"), "不正なキャラクタクラス指定です。");
  EXPECT_EQ(ErrorOf("("), "右(閉じ)括弧が必要です");
  EXPECT_EQ(ErrorOf(")"), "正規表現に余分な文字があります");
  EXPECT_EQ(ErrorOf("a**"), "普通の文字、または左括弧\"(\"が必要です");
  EXPECT_EQ(ErrorOf("*a"), "普通の文字、または左括弧\"(\"が必要です");
  EXPECT_EQ(ErrorOf("a]"), "普通の文字、または左括弧\"(\"が必要です");
  EXPECT_EQ(ErrorOf("a+?"), "普通の文字、または左括弧\"(\"が必要です");
  EXPECT_EQ(ErrorOf("[^\\x1-\\xFFFF]"), "否定キャラクタクラスに該当する文字がありません。");
  EXPECT_EQ(ErrorOf("\\777"), "");  // 0x1FF is fine
  EXPECT_EQ(ErrorOf("()"), "");
  EXPECT_EQ(ErrorOf("a|"), "");
}

TEST(RegexFailures, HugePatternsAreRefusedNotHung) {
  std::string deep(5000, '(');
  EXPECT_EQ(ErrorOf(deep + "a" + std::string(5000, ')')), "正規表現が複雑すぎます。");
  std::string wide;
  for (int i = 0; i < 140000; ++i) wide += "a*";
  EXPECT_EQ(ErrorOf(wide), "正規表現が複雑すぎます。");
}

TEST(RegexCache, InvalidPatternLeavesTheEmptyPattern) {
  TAWKStr awk;
  awk.SetRegExp("abc");
  EXPECT_THROW(awk.SetRegExp("(abc"), ERegExpParser);
  EXPECT_EQ(awk.RegExp(), "");
  EXPECT_EQ(awk.Match("zzz"), (MatchPos{1, 0}));
  EXPECT_EQ(awk.Match(""), (MatchPos{1, 0}));
}

TEST(RegexCache, ThirtyEntriesWithTheEmptyPatternFirst) {
  TAWKStr awk;
  for (int i = 0; i < 29; ++i) awk.SetRegExp("p" + std::to_string(i));
  EXPECT_EQ(awk.CacheEntries(), 30u);
  size_t compiled = awk.CompileCount();
  awk.SetRegExp("p5");  // a hit: no compilation
  EXPECT_EQ(awk.CompileCount(), compiled);
  awk.SetRegExp("p29");  // evicts the oldest, p0
  EXPECT_EQ(awk.CacheEntries(), 30u);
  awk.SetRegExp("p1");
  EXPECT_EQ(awk.CompileCount(), compiled + 1);
  awk.SetRegExp("p0");
  EXPECT_EQ(awk.CompileCount(), compiled + 2);
  EXPECT_EQ(awk.Match("xp0"), (MatchPos{2, 2}));
}

TEST(RegexEscapes, ConversionReplacesEverySequence) {
  EXPECT_EQ(TAWKStr::ConvertEscapes("a\\tb\\n\\x41\\101\\\\\\."), "a\tb\nAA\\.");
  EXPECT_EQ(TAWKStr::ConvertEscapes("\\x82A0"), Sj("あ"));
  EXPECT_EQ(TAWKStr::ConvertEscapes(Sj("ソ")), Sj("ソ"));
  EXPECT_EQ(TAWKStr::ConvertEscapes("a\\xg\\"), "a\\xg\\");  // not escapes: kept as typed
}

TEST(FuzzyExpansion, LiteralRunsBecomeGroups) {
  EXPECT_EQ(FuzzyExpand("a"), Sj("(Ａ|ａ|A|a)"));
  EXPECT_EQ(FuzzyExpand("1"), Sj("(1|１|一|①|Ⅰ|壱)"));
  EXPECT_EQ(FuzzyExpand(Sj("ｶﾞ")), Sj("(が|ガ|ｶﾞ|か゛|カ゛)"));
  EXPECT_EQ(FuzzyExpand(Sj("ー")), Sj("(ー|～|ｰ|)"));
  EXPECT_EQ(FuzzyExpand("-"), Sj("(-|ー|－|～|ｰ)"));
  EXPECT_EQ(FuzzyExpand("\\."), Sj("(｡|\\.|。|．)"));
  EXPECT_EQ(FuzzyExpand("[^a]."), "[^a].");
  EXPECT_EQ(FuzzyExpand(Sj("検")), Sj("検"));
}

TEST(FuzzyExpansion, MatchesVariantsWhenSwitchedOn) {
  TAWKStr awk;
  awk.SetUseFuzzyCharDic(true);
  awk.SetRegExp(Sj("ﾃｽﾄ"));
  EXPECT_EQ(awk.RegExp(), Sj("ﾃｽﾄ"));  // the unexpanded pattern is reported
  EXPECT_TRUE(awk.Match(Sj("これはテストです")));
  EXPECT_TRUE(awk.Match(Sj("てすと")));
  awk.SetRegExp("ABC");
  EXPECT_TRUE(awk.Match(Sj("ａｂｃ")));
  awk.SetRegExp(Sj("コーヒー"));
  EXPECT_TRUE(awk.Match(Sj("コヒ")));
  awk.SetRegExp("[^a]");
  EXPECT_FALSE(awk.Match("a"));
  EXPECT_TRUE(awk.Match("A"));
  awk.SetUseFuzzyCharDic(false);  // re-installs the current pattern
  awk.SetRegExp("abc");
  EXPECT_FALSE(awk.Match("ABC"));
}

}  // namespace
}  // namespace lorvek
