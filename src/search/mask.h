// The file-mask language: '*', '?', sets, case-insensitive ASCII letters,
// double-byte characters compared exactly. Masks test the file name alone.
#pragma once

#include <bitset>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lorvek {

// Raised for a mask that cannot be compiled; the message is the user's text
// "'%s' is an invalid mask at (%d)".
class EMaskError : public std::runtime_error {
 public:
  EMaskError(const std::string& mask, int position);
  int position() const { return position_; }

 private:
  int position_;
};

class TMask {
 public:
  // Compiles the mask (Shift-JIS); raises EMaskError when it is invalid.
  explicit TMask(std::string_view mask);
  bool Matches(std::string_view name) const;

 private:
  enum class Kind { Literal, DoubleByte, AnyByte, Set, End };
  struct Element {
    Kind kind = Kind::End;
    bool star_before = false;
    unsigned char byte = 0;      // Literal: the upper-cased byte
    unsigned short code = 0;     // DoubleByte: lead * 256 + trail
    std::bitset<256> set;        // Set: accepted upper-cased bytes
    bool negated = false;
  };
  bool ElementMatches(const Element& el, std::string_view name, size_t pos) const;
  static size_t Width(const Element& el) { return el.kind == Kind::DoubleByte ? 2 : 1; }

  std::vector<Element> elements_;
};

// An ordered list of masks; a name matches when it is not empty, the list is
// not empty and one mask matches it. Masks are compiled on first use, so an
// invalid mask raises at the first file test.
class TWildMatch {
 public:
  TWildMatch() = default;
  explicit TWildMatch(std::vector<std::string> masks) { SetMasks(std::move(masks)); }

  void SetMasks(std::vector<std::string> masks);
  const std::vector<std::string>& Mask() const { return masks_; }
  bool Matches(std::string_view file_name) const;

 private:
  std::vector<std::string> masks_;
  mutable std::vector<TMask> compiled_;
  mutable bool compiled_ok_ = false;
};

// Splits comma text: quoted items (doubled quotes inside), blanks and one
// comma between items, two commas giving an empty item.
std::vector<std::string> SplitCommaText(std::string_view text);

// Joins items as comma text, quoting an item that holds a blank, comma or quote.
std::string JoinCommaText(const std::vector<std::string>& items);

// The FileMasks field to a mask list: trimmed, upper-cased, ';' read as ','.
std::vector<std::string> ParseMaskText(std::string_view text);

}  // namespace lorvek
