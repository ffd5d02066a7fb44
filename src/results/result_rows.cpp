#include "results/result_rows.h"

#include <algorithm>
#include <cstring>

#include "results/export_formats.h"
#include "search/line_info.h"
#include "text/path_names.h"
#include "text/encoding.h"

namespace lorvek {

int LocaleCompare(const std::string& a, const std::string& b) { return std::strcoll(a.c_str(), b.c_str()); }

bool SortStore(ResultStore& store, int column, bool& direction_flag, const TextCompare& compare) {
  if (column != 0 && column != 1) return false;
  const bool flag = direction_flag;
  auto& recs = store.records();
  auto cmp = [&](const std::unique_ptr<MatchRecord>& a, const std::unique_ptr<MatchRecord>& b) {
    long long c;
    if (column == 0) {
      c = compare(a->DisplayName, b->DisplayName);
      c = c < 0 ? -1 : c > 0 ? 1 : 0;
    } else {
      c = a->LastWriteTime < b->LastWriteTime ? -1 : a->LastWriteTime > b->LastWriteTime ? 1 : 0;
    }
    if (!flag) c = -c;
    if (c == 0) c = static_cast<long long>(a->LineNo) - b->LineNo;
    return c < 0;
  };
  std::sort(recs.begin(), recs.end(), cmp);
  direction_flag = !direction_flag;
  return true;
}

std::string StatusText(const MatchRecord& r) {
  // A member keeps its archive's name: "arc.zip / a.txt" (the " / " between
  // them is no folder separator).
  const OpenPath p = r.Path();
  const std::string shown = p.IsMember() ? FileNameOf(p.file) + " / " + FileNameOf(p.member) : FileNameOf(p.file);
  return shown + EncodingTag(r.EncodingCode, r.LineEndCode);
}

PreviewText BuildPreview(const MatchRecord& r, const PreviewSettings& s, const CompiledPattern* term0) {
  PreviewText p;
  size_t offset = 0;
  std::vector<const std::string*> lines;
  auto present = [](const std::string& line) { return line != kNulMarker; };
  if (s.wide_preview) {
    const bool context = r.EncodingCode != ecWord;
    if (context && s.prev_line == 2 && present(r.PrevLine2)) {
      lines.push_back(&r.PrevLine2);
      offset = r.PrevLine2.size() + 2;
    }
    if (context && s.prev_line > 0 && present(r.PrevLine1)) {
      lines.push_back(&r.PrevLine1);
      offset += r.PrevLine1.size() + 2;
    }
    lines.push_back(&r.LineText);
    if (context && s.next_line > 0 && present(r.NextLine1)) lines.push_back(&r.NextLine1);
    if (context && s.next_line == 2 && present(r.NextLine2)) lines.push_back(&r.NextLine2);
  } else {
    lines.push_back(&r.LineText);
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) p.text += "\r\n";
    p.text += *lines[i];
  }
  MatchPos m = term0 ? MatchLeftmostLongest(*term0, r.LineText, mcls_CRLF) : MatchPos{};
  if (m && m.length > 0) {
    p.select_start = offset + m.start - 1;
    p.select_length = m.length;
  }
  return p;
}

std::vector<std::string> HitFilePaths(const ResultStore& store, const std::vector<size_t>& rows,
                                      const std::string& work_folder) {
  std::vector<size_t> sorted = rows;
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::string> out;
  for (size_t row : sorted) {
    if (row >= store.size()) continue;
    const OpenPath p = store[row].Path();
    if (p.IsMember()) {
      std::string member = p.member;
      while (!member.empty() && member[0] == '/') member.erase(0, 1);
      out.push_back(work_folder + "/" + member);
    } else {
      out.push_back(p.file);
    }
  }
  return out;
}

std::string FolderOfRow(const MatchRecord& r) { return FolderPart(r.OpenPath); }

}  // namespace lorvek
