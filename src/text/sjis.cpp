#include "text/sjis.h"

namespace lorvek {

std::string_view TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

size_t CharStartAtOrBefore(std::string_view s, size_t pos) {
  if (pos >= s.size()) return s.size();
  // Just after a byte that cannot be a lead byte a character starts; from
  // there every lead byte takes the byte after it.
  size_t b = pos;
  while (b > 0 && IsLeadByte(static_cast<unsigned char>(s[b - 1]))) --b;
  size_t at = b;
  for (size_t i = b; i <= pos; i += CharLength(s, i)) at = i;
  return at;
}

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size();) {
    unsigned char b = static_cast<unsigned char>(out[i]);
    if (IsLeadByte(b) && i + 1 < out.size()) {
      i += 2;
      continue;
    }
    if (b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - 32);
    ++i;
  }
  return out;
}

}  // namespace lorvek
