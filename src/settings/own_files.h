// Files the program writes for itself and reads back later (the undo
// journal and its lock, the settings, the hand-off file) decide what it does
// next: one planted or changed by another user could make it copy files over
// others, delete them or start a program. Such a file is trusted only when
// it is a regular file of the running user that nobody else may write, in a
// folder of that user (or of root) that nobody else may write. Write
// permission for the user's private group (a umask of 002) lets nobody
// else in; for any other group it does.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lorvek {

// Why a folder may not hold the program's own files; "" when it may (or
// when there is no folder at that name yet).
std::string OwnFolderDistrust(const std::string& folder);

// Why the file at path may not be trusted; "" when it may, or when nothing
// is there. Looks at the entry itself, not where a link leads.
std::string OwnFileDistrust(const std::string& path);

// Why an open file may not be trusted (the folder is not looked at); "".
std::string OwnFileDistrust(int fd);

class UntrustedFileError : public std::runtime_error {
 public:
  UntrustedFileError(const std::string& path, const std::string& reason)
      : std::runtime_error(path + " (" + reason + ")"), path_(path), reason_(reason) {}
  const std::string& Path() const { return path_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string path_, reason_;
};

// The content of one of the program's own files; nullopt when there is
// none. Raises UntrustedFileError when it (or its folder) may not be
// trusted, std::system_error when it cannot be read.
std::optional<std::string> ReadOwnFile(const std::string& path);

// Writes one of the program's own files atomically (as WriteFileAtomically),
// readable and writable by the user alone. Raises UntrustedFileError when
// what stands at its name may not be trusted (a link is not followed).
void WriteOwnFile(const std::string& path, std::string_view bytes);

}  // namespace lorvek
