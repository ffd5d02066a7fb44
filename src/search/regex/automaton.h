// A pattern of the dialect compiled into a deterministic automaton over
// character codes. Codes are grouped into classes that no range of the
// pattern splits, so a step is two table lookups.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "search/regex/multi_string_search.h"

namespace lorvek {

struct CodeRange {
  uint16_t lo;
  uint16_t hi;
};

class CompiledPattern {
 public:
  static constexpr int32_t kDead = -1;

  int start() const { return start_; }
  // The state reached from the start on the line-start code, or kDead.
  int line_start_state() const { return line_start_state_; }
  bool anchored_start() const { return anchored_start_; }
  bool anchored_end() const { return anchored_end_; }

  bool accepting(int state) const { return accepting_[static_cast<size_t>(state)]; }
  // Whether the state has a transition on the line-end code.
  bool has_line_end(int state) const { return has_line_end_[static_cast<size_t>(state)]; }
  int Step(int state, uint16_t code) const {
    return trans_[static_cast<size_t>(state) * num_classes_ + class_of_[code]];
  }
  // The same step found by walking the state's sorted transition list, as the
  // straightforward matcher does.
  int StepSorted(int state, uint16_t code) const;

  const std::vector<std::vector<std::pair<CodeRange, int>>>& sorted_transitions() const {
    return sorted_;
  }
  size_t state_count() const { return accepting_.size(); }

  // A pattern that is one fixed sequence of characters (no operator, no anchor).
  bool is_plain_string() const { return plain_; }
  const std::vector<uint16_t>& plain_codes() const { return plain_codes_; }
  // The leftmost occurrence of the plain string in s that starts on a
  // character boundary: a byte hit is only a candidate, confirmed character
  // by character (a trail byte may equal an ASCII byte). Byte offsets.
  bool FindPlainString(std::string_view s, size_t* start, size_t* end) const;

  // Every match is, or begins with, one of a few fixed byte strings (a
  // pattern whose language is small and finite, like an alternation of
  // words); empty when it has no such strings.
  const std::vector<std::string>& literals() const { return literals_; }
  // Fixed byte strings one of which every match holds: the literals, or
  // else a run of characters found inside every match; empty when there is
  // neither. A line that holds none of them has no match.
  const std::vector<std::string>& candidates() const { return candidates_; }
  // Finds the candidates in a text (the next place any of them starts).
  const MultiStringSearch& candidate_search() const { return *candidate_search_; }
  bool LacksEveryCandidate(std::string_view s) const;

  // Byte values that can start a match as a single-byte character or as a
  // lead byte (conservative: a lead byte is marked when any of its codes can).
  bool CanStartWithByte(unsigned char b) const { return start_bytes_[b]; }

 private:
  friend std::shared_ptr<CompiledPattern> CompilePattern(std::string_view, uint16_t, uint16_t);

  int num_classes_ = 1;
  std::vector<uint16_t> class_of_;       // 65536 entries
  std::vector<int32_t> trans_;           // state * num_classes_ + class
  std::vector<uint8_t> accepting_;
  std::vector<uint8_t> has_line_end_;
  std::vector<std::vector<std::pair<CodeRange, int>>> sorted_;
  int start_ = 0;
  int line_start_state_ = kDead;
  bool anchored_start_ = false;
  bool anchored_end_ = false;
  bool plain_ = false;
  std::vector<uint16_t> plain_codes_;
  std::string plain_bytes_;
  std::vector<std::string> literals_;
  std::vector<std::string> candidates_;
  std::shared_ptr<const MultiStringSearch> candidate_search_;
  bool start_bytes_[256] = {};
};

// Compiles a pattern; line_start_code and line_end_code are the codes the
// anchors read (pseudo-codes for strings, LF for files). Raises ERegExpParser.
std::shared_ptr<CompiledPattern> CompilePattern(std::string_view pattern, uint16_t line_start_code,
                                                uint16_t line_end_code);

}  // namespace lorvek
