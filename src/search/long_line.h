// A line too long to be held whole, decided window by window: the line's
// decoded text arrives in pieces, each window is the last stretch of the
// window before it (the overlap) plus the next piece, and the hit and the
// further terms are looked for in every window. The overlap is longer than
// the longest match the pattern can have (a generous fixed stretch when its
// matches are unbounded), so a match that straddles a window edge lies whole
// in the next window; a match that touches a window's edge is decided by the
// window in which it lies inside, so the edge never passes for a line start
// or end (anchors, whole word). The line is reported once, with its text cut
// around the hit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "search/compiled_word.h"

namespace lorvek {

// The longest match the pattern can have, in bytes (two per character), or
// SIZE_MAX when it has no bound.
size_t MaxMatchBytes(const CompiledPattern& pattern);

// The mark that stands where a long line's text is cut: the ellipsis of
// Shift-JIS ("…", 81 63), one character, so it never joins a neighbour.
inline constexpr std::string_view kCutMark = "\x81\x63";

class LongLineMatcher final : public LongLineDecision {
 public:
  // Bytes of the line kept before and after the hit, and at most of the
  // hit itself, in the cut text.
  static constexpr size_t kCutBefore = 256;
  static constexpr size_t kCutAfter = 256;
  static constexpr size_t kCutHitMax = 4096;
  // The start of the line kept as the text of a line that is no hit (a
  // neighbour's context).
  static constexpr size_t kHeadBytes = 512;
  // The overlap when the pattern's matches have no bound (at most half a window).
  static constexpr size_t kUnboundedOverlap = size_t{1} << 20;

  // window_bytes: about the size of the pieces (bounds the overlap).
  LongLineMatcher(const CompiledWord& word, bool whole_word, size_t window_bytes);

  void Begin() override;
  // The next piece of the line, Shift-JIS, starting on a character.
  void Feed(std::string_view piece) override;
  // The line's end (after its last piece).
  void End() override;

  bool Accepted() const { return hit_ && all_found_; }
  // The cut text: around the hit when the line was accepted, else the line's start.
  const std::string& Text() const override { return Accepted() ? hit_text_ : head_; }
  // The hit in Text() (none when not accepted).
  MatchPos Hit() const override { return Accepted() ? hit_pos_ : MatchPos{}; }
  size_t Overlap() const { return overlap_; }

 private:
  struct Term {
    const CompiledPattern* pattern;
    size_t tail;  // matches starting this near a window's end wait for the next window
    bool found = false;
  };
  void Search(std::string_view window, bool last);
  // The first acceptable match of a term in the window; its start is set
  // in *at (window offset) and its length in *length.
  bool FindIn(const Term& t, bool whole_word, std::string_view window, bool last, size_t* at, size_t* length) const;
  void CutAround(std::string_view window, size_t at, size_t length, bool last);

  bool whole_word_;
  size_t overlap_ = 0;
  std::vector<Term> terms_;
  std::string window_;    // the overlap carried from the window before
  size_t window_at_ = 0;  // the line offset of window_'s first byte
  bool first_ = true;
  bool fed_ = false;  // window_ holds a piece not searched yet
  bool hit_ = false;
  bool all_found_ = false;
  std::string hit_text_;
  MatchPos hit_pos_;
  std::string head_;
};

}  // namespace lorvek
