// The [Options] section as one typed value: the search switches a run reads
// (SearchOptions) and everything else the window and the later dialogs use.
// The schema table ties each key to its member, so reading, defaults and
// writing are driven by the table and code never names a key as text.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/ini_file.h"
#include "search/search_options.h"

namespace lorvek {

struct Options {
  SearchOptions search;  // FindSub, FuzzyChar, WholeWord, CodeCngMode, ...

  // External editor (Shift-JIS texts).
  std::string editor;         // Editor
  std::string editor_sw;      // EditorSw (kept without its double quotes)
  int editor_sw_s = 0;        // EditorSwS
  int editor_is = 0;          // EditorIs
  std::string m_editor = "\x82\xBB\x82\xCC\x91\xBC";  // MEditor, "その他"
  bool ed_add_mark = true;    // EdAddMark
  bool use_editor = false;    // UseEditor
  bool edit_exec_done = true; // EditExecDone
  bool tead_dde = false;      // TeadDde
  bool ed_sendkeyw = false;   // EdSendkeyw
  bool ed_send_col = false;   // EdSendCol
  bool ed_sendkeyw_n = false; // EdSendkeywN
  std::string ed_keyw_sw;     // EdKeywSw
  std::string ed_col_sw;      // EdColSw
  std::string ed_keyw_n_sw;   // EdKeywNSw
  // List and preview.
  bool preview = false;       // Preview
  int prev_line = 0;          // PrevLine
  int next_line = 0;          // NextLine
  int prev_hight = 40;        // PrevHight
  bool show_f_date = false;   // ShowFDate
  bool silence_restart = false;  // SilenceRestart
  int detect_len = 0;         // DetectLen
  // Documents, filters, archives.
  std::string filter_ext;     // FilterExt
  std::string arc_files;      // ArcFiles
  // Replace warnings not shown again.
  bool repl_ignore = false;       // ReplIgnore
  bool html_repl_ignore = false;  // HtmlReplIgnore
  bool code_repl_ignore = false;  // CodeReplIgnore
  // CSV export.
  int csv_terms = 0;   // CSVTerms
  int csv_quates = 0;  // CSVQuates

  bool operator==(const Options&) const = default;
};

// [Find]: the switches shared by the viewer's find dialog and its replace
// dialog; each dialog owns a part of them.
struct FindSection {
  bool find_area = false;   // FindArea
  bool match_case = false;  // MatchCase
  bool whole_word = false;  // WholeWord
  bool regexp = false;      // RegExp
  bool fuzzy = false;       // Fuzzy
  bool from = true;         // From
  bool from_top = false;    // FromTop
  bool repl_for = true;     // ReplFor
  bool from_sel = false;    // FromSel
  bool query_repl = true;   // QueryRepl
  bool for_prev = false;    // ForPrev
  bool for_next = true;     // ForNext

  bool operator==(const FindSection&) const = default;
};

// [Print]: the print dialog's last values.
struct PrintSection {
  std::string header;      // Header, Shift-JIS as typed
  std::string footer;      // Footer
  int header_align = 0;    // HeaderAlign: 0 left, 1 centre, 2 right
  int footer_align = 0;    // FooterAlign
  int left_margin = 20;    // LeftMargin (mm)
  int right_margin = 20;   // RightMargin
  int top_margin = 20;     // TopMargin
  int bottom_margin = 20;  // BottomMargin
  int column_count = 0;    // ColumnCount: 0 one column, 1 two, 2 three
  bool line_no = false;    // LineNo

  bool operator==(const PrintSection&) const = default;
};

// [Viewer] with the viewer's one key of [Viewew].
struct ViewerSection {
  bool show_tag = true;       // ShowTag
  int search = 0;             // Search
  int prev_h = 120;           // PrevH
  bool toolbar1 = true;       // Toolbar1
  bool toolbar2 = true;       // Toolbar2
  bool st_view = true;        // StView
  std::string last_open;      // LastOpen
  std::string last_command;   // [Viewew] LastCommad
  // Command name (the key of its shortcut) -> shortcut text, for every
  // command that has a key binding; an empty text is no shortcut.
  std::map<std::string, std::string> shortcuts = DefaultViewerShortcuts();

  static std::map<std::string, std::string> DefaultViewerShortcuts();
  bool operator==(const ViewerSection&) const = default;
};

// The viewer's layout as its components keep it: the placement of its two
// tool bars ([TBar] for tool bar 1, [ABar] for tool bar 2) and the tag
// list's columns ([ViewClmn.Columns], [ViewClmn.Sort], [Columns]).
struct ToolBarPlacement {
  int rev = 1;          // Rev
  bool visible = true;  // Visible
  int docked_to = 0;    // DockedTo: 0 top, 1 bottom, 2 left, 3 right
  int dock_row = 0;     // DockRow
  int dock_pos = 0;     // DockPos
  int float_left = 0;   // FloatLeft
  int float_top = 0;    // FloatTop
  bool operator==(const ToolBarPlacement&) const = default;
};

struct ViewerLayoutSection {
  ToolBarPlacement tbar;
  ToolBarPlacement abar{.dock_row = 1};  // a row of its own: both bars show whole in a narrow window
  std::string column_sizes;     // [ViewClmn.Columns] Sizes: pixel widths, comma-separated
  bool sort_ascending = true;   // [ViewClmn.Sort] Ascending
  int sort_col = 0;             // [ViewClmn.Sort] SortCol
  std::string column_order;     // [Columns] Order: column indexes in the order shown
  bool operator==(const ViewerLayoutSection&) const = default;
};

// The main window's tool bars, each in a section named after the bar
// (Toolbar1, Toolbar2, ToolBar3, Toolbar4, WordProg).
struct MainToolBarsSection {
  ToolBarPlacement toolbar1;  // the search path
  ToolBarPlacement toolbar2;  // the commands, on the path's row
  ToolBarPlacement toolbar3{.dock_row = 1};  // the word: a second row, shared with the masks
  ToolBarPlacement toolbar4{.dock_row = 1};  // the masks
  ToolBarPlacement word_prog;  // the progress bar: written, never brought back
  bool operator==(const MainToolBarsSection&) const = default;
};

// [Desktop]: the viewer's bounds and the main window's placement. The
// placement has no default of its own: a missing or damaged key leaves the
// window where it was designed to be.
struct DesktopSection {
  int view_top = 100;     // View.Top
  int view_left = 100;    // View.Left
  int view_height = 480;  // View.Height
  int view_width = 640;   // View.Width
  std::optional<int> main_flags;   // MainForm.Flags
  std::optional<int> main_show;    // MainForm.Show (3 maximised)
  std::optional<int> main_max_x;   // MainForm.MaxX
  std::optional<int> main_max_y;   // MainForm.MaxY
  std::optional<int> main_x;       // MainForm.X
  std::optional<int> main_y;       // MainForm.Y
  std::optional<int> main_x_size;  // MainForm.XSize: the right edge + 1, not a width
  std::optional<int> main_y_size;  // MainForm.YSize: the bottom edge + 1
  std::string main_tool_bars;      // MainForm.ToolBars: the window's own record of its bars

  bool operator==(const DesktopSection&) const = default;
};

// Every [Options] key (the schema's defaults for missing ones); EditorSw
// loses its double quotes; FilterName keeps its form (the short form of a
// path is the path itself here).
Options ReadOptions(const TIniGT& ini);

// Every archive mask of the formats the archive search can read.
std::vector<std::string> DefaultArchiveMasks();
// The options dialog's archive box (0 LZH, 1 ZIP, 2 ARJ, 3 RAR, 4 CAB,
// 5 TAR) that a mask belongs to, any letter case; -1 for a mask no box
// stands for (*.7Z, or one the user wrote).
int ArchiveBoxOf(const std::string& mask);
// The archive masks after the dialog: a box kept (unchanged, its format
// readable) keeps its masks as they were; any other box loses its masks
// and, when on, gains its defaults. Masks of no box stay as they were.
std::vector<std::string> RebuildArchiveMasks(const std::vector<std::string>& before, const std::array<bool, 6>& keep,
                                             const std::array<bool, 6>& on);
// ArcFiles: a single pattern is used as it is; empty or a list of several
// gives the list of the formats available.
std::vector<std::string> ArchiveMasksFrom(const std::string& arc_files);

// What the main window writes as it closes: Editor and EditorSw quoted, then every other
// [Options] key except ArcFiles and the three replace warnings, [Viewer]
// ShowTag and [MaskSet] Default. One file update.
void WriteSettingsAtClose(TIniGT& ini, const Options& options, bool show_tag, const std::string& mask_default);

// The code mode as the window shows it: 0, 1, 2 or 3; a missing or unknown
// value searches as 1. The run itself reads 2 as 0 (EffectiveCodeMode).
int NormalisedCodeMode(int code_cng_mode);

}  // namespace lorvek
