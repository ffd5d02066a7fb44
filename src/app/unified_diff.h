// A file's change as a unified diff ("---"/"+++" headers with the path as
// given, hunks with three lines of context), so a replace that only looks
// reads like a patch. A file stored in UTF-8 (or ASCII) shows its own bytes,
// so the diff applies to it; any other is shown converted to UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lorvek {

std::string UnifiedDiff(const std::string& path, std::string_view old_bytes, std::string_view new_bytes,
                        int32_t encoding, int context = 3);

}  // namespace lorvek
