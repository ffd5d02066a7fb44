// The records of a run in the order found: the window's sink, and what the
// list, exports and replace read afterwards.
//
// A run can find a million lines, so a row is kept small: the texts live in
// large blocks of bytes that are only ever appended to (a row names its text
// by block, offset and length), the file's open path, icon key, time and
// codes are kept once per file, each distinct display name once, and the
// context lines (when there are any) in a table of their own. Reading a row
// gives a RecordView whose texts point into the blocks; they stay valid until
// the store is cleared.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "search/match_record.h"
#include "search/record_sink.h"

namespace lorvek {

class ResultStore : public RecordSink {
 public:
  static constexpr size_t kBlockBytes = size_t{1} << 20;

  // block_bytes: size of a text block (small ones only make tests reach a
  // block's end quickly).
  explicit ResultStore(size_t block_bytes = kBlockBytes);
  ResultStore(ResultStore&&) noexcept = default;
  ResultStore& operator=(ResultStore&&) noexcept = default;

  size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  RecordView operator[](size_t i) const;

  void Append(const MatchRecord& record);
  void Append(std::unique_ptr<MatchRecord> record) { Append(*record); }
  // A row's line as it reads now (after a replace); the other fields stay.
  void SetLineText(size_t i, std::string_view text);
  // The last write time of a row's file, for every row of that file (after
  // a replace wrote it).
  void SetLastWriteTime(size_t i, int64_t time) { files_.at(rows_.at(i).file).time = time; }
  void Clear();

  // For the sort of the result list: each distinct display name has an id;
  // Permute puts old row order[k] at row k (order must be a permutation).
  size_t DisplayNameCount() const { return names_.size(); }
  std::string_view DisplayNameText(uint32_t id) const { return Text(names_[id]); }
  uint32_t DisplayNameId(size_t i) const { return rows_[i].name; }
  int64_t LastWriteTimeOf(size_t i) const { return files_[rows_[i].file].time; }
  int32_t LineNoOf(size_t i) const { return rows_[i].line_no; }
  void Permute(const std::vector<uint32_t>& order);

  // Bytes the store holds for its rows and texts (capacity, not use).
  size_t MemoryBytes() const;

  // RecordSink
  void RunBegins() override { Clear(); }
  bool Take(std::unique_ptr<MatchRecord> record, MatchPos) override {
    Append(*record);
    return true;
  }

 private:
  struct TextRef {
    uint32_t block = 0, offset = 0, size = 0;
  };
  struct FileEntry {
    TextRef open_path, icon_key;
    int64_t time = 0;
    int32_t encoding_code = 0, line_end_code = 0;
    bool filtered = false;
  };
  struct Row {
    TextRef text;
    uint32_t file = 0, name = 0, context = kNoContext;
    int32_t line_no = 0, icon_index = 0;
  };
  static constexpr uint32_t kNoContext = UINT32_MAX;
  static constexpr size_t kRecent = 8;

  std::string_view Text(TextRef ref) const;
  TextRef Put(std::string_view text);
  // Put, but a text equal to one of the last few stored for this file is
  // shared: a hit's context lines are mostly the lines of its neighbours.
  TextRef PutLine(std::string_view text);
  bool SameFile(const FileEntry& f, const MatchRecord& r) const;
  uint32_t FileOf(const MatchRecord& r);
  uint32_t NameOf(std::string_view name);
  static uint32_t Index32(size_t n);

  size_t block_bytes_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::vector<size_t> block_sizes_;
  size_t current_ = SIZE_MAX;  // block that small texts go to
  size_t used_ = 0;            // bytes used in it

  std::vector<Row> rows_;
  std::vector<FileEntry> files_;
  std::unordered_map<std::string_view, uint32_t> file_ids_;  // by open path: its latest entry
  std::vector<TextRef> names_;
  std::unordered_map<std::string_view, uint32_t> name_ids_;
  std::vector<std::array<TextRef, 4>> contexts_;
  std::array<TextRef, kRecent> recent_{};
  size_t recent_next_ = 0;
};

}  // namespace lorvek
