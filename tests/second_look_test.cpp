// Files the probe's windows misjudge are judged by a look over the whole
// file; files it judges right keep their verdict.
#include "text/second_look.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "search/result_store.h"
#include "search/search_run.h"
#include "search_harness.h"
#include "test_util.h"
#include "text/conversion.h"
#include "text/encoding.h"
#include "text/sjis.h"
#include "text/sjis_oddities.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;

struct Verdicts {
  int32_t probe, final;
};

Verdicts Judge(const TempDir& dir, const std::string& bytes) {
  InputFile in(FileRef::FromPath(dir.Write("f.txt", bytes).string()));
  ProbeDetails details;
  const int32_t probe = ProbeStream(in, &details).encoding;
  return {probe, SecondLook(in, probe, details)};
}

// Text the probe gets right: the second look changes nothing.
TEST(SecondLook, KeepsWhatTheProbeGotRight) {
  for (const auto& [name, code] : std::vector<std::pair<std::string, int32_t>>{
           {"sjis_crlf.txt", ecSjis}, {"sjis_lf.txt", ecSjis}, {"eucjp_lf.txt", ecEuc}, {"utf8_nobom_lf.txt", ecUtf8N},
           {"utf8_bom.txt", ecUtf8}, {"jis_crlf.txt", ecJis}, {"ascii.txt", ecAscii}, {"utf16le_bom.txt", ecUtf16Le}}) {
    InputFile in(FileRef::FromPath(test::FixturePath("text/" + name).string()));
    ProbeDetails details;
    const int32_t probe = ProbeStream(in, &details).encoding;
    EXPECT_EQ(probe, code) << name;
    EXPECT_EQ(SecondLook(in, probe, details), code) << name;
  }
}

TEST(SecondLook, EscapesPastTheProbesWindowMakeJis) {
  TempDir dir;
  const std::string header(3000, 'a');  // a long Latin header first
  Verdicts v = Judge(dir, header + "\r\n" + SjisToJis(Sj("検索の行\r\n")));
  EXPECT_EQ(v.probe, ecAscii);
  EXPECT_EQ(v.final, ecJis);
  v = Judge(dir, header + "\r\n" + SjisToJis(Sj("検索の行\r\n"), JisReturn::Roman, false, true));
  EXPECT_EQ(v.final, ecJisOld);  // ESC $ @
  v = Judge(dir, header + "\x1B(I" "1\x1B(B\r\n");  // half-width katakana designated
  EXPECT_EQ(v.final, ecJis);
  v = Judge(dir, header + "\x1B(B plain\r\n");  // a return to ASCII alone designates nothing
  EXPECT_EQ(v.final, ecAscii);
}

// ASCII by a probe whose window did not reach the end (a stray 80 near the
// start decides nothing): ISO-2022-JP far on is still found.
TEST(SecondLook, AnAsciiVerdictLooksOnPastTheProbesWindow) {
  TempDir dir;
  std::string text = "a\x80" "b\r\n";
  while (text.size() < 70 * 1024) text += "plain ascii words in a line of text\r\n";
  text += SjisToJis(Sj("検索の行\r\n"));
  const Verdicts v = Judge(dir, text);
  EXPECT_EQ(v.probe, ecAscii);
  EXPECT_EQ(v.final, ecJis);
  test::Harness h;
  h.run.options().whole_word = false;
  h.Search("検索", dir.Write("late.txt", text).string());
  ASSERT_EQ(h.store.size(), 1u);
  EXPECT_EQ(h.store[0].EncodingCode, ecJis);
}

TEST(SecondLook, EucWhoseFirstWordsAreAmbiguous) {
  TempDir dir;
  // Hiragana あ..み (A4 A2..A4 DF) decide nothing; ん (A4 F3) far on does.
  std::string euc;
  for (int i = 0; i < 600; ++i) euc += "\xA4\xA2\xA4\xA4";  // beyond the 2,048 bytes the probe reads
  euc += "\r\n";
  for (int i = 0; i < 20; ++i) euc += "x";
  euc += "\xA4\xF3\r\n";
  Verdicts v = Judge(dir, euc);
  EXPECT_EQ(v.probe, ecEucOrSjis);
  EXPECT_EQ(v.final, ecEuc);
}

// Code page 932 whose first decisive character is an IBM extension kanji
// (髙 FB FC, 﨑 FA B1, ⅰ FA 40): Shift-JIS, not EUC-JP by its F0-FE lead,
// also when the next words are kana EUC-JP could read; EUC-JP stays EUC-JP.
TEST(SecondLook, IbmExtensionKanjiAreShiftJis) {
  TempDir dir;
  const std::string kana = Sj("さんの検索です。よろしくお願いします。\r\n");
  for (const std::string& lead : {std::string("\xFB\xFC"), std::string("\xFA\xB1"), std::string("\xFA\x40")}) {
    const Verdicts v = Judge(dir, lead + Sj("橋") + kana + lead + kana);
    EXPECT_EQ(v.final, ecSjis) << std::hex << static_cast<unsigned>(static_cast<unsigned char>(lead[1]));
  }
  // The whole file says it: a name first, Shift-JIS trail bytes below A1 later.
  std::string sjis = "\xFB\xFC\xFB\xFC\r\n";
  for (int i = 0; i < 200; ++i) sjis += Sj("検索です\r\n");
  EXPECT_EQ(Judge(dir, sjis).final, ecSjis);
  const std::string euc = SjisToEuc(Sj("森鴎外の検索です。よろしくお願いします。\r\n"));
  EXPECT_EQ(Judge(dir, euc).final, ecEuc);
  EXPECT_EQ(Judge(dir, "\xFE\xA1" + euc).final, ecEuc);  // a lead code page 932 lacks
  // And a search finds the name's hits.
  test::Harness h;
  h.run.options().whole_word = false;
  h.Search("検索", dir.Write("name.txt", "\xFB\xFC" + Sj("橋") + kana).string());
  EXPECT_EQ(h.store.size(), 1u);
}

// Short EUC-JP texts the byte rules leave open: the reading that gives
// kana and kanji in runs wins over half-width katakana soup.
TEST(SecondLook, ShortEucJpIsToldByWhatItReadsAs) {
  TempDir dir;
  for (const char* text : {"ファイル euc\n", "検索", "カタカナ"}) {
    const Verdicts v = Judge(dir, SjisToEuc(Sj(text)));
    EXPECT_EQ(v.probe, ecEucOrSjis) << text;
    EXPECT_EQ(v.final, ecEuc) << text;
  }
  EXPECT_EQ(Judge(dir, Sj("ｶﾀｶﾅ ｶﾞｲﾄﾞ\n")).final, ecSjis);
  EXPECT_EQ(Judge(dir, Sj("ﾃﾞｰﾀ ｹﾝｻｸ\r\n")).final, ecSjis);  // half-width letters in runs
  EXPECT_EQ(Judge(dir, SjisToEuc(Sj("price あ yen\n"))).final, ecEuc);  // a kana alone counts
  // A JIS X 0212 kanji first (8F, a Shift-JIS lead too), then what Shift-JIS
  // cannot read.
  EXPECT_EQ(Judge(dir, "\x8F\xEC\xBF\xB3\xB0 " + SjisToEuc(Sj("検索\n"))).final, ecEuc);
  test::Harness h;
  h.run.options().whole_word = false;
  h.Search("ファイル", dir.Write("short.txt", SjisToEuc(Sj("ファイル euc\n"))).string());
  EXPECT_EQ(h.store.size(), 1u);
  EXPECT_EQ(h.Log().find(Sj("文字コード判定不能:")), std::string::npos);
}

TEST(SecondLook, Utf8WithOnlyTwoByteCharactersInTheWindow) {
  TempDir dir;
  std::string latin = "caf\xC3\xA9 na\xC3\xAFve r\xC3\xA9sum\xC3\xA9 ";
  std::string text;
  for (int i = 0; i < 100; ++i) text += latin;  // beyond the 2,048 bytes the probe reads
  text += "\n\xE6\xA4\x9C\xE7\xB4\xA2\n";  // 検索 after the window
  Verdicts v = Judge(dir, text);
  EXPECT_EQ(v.probe, ecEucOrSjis);
  EXPECT_EQ(v.final, ecUtf8N);
  // Ä (C3 84) makes the probe say Shift-JIS.
  v = Judge(dir, "\xC3\x84pfel und Birnen, " + text);
  EXPECT_EQ(v.probe, ecSjis);
  EXPECT_EQ(v.final, ecUtf8N);
}

TEST(SecondLook, EucReadAsShiftJisWithAJisX0212Name) {
  TempDir dir;
  // 丂 is JIS X 0212 (8F B0 A1): its first bytes look like Shift-JIS.
  std::string euc = "\x8F\xB0\xA1";
  const std::string line = SjisToEuc(Sj("東京都の検索サービスで使う名前の一覧です。")) + "\n";
  for (int i = 0; i < 40; ++i) euc += line;
  Verdicts v = Judge(dir, euc);
  EXPECT_EQ(v.probe, ecSjis);
  EXPECT_EQ(v.final, ecEuc);
}

// UTF-8 text the probe calls Shift-JIS (Ä at its start): it is UTF-8 only
// when the strict check finds no fault anywhere in it.
TEST(SecondLook, Utf8IsStrictToTheLastByte) {
  TempDir dir;
  std::string text = "\xC3\x84pfel und Birnen, ";
  for (int i = 0; i < 100; ++i) text += "caf\xC3\xA9 na\xC3\xAFve r\xC3\xA9sum\xC3\xA9 ";
  text += "\n\xE6\xA4\x9C\xE7\xB4\xA2\n";
  ASSERT_EQ(Judge(dir, text).probe, ecSjis);
  EXPECT_EQ(Judge(dir, text + "ok\n").final, ecUtf8N);
  EXPECT_EQ(Judge(dir, text + "x\xE0\x80\x80y\n").final, ecSjis);  // overlong
  EXPECT_EQ(Judge(dir, text + "x\xED\xA0\x80y\n").final, ecSjis);  // a surrogate half
  EXPECT_EQ(Judge(dir, text + "x\xE6\xA4").final, ecSjis);         // cut at the end
  // A lone continuation byte after a run of ASCII, wherever the run ends
  // against the eight-byte steps of the scan.
  for (size_t k = 0; k < 16; ++k)
    EXPECT_EQ(Judge(dir, text + std::string(k, 'x') + "\x80" + std::string(20, 'y')).final, ecSjis) << k;
  // Past the first piece read (256 KiB), with something odd for Shift-JIS
  // (the 80 of an ideographic space) well before it.
  std::string big = text + "\xE3\x80\x80\n";
  while (big.size() < 300000) big += "plain ascii words in a line of text\n";
  EXPECT_EQ(Judge(dir, big).final, ecUtf8N);
  EXPECT_EQ(Judge(dir, big + "\xE0\x80\x80\n").final, ecSjis);
  // Undecided text the strict check refuses stays undecided, whatever the
  // detector calls it.
  std::string latin;
  for (int i = 0; i < 100; ++i) latin += "caf\xC3\xA9 na\xC3\xAFve r\xC3\xA9sum\xC3\xA9 ";
  ASSERT_EQ(Judge(dir, latin).probe, ecEucOrSjis);
  EXPECT_EQ(Judge(dir, latin).final, ecUtf8N);
  EXPECT_EQ(Judge(dir, latin + "\xC3").final, ecEucOrSjis);
  EXPECT_EQ(Judge(dir, latin + "\xC1\xA9").final, ecEucOrSjis);
}

// EUC-JP the probe calls Shift-JIS is handed to the detector only when it
// holds something Shift-JIS text does not; each kind of oddity on its own.
TEST(SecondLook, EachShiftJisOddityAsksTheDetector) {
  TempDir dir;
  // Hiragana and kanji whose bytes all lie in A1..BF read as pairs of
  // half-width katakana: nothing odd in them.
  auto euc = [](bool user_defined_leads) {
    std::string e = "\x8F\xB0\xA1\n";  // 丂 of JIS X 0212: the probe says Shift-JIS
    for (int line = 0; line < 60; ++line) {
      for (int k = 0; k < 12; ++k) {
        const int n = line * 12 + k;
        e += '\xA4';
        e += static_cast<char>(0xA1 + (n * 7) % 31);
        e += static_cast<char>(0xB0 + (n * 5) % 16);
        e += static_cast<char>(0xA1 + (n * 3) % 31);
        if (user_defined_leads && k == 5) {  // kanji of rows 80 to 83: leads F0 to F3
          e += static_cast<char>(0xF0 + n % 4);
          e += static_cast<char>(0xA1 + n % 31);
        }
      }
      e += "\n";
    }
    return e;
  };
  const std::string plain = euc(false);
  ASSERT_EQ(DetectorVerdict(plain), ecEuc);
  Verdicts v = Judge(dir, plain);
  ASSERT_EQ(v.probe, ecSjis);
  EXPECT_EQ(v.final, ecSjis);                             // nothing odd: the probe stands
  EXPECT_EQ(Judge(dir, euc(true)).final, ecEuc);           // lead bytes F0 to F3
  EXPECT_EQ(Judge(dir, plain + "\xB0\xFD\n").final, ecEuc);  // FD alone after a katakana byte
  EXPECT_EQ(Judge(dir, plain + "\xA4\xE8").final, ecEuc);    // a lead byte (E8) that ends the file
  // The detector reads far enough to see EUC-JP after a long ASCII stretch.
  std::string far = "\x8F\xB0\xA1\n" + std::string(5000, 'a') + "\n";
  for (int i = 0; i < 40; ++i) far += SjisToEuc(Sj("東京都の検索サービスで使う名前の一覧です。")) + "\n";
  v = Judge(dir, far);
  ASSERT_EQ(v.probe, ecSjis);
  EXPECT_EQ(v.final, ecEuc);
}

// The oddities counted a character at a time, the plain way.
size_t OdditiesByHand(std::string_view s) {
  size_t odd = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (!IsLeadByte(c)) {
      odd += c == 0x80 || c == 0xA0 || c >= 0xFD;
      continue;
    }
    odd += c >= 0xF0 && c <= 0xF9;
    if (++i == s.size()) return odd + 1;  // a lead that ends the text
    const auto t = static_cast<unsigned char>(s[i]);
    odd += t < 0x40 || t == 0x7F || t > 0xFC;
  }
  return odd;
}

// Bytes of every class (leads, trails, runs of lead-class bytes of both
// lengths, oddities of each kind), fed in pieces cut anywhere, so that
// characters and runs cross the 64-byte steps and the pieces' ends.
TEST(SecondLook, ShiftJisOdditiesAreCountedAsACharacterWalkCountsThem) {
  const unsigned char alphabet[] = {0x20, 0x0A, 0x41, 0x7F, 0x3F, 0x40, 0x80, 0xA0, 0xA1, 0xCC, 0xDF,
                                    0x81, 0x82, 0x9F, 0xE0, 0xF0, 0xF9, 0xFA, 0xFC, 0xFD, 0xFF};
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    std::string text(rng() % 400, ' ');
    const bool mostly_pairs = round % 3 == 0;  // long runs of lead-class bytes
    for (char& c : text) c = static_cast<char>(mostly_pairs && rng() % 8 ? 0x82 + rng() % 2 : alphabet[rng() % std::size(alphabet)]);
    SjisOddities odd;
    for (size_t at = 0; at < text.size();) {
      const size_t piece = std::min<size_t>(text.size() - at, round % 2 ? 1 + rng() % 200 : text.size());
      odd.Feed(std::string_view(text).substr(at, piece));
      at += piece;
    }
    ASSERT_EQ(odd.Count(), OdditiesByHand(text)) << "round " << round;
  }
}

// UTF-16 without a mark needs at least two units of ASCII: one may be a
// stray NUL beside an ASCII byte in Shift-JIS.
TEST(SecondLook, Utf16WithoutAMarkNeedsTwoAsciiUnits) {
  EXPECT_EQ(Utf16WithoutMark(std::string("\x82\xA0\x00\x41", 4), true), -1);
  EXPECT_EQ(Utf16WithoutMark(std::string("\x30\xA2\x00\x41\x00\x42", 6), true), ecUtf16Be);
  EXPECT_EQ(Utf16WithoutMark(std::string("\xA2\x30\x41\x00\x42\x00", 6), true), ecUtf16Le);
  EXPECT_EQ(Utf16WithoutMark(std::string("\xA2\x30\x41\x00\x42\x00\x43", 7), true), -1);  // odd length
  // あ (30 42) is "0B" in ASCII, but kana are no ASCII text's pairs.
  EXPECT_EQ(Utf16WithoutMark(std::string("\x30\x42\x00\x41\x00\x42", 6), true), ecUtf16Be);
  // Kana and kanji alone, without an ASCII unit or a break: told by the
  // shape of their units, when there are enough of them.
  const std::string only = Sj("検索テスト文書です");
  EXPECT_EQ(Utf16WithoutMark(SjisToUtf16(only, false, false), true), ecUtf16Le);
  EXPECT_EQ(Utf16WithoutMark(SjisToUtf16(only, true, false), true), ecUtf16Be);
  EXPECT_EQ(Utf16WithoutMark(SjisToUtf16(Sj("検索"), false, false), true), -1);  // too few to tell
  TempDir dir;
  // Prose: long lines of kana and kanji, few ASCII units; no byte below 08
  // at all (the probe sees no binary) is looked at too.
  std::string prose;
  for (int i = 0; i < 4; ++i) prose += SjisToUtf16(Sj("東京の会社で資料を検索しました。東京の会社で資料を検索しました。\n"), false, false);
  EXPECT_EQ(Judge(dir, prose).final, ecUtf16Le);
  EXPECT_EQ(Judge(dir, SjisToUtf16(Sj("コーヒーを検索する"), false, false)).final, ecUtf16Le);
  EXPECT_EQ(Judge(dir, SjisToUtf16(Sj("「東京」で検索しました"), false, false)).final, ecUtf16Le);
  // Shift-JIS kanji read as big-endian units are CJK too, but never kana.
  std::string kanji;
  for (int i = 0; i < 40; ++i) kanji += Sj("東京都千代田区");
  EXPECT_EQ(Utf16WithoutMark(kanji, true), -1);
  // Kanji whose both bytes are printable (本 67 2C, 索 7D 22) alone are.
  EXPECT_EQ(Utf16WithoutMark(std::string("\x67\x2C\x7D\x22\x00\x41\x00\x42", 8), true), -1);
}

TEST(SecondLook, UndecidedFilesAreSearchedAndLoggedOnce) {
  TempDir program, dir;
  std::string undecided;
  for (int i = 0; i < 100; ++i) undecided += "\xE0\xA1\xE0\xA1 ";
  dir.Write("u.txt", undecided + "\r\nneedle\r\nneedle again\r\n");
  struct Sink : ResultStore {
    std::vector<std::pair<std::string, bool>> logged;
    void Logged(const std::string& line, bool failure) override { logged.push_back({line, failure}); }
  } sink;
  NullFrontEnd front;
  SearchRun run(front, sink, program.path().string());
  run.options().code_cng_mode = 1;
  run.options().whole_word = false;
  run.FindButtonClick("needle", dir.path().string(), "*");
  ASSERT_EQ(sink.size(), 2u);  // searched as Shift-JIS
  EXPECT_EQ(sink[0].EncodingCode, ecEucOrSjis);  // the tag says what the look found: nothing sure
  ASSERT_EQ(sink.logged.size(), 1u);
  EXPECT_EQ(sink.logged[0].first.rfind("文字コード判定不能:", 0), 0u);
  EXPECT_FALSE(sink.logged[0].second);  // a notice, not an error
  EXPECT_EQ(run.ErrorCount(), 0);
  EXPECT_NE(test::ReadBytes(program / "LOG.TXT").find(Sj("文字コード判定不能:")), std::string::npos);
}

}  // namespace
}  // namespace lorvek
