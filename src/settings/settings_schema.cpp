#include "settings/settings_schema.h"

#include <algorithm>
#include <cstdlib>
#include <type_traits>
#include <utility>

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
constexpr ViewerShortcutKey kShortcut{};

std::vector<SettingKey> BuildKeys() {
  std::vector<SettingKey> k = {
      // [Options], read at main-window creation. The close-time write follows
      // this order, so a new file lists the keys so.
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
      {"Options", "FilterTimeout", I, "120", kClose, &SearchOptions::filter_timeout},
      {"Options", "ReplIgnore", B, "0", kReplace, &Options::repl_ignore},
      {"Options", "HtmlReplIgnore", B, "0", kReplace, &Options::html_repl_ignore},
      {"Options", "CodeReplIgnore", B, "0", kReplace, &Options::code_repl_ignore},
      {"Options", "CSVTerms", I, "0", kClose, &Options::csv_terms},
      {"Options", "CSVQuates", I, "0", kClose, &Options::csv_quates},
      // [Viewer]
      {"Viewer", "ShowTag", B, "1", kClose, {}, false, &ViewerSection::show_tag},
      {"Viewer", "Search", I, "0", kViewer, {}, false, &ViewerSection::search},
      {"Viewer", "PrevH", I, "120", kViewer, {}, false, &ViewerSection::prev_h},
      {"Viewer", "Toolbar1", B, "1", kViewer, {}, false, &ViewerSection::toolbar1},
      {"Viewer", "Toolbar2", B, "1", kViewer, {}, false, &ViewerSection::toolbar2},
      {"Viewer", "StView", B, "1", kViewer, {}, false, &ViewerSection::st_view},
      {"Viewer", "LastOpen", S, "", kViewer, {}, false, &ViewerSection::last_open},
      // [Viewer] key bindings
      {"Viewer", "Save", S, "Ctrl+S", kViewer, {}, false, kShortcut},
      {"Viewer", "SaveAs", S, "", kViewer, {}, false, kShortcut},
      {"Viewer", "Undo", S, "Ctrl+Z", kViewer, {}, false, kShortcut},
      {"Viewer", "Redo", S, "Ctrl+Shift+Z", kViewer, {}, false, kShortcut},
      {"Viewer", "Cut", S, "Ctrl+X", kViewer, {}, false, kShortcut},
      {"Viewer", "Copy", S, "Ctrl+C", kViewer, {}, false, kShortcut},
      {"Viewer", "Paste", S, "Ctrl+V", kViewer, {}, false, kShortcut},
      {"Viewer", "Delete", S, "", kViewer, {}, false, kShortcut},
      {"Viewer", "DelLine", S, "Ctrl+Y", kViewer, {}, false, kShortcut},
      {"Viewer", "FindAll", S, "F5", kViewer, {}, false, kShortcut},
      {"Viewer", "LineNext", S, "F4", kViewer, {}, false, kShortcut},
      {"Viewer", "LinePrev", S, "Shift+F4", kViewer, {}, false, kShortcut},
      {"Viewer", "Find", S, "Ctrl+F", kViewer, {}, false, kShortcut},
      {"Viewer", "FindNext", S, "F3", kViewer, {}, false, kShortcut},
      {"Viewer", "FIndPrev", S, "Shift+F3", kViewer, {}, false, kShortcut},
      {"Viewer", "Replace", S, "Ctrl+R", kViewer, {}, false, kShortcut},
      {"Viewer", "Indent", S, "Ctrl+I", kViewer, {}, false, kShortcut},
      {"Viewer", "UnIndent", S, "Ctrl+Shift+I", kViewer, {}, false, kShortcut},
      {"Viewer", "Quate", S, "Alt+Q", kViewer, {}, false, kShortcut},
      {"Viewer", "UnQuate", S, "Ctrl+Alt+Q", kViewer, {}, false, kShortcut},
      {"Viewer", "InsDate", S, "Alt+D", kViewer, {}, false, kShortcut},
      {"Viewer", "InsTime", S, "Alt+T", kViewer, {}, false, kShortcut},
      {"Viewer", "InsSign", S, "Alt+S", kViewer, {}, false, kShortcut},
      {"Viewer", "Seikei", S, "Alt+K", kViewer, {}, false, kShortcut},
      {"Viewer", "ViewTag", S, "Ctrl+T", kViewer, {}, false, kShortcut},
      {"Viewer", "ViewFound", S, "Ctrl+K", kViewer, {}, false, kShortcut},
      {"Viewer", "InsFile", S, "", kViewer, {}, false, kShortcut},
      {"Viewer", "Print", S, "", kViewer, {}, false, kShortcut},
      {"Viewer", "Command", S, "Ctrl+Alt+C", kViewer, {}, false, kShortcut},
      {"Viewer", "MacroRec", S, "Ctrl+Shift+R", kViewer, {}, false, kShortcut},
      {"Viewer", "MacroPlay", S, "Ctrl+Shift+P", kViewer, {}, false, kShortcut},
      // The viewer's tool bars and tag-list columns.
      {"TBar", "Rev", I, "1", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::tbar, &ToolBarPlacement::rev}},
      {"TBar", "Visible", B, "1", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::tbar, &ToolBarPlacement::visible}},
      {"TBar", "DockedTo", I, "0", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::tbar, &ToolBarPlacement::docked_to}},
      {"TBar", "DockRow", I, "0", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::tbar, &ToolBarPlacement::dock_row}},
      {"TBar", "DockPos", I, "0", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::tbar, &ToolBarPlacement::dock_pos}},
      {"TBar", "FloatLeft", I, "0", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::tbar, &ToolBarPlacement::float_left}},
      {"TBar", "FloatTop", I, "0", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::tbar, &ToolBarPlacement::float_top}},
      {"ABar", "Rev", I, "1", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::abar, &ToolBarPlacement::rev}},
      {"ABar", "Visible", B, "1", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::abar, &ToolBarPlacement::visible}},
      {"ABar", "DockedTo", I, "0", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::abar, &ToolBarPlacement::docked_to}},
      {"ABar", "DockRow", I, "1", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::abar, &ToolBarPlacement::dock_row}},
      {"ABar", "DockPos", I, "0", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::abar, &ToolBarPlacement::dock_pos}},
      {"ABar", "FloatLeft", I, "0", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::abar, &ToolBarPlacement::float_left}},
      {"ABar", "FloatTop", I, "0", kViewer, {}, false, ToolBarMember{&ViewerLayoutSection::abar, &ToolBarPlacement::float_top}},
      {"ViewClmn.Columns", "Sizes", S, "", kViewer, {}, false, &ViewerLayoutSection::column_sizes},
      {"ViewClmn.Sort", "Ascending", B, "1", kViewer, {}, false, &ViewerLayoutSection::sort_ascending},
      {"ViewClmn.Sort", "SortCol", I, "0", kViewer, {}, false, &ViewerLayoutSection::sort_col},
      {"Columns", "Order", S, "", kViewer, {}, false, &ViewerLayoutSection::column_order},
      // The section and key are spelt so in stored files; kept for them.
      {"Viewew", "LastCommad", S, "", kViewer, {}, false, &ViewerSection::last_command},
      // [MaskSet]: Mask0..19 and Excd0..19 are added below.
      {"MaskSet", "Default", S, "*.*", kClose},
      // [Find]
      {"Find", "FindArea", B, "0", kDialog, {}, false, &FindSection::find_area},
      {"Find", "MatchCase", B, "0", kDialog, {}, false, &FindSection::match_case},
      {"Find", "WholeWord", B, "0", kDialog, {}, false, &FindSection::whole_word},
      {"Find", "RegExp", B, "0", kDialog, {}, false, &FindSection::regexp},
      {"Find", "Fuzzy", B, "0", kDialog, {}, false, &FindSection::fuzzy},
      {"Find", "From", B, "1", kDialog, {}, false, &FindSection::from},
      {"Find", "FromTop", B, "0", kDialog, {}, false, &FindSection::from_top},
      {"Find", "ReplFor", B, "1", kDialog, {}, false, &FindSection::repl_for},
      {"Find", "FromSel", B, "0", kDialog, {}, false, &FindSection::from_sel},
      {"Find", "QueryRepl", B, "1", kDialog, {}, false, &FindSection::query_repl},
      {"Find", "ForPrev", B, "0", kDialog, {}, false, &FindSection::for_prev},
      {"Find", "ForNext", B, "1", kDialog, {}, false, &FindSection::for_next},
      // [Print]
      {"Print", "Header", S, "", kDialog, {}, false, &PrintSection::header},
      {"Print", "Footer", S, "", kDialog, {}, false, &PrintSection::footer},
      {"Print", "HeaderAlign", I, "0", kDialog, {}, false, &PrintSection::header_align},
      {"Print", "FooterAlign", I, "0", kDialog, {}, false, &PrintSection::footer_align},
      {"Print", "LeftMargin", I, "20", kDialog, {}, false, &PrintSection::left_margin},
      {"Print", "RightMargin", I, "20", kDialog, {}, false, &PrintSection::right_margin},
      {"Print", "TopMargin", I, "20", kDialog, {}, false, &PrintSection::top_margin},
      {"Print", "BottomMargin", I, "20", kDialog, {}, false, &PrintSection::bottom_margin},
      {"Print", "ColumnCount", I, "0", kDialog, {}, false, &PrintSection::column_count},
      {"Print", "LineNo", B, "0", kDialog, {}, false, &PrintSection::line_no},
      // [Desktop] viewer bounds
      {"Desktop", "View.Top", I, "100", kViewer, {}, false, &DesktopSection::view_top},
      {"Desktop", "View.Left", I, "100", kViewer, {}, false, &DesktopSection::view_left},
      {"Desktop", "View.Height", I, "480", kViewer, {}, false, &DesktopSection::view_height},
      {"Desktop", "View.Width", I, "640", kViewer, {}, false, &DesktopSection::view_width},
      // [Desktop] main window placement (default: the window's current value)
      {"Desktop", "MainForm.Flags", I, "", kClose, {}, false, &DesktopSection::main_flags},
      {"Desktop", "MainForm.Show", I, "", kClose, {}, false, &DesktopSection::main_show},
      {"Desktop", "MainForm.MaxX", I, "", kClose, {}, false, &DesktopSection::main_max_x},
      {"Desktop", "MainForm.MaxY", I, "", kClose, {}, false, &DesktopSection::main_max_y},
      {"Desktop", "MainForm.X", I, "", kClose, {}, false, &DesktopSection::main_x},
      {"Desktop", "MainForm.Y", I, "", kClose, {}, false, &DesktopSection::main_y},
      {"Desktop", "MainForm.XSize", I, "", kClose, {}, false, &DesktopSection::main_x_size},
      {"Desktop", "MainForm.YSize", I, "", kClose, {}, false, &DesktopSection::main_y_size},
      {"Desktop", "MainForm.ToolBars", S, "", kClose, {}, false, &DesktopSection::main_tool_bars},
  };
  // The main window's tool bars: all written at close, the placement read
  // back at start-up.
  const std::pair<const char*, ToolBarPlacement MainToolBarsSection::*> main_bars[] = {
      {"Toolbar1", &MainToolBarsSection::toolbar1}, {"Toolbar2", &MainToolBarsSection::toolbar2},
      {"ToolBar3", &MainToolBarsSection::toolbar3}, {"Toolbar4", &MainToolBarsSection::toolbar4},
      {"WordProg", &MainToolBarsSection::word_prog}};
  for (const auto& [section, bar] : main_bars) {
    const char* row = bar == &MainToolBarsSection::toolbar3 || bar == &MainToolBarsSection::toolbar4 ? "1" : "0";
    auto member = [b = bar](auto field) { return ToolBarMember{b, field}; };
    k.push_back({section, "Rev", I, "1", kClose, {}, false, member(&ToolBarPlacement::rev)});
    k.push_back({section, "Visible", B, "1", kClose, {}, false, member(&ToolBarPlacement::visible)});
    k.push_back({section, "DockedTo", I, "0", kClose, {}, false, member(&ToolBarPlacement::docked_to)});
    k.push_back({section, "DockRow", I, row, kClose, {}, false, member(&ToolBarPlacement::dock_row)});
    k.push_back({section, "DockPos", I, "0", kClose, {}, false, member(&ToolBarPlacement::dock_pos)});
    k.push_back({section, "FloatLeft", I, "0", kClose, {}, false, member(&ToolBarPlacement::float_left)});
    k.push_back({section, "FloatTop", I, "0", kClose, {}, false, member(&ToolBarPlacement::float_top)});
  }
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

int ReadIntRow(const TIniGT& ini, const SettingKey& k) { return ini.ReadInt(k.section, k.key, std::atoi(k.default_value)); }
std::string ReadStrRow(const TIniGT& ini, const SettingKey& k) {
  return ini.ReadStr(k.section, k.key, Utf8ToCp932(k.default_value));
}

bool ReadMember(const TIniGT& ini, bool ViewerSection::*member) {
  const SettingKey* k = SettingKeyOf(SectionMember{member});
  return k && ReadIntRow(ini, *k) != 0;
}

std::string ReadMember(const TIniGT& ini, std::string ViewerSection::*member) {
  const SettingKey* k = SettingKeyOf(SectionMember{member});
  return k ? ReadStrRow(ini, *k) : std::string();
}

int ReadIntSetting(const TIniGT& ini, std::string_view section, std::string_view key) {
  const SettingKey* k = FindSettingKey(section, key);
  return k ? ReadIntRow(ini, *k) : ini.ReadInt(section, key, 0);
}

std::string ReadStrSetting(const TIniGT& ini, std::string_view section, std::string_view key) {
  const SettingKey* k = FindSettingKey(section, key);
  return k ? ReadStrRow(ini, *k) : ini.ReadStr(section, key, std::string());
}

void WriteSetting(TIniGT& ini, const SettingKey& key, const std::string& value) {
  ini.WriteStr(key.section, key.key, key.quoted ? "\"" + value + "\"" : value);
}

const SettingKey* SettingKeyOf(const OptionMember& member) {
  if (!member) return nullptr;
  for (const auto& k : SettingKeys())
    if (k.member == member) return &k;
  return nullptr;
}

const SettingKey* SettingKeyOf(const SectionMember& member) {
  if (member.index() == 0 || std::holds_alternative<ViewerShortcutKey>(member)) return nullptr;
  for (const auto& k : SettingKeys())
    if (k.field == member) return &k;
  return nullptr;
}

namespace {

// Writes are grouped into one file update.
template <class Write>
void InOneUpdate(TIniGT& ini, Write write) {
  IniUpdate update(ini);
  write();
}

template <class T, class V>
struct IsAlternative;
template <class T, class... A>
struct IsAlternative<T, std::variant<A...>> : std::bool_constant<(std::is_same_v<T, A> || ...)> {};

// The row's member of S holding a T, or nullptr (also for a T that no
// member of S in the table has).
template <class T>
const T* MemberIf(const SettingKey& k) {
  if constexpr (IsAlternative<T, SectionMember>::value) return std::get_if<T>(&k.field);
  else return nullptr;
}

// The placement in s of the row's tool bar, or nullptr when the row is no
// tool-bar key of S.
template <class S, class Obj>
auto BarOf(const SettingKey& k, Obj& s) -> decltype(&(s.*std::declval<ToolBarPlacement S::*>())) {
  if constexpr (IsAlternative<ToolBarPlacement S::*, decltype(ToolBarMember::bar)>::value) {
    if (auto t = std::get_if<ToolBarMember>(&k.field))
      if (auto bar = std::get_if<ToolBarPlacement S::*>(&t->bar)) return &(s.**bar);
  }
  return nullptr;
}

template <class S>
void ReadRow(const TIniGT& ini, const SettingKey& k, S& s) {
  if (auto m = MemberIf<bool S::*>(k)) s.**m = ReadIntRow(ini, k) != 0;
  else if (auto m = MemberIf<int S::*>(k)) s.**m = ReadIntRow(ini, k);
  else if (auto m = MemberIf<std::string S::*>(k)) s.**m = ReadStrRow(ini, k);
  else if (auto m = MemberIf<std::optional<int> S::*>(k)) s.**m = ini.ReadIntIfSet(k.section, k.key);
  if constexpr (std::is_same_v<S, ViewerSection>)
    if (std::holds_alternative<ViewerShortcutKey>(k.field)) s.shortcuts[k.key] = ReadStrRow(ini, k);
  if (ToolBarPlacement* bar = BarOf<S>(k, s)) {
    const auto& t = std::get<ToolBarMember>(k.field);
    if (auto i = std::get_if<int ToolBarPlacement::*>(&t.field)) bar->**i = ReadIntRow(ini, k);
    else if (auto b = std::get_if<bool ToolBarPlacement::*>(&t.field))
      bar->**b = ReadIntRow(ini, k) != 0;
  }
}

// Writes the row's value when the row is a member of S that holds a value.
template <class S>
void WriteRow(TIniGT& ini, const SettingKey& k, const S& s) {
  if (auto m = MemberIf<bool S::*>(k)) WriteSetting(ini, k, s.**m ? "1" : "0");
  else if (auto m = MemberIf<int S::*>(k)) WriteSetting(ini, k, std::to_string(s.**m));
  else if (auto m = MemberIf<std::string S::*>(k)) WriteSetting(ini, k, s.**m);
  else if (auto m = MemberIf<std::optional<int> S::*>(k)) {
    if (s.**m) WriteSetting(ini, k, std::to_string(*(s.**m)));
  }
  if constexpr (std::is_same_v<S, ViewerSection>)
    if (std::holds_alternative<ViewerShortcutKey>(k.field)) {
      auto it = s.shortcuts.find(k.key);
      if (it != s.shortcuts.end()) WriteSetting(ini, k, it->second);
    }
  if (const ToolBarPlacement* bar = BarOf<S>(k, s)) {
    const auto& t = std::get<ToolBarMember>(k.field);
    if (auto i = std::get_if<int ToolBarPlacement::*>(&t.field)) WriteSetting(ini, k, std::to_string(bar->**i));
    else if (auto b = std::get_if<bool ToolBarPlacement::*>(&t.field)) WriteSetting(ini, k, bar->**b ? "1" : "0");
  }
}

}  // namespace

void WriteOptionKeys(TIniGT& ini, const Options& options, std::initializer_list<OptionMember> keys) {
  InOneUpdate(ini, [&] {
    for (const SettingKey& k : SettingKeys())
      if (k.member && std::find(keys.begin(), keys.end(), k.member) != keys.end())
        WriteSetting(ini, k, k.member.Text(options));
  });
}

template <class S>
S ReadSection(const TIniGT& ini) {
  S s;
  for (const SettingKey& k : SettingKeys()) ReadRow(ini, k, s);
  return s;
}

template <class S>
void WriteSection(TIniGT& ini, const S& values) {
  InOneUpdate(ini, [&] {
    for (const SettingKey& k : SettingKeys()) WriteRow(ini, k, values);
  });
}

template <class S>
void WriteSection(TIniGT& ini, const S& values, std::initializer_list<SectionMember> keys) {
  InOneUpdate(ini, [&] {
    for (const SettingKey& k : SettingKeys())
      if (k.field.index() != 0 && std::find(keys.begin(), keys.end(), k.field) != keys.end())
        WriteRow(ini, k, values);
  });
}

template FindSection ReadSection<FindSection>(const TIniGT&);
template PrintSection ReadSection<PrintSection>(const TIniGT&);
template ViewerSection ReadSection<ViewerSection>(const TIniGT&);
template DesktopSection ReadSection<DesktopSection>(const TIniGT&);
template ViewerLayoutSection ReadSection<ViewerLayoutSection>(const TIniGT&);
template MainToolBarsSection ReadSection<MainToolBarsSection>(const TIniGT&);
template void WriteSection<MainToolBarsSection>(TIniGT&, const MainToolBarsSection&);
template void WriteSection<ViewerLayoutSection>(TIniGT&, const ViewerLayoutSection&);
template void WriteSection<FindSection>(TIniGT&, const FindSection&);
template void WriteSection<PrintSection>(TIniGT&, const PrintSection&);
template void WriteSection<ViewerSection>(TIniGT&, const ViewerSection&);
template void WriteSection<DesktopSection>(TIniGT&, const DesktopSection&);
template void WriteSection<FindSection>(TIniGT&, const FindSection&, std::initializer_list<SectionMember>);
template void WriteSection<PrintSection>(TIniGT&, const PrintSection&, std::initializer_list<SectionMember>);
template void WriteSection<ViewerSection>(TIniGT&, const ViewerSection&, std::initializer_list<SectionMember>);
template void WriteSection<DesktopSection>(TIniGT&, const DesktopSection&, std::initializer_list<SectionMember>);

std::vector<std::string> ViewerShortcutNames() {
  std::vector<std::string> names;
  for (const SettingKey& k : SettingKeys())
    if (std::holds_alternative<ViewerShortcutKey>(k.field)) names.push_back(k.key);
  return names;
}

void WriteViewerShortcuts(TIniGT& ini, const std::map<std::string, std::string>& shortcuts) {
  ViewerSection v;
  v.shortcuts = shortcuts;
  WriteSection(ini, v, {ViewerShortcutKey{}});
}

std::map<std::string, std::string> ViewerSection::DefaultViewerShortcuts() {
  std::map<std::string, std::string> shortcuts;
  for (const SettingKey& k : SettingKeys())
    if (std::holds_alternative<ViewerShortcutKey>(k.field)) shortcuts[k.key] = k.default_value;
  return shortcuts;
}

}  // namespace lorvek
