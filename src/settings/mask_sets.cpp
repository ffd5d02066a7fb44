#include "settings/mask_sets.h"

#include <algorithm>

namespace lorvek {

MaskSets ReadMaskSets(const TIniGT& ini) {
  MaskSets m;
  for (int n = 0; n < 20; ++n) {
    std::string mask = ini.ReadStr("MaskSet", "Mask" + std::to_string(n), "");
    if (mask.empty() || mask == "!") break;
    bool exclude = ini.ReadStr("MaskSet", "Excd" + std::to_string(n), "0") == "1";
    m.sets.push_back({mask, exclude});
    m.box_items.push_back(mask);
  }
  m.default_text = ini.ReadStr("MaskSet", "Default", "*.*");
  if (m.default_text.empty()) m.default_text = "*.*";
  if (std::find(m.box_items.begin(), m.box_items.end(), m.default_text) == m.box_items.end())
    m.box_items.push_back(m.default_text);
  return m;
}

void WriteMaskSets(TIniGT& ini, const std::vector<MaskSet>& sets) {
  ini.BeginUpdate();
  for (size_t n = 0; n < 20; ++n) {
    const MaskSet* s = n < sets.size() ? &sets[n] : nullptr;
    ini.WriteStr("MaskSet", "Mask" + std::to_string(n), "\"" + (s ? s->mask : std::string()) + "\"");
    ini.WriteInt("MaskSet", "Excd" + std::to_string(n), s && s->exclude ? 1 : 0);
  }
  ini.EndUpdate();
}

}  // namespace lorvek
