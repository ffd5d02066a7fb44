// One record per matching line: what the list shows, exports write and
// opening a hit reads.
#pragma once

#include <cstdint>
#include <string>

#include "search/open_path.h"

namespace lorvek {

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

// Cuts text to at most max bytes without splitting a UTF-8 or Shift-JIS character.
std::string CutAtBytes(const std::string& text, size_t max);

}  // namespace lorvek
