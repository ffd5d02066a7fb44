// Builds the record of an accepted line: the display name by PathPrint and
// SamePrint (which remembers the previous record's file), the codes of the
// source, the open path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "search/match_record.h"

namespace lorvek {

// Where a hit came from, as the run knows it when the hit is found.
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

class RecordBuilder {
 public:
  static constexpr size_t kMaxDisplayBytes = 255;

  // Forgets the last display path (start of a run).
  void ForgetLastPath() { last_display_path_.clear(); }
  // context: the four lines around the hit, or nullptr (all four empty).
  std::unique_ptr<MatchRecord> Build(const MatchSource& source, std::string line_text, int32_t line_no,
                                     const MatchContext* context, int path_print, int same_print);

 private:
  std::string last_display_path_;
};

}  // namespace lorvek
