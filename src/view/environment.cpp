#include "view/environment.h"

#include <cstdio>
#include <cstring>

#include "search/mask.h"
#include "text/cp932.h"

namespace lorvek {

namespace {

// The settings file is Shift-JIS: a path is written in code page 932 when it
// is UTF-8 that code page holds, else as the bytes it is; read back, a
// value that is not UTF-8 is such a Shift-JIS path.
std::string PathToIni(const std::string& path) {
  std::string sjis;
  if (!IsValidUtf8(path) || !ExternalToCp932Exact(path, &sjis)) return path;
  return sjis;
}

std::string PathFromIni(const std::string& value) { return IsValidUtf8(value) ? value : Cp932ToUtf8(value); }

}  // namespace

EnvTable ReadEnvTable(const TIniGT& ini, const std::string& program_folder) {
  EnvTable table;
  for (size_t i = 0; i < kEnvRows; ++i) {
    const std::string n = std::to_string(i + 1);
    table[i].file = PathFromIni(ini.ReadStr("Environ", "EnvFile" + n, ""));
    table[i].name = ini.ReadStr("Environ", "EnvName" + n, "");
    table[i].ext = ini.ReadStr("Environ", "FileExt" + n, "");
  }
  std::string folder = program_folder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  if (table[0].file.empty()) table[0].file = folder + "default.env";
  table[0].name = "Default";
  table[0].ext = "*.*";
  return table;
}

void WriteEnvTable(TIniGT& ini, const EnvTable& table) {
  IniUpdate update(ini);
  for (size_t i = 0; i < kEnvRows; ++i) {
    const std::string n = std::to_string(i + 1);
    ini.WriteStr("Environ", "EnvFile" + n, PathToIni(table[i].file));
    ini.WriteStr("Environ", "EnvName" + n, table[i].name);
    ini.WriteStr("Environ", "FileExt" + n, table[i].ext);
  }
}

size_t ChooseEnvironment(const EnvTable& table, const std::string& file_name) {
  const size_t slash = file_name.find_last_of('/');
  const std::string name = ExternalToCp932(slash == std::string::npos ? file_name : file_name.substr(slash + 1));
  for (size_t i = 1; i < kEnvRows; ++i) {
    if (table[i].name.empty() || table[i].ext.empty()) continue;
    TWildMatch masks;
    masks.SetMasks(SplitCommaText(ExternalToCp932(table[i].ext)));
    if (masks.Matches(name)) return i;
  }
  return 0;
}

std::vector<std::string> EnvDialogFilters(const EnvTable& table) {
  std::vector<std::string> out;
  out.push_back("(" + table[0].ext + ")|" + table[0].ext);
  for (size_t i = 1; i < kEnvRows; ++i) {
    if (table[i].name.empty()) continue;
    std::string masks = table[i].ext;
    for (char& c : masks)
      if (c == ',') c = ';';
    out.push_back(table[i].name + "(" + table[i].ext + ")|" + masks);
  }
  return out;
}

void DeleteEnvRow(EnvTable& table, size_t row) {
  if (row == 0 || row >= kEnvRows) return;
  for (size_t i = row; i + 1 < kEnvRows; ++i) table[i] = table[i + 1];
  table[kEnvRows - 1] = EnvRow{};
}

namespace {

constexpr char kMagic[] = "LVEP";  // the block's mark
constexpr uint8_t kVersion = 1;

void PutU32(std::string& b, uint32_t v) {
  for (int k = 0; k < 4; ++k) b.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}
bool GetU32(const std::string& b, size_t& at, uint32_t& v) {
  if (at + 4 > b.size()) return false;
  v = 0;
  for (int k = 0; k < 4; ++k) v |= static_cast<uint32_t>(static_cast<unsigned char>(b[at + k])) << (8 * k);
  at += 4;
  return true;
}

}  // namespace

constexpr uint32_t kNoKinsokuBit = 1u << 7;

std::string SerializeProperties(const EditorProperties& p) {
  std::string b(kMagic, 4);
  b.push_back(static_cast<char>(kVersion));
  PutU32(b, static_cast<uint32_t>(p.font_family.size()));
  b += p.font_family;
  for (uint32_t v : {static_cast<uint32_t>(p.font_size), p.text_color, p.back_color, p.found_color, p.line_number_color,
                     static_cast<uint32_t>(p.wrap_width), static_cast<uint32_t>(p.tab_width)})
    PutU32(b, v);
  uint32_t flags = 0;
  const bool bits[] = {p.line_numbers, p.word_wrap, p.show_tabs, p.show_line_ends, p.horizontal_scroll_bar,
                       p.vertical_scroll_bar, p.caret_line_visible};
  for (size_t k = 0; k < std::size(bits); ++k) flags |= bits[k] ? 1u << k : 0;
  // Stored as "rules off", so a block written before the switch existed
  // reads with the rules on.
  if (!p.kinsoku) flags |= kNoKinsokuBit;
  PutU32(b, flags);
  return b;
}

std::optional<EditorProperties> DeserializeProperties(const std::string& b) {
  if (b.size() < 5 || b.compare(0, 4, kMagic) != 0 || static_cast<uint8_t>(b[4]) != kVersion) return std::nullopt;
  size_t at = 5;
  uint32_t len;
  if (!GetU32(b, at, len) || len > 256 || at + len > b.size()) return std::nullopt;
  EditorProperties p;
  p.font_family = b.substr(at, len);
  at += len;
  uint32_t v[8];
  for (uint32_t& x : v)
    if (!GetU32(b, at, x)) return std::nullopt;
  p.font_size = static_cast<int>(std::min<uint32_t>(v[0], 200));
  p.text_color = v[1] & 0xFFFFFF;
  p.back_color = v[2] & 0xFFFFFF;
  p.found_color = v[3] & 0xFFFFFF;
  p.line_number_color = v[4] & 0xFFFFFF;
  p.wrap_width = static_cast<int>(std::min<uint32_t>(v[5], 10000));
  p.tab_width = static_cast<int>(std::min<uint32_t>(v[6], 64));
  bool* bits[] = {&p.line_numbers, &p.word_wrap, &p.show_tabs, &p.show_line_ends, &p.horizontal_scroll_bar,
                  &p.vertical_scroll_bar, &p.caret_line_visible};
  for (size_t k = 0; k < std::size(bits); ++k) *bits[k] = (v[7] >> k) & 1;
  p.kinsoku = !(v[7] & kNoKinsokuBit);
  return p;
}

void WriteEnvBlock(TIniGT& file, const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  IniUpdate update(file);
  file.EraseSection("TEditorEx");
  file.WriteInt("TEditorEx", "DataSize", static_cast<int>(bytes.size()));
  size_t line = 1;
  for (size_t at = 0;; at += 32, ++line) {
    const size_t n = std::min<size_t>(32, bytes.size() - at);
    std::string hex;
    for (size_t k = 0; k < n; ++k) {
      const unsigned char c = static_cast<unsigned char>(bytes[at + k]);
      hex += kHex[c >> 4];
      hex += kHex[c & 15];
    }
    char key[16];
    std::snprintf(key, sizeof key, "Data%.02zu", line);
    file.WriteStr("TEditorEx", key, hex);
    if (n < 32) break;  // the remainder line (empty when the length is a multiple of 32)
  }
}

std::optional<std::string> ReadEnvBlock(const TIniGT& file) {
  const int size = file.ReadInt("TEditorEx", "DataSize", 0);
  if (size <= 0) return std::nullopt;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string bytes;
  const size_t full = static_cast<size_t>(size) / 32;
  for (size_t line = 1; line <= full + 1; ++line) {
    char key[16];
    std::snprintf(key, sizeof key, "Data%.02zu", line);
    if (!file.HasKey("TEditorEx", key)) break;  // stops early at a missing line
    const std::string hex = file.ReadStr("TEditorEx", key, "");
    for (size_t k = 0; k + 1 < hex.size(); k += 2) {
      const int hi = nibble(hex[k]), lo = nibble(hex[k + 1]);
      if (hi < 0 || lo < 0) return std::nullopt;
      bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
  }
  if (bytes.empty()) return std::nullopt;
  if (bytes.size() > static_cast<size_t>(size)) bytes.resize(static_cast<size_t>(size));
  return bytes;
}

void WriteEnvFile(const std::string& path, const std::string& name, const std::string& ext, const EditorProperties& p) {
  TIniGT file(path);
  IniUpdate update(file);
  WriteEnvBlock(file, SerializeProperties(p));
  file.WriteStr("Environ", "Name", name);
  file.WriteStr("Environ", "Ext", ext);
}

std::optional<EditorProperties> ReadEnvFileProperties(const std::string& path) {
  TIniGT file(path, false);
  if (!file.FileExists()) return std::nullopt;
  const std::optional<std::string> block = ReadEnvBlock(file);
  if (!block) return std::nullopt;
  return DeserializeProperties(*block);
}

}  // namespace lorvek
