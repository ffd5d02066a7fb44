#include "text/line_splitter.h"

namespace lorvek {

std::vector<LineSpan> SplitLineSpans(std::string_view text, int unit, bool big_endian) {
  std::vector<LineSpan> spans;
  ForEachLine(text, [&](const LineSpan& s) { spans.push_back(s); }, unit, big_endian);
  return spans;
}

std::vector<std::string> SplitTextLines(std::string_view text, bool stop_at_nul) {
  if (stop_at_nul) text = text.substr(0, text.find('\0'));
  std::vector<std::string> lines;
  ForEachLine(text, [&](const LineSpan& s) { lines.emplace_back(text.substr(s.begin, s.end - s.begin)); });
  return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += "\r\n";
    out += lines[i];
  }
  return out;
}

}  // namespace lorvek
