#include "sources/office_text.h"

#include <fstream>

#include "sources/text_source.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

bool StartsWith(const std::string& s, std::string_view head) { return s.compare(0, head.size(), head) == 0; }
bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
// An XML part directly in folder (not in a subfolder of it).
bool XmlIn(const std::string& name, std::string_view folder) {
  return StartsWith(name, folder) && EndsWith(name, ".xml") && name.find('/', folder.size()) == std::string::npos;
}

// Only the parts a reader walks are inflated: pictures, embedded objects,
// custom XML and the like are passed over, whatever they hold.
bool WantedPart(OfficeFormat format, const std::string& name) {
  if (name == "_rels/.rels") return true;
  switch (format) {
    case OfficeFormat::WordXml:
      return XmlIn(name, "word/") || name == "word/_rels/document.xml.rels";
    case OfficeFormat::SheetXml:
      return XmlIn(name, "xl/") || name == "xl/_rels/workbook.xml.rels" || XmlIn(name, "xl/worksheets/");
    case OfficeFormat::SlideXml:
      return name == "ppt/presentation.xml" || name == "ppt/_rels/presentation.xml.rels" ||
             XmlIn(name, "ppt/slides/") || (StartsWith(name, "ppt/slides/_rels/") && EndsWith(name, ".rels")) ||
             XmlIn(name, "ppt/notesSlides/");
    default:
      return false;
  }
}

// An Office Open XML file protected by a password is an OLE compound file
// holding the encrypted package, not a zip.
void RefuseCompoundFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[8] = {};
  in.read(head, sizeof head);
  if (in.gcount() == 8 && std::string_view(head, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
    throw DocumentError("パスワードで保護されています");
}

// True when the manifest has an encryption-data element (not merely the
// words in a file name).
bool ManifestEncrypts(const std::string& manifest) {
  for (size_t at = manifest.find("encryption-data"); at != std::string::npos;
       at = manifest.find("encryption-data", at + 1)) {
    size_t start = at;
    while (start > 0 && at - start < 64 && manifest[start - 1] != '<' && manifest[start - 1] != ' ' &&
           manifest[start - 1] != '"' && manifest[start - 1] != '/' && manifest[start - 1] != '>')
      --start;
    if (start > 0 && manifest[start - 1] == '<') return true;
  }
  return false;
}

PackageParts OdfParts(const std::string& path, const PackageLimits& limits) {
  PackageParts parts = ReadPackageParts(
      path,
      [](const std::string& name) {
        return name == "content.xml" || name == "styles.xml" || name == "META-INF/manifest.xml";
      },
      limits);
  auto manifest = parts.find("META-INF/manifest.xml");
  if (manifest != parts.end() && ManifestEncrypts(manifest->second)) throw DocumentError("パスワードで保護されています");
  if (parts.find("content.xml") == parts.end()) throw DocumentError("content.xmlがありません");
  return parts;
}

}  // namespace

OfficeFormat OfficeFormatOf(const std::string& path) { return OfficeFormatOfExtension(UpperExtension(path)); }

OfficeFormat OfficeFormatOfExtension(const std::string& ext) {
  static const std::pair<const char*, OfficeFormat> kTable[] = {
      {".DOCX", OfficeFormat::WordXml},  {".DOCM", OfficeFormat::WordXml},   {".DOTX", OfficeFormat::WordXml},
      {".XLSX", OfficeFormat::SheetXml}, {".XLSM", OfficeFormat::SheetXml},  {".XLTX", OfficeFormat::SheetXml},
      {".PPTX", OfficeFormat::SlideXml}, {".PPTM", OfficeFormat::SlideXml},  {".PPSX", OfficeFormat::SlideXml},
      {".ODT", OfficeFormat::OdfText},   {".ODS", OfficeFormat::OdfSheet},   {".ODP", OfficeFormat::OdfSlides},
      {".PDF", OfficeFormat::Pdf},
  };
  for (const auto& [e, f] : kTable)
    if (ext == e) return f;
  return OfficeFormat::None;
}

void ReadOfficeLines(const std::string& path, OfficeFormat format, const OfficeLineFn& line,
                     const PackageLimits& limits) {
  switch (format) {
    case OfficeFormat::WordXml:
    case OfficeFormat::SlideXml: {
      RefuseCompoundFile(path);
      const PackageParts parts =
          ReadPackageParts(path, [format](const std::string& name) { return WantedPart(format, name); }, limits);
      if (format == OfficeFormat::WordXml) ReadWordXmlLines(parts, line);
      else ReadSlideXmlLines(parts, line);
      return;
    }
    case OfficeFormat::OdfText:
    case OfficeFormat::OdfSlides: {
      const PackageParts parts = OdfParts(path, limits);
      // A text's master pages hold its headers and footers; a
      // presentation's hold the slide masters' placeholders.
      auto styles = parts.find("styles.xml");
      const bool headers = format == OfficeFormat::OdfText && styles != parts.end();
      ReadOdfLines(parts.at("content.xml"), line, headers ? std::string_view(styles->second) : std::string_view());
      return;
    }
    case OfficeFormat::Pdf:
      ReadPdfLines(path, line);
      return;
    default:
      throw DocumentError("文書の形式ではありません");
  }
}

void ReadOfficeCells(const std::string& path, OfficeFormat format, const OfficeCellFn& cell,
                     const PackageLimits& limits) {
  if (format == OfficeFormat::SheetXml) {
    RefuseCompoundFile(path);
    ReadSheetXmlCells(ReadPackageParts(
                          path, [](const std::string& name) { return WantedPart(OfficeFormat::SheetXml, name); }, limits),
                      cell);
  } else if (format == OfficeFormat::OdfSheet) {
    ReadOdfCells(OdfParts(path, limits).at("content.xml"), cell);
  } else {
    throw DocumentError("表計算の形式ではありません");
  }
}

}  // namespace lorvek
