// The whole-word rule on characters: neighbours found by walking the line
// (a trail byte is never read as a lead), marks that lengthen or repeat
// the character before them, one rule at every position, and the search
// going on after a refused match in the whole line. Held against a
// reference written apart from the engine.
#include <gtest/gtest.h>

#include <random>

#include "regex_reference.h"
#include "search_harness.h"
#include "search/compiled_word.h"
#include "search/regex/regular_expression.h"
#include "search/whole_word.h"
#include "test_util.h"
#include "text/cp932.h"
#include "text/encoding.h"
#include "text/sjis.h"
#include "whole_word_reference.h"

namespace lorvek {
namespace {

using test::Sj;

// Where the word is found as a whole word in the line (1-based byte), 0 for nowhere.
size_t FoundAt(const std::string& word, const std::string& line) {
  TAWKStr awk;
  awk.SetRegExp(Sj(word));
  return FindWholeWordHit(awk.Current(), Sj(line), true).start;
}

TEST(WholeWord, NeighboursAreCharactersNotBytes) {
  // The byte before 検索 is a blank; the one before it the trail of 京 (8B 9E).
  EXPECT_EQ(FoundAt("検索", "東京 検索 です"), 6u);
  EXPECT_EQ(FoundAt("検索", "大阪 検索"), 6u);
  EXPECT_EQ(FoundAt("検索", "漢字 検索、終わり"), 6u);
  EXPECT_EQ(FoundAt("日本語", "言語(日本語)"), 6u);
  EXPECT_EQ(FoundAt("検索", "全文検索する"), 0u);
  // A kanji is a word of its own beside kana or letters, whatever its trail byte.
  EXPECT_EQ(FoundAt("abc", "表abc"), 3u);
  EXPECT_EQ(FoundAt("検索", "京検索"), 0u);
  EXPECT_EQ(FoundAt("検索", "京 京検索"), 0u);
}

TEST(WholeWord, TheSearchGoesOnInTheWholeLineWhereARefusedMatchEnds) {
  EXPECT_EQ(FoundAt("cat", "xcat_cat"), 0u);
  EXPECT_EQ(FoundAt("cat", "xcatxcat"), 0u);
  EXPECT_EQ(FoundAt("^cat", "cat_cat"), 0u);
  EXPECT_EQ(FoundAt("cat", "xcat、cat"), 7u);
  EXPECT_EQ(FoundAt("cat", "xcatあcat"), 7u);
  EXPECT_EQ(FoundAt("cat", "xcat cat"), 6u);
  // An accepted match that begins where a refused one ends.
  EXPECT_EQ(FoundAt("検索する", "「字検索する検索する 」"), 13u);
}

TEST(WholeWord, MarksTakeTheClassOfTheCharacterBeforeThem) {
  EXPECT_EQ(FoundAt("コーヒー", "コーヒーカップ"), 0u);
  EXPECT_EQ(FoundAt("コーヒー", "コーヒー、紅茶"), 1u);
  EXPECT_EQ(FoundAt("人", "人々"), 0u);
  EXPECT_EQ(FoundAt("人々", "人々が"), 1u);
  EXPECT_EQ(FoundAt("ｺｰﾋｰ", "ｺｰﾋｰｶｯﾌﾟ"), 0u);
  EXPECT_EQ(FoundAt("ゝ", "「ゝ」"), 3u);  // after a delimiter: a class of its own
}

TEST(WholeWord, HalfWidthKatakanaHaveTheirClassAtEveryPosition) {
  EXPECT_EQ(FoundAt("ﾃｽﾄ", "ｱﾃｽﾄ"), 0u);
  EXPECT_EQ(FoundAt("ﾃｽﾄ", "ｱｱﾃｽﾄ"), 0u);
  EXPECT_EQ(FoundAt("ｱﾃ", "ｱﾃｽﾄ"), 0u);
  EXPECT_EQ(FoundAt("ﾃｽﾄ", "aﾃｽﾄ"), 2u);
  EXPECT_EQ(FoundAt("a", "ﾃa"), 2u);
  EXPECT_EQ(FoundAt("a", "aﾃ"), 1u);
}

// A binary file's lines take the whole-word test and the first-hit switch
// as a text file's do (cat no longer finds concatenate), with the reading
// ahead and without it.
TEST(WholeWord, BinaryFilesTakeTheTestAndTheFirstHitSwitch) {
  test::TempDir dir;
  static const char kBytes[] = "concatenate\0\nthe cat\0\nxcat\nmore cat\n";
  dir.Write("b.bin", std::string(kBytes, sizeof kBytes - 1));
  for (const int workers : {0, 2}) {
    for (const bool first_only : {false, true}) {
      test::Harness h;
      h.run.SetReadAheadWorkers(workers);
      h.run.options().whole_word = true;
      h.run.options().find_onece = first_only;
      h.Search("cat", (dir / "b.bin").string());
      ASSERT_EQ(h.store.size(), first_only ? 1u : 2u) << workers;
      EXPECT_EQ(h.store[0].LineNo, 2);
      EXPECT_EQ(h.store[0].EncodingCode, ecBinary);
      if (!first_only) EXPECT_EQ(h.store[1].LineNo, 4);
    }
  }
}

// Random lines of kanji (trail bytes in ASCII's range among them), kana of
// both widths, letters, digits, marks and punctuation; words cut from them
// or made of their pieces; the engine and the reference agree on the hit.
TEST(WholeWord, TheEngineAgreesWithTheReferenceOnRandomLines) {
  const char* const pieces[] = {"東", "京", "検", "索", "表", "院", "ソ", "あ", "い", "カ", "ー", "々", "ゝ", "ヽ",
                                "ｱ", "ﾃ", "ｰ", "a", "b", "_", "-", "1", " ", "、", "。", "(", "「", "」", "ａ",
                                "Ω", "①", "\\", "@", "ﾞ"};
  std::mt19937 rng(40);
  TAWKStr awk;
  int compared = 0, found = 0;
  for (int round = 0; round < 6000; ++round) {
    std::string line;
    for (int i = static_cast<int>(rng() % 12); i >= 0; --i) line += Sj(pieces[rng() % std::size(pieces)]);
    std::string word;
    if (rng() % 2 && !line.empty()) {
      // A run of the line's own characters.
      std::vector<size_t> starts;
      for (size_t p = 0; p < line.size(); p += CharLength(line, p)) starts.push_back(p);
      const size_t a = rng() % starts.size(), b = a + 1 + rng() % 3;
      word = line.substr(starts[a], (b < starts.size() ? starts[b] : line.size()) - starts[a]);
    } else {
      for (int i = 1 + static_cast<int>(rng() % 2); i > 0; --i) word += Sj(pieces[rng() % std::size(pieces)]);
    }
    std::string pattern;  // the word as written: a character of one byte may need a backslash
    for (size_t p = 0; p < word.size(); p += CharLength(word, p)) {
      if (CharLength(word, p) == 1 && std::string_view("^$.[]()|*+?\\{}").find(word[p]) != std::string_view::npos)
        pattern += '\\';
      pattern.append(word, p, CharLength(word, p));
    }
    if (rng() % 8 == 0) pattern = "^" + pattern;
    try {
      awk.SetRegExp(pattern);
    } catch (const std::exception&) {
      continue;
    }
    const std::optional<MatchPos> expected = test::ReferenceWholeWordHit(pattern, line);
    ASSERT_TRUE(expected) << pattern;
    ASSERT_EQ(FindWholeWordHit(awk.Current(), line, true), *expected)
        << "word [" << Cp932ToUtf8(pattern) << "] line [" << Cp932ToUtf8(line) << "]";
    ++compared;
    if (*expected) ++found;
  }
  EXPECT_GT(compared, 5000);
  EXPECT_GT(found, 1000);
}

}  // namespace
}  // namespace lorvek
