// The named file-mask sets of [MaskSet] offered in the mask box.
#pragma once

#include <string>
#include <vector>

#include "settings/ini_file.h"

namespace lorvek {

struct MaskSet {
  std::string mask;
  bool exclude = false;
};

struct MaskSets {
  std::vector<MaskSet> sets;           // at most 20
  std::string default_text;            // the mask box's initial text
  std::vector<std::string> box_items;  // the drop-down list: the sets, then Default
};

MaskSets ReadMaskSets(const TIniGT& ini);
// What the options dialog writes on OK: all twenty pairs, masks quoted.
void WriteMaskSets(TIniGT& ini, const std::vector<MaskSet>& sets);

}  // namespace lorvek
