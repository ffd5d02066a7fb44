// One record per matching line: what the list shows, exports write and
// opening a hit reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "search/open_path.h"

namespace lorvek {

// A record as the run hands it to its sinks: it owns its strings.
struct MatchRecord {
  int32_t IconIndex = 0;        // -1 when the record repeats the previous file (SamePrint 1, 2)
  std::string IconKey;          // file name the window looks the type icon up by
  std::string DisplayName;      // first column, at most 255 bytes
  int64_t LastWriteTime = 0;    // FILETIME: 100 ns units since 1601-01-01 UTC
  int32_t LineNo = 0;
  std::string PrevLine1, PrevLine2, NextLine1, NextLine2;
  std::string LineText;         // Shift-JIS
  std::string OpenPath;         // full path, or "@" archive "@" member (see open_path.h)
  int32_t EncodingCode = 5;
  int32_t LineEndCode = 1;
  bool Filtered = false;

  lorvek::OpenPath Path() const { return lorvek::OpenPath::Parse(OpenPath); }
};

// The same fields read in place: a row of the result store, or a record a
// sink holds. The texts point into whatever the view was made from, so a
// view must not outlive it (for a store row: until the store is cleared).
struct RecordView {
  int32_t IconIndex = 0;
  std::string_view IconKey;
  std::string_view DisplayName;
  int64_t LastWriteTime = 0;
  int32_t LineNo = 0;
  std::string_view PrevLine1, PrevLine2, NextLine1, NextLine2;
  std::string_view LineText;
  std::string_view OpenPath;
  int32_t EncodingCode = 5;
  int32_t LineEndCode = 1;
  bool Filtered = false;

  RecordView() = default;
  // Implicit: whatever reads a view reads a record the same way.
  RecordView(const MatchRecord& r)  // NOLINT(google-explicit-constructor)
      : IconIndex(r.IconIndex), IconKey(r.IconKey), DisplayName(r.DisplayName), LastWriteTime(r.LastWriteTime),
        LineNo(r.LineNo), PrevLine1(r.PrevLine1), PrevLine2(r.PrevLine2), NextLine1(r.NextLine1),
        NextLine2(r.NextLine2), LineText(r.LineText), OpenPath(r.OpenPath), EncodingCode(r.EncodingCode),
        LineEndCode(r.LineEndCode), Filtered(r.Filtered) {}
  RecordView(MatchRecord&&) = delete;  // its texts would die with it

  lorvek::OpenPath Path() const { return lorvek::OpenPath::Parse(OpenPath); }
  // An owning copy.
  MatchRecord ToRecord() const;
};

// Cuts text to at most max bytes without splitting a UTF-8 or Shift-JIS character.
std::string CutAtBytes(const std::string& text, size_t max);

}  // namespace lorvek
