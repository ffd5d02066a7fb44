// The [Options] section as one typed value: the search switches a run reads
// (SearchOptions) and everything else the window and the later dialogs use.
// The schema table ties each key to its member, so reading, defaults and
// writing are driven by the table and code never names a key as text.
#pragma once

#include <array>
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

// The close-time write list: Editor and EditorSw quoted, then every other
// [Options] key except ArcFiles and the three replace warnings, [Viewer]
// ShowTag and [MaskSet] Default. One file update.
void WriteSettingsAtClose(TIniGT& ini, const Options& options, bool show_tag, const std::string& mask_default);

// The code mode as the window shows it: 0, 1, 2 or 3; a missing or unknown
// value searches as 1. The run itself reads 2 as 0 (EffectiveCodeMode).
int NormalisedCodeMode(int code_cng_mode);

}  // namespace lorvek
