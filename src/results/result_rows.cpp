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
  // The column's value becomes a number per row: the time itself, or the
  // rank of the display name among the distinct names, so the locale is
  // asked once per name and not for every comparison of rows.
  std::vector<int64_t> rank;
  if (column == 0) {
    std::vector<std::string> names(store.DisplayNameCount());
    for (size_t k = 0; k < names.size(); ++k) names[k] = std::string(store.DisplayNameText(static_cast<uint32_t>(k)));
    std::vector<uint32_t> by_name(names.size());
    for (size_t k = 0; k < by_name.size(); ++k) by_name[k] = static_cast<uint32_t>(k);
    std::sort(by_name.begin(), by_name.end(),
              [&](uint32_t a, uint32_t b) { return compare(names[a], names[b]) < 0; });
    rank.assign(names.size(), 0);
    for (size_t k = 1; k < by_name.size(); ++k)
      rank[by_name[k]] = rank[by_name[k - 1]] + (compare(names[by_name[k - 1]], names[by_name[k]]) != 0 ? 1 : 0);
  }
  struct Key {
    int64_t value;
    int32_t line_no;
    uint32_t row;
  };
  std::vector<Key> keys(store.size());
  for (size_t i = 0; i < keys.size(); ++i)
    keys[i] = {column == 0 ? rank[store.DisplayNameId(i)] : store.LastWriteTimeOf(i), store.LineNoOf(i),
               static_cast<uint32_t>(i)};
  // Without the flag the column runs backwards; ties always by ascending line.
  auto cmp = [flag](const Key& a, const Key& b) {
    if (a.value != b.value) return flag ? a.value < b.value : a.value > b.value;
    return a.line_no < b.line_no;
  };
  std::sort(keys.begin(), keys.end(), cmp);
  std::vector<uint32_t> order(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) order[i] = keys[i].row;
  store.Permute(order);
  direction_flag = !direction_flag;
  return true;
}

std::string StatusText(const RecordView& r) {
  // A member keeps its archive's name: "arc.zip / a.txt" (the " / " between
  // them is no folder separator).
  const OpenPath p = r.Path();
  const std::string shown = p.IsMember() ? FileNameOf(p.file) + " / " + FileNameOf(p.member) : FileNameOf(p.file);
  return shown + EncodingTag(r.EncodingCode, r.LineEndCode);
}

PreviewText BuildPreview(const RecordView& r, const PreviewSettings& s, const CompiledPattern* term0) {
  PreviewText p;
  size_t offset = 0;
  std::vector<std::string_view> lines;
  auto present = [](std::string_view line) { return line != kNulMarker; };
  if (s.wide_preview) {
    const bool context = r.EncodingCode != ecWord;
    if (context && s.prev_line == 2 && present(r.PrevLine2)) {
      lines.push_back(r.PrevLine2);
      offset = r.PrevLine2.size() + 2;
    }
    if (context && s.prev_line > 0 && present(r.PrevLine1)) {
      lines.push_back(r.PrevLine1);
      offset += r.PrevLine1.size() + 2;
    }
    lines.push_back(r.LineText);
    if (context && s.next_line > 0 && present(r.NextLine1)) lines.push_back(r.NextLine1);
    if (context && s.next_line == 2 && present(r.NextLine2)) lines.push_back(r.NextLine2);
  } else {
    lines.push_back(r.LineText);
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) p.text += "\r\n";
    p.text += lines[i];
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

std::string FolderOfRow(const RecordView& r) { return FolderPart(std::string(r.OpenPath)); }

}  // namespace lorvek
