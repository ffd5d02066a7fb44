// Finds the next place where any of a few fixed byte strings starts. Each
// string is looked for by two of its bytes at once, sixteen or thirty-two
// places at a time (one string: its first and its last byte; several: their
// first two bytes), and each place is confirmed against the strings.
#pragma once

#include <array>
#include <cstddef>
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
  // Off: the sixteen-byte steps only, also where the processor has wider
  // ones (so that tests run both).
  static void UseWideSteps(bool use);

 private:
  using Lanes = std::array<uint8_t, 32>;  // one byte repeated across a vector
  size_t FindByBytes(std::string_view text, size_t from) const;
  size_t FindEach(std::string_view text, size_t from) const;
  bool StartsHere(std::string_view text, size_t at) const;
  // The vector steps from i while a whole step fits; i is left where they
  // stopped. npos when no string starts in them.
  size_t ScanSse2(std::string_view text, size_t& i) const;
  size_t ScanAvx2(std::string_view text, size_t& i) const;

  std::vector<std::string> strings_;
  size_t shortest_ = 0;
  // Where the second byte looked at stands: 1 for several strings, the last
  // byte for one.
  size_t offset_ = 0;
  // The distinct first bytes, each with the bytes that stand offset_ after
  // it in some string (others_[other_begin_[k] .. other_begin_[k + 1])).
  // Empty when there are too many to compare side by side.
  std::vector<uint8_t> firsts_, others_;
  std::vector<size_t> other_begin_;
  std::vector<Lanes> first_lanes_, other_lanes_;
};

}  // namespace lorvek
