// The text of today's office documents: Office Open XML (.docx, .xlsx,
// .pptx), OpenDocument (.odt, .ods, .odp) and PDF, in the model of the Word
// and Excel readers: word-processor, presentation and PDF text as lines
// (paragraphs or text lines), spreadsheets as cells.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "sources/excel_biff.h"
#include "sources/package_parts.h"
#include "sources/xml_walk.h"

namespace lorvek {

enum class OfficeFormat { None, WordXml, SheetXml, SlideXml, OdfText, OdfSheet, OdfSlides, Pdf };

// The format by the file name's extension, or by the upper-cased
// extension itself (".DOCX").
OfficeFormat OfficeFormatOf(const std::string& path);
OfficeFormat OfficeFormatOfExtension(const std::string& upper_extension);
inline bool IsSheetFormat(OfficeFormat f) { return f == OfficeFormat::SheetXml || f == OfficeFormat::OdfSheet; }

// A line in Shift-JIS; false stops the document.
using OfficeLineFn = std::function<bool(std::string_view sjis)>;
// A cell (text in Shift-JIS); false stops the workbook.
using OfficeCellFn = std::function<bool(const ExcelCell& cell)>;

// Raise DocumentError when the document cannot be read (damaged, protected
// by a password, past a bound).
void ReadOfficeLines(const std::string& path, OfficeFormat format, const OfficeLineFn& line,
                     const PackageLimits& limits = {});
void ReadOfficeCells(const std::string& path, OfficeFormat format, const OfficeCellFn& cell,
                     const PackageLimits& limits = {});

// The parts of each kind, for the readers above and for tests.
void ReadWordXmlLines(const PackageParts& parts, const OfficeLineFn& line);
void ReadSlideXmlLines(const PackageParts& parts, const OfficeLineFn& line);
void ReadSheetXmlCells(const PackageParts& parts, const OfficeCellFn& cell);
// content.xml of an OpenDocument file (and styles.xml, whose master pages
// hold the headers and footers).
void ReadOdfLines(std::string_view content, const OfficeLineFn& line, std::string_view styles = {});
void ReadOdfCells(std::string_view content, const OfficeCellFn& cell);
void ReadPdfLines(const std::string& path, const OfficeLineFn& line);

// Bounds that keep a small hostile file from producing gigabytes of text:
// cells an OpenDocument sheet may produce by repetition, the text of one
// line or cell, the text of one document, and the size of a sheet (rows
// and columns past it are not cells of any office suite).
inline constexpr long kMaxRepeatedCells = 5'000'000;
inline constexpr size_t kMaxLineText = size_t{16} << 20;
inline constexpr uint64_t kMaxDocumentText = uint64_t{256} << 20;
inline constexpr long kMaxSheetRows = 1'048'576;
inline constexpr long kMaxSheetColumns = 16'384;

}  // namespace lorvek
