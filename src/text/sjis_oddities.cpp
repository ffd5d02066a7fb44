#include "text/sjis_oddities.h"

#include "text/sjis.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lorvek {
namespace {

bool OddTrail(unsigned char c) { return c < 0x40 || c == 0x7F || c > 0xFC; }
bool OddSingle(unsigned char c) { return c == 0x80 || c == 0xA0 || c >= 0xFD; }

#if defined(__SSE2__)
// Lanes whose byte lies in lo..hi, as a 16-bit mask.
uint64_t InRange(__m128i v, unsigned char lo, unsigned char hi) {
  const __m128i shifted = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(lo)));
  const __m128i inside = _mm_cmpeq_epi8(_mm_min_epu8(shifted, _mm_set1_epi8(static_cast<char>(hi - lo))), shifted);
  return static_cast<uint32_t>(_mm_movemask_epi8(inside));
}

uint64_t Equal(__m128i v, unsigned char c) {
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c)))));
}
#endif

}  // namespace

void SjisOddities::Feed(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  size_t i = 0;
  for (;;) {
    if (trail_next_) {
      if (i >= n) return;
      trail_next_ = false;
      odd_ += OddTrail(p[i++]);
    }
    FeedSteps(p, n, i);
    if (trail_next_) continue;  // a step ended on a lead
    if (i >= n) return;
    // The bytes short of a whole step, a character at a time.
    const unsigned char c = p[i++];
    if (IsLeadByte(c)) {
      odd_ += c >= 0xF0 && c <= 0xF9;
      trail_next_ = true;
    } else if (c >= 0x80) {
      odd_ += OddSingle(c);
    }
  }
}

void SjisOddities::FeedSteps(const unsigned char* p, size_t n, size_t& i) {
#if defined(__SSE2__)
  // A step of 64 bytes starts at a character. Where characters start in it
  // follows from the runs of lead-class bytes (81-9F, E0-FC): every other
  // byte of such a run, from its first, is a lead, for any other byte ends
  // a character. The leads of runs that begin at even and at odd places are
  // told apart by adding the runs' first bits to the runs (the carry
  // clears a run to its end).
  constexpr uint64_t kEven = 0x5555555555555555ULL;
  while (!trail_next_ && i + 64 <= n) {
    uint64_t lead_class = 0, low = 0, never = 0, single_odd = 0, user = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16 * k));
      const int shift = 16 * k;
      lead_class |= (InRange(v, 0x81, 0x9F) | InRange(v, 0xE0, 0xFC)) << shift;
      low |= (InRange(v, 0x00, 0x3F) | Equal(v, 0x7F)) << shift;
      never |= InRange(v, 0xFD, 0xFF) << shift;
      single_odd |= (Equal(v, 0x80) | Equal(v, 0xA0)) << shift;
      user |= InRange(v, 0xF0, 0xF9) << shift;
    }
    const uint64_t starts = lead_class & ~(lead_class << 1);
    const uint64_t even_runs = lead_class & ~(lead_class + (starts & kEven));
    const uint64_t odd_runs = lead_class & ~even_runs;
    const uint64_t leads = (even_runs & kEven) | (odd_runs & ~kEven);
    const uint64_t trails = leads << 1;
    odd_ += static_cast<size_t>(__builtin_popcountll(never | (single_odd & ~trails) | (user & leads) | (low & trails)));
    i += 64;
    trail_next_ = (leads >> 63) != 0;
  }
#else
  (void)p;
  (void)n;
  (void)i;
#endif
}

}  // namespace lorvek
