// Finds the next place where any of a few fixed byte strings starts: one
// string through memmem, several by their first two bytes, sixteen bytes at
// a time, each place confirmed against the strings that begin so.
#pragma once

#include <cstddef>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lorvek {

class MultiStringSearch {
 public:
  explicit MultiStringSearch(std::vector<std::string> strings);

  // The first offset at or after from where one of the strings starts, or
  // npos (also when there are no strings).
  size_t Find(std::string_view text, size_t from) const;
  const std::vector<std::string>& Strings() const { return strings_; }

 private:
  size_t FindByPairs(std::string_view text, size_t from) const;
  size_t FindEach(std::string_view text, size_t from) const;
  bool StartsHere(std::string_view text, size_t at) const;

  std::vector<std::string> strings_;
  size_t shortest_ = 0;
  // The distinct first two bytes of the strings (all at least two long),
  // when there are few enough to compare side by side.
  std::vector<std::pair<uint8_t, uint8_t>> pairs_;
  // The pairs' bytes, each repeated across sixteen lanes.
  std::vector<std::array<uint8_t, 16>> firsts_, seconds_;
};

}  // namespace lorvek
