// The fuzzy character dictionary and the expansion the pattern setter runs
// before compiling when UseFuzzyCharDic is on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lorvek {

// The 145 groups of equivalent strings, in dictionary order, as Shift-JIS.
const std::vector<std::vector<std::string>>& FuzzyGroups();

// Widens every literal run of the pattern by the dictionary: the first group
// with an entry equal to the characters at hand becomes "(e1|e2|...)".
std::string FuzzyExpand(std::string_view pattern);

}  // namespace lorvek
