#include "text/foreign_names.h"

#include "text/conversion.h"
#include "text/cp932.h"
#include "text/encoding.h"
#include "text/text_format.h"

namespace lorvek {
namespace {

inline bool In(unsigned char v, unsigned lo, unsigned hi) { return v >= lo && v <= hi; }

const char kUnreadable[] = "\x81\x45";  // ・ in Shift-JIS

bool SjisLead(unsigned char c) { return In(c, 0x81, 0x9F) || In(c, 0xE0, 0xFC); }
bool SjisTrail(unsigned char c) { return In(c, 0x40, 0x7E) || In(c, 0x80, 0xFC); }

// Shift-JIS with every pair well formed: a lead byte without its trail
// becomes "・" and the byte after it stays itself. valid (when given) tells
// whether nothing had to be replaced.
std::string SafeSjis(std::string_view s, bool* valid = nullptr) {
  std::string out;
  bool ok = true;
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (SjisLead(c)) {
      if (i + 1 < s.size() && SjisTrail(static_cast<unsigned char>(s[i + 1]))) {
        out.append(s.substr(i, 2));
        ++i;
      } else {
        out += kUnreadable;
        ok = false;
      }
    } else if (c == 0x80 || c == 0xA0 || c >= 0xFD) {
      out += kUnreadable;
      ok = false;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  if (valid) *valid = ok;
  return out;
}

// EUC-JP to Shift-JIS pair by pair: a pair that is not well formed, and
// the supplementary set Shift-JIS lacks, become "・"; the byte after a lone
// lead stays itself.
std::string SafeEucToSjis(std::string_view s, bool* valid = nullptr) {
  std::string out;
  bool ok = true;
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const unsigned char d = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c == 0x8E && In(d, 0xA1, 0xDF)) {
      out.push_back(static_cast<char>(d));
      ++i;
    } else if (c == 0x8F && In(d, 0xA1, 0xFE) && i + 2 < s.size() && In(static_cast<unsigned char>(s[i + 2]), 0xA1, 0xFE)) {
      out += kUnreadable;
      i += 2;
    } else if (In(c, 0xA1, 0xFE) && In(d, 0xA1, 0xFE)) {
      out += EucToSjis(s.substr(i, 2));
      ++i;
    } else {
      out += kUnreadable;
      ok = false;
    }
  }
  if (valid) *valid = ok;
  return out;
}

// Whether every high byte of s pairs up as EUC-JP while none is a
// Shift-JIS lead: a run Shift-JIS could only read as half-width kana.
bool OnlyHalfWidthKanaAsSjis(std::string_view s) {
  for (char ch : s)
    if (SjisLead(static_cast<unsigned char>(ch))) return false;
  return true;
}

bool ReadAsEuc(std::string_view name) {
  // The classifier leaves the last two bytes out of its look: pad.
  const std::string padded = std::string(name) + "  ";
  const int32_t code = DetectCode(padded, padded.size(), false);
  if (code == ecEuc) return true;
  if (code != ecEucOrSjis) return false;
  bool euc_valid = false, sjis_valid = false;
  SafeEucToSjis(name, &euc_valid);
  SafeSjis(name, &sjis_valid);
  if (!euc_valid) return false;
  return !sjis_valid || OnlyHalfWidthKanaAsSjis(name);
}

}  // namespace

std::string NameToCp932(std::string_view name) {
  if (IsValidUtf8(name)) return Utf8ToCp932(name);
  return ReadAsEuc(name) ? SafeEucToSjis(name) : SafeSjis(name);
}

std::string NameToUtf8(std::string_view name) {
  if (IsValidUtf8(name)) return std::string(name);
  return Cp932ToUtf8(NameToCp932(name));
}

}  // namespace lorvek
