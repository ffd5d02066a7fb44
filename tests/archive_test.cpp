// Archives and filter programs: formats, hostile names and sizes, the
// members' search through the work folder, quoting on the shell's command
// line, and a filter that never ends.
#include <fcntl.h>
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

#include "settings/options.h"
#include "search/open_path.h"
#include "search_harness.h"
#include "sources/archive_paths.h"
#include "sources/archive_reader.h"
#include "sources/filter_source.h"
#include "test_util.h"
#include "text/cp932.h"
#include "text/foreign_names.h"

namespace lorvek {
namespace {

using test::FixturePath;
using test::Harness;
using test::Sj;
using test::TempDir;
namespace fs = std::filesystem;

std::string Arc(const char* name) { return FixturePath("archives").string() + "/" + name; }

// A ustar archive whose member names are the given bytes, as an old tar
// writes them (no encoding said).
std::string TarWithRawNames(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string out;
  auto octal = [](char* field, size_t width, uint64_t value) {
    std::snprintf(field, width, "%0*llo", static_cast<int>(width - 1), static_cast<unsigned long long>(value));
  };
  for (const auto& [name, data] : members) {
    char h[512] = {};
    std::memcpy(h, name.data(), std::min<size_t>(name.size(), 100));
    octal(h + 100, 8, 0644);
    octal(h + 108, 8, 0);
    octal(h + 116, 8, 0);
    octal(h + 124, 12, data.size());
    octal(h + 136, 12, 1704164646);
    h[156] = '0';
    std::memcpy(h + 257, "ustar", 6);
    std::memcpy(h + 263, "00", 2);
    std::memset(h + 148, ' ', 8);
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    std::snprintf(h + 148, 8, "%06o", sum);
    out.append(h, 512);
    out += data;
    out.append((512 - data.size() % 512) % 512, '\0');
  }
  out.append(1024, '\0');
  return out;
}

// A tar (ASCII names) compressed with xz by libarchive; empty when this
// libarchive cannot write xz.
std::string TarXz(const std::vector<std::pair<std::string, std::string>>& members) {
  struct archive* a = archive_write_new();
  archive_write_set_format_ustar(a);
  if (archive_write_add_filter_xz(a) != ARCHIVE_OK) {
    archive_write_free(a);
    return "";
  }
  std::vector<char> buffer(1 << 20);
  size_t used = 0;
  archive_write_open_memory(a, buffer.data(), buffer.size(), &used);
  for (const auto& [name, data] : members) {
    struct archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, name.c_str());
    archive_entry_set_size(e, static_cast<la_int64_t>(data.size()));
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_write_header(a, e);
    archive_write_data(a, data.data(), data.size());
    archive_entry_free(e);
  }
  archive_write_close(a);
  archive_write_free(a);
  return std::string(buffer.data(), used);
}

struct Seen : ArchiveVisitor {
  std::vector<std::string> extracted, failed, names;
  std::map<std::string, std::string> contents;
  std::map<std::string, int64_t> mtimes;
  size_t stop_after = SIZE_MAX;
  bool Wanted(const ArchiveMember& m) override {
    names.push_back(m.path);
    return true;
  }
  void Extracted(const ArchiveMember& m, const std::string& file) override {
    extracted.push_back(m.path);
    contents[m.path] = test::ReadBytes(file);
    mtimes[m.path] = m.mtime;
    fs::remove(file);
  }
  void Failed(const ArchiveMember& m, const std::string& reason) override { failed.push_back(m.path + ": " + reason); }
  bool Stop() const override { return extracted.size() >= stop_after; }
};

Seen Visit(const std::string& archive, const ExtractLimits& limits = {}) {
  TempDir dest;
  Seen seen;
  VisitArchive(archive, dest.path().string(), seen, limits);
  return seen;
}

TEST(ArchiveFormats, ByExtensionAndSelfExtracting) {
  const std::pair<const char*, ArchiveFormat> cases[] = {
      {"a.LZH", ArchiveFormat::Lha}, {"a.jar", ArchiveFormat::Zip},      {"a.tar.gz", ArchiveFormat::Tar},
      {"a.TZ", ArchiveFormat::Tar},  {"a.7z", ArchiveFormat::SevenZip}, {"a.gza", ArchiveFormat::Bga},
      {"a.txt", ArchiveFormat::None}, {"dir.zip/a", ArchiveFormat::None}, {"noext", ArchiveFormat::None}};
  for (const auto& [name, format] : cases) EXPECT_EQ(ArchiveFormatOf(name), format) << name;
  TempDir tmp;
  const fs::path sfx = tmp.Write("setup.exe", std::string(5000, 'M') + test::ReadBytes(Arc("sample.zip")));
  EXPECT_EQ(ArchiveFormatOf(sfx.string()), ArchiveFormat::Zip);
  EXPECT_EQ(ArchiveFormatOf(tmp.Write("plain.exe", "MZ not an archive").string()), ArchiveFormat::None);
}

TEST(ArchiveNames, OnlyRelativePathsInsideTheDestination) {
  const std::pair<std::string, std::string> cases[] = {
      {"docs/a.txt", "docs/a.txt"}, {"docs\\a.txt", "docs/a.txt"}, {"./a//b/", "a/b"},
      {"../x", ""},                 {"a/../b", ""},                {"..\\x", ""},
      {"", ""},                     {"/", ""},                     {"C:\\x", ""},
      {"c:", ""},                   {"/../x", ""},                 {"\\a\\..\\..\\x", ""},
      // A leading separator is dropped: the name lands below the destination.
      {"/etc/x", "etc/x"},          {"\\lead.txt", "lead.txt"},    {"\\\\server\\x", "server/x"},
      {"C:x", "C:x"},
      {Sj("日本語/表.txt"), "日本語/表.txt"},  // Shift-JIS, whose 表 holds a backslash byte
  };
  for (const auto& [stored, safe] : cases) EXPECT_EQ(SafeMemberPath(stored), safe) << stored;
}

TEST(ArchiveMembers, EveryFormatGivesTheSameMembers) {
  const Seen tar = Visit(Arc("sample.tar"));
  ASSERT_EQ(tar.extracted, (std::vector<std::string>{"docs/a.txt", "b.bin", "sub/c.txt"}));
  EXPECT_EQ(tar.mtimes.at("docs/a.txt"), 1704164646);
  for (const char* name : {"sample.zip", "sample.jar", "sample.tgz", "sample.tar.bz2", "sample.lzh", "sample_lh5.lzh",
                           "sample.cab", "sample.7z", "sample.arj"}) {
    SCOPED_TRACE(name);
    const Seen seen = Visit(Arc(name));
    EXPECT_TRUE(seen.failed.empty());
    EXPECT_EQ(seen.contents, tar.contents);
  }
  // One compressed file: its member is named by the header or the archive.
  for (const char* name : {"a.txt.gz", "a.txt.bz2"}) {
    const Seen seen = Visit(Arc(name));
    ASSERT_EQ(seen.extracted, std::vector<std::string>{"a.txt"}) << name;
    EXPECT_EQ(seen.contents.at("a.txt"), tar.contents.at("docs/a.txt"));
  }
  EXPECT_EQ(Visit(Arc("sjis_names.zip")).extracted,
            (std::vector<std::string>{"日本語フォルダ/検索メモ.txt", "説明.txt"}));
}

TEST(ArchiveMembers, HostileNamesAndLinksAreRefusedAndNothingLandsOutside) {
  TempDir outer;
  const fs::path dest = outer / "dest";
  fs::create_directory(dest);
  Seen slip;
  VisitArchive(Arc("zipslip.zip"), dest.string(), slip);
  EXPECT_EQ(slip.extracted, (std::vector<std::string>{"tmp/evil_abs.txt", "win/path.txt", "good.txt"}));
  ASSERT_EQ(slip.failed.size(), 2u);
  for (const std::string& f : slip.failed) EXPECT_NE(f.find(kUnsafeMemberName), std::string::npos) << f;
  EXPECT_FALSE(fs::exists(outer / "evil.txt"));
  EXPECT_FALSE(fs::exists("/tmp/evil_abs.txt"));
  Seen link;
  VisitArchive(Arc("symlink.tar"), dest.string(), link);
  EXPECT_EQ(link.extracted, std::vector<std::string>{"good.txt"});
  ASSERT_EQ(link.failed.size(), 1u);
  EXPECT_EQ(link.failed[0].rfind("link/evil3.txt: ", 0), 0u);
  // A link planted in the destination is never written through.
  fs::create_directory_symlink(outer.path(), dest / "docs");
  Seen planted;
  VisitArchive(Arc("sample.tar"), dest.string(), planted);
  EXPECT_EQ(planted.extracted, (std::vector<std::string>{"b.bin", "sub/c.txt"}));
  EXPECT_FALSE(fs::exists(outer / "a.txt"));
}

// arj reads an argument that begins with "-" as a switch wherever it stands:
// a member named "-htescaped" would send every member into ./escaped.
TEST(ArchiveMembers, AnArjMemberNamedLikeASwitchIsOnlyAName) {
  TempDir cwd;
  const fs::path before = fs::current_path();
  fs::current_path(cwd.path());
  struct Back {
    fs::path to;
    ~Back() { fs::current_path(to); }
  } back{before};
  const fs::path dest = cwd / "dest";
  fs::create_directory(dest);
  Seen seen;
  VisitArchive(Arc("dash_name.arj"), dest.string(), seen);
  EXPECT_TRUE(seen.failed.empty()) << seen.failed[0];
  EXPECT_EQ(seen.extracted, (std::vector<std::string>{"-htescaped", "b.bin"}));
  EXPECT_EQ(seen.contents["-htescaped"], "cat in a member named like a switch\r\n");
  EXPECT_EQ(seen.contents["b.bin"], Visit(Arc("sample.tar")).contents.at("b.bin"));
  // Nothing was written beside the destination.
  std::vector<std::string> outside;
  for (const auto& e : fs::directory_iterator(cwd.path()))
    if (e.path() != dest) outside.push_back(e.path().filename().string());
  EXPECT_TRUE(outside.empty()) << outside[0];
  EXPECT_FALSE(fs::exists(Arc("escaped")));
}

TEST(ArchiveMembers, ExtractionIsBoundedPerMemberAndPerArchive) {
  const Seen per_member = Visit(Arc("bomb.zip"), {.member_bytes = 1 << 20, .archive_bytes = uint64_t{1} << 40});
  EXPECT_TRUE(per_member.extracted.empty());
  ASSERT_EQ(per_member.failed.size(), 3u);
  EXPECT_NE(per_member.failed[0].find(kMemberTooLarge), std::string::npos);
  // The whole archive's bound ends the visit at the member that crosses it.
  const Seen per_archive = Visit(Arc("bomb.zip"), {.member_bytes = 4 << 20, .archive_bytes = 5 << 20});
  EXPECT_EQ(per_archive.extracted, std::vector<std::string>{"one.txt"});
  ASSERT_EQ(per_archive.failed.size(), 1u);
  EXPECT_NE(per_archive.failed[0].find(kArchiveTooLarge), std::string::npos);
  EXPECT_EQ(per_archive.names.size(), 2u);  // the third member is not even offered
}

TEST(ArchiveMembers, DamagedArchivesAndSingleMembers) {
  EXPECT_THROW(Visit(Arc("notanarchive.zip")), EArchive);
  EXPECT_THROW(Visit(Arc("a.gza")), EArchive);  // no reader for the format (and no file)
  try {
    Visit(Arc("damaged.zip"));
    ADD_FAILURE() << "a damaged archive read to its end";
  } catch (const EArchive&) {
  }
  TempDir dest;
  const std::string file = ExtractArchiveMember(Arc("sample.7z"), "sub/c.txt", dest.path().string());
  EXPECT_EQ(file, dest.path().string() + "/sub/c.txt");
  EXPECT_EQ(test::ReadBytes(file), Visit(Arc("sample.tar")).contents.at("sub/c.txt"));
  EXPECT_THROW(ExtractArchiveMember(Arc("sample.zip"), "missing.txt", dest.path().string()), EArchive);
}

TEST(ArchiveSearch, MembersSelectedByTheMasksSearchedAndCleanedUp) {
  Harness h;
  h.run.options().find_also_archive = true;
  h.run.options().find_mode = 1;  // members are selected by the masks even in exclude mode
  h.run.WildMatch2().SetMasks({"*.TAR", "*.ZIP"});
  h.Search("検索", Arc("sample.tar"), "*.txt");
  ASSERT_EQ(h.store.size(), 2u);
  EXPECT_EQ(h.store[0].OpenPath, "@" + Arc("sample.tar") + "@docs/a.txt");
  EXPECT_EQ(h.store[0].LineNo, 2);
  EXPECT_EQ(h.store[0].LastWriteTime, FileTimeFromUnix(1704164646, 0));
  EXPECT_EQ(h.store[1].OpenPath, "@" + Arc("sample.tar") + "@sub/c.txt");
  EXPECT_EQ(h.store[1].EncodingCode, 4);  // EUC-JP, detected as on disk
  EXPECT_TRUE(fs::is_empty(h.run.GetWorkFolder().Folder() + "/members"));
  EXPECT_EQ(h.run.SearchedFileCount(), 1);

  Harness broken;
  broken.run.options().find_also_archive = true;
  broken.run.WildMatch2().SetMasks({"*.ZIP"});
  broken.Search("cat", FixturePath("archives").string(), "*.txt");
  EXPECT_GE(broken.run.ErrorCount(), 4);  // damaged, not an archive, two climbing names
  EXPECT_NE(broken.Log().find(Sj("書庫エラー:") + Arc("zipslip.zip") + "/../evil.txt"), std::string::npos);
  EXPECT_GT(broken.store.size(), 0u);  // and the search went on

  // The bounds come from the options (MiB): a member past them is logged.
  Harness bounded;
  bounded.run.options().find_also_archive = true;
  bounded.run.options().arc_member_limit = 1;
  bounded.run.WildMatch2().SetMasks({"*.ZIP"});
  bounded.Search("cat", Arc("bomb.zip"), "*.txt");
  EXPECT_EQ(bounded.store.size(), 0u);
  EXPECT_EQ(bounded.run.ErrorCount(), 3);
  EXPECT_NE(bounded.Log().find(Sj("書庫エラー:") + Arc("bomb.zip") + "/one.txt: " + Sj(kMemberTooLarge)), std::string::npos);

  Harness aborted;  // abort between members
  aborted.run.options().find_also_archive = true;
  aborted.run.WildMatch2().SetMasks({"*.TAR"});
  aborted.front.on_events = [&] {
    if (aborted.store.size() > 0) aborted.run.AbortBtnClick();
  };
  aborted.Search("検索", Arc("sample.tar"), "*");
  EXPECT_EQ(aborted.store.size(), 1u);
}

// An empty member needs no file unless the visitor asks for one (a member
// read as plain text holds no line; a million of them once took a file
// made and deleted each): it comes as file "", in the reader process too,
// and the search still counts it as searched and gives a filter its file.
TEST(ArchiveMembers, EmptyMembersNeedNoFileUnlessAsked) {
  TempDir dir;
  const std::string tar =
      dir.Write("e.tar", TarWithRawNames({{"e1.txt", ""}, {"sub/e2.txt", ""}, {"full.txt", "a cat\n"}})).string();
  struct NoFiles : Seen {
    bool files = false;
    std::vector<std::string> given;
    bool EmptyNeedsFile(const ArchiveMember&) override { return files; }
    void Extracted(const ArchiveMember& m, const std::string& file) override {
      given.push_back(file.empty() ? "" : FileNameOf(file));
      if (!file.empty()) Seen::Extracted(m, file);
    }
  };
  for (const bool files : {false, true}) {
    TempDir dest;
    NoFiles seen;
    seen.files = files;
    VisitArchive(tar, dest.path().string(), seen, {});
    EXPECT_EQ(seen.given, files ? (std::vector<std::string>{"e1.txt", "e2.txt", "full.txt"})
                                : (std::vector<std::string>{"", "", "full.txt"}));
    EXPECT_EQ(seen.contents["full.txt"], "a cat\n");
    EXPECT_FALSE(fs::exists(dest / "e1.txt"));
  }
  // A member named as the folder an earlier member's path made.
  const std::string both = dir.Write("both.tar", TarWithRawNames({{"a/b.txt", "a cat\n"}, {"a", "cat two\n"}})).string();
  Harness folders;
  folders.run.options().find_also_archive = true;
  folders.run.WildMatch2().SetMasks({"*.TAR"});
  folders.Search("cat", both, "*");
  EXPECT_EQ(folders.store.size(), 2u);
  EXPECT_EQ(folders.run.ErrorCount(), 0);
  test::TempDir tools;
  const std::string filter = tools.Write("name.sh", "#!/bin/sh\necho \"filtered cat\"\n").string();
  chmod(filter.c_str(), 0755);
  Harness h;
  h.run.options().find_also_archive = true;
  h.run.WildMatch2().SetMasks({"*.TAR"});
  h.run.options().use_filter = true;
  h.run.options().filter_name = filter;
  h.run.WildMatch3().SetMasks({"e2.txt"});
  h.Search("cat", tar, "*.txt");
  EXPECT_EQ(h.Names(), (std::set<std::string>{"e2.txt", "e.tar@full.txt"}));  // (a member at the top: after the "@")
  EXPECT_TRUE(fs::is_empty(h.run.GetWorkFolder().Folder() + "/members"));
}

// ---- Readers that never end: each archive is read in a process of its own.

// AddressSanitizer reserves address space the reader's memory bound counts:
// the bound cannot be tried in such a build.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif


// Whether a process is gone (a zombie no one reaps is gone as well).
bool Gone(pid_t pid) {
  for (int i = 0; i < 200; ++i) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t paren = line.rfind(')');
    if (paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'Z') return true;
    usleep(10000);
  }
  return false;
}

// Makes the archive's reader misbehave while it lives.
struct ReaderMisbehaves {
  explicit ReaderMisbehaves(const char* how) { ::setenv("LORVEK_TEST_ARCHIVE_HANG", how, 1); }
  ~ReaderMisbehaves() { ::unsetenv("LORVEK_TEST_ARCHIVE_HANG"); }
};

struct StallLimit {
  explicit StallLimit(std::chrono::milliseconds limit) { SetArchiveStallLimit(limit); }
  ~StallLimit() { SetArchiveStallLimit(kArchiveStallLimit); }
};

// No reader is left running or unreaped.
bool NoChildLeft() {
  int status;
  return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

// A reader that ends as it should still takes along what it left running
// in its group.
TEST(ArchiveReader, WhatAReaderLeavesRunningEndsWithIt) {
  TempDir scratch;
  const std::string pid_file = (scratch / "sleeper").string();
  const std::string how = "sleeper:" + pid_file;
  {
    ReaderMisbehaves leaves(how.c_str());
    const Seen seen = Visit(Arc("sample.tar"));
    EXPECT_FALSE(seen.extracted.empty());
  }
  const pid_t sleeper = std::stoi(test::ReadBytes(pid_file));
  const bool gone = Gone(sleeper);
  EXPECT_TRUE(gone) << "process " << sleeper << " still runs";
  if (!gone) kill(sleeper, SIGKILL);
}

std::string FailureOf(const std::string& archive) {
  try {
    Visit(archive);
  } catch (const EArchive& e) {
    return e.what();
  }
  return "(no failure)";
}

TEST(ArchiveReader, AReaderThatNeverReturnsIsKilledByTheWatchdog) {
  ReaderMisbehaves spin("spin");
  StallLimit one_second(std::chrono::milliseconds(1000));
  const auto start = std::chrono::steady_clock::now();
  const std::string failure = FailureOf(Arc("sample.zip"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_EQ(failure.rfind(kArchiveReaderStalled, 0), 0u) << failure;
  EXPECT_TRUE(NoChildLeft());
}

TEST(ArchiveReader, AReaderPastItsMemoryOrProcessorBoundEndsTheArchive) {
  if (kAddressSanitizer) GTEST_SKIP() << "the memory bound counts the sanitizer's reserved address space";
  {
    ReaderMisbehaves grow("grow");  // address space only, never touched
    EXPECT_EQ(FailureOf(Arc("sample.zip")), kArchiveReaderOutOfMemory);
  }
  {
    ReaderMisbehaves cpu("cpu");  // one second of processor time allowed, then a spin
    EXPECT_EQ(FailureOf(Arc("sample.zip")), kArchiveReaderCpu);
  }
  {
    ReaderMisbehaves crash("crash");
    const std::string failure = FailureOf(Arc("sample.zip"));
    EXPECT_EQ(failure.rfind(kArchiveReaderDied, 0), 0u) << failure;
  }
  {
    // The reader holds the socket to the program and /dev/null, nothing of the program's.
    ReaderMisbehaves fds("fds");
    const int program_fd = ::open("/dev/null", O_RDONLY);
    EXPECT_EQ(FailureOf(Arc("sample.zip")), "0 1 2 3");
    ::close(program_fd);
  }
  EXPECT_TRUE(NoChildLeft());
  // And the next archive is read as ever.
  EXPECT_EQ(Visit(Arc("sample.zip")).extracted.size(), 3u);
}

TEST(ArchiveReader, TheSearchLogsTheArchiveAndGoesOn) {
  if (kAddressSanitizer) GTEST_SKIP() << "the memory bound counts the sanitizer's reserved address space";
  TempDir files;
  fs::copy_file(Arc("sample.zip"), files / "a.zip");
  files.Write("z.txt", "cat after the archive\n");
  Harness h;
  h.run.options().find_also_archive = true;
  h.run.WildMatch2().SetMasks({"*.ZIP"});
  {
    ReaderMisbehaves grow("grow");
    h.Search("cat", files.path().string(), "*.txt");
  }
  ASSERT_EQ(h.store.size(), 1u);
  EXPECT_EQ(h.store[0].OpenPath, (files / "z.txt").string());
  EXPECT_EQ(h.run.ErrorCount(), 1);
  EXPECT_NE(h.Log().find(Sj("書庫エラー:") + (files / "a.zip").string() + ": " + Sj(kArchiveReaderOutOfMemory)),
            std::string::npos);
  EXPECT_EQ(h.front.panels[0], "検索中にエラーが発生しました.");
  {
    ReaderMisbehaves spin("spin");
    StallLimit one_second(std::chrono::milliseconds(1000));
    h.Search("cat", files.path().string(), "*.txt");
  }
  EXPECT_EQ(h.store.size(), 1u);
  EXPECT_NE(h.Log().find(Sj("書庫エラー:") + (files / "a.zip").string() + ": " + Sj(kArchiveReaderStalled)),
            std::string::npos);
  EXPECT_TRUE(fs::is_empty(h.run.GetWorkFolder().Folder() + "/members"));
  EXPECT_TRUE(NoChildLeft());
}

TEST(ArchiveReader, TheAbortCommandEndsAReaderThatHangs) {
  ReaderMisbehaves spin("spin");  // the watchdog's own 30 s are not waited for
  Harness h;
  h.run.options().find_also_archive = true;
  h.run.WildMatch2().SetMasks({"*.ZIP"});
  const auto start = std::chrono::steady_clock::now();
  h.front.on_events = [&] {
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(200)) h.run.AbortBtnClick();
  };
  h.Search("cat", Arc("sample.zip"), "*.txt");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(h.front.panels[0], "検索を中止しました.");
  EXPECT_EQ(h.run.ErrorCount(), 0);
  EXPECT_TRUE(NoChildLeft());
}

TEST(ArchiveSearch, ALeadingSeparatorIsDroppedAndTheMemberSearched) {
  TempDir dir;
  const fs::path tar = dir.Write("lead.tar", TarWithRawNames({{"\\win.txt", "cat one\r\n"},
                                                              {"/abs/unix.txt", "cat two\r\n"},
                                                              {"/../up.txt", "cat three\r\n"}}));
  Harness h;
  h.run.options().find_also_archive = true;
  h.run.WildMatch2().SetMasks({"*.TAR"});
  h.Search("cat", tar.string(), "*.txt");
  ASSERT_EQ(h.store.size(), 2u);
  EXPECT_EQ(h.store[0].OpenPath, "@" + tar.string() + "@win.txt");
  EXPECT_EQ(h.store[1].OpenPath, "@" + tar.string() + "@abs/unix.txt");
  EXPECT_EQ(h.run.ErrorCount(), 1);  // only the climbing name is refused
  // Opened again by the path the hit keeps.
  TempDir dest;
  const OpenPath open = h.store[0].Path();
  EXPECT_EQ(test::ReadBytes(ExtractArchiveMember(open.file, open.member, dest.path().string())), "cat one\r\n");
}

TEST(ArchiveSearch, AHitInAnArchiveUnderAFolderWithAtOpensAgain) {
  TempDir dir;
  const std::string zip = test::ReadBytes(Arc("sample.zip"));
  const std::string tar = TarWithRawNames({{"re@dme.txt", "cat at\r\n"}, {"@lead.txt", "cat lead\r\n"}});
  const fs::path a = dir.Write("me@host/a.zip", zip);
  const fs::path b = dir.Write("node_modules/@scope/pkg@1.0/b.tar", tar);
  const fs::path c = dir.Write("x@y.tar", tar);  // an archive whose own name holds "@"
  Harness h;
  h.run.options().find_also_archive = true;
  h.run.WildMatch2().SetMasks({"*.ZIP", "*.TAR"});
  h.Search("cat", dir.path().string(), "*.txt");
  std::map<std::string, OpenPath> by_member;
  for (size_t i = 0; i < h.store.size(); ++i) {
    const OpenPath p = h.store[i].Path();
    EXPECT_EQ(h.store[i].OpenPath, "@" + p.file + "@" + p.member);  // the stored form stays
    by_member[p.file + "|" + p.member] = p;
  }
  for (const auto& [archive, member] : std::vector<std::pair<fs::path, std::string>>{
           {a, "docs/a.txt"}, {b, "re@dme.txt"}, {b, "@lead.txt"}, {c, "re@dme.txt"}, {c, "@lead.txt"}}) {
    SCOPED_TRACE(archive.string() + " " + member);
    ASSERT_EQ(by_member.count(archive.string() + "|" + member), 1u);
    const OpenPath p = OpenPath::Parse("@" + archive.string() + "@" + member);
    EXPECT_EQ(p.file, archive.string());
    EXPECT_EQ(p.member, member);
    TempDir dest;
    EXPECT_NO_THROW(ExtractArchiveMember(p.file, p.member, dest.path().string()));
  }
  // An archive that is gone splits at the first "@", as before.
  EXPECT_EQ(OpenPath::Parse("@/gone/a.zip@d@e.txt"), OpenPath::Member("/gone/a.zip", "d@e.txt"));
}

TEST(ArchiveNames, EucJpAndShiftJisNamesKeepTheirExtension) {
  const std::string euc_kensaku = "\xB8\xA1\xBA\xF7.txt";     // 検索.txt in EUC-JP
  const std::string euc_tesuto = "\xA5\xC6\xA5\xB9\xA5\xC8.txt";  // テスト.txt in EUC-JP
  const std::string sjis_nihongo = Sj("日本語.txt");
  const std::string sjis_hyou = Sj("表.txt");  // a trail byte that is a backslash
  EXPECT_EQ(NameToUtf8(euc_kensaku), "検索.txt");
  EXPECT_EQ(NameToUtf8(euc_tesuto), "テスト.txt");
  EXPECT_EQ(NameToUtf8(sjis_nihongo), "日本語.txt");
  EXPECT_EQ(NameToUtf8(sjis_hyou), "表.txt");
  EXPECT_EQ(NameToUtf8("plain.txt"), "plain.txt");
  EXPECT_EQ(NameToCp932(euc_kensaku), Sj("検索.txt"));
  // A lead byte never swallows the dot after it.
  EXPECT_EQ(NameToUtf8("\x93.txt"), "・.txt");
  EXPECT_EQ(NameToUtf8("ab\xF7.txt"), "ab・.txt");
  EXPECT_EQ(PathForDisplay("/d/" + euc_kensaku), "/d/検索.txt");

  TempDir dir;
  const fs::path tar = dir.Write("names.tar", TarWithRawNames({{euc_kensaku, "cat 1\r\n"},
                                                               {"sub/" + euc_tesuto, "cat 2\r\n"},
                                                               {sjis_nihongo, "cat 3\r\n"},
                                                               {sjis_hyou, "cat 4\r\n"}}));
  Harness h;
  h.run.options().find_also_archive = true;
  h.run.WildMatch2().SetMasks({"*.TAR"});
  h.Search("cat", tar.string(), "*.txt");
  std::vector<std::string> members;
  for (size_t i = 0; i < h.store.size(); ++i) members.push_back(h.store[i].Path().member);
  EXPECT_EQ(members, (std::vector<std::string>{"検索.txt", "sub/テスト.txt", "日本語.txt", "表.txt"}));
  EXPECT_EQ(h.run.ErrorCount(), 0);

  // Names on disk: the masks see the same names.
  TempDir disk;
  disk.Write(euc_kensaku, "cat 1\r\n");
  disk.Write(sjis_nihongo, "cat 2\r\n");
  Harness d;
  d.Search("cat", disk.path().string(), "*.txt");
  EXPECT_EQ(d.store.size(), 2u);
}

uint32_t Crc32(std::string_view bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutLe(std::string& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A zip of stored members whose names are the given bytes without the UTF-8
// flag, as the zip programs of Japanese systems write them.
std::string ZipWithRawNames(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string local, central;
  for (const auto& [name, data] : members) {
    const uint64_t offset = local.size();
    const uint32_t crc = Crc32(data);
    local += "PK\x03\x04";
    PutLe(local, 10, 2);  // version needed
    PutLe(local, 0, 2);   // flags: no UTF-8
    PutLe(local, 0, 2);   // stored
    PutLe(local, 0, 4);   // time, date
    PutLe(local, crc, 4);
    PutLe(local, data.size(), 4);
    PutLe(local, data.size(), 4);
    PutLe(local, name.size(), 2);
    PutLe(local, 0, 2);
    local += name;
    local += data;
    central += "PK\x01\x02";
    PutLe(central, 20, 2);
    PutLe(central, 10, 2);
    PutLe(central, 0, 2);
    PutLe(central, 0, 2);
    PutLe(central, 0, 4);
    PutLe(central, crc, 4);
    PutLe(central, data.size(), 4);
    PutLe(central, data.size(), 4);
    PutLe(central, name.size(), 2);
    PutLe(central, 0, 6);  // extra, comment, disk
    PutLe(central, 0, 2);  // internal attributes
    PutLe(central, 0, 4);  // external attributes
    PutLe(central, offset, 4);
    central += name;
  }
  std::string out = local + central;
  out += "PK\x05\x06";
  PutLe(out, 0, 4);
  PutLe(out, members.size(), 2);
  PutLe(out, members.size(), 2);
  PutLe(out, central.size(), 4);
  PutLe(out, local.size(), 4);
  PutLe(out, 0, 2);
  return out;
}

// A zip member whose name is not UTF-8 is searched under its name read as
// EUC-JP or Shift-JIS, as a tar member is; none is dropped without a word.
TEST(ArchiveNames, ZipMembersWithEucJpOrBrokenNamesAreSearched) {
  const std::string euc_kensaku = "\xB8\xA1\xBA\xF7.txt";  // 検索.txt in EUC-JP
  TempDir dir;
  const fs::path zip = dir.Write("names.zip", ZipWithRawNames({{euc_kensaku, "cat 1\r\n"},
                                                               {Sj("日本語.txt"), "cat 2\r\n"},
                                                               {"bad\xFF\xFE.txt", "cat 3\r\n"}}));
  Harness h;
  h.run.options().find_also_archive = true;
  h.run.WildMatch2().SetMasks({"*.ZIP"});
  h.Search("cat", zip.string(), "*.txt");
  std::vector<std::string> members;
  for (size_t i = 0; i < h.store.size(); ++i) members.push_back(h.store[i].Path().member);
  EXPECT_EQ(members, (std::vector<std::string>{"検索.txt", "日本語.txt", "bad・・.txt"}));
  EXPECT_EQ(h.run.ErrorCount(), 0);
}

// arj on this system writes a member under its stored bytes, backslashes and
// all: a Shift-JIS name whose trail byte is 5C (表, ソ, 能) and a name with a
// leading backslash must still be found where arj left them.
TEST(ArchiveMembers, ArjMembersWhoseNamesHoldABackslashAreExtracted) {
  if (std::system("command -v arj >/dev/null 2>&1") != 0) GTEST_SKIP() << "no arj here";
  TempDir dir;
  // arj cannot add such names from this system's disk: add placeholders of
  // the same length, then write the real names into the headers.
  dir.Write("src/Pa.txt", "cat hyou\r\n");
  dir.Write("src/Pbcde.txt", "cat lead\r\n");
  const std::string arj = (dir.path() / "names.arj").string();
  ASSERT_EQ(std::system(("cd '" + (dir.path() / "src").string() + "' && arj a -y '" + arj +
                         "' -- Pa.txt Pbcde.txt >/dev/null 2>&1")
                            .c_str()),
            0);
  std::string bytes = test::ReadBytes(arj);
  const std::vector<std::pair<std::string, std::string>> renames{{"Pa.txt", Sj("表.txt")}, {"Pbcde.txt", "\\lead.txt"}};
  int renamed = 0;
  for (size_t i = 0; i + 4 < bytes.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) != 0x60 || static_cast<unsigned char>(bytes[i + 1]) != 0xEA) continue;
    const size_t size = static_cast<unsigned char>(bytes[i + 2]) | static_cast<unsigned char>(bytes[i + 3]) << 8;
    if (size == 0 || i + 8 + size > bytes.size()) continue;
    std::string header = bytes.substr(i + 4, size);
    const size_t first = static_cast<unsigned char>(header[0]);
    const size_t end = header.find('\0', first);
    if (end == std::string::npos) continue;
    for (const auto& [placeholder, real] : renames)
      if (header.compare(first, end - first, placeholder) == 0) {
        header.replace(first, placeholder.size(), real);
        std::string crc;
        PutLe(crc, Crc32(header), 4);
        bytes.replace(i + 4, size, header);
        bytes.replace(i + 4 + size, 4, crc);
        ++renamed;
      }
  }
  ASSERT_EQ(renamed, 2);
  std::ofstream(arj, std::ios::binary | std::ios::trunc) << bytes;
  const Seen seen = Visit(arj);
  EXPECT_TRUE(seen.failed.empty()) << seen.failed[0];
  EXPECT_EQ(seen.extracted, (std::vector<std::string>{"表.txt", "lead.txt"}));
  EXPECT_EQ(seen.contents.count("表.txt") ? seen.contents.at("表.txt") : "", "cat hyou\r\n");
}

TEST(ArchiveMasks, TheDefaultsHoldEveryFormatTheReaderHandles) {
  const std::vector<std::string> masks = DefaultArchiveMasks();
  auto has = [&](const char* m) { return std::find(masks.begin(), masks.end(), m) != masks.end(); };
  for (const char* m : {"*.ZIP", "*.JAR", "*.ZIPX", "*.TAR", "*.TGZ", "*.TAZ", "*.Z", "*.TBZ", "*.TBZ2", "*.TXZ",
                        "*.TAR.XZ", "*.TLZ", "*.TZST", "*.TAR.ZST", "*.CPIO", "*.7Z"})
    EXPECT_TRUE(has(m)) << m;
  for (const char* name : {"a.zipx", "a.tbz", "a.TBZ2", "a.txz", "a.tar.xz", "a.tlz", "a.tzst", "a.tar.zst", "a.tar.lz"})
    EXPECT_EQ(ArchiveFormatOf(name), name == std::string("a.zipx") ? ArchiveFormat::Zip : ArchiveFormat::Tar) << name;
  // The dialog's boxes: *.JAR goes with ZIP, *.TXZ with TAR, *.7Z with none.
  EXPECT_EQ(ArchiveBoxOf("*.jar"), 1);
  EXPECT_EQ(ArchiveBoxOf("*.TXZ"), 5);
  EXPECT_EQ(ArchiveBoxOf("*.7Z"), -1);
  EXPECT_EQ(ArchiveBoxOf("*.DAT"), -1);
  const std::vector<std::string> before{"*.LZH", "*.ZIP", "*.JAR", "*.7Z", "*.DAT", "*.TAR", "*.TXZ"};
  std::array<bool, 6> all{true, true, true, true, true, true};
  EXPECT_EQ(RebuildArchiveMasks(before, all, all), before);  // nothing changed, nothing moves
  std::array<bool, 6> keep = all, on = all;
  keep[1] = on[1] = false;  // ZIP turned off: its Java archives go too
  EXPECT_EQ(RebuildArchiveMasks(before, keep, on),
            (std::vector<std::string>{"*.LZH", "*.7Z", "*.DAT", "*.TAR", "*.TXZ"}));

  // A compressed tar found by the default masks.
  const std::string xz = TarXz({{"docs/x.txt", "cat xz\r\n"}});
  if (xz.empty()) GTEST_SKIP() << "no xz writer here";
  TempDir dir;
  dir.Write("a.txz", xz);
  dir.Write("b.tar.xz", xz);
  Harness h;
  h.run.options().find_also_archive = true;
  h.run.WildMatch2().SetMasks(masks);
  h.Search("cat", dir.path().string(), "*.txt");
  EXPECT_EQ(h.store.size(), 2u);
  EXPECT_EQ(h.run.ErrorCount(), 0);
}

// A visitor that leaves the extracted files where they are.
struct Kept : ArchiveVisitor {
  std::vector<std::string> extracted, failed;
  bool Wanted(const ArchiveMember&) override { return true; }
  void Extracted(const ArchiveMember& m, const std::string& file) override {
    extracted.push_back(m.path + "=" + test::ReadBytes(file));
  }
  void Failed(const ArchiveMember& m, const std::string& reason) override { failed.push_back(m.path + ": " + reason); }
  bool Stop() const override { return false; }
};

// A member of a name met before (in the same archive, or left by an
// earlier extraction) takes that file's place.
TEST(ArchiveMembers, AMemberOfANameMetBeforeReplacesIt) {
  TempDir dir, dest;
  const fs::path tar = dir.Write("twice.tar", TarWithRawNames({{"d/a.txt", "first\n"}, {"d/b.txt", "beside\n"},
                                                               {"d/a.txt", "second\n"}}));
  Kept kept;
  VisitArchive(tar.string(), dest.path().string(), kept);
  EXPECT_TRUE(kept.failed.empty()) << kept.failed[0];
  EXPECT_EQ(kept.extracted, (std::vector<std::string>{"d/a.txt=first\n", "d/b.txt=beside\n", "d/a.txt=second\n"}));
  EXPECT_EQ(test::ReadBytes(dest / "d/a.txt"), "second\n");
  // Opened again into the same folder.
  EXPECT_EQ(test::ReadBytes(ExtractArchiveMember(tar.string(), "d/b.txt", dest.path().string())), "beside\n");
}

// The bounds hold at the byte: a member of exactly the bound is extracted,
// one byte more is refused and leaves nothing behind.
TEST(ArchiveMembers, TheBoundsHoldAtTheByte) {
  TempDir dir;
  const fs::path tar = dir.Write("n.tar", TarWithRawNames({{"a.txt", std::string(1000, 'a')}, {"b.txt", std::string(24, 'b')}}));
  auto visit = [&](const ExtractLimits& limits, std::vector<std::string>& left) {
    TempDir dest;
    Kept kept;
    VisitArchive(tar.string(), dest.path().string(), kept, limits);
    for (const auto& e : fs::recursive_directory_iterator(dest.path())) left.push_back(e.path().filename().string());
    std::vector<std::string> out;
    for (const std::string& x : kept.extracted) out.push_back(x.substr(0, x.find('=')));
    for (const std::string& f : kept.failed) out.push_back(f);
    return out;
  };
  std::vector<std::string> left;
  EXPECT_EQ(visit({.member_bytes = 1000, .archive_bytes = 1024}, left), (std::vector<std::string>{"a.txt", "b.txt"}));
  left.clear();
  EXPECT_EQ(visit({.member_bytes = 999, .archive_bytes = 1024}, left),
            (std::vector<std::string>{"b.txt", std::string("a.txt: ") + kMemberTooLarge}));
  EXPECT_EQ(left, std::vector<std::string>{"b.txt"});
  left.clear();
  EXPECT_EQ(visit({.member_bytes = 1000, .archive_bytes = 1023}, left),
            (std::vector<std::string>{"a.txt", std::string("b.txt: ") + kArchiveTooLarge}));
  EXPECT_EQ(left, std::vector<std::string>{"a.txt"});
}

// A GNU tar sparse member (the old form, its map in the header, which ends
// with an empty piece at the member's end as GNU tar writes it).
std::string SparseTar(const std::string& name, uint64_t real_size,
                      const std::vector<std::pair<uint64_t, std::string>>& pieces) {
  char h[512] = {};
  auto octal = [&](size_t at, size_t width, uint64_t value) {
    std::snprintf(h + at, width, "%0*llo", static_cast<int>(width - 1), static_cast<unsigned long long>(value));
  };
  std::string data;
  for (const auto& [offset, bytes] : pieces) data += bytes;
  std::memcpy(h, name.data(), name.size());
  octal(100, 8, 0644);
  octal(108, 8, 0);
  octal(116, 8, 0);
  octal(124, 12, data.size());
  octal(136, 12, 1704164646);
  h[156] = 'S';
  std::memcpy(h + 257, "ustar  ", 8);  // the GNU magic
  for (size_t i = 0; i < pieces.size(); ++i) {
    octal(386 + 24 * i, 12, pieces[i].first);
    octal(386 + 24 * i + 12, 12, pieces[i].second.size());
  }
  octal(483, 12, real_size);
  std::memset(h + 148, ' ', 8);
  unsigned sum = 0;
  for (unsigned char c : h) sum += c;
  std::snprintf(h + 148, 8, "%06o", sum);
  std::string out(h, 512);
  out += data;
  out.append((512 - data.size() % 512) % 512, '\0');
  out.append(1024, '\0');
  return out;
}

TEST(ArchiveMembers, ASparseMemberEndingInAHoleKeepsItsSize) {
  TempDir dir;
  const fs::path tar = dir.Write("sparse.tar", SparseTar("s.txt", 3 * 4096, {{0, "cat at the start\n"}, {4096, "x"}, {3 * 4096, ""}}));
  const Seen seen = Visit(tar.string());
  ASSERT_TRUE(seen.failed.empty()) << seen.failed[0];
  ASSERT_EQ(seen.contents.count("s.txt"), 1u);
  const std::string& bytes = seen.contents.at("s.txt");
  ASSERT_EQ(bytes.size(), 3u * 4096);
  EXPECT_EQ(bytes.substr(0, 17), "cat at the start\n");
  EXPECT_EQ(bytes[4096], 'x');
  EXPECT_EQ(bytes.find_first_not_of('\0', 4097), std::string::npos);
}

// ---- Filters.

TEST(Filters, ShellQuotingAndTheCommandLine) {
  EXPECT_EQ(ShellQuote("a b"), "'a b'");
  EXPECT_EQ(ShellQuote("it's"), "'it'\\''s'");
  EXPECT_EQ(FilterCommandLine("/opt/my filter", "", "/d/A.PDF", "/w/out.txt"), "'/opt/my filter' '/d/A.PDF' > '/w/out.txt'");
  EXPECT_EQ(FilterCommandLine("f", "-s -x", "i", "o"), "'f' -s -x 'i' > 'o'");
  // A relative path that begins with "-" must not reach the filter as a switch.
  EXPECT_EQ(FilterCommandLine("f", "", "-o.pdf", "/w/out.txt"), "'f' './-o.pdf' > '/w/out.txt'");
  EXPECT_EQ(FilterCommandLine("f", "", "sub/-o.pdf", "o"), "'f' 'sub/-o.pdf' > 'o'");
}

// A filter that prints its arguments, one per line.
std::string EchoFilter(const TempDir& dir) {
  const fs::path script = dir.Write("echo-args.sh", "#!/bin/sh\nfor a in \"$@\"; do printf 'arg:%s\\n' \"$a\"; done\n");
  fs::permissions(script, fs::perms::owner_all);
  return script.string();
}

TEST(Filters, HostileFileNamesArePassedAsNamesNeverRun) {
  TempDir dir, files;
  const fs::path marker = dir / "ran";
  const std::string m = marker.string();
  const std::vector<std::string> names = {"a\";touch " + m + ";\".pdf", "$(touch " + m + ").pdf",
                                          "`touch " + m + "`.pdf", "new\nline.pdf", "it's.pdf"};
  for (const std::string& n : names) files.Write(n, "x");
  Harness h;
  h.run.options().use_filter = true;
  h.run.options().filter_name = EchoFilter(dir);
  h.run.options().filter_sw = "-v";
  h.run.WildMatch3().SetMasks({"*.pdf"});
  h.Search("arg:", files.path().string(), "*");
  EXPECT_FALSE(fs::exists(marker));
  std::set<std::string> args;
  for (size_t i = 0; i < h.store.size(); ++i) {
    EXPECT_EQ(h.store[i].EncodingCode, 1011);
    EXPECT_EQ(h.store[i].LineEndCode, 1);
    EXPECT_TRUE(h.store[i].Filtered);
    args.insert(std::string(h.store[i].LineText));
  }
  EXPECT_TRUE(args.count("arg:-v"));
  EXPECT_TRUE(args.count("arg:" + (files / "it's.pdf").string()));
  EXPECT_TRUE(args.count("arg:" + (files / ("$(touch " + m + ").pdf")).string()));
  EXPECT_TRUE(args.count("arg:" + files.path().string() + "/new"));  // the newline ends the filter's line
  EXPECT_EQ(h.run.ErrorCount(), 0);
}

TEST(Filters, OutputIsDecodedAndAMissingOutputIsLogged) {
  TempDir dir, files;
  files.Write("doc.pdf", "UTF-8 の検索テキスト\n");
  const fs::path cat = dir.Write("cat.sh", "#!/bin/sh\ncat \"$1\"\n");
  fs::permissions(cat, fs::perms::owner_all);
  Harness h;
  h.run.options().use_filter = true;
  h.run.options().filter_name = cat.string();
  h.run.WildMatch3().SetMasks({"*.pdf"});
  h.Search("検索", files.path().string(), "*");
  ASSERT_EQ(h.store.size(), 1u);
  EXPECT_EQ(h.store[0].LineText, Sj("UTF-8 の検索テキスト"));
  EXPECT_EQ(h.store[0].OpenPath, (files / "doc.pdf").string());  // the filtered file, not the work file
  // A filter that leaves no output: one log line, one error.
  const std::string work_file = h.run.GetWorkFolder().Folder() + "/____temp.txt";
  const fs::path eraser = dir.Write("erase.sh", "#!/bin/sh\nrm -f '" + work_file + "'\n");
  fs::permissions(eraser, fs::perms::owner_all);
  h.run.options().filter_name = eraser.string();
  h.Search("検索", files.path().string(), "*");
  EXPECT_EQ(h.run.ErrorCount(), 1);
  EXPECT_NE(h.Log().find(Sj("フィルタ変換エラー:") + (files / "doc.pdf").string()), std::string::npos);
}

TEST(Filters, OutputIsBoundedAndAFailureStatusIsLogged) {
  TempDir dir, files;
  files.Write("doc.pdf", "x");
  // Three MiB of output against a bound of one: the rest never lands on disk.
  const fs::path flood = dir.Write("flood.sh",
                                   "#!/bin/sh\nprintf 'cat first\\n'\nhead -c 3145728 /dev/zero | tr '\\0' x\n"
                                   "printf '\\ncat last\\n'\n");
  fs::permissions(flood, fs::perms::owner_all);
  Harness h;
  h.run.options().use_filter = true;
  h.run.options().filter_name = flood.string();
  h.run.options().filter_out_limit = 1;
  h.run.WildMatch3().SetMasks({"*.pdf"});
  h.Search("cat", files.path().string(), "*");
  ASSERT_EQ(h.store.size(), 1u);
  EXPECT_EQ(h.store[0].LineText, "cat first");
  EXPECT_EQ(h.run.ErrorCount(), 1);
  EXPECT_NE(h.Log().find(Sj("フィルタ変換エラー:") + (files / "doc.pdf").string() + ": " + Sj(kFilterOutputTooLarge)),
            std::string::npos);
  // A filter that fails is logged with its status, and what it printed is searched.
  const fs::path failing = dir.Write("fail.sh", "#!/bin/sh\necho cat printed\nexit 3\n");
  fs::permissions(failing, fs::perms::owner_all);
  h.run.options().filter_name = failing.string();
  h.Search("cat", files.path().string(), "*");
  ASSERT_EQ(h.store.size(), 1u);
  EXPECT_EQ(h.store[0].LineText, "cat printed");
  EXPECT_EQ(h.run.ErrorCount(), 1);
  EXPECT_NE(h.Log().find(Sj("フィルタ変換エラー:") + (files / "doc.pdf").string() + ": " + Sj("終了コード 3")),
            std::string::npos);
}

TEST(Filters, AFilterThatNeverEndsIsKilledByTheAbortCommand) {
  TempDir dir, files;
  files.Write("a.pdf", "x");
  files.Write("b.pdf", "x");
  const fs::path sleeper = dir.Write("sleep.sh", "#!/bin/sh\nsleep 600\n");
  fs::permissions(sleeper, fs::perms::owner_all);
  Harness h;
  h.run.options().use_filter = true;
  h.run.options().filter_name = sleeper.string();
  h.run.WildMatch3().SetMasks({"*.pdf"});
  const auto start = std::chrono::steady_clock::now();
  h.front.on_events = [&] {
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(200)) h.run.AbortBtnClick();
  };
  h.Search("x", files.path().string(), "*");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(h.front.panels[0], "検索を中止しました.");
  EXPECT_EQ(h.run.ErrorCount(), 0);
}

// What a filter leaves running goes with it, whether it ends by itself or
// is ended by the abort command; an aborted filter's output is neither
// searched nor logged, and no work file stays.
TEST(Filters, AFiltersChildrenEndWithItAndAnAbortedOutputIsDropped) {
  TempDir dir, files;
  files.Write("a.pdf", "x");
  const fs::path pid_file = dir / "child.pid";
  const fs::path leaver = dir.Write("leave.sh", "#!/bin/sh\nsleep 600 &\necho $! > '" + pid_file.string() +
                                                    "'\necho cat printed\n");
  const fs::path sleeper = dir.Write("hang.sh", "#!/bin/sh\nsleep 600 &\necho $! > '" + pid_file.string() +
                                                    "'\necho cat partial\nwait\n");
  fs::permissions(leaver, fs::perms::owner_all);
  fs::permissions(sleeper, fs::perms::owner_all);
  Harness h;
  h.run.options().use_filter = true;
  h.run.options().filter_name = leaver.string();
  h.run.WildMatch3().SetMasks({"*.pdf"});
  h.Search("cat", files.path().string(), "*");
  ASSERT_EQ(h.store.size(), 1u);
  ASSERT_TRUE(fs::exists(pid_file));
  EXPECT_TRUE(Gone(std::stoi(test::ReadBytes(pid_file))));
  const std::string work_file = h.run.GetWorkFolder().Folder() + "/____temp.txt";
  EXPECT_FALSE(fs::exists(work_file));

  fs::remove(pid_file);
  h.run.options().filter_name = sleeper.string();
  h.front.on_events = [&] {
    if (fs::exists(pid_file) && fs::file_size(pid_file) > 0) h.run.AbortBtnClick();
  };
  h.Search("cat", files.path().string(), "*");
  EXPECT_EQ(h.front.panels[0], "検索を中止しました.");
  ASSERT_TRUE(fs::exists(pid_file));
  EXPECT_TRUE(Gone(std::stoi(test::ReadBytes(pid_file))));
  EXPECT_EQ(h.store.size(), 0u);
  EXPECT_EQ(h.run.ErrorCount(), 0);
  EXPECT_FALSE(fs::exists(work_file));
}

// A work file left by an earlier run is not taken for the output of a
// filter that wrote none.
TEST(Filters, AStaleWorkFileIsNotOutput) {
  TempDir files;
  files.Write("a.pdf", "x");
  Harness h;
  const std::string work_file = h.run.GetWorkFolder().Folder() + "/____temp.txt";
  fs::create_directories(h.run.GetWorkFolder().Folder());
  test::WriteBytes(work_file, "cat left from an earlier run\n");
  h.run.options().use_filter = true;
  h.run.options().filter_name = "/bin/true";
  h.run.options().filter_sw = "; exit 0;";  // switches as written: the redirection never happens
  h.run.WildMatch3().SetMasks({"*.pdf"});
  h.Search("cat", files.path().string(), "*");
  EXPECT_EQ(h.store.size(), 0u);
  EXPECT_EQ(h.run.ErrorCount(), 1);
  EXPECT_NE(h.Log().find(Sj("フィルタ変換エラー:") + (files / "a.pdf").string()), std::string::npos);
}

}  // namespace
}  // namespace lorvek
