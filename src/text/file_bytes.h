// Whole-file reads and safe whole-file writes.
#pragma once

#include <string>
#include <string_view>

namespace lorvek {

// Reads a regular file whole. Raises std::system_error with the system's
// reason when it cannot be opened or read, or is not a regular file.
std::string ReadFileBytes(const std::string& path);

// Writes through a temporary file in the same folder renamed over the
// target, keeping the target's permissions: a crash leaves the old file or
// the new one, never a mix. Raises std::system_error.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace lorvek
