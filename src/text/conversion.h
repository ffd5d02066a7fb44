// Conversion between the file encodings and the internal Shift-JIS text, and
// between line-break styles.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "text/encoding.h"

namespace lorvek {

// A text that cannot be decoded; the message is the user's text.
class EConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline const char kUtf8UnknownCode[] = "UTF-8 Unknown code.";
inline const char kOutOfMemory[] = "メモリを確保出来ませんでした.";

void JisPairToSjis(unsigned char j1, unsigned char j2, unsigned char& s1, unsigned char& s2);
void SjisPairToJis(unsigned char s1, unsigned char s2, unsigned char& j1, unsigned char& j2);

// ISO-2022-JP to Shift-JIS, fed piece by piece (line by line): the
// two-byte mode carries over, and the first return sequence is noted.
// Two-byte sets other than JIS X 0208 (JIS X 0212 by ESC $ ( D, and the
// like) are read pair by pair, each pair as the placeholder '?'.
struct JisDecoder {
  bool two_byte = false;
  bool foreign_set = false;  // the two-byte set is not JIS X 0208
  bool return_seen = false;
  JisReturn return_sequence = JisReturn::Roman;
  bool kana = false;       // ESC ( I: single bytes 21-5F are half-width katakana
  bool kana_seen = false;  // the text designated that set
  void Decode(std::string_view text, std::string& out);
};

std::string JisToSjis(std::string_view text);
std::string EucToSjis(std::string_view text);
// The same appended to out (no string of its own: the decoding hot path).
void AppendEucAsSjis(std::string_view text, std::string& out);
// The same written at o, which has room for twice the text's bytes and 16
// more; returns the end of what it wrote.
char* WriteEucAsSjis(std::string_view text, char* o);
// Designates with ESC $ B (ESC $ @ with old_designation, so a JIS78 file
// keeps its own escapes); a text that ends in two-byte mode gets the return
// sequence only with close_at_end (a line break follows it).
// kana_set: half-width katakana go out in their own set (ESC ( I), not as
// their full-width forms.
std::string SjisToJis(std::string_view text, JisReturn return_sequence = JisReturn::Roman,
                      bool close_at_end = false, bool old_designation = false, bool kana_set = false);
std::string SjisToEuc(std::string_view text);

// Skips the first two bytes (the mark) and converts the units up to the first 0000.
std::string Utf16ToSjis(std::string_view text, bool big_endian);
// Converts units (no mark) up to the first 0000.
std::string Utf16UnitsToSjis(std::string_view units, bool big_endian);
void AppendUtf16UnitsAsSjis(std::string_view units, bool big_endian, std::string& out);
// The text's UTF-16 units, two bytes each, after the mark when asked.
std::string SjisToUtf16(std::string_view text, bool big_endian, bool with_mark);
// A byte that starts no character (80..BF, F8..FF, a lead whose sequence
// is cut short) becomes one ・ and the bytes after it are read as they are.
std::string Utf8ToSjis(std::string_view text, bool has_mark);
// Appends the Shift-JIS of UTF-8 text without a mark; strays, when given,
// counts the bytes that started no character.
void AppendUtf8AsSjis(std::string_view text, std::string& out, size_t* strays = nullptr);
// The same written at o (room as for WriteEucAsSjis); nullptr when the text
// holds what only AppendUtf8AsSjis's longer way decodes (a surrogate half or
// a NUL written long), o's room then undefined.
char* WriteUtf8AsSjis(std::string_view text, char* o, size_t* strays = nullptr);
std::string SjisToUtf8(std::string_view text, bool with_mark);

std::string ConvertLineBreaks(std::string_view text, int32_t target);

std::string ToInternalText(std::string_view text);

// The whole-text conversions by EncodingCode, bytes in and bytes out
// (UTF-16 with its mark). text_codec.h keeps the lines and their spans.
std::string DecodeForCode(int32_t code, std::string_view bytes);
std::string EncodeForCode(int32_t code, std::string_view text);

}  // namespace lorvek
