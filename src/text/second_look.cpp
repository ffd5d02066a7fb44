#include "text/second_look.h"

#include <uchardet.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "text/encoding.h"
#include "text/sjis.h"
#include "text/sjis_oddities.h"

namespace lorvek {
namespace {

constexpr size_t kChunk = 256 * 1024;
// The detector reads at most this much of a file: enough to be sure, and a
// huge file costs no more than a big one.
constexpr size_t kDetectorBytes = 4 << 20;

int32_t CodeOfCharset(const std::string& name) {
  if (name == "SHIFT_JIS" || name == "WINDOWS-31J" || name == "CP932") return ecSjis;
  if (name == "EUC-JP") return ecEuc;
  if (name == "ISO-2022-JP") return ecJis;
  if (name == "UTF-8") return ecUtf8N;
  return -1;
}

// The offset of the first byte from i on with its top bit set (ASCII text
// is passed over eight bytes at a time).
size_t NextHighByte(std::string_view s, size_t i) {
  while (i + 8 <= s.size()) {
    uint64_t word;
    std::memcpy(&word, s.data() + i, 8);
    if (word & 0x8080808080808080ULL) break;
    i += 8;
  }
  while (i < s.size() && !(static_cast<unsigned char>(s[i]) & 0x80)) ++i;
  return i;
}

// Strict UTF-8 validation fed piece by piece.
class Utf8Check {
 public:
  void Feed(std::string_view s) {
    for (size_t i = 0; i < s.size() && valid_; ++i) {
      if (need_ == 0) {
        i = NextHighByte(s, i);
        if (i >= s.size()) return;
      }
      const unsigned char c = static_cast<unsigned char>(s[i]);
      if (need_ == 0) {
        multibyte_ = true;
        if (c >= 0xC2 && c <= 0xDF) need_ = 1, low_ = 0x80, high_ = 0xBF;
        else if (c == 0xE0) need_ = 2, low_ = 0xA0, high_ = 0xBF;
        else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) need_ = 2, low_ = 0x80, high_ = 0xBF;
        else if (c == 0xED) need_ = 2, low_ = 0x80, high_ = 0x9F;
        else if (c == 0xF0) need_ = 3, low_ = 0x90, high_ = 0xBF;
        else if (c >= 0xF1 && c <= 0xF3) need_ = 3, low_ = 0x80, high_ = 0xBF;
        else if (c == 0xF4) need_ = 3, low_ = 0x80, high_ = 0x8F;
        else valid_ = false;
        continue;
      }
      if (c < low_ || c > high_) {
        valid_ = false;
        return;
      }
      low_ = 0x80, high_ = 0xBF;
      --need_;
    }
  }
  bool ValidMultibyte() const { return valid_ && need_ == 0 && multibyte_; }
  bool StillValid() const { return valid_; }

 private:
  bool valid_ = true;
  bool multibyte_ = false;
  int need_ = 0;
  unsigned char low_ = 0x80, high_ = 0xBF;
};

// Whether bytes fed piece by piece are EUC-JP: ASCII, 8E with a half-width
// katakana byte, 8F with two bytes A1-FE, or two bytes A1-FE.
class EucCheck {
 public:
  void Feed(std::string_view s) {
    for (size_t i = 0; i < s.size() && valid_; ++i) {
      const unsigned c = static_cast<unsigned char>(s[i]);
      if (need_ > 0) {
        const bool fits = kana_ ? c >= 0xA1 && c <= 0xDF : c >= 0xA1 && c <= 0xFE;
        if (!fits) valid_ = false;
        --need_;
        kana_ = false;
        continue;
      }
      if (c < 0x80) continue;
      if (c == 0x8E) need_ = 1, kana_ = true;
      else if (c == 0x8F) need_ = 2;
      else if (c >= 0xA1 && c <= 0xFE) need_ = 1;
      else valid_ = false;
    }
  }
  bool StillValid() const { return valid_; }

 private:
  bool valid_ = true;
  bool kana_ = false;
  int need_ = 0;
};

// UTF-16 without a byte-order mark, told by its shape: read in one byte
// order, every unit is a character of text (no 0000, no control code
// other than tab, line feed, form feed, carriage return and escape, no
// surrogate half out of its pair, no FFFE or FFFF), and units below 80
// (ASCII, the line breaks) stand where that byte order puts their zero
// byte. Binary data gives a 0000 unit or a control code within its first
// bytes; Shift-JIS text with a stray NUL has too few such units; ASCII
// records that end in NUL and line feed give "characters" of two ASCII
// bytes each.
class Utf16Shape {
 public:
  void Feed(std::string_view s) {
    if (s.empty()) return;
    size_t i = 0;
    if (odd_) {
      Unit(static_cast<unsigned char>(carry_), static_cast<unsigned char>(s[0]));
      odd_ = false;
      i = 1;
    }
    for (; i + 1 < s.size() && Alive(); i += 2)
      Unit(static_cast<unsigned char>(s[i]), static_cast<unsigned char>(s[i + 1]));
    if (i < s.size() && Alive()) {
      odd_ = true;
      carry_ = s[i];
    }
  }
  bool Alive() const { return order_[0].valid || order_[1].valid; }
  // ecUtf16Le, ecUtf16Be or -1. odd_length: the file has an odd number of
  // bytes, which UTF-16 text never has.
  int32_t Verdict(bool odd_length) const {
    if (odd_length) return -1;
    for (int o = 0; o < 2; ++o) {
      const Order& me = order_[o];
      const Order& other = order_[1 - o];
      if (!me.valid || me.pending_high) continue;
      // Kana and kanji with few ASCII units or none (prose, lines of it):
      // nearly every wide unit Japanese in this order, a good share of them
      // kana (Shift-JIS kanji read as big-endian units are CJK too, but
      // never kana), hardly any kana in the other order, and enough units
      // that binary data would hardly give it.
      if (me.wide >= kJapaneseOnlyUnits && me.japanese * 10 >= me.wide * 9 && me.kana * 5 >= me.wide &&
          other.kana * 20 < other.wide + 1)
        return o == 0 ? ecUtf16Le : ecUtf16Be;
      // (One such unit may be a stray NUL beside an ASCII byte.)
      if (me.ascii < 2 || me.ascii <= other.ascii) continue;
      // Enough units with a zero byte: line breaks, or a good share of ASCII.
      if (me.breaks == 0 && me.ascii * 4 < units_) continue;
      if (me.ascii * 64 < units_) continue;
      // Characters made of two printable ASCII bytes each ("ne" read as
      // U+6E65) are what ASCII text gives, not Japanese: most kanji and
      // katakana have a byte of 80 or more, and hiragana (30xx, "0" and a
      // letter in ASCII, which text seldom holds) are not counted as such
      // pairs. In doubt, no UTF-16.
      if (me.wide > 0 && me.ascii_pairs * 10 >= me.wide * 9) continue;
      return o == 0 ? ecUtf16Le : ecUtf16Be;
    }
    return -1;
  }

 private:
  struct Order {
    bool valid = true;
    bool pending_high = false;  // a high surrogate waits for its low half
    size_t ascii = 0;
    size_t breaks = 0;
    size_t wide = 0;         // units of 80 and more
    size_t ascii_pairs = 0;  // ... both of whose bytes are printable ASCII
    size_t japanese = 0;     // ... that are kana, kanji, Japanese punctuation or full-width forms
    size_t kana = 0;         // ... that are kana or Japanese punctuation (30xx)
  };
  static constexpr size_t kJapaneseOnlyUnits = 8;
  static bool Japanese(unsigned u) {
    return (u >= 0x3000 && u <= 0x30FF) || (u >= 0x3400 && u <= 0x4DBF) || (u >= 0x4E00 && u <= 0x9FFF) ||
           (u >= 0xFF00 && u <= 0xFFEF);
  }
  static bool Printable(unsigned byte) { return byte >= 0x20 && byte <= 0x7E; }
  static void Take(Order& o, unsigned u) {
    if (!o.valid) return;
    const bool low = u >= 0xDC00 && u <= 0xDFFF;
    if (o.pending_high != low) {
      o.valid = false;
      return;
    }
    o.pending_high = u >= 0xD800 && u <= 0xDBFF;
    if (u < 0x20) {
      if (u != 0x09 && u != 0x0A && u != 0x0C && u != 0x0D && u != 0x1B) o.valid = false;
      if (u == 0x0A || u == 0x0D) ++o.breaks;
    } else if ((u >= 0x7F && u <= 0x9F) || u >= 0xFFFE) {
      o.valid = false;
    }
    if (u < 0x80) {
      ++o.ascii;
    } else {
      ++o.wide;
      if (Printable(u >> 8) && Printable(u & 0xFF) && (u >> 8) != 0x30) ++o.ascii_pairs;
      if (Japanese(u)) ++o.japanese;
      if (u >= 0x3000 && u <= 0x30FF) ++o.kana;
    }
  }
  void Unit(unsigned char a, unsigned char b) {
    ++units_;
    Take(order_[0], static_cast<unsigned>(b << 8 | a));
    Take(order_[1], static_cast<unsigned>(a << 8 | b));
  }

  Order order_[2];  // little-endian, big-endian
  size_t units_ = 0;
  bool odd_ = false;
  char carry_ = 0;
};

struct DetectorDeleter {
  void operator()(uchardet* d) const { uchardet_delete(d); }
};

}  // namespace

int32_t DetectorVerdict(std::string_view bytes) {
  std::unique_ptr<uchardet, DetectorDeleter> detector(uchardet_new());
  if (!detector) return -1;
  uchardet_handle_data(detector.get(), bytes.data(), bytes.size());
  uchardet_data_end(detector.get());
  return CodeOfCharset(uchardet_get_charset(detector.get()));
}

namespace {

// The detector's verdict over the start of the file; leaves it at its start.
int32_t Detect(InputFile& in) {
  // Room for what the file holds, not for the most the detector reads: a
  // small file must not pay for clearing megabytes.
  std::string head;
  while (head.size() < kDetectorBytes) {
    const size_t was = head.size();
    const size_t want = std::min(in.NextReadSize(kDetectorBytes), kDetectorBytes - was);
    head.resize(was + want);
    const size_t r = in.Read(head.data() + was, want);
    head.resize(was + r);
    if (r == 0) break;
  }
  in.Rewind();
  return DetectorVerdict(head);
}

}  // namespace

int32_t Utf16WithoutMark(std::string_view bytes, bool whole) {
  Utf16Shape shape;
  shape.Feed(bytes);
  return shape.Verdict(whole && bytes.size() % 2 != 0);
}

bool NeedsSecondLook(int32_t verdict, const ProbeDetails& details) {
  if (verdict == ecAscii) return !details.whole_file || details.jis_escape >= 0;
  return verdict == ecSjis || verdict == ecEucOrSjis || verdict == ecBinary || verdict == ecEuc;
}

namespace {

// Binary by the probe: UTF-16 text without a mark, or binary indeed. Reads
// until the shape breaks (at once for most binary files), at most as far as
// the detector would.
int32_t BinaryOrUtf16(InputFile& in) {
  Utf16Shape shape;
  std::string chunk;
  size_t total = 0;
  bool whole = false;
  while (shape.Alive()) {
    if (total >= kDetectorBytes) break;
    if (const size_t want = in.NextReadSize(64 * 1024); chunk.size() < want) chunk.resize(want);
    const size_t r = in.Read(chunk.data(), chunk.size());
    if (r == 0) {
      whole = true;
      break;
    }
    total += r;
    shape.Feed(std::string_view(chunk.data(), r));
  }
  // Of a file larger than what was read, the reported size tells.
  const bool odd = whole ? total % 2 != 0 : in.ReportedSize() % 2 != 0;
  const int32_t code = shape.Alive() ? shape.Verdict(odd) : -1;
  in.Rewind();
  return code >= 0 ? code : ecBinary;
}

// The byte order of a file's start read as UTF-16 without a mark, or -1.
// Leaves the file at its start.
int32_t Utf16Start(InputFile& in) {
  std::string head(64 * 1024, '\0');
  head.resize(in.Read(head.data(), head.size()));
  const bool whole = head.size() < 64 * 1024;
  in.Rewind();
  return Utf16WithoutMark(std::string_view(head).substr(0, head.size() - head.size() % 2), whole);
}

// EUC-JP by the probe: text that is no EUC-JP but is code page 932 (its
// IBM extension kanji, its trail bytes below A1) is Shift-JIS. Reads as far
// as the detector would, and stops at the first byte EUC-JP cannot hold.
int32_t EucOrCodePage932(InputFile& in) {
  EucCheck euc;
  SjisOddities odd;
  std::string chunk;
  size_t total = 0;
  while (euc.StillValid() && total < kDetectorBytes) {
    if (const size_t want = in.NextReadSize(kChunk); chunk.size() < want) chunk.resize(want);
    const size_t r = in.Read(chunk.data(), chunk.size());
    if (r == 0) break;
    total += r;
    euc.Feed(std::string_view(chunk.data(), r));
    odd.Feed(std::string_view(chunk.data(), r));
  }
  // The rest of a file cut short here may still hold what Shift-JIS does not.
  while (!euc.StillValid() && odd.Count() == 0 && total < kDetectorBytes) {
    if (const size_t want = in.NextReadSize(kChunk); chunk.size() < want) chunk.resize(want);
    const size_t r = in.Read(chunk.data(), chunk.size());
    if (r == 0) break;
    total += r;
    odd.Feed(std::string_view(chunk.data(), r));
  }
  in.Rewind();
  return !euc.StillValid() && odd.Count() == 0 ? ecSjis : ecEuc;
}

// How much a text read as EUC-JP (euc) or as code page 932 looks like
// Japanese. Kana count wherever they stand; kanji in runs of two or more
// (a double-byte character alone between ASCII is what Latin text in UTF-8
// gives); half-width katakana count in runs of letters (ﾃﾞｰﾀ), while the
// half-width punctuation ｡｢｣､･ among them is the soup EUC-JP kana make
// read as Shift-JIS. kBroken when the reading breaks.
constexpr int kBroken = INT_MIN;

int JapaneseScore(std::string_view s, bool euc) {
  int score = 0;
  int run = 0, run_score = 0;  // the current run of double-byte characters
  int half_run = 0;            // the current run of half-width katakana letters
  // Runs of three and more: two (ﾃｩ) are what a Latin letter with a mark
  // in UTF-8 gives.
  auto end_half_run = [&] {
    if (half_run >= 3) score += half_run;
    half_run = 0;
  };
  auto end_runs = [&] {
    if (run >= 2) score += run_score;
    end_half_run();
    run = run_score = 0;
  };
  for (size_t i = 0; i < s.size();) {
    const unsigned c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      end_runs();
      ++i;
      continue;
    }
    const unsigned d = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
    const unsigned half = euc ? (c == 0x8E && d >= 0xA1 && d <= 0xDF ? d : 0) : (c >= 0xA1 && c <= 0xDF ? c : 0);
    if (half) {
      if (run >= 2) score += run_score;
      run = run_score = 0;
      if (half <= 0xA5) {
        end_half_run();
        score -= 2;
      } else {
        ++half_run;
      }
      i += euc ? 2 : 1;
      continue;
    }
    end_half_run();
    if (i + 1 >= s.size()) break;  // cut off at the end of what was read
    bool kana;
    size_t length = 2;
    if (euc) {
      if (c == 0x8F) {  // JIS X 0212: a kanji of three bytes
        const unsigned e = i + 2 < s.size() ? static_cast<unsigned char>(s[i + 2]) : 0;
        if (i + 2 >= s.size()) break;
        if (!(d >= 0xA1 && d <= 0xFE && e >= 0xA1 && e <= 0xFE)) return kBroken;
        length = 3;
        kana = false;
      } else {
        if (!(c >= 0xA1 && c <= 0xFE && d >= 0xA1 && d <= 0xFE)) return kBroken;
        kana = c == 0xA4 || c == 0xA5;
      }
    } else {
      if (!IsLeadByte(static_cast<unsigned char>(c)) || d < 0x40 || d > 0xFC || d == 0x7F) return kBroken;
      const unsigned code = c << 8 | d;
      kana = (code >= 0x829F && code <= 0x82F1) || (code >= 0x8340 && code <= 0x8396);
    }
    if (kana) score += 2;  // a kana counts alone too
    else run_score += 1;
    ++run;
    i += length;
  }
  end_runs();
  return score;
}

// EUC-JP or Shift-JIS when one reading of the file's start is clearly the
// more Japanese, else -1. Leaves the file at its start.
int32_t LikelierReading(InputFile& in) {
  std::string head(64 * 1024, '\0');
  head.resize(in.Read(head.data(), head.size()));
  in.Rewind();
  const int euc = JapaneseScore(head, true), sjis = JapaneseScore(head, false);
  if (euc == kBroken || sjis == kBroken) {
    // Only one of them reads the bytes at all.
    if (euc != kBroken) return ecEuc;
    if (sjis != kBroken) return ecSjis;
    return -1;
  }
  if (euc >= 2 && euc > sjis + 1) return ecEuc;
  if (sjis >= 2 && sjis > euc + 1) return ecSjis;
  return -1;
}

}  // namespace

int32_t SecondLook(InputFile& in, int32_t verdict, const ProbeDetails& details) {
  if (!NeedsSecondLook(verdict, details)) return verdict;
  if (verdict == ecBinary) return BinaryOrUtf16(in);
  // UTF-16 without a mark whose kana and kanji hold no byte below 08 (so
  // the probe saw no binary) reads as Shift-JIS of a kind: its units tell.
  if ((verdict == ecSjis || verdict == ecEucOrSjis) && in.ReportedSize() % 2 == 0)
    if (const int32_t utf16 = Utf16Start(in); utf16 >= 0) return utf16;
  if (verdict == ecEuc) return EucOrCodePage932(in);
  if (verdict == ecAscii && details.whole_file) return details.jis_escape;

  JisEscapeFinder escapes;
  Utf8Check utf8;
  SjisOddities odd;
  EucCheck euc;  // for a Shift-JIS verdict: whether the bytes read are EUC-JP
  int32_t rules = ecEucOrSjis;
  std::string chunk;
  for (;;) {
    if (const size_t want = in.NextReadSize(kChunk); chunk.size() < want) chunk.resize(want);
    const size_t r = in.Read(chunk.data(), chunk.size());
    if (r == 0) break;
    const std::string_view piece(chunk.data(), r);
    if (verdict == ecAscii) {
      escapes.Feed(piece);
      if (escapes.code >= 0) break;
      continue;
    }
    utf8.Feed(piece);
    if (verdict == ecSjis) {
      odd.Feed(piece);
      euc.Feed(piece);
      // No UTF-8, and something odd: the detector decides, nothing more to read.
      if (!utf8.StillValid() && odd.Count() > 0) break;
    } else {
      // The classifier's own rules, piece by piece, until one decides.
      if (rules == ecEucOrSjis) {
        const int32_t v = DetectCode(piece, piece.size(), false);
        if (v == ecEuc || v == ecSjis) rules = v;
      }
      if (!utf8.StillValid() && rules != ecEucOrSjis) break;
    }
  }
  in.Rewind();
  if (verdict == ecAscii) return escapes.code >= 0 ? escapes.code : ecAscii;
  if (utf8.ValidMultibyte()) return ecUtf8N;
  if (verdict == ecSjis) {
    // Text the probe called Shift-JIS that holds what Shift-JIS does not.
    if (odd.Count() == 0) return ecSjis;
    // What Shift-JIS cannot read, EUC-JP reads whole (a JIS X 0212 kanji
    // first, 8F, is a Shift-JIS lead too).
    if (euc.StillValid()) return ecEuc;
    return Detect(in) == ecEuc ? ecEuc : ecSjis;
  }
  if (rules != ecEucOrSjis) return rules;
  // Which reading is Japanese text: kana and kanji in runs rather than
  // half-width katakana soup (what EUC-JP gives read as Shift-JIS).
  if (const int32_t likely = LikelierReading(in); likely >= 0) return likely;
  // (The detector may call UTF-8 what the strict check above refused.)
  const int32_t detected = Detect(in);
  return detected >= 0 && detected != ecUtf8N ? detected : ecEucOrSjis;
}

TextFileFormat DetectFileFormat(InputFile& in) {
  ProbeDetails details;
  TextFileFormat format = ProbeStream(in, &details);
  const int32_t code = SecondLook(in, format.encoding, details);
  if (code != format.encoding) format = TextFileFormat::FromCodes(code, format.line_end);
  return format;
}

}  // namespace lorvek
