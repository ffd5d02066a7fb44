// The names of a replace run's backups: NAME.bak, or NAME.bak(N) when that
// is taken, beside the file NAME.EXT they keep.
#pragma once

#include <set>
#include <string>

namespace lorvek {

// The backup name of a file: the name without its extension, then ".bak",
// or ".bak(1)", ".bak(2)"... the first that does not exist.
std::string BackupName(const std::string& path);

// The stem of a backup's name ("a" of "a.bak" and of "a.bak(2)"); "" for a
// name that is no backup's.
std::string BackupStem(const std::string& name);

// Whether path is named as a backup of a file that stands beside it (its
// name ends in ".bak" or ".bak(N)" and a regular file of that stem, with
// any extension or none, is in the same folder).
bool IsBackupBesideItsFile(const std::string& path);
// The same for a name among the regular files of its folder (links to
// them included), as RegularFileNames lists them.
bool IsBackupBesideItsFile(const std::string& name, const std::set<std::string>& beside);
std::set<std::string> RegularFileNames(const std::string& folder);

}  // namespace lorvek
