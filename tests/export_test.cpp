#include <gtest/gtest.h>

#include "results/export_formats.h"
#include "results/result_rows.h"
#include "search/line_info.h"
#include "test_util.h"
#include "text/cp932.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;

std::string Golden(const char* name) { return test::ReadBytes(std::string(LORVEK_SOURCE_DIR) + "/tests/golden/" + name); }

ResultStore FixedStore(bool html_names = false) {
  ResultStore store;
  auto add = [&](std::string open, int line, std::string text) {
    auto r = std::make_unique<MatchRecord>();
    r->OpenPath = std::move(open);
    r->LineNo = line;
    r->LineText = std::move(text);
    store.Append(std::move(r));
  };
  add("/data/a.txt", 12, "abc");
  if (html_names) add("@/x/b.lzh@dir/a b<.txt", 7, "<B>ab&\"");
  else add("@/x/b.lzh@dir/a.txt", 7, Sj("検索する"));
  add("/a.txt", 3, "x,y \"q\"");
  return store;
}

std::string Csv(const ResultStore& store, CsvFormat f) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < store.size(); ++i) lines.push_back(CsvLine(store[i], f));
  return JoinCrLf(lines);
}

TEST(Exports, TagListBytesAndArchiveMembers) {
  ResultStore store = FixedStore();
  EXPECT_EQ(JoinCrLf(TagLines(store)), Golden("tags.txt"));
  TempDir dir;
  WriteLines((dir / "t.txt").string(), TagLines(store));
  EXPECT_EQ(test::ReadBytes(dir / "t.txt"), Golden("tags.txt"));
}

TEST(Exports, CsvSettingsMatrixAndDoubledQuotes) {
  ResultStore store = FixedStore();
  EXPECT_EQ(Csv(store, {0, 0}), Golden("csv_comma_none.csv"));
  EXPECT_EQ(Csv(store, {1, 1}), Golden("csv_tab_double.csv"));
  EXPECT_EQ(Csv(store, {7, 2}), Golden("csv_none_single.csv"));
  EXPECT_EQ(Csv(store, {0, 9}), Csv(store, {0, 0}));  // other quoting: none
}

TEST(Exports, HtmlReportIsEscapedAndMarksTheMatch) {
  ResultStore store = FixedStore(true);
  TAWKStr m;
  m.SetRegExp("ab");
  auto lines = HtmlLines(store, {"a&<", "2026/12/07 10:00:00"}, &m.Current());
  EXPECT_EQ(JoinCrLf(lines), Golden("report.htm"));
  ResultStore empty;
  EXPECT_EQ(HtmlLines(empty, {"x", ""}, &m.Current()).size(), 12u);  // the frame without rows
}

TEST(Exports, WrittenAsMadeTheyMatchTheLinesInFull) {
  TempDir dir;
  ResultStore store = FixedStore(true);
  WriteCsv((dir / "c.csv").string(), store, {1, 1});
  EXPECT_EQ(test::ReadBytes(dir / "c.csv"), JoinCrLf(CsvLines(store, {1, 1})));
  WriteHtmlReport((dir / "r.htm").string(), store, {"ab", "2026/12/07 10:00:00"}, false);
  EXPECT_EQ(test::ReadBytes(dir / "r.htm"), JoinCrLf(HtmlLines(store, {"ab", "2026/12/07 10:00:00"}, false)));
  // More than one chunk, the last one partly filled.
  ResultStore big;
  for (int i = 0; i < 30000; ++i) {
    auto r = std::make_unique<MatchRecord>();
    r->OpenPath = "/data/f" + std::to_string(i / 7) + ".txt";
    r->LineNo = i;
    r->LineText = std::string(i % 50, 'x') + std::to_string(i);
    big.Append(std::move(r));
  }
  WriteTagList((dir / "t.txt").string(), big);
  const std::string expected = JoinCrLf(TagLines(big));
  ASSERT_GT(expected.size(), size_t{1} << 20);
  EXPECT_EQ(test::ReadBytes(dir / "t.txt"), expected);
  try {
    WriteTagList((dir / "missing" / "t.txt").string(), big);
    FAIL();
  } catch (const EExportError& e) {
    EXPECT_EQ(std::string(e.what()), "ﾌｧｲﾙ " + (dir / "missing" / "t.txt").string() + " を作成できません");
  }
}

TEST(Exports, FailuresCarryTheUsersText) {
  TempDir dir;
  try {
    WriteLines((dir / "missing" / "x.txt").string(), {"a"});
    FAIL();
  } catch (const EExportError& e) {
    EXPECT_EQ(std::string(e.what()), "ﾌｧｲﾙ " + (dir / "missing" / "x.txt").string() + " を作成できません");
  }
  test::WriteBytes(dir / "keep.txt", "old");
  WriteLines((dir / "keep.txt").string(), {"new"});
  EXPECT_EQ(test::ReadBytes(dir / "keep.txt"), "new\r\n");
}

TEST(Exports, DatesAsTheListShowsThem) {
  setenv("TZ", "UTC", 1);
  tzset();
  // 2024-01-02 03:04:05 UTC and a midnight.
  int64_t t = (1704164645LL + 11644473600LL) * 10000000LL;
  EXPECT_EQ(FormatFileTime(t), "01/02/24 03:04:05");
  int64_t midnight = (1704153600LL + 11644473600LL) * 10000000LL;
  EXPECT_EQ(FormatFileTime(midnight), "01/02/24");
  EXPECT_EQ(FormatFileTime(0), "12/30/99");
}

TEST(ResultRows, SortingDescendingFirstWithLineNumberTies) {
  ResultStore store;
  auto add = [&](const char* name, int line, int64_t time) {
    auto r = std::make_unique<MatchRecord>();
    r->DisplayName = name;
    r->LineNo = line;
    r->LastWriteTime = time;
    store.Append(std::move(r));
  };
  add("b", 2, 10);
  add("a", 5, 20);
  add("   :", 3, 20);
  add("b", 1, 10);
  add("a", 1, 20);
  bool flag0 = false, flag1 = false;
  auto order = [&] {
    std::string s;
    for (size_t i = 0; i < store.size(); ++i) s += std::string(store[i].DisplayName) + std::to_string(store[i].LineNo) + " ";
    return s;
  };
  ASSERT_TRUE(SortStore(store, 0, flag0, LocaleCompare));
  EXPECT_EQ(order(), "b1 b2 a1 a5    :3 ");
  EXPECT_TRUE(flag0);
  SortStore(store, 0, flag0, LocaleCompare);
  EXPECT_EQ(order(), "   :3 a1 a5 b1 b2 ");
  SortStore(store, 1, flag1, LocaleCompare);  // descending time, ties interleaved by line
  EXPECT_EQ(order(), "a1    :3 a5 b1 b2 ");
  EXPECT_FALSE(SortStore(store, 2, flag1, LocaleCompare));
}

TEST(ResultRows, StatusTextNamesTheFileAndItsTag) {
  MatchRecord r;
  r.OpenPath = "/d/euc.txt";
  r.EncodingCode = 4;
  r.LineEndCode = 3;
  EXPECT_EQ(StatusText(r), "euc.txt[EUC][LF]");
  r.OpenPath = "/d/s.txt";
  r.EncodingCode = 5;
  r.LineEndCode = 1;
  EXPECT_EQ(StatusText(r), "s.txt");
  r.OpenPath = "@/x/a.lzh@doc/readme.txt";
  EXPECT_EQ(StatusText(r), "a.lzh / readme.txt");  // the archive is named too
}

TEST(ResultRows, PreviewContextAndSelectionOffsets) {
  TAWKStr m;
  m.SetRegExp("hit");
  MatchRecord r;
  r.LineText = "a hit";
  r.PrevLine2 = kNulMarker;
  r.PrevLine1 = kNulMarker;
  r.NextLine1 = "n1";
  r.NextLine2 = "n2";
  PreviewSettings wide{true, 2, 2};
  PreviewText p = BuildPreview(r, wide, &m.Current());  // a hit on line 1
  EXPECT_EQ(p.text, "a hit\r\nn1\r\nn2");
  EXPECT_EQ(p.select_start, 2u);
  EXPECT_EQ(p.select_length, 3u);
  r.PrevLine2 = "p2";
  r.PrevLine1 = "prev1";
  p = BuildPreview(r, wide, &m.Current());
  EXPECT_EQ(p.select_start, 4u + 7u + 2u);
  MatchRecord grep;  // a binary-file hit: empty context strings
  grep.LineText = "hit";
  p = BuildPreview(grep, wide, &m.Current());
  EXPECT_EQ(p.text, "\r\n\r\nhit\r\n\r\n");
  EXPECT_EQ(p.select_start, 4u);
  r.EncodingCode = 1007;  // Word text has no context
  EXPECT_EQ(BuildPreview(r, wide, &m.Current()).text, "a hit");
  r.EncodingCode = 5;
  p = BuildPreview(r, {false, 2, 2}, &m.Current());
  EXPECT_EQ(p.text, "a hit");
  m.SetRegExp("zzz");
  EXPECT_EQ(BuildPreview(r, wide, &m.Current()).select_length, 0u);
}

TEST(ResultRows, CopyTextsForFilesAndFolders) {
  ResultStore store = FixedStore();
  auto paths = HitFilePaths(store, {2, 0, 1}, "/tmp/Lorvek-1");
  EXPECT_EQ(paths, (std::vector<std::string>{"/data/a.txt", "/tmp/Lorvek-1/dir/a.txt", "/a.txt"}));
  EXPECT_EQ(FolderOfRow(store[0]), "/data");
  EXPECT_EQ(FolderOfRow(store[2]), "/");
}

}  // namespace
}  // namespace lorvek
