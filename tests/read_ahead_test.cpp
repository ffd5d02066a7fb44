// The search with files read ahead on worker threads against the same
// search on one thread: the records, counters, status texts and log must
// be the same, byte for byte and in the same order.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <sstream>

#include "sources/archive_paths.h"

#include "search/line_matching.h"
#include "search/read_ahead.h"
#include "search_harness.h"
#include "test_util.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

using test::FixturePath;
using test::Harness;
using test::Sj;
using test::TempDir;
namespace fs = std::filesystem;

struct Outcome {
  std::vector<std::string> records;
  int32_t files = 0, matches = 0, errors = 0;
  std::string log;  // without its first line (the date)
  std::string status;
};

std::string Describe(const RecordView& r) {
  std::ostringstream o;
  o << r.OpenPath << '|' << r.DisplayName << '|' << r.LineNo << '|' << r.LineText << '|' << r.EncodingCode << '|'
    << r.LineEndCode << '|' << r.Filtered << '|' << r.LastWriteTime << '|' << r.IconIndex << '|' << r.PrevLine1 << '|'
    << r.PrevLine2 << '|' << r.NextLine1 << '|' << r.NextLine2;
  return o.str();
}

Outcome Search(int workers, const std::string& word, const std::string& target, const std::string& masks,
               const std::function<void(SearchOptions&)>& set = {}) {
  Harness h;
  h.run.SetReadAheadWorkers(workers);
  h.run.WildMatch2().SetMasks({"*.ZIP", "*.TAR", "*.LZH"});
  if (set) set(h.run.options());
  h.Search(word, target, masks);
  Outcome out;
  for (size_t i = 0; i < h.store.size(); ++i) out.records.push_back(Describe(h.store[i]));
  out.files = h.run.SearchedFileCount();
  out.matches = h.run.MatchCount();
  out.errors = h.run.ErrorCount();
  const std::string log = h.Log();
  out.log = log.substr(log.find('\n') + 1);
  out.status = h.front.panels[0] + "/" + h.front.panels[2] + "/" + h.front.panels[3];
  return out;
}

void ExpectSame(const Outcome& one, const Outcome& many) {
  EXPECT_EQ(one.files, many.files);
  EXPECT_EQ(one.matches, many.matches);
  EXPECT_EQ(one.errors, many.errors);
  EXPECT_EQ(one.log, many.log);
  EXPECT_EQ(one.status, many.status);
  ASSERT_EQ(one.records.size(), many.records.size());
  for (size_t i = 0; i < one.records.size(); ++i) ASSERT_EQ(one.records[i], many.records[i]) << i;
}

// A tree of a few thousand files: the texts of every encoding, binaries,
// documents, archives and empty files, spread over nested folders.
const fs::path& GeneratedTree() {
  static TempDir dir;
  static bool made = false;
  if (!made) {
    std::vector<std::pair<std::string, std::string>> sources;
    for (const char* folder : {"text", "docs", "archives"})
      for (const auto& e : fs::directory_iterator(FixturePath(folder)))
        if (e.is_regular_file()) sources.emplace_back(e.path().filename().string(), test::ReadBytes(e.path()));
    std::sort(sources.begin(), sources.end());
    for (int i = 0; i < 2000; ++i) {
      const auto& [name, bytes] = sources[static_cast<size_t>(i) % sources.size()];
      const std::string folder = "d" + std::to_string(i % 23) + "/e" + std::to_string(i % 7);
      dir.Write(folder + "/" + std::to_string(i) + "_" + name, bytes);
    }
    made = true;
  }
  return dir.path();
}

TEST(ReadAhead, SameOutcomeAsOneThreadOverTheTestData) {
  const std::string data = FixturePath("").string();
  for (const char* word : {"検索", "cat", "テスト|ｶﾀｶﾅ", "の"}) {
    SCOPED_TRACE(word);
    ExpectSame(Search(0, word, data, "*"), Search(3, word, data, "*"));
  }
}

TEST(ReadAhead, SameOutcomeAsOneThreadOverAGeneratedTree) {
  const std::string tree = GeneratedTree().string();
  const std::vector<std::function<void(SearchOptions&)>> settings = {
      {},
      [](SearchOptions& o) { o.wide_preview = true; },
      [](SearchOptions& o) { o.find_onece = true; },
      [](SearchOptions& o) {
        o.whole_word = true;
        o.fuzzy_char = true;
      },
      [](SearchOptions& o) {
        o.find_also_archive = true;
        o.auto_doc_detect = true;
        o.html_tag = true;
      },
      [](SearchOptions& o) { o.code_cng_mode = 3; },
  };
  for (size_t k = 0; k < settings.size(); ++k) {
    SCOPED_TRACE(k);
    for (const char* word : {"cat&concatenate", "検索|テスト"}) {
      SCOPED_TRACE(word);
      const Outcome one = Search(0, word, tree, "*", settings[k]);
      EXPECT_GT(one.matches, 0);
      ExpectSame(one, Search(2, word, tree, "*", settings[k]));
    }
  }
}

TEST(ReadAhead, TheSinkStoppingAndAnInvalidMaskEndTheRunAlike) {
  const std::string tree = GeneratedTree().string();
  ExpectSame(Search(0, "cat", tree, "[ABC"), Search(2, "cat", tree, "[ABC"));
  // An abort half way: the run ends soon and says so.
  Harness h;
  h.run.SetReadAheadWorkers(2);
  h.front.on_events = [&] {
    if (h.store.size() > 10) h.run.AbortBtnClick();
  };
  h.Search("cat", tree, "*");
  EXPECT_EQ(h.front.panels[0], "検索を中止しました.");
  EXPECT_LT(h.run.SearchedFileCount(), 2000);
}

// A sink that wants one record and no more.
struct OneRecordSink : RecordSink {
  std::vector<std::string> taken;
  bool Take(std::unique_ptr<MatchRecord> record, MatchPos) override {
    taken.push_back(record->LineText);
    return false;
  }
};

TEST(ReadAhead, ASinkThatStopsGetsNoFurtherRecordOrFile) {
  TempDir dir;
  // A binary file: its hit lines come from the scan, three of them.
  dir.Write("a.bin", std::string("\x00\x01\x02 cat one\n\x00 cat two\n\x00 cat three\n", 33));
  dir.Write("b.txt", "cat in the next file\n");
  dir.Write("c.txt", "cat in the last file\n");
  for (int workers : {0, 2}) {
    SCOPED_TRACE(workers);
    test::RecordingFrontEnd front;
    OneRecordSink sink;
    TempDir program;
    SearchRun run(front, sink, program.path().string());
    run.SetReadAheadWorkers(workers);
    run.options().whole_word = false;
    run.options().code_cng_mode = 1;
    run.FindButtonClick("cat", dir.path().string(), "*");
    ASSERT_EQ(sink.taken.size(), 1u);
    EXPECT_NE(sink.taken[0].find("cat one"), std::string::npos) << sink.taken[0];
    EXPECT_EQ(run.SearchedFileCount(), 1);
    EXPECT_TRUE(run.StoppedBySink());
  }
}

// Folders nested past PATH_MAX, made and removed through descriptors.
TEST(ReadAhead, AFileBelowAPathLongerThanTheSystemNamesIsRead) {
  TempDir dir;
  dir.Write("top.txt", "needle at the top\n");
  const std::string name(200, 'n');
  int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  size_t length = dir.path().string().size();
  for (int i = 0; length < PATH_MAX + 1000; ++i) {
    const std::string part = name + std::to_string(i);
    ASSERT_EQ(::mkdirat(fd, part.c_str(), 0700), 0);
    const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(next, 0);
    fd = next;
    length += part.size() + 1;
  }
  const int leaf = ::openat(fd, "leaf.txt", O_WRONLY | O_CREAT, 0600);
  ::close(fd);
  ASSERT_GE(leaf, 0);
  ASSERT_EQ(::write(leaf, "needle beyond PATH_MAX\n", 23), 23);
  ::close(leaf);
  struct Remove {
    std::string folder;
    ~Remove() { RemoveFolderContents(folder); }
  } remove{dir.path().string()};
  const Outcome one = Search(0, "needle", dir.path().string(), "*");
  const Outcome many = Search(2, "needle", dir.path().string(), "*");
  ExpectSame(one, many);
  ASSERT_EQ(many.records.size(), 2u);
  EXPECT_NE(many.records[0].find("leaf.txt|"), std::string::npos) << many.records[0];
  EXPECT_EQ(many.errors, 0);
}

// A file that cannot be read: its error comes at its place among the
// records, and is counted, as on one thread.
struct SequenceSink : RecordSink {
  std::vector<std::string> events;
  bool Take(std::unique_ptr<MatchRecord> record, MatchPos) override {
    events.push_back("record " + FileNameOf(record->OpenPath));
    return true;
  }
  void Logged(const std::string& line, bool failure) override {
    events.push_back(std::string(failure ? "failure " : "note ") + line.substr(0, line.find(':')));
  }
};

TEST(ReadAhead, AReadFailureComesAtItsFilesPlace) {
  TempDir program, tree;
  tree.Write("a.txt", "cat a\r\n");
  const fs::path locked = tree.Write("b.txt", "cat b\r\n");
  tree.Write("c.txt", "cat c\r\n");
  ::chmod(locked.c_str(), 0);
  fs::permissions(program.path(), fs::perms::all);
  fs::permissions(tree.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  const int failed = test::RunWithoutPrivileges([&] {
    int bits = 0;
    for (int workers : {0, 2}) {
      test::RecordingFrontEnd front;
      SequenceSink sink;
      SearchRun run(front, sink, program.path().string());
      run.SetReadAheadWorkers(workers);
      run.options().whole_word = false;
      run.options().code_cng_mode = 1;
      run.FindButtonClick("cat", tree.path().string(), "*");
      if (run.ErrorCount() != 1) bits |= 1;
      if (sink.events != std::vector<std::string>{"record a.txt", "failure ファイル読込みエラー", "record c.txt"})
        bits |= workers == 0 ? 2 : 4;
    }
    return bits;
  });
  EXPECT_EQ(failed, 0) << "failed expectations (bits): " << failed;
}

// A failure a source does not catch itself, raised on a worker, is raised
// again at its file's place: the files before it are given, the file and
// those after it are not (as on one thread), and nothing is dropped.
TEST(ReadAhead, AnUncaughtReadFailureIsRaisedAtItsFilesPlace) {
  TempDir tree;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) tree.Write(name, "cat\n");
  NullFrontEnd front;
  ResultStore store;
  RunTally tally(front, store);
  const SearchOptions options;
  LineMatching model(front, store, tally, options);
  ReadAheadPlan plan;
  plan.workers = 2;
  plan.model = &model;
  plan.plain = [](const WalkItem&) { return true; };
  plan.read = [](const FileRef& file, MatchTarget& target) {
    if (FileNameOf(file.path) == "b.txt") throw std::logic_error("reader fault");
    target.BeginLines(false);
    target.EndLines();
  };
  struct Sink : ReadAheadSink {
    std::vector<std::string> files;
    void ListingFolder(const std::string&) override {}
    void EntryReached() override {}
    void CannotList(const std::string&, int) override {}
    void FileFound(const WalkItem& item, TextRecording* recording) override {
      files.push_back(FileNameOf(item.file.path) + (recording ? "" : " (not prepared)"));
      if (!recording) return;
      struct Quiet : NullFrontEnd {} quiet;
      ResultStore none;
      RunTally t(quiet, none);
      const SearchOptions o;
      LineMatching target(quiet, none, t, o);
      ReplayRecording(*recording, target, [](int32_t) {});
    }
    bool Halted() const override { return false; }
    void Waiting() override {}
  } sink;
  WalkRules rules;
  TWildMatch all;
  all.SetMasks({"*"});
  rules.target_masks = &all;
  try {
    WalkWithReadAhead(tree.path().string(), rules, plan, sink);
    ADD_FAILURE() << "the reader's failure was dropped";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "reader fault");
  }
  EXPECT_EQ(sink.files, (std::vector<std::string>{"a.txt", "b.txt"}));
}

}  // namespace
}  // namespace lorvek
