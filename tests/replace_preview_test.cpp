// Looking at a replace before it is written, and writing only the lines kept.
#include "replace/replace_preview.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "search/search_run.h"
#include "replace_fixture.h"
#include "test_util.h"
#include "text/cp932.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;
namespace fs = std::filesystem;

// The replace tests' fixture, with the preview and a run limited to the
// chosen lines. A run limited to chosen lines must ask no question.
struct Fixture : test::ReplaceFixture {
  ReplacePreview Preview(const std::string& with_utf8) {
    return PreviewReplace(store, *run.Compiled(), settings, replies, test::Sj(with_utf8), false);
  }
  ReplaceResult Replace(const std::string& with_utf8, const ReplaceChoice* choice) {
    ReplaceRun r(store, *run.Compiled(), settings, replies);
    r.LimitTo(choice);
    return r.Run(test::Sj(with_utf8), false);
  }
};

TEST(ReplacePreview, SpansFollowTheReplacementsLengths) {
  // Longer, shorter, empty: each later span moves by what came before.
  const std::vector<ReplacedSpan> s = SpansOf({{2, 4, "xyz"}, {6, 9, ""}, {10, 11, "ab"}});
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(std::make_pair(s[0].old_begin, s[0].old_end), std::make_pair(size_t{2}, size_t{4}));
  EXPECT_EQ(std::make_pair(s[0].new_begin, s[0].new_end), std::make_pair(size_t{2}, size_t{5}));
  EXPECT_EQ(std::make_pair(s[1].new_begin, s[1].new_end), std::make_pair(size_t{7}, size_t{7}));
  EXPECT_EQ(std::make_pair(s[2].old_begin, s[2].old_end), std::make_pair(size_t{10}, size_t{11}));
  EXPECT_EQ(std::make_pair(s[2].new_begin, s[2].new_end), std::make_pair(size_t{8}, size_t{10}));
}

TEST(ReplacePreview, ListsEveryChangingLineAndWritesNothing) {
  Fixture f;
  f.dir.Write("a.txt", Sj("猫と猫\r\nなし\r\n白い猫\r\n"));
  f.dir.Write("b.txt", "no hit\n");
  f.dir.Write("c.txt", Sj("猫\n"));
  f.Search("猫");
  ASSERT_EQ(f.store.size(), 3u);
  const ReplacePreview p = f.Preview("ねこ");
  EXPECT_EQ(f.replies.questions.size(), 0u);
  ASSERT_EQ(p.files.size(), 2u);
  EXPECT_EQ(p.files[0].path, f.Path("a.txt"));
  EXPECT_EQ(p.files[0].bytes, Sj("猫と猫\r\nなし\r\n白い猫\r\n"));
  ASSERT_EQ(p.files[0].lines.size(), 2u);
  const PreviewLine& l1 = p.files[0].lines[0];
  EXPECT_EQ(l1.line_no, 1);
  EXPECT_EQ(l1.old_text, Sj("猫と猫"));
  EXPECT_EQ(l1.new_text, Sj("ねことねこ"));
  // Shift-JIS: 猫 is two bytes, ねこ four.
  ASSERT_EQ(l1.spans.size(), 2u);
  EXPECT_EQ(l1.spans[1].old_begin, 4u);
  EXPECT_EQ(l1.spans[1].old_end, 6u);
  EXPECT_EQ(l1.spans[1].new_begin, 6u);
  EXPECT_EQ(l1.spans[1].new_end, 10u);
  EXPECT_EQ(p.files[0].lines[1].line_no, 3);
  EXPECT_EQ(p.files[1].path, f.Path("c.txt"));
  EXPECT_EQ(p.LineCount(), 3u);
  EXPECT_EQ(p.ReplacementCount(), 4u);
  EXPECT_EQ(f.Bytes("a.txt"), Sj("猫と猫\r\nなし\r\n白い猫\r\n"));
  EXPECT_FALSE(fs::exists(f.dir / "a.bak"));
  EXPECT_FALSE(fs::exists(f.dir / "c.bak"));
}

// Unchecked lines keep their bytes; a file with nothing checked is not
// touched and gets no backup; all checked writes what the plain run writes.
TEST(ReplacePreview, OnlyTheChosenLinesAreWritten) {
  const std::string a = "cat one\r\nkeep cat\r\ncat three\r\n", b = "cat b\n";
  std::string plain_a, plain_b;
  {
    Fixture f;
    f.dir.Write("a.txt", a);
    f.dir.Write("b.txt", b);
    f.Search("cat");
    f.Replace("dog", nullptr);
    plain_a = f.Bytes("a.txt"), plain_b = f.Bytes("b.txt");
  }
  {
    Fixture f;
    f.dir.Write("a.txt", a);
    f.dir.Write("b.txt", b);
    f.Search("cat");
    const ReplacePreview p = f.Preview("dog");
    const ReplaceChoice all = ChooseAll(p);
    const ReplaceResult r = f.Replace("dog", &all);
    EXPECT_EQ(f.replies.questions.size(), 0u);
    EXPECT_EQ(f.Bytes("a.txt"), plain_a);
    EXPECT_EQ(f.Bytes("b.txt"), plain_b);
    EXPECT_EQ(r.files, 2);
    EXPECT_EQ(r.replaced, 4);
  }
  Fixture f;
  f.dir.Write("a.txt", a);
  f.dir.Write("b.txt", b);
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 4u);
  ReplaceChoice some = ChooseAll(f.Preview("dog"));
  some.lines[f.Path("a.txt")].erase(2);
  some.lines.erase(f.Path("b.txt"));
  const ReplaceResult r = f.Replace("dog", &some);
  EXPECT_EQ(f.Bytes("a.txt"), "dog one\r\nkeep cat\r\ndog three\r\n");
  EXPECT_EQ(f.Bytes("a.bak"), a);
  EXPECT_EQ(f.Bytes("b.txt"), b);
  EXPECT_FALSE(fs::exists(f.dir / "b.bak"));
  EXPECT_EQ(r.files, 1);
  EXPECT_EQ(r.replaced, 2);
  // The rows of the unchosen lines still show the files' text.
  EXPECT_EQ(f.store[1].LineText, "keep cat");
  EXPECT_EQ(f.store[0].LineText, "dog one");
}

// A file changed between looking and writing is not written: what was
// chosen no longer says what would change.
TEST(ReplacePreview, AFileChangedSinceIsLeftAlone) {
  Fixture f;
  f.dir.Write("a.txt", "cat\n");
  f.dir.Write("b.txt", "cat\n");
  f.Search("cat");
  const ReplaceChoice all = ChooseAll(f.Preview("dog"));
  f.dir.Write("a.txt", "cat and a new cat\n");
  const ReplaceResult r = f.Replace("dog", &all);
  EXPECT_EQ(f.Bytes("a.txt"), "cat and a new cat\n");
  EXPECT_FALSE(fs::exists(f.dir / "a.bak"));
  EXPECT_EQ(f.Bytes("b.txt"), "dog\n");
  EXPECT_EQ(r.failed, 1);
  EXPECT_EQ(r.notes, (std::vector<std::string>{"読み込み後に変更されたため置換できない:" + f.Path("a.txt")}));
}

// Rows of one file apart in the list: one entry in the preview, and the
// second load (of what the first wrote) is not taken for a change.
TEST(ReplacePreview, AFileWhoseRowsAreApart) {
  Fixture f;
  f.dir.Write("a.txt", "cat x\nno\ncat y\n");
  f.dir.Write("b.txt", "cat z\n");
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 3u);
  f.store.Permute({0, 2, 1});  // a.txt, b.txt, a.txt
  const ReplacePreview p = f.Preview("dog");
  ASSERT_EQ(p.files.size(), 2u);
  ASSERT_EQ(p.files[0].lines.size(), 2u);
  EXPECT_EQ(p.files[0].lines[1].line_no, 3);
  const ReplaceChoice all = ChooseAll(p);
  const ReplaceResult r = f.Replace("dog", &all);
  EXPECT_EQ(f.Bytes("a.txt"), "dog x\nno\ndog y\n");
  EXPECT_EQ(f.Bytes("b.txt"), "dog z\n");
  EXPECT_EQ(r.failed, 0);
}

}  // namespace
}  // namespace lorvek
