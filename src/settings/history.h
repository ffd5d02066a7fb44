// A most-recent-first history of at most 10 strings kept in one section of
// the settings file (keys 0 to 9, "NIL" for an empty slot).
#pragma once

#include <string>
#include <vector>

#include "settings/ini_file.h"

namespace lorvek {

class THistoryEx {
 public:
  static constexpr size_t kMaxEntries = 10;

  THistoryEx(TIniGT& ini, std::string section) : ini_(ini), section_(std::move(section)) {}

  const std::vector<std::string>& Entries() const { return entries_; }
  void AddHistory(const std::string& text);
  void LoadHistory();
  // Writes nothing while the settings file is read-only.
  void SaveHistory();
  // Empties the list and writes empty values to keys 0 to 9 at once.
  void Clear();

 private:
  TIniGT& ini_;
  std::string section_;
  std::vector<std::string> entries_;
};

}  // namespace lorvek
