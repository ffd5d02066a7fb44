#pragma once

#include <cstdint>
#include <string>

namespace lorvek {

// A line handed to the per-match callback, with its context lines.
struct RE_LineInfo_t {
  std::string Line;
  std::string PrevLine1, PrevLine2, NextLine1, NextLine2;
  int32_t LineNo = 0;
};

// Stands for a context line beyond the start or the end of the text.
inline const std::string kNulMarker(1, '\0');

}  // namespace lorvek
