// The command lines that open a hit in an external editor, and the desktop
// application associated with a file type. Every piece of data (paths, the
// search word) is quoted for /bin/sh; the user's own switches go in as
// written.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lorvek {

struct EditorSettings {
  std::string editor;     // Editor: the program
  std::string editor_sw;  // EditorSw: the line switch
  int editor_sw_s = 0;    // EditorSwS: 1 puts the path first
  int editor_is = 7;      // EditorIs: 0 TEAD, 1 kmthNotePad, else the generic template
  bool ed_add_mark = true;
  bool ed_sendkeyw = false, ed_send_col = false, ed_sendkeyw_n = false;
  std::string ed_keyw_sw, ed_col_sw, ed_keyw_n_sw;
};

struct EditorHit {
  std::string path;
  int line = 1;                 // 1-based
  int col = 1;                  // 1-based start of the match
  int len = 0;                  // the match's length
  std::string word;             // the search word (UTF-8)
  std::vector<int> mark_lines;  // TEAD marks: the hits of the same file from the selected one on
};

// The editor's arguments by its template (shell-ready).
std::string EditorArguments(const EditorSettings& s, const EditorHit& hit);
// Why the editor program cannot be started (an errno value: missing, a
// folder, not executable), or 0 when it can.
int EditorStartError(const std::string& editor);
// The whole command line for /bin/sh -c: the quoted program and the arguments.
std::string EditorCommandLine(const EditorSettings& s, const EditorHit& hit);

// The desktop entry (a .desktop file) that the user's MIME associations
// name as the default for mime, in the order xdg-mime follows:
// mimeapps.list in the config folders, then in the data folders'
// applications folders, defaults.list, and mimeinfo.cache.
std::optional<std::string> DefaultDesktopEntry(const std::string& mime);
// The entry's Exec line cut at its first "%" (the field codes and what
// follows go), without trailing blanks; nullopt when it has none.
std::optional<std::string> DesktopEntryCommand(const std::string& desktop_file);

}  // namespace lorvek
