#include "search/regex/multi_string_search.h"

#include <string.h>

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lorvek {
namespace {

constexpr size_t kMaxPairs = 16;

}  // namespace

MultiStringSearch::MultiStringSearch(std::vector<std::string> strings) : strings_(std::move(strings)) {
  strings_.erase(std::remove(strings_.begin(), strings_.end(), std::string()), strings_.end());
  if (strings_.empty()) return;
  shortest_ = strings_[0].size();
  for (const std::string& s : strings_) shortest_ = std::min(shortest_, s.size());
  if (strings_.size() < 2 || shortest_ < 2) return;
  for (const std::string& s : strings_) {
    const std::pair<uint8_t, uint8_t> p{static_cast<uint8_t>(s[0]), static_cast<uint8_t>(s[1])};
    if (std::find(pairs_.begin(), pairs_.end(), p) == pairs_.end()) pairs_.push_back(p);
  }
  if (pairs_.size() > kMaxPairs) pairs_.clear();
  for (const auto& [x, y] : pairs_) {
    firsts_.emplace_back();
    firsts_.back().fill(x);
    seconds_.emplace_back();
    seconds_.back().fill(y);
  }
}

bool MultiStringSearch::StartsHere(std::string_view text, size_t at) const {
  // The pair filter passes places where no string starts (a pair that
  // only some strings have, beside another pair's byte): the first byte
  // rules most out before a comparison.
  const char first = text[at];
  for (const std::string& s : strings_)
    if (s[0] == first && s.size() <= text.size() - at && memcmp(text.data() + at, s.data(), s.size()) == 0) return true;
  return false;
}

size_t MultiStringSearch::Find(std::string_view text, size_t from) const {
  if (strings_.empty() || from >= text.size() || text.size() - from < shortest_) return std::string_view::npos;
  if (strings_.size() == 1) {
    const void* hit = memmem(text.data() + from, text.size() - from, strings_[0].data(), strings_[0].size());
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
  }
  return pairs_.empty() ? FindEach(text, from) : FindByPairs(text, from);
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

size_t MultiStringSearch::FindByPairs(std::string_view text, size_t from) const {
  const auto* t = reinterpret_cast<const uint8_t*>(text.data());
  const size_t last = text.size() - 1;  // a pair starts before the last byte
  size_t i = from;
#if defined(__SSE2__)
  const size_t n = pairs_.size();
  auto lanes = [](const std::array<uint8_t, 16>& a) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(a.data())); };
  for (; i + 16 <= last; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + 1));
    __m128i any = _mm_setzero_si128();
    for (size_t k = 0; k < n; ++k)
      any = _mm_or_si128(any, _mm_and_si128(_mm_cmpeq_epi8(a, lanes(firsts_[k])), _mm_cmpeq_epi8(b, lanes(seconds_[k]))));
    for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(any)); mask != 0; mask &= mask - 1) {
      const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
      if (StartsHere(text, at)) return at;
    }
  }
#endif
  for (; i < last; ++i)
    for (const auto& [x, y] : pairs_)
      if (t[i] == x && t[i + 1] == y && StartsHere(text, i)) return i;
  return std::string_view::npos;
}

}  // namespace lorvek
