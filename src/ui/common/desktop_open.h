// Opening a document, a folder or an address the way the desktop does: with
// the application its MIME associations name as the default.
#pragma once

#include <string>

namespace lorvek {

struct DesktopOpenCommand {
  std::string command;  // for /bin/sh -c; empty when there is none
  std::string error;    // why there is none (the program's own message)
};

// The command line that opens target (a path as bytes, or an address such
// as https://...): the default application's Exec line up to its first
// field code, then target quoted. Without an association the error names
// the extension (or the type, when the application has no command) in
// parentheses.
DesktopOpenCommand AssociatedOpenCommand(const std::string& target);

}  // namespace lorvek
