#include "search/regex/regular_expression.h"
#include "search/result_store.h"
#include "search/search_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "search_harness.h"
#include "test_util.h"
#include "text/cp932.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;
using test::Harness;
using test::RecordingFrontEnd;
namespace fs = std::filesystem;

const std::string kWalk = test::FixturePath("walk").string();

TEST(FolderWalk, MasksSelectOrExcludeAndDotFoldersAreSkipped) {
  Harness h;
  h.Search("cat", kWalk, "*.txt; *.htm");
  EXPECT_EQ(h.Names(), (std::set<std::string>{"A.TXT", "b.Htm", "c.txt", "e.TXT", "g.txt", "with space.txt",
                                               "あ.txt"}));
  h.Search("cat", kWalk, "*");
  EXPECT_TRUE(h.Names().count(".profile"));
  EXPECT_TRUE(h.Names().count("README"));
  for (size_t i = 0; i < h.store.size(); ++i) {
    EXPECT_EQ(h.store[i].OpenPath.find(".hidden_dir"), std::string::npos);
    EXPECT_EQ(h.store[i].OpenPath.find(".svn"), std::string::npos);
  }
  h.Search("cat", kWalk, "*.*");
  EXPECT_FALSE(h.Names().count("README"));
  h.run.options().find_mode = 1;
  h.Search("cat", kWalk, "*.exe");
  EXPECT_FALSE(h.Names().count("tool.exe"));
  EXPECT_TRUE(h.Names().count("README"));
  h.Search("cat", kWalk, "");
  EXPECT_TRUE(h.Names().count("tool.exe"));  // empty list, exclude mode: every file
  h.run.options().find_mode = 0;
  h.Search("cat", kWalk, "");
  EXPECT_TRUE(h.store.empty());
}

TEST(FolderWalk, SubfolderSwitchSingleFilesAndDoubleByteNames) {
  Harness h;
  h.run.options().find_sub = false;
  h.Search("cat", kWalk, "*.txt");
  EXPECT_FALSE(h.Names().count("e.TXT"));
  h.Search("cat", kWalk + "/tool.exe", "*.txt");  // a named file ignores the masks
  EXPECT_EQ(h.Names(), (std::set<std::string>{"tool.exe"}));
  h.Search("cat", kWalk, "?.TXT");
  EXPECT_FALSE(h.Names().count("あ.txt"));
  h.Search("cat", kWalk, "??.TXT");
  EXPECT_TRUE(h.Names().count("あ.txt"));
  h.Search("cat", kWalk, "[A-C]*.LOG");
  EXPECT_EQ(h.Names(), (std::set<std::string>{"b1.log"}));
  h.Search("cat", kWalk, "\"with space.txt\"");
  EXPECT_EQ(h.Names(), (std::set<std::string>{"with space.txt"}));
}

TEST(FolderWalk, SymbolicLinkLoopsAreNotFollowed) {
  Harness h;
  TempDir tree;
  tree.Write("a/x.txt", "needle\r\n");
  fs::create_directory_symlink(tree.path() / "a", tree.path() / "a" / "loop");
  fs::create_symlink(tree.path() / "a" / "x.txt", tree.path() / "link.txt");
  h.Search("needle", tree.path().string());
  EXPECT_EQ(h.store.size(), 2u);  // a/x.txt and link.txt, never a/loop/...
}

TEST(ResultRecords, RelativePathsAreTheSameWithOrWithoutTrailingSlash) {
  Harness h;
  h.run.options().path_print = 1;
  h.Search("cat", kWalk, "g.txt");
  ASSERT_EQ(h.store.size(), 1u);
  EXPECT_EQ(h.store[0].DisplayName, "sub1/sub2/g.txt");
  h.Search("cat", kWalk + "/", "g.txt");
  EXPECT_EQ(h.store[0].DisplayName, "sub1/sub2/g.txt");
  h.Search("cat", kWalk + "/sub1/sub2/g.txt", "*");
  EXPECT_EQ(h.store[0].DisplayName, "g.txt");
  h.run.options().path_print = 2;
  h.Search("cat", kWalk, "g.txt");
  EXPECT_EQ(h.store[0].DisplayName, "g.txt");
  h.run.options().path_print = 0;
  h.Search("cat", kWalk, "g.txt");
  EXPECT_EQ(h.store[0].DisplayName, kWalk + "/sub1/sub2/g.txt");
  EXPECT_EQ(h.store[0].OpenPath, kWalk + "/sub1/sub2/g.txt");
}

TEST(ResultRecords, SamePrintOmitsRepeatedFiles) {
  Harness h;
  TempDir tree;
  tree.Write("one.txt", "cat\r\ncat\r\n");
  h.run.options().find_sub = false;
  for (int same = 0; same <= 2; ++same) {
    h.run.options().same_print = same;
    h.Search("cat", tree.path().string());
    ASSERT_EQ(h.store.size(), 2u);
    EXPECT_EQ(h.store[0].IconIndex, 0);
    EXPECT_EQ(h.store[1].IconIndex, same == 0 ? 0 : -1);
    EXPECT_EQ(h.store[1].DisplayName, same == 2 ? "   :" : h.store[0].DisplayName);
  }
}

TEST(ResultRecords, LongPathsAreCutForDisplayOnly) {
  RecordBuilder builder;
  MatchSource src;
  src.path = "/" + std::string(300, 'd') + "/f.txt";
  auto plain = builder.Build(src, "x", 1, nullptr, 0, 0);
  EXPECT_EQ(plain->DisplayName.size(), 255u);
  EXPECT_EQ(plain->OpenPath, src.path);
  MatchSource member;
  member.archive_mode = true;
  member.archive_path = "/x/a.lzh";
  member.path = "doc/readme.txt";
  auto in_archive = builder.Build(member, "x", 1, nullptr, 1, 0);
  EXPECT_EQ(in_archive->OpenPath, "@/x/a.lzh@doc/readme.txt");
  EXPECT_EQ(in_archive->DisplayName, "doc/readme.txt");
}

TEST(SearchRunTexts, MinimumSizeNulCutAndEarlyRowCount) {
  Harness h;
  TempDir tree;
  tree.Write("two.txt", "ab");
  tree.Write("three.txt", "abc");
  tree.Write("nul.txt", std::string("abc\0abc\r\nabc", 12));
  h.run.options().code_cng_mode = 0;
  h.Search("abc", tree.path().string());
  EXPECT_EQ(h.Names(), (std::set<std::string>{"three.txt", "nul.txt"}));
  EXPECT_EQ(h.store.size(), 2u);  // read as Shift-JIS without a look: nothing after the NUL is searched
  EXPECT_NE(h.Log().find(Sj("NUL文字以降は検索しません:")), std::string::npos);
  h.Search("a&b", tree.path().string());
  EXPECT_FALSE(h.Names().count("two.txt"));
  std::filesystem::remove(tree / "nul.txt");

  std::string many;
  for (int i = 0; i < 25; ++i) many += "hit\r\n";
  tree.Write("many.txt", many);
  h.front.row_counts.clear();
  h.Search("hit", tree.path().string());
  EXPECT_EQ(h.front.row_counts, (std::vector<size_t>{0, 20, 25}));
  EXPECT_EQ(h.front.panels[3], "マッチ : 25 行");
  EXPECT_EQ(h.front.panels[0], "検索を終了しました.");
  EXPECT_EQ(h.front.titles.back(), "Lorvek-完了");
  EXPECT_FALSE(h.front.error_log_visible);
  std::string log = h.Log();
  EXPECT_EQ(log.rfind("Lorvek Log: ", 0), 0u);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
}

TEST(SearchRunTexts, EmptyWordOrFolderWarnsAndKeepsResults) {
  Harness h;
  h.Search("cat", kWalk, "A.TXT");
  ASSERT_EQ(h.store.size(), 1u);
  EXPECT_FALSE(h.run.FindButtonClick("", kWalk, "*"));
  EXPECT_FALSE(h.run.FindButtonClick("cat", "", "*"));
  EXPECT_EQ(h.front.warnings.back(), "検索フォルダまたはキーワードを設定して下さい.");
  EXPECT_EQ(h.store.size(), 1u);
}

TEST(SearchRunTexts, AbortEndsTheWalkBetweenFiles) {
  Harness h;
  h.front.on_events = [&] {
    if (h.run.SearchedFileCount() >= 1) h.run.AbortBtnClick();
  };
  h.Search("cat", kWalk, "*");
  EXPECT_EQ(h.front.panels[0], "検索を中止しました.");
  EXPECT_EQ(h.front.titles.back(), "Lorvek-中止");
  EXPECT_LE(h.run.SearchedFileCount(), 2);
  EXPECT_FALSE(h.front.searching_state);
}

TEST(SearchRunTexts, UnreadableFileIsLoggedAndTheRunGoesOn) {
  // As an ordinary user (root reads every file): the child reports which
  // expectations failed, one bit each.
  TempDir program, tree;
  fs::path locked = tree.Write("locked.txt", "cat\r\n");
  tree.Write("open.txt", "cat\r\n");
  chmod(locked.c_str(), 0);
  fs::permissions(program.path(), fs::perms::all);  // the child writes LOG.TXT there
  fs::permissions(tree.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  int failed = test::RunWithoutPrivileges([&] {
    RecordingFrontEnd front;
    ResultStore store;
    SearchRun run(front, store, program.path().string());
    run.options().whole_word = false;
    run.options().code_cng_mode = 1;
    run.FindButtonClick("cat", tree.path().string(), "*");
    int bits = 0;
    if (store.size() != 1 || FileNameOf(store[0].OpenPath) != "open.txt") bits |= 1;
    if (run.ErrorCount() != 1) bits |= 2;
    if (front.panels[0] != "検索中にエラーが発生しました.") bits |= 4;
    if (front.titles.empty() || front.titles.back() != "Lorvek-完了(エラー発生)") bits |= 8;
    if (!front.error_log_visible) bits |= 16;
    if (test::ReadBytes(program / "LOG.TXT").find(Sj("ファイル読込みエラー:")) == std::string::npos) bits |= 32;
    return bits;
  });
  EXPECT_EQ(failed, 0) << "failed expectations (bits): " << failed;
}

TEST(SearchRunTexts, DirectoryNamedAsFileAndFifoDoNotHang) {
  Harness h;
  TempDir tree;
  tree.Write("ok.txt", "cat\r\n");
  mkfifo((tree.path() / "pipe.txt").c_str(), 0600);
  h.Search("cat", tree.path().string());
  EXPECT_EQ(h.Names(), (std::set<std::string>{"ok.txt"}));
  h.Search("cat", (tree.path() / "pipe.txt").string());  // named directly: logged, not hung
  EXPECT_EQ(h.run.ErrorCount(), 1);
}

TEST(SearchRunTexts, InvalidPatternOrMaskEndsTheRunAndRestoresIdleState) {
  Harness h;
  h.Search("(cat", kWalk, "*");
  EXPECT_EQ(h.front.errors.back(), "右(閉じ)括弧が必要です");
  EXPECT_FALSE(h.front.searching_state);
  EXPECT_FALSE(h.run.Searching());
  h.Search("cat&(x", kWalk, "*");  // a later term is refused before any file is read
  EXPECT_EQ(h.front.errors.back(), "右(閉じ)括弧が必要です");
  EXPECT_TRUE(h.store.empty());
  h.Search("cat", kWalk, "[ABC");
  EXPECT_EQ(h.front.errors.back(), "'[ABC' is an invalid mask at (5)");
  EXPECT_FALSE(h.front.searching_state);
}

}  // namespace
}  // namespace lorvek
