#include "app/settings/options.h"

#include <algorithm>

#include "app/settings/settings_schema.h"
#include "search/mask.h"
#include "search/search_run.h"
#include "sources/archive_reader.h"

namespace lorvek {

Options ReadOptions(const TIniGT& ini) {
  Options o;
  for (const SettingKey& k : SettingKeys()) {
    if (!k.member) continue;
    if (k.kind == ValueKind::Str) k.member.Str(o) = ReadStrSetting(ini, k.section, k.key);
    else if (k.kind == ValueKind::Bool) k.member.Bool(o) = ReadIntSetting(ini, k.section, k.key) != 0;
    else k.member.Int(o) = ReadIntSetting(ini, k.section, k.key);
  }
  o.editor_sw.erase(std::remove(o.editor_sw.begin(), o.editor_sw.end(), '"'), o.editor_sw.end());
  return o;
}

std::vector<std::string> DefaultArchiveMasks() {
  // The formats this machine can read, in the order of the options dialog.
  std::vector<std::string> masks;
  const std::pair<ArchiveFormat, const char*> kFormats[] = {{ArchiveFormat::Lha, "*.LZH"}, {ArchiveFormat::Zip, "*.ZIP"},
                                                            {ArchiveFormat::Arj, "*.ARJ"}, {ArchiveFormat::Rar, "*.RAR"},
                                                            {ArchiveFormat::Cab, "*.CAB"}};
  for (const auto& [format, mask] : kFormats)
    if (ArchiveFormatAvailable(format)) masks.push_back(mask);
  if (ArchiveFormatAvailable(ArchiveFormat::Tar))
    for (const char* mask : {"*.TAR", "*.TZ", "*.TGZ", "*.TAZ", "*.GZ", "*.Z", "*.BZ2"}) masks.push_back(mask);
  // Formats the reader knows beyond the dialog's six: Java archives are ZIP.
  if (ArchiveFormatAvailable(ArchiveFormat::Zip)) masks.push_back("*.JAR");
  if (ArchiveFormatAvailable(ArchiveFormat::SevenZip)) masks.push_back("*.7Z");
  return masks;
}

std::vector<std::string> ArchiveMasksFrom(const std::string& arc_files) {
  if (!arc_files.empty() && arc_files.find(',') == std::string::npos) return {arc_files};
  return DefaultArchiveMasks();
}

void ApplyStartupOptions(const Options& options, SearchRun& run) {
  run.options() = options.search;
  run.WildMatch3().SetMasks(SplitCommaText(options.filter_ext));
  run.WildMatch2().SetMasks(ArchiveMasksFrom(options.arc_files));
}

void WriteSettingsAtClose(TIniGT& ini, const Options& options, bool show_tag, const std::string& mask_default) {
  ini.BeginUpdate();
  try {
    for (const SettingKey& k : SettingKeys())
      if (k.member && k.moment == WriteMoment::MainWindowClose) WriteSetting(ini, k, k.member.Text(options));
    ini.WriteBool("Viewer", "ShowTag", show_tag);
    ini.WriteStr("MaskSet", "Default", mask_default);
  } catch (...) {
    ini.EndUpdate();
    throw;
  }
  ini.EndUpdate();
}

int NormalisedCodeMode(int code_cng_mode) {
  return code_cng_mode >= 0 && code_cng_mode <= 3 ? code_cng_mode : 1;
}

}  // namespace lorvek
