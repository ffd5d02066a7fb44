// One record per matching line, in the order found.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lorvek {

struct MatchRecord {
  int32_t IconIndex = 0;        // -1 when the record repeats the previous file (SamePrint 1, 2)
  std::string IconKey;          // file name the window looks the type icon up by
  std::string DisplayName;      // first column, at most 255 bytes
  int64_t LastWriteTime = 0;    // FILETIME: 100 ns units since 1601-01-01 UTC
  int32_t LineNo = 0;
  std::string PrevLine1, PrevLine2, NextLine1, NextLine2;
  std::string LineText;         // Shift-JIS
  std::string OpenPath;         // full path, or "@" archive "@" member
  int32_t EncodingCode = 5;
  int32_t LineEndCode = 1;
  bool Filtered = false;
};

// Where a hit came from, as the run knows it when the hit is added.
struct MatchSource {
  std::string path;          // file path, or the member path in archive mode
  int64_t last_write_time = 0;
  bool archive_mode = false;
  std::string archive_path;  // archive mode only
  std::string base_folder;   // BaseFolder (normal mode)
  bool target_is_file = false;
  int32_t encoding_code = 5;
  int32_t line_end_code = 1;
  bool document = false;
  bool filtered = false;
};

struct MatchContext {
  std::string prev1, prev2, next1, next2;
};

class ResultStore {
 public:
  static constexpr size_t kMaxDisplayBytes = 255;

  size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  MatchRecord& operator[](size_t i) { return *records_[i]; }
  const MatchRecord& operator[](size_t i) const { return *records_[i]; }
  // The pointer list itself, for the sort of the result list.
  std::vector<std::unique_ptr<MatchRecord>>& records() { return records_; }

  // Builds and appends a record (display rules of PathPrint and SamePrint).
  void AddMatch(const MatchSource& source, const std::string& line_text, int32_t line_no,
                const MatchContext& context, bool wide_preview, int path_print, int same_print);
  void Clear();
  // Forgets the last display path (start of a run).
  void ForgetLastPath() { last_display_path_.clear(); }

 private:
  std::vector<std::unique_ptr<MatchRecord>> records_;
  std::string last_display_path_;
};

// The file name part of a path (after the last '/').
std::string FileNamePart(const std::string& path);
// Cuts text to at most max bytes without splitting a UTF-8 or Shift-JIS character.
std::string CutAtBytes(const std::string& text, size_t max);

}  // namespace lorvek
