// File environments: named sets of the viewer's display properties, each in
// a file of its own and chosen by the file name's masks. The table lives in
// the settings' [Environ] section; an environment file holds its name, its
// masks and the properties as a hexadecimal block.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "settings/ini_file.h"

namespace lorvek {

struct EnvRow {
  std::string file;  // EnvFile: the environment file (as the file system names it)
  std::string name;  // EnvName (Shift-JIS): empty for a free row
  std::string ext;   // FileExt (Shift-JIS): comma-separated masks
  bool operator==(const EnvRow&) const = default;
};

constexpr size_t kEnvRows = 10;
using EnvTable = std::array<EnvRow, kEnvRows>;

// The table from [Environ]; row 1 is always "Default" for every file, with
// its file in the program folder (default.env) unless the settings name one.
EnvTable ReadEnvTable(const TIniGT& ini, const std::string& program_folder);
void WriteEnvTable(TIniGT& ini, const EnvTable& table);

// The row (0-based) whose masks take the file name: rows 2 to 10 in order,
// else row 1.
size_t ChooseEnvironment(const EnvTable& table, const std::string& file_name);

// The open/save dialogs' filter list: "(masks)|masks" for row 1, then
// "name(masks)|masks" for every named row with ";" between its masks.
std::vector<std::string> EnvDialogFilters(const EnvTable& table);

// Removes a row (2 to 10), moving the rows below it up.
void DeleteEnvRow(EnvTable& table, size_t row);

// The display properties an environment carries.
struct EditorProperties {
  std::string font_family = "IPAGothic";
  int font_size = 11;
  unsigned text_color = 0x000000, back_color = 0xFFFFFF, found_color = 0xFFFF00, line_number_color = 0x808080;
  bool line_numbers = true;
  bool word_wrap = false;
  int wrap_width = 80;     // columns, when wrapping
  int tab_width = 8;
  bool show_tabs = false;
  bool show_line_ends = false;
  bool horizontal_scroll_bar = true, vertical_scroll_bar = true;
  bool caret_line_visible = false;
  // Japanese line-breaking rules when reformatting to the wrap width.
  bool kinsoku = true;
  bool operator==(const EditorProperties&) const = default;
};

// A versioned byte serialisation of the properties (the block of the
// environment file), and back; nullopt for a block that is not one.
std::string SerializeProperties(const EditorProperties& p);
std::optional<EditorProperties> DeserializeProperties(const std::string& bytes);

// The [TEditorEx] block of an environment file: DataSize and Data01... with
// 32 bytes a line as 64 upper-case hexadecimal digits; the section is
// rewritten whole. Reading gives nullopt for a missing or empty block.
void WriteEnvBlock(TIniGT& file, const std::string& bytes);
std::optional<std::string> ReadEnvBlock(const TIniGT& file);

// An environment file whole: [Environ] Name and Ext, and the properties.
void WriteEnvFile(const std::string& path, const std::string& name, const std::string& ext, const EditorProperties& p);
std::optional<EditorProperties> ReadEnvFileProperties(const std::string& path);

}  // namespace lorvek
