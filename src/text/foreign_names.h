// File and archive member names whose bytes are not UTF-8: tar and cpio
// store bytes without saying their encoding, and old disks hold EUC-JP or
// Shift-JIS names.
#pragma once

#include <string>
#include <string_view>

namespace lorvek {

// The name as Shift-JIS for masks and internal text: UTF-8 converted when it
// is valid UTF-8; else read as EUC-JP or Shift-JIS as the encoding
// classifier decides. A byte that cannot be read becomes "・", and a lead
// byte never takes a following byte that cannot trail it (a ".", say), so
// the extension stays where a mask looks for it.
std::string NameToCp932(std::string_view name);

// The same name as UTF-8 for display and for member paths.
std::string NameToUtf8(std::string_view name);

}  // namespace lorvek
