#include "text/cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>
#include <map>
#include <memory>
#include <stdexcept>

#include "text/foreign_names.h"
#include "text/sjis.h"

namespace lorvek {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts in, calling on_bad(in_pos, out) at each sequence iconv rejects;
  // on_bad returns how many input bytes to skip.
  template <typename OnBad>
  std::string Run(std::string_view in, OnBad on_bad) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    size_t used = 0;
    while (src_left > 0) {
      char* dst = out.data() + used;
      size_t dst_left = out.size() - used;
      size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
      used = out.size() - dst_left;
      if (r != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      // EILSEQ or EINVAL: substitute and skip.
      std::string repl;
      size_t skip = on_bad(static_cast<size_t>(src - in.data()), repl);
      if (skip > src_left) skip = src_left;
      if (used + repl.size() + 8 > out.size()) out.resize(out.size() * 2 + repl.size());
      out.replace(used, repl.size(), repl);
      used += repl.size();
      src += skip;
      src_left -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
  }

 private:
  iconv_t cd_;
};

Converter& Get(const char* to, const char* from, int slot) {
  // One set per thread (the search reads files on several), freed with it.
  thread_local std::unique_ptr<Converter> cache[6];
  if (!cache[slot]) cache[slot] = std::make_unique<Converter>(to, from);
  return *cache[slot];
}

const char kMiddleDotUtf8[] = "\xE3\x83\xBB";  // U+30FB

}  // namespace

bool IsValidUtf8(std::string_view s) {
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len;
    uint32_t cp;
    if (c < 0x80) { ++i; continue; }
    if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; }
    else return false;
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

std::string Cp932ToUtf8(std::string_view sjis) {
  // Character by character through the code table (every hit line of a
  // run comes this way), as iconv reads code page 932: one character at a
  // time, an invalid one (a lead byte and the byte after it, or one byte)
  // replaced.
  const uint16_t* table = Cp932CodeTable();
  const size_t n = sjis.size();
  std::string out(n * 3, '\0');  // no character takes more than three bytes
  char* o = out.data();
  for (size_t i = 0; i < n;) {
    const unsigned char c = static_cast<unsigned char>(sjis[i]);
    const size_t length = IsLeadByte(c) && i + 1 < n ? 2 : 1;
    const uint16_t u = IsLeadByte(c) ? (length == 2 ? table[c << 8 | static_cast<unsigned char>(sjis[i + 1])] : 0xFFFF)
                                     : table[c];
    if (u == 0xFFFF) {
      o = std::copy(kMiddleDotUtf8, kMiddleDotUtf8 + 3, o);  // as iconv's answer is replaced
    } else if (u < 0x80) {
      *o++ = static_cast<char>(u);
    } else if (u < 0x800) {
      *o++ = static_cast<char>(0xC0 | (u >> 6));
      *o++ = static_cast<char>(0x80 | (u & 0x3F));
    } else {
      *o++ = static_cast<char>(0xE0 | (u >> 12));
      *o++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (u & 0x3F));
    }
    i += length;
  }
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

std::string Cp932ToUtf8ByIconv(std::string_view sjis) {
  return Get("UTF-8", "CP932", 0).Run(sjis, [&](size_t pos, std::string& repl) {
    repl = kMiddleDotUtf8;
    return CharLength(sjis, pos);
  });
}

std::string Utf8ToCp932(std::string_view utf8) {
  return Get("CP932", "UTF-8", 1).Run(utf8, [&](size_t pos, std::string& repl) {
    repl = "?";
    unsigned char c = static_cast<unsigned char>(utf8[pos]);
    size_t len = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    // Skip only as far as the continuation bytes really go.
    size_t k = 1;
    while (k < len && pos + k < utf8.size() &&
           (static_cast<unsigned char>(utf8[pos + k]) & 0xC0) == 0x80)
      ++k;
    return k;
  });
}

std::u16string Cp932ToUtf16(std::string_view sjis) {
  std::string bytes = Get("UTF-16LE", "CP932", 2).Run(sjis, [&](size_t pos, std::string& repl) {
    repl = std::string("\xFB\x30", 2);
    return CharLength(sjis, pos);
  });
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return out;
}

std::string Utf16ToCp932ByIconv(std::u16string_view units) {
  std::string bytes(units.size() * 2, '\0');
  for (size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return Get("CP932", "UTF-16LE", 3).Run(bytes, [&](size_t pos, std::string& repl) {
    repl = "?";
    // A valid surrogate pair is one unmappable character: skip both units.
    size_t unit = pos / 2;
    if (unit + 1 < units.size() && units[unit] >= 0xD800 && units[unit] <= 0xDBFF &&
        units[unit + 1] >= 0xDC00 && units[unit + 1] <= 0xDFFF)
      return size_t{4};
    return size_t{2};
  });
}

namespace {

// Code page 932 bytes of every BMP unit as iconv converts it alone: one
// byte (code < 0x100) or two (lead * 256 + trail); surrogates are handled
// by the caller. Made once, on first use.
const uint16_t* MakeUnitTable() {
  static const std::vector<uint16_t> table = [] {
    std::vector<uint16_t> t(0x10000, '?');
    for (uint32_t u = 0; u < 0x10000; ++u) {
      if (u >= 0xD800 && u <= 0xDFFF) continue;
      const char16_t unit = static_cast<char16_t>(u);
      const std::string b = Utf16ToCp932ByIconv(std::u16string_view(&unit, 1));
      if (b.size() == 1) t[u] = static_cast<unsigned char>(b[0]);
      else if (b.size() == 2) t[u] = static_cast<uint16_t>(static_cast<unsigned char>(b[0]) << 8 | static_cast<unsigned char>(b[1]));
    }
    return t;
  }();
  return table.data();
}

}  // namespace

const uint16_t* Cp932UnitTable() {
  static const uint16_t* table = MakeUnitTable();
  return table;
}

const uint16_t* Cp932CodeTable() {
  static const std::vector<uint16_t> table = [] {
    std::vector<uint16_t> t(0x10000, 0xFFFF);
    auto fill = [&](uint16_t code, std::string_view bytes) {
      // Asked of iconv itself, without the substitution of Cp932ToUtf16.
      std::string out = Get("UTF-16LE", "CP932", 2).Run(bytes, [&](size_t, std::string& repl) {
        repl.clear();
        return bytes.size();
      });
      if (out.size() == 2)
        t[code] = static_cast<uint16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
    };
    for (unsigned b = 0; b < 0x100; ++b) {
      if (IsLeadByte(static_cast<unsigned char>(b))) continue;
      const char c = static_cast<char>(b);
      fill(static_cast<uint16_t>(b), std::string_view(&c, 1));
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        fill(static_cast<uint16_t>(lead << 8 | trail), std::string_view(pair, 2));
      }
    }
    return t;
  }();
  return table.data();
}

void AppendUnitsAsCp932(std::u16string_view units, std::string& out) {
  const uint16_t* table = Cp932UnitTable();
  const size_t n = units.size();
  out.reserve(out.size() + n * 2);
  for (size_t i = 0; i < n; ++i) {
    const char16_t u = units[i];
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      // A valid pair is one character code page 932 lacks; a lone half too.
      if (u <= 0xDBFF && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) ++i;
      out.push_back('?');
    } else {
      const uint16_t code = table[u];
      if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
      out.push_back(static_cast<char>(code & 0xFF));
    }
  }
}

std::string Utf16ToCp932(std::u16string_view units) {
  std::string out;
  AppendUnitsAsCp932(units, out);
  return out;
}

std::u16string CodePageToUtf16(std::string_view bytes, int codepage) {
  if (codepage == 932) return Cp932ToUtf16(bytes);
  thread_local std::map<int, std::unique_ptr<Converter>> converters;
  auto it = converters.find(codepage);
  if (it == converters.end()) {
    std::unique_ptr<Converter> c;
    const std::string name = codepage == 936 ? "GBK" : codepage == 950 ? "BIG5" : "CP" + std::to_string(codepage);
    try {
      c = std::make_unique<Converter>("UTF-16LE", name.c_str());
    } catch (const std::exception&) {
      c = std::make_unique<Converter>("UTF-16LE", "CP1252");
    }
    it = converters.emplace(codepage, std::move(c)).first;
  }
  std::string out = it->second->Run(bytes, [](size_t, std::string& repl) {
    repl = std::string("\xFD\xFF", 2);
    return size_t{1};
  });
  std::u16string units(out.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(out[2 * i]) | (static_cast<unsigned char>(out[2 * i + 1]) << 8));
  return units;
}

std::string ExternalToCp932(std::string_view text) {
  return IsValidUtf8(text) ? Utf8ToCp932(text) : std::string(text);
}

bool ExternalToCp932Exact(std::string_view text, std::string* out) {
  if (!IsValidUtf8(text)) {
    *out = std::string(text);
    return true;
  }
  bool exact = true;
  std::string converted = Get("CP932", "UTF-8", 1).Run(text, [&](size_t pos, std::string& repl) {
    exact = false;
    repl = "?";
    unsigned char c = static_cast<unsigned char>(text[pos]);
    return size_t{c < 0xE0 ? 2u : c < 0xF0 ? 3u : 4u};
  });
  if (exact) *out = std::move(converted);
  return exact;
}

std::string UnmappableTextMessage(std::string_view text) {
  return "検索語またはファイルマスクにShift-JIS(CP932)で表せない文字があります: " + std::string(text);
}

std::string PathForDisplay(std::string_view path) { return NameToUtf8(path); }

}  // namespace lorvek
