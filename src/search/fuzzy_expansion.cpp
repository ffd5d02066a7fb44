#include <cstring>

#include "search/fuzzy_expansion.h"
#include "search/regex/scanner.h"
#include "text/sjis.h"

namespace lorvek {
namespace {

struct GroupCodes {
  std::vector<std::vector<uint16_t>> entries;  // each entry as character codes
};

const std::vector<GroupCodes>& GroupsAsCodes() {
  static const std::vector<GroupCodes> groups = [] {
    std::vector<GroupCodes> out;
    for (const auto& group : FuzzyGroups()) {
      GroupCodes g;
      for (const auto& e : group) {
        std::vector<uint16_t> codes;
        for (size_t i = 0; i < e.size(); i += CharLength(e, i)) codes.push_back(CharCode(e, i));
        g.entries.push_back(std::move(codes));
      }
      out.push_back(std::move(g));
    }
    return out;
  }();
  return groups;
}

void AppendEscaped(std::string& out, std::string_view entry) {
  for (size_t i = 0; i < entry.size();) {
    size_t len = CharLength(entry, i);
    if (len == 1 && std::strchr("^(|)+*?.[]$\\", entry[i]) && entry[i] != '\0') out.push_back('\\');
    out.append(entry.substr(i, len));
    i += len;
  }
}

}  // namespace

std::string FuzzyExpand(std::string_view pattern) {
  const std::vector<Token> tokens = ScanPattern(pattern);
  const auto& groups = GroupsAsCodes();
  const auto& texts = FuzzyGroups();
  std::string out;
  bool in_class = false;
  size_t i = 0;
  while (i < tokens.size() && tokens[i].kind != TokenKind::End) {
    const Token& t = tokens[i];
    if (t.kind == TokenKind::ClassOpen) in_class = true;
    if (in_class || t.kind != TokenKind::Char) {
      if (t.kind == TokenKind::ClassClose) in_class = false;
      out.append(pattern.substr(t.begin, t.end - t.begin));
      ++i;
      continue;
    }
    // The literal run starting here ends at the first token that is not Char.
    size_t run_end = i;
    while (tokens[run_end].kind == TokenKind::Char) ++run_end;
    bool expanded = false;
    for (size_t g = 0; g < groups.size() && !expanded; ++g) {
      for (const auto& entry : groups[g].entries) {
        if (entry.empty() || entry.size() > run_end - i) continue;
        bool equal = true;
        for (size_t k = 0; k < entry.size(); ++k)
          if (tokens[i + k].code != entry[k]) {
            equal = false;
            break;
          }
        if (!equal) continue;
        out.push_back('(');
        for (size_t e = 0; e < texts[g].size(); ++e) {
          if (e) out.push_back('|');
          AppendEscaped(out, texts[g][e]);
        }
        out.push_back(')');
        i += entry.size();
        expanded = true;
        break;
      }
    }
    if (!expanded) {
      out.append(pattern.substr(t.begin, t.end - t.begin));
      ++i;
    }
  }
  return out;
}

}  // namespace lorvek
