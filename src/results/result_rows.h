// What the result list derives from its records: sorting, the status text,
// the preview with its selection, and the texts of the copy commands.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "search/regex/matcher.h"
#include "search/result_store.h"

namespace lorvek {

// Sorts the whole store by column 0 (DisplayName, locale order) or 1
// (LastWriteTime) with the column's direction flag, ties by ascending line
// number, then inverts the flag. Other columns do nothing; returns whether it sorted.
using TextCompare = std::function<int(const std::string&, const std::string&)>;
bool SortStore(ResultStore& store, int column, bool& direction_flag, const TextCompare& compare);
int LocaleCompare(const std::string& a, const std::string& b);

// The file name (after an archive path's " / " the member's) and the encoding tag.
std::string StatusText(const RecordView& r);

struct PreviewSettings {
  bool wide_preview = false;
  int prev_line = 0;  // 0..2
  int next_line = 0;  // 0..2
};
struct PreviewText {
  std::string text;          // Shift-JIS, lines joined by CR LF
  size_t select_start = 0;   // byte offset in text
  size_t select_length = 0;  // 0: nothing selected
};
// term0: the run's term 0, which marks the hit (nullptr: nothing marked).
PreviewText BuildPreview(const RecordView& r, const PreviewSettings& s, const CompiledPattern* term0);

// The paths "copy file names" and a drag carry: an archive member maps to the
// file it is (or would be) extracted to under the work folder.
std::vector<std::string> HitFilePaths(const ResultStore& store, const std::vector<size_t>& rows,
                                      const std::string& work_folder);
// "Copy folder": the directory part of the first selected row's open path.
std::string FolderOfRow(const RecordView& r);

}  // namespace lorvek
