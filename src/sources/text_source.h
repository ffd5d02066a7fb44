// Sources: each kind of item (plain text file, binary file, and the document,
// filter and archive readers) gives its text to the run's line matching
// through one small interface, and is chosen by one table (source_table.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/match_target.h"
#include "text/file_bytes.h"

namespace lorvek {

class TextSource {
 public:
  virtual ~TextSource() = default;
  // Searches the file, handing its text to target. Raises what ends the run
  // (a file the scan cannot open, say); logs what does not.
  virtual void Search(const FileRef& file, MatchTarget& target) = 0;
};

}  // namespace lorvek
