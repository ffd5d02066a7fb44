#include "sources/office_text.h"

#include <fstream>

#include "sources/text_source.h"

namespace lorvek {
namespace {

bool XmlPart(const std::string& name) {
  auto ends = [&](const char* tail) {
    const std::string t = tail;
    return name.size() >= t.size() && name.compare(name.size() - t.size(), t.size(), t) == 0;
  };
  return ends(".xml") || ends(".rels");
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

std::string OdfContent(const std::string& path, const PackageLimits& limits) {
  const PackageParts parts = ReadPackageParts(
      path, [](const std::string& name) { return name == "content.xml" || name == "META-INF/manifest.xml"; }, limits);
  auto manifest = parts.find("META-INF/manifest.xml");
  if (manifest != parts.end() && manifest->second.find("encryption-data") != std::string::npos)
    throw DocumentError("パスワードで保護されています");
  auto content = parts.find("content.xml");
  if (content == parts.end()) throw DocumentError("content.xmlがありません");
  return content->second;
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
      const PackageParts parts = ReadPackageParts(path, XmlPart, limits);
      if (format == OfficeFormat::WordXml) ReadWordXmlLines(parts, line);
      else ReadSlideXmlLines(parts, line);
      return;
    }
    case OfficeFormat::OdfText:
    case OfficeFormat::OdfSlides:
      ReadOdfLines(OdfContent(path, limits), line);
      return;
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
    ReadSheetXmlCells(ReadPackageParts(path, XmlPart, limits), cell);
  } else if (format == OfficeFormat::OdfSheet) {
    ReadOdfCells(OdfContent(path, limits), cell);
  } else {
    throw DocumentError("表計算の形式ではありません");
  }
}

}  // namespace lorvek
