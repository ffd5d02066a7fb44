#include "app/settings_schema.h"

#include <cstdlib>

#include "text/cp932.h"

namespace lorvek {
namespace {

constexpr auto B = ValueKind::Bool;
constexpr auto I = ValueKind::Int;
constexpr auto S = ValueKind::Str;
constexpr auto kClose = WriteMoment::MainWindowClose;
constexpr auto kOptionsOk = WriteMoment::OptionsDialogOk;
constexpr auto kReplace = WriteMoment::ReplaceDialog;
constexpr auto kViewer = WriteMoment::ViewerClose;
constexpr auto kDialog = WriteMoment::DialogClose;

std::vector<SettingKey> BuildKeys() {
  std::vector<SettingKey> k = {
      // [Options], in the order of the table; read at main-window creation.
      {"Options", "Editor", S, "", kClose, true},
      {"Options", "EditorSw", S, "\"\"", kClose, true},
      {"Options", "EditorSwS", I, "0", kClose},
      {"Options", "EditorIs", I, "0", kClose},
      {"Options", "MEditor", S, "その他", kClose},
      {"Options", "EdAddMark", B, "1", kClose},
      {"Options", "UseEditor", B, "0", kClose},
      {"Options", "EditExecDone", B, "1", kClose},
      {"Options", "TeadDde", B, "0", kClose},
      {"Options", "EdSendkeyw", B, "0", kClose},
      {"Options", "EdSendCol", B, "0", kClose},
      {"Options", "EdSendkeywN", B, "0", kClose},
      {"Options", "EdKeywSw", S, "", kClose},
      {"Options", "EdColSw", S, "", kClose},
      {"Options", "EdKeywNSw", S, "", kClose},
      {"Options", "PathPrint", I, "0", kClose},
      {"Options", "SamePrint", I, "0", kClose},
      {"Options", "Preview", B, "0", kClose},
      {"Options", "WidePreview", B, "0", kClose},
      {"Options", "PrevLine", I, "0", kClose},
      {"Options", "NextLine", I, "0", kClose},
      {"Options", "PrevHight", I, "40", kClose},
      {"Options", "ShowFDate", B, "0", kClose},
      {"Options", "SilenceRestart", B, "0", kClose},
      {"Options", "FuzzyChar", B, "1", kClose},
      {"Options", "WholeWord", B, "1", kClose},
      {"Options", "FindSub", B, "1", kClose},
      {"Options", "FindAlsoArchive", B, "0", kClose},
      {"Options", "FindMode", I, "0", kClose},
      {"Options", "CodeCngMode", I, "1000", kClose},
      {"Options", "AutoDocDetect", B, "0", kClose},
      {"Options", "DetectLen", I, "0", kClose},
      {"Options", "ForceCRLF", B, "0", kClose},
      {"Options", "FindOnece", B, "0", kClose},
      {"Options", "XlsGrep", B, "1", kClose},
      {"Options", "XlsAlsoNum", B, "0", kClose},
      {"Options", "XlsErrLog", B, "0", kClose},
      {"Options", "HTMLTag", B, "0", kClose},
      {"Options", "UseFilter", B, "0", kClose},
      {"Options", "FilterName", S, "", kClose},
      {"Options", "FilterExt", S, "", kClose},
      {"Options", "FilterSw", S, "", kClose},
      {"Options", "ArcFiles", S, "", kOptionsOk},
      {"Options", "ReplIgnore", B, "0", kReplace},
      {"Options", "HtmlReplIgnore", B, "0", kReplace},
      {"Options", "CodeReplIgnore", B, "0", kReplace},
      {"Options", "CSVTerms", I, "0", kClose},
      {"Options", "CSVQuates", I, "0", kClose},
      // [Viewer]
      {"Viewer", "ShowTag", B, "1", kClose},
      {"Viewer", "Search", I, "0", kViewer},
      {"Viewer", "PrevH", I, "120", kViewer},
      {"Viewer", "Toolbar1", B, "1", kViewer},
      {"Viewer", "Toolbar2", B, "1", kViewer},
      {"Viewer", "StView", B, "1", kViewer},
      {"Viewer", "LastOpen", S, "", kViewer},
      // [Viewer] key bindings
      {"Viewer", "Save", S, "Ctrl+S", kViewer},
      {"Viewer", "SaveAs", S, "", kViewer},
      {"Viewer", "Undo", S, "Ctrl+Z", kViewer},
      {"Viewer", "Redo", S, "Ctrl+Shift+Z", kViewer},
      {"Viewer", "Cut", S, "Ctrl+X", kViewer},
      {"Viewer", "Copy", S, "Ctrl+C", kViewer},
      {"Viewer", "Paste", S, "Ctrl+V", kViewer},
      {"Viewer", "Delete", S, "", kViewer},
      {"Viewer", "DelLine", S, "Ctrl+Y", kViewer},
      {"Viewer", "FindAll", S, "F5", kViewer},
      {"Viewer", "LineNext", S, "F4", kViewer},
      {"Viewer", "LinePrev", S, "Shift+F4", kViewer},
      {"Viewer", "Find", S, "Ctrl+F", kViewer},
      {"Viewer", "FindNext", S, "F3", kViewer},
      {"Viewer", "FIndPrev", S, "Shift+F3", kViewer},
      {"Viewer", "Replace", S, "Ctrl+R", kViewer},
      {"Viewer", "Indent", S, "Ctrl+I", kViewer},
      {"Viewer", "UnIndent", S, "Ctrl+Shift+I", kViewer},
      {"Viewer", "Quate", S, "Alt+Q", kViewer},
      {"Viewer", "UnQuate", S, "Ctrl+Alt+Q", kViewer},
      {"Viewer", "InsDate", S, "Alt+D", kViewer},
      {"Viewer", "InsTime", S, "Alt+T", kViewer},
      {"Viewer", "InsSign", S, "Alt+S", kViewer},
      {"Viewer", "Seikei", S, "Alt+K", kViewer},
      {"Viewer", "ViewTag", S, "Ctrl+T", kViewer},
      {"Viewer", "ViewFound", S, "Ctrl+K", kViewer},
      {"Viewer", "InsFile", S, "", kViewer},
      {"Viewer", "Print", S, "", kViewer},
      {"Viewer", "Command", S, "Ctrl+Alt+C", kViewer},
      {"Viewer", "MacroRec", S, "Ctrl+Shift+R", kViewer},
      {"Viewer", "MacroPlay", S, "Ctrl+Shift+P", kViewer},
      // [Viewew] (sic)
      {"Viewew", "LastCommad", S, "", kViewer},
      // [MaskSet]: Mask0..19 and Excd0..19 are added below.
      {"MaskSet", "Default", S, "*.*", kClose},
      // [Find]
      {"Find", "FindArea", B, "0", kDialog},
      {"Find", "MatchCase", B, "0", kDialog},
      {"Find", "WholeWord", B, "0", kDialog},
      {"Find", "RegExp", B, "0", kDialog},
      {"Find", "Fuzzy", B, "0", kDialog},
      {"Find", "From", B, "1", kDialog},
      {"Find", "FromTop", B, "0", kDialog},
      {"Find", "ReplFor", B, "1", kDialog},
      {"Find", "FromSel", B, "0", kDialog},
      {"Find", "QueryRepl", B, "1", kDialog},
      {"Find", "ForPrev", B, "0", kDialog},
      {"Find", "ForNext", B, "1", kDialog},
      // [Print]
      {"Print", "Header", S, "", kDialog},
      {"Print", "Footer", S, "", kDialog},
      {"Print", "HeaderAlign", I, "0", kDialog},
      {"Print", "FooterAlign", I, "0", kDialog},
      {"Print", "LeftMargin", I, "20", kDialog},
      {"Print", "RightMargin", I, "20", kDialog},
      {"Print", "TopMargin", I, "20", kDialog},
      {"Print", "BottomMargin", I, "20", kDialog},
      {"Print", "ColumnCount", I, "0", kDialog},
      {"Print", "LineNo", B, "0", kDialog},
      // [Desktop] viewer bounds (the main window's placement keys are
      // "MainForm." + Flags, Show, MaxX, MaxY, X, Y, XSize, YSize, default: current).
      {"Desktop", "View.Top", I, "100", kViewer},
      {"Desktop", "View.Left", I, "100", kViewer},
      {"Desktop", "View.Height", I, "480", kViewer},
      {"Desktop", "View.Width", I, "640", kViewer},
  };
  static const char* const kMaskKeys[] = {"Mask0", "Mask1", "Mask2", "Mask3", "Mask4", "Mask5", "Mask6",
                                          "Mask7", "Mask8", "Mask9", "Mask10", "Mask11", "Mask12", "Mask13",
                                          "Mask14", "Mask15", "Mask16", "Mask17", "Mask18", "Mask19"};
  static const char* const kExcdKeys[] = {"Excd0", "Excd1", "Excd2", "Excd3", "Excd4", "Excd5", "Excd6",
                                          "Excd7", "Excd8", "Excd9", "Excd10", "Excd11", "Excd12", "Excd13",
                                          "Excd14", "Excd15", "Excd16", "Excd17", "Excd18", "Excd19"};
  for (int n = 0; n < 20; ++n) {
    k.push_back({"MaskSet", kMaskKeys[n], S, "", kOptionsOk, true});
    k.push_back({"MaskSet", kExcdKeys[n], I, "0", kOptionsOk});
  }
  return k;
}

}  // namespace

const std::vector<SettingKey>& SettingKeys() {
  static const std::vector<SettingKey> keys = BuildKeys();
  return keys;
}

const SettingKey* FindSettingKey(std::string_view section, std::string_view key) {
  for (const auto& k : SettingKeys())
    if (SameIniName(k.section, section) && SameIniName(k.key, key)) return &k;
  return nullptr;
}

bool ReadBoolSetting(const TIniGT& ini, std::string_view section, std::string_view key) {
  return ReadIntSetting(ini, section, key) != 0;
}

int ReadIntSetting(const TIniGT& ini, std::string_view section, std::string_view key) {
  const SettingKey* k = FindSettingKey(section, key);
  int def = k ? std::atoi(k->default_value) : 0;
  return ini.ReadInt(section, key, def);
}

std::string ReadStrSetting(const TIniGT& ini, std::string_view section, std::string_view key) {
  const SettingKey* k = FindSettingKey(section, key);
  return ini.ReadStr(section, key, k ? Utf8ToCp932(k->default_value) : std::string());
}

void WriteSetting(TIniGT& ini, const SettingKey& key, const std::string& value) {
  ini.WriteStr(key.section, key.key, key.quoted ? "\"" + value + "\"" : value);
}

}  // namespace lorvek
