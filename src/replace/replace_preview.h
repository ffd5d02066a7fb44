// What a replace would change, before anything is written: per file, each
// line that would change with its old and new text and where the
// replacements sit in both. It is the replace run itself, only looking, so
// it shows what the run writes; the lines the user keeps then go to the run
// as a ReplaceChoice.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "replace/replace_run.h"

namespace lorvek {

// One replacement: byte offsets into the old and the new Shift-JIS text.
struct ReplacedSpan {
  size_t old_begin = 0, old_end = 0;
  size_t new_begin = 0, new_end = 0;
};

struct PreviewLine {
  int32_t line_no = 0;
  std::string old_text, new_text;  // Shift-JIS, without the break
  std::vector<ReplacedSpan> spans;
};

struct PreviewFile {
  std::string path;  // as the rows hold it
  std::string bytes;  // the file as it was read
  std::vector<PreviewLine> lines;  // by line number
};

struct ReplacePreview {
  std::vector<PreviewFile> files;
  std::vector<std::string> notes;  // what would be skipped or refused (UTF-8)
  bool aborted = false;            // stopped (the HTML warning): incomplete
  size_t LineCount() const;
  size_t ReplacementCount() const;
};

// The replacements' places in the old line and in the new one made from it.
std::vector<ReplacedSpan> SpansOf(const std::vector<LineEdit>& edits);

// Runs the replace without writing (no question is asked; the front end
// shows progress and the HTML warning).
ReplacePreview PreviewReplace(ResultStore& store, const CompiledWord& word, const ReplaceSettings& settings,
                              ReplaceFrontEnd& front_end, const std::string& replacement, bool selected_only,
                              const std::vector<size_t>& selected = {});

// Every line of the preview, with the bytes each file had.
ReplaceChoice ChooseAll(const ReplacePreview& preview);

}  // namespace lorvek
