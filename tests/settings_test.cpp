#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <grp.h>
#include <pwd.h>

#include <map>
#include <optional>
#include <random>
#include <type_traits>
#include <variant>

#include "settings/history.h"
#include "settings/ini_file.h"
#include "settings/mask_sets.h"
#include "settings/own_files.h"
#include "settings/options.h"
#include "settings/settings_schema.h"
#include "search/work_folder.h"
#include "search/result_store.h"
#include "search/search_run.h"
#include "test_util.h"
#include "text/cp932.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;
namespace fs = std::filesystem;

TEST(IniFile, NamesIgnoreCaseQuotesAreStrippedAndNumbersFallBack) {
  TempDir dir;
  auto path = dir.Write("Lorvek.ini",
                        "; a comment\r\n[options]\r\nEditorIs=3\r\nFIndNext= \" x \" \r\nBad=12abc\r\n"
                        "Neg=-5\r\nLong=" + std::string(2000, 'v') + "\r\n");
  TIniGT ini(path.string());
  EXPECT_EQ(ini.ReadInt("Options", "Editoris", 0), 3);
  EXPECT_EQ(ini.ReadStr("OPTIONS", "FindNext", ""), " x ");
  EXPECT_EQ(ini.ReadInt("Options", "Bad", 7), 7);
  EXPECT_EQ(ini.ReadInt("Options", "Neg", 7), -5);
  EXPECT_TRUE(ini.ReadBool("Options", "Neg", false));
  EXPECT_EQ(ini.ReadStr("Options", "Long", "").size(), TIniGT::kMaxValueBytes);
  EXPECT_EQ(ini.ReadStr("Options", "Missing", "def"), "def");
}

TEST(IniFile, WritesKeepUnknownLinesAndCreateTheFile) {
  TempDir dir;
  std::string path = (dir / "Lorvek.ini").string();
  TIniGT ini(path);
  EXPECT_FALSE(ini.FileExists());
  EXPECT_EQ(ini.ReadInt("Options", "X", 4), 4);  // a missing file is empty
  ini.WriteInt("Options", "X", 5);
  EXPECT_EQ(test::ReadBytes(path), "[Options]\r\nX=5\r\n");
  test::WriteBytes(path, "; keep me\n[Other]\nunknown=1\n[Options]\nx=1\ngarbage line\n");
  ini.WriteInt("options", "X", 9);
  ini.WriteStr("Options", "New", "\"a b\"");
  ini.WriteStr("Fresh", "K", "v");
  EXPECT_EQ(test::ReadBytes(path),
            "; keep me\r\n[Other]\r\nunknown=1\r\n[Options]\r\nx=9\r\nNew=\"a b\"\r\ngarbage line\r\n\r\n"
            "[Fresh]\r\nK=v\r\n");
  TIniGT other(path);  // a second component sees the write at once
  EXPECT_EQ(other.ReadStr("Options", "New", ""), "a b");
}

TEST(IniFile, AKeyKeepsItsSpellingAndTheFirstOccurrenceWins) {
  TempDir dir;
  auto path = dir.Write("Lorvek.ini", "[Options]\r\nEditorIs=1\r\neditoris=2\r\n");
  TIniGT ini(path.string());
  EXPECT_EQ(ini.ReadInt("options", "EDITORIS", 0), 1);
  ini.WriteInt("OPTIONS", "editorIS", 7);
  EXPECT_EQ(test::ReadBytes(path), "[Options]\r\nEditorIs=7\r\neditoris=2\r\n");
  EXPECT_TRUE(SameIniName("FIndPrev", "FindPrev"));
  EXPECT_FALSE(SameIniName("Find", "Fin"));
}

TEST(IniFile, DamagedContentNeverLosesTheReadableKeys) {
  TempDir dir;
  std::string garbage;
  std::mt19937 rng(7);
  for (int i = 0; i < 5000; ++i) {
    char c = static_cast<char>(rng());
    garbage.push_back(c == '\r' || c == '\n' ? 'x' : c);
  }
  auto path = dir.Write("Lorvek.ini", "[A]\r\nk1=1\r\n[broken\r\nnoequals\r\n" + garbage + "\r\n" +
                                          std::string(10 << 20, 'x') + "\r\n[B]\r\nk2=2\r\n");
  TIniGT ini(path.string());
  EXPECT_EQ(ini.ReadInt("A", "k1", 0), 1);
  EXPECT_EQ(ini.ReadInt("B", "k2", 0), 2);
  ini.WriteInt("B", "k3", 3);
  EXPECT_EQ(ini.ReadInt("A", "k1", 0), 1);
  EXPECT_EQ(ini.ReadInt("B", "k3", 0), 3);
  EXPECT_TRUE(test::ReadBytes(path).find(garbage) != std::string::npos) << "damaged lines are kept";
}

TEST(IniFile, AKilledWriterLeavesTheOldFileOrTheNewOne) {
  TempDir dir;
  std::string path = (dir / "Lorvek.ini").string();
  const std::string filler(900, 'z');
  auto write_generation = [&](TIniGT& ini, const std::string& gen) {
    ini.BeginUpdate();
    for (int k = 0; k < 200; ++k) ini.WriteStr("S", "K" + std::to_string(k), gen + filler);
    ini.EndUpdate();
  };
  {
    TIniGT ini(path);
    write_generation(ini, "old");
  }
  std::mt19937 rng(42);
  for (int round = 0; round < 25; ++round) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      TIniGT ini(path);
      for (int i = 0;; ++i) write_generation(ini, "new" + std::to_string(i % 10));
    }
    usleep(1000 + rng() % 30000);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    // Every key present and all of one generation: never a mix, never cut.
    TIniGT check(path);
    std::string first = check.ReadStr("S", "K0", "");
    ASSERT_TRUE(first.size() == 3 + filler.size() || first.size() == 4 + filler.size()) << "round " << round;
    for (int k = 1; k < 200; ++k)
      ASSERT_TRUE(check.ReadStr("S", "K" + std::to_string(k), "") == first) << "round " << round << " key " << k;
  }
  TIniGT cleaner(path);  // binding removes what killed writers left behind
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string(), "Lorvek.ini");
}

TEST(IniFile, ReadAgainOnlyWhenChangedAndAMarkHidesNothing) {
  TempDir dir;
  auto path = dir.Write("Lorvek.ini", "\xEF\xBB\xBF[Options]\r\nFindMode=1\r\n");
  TIniGT ini(path.string());
  EXPECT_EQ(ini.ReadInt("Options", "FindMode", 0), 1);  // the mark does not hide the section
  // Another program replaces the file: the next read sees it.
  test::WriteBytes(path.string() + ".new", "[Options]\r\nFindMode=0\r\n");
  std::filesystem::rename(path.string() + ".new", path);
  EXPECT_EQ(ini.ReadInt("Options", "FindMode", 1), 0);
  // Many keys of a large file are read from one reading of it.
  std::string big = "[Options]\r\n";
  for (int i = 0; i < 200000; ++i) big += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
  test::WriteBytes(path, big);
  TIniGT large(path.string());
  for (int i = 0; i < 200; ++i) EXPECT_EQ(large.ReadInt("Options", "Key" + std::to_string(i), -1), i);
}

TEST(Settings, FreshStartDefaults) {
  TempDir dir;
  TIniGT ini((dir / "Lorvek.ini").string());
  Options o = ReadOptions(ini);
  for (bool on : {o.search.fuzzy_char, o.search.whole_word, o.search.find_sub, o.ed_add_mark, o.edit_exec_done,
                  o.search.xls_grep, o.search.office_xml_grep, o.search.pdf_grep})
    EXPECT_TRUE(on);
  EXPECT_TRUE(ReadBoolSetting(ini, "Viewer", "ShowTag"));
  EXPECT_EQ(o.search.code_cng_mode, 1000);
  EXPECT_EQ(o.prev_hight, 40);
  EXPECT_EQ(o.m_editor, Sj("その他"));
  EXPECT_EQ(o.editor_sw, "");
  EXPECT_EQ(o, Options{});  // the struct's own defaults are the schema's
  EXPECT_EQ(ReadStrSetting(ini, "Viewer", "Redo"), "Ctrl+Shift+Z");
  EXPECT_EQ(ReadIntSetting(ini, "Print", "LeftMargin"), 20);
  MaskSets m = ReadMaskSets(ini);
  EXPECT_EQ(m.box_items, (std::vector<std::string>{"*.*"}));
  EXPECT_FALSE(ini.FileExists());  // reading never writes
}

TEST(Settings, QuotedEditorSwitchAndArchiveMasks) {
  TempDir dir;
  auto path = dir.Write("Lorvek.ini", "[Options]\r\nEditorSw=\"/J\"\r\nArcFiles=*.LZH\r\n");
  TIniGT ini(path.string());
  Options o = ReadOptions(ini);
  EXPECT_EQ(o.editor_sw, "/J");
  EXPECT_EQ(ArchiveMasksFrom(o.arc_files), (std::vector<std::string>{"*.LZH"}));
  EXPECT_EQ(ArchiveMasksFrom("*.LZH,*.ZIP"), DefaultArchiveMasks());
  EXPECT_EQ(ArchiveMasksFrom(""), DefaultArchiveMasks());
  NullFrontEnd front;
  ResultStore store;
  SearchRun run(front, store, dir.path().string());
  o.filter_ext = "*.PPT,*.PDF";
  ApplyStartupOptions(o, run);
  EXPECT_EQ(run.WildMatch3().Mask(), (std::vector<std::string>{"*.PPT", "*.PDF"}));
  EXPECT_TRUE(run.options().fuzzy_char);
}

TEST(Settings, MaskSetsStopAtTheFirstEmptyOrBang) {
  TempDir dir;
  auto path = dir.Write("Lorvek.ini",
                        "[MaskSet]\r\nMask0=\"*.txt\"\r\nExcd0=1\r\nMask1=!\r\nMask2=*.c\r\nDefault=\r\n");
  TIniGT ini(path.string());
  MaskSets m = ReadMaskSets(ini);
  ASSERT_EQ(m.sets.size(), 1u);
  EXPECT_EQ(m.sets[0].mask, "*.txt");
  EXPECT_TRUE(m.sets[0].exclude);
  EXPECT_EQ(m.default_text, "*.*");
  EXPECT_EQ(m.box_items, (std::vector<std::string>{"*.txt", "*.*"}));
  WriteMaskSets(ini, {{"*.h", false}});
  EXPECT_EQ(ini.ReadStr("MaskSet", "Mask0", ""), "*.h");
  EXPECT_EQ(ini.ReadStr("MaskSet", "Mask1", "x"), "");
  EXPECT_NE(test::ReadBytes(path).find("Mask0=\"*.h\""), std::string::npos);
}

TEST(Settings, AllTwentyMaskSetRowsRoundTripThroughTheFile) {
  TempDir dir;
  auto path = dir.path() / "Lorvek.ini";
  std::vector<MaskSet> sets;
  for (size_t n = 0; n < kMaskSetRows; ++n) sets.push_back({" *.m" + std::to_string(n) + " ,x ", n % 3 == 1});
  {
    TIniGT ini(path.string());
    WriteMaskSets(ini, sets);
  }
  const std::string bytes = test::ReadBytes(path);
  for (size_t n = 0; n < kMaskSetRows; ++n) {
    const std::string i = std::to_string(n);
    EXPECT_NE(bytes.find("\r\nMask" + i + "=\" *.m" + i + " ,x \"\r\n"), std::string::npos) << n;
    EXPECT_NE(bytes.find("\r\nExcd" + i + "=" + (n % 3 == 1 ? "1" : "0") + "\r\n"), std::string::npos) << n;
  }
  EXPECT_EQ(bytes.find("Mask20"), std::string::npos);
  EXPECT_EQ(bytes.find("Default"), std::string::npos) << "the close-time list writes Default";
  TIniGT ini(path.string());
  const auto rows = ReadMaskSetRows(ini);
  EXPECT_EQ(std::vector<MaskSet>(rows.begin(), rows.end()), sets);
  MaskSets m = ReadMaskSets(ini);
  EXPECT_EQ(m.sets, sets);
  ASSERT_EQ(m.box_items.size(), kMaskSetRows + 1);
  EXPECT_EQ(m.box_items.back(), "*.*");

  // Fewer sets: the rows after them are written empty, and read back empty.
  WriteMaskSets(ini, {{"*.h", true}});
  const std::string fewer = test::ReadBytes(path);
  EXPECT_NE(fewer.find("\r\nMask1=\"\"\r\n"), std::string::npos);
  EXPECT_NE(fewer.find("\r\nMask19=\"\"\r\nExcd19=0\r\n"), std::string::npos);
  const auto after = ReadMaskSetRows(TIniGT(path.string()));
  EXPECT_EQ(after[0], (MaskSet{"*.h", true}));
  for (size_t n = 1; n < kMaskSetRows; ++n) EXPECT_EQ(after[n], MaskSet{}) << n;
}

TEST(Settings, MainWindowToolBarsHaveASectionEachWithEveryPlacementKey) {
  TempDir dir;
  auto path = dir.Write("Lorvek.ini", "[toolbar3]\r\nDockedTo=2\r\nVisible=0\r\n[Toolbar4]\r\nDockRow=x\r\n");
  TIniGT ini(path.string());
  MainToolBarsSection read = ReadSection<MainToolBarsSection>(ini);
  EXPECT_EQ(read.toolbar3.docked_to, 2);
  EXPECT_FALSE(read.toolbar3.visible);
  EXPECT_EQ(read.toolbar3.dock_row, 1) << "word and masks share the second row by default";
  EXPECT_EQ(read.toolbar4.dock_row, 1) << "a damaged key reads as the default";
  EXPECT_EQ(read.toolbar1.dock_row, 0);
  EXPECT_TRUE(read.toolbar1.visible);

  MainToolBarsSection bars;
  int v = 10;
  for (ToolBarPlacement* p : {&bars.toolbar1, &bars.toolbar2, &bars.toolbar3, &bars.toolbar4, &bars.word_prog}) {
    p->rev = v++;
    p->visible = v % 2 == 0;
    p->docked_to = v++;
    p->dock_row = v++;
    p->dock_pos = v++;
    p->float_left = v++;
    p->float_top = v++;
  }
  WriteSection(ini, bars);
  const std::string bytes = test::ReadBytes(path);
  EXPECT_NE(bytes.find("[Toolbar1]\r\nRev=10\r\nVisible=0\r\nDockedTo=11\r\nDockRow=12\r\nDockPos=13\r\n"
                       "FloatLeft=14\r\nFloatTop=15\r\n"),
            std::string::npos)
      << bytes;
  EXPECT_NE(bytes.find("[WordProg]\r\nRev=34\r\n"), std::string::npos) << bytes;
  for (const char* section : {"Toolbar2", "Toolbar4", "WordProg"})
    for (const char* key : {"Rev", "Visible", "DockedTo", "DockRow", "DockPos", "FloatLeft", "FloatTop"})
      EXPECT_TRUE(ini.HasKey(section, key)) << section << " " << key;
  EXPECT_EQ(ReadSection<MainToolBarsSection>(TIniGT(path.string())), bars);
  EXPECT_EQ(ReadSection<ViewerLayoutSection>(TIniGT(path.string())), ViewerLayoutSection{})
      << "the viewer's bars are other sections";
}

TEST(IniFile, UpdateGuardEndsTheUpdateWhenAnExceptionPasses) {
  TempDir dir;
  auto path = dir.path() / "Lorvek.ini";
  TIniGT ini(path.string());
  try {
    IniUpdate update(ini);
    ini.WriteInt("S", "Inside", 1);
    EXPECT_FALSE(fs::exists(path)) << "held back until the update ends";
    throw std::runtime_error("write failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_NE(test::ReadBytes(path).find("Inside=1"), std::string::npos) << "the update ended on the way out";
  ini.WriteInt("S", "After", 2);
  EXPECT_NE(test::ReadBytes(path).find("After=2"), std::string::npos) << "later writes go straight to the file";
  {
    IniUpdate outer(ini);
    {
      IniUpdate inner(ini);
      ini.WriteInt("S", "Nested", 3);
    }
    EXPECT_EQ(test::ReadBytes(path).find("Nested=3"), std::string::npos) << "the outer update still holds it";
  }
  EXPECT_NE(test::ReadBytes(path).find("Nested=3"), std::string::npos);
}

TEST(Settings, CloseTimeWriteListLeavesOtherMomentsAlone) {
  TempDir dir;
  auto path = dir.Write("Lorvek.ini", "[Options]\r\nArcFiles=*.ZIP\r\nReplIgnore=1\r\n");
  TIniGT ini(path.string());
  Options o = ReadOptions(ini);
  o.editor = "/usr/bin/my editor";
  o.arc_files = "*.LZH";
  o.repl_ignore = false;
  WriteSettingsAtClose(ini, o, true, "*.txt");
  std::string text = test::ReadBytes(path);
  EXPECT_NE(text.find("Editor=\"/usr/bin/my editor\""), std::string::npos);
  EXPECT_NE(text.find("EditorSw=\"\""), std::string::npos);
  EXPECT_NE(text.find("ArcFiles=*.ZIP"), std::string::npos);
  EXPECT_NE(text.find("ReplIgnore=1"), std::string::npos);
  EXPECT_NE(text.find("FuzzyChar=1"), std::string::npos);
  EXPECT_EQ(ini.ReadStr("MaskSet", "Default", ""), "*.txt");
  EXPECT_TRUE(ini.ReadBool("Viewer", "ShowTag", false));
}

TEST(History, DuplicatesTheLimitAndTheReadOnlyFile) {
  TempDir dir;
  auto path = dir.Write("Lorvek.ini", "[HistoryEx1]\r\n0=a\r\n1=b\r\n2=a\r\n3=NIL\r\n");
  TIniGT ini(path.string());
  THistoryEx h(ini, "HistoryEx1");
  h.LoadHistory();
  EXPECT_EQ(h.Entries(), (std::vector<std::string>{"a", "b"}));
  for (int i = 0; i < 10; ++i) h.AddHistory("w" + std::to_string(i));
  h.AddHistory("w5");
  EXPECT_EQ(h.Entries().size(), 10u);
  EXPECT_EQ(h.Entries()[0], "w5");
  EXPECT_EQ(std::count(h.Entries().begin(), h.Entries().end(), "w5"), 1);
  h.SaveHistory();
  EXPECT_EQ(ini.ReadStr("HistoryEx1", "0", ""), "w5");
  chmod(path.c_str(), 0444);
  h.AddHistory("later");
  h.SaveHistory();
  chmod(path.c_str(), 0644);
  EXPECT_EQ(ini.ReadStr("HistoryEx1", "0", ""), "w5");
  h.Clear();
  EXPECT_EQ(ini.ReadStr("HistoryEx1", "0", "x"), "");
  EXPECT_TRUE(h.Entries().empty());
}

TEST(IniFile, ReadOnlyFileIsMadeWritableAtStartUpOnlyWhenAsked) {
  TempDir dir;
  auto path = dir.Write("Lorvek.ini", "[A]\r\nk=1\r\n");
  chmod(path.c_str(), 0444);
  TIniGT reader(path.string(), false);
  EXPECT_TRUE(reader.IsReadOnly());
  TIniGT owner(path.string());
  EXPECT_FALSE(owner.IsReadOnly());
}

// The program's own settings steer what it runs (filters, editors): a file
// others may write, or a link at its name, is neither read nor written
// (the defaults hold and the reason is told); a file of the user's own is
// written for the user alone.
TEST(IniFile, TheProgramsOwnSettingsAreUsedOnlyWhenTheUsersAlone) {
  TempDir d;
  const std::string path = (d / "Lorvek.ini").string();
  d.Write("Lorvek.ini", "[Options]\r\nFilterName=evil\r\n");
  chmod(path.c_str(), 0666);
  {
    TIniGT ini(path, true, /*own_file=*/true);
    EXPECT_EQ(ini.ReadStr("Options", "FilterName", "none"), "none");
    EXPECT_NE(ini.Distrust(), "");
    ini.WriteStr("Options", "FilterName", "mine");
    EXPECT_EQ(test::ReadBytes(d / "Lorvek.ini"), "[Options]\r\nFilterName=evil\r\n");
  }
  fs::remove(path);
  const std::string elsewhere = (d / "elsewhere").string();
  d.Write("elsewhere", "[Options]\r\nFilterName=evil\r\n");
  fs::create_symlink(elsewhere, path);
  {
    TIniGT ini(path, true, /*own_file=*/true);
    EXPECT_EQ(ini.ReadStr("Options", "FilterName", "none"), "none");
    ini.WriteStr("Options", "FilterName", "mine");
    EXPECT_EQ(test::ReadBytes(d / "elsewhere"), "[Options]\r\nFilterName=evil\r\n");
    EXPECT_TRUE(fs::is_symlink(path));
  }
  fs::remove(path);
  {
    TIniGT ini(path, true, /*own_file=*/true);
    ini.WriteStr("Options", "FilterName", "mine");
    EXPECT_EQ(ini.Distrust(), "");
  }
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(TIniGT(path, true, true).ReadStr("Options", "FilterName", "none"), "mine");
  // A file given by the user (lorvek-grep --ini) is the user's choice: read as it is.
  chmod(path.c_str(), 0666);
  EXPECT_EQ(TIniGT(path, false).ReadStr("Options", "FilterName", "none"), "mine");
}

// Group write permission lets nobody else in when the group is the user's
// private one (named after the user, nobody else in it): a umask of 002
// must not lock the user out of their own settings. Any other group may.
TEST(OwnFiles, OnlyTheUsersPrivateGroupMayWrite) {
  TempDir d;
  const std::string path = d.Write("replace.journal", "x").string();
  chmod(path.c_str(), 0660);
  const passwd* pw = getpwuid(geteuid());
  const group* gr = pw ? getgrgid(pw->pw_gid) : nullptr;
  ASSERT_EQ(chown(path.c_str(), geteuid(), pw ? pw->pw_gid : getegid()), 0);
  const bool private_group = gr && std::string(gr->gr_name) == pw->pw_name && !gr->gr_mem[0];
  EXPECT_EQ(OwnFileDistrust(path).empty(), private_group);
  if (geteuid() != 0) GTEST_SKIP() << "only root may give a file another group";
  ASSERT_EQ(chown(path.c_str(), 0, 65534), 0);
  EXPECT_NE(OwnFileDistrust(path), "");
  chmod(path.c_str(), 0640);
  EXPECT_EQ(OwnFileDistrust(path), "");
}

TEST(WorkFolder, CreatedPrivateAndRemovedAtExit) {
  TempDir root;
  WorkFolder w(root.path().string());
  EXPECT_EQ(w.Folder(), root.path().string() + "/Lorvek-" + std::to_string(getuid()));
  EXPECT_EQ(w.WorkFile(), w.Folder() + "/Temp.txt");
  EXPECT_FALSE(w.Exists());
  w.Ensure();
  EXPECT_EQ(w.WorkFile(), w.Folder() + "/____temp.txt");
  struct stat st;
  ASSERT_EQ(stat(w.Folder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  test::WriteBytes(w.Folder() + "/member.txt", "x");
  EXPECT_TRUE(w.Remove());
  EXPECT_FALSE(w.Exists());
}

TEST(WorkFolder, RefusesALinkOrAForeignOwner) {
  TempDir root, elsewhere;
  WorkFolder w(root.path().string());
  std::filesystem::create_directory_symlink(elsewhere.path(), w.Folder());
  EXPECT_THROW(w.Ensure(), EWorkFolder);
  EXPECT_FALSE(w.Remove());  // and never deletes through the link
  EXPECT_TRUE(std::filesystem::exists(elsewhere.path()));
  std::filesystem::remove(w.Folder());
  if (getuid() == 0) {
    std::filesystem::create_directory(w.Folder());
    ASSERT_EQ(chown(w.Folder().c_str(), 4242, 4242), 0);
    EXPECT_THROW(w.Ensure(), EWorkFolder);
  }
}

// A run killed before it could clean up leaves Lorvek-UID-PID behind; the
// next start removes those of processes that are gone, and nothing else.
TEST(WorkFolder, LeftoversOfEndedRunsAreRemoved) {
  TempDir root, elsewhere;
  const pid_t dead = fork();
  if (dead == 0) _exit(0);
  ASSERT_GT(dead, 0);
  waitpid(dead, nullptr, 0);
  const std::string uid = std::to_string(getuid());
  const fs::path gone = root / ("Lorvek-" + uid + "-" + std::to_string(dead));
  const fs::path alive = root / ("Lorvek-" + uid + "-" + std::to_string(getppid()));
  const fs::path other_user = root / ("Lorvek-" + std::to_string(getuid() + 1) + "-" + std::to_string(dead));
  const fs::path shared = root / ("Lorvek-" + uid);
  const fs::path not_a_pid = root / ("Lorvek-" + uid + "-12x");
  for (const fs::path& p : {gone, alive, other_user, shared, not_a_pid}) {
    fs::create_directories(p);
    test::WriteBytes(p / "member.txt", "x");
  }
  // A link with a dead process's name: the link may go, never what it points at.
  test::WriteBytes(elsewhere / "keep.txt", "x");
  const pid_t dead2 = fork();
  if (dead2 == 0) _exit(0);
  waitpid(dead2, nullptr, 0);
  fs::create_directory_symlink(elsewhere.path(), root / ("Lorvek-" + uid + "-" + std::to_string(dead2)));
  EXPECT_EQ(WorkFolder::RemoveLeftovers(root.path().string()), 1);
  EXPECT_FALSE(fs::exists(gone));
  for (const fs::path& p : {alive, other_user, shared, not_a_pid}) EXPECT_TRUE(fs::exists(p / "member.txt")) << p;
  EXPECT_TRUE(fs::exists(elsewhere / "keep.txt"));
}

// ---- the sections other than [Options] ----

// One key as the file must hold it: the member, and the line of a file that
// holds nothing else after the member was written with a non-default value.
struct KeyLine {
  SectionMember member;
  const char* file;
};

// A value of the member that is not its default (each key gets a different
// number, so two keys written under each other's name are told apart).
template <class S>
void SetOtherThanDefault(S& s, const SectionMember& m, int n) {
  std::visit(
      [&](auto p) {
        using P = decltype(p);
        if constexpr (std::is_same_v<P, bool S::*>) s.*p = !(s.*p);
        else if constexpr (std::is_same_v<P, int S::*>) s.*p = 50 + n;
        else if constexpr (std::is_same_v<P, std::optional<int> S::*>) s.*p = 50 + n;
        else if constexpr (std::is_same_v<P, std::string S::*>) s.*p = "v" + std::to_string(n);
      },
      m);
}

// Each key alone: written under its own section and name with its value,
// nothing else written, and read back as written.
template <class S>
void ExpectEachKeyAlone(const std::vector<KeyLine>& lines) {
  int n = 0;
  for (const KeyLine& k : lines) {
    SCOPED_TRACE(k.file);
    TempDir dir;
    TIniGT ini((dir / "Lorvek.ini").string());
    S s;
    SetOtherThanDefault(s, k.member, n++);
    EXPECT_NE(s, S{});
    WriteSection(ini, s, {k.member});
    EXPECT_EQ(test::ReadBytes(dir / "Lorvek.ini"), k.file);
    EXPECT_EQ(ReadSection<S>(ini), s);
  }
}

TEST(SectionSettings, FreshStartDefaultsAreTheTablesAndTheStructs) {
  TempDir dir;
  TIniGT ini((dir / "Lorvek.ini").string());
  const FindSection f = ReadSection<FindSection>(ini);
  EXPECT_EQ(f, FindSection{});
  // On: From, ReplFor, QueryRepl, ForNext; every other switch off.
  EXPECT_TRUE(f.from && f.repl_for && f.query_repl && f.for_next);
  EXPECT_FALSE(f.find_area || f.match_case || f.whole_word || f.regexp || f.fuzzy || f.from_top || f.from_sel ||
               f.for_prev);
  const PrintSection p = ReadSection<PrintSection>(ini);
  EXPECT_EQ(p, PrintSection{});
  EXPECT_EQ(p.header, "");
  EXPECT_EQ(p.footer, "");
  EXPECT_EQ(p.header_align + p.footer_align + p.column_count, 0);
  for (int m : {p.left_margin, p.right_margin, p.top_margin, p.bottom_margin}) EXPECT_EQ(m, 20);
  EXPECT_FALSE(p.line_no);
  const ViewerSection v = ReadSection<ViewerSection>(ini);
  EXPECT_EQ(v, ViewerSection{});
  EXPECT_TRUE(v.show_tag && v.toolbar1 && v.toolbar2 && v.st_view);
  EXPECT_EQ(v.search, 0);
  EXPECT_EQ(v.prev_h, 120);
  EXPECT_EQ(v.last_open, "");
  EXPECT_EQ(v.last_command, "");
  EXPECT_EQ(v.shortcuts.size(), 31u);
  EXPECT_EQ(v.shortcuts.at("Redo"), "Ctrl+Shift+Z");
  EXPECT_EQ(v.shortcuts.at("FIndPrev"), "Shift+F3");
  EXPECT_EQ(v.shortcuts.at("MacroPlay"), "Ctrl+Shift+P");
  EXPECT_EQ(v.shortcuts.at("SaveAs"), "");
  EXPECT_EQ(v.shortcuts.at("Delete"), "");
  const DesktopSection d = ReadSection<DesktopSection>(ini);
  EXPECT_EQ(d, DesktopSection{});
  EXPECT_EQ(d.view_top, 100);
  EXPECT_EQ(d.view_left, 100);
  EXPECT_EQ(d.view_height, 480);
  EXPECT_EQ(d.view_width, 640);
  for (const auto& field : {d.main_flags, d.main_show, d.main_max_x, d.main_max_y, d.main_x, d.main_y,
                            d.main_x_size, d.main_y_size})
    EXPECT_FALSE(field.has_value());  // the window's designed placement
  EXPECT_EQ(d.main_tool_bars, "");
  EXPECT_EQ(ViewerShortcutNames().front(), "Save");
  EXPECT_EQ(ViewerShortcutNames().size(), 31u);
  EXPECT_FALSE(ini.FileExists());  // reading never writes
}

TEST(SectionSettings, EveryKeyHasOneRowOfItsKind) {
  std::map<std::string, int> rows;
  for (const SettingKey& k : SettingKeys()) {
    if (k.field.index() == 0) continue;
    ++rows[k.section];
    EXPECT_FALSE(k.member) << k.key;
    const bool is_bool = std::holds_alternative<bool FindSection::*>(k.field) ||
                         std::holds_alternative<bool PrintSection::*>(k.field) ||
                         std::holds_alternative<bool ViewerSection::*>(k.field) ||
                         std::holds_alternative<bool ViewerLayoutSection::*>(k.field) ||
                         (std::holds_alternative<ToolBarMember>(k.field) &&
                          std::holds_alternative<bool ToolBarPlacement::*>(std::get<ToolBarMember>(k.field).field));
    const bool is_str = std::holds_alternative<std::string PrintSection::*>(k.field) ||
                        std::holds_alternative<std::string ViewerSection::*>(k.field) ||
                        std::holds_alternative<std::string DesktopSection::*>(k.field) ||
                        std::holds_alternative<std::string ViewerLayoutSection::*>(k.field) ||
                        std::holds_alternative<ViewerShortcutKey>(k.field);
    EXPECT_EQ(k.kind, is_bool ? ValueKind::Bool : is_str ? ValueKind::Str : ValueKind::Int) << k.key;
    if (!std::holds_alternative<ViewerShortcutKey>(k.field)) EXPECT_EQ(SettingKeyOf(k.field), &k) << k.key;
  }
  EXPECT_EQ(rows, (std::map<std::string, int>{{"Find", 12},
                                              {"Print", 10},
                                              {"Viewer", 38},
                                              {"Viewew", 1},
                                              {"Desktop", 13},
                                              {"TBar", 7},
                                              {"ABar", 7},
                                              {"ViewClmn.Columns", 1},
                                              {"ViewClmn.Sort", 2},
                                              {"Columns", 1},
                                              {"Toolbar1", 7},
                                              {"Toolbar2", 7},
                                              {"ToolBar3", 7},
                                              {"Toolbar4", 7},
                                              {"WordProg", 7}}));
}

// The viewer's layout: each tool bar's placement under its own section,
// the columns under theirs, and a missing key reads as its default.
TEST(SectionSettings, TheViewerLayoutGoesToItsSections) {
  TempDir dir;
  TIniGT ini((dir / "Lorvek.ini").string());
  ViewerLayoutSection fresh = ReadSection<ViewerLayoutSection>(ini);
  EXPECT_EQ(fresh, ViewerLayoutSection{});
  EXPECT_TRUE(fresh.tbar.visible && fresh.sort_ascending);
  ViewerLayoutSection l;
  l.tbar.docked_to = 2;
  l.tbar.dock_row = 5;
  l.abar.visible = false;
  l.abar.float_top = 33;
  l.column_sizes = "40,200";
  l.sort_ascending = false;
  l.sort_col = 1;
  l.column_order = "1,0";
  WriteSection(ini, l);
  EXPECT_EQ(ini.ReadInt("TBar", "DockedTo", 0), 2);
  EXPECT_EQ(ini.ReadInt("TBar", "DockRow", 0), 5);
  EXPECT_EQ(ini.ReadStr("ABar", "Visible", ""), "0");
  EXPECT_EQ(ini.ReadInt("ABar", "FloatTop", 0), 33);
  EXPECT_EQ(ini.ReadInt("ABar", "DockedTo", 9), 0);  // the other bar's value stays its own
  EXPECT_EQ(ini.ReadStr("ViewClmn.Columns", "Sizes", ""), "40,200");
  EXPECT_EQ(ini.ReadStr("ViewClmn.Sort", "Ascending", ""), "0");
  EXPECT_EQ(ini.ReadStr("Columns", "Order", ""), "1,0");
  EXPECT_EQ(ReadSection<ViewerLayoutSection>(TIniGT((dir / "Lorvek.ini").string())), l);
}

TEST(SectionSettings, EachKeyIsWrittenUnderItsSectionAndName) {
  ExpectEachKeyAlone<FindSection>({
      {&FindSection::find_area, "[Find]\r\nFindArea=1\r\n"},
      {&FindSection::match_case, "[Find]\r\nMatchCase=1\r\n"},
      {&FindSection::whole_word, "[Find]\r\nWholeWord=1\r\n"},
      {&FindSection::regexp, "[Find]\r\nRegExp=1\r\n"},
      {&FindSection::fuzzy, "[Find]\r\nFuzzy=1\r\n"},
      {&FindSection::from, "[Find]\r\nFrom=0\r\n"},
      {&FindSection::from_top, "[Find]\r\nFromTop=1\r\n"},
      {&FindSection::repl_for, "[Find]\r\nReplFor=0\r\n"},
      {&FindSection::from_sel, "[Find]\r\nFromSel=1\r\n"},
      {&FindSection::query_repl, "[Find]\r\nQueryRepl=0\r\n"},
      {&FindSection::for_prev, "[Find]\r\nForPrev=1\r\n"},
      {&FindSection::for_next, "[Find]\r\nForNext=0\r\n"},
  });
  ExpectEachKeyAlone<PrintSection>({
      {&PrintSection::header, "[Print]\r\nHeader=v0\r\n"},
      {&PrintSection::footer, "[Print]\r\nFooter=v1\r\n"},
      {&PrintSection::header_align, "[Print]\r\nHeaderAlign=52\r\n"},
      {&PrintSection::footer_align, "[Print]\r\nFooterAlign=53\r\n"},
      {&PrintSection::left_margin, "[Print]\r\nLeftMargin=54\r\n"},
      {&PrintSection::right_margin, "[Print]\r\nRightMargin=55\r\n"},
      {&PrintSection::top_margin, "[Print]\r\nTopMargin=56\r\n"},
      {&PrintSection::bottom_margin, "[Print]\r\nBottomMargin=57\r\n"},
      {&PrintSection::column_count, "[Print]\r\nColumnCount=58\r\n"},
      {&PrintSection::line_no, "[Print]\r\nLineNo=1\r\n"},
  });
  ExpectEachKeyAlone<ViewerSection>({
      {&ViewerSection::show_tag, "[Viewer]\r\nShowTag=0\r\n"},
      {&ViewerSection::search, "[Viewer]\r\nSearch=51\r\n"},
      {&ViewerSection::prev_h, "[Viewer]\r\nPrevH=52\r\n"},
      {&ViewerSection::toolbar1, "[Viewer]\r\nToolbar1=0\r\n"},
      {&ViewerSection::toolbar2, "[Viewer]\r\nToolbar2=0\r\n"},
      {&ViewerSection::st_view, "[Viewer]\r\nStView=0\r\n"},
      {&ViewerSection::last_open, "[Viewer]\r\nLastOpen=v6\r\n"},
      {&ViewerSection::last_command, "[Viewew]\r\nLastCommad=v7\r\n"},
  });
  ExpectEachKeyAlone<DesktopSection>({
      {&DesktopSection::view_top, "[Desktop]\r\nView.Top=50\r\n"},
      {&DesktopSection::view_left, "[Desktop]\r\nView.Left=51\r\n"},
      {&DesktopSection::view_height, "[Desktop]\r\nView.Height=52\r\n"},
      {&DesktopSection::view_width, "[Desktop]\r\nView.Width=53\r\n"},
      {&DesktopSection::main_flags, "[Desktop]\r\nMainForm.Flags=54\r\n"},
      {&DesktopSection::main_show, "[Desktop]\r\nMainForm.Show=55\r\n"},
      {&DesktopSection::main_max_x, "[Desktop]\r\nMainForm.MaxX=56\r\n"},
      {&DesktopSection::main_max_y, "[Desktop]\r\nMainForm.MaxY=57\r\n"},
      {&DesktopSection::main_x, "[Desktop]\r\nMainForm.X=58\r\n"},
      {&DesktopSection::main_y, "[Desktop]\r\nMainForm.Y=59\r\n"},
      {&DesktopSection::main_x_size, "[Desktop]\r\nMainForm.XSize=60\r\n"},
      {&DesktopSection::main_y_size, "[Desktop]\r\nMainForm.YSize=61\r\n"},
      {&DesktopSection::main_tool_bars, "[Desktop]\r\nMainForm.ToolBars=v12\r\n"},
  });
}

TEST(SectionSettings, WholeSectionsRoundTripThroughTheFile) {
  TempDir dir;
  auto path = dir.Write("Lorvek.ini", "[Find]\r\n; kept\r\nUnknown=7\r\n");
  TIniGT ini(path.string());
  FindSection f;
  f.find_area = f.whole_word = f.from_sel = true;
  f.from = f.query_repl = false;
  WriteSection(ini, f);
  PrintSection p;
  p.header = Sj("%f ページ");
  p.footer = "%p";
  p.header_align = 2;
  p.footer_align = 1;
  p.left_margin = 5;
  p.right_margin = 6;
  p.top_margin = 7;
  p.bottom_margin = 100;
  p.column_count = 2;
  p.line_no = true;
  WriteSection(ini, p);
  ViewerSection v;
  v.show_tag = false;
  v.prev_h = 33;
  v.toolbar2 = false;
  v.last_open = "/home/u/my docs";
  v.last_command = "make -k";
  v.shortcuts["Save"] = "Ctrl+W";
  v.shortcuts["Delete"] = "Del";
  WriteSection(ini, v);
  DesktopSection d;
  d.view_top = -20;
  d.view_width = 1000;
  d.main_show = 3;
  d.main_x_size = 1200;
  WriteSection(ini, d);
  TIniGT again(path.string());
  EXPECT_EQ(ReadSection<FindSection>(again), f);
  EXPECT_EQ(ReadSection<PrintSection>(again), p);
  EXPECT_EQ(ReadSection<ViewerSection>(again), v);
  EXPECT_EQ(ReadSection<DesktopSection>(again), d);
  const std::string text = test::ReadBytes(path);
  EXPECT_NE(text.find("; kept\r\nUnknown=7\r\n"), std::string::npos);
  EXPECT_NE(text.find("[Viewer]\r\nShowTag=0\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nSave=Ctrl+W\r\n"), std::string::npos);
  EXPECT_NE(text.find("[Viewew]\r\nLastCommad=make -k\r\n"), std::string::npos);
  // An unset placement field is not written: the window keeps its own.
  EXPECT_EQ(text.find("MainForm.X="), std::string::npos);
  EXPECT_NE(text.find("MainForm.XSize=1200\r\n"), std::string::npos);
}

TEST(SectionSettings, DamagedValuesReadAsTheDefaultAndNamesIgnoreCase) {
  TempDir dir;
  auto path = dir.Write("Lorvek.ini",
                        "[print]\r\nleftmargin=12abc\r\nRIGHTMARGIN=30\r\nLineNo=2\r\n"
                        "[desktop]\r\nMainForm.X=wide\r\nmainform.y=-5\r\nView.Top=\r\n"
                        "[Find]\r\nfrom=0\r\nforNEXT=x\r\n[Viewer]\r\nredo=\r\n");
  TIniGT ini(path.string());
  const PrintSection p = ReadSection<PrintSection>(ini);
  EXPECT_EQ(p.left_margin, 20);
  EXPECT_EQ(p.right_margin, 30);
  EXPECT_TRUE(p.line_no);  // any value but 0 is on
  const DesktopSection d = ReadSection<DesktopSection>(ini);
  EXPECT_FALSE(d.main_x.has_value());
  EXPECT_EQ(d.main_y, -5);
  EXPECT_EQ(d.view_top, 100);
  const FindSection f = ReadSection<FindSection>(ini);
  EXPECT_FALSE(f.from);
  EXPECT_TRUE(f.for_next);
  EXPECT_EQ(ReadSection<ViewerSection>(ini).shortcuts.at("Redo"), "");  // stored empty: no shortcut
}

TEST(SectionSettings, ShortcutsAndSingleOptionKeys) {
  TempDir dir;
  auto path = dir / "Lorvek.ini";
  TIniGT ini(path.string());
  WriteViewerShortcuts(ini, {{"Redo", "Ctrl+Y"}, {"NoSuchCommand", "F9"}, {"ShowTag", "0"}});
  EXPECT_EQ(test::ReadBytes(path), "[Viewer]\r\nRedo=Ctrl+Y\r\n");
  Options o;
  o.code_repl_ignore = true;
  o.editor = "/usr/bin/my editor";
  o.arc_files = "*.LZH";
  WriteOptionKeys(ini, o, {&Options::code_repl_ignore, &Options::editor, &Options::arc_files});
  EXPECT_EQ(test::ReadBytes(path),
            "[Viewer]\r\nRedo=Ctrl+Y\r\n\r\n[Options]\r\nEditor=\"/usr/bin/my editor\"\r\nArcFiles=*.LZH\r\n"
            "CodeReplIgnore=1\r\n");
  EXPECT_STREQ(SettingKeyOf(OptionMember(&Options::html_repl_ignore))->key, "HtmlReplIgnore");
  EXPECT_EQ(SettingKeyOf(OptionMember()), nullptr);
}

}  // namespace
}  // namespace lorvek
