// The [Options] values the main window and lorvek-grep read at start-up,
// how they are applied, and the close-time write list.
#pragma once

#include <string>
#include <vector>

#include "app/ini_file.h"
#include "search/search_options.h"

namespace lorvek {

class SearchRun;

struct OptionsSettings {
  // Every [Options] key of the schema by name, as read (Shift-JIS text).
  std::vector<std::pair<std::string, std::string>> values;

  std::string Str(const std::string& key) const;
  int Int(const std::string& key) const;
  bool Bool(const std::string& key) const { return Int(key) != 0; }
  void Set(const std::string& key, const std::string& value);
  void SetInt(const std::string& key, int value) { Set(key, std::to_string(value)); }

  // The search switches among them.
  SearchOptions ToSearchOptions() const;
  void FromSearchOptions(const SearchOptions& o);
};

// Reads every [Options] key (with the schema's defaults), then: EditorSw
// loses its double quotes; FilterName keeps its form (the short form of a
// path is the path itself here).
OptionsSettings ReadOptions(const TIniGT& ini);

// Every archive mask of the formats the archive search can read.
std::vector<std::string> DefaultArchiveMasks();
// ArcFiles: a single pattern is used as it is; empty or a list of several
// gives the list of the formats available.
std::vector<std::string> ArchiveMasksFrom(const std::string& arc_files);

// Applies the values to a search run in the order of the start-up algorithm:
// switches (fuzzy to both matchers), filter masks from FilterExt, the mask
// mode, the archive masks.
void ApplyStartupOptions(const OptionsSettings& options, SearchRun& run);

// The close-time write list: Editor and EditorSw quoted, then every other
// [Options] key except ArcFiles and the three replace warnings, [Viewer]
// ShowTag and [MaskSet] Default. One file update.
void WriteSettingsAtClose(TIniGT& ini, const OptionsSettings& options, bool show_tag,
                          const std::string& mask_default);

}  // namespace lorvek
