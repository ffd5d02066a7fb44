#include "app/options_settings.h"

#include <algorithm>
#include <charconv>

#include "app/settings_schema.h"
#include "search/mask.h"
#include "search/search_run.h"

namespace lorvek {

std::string OptionsSettings::Str(const std::string& key) const {
  for (const auto& [k, v] : values)
    if (k == key) return v;
  return {};
}

int OptionsSettings::Int(const std::string& key) const {
  std::string v = Str(key);
  int n = 0;
  auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
  return ec == std::errc() ? n : 0;
}

void OptionsSettings::Set(const std::string& key, const std::string& value) {
  for (auto& [k, v] : values)
    if (k == key) {
      v = value;
      return;
    }
  values.emplace_back(key, value);
}

SearchOptions OptionsSettings::ToSearchOptions() const {
  SearchOptions o;
  o.find_sub = Bool("FindSub");
  o.find_also_archive = Bool("FindAlsoArchive");
  o.find_mode = Int("FindMode");
  o.fuzzy_char = Bool("FuzzyChar");
  o.whole_word = Bool("WholeWord");
  o.code_cng_mode = Int("CodeCngMode");
  o.auto_doc_detect = Bool("AutoDocDetect");
  o.xls_grep = Bool("XlsGrep");
  o.use_filter = Bool("UseFilter");
  o.find_onece = Bool("FindOnece");
  o.force_crlf = Bool("ForceCRLF");
  o.html_tag = Bool("HTMLTag");
  o.wide_preview = Bool("WidePreview");
  o.path_print = Int("PathPrint");
  o.same_print = Int("SamePrint");
  return o;
}

void OptionsSettings::FromSearchOptions(const SearchOptions& o) {
  auto b = [&](const char* k, bool v) { Set(k, v ? "1" : "0"); };
  b("FindSub", o.find_sub);
  b("FindAlsoArchive", o.find_also_archive);
  SetInt("FindMode", o.find_mode);
  b("FuzzyChar", o.fuzzy_char);
  b("WholeWord", o.whole_word);
  SetInt("CodeCngMode", o.code_cng_mode);
  b("AutoDocDetect", o.auto_doc_detect);
  b("XlsGrep", o.xls_grep);
  b("UseFilter", o.use_filter);
  b("FindOnece", o.find_onece);
  b("ForceCRLF", o.force_crlf);
  b("HTMLTag", o.html_tag);
  b("WidePreview", o.wide_preview);
  SetInt("PathPrint", o.path_print);
  SetInt("SamePrint", o.same_print);
}

OptionsSettings ReadOptions(const TIniGT& ini) {
  OptionsSettings o;
  for (const SettingKey& k : SettingKeys()) {
    if (std::string_view(k.section) != "Options") continue;
    std::string v;
    if (k.kind == ValueKind::Str) v = ReadStrSetting(ini, k.section, k.key);
    else v = std::to_string(ReadIntSetting(ini, k.section, k.key));
    o.values.emplace_back(k.key, v);
  }
  std::string sw = o.Str("EditorSw");
  sw.erase(std::remove(sw.begin(), sw.end(), '"'), sw.end());
  o.Set("EditorSw", sw);
  return o;
}

std::vector<std::string> DefaultArchiveMasks() {
  return {"*.LZH", "*.ZIP", "*.ARJ", "*.RAR", "*.CAB", "*.TAR", "*.TZ", "*.TGZ", "*.TAZ", "*.GZ", "*.Z", "*.BZ2"};
}

std::vector<std::string> ArchiveMasksFrom(const std::string& arc_files) {
  if (!arc_files.empty() && arc_files.find(',') == std::string::npos) return {arc_files};
  return DefaultArchiveMasks();
}

void ApplyStartupOptions(const OptionsSettings& options, SearchRun& run) {
  SearchOptions o = options.ToSearchOptions();
  run.options() = o;
  run.WildMatch3().SetMasks(SplitCommaText(options.Str("FilterExt")));
  run.WildMatch2().SetMasks(ArchiveMasksFrom(options.Str("ArcFiles")));
}

void WriteSettingsAtClose(TIniGT& ini, const OptionsSettings& options, bool show_tag,
                          const std::string& mask_default) {
  ini.BeginUpdate();
  try {
    ini.WriteStr("Options", "Editor", "\"" + options.Str("Editor") + "\"");
    ini.WriteStr("Options", "EditorSw", "\"" + options.Str("EditorSw") + "\"");
    for (const SettingKey& k : SettingKeys()) {
      if (std::string_view(k.section) != "Options" || k.moment != WriteMoment::MainWindowClose) continue;
      std::string_view name = k.key;
      if (name == "Editor" || name == "EditorSw") continue;
      ini.WriteStr("Options", k.key, options.Str(k.key));
    }
    ini.WriteBool("Viewer", "ShowTag", show_tag);
    ini.WriteStr("MaskSet", "Default", mask_default);
  } catch (...) {
    ini.EndUpdate();
    throw;
  }
  ini.EndUpdate();
}

}  // namespace lorvek
