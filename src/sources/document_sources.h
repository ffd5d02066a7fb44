// The document readers as sources: Word documents and RTF files paragraph
// by paragraph, Excel workbooks cell by cell.
#pragma once

#include <cstdint>

#include "sources/text_source.h"
#include "text/text_format.h"

namespace lorvek {

// A .doc or .rtf file: its paragraphs; a file that is neither goes to
// fallback (the plain text source). Failures end the file quietly.
class WordSource : public TextSource {
 public:
  explicit WordSource(TextSource& fallback) : fallback_(fallback) {}
  void Search(const FileRef& file, MatchTarget& target) override;

 private:
  TextSource& fallback_;
};

// An .xls workbook: every cell as "text [Page:sheet(row:col)]", numbered in
// reading order. A workbook that cannot be read is logged as an error.
class SpreadsheetSource : public TextSource {
 public:
  void Search(const FileRef& file, MatchTarget& target) override;
  int32_t Tried() const { return tried_; }
  int32_t Failed() const { return failed_; }
  void ResetCounts() { tried_ = failed_ = 0; }

 private:
  int32_t tried_ = 0;
  int32_t failed_ = 0;
};

// Today's office documents (.docx, .xlsx, .pptx, OpenDocument, PDF): text
// as Word text, line by line, spreadsheets as Excel cells. A document that
// cannot be read is logged ("文書変換エラー:") and the run goes on.
class OfficeSource : public TextSource {
 public:
  void Search(const FileRef& file, MatchTarget& target) override;
};

// The position marker of a cell: "[Page:1(0:0)]".
std::string CellLabel(int sheet, int row, int col);

}  // namespace lorvek
