#include "text/text_codec.h"

#include "text/encoding_table.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/conversion.h"
#include "text/cp932.h"
#include "text/sjis.h"

namespace lorvek {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string_view MarkOf(int32_t encoding) {
  const EncodingRow* row = FindEncoding(encoding);
  return row ? row->mark : std::string_view();
}

// Where the text proper ends when nothing after the first NUL counts.
size_t NulCut(std::string_view bytes, size_t header, bool utf16) {
  if (!utf16) return std::min(bytes.find('\0', header), bytes.size());
  for (size_t i = header; i + 1 < bytes.size(); i += 2)
    if (bytes[i] == 0 && bytes[i + 1] == 0) return i;
  return bytes.size();
}

int32_t BreakCode(std::string_view brk, int unit) {
  if (brk.empty()) return leNone;
  if (brk.size() == static_cast<size_t>(2 * unit)) return leCrLf;
  // One unit: CR or LF; the unit's low byte tells which.
  char c = unit == 1 ? brk[0] : (brk[0] != 0 ? brk[0] : brk[1]);
  return c == '\r' ? leCr : leLf;
}

// Appends the Shift-JIS text of one line's bytes (no break).
void DecodeLineInto(std::string_view raw, int32_t enc, JisDecoder& jis, std::string& out) {
  switch (enc) {
    case ecJis:
    case ecJisOld: jis.Decode(raw, out); break;
    case ecEuc: AppendEucAsSjis(raw, out); break;
    case ecUtf16Le:
    case ecUtf16Be: AppendUtf16UnitsAsSjis(raw, enc == ecUtf16Be, out); break;
    case ecUtf8:
    case ecUtf8N: AppendUtf8AsSjis(raw, out); break;
    default: out += raw; break;
  }
}

// The LF bytes of a text, sixteen at a time: room for its lines, made once
// (a text broken by CR alone grows its room as it goes).
size_t CountLineFeeds(std::string_view text) {
  const char* p = text.data();
  const size_t n = text.size();
  size_t count = 0, i = 0;
#if defined(__SSE2__)
  // Each lane counts its LFs (a match is -1) for up to 255 steps, then the
  // lanes are summed.
  const __m128i lf = _mm_set1_epi8('\n');
  while (i + 16 <= n) {
    __m128i lanes = _mm_setzero_si128();
    for (int step = 0; step < 255 && i + 16 <= n; ++step, i += 16)
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), lf));
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    count += static_cast<size_t>(_mm_cvtsi128_si32(sums)) + static_cast<size_t>(_mm_extract_epi16(sums, 4));
  }
#endif
  for (; i < n; ++i) count += p[i] == '\n';
  return count;
}

// The number of bytes of the character that starts at p, as the decoder of
// the (stateless) encoding takes them, cut at the end of the bytes.
size_t CharacterBytes(std::string_view bytes, size_t p, int32_t enc) {
  const size_t left = bytes.size() - p;
  auto at = [&](size_t k) -> unsigned { return p + k < bytes.size() ? static_cast<unsigned char>(bytes[p + k]) : 0u; };
  const unsigned b = at(0);
  size_t n = 1;
  switch (enc) {
    case ecUtf8:
    case ecUtf8N: n = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : 1; break;
    case ecUtf16Le:
    case ecUtf16Be: {
      if (left < 2) break;
      auto unit = [&](size_t k) { return enc == ecUtf16Be ? (at(k) << 8 | at(k + 1)) : (at(k + 1) << 8 | at(k)); };
      const unsigned u = unit(0);
      n = (u >= 0xD800 && u <= 0xDBFF && left >= 4 && unit(2) >= 0xDC00 && unit(2) <= 0xDFFF) ? 4 : 2;
      break;
    }
    case ecEuc:
      if (b <= 0x80 || b == 0xFF) n = 1;
      else if (b == 0x8F && at(1) >= 0xA1 && at(2) >= 0xA1 && left >= 3) n = 3;
      else n = 2;
      break;
    default: n = CharLength(bytes, p); break;
  }
  return n < left ? n : left;
}

bool IsJisX0208Pair(unsigned lead, unsigned trail) {
  const bool rows = (lead >= 0x81 && lead <= 0x84) || lead == 0x87 || (lead >= 0x88 && lead <= 0x9F) ||
                    (lead >= 0xE0 && lead <= 0xEA);
  return rows && trail >= 0x40 && trail <= 0xFC && trail != 0x7F;
}

}  // namespace

bool CanEncodeLine(std::string_view sjis, const TextFileFormat& f) {
  const int32_t enc = f.encoding;
  const bool jis = enc == ecJis || enc == ecJisOld;
  const bool euc = enc == ecEuc;
  const bool unicode = IsUtf16(enc) || enc == ecUtf8 || enc == ecUtf8N;
  // A break would make two lines of one (no trail byte is that low).
  if (sjis.find_first_of("\r\n") != std::string_view::npos) return false;
  if (!jis && !euc && !unicode) return true;  // written as the bytes they are
  const uint16_t* to_unicode = Cp932CodeTable();
  const uint16_t* to_code = unicode ? Cp932UnitTable() : nullptr;
  for (size_t i = 0; i < sjis.size();) {
    const unsigned char b = static_cast<unsigned char>(sjis[i]);
    const bool pair = IsLeadByte(b);
    if (pair && i + 1 >= sjis.size()) return false;  // half a character
    const unsigned trail = pair ? static_cast<unsigned char>(sjis[i + 1]) : 0;
    const uint16_t code = pair ? static_cast<uint16_t>(b << 8 | trail) : b;
    i += pair ? 2 : 1;
    if (b < 0x80) {
      // In ISO-2022-JP an escape byte would start a sequence.
      if (jis && b == 0x1B) return false;
      continue;
    }
    const uint16_t unit = to_unicode[code];
    if (unit == 0xFFFF) return false;  // no character of code page 932
    if (unicode) {
      // The same code back: not a duplicate that comes back as its twin.
      if (to_code[unit] != code) return false;
    } else if (IsHalfWidthKatakana(b)) {
      if (jis && !f.jis_kana) return false;  // written as its full-width twin (without their own set)
    } else if (!pair || !IsJisX0208Pair(b, trail)) {
      return false;
    }
  }
  return true;
}

std::optional<std::string> EditLineBytes(std::string_view original, const DecodedText& d, size_t index,
                                         const std::vector<LineEdit>& edits) {
  if (index >= d.lines.size()) return std::nullopt;
  const DecodedLine& line = d.lines[index];
  const std::string_view bytes = original.substr(line.file.begin, line.file.end - line.file.begin);
  const std::string_view text = d.Line(index);
  const TextFileFormat& f = d.format;
  size_t previous_end = 0;
  for (const LineEdit& e : edits) {
    if (e.begin < previous_end || e.end < e.begin || e.end > text.size()) return std::nullopt;
    if (!CanEncodeLine(e.replacement, f)) return std::nullopt;
    previous_end = e.end;
  }
  const bool open_end = index + 1 == d.lines.size() && !line.file.has_break();
  if (f.encoding == ecJis || f.encoding == ecJisOld) {
    if (EncodeLine(text, f, open_end) != bytes) return std::nullopt;
    std::string changed;
    size_t at = 0;
    for (const LineEdit& e : edits) {
      // A boundary inside a double-byte character would split it.
      for (size_t k : {e.begin, e.end})
        for (size_t i = at; i < k; i += CharLength(text, i))
          if (i + CharLength(text, i) > k) return std::nullopt;
      changed.append(text.substr(at, e.begin - at));
      changed += e.replacement;
      at = e.end;
    }
    changed.append(text.substr(at));
    return EncodeLine(changed, f, open_end);
  }
  // The line is walked character by character, each decoded alone (the
  // encoding is stateless): a character outside the edits keeps its bytes;
  // one inside must lie wholly within its edit and encode back to its own
  // bytes, or the line is not spliced. Decoding one by one must give the
  // line's text (it does not where the decoder joins characters, such as
  // surrogate halves written one by one in UTF-8). Nothing is kept per
  // character: a line of millions costs no more than its new bytes.
  std::string out;
  out.reserve(bytes.size() + 16);
  std::string piece;
  JisDecoder unused;
  size_t t = 0;   // where the character's text starts in the line's
  size_t k = 0;   // the next edit
  for (size_t p = 0; p < bytes.size();) {
    const size_t n = CharacterBytes(bytes, p, f.encoding);
    const std::string_view own = bytes.substr(p, n);
    piece.clear();
    try {
      DecodeLineInto(own, f.encoding, unused, piece);
    } catch (const EConversionError&) {
      return std::nullopt;
    }
    if (text.compare(t, piece.size(), piece) != 0) return std::nullopt;
    const size_t begin = t, end = t + piece.size();
    for (;;) {
      if (k == edits.size() || end <= edits[k].begin) {
        out.append(own);  // before the next edit (or after the last)
        break;
      }
      if (begin < edits[k].begin) return std::nullopt;  // the edit starts inside a character
      if (begin < edits[k].end) {
        if (end > edits[k].end || piece.empty() || EncodeLine(piece, f) != own) return std::nullopt;
        break;  // replaced
      }
      out += EncodeLine(edits[k++].replacement, f);  // every character it covers is passed
    }
    t = end;
    p += n;
  }
  if (t != text.size()) return std::nullopt;
  for (; k < edits.size(); ++k) out += EncodeLine(edits[k].replacement, f);
  return out;
}

std::string RebuildFileWithLineBytes(std::string_view original, const DecodedText& d,
                                     const std::map<size_t, std::string>& line_bytes) {
  if (d.lines.empty()) return std::string(original);
  std::string out(original.substr(0, d.lines.front().file.begin));
  out.reserve(original.size());
  for (size_t i = 0; i < d.lines.size(); ++i) {
    const LineSpan& s = d.lines[i].file;
    auto changed = line_bytes.find(i);
    if (changed == line_bytes.end()) {
      out.append(original.substr(s.begin, s.next - s.begin));
      continue;
    }
    out += changed->second;
    out.append(original.substr(s.end, s.next - s.end));
  }
  out.append(original.substr(d.lines.back().file.next));
  return out;
}

std::vector<std::string> DecodedText::Lines() const {
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) out.emplace_back(Line(i));
  return out;
}

std::vector<size_t> DecodedText::LossyLines() const {
  std::vector<size_t> out;
  for (size_t i = 0; i < lines.size(); ++i)
    if (!lines[i].lossless) out.push_back(i);
  return out;
}

DecodedText DecodeFileText(std::string_view bytes, const TextFileFormat& format, DecodeOptions options) {
  DecodedText d;
  DecodeFileTextInto(bytes, format, options, d);
  return d;
}

void DecodeFileTextInto(std::string_view bytes, const TextFileFormat& format, DecodeOptions options, DecodedText& d) {
  d.format = format;
  d.lines.clear();
  d.first_stray_line = SIZE_MAX;
  const int32_t enc = format.encoding;
  const bool utf16 = IsUtf16(enc);
  const int unit = utf16 ? 2 : 1;
  const bool big_endian = enc == ecUtf16Be;

  std::string_view mark = MarkOf(enc);
  const bool has_mark = options.at_file_start && !mark.empty() && StartsWith(bytes, mark);
  const size_t header = has_mark ? mark.size() : 0;
  d.format.byte_order_mark = has_mark;
  const size_t cut = options.stop_at_nul ? NulCut(bytes, header, utf16) : bytes.size();
  const std::string_view body = bytes.substr(header, cut - header);

  JisDecoder own_jis;
  JisDecoder& jis = options.jis_state ? *options.jis_state : own_jis;
  if (unit == 1 && d.lines.capacity() == 0) d.lines.reserve(CountLineFeeds(body) + 1);
  bool last_has_break = false;
  bool break_seen = false;
  if (utf16) d.format.line_end = leNone;
  auto add_line = [&](const LineSpan& s, size_t text_begin, size_t text_end) {
    DecodedLine line;
    line.file = {s.begin + header, s.end + header, s.next + header};
    line.text_begin = text_begin;
    line.text_end = text_end;
    d.lines.push_back(line);
    last_has_break = s.has_break();
    if (utf16 && !break_seen && s.has_break()) {
      d.format.line_end = BreakCode(body.substr(s.end, s.next - s.end), unit);
      break_seen = true;
    }
  };
  const bool as_is = enc != ecJis && enc != ecJisOld && enc != ecEuc && !utf16 && enc != ecUtf8 && enc != ecUtf8N;
  if (as_is) {
    // Text taken as it is keeps its bytes, breaks and all: the lines are
    // spans of it.
    d.text.assign(body);
    ForEachLine(body, [&](const LineSpan& s) { add_line(s, s.begin, s.end); });
  } else if (enc == ecEuc || enc == ecUtf8 || enc == ecUtf8N) {
    // Each line is decoded as it is found, straight into the text's room
    // (grown when a line could outgrow it).
    // The room a reused text already has is not cleared again.
    size_t used = 0;
    if (d.text.size() < body.size() + 64) d.text.resize(body.size() + 64);
    std::string long_way;
    ForEachLine(body, [&](const LineSpan& s) {
      const std::string_view raw = body.substr(s.begin, s.end - s.begin);
      const size_t room = raw.size() * 2 + 16;
      if (d.text.size() - used < room) d.text.resize(std::max(d.text.size() * 2, used + room));
      char* const at = d.text.data() + used;
      size_t strays = 0;
      const char* end = enc == ecEuc ? WriteEucAsSjis(raw, at) : WriteUtf8AsSjis(raw, at, &strays);
      size_t written = end ? static_cast<size_t>(end - at) : 0;
      if (!end) {
        long_way.clear();
        strays = 0;
        AppendUtf8AsSjis(raw, long_way, &strays);
        if (d.text.size() - used < long_way.size()) d.text.resize(used + long_way.size());
        std::memcpy(d.text.data() + used, long_way.data(), long_way.size());
        written = long_way.size();
      }
      add_line(s, used, used + written);
      if (strays > 0) {
        d.lines.back().lossless = false;  // its bytes cannot come back from ・
        if (d.first_stray_line == SIZE_MAX) d.first_stray_line = d.lines.size() - 1;
      }
      used += written;
    });
    d.text.resize(used);
  } else {
    d.text.clear();
    d.text.reserve(body.size());
    ForEachLine(
        body,
        [&](const LineSpan& s) {
          const size_t begin = d.text.size();
          DecodeLineInto(body.substr(s.begin, s.end - s.begin), enc, jis, d.text);
          add_line(s, begin, d.text.size());
        },
        unit, big_endian);
  }
  if (jis.return_seen) d.format.jis_return = jis.return_sequence;
  if (jis.kana_seen) d.format.jis_kana = true;
  d.format.final_line_break = last_has_break;
  if (options.check_round_trip) {
    for (size_t i = 0; i < d.lines.size(); ++i) {
      DecodedLine& line = d.lines[i];
      const bool open_end = i + 1 == d.lines.size() && !line.file.has_break();
      std::string back = EncodeLine(d.Line(i), d.format, open_end);
      line.lossless = back == bytes.substr(line.file.begin, line.file.end - line.file.begin);
    }
  }
}

std::string EncodeLine(std::string_view sjis_line, const TextFileFormat& f, bool last_line_without_break) {
  switch (f.encoding) {
    case ecJis:
    case ecJisOld:
      return SjisToJis(sjis_line, f.jis_return, !last_line_without_break, f.encoding == ecJisOld, f.jis_kana);
    case ecEuc: return SjisToEuc(sjis_line);
    case ecUtf16Le: return SjisToUtf16(sjis_line, false, false);
    case ecUtf16Be: return SjisToUtf16(sjis_line, true, false);
    case ecUtf8:
    case ecUtf8N: return SjisToUtf8(sjis_line, false);
    default: return std::string(sjis_line);
  }
}

std::string EncodeBreak(const TextFileFormat& f) {
  std::string_view brk = f.line_end == leCr ? "\r" : f.line_end == leLf ? "\n" : "\r\n";
  if (!IsUtf16(f.encoding)) return std::string(brk);
  return SjisToUtf16(brk, f.encoding == ecUtf16Be, false);
}

std::string EncodeFileText(const std::vector<std::string>& lines, const TextFileFormat& f) {
  std::string out(f.byte_order_mark ? MarkOf(f.encoding) : std::string_view());
  const std::string brk = EncodeBreak(f);
  for (size_t i = 0; i < lines.size(); ++i) {
    const bool last = i + 1 == lines.size();
    out += EncodeLine(lines[i], f, last && !f.final_line_break);
    if (!last || f.final_line_break) out += brk;
  }
  return out;
}

std::string RebuildFileBytes(std::string_view original, const DecodedText& d,
                             const std::map<size_t, std::string>& changes) {
  std::map<size_t, std::string> line_bytes;
  for (const auto& [i, text] : changes) {
    if (i >= d.lines.size()) continue;
    const bool open_end = i + 1 == d.lines.size() && !d.lines[i].file.has_break();
    line_bytes.emplace(i, EncodeLine(text, d.format, open_end));
  }
  return RebuildFileWithLineBytes(original, d, line_bytes);
}

}  // namespace lorvek
