#include "text/second_look.h"

#include <uchardet.h>

#include <cstring>
#include <memory>
#include <string>

#include "text/encoding.h"
#include "text/sjis.h"

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

// Counts what Shift-JIS text does not hold: bytes that are no character of
// code page 932 (a lead byte without its trail, 80, A0, FD to FF) and the
// user-defined lead bytes F0 to F9 that EUC-JP text is full of.
class SjisOddities {
 public:
  void Feed(std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
      if (!lead_) {
        i = NextHighByte(s, i);
        if (i >= s.size()) return;
      }
      const unsigned char c = static_cast<unsigned char>(s[i]);
      if (lead_) {
        lead_ = false;
        if (c < 0x40 || c == 0x7F || c > 0xFC) ++odd_;
        continue;
      }
      if (IsLeadByte(c)) {
        lead_ = true;
        if (c >= 0xF0 && c <= 0xF9) ++odd_;
      } else if (c == 0x80 || c == 0xA0 || c >= 0xFD) {
        ++odd_;
      }
    }
  }
  size_t Count() const { return odd_ + (lead_ ? 1 : 0); }

 private:
  bool lead_ = false;
  size_t odd_ = 0;
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
  std::string head(kDetectorBytes, '\0');
  size_t got = 0;
  while (got < head.size()) {
    const size_t r = in.Read(head.data() + got, head.size() - got);
    if (r == 0) break;
    got += r;
  }
  head.resize(got);
  in.Rewind();
  return DetectorVerdict(head);
}

}  // namespace

bool NeedsSecondLook(int32_t verdict, const ProbeDetails& details) {
  if (verdict == ecAscii) return !details.whole_file || details.jis_escape >= 0;
  return verdict == ecSjis || verdict == ecEucOrSjis;
}

int32_t SecondLook(InputFile& in, int32_t verdict, const ProbeDetails& details) {
  if (!NeedsSecondLook(verdict, details)) return verdict;
  if (verdict == ecAscii && details.whole_file) return details.jis_escape;

  JisEscapeFinder escapes;
  Utf8Check utf8;
  SjisOddities odd;
  int32_t rules = ecEucOrSjis;
  std::string chunk(kChunk, '\0');
  for (;;) {
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
    return Detect(in) == ecEuc ? ecEuc : ecSjis;
  }
  if (rules != ecEucOrSjis) return rules;
  // (The detector may call UTF-8 what the strict check above refused.)
  const int32_t detected = Detect(in);
  return detected >= 0 && detected != ecUtf8N ? detected : ecEucOrSjis;
}

}  // namespace lorvek
