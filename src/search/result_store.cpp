#include "search/result_store.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "text/cp932.h"
#include "text/sjis.h"

namespace lorvek {

std::string CutAtBytes(const std::string& text, size_t max) {
  if (text.size() <= max) return text;
  size_t cut = 0;
  if (IsValidUtf8(text)) {
    cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  } else {
    for (size_t i = 0; i < text.size();) {
      size_t len = CharLength(text, i);
      if (i + len > max) break;
      i += len;
      cut = i;
    }
  }
  return text.substr(0, cut);
}

MatchRecord RecordView::ToRecord() const {
  MatchRecord r;
  r.IconIndex = IconIndex;
  r.IconKey = IconKey;
  r.DisplayName = DisplayName;
  r.LastWriteTime = LastWriteTime;
  r.LineNo = LineNo;
  r.PrevLine1 = PrevLine1;
  r.PrevLine2 = PrevLine2;
  r.NextLine1 = NextLine1;
  r.NextLine2 = NextLine2;
  r.LineText = LineText;
  r.OpenPath = OpenPath;
  r.EncodingCode = EncodingCode;
  r.LineEndCode = LineEndCode;
  r.Filtered = Filtered;
  return r;
}

ResultStore::ResultStore(size_t block_bytes) : block_bytes_(std::max<size_t>(block_bytes, 1)) {}

uint32_t ResultStore::Index32(size_t n) {
  // Rows name their texts, files and names by 32-bit numbers; running out of
  // them is running out of memory as far as the run is concerned.
  if (n >= UINT32_MAX) throw std::length_error("result store full");
  return static_cast<uint32_t>(n);
}

std::string_view ResultStore::Text(TextRef ref) const {
  if (ref.size == 0) return {};
  return {blocks_[ref.block].get() + ref.offset, ref.size};
}

ResultStore::TextRef ResultStore::Put(std::string_view text) {
  if (text.empty()) return {};
  const uint32_t size = Index32(text.size());
  if (text.size() > block_bytes_ / 2) {
    // A long text gets a block of its own, so the current block's free end
    // is not thrown away for it.
    const uint32_t block = Index32(blocks_.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(text.size()));
    block_sizes_.push_back(text.size());
    std::memcpy(blocks_.back().get(), text.data(), text.size());
    return {block, 0, size};
  }
  if (current_ == SIZE_MAX || block_bytes_ - used_ < text.size()) {
    Index32(blocks_.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(block_bytes_));
    block_sizes_.push_back(block_bytes_);
    current_ = blocks_.size() - 1;
    used_ = 0;
  }
  std::memcpy(blocks_[current_].get() + used_, text.data(), text.size());
  const TextRef ref{static_cast<uint32_t>(current_), static_cast<uint32_t>(used_), size};
  used_ += text.size();
  return ref;
}

ResultStore::TextRef ResultStore::PutLine(std::string_view text) {
  if (text.empty()) return {};
  for (const TextRef& r : recent_)
    if (r.size == text.size() && Text(r) == text) return r;
  const TextRef ref = Put(text);
  recent_[recent_next_] = ref;
  recent_next_ = (recent_next_ + 1) % kRecent;
  return ref;
}

bool ResultStore::SameFile(const FileEntry& f, const MatchRecord& r) const {
  return f.time == r.LastWriteTime && f.encoding_code == r.EncodingCode && f.line_end_code == r.LineEndCode &&
         f.filtered == r.Filtered && Text(f.open_path) == r.OpenPath && Text(f.icon_key) == r.IconKey;
}

uint32_t ResultStore::FileOf(const MatchRecord& r) {
  if (!rows_.empty() && SameFile(files_[rows_.back().file], r)) return rows_.back().file;
  // Lines of another file share nothing with this one's.
  recent_.fill({});
  auto known = file_ids_.find(r.OpenPath);
  if (known != file_ids_.end() && SameFile(files_[known->second], r)) return known->second;
  FileEntry f;
  f.open_path = Put(r.OpenPath);
  const std::string_view open = Text(f.open_path);
  if (!r.IconKey.empty() && open.ends_with(r.IconKey))
    f.icon_key = {f.open_path.block, f.open_path.offset + static_cast<uint32_t>(open.size() - r.IconKey.size()),
                  static_cast<uint32_t>(r.IconKey.size())};
  else
    f.icon_key = Put(r.IconKey);
  f.time = r.LastWriteTime;
  f.encoding_code = r.EncodingCode;
  f.line_end_code = r.LineEndCode;
  f.filtered = r.Filtered;
  const uint32_t id = Index32(files_.size());
  files_.push_back(f);
  file_ids_[open] = id;
  return id;
}

uint32_t ResultStore::NameOf(std::string_view name) {
  if (!rows_.empty() && Text(names_[rows_.back().name]) == name) return rows_.back().name;
  auto it = name_ids_.find(name);
  if (it != name_ids_.end()) return it->second;
  const uint32_t id = Index32(names_.size());
  const TextRef ref = Put(name);
  names_.push_back(ref);
  name_ids_.emplace(Text(ref), id);
  return id;
}

void ResultStore::Append(const MatchRecord& r) {
  Index32(rows_.size());
  Row row;
  row.file = FileOf(r);
  row.name = NameOf(r.DisplayName);
  row.line_no = r.LineNo;
  row.icon_index = r.IconIndex;
  if (!r.PrevLine1.empty() || !r.PrevLine2.empty() || !r.NextLine1.empty() || !r.NextLine2.empty()) {
    // In line order, so that each line can meet its copy among the texts
    // just stored.
    std::array<TextRef, 4> c;
    c[1] = PutLine(r.PrevLine2);
    c[0] = PutLine(r.PrevLine1);
    row.text = PutLine(r.LineText);
    c[2] = PutLine(r.NextLine1);
    c[3] = PutLine(r.NextLine2);
    row.context = Index32(contexts_.size());
    contexts_.push_back(c);
  } else {
    row.text = PutLine(r.LineText);
  }
  rows_.push_back(row);
}

RecordView ResultStore::operator[](size_t i) const {
  const Row& row = rows_.at(i);
  const FileEntry& f = files_[row.file];
  RecordView v;
  v.IconIndex = row.icon_index;
  v.IconKey = Text(f.icon_key);
  v.DisplayName = Text(names_[row.name]);
  v.LastWriteTime = f.time;
  v.LineNo = row.line_no;
  if (row.context != kNoContext) {
    const auto& c = contexts_[row.context];
    v.PrevLine1 = Text(c[0]);
    v.PrevLine2 = Text(c[1]);
    v.NextLine1 = Text(c[2]);
    v.NextLine2 = Text(c[3]);
  }
  v.LineText = Text(row.text);
  v.OpenPath = Text(f.open_path);
  v.EncodingCode = f.encoding_code;
  v.LineEndCode = f.line_end_code;
  v.Filtered = f.filtered;
  return v;
}

void ResultStore::SetLineText(size_t i, std::string_view text) {
  // The old bytes stay where they are: views handed out earlier still read them.
  rows_.at(i).text = Put(text);
}

void ResultStore::Permute(const std::vector<uint32_t>& order) {
  if (order.size() != rows_.size()) throw std::invalid_argument("ResultStore::Permute: wrong size");
  std::vector<Row> sorted;
  sorted.reserve(rows_.size());
  for (uint32_t k : order) sorted.push_back(rows_.at(k));
  rows_ = std::move(sorted);
}

void ResultStore::Clear() {
  rows_ = decltype(rows_){};
  files_ = decltype(files_){};
  file_ids_ = decltype(file_ids_){};
  names_ = decltype(names_){};
  name_ids_ = decltype(name_ids_){};
  contexts_ = decltype(contexts_){};
  blocks_ = decltype(blocks_){};
  block_sizes_ = decltype(block_sizes_){};
  current_ = SIZE_MAX;
  used_ = 0;
  recent_.fill({});
  recent_next_ = 0;
}

size_t ResultStore::MemoryBytes() const {
  size_t bytes = rows_.capacity() * sizeof(Row) + files_.capacity() * sizeof(FileEntry) +
                 names_.capacity() * sizeof(TextRef) + contexts_.capacity() * sizeof(contexts_[0]) +
                 blocks_.capacity() * sizeof(blocks_[0]) + block_sizes_.capacity() * sizeof(size_t);
  // A node and a bucket for each file and name id.
  const size_t node = sizeof(void*) + sizeof(std::string_view) + sizeof(uint32_t) + sizeof(size_t);
  bytes += (name_ids_.size() + file_ids_.size()) * node +
           (name_ids_.bucket_count() + file_ids_.bucket_count()) * sizeof(void*);
  for (size_t s : block_sizes_) bytes += s;
  return bytes;
}

}  // namespace lorvek
