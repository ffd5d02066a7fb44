#pragma once

#include <string>

namespace lorvek {

// The folder of the files that live "beside the program" (settings, log,
// hand-off file): the executable's folder when it is the user's own, nobody
// else may write there and it is no installation (no share/lorvek beside its
// folder), otherwise $XDG_CONFIG_HOME/lorvek (created for the user alone).
// Ends with '/'.
std::string ProgramFolder();

}  // namespace lorvek
