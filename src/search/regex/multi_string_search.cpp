#include "search/regex/multi_string_search.h"

#include <string.h>

#include <algorithm>

#include <atomic>

#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__))
#include <immintrin.h>
#define LORVEK_X86_VECTORS 1
#endif

namespace lorvek {
namespace {

// Compares per vector step beyond which the strings are sought one by one.
constexpr size_t kMaxCompares = 32;  // sixteen distinct first pairs, as before

std::atomic<bool> wide_steps{true};  // read by every search thread

#if defined(LORVEK_X86_VECTORS)
bool HasAvx2() {
  // The processor is asked once (and may be asked before main's start).
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}
#endif

}  // namespace

void MultiStringSearch::UseWideSteps(bool use) { wide_steps.store(use, std::memory_order_relaxed); }

MultiStringSearch::MultiStringSearch(std::vector<std::string> strings) : strings_(std::move(strings)) {
  strings_.erase(std::remove(strings_.begin(), strings_.end(), std::string()), strings_.end());
  if (strings_.empty()) return;
  shortest_ = strings_[0].size();
  for (const std::string& s : strings_) shortest_ = std::min(shortest_, s.size());
  if (shortest_ < 2) return;
  offset_ = strings_.size() == 1 ? strings_[0].size() - 1 : 1;
  std::vector<std::vector<uint8_t>> others;
  for (const std::string& s : strings_) {
    const auto first = static_cast<uint8_t>(s[0]);
    const auto other = static_cast<uint8_t>(s[offset_]);
    const size_t k = static_cast<size_t>(std::find(firsts_.begin(), firsts_.end(), first) - firsts_.begin());
    if (k == firsts_.size()) {
      firsts_.push_back(first);
      others.emplace_back();
    }
    if (std::find(others[k].begin(), others[k].end(), other) == others[k].end()) others[k].push_back(other);
  }
  for (const auto& o : others) {
    other_begin_.push_back(others_.size());
    others_.insert(others_.end(), o.begin(), o.end());
  }
  other_begin_.push_back(others_.size());
  if (firsts_.size() + others_.size() > kMaxCompares) {
    firsts_.clear();
    others_.clear();
    other_begin_.clear();
    return;
  }
  auto lanes = [](uint8_t b) {
    Lanes l;
    l.fill(b);
    return l;
  };
  for (uint8_t b : firsts_) first_lanes_.push_back(lanes(b));
  for (uint8_t b : others_) other_lanes_.push_back(lanes(b));
}

bool MultiStringSearch::StartsHere(std::string_view text, size_t at) const {
  // The byte filter passes places where no string starts (a first byte of
  // one string beside another's second): the first byte rules most out
  // before a comparison.
  const char first = text[at];
  for (const std::string& s : strings_)
    if (s[0] == first && s.size() <= text.size() - at && memcmp(text.data() + at, s.data(), s.size()) == 0) return true;
  return false;
}

size_t MultiStringSearch::Find(std::string_view text, size_t from) const {
  if (strings_.empty() || from >= text.size() || text.size() - from < shortest_) return std::string_view::npos;
  if (firsts_.empty()) {
    if (strings_.size() > 1) return FindEach(text, from);
    const void* hit = memchr(text.data() + from, strings_[0][0], text.size() - from);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
  }
  return FindByBytes(text, from);
}

// Each string's next place, the earliest of them.
size_t MultiStringSearch::FindEach(std::string_view text, size_t from) const {
  size_t best = std::string_view::npos;
  for (const std::string& s : strings_) {
    const size_t end = best == std::string_view::npos ? text.size() : std::min(text.size(), best + s.size());
    if (end < from + s.size()) continue;
    const void* hit = memmem(text.data() + from, end - from, s.data(), s.size());
    if (hit) best = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
  }
  return best;
}

size_t MultiStringSearch::FindByBytes(std::string_view text, size_t from) const {
  size_t i = from;
#if defined(LORVEK_X86_VECTORS)
  const size_t hit = wide_steps.load(std::memory_order_relaxed) && HasAvx2() ? ScanAvx2(text, i) : ScanSse2(text, i);
  if (hit != std::string_view::npos) return hit;
#endif
  const auto* t = reinterpret_cast<const uint8_t*>(text.data());
  for (; i + offset_ < text.size(); ++i) {
    const size_t k = static_cast<size_t>(std::find(firsts_.begin(), firsts_.end(), t[i]) - firsts_.begin());
    if (k == firsts_.size()) continue;
    const auto others_end = others_.begin() + static_cast<std::ptrdiff_t>(other_begin_[k + 1]);
    if (std::find(others_.begin() + static_cast<std::ptrdiff_t>(other_begin_[k]), others_end, t[i + offset_]) !=
            others_end &&
        StartsHere(text, i))
      return i;
  }
  return std::string_view::npos;
}

#if defined(LORVEK_X86_VECTORS)
// The two steps below are one loop over vectors of two widths: a place is a
// candidate when its byte is a first byte and the byte offset_ on is one
// that follows that first byte in some string.

size_t MultiStringSearch::ScanSse2(std::string_view text, size_t& i) const {
  // Raw pointers: the checked containers' bounds tests would cost more
  // than the comparisons in this loop.
  const auto* t = reinterpret_cast<const uint8_t*>(text.data());
  const size_t leads = firsts_.size();
  const size_t* begin = other_begin_.data();
  const auto* firsts = reinterpret_cast<const __m128i*>(first_lanes_.data());
  const auto* others = reinterpret_cast<const __m128i*>(other_lanes_.data());
  constexpr size_t kStride = sizeof(Lanes) / sizeof(__m128i);
  for (; i + 16 + offset_ <= text.size(); i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + offset_));
    __m128i any = _mm_setzero_si128();
    for (size_t k = 0; k < leads; ++k) {
      __m128i other = _mm_setzero_si128();
      for (size_t m = begin[k]; m < begin[k + 1]; ++m)
        other = _mm_or_si128(other, _mm_cmpeq_epi8(b, _mm_loadu_si128(others + m * kStride)));
      any = _mm_or_si128(any, _mm_and_si128(_mm_cmpeq_epi8(a, _mm_loadu_si128(firsts + k * kStride)), other));
    }
    for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(any)); mask != 0; mask &= mask - 1) {
      const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
      if (StartsHere(text, at)) return at;
    }
  }
  return std::string_view::npos;
}

__attribute__((target("avx2"))) size_t MultiStringSearch::ScanAvx2(std::string_view text, size_t& i) const {
  const auto* t = reinterpret_cast<const uint8_t*>(text.data());
  const size_t leads = firsts_.size();
  const size_t* begin = other_begin_.data();
  const auto* firsts = reinterpret_cast<const __m256i*>(first_lanes_.data());
  const auto* others = reinterpret_cast<const __m256i*>(other_lanes_.data());
  for (; i + 32 + offset_ <= text.size(); i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i + offset_));
    __m256i any = _mm256_setzero_si256();
    for (size_t k = 0; k < leads; ++k) {
      __m256i other = _mm256_setzero_si256();
      for (size_t m = begin[k]; m < begin[k + 1]; ++m)
        other = _mm256_or_si256(other, _mm256_cmpeq_epi8(b, _mm256_loadu_si256(others + m)));
      any = _mm256_or_si256(any, _mm256_and_si256(_mm256_cmpeq_epi8(a, _mm256_loadu_si256(firsts + k)), other));
    }
    for (unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(any)); mask != 0; mask &= mask - 1) {
      const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
      if (StartsHere(text, at)) return at;
    }
  }
  return ScanSse2(text, i);
}
#endif

}  // namespace lorvek
