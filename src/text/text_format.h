// The codes that describe how a file's text is stored, and the value that
// carries them from the probe to whoever writes the file back.
#pragma once

#include <cstdint>

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

// How an ISO-2022-JP text goes back to one-byte characters: ESC ( J (JIS
// Roman, what the encoder writes unless told) or ESC ( B (ASCII).
enum class JisReturn : uint8_t { Roman, Ascii };

// A file's format as read, carried to whoever writes it back.
struct TextFileFormat {
  int32_t encoding = ecSjis;   // an EncodingCode
  int32_t line_end = leCrLf;   // a LineEndCode, the file's first break
  bool byte_order_mark = false;
  bool final_line_break = true;  // the last line ends with a break
  JisReturn jis_return = JisReturn::Roman;
  // ISO-2022-JP with half-width katakana of their own set (ESC ( I), which
  // they are written back in.
  bool jis_kana = false;

  // The format of a file probed as these codes: the mark follows the code.
  static TextFileFormat FromCodes(int32_t encoding, int32_t line_end) {
    TextFileFormat f;
    f.encoding = encoding;
    f.line_end = line_end;
    f.byte_order_mark = encoding == ecUtf8 || encoding == ecUtf16Le || encoding == ecUtf16Be;
    return f;
  }
  // The probe's verdict: the two codes only.
  bool SameCodes(const TextFileFormat& o) const { return encoding == o.encoding && line_end == o.line_end; }
  bool operator==(const TextFileFormat&) const = default;
};

inline bool IsUtf16(int32_t encoding) { return encoding == ecUtf16Le || encoding == ecUtf16Be; }

}  // namespace lorvek
