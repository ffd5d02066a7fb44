#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "results/result_rows.h"
#include "search/line_info.h"
#include "search/result_store.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

MatchRecord Rec(const std::string& open, int32_t line, const std::string& text) {
  MatchRecord r;
  r.OpenPath = open;
  r.IconKey = FileNameOf(open);
  r.DisplayName = open;
  r.LineNo = line;
  r.LineText = text;
  return r;
}

std::string Fields(const RecordView& r) {
  return std::string(r.OpenPath) + "|" + std::string(r.IconKey) + "|" + std::string(r.DisplayName) + "|" +
         std::to_string(r.IconIndex) + "|" + std::to_string(r.LastWriteTime) + "|" + std::to_string(r.LineNo) + "|" +
         std::string(r.LineText) + "|" + std::string(r.PrevLine2) + "/" + std::string(r.PrevLine1) + "/" +
         std::string(r.NextLine1) + "/" + std::string(r.NextLine2) + "|" + std::to_string(r.EncodingCode) + "|" +
         std::to_string(r.LineEndCode) + "|" + (r.Filtered ? "F" : "-");
}

// Every record read back must equal the one appended, field by field.
void ExpectSame(const ResultStore& store, const std::vector<MatchRecord>& added) {
  ASSERT_EQ(store.size(), added.size());
  for (size_t i = 0; i < added.size(); ++i) EXPECT_EQ(Fields(store[i]), Fields(added[i])) << "row " << i;
}

TEST(ResultStore, RecordsOfDifferentFilesKeepTheirOwnFileFields) {
  std::vector<MatchRecord> added;
  MatchRecord a1 = Rec("/w/a.txt", 1, "alpha"), a2 = Rec("/w/a.txt", 5, "alpha two");
  a1.LastWriteTime = 100;
  a2.LastWriteTime = 100;
  a2.IconIndex = -1;
  a2.DisplayName = "   :";
  MatchRecord b = Rec("/w/sub/b.htm", 2, "beta");
  b.LastWriteTime = 200;
  b.EncodingCode = 8;
  b.LineEndCode = 3;
  MatchRecord c = Rec("@/w/z.zip@doc/c.txt", 3, "gamma");
  c.DisplayName = "doc/c.txt";
  c.IconKey = "c.txt";
  c.Filtered = true;
  c.EncodingCode = 1011;
  // The same file name in another folder is another file, and a file met
  // again after others is told by its own fields, not by the last file's.
  MatchRecord d = Rec("/v/a.txt", 4, "delta");
  d.DisplayName = "a.txt";
  MatchRecord e = Rec("/w/a.txt", 9, "epsilon");
  e.LastWriteTime = 100;
  ResultStore store;
  for (const MatchRecord& r : {a1, a2, b, c, d, e}) {
    store.Append(r);
    added.push_back(r);
  }
  ExpectSame(store, added);
  EXPECT_EQ(store[3].Path().file, "/w/z.zip");
  EXPECT_EQ(store[3].Path().member, "doc/c.txt");
}

TEST(ResultStore, OneFilesLinesWithDifferingCodesOrFilterKeepThem) {
  // A document's paragraphs carry 1007 inside a file whose other lines do not,
  // and the filtered flag is set per line.
  MatchRecord plain = Rec("/w/a.doc", 1, "one");
  MatchRecord word = Rec("/w/a.doc", 2, "two");
  word.EncodingCode = 1007;
  MatchRecord filtered = Rec("/w/a.doc", 3, "three");
  filtered.Filtered = true;
  MatchRecord plain_again = Rec("/w/a.doc", 4, "four");
  ResultStore store;
  std::vector<MatchRecord> added{plain, word, filtered, plain_again};
  for (const MatchRecord& r : added) store.Append(r);
  ExpectSame(store, added);
}

TEST(ResultStore, WideValuesAreKeptWhole) {
  MatchRecord r = Rec("/w/a.txt", INT32_MAX, "x");
  r.LastWriteTime = (int64_t{1} << 40) + 7;  // beyond 32 bits
  r.IconIndex = -1;
  MatchRecord s = Rec("/w/a.txt", INT32_MIN, "y");
  s.LastWriteTime = 7;  // the same low 32 bits
  ResultStore store;
  store.Append(r);
  store.Append(s);
  ExpectSame(store, {r, s});
  bool flag = true;
  SortStore(store, 1, flag, LocaleCompare);
  EXPECT_EQ(store[0].LastWriteTime, 7);
  EXPECT_EQ(store[1].LastWriteTime, (int64_t{1} << 40) + 7);
  EXPECT_EQ(store[1].LineNo, INT32_MAX);
}

TEST(ResultStore, LinesAtABlocksEndAndLongLines) {
  // 16-byte blocks: 5 + 5 + 6 fills the first exactly; the next 1 starts a
  // second; 8 (half a block) still shares one; 9 and 40 get blocks of their own
  // while the current block goes on filling.
  const std::vector<std::string> texts = {"aaaaa", "bbbbb", "cccccc", "d", "eeeeeeee", "fffffffff",
                                          std::string(40, 'g'), "hhhhhhh", "ii", "jjjjjjjjjjjjjjjj", "k"};
  ResultStore store(16);
  std::vector<MatchRecord> added;
  std::vector<RecordView> early;
  for (size_t i = 0; i < texts.size(); ++i) {
    added.push_back(Rec("/w/a.txt", static_cast<int32_t>(i + 1), texts[i]));
    store.Append(added.back());
    early.push_back(store[i]);  // views taken while the store still grows
  }
  ExpectSame(store, added);
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(early[i].LineText, texts[i]) << i;
}

TEST(ResultStore, ContextLinesOfFirstLastAndNeighbouringHits) {
  const std::string nul = kNulMarker;
  // A three-line file where every line is a hit: the context of each line is
  // the other hits' lines, and the first and last lines have the NUL marker.
  auto with = [&](int32_t line, std::string text, std::string p2, std::string p1, std::string n1, std::string n2) {
    MatchRecord r = Rec("/w/a.txt", line, text);
    r.PrevLine2 = p2;
    r.PrevLine1 = p1;
    r.NextLine1 = n1;
    r.NextLine2 = n2;
    return r;
  };
  std::vector<MatchRecord> added = {
      with(1, "one", nul, nul, "two", "three"),
      with(2, "two", nul, "one", "three", nul),
      with(3, "three", "one", "two", nul, nul),
      // Another file whose lines read like the first's: nothing is mixed up.
      with(1, "two", nul, nul, "one", ""),
      with(2, "one", nul, "two", "", nul),
  };
  added[3].OpenPath = added[4].OpenPath = "/w/b.txt";
  ResultStore store;
  for (const MatchRecord& r : added) store.Append(r);
  // A hit without context (a scanned line) between them reads four empty lines.
  MatchRecord bare = Rec("/w/b.txt", 7, "seven");
  store.Append(bare);
  added.push_back(bare);
  ExpectSame(store, added);

  PreviewSettings wide{true, 2, 2};
  EXPECT_EQ(BuildPreview(store[0], wide, nullptr).text, "one\r\ntwo\r\nthree");
  EXPECT_EQ(BuildPreview(store[2], wide, nullptr).text, "one\r\ntwo\r\nthree");
}

TEST(ResultStore, ReplacedTextAndSortingKeepEachRowsFields) {
  std::vector<MatchRecord> added;
  for (int i = 0; i < 6; ++i) {
    MatchRecord r = Rec(i % 2 ? "/w/b.txt" : "/w/a.txt", 10 - i, "line " + std::to_string(i));
    r.LastWriteTime = i % 2 ? 50 : 60;
    r.PrevLine1 = "before " + std::to_string(i);
    added.push_back(r);
  }
  ResultStore store;
  for (const MatchRecord& r : added) store.Append(r);
  const RecordView old = store[2];
  store.SetLineText(2, "line 2 replaced");
  added[2].LineText = "line 2 replaced";
  ExpectSame(store, added);
  EXPECT_EQ(old.LineText, "line 2");  // a view read before stays readable

  bool flag = true;  // ascending by date, ties by line
  ASSERT_TRUE(SortStore(store, 1, flag, LocaleCompare));
  std::vector<MatchRecord> sorted = {added[5], added[3], added[1], added[4], added[2], added[0]};
  ExpectSame(store, sorted);
}

TEST(ResultStore, NameSortRanksNamesTheCompareCallsEqualTogether) {
  // A compare that ignores case: "A" and "a" are one name, so their rows
  // tie and run by line number whatever their bytes.
  auto nocase = [](const std::string& x, const std::string& y) { return strcasecmp(x.c_str(), y.c_str()); };
  ResultStore store;
  auto add = [&](const char* name, int line) {
    MatchRecord r = Rec(std::string("/w/") + name, line, name);
    r.DisplayName = name;
    store.Append(r);
  };
  add("b", 1);
  add("A", 4);
  add("c", 2);
  add("a", 3);
  add("B", 9);
  add("a", 1);
  bool flag = true;
  ASSERT_TRUE(SortStore(store, 0, flag, nocase));
  std::string order;
  for (size_t i = 0; i < store.size(); ++i) order += std::string(store[i].DisplayName) + std::to_string(store[i].LineNo) + " ";
  EXPECT_EQ(order, "a1 a3 A4 b1 B9 c2 ");
  ASSERT_TRUE(SortStore(store, 0, flag, nocase));
  order.clear();
  for (size_t i = 0; i < store.size(); ++i) order += std::string(store[i].DisplayName) + std::to_string(store[i].LineNo) + " ";
  EXPECT_EQ(order, "c2 b1 B9 a1 a3 A4 ");
}

TEST(ResultStore, ClearingForgetsTheLastRunsFilesAndNames) {
  ResultStore store(16);
  store.Append(Rec("/w/a.txt", 1, "first run"));
  store.Append(Rec("/w/b.txt", 2, "first run too"));
  store.Clear();
  EXPECT_TRUE(store.empty());
  MatchRecord again = Rec("/w/b.txt", 3, "second");
  again.LastWriteTime = 5;
  MatchRecord other = Rec("/w/a.txt", 4, "");
  store.Append(again);
  store.Append(other);
  ExpectSame(store, {again, other});
  EXPECT_EQ(store.DisplayNameCount(), 2u);
}

}  // namespace
}  // namespace lorvek
