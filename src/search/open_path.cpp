#include "search/open_path.h"

namespace lorvek {

OpenPath OpenPath::Parse(std::string_view text) {
  if (text.empty() || text[0] != '@') return Plain(std::string(text));
  size_t second = text.find('@', 1);
  if (second == std::string_view::npos) return Plain(std::string(text.substr(1)));
  return Member(std::string(text.substr(1, second - 1)), std::string(text.substr(second + 1)));
}

std::string OpenPath::Text() const { return IsMember() ? "@" + file + "@" + member : file; }

std::string OpenPath::DisplayPath() const { return IsMember() ? file + "/" + member : file; }

std::string OpenPath::StatusPath() const { return IsMember() ? file + " / " + member : file; }

}  // namespace lorvek
