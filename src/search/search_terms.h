#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lorvek {

// "&" separates AND terms, "&&" is a literal "&"; empty terms are kept.
std::vector<std::string> SplitSearchTerms(std::string_view word);

}  // namespace lorvek
