// The search with files read ahead on worker threads against the same
// search on one thread: the records, counters, status texts and log must
// be the same, byte for byte and in the same order.
#include <gtest/gtest.h>

#include <sstream>

#include "search_harness.h"
#include "test_util.h"

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

std::string Describe(const MatchRecord& r) {
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

}  // namespace
}  // namespace lorvek
