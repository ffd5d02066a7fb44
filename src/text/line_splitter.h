// The one place that cuts a text into lines: a line ends at CR, LF or CR LF,
// the terminators dropped; a last line without a break counts when it is not
// empty. Each line comes with its byte span, so a caller can copy a line's
// original bytes or rebuild the text around it.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace lorvek {

struct LineSpan {
  size_t begin = 0;  // first byte of the line
  size_t end = 0;    // first byte of its break (or the end of the text)
  size_t next = 0;   // first byte after the break
  bool has_break() const { return next > end; }
};

// Calls f(LineSpan) for every line of text, in order. unit 2 reads 16-bit
// units in the given byte order (UTF-16: CR is 000D, LF 000A); an odd last
// byte then belongs to the last line.
template <typename F>
void ForEachLine(std::string_view text, F&& f, int unit = 1, bool big_endian = false) {
  const size_t n = text.size();
  size_t start = 0;
  if (unit == 1) {
    // Bytes: the next CR and the next LF are each found by memchr and
    // kept until passed, so every byte is looked at about once.
    const char* p = text.data();
    auto find = [&](char c, size_t from) -> size_t {
      const void* hit = from < n ? std::memchr(p + from, c, n - from) : nullptr;
      return hit ? static_cast<size_t>(static_cast<const char*>(hit) - p) : n;
    };
    size_t cr = find('\r', 0), lf = find('\n', 0);
    while (start < n) {
      const size_t i = cr < lf ? cr : lf;
      if (i >= n) break;
      size_t next = i + 1;
      if (p[i] == '\r' && next < n && p[next] == '\n') ++next;
      f(LineSpan{start, i, next});
      start = next;
      if (cr < next) cr = find('\r', next);
      if (lf < next) lf = find('\n', next);
    }
    if (start < n) f(LineSpan{start, n, n});
    return;
  }
  auto code = [&](size_t i) -> unsigned {
    unsigned a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(text[i + 1]);
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  const size_t step = static_cast<size_t>(unit);
  size_t i = 0;
  for (; i + step <= n; i += step) {
    unsigned c = code(i);
    if (c != '\r' && c != '\n') continue;
    size_t next = i + step;
    if (c == '\r' && next + step <= n && code(next) == '\n') next += step;
    f(LineSpan{start, i, next});
    start = next;
    i = next - step;
  }
  if (start < n) f(LineSpan{start, n, n});
}

std::vector<LineSpan> SplitLineSpans(std::string_view text, int unit = 1, bool big_endian = false);

// The lines as strings. stop_at_nul: nothing after the first NUL byte
// belongs to the text.
std::vector<std::string> SplitTextLines(std::string_view text, bool stop_at_nul);
// The lines joined by CR LF (no break after the last).
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace lorvek
