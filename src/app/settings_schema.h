// Every section and key of Lorvek.ini with its type, default and the moment
// it is written: the one place that lists them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/ini_file.h"

namespace lorvek {

enum class ValueKind { Bool, Int, Str };

enum class WriteMoment {
  MainWindowClose,   // with the close-time write list
  OptionsDialogOk,   // ArcFiles, [MaskSet]
  ReplaceDialog,     // the three "do not warn again" switches
  ViewerClose,       // the viewer's own keys
  DialogClose,       // [Find], [Print]
};

struct SettingKey {
  const char* section;
  const char* key;
  ValueKind kind;
  const char* default_value;  // as it would stand in the file
  WriteMoment moment;
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
