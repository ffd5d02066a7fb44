// The replace run: what it replaces, what it asks, what it skips and says,
// and that a file comes back with nothing changed but the replaced text.
#include "replace/replace_run.h"

#include <gtest/gtest.h>

#include <set>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>
#include <random>

#include "replace/replace_journal.h"
#include "search/search_run.h"
#include "replace_fixture.h"
#include "test_util.h"
#include "text/conversion.h"
#include "text/cp932.h"
#include "text/encoding.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;

using Fixture = test::ReplaceFixture;
using test::ScriptedFrontEnd;
using Answer = ReplaceFrontEnd::Answer;

TEST(ReplaceRun, TabEscapeAndBackupNames) {
  EXPECT_EQ(ApplyTabEscape("a\\tb\\\\t\\n"), "a\tb\\\t\\n");
  TempDir d;
  const std::string a = (d / "a.txt").string();
  EXPECT_EQ(BackupName(a), (d / "a.bak").string());
  d.Write("a.bak", "x");
  EXPECT_EQ(BackupName(a), (d / "a.bak(1)").string());
  d.Write("a.bak(1)", "x");
  EXPECT_EQ(BackupName((d / "a.doc").string()), (d / "a.bak(2)").string());  // one series per base name
  EXPECT_EQ(BackupName((d / "noext").string()), (d / "noext.bak").string());
}

TEST(ReplaceRun, YesAndNoInOneLineThenASecondRun) {
  Fixture f;
  f.dir.Write("a.txt", "one cat and a cat\r\nnone\r\n");
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 1u);
  f.replies.answers = {Answer::Yes, Answer::No};
  ReplaceResult r = f.Replace("dog");
  EXPECT_EQ(f.Bytes("a.txt"), "one dog and a cat\r\nnone\r\n");
  EXPECT_EQ(f.Bytes("a.bak"), "one cat and a cat\r\nnone\r\n");
  EXPECT_EQ(f.store[0].LineText, "one dog and a cat");
  EXPECT_EQ(r.replaced, 1);
  EXPECT_EQ(r.files, 1);
  ASSERT_EQ(f.replies.questions.size(), 2u);
  EXPECT_EQ(f.replies.questions[0], (f.dir / "a.txt").string() + " : 1 [cat] を置換しますか?");
  EXPECT_NE(r.summary.find("\n\r1 個のファイルの 1 個の文字を変換しました."), std::string::npos);
  r = f.Replace("bird");
  EXPECT_EQ(f.Bytes("a.bak"), "one cat and a cat\r\nnone\r\n");  // untouched
  EXPECT_EQ(f.Bytes("a.bak(1)"), "one dog and a cat\r\nnone\r\n");
  // The rows know the file as the first run left it: a third run that finds
  // nothing left to replace says nothing of a change since the search.
  f.dir.Write("a.txt", "one dog and a dog\r\nnone\r\n");
  f.Search("dog", "*.txt");
  f.replies.answers = {Answer::All};
  ASSERT_EQ(f.Replace("cat").files, 1);
  r = f.Replace("cat");
  EXPECT_EQ(r.failed, 0);
  EXPECT_TRUE(r.notes.empty()) << r.notes[0];
}

// Every match is one the whole line holds: the whole-word test sees the
// real neighbours, anchors the real start, and a replacement is never
// matched again.
TEST(ReplaceRun, MatchesAreThoseOfTheWholeLine) {
  Fixture f;
  f.settings.whole_word = true;
  f.dir.Write("w.txt", "cat catalog\ncatcat cat\n");
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 2u);
  ReplaceResult r = f.Replace("X");
  EXPECT_EQ(f.Bytes("w.txt"), "X catalog\ncatcat X\n");
  EXPECT_EQ(f.replies.questions.size(), 2u);
  EXPECT_EQ(r.replaced, 2);
  f.settings.whole_word = false;
  struct Case {
    const char *line, *word, *with, *expected;
  } cases[] = {
      {"aaa", "^a", "b", "baa"},
      {"ababx", "^ab", "R", "Rabx"},
      {"# # x", "^# ", "", "# x"},
      {"xy", "^", "R", "Rxy"},
      {"xyx", "x$", "R", "xyR"},
      {"xy", "z*", "-", "-x-y-"},  // as sed's s/z*/-/g gives
      {"aaaa", "aa", "a", "aa"},   // the replacement is not matched again
  };
  for (const Case& c : cases) {
    f.dir.Write("c.txt", std::string(c.line) + "\n");
    f.Search(c.word, "c.txt");
    ASSERT_EQ(f.store.size(), 1u) << c.word;
    f.replies.answers = {Answer::All};
    f.Replace(c.with);
    EXPECT_EQ(f.Bytes("c.txt"), std::string(c.expected) + "\n") << c.line << " / " << c.word;
  }
  EXPECT_EQ(f.replies.questions.size(), 2u + std::size(cases));  // no question after すべて
}

TEST(ReplaceRun, AbortKeepsTheLineAndWritesWhatWasDone) {
  Fixture f;
  f.dir.Write("a.txt", "cat\ncat\ncat\n");
  f.Search("cat");
  f.replies.answers = {Answer::Yes, Answer::Abort};
  ReplaceResult r = f.Replace("dog");
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(f.Bytes("a.txt"), "dog\ncat\ncat\n");
  EXPECT_NE(r.summary.find("\r\n処理を中断しました."), std::string::npos);
}

TEST(ReplaceRun, SelectedRowsLongRowsAndLineBreaks) {
  Fixture f;
  f.dir.Write("a.txt", "cat 1\ncat 2\ncat 3");  // no final break
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 3u);
  f.Replace("dog", true, {0, 2});
  EXPECT_EQ(f.Bytes("a.txt"), "dog 1\ncat 2\ndog 3");  // and still no final break
  // The row shows 255 bytes of a longer line; the file has it all.
  f.dir.Write("long.txt", "cat\r\n");
  f.Search("cat", "long.txt");
  f.Replace(std::string(300, 'y'));
  EXPECT_EQ(f.store[0].LineText, std::string(255, 'y'));
  EXPECT_EQ(f.Bytes("long.txt"), std::string(300, 'y') + "\r\n");
}

TEST(ReplaceRun, SkipsAreNotedOnceAndSaidAtTheEnd) {
  Fixture f;
  f.dir.Write("u.txt", "\xE6\xA4\x9C\xE7\xB4\xA2 cat\ncat\n");
  f.dir.Write("b.bin", std::string("\x01\x02 cat\n", 7));
  f.Search("cat");
  auto member = std::make_unique<MatchRecord>(f.store[0].ToRecord());
  member->OpenPath = "@/x/a.lzh@doc/r.txt";
  f.store.Append(std::move(member));
  f.settings.code_cng_mode = 0;  // no conversion: the UTF-8 file is probed again and skipped
  ReplaceResult r = f.Replace("dog");
  const std::string u = (f.dir / "u.txt").string();
  EXPECT_EQ(r.notes, (std::vector<std::string>{"テキストファイル以外は置換できない:" + (f.dir / "b.bin").string(),
                                                "UTF8コード変換なしモードでUTF8は置換できない:" + u,
                                                "書庫内ファイルは置換できない:/x/a.lzh@doc/r.txt"}));
  EXPECT_NE(r.summary.find("\n\r書庫内のファイルは置換できないためスキップしました."), std::string::npos);
  EXPECT_NE(r.summary.find("\n\rテキスト以外のファイルは置換できないためスキップしました."), std::string::npos);
  EXPECT_EQ(f.Bytes("u.txt"), "\xE6\xA4\x9C\xE7\xB4\xA2 cat\ncat\n");
  f.settings.code_cng_mode = 2;
  r = f.Replace("dog");
  EXPECT_EQ(r.notes.front(), "テキストファイル以外は置換できない:" + (f.dir / "b.bin").string());
  EXPECT_EQ(r.notes[1], "コード変換なしモードでSJIS以外は置換できない:" + u);
}

TEST(ReplaceRun, OfficeDocumentsAreNeverRewritten) {
  Fixture f;
  for (const char* name : {"sample.docx", "sample.xlsx", "sample.pdf"})
    f.dir.Write(name, test::ReadBytes(test::FixturePath(std::string("office/") + name)));
  f.Search("検索語");
  ASSERT_GE(f.store.size(), 5u);
  const ReplaceResult r = f.Replace("置換語");
  std::set<std::string> skipped(r.notes.begin(), r.notes.end());
  for (const char* name : {"sample.docx", "sample.xlsx", "sample.pdf"}) {
    EXPECT_TRUE(skipped.count("テキストファイル以外は置換できない:" + (f.dir / name).string())) << name;
    EXPECT_EQ(f.Bytes(name), test::ReadBytes(test::FixturePath(std::string("office/") + name)));
  }
}

// A line holding characters Shift-JIS lacks is replaced around them: they
// keep their bytes; only a match that covers one is refused.
TEST(ReplaceRun, CharactersShiftJisLacksKeepTheirBytes) {
  Fixture f;
  const std::string odd = "caf\xC3\xA9\xC2\xA0\xC2\xA9 \xF0\x9F\x98\x80 cat\n";
  f.dir.Write("u.txt", "\xE6\xA4\x9C\xE7\xB4\xA2 cat\n" + odd);
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 2u);
  EXPECT_EQ(f.store[0].EncodingCode, ecUtf8N);
  ReplaceResult r = f.Replace("dog");
  EXPECT_EQ(f.Bytes("u.txt"), "\xE6\xA4\x9C\xE7\xB4\xA2 dog\ncaf\xC3\xA9\xC2\xA0\xC2\xA9 \xF0\x9F\x98\x80 dog\n");
  EXPECT_EQ(r.replaced, 2);
  // A match over é cannot be written back: that file is refused, whole.
  f.Search("caf.", "u.txt");
  ASSERT_EQ(f.store.size(), 1u);
  r = f.Replace("tea");
  EXPECT_EQ(r.notes, (std::vector<std::string>{"変換できない文字を含むため置換できない:" + (f.dir / "u.txt").string()}));
  EXPECT_EQ(r.files, 0);
  EXPECT_EQ(f.Bytes("u.txt"), "\xE6\xA4\x9C\xE7\xB4\xA2 dog\ncaf\xC3\xA9\xC2\xA0\xC2\xA9 \xF0\x9F\x98\x80 dog\n");
  // NEC and IBM codes of a Shift-JIS file stay as they are.
  const std::string nec_ibm = "\x87\x40\xFA\x40\xED\x40 cat\r\n";
  f.dir.Write("s.txt", nec_ibm);
  f.Search("cat", "s.txt");
  f.Replace("dog");
  EXPECT_EQ(f.Bytes("s.txt"), "\x87\x40\xFA\x40\xED\x40 dog\r\n");
}

TEST(ReplaceRun, ACharacterTheFilesEncodingLacksIsRefused) {
  // 髙 (an IBM extension of code page 932) has no JIS X 0208 code.
  Fixture f;
  const std::string jis = SjisToJis(Sj("検索 cat\r\n次の行\r\n"));
  f.dir.Write("j.txt", jis);
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 1u);
  ReplaceResult r = f.Replace("髙");
  EXPECT_EQ(r.notes, (std::vector<std::string>{"変換できない文字を含むため置換できない:" + (f.dir / "j.txt").string()}));
  EXPECT_EQ(f.Bytes("j.txt"), jis);
  EXPECT_FALSE(std::filesystem::exists(f.dir / "j.bak"));
  // What JIS X 0208 holds goes in, the NEC row 13 too.
  r = f.Replace("①高");
  EXPECT_TRUE(r.notes.empty());
  EXPECT_EQ(f.Bytes("j.txt"), SjisToJis(Sj("検索 ①高\r\n次の行\r\n")));
}

// Every text fixture, replaced and read back: only the replaced words differ.
TEST(ReplaceRun, EveryEncodingAndBreakStyleComesBackExact) {
  for (const char* name : {"sjis_crlf.txt", "sjis_lf.txt", "sjis_cr.txt", "eucjp_lf.txt", "eucjp_crlf.txt",
                           "jis_crlf.txt", "jis78_crlf.txt", "utf8_bom.txt", "utf8_nobom_lf.txt", "utf16le_bom.txt",
                           "utf16be_bom.txt", "mixed_breaks.txt", "no_final_newline.txt"}) {
    Fixture f;
    const std::string old = test::ReadBytes(test::FixturePath(std::string("text/") + name));
    f.dir.Write(name, old);
    f.Search("検索");
    ASSERT_EQ(f.store.size(), 5u) << name;
    f.replies.answers = {Answer::All};
    ReplaceResult r = f.Replace("置換");
    EXPECT_EQ(r.replaced, 6) << name;
    const std::string now = f.Bytes(name);
    EXPECT_EQ(f.Bytes(std::string(name).substr(0, std::string(name).rfind('.')) + ".bak"), old) << name;
    // The two words take the same bytes in every encoding: the file keeps its
    // size, and differs only where the word stood.
    ASSERT_EQ(now.size(), old.size()) << name;
    const int32_t code = ProbeBufferCode(old).encoding;
    auto encoded = [&](const std::string& word) {
      std::string e = EncodeForCode(code, Sj(word));
      if (IsUtf16(code)) return e.substr(2);
      if (code == ecUtf8) return e.substr(3);
      if (code == ecJis || code == ecJisOld) return e.substr(3);  // the pair bytes after the designation
      return e;
    };
    std::string expected = old;
    const std::string from = encoded("検索"), to = encoded("置換");
    for (size_t at = expected.find(from); at != std::string::npos; at = expected.find(from, at + to.size()))
      expected.replace(at, from.size(), to);
    EXPECT_EQ(now, expected) << name;
  }
}

TEST(ReplaceRun, DryRunWritesNothingAndListsTheChanges) {
  Fixture f;
  f.dir.Write("a.txt", "a cat\nno\n");
  f.Search("cat");
  ReplaceResult r = f.Replace("dog", false, {}, true);
  EXPECT_EQ(f.Bytes("a.txt"), "a cat\nno\n");
  EXPECT_FALSE(std::filesystem::exists(f.dir / "a.bak"));
  ASSERT_EQ(r.changes.size(), 1u);
  EXPECT_EQ(r.changes[0].old_text, "a cat");
  EXPECT_EQ(r.changes[0].new_text, "a dog");
  EXPECT_TRUE(f.replies.questions.empty());
  EXPECT_EQ(f.store[0].LineText, "a cat");
}

// A replace killed at any moment leaves the old file or the new one, whole.
TEST(ReplaceRun, AKillDuringTheWriteLeavesTheOldOrTheNewFile) {
  std::string old;
  for (int i = 0; i < 60000; ++i) old += "line with a cat " + std::to_string(i) + "\n";
  std::string replaced = old;
  for (size_t at = replaced.find("cat"); at != std::string::npos; at = replaced.find("cat", at + 3))
    replaced.replace(at, 3, "dog");
  std::mt19937 rng(42);
  int killed_midway = 0;
  for (int round = 0; round < 12; ++round) {
    Fixture f;
    f.dir.Write("big.txt", old);
    f.Search("cat");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      f.replies.answers = {Answer::All};
      f.Replace("dog");
      _exit(0);
    }
    usleep(static_cast<useconds_t>(rng() % 120000));
    kill(child, SIGKILL);
    int status;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) ++killed_midway;
    const std::string now = f.Bytes("big.txt");
    EXPECT_TRUE(now == old || now == replaced) << "round " << round << ": " << now.size() << " bytes";
    if (now == replaced) EXPECT_EQ(f.Bytes("big.bak"), old);
  }
  EXPECT_GT(killed_midway, 0);
}

// A file reached through a symbolic link: its backup holds the old text, and
// a file reached both directly and through a link is replaced once.
TEST(ReplaceRun, LinksBackUpTheFileTheyNameAndReplaceItOnce) {
  Fixture f;
  f.dir.Write("real.txt", Sj("ファイル\r\n"));
  std::filesystem::create_symlink("real.txt", f.dir / "via.txt");
  TempDir outside;
  outside.Write("far.txt", Sj("ファイル\r\n"));
  std::filesystem::create_symlink(outside / "far.txt", f.dir / "far.txt");
  f.Search("ファイル");
  ASSERT_EQ(f.store.size(), 3u);
  f.replies.answers = {Answer::All};
  const ReplaceResult r = f.Replace("ファイルの");
  EXPECT_EQ(f.Bytes("real.txt"), Sj("ファイルの\r\n"));
  EXPECT_EQ(test::ReadBytes(outside / "far.txt"), Sj("ファイルの\r\n"));
  EXPECT_TRUE(std::filesystem::is_symlink(f.dir / "via.txt"));
  EXPECT_TRUE(std::filesystem::is_symlink(f.dir / "far.txt"));
  EXPECT_EQ(r.replaced, 2);
  // Every backup holds the old text.
  int backups = 0;
  for (const auto& e : std::filesystem::directory_iterator(f.dir.path()))
    if (e.path().filename().string().find(".bak") != std::string::npos) {
      ++backups;
      EXPECT_EQ(test::ReadBytes(e.path()), Sj("ファイル\r\n")) << e.path();
    }
  EXPECT_EQ(backups, 2);
  // Only looking, the file and its link are one file too.
  f.Search("ファイルの");
  const ReplaceResult dry = f.Replace("ファイル", false, {}, /*dry_run=*/true);
  EXPECT_EQ(dry.files, 2);
  EXPECT_EQ(dry.file_changes.size(), 2u);
}

// Two names of one file (a hard link) are both hits: after the run neither
// name may still hold the replaced word, whichever name comes first; and a
// backup left beside the file (a killed run's, a link to the live file)
// must not take the file's place.
TEST(ReplaceRun, EveryNameOfAHardLinkedFileIsReplaced) {
  Fixture f;
  f.dir.Write("b.txt", "a cat\n");
  ASSERT_EQ(link((f.dir / "b.txt").c_str(), (f.dir / "a.bak").c_str()), 0);
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 2u);
  f.replies.answers = {Answer::All};
  const ReplaceResult r = f.Replace("dog");
  EXPECT_EQ(f.Bytes("b.txt"), "a dog\n");
  EXPECT_EQ(f.Bytes("a.bak"), "a dog\n");
  EXPECT_EQ(r.failed, 0);
}

// The new file keeps the old one's owner, group and mode.
TEST(ReplaceRun, OwnerGroupAndModeAreKept) {
  if (geteuid() != 0) GTEST_SKIP() << "needs to give a file away";
  Fixture f;
  const std::string path = f.dir.Write("theirs.txt", "a cat\n").string();
  ASSERT_EQ(chown(path.c_str(), 12345, 23456), 0);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  f.Search("cat");
  f.replies.answers = {Answer::All};
  EXPECT_EQ(f.Replace("dog").files, 1);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(f.Bytes("theirs.txt"), "a dog\n");
  EXPECT_EQ(st.st_uid, 12345u);
  EXPECT_EQ(st.st_gid, 23456u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A file changed on disk after the run read it is not written: the change
// made meanwhile survives, and the run says so and counts it as failed.
TEST(ReplaceRun, AFileChangedMeanwhileIsNotOverwritten) {
  Fixture f;
  f.dir.Write("a.txt", "one cat\ntwo cat\n");
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 2u);
  // A second run over the same file lands while the first asks its first question.
  ResultStore other_store;
  NullFrontEnd other_front;
  SearchRun other{other_front, other_store, f.program.path().string()};
  other.options().code_cng_mode = 1;
  other.options().fuzzy_char = false;
  other.options().whole_word = false;
  other.FindButtonClick("cat", f.dir.path().string(), "*");
  struct Interleaved : ScriptedFrontEnd {
    std::function<void()> meanwhile;
    Answer AskReplace(const std::string& q) override {
      if (meanwhile) std::exchange(meanwhile, nullptr)();
      return ScriptedFrontEnd::AskReplace(q);
    }
  } first;
  first.answers = {Answer::All};
  int other_replaced = 0;
  first.meanwhile = [&] {
    ScriptedFrontEnd all;
    all.answers = {Answer::All};
    other_replaced = ReplaceRun(other_store, *other.Compiled(), f.settings, all).Run("cow", false).replaced;
  };
  const ReplaceResult r = ReplaceRun(f.store, *f.run.Compiled(), f.settings, first).Run("dog", false);
  EXPECT_EQ(other_replaced, 2);
  EXPECT_EQ(f.Bytes("a.txt"), "one cow\ntwo cow\n");
  EXPECT_EQ(f.Bytes("a.bak"), "one cat\ntwo cat\n");
  EXPECT_FALSE(std::filesystem::exists(f.dir / "a.bak(1)"));  // none for a file not written
  EXPECT_EQ(r.failed, 1);
  EXPECT_EQ(r.files, 0);
  EXPECT_EQ(r.replaced, 0);
  EXPECT_EQ(r.notes, (std::vector<std::string>{"読み込み後に変更されたため置換できない:" + (f.dir / "a.txt").string()}));
  EXPECT_EQ(f.store[0].LineText, "one cat");  // the row keeps its old text
}

// Counts say what was written; a refused file keeps its rows. A name near
// the system's limit can be replaced; one whose backup name is too long is
// refused, not written without a backup.
TEST(ReplaceRun, CountsSayWhatWasWrittenAndLongNamesWork) {
  Fixture f;
  const std::string long_name = std::string(246, 'n') + ".txt";  // 250 bytes
  const std::string longest = std::string(255, 'm');             // no room for ".bak"
  f.dir.Write(long_name, "cat\n");
  f.dir.Write(longest, "cat\n");
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 2u);
  const ReplaceResult r = f.Replace("dog");
  EXPECT_EQ(f.Bytes(long_name), "dog\n");
  EXPECT_EQ(f.Bytes(std::string(246, 'n') + ".bak"), "cat\n");
  EXPECT_EQ(f.Bytes(longest), "cat\n");
  EXPECT_EQ(r.files, 1);
  EXPECT_EQ(r.replaced, 1);
  EXPECT_EQ(r.failed, 1);
  EXPECT_EQ(r.notes, (std::vector<std::string>{"バックアップを作成できないため置換できない:" + (f.dir / longest).string()}));
  const size_t refused_row = f.store[0].OpenPath == (f.dir / longest).string() ? 0 : 1;
  EXPECT_EQ(f.store[refused_row].LineText, "cat");
  EXPECT_EQ(f.store[1 - refused_row].LineText, "dog");
  EXPECT_NE(r.summary.find("1 個のファイルの 1 個の文字を変換しました."), std::string::npos);
  // The status bar's text is one line.
  EXPECT_EQ(r.status.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(r.status, "1 個のファイルの 1 個の文字を変換しました. 1 個のファイルは置換できませんでした.");
}

// Temporaries of a killed writer are removed when a later run writes in
// their folder; a running writer's and other files are left alone.
TEST(ReplaceRun, TemporariesOfKilledWritersAreRemoved) {
  Fixture f;
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string dead = std::to_string(gone), alive = std::to_string(getppid());
  f.dir.Write(".lorvek-" + dead + "-abcdef", "x");
  f.dir.Write(".a.txt.lorvek-" + dead + "-ghijkl", "x");  // the older form
  f.dir.Write(".lorvek-" + alive + "-abcdef", "x");
  f.dir.Write(".lorvek-" + dead + "-abcdefg", "x");  // not a name we make
  f.dir.Write("a.txt", "cat\n");
  f.Search("cat", "a.txt");
  f.Replace("dog");
  EXPECT_FALSE(std::filesystem::exists(f.dir / (".lorvek-" + dead + "-abcdef")));
  EXPECT_FALSE(std::filesystem::exists(f.dir / (".a.txt.lorvek-" + dead + "-ghijkl")));
  EXPECT_TRUE(std::filesystem::exists(f.dir / (".lorvek-" + alive + "-abcdef")));
  EXPECT_TRUE(std::filesystem::exists(f.dir / (".lorvek-" + dead + "-abcdefg")));
}

// Ticking "do not show again" holds for the rest of the run.
TEST(ReplaceRun, TheHtmlWarningStopsOnceTicked) {
  Fixture f;
  f.settings.html_tag = true;
  f.dir.Write("a.htm", "cat\n");
  f.dir.Write("b.html", "cat\n");
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 2u);
  f.replies.html_dont_show_again = true;
  EXPECT_EQ(f.Replace("dog").files, 2);
  EXPECT_EQ(f.replies.html_asked, 1);
}

// HtmlReplIgnore set beforehand: the warning is never shown.
TEST(ReplaceRun, TheHtmlWarningIsNotShownWhenIgnoredBeforehand) {
  Fixture f;
  f.settings.html_tag = true;
  f.settings.html_repl_ignore = true;
  f.dir.Write("a.htm", "cat\n");
  f.Search("cat");
  EXPECT_EQ(f.Replace("dog").files, 1);
  EXPECT_EQ(f.replies.html_asked, 0);
  EXPECT_EQ(f.Bytes("a.htm"), "dog\n");
}

// Without conversion (CodeCngMode 0) UTF-8 is skipped with or without its
// byte order mark.
TEST(ReplaceRun, Utf8WithAByteOrderMarkIsSkippedWithoutConversion) {
  Fixture f;
  const std::string bom = "\xEF\xBB\xBF\xE6\xA4\x9C\xE7\xB4\xA2 cat\n";
  f.dir.Write("bom.txt", bom);
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 1u);
  f.settings.code_cng_mode = 0;
  const ReplaceResult r = f.Replace("dog");
  EXPECT_EQ(r.notes, (std::vector<std::string>{"UTF8コード変換なしモードでUTF8は置換できない:" + (f.dir / "bom.txt").string()}));
  EXPECT_EQ(r.files, 0);
  EXPECT_EQ(f.Bytes("bom.txt"), bom);
  EXPECT_FALSE(std::filesystem::exists(f.dir / "bom.bak"));
}

// The backups of earlier runs (NAME.bak, NAME.bak(N) beside a file of the
// stem NAME) are named and left alone, so a second run never writes over
// the way back of the first; a file that only looks like one is replaced,
// and so are backups when asked.
TEST(ReplaceRun, BackupsOfEarlierRunsAreLeftAlone) {
  for (const bool replace_backups : {false, true}) {
    SCOPED_TRACE(replace_backups);
    Fixture f;
    f.settings.replace_backups = replace_backups;
    f.dir.Write("a.txt", "cat 2\n");
    f.dir.Write("a.bak", "cat 1\n");
    f.dir.Write("b", "cat\n");
    f.dir.Write("b.bak(12)", "cat\n");
    f.dir.Write("lone.bak", "cat\n");      // no file of its stem
    f.dir.Write("c.bak(x)", "cat\n");      // no backup's name
    f.dir.Write("c.txt", "no\n");
    f.dir.Write("build/x", "");
    f.dir.Write("build.bak", "cat\n");  // beside a folder, not a file
    f.Search("cat", "*.*;*.bak*;b;x");
    ASSERT_EQ(f.store.size(), 7u);
    f.replies.answers = {Answer::All};
    const ReplaceResult r = f.Replace("dog");
    EXPECT_EQ(f.Bytes("a.txt"), "dog 2\n");
    EXPECT_EQ(f.Bytes("lone.bak"), "dog\n");
    EXPECT_EQ(f.Bytes("build.bak"), "dog\n");
    EXPECT_EQ(f.Bytes("c.bak(x)"), "dog\n");
    EXPECT_EQ(f.Bytes("a.bak"), replace_backups ? "dog 1\n" : "cat 1\n");
    EXPECT_EQ(f.Bytes("b.bak(12)"), replace_backups ? "dog\n" : "cat\n");
    if (!replace_backups) {
      EXPECT_EQ(r.files, 5);
      EXPECT_EQ(r.failed, 0);
      EXPECT_EQ(r.notes, (std::vector<std::string>{"置換のバックアップファイルは置換しない:" + f.Path("a.bak"),
                                                   "置換のバックアップファイルは置換しない:" + f.Path("b.bak(12)")}));
    }
  }
  EXPECT_FALSE(IsBackupBesideItsFile("/nowhere/a.bak"));
}

// A file the run looked at but did not write leaves nothing behind: a
// later file that has its identity (its inode freed and taken again, here
// by a rename) is not taken for a file whose lines were done.
TEST(ReplaceRun, ALineIsDoneOnlyInAFileThatWasWritten) {
  Fixture f;
  f.dir.Write("a.txt", "cat a\n");
  f.dir.Write("b.txt", "cat b\n");
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 2u);
  struct MovesAOverB : ScriptedFrontEnd {
    const Fixture* fixture = nullptr;
    Answer AskReplace(const std::string& q) override {
      if (questions.empty()) std::filesystem::rename(fixture->Path("a.txt"), fixture->Path("b.txt"));
      ScriptedFrontEnd::AskReplace(q);
      return questions.size() == 1 ? Answer::No : Answer::Yes;
    }
  } replies;
  replies.fixture = &f;
  ReplaceRun run(f.store, *f.run.Compiled(), f.settings, replies);
  const ReplaceResult r = run.Run(Sj("dog"), false);
  EXPECT_EQ(replies.questions.size(), 2u);
  EXPECT_EQ(f.Bytes("b.txt"), "dog a\n");
  EXPECT_EQ(r.files, 1);
}

// Files cut short after the search: a row past the file's last line (the
// line count + 1 too) is named as changed since the search, and a file
// whose rows all lie past its end is neither written nor backed up,
// whether another file follows it or it is the last.
TEST(ReplaceRun, RowsPastAFilesEndAreNamedAndItsFileLeftAlone) {
  Fixture f;
  f.dir.Write("w.txt", "one\ncat\n");
  f.dir.Write("x.txt", "cat\ncat\n");
  f.dir.Write("y.txt", "one\ncat\n");
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 4u);
  f.dir.Write("w.txt", "one\n");
  f.dir.Write("x.txt", "cat\n");
  f.dir.Write("y.txt", "one\n");
  f.replies.answers = {Answer::All};
  const ReplaceResult r = f.Replace("dog");
  EXPECT_EQ(f.Bytes("x.txt"), "dog\n");
  EXPECT_EQ(r.files, 1);
  EXPECT_EQ(r.replaced, 1);
  // Each file that lost a hit's line is named, once.
  EXPECT_EQ(r.failed, 3);
  EXPECT_EQ(r.notes, (std::vector<std::string>{"検索後に変更されたため置換できない:" + f.Path("w.txt"),
                                               "検索後に変更されたため置換できない:" + f.Path("x.txt"),
                                               "検索後に変更されたため置換できない:" + f.Path("y.txt")}));
  EXPECT_EQ(f.Bytes("w.txt"), "one\n");
  EXPECT_EQ(f.Bytes("y.txt"), "one\n");
  EXPECT_FALSE(std::filesystem::exists(f.dir / "w.bak"));
  EXPECT_FALSE(std::filesystem::exists(f.dir / "y.bak"));
  EXPECT_TRUE(std::filesystem::exists(f.dir / "x.bak"));
}

// A hit's file that is gone, or is a folder now, when the run comes to it
// is named in the report and counted as failed; the others are replaced,
// whether they are looked at first or written straight away.
TEST(ReplaceRun, FilesGoneOrNoLongerFilesAreReportedAsFailed) {
  for (const bool dry_run : {false, true}) {
    Fixture f;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) f.dir.Write(name, "a cat\n");
    f.Search("cat");
    ASSERT_EQ(f.store.size(), 4u);
    std::filesystem::remove(f.dir / "a.txt");
    std::filesystem::remove(f.dir / "c.txt");
    std::filesystem::create_directory(f.dir / "c.txt");
    f.replies.answers = {Answer::All};
    const ReplaceResult r = f.Replace("dog", false, {}, dry_run);
    EXPECT_EQ(r.failed, 2) << dry_run;
    EXPECT_EQ(r.files, 2) << dry_run;
    EXPECT_EQ(r.notes, (std::vector<std::string>{
                           "読み込めないため置換できない:" + (f.dir / "a.txt").string() + " (No such file or directory)",
                           "読み込めないため置換できない:" + (f.dir / "c.txt").string() + " (Is a directory)"}))
        << dry_run;
    EXPECT_NE(r.summary.find("読み込めないため置換できない:" + (f.dir / "c.txt").string()), std::string::npos);
    EXPECT_NE(r.status.find("2 個のファイルは置換できませんでした."), std::string::npos);
    EXPECT_EQ(f.Bytes("b.txt"), dry_run ? "a cat\n" : "a dog\n");
    EXPECT_TRUE(std::filesystem::is_directory(f.dir / "c.txt"));
  }
}

// Two rows of a file that went away: one note, one failed file.
TEST(ReplaceRun, AGoneFileIsCountedOnceForAllItsRows) {
  Fixture f;
  f.dir.Write("a.txt", "a cat\nmore cat\n");
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 2u);
  std::filesystem::remove(f.dir / "a.txt");
  f.replies.answers = {Answer::All};
  const ReplaceResult r = f.Replace("dog");
  EXPECT_EQ(r.failed, 1);
  EXPECT_EQ(r.notes.size(), 1u);
  EXPECT_EQ(r.files, 0);
}

// The backup of a file that has other names (hard links) is a copy: a link
// would be one more name of the same file, changed by whatever is written
// through the other names later.
TEST(ReplaceRun, TheBackupOfAFileWithOtherNamesIsACopy) {
  Fixture f;
  const std::string path = f.dir.Write("a.txt", "a cat\n").string();
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(link(path.c_str(), (f.dir / "other.dat").c_str()), 0);
  f.Search("cat", "*.txt");
  ASSERT_EQ(f.store.size(), 1u);
  const ReplaceResult r = f.Replace("dog");
  EXPECT_EQ(r.files, 1);
  EXPECT_EQ(f.Bytes("a.txt"), "a dog\n");
  EXPECT_EQ(f.Bytes("a.bak"), "a cat\n");
  {
    std::ofstream other(f.dir / "other.dat", std::ios::binary | std::ios::app);
    other << "appended\n";
  }
  EXPECT_EQ(f.Bytes("other.dat"), "a cat\nappended\n");
  EXPECT_EQ(f.Bytes("a.bak"), "a cat\n");
  struct stat st;
  ASSERT_EQ(stat((f.dir / "a.bak").c_str(), &st), 0);
  EXPECT_EQ(st.st_nlink, 1u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Backups on a file system without hard links are copies; a file whose
// backup cannot be made at all is not written.
struct BackupFailure {
  explicit BackupFailure(int how) { g_backup_failure_for_testing = how; }
  ~BackupFailure() { g_backup_failure_for_testing = 0; }
};

TEST(ReplaceRun, ABackupIsCopiedWhenItCannotBeLinked) {
  Fixture f;
  const std::string path = f.dir.Write("a.txt", "a cat\n").string();
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  f.Search("cat");
  BackupFailure no_link(1);
  const ReplaceResult r = f.Replace("dog");
  EXPECT_EQ(r.files, 1);
  EXPECT_EQ(f.Bytes("a.txt"), "a dog\n");
  EXPECT_EQ(f.Bytes("a.bak"), "a cat\n");
  struct stat st;
  ASSERT_EQ(stat((f.dir / "a.bak").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_nlink, 1u);
}

TEST(ReplaceRun, NoBackupNoWrite) {
  Fixture f;
  f.dir.Write("a.txt", "a cat\n");
  f.dir.Write("b.txt", "b cat\n");
  f.Search("cat");
  BackupFailure none(2);
  f.replies.answers = {Answer::All};
  const ReplaceResult r = f.Replace("dog");
  EXPECT_EQ(f.Bytes("a.txt"), "a cat\n");
  EXPECT_EQ(f.Bytes("b.txt"), "b cat\n");
  EXPECT_EQ(r.files, 0);
  EXPECT_EQ(r.failed, 2);
  EXPECT_EQ(r.notes.front(), "バックアップを作成できないため置換できない:" + (f.dir / "a.txt").string());
  EXPECT_EQ(f.store[0].LineText, "a cat");
  int left = 0;
  for (const auto& e : std::filesystem::directory_iterator(f.dir.path())) (void)e, ++left;
  EXPECT_EQ(left, 2);  // no backup, no temporary
}

// A file without write permission is not replaced (a rename would get past
// it); a writer's temporary is never searched.
TEST(ReplaceRun, ReadOnlyFilesAreRefusedAndTemporariesNotSearched) {
  Fixture f;
  const std::string path = f.dir.Write("ro.txt", "cat\n").string();
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  f.dir.Write(".lorvek-" + std::to_string(getpid()) + "-abcdef", "cat\n");
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 1u);
  if (geteuid() == 0) GTEST_SKIP() << "root may write anything";
  const ReplaceResult r = f.Replace("dog");
  EXPECT_EQ(f.Bytes("ro.txt"), "cat\n");
  EXPECT_EQ(r.failed, 1);
  EXPECT_FALSE(std::filesystem::exists(f.dir / "ro.bak"));
}

// The last run can be undone once: every file still holding what the run
// wrote comes back from its backup (and the backup goes); a file changed
// since is left and named; a second undo finds nothing.
TEST(ReplaceUndo, TheLastRunComesBackOnceAndChangedFilesAreLeft) {
  Fixture f;
  const std::string journal = (f.program / "replace.journal").string();
  f.dir.Write("a.txt", "cat 1\n");
  f.dir.Write("b.txt", "cat 2\n");
  f.dir.Write("c.txt", "cat 3\n");
  f.Search("cat");
  ReplaceJournal j(journal);
  ReplaceRun run(f.store, *f.run.Compiled(), f.settings, f.replies);
  run.SetJournal(&j);
  f.replies.answers = {Answer::All};
  ASSERT_EQ(run.Run("dog", false).files, 3);
  EXPECT_TRUE(HasReplaceJournal(journal));
  f.dir.Write("b.txt", "edited by hand\n");
  const UndoResult r = UndoLastReplace(journal);
  EXPECT_EQ(r.restored, 2);
  EXPECT_EQ(f.Bytes("a.txt"), "cat 1\n");
  EXPECT_EQ(f.Bytes("c.txt"), "cat 3\n");
  EXPECT_EQ(f.Bytes("b.txt"), "edited by hand\n");
  EXPECT_EQ(r.left, (std::vector<std::string>{"置換後に変更されたため元に戻しません:" + (f.dir / "b.txt").string()}));
  EXPECT_FALSE(std::filesystem::exists(f.dir / "a.bak"));
  EXPECT_TRUE(std::filesystem::exists(f.dir / "b.bak"));  // its file was left: so is its backup
  EXPECT_FALSE(HasReplaceJournal(journal));
  EXPECT_TRUE(UndoLastReplace(journal).nothing);
}

// A file written twice in one run (its rows apart) comes back to its first
// text; a run killed before a file's new content was in place is undone up
// to that file.
TEST(ReplaceUndo, AFileWrittenTwiceAndAKilledRun) {
  Fixture f;
  const std::string journal = (f.program / "replace.journal").string();
  f.dir.Write("a.txt", "cat x\nno\ncat y\n");
  f.dir.Write("b.txt", "cat z\n");
  f.Search("cat");
  ASSERT_EQ(f.store.size(), 3u);
  f.store.Permute({0, 2, 1});  // a.txt, b.txt, a.txt: two loads of a.txt
  ReplaceJournal j(journal);
  ReplaceRun run(f.store, *f.run.Compiled(), f.settings, f.replies);
  run.SetJournal(&j);
  f.replies.answers = {Answer::All};
  run.Run("dog", false);
  ASSERT_EQ(f.Bytes("a.txt"), "dog x\nno\ndog y\n");
  EXPECT_EQ(UndoLastReplace(journal).restored, 3);
  EXPECT_EQ(f.Bytes("a.txt"), "cat x\nno\ncat y\n");
  EXPECT_EQ(f.Bytes("b.txt"), "cat z\n");
  // Killed in the middle: the journal names b.txt's write, which never landed.
  ReplaceJournal killed(journal);
  f.dir.Write("a.txt", "dog x\n");
  f.dir.Write("a.bak", "cat x\n");
  f.dir.Write("b.bak", "cat z\n");
  killed.Writing((f.dir / "a.txt").string(), (f.dir / "a.bak").string(), "dog x\n");
  killed.Written((f.dir / "a.txt").string());
  killed.Writing((f.dir / "b.txt").string(), (f.dir / "b.bak").string(), "dog z\n");
  killed.End();  // the process is gone, and its hold on the journal with it
  const UndoResult r = UndoLastReplace(journal);
  EXPECT_EQ(r.restored, 1);
  EXPECT_TRUE(r.left.empty());
  EXPECT_EQ(f.Bytes("a.txt"), "cat x\n");
  EXPECT_EQ(f.Bytes("b.txt"), "cat z\n");
}

// The undo journal's place and two files: a.txt, already replaced, with its
// backup a.bak beside it, and b.txt still as it was.
struct TwoFilesAndAJournal : Fixture {
  const std::string journal = (program / "replace.journal").string();
  const std::string a = dir.Write("a.txt", "dog a\n").string();
  const std::string b = dir.Write("b.txt", "cat b\n").string();
  TwoFilesAndAJournal() { dir.Write("a.bak", "cat a\n"); }
};

// A run that writes nothing (its only write failed) leaves the last run's
// undo; a run killed right after its first file was in place, before the
// journal said so, is the one undone.
TEST(ReplaceUndo, ARunThatWritesNothingKeepsTheLastUndo) {
  const TwoFilesAndAJournal f;
  const std::string &journal = f.journal, &a = f.a, &b = f.b;
  {
    ReplaceJournal first(journal);
    first.Writing(a, (f.dir / "a.bak").string(), "dog a\n");
    first.Written(a);
    first.End();
  }
  {
    ReplaceJournal failed(journal);
    failed.Writing(b, (f.dir / "b.bak").string(), "dog b\n");  // the write then fails
    failed.End();
  }
  EXPECT_TRUE(HasReplaceJournal(journal));
  EXPECT_FALSE(std::filesystem::exists(journal + ".new"));
  UndoResult r = UndoLastReplace(journal);
  EXPECT_EQ(r.restored, 1);
  EXPECT_EQ(f.Bytes("a.txt"), "cat a\n");

  f.dir.Write("b.bak", "cat b\n");
  {
    ReplaceJournal killed(journal);
    killed.Writing(b, (f.dir / "b.bak").string(), "dog b\n");
    f.dir.Write("b.txt", "dog b\n");  // in place; killed before the journal says so
  }
  EXPECT_TRUE(HasReplaceJournal(journal));
  r = UndoLastReplace(journal);
  EXPECT_EQ(r.restored, 1);
  EXPECT_EQ(f.Bytes("b.txt"), "cat b\n");
  EXPECT_FALSE(HasReplaceJournal(journal));
  EXPECT_FALSE(std::filesystem::exists(journal + ".new"));
}

// A word replaced by itself leaves its file alone: nothing written, no
// backup, no journal, so the run before stays the one undone.
TEST(ReplaceUndo, AWordReplacedByItselfWritesNothing) {
  Fixture f;
  const std::string journal = (f.program / "replace.journal").string();
  f.dir.Write("a.txt", "cat a\n");
  f.dir.Write("b.txt", "dog b\n");
  f.Search("cat");
  {
    ReplaceJournal j(journal);
    ReplaceRun run(f.store, *f.run.Compiled(), f.settings, f.replies);
    run.SetJournal(&j);
    f.replies.answers = {Answer::All};
    ASSERT_EQ(run.Run("dog", false).files, 1);
  }
  f.Search("dog");
  ReplaceJournal j(journal);
  ReplaceRun same(f.store, *f.run.Compiled(), f.settings, f.replies);
  same.SetJournal(&j);
  f.replies.answers = {Answer::All};
  same.Run("dog", false);
  EXPECT_FALSE(std::filesystem::exists(f.dir / "b.bak"));
  EXPECT_EQ(f.Bytes("b.txt"), "dog b\n");
  const UndoResult r = UndoLastReplace(journal);
  EXPECT_EQ(r.restored, 1);
  EXPECT_EQ(f.Bytes("a.txt"), "cat a\n");
}

// Undo on a disk with no room: the backup is renamed back (needing none),
// and the very file comes back (the backup was a link to it).
TEST(ReplaceUndo, ABackupIsRenamedBackOnADiskWithNoRoom) {
  Fixture f;
  const std::string journal = (f.program / "replace.journal").string();
  const std::string text(4096, 'x');
  f.dir.Write("a.txt", "cat\n" + text);
  struct stat before {};
  ASSERT_EQ(stat(f.Path("a.txt").c_str(), &before), 0);
  f.Search("cat");
  {
    ReplaceJournal j(journal);
    ReplaceRun run(f.store, *f.run.Compiled(), f.settings, f.replies);
    run.SetJournal(&j);
    f.replies.answers = {Answer::All};
    ASSERT_EQ(run.Run("dog", false).files, 1);
  }
  rlimit old_limit{};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  const rlimit tiny{16, old_limit.rlim_max};
  setrlimit(RLIMIT_FSIZE, &tiny);
  const UndoResult r = UndoLastReplace(journal);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(r.restored, 1);
  EXPECT_EQ(f.Bytes("a.txt"), "cat\n" + text);
  EXPECT_FALSE(std::filesystem::exists(f.dir / "a.bak"));
  struct stat after {};
  ASSERT_EQ(stat(f.Path("a.txt").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
}

// Undo takes a backup only where a run puts one (beside its file, under
// its stem); a run killed before its first file was in place leaves no
// backup behind once its journal is settled.
TEST(ReplaceUndo, BackupsOnlyBesideTheirFileAndNoneLeftOfAKilledRun) {
  const TwoFilesAndAJournal f;
  TempDir elsewhere;
  const std::string planted = elsewhere.Write("a.bak", "cat a\n").string();
  {
    ReplaceJournal j(f.journal);
    j.Writing(f.a, planted, "dog a\n");
    j.Written(f.a);
    j.End();
  }
  UndoResult r = UndoLastReplace(f.journal);
  EXPECT_EQ(r.restored, 0);
  EXPECT_EQ(r.failed.size(), 1u);
  EXPECT_EQ(f.Bytes("a.txt"), "dog a\n");
  std::filesystem::remove(f.journal);
  // Killed between the backup (a second name of b.txt) and the write.
  ASSERT_EQ(link(f.b.c_str(), (f.dir / "b.bak").c_str()), 0);
  {
    ReplaceJournal killed(f.journal);
    killed.Writing(f.b, (f.dir / "b.bak").string(), "dog b\n");
  }
  r = UndoLastReplace(f.journal);
  EXPECT_TRUE(r.nothing);
  EXPECT_FALSE(std::filesystem::exists(f.dir / "b.bak"));
  EXPECT_EQ(f.Bytes("b.txt"), "cat b\n");
}

// A journal that cannot take its place (a folder came to stand at its
// name after the run began) is kept apart and undone from there once the
// folder is gone; no later run starts over it.
TEST(ReplaceUndo, AJournalThatCannotTakeItsPlaceIsStillTheWayBack) {
  const TwoFilesAndAJournal f;
  const std::string &journal = f.journal, &a = f.a, &b = f.b;
  {
    ReplaceJournal j(journal);
    j.Writing(a, (f.dir / "a.bak").string(), "dog a\n");
    std::filesystem::create_directories(journal + "/inside");  // the journal's place is taken
    EXPECT_THROW(j.Written(a), std::system_error);
    j.End();
  }
  EXPECT_TRUE(HasReplaceJournal(journal));
  {
    ReplaceJournal next(journal);
    EXPECT_THROW(next.Writing(b, (f.dir / "b.bak").string(), "dog b\n"), JournalStartError);
    next.End();
  }
  EXPECT_TRUE(UndoLastReplace(journal).refused);  // the folder is named, nothing is touched
  EXPECT_EQ(f.Bytes("a.txt"), "dog a\n");
  std::filesystem::remove_all(journal);
  UndoResult r = UndoLastReplace(journal);
  EXPECT_EQ(r.restored, 1);
  EXPECT_EQ(f.Bytes("a.txt"), "cat a\n");
  EXPECT_FALSE(std::filesystem::exists(journal + ".new"));
}

// A journal is read, and a run's journal started, only where nobody else
// could have put or changed it: a link, a folder or a file others may
// write at any of its names, or a folder others may write, is refused by
// name; the planted entry's backup stays and its file is left as it is.
TEST(ReplaceUndo, OnlyAJournalOfTheUsersOwnIsTrusted) {
  struct Plant {
    const char* what;
    std::function<void(const std::string& journal, const test::TempDir& program)> plant;
  };
  const std::vector<Plant> plants = {
      {"a link at the journal's name",
       [](const std::string& j, const test::TempDir&) {
         std::filesystem::rename(j, j + ".real");
         std::filesystem::create_symlink(j + ".real", j);
       }},
      {"a link at the lock's name",
       [](const std::string& j, const test::TempDir&) {
         std::filesystem::remove(j + ".lock");
         std::filesystem::create_symlink(j + ".real", j + ".lock");
       }},
      {"a folder at the lock's name",
       [](const std::string& j, const test::TempDir&) {
         std::filesystem::remove(j + ".lock");
         std::filesystem::create_directory(j + ".lock");
       }},
      {"a link at the name of the journal apart",
       [](const std::string& j, const test::TempDir&) { std::filesystem::create_symlink(j, j + ".new"); }},
      {"a journal others may write", [](const std::string& j, const test::TempDir&) { chmod(j.c_str(), 0622); }},
      {"a journal a group of others may write",
       [](const std::string& j, const test::TempDir&) {
         chmod(j.c_str(), 0620);
         if (geteuid() == 0) EXPECT_EQ(chown(j.c_str(), 0, 65534), 0);
         else chmod(j.c_str(), 0622);  // (the user's own group may hold nobody else)
       }},
      {"a folder others may write",
       [](const std::string&, const test::TempDir& p) { chmod(p.path().c_str(), 0777); }},
      {"a journal of another user",
       [](const std::string& j, const test::TempDir&) {
         if (geteuid() == 0) EXPECT_EQ(chown(j.c_str(), 65534, 65534), 0);
         else chmod(j.c_str(), 0666);  // (only root may give a file away)
       }},
  };
  for (const Plant& plant : plants) {
    SCOPED_TRACE(plant.what);
    const TwoFilesAndAJournal f;
    {
      ReplaceJournal j(f.journal);
      j.Writing(f.a, (f.dir / "a.bak").string(), "dog a\n");
      j.Written(f.a);
      j.End();
    }
    plant.plant(f.journal, f.program);
    EXPECT_TRUE(HasReplaceJournal(f.journal));  // offered, so that the refusal is seen
    const UndoResult r = UndoLastReplace(f.journal);
    EXPECT_TRUE(r.refused);
    EXPECT_EQ(r.restored, 0);
    EXPECT_NE(r.report.find("置換の記録を信頼できないため使用しません: "), std::string::npos) << r.report;
    EXPECT_NE(r.report.find(f.program.path().string()), std::string::npos) << r.report;
    EXPECT_EQ(f.Bytes("a.txt"), "dog a\n");
    EXPECT_EQ(f.Bytes("a.bak"), "cat a\n");
    ReplaceJournal next(f.journal);
    EXPECT_THROW(next.Writing(f.b, (f.dir / "b.bak").string(), "dog b\n"), JournalStartError);
    next.End();
    chmod(f.program.path().c_str(), 0700);
  }
}

// The journal's entry is on disk before its file is written, and so is the
// header before the first entry.
TEST(ReplaceUndo, EveryEntryIsFlushedBeforeItsFileIsWritten) {
  const TwoFilesAndAJournal f;
  ReplaceJournal j(f.journal);
  const int before = g_journal_syncs_for_testing.load();
  j.Writing(f.a, (f.dir / "a.bak").string(), "dog a\n");
  EXPECT_EQ(g_journal_syncs_for_testing.load() - before, 2);
  j.Written(f.a);
  j.Writing(f.b, (f.dir / "b.bak").string(), "dog b\n");
  EXPECT_EQ(g_journal_syncs_for_testing.load() - before, 4);
  j.End();
}

// A journal that cannot be started (a folder full of things at the name of
// the run's journal, a disk with no room) stops the run before its first
// write: no file changes, no backup stays, the reason is said, and the
// lock is free for the next run (which would wait for ever otherwise).
TEST(ReplaceRun, AJournalThatCannotStartWritesNothing) {
  for (const bool full_disk : {false, true}) {
    SCOPED_TRACE(full_disk ? "no room" : "a folder at the journal's name");
    Fixture f;
    const std::string journal = (f.program / "replace.journal").string();
    f.dir.Write("a.txt", "cat a\n");
    f.dir.Write("b.txt", "cat b\n");
    f.Search("cat");
    if (!full_disk) f.program.Write("replace.journal.new/x", "");
    ReplaceJournal j(journal);
    ReplaceRun run(f.store, *f.run.Compiled(), f.settings, f.replies);
    run.SetJournal(&j);
    f.replies.answers = {Answer::All};
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    auto old_handler = signal(SIGXFSZ, SIG_IGN);
    if (full_disk) {
      const rlimit tiny{4, old_limit.rlim_max};  // less than the journal's first line
      setrlimit(RLIMIT_FSIZE, &tiny);
    }
    const ReplaceResult r = run.Run("dog", false);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(r.files, 0);
    EXPECT_EQ(r.failed, 1);
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_EQ(r.notes[0].rfind("置換の記録を作成できないため置換できない:", 0), 0u) << r.notes[0];
    EXPECT_NE(r.notes[0].find("replace.journal.new"), std::string::npos) << r.notes[0];
    EXPECT_EQ(f.Bytes("a.txt"), "cat a\n");
    EXPECT_EQ(f.Bytes("b.txt"), "cat b\n");
    EXPECT_FALSE(std::filesystem::exists(f.dir / "a.bak"));
    EXPECT_FALSE(std::filesystem::exists(f.dir / "b.bak"));
    EXPECT_FALSE(std::filesystem::exists(journal));
    EXPECT_EQ(std::filesystem::exists(journal + ".new"), !full_disk);  // the folder that was in the way
    std::filesystem::remove_all(journal + ".new");
    ReplaceRun again(f.store, *f.run.Compiled(), f.settings, f.replies);
    again.SetJournal(&j);
    f.replies.answers = {Answer::All};
    EXPECT_EQ(again.Run("dog", false).files, 2);
  }
}

// Undo reads a backup only as the run made it: a link put at its name is
// not followed (it could copy any file into this one), the file is named as
// not restored, and the journal keeps it for a later undo. Names are kept
// whole, so undo from another folder finds the files of a run given
// relative names.
TEST(ReplaceUndo, ALinkAtTheBackupsNameIsNotFollowedAndFailuresWait) {
  Fixture f;
  const std::string journal = (f.program / "replace.journal").string();
  const std::string secret = f.dir.Write("secret", "private\n").string();
  f.dir.Write("a.txt", "dog\n");
  f.dir.Write("b.txt", "dog\n");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(f.dir.path());
  ReplaceJournal j(journal);
  for (const char* name : {"a", "b"}) {
    const std::string file = std::string(name) + ".txt", backup = std::string(name) + ".bak";
    j.Writing(file, backup, "dog\n");
    j.Written(file);
  }
  j.End();
  std::filesystem::current_path(f.program.path());  // undo from elsewhere
  f.dir.Write("b.bak", "cat b\n");
  ASSERT_EQ(symlink(secret.c_str(), (f.dir / "a.bak").c_str()), 0);
  UndoResult r = UndoLastReplace(journal);
  EXPECT_EQ(r.restored, 1);
  EXPECT_EQ(f.Bytes("a.txt"), "dog\n");
  EXPECT_EQ(f.Bytes("b.txt"), "cat b\n");
  EXPECT_EQ(r.failed, (std::vector<std::string>{"元に戻せません:" + (f.dir / "a.txt").string()}));
  EXPECT_TRUE(HasReplaceJournal(journal));
  std::filesystem::remove(f.dir / "a.bak");
  f.dir.Write("a.bak", "cat a\n");
  r = UndoLastReplace(journal);
  std::filesystem::current_path(before);
  EXPECT_EQ(r.restored, 1);
  EXPECT_EQ(f.Bytes("a.txt"), "cat a\n");
  EXPECT_FALSE(HasReplaceJournal(journal));
}

}  // namespace
}  // namespace lorvek
