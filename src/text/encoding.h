// Classification of a file's byte encoding and line-break style.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lorvek {

enum EncodingCode : int32_t {
  ecUnread = -1,
  ecAscii = 0,
  ecBinary = 1,
  ecJis = 2,
  ecJisOld = 3,
  ecEuc = 4,
  ecSjis = 5,
  ecEucOrSjis = 6,
  ecUtf16Le = 7,
  ecUtf16Be = 8,
  ecUtf8 = 9,
  ecUtf8N = 10,
  ecWord = 1007,
  ecExcel = 1008,
  ecFiltered = 1011,
};

enum LineEndCode : int32_t {
  leUnread = -1,
  leNone = 0,
  leCrLf = 1,
  leCr = 2,
  leLf = 3,
};

// A file's format as read, carried to whoever writes it back.
struct TextFileFormat {
  int32_t encoding = ecSjis;
  int32_t line_end = leCrLf;
  bool operator==(const TextFileFormat&) const = default;
};

// Classifies the first count bytes of buffer. The look-ahead may read one
// byte more; bytes at or past buffer.size() read as 0.
int32_t DetectCode(std::string_view buffer, size_t count, bool utf8_aware);
int32_t DetectTextCode(std::string_view text);
int32_t DetectLineBreak(std::string_view text);

// Probes bytes already read from a file (the probe's windows); an empty
// buffer gives (-1, -1).
TextFileFormat ProbeBufferCode(std::string_view data);
// Reads the file and probes it; raises std::system_error when it cannot be read.
TextFileFormat ProbeFileCode(const std::string& path);

// "[EUC]" and the like, followed directly by "[CR]" or "[LF]".
std::string EncodingTag(int32_t code, int32_t line_break);

}  // namespace lorvek
