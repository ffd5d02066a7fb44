#include "text/conversion.h"

#include "text/cp932.h"
#include "text/sjis.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lorvek {
namespace {

using u8 = unsigned char;

// Second byte of the full-width JIS X 0208 counterpart of each half-width
// katakana byte A1..DF; the first byte is 0x21 for punctuation and the
// voicing marks, 0x25 for the kana.
constexpr u8 kHalfKanaSecond[63] = {
    0x23, 0x56, 0x57, 0x22, 0x26, 0x72, 0x21, 0x23, 0x25, 0x27, 0x29, 0x63, 0x65, 0x67, 0x43,  // A1-AF
    0x3C, 0x22, 0x24, 0x26, 0x28, 0x2A, 0x2B, 0x2D, 0x2F, 0x31, 0x33, 0x35, 0x37, 0x39, 0x3B,  // B0-BE
    0x3D, 0x3F, 0x41, 0x44, 0x46, 0x48, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x52, 0x55, 0x58,  // BF-CD
    0x5B, 0x5E, 0x5F, 0x60, 0x61, 0x62, 0x64, 0x66, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F,  // CE-DC
    0x73, 0x2B, 0x2C,                                                                          // DD-DF
};

u8 HalfKanaFirst(u8 b) { return (b <= 0xA5 || b == 0xB0 || b == 0xDE || b == 0xDF) ? 0x21 : 0x25; }

// Copies the run of ASCII bytes other than NUL at p[i] on to o, sixteen at a
// time (most text is mostly ASCII); returns where the run ends, leaving the
// last few bytes of a run to the caller's own loop.
size_t CopyAsciiRun(const u8* p, size_t n, size_t i, char*& o) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  while (i + 16 <= n) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    if (_mm_movemask_epi8(v) != 0 || _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)) != 0) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
    o += 16;
    i += 16;
  }
#endif
  return i;
}

}  // namespace

void JisPairToSjis(u8 j1, u8 j2, u8& s1, u8& s2) {
  s1 = static_cast<u8>(((j1 + 1) >> 1) + (j1 < 0x5F ? 0x70 : 0xB0));
  if (j1 % 2 == 0) s2 = static_cast<u8>(j2 + 0x7E);
  else s2 = static_cast<u8>(j2 + (j2 < 0x60 ? 0x1F : 0x20));
}

void SjisPairToJis(u8 s1, u8 s2, u8& j1, u8& j2) {
  j1 = static_cast<u8>((s1 - (s1 < 0xA0 ? 0x70 : 0xB0)) << 1);
  if (s2 >= 0x9F) {
    j2 = static_cast<u8>(s2 - 0x7E);
  } else {
    j1 = static_cast<u8>(j1 - 1);
    j2 = static_cast<u8>(s2 - (s2 < 0x80 ? 0x1F : 0x20));
  }
}

void JisDecoder::Decode(std::string_view t, std::string& out) {
  size_t i = 0;
  auto at = [&](size_t k) -> u8 { return k < t.size() ? static_cast<u8>(t[k]) : 0; };
  while (i < t.size()) {
    u8 b = static_cast<u8>(t[i]);
    if (b == 0x1B) {
      const u8 n = at(i + 1);
      size_t length = 3;  // the escape and the two bytes after it
      if (n == 0x24) {
        two_byte = true;
        kana = false;
        u8 set = at(i + 2);
        if (set == 0x28 || set == 0x29) {  // ESC $ ( F: the set's final byte follows
          set = at(i + 3);
          length = 4;
          // JIS X 0213 plane 1 (O, Q) holds JIS X 0208 in its own places.
          foreign_set = set != 0x42 && set != 0x40 && set != 0x4F && set != 0x51;
        } else {
          foreign_set = set != 0x42 && set != 0x40;
        }
      } else if (n == 0x28) {
        two_byte = false;
        kana = at(i + 2) == 0x49;  // ESC ( I: half-width katakana
        kana_seen = kana_seen || kana;
        if (i + 2 < t.size() && !return_seen) {
          u8 set = static_cast<u8>(t[i + 2]);
          if (set == 0x42 || set == 0x4A) {
            return_seen = true;
            return_sequence = set == 0x42 ? JisReturn::Ascii : JisReturn::Roman;
          }
        }
      }
      i += length;
      continue;
    }
    if (two_byte) {
      if (i + 1 >= t.size()) {  // half a pair at the very end: keep the byte
        out.push_back(static_cast<char>(b));
        break;
      }
      if (foreign_set) {
        out.push_back('?');  // a character of a set the internal text lacks
      } else {
        u8 s1, s2;
        JisPairToSjis(b, static_cast<u8>(t[i + 1]), s1, s2);
        out.push_back(static_cast<char>(s1));
        out.push_back(static_cast<char>(s2));
      }
      i += 2;
      continue;
    }
    // Half-width katakana of their own set are the Shift-JIS single bytes.
    out.push_back(static_cast<char>(kana && b >= 0x21 && b <= 0x5F ? b | 0x80 : b));
    ++i;
  }
}

std::string JisToSjis(std::string_view t) {
  std::string out;
  out.reserve(t.size());
  JisDecoder decoder;
  decoder.Decode(t, out);
  return out;
}

void AppendEucAsSjis(std::string_view t, std::string& out) {
  // The text is written straight into the room WriteEucAsSjis asks for
  // and cut to what it took.
  const size_t base = out.size();
  out.resize(base + t.size() * 2 + 16);
  char* const first = out.data() + base;
  out.resize(base + static_cast<size_t>(WriteEucAsSjis(t, first) - first));
}

char* WriteEucAsSjis(std::string_view t, char* o) {
  const size_t n = t.size();
  const u8* p = reinterpret_cast<const u8*>(t.data());
  for (size_t i = 0; i < n;) {
    const u8 b = p[i];
    if (b <= 0x80 || b == 0xFF) {
      if (b != 0 && b < 0x80) {
        const size_t end = CopyAsciiRun(p, n, i, o);
        if (end != i) {
          i = end;
          continue;
        }
      }
      *o++ = static_cast<char>(b);
      ++i;
    } else if (b == 0x8E) {
      if (i + 1 < n) *o++ = static_cast<char>(p[i + 1]);
      i += 2;
    } else if (b == 0x8F && i + 2 < n && p[i + 1] >= 0xA1 && p[i + 2] >= 0xA1) {
      *o++ = '?';  // JIS X 0212 (single shift 3): a character the internal text lacks
      i += 3;
    } else if (i + 1 >= n) {
      *o++ = static_cast<char>(b);
      ++i;
    } else {
      u8 s1, s2;
      JisPairToSjis(b & 0x7F, p[i + 1] & 0x7F, s1, s2);
      *o++ = static_cast<char>(s1);
      *o++ = static_cast<char>(s2);
      i += 2;
    }
  }
  return o;
}

std::string EucToSjis(std::string_view t) {
  std::string out;
  AppendEucAsSjis(t, out);
  return out;
}

std::string SjisToJis(std::string_view t, JisReturn return_sequence, bool close_at_end, bool old_designation,
                      bool kana_set) {
  std::string out;
  enum class Set { Roman, TwoByte, Kana } set = Set::Roman;
  const char* back = return_sequence == JisReturn::Ascii ? "\x1B\x28\x42" : "\x1B\x28\x4A";
  const char* designate = old_designation ? "\x1B\x24\x40" : "\x1B\x24\x42";
  auto to = [&](Set wanted) {
    if (set == wanted) return;
    if (wanted == Set::Roman) out += back;
    else if (wanted == Set::TwoByte) out += designate;
    else out += "\x1B\x28\x49";
    set = wanted;
  };
  for (size_t i = 0; i < t.size();) {
    u8 b = static_cast<u8>(t[i]);
    if (b < 0x80) {
      to(Set::Roman);
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    if (IsHalfWidthKatakana(b) && kana_set) {
      to(Set::Kana);
      out.push_back(static_cast<char>(b & 0x7F));
      ++i;
      continue;
    }
    to(Set::TwoByte);
    if (IsHalfWidthKatakana(b)) {
      u8 j1 = HalfKanaFirst(b), j2 = kHalfKanaSecond[b - 0xA1];
      u8 next = i + 1 < t.size() ? static_cast<u8>(t[i + 1]) : 0;
      size_t used = 1;
      if (b == 0xB3 && next == 0xDE) {
        j2 = 0x74;  // ヴ
        used = 2;
      } else if (((b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE)) && next == 0xDE) {
        j2 = static_cast<u8>(j2 + 1);
        used = 2;
      } else if (b >= 0xCA && b <= 0xCE && next == 0xDF) {
        j2 = static_cast<u8>(j2 + 2);
        used = 2;
      }
      out.push_back(static_cast<char>(j1));
      out.push_back(static_cast<char>(j2));
      i += used;
      continue;
    }
    if (i + 1 >= t.size()) break;  // a lone lead byte at the end is dropped
    u8 j1, j2;
    SjisPairToJis(b, static_cast<u8>(t[i + 1]), j1, j2);
    out.push_back(static_cast<char>(j1));
    out.push_back(static_cast<char>(j2));
    i += 2;
  }
  if (close_at_end) to(Set::Roman);
  return out;
}

std::string SjisToEuc(std::string_view t) {
  std::string out;
  for (size_t i = 0; i < t.size();) {
    u8 b = static_cast<u8>(t[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
    } else if (IsHalfWidthKatakana(b)) {
      out.push_back(static_cast<char>(0x8E));
      out.push_back(static_cast<char>(b));
      ++i;
    } else if (i + 1 >= t.size()) {
      break;
    } else {
      u8 j1, j2;
      SjisPairToJis(b, static_cast<u8>(t[i + 1]), j1, j2);
      out.push_back(static_cast<char>(j1 | 0x80));
      out.push_back(static_cast<char>(j2 | 0x80));
      i += 2;
    }
  }
  return out;
}

std::string Utf16ToSjis(std::string_view t, bool big_endian) {
  return Utf16UnitsToSjis(t.size() >= 2 ? t.substr(2) : std::string_view(), big_endian);
}

namespace {

constexpr char16_t kStrayByteUnit = u'\u30FB';  // ・

// The bytes of the UTF-8 sequence at p[i] when the decoders read it as one
// character (no overlong form, nothing past U+10FFFF; a surrogate half is
// read, the long way pairs them), else 0.
template <typename At>
size_t Utf8SequenceBytes(const At& at, size_t i) {
  const unsigned c = at(i), d = at(i + 1);
  auto cont = [&](size_t k) { return (at(k) & 0xC0) == 0x80; };
  if (c >= 0xC2 && c <= 0xDF) return cont(i + 1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) return (c != 0xE0 || d >= 0xA0) && cont(i + 1) && cont(i + 2) ? 3 : 0;
  if (c >= 0xF0 && c <= 0xF4)
    return (c != 0xF0 || d >= 0x90) && (c != 0xF4 || d <= 0x8F) && cont(i + 1) && cont(i + 2) && cont(i + 3) ? 4 : 0;
  return 0;
}

// The UTF-8 decoding by way of UTF-16 units: the reference the fast path
// below hands over to where units interact (surrogate halves, a NUL).
void AppendUtf8ByUnits(std::string_view text, std::string& out, size_t* strays) {
  const size_t n = text.size();
  auto at = [&](size_t i) -> u8 { return i < n ? static_cast<u8>(text[i]) : 0; };
  auto cont = [&](size_t i) { return (at(i) & 0xC0) == 0x80; };
  thread_local std::u16string units;
  units.clear();
  for (size_t i = 0; i < n;) {
    u8 c = at(i);
    if (c < 0x80) {
      units.push_back(c);
      ++i;
    } else if (const size_t bytes = Utf8SequenceBytes(at, i); bytes == 2) {
      units.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (at(i + 1) & 0x3F)));
      i += 2;
    } else if (bytes == 3) {
      units.push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F)));
      i += 3;
    } else if (bytes == 4) {
      uint32_t cp = (static_cast<uint32_t>(c & 0x07) << 18) | ((at(i + 1) & 0x3Fu) << 12) |
                    ((at(i + 2) & 0x3Fu) << 6) | (at(i + 3) & 0x3Fu);
      cp -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + ((cp >> 10) & 0x3FF)));
      units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
      i += 4;
    } else {
      // A byte that starts nothing (a stray continuation, a lead cut
      // short): one stand-in character, and the bytes after it are read as
      // they are.
      units.push_back(kStrayByteUnit);
      if (strays) ++*strays;
      ++i;
    }
  }
  // A NUL (or the overlong C0 80) is a character of the line like any other.
  AppendUnitsAsCp932(units, out);
}

}  // namespace

void AppendUtf8AsSjis(std::string_view text, std::string& out, size_t* strays) {
  thread_local std::string buffer;
  if (buffer.size() < text.size() * 2 + 16) buffer.resize(text.size() * 2 + 16);
  size_t fast_strays = 0;
  const char* end = WriteUtf8AsSjis(text, buffer.data(), &fast_strays);
  if (end == nullptr) return AppendUtf8ByUnits(text, out, strays);
  if (strays) *strays += fast_strays;
  out.append(buffer.data(), static_cast<size_t>(end - buffer.data()));
}

char* WriteUtf8AsSjis(std::string_view text, char* o, size_t* strays) {
  // Straight from bytes to code page 932 through the unit table; a sequence
  // that makes a surrogate half or a NUL unit sends the whole text the long
  // way, which pairs them as iconv does.
  const uint16_t* table = Cp932UnitTable();
  const size_t n = text.size();
  const u8* p = reinterpret_cast<const u8*>(text.data());
  auto at = [&](size_t i) -> u8 { return i < n ? p[i] : 0; };
  size_t i = 0;
  while (i < n) {
    const u8 c = p[i];
    if (c < 0x80) {
      const size_t end = CopyAsciiRun(p, n, i, o);
      if (end != i) {
        i = end;
        continue;
      }
      *o++ = static_cast<char>(c);
      ++i;
      continue;
    }
    uint32_t u;
    const size_t bytes = Utf8SequenceBytes(at, i);
    if (bytes == 2) {
      u = ((c & 0x1Fu) << 6) | (at(i + 1) & 0x3Fu);
      i += 2;
    } else if (bytes == 3) {
      u = ((c & 0x0Fu) << 12) | ((at(i + 1) & 0x3Fu) << 6) | (at(i + 2) & 0x3Fu);
      i += 3;
    } else if (bytes == 4) {
      *o++ = '?';  // a pair of its own: one character code page 932 lacks
      i += 4;
      continue;
    } else {
      // A byte that starts nothing: one stand-in character (・), and the
      // bytes after it are read as they are.
      *o++ = static_cast<char>(0x81);
      *o++ = static_cast<char>(0x45);
      if (strays) ++*strays;
      ++i;
      continue;
    }
    if (u == 0 || (u >= 0xD800 && u <= 0xDFFF)) return nullptr;
    if (u < 0x80) {
      *o++ = static_cast<char>(u);
    } else {
      const uint16_t code = table[u];
      if (code > 0xFF) *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code & 0xFF);
    }
  }
  return o;
}

std::string Utf8ToSjis(std::string_view text, bool has_mark) {
  if (has_mark) text = text.size() >= 3 ? text.substr(3) : std::string_view();
  std::string out;
  AppendUtf8AsSjis(text, out);
  return out;
}

std::string SjisToUtf8(std::string_view text, bool with_mark) {
  std::u16string units = Cp932ToUtf16(text);
  std::string out;
  if (with_mark) out = "\xEF\xBB\xBF";
  for (char16_t u : units) {
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (u >> 12)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

std::string SjisToUtf16(std::string_view text, bool big_endian, bool with_mark) {
  std::u16string units = Cp932ToUtf16(text);
  std::string bytes;
  if (with_mark) bytes = big_endian ? std::string("\xFE\xFF") : std::string("\xFF\xFE");
  bytes.reserve(bytes.size() + units.size() * 2);
  for (char16_t u : units) {
    char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    bytes.push_back(big_endian ? hi : lo);
    bytes.push_back(big_endian ? lo : hi);
  }
  return bytes;
}

void AppendUtf16UnitsAsSjis(std::string_view t, bool big_endian, std::string& out) {
  thread_local std::u16string units;
  units.clear();
  for (size_t i = 0; i + 1 < t.size(); i += 2) {
    u8 a = static_cast<u8>(t[i]), b = static_cast<u8>(t[i + 1]);
    char16_t u = big_endian ? static_cast<char16_t>((a << 8) | b) : static_cast<char16_t>((b << 8) | a);
    units.push_back(u);  // a NUL unit too: a character of the line
  }
  AppendUnitsAsCp932(units, out);
}

std::string Utf16UnitsToSjis(std::string_view t, bool big_endian) {
  std::string out;
  AppendUtf16UnitsAsSjis(t, big_endian, out);
  return out;
}

std::string ConvertLineBreaks(std::string_view text, int32_t target) {
  int32_t found = DetectLineBreak(text);
  if (found == leNone || found == target) return std::string(text);
  auto seq = [](int32_t code) -> std::string_view {
    return code == leCrLf ? "\r\n" : code == leCr ? "\r" : "\n";
  };
  std::string_view from = seq(found), to = seq(target);
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, from.size(), from) == 0) {
      out.append(to);
      i += from.size();
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

std::string ToInternalText(std::string_view text) {
  switch (DetectTextCode(text)) {
    case ecJis:
    case ecJisOld: return JisToSjis(text);
    case ecEuc: return EucToSjis(text);
    case ecUtf16Le: return Utf16ToSjis(text, false);
    case ecUtf16Be: return Utf16ToSjis(text, true);
    default: return std::string(text);
  }
}

std::string DecodeForCode(int32_t code, std::string_view bytes) {
  switch (code) {
    case ecJis:
    case ecJisOld: return JisToSjis(bytes);
    case ecEuc: return EucToSjis(bytes);
    case ecUtf16Le: return Utf16ToSjis(bytes, false);
    case ecUtf16Be: return Utf16ToSjis(bytes, true);
    case ecUtf8: return Utf8ToSjis(bytes, true);
    case ecUtf8N: return Utf8ToSjis(bytes, false);
    default: return std::string(bytes);
  }
}

std::string EncodeForCode(int32_t code, std::string_view text) {
  switch (code) {
    case ecJis: return SjisToJis(text);
    case ecJisOld: return SjisToJis(text, JisReturn::Roman, false, true);
    case ecEuc: return SjisToEuc(text);
    case ecUtf16Le: return SjisToUtf16(text, false, true);
    case ecUtf16Be: return SjisToUtf16(text, true, true);
    case ecUtf8: return SjisToUtf8(text, true);
    case ecUtf8N: return SjisToUtf8(text, false);
    default: return std::string(text);
  }
}

}  // namespace lorvek
