#include "replace/replace_preview.h"

#include <algorithm>
#include <map>

namespace lorvek {

size_t ReplacePreview::LineCount() const {
  size_t n = 0;
  for (const PreviewFile& f : files) n += f.lines.size();
  return n;
}

size_t ReplacePreview::ReplacementCount() const {
  size_t n = 0;
  for (const PreviewFile& f : files)
    for (const PreviewLine& l : f.lines) n += l.spans.size();
  return n;
}

std::vector<ReplacedSpan> SpansOf(const std::vector<LineEdit>& edits) {
  std::vector<ReplacedSpan> spans;
  // Each replacement moves what follows it by its change in length.
  long long shift = 0;
  for (const LineEdit& e : edits) {
    ReplacedSpan s;
    s.old_begin = e.begin;
    s.old_end = e.end;
    s.new_begin = static_cast<size_t>(static_cast<long long>(e.begin) + shift);
    s.new_end = s.new_begin + e.replacement.size();
    shift += static_cast<long long>(e.replacement.size()) - static_cast<long long>(e.end - e.begin);
    spans.push_back(s);
  }
  return spans;
}

ReplacePreview PreviewReplace(ResultStore& store, const CompiledWord& word, const ReplaceSettings& settings,
                              ReplaceFrontEnd& front_end, const std::string& replacement, bool selected_only,
                              const std::vector<size_t>& selected) {
  ReplaceRun run(store, word, settings, front_end);
  ReplaceResult r = run.Run(replacement, selected_only, selected, /*dry_run=*/true);
  ReplacePreview preview;
  preview.notes = std::move(r.notes);
  preview.aborted = r.aborted;
  // A file whose rows are not adjacent is loaded once per stretch of rows:
  // one entry all the same, with the bytes of its first load.
  std::map<std::string, size_t> index_of;
  for (ReplaceResult::FileChange& fc : r.file_changes) {
    if (index_of.count(fc.path)) continue;
    index_of[fc.path] = preview.files.size();
    preview.files.push_back({fc.path, std::move(fc.old_bytes), {}});
  }
  for (ReplaceResult::Change& c : r.changes) {
    auto at = index_of.find(c.path);
    if (at == index_of.end()) {  // cannot happen: a change comes with its file
      at = index_of.emplace(c.path, preview.files.size()).first;
      preview.files.push_back({c.path, {}, {}});
    }
    PreviewLine line{c.line_no, std::move(c.old_text), std::move(c.new_text), SpansOf(c.edits)};
    preview.files[at->second].lines.push_back(std::move(line));
  }
  for (PreviewFile& f : preview.files)
    std::stable_sort(f.lines.begin(), f.lines.end(),
                     [](const PreviewLine& a, const PreviewLine& b) { return a.line_no < b.line_no; });
  return preview;
}

ReplaceChoice ChooseAll(const ReplacePreview& preview) {
  ReplaceChoice choice;
  for (const PreviewFile& f : preview.files) {
    for (const PreviewLine& l : f.lines) choice.lines[f.path].insert(l.line_no);
    choice.seen_bytes[f.path] = f.bytes;
  }
  return choice;
}

}  // namespace lorvek
