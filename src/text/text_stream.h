// A text file read in blocks, so that it is never held whole: the probe reads
// only as far as its windows need, and the lines come decoded one block at a
// time. Memory is one block, its decoded text and the one line that spans
// two blocks.
#pragma once

#include <cstddef>
#include <string>

#include "text/conversion.h"
#include "text/file_bytes.h"
#include "text/text_codec.h"
#include "text/text_format.h"

namespace lorvek {

// Finds the first ISO-2022-JP designation in bytes fed piece by piece:
// ESC $ B, ESC $ ( D (and the other ESC $ ( sets of Japanese) and ESC ( I
// give 2, ESC $ @ gives 3.
struct JisEscapeFinder {
  int32_t code = -1;
  void Feed(std::string_view bytes);

 private:
  int matched_ = 0;    // bytes of an escape sequence seen so far
  char second_ = 0;
};

// What the probe saw on its way, for the second look.
struct ProbeDetails {
  bool whole_file = false;    // it read the file to its end
  int32_t jis_escape = -1;    // the code of the first ISO-2022-JP designation read (2 or 3), or -1
};

// The probe of a file as ProbeBufferCode gives it for the whole content,
// reading the file only as far as the first high byte's window and the
// first line break need. Leaves the file at its start.
TextFileFormat ProbeStream(InputFile& in, ProbeDetails* details = nullptr);

class TextBlockReader {
 public:
  static constexpr size_t kBlockSize = size_t{1} << 20;
  // A line whose bytes in the file exceed this is never held whole: it comes
  // in pieces of about this size (a file without a single break may be
  // gigabytes long).
  static constexpr size_t kLongLineBytes = size_t{16} << 20;

  // in is at the start of the file. stop_at_nul: nothing after the first
  // NUL belongs to the text (the reader stops reading there).
  TextBlockReader(InputFile& in, const TextFileFormat& format, bool stop_at_nul, size_t block_size = kBlockSize,
                  size_t long_line_bytes = kLongLineBytes);

  // The next lines, decoded; false when the text has no more. A line up to
  // long_line_bytes is gathered whole before it is handed out; a longer one
  // comes as Piece()s, each cut between two characters, and its last part
  // is the first line of a text that says Continued(). Raises
  // EConversionError as DecodeFileText does.
  bool Next(DecodedText& out);
  // The text last handed out is one line's piece, and the line goes on.
  bool Piece() const { return piece_; }
  // Whether the text ended at a NUL with bytes after it (stop_at_nul).
  bool CutAtNul() const { return cut_at_nul_; }
  // The first line of the text last handed out ends a line that came in pieces.
  bool Continued() const { return continued_; }

 private:
  // How much of the unfinished line in data_ decodes on its own: the end
  // of the last whole character, short of a CR that may start a CR LF.
  size_t PieceEnd() const;

  // Where the last complete line of data ends (0 when none does yet).
  size_t LastBreakEnd(bool at_end) const;
  // The first NUL byte (0000 unit) from offset from on, or npos.
  size_t FirstNul(size_t from) const;

  InputFile& in_;
  TextFileFormat format_;
  bool stop_at_nul_;
  bool cut_at_nul_ = false;
  size_t block_size_;
  size_t long_line_bytes_;
  std::string data_;  // bytes read but not yet handed out
  mutable size_t searched_ = 0;  // data_ before this holds no line break
  bool at_start_ = true;
  bool eof_ = false;
  bool piece_ = false;
  bool continued_ = false;
  bool in_piece_line_ = false;  // the line at data_'s start came in pieces
  JisDecoder jis_;
};

}  // namespace lorvek
