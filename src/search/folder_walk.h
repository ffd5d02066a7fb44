// The walk over one target, kept apart from the run: a folder (optionally
// with its subfolders) or a single file. It yields each selected file to its
// observer; it never reads a file.
#pragma once

#include <cstdint>
#include <string>

#include "search/mask.h"
#include "text/file_bytes.h"

namespace lorvek {

struct WalkRules {
  const TWildMatch* target_masks = nullptr;   // WildMatch1
  const TWildMatch* archive_masks = nullptr;  // WildMatch2
  const TWildMatch* filter_masks = nullptr;   // WildMatch3
  int find_mode = 0;                          // 0 masks select, 1 masks exclude
  bool subfolders = true;
  bool archives = false;  // archives go to the archive search
  bool filters = false;   // filter masks are tested
};

struct WalkItem {
  FileRef file;                 // its path as the file system names it; valid during FileFound
  int64_t last_write_time = 0;  // FILETIME
  bool archive = false;         // matched the archive masks
  bool filter_match = false;    // matched the filter masks
};

class WalkObserver {
 public:
  virtual ~WalkObserver() = default;
  // The folder being listed (shown while subfolders are walked).
  virtual void ListingFolder(const std::string& /*folder*/) {}
  // Called at every directory entry (the moment to process pending events).
  virtual void EntryReached() {}
  // Read before a target and after every entry: true ends the walk.
  virtual bool StopWalking() const = 0;
  virtual void FileFound(const WalkItem& item) = 0;
  // A target that does not exist or a folder that cannot be listed (errno).
  virtual void CannotList(const std::string& /*path*/, int /*error*/) {}
};

// Walks one target. A folder's entries are taken in name order (comparing
// bytes), subfolders walked where they are met. Symbolic links to folders are
// not followed (a link loop must not hang the walk); a link to a file is a
// file; dangling links and devices are passed over; folders whose name
// begins with "." are skipped. A named file is yielded whatever the masks
// say. Folders are opened relative to their parent and only a few stay open
// at once, so neither path length nor depth limits the walk.
void WalkTarget(const std::string& target, const WalkRules& rules, WalkObserver& observer);

// FILETIME (100 ns since 1601-01-01 UTC) from a Unix time.
int64_t FileTimeFromUnix(int64_t seconds, int64_t nanoseconds);

}  // namespace lorvek
