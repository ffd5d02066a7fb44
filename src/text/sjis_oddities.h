// Counts what Shift-JIS text does not hold, for the second look at a file
// the probe called Shift-JIS: bytes that are no character of code page 932
// (a lead byte without its trail, 80, A0, FD to FF) and the user-defined
// lead bytes F0 to F9 that EUC-JP text is full of. Fed piece by piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lorvek {

class SjisOddities {
 public:
  void Feed(std::string_view s);
  size_t Count() const { return odd_ + (trail_next_ ? 1 : 0); }

 private:
  // Whole 64-byte steps from i on, while they fit; i is left after them.
  void FeedSteps(const unsigned char* p, size_t n, size_t& i);

  bool trail_next_ = false;  // the next byte is the trail of a lead already seen
  size_t odd_ = 0;
};

}  // namespace lorvek
