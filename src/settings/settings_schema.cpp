#include "settings/settings_schema.h"

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
      {"Options", "Editor", S, "", kClose, &Options::editor, true},
      {"Options", "EditorSw", S, "\"\"", kClose, &Options::editor_sw, true},
      {"Options", "EditorSwS", I, "0", kClose, &Options::editor_sw_s},
      {"Options", "EditorIs", I, "0", kClose, &Options::editor_is},
      {"Options", "MEditor", S, "その他", kClose, &Options::m_editor},
      {"Options", "EdAddMark", B, "1", kClose, &Options::ed_add_mark},
      {"Options", "UseEditor", B, "0", kClose, &Options::use_editor},
      {"Options", "EditExecDone", B, "1", kClose, &Options::edit_exec_done},
      {"Options", "TeadDde", B, "0", kClose, &Options::tead_dde},
      {"Options", "EdSendkeyw", B, "0", kClose, &Options::ed_sendkeyw},
      {"Options", "EdSendCol", B, "0", kClose, &Options::ed_send_col},
      {"Options", "EdSendkeywN", B, "0", kClose, &Options::ed_sendkeyw_n},
      {"Options", "EdKeywSw", S, "", kClose, &Options::ed_keyw_sw},
      {"Options", "EdColSw", S, "", kClose, &Options::ed_col_sw},
      {"Options", "EdKeywNSw", S, "", kClose, &Options::ed_keyw_n_sw},
      {"Options", "PathPrint", I, "0", kClose, &SearchOptions::path_print},
      {"Options", "SamePrint", I, "0", kClose, &SearchOptions::same_print},
      {"Options", "Preview", B, "0", kClose, &Options::preview},
      {"Options", "WidePreview", B, "0", kClose, &SearchOptions::wide_preview},
      {"Options", "PrevLine", I, "0", kClose, &Options::prev_line},
      {"Options", "NextLine", I, "0", kClose, &Options::next_line},
      {"Options", "PrevHight", I, "40", kClose, &Options::prev_hight},
      {"Options", "ShowFDate", B, "0", kClose, &Options::show_f_date},
      {"Options", "SilenceRestart", B, "0", kClose, &Options::silence_restart},
      {"Options", "FuzzyChar", B, "1", kClose, &SearchOptions::fuzzy_char},
      {"Options", "WholeWord", B, "1", kClose, &SearchOptions::whole_word},
      {"Options", "FindSub", B, "1", kClose, &SearchOptions::find_sub},
      {"Options", "FindAlsoArchive", B, "0", kClose, &SearchOptions::find_also_archive},
      {"Options", "FindMode", I, "0", kClose, &SearchOptions::find_mode},
      {"Options", "CodeCngMode", I, "1000", kClose, &SearchOptions::code_cng_mode},
      {"Options", "AutoDocDetect", B, "0", kClose, &SearchOptions::auto_doc_detect},
      {"Options", "DetectLen", I, "0", kClose, &Options::detect_len},
      {"Options", "ForceCRLF", B, "0", kClose, &SearchOptions::force_crlf},
      {"Options", "FindOnece", B, "0", kClose, &SearchOptions::find_onece},
      {"Options", "XlsGrep", B, "1", kClose, &SearchOptions::xls_grep},
      {"Options", "XlsAlsoNum", B, "0", kClose, &SearchOptions::xls_also_num},
      {"Options", "XlsErrLog", B, "0", kClose, &SearchOptions::xls_err_log},
      {"Options", "OfficeXmlGrep", B, "1", kClose, &SearchOptions::office_xml_grep},
      {"Options", "PdfGrep", B, "1", kClose, &SearchOptions::pdf_grep},
      {"Options", "HTMLTag", B, "0", kClose, &SearchOptions::html_tag},
      {"Options", "UseFilter", B, "0", kClose, &SearchOptions::use_filter},
      {"Options", "FilterName", S, "", kClose, &SearchOptions::filter_name},
      {"Options", "FilterExt", S, "", kClose, &Options::filter_ext},
      {"Options", "FilterSw", S, "", kClose, &SearchOptions::filter_sw},
      {"Options", "ArcFiles", S, "", kOptionsOk, &Options::arc_files},
      {"Options", "ArcMemberLimit", I, "1024", kClose, &SearchOptions::arc_member_limit},
      {"Options", "ArcTotalLimit", I, "4096", kClose, &SearchOptions::arc_total_limit},
      {"Options", "FilterOutLimit", I, "1024", kClose, &SearchOptions::filter_out_limit},
      {"Options", "ReplIgnore", B, "0", kReplace, &Options::repl_ignore},
      {"Options", "HtmlReplIgnore", B, "0", kReplace, &Options::html_repl_ignore},
      {"Options", "CodeReplIgnore", B, "0", kReplace, &Options::code_repl_ignore},
      {"Options", "CSVTerms", I, "0", kClose, &Options::csv_terms},
      {"Options", "CSVQuates", I, "0", kClose, &Options::csv_quates},
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
    k.push_back({"MaskSet", kMaskKeys[n], S, "", kOptionsOk, {}, true});
    k.push_back({"MaskSet", kExcdKeys[n], I, "0", kOptionsOk});
  }
  return k;
}

}  // namespace

ValueKind OptionMember::Kind() const {
  switch (m_.index()) {
    case 1:
    case 3: return ValueKind::Bool;
    case 2:
    case 4: return ValueKind::Int;
    default: return ValueKind::Str;
  }
}

bool& OptionMember::Bool(Options& o) const {
  if (auto m = std::get_if<bool SearchOptions::*>(&m_)) return o.search.**m;
  return o.*std::get<bool Options::*>(m_);
}

int& OptionMember::Int(Options& o) const {
  if (auto m = std::get_if<int SearchOptions::*>(&m_)) return o.search.**m;
  return o.*std::get<int Options::*>(m_);
}

std::string& OptionMember::Str(Options& o) const {
  if (auto m = std::get_if<std::string SearchOptions::*>(&m_)) return o.search.**m;
  return o.*std::get<std::string Options::*>(m_);
}

std::string OptionMember::Text(const Options& o) const {
  Options& any = const_cast<Options&>(o);  // read only
  switch (Kind()) {
    case ValueKind::Bool: return Bool(any) ? "1" : "0";
    case ValueKind::Int: return std::to_string(Int(any));
    default: return Str(any);
  }
}

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
