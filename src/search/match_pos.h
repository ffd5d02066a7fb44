// Where a match lies in a line.
#pragma once

#include <cstddef>

namespace lorvek {

// 1-based start (0: no match) and length in bytes.
struct MatchPos {
  size_t start = 0;
  size_t length = 0;
  explicit operator bool() const { return start != 0; }
  bool operator==(const MatchPos&) const = default;
};

}  // namespace lorvek
