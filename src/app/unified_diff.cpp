#include "app/unified_diff.h"

#include <algorithm>
#include <vector>

#include "text/conversion.h"
#include "text/cp932.h"
#include "text/line_splitter.h"
#include "text/text_format.h"

namespace lorvek {
namespace {

// Lines with their breaks; the last one may have none.
std::vector<std::string_view> SplitKeepingBreaks(std::string_view text) {
  std::vector<std::string_view> lines;
  for (const LineSpan& s : SplitLineSpans(text)) lines.push_back(text.substr(s.begin, s.next - s.begin));
  return lines;
}

std::string AsUtf8(std::string_view bytes, int32_t encoding) {
  if (encoding == ecUtf8 || encoding == ecUtf8N || encoding == ecAscii) return std::string(bytes);
  return Cp932ToUtf8(DecodeForCode(encoding, bytes));
}

void AppendLine(std::string& out, char mark, std::string_view line) {
  out += mark;
  out.append(line);
  if (line.empty() || (line.back() != '\n' && line.back() != '\r')) out += "\n\\ No newline at end of file\n";
}

bool NeedsQuoting(unsigned char c) { return c < 0x20 || c == 0x7F || c == '"' || c == '\\'; }

}  // namespace

std::string EscapedPathText(const std::string& path) {
  std::string out;
  for (unsigned char c : path) {
    if (!NeedsQuoting(c)) {
      out += static_cast<char>(c);
      continue;
    }
    out += '\\';
    switch (c) {
      case '\n': out += 'n'; break;
      case '\t': out += 't'; break;
      case '\r': out += 'r'; break;
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      default: {
        const char octal[] = {static_cast<char>('0' + (c >> 6)), static_cast<char>('0' + ((c >> 3) & 7)),
                              static_cast<char>('0' + (c & 7))};
        out.append(octal, 3);
      }
    }
  }
  return out;
}

std::string DiffPathName(const std::string& path) {
  for (unsigned char c : path)
    if (NeedsQuoting(c)) return "\"" + EscapedPathText(path) + "\"";
  return path;
}

std::string UnifiedDiff(const std::string& path, std::string_view old_bytes, std::string_view new_bytes,
                        int32_t encoding, int context) {
  const std::string old_text = AsUtf8(old_bytes, encoding), new_text = AsUtf8(new_bytes, encoding);
  if (old_text == new_text) return "";
  const auto a = SplitKeepingBreaks(old_text), b = SplitKeepingBreaks(new_text);
  // A replace changes lines in place: the common start and end bound one
  // changed stretch per run of changed lines.
  std::vector<size_t> changed;
  if (a.size() == b.size()) {
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i] != b[i]) changed.push_back(i);
  }
  const std::string name = DiffPathName(path);
  std::string out = "--- " + name + "\n+++ " + name + "\n";
  if (a.size() != b.size()) {  // never from a replace; shown whole all the same
    out += "@@ -1," + std::to_string(a.size()) + " +1," + std::to_string(b.size()) + " @@\n";
    for (auto l : a) AppendLine(out, '-', l);
    for (auto l : b) AppendLine(out, '+', l);
    return out;
  }
  const size_t ctx = static_cast<size_t>(context);
  for (size_t k = 0; k < changed.size();) {
    // A hunk: changed lines whose contexts touch or overlap.
    size_t last = k;
    while (last + 1 < changed.size() && changed[last + 1] <= changed[last] + 2 * ctx + 1) ++last;
    const size_t from = changed[k] > ctx ? changed[k] - ctx : 0;
    const size_t to = std::min(a.size(), changed[last] + ctx + 1);
    const size_t count = to - from;
    out += "@@ -" + std::to_string(from + 1) + "," + std::to_string(count) + " +" + std::to_string(from + 1) + "," +
           std::to_string(count) + " @@\n";
    for (size_t i = from; i < to; ++i) {
      if (a[i] == b[i]) {
        AppendLine(out, ' ', a[i]);
      } else {
        AppendLine(out, '-', a[i]);
        AppendLine(out, '+', b[i]);
      }
    }
    k = last + 1;
  }
  return out;
}

}  // namespace lorvek
