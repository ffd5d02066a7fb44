#include "sources/html_strip.h"

namespace lorvek {
namespace {

// The length of a line-break tag at pos ("<BR>", "<br/>", "<br />" in any
// case), or 0.
size_t BreakTagLength(std::string_view s, size_t pos) {
  if (pos + 4 > s.size() || s[pos] != '<' || (s[pos + 1] | 0x20) != 'b' || (s[pos + 2] | 0x20) != 'r') return 0;
  size_t at = pos + 3;
  while (at < s.size() && s[at] == ' ') ++at;
  if (at < s.size() && s[at] == '/') ++at;
  return at < s.size() && s[at] == '>' ? at + 1 - pos : 0;
}

// Inside each <PRE> ... </PRE> block the line breaks become <BR>; the two
// tags go. A <PRE> with no </PRE> after it just goes.
std::string KeepPreformattedBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (;;) {
    const size_t pre = text.find("<PRE>", pos);
    if (pre == std::string_view::npos) break;
    out.append(text.substr(pos, pre - pos));
    const size_t body = pre + 5;
    const size_t end = text.find("</PRE>", body);
    if (end == std::string_view::npos) {
      pos = body;
      continue;
    }
    for (size_t i = body; i < end; ++i) {
      if (text[i] == '\r' && i + 1 < end && text[i + 1] == '\n') {
        out += "<BR>";
        ++i;
      } else {
        out.push_back(text[i]);
      }
    }
    pos = end + 6;
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace

std::string StripHtmlTags(std::string_view text) {
  const std::string s = KeepPreformattedBreaks(text);
  std::string out;
  out.reserve(s.size());
  int depth = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      ++i;  // the source's own line breaks do not count
    } else if (const size_t br = BreakTagLength(s, i)) {
      if (depth == 0) out += "\r\n";
      i += br - 1;
    } else if (c == '<') {
      ++depth;
    } else if (c == '>') {
      if (depth > 0) --depth;
    } else if (depth == 0) {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace lorvek
