// The named file-mask sets of [MaskSet] offered in the mask box.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "settings/ini_file.h"

namespace lorvek {

inline constexpr size_t kMaskSetRows = 20;

struct MaskSet {
  std::string mask;
  bool exclude = false;
  bool operator==(const MaskSet&) const = default;
};

struct MaskSets {
  std::vector<MaskSet> sets;           // at most kMaskSetRows
  std::string default_text;            // the mask box's initial text
  std::vector<std::string> box_items;  // the drop-down list: the sets, then Default
};

// Every row as stored, empty ones included (the options dialog's grid).
std::array<MaskSet, kMaskSetRows> ReadMaskSetRows(const TIniGT& ini);
// The sets up to the first empty row (or one holding "!"), and Default.
MaskSets ReadMaskSets(const TIniGT& ini);
// What the options dialog writes on OK: all twenty pairs, masks quoted.
void WriteMaskSets(TIniGT& ini, const std::vector<MaskSet>& sets);

}  // namespace lorvek
