// A search run over real files with a front end that records what it is
// told, for the tests of the run and of its sources.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "search/result_store.h"
#include "search/search_run.h"
#include "test_util.h"
#include "text/path_names.h"

namespace lorvek::test {

class RecordingFrontEnd : public SearchFrontEnd {
 public:
  void SetStatusText(int panel, const std::string& text) override { panels[panel] = text; }
  void SetTitle(const std::string& t) override { titles.push_back(t); }
  void SetRowCount(size_t rows) override { row_counts.push_back(rows); }
  void SetErrorLogVisible(bool v) override { error_log_visible = v; }
  void ShowError(const std::string& m) override { errors.push_back(m); }
  void ShowWarning(const std::string& m) override { warnings.push_back(m); }
  void SetSearchingState(bool on) override { searching_state = on; }
  void ShowReport(const std::vector<std::string>& lines) override { reports.insert(reports.end(), lines.begin(), lines.end()); }
  void ProcessPendingEvents() override {
    ++events;
    if (on_events) on_events();
  }
  std::string panels[5];
  std::vector<std::string> titles, errors, warnings;
  std::vector<size_t> row_counts;
  std::vector<std::string> reports;
  bool error_log_visible = false;
  bool searching_state = false;
  int events = 0;
  std::function<void()> on_events;
};

struct Harness {
  TempDir program;
  RecordingFrontEnd front;
  ResultStore store;
  SearchRun run{front, store, program.path().string()};
  Harness() {
    // Filters and archive members never touch the user's work folder.
    run.SetWorkFolder(WorkFolder(program.path().string(), "work"));
    run.options().fuzzy_char = false;
    run.options().whole_word = false;
    run.options().code_cng_mode = 1;
  }
  void Search(const std::string& word_utf8, const std::string& target, const std::string& masks = "*") {
    run.FindButtonClick(Sj(word_utf8), target, masks);
  }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (size_t i = 0; i < store.size(); ++i) names.insert(FileNameOf(store[i].OpenPath));
    return names;
  }
  std::string Log() const { return test::ReadBytes(program / "LOG.TXT"); }
};

}  // namespace lorvek::test
