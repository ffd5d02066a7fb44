// The read/write-back pipeline: a file's bytes decoded into Shift-JIS lines
// that remember where their bytes lie in the file, and Shift-JIS lines
// encoded back into the file's own form. Bytes in, bytes out: reading and
// writing the file is the caller's business.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/line_splitter.h"
#include "text/text_format.h"

namespace lorvek {

struct DecodedLine {
  size_t text_begin = 0;  // the line's Shift-JIS text in DecodedText::text
  size_t text_end = 0;
  LineSpan file;          // the line's bytes in the file
  bool lossless = true;   // encoding the text gives back exactly those bytes
};

struct DecodedText {
  std::string text;  // every line's Shift-JIS text in order (the breaks may stand between them)
  std::vector<DecodedLine> lines;
  TextFileFormat format;  // byte_order_mark, final_line_break and jis_return filled in
  // The first line holding a byte the decoder could not read (in UTF-8: one
  // that starts no character, read as ・), or SIZE_MAX.
  size_t first_stray_line = SIZE_MAX;

  size_t size() const { return lines.size(); }
  std::string_view Line(size_t i) const {
    return std::string_view(text).substr(lines[i].text_begin, lines[i].text_end - lines[i].text_begin);
  }
  std::vector<std::string> Lines() const;
  // The lines that do not encode back to their own bytes.
  std::vector<size_t> LossyLines() const;
};

struct JisDecoder;

struct DecodeOptions {
  // Nothing after the first NUL byte (a 0000 unit in UTF-16) belongs to the text.
  bool stop_at_nul = false;
  // Tell for every line whether it encodes back to its own bytes.
  bool check_round_trip = false;
  // The bytes start the file (a byte-order mark may stand there); false for
  // the later blocks of a file read in blocks.
  bool at_file_start = true;
  // Carries the ISO-2022-JP mode from one block of a file to the next.
  JisDecoder* jis_state = nullptr;
};

// Decodes file bytes stored in format.encoding (ASCII, Shift-JIS and the
// codes without a converter are taken as they are). A byte-order mark at
// the start is not part of the first line. A UTF-8 byte that starts no
// character is read as ・ and its line is not lossless.
DecodedText DecodeFileText(std::string_view bytes, const TextFileFormat& format, DecodeOptions options = {});
// The same into d, whose room is used again (a reader's blocks, one after another).
void DecodeFileTextInto(std::string_view bytes, const TextFileFormat& format, DecodeOptions options, DecodedText& d);

// One line (no break) in the file's encoding.
std::string EncodeLine(std::string_view sjis_line, const TextFileFormat& format, bool last_line_without_break = false);
// The bytes of a line break of the format (CR LF when it has none).
std::string EncodeBreak(const TextFileFormat& format);
// A whole file: the mark, the lines joined by the format's break, a final
// break when the format has one.
std::string EncodeFileText(const std::vector<std::string>& lines, const TextFileFormat& format);

// Whether a line (no break) can be written in the format so that reading it
// back gives this very text: every character must be one the file's
// encoding holds (JIS X 0208 with the NEC row 13 for ISO-2022-JP, that and
// half-width katakana for EUC-JP, a character with a Unicode code point
// that comes back as the same code for UTF-8 and UTF-16; Shift-JIS holds
// anything) and no CR or LF is in it. One pass through the line, no conversion.
bool CanEncodeLine(std::string_view sjis_line, const TextFileFormat& format);

// One replacement inside a decoded line: byte offsets into the line's Shift-JIS text.
struct LineEdit {
  size_t begin = 0;
  size_t end = 0;
  std::string replacement;  // Shift-JIS
};

// The file bytes of line index of decoded (as stored in original, without
// its break) with edits applied (sorted, not overlapping). Every character
// outside the edits keeps the file's own bytes, even one the internal text
// could not hold (a placeholder in the decoded text); the replacements are
// encoded in the file's format. nullopt when an edit covers a character the
// internal text could not hold, does not fall on character boundaries, or
// a replacement cannot be written in the file's encoding. ISO-2022-JP
// carries a mode from character to character: there only a line that
// encodes back to its own bytes is edited, by encoding it whole.
std::optional<std::string> EditLineBytes(std::string_view original, const DecodedText& decoded, size_t index,
                                         const std::vector<LineEdit>& edits);

// RebuildFileBytes with lines given as their final file bytes (no break) instead of text.
std::string RebuildFileWithLineBytes(std::string_view original, const DecodedText& decoded,
                                     const std::map<size_t, std::string>& line_bytes);

// Rebuilds a file from its original bytes with some lines changed: every
// unchanged line and every break are copied byte for byte, only the changed
// lines are encoded. changes maps a line index to its new Shift-JIS text.
std::string RebuildFileBytes(std::string_view original, const DecodedText& decoded,
                             const std::map<size_t, std::string>& changes);

}  // namespace lorvek
