// Lines of a text: a line ends at CR, LF or CR LF, the terminators dropped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lorvek {

// stop_at_nul: nothing after the first NUL byte belongs to the text.
std::vector<std::string> SplitTextLines(std::string_view text, bool stop_at_nul);
// The lines joined by CR LF (no break after the last).
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace lorvek
