#include "text/encoding.h"

#include "text/encoding_table.h"
#include "text/file_bytes.h"

namespace lorvek {
namespace {

inline bool In(unsigned v, unsigned lo, unsigned hi) { return v >= lo && v <= hi; }

}  // namespace

size_t WellFormedUtf8Length(unsigned b0, unsigned b1, unsigned b2, unsigned b3) {
  auto cont = [](unsigned b) { return In(b, 0x80, 0xBF); };
  if (b0 < 0x80) return 1;
  if (In(b0, 0xC2, 0xDF)) return cont(b1) ? 2 : 0;
  if (In(b0, 0xE0, 0xEF)) {
    // E0 needs A0.. (no overlong form), ED ..9F (no surrogate halves).
    const unsigned lo = b0 == 0xE0 ? 0xA0 : 0x80, hi = b0 == 0xED ? 0x9F : 0xBF;
    return In(b1, lo, hi) && cont(b2) ? 3 : 0;
  }
  if (In(b0, 0xF0, 0xF4)) {
    // F0 needs 90.. (no overlong form), F4 ..8F (nothing past U+10FFFF).
    const unsigned lo = b0 == 0xF0 ? 0x90 : 0x80, hi = b0 == 0xF4 ? 0x8F : 0xBF;
    return In(b1, lo, hi) && cont(b2) && cont(b3) ? 4 : 0;
  }
  return 0;
}

int32_t DetectCode(std::string_view buffer, size_t count, bool utf8_aware) {
  auto at = [&](size_t i) -> unsigned {
    return i < buffer.size() ? static_cast<unsigned char>(buffer[i]) : 0u;
  };
  if (count == 0) return ecBinary;
  if (count > 3) {
    if (at(0) == 0xFF && at(1) == 0xFE) return ecUtf16Le;
    if (at(0) == 0xFE && at(1) == 0xFF) return ecUtf16Be;
  }
  if (utf8_aware && count > 4 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return ecUtf8;
  for (size_t i = 0; i < count; ++i)
    if (at(i) < 0x08 || at(i) == 0xFF) return ecBinary;

  int32_t verdict = ecAscii;
  const long long limit = static_cast<long long>(count) - 2;
  for (long long i = 0; (verdict == 0 || verdict == 6) && i < limit; ++i) {
    size_t k = static_cast<size_t>(i);
    unsigned c = at(k);
    if (c == 0) break;
    if (c == 0x1B) {
      if (at(++k) == 0x24) {
        unsigned d = at(++k);
        if (d == 0x42) verdict = ecJis;
        else if (d == 0x40) verdict = ecJisOld;
      }
    } else if (c < 0x08 || c == 0xFF) {
      verdict = ecBinary;
    } else if (c <= 0x7F) {
    } else if (In(c, 0x81, 0x8D) || In(c, 0x8F, 0x9F)) {
      verdict = ecSjis;
    } else if (c == 0x8E) {
      unsigned d = at(++k);
      if (In(d, 0x40, 0x7E) || In(d, 0x80, 0xA0) || In(d, 0xE0, 0xFC)) verdict = ecSjis;
      else if (In(d, 0xA1, 0xDF)) verdict = ecEucOrSjis;
    } else if (In(c, 0xA1, 0xDF)) {
      unsigned d = at(++k);
      if (In(d, 0xF0, 0xFE)) {
        verdict = ecEuc;
      } else if (In(d, 0xA1, 0xDF)) {
        verdict = ecEucOrSjis;
      } else if (In(d, 0xE0, 0xEF)) {
        verdict = ecEucOrSjis;
        for (size_t j = k; at(j) >= 0x40 && j <= count && verdict == ecEucOrSjis; ++j) {
          unsigned e = at(j);
          if (In(e, 0x81, 0x8D) || In(e, 0x8F, 0x9C)) verdict = ecSjis;
          else if (e == 0xFD || e == 0xFE) verdict = ecEuc;
        }
      } else if (d <= 0x9F) {
        verdict = ecSjis;
      }
    } else if (In(c, 0xFA, 0xFC)) {
      // The IBM extension kanji of code page 932 (髙 FB FC, 﨑 FA B1): a
      // trail below A1 is Shift-JIS alone; from A1 on EUC-JP reads it too.
      unsigned d = at(++k);
      if (In(d, 0x40, 0x7E) || In(d, 0x80, 0xA0)) verdict = ecSjis;
      else if (In(d, 0xA1, 0xFC)) verdict = ecEucOrSjis;
      else verdict = ecEuc;
    } else if (In(c, 0xF0, 0xFE)) {
      verdict = ecEuc;
    } else if (In(c, 0xE0, 0xEF)) {
      unsigned d = at(++k);
      if (In(d, 0x40, 0x7E) || In(d, 0x80, 0xA0)) verdict = ecSjis;
      else if (d == 0xFD || d == 0xFE) verdict = ecEuc;
      else if (In(d, 0xA1, 0xFC)) verdict = ecEucOrSjis;
    }
    i = static_cast<long long>(k);
  }
  if (!utf8_aware) return verdict;
  // A four-byte UTF-8 lead (F0..F4) reads as an EUC-JP lead above, so an
  // EUC-JP verdict is tested too: EUC-JP text is no UTF-8 (its kana and most
  // of its kanji start with a continuation byte).
  if (verdict == ecAscii || verdict == ecSjis || verdict == ecEucOrSjis || verdict == ecEuc) {
    bool valid = false;
    const long long end = static_cast<long long>(count) - 4;
    for (long long i = 0; i < end && at(static_cast<size_t>(i)) != 0;) {
      const size_t k = static_cast<size_t>(i);
      const size_t length = WellFormedUtf8Length(at(k), at(k + 1), at(k + 2), at(k + 3));
      if (length == 1) {
        ++i;
        continue;
      }
      if (length == 0) {
        valid = false;
        break;
      }
      // Only three- and four-byte sequences prove UTF-8: a pair of bytes
      // C2..DF 80..BF is as likely Shift-JIS or EUC-JP.
      if (length > 2) valid = true;
      i += static_cast<long long>(length);
    }
    if (valid) return ecUtf8N;
  }
  return verdict;
}

int32_t DetectTextCode(std::string_view text) { return DetectCode(text, text.size(), true); }

int32_t DetectLineBreak(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') return leLf;
    if (text[i] == '\r') return (i + 1 < text.size() && text[i + 1] == '\n') ? leCrLf : leCr;
  }
  return leNone;
}

TextFileFormat ProbeBufferCode(std::string_view data) {
  if (data.empty()) return {ecUnread, leUnread};
  const size_t n = data.size();
  // The first byte with its top bit set, found four bytes at a time.
  long long group = -1;
  for (size_t p = 0; p < n; p += 4) {
    bool high = false;
    for (size_t k = p; k < p + 4 && k < n; ++k)
      if (static_cast<unsigned char>(data[k]) & 0x80) high = true;
    if (high) {
      group = static_cast<long long>(p);
      break;
    }
  }
  int32_t encoding;
  long long s = group - 1;
  if (group < 0 || s < 0) {
    encoding = DetectCode(data, n < 2048 ? n : 2048, true);
  } else {
    size_t e = static_cast<size_t>(s) + 256 < n ? static_cast<size_t>(s) + 256 : n;
    size_t b = e > 256 ? e - 256 : 0;
    encoding = DetectCode(data.substr(b), e - b, true);
  }
  size_t nul = data.find('\0');
  return TextFileFormat::FromCodes(encoding, DetectLineBreak(data.substr(0, nul)));
}

TextFileFormat ProbeFileCode(const std::string& path) { return ProbeBufferCode(ReadFileBytes(path)); }

std::string EncodingTag(int32_t code, int32_t line_break) {
  const EncodingRow* row = FindEncoding(code);
  std::string tag(row ? row->tag : "[???]");
  if (line_break == leCr) tag += "[CR]";
  else if (line_break == leLf) tag += "[LF]";
  return tag;
}

}  // namespace lorvek
