// lorvek-grep end to end: output lines, options and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <sys/wait.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <cstdio>

#include "test_util.h"

namespace lorvek {
namespace {

namespace fs = std::filesystem;

struct Result {
  std::string out, err;
  int status;
};

// lorvek-grep with its own defaults (it reads no settings file unless told).
Result Grep(const std::string& args) {
  test::TempDir tmp;
  const std::string err_file = (tmp / "stderr").string();
  std::string cmd = std::string(LORVEK_GREP_BIN) + " " + args + " 2>" + err_file;
  Result r;
  FILE* p = popen(cmd.c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = test::ReadBytes(err_file);
  return r;
}

const std::string kText = test::FixturePath("text").string();

TEST(LorvekGrep, TagLinesColumnsAndOnlyMatching) {
  Result r = Grep("--no-word -m sjis_crlf.txt 検索 " + kText);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("\"" + kText + "/sjis_crlf.txt\" 1: これは検索ツールのテスト用サンプルです。\n"), std::string::npos);
  r = Grep("--no-word --column -o -m sjis_crlf.txt 検索 " + kText);
  EXPECT_NE(r.out.find("\" 1:7: 検索\n"), std::string::npos);  // byte 7 of the Shift-JIS line
  r = Grep("--show-encoding -m eucjp_lf.txt --no-word cat " + kText);
  EXPECT_NE(r.out.find("eucjp_lf.txt\"[EUC][LF] 5: "), std::string::npos);
}

TEST(LorvekGrep, WholeWordAndFuzzySwitches) {
  std::string sj = "-m sjis_crlf.txt ";
  Result word = Grep(sj + "--word --no-fuzzy cat " + kText);
  Result anywhere = Grep(sj + "--no-word --no-fuzzy cat " + kText);
  EXPECT_EQ(word.status, 0);
  EXPECT_EQ(anywhere.out.find("catalog") != std::string::npos, true);
  Result exact = Grep(sj + "--no-fuzzy --no-word CAT " + kText);
  Result fuzzy = Grep(sj + "--fuzzy --no-word CAT " + kText);
  EXPECT_LT(exact.out.size(), fuzzy.out.size());  // fuzzy also finds cat and ＣＡＴ
  EXPECT_NE(fuzzy.out.find("\" 14: "), std::string::npos);
  Result first = Grep(sj + "-1 --no-word cat " + kText);
  EXPECT_EQ(std::count(first.out.begin(), first.out.end(), '\n'), 1);
}

TEST(LorvekGrep, DocumentSwitches) {
  const std::string docs = test::FixturePath("docs").string();
  Result word = Grep("--doc --no-word -m sample.doc 検索 " + docs);
  EXPECT_NE(word.out.find("sample.doc\" 16: 最後の行：検索とテストはここまで。\n"), std::string::npos);
  EXPECT_EQ(std::count(word.out.begin(), word.out.end(), '\n'), 5);
  Result cells = Grep("--no-word -m sample.xls 12.34 " + docs);
  EXPECT_EQ(cells.status, 1);  // numeric cells only with --xls-numbers
  cells = Grep("--no-word --xls-numbers -m sample.xls 12.34 " + docs);
  EXPECT_EQ(cells.out, "\"" + docs + "/sample.xls\" 8: 12.34 [Page:1(1:3)]\n");
  Result raw = Grep("--no-xls --no-word -m sample.xls 12.34 " + docs);
  EXPECT_EQ(raw.status, 1);
  Result html = Grep("--html-tags --no-word -m sample_sjis.html abc " + docs);
  EXPECT_EQ(html.status, 0);
  EXPECT_EQ(Grep("--no-html-tags --no-word -m sample_sjis.html abc " + docs).status, 1);
  Result broken = Grep("--no-word -m oversize_sst.xls cat " + docs);
  EXPECT_EQ(broken.status, 2);
  EXPECT_NE(broken.err.find("EXCEL変換エラー:"), std::string::npos);
}

TEST(LorvekGrep, OfficeAndPdfSwitches) {
  const std::string office = test::FixturePath("office").string();
  Result cells = Grep("--no-word -m sample.xlsx 離れた " + office);
  EXPECT_EQ(cells.out, "\"" + office + "/sample.xlsx\" 19: 離れたセルの検索語 [Page:2(5:2)]\n");
  EXPECT_EQ(Grep("--no-office --no-word -m sample.xlsx 離れた " + office).status, 1);
  Result pdf = Grep("--no-word -m sample.pdf 脚注 " + office);
  EXPECT_EQ(pdf.status, 0);
  EXPECT_EQ(Grep("--no-pdf --no-word -m sample.pdf 脚注 " + office).status, 1);
  Result broken = Grep("--no-word -m 'protected.docx;sample.odt' 脚注 " + office);
  EXPECT_EQ(broken.status, 2);  // found, but one document could not be read
  EXPECT_NE(broken.err.find("文書変換エラー:"), std::string::npos);
  EXPECT_NE(broken.out.find("sample.odt\" 17: 脚注の検索語\n"), std::string::npos);
}

TEST(LorvekGrep, ArchivesAndFiltersWithAScratchFolderOfItsOwn) {
  const std::string arcs = test::FixturePath("archives").string();
  test::TempDir tmp;
  const std::string env = "TMPDIR=" + tmp.path().string() + " ";
  Result r = Grep("-z --no-word -m '*.txt' 検索 " + arcs + "/sample.zip " + arcs + "/sjis_names.zip");
  EXPECT_EQ(r.out, "\"" + arcs + "/sample.zip/docs/a.txt\" 2: この行に検索という語があります。\n\"" + arcs +
                       "/sample.zip/sub/c.txt\" 2: 検索とテストの行。\n\"" + arcs +
                       "/sjis_names.zip/日本語フォルダ/検索メモ.txt\" 2: この行に検索という語があります。\n\"" + arcs +
                       "/sjis_names.zip/説明.txt\" 2: 検索とテストの行。\n");
  EXPECT_EQ(Grep("--no-archives --no-word 検索 " + arcs + "/sample.zip").status, 1);
  const fs::path pdf = tmp.Write("in/a.pdf", "x");
  r = Grep("--filter /bin/echo --filter-switches 'filtered' --filter-masks '*.PDF,*.pdf' --no-word filtered " +
           pdf.parent_path().string());
  EXPECT_NE(r.out.find("a.pdf\" 1: filtered " + pdf.string() + "\n"), std::string::npos) << r.out << r.err;
  // The scratch folder goes with the run.
  std::string env_run = env + std::string(LORVEK_GREP_BIN) + " -z --no-word 検索 " + arcs + "/sample.tar >/dev/null 2>&1";
  EXPECT_EQ(std::system(env_run.c_str()), 0);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(tmp.path()))
    if (e.path().filename() != "in") left.push_back(e.path().filename().string());
  EXPECT_TRUE(left.empty()) << left[0];
}

TEST(LorvekGrep, ContextLinesAndExitStatus) {
  Result r = Grep("--context 1 --no-word -m sjis_crlf.txt 最後の行 " + kText);
  EXPECT_NE(r.out.find("\" 15- "), std::string::npos);
  EXPECT_NE(r.out.find("\" 16: "), std::string::npos);
  EXPECT_EQ(Grep("zzzzqqq " + kText).status, 1);
  EXPECT_EQ(Grep("\"(\" " + kText).status, 2);
  EXPECT_EQ(Grep("--bogus x " + kText).status, 2);
  EXPECT_EQ(Grep("--help").status, 0);
}

TEST(LorvekGrep, ALineWithACharacterShiftJisLacksIsFound) {
  test::TempDir dir;
  dir.Write("a.txt", "\xF0\xA0\xAE\xB7野家で牛丼を食べた。\n");  // 𠮷 first
  Result r = Grep("--no-word 牛丼 " + dir.path().string());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("a.txt\" 1: ?野家で牛丼を食べた。"), std::string::npos) << r.out;
}

TEST(LorvekGrep, DefaultsAreItsOwnAndIniGivesSwitchesAndMask) {
  test::TempDir dir;
  // A settings file the window left: masks and switches of its own.
  const std::string ini = dir.Write("Lorvek.ini",
                                    "[Options]\r\nWholeWord=0\r\nFuzzyChar=0\r\n[MaskSet]\r\nDefault=*.txt\r\n")
                              .string();
  dir.Write("t/a.txt", "concatenate\r\n");
  dir.Write("t/Makefile", "cat here\r\n");
  dir.Write("t/notes.text", "cat there\r\n");
  const std::string tree = (dir / "t").string();
  // Every file by default, a name without a dot too; whole words by default.
  Result plain = Grep("cat " + tree);
  EXPECT_EQ(plain.status, 0);
  EXPECT_NE(plain.out.find("Makefile\""), std::string::npos) << plain.out;
  EXPECT_NE(plain.out.find("notes.text\""), std::string::npos) << plain.out;
  EXPECT_EQ(plain.out.find("a.txt"), std::string::npos) << plain.out;  // no hit in concatenate
  EXPECT_NE(Grep("--help").out.find("default * "), std::string::npos);
  // --ini: the file's switch (WholeWord=0) and its mask text (*.txt); -m still wins.
  Result with_ini = Grep("--ini " + ini + " cat " + tree);
  EXPECT_EQ(with_ini.status, 0);
  EXPECT_NE(with_ini.out.find("a.txt\""), std::string::npos) << with_ini.out;
  EXPECT_EQ(with_ini.out.find("Makefile"), std::string::npos) << with_ini.out;
  EXPECT_NE(Grep("--ini " + ini + " -m '*' cat " + tree).out.find("Makefile\""), std::string::npos);
  Result missing = Grep("--ini " + (dir / "none.ini").string() + " cat " + tree);
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("none.ini"), std::string::npos);
}

TEST(LorvekGrep, FailuresAreSaidOnStandardErrorWithStatusTwo) {
  test::TempDir dir;
  dir.Write("t/ok.txt", "cat\r\n");
  const std::string tree = (dir / "t").string();
  // A missing target.
  Result missing = Grep("cat " + tree + " " + (dir / "nowhere").string());
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.out.find("ok.txt"), std::string::npos);  // the rest is still searched
  EXPECT_NE(missing.err.find("nowhere"), std::string::npos);
  // A character code page 932 cannot hold is refused, not searched as '?'.
  dir.Write("t/beta.txt", "beta\r\n");
  Result emoji = Grep("--no-word 'be\xF0\x9F\x98\x80ta' " + tree);
  EXPECT_EQ(emoji.status, 2);
  EXPECT_EQ(emoji.out, "");
  EXPECT_NE(emoji.err.find("Shift-JIS"), std::string::npos);
  EXPECT_EQ(Grep("-m '*\xF0\x9F\x98\x80.txt' cat " + tree).status, 2);
  // No masks at all, an invalid mask: refused, and no closing status line.
  Result none = Grep("-m '' cat " + tree);
  EXPECT_EQ(none.status, 2);
  Result bad_mask = Grep("-m '[ABC' cat " + tree);
  EXPECT_EQ(bad_mask.status, 2);
  EXPECT_EQ(bad_mask.err.find("検索を終了しました"), std::string::npos);
  // Output that cannot be written.
  EXPECT_EQ(Grep("cat " + tree + " >/dev/full").status, 2);
  // An empty path is not the root.
  EXPECT_EQ(Grep("cat ''").status, 2);
}

TEST(LorvekGrep, ContextIsMergedAndKeepsBlankLines) {
  test::TempDir dir;
  const std::string file = dir.Write("c.txt", "one\r\n\r\nhit\r\nhit\r\nfive\r\nsix\r\nseven\r\nhit\r\n").string();
  Result r = Grep("--context 1 hit " + file);
  const std::string p = "\"" + file + "\"";
  EXPECT_EQ(r.out, p + " 2- \n" + p + " 3: hit\n" + p + " 4: hit\n" + p + " 5- five\n--\n" + p + " 7- seven\n" + p +
                       " 8: hit\n");
}

TEST(LorvekGrep, AClosedPipeEndsTheRunQuietly) {
  test::TempDir dir;
  std::string many;
  for (int i = 0; i < 2000; ++i) many += "a hit here\r\n";
  for (int f = 0; f < 30; ++f) dir.Write("f" + std::to_string(f) + ".txt", many);
  Result r = Grep("hit " + dir.path().string() + " | head -1");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
  EXPECT_EQ(r.err, "");  // no complaint about the pipe
}

// A hit reaches a pipe at once, not when the next file is done; a reader
// that has gone ends the run at once too, with what it started.
TEST(LorvekGrep, HitsReachAPipeAtOnceAndAGoneReaderEndsTheRun) {
  test::TempDir dir, tools;
  dir.Write("a.txt", "a hit here\n");
  dir.Write("b.slow", "another hit\n");
  const std::string filter = tools.Write("slow.sh", "#!/bin/sh\nsleep 4\ncat \"$1\"\n").string();
  chmod(filter.c_str(), 0755);
  const std::string args = "--filter " + filter + " --filter-masks '*.slow' hit " + dir.path().string();
  const long long start_ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  // The first line read, then the time it came.
  Result r = Grep(args + " | (head -1; date +%s%N >" + (tools / "first").string() + "; cat >/dev/null)");
  const long long first_ns = std::stoll(test::ReadBytes(tools / "first"));
  EXPECT_EQ(r.out, "\"" + (dir / "a.txt").string() + "\" 1: a hit here\n");
  EXPECT_LT(first_ns - start_ns, 2'500'000'000LL);  // the filter takes 4 s
  const auto before_head = std::chrono::steady_clock::now();
  r = Grep(args + " | head -1");
  EXPECT_LT(std::chrono::steady_clock::now() - before_head, std::chrono::milliseconds(2500));
  EXPECT_EQ(r.err, "");
}

// A filter that prints nothing more for the time allowed is stopped, its
// group with it: what it printed is searched and the stop is logged. A run
// told to end while such a filter is its last work ends with 128 + the
// signal, not with the filter's failure.
TEST(LorvekGrep, AStuckFilterIsStoppedAndASignalEndsTheRunAsSignalled) {
  test::TempDir dir, tools;
  dir.Write("a.slow", "x\n");
  const std::string mark = (tools / "started").string();
  const std::string filter =
      tools.Write("stuck.sh", "#!/bin/sh\necho \"early hit\"\ntouch " + mark + "\nexec sleep 300\n").string();
  chmod(filter.c_str(), 0755);
  const std::string args = "--filter " + filter + " --filter-masks '*.slow' --no-word hit " + dir.path().string();
  const Result r = Grep(args + " --filter-timeout 1");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("early hit"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("フィルタ変換エラー:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("1 秒間出力がないため打ち切りました"), std::string::npos) << r.err;
  EXPECT_EQ(Grep(args + " --filter-timeout -1").status, 2);  // a usage error
  // A filter that works without printing for longer (its processor time
  // goes up) is no stuck one.
  const std::string busy = tools.Write("busy.sh", "#!/bin/sh\nend=$(($(date +%s) + 3))\n"
                                                  "while [ \"$(date +%s)\" -lt \"$end\" ]; do :; done\necho \"late hit\"\n").string();
  chmod(busy.c_str(), 0755);
  const Result late = Grep("--filter " + busy + " --filter-masks '*.slow' --no-word hit --filter-timeout 1 " +
                           dir.path().string());
  EXPECT_EQ(late.status, 0) << late.err;
  EXPECT_NE(late.out.find("late hit"), std::string::npos);
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    std::filesystem::remove(mark);
    const pid_t pid = fork();
    if (pid == 0) {
      const int null_fd = open("/dev/null", O_WRONLY);
      dup2(null_fd, 1);
      dup2(null_fd, 2);
      execl(LORVEK_GREP_BIN, "lorvek-grep", "--filter", filter.c_str(), "--filter-masks", "*.slow", "--no-word", "hit",
            dir.path().c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 1000 && !std::filesystem::exists(mark); ++i) usleep(10000);
    ASSERT_TRUE(std::filesystem::exists(mark));
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + sig) << sig;
  }
}

// Under a file-size limit (ulimit -f) a replace's write fails and is
// reported; the run is not ended by the signal with a backup left behind.
TEST(LorvekGrep, AFileSizeLimitFailsTheWriteNotTheRun) {
  test::TempDir bin, dir;
  const std::string grep = (bin / "lorvek-grep").string();
  std::filesystem::copy_file(LORVEK_GREP_BIN, grep);
  dir.Write("a.txt", "cat\n" + std::string(4096, 'x') + "\n");
  const std::string cmd = "ulimit -f 2; " + grep + " --no-fuzzy --replace dog cat " + dir.path().string() +
                          " >/dev/null 2>" + (bin / "err").string();
  const int st = std::system(("sh -c '" + cmd + "'").c_str());
  ASSERT_TRUE(WIFEXITED(st));
  EXPECT_EQ(WEXITSTATUS(st), 2) << test::ReadBytes(bin / "err");
  EXPECT_NE(test::ReadBytes(bin / "err").find("書き込みに失敗したため置換できない:"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "a.bak"));
  EXPECT_EQ(test::ReadBytes(dir / "a.txt").substr(0, 4), "cat\n");
}

// An empty word is told as the window tells it, not an abort.
TEST(LorvekGrep, AnEmptyWordIsRefusedWithTheWindowsWords) {
  test::TempDir dir;
  dir.Write("a.txt", "cat\n");
  const Result r = Grep("'' " + dir.path().string());
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("検索フォルダまたはキーワードを設定して下さい."), std::string::npos) << r.err;
}

// The answers by file and the colours grep users type without thinking.
TEST(LorvekGrep, FilesWithAndWithoutHitsCountsQuietAndColour) {
  test::TempDir dir;
  dir.Write("a.txt", "cat\na cat\n");
  dir.Write("b.txt", "dog\n");
  const std::string d = dir.path().string();
  EXPECT_EQ(Grep("-l cat " + d).out, d + "/a.txt\n");
  EXPECT_EQ(Grep("-L cat " + d).out, d + "/b.txt\n");
  EXPECT_EQ(Grep("--count cat " + d).out, "\"" + d + "/a.txt\":2\n\"" + d + "/b.txt\":0\n");
  Result quiet = Grep("-q cat " + d);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(Grep("-q bird " + d).status, 1);
  // A member counts as a file of its own.
  dir.Write("s.zip", test::ReadBytes(test::FixturePath("archives/sample.zip")));
  const std::string counts = Grep("-z -c 検索 " + d).out;
  EXPECT_NE(counts.find("\"" + d + "/s.zip/docs/a.txt\":"), std::string::npos) << counts;
  EXPECT_EQ(counts.find("\"" + d + "/s.zip\":"), std::string::npos) << counts;  // the archive itself is none
  // Colours only when asked or on a terminal (popen's output is a pipe).
  EXPECT_EQ(Grep("cat " + d).out.find('\33'), std::string::npos);
  EXPECT_EQ(Grep("--color=never cat " + d).out.find('\33'), std::string::npos);
  const std::string colored = Grep("--color=always --no-word cat " + d).out;
  EXPECT_NE(colored.find("\33[35m\"" + d + "/a.txt\"\33[m \33[32m2\33[m\33[36m:\33[m a \33[01;31mcat\33[m\n"),
            std::string::npos)
      << colored;
  EXPECT_EQ(Grep("--color=sometimes cat " + d).status, 2);
}

// --json: every line an object a JSON parser takes; as many matches as the
// plain output has lines; a name that is not UTF-8 given as its bytes; a
// member carries its archive and member path.
TEST(LorvekGrep, JsonLinesParseAndCountTheSame) {
  test::TempDir dir;
  dir.Write("a.txt", "a cat and a cat\nno\ncat\n");
  dir.Write("\x8c\x9f.txt", "cat \"quoted\" \\ tab\t\n");  // a Shift-JIS name
  dir.Write("s.zip", test::ReadBytes(test::FixturePath("archives/sample.zip")));
  const std::string d = dir.path().string();
  const std::string check = dir.Write("check.py", R"(import json, sys, base64
kinds = {}
paths = set()
for line in sys.stdin:
    o = json.loads(line)
    kinds[o["type"]] = kinds.get(o["type"], 0) + 1
    if o["type"] == "match":
        p = o["data"]["path"]
        paths.add(p["text"] if "text" in p else base64.b64decode(p["bytes"]).hex())
        text = o["data"]["lines"]["text"].encode()
        for m in o["data"]["submatches"]:
            assert text[m["start"]:m["end"]] == m["match"]["text"].encode(), line
        if "member" in o["data"]:
            assert o["data"]["archive"]["text"].endswith("s.zip"), line
    if o["type"] == "summary":
        assert o["data"]["stats"]["matched_lines"] == kinds["match"], line
print(kinds["match"], kinds["begin"], kinds["end"], kinds["summary"], " ".join(sorted(x for x in paths if "/" not in x)))
)").string();
  const Result json = Grep("--json -z --no-word cat " + d + " | python3 " + check);
  const Result plain = Grep("-z --no-word cat " + d);
  const auto lines = std::count(plain.out.begin(), plain.out.end(), '\n');
  ASSERT_GT(lines, 3);
  EXPECT_EQ(json.out.substr(0, json.out.find(' ')), std::to_string(lines)) << json.out << json.err;
  // The Shift-JIS name came as bytes: its hex is among the paths.
  std::string hex;
  for (unsigned char c : d + "/\x8c\x9f.txt") {
    char b[3];
    std::snprintf(b, sizeof b, "%02x", c);
    hex += b;
  }
  EXPECT_NE(json.out.find(hex), std::string::npos) << json.out;
}

// --diff reads like a patch: applied with patch -p0 to a copy of the tree
// it gives what the replace itself writes, byte for byte.
TEST(LorvekGrep, TheDiffAppliedGivesTheReplacedTree) {
  if (std::system("command -v patch >/dev/null") != 0) GTEST_SKIP() << "no patch program";
  test::TempDir work;
  std::string many;
  for (int i = 0; i < 30; ++i) many += (i == 3 || i == 9 || i == 25 ? "日本語の猫 cat\n" : "line " + std::to_string(i) + "\n");
  const std::map<std::string, std::string> files = {
      {"tree/a.txt", many},
      {"tree/sub/crlf.txt", "cat\r\nno\r\nthe cat\r\n"},
      {"tree/last.txt", "x\ny\nlast cat"},  // no final break
      {"tree/none.txt", "nothing here\n"},
  };
  for (const auto& [name, text] : files) {
    work.Write("diffed/" + name, text);
    work.Write("replaced/" + name, text);
  }
  const std::string base = work.path().string();
  const Result d = Grep("--no-word --replace 犬 --diff cat " + base + "/diffed/tree -m '*.txt'");
  ASSERT_EQ(d.status, 0) << d.err;
  EXPECT_EQ(d.out.rfind("--- " + base + "/diffed/tree/", 0), 0u) << d.out;
  // Paths as given: relative ones for patch -p0 run in the copy's folder.
  const std::string cmd = "cd " + base + "/diffed && " + LORVEK_GREP_BIN +
                          " --no-word --replace 犬 --diff cat tree -m '*.txt' 2>/dev/null | patch -s -p0";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  ASSERT_EQ(Grep("--no-word --replace 犬 cat " + base + "/replaced/tree -m '*.txt'").status, 0);
  for (const auto& [name, text] : files)
    EXPECT_EQ(test::ReadBytes(work / ("diffed/" + name)), test::ReadBytes(work / ("replaced/" + name))) << name;
  EXPECT_EQ(test::ReadBytes(work / "diffed/tree/none.txt"), "nothing here\n");
}

// A replace does not mix with the answers by file or the JSON stream: a
// quiet replace once left every file as it was and said it succeeded.
TEST(LorvekGrep, ReplaceRefusesTheAnswersByFileAndJson) {
  test::TempDir dir;
  dir.Write("a.txt", "foo\n");
  for (const char* sw : {"-q", "-l", "-c", "--json"}) {
    const Result r = Grep(std::string(sw) + " --no-word --replace BAR foo " + dir.path().string());
    EXPECT_EQ(r.status, 2) << sw;
    EXPECT_NE(r.err.find("--replace cannot be used"), std::string::npos) << sw << r.err;
  }
  EXPECT_EQ(test::ReadBytes(dir / "a.txt"), "foo\n");
}

// A file name holding a line break cannot end the diff's header and start
// another: the name is quoted, and patch touches no file outside the tree.
TEST(LorvekGrep, AFileNameCannotForgeADiffHeader) {
  if (std::system("command -v patch >/dev/null") != 0) GTEST_SKIP() << "no patch program";
  test::TempDir work;
  work.Write("victim.txt", "foo\n");
  const std::string odd = "tree/e.txt\n+++ victim.txt";
  work.Write(odd, "foo\n");
  const std::string base = work.path().string();
  const std::string cmd = "cd " + base + " && " + LORVEK_GREP_BIN +
                          " --no-word --replace PWNED --diff foo tree 2>/dev/null > d.diff; patch -s -p0 < d.diff";
  (void)std::system(cmd.c_str());
  const std::string diff = test::ReadBytes(work / "d.diff");
  EXPECT_EQ(diff.find("\n+++ victim.txt\n"), std::string::npos) << diff;
  EXPECT_NE(diff.find("\"tree/e.txt\\n+++ victim.txt\""), std::string::npos) << diff;
  EXPECT_EQ(test::ReadBytes(work / "victim.txt"), "foo\n");
}

// --undo-replace: the last replace run comes back (exit 0), a file edited
// since is left and named (exit 2), and there is nothing to undo twice
// (exit 1). A copy of the program keeps its journal beside itself.
TEST(LorvekGrep, UndoReplaceExitStatusSaysWhatCameBack) {
  test::TempDir bin, dir;
  const std::string grep = (bin / "lorvek-grep").string();
  std::filesystem::copy_file(LORVEK_GREP_BIN, grep);
  auto run = [&](const std::string& args) {
    const std::string cmd = grep + " " + args + " >/dev/null 2>" + (bin / "err").string();
    const int st = std::system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  };
  dir.Write("a.txt", "cat\n");
  dir.Write("b.txt", "a cat\n");
  const std::string d = dir.path().string();
  ASSERT_EQ(run("--replace dog cat " + d + " -m '*.txt'"), 0);
  EXPECT_EQ(run("--undo-replace"), 0);
  EXPECT_EQ(test::ReadBytes(dir / "a.txt"), "cat\n");
  EXPECT_EQ(test::ReadBytes(dir / "b.txt"), "a cat\n");
  EXPECT_EQ(run("--undo-replace"), 1);
  ASSERT_EQ(run("--replace dog cat " + d + " -m '*.txt'"), 0);
  dir.Write("b.txt", "mine now\n");
  EXPECT_EQ(run("--undo-replace"), 2);
  EXPECT_NE(test::ReadBytes(bin / "err").find("置換後に変更されたため元に戻しません:" + d + "/b.txt"), std::string::npos);
  EXPECT_EQ(test::ReadBytes(dir / "a.txt"), "cat\n");
  EXPECT_EQ(test::ReadBytes(dir / "b.txt"), "mine now\n");
  // A word replaced by itself writes nothing and says so: exit 1, no file counted.
  EXPECT_EQ(run("--no-fuzzy --replace cat cat " + d + " -m '*.txt'"), 1);
  EXPECT_NE(test::ReadBytes(bin / "err").find("0 個のファイルの 0 個の文字を変換しました."), std::string::npos);
  // Looking only: what would be done, in the words of one who has not done it.
  EXPECT_EQ(run("--no-fuzzy --replace dog --dry-run cat " + d + " -m '*.txt'"), 0);
  EXPECT_NE(test::ReadBytes(bin / "err").find("1 個のファイルの 1 個の文字を変換します"), std::string::npos);
  EXPECT_EQ(test::ReadBytes(dir / "a.txt"), "cat\n");
}

TEST(LorvekGrep, AHitOnALineLongerThanTheBoundIsPrintedCutAroundIt) {
  // One line of 20 MiB (more than the bound on a line held whole) with one
  // hit in its middle and one more line after it.
  test::TempDir dir;
  std::string bytes(size_t{20} << 20, 'x');
  bytes.replace(bytes.size() / 2, 6, "needle");
  bytes += "\nlast needle\n";
  const std::string file = dir.Write("long.txt", bytes).string();
  bytes.clear();
  bytes.shrink_to_fit();
  Result r = Grep("--no-word needle " + file);
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
  const std::string first = r.out.substr(0, r.out.find('\n'));
  const std::string x256(256, 'x');
  EXPECT_EQ(first, "\"" + file + "\" 1: …" + x256 + "needle" + x256 + "…");
  EXPECT_NE(r.out.find("\" 2: last needle\n"), std::string::npos);
}

}  // namespace
}  // namespace lorvek
