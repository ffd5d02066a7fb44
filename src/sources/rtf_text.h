// Rich Text Format to plain text, one line per paragraph, in Shift-JIS.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lorvek {

// Whether bytes start like an RTF document ("{\rtf1").
bool LooksLikeRtf(std::string_view bytes);

// The paragraphs of an RTF document: groups of destinations that hold no
// text (font and colour tables, \info, pictures, \* ones) are skipped; \par
// and \line break lines; \'hh bytes are taken in the document's code page
// (\ansicpg932 as Shift-JIS, others converted); \uN is a Unicode character
// whose \ucN fallback bytes are skipped; \tab is a tab; \\ \{ \} are the
// characters. A damaged document gives what could be read.
std::vector<std::string> RtfToLines(std::string_view rtf);

}  // namespace lorvek
