#include <gtest/gtest.h>

#include "search/fuzzy_expansion.h"
#include "search/regex/regular_expression.h"
#include "search/result_store.h"
#include "search/search_run.h"
#include "search/search_terms.h"
#include "search/whole_word.h"
#include "test_util.h"
#include "text/cp932.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;
using V = std::vector<std::string>;

TEST(SearchTerms, AmpersandSplitsAndDoubledAmpersandIsLiteral) {
  EXPECT_EQ(SplitSearchTerms("A&B"), (V{"A", "B"}));
  EXPECT_EQ(SplitSearchTerms("AT&&T"), (V{"AT&T"}));
  EXPECT_EQ(SplitSearchTerms("A&&B&&C"), (V{"A&B&C"}));
  EXPECT_EQ(SplitSearchTerms("A&&"), (V{"A&"}));
  EXPECT_EQ(SplitSearchTerms("&A"), (V{"", "A"}));
  EXPECT_EQ(SplitSearchTerms("A&"), (V{"A"}));
}

bool Whole(const std::string& word, const std::string& line) {
  TAWKStr awk;
  awk.SetRegExp(word);
  return static_cast<bool>(FindWholeWordHit(awk.Current(), line, true));
}

TEST(WholeWord, LatinWordsAreBoundedByDelimiters) {
  EXPECT_TRUE(Whole("cat", "a cat."));
  EXPECT_TRUE(Whole("cat", "(cat)"));
  EXPECT_TRUE(Whole("cat", "cat"));
  EXPECT_FALSE(Whole("cat", "concatenate"));
  EXPECT_FALSE(Whole("cat", "cat_1"));
  EXPECT_FALSE(Whole("cat", "cat-fish"));
  TAWKStr awk;
  awk.SetRegExp("cat");
  EXPECT_EQ(FindWholeWordHit(awk.Current(), "xcat cat", true), (MatchPos{6, 3}));  // the retry finds the second
}

TEST(WholeWord, JapaneseWordsAreBoundedByAChangeOfScript) {
  EXPECT_TRUE(Whole(Sj("検索"), Sj("この検索は")));
  EXPECT_TRUE(Whole(Sj("検索"), Sj("「検索」")));
  EXPECT_FALSE(Whole(Sj("検索"), Sj("全文検索する")));
  EXPECT_TRUE(Whole(Sj("ｶﾀｶﾅ"), Sj("半角ｶﾀｶﾅです")));
  EXPECT_FALSE(Whole(Sj("ｶﾀ"), Sj("ｶﾀｶﾅ")));
}

TEST(FuzzyDictionary, GroupsMatchTheTableRowByRow) {
  const auto& groups = FuzzyGroups();
  ASSERT_EQ(groups.size(), 145u);
  auto row = [&](size_t g) {
    std::string out;
    for (size_t e = 0; e < groups[g].size(); ++e) out += (e ? "|" : "") + Cp932ToUtf8(groups[g][e]);
    return out;
  };
  EXPECT_EQ(row(0), "Ａ|ａ|A|a");
  EXPECT_EQ(row(25), "Ｚ|ｚ|Z|z");
  EXPECT_EQ(row(26), "0|０|零");
  EXPECT_EQ(row(27), "1|１|一|①|Ⅰ|壱");
  EXPECT_EQ(row(36), "　| ");
  EXPECT_EQ(row(38), "\"|”");
  EXPECT_EQ(row(48), "ー|～|ｰ|");
  EXPECT_EQ(row(49), "-|ー|－|～|ｰ");
  EXPECT_EQ(row(60), "\\|￥");
  EXPECT_EQ(row(67), "~|￣");
  EXPECT_EQ(row(68), ",|､|、|，");
  EXPECT_EQ(row(69), "｡|.|。|．");
  EXPECT_EQ(row(73), "が|ガ|ｶﾞ|か゛|カ゛");
  EXPECT_EQ(row(79), "じ|ジ|ｼﾞ|し゛|シ゛|ぢ|ヂ|ﾁﾞ|ち゛|チ゛");
  EXPECT_EQ(row(88), "ぶ|ブ|ﾌﾞ|ふ゛|フ゛|ヴ|ウ゛|う゛|ｳﾞ");
  EXPECT_EQ(row(95), "ぽ|ポ|ﾎﾟ|ほ゜|ホ゜");
  EXPECT_EQ(row(96), "あ|ア|ｱ|ぁ|ァ|ｧ");
  EXPECT_EQ(row(101), "か|カ|ｶ");
  EXPECT_EQ(row(113), "つ|ツ|ﾂ|っ|ッ|ｯ");
  EXPECT_EQ(row(130), "も|モ|ﾓ");
  EXPECT_EQ(row(133), "よ|ヨ|ﾖ|ょ|ョ|ｮ");
  EXPECT_EQ(row(138), "ろ|ロ|ﾛ");
  EXPECT_EQ(row(139), "わ|ワ|ﾜ|うぁ|ウァ|ｳｧ");
  EXPECT_EQ(row(142), "を|ヲ|ｦ|うぉ|ウォ|ｳｫ");
  EXPECT_EQ(row(143), "ﾞ|゛");
  EXPECT_EQ(row(144), "ﾟ|゜");
}

class Lines : public ::testing::Test {
 protected:
  TempDir program, tree;
  NullFrontEnd front;
  ResultStore store;
  SearchRun run{front, store, program.path().string()};
  void Search(const std::string& word, const std::string& body) {
    tree.Write("t.txt", Sj(body));
    run.options().code_cng_mode = 0;
    run.FindButtonClick(Sj(word), (tree.path() / "t.txt").string(), "*");
  }
  std::vector<int> LineNos() {
    std::vector<int> out;
    for (size_t i = 0; i < store.size(); ++i) out.push_back(store[i].LineNo);
    return out;
  }
};

TEST_F(Lines, AndTermsInAnyOrderAndEmptyTerms) {
  run.options().whole_word = false;
  Search("A&B", "A B\r\nB A\r\nA\r\nB\r\n");
  EXPECT_EQ(LineNos(), (std::vector<int>{1, 2}));
  Search("AT&&T", "AT&T\r\nAT T\r\n");
  EXPECT_EQ(LineNos(), (std::vector<int>{1}));
  Search("&A", "xAx\r\nB\r\n");
  EXPECT_EQ(LineNos(), (std::vector<int>{1}));
}

TEST_F(Lines, FuzzyAndExactMatching) {
  run.options().whole_word = false;
  run.options().fuzzy_char = true;
  Search("ﾃｽﾄ", "テスト\r\nてすと\r\ntest\r\n");
  EXPECT_EQ(LineNos(), (std::vector<int>{1, 2}));
  run.options().fuzzy_char = false;
  Search("abc", "ABC\r\nabc\r\n");
  EXPECT_EQ(LineNos(), (std::vector<int>{2}));
}

TEST_F(Lines, FirstHitOnlyStopsAfterAnAcceptedLine) {
  run.options().whole_word = false;
  run.options().find_onece = true;
  Search("a&b", "a\r\na b\r\na b\r\n");
  EXPECT_EQ(LineNos(), (std::vector<int>{2}));
}

TEST_F(Lines, ContextLinesCarryNulMarkersBeyondTheText) {
  run.options().whole_word = false;
  run.options().wide_preview = true;
  Search("hit", "hit\r\nx\r\ny\r\n");
  ASSERT_EQ(store.size(), 1u);
  EXPECT_EQ(store[0].PrevLine1, kNulMarker);
  EXPECT_EQ(store[0].PrevLine2, kNulMarker);
  EXPECT_EQ(store[0].NextLine1, "x");
  EXPECT_EQ(store[0].NextLine2, "y");
  run.options().wide_preview = false;
  Search("hit", "hit\r\nx\r\n");
  EXPECT_EQ(store[0].NextLine1, "");
}

}  // namespace
}  // namespace lorvek
