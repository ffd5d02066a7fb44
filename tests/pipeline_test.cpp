// The run's delivery: sinks that stop it, the command line's printer, the
// source dispatch, open paths and the options schema.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "app/grep_printer.h"
#include "settings/settings_schema.h"
#include "search/result_store.h"
#include "search/search_run.h"
#include "sources/text_source.h"
#include "test_util.h"
#include "text/cp932.h"
#include "text/text_format.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;

class CountingSink : public RecordSink {
 public:
  explicit CountingSink(int stop_after) : stop_after_(stop_after) {}
  void RunBegins() override { ++begins; }
  bool Take(std::unique_ptr<MatchRecord> r, MatchPos hit) override {
    lines.push_back(r->LineText);
    hits.push_back(hit);
    return static_cast<int>(lines.size()) < stop_after_;
  }
  bool WantsHitPosition() const override { return true; }
  void Logged(const std::string& line, bool) override { logged.push_back(line); }
  void RunEnds() override { ++ends; }
  std::vector<std::string> lines, logged;
  std::vector<MatchPos> hits;
  int begins = 0, ends = 0;

 private:
  int stop_after_;
};

struct Tree {
  TempDir program, dir;
  NullFrontEnd front;
  Tree() {
    for (char f = 'a'; f <= 'e'; ++f) dir.Write(std::string(1, f) + ".txt", "one cat\r\ntwo cat\r\nthree cat\r\n");
  }
};

TEST(RecordSinks, ASinkThatStopsEndsTheRunAtOnce) {
  Tree t;
  CountingSink sink(2);
  SearchRun run(t.front, sink, t.program.path().string());
  run.options().whole_word = false;
  run.FindButtonClick("cat", t.dir.path().string(), "*");
  EXPECT_EQ(sink.lines.size(), 2u);  // not a third line, not the rest of the file
  EXPECT_TRUE(run.StoppedBySink());
  EXPECT_EQ(run.SearchedFileCount(), 1);
  EXPECT_EQ(sink.begins, 1);
  EXPECT_EQ(sink.ends, 1);
  EXPECT_FALSE(run.Searching());
  // The hit's position in the line is handed over when the sink asks for it.
  EXPECT_EQ(sink.hits[0], (MatchPos{5, 3}));
}

TEST(RecordSinks, AFanOutFeedsEveryoneAndLogLinesReachTheSink) {
  Tree t;
  t.dir.Write("z.txt", std::string(3000, 'a') + "\xE3\x81\x82 cat\x80\r\n");  // UTF-8 that fails past the probe
  CountingSink printer(1000);
  ResultStore store;
  FanOutSink both({&printer, &store});
  SearchRun run(t.front, both, t.program.path().string());
  run.options().whole_word = false;
  run.options().code_cng_mode = 1;
  run.FindButtonClick("cat", t.dir.path().string(), "*");
  EXPECT_EQ(printer.lines.size(), 16u);
  EXPECT_EQ(store.size(), 16u);
  ASSERT_EQ(printer.logged.size(), 1u);
  EXPECT_EQ(printer.logged[0].rfind("読めないバイトを・として検索しました:", 0), 0u);
  EXPECT_NE(printer.logged[0].find("z.txt (1 行目)"), std::string::npos);
}

std::string ReadAvailable(int fd) {
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  return out;
}

TEST(TagLinePrinter, APipeGetsEachLineSoonAndAClosedPipeStopsTheRun) {
  std::signal(SIGPIPE, SIG_IGN);
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  fcntl(p[0], F_SETFL, O_NONBLOCK);
  TagLinePrinter printer(p[1], {});
  auto record = [] {
    auto r = std::make_unique<MatchRecord>();
    r->OpenPath = "/x/a.txt";
    r->LineNo = 3;
    r->LineText = Sj("検索 line");
    return r;
  };
  EXPECT_TRUE(printer.Take(record(), {}));
  EXPECT_EQ(ReadAvailable(p[0]), "");  // a pipe gets blocks, not lines...
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  printer.FlushIfDue();  // ...but nothing waits long
  EXPECT_EQ(ReadAvailable(p[0]), "\"/x/a.txt\" 3: 検索 line\n");
  close(p[0]);
  printer.Take(record(), {});
  printer.Flush();
  EXPECT_TRUE(printer.OutputClosed());
  EXPECT_EQ(printer.WriteError(), 0);
  EXPECT_FALSE(printer.Take(record(), {}));
  close(p[1]);
}

TEST(TagLinePrinter, AFullDeviceIsAWriteError) {
  int fd = open("/dev/full", O_WRONLY);
  if (fd < 0) GTEST_SKIP() << "no /dev/full";
  TagLinePrinter printer(fd, {});
  auto r = std::make_unique<MatchRecord>();
  r->LineText = "x";
  printer.Take(std::move(r), {});
  printer.Flush();
  EXPECT_EQ(printer.WriteError(), ENOSPC);
  EXPECT_FALSE(printer.OutputClosed());
  close(fd);
}

TEST(SourceDispatch, TheTableChoosesByNameAndSwitches) {
  SearchOptions o;
  o.use_filter = true;
  o.auto_doc_detect = true;
  o.xls_grep = true;
  EXPECT_EQ(ChooseSource("/d/a.doc", true, o), SourceKind::Filter);  // the filter comes first
  EXPECT_EQ(ChooseSource("/d/a.doc", false, o), SourceKind::WordDocument);
  EXPECT_EQ(ChooseSource("/d/a.RTF", false, o), SourceKind::WordDocument);
  EXPECT_EQ(ChooseSource("/d/a.Xls", false, o), SourceKind::Spreadsheet);
  EXPECT_EQ(ChooseSource("/d/a.txt", false, o), SourceKind::PlainText);
  EXPECT_EQ(ChooseSource("/d.doc/readme", false, o), SourceKind::PlainText);  // the folder's dot is not an extension
  o.use_filter = o.auto_doc_detect = o.xls_grep = false;
  for (const char* name : {"/d/a.doc", "/d/a.xls", "/d/a.rtf"})
    EXPECT_EQ(ChooseSource(name, true, o), SourceKind::PlainText) << name;
}

TEST(SourceDispatch, TextAndBinaryFilesReachTheirSources) {
  TempDir program, dir;
  dir.Write("t.txt", "a cat\r\n");
  dir.Write("b.bin", std::string("\x01\x02 a cat\r\nx\0y cat", 17));
  NullFrontEnd front;
  ResultStore store;
  SearchRun run(front, store, program.path().string());
  run.options().code_cng_mode = 1;
  run.options().whole_word = false;
  run.FindButtonClick("cat", dir.path().string(), "*");
  std::map<std::string, std::vector<std::pair<int, int>>> seen;
  for (size_t i = 0; i < store.size(); ++i)
    seen[FileNameOf(store[i].OpenPath)].push_back({store[i].LineNo, store[i].EncodingCode});
  EXPECT_EQ(seen["t.txt"], (std::vector<std::pair<int, int>>{{1, ecAscii}}));
  // The scan of a binary file reads a NUL as a blank and numbers every line.
  EXPECT_EQ(seen["b.bin"], (std::vector<std::pair<int, int>>{{1, ecBinary}, {2, ecBinary}}));
}

TEST(OpenPathValue, BuiltAndParsedInOnePlace) {
  OpenPath member = OpenPath::Member("/x/a.lzh", "doc/re@dme.txt");
  EXPECT_EQ(member.Text(), "@/x/a.lzh@doc/re@dme.txt");
  EXPECT_EQ(OpenPath::Parse(member.Text()), member);  // a member name may hold "@"
  EXPECT_EQ(member.DisplayPath(), "/x/a.lzh/doc/re@dme.txt");
  EXPECT_EQ(member.StatusPath(), "/x/a.lzh / doc/re@dme.txt");
  OpenPath plain = OpenPath::Parse("/x/b@c.txt");
  EXPECT_FALSE(plain.IsMember());
  EXPECT_EQ(plain.Text(), "/x/b@c.txt");
}

TEST(OptionsSchema, EveryOptionsKeyHasAMemberOfItsKind) {
  int rows = 0;
  for (const SettingKey& k : SettingKeys()) {
    if (std::string_view(k.section) != "Options") {
      EXPECT_FALSE(k.member) << k.section << "/" << k.key;
      continue;
    }
    ++rows;
    ASSERT_TRUE(k.member) << k.key;
    EXPECT_EQ(k.member.Kind(), k.kind) << k.key;
  }
  EXPECT_EQ(rows, 54);
  // A value written is the value read back.
  TempDir dir;
  TIniGT ini((dir / "Lorvek.ini").string());
  Options o;
  o.search.code_cng_mode = 3;
  o.search.fuzzy_char = false;
  o.editor = "/usr/bin/ed itor";
  o.csv_quates = 2;
  o.search.arc_member_limit = 7;
  o.search.filter_out_limit = 9;
  WriteSettingsAtClose(ini, o, true, "*.txt");
  EXPECT_EQ(ReadOptions(ini), o);
}

}  // namespace
}  // namespace lorvek
