// Every section and key of Lorvek.ini with its type, default and the moment
// it is written: the one place that lists them.
#pragma once

#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "settings/ini_file.h"
#include "settings/options.h"

namespace lorvek {

enum class ValueKind { Bool, Int, Str };

enum class WriteMoment {
  MainWindowClose,   // when the main window closes (WriteSettingsAtClose)
  OptionsDialogOk,   // ArcFiles, [MaskSet]
  ReplaceDialog,     // the three "do not warn again" switches
  ViewerClose,       // the viewer's own keys
  DialogClose,       // [Find], [Print]
};

// The member of Options that an [Options] key is read into and written from.
class OptionMember {
 public:
  OptionMember() = default;
  OptionMember(bool SearchOptions::*m) : m_(m) {}
  OptionMember(int SearchOptions::*m) : m_(m) {}
  OptionMember(bool Options::*m) : m_(m) {}
  OptionMember(int Options::*m) : m_(m) {}
  OptionMember(std::string Options::*m) : m_(m) {}
  OptionMember(std::string SearchOptions::*m) : m_(m) {}

  explicit operator bool() const { return m_.index() != 0; }
  bool operator==(const OptionMember&) const = default;
  // The kind of value the member holds.
  ValueKind Kind() const;
  bool& Bool(Options& o) const;
  int& Int(Options& o) const;
  std::string& Str(Options& o) const;
  // The value as the file holds it ("1"/"0" for switches).
  std::string Text(const Options& o) const;

 private:
  std::variant<std::monostate, bool SearchOptions::*, int SearchOptions::*, bool Options::*, int Options::*,
               std::string Options::*, std::string SearchOptions::*>
      m_;
};

// A key of a viewer command's shortcut: read into and written from
// ViewerSection::shortcuts under the key's own name.
struct ViewerShortcutKey {
  bool operator==(const ViewerShortcutKey&) const = default;
};

// A key of a tool bar's placement: which bar (of the viewer's layout or of
// the main window), and the member of its placement.
struct ToolBarMember {
  std::variant<ToolBarPlacement ViewerLayoutSection::*, ToolBarPlacement MainToolBarsSection::*> bar;
  std::variant<int ToolBarPlacement::*, bool ToolBarPlacement::*> field;
  bool operator==(const ToolBarMember&) const = default;
};

// The member of a section's struct (other than [Options]) that a key is read
// into and written from.
using SectionMember =
    std::variant<std::monostate, bool FindSection::*, std::string PrintSection::*, int PrintSection::*,
                 bool PrintSection::*, bool ViewerSection::*, int ViewerSection::*, std::string ViewerSection::*,
                 ViewerShortcutKey, int DesktopSection::*, std::optional<int> DesktopSection::*,
                 std::string DesktopSection::*, ToolBarMember, bool ViewerLayoutSection::*,
                 int ViewerLayoutSection::*, std::string ViewerLayoutSection::*>;

struct SettingKey {
  const char* section;
  const char* key;
  ValueKind kind;
  const char* default_value;  // as it would stand in the file ("" where the default is the window's current value)
  WriteMoment moment;
  OptionMember member = {};   // [Options] keys: where the value lives
  bool quoted = false;        // written enclosed in double quotes
  SectionMember field = {};   // keys of the other sections: where the value lives
};

const std::vector<SettingKey>& SettingKeys();
// The key's row, or nullptr (names compared without regard to case).
const SettingKey* FindSettingKey(std::string_view section, std::string_view key);

// Typed reads with the schema's default (an unknown key reads as empty / 0).
bool ReadBoolSetting(const TIniGT& ini, std::string_view section, std::string_view key);
int ReadIntSetting(const TIniGT& ini, std::string_view section, std::string_view key);
std::string ReadStrSetting(const TIniGT& ini, std::string_view section, std::string_view key);
// A row's value with the row's own default, the row in hand (no search of
// the table).
int ReadIntRow(const TIniGT& ini, const SettingKey& k);
std::string ReadStrRow(const TIniGT& ini, const SettingKey& k);
// One key of the viewer's section by its member, with the table's default,
// without reading the rest of the section.
bool ReadMember(const TIniGT& ini, bool ViewerSection::*member);
std::string ReadMember(const TIniGT& ini, std::string ViewerSection::*member);
// Writes a value of the schema (quoted where the schema says so).
void WriteSetting(TIniGT& ini, const SettingKey& key, const std::string& value);

// The row of a member, or nullptr.
const SettingKey* SettingKeyOf(const OptionMember& member);
const SettingKey* SettingKeyOf(const SectionMember& member);

// Writes the named [Options] keys of the values, in the table's order, as
// one file update.
void WriteOptionKeys(TIniGT& ini, const Options& options, std::initializer_list<OptionMember> keys);

// A section read as a whole, the table's default for each missing or
// damaged key. S is FindSection, PrintSection, ViewerSection,
// ViewerLayoutSection, MainToolBarsSection or DesktopSection.
template <class S>
S ReadSection(const TIniGT& ini);
// Writes every key of the section (a key without a value, an unset
// placement field, is left as it stands), as one file update.
template <class S>
void WriteSection(TIniGT& ini, const S& values);
// Writes only the named keys, in the table's order, as one file update.
template <class S>
void WriteSection(TIniGT& ini, const S& values, std::initializer_list<SectionMember> keys);

// The commands that have a key binding, in the table's order.
std::vector<std::string> ViewerShortcutNames();
// Writes the given shortcuts under their keys; names that are no command
// with a key binding are not written.
void WriteViewerShortcuts(TIniGT& ini, const std::map<std::string, std::string>& shortcuts);

}  // namespace lorvek
