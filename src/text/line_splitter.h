// The one place that cuts a text into lines: a line ends at CR, LF or CR LF,
// the terminators dropped; a last line without a break counts when it is not
// empty. Each line comes with its byte span, so a caller can copy a line's
// original bytes or rebuild the text around it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lorvek {

struct LineSpan {
  size_t begin = 0;  // first byte of the line
  size_t end = 0;    // first byte of its break (or the end of the text)
  size_t next = 0;   // first byte after the break
  bool has_break() const { return next > end; }
};

// The CR and LF bytes of p[base, base + 64) ∩ [base, n), one bit each.
inline uint64_t LineBreakBits(const char* p, size_t base, size_t n) {
  uint64_t bits = 0;
#if defined(__SSE2__)
  if (base + 64 <= n) {
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + base + 16 * k));
      const auto m = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
      bits |= static_cast<uint64_t>(m) << (16 * k);
    }
    return bits;
  }
#endif
  for (size_t i = base; i < n && i < base + 64; ++i)
    if (p[i] == '\r' || p[i] == '\n') bits |= uint64_t{1} << (i - base);
  return bits;
}

// Calls f(LineSpan) for every line of text, in order. unit 2 reads 16-bit
// units in the given byte order (UTF-16: CR is 000D, LF 000A); an odd last
// byte then belongs to the last line.
template <typename F>
void ForEachLine(std::string_view text, F&& f, int unit = 1, bool big_endian = false) {
  const size_t n = text.size();
  size_t start = 0;
  if (unit == 1) {
    // The breaks of 64 bytes at a time, as bits: a line costs a bit scan,
    // not a search of its own.
    const char* p = text.data();
    for (size_t base = 0; base < n; base += 64) {
      for (uint64_t bits = LineBreakBits(p, base, n); bits != 0; bits &= bits - 1) {
        const size_t i = base + static_cast<size_t>(__builtin_ctzll(bits));
        if (i < start) continue;  // the LF of a CR LF, taken with its CR
        size_t next = i + 1;
        if (p[i] == '\r' && next < n && p[next] == '\n') ++next;
        f(LineSpan{start, i, next});
        start = next;
      }
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
