// The text of an HTML file without its tags, for searching.
#pragma once

#include <string>
#include <string_view>

namespace lorvek {

// text is the file's text with CR LF between lines. Line breaks of the
// source go; "<BR>" (any case, also "<br/>") makes a break, and so does
// each break inside a "<PRE>" ... "</PRE>" block (upper-case tags only).
// Everything between angle brackets is dropped, nested brackets included.
// Character references (&amp;) stay as they are.
std::string StripHtmlTags(std::string_view text);

}  // namespace lorvek
