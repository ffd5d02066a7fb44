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

  // in is at the start of the file. stop_at_nul: nothing after the first
  // NUL belongs to the text (the reader stops reading there).
  TextBlockReader(InputFile& in, const TextFileFormat& format, bool stop_at_nul, size_t block_size = kBlockSize);

  // The next lines, whole, decoded; false when the text has no more. A line
  // longer than a block is gathered whole before it is handed out. Raises
  // EConversionError as DecodeFileText does.
  bool Next(DecodedText& out);

 private:
  // Where the last complete line of data ends (0 when none does yet).
  size_t LastBreakEnd(bool at_end) const;
  // The first NUL byte (0000 unit) from offset from on, or npos.
  size_t FirstNul(size_t from) const;

  InputFile& in_;
  TextFileFormat format_;
  bool stop_at_nul_;
  size_t block_size_;
  std::string data_;  // bytes read but not yet handed out
  mutable size_t searched_ = 0;  // data_ before this holds no line break
  bool at_start_ = true;
  bool eof_ = false;
  JisDecoder jis_;
};

}  // namespace lorvek
