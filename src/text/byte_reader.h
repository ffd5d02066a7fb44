// Little-endian numbers read out of a file's bytes. The bytes come from
// files that may be damaged or hostile, so every read is bounded: one that
// would run past the end (wherever `at` points, even far beyond) reads
// nothing and says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace lorvek {

// Whether n bytes from at lie within bytes; safe for any at and n.
constexpr bool HasBytesAt(std::string_view bytes, size_t at, size_t n) {
  return at <= bytes.size() && bytes.size() - at >= n;
}

namespace byte_reader_detail {

template <typename T>
constexpr std::optional<T> ReadLe(std::string_view bytes, size_t at) {
  if (!HasBytesAt(bytes, at, sizeof(T))) return std::nullopt;
  T value = 0;
  for (size_t i = sizeof(T); i-- > 0;) value = static_cast<T>(value << 8 | static_cast<unsigned char>(bytes[at + i]));
  return value;
}

}  // namespace byte_reader_detail

// The number at at, or nothing when the bytes end before it does.
constexpr std::optional<uint16_t> ReadLe16(std::string_view b, size_t at) {
  return byte_reader_detail::ReadLe<uint16_t>(b, at);
}
constexpr std::optional<uint32_t> ReadLe32(std::string_view b, size_t at) {
  return byte_reader_detail::ReadLe<uint32_t>(b, at);
}
constexpr std::optional<uint64_t> ReadLe64(std::string_view b, size_t at) {
  return byte_reader_detail::ReadLe<uint64_t>(b, at);
}

// The same where a field cut off by damage may count as 0 (the record
// formats whose readers check a record's length once and then pick fields).
// A number is read whole or not at all: never half of one.
constexpr uint16_t Le16(std::string_view b, size_t at) { return ReadLe16(b, at).value_or(0); }
constexpr uint32_t Le32(std::string_view b, size_t at) { return ReadLe32(b, at).value_or(0); }
constexpr uint64_t Le64(std::string_view b, size_t at) { return ReadLe64(b, at).value_or(0); }

}  // namespace lorvek
