// Every section and key of Lorvek.ini with its type, default and the moment
// it is written: the one place that lists them.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "settings/ini_file.h"
#include "settings/options.h"

namespace lorvek {

enum class ValueKind { Bool, Int, Str };

enum class WriteMoment {
  MainWindowClose,   // with the close-time write list
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

struct SettingKey {
  const char* section;
  const char* key;
  ValueKind kind;
  const char* default_value;  // as it would stand in the file
  WriteMoment moment;
  OptionMember member = {};   // [Options] keys: where the value lives
  bool quoted = false;        // written enclosed in double quotes
};

const std::vector<SettingKey>& SettingKeys();
// The key's row, or nullptr (names compared without regard to case).
const SettingKey* FindSettingKey(std::string_view section, std::string_view key);

// Typed reads with the schema's default (an unknown key reads as empty / 0).
bool ReadBoolSetting(const TIniGT& ini, std::string_view section, std::string_view key);
int ReadIntSetting(const TIniGT& ini, std::string_view section, std::string_view key);
std::string ReadStrSetting(const TIniGT& ini, std::string_view section, std::string_view key);
// Writes a value of the schema (quoted where the schema says so).
void WriteSetting(TIniGT& ini, const SettingKey& key, const std::string& value);

}  // namespace lorvek
