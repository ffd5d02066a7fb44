// Code page 932 conversions through glibc iconv (its CP932 is the Windows-31J
// table). iconv stops on characters it cannot map; these loops substitute
// instead, so a conversion never fails on content.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lorvek {

bool IsValidUtf8(std::string_view s);

// Shift-JIS to UTF-8 for display and output; an invalid sequence becomes U+30FB.
std::string Cp932ToUtf8(std::string_view sjis);
// The same as iconv does it: the reference the fast path above is checked
// against, and the way it goes where a text holds an invalid sequence.
std::string Cp932ToUtf8ByIconv(std::string_view sjis);

// UTF-8 to Shift-JIS; a character code page 932 cannot hold becomes '?'.
std::string Utf8ToCp932(std::string_view utf8);

// Shift-JIS to UTF-16 units; an invalid sequence becomes U+30FB.
std::u16string Cp932ToUtf16(std::string_view sjis);

// UTF-16 units to Shift-JIS; unmappable characters and lone surrogates become '?'.
std::string Utf16ToCp932(std::u16string_view units);
// The same appended to out, through a table made once from iconv's own
// answers for every unit (the hot path of decoding files).
void AppendUnitsAsCp932(std::u16string_view units, std::string& out);
// The table behind it: the code page 932 code of every BMP unit outside the
// surrogates (one byte below 0x100, else lead * 256 + trail).
const uint16_t* Cp932UnitTable();
// The other way: the BMP unit of every code page 932 code (a byte below
// 0x100, else lead * 256 + trail), 0xFFFF where the code is no character.
const uint16_t* Cp932CodeTable();
// The conversion as iconv does it, unit run by unit run: the reference the
// table is checked against.
std::string Utf16ToCp932ByIconv(std::u16string_view units);

// Bytes of a Windows code page (932, 1252, ...) to UTF-16 units; a byte
// sequence the code page does not define becomes U+FFFD, an unknown code
// page reads as 1252.
std::u16string CodePageToUtf16(std::string_view bytes, int codepage);

// Text from the command line or a file name: converted from UTF-8 when it is
// valid UTF-8, otherwise taken as the bytes it is.
std::string ExternalToCp932(std::string_view text);

// The same for a search word or a mask, where a substituted '?' would become
// an operator: false (out untouched) when the text is UTF-8 holding a
// character code page 932 cannot hold.
bool ExternalToCp932Exact(std::string_view text, std::string* out);

// The message for such a text (UTF-8).
std::string UnmappableTextMessage(std::string_view text);

// The reverse for display (file names are kept as bytes): UTF-8 stays,
// other names are read as foreign_names.h says.
std::string PathForDisplay(std::string_view path);

}  // namespace lorvek
