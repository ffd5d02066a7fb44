#include <gtest/gtest.h>

#include <map>
#include <random>

#include "search/file_grep.h"
#include "search/regex/regular_expression.h"
#include "search/result_store.h"
#include "search/search_run.h"
#include "test_util.h"
#include "text/conversion.h"
#include "text/cp932.h"
#include "text/encoding.h"
#include "text/file_bytes.h"
#include "text/text_codec.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;

int32_t Detect(const std::string& bytes, bool utf8 = true) {
  std::string buf = bytes + std::string(4, '\0');
  return DetectCode(buf, bytes.size(), utf8);
}

TEST(DetectCode, EdgeCasesOfTheClassifier) {
  EXPECT_EQ(Detect(""), ecBinary);
  EXPECT_EQ(Detect("\xFF\xFE\x41"), ecBinary);
  EXPECT_EQ(Detect(std::string("\xFF\xFE\x41\x00", 4)), ecUtf16Le);
  EXPECT_EQ(Detect(std::string("\xFE\xFF\x00\x41", 4)), ecUtf16Be);
  EXPECT_EQ(Detect("\xEF\xBB\xBF" "abc"), ecUtf8);
  // Without utf8Aware, EF BB is an undecided pair and BF 61 then decides.
  EXPECT_EQ(Detect("\xEF\xBB\xBF" "abc", false), ecSjis);
  EXPECT_EQ(Detect("\x1B$Babc\x01"), ecBinary);
  EXPECT_EQ(Detect("\x1B$B0!\x1B(B"), ecJis);
  EXPECT_EQ(Detect("\x1B$@0!\x1B(B"), ecJisOld);
  EXPECT_EQ(Detect("\x1B(Babc"), ecAscii);
  EXPECT_EQ(Detect("\xE3\x81\x82\r\n"), ecUtf8N);
  EXPECT_EQ(Detect("\xE3\x81\x82"), ecSjis);
  EXPECT_EQ(Detect("A\xC3\xA9" "AAA"), ecEucOrSjis);
  EXPECT_EQ(Detect("\x82\xA0\x82\xA2"), ecSjis);
  EXPECT_EQ(Detect("ab\xF0\xA1" "cd"), ecEuc);
  EXPECT_EQ(Detect("ab"), ecAscii);
}

TEST(DetectLineBreak, OnlyTheFirstBreakCounts) {
  EXPECT_EQ(DetectLineBreak("a\nb\r\n"), leLf);
  EXPECT_EQ(DetectLineBreak("a\r\nb\n"), leCrLf);
  EXPECT_EQ(DetectLineBreak("a\rb"), leCr);
  EXPECT_EQ(DetectLineBreak("a\r"), leCr);
  EXPECT_EQ(DetectLineBreak("ab"), leNone);
  EXPECT_EQ(EncodingTag(ecEuc, leLf), "[EUC][LF]");
  EXPECT_EQ(EncodingTag(ecSjis, leCrLf), "");
  EXPECT_EQ(EncodingTag(ecEucOrSjis, leCrLf), "[???]");
  EXPECT_EQ(EncodingTag(4711, leCr), "[???][CR]");
}

TEST(ProbeFileCode, EveryTextFixtureAsTheManifestSays) {
  const std::map<std::string, std::pair<int, int>> expected = {
      {"ascii.txt", {0, 1}},       {"sjis_crlf.txt", {5, 1}},      {"sjis_lf.txt", {5, 3}},
      {"sjis_cr.txt", {5, 2}},     {"eucjp_lf.txt", {4, 3}},       {"eucjp_crlf.txt", {4, 1}},
      {"jis_crlf.txt", {2, 1}},    {"jis78_crlf.txt", {3, 1}},     {"utf8_bom.txt", {9, 1}},
      {"utf8_nobom_lf.txt", {10, 3}}, {"utf16le_bom.txt", {7, 2}}, {"utf16be_bom.txt", {8, 0}},
      {"binary_with_sjis.bin", {1, 0}}, {"nul_inside.txt", {1, 1}}, {"nul_late.txt", {5, 1}},
      {"empty.txt", {-1, -1}},     {"mixed_breaks.txt", {5, 3}},   {"no_final_newline.txt", {5, 1}},
      {"utf8_twobyte_only.txt", {6, 3}},
  };
  for (const auto& [name, codes] : expected) {
    TextFileFormat f = ProbeFileCode(test::FixturePath("text/" + name).string());
    EXPECT_EQ(f.encoding, codes.first) << name;
    EXPECT_EQ(f.line_end, codes.second) << name;
  }
}

TEST(CodeConversion, ExamplesOfEachConversion) {
  EXPECT_EQ(JisToSjis("\x1B$B0!\x1B(BA"), "\x88\x9F" "A");
  EXPECT_EQ(SjisToJis("\x88\x9F\r\n"), "\x1B$B0!\x1B(J\r\n");
  EXPECT_EQ(SjisToJis("\xB6\xDE"), "\x1B$B%,");
  EXPECT_EQ(SjisToEuc("\xB1"), "\x8E\xB1");
  EXPECT_EQ(EucToSjis("\x8E\xB1"), "\xB1");
  EXPECT_EQ(EucToSjis("\xB0\xA1"), "\x88\x9F");
  EXPECT_EQ(Utf8ToSjis("\xE3\x81\x82", false), "\x82\xA0");
  // A byte that starts nothing is one ・; a lead cut short does not take
  // the ASCII after it with it.
  EXPECT_EQ(Utf8ToSjis("\x80", false), "\x81\x45");
  EXPECT_EQ(Utf8ToSjis("\xE3" "a b", false), "\x81\x45" "a b");
  EXPECT_EQ(Utf8ToSjis("x\xE3\x81" "a", false), "x\x81\x45\x81\x45" "a");
  // An overlong form or a code past U+10FFFF starts no character either.
  EXPECT_EQ(Utf8ToSjis("a\xC0\xAF" "b", false), "a\x81\x45\x81\x45" "b");
  EXPECT_EQ(Utf8ToSjis("\xF4\x90\x80\x80", false), "\x81\x45\x81\x45\x81\x45\x81\x45");
  EXPECT_EQ(Utf8ToSjis("\xEF\xBB\xBF" "abc", true), "abc");
  EXPECT_EQ(Utf8ToSjis("a\xF0\x9F\x98\x80" "b", false), "a?b");
  EXPECT_EQ(SjisToUtf8("\x82\xA0", false), "\xE3\x81\x82");
  EXPECT_EQ(SjisToUtf8("\x82\xA0", true), "\xEF\xBB\xBF\xE3\x81\x82");
  EXPECT_EQ(ConvertLineBreaks("a\nb\n", leCrLf), "a\r\nb\r\n");
  EXPECT_EQ(ConvertLineBreaks("ab", leCrLf), "ab");
  EXPECT_EQ(ConvertLineBreaks("a\rb\r\n", leLf), "a\nb\n\n");
  std::string undecided = "\xE0\xA1\xE0\xA1";
  EXPECT_EQ(ToInternalText(undecided), undecided);
  // The Windows-31J table: wave dash, circled digit, yen sign.
  EXPECT_EQ(Utf8ToCp932("～①￥"), "\x81\x60\x87\x40\x81\x8F");
}

// Strict UTF-8: no overlong form, no surrogate, nothing past U+10FFFF,
// nothing cut short; a character that ends the text still counts.
TEST(CodePage932, WhatIsUtf8) {
  EXPECT_TRUE(IsValidUtf8("a\xE6\x97\xA5"));
  EXPECT_TRUE(IsValidUtf8("\xC3\xA9"));
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
  EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\x80"));      // overlong NUL
  EXPECT_FALSE(IsValidUtf8("\xE0\x9F\xBF"));      // overlong U+07FF
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // a surrogate half
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xF0\x8F\xBF\xBF"));  // overlong four bytes
  EXPECT_FALSE(IsValidUtf8("a\xE6\x97"));         // cut short
  EXPECT_FALSE(IsValidUtf8("\xC1\xBF"));
}

// What code page 932 has no character for becomes U+30FB (UTF-16) or ? the
// other way, one substitute a character, and the bytes after it are kept.
// Shift-JIS to UTF-8 by the table gives what iconv gives: every byte, every
// lead byte with every trail (and alone at the end), and random mixes of
// text and invalid bytes.
TEST(CodePage932, ToUtf8ByTheTableIsIconvsAnswer) {
  for (unsigned a = 0; a < 0x100; ++a) {
    const std::string one(1, static_cast<char>(a));
    ASSERT_EQ(Cp932ToUtf8(one), Cp932ToUtf8ByIconv(one)) << a;
    ASSERT_EQ(Cp932ToUtf8("x" + one), Cp932ToUtf8ByIconv("x" + one)) << a;
    for (unsigned b = 0; b < 0x100; ++b) {
      const std::string two = {static_cast<char>(a), static_cast<char>(b), 'z'};
      ASSERT_EQ(Cp932ToUtf8(two), Cp932ToUtf8ByIconv(two)) << a << " " << b;
    }
  }
  std::mt19937 rng(932);
  const char pieces[][3] = {"a", "\x82\xA0", "\x88\x9F", "\x81", "\xA0", "\xFD", "\x87\x40", "\xB1", "\x5C"};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int k = rng() % 12; k > 0; --k) text += pieces[rng() % std::size(pieces)];
    ASSERT_EQ(Cp932ToUtf8(text), Cp932ToUtf8ByIconv(text)) << round;
  }
}

TEST(CodePage932, SubstitutesAndWhatComesAfterThem) {
  // A byte that leads nothing: the next ones are text of their own.
  EXPECT_EQ(Cp932ToUtf8("\xFD" "a b"), "\xE3\x83\xBB" "a b");
  EXPECT_EQ(Cp932ToUtf8("\xA0" "a b"), "\xE3\x83\xBB" "a b");
  // A pair with no character: one U+30FB for the two bytes.
  EXPECT_EQ(Cp932ToUtf8("x\x85\x40y"), "x\xE3\x83\xBBy");
  EXPECT_EQ(Cp932ToUtf16("x\x85\x40y"), u"x\u30FBy");
  // A character beyond the BMP is one ?, in both directions of the table.
  EXPECT_EQ(Utf16ToCp932ByIconv(u"a\U0001F600b"), "a?b");
  EXPECT_EQ(Utf16ToCp932(u"a\U0001F600b"), "a?b");
  EXPECT_EQ(Utf16ToCp932(u"a\xD83D" "b"), "a?b");  // a lone half
  std::string out;
  EXPECT_FALSE(ExternalToCp932Exact("a\xF0\x9F\x98\x80", &out));
  EXPECT_TRUE(ExternalToCp932Exact("\xE6\xA4\x9C", &out));
  EXPECT_EQ(out, "\x8C\x9F");
}

// A word from outside (command line, archive member name) in UTF-8 is
// converted; one that is no UTF-8, such as Shift-JIS, is taken as its bytes.
TEST(CodePage932, OutsideWordsAreUtf8OrTheirOwnBytes) {
  EXPECT_EQ(ExternalToCp932("\xE6\xA4\x9C\xE7\xB4\xA2"), Sj("検索"));
  EXPECT_EQ(ExternalToCp932(Sj("検索")), Sj("検索"));
  EXPECT_EQ(ExternalToCp932(Sj("表示")), Sj("表示"));
  std::string out;
  EXPECT_TRUE(ExternalToCp932Exact(Sj("検索"), &out));
  EXPECT_EQ(out, Sj("検索"));
}

TEST(CodeConversion, HalfWidthKanaMergeWithTheirVoicingMarks) {
  EXPECT_EQ(SjisToJis("\xCA\xDF"), "\x1B$B%Q");   // ﾊﾟ -> パ
  EXPECT_EQ(SjisToJis("\xCA\xDE"), "\x1B$B%P");   // ﾊﾞ -> バ
  EXPECT_EQ(SjisToJis("\xB3\xDE"), "\x1B$B%t");   // ｳﾞ -> ヴ
  EXPECT_EQ(SjisToJis("\xB1\xDE"), "\x1B$B%\"!+");  // ｱﾞ stays two characters
  EXPECT_EQ(JisToSjis(SjisToJis(Sj("ガ"))), Sj("ガ"));
}

TEST(CodeConversion, WriteBackRoundTripsForEveryEncoding) {
  TempDir dir;
  const std::string text = Sj("日本語の検索テスト abc ①～￥\r\n二行目");
  for (int32_t code : {ecJis, ecEuc, ecUtf8, ecUtf8N, ecSjis, ecAscii, ecUtf16Le, ecUtf16Be}) {
    std::string bytes = EncodeForCode(code, text);
    EXPECT_EQ(DecodeForCode(code, bytes), text) << code;
  }
  for (int32_t code : {ecUtf16Le, ecUtf16Be}) {
    std::string path = (dir / ("u" + std::to_string(code))).string();
    WriteFileAtomically(path, EncodeForCode(code, text));
    EXPECT_EQ(ProbeFileCode(path).encoding, code);
  }
  EXPECT_EQ(ToInternalText(SjisToEuc(text)), text);
  EXPECT_EQ(ToInternalText(SjisToJis(Sj("検索"))), Sj("検索"));
}

// Runs of ASCII of every length around Japanese characters and a NUL decode
// as the characters do one by one (long runs are copied in bulk).
TEST(CodeConversion, AsciiRunsOfEveryLengthDecodeAsTheirCharacters) {
  for (size_t run = 0; run <= 40; ++run) {
    for (size_t nul_at : {size_t(0), run / 2, run + 1}) {
      std::string ascii;
      for (size_t k = 0; k < run; ++k) ascii.push_back(static_cast<char>('!' + (k * 7) % 90));
      if (nul_at < run) ascii[nul_at] = '\0';
      const std::string utf8 = "\xE3\x81\x82" + ascii + "\xEF\xBD\xB1" + ascii + "x";
      const std::string euc = "\xB0\xA1" + ascii + "\x8E\xB1" + ascii + "x";
      const std::string sjis_ascii = ascii;
      std::string want_euc = "\x88\x9F" + sjis_ascii + "\xB1" + sjis_ascii + "x";
      std::string want_utf8 = "\x82\xA0" + sjis_ascii + "\xB1" + sjis_ascii + "x";
      // A NUL is a character of the line in both.
      EXPECT_EQ(Utf8ToSjis(utf8, false), want_utf8) << "run " << run << " nul at " << nul_at;
      EXPECT_EQ(EucToSjis(euc), want_euc) << "run " << run << " nul at " << nul_at;
    }
  }
  // A byte of 0x80 or more right after a long run is still decoded.
  EXPECT_EQ(Utf8ToSjis(std::string(16, 'a') + "\xE3\x81\x82", false), std::string(16, 'a') + "\x82\xA0");
  EXPECT_EQ(Utf8ToSjis(std::string(17, 'a') + "\x80", false), std::string(17, 'a') + "\x81\x45");
}

TEST(CodeConversion, TruncatedInputNeverReadsPastTheEnd) {
  EXPECT_EQ(JisToSjis("\x1B$B0"), "0");
  EXPECT_EQ(JisToSjis("\x1B"), "");
  EXPECT_EQ(EucToSjis("\xB0"), "\xB0");
  EXPECT_NO_THROW(Utf8ToSjis("\xE3\x81", false));
  EXPECT_EQ(Utf16ToSjis("\xFF\xFE\x41", false), "");
  EXPECT_EQ(SjisToJis("a\x88"), "a\x1B$B");
}

TEST(CodeConversion, Utf16TextsCarryTheMarkAndUnits) {
  EXPECT_EQ(EncodeForCode(ecUtf16Be, "A"), std::string("\xFE\xFF\x00\x41", 4));
  EXPECT_EQ(EncodeForCode(ecUtf16Le, "A"), std::string("\xFF\xFE\x41\x00", 4));
  std::string bytes = test::ReadBytes(test::FixturePath("text/utf16le_bom.txt"));
  DecodedText t = DecodeFileText(bytes, TextFileFormat::FromCodes(ecUtf16Le, leCr));
  EXPECT_EQ(t.format.line_end, leCrLf);  // from the units, not the probe's bytes
}

TEST(EncodingSearch, EveryFixtureFindsTheWordOnTheManifestLines) {
  TempDir program;
  NullFrontEnd front;
  ResultStore store;
  SearchRun run(front, store, program.path().string());
  run.options().code_cng_mode = 1;
  run.options().whole_word = false;
  run.options().fuzzy_char = false;
  run.FindButtonClick(Sj("検索"), test::FixturePath("text").string(), "*");
  std::map<std::string, std::vector<int>> found;
  std::map<std::string, std::string> tags;
  for (size_t i = 0; i < store.size(); ++i) {
    std::string name = FileNameOf(store[i].OpenPath);
    found[name].push_back(store[i].LineNo);
    tags[name] = EncodingTag(store[i].EncodingCode, store[i].LineEndCode);
  }
  const std::vector<int> sample = {1, 6, 7, 10, 16};
  for (const char* name : {"sjis_crlf.txt", "sjis_lf.txt", "sjis_cr.txt", "eucjp_lf.txt", "eucjp_crlf.txt",
                           "jis_crlf.txt", "jis78_crlf.txt", "utf8_bom.txt", "utf8_nobom_lf.txt",
                           "utf16le_bom.txt", "utf16be_bom.txt", "mixed_breaks.txt", "no_final_newline.txt",
                           "nul_inside.txt"})
    EXPECT_EQ(found[name], sample) << name;
  // A NUL past the probe's window is a character of its line: the lines
  // after it are searched too.
  EXPECT_EQ(found["nul_late.txt"], (std::vector<int>{2, 7, 8, 11, 17}));
  EXPECT_EQ(found["binary_with_sjis.bin"], (std::vector<int>{2, 7}));
  EXPECT_FALSE(found.count("utf8_twobyte_only.txt"));
  EXPECT_EQ(tags["eucjp_lf.txt"], "[EUC][LF]");
  EXPECT_EQ(tags["utf16le_bom.txt"], "[UNI-LI]");
  EXPECT_EQ(tags["binary_with_sjis.bin"], "[BIN]");
  EXPECT_EQ(tags["sjis_crlf.txt"], "");
  EXPECT_EQ(run.ErrorCount(), 0);
}

TEST(EncodingSearch, ModeThreeSearchesOnlyAsciiAndShiftJis) {
  TempDir program, tree;
  tree.Write("u.txt", "\xE3\x81\x82 cat\n");
  tree.Write("a.txt", "a cat\r\n");
  NullFrontEnd front;
  ResultStore store;
  SearchRun run(front, store, program.path().string());
  run.options().code_cng_mode = 3;
  run.FindButtonClick("cat", tree.path().string(), "*");
  ASSERT_EQ(store.size(), 1u);
  EXPECT_EQ(FileNameOf(store[0].OpenPath), "a.txt");
}

// One stray byte late in a UTF-8 file costs its character, not the file:
// every line is searched, the file is named once with the line, and that
// line is no lossless one.
TEST(EncodingSearch, AStrayByteCostsItsCharacterNotTheFile) {
  TempDir program, tree;
  // UTF-8 by the probe, then a stray 0x80 past the probe's window.
  std::string text;
  for (int i = 0; i < 700; ++i) text += "\xE3\x81\x82";  // beyond the 2048 bytes the probe reads
  tree.Write("bad.txt", text + "cat\x80\r\n");
  tree.Write("good.txt", "cat\r\n");
  NullFrontEnd front;
  ResultStore store;
  SearchRun run(front, store, program.path().string());
  run.options().code_cng_mode = 1;
  run.options().whole_word = false;
  run.FindButtonClick("cat", tree.path().string(), "*");
  EXPECT_EQ(store.size(), 2u);
  EXPECT_EQ(run.ErrorCount(), 0);
  std::string log = test::ReadBytes(program / "LOG.TXT");
  EXPECT_NE(log.find(Sj("読めないバイトを・として検索しました:") + (tree / "bad.txt").string() + Sj(" (1 行目)")),
            std::string::npos)
      << log;
  const DecodedText d = DecodeFileText(test::ReadBytes(tree / "bad.txt"), TextFileFormat::FromCodes(ecUtf8N, leCrLf),
                                       {.check_round_trip = true});
  EXPECT_EQ(d.LossyLines(), std::vector<size_t>{0});
  EXPECT_EQ(d.first_stray_line, 0u);
}

class FileGrep : public ::testing::Test {
 protected:
  TempDir dir;
  TGrep grep;
  std::vector<std::pair<int, std::string>> hits;
  void Run(const std::string& pattern, const std::string& bytes) {
    hits.clear();
    grep.SetRegExp(pattern);
    grep.OnMatch = [&](TGrep&, const RE_LineInfo_t& info) { hits.push_back({info.LineNo, info.Line}); };
    grep.Grep(dir.Write("f.bin", bytes).string());
  }
};

TEST_F(FileGrep, NulIsASpaceAndCrAloneEndsALine) {
  Run("x y", std::string("a\r\nx\0y\rz", 8));
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0], (std::pair<int, std::string>{2, "x y"}));
  Run("z", "a\rb\rz");
  EXPECT_EQ(hits[0].first, 3);
}

TEST_F(FileGrep, InnerFixedStringsPassOverLinesOnlyWhenNoNulCanStandInForThem) {
  // "x. y" needs the inner string " y", which a NUL reads as its blank: the
  // lines are not passed over for lacking it.
  Run("x. y", std::string("a\nxz\0y\nq", 8));
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].first, 2);
  // "q.needle" needs "needle"; a line lacking it is passed over, the one
  // that holds it, starting in one block and ending in the next, is found.
  std::string big(TGrep::kBlockSize - 4, 'a');
  big += "\nqxnee";
  big += "dle\nqxneedl\n";
  Run("q.needle", big);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0], (std::pair<int, std::string>{2, "qxneedle"}));
}

TEST_F(FileGrep, CrLfSplitAcrossABlockBoundaryIsOneBreak) {
  std::string text(TGrep::kBlockSize - 1, 'a');
  text += "\r\nneedle\r\n";  // CR ends the first block, LF starts the next
  Run("needle", text);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].first, 2);
}

TEST_F(FileGrep, LinesAcrossBlocksAreWholeAndReportedOnce) {
  std::string big(TGrep::kBlockSize - 3, 'a');
  big += "\nxx needle yy needle\nneedle";
  Run("needle", big);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0], (std::pair<int, std::string>{2, "xx needle yy needle"}));
  EXPECT_EQ(hits[1].first, 3);
  Run("^xx.*yy", big);
  EXPECT_EQ(hits.size(), 1u);
  Run("needle$", big);
  EXPECT_EQ(hits.size(), 2u);
  Run("a", "");
  EXPECT_TRUE(hits.empty());
  EXPECT_THROW(grep.Grep((dir / "missing").string()), EFileNotFound);
}

}  // namespace
}  // namespace lorvek
