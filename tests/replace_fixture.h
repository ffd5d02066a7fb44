// A search over a folder, then the replace run over its records, with a
// front end that answers from a script: what the replace tests share.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "replace/replace_run.h"
#include "search/result_store.h"
#include "search/search_run.h"
#include "test_util.h"

namespace lorvek::test {

using Answer = ReplaceFrontEnd::Answer;

class ScriptedFrontEnd : public UnattendedReplace {
 public:
  std::deque<Answer> answers;  // Yes when it runs out
  std::vector<std::string> questions;
  bool html_answer = true;
  bool html_dont_show_again = false;
  int html_asked = 0;
  Answer AskReplace(const std::string& q) override {
    questions.push_back(q);
    if (answers.empty()) return Answer::Yes;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  bool ContinueDespiteHtmlTags(bool& dont_show_again) override {
    ++html_asked;
    dont_show_again = html_dont_show_again;
    return html_answer;
  }
};

// A search over dir, then the replace run over its records.
struct ReplaceFixture {
  TempDir program, dir;
  ResultStore store;
  NullFrontEnd front;
  SearchRun run{front, store, program.path().string()};
  ScriptedFrontEnd replies;
  ReplaceSettings settings;

  ReplaceFixture() {
    run.options().code_cng_mode = 1;
    run.options().fuzzy_char = false;
    run.options().whole_word = false;
    settings.whole_word = false;
    settings.code_cng_mode = 1;
  }
  void Search(const std::string& word_utf8, const std::string& masks = "*") {
    run.FindButtonClick(Sj(word_utf8), dir.path().string(), masks);
  }
  ReplaceResult Replace(const std::string& with_utf8, bool selected_only = false, std::vector<size_t> rows = {},
                        bool dry_run = false) {
    ReplaceRun r(store, *run.Compiled(), settings, replies);
    return r.Run(Sj(with_utf8), selected_only, rows, dry_run);
  }
  std::string Path(const std::string& name) const { return (dir / name).string(); }
  std::string Bytes(const std::string& name) const { return test::ReadBytes(dir / name); }
};

}  // namespace lorvek::test
