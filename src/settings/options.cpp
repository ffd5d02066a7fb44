#include "settings/options.h"

#include <algorithm>

#include "settings/settings_schema.h"
#include "search/mask.h"
#include "sources/archive_reader.h"

namespace lorvek {

Options ReadOptions(const TIniGT& ini) {
  Options o;
  for (const SettingKey& k : SettingKeys()) {
    if (!k.member) continue;
    if (k.kind == ValueKind::Str) k.member.Str(o) = ReadStrRow(ini, k);
    else if (k.kind == ValueKind::Bool) k.member.Bool(o) = ReadIntRow(ini, k) != 0;
    else k.member.Int(o) = ReadIntRow(ini, k);
  }
  o.editor_sw.erase(std::remove(o.editor_sw.begin(), o.editor_sw.end(), '"'), o.editor_sw.end());
  return o;
}

namespace {

struct ArchiveMaskRow {
  int box;  // the options dialog's box that stands for it, -1 for none
  ArchiveFormat format;
  const char* mask;
};

// Every default archive mask, in the order of the settings file: the
// dialog's six formats first, then the names the reader knows beyond them
// (Java archives and extended ZIP are ZIP; the short and long names of
// compressed tars; cpio; 7-Zip).
const ArchiveMaskRow kArchiveMasks[] = {
    {0, ArchiveFormat::Lha, "*.LZH"},   {1, ArchiveFormat::Zip, "*.ZIP"},       {2, ArchiveFormat::Arj, "*.ARJ"},
    {3, ArchiveFormat::Rar, "*.RAR"},   {4, ArchiveFormat::Cab, "*.CAB"},       {5, ArchiveFormat::Tar, "*.TAR"},
    {5, ArchiveFormat::Tar, "*.TZ"},    {5, ArchiveFormat::Tar, "*.TGZ"},       {5, ArchiveFormat::Tar, "*.TAZ"},
    {5, ArchiveFormat::Tar, "*.GZ"},    {5, ArchiveFormat::Tar, "*.Z"},         {5, ArchiveFormat::Tar, "*.BZ2"},
    {1, ArchiveFormat::Zip, "*.JAR"},   {-1, ArchiveFormat::SevenZip, "*.7Z"},  {1, ArchiveFormat::Zip, "*.ZIPX"},
    {1, ArchiveFormat::Zip, "*.WAR"},   {1, ArchiveFormat::Zip, "*.EAR"},       {5, ArchiveFormat::Tar, "*.TBZ"},
    {5, ArchiveFormat::Tar, "*.TBZ2"},  {5, ArchiveFormat::Tar, "*.TXZ"},       {5, ArchiveFormat::Tar, "*.TAR.XZ"},
    {5, ArchiveFormat::Tar, "*.TLZ"},   {5, ArchiveFormat::Tar, "*.TAR.LZ"},    {5, ArchiveFormat::Tar, "*.TAR.LZMA"},
    {5, ArchiveFormat::Tar, "*.TZST"},  {5, ArchiveFormat::Tar, "*.TAR.ZST"},   {5, ArchiveFormat::Tar, "*.CPIO"},
};

std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

}  // namespace

std::vector<std::string> DefaultArchiveMasks() {
  std::vector<std::string> masks;
  for (const ArchiveMaskRow& row : kArchiveMasks)
    if (ArchiveFormatAvailable(row.format)) masks.push_back(row.mask);
  return masks;
}

int ArchiveBoxOf(const std::string& mask) {
  const std::string upper = UpperAscii(mask);
  for (const ArchiveMaskRow& row : kArchiveMasks)
    if (upper == row.mask) return row.box;
  return -1;
}

std::vector<std::string> RebuildArchiveMasks(const std::vector<std::string>& before, const std::array<bool, 6>& keep,
                                             const std::array<bool, 6>& on) {
  std::vector<std::string> masks;
  for (const std::string& m : before) {
    const int box = ArchiveBoxOf(m);
    if (box < 0 || keep[static_cast<size_t>(box)]) masks.push_back(m);
  }
  // Boxes turned on, in the order the settings file lists them.
  for (int box : {0, 1, 2, 4, 3, 5}) {
    if (keep[static_cast<size_t>(box)] || !on[static_cast<size_t>(box)]) continue;
    for (const ArchiveMaskRow& row : kArchiveMasks)
      if (row.box == box && std::find(masks.begin(), masks.end(), row.mask) == masks.end() && ArchiveFormatAvailable(row.format))
        masks.push_back(row.mask);
  }
  return masks;
}

std::vector<std::string> ArchiveMasksFrom(const std::string& arc_files) {
  if (!arc_files.empty() && arc_files.find(',') == std::string::npos) return {arc_files};
  return DefaultArchiveMasks();
}

void WriteSettingsAtClose(TIniGT& ini, const Options& options, bool show_tag, const std::string& mask_default) {
  IniUpdate update(ini);
  for (const SettingKey& k : SettingKeys())
    if (k.member && k.moment == WriteMoment::MainWindowClose) WriteSetting(ini, k, k.member.Text(options));
  ViewerSection viewer;
  viewer.show_tag = show_tag;
  WriteSection(ini, viewer, {&ViewerSection::show_tag});
  if (const SettingKey* k = FindSettingKey("MaskSet", "Default")) WriteSetting(ini, *k, mask_default);
}

int NormalisedCodeMode(int code_cng_mode) {
  return code_cng_mode >= 0 && code_cng_mode <= 3 ? code_cng_mode : 1;
}

}  // namespace lorvek
