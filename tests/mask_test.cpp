#include "search/mask.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace lorvek {
namespace {

using test::Sj;

bool M(const char* mask, std::string_view name) { return TMask(mask).Matches(name); }

int ErrorPosition(std::string_view mask) {
  try {
    TMask m(mask);
  } catch (const EMaskError& e) {
    return e.position();
  }
  return 0;
}

TEST(MaskLanguage, StarDotStarNeedsADotButStarMatchesAll) {
  EXPECT_FALSE(M("*.*", "README"));
  EXPECT_TRUE(M("*", "README"));
  EXPECT_TRUE(M("*.*", "a.txt"));
  EXPECT_TRUE(M("*", "a.b.c"));
}

TEST(MaskLanguage, LettersFoldOnlyAsciiAndWholeNameMustMatch) {
  EXPECT_TRUE(M("*.TXT", "a.txt"));
  EXPECT_TRUE(M("*.txt", "A.TXT"));
  EXPECT_FALSE(M("*.TXT", "a.txt.bak"));
  EXPECT_TRUE(M("A*C", "abbbc"));
  EXPECT_FALSE(M("A*C", "abbbcd"));
}

TEST(MaskLanguage, QuestionMarkIsOneByteAndIsDroppedAfterStar) {
  EXPECT_TRUE(M("?.TXT", "a.txt"));
  EXPECT_FALSE(M("?.TXT", "ab.txt"));
  EXPECT_TRUE(M("*?.TXT", ".txt"));  // behaves as *.TXT
  std::string a_txt = Sj("あ.txt");
  EXPECT_FALSE(M("?.TXT", a_txt));
  EXPECT_TRUE(M("??.TXT", a_txt));
}

TEST(MaskLanguage, SetsRangesAndNegation) {
  EXPECT_TRUE(M("[A-C]*.LOG", "b1.log"));
  EXPECT_FALSE(M("[A-C]*.LOG", "d1.log"));
  EXPECT_FALSE(M("[!A-C]*.LOG", "b1.log"));
  EXPECT_TRUE(M("[!A-C]*.LOG", "d1.log"));
  EXPECT_TRUE(M("[XA-]", "-"));
  std::string set_with_kanji = "[" + Sj("検") + "A]";
  EXPECT_TRUE(M(set_with_kanji.c_str(), "a"));  // double-byte inside a set is ignored
}

TEST(MaskLanguage, DoubleByteCharactersMatchExactlyAndStarSkipsWholeCharacters) {
  std::string mask = "*" + Sj("検索") + "*";
  EXPECT_TRUE(M(mask.c_str(), Sj("全文検索.txt")));
  // 表 is 95 5C: its trail byte must not be taken for a character of its own.
  std::string backslash_mask = std::string("*\\*");
  EXPECT_FALSE(M(backslash_mask.c_str(), Sj("表.txt")));
}

TEST(MaskLanguage, InvalidMasksReportThePosition) {
  EXPECT_EQ(ErrorPosition("[ABC"), 5);
  EXPECT_EQ(ErrorPosition("[-A]"), 2);
  EXPECT_GT(ErrorPosition("[]"), 0);
  try {
    TMask m("[ABC");
    FAIL();
  } catch (const EMaskError& e) {
    EXPECT_STREQ(e.what(), "'[ABC' is an invalid mask at (5)");
  }
}

TEST(MaskLanguage, AtMostThirtyElementsAfterAStar) {
  std::string thirty, thirty_one;
  for (int i = 0; i < 30; ++i) thirty += "*A";
  thirty_one = thirty + "*A";
  EXPECT_EQ(ErrorPosition(thirty), 0);
  EXPECT_GT(ErrorPosition(thirty_one), 0);
  EXPECT_GT(ErrorPosition(thirty + "*"), 0);  // the end after a star counts too
  EXPECT_EQ(ErrorPosition("***A"), 0);        // a run of stars counts once
}

TEST(WildMatch, EmptyNameOrListNeverMatches) {
  TWildMatch w({"*"});
  EXPECT_FALSE(w.Matches(""));
  TWildMatch none;
  EXPECT_FALSE(none.Matches("a.txt"));
  TWildMatch bad({"*.TXT", "[X"});
  EXPECT_THROW(bad.Matches("a.doc"), EMaskError);
}

TEST(ParseMaskText, SeparatorsQuotesAndEmptyItems) {
  using V = std::vector<std::string>;
  EXPECT_EQ(ParseMaskText("*.txt;*.doc"), (V{"*.TXT", "*.DOC"}));
  EXPECT_EQ(ParseMaskText("*.txt,*.doc"), (V{"*.TXT", "*.DOC"}));
  EXPECT_EQ(ParseMaskText("  *.txt *.doc  "), (V{"*.TXT", "*.DOC"}));
  EXPECT_EQ(ParseMaskText("*.txt; *.htm"), (V{"*.TXT", "*.HTM"}));
  EXPECT_EQ(ParseMaskText("\"with space.txt\",*.c"), (V{"WITH SPACE.TXT", "*.C"}));
  EXPECT_EQ(ParseMaskText("a,,b"), (V{"A", "", "B"}));
  EXPECT_EQ(ParseMaskText("\"a\"\"b\""), (V{"A\"B"}));
  EXPECT_TRUE(ParseMaskText("   ").empty());
}

TEST(ParseMaskText, DoubleByteTrailBytesAreNotFolded) {
  // ポ is 83 7C and 碁 is 8C E9; a trail byte in a..z must stay as it is.
  std::string name = Sj("ａ.txt");  // 82 81
  auto masks = ParseMaskText(name);
  ASSERT_EQ(masks.size(), 1u);
  EXPECT_EQ(masks[0], Sj("ａ.TXT"));
}

TEST(CommaText, JoinQuotesWhatNeedsIt) {
  EXPECT_EQ(JoinCommaText({"*.TXT", "with space.txt", "a\"b"}), "*.TXT,\"with space.txt\",\"a\"\"b\"");
  EXPECT_EQ(SplitCommaText(JoinCommaText({"x y", "z"})), (std::vector<std::string>{"x y", "z"}));
}

}  // namespace
}  // namespace lorvek
