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

std::string JisToSjis(std::string_view text);
std::string EucToSjis(std::string_view text);
std::string SjisToJis(std::string_view text);
std::string SjisToEuc(std::string_view text);

std::string Utf16ToSjis(std::string_view text, bool big_endian);
// Raises EConversionError(kUtf8UnknownCode) on a lead byte 80..BF or F8..FF.
std::string Utf8ToSjis(std::string_view text, bool has_mark);
std::string SjisToUtf8(std::string_view text, bool with_mark);

struct Utf16FileText {
  std::string text;
  int32_t line_end;
};
// Raises EConversionError(kOutOfMemory) when the file cannot be read.
Utf16FileText ReadUtf16File(const std::string& path, bool big_endian);
// Writes the mark and the text's UTF-16 units (through a temporary file).
void WriteUtf16File(const std::string& path, std::string_view text, bool big_endian);

std::string ConvertLineBreaks(std::string_view text, int32_t target);

std::string ToInternalText(std::string_view text);

// The conversions the replace engine and the viewer use by EncodingCode.
// For UTF-16 the file itself is read or written.
std::string DecodeForCode(int32_t code, std::string_view file_text, const std::string& path);
// Returns the bytes to write; for UTF-16 it writes the file and returns "".
std::string EncodeForCode(int32_t code, std::string_view text, const std::string& path);

}  // namespace lorvek
