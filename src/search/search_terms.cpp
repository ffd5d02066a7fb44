#include "search/search_terms.h"

namespace lorvek {

std::vector<std::string> SplitSearchTerms(std::string_view rest) {
  std::vector<std::string> terms;
  std::string pending;
  for (size_t p; (p = rest.find('&')) != std::string_view::npos;) {
    if (p + 1 < rest.size() && rest[p + 1] == '&') {
      pending.append(rest.substr(0, p + 1));
      rest.remove_prefix(p + 2);
    } else {
      terms.push_back(pending + std::string(rest.substr(0, p)));
      pending.clear();
      rest.remove_prefix(p + 1);
    }
  }
  if (!pending.empty() || !rest.empty()) terms.push_back(pending + std::string(rest));
  return terms;
}

}  // namespace lorvek
