// Edges of the engine where a one-character slip in the code changes a
// result: escapes and range bounds, the last byte of a line, table rows,
// voiced-mark merges, class bounds, retries, dictionary escapes, file-time
// arithmetic, cut points, permissions and empty targets.
#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>

#include <map>

#include "search/file_grep.h"
#include "search/fuzzy_expansion.h"
#include "search/mask.h"
#include "search/record_builder.h"
#include "search/regex/regular_expression.h"
#include "search/result_store.h"
#include "search/search_run.h"
#include "test_util.h"
#include "text/conversion.h"
#include "text/cp932.h"
#include "text/encoding.h"
#include "text/file_bytes.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;

MatchPos Find(const std::string& pattern, const std::string& subject) {
  TAWKStr awk;
  awk.SetRegExp(pattern);
  return awk.Match(subject);
}

TEST(EngineEdges, RegexEscapesRangesAndLongestAlternative) {
  EXPECT_EQ(Find("\\r", "a\rb\n"), (MatchPos{2, 1}));  // CR is 13, not LF
  EXPECT_EQ(Find("\\n", "a\rb\n"), (MatchPos{4, 1}));
  EXPECT_EQ(Find("[a-a]", "ba"), (MatchPos{2, 1}));  // a one-character range is valid
  EXPECT_THROW(Find("[b-a]", "ab"), ERegExpParser);
  EXPECT_EQ(Find("^ab|abcd|a", "abcx"), (MatchPos{1, 2}));  // the longest at the leftmost start
}

TEST(EngineEdges, BinaryScanSeesAClassInTheLastByteOfALine) {
  TempDir dir;
  TGrep grep;
  std::vector<int> lines;
  grep.OnMatch = [&](TGrep&, const RE_LineInfo_t& info) { lines.push_back(info.LineNo); };
  grep.SetRegExp("[ab]");
  grep.Grep(dir.Write("f.bin", std::string("xa\nyy\nxb", 8)).string());
  EXPECT_EQ(lines, (std::vector<int>{1, 3}));
}

TEST(EngineEdges, MaskRangeIncludesItsUpperBound) {
  TWildMatch m(ParseMaskText("[A-C]*.LOG"));
  EXPECT_TRUE(m.Matches("c1.log"));
  EXPECT_TRUE(m.Matches("A.LOG"));
  EXPECT_FALSE(m.Matches("d1.log"));
}

TEST(EngineEdges, EucStartingWithHalfWidthKanaIsNotShiftJis) {
  // ｶﾞ in EUC-JP (8E B6 8E DE) is two half-width kana in Shift-JIS too: undecided, never Shift-JIS.
  const std::string euc = "\x8E\xB6\x8E\xDE \xB8\xA1\xBA\xF7\r\n";
  EXPECT_NE(ProbeBufferCode(euc).encoding, ecSjis);
}

// The arithmetic of the JIS X 0208 and Shift-JIS correspondence against the
// system's tables, cell by cell.
TEST(EngineEdges, JisShiftJisArithmeticMatchesIconvOnEveryCell) {
  iconv_t cd = iconv_open("SJIS", "EUC-JP");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int compared = 0;
  for (unsigned j1 = 0x21; j1 <= 0x7E; ++j1)
    for (unsigned j2 = 0x21; j2 <= 0x7E; ++j2) {
      unsigned char s1, s2, b1, b2;
      JisPairToSjis(static_cast<unsigned char>(j1), static_cast<unsigned char>(j2), s1, s2);
      SjisPairToJis(s1, s2, b1, b2);
      ASSERT_EQ(b1 * 256 + b2, j1 * 256 + j2) << std::hex << j1 << j2;  // the inverse is exact
      char in[2] = {static_cast<char>(j1 | 0x80), static_cast<char>(j2 | 0x80)}, out[8];
      char* src = in;
      char* dst = out;
      size_t src_left = 2, dst_left = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1)) continue;  // unassigned
      ASSERT_EQ(sizeof out - dst_left, 2u);
      EXPECT_EQ(static_cast<unsigned char>(out[0]) * 256 + static_cast<unsigned char>(out[1]), s1 * 256 + s2)
          << std::hex << "JIS " << j1 << j2;
      ++compared;
    }
  iconv_close(cd);
  EXPECT_GT(compared, 6800);
}

TEST(EngineEdges, KanaMergesAndUnassignedPairs) {
  EXPECT_EQ(SjisToJis("\xC4\xDE"), "\x1B$B%I");  // ﾄﾞ is the last of the voiceable row: ド
  EXPECT_EQ(SjisToJis("\xB6\xDE"), "\x1B$B%,");  // ｶﾞ, the first: ガ
  EXPECT_EQ(SjisToJis("\xCE\xDF"), "\x1B$B%]");  // ﾎﾟ: ポ
  EXPECT_EQ(Cp932ToUtf8("\x85\x40"), "・");      // an unassigned pair is one character
}

bool Whole(const std::string& word, const std::string& line) {
  TAWKStr awk;
  awk.SetRegExp(word);
  return static_cast<bool>(FindWholeWordHit(awk.Current(), line, true));
}

TEST(EngineEdges, WholeWordClassesAndRetry) {
  EXPECT_FALSE(Whole(Sj("弌"), Sj("全弌")));  // a level-2 kanji is a kanji: no change of class
  EXPECT_TRUE(Whole(Sj("弌"), Sj("の弌の")));
  EXPECT_FALSE(Whole("cat", "xcatcat"));  // the retry skips the byte after the rejected hit
  EXPECT_TRUE(Whole("cat", "xcat cat"));
}

TEST(EngineEdges, FuzzyExpansionEscapesAndTheDictionaryGroups) {
  TAWKStr awk;
  awk.SetUseFuzzyCharDic(true);
  awk.SetRegExp("\\$");
  EXPECT_FALSE(awk.Match("plain line"));  // an escaped $ is a dollar sign, not the line end
  EXPECT_TRUE(awk.Match("costs $5"));
  EXPECT_TRUE(awk.Match(Sj("＄５")));
  // Every entry belongs to one group, but for ー ～ ｰ which stand in two.
  std::map<std::string, int> seen;
  for (const auto& group : FuzzyGroups())
    for (const auto& entry : group)
      if (!entry.empty()) ++seen[entry];
  for (const auto& [entry, count] : seen) {
    const bool twice = entry == Sj("ー") || entry == Sj("～") || entry == Sj("ｰ");
    EXPECT_EQ(count, twice ? 2 : 1) << Cp932ToUtf8(entry);
  }
}

TEST(EngineEdges, CodeModeTwoReadsEveryFileAsShiftJis) {
  TempDir program, dir;
  dir.Write("e.txt", SjisToEuc(Sj("検索の行")) + "\n");
  NullFrontEnd front;
  ResultStore store;
  SearchRun run(front, store, program.path().string());
  run.options().whole_word = false;
  run.options().fuzzy_char = false;
  run.options().code_cng_mode = 2;
  run.FindButtonClick(Sj("検索"), dir.path().string(), "*");
  EXPECT_TRUE(store.empty());  // not converted
  run.FindButtonClick(SjisToEuc(Sj("検")), dir.path().string(), "*");  // its bytes read as Shift-JIS
  ASSERT_EQ(store.size(), 1u);
  EXPECT_EQ(store[0].EncodingCode, ecSjis);
}

TEST(EngineEdges, FileTimesCountFrom1601) {
  EXPECT_EQ(FileTimeFromUnix(0, 0), 116444736000000000LL);
  // 2024-01-02 03:04:05.5 UTC
  EXPECT_EQ(FileTimeFromUnix(1704164645, 500000000), 133486382455000000LL);
}

TEST(EngineEdges, RecordsCutOnCharactersAndRepeatOnlyTheSameFile) {
  RecordBuilder b;
  MatchSource src;
  std::string utf8_name;
  for (int i = 0; i < 100; ++i) utf8_name += "検";  // 300 bytes of UTF-8
  src.path = "/" + utf8_name;
  auto r = b.Build(src, "x", 1, nullptr, 0, 2);
  EXPECT_LE(r->DisplayName.size(), 255u);
  EXPECT_TRUE(IsValidUtf8(r->DisplayName));
  EXPECT_EQ(CutAtBytes(std::string(200, '\x82') + "", 255).size(), 200u);
  std::string sjis;
  for (int i = 0; i < 200; ++i) sjis += "\x82\xA0";
  EXPECT_EQ(CutAtBytes(sjis, 255).size(), 254u);  // not half a character
  src.path = "/d/a.txt";
  EXPECT_EQ(b.Build(src, "x", 1, nullptr, 0, 2)->DisplayName, "/d/a.txt");
  src.path = "/d/b.txt";  // same length, another file: not a repeat
  auto next = b.Build(src, "x", 1, nullptr, 0, 2);
  EXPECT_EQ(next->DisplayName, "/d/b.txt");
  EXPECT_EQ(next->IconIndex, 0);
  EXPECT_EQ(b.Build(src, "y", 2, nullptr, 0, 2)->DisplayName, "   :");
}

TEST(EngineEdges, AtomicWriterKeepsModesLinksAndDevices) {
  TempDir dir;
  const std::string secret = (dir / "secret.txt").string();
  test::WriteBytes(secret, "old");
  chmod(secret.c_str(), 0600);
  WriteFileAtomically(secret, "new");
  struct stat st;
  ASSERT_EQ(stat(secret.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(test::ReadBytes(secret), "new");
  // A link is followed: its target gets the bytes and the link stays a link.
  const std::string link = (dir / "link.txt").string();
  ASSERT_EQ(symlink("secret.txt", link.c_str()), 0);
  WriteFileAtomically(link, "through");
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(test::ReadBytes(secret), "through");
  // A device is written, never replaced; a FIFO nobody reads is refused at once.
  WriteFileAtomically("/dev/null", "x");
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  const std::string fifo = (dir / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(WriteFileAtomically(fifo, "x"), std::system_error);
  // Nothing is left beside the files.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
  EXPECT_EQ(entries, 3);
}

TEST(EngineEdges, AnEmptyTargetNamesNothing) {
  TempDir program;
  struct Front : NullFrontEnd {
    std::vector<std::string> warnings;
    void ShowWarning(const std::string& m) override { warnings.push_back(m); }
  } front;
  ResultStore store;
  SearchRun run(front, store, program.path().string());
  run.SetWord("a");
  run.RunSearch({""});
  EXPECT_EQ(run.SearchedFileCount(), 0);
  ASSERT_EQ(front.warnings.size(), 1u);
  EXPECT_EQ(front.warnings[0], "検索フォルダまたはキーワードを設定して下さい.");
}

}  // namespace
}  // namespace lorvek
