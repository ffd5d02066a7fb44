// Classification of a file's byte encoding and line-break style.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/text_format.h"

namespace lorvek {

// Classifies the first count bytes of buffer. The look-ahead may read one
// byte more; bytes at or past buffer.size() read as 0.
int32_t DetectCode(std::string_view buffer, size_t count, bool utf8_aware);
int32_t DetectTextCode(std::string_view text);
// The length of the well-formed UTF-8 sequence that starts with b0 (the next
// bytes b1..b3 as far as it needs them): 1 for ASCII, 2 to 4, or 0 when the
// bytes are no sequence (a stray continuation byte, an overlong form, a
// surrogate half, past U+10FFFF, cut short).
size_t WellFormedUtf8Length(unsigned b0, unsigned b1, unsigned b2, unsigned b3);
int32_t DetectLineBreak(std::string_view text);

// Probes bytes already read from a file (the probe's windows); an empty
// buffer gives (-1, -1).
TextFileFormat ProbeBufferCode(std::string_view data);
// Reads the file and probes it; raises std::system_error when it cannot be read.
TextFileFormat ProbeFileCode(const std::string& path);

// "[EUC]" and the like, followed directly by "[CR]" or "[LF]".
std::string EncodingTag(int32_t code, int32_t line_break);

}  // namespace lorvek
