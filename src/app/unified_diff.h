// A file's change as a unified diff ("---"/"+++" headers with the path as
// given, hunks with three lines of context), so a replace that only looks
// reads like a patch. A file stored in UTF-8 (or ASCII) shows its own bytes,
// so the diff applies to it; any other is shown converted to UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lorvek {

// A path as it may stand in a header line: as it is, or, when it holds a
// control character, a quote or a backslash, between quotes with those
// escaped as C does ("a\nb" for a line break), so that no name can end a
// header and start another (patch reads the quoted form).
std::string DiffPathName(const std::string& path);
// The escaped inside of that quoted form, for lines that quote every path.
std::string EscapedPathText(const std::string& path);

std::string UnifiedDiff(const std::string& path, std::string_view old_bytes, std::string_view new_bytes,
                        int32_t encoding, int context = 3);

}  // namespace lorvek
