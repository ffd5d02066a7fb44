// lorvek-grep end to end: output lines, options and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>

#include "test_util.h"

namespace lorvek {
namespace {

struct Result {
  std::string out;
  int status;
};

// lorvek-grep with its own defaults (it reads no settings file unless told).
Result Grep(const std::string& args) {
  std::string cmd = std::string(LORVEK_GREP_BIN) + " " + args + " 2>/dev/null";
  Result r;
  FILE* p = popen(cmd.c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
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

TEST(LorvekGrep, ContextLinesAndExitStatus) {
  Result r = Grep("--context 1 --no-word -m sjis_crlf.txt 最後の行 " + kText);
  EXPECT_NE(r.out.find("\" 15- "), std::string::npos);
  EXPECT_NE(r.out.find("\" 16: "), std::string::npos);
  EXPECT_EQ(Grep("zzzzqqq " + kText).status, 1);
  EXPECT_EQ(Grep("\"(\" " + kText).status, 2);
  EXPECT_EQ(Grep("--bogus x " + kText).status, 2);
  EXPECT_EQ(Grep("--help").status, 0);
}

}  // namespace
}  // namespace lorvek
