#include "text/text_codec.h"

#include "text/conversion.h"

namespace lorvek {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string_view MarkOf(int32_t encoding) {
  switch (encoding) {
    case ecUtf8: return "\xEF\xBB\xBF";
    case ecUtf16Le: return "\xFF\xFE";
    case ecUtf16Be: return "\xFE\xFF";
    default: return {};
  }
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

}  // namespace

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
  d.format = format;
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
  bool lossless = cut == bytes.size() && (!options.at_file_start || ((!IsUtf16(enc) || has_mark) && (enc != ecUtf8 || has_mark)));
  d.text.reserve(body.size());
  std::vector<LineSpan> spans = SplitLineSpans(body, unit, big_endian);
  d.lines.reserve(spans.size());
  for (size_t i = 0; i < spans.size(); ++i) {
    LineSpan s = spans[i];
    const std::string_view raw = body.substr(s.begin, s.end - s.begin);
    DecodedLine line;
    line.file = {s.begin + header, s.end + header, s.next + header};
    line.text_begin = d.text.size();
    switch (enc) {
      case ecJis:
      case ecJisOld: jis.Decode(raw, d.text); break;
      case ecEuc: AppendEucAsSjis(raw, d.text); break;
      case ecUtf16Le:
      case ecUtf16Be: AppendUtf16UnitsAsSjis(raw, big_endian, d.text); break;
      case ecUtf8:
      case ecUtf8N: AppendUtf8AsSjis(raw, d.text); break;
      default: d.text += raw; break;
    }
    line.text_end = d.text.size();
    d.lines.push_back(line);
  }
  if (jis.return_seen) d.format.jis_return = jis.return_sequence;
  d.format.final_line_break = !spans.empty() && spans.back().has_break();
  if (utf16) {
    d.format.line_end = leNone;
    for (const LineSpan& s : spans)
      if (s.has_break()) {
        d.format.line_end = BreakCode(body.substr(s.end, s.next - s.end), unit);
        break;
      }
  }
  if (options.check_round_trip) {
    for (size_t i = 0; i < d.lines.size(); ++i) {
      DecodedLine& line = d.lines[i];
      const bool open_end = i + 1 == d.lines.size() && !line.file.has_break();
      std::string back = EncodeLine(d.Line(i), d.format, open_end);
      line.lossless = back == bytes.substr(line.file.begin, line.file.end - line.file.begin);
      lossless = lossless && line.lossless;
    }
  }
  d.format.lossless = options.check_round_trip ? lossless : d.format.lossless;
  return d;
}

std::string EncodeLine(std::string_view sjis_line, const TextFileFormat& f, bool last_line_without_break) {
  switch (f.encoding) {
    case ecJis:
    case ecJisOld: return SjisToJis(sjis_line, f.jis_return, !last_line_without_break, f.encoding == ecJisOld);
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
  if (d.lines.empty()) return std::string(original);
  std::string out(original.substr(0, d.lines.front().file.begin));
  out.reserve(original.size());
  for (size_t i = 0; i < d.lines.size(); ++i) {
    const LineSpan& s = d.lines[i].file;
    auto changed = changes.find(i);
    if (changed == changes.end()) {
      out.append(original.substr(s.begin, s.next - s.begin));
      continue;
    }
    const bool open_end = i + 1 == d.lines.size() && !s.has_break();
    out += EncodeLine(changed->second, d.format, open_end);
    out.append(original.substr(s.end, s.next - s.end));
  }
  out.append(original.substr(d.lines.back().file.next));
  return out;
}

}  // namespace lorvek

namespace lorvek {

std::optional<std::string> EditLineBytes(std::string_view original, const DecodedText& d, size_t index,
                                         const std::vector<LineEdit>& edits) {
  // Provisional: only lines that come back exactly are rewritten, whole.
  const DecodedLine& line = d.lines[index];
  const std::string_view text = d.Line(index);
  const bool open_end = index + 1 == d.lines.size() && !line.file.has_break();
  if (EncodeLine(text, d.format, open_end) != original.substr(line.file.begin, line.file.end - line.file.begin))
    return std::nullopt;
  std::string edited;
  size_t at = 0;
  for (const LineEdit& e : edits) {
    edited.append(text.substr(at, e.begin - at));
    edited += e.replacement;
    at = e.end;
  }
  edited.append(text.substr(at));
  std::string bytes = EncodeLine(edited, d.format, open_end);
  DecodedText back = DecodeFileText(bytes, d.format, {.at_file_start = false});
  if (back.size() > 1 || (back.size() == 1 ? std::string(back.Line(0)) : std::string()) != edited) return std::nullopt;
  return bytes;
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

}  // namespace lorvek
