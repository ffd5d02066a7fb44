#include "settings/history.h"

#include <algorithm>

namespace lorvek {

void THistoryEx::AddHistory(const std::string& text) {
  entries_.erase(std::remove(entries_.begin(), entries_.end(), text), entries_.end());
  if (entries_.size() >= kMaxEntries) entries_.pop_back();
  entries_.insert(entries_.begin(), text);
}

void THistoryEx::LoadHistory() {
  for (int slot = static_cast<int>(kMaxEntries) - 1; slot >= 0; --slot) {
    std::string v = ini_.ReadStr(section_, std::to_string(slot), "NIL");
    if (v != "NIL") AddHistory(v);
  }
}

void THistoryEx::SaveHistory() {
  if (ini_.FileExists() && ini_.IsReadOnly()) return;
  IniUpdate update(ini_);
  for (size_t i = 0; i < kMaxEntries; ++i) {
    std::string v = i < entries_.size() && !entries_[i].empty() ? entries_[i] : "NIL";
    ini_.WriteStr(section_, std::to_string(i), v);
  }
}

void THistoryEx::Clear() {
  entries_.clear();
  IniUpdate update(ini_);
  for (size_t i = 0; i < kMaxEntries; ++i) ini_.WriteStr(section_, std::to_string(i), "");
}

}  // namespace lorvek
