#include "settings/mask_sets.h"

#include <algorithm>

#include "settings/settings_schema.h"

namespace lorvek {
namespace {

const SettingKey& MaskSetRow(const char* prefix, size_t n) {
  return *FindSettingKey("MaskSet", prefix + std::to_string(n));
}

}  // namespace

std::array<MaskSet, kMaskSetRows> ReadMaskSetRows(const TIniGT& ini) {
  std::array<MaskSet, kMaskSetRows> rows;
  for (size_t n = 0; n < kMaskSetRows; ++n) {
    const SettingKey& mask = MaskSetRow("Mask", n);
    const SettingKey& excd = MaskSetRow("Excd", n);
    rows[n].mask = ReadStrRow(ini, mask);
    // Only a plain 1 marks an exclusion, as the dialog writes it.
    rows[n].exclude = ReadStrRow(ini, excd) == "1";
  }
  return rows;
}

MaskSets ReadMaskSets(const TIniGT& ini) {
  MaskSets m;
  for (const MaskSet& row : ReadMaskSetRows(ini)) {
    if (row.mask.empty() || row.mask == "!") break;
    m.sets.push_back(row);
    m.box_items.push_back(row.mask);
  }
  m.default_text = ReadStrSetting(ini, "MaskSet", "Default");
  if (m.default_text.empty()) m.default_text = "*.*";
  if (std::find(m.box_items.begin(), m.box_items.end(), m.default_text) == m.box_items.end())
    m.box_items.push_back(m.default_text);
  return m;
}

void WriteMaskSets(TIniGT& ini, const std::vector<MaskSet>& sets) {
  IniUpdate update(ini);
  for (size_t n = 0; n < kMaskSetRows; ++n) {
    const MaskSet* s = n < sets.size() ? &sets[n] : nullptr;
    WriteSetting(ini, MaskSetRow("Mask", n), s ? s->mask : std::string());
    WriteSetting(ini, MaskSetRow("Excd", n), s && s->exclude ? "1" : "0");
  }
}

}  // namespace lorvek
