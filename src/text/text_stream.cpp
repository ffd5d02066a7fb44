#include "text/text_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/encoding.h"
#include "text/sjis.h"

namespace lorvek {

void JisEscapeFinder::Feed(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size() && code < 0; ++i) {
    const char b = bytes[i];
    if (matched_ == 0) {
      if (b == 0x1B) matched_ = 1;
      if (matched_ == 0) {
        // Nothing here: jump to the next escape byte.
        const void* p = std::memchr(bytes.data() + i + 1, 0x1B, bytes.size() - i - 1);
        if (!p) return;
        i = static_cast<size_t>(static_cast<const char*>(p) - bytes.data()) - 1;
      }
    } else if (matched_ == 1) {
      matched_ = (b == '$' || b == '(') ? 2 : (b == 0x1B ? 1 : 0);
      second_ = b;
    } else if (matched_ == 2 && second_ == '$' && b == '(') {
      matched_ = 3;  // ESC $ ( F: a two-byte set named by its fourth byte
    } else {
      if (matched_ == 3 && (b == 'B' || b == 'D' || b == 'O' || b == 'Q')) code = 2;
      else if (matched_ == 2 && second_ == '$' && b == 'B') code = 2;
      else if (matched_ == 2 && second_ == '$' && b == '@') code = 3;
      else if (matched_ == 2 && second_ == '(' && b == 'I') code = 2;
      matched_ = b == 0x1B ? 1 : 0;
    }
  }
}

namespace {

// The first byte with its top bit set, or n; eight bytes at a time.
size_t FirstHighByte(const char* p, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (w & 0x8080808080808080ull) break;
  }
  for (; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) & 0x80) return i;
  return n;
}

// The first CR, LF or NUL, or n.
size_t FirstBreakOrNul(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const char c = p[i];
    if (c == '\n' || c == '\r' || c == 0) return i;
  }
  return n;
}

}  // namespace

TextFileFormat ProbeStream(InputFile& in, ProbeDetails* details) {
  // The probe's windows (see ProbeBufferCode): the first 2,048 bytes when no
  // byte has its top bit set, else the 256 bytes from just before the first
  // such byte, shifted back to end at the end of the data; and the first line
  // break before the first NUL. Only what those need is kept.
  constexpr size_t kChunk = 64 * 1024;
  std::string head;           // the first 2,048 bytes and the one after them
  std::string tail;           // the bytes from tail_from on
  uint64_t tail_from = 0;
  uint64_t total = 0;
  long long group = -1;       // the four-byte group of the first high byte
  int32_t line_end = leUnread;
  bool pending_cr = false;
  bool whole_file = false;
  JisEscapeFinder escapes;
  thread_local std::string chunk(kChunk, '\0');  // made once: every file is probed
  for (;;) {
    const long long s = group - 1;
    // (DetectCode looks one byte past its window: that byte must be read too.)
    const bool window_known = group >= 0 && (s < 0 ? total > 2048 : total > static_cast<uint64_t>(s) + 256);
    if (window_known && line_end != leUnread) break;
    const size_t r = in.Read(chunk.data(), chunk.size());
    if (r == 0) {
      whole_file = true;
      break;
    }
    escapes.Feed(std::string_view(chunk.data(), r));
    const char* p = chunk.data();
    if (group < 0) {
      const size_t i = FirstHighByte(p, r);
      if (i < r) group = static_cast<long long>((total + i) & ~uint64_t{3});
    }
    if (line_end == leUnread) {
      size_t i = 0;
      if (pending_cr) line_end = p[0] == '\n' ? leCrLf : leCr;
      else i = FirstBreakOrNul(p, r);
      if (i < r && line_end == leUnread) {
        if (p[i] == 0) line_end = leNone;
        else if (p[i] == '\n') line_end = leLf;
        else if (i + 1 < r) line_end = p[i + 1] == '\n' ? leCrLf : leCr;
        else pending_cr = true;  // the next read's first byte decides
      }
    }
    if (head.size() < 2049) head.append(chunk, 0, std::min(r, 2049 - head.size()));
    tail.append(chunk, 0, r);
    total += r;
    // Keep 260 bytes before where the window can start (four before the
    // group and 256 more when the data ends early).
    const uint64_t keep_from = group >= 0 ? (group > 260 ? static_cast<uint64_t>(group) - 260 : 0)
                                          : (total > 260 ? total - 260 : 0);
    if (keep_from > tail_from) {
      tail.erase(0, static_cast<size_t>(keep_from - tail_from));
      tail_from = keep_from;
    }
  }
  if (line_end == leUnread) line_end = pending_cr ? leCr : leNone;
  if (details) *details = {whole_file, escapes.code};
  in.Rewind();
  if (total == 0) return TextFileFormat::FromCodes(ecUnread, leUnread);

  int32_t encoding;
  const long long s = group - 1;
  if (group < 0 || s < 0) {
    encoding = DetectCode(head, std::min<size_t>(head.size(), 2048), true);
  } else {
    const uint64_t e = static_cast<uint64_t>(s) + 256 < total ? static_cast<uint64_t>(s) + 256 : total;
    const uint64_t b = e > 256 ? e - 256 : 0;
    encoding = DetectCode(std::string_view(tail).substr(static_cast<size_t>(b - tail_from)), static_cast<size_t>(e - b), true);
  }
  return TextFileFormat::FromCodes(encoding, line_end);
}

TextBlockReader::TextBlockReader(InputFile& in, const TextFileFormat& format, bool stop_at_nul, size_t block_size,
                                 size_t long_line_bytes)
    : in_(in), format_(format), stop_at_nul_(stop_at_nul),
      // Reads smaller than the bound, so a line just over it is not gathered whole in one read.
      block_size_(std::min(block_size, std::max<size_t>(long_line_bytes / 2, 8))),
      long_line_bytes_(std::max<size_t>(long_line_bytes, 16)) {}

size_t TextBlockReader::PieceEnd() const {
  const std::string_view d = data_;
  size_t n = d.size();
  const int32_t enc = format_.encoding;
  if (IsUtf16(enc)) {
    n -= n % 2;
    auto unit = [&](size_t i) {
      const unsigned a = static_cast<unsigned char>(d[i]), b = static_cast<unsigned char>(d[i + 1]);
      return enc == ecUtf16Be ? (a << 8 | b) : (b << 8 | a);
    };
    if (n >= 2 && unit(n - 2) == '\r') n -= 2;
    if (n >= 2 && unit(n - 2) >= 0xD800 && unit(n - 2) <= 0xDBFF) n -= 2;  // the first half of a pair
    return n;
  }
  if (n > 0 && d[n - 1] == '\r') --n;
  auto byte = [&](size_t i) { return static_cast<unsigned char>(d[i]); };
  switch (enc) {
    case ecUtf8:
    case ecUtf8N: {
      // As the decoder steps: a lead byte takes as many bytes as it calls
      // for when they all follow on (else it stands alone), so only a walk
      // from the start tells where the last character ends; a lead whose
      // bytes may lie past the end is left for the next piece.
      size_t i = 0;
      while (i < n) {
        const unsigned char b = byte(i);
        const size_t want = b < 0xC0 || b > 0xF7 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        size_t len = 1;
        while (len < want && i + len < n && (byte(i + len) & 0xC0) == 0x80) ++len;
        if (len < want && i + len == n) return i;  // the rest may complete it
        i += len == want ? want : 1;
      }
      return n;
    }
    case ecEuc: {
      // As the decoder steps: a byte up to 0x80 or 0xFF alone, 8F with two
      // bytes from A1 on as three (JIS X 0212), any other high byte with the next.
      size_t i = 0;
      while (i < n) {
        const unsigned char b = byte(i);
        size_t len = (b <= 0x80 || b == 0xFF) ? 1 : 2;
        if (b == 0x8F && i + 1 < n && byte(i + 1) >= 0xA1) {
          if (i + 2 >= n) return i;  // the third byte decides
          if (byte(i + 2) >= 0xA1) len = 3;
        }
        if (i + len > n) return i;
        i += len;
      }
      return n;
    }
    case ecJis:
    case ecJisOld: {
      // As the decoder steps: an escape is three bytes, four for ESC $ ( F
      // and ESC $ ) F (the set's final byte comes last); in two-byte mode
      // the bytes go in pairs.
      bool two_byte = jis_.two_byte;
      size_t i = 0;
      while (i < n) {
        const unsigned char b = byte(i);
        if (b == 0x1B) {
          if (i + 3 > n) return i;
          const size_t length = byte(i + 1) == 0x24 && (byte(i + 2) == 0x28 || byte(i + 2) == 0x29) ? 4 : 3;
          if (i + length > n) return i;
          two_byte = byte(i + 1) == 0x24 ? true : byte(i + 1) == 0x28 ? false : two_byte;
          i += length;
        } else if (two_byte) {
          if (i + 2 > n) return i;
          i += 2;
        } else {
          ++i;
        }
      }
      return n;
    }
    default:
      // Shift-JIS and the codes read as they are: not between a lead byte and its trail byte.
      return n > 0 && CharStartAtOrBefore(d, n - 1) == n - 1 && IsLeadByte(byte(n - 1)) ? n - 1 : n;
  }
}

size_t TextBlockReader::LastBreakEnd(bool at_end) const {
  // The data always starts on a UTF-16 unit: the file's start, or just after a break.
  const size_t unit = IsUtf16(format_.encoding) ? 2 : 1;
  const bool big_endian = format_.encoding == ecUtf16Be;
  const size_t n = data_.size() - data_.size() % unit;
  auto code = [&](size_t i) -> unsigned {
    if (unit == 1) return static_cast<unsigned char>(data_[i]);
    unsigned a = static_cast<unsigned char>(data_[i]), b = static_cast<unsigned char>(data_[i + 1]);
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  };
  // Bytes before searched_ are known to hold no break: a long line is not
  // searched again each time more of it is read.
  for (size_t i = n; i >= unit && i > searched_; i -= unit) {
    const unsigned c = code(i - unit);
    if (c == '\n') return i;
    // A CR at the very end may be the first half of a CR LF cut by the block.
    if (c == '\r' && (i < n || at_end)) return i;
  }
  searched_ = n >= unit ? n - unit : 0;
  return 0;
}

size_t TextBlockReader::FirstNul(size_t from) const {
  if (!IsUtf16(format_.encoding)) {
    const void* p = std::memchr(data_.data() + from, 0, data_.size() - from);
    return p ? static_cast<size_t>(static_cast<const char*>(p) - data_.data()) : std::string::npos;
  }
  for (size_t i = from - from % 2; i + 1 < data_.size(); i += 2)
    if (data_[i] == 0 && data_[i + 1] == 0) return i;
  return std::string::npos;
}

bool TextBlockReader::Next(DecodedText& out) {
  auto hand_out = [&](size_t cut, bool piece) {
    DecodeOptions options;
    options.at_file_start = at_start_;
    options.jis_state = &jis_;
    DecodeFileTextInto(std::string_view(data_).substr(0, cut), format_, options, out);
    data_.erase(0, cut);
    searched_ = 0;
    at_start_ = false;
    piece_ = piece;
    continued_ = in_piece_line_ && !piece;
    in_piece_line_ = piece;
  };
  for (;;) {
    // Hand out whole lines once there are enough of them (or the text ends).
    const size_t cut = eof_ ? data_.size() : LastBreakEnd(false);
    // An unfinished line as long as the bound goes out as a piece, after
    // the whole lines before it.
    const bool long_tail = !eof_ && data_.size() - cut >= long_line_bytes_;
    if (cut > 0 && (eof_ || cut >= block_size_ / 2 || long_tail)) {
      hand_out(cut, false);
      return true;
    }
    if (long_tail) {
      const size_t end = PieceEnd();
      if (end > 0) {
        hand_out(end, true);
        return true;
      }
    }
    if (eof_) {
      // The file ended right after the last piece: that line is done.
      if (in_piece_line_) {
        // An empty last line, in the room the block had.
        out.text.clear();
        out.lines.assign(1, DecodedLine{});
        out.format = format_;
        piece_ = false;
        continued_ = true;
        in_piece_line_ = false;
        return true;
      }
      return false;
    }
    // Read on: a block's worth, or on through a long line.
    // Only as much room as the file can fill: a small file must not pay
    // for clearing a whole block.
    const size_t was = data_.size();
    const size_t want = in_.NextReadSize(block_size_);
    data_.resize(was + want);
    const size_t r = in_.Read(data_.data() + was, want);
    data_.resize(was + r);
    if (r == 0) {
      eof_ = true;
      continue;
    }
    if (stop_at_nul_) {
      // Nothing after the first NUL belongs to the text: read no further.
      const size_t nul = FirstNul(was);
      if (nul != std::string::npos) {
        data_.resize(nul);
        eof_ = true;
        cut_at_nul_ = true;
      }
    }
  }
}

}  // namespace lorvek
