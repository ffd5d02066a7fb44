#include "sources/document_sources.h"

#include "sources/excel_biff.h"
#include "sources/office_text.h"
#include "sources/word_document.h"

namespace lorvek {

std::string CellLabel(int sheet, int row, int col) {
  return "[Page:" + std::to_string(sheet) + "(" + std::to_string(row) + ":" + std::to_string(col) + ")]";
}

namespace {

// One cell offered to the run (numeric cells only with XlsAlsoNum, which
// still count for the ordinal); false ends the workbook.
bool OfferCell(MatchTarget& target, const ExcelCell& cell, int32_t ordinal) {
  if (cell.numeric && !target.Options().xls_also_num) return !target.Stopped();
  const bool hit = target.MatchCell(cell.text, CellLabel(cell.sheet, cell.row, cell.col), ordinal);
  return !(hit && target.Options().find_onece) && !target.Stopped();
}

}  // namespace

void WordSource::Search(const FileRef& file, MatchTarget& target) {
  target.SetCodes(ecWord, 0);
  target.ProcessPendingEvents();
  bool recognised = false;
  try {
    recognised = ExtractWordText(
        file.path,
        [&](std::string_view text, int line_no) {
          const bool hit = target.MatchParagraph(text, line_no);
          if (hit && target.Options().find_onece) return false;
          return !target.Stopped();
        },
        [&] {
          // An RTF conversion shows its start before the first line.
          target.SetProgressText("0%");
          target.ProcessPendingEvents();
        });
  } catch (...) {
    // A document that cannot be read yields no hits and no log line.
    recognised = true;
  }
  target.SetProgressText("");
  if (!recognised) fallback_.Search(file, target);
}

void SpreadsheetSource::Search(const FileRef& file, MatchTarget& target) {
  target.SetCodes(ecExcel, 1);
  ++tried_;
  int32_t ordinal = 0;
  TXBiff reader;
  reader.OnReadCell = [&](const ExcelCell& cell) { return OfferCell(target, cell, ++ordinal); };
  reader.OnProgress = [&](int percent) {
    if (percent != 0) target.SetProgressText(std::to_string(percent) + "%");
    target.ProcessPendingEvents();
  };
  try {
    reader.Read(file.path);
  } catch (const EExcelError& e) {
    ++failed_;
    target.LogError("EXCEL変換エラー:", target.FailureName(file.path), e.what());
  } catch (const std::exception& e) {
    ++failed_;
    target.LogError("EXCEL変換エラー:", target.FailureName(file.path), e.what());
  }
  target.SetProgressText("");
}

void OfficeSource::Search(const FileRef& file, MatchTarget& target) {
  const OfficeFormat format = OfficeFormatOf(file.path);
  const bool find_once = target.Options().find_onece;
  target.ProcessPendingEvents();
  try {
    if (IsSheetFormat(format)) {
      target.SetCodes(ecExcel, 1);
      int32_t ordinal = 0;
      ReadOfficeCells(file.path, format, [&](const ExcelCell& cell) {
        if (++ordinal % 1024 == 0) target.ProcessPendingEvents();
        return OfferCell(target, cell, ordinal);
      });
    } else {
      target.SetCodes(ecWord, 0);
      int32_t line_no = 0;
      ReadOfficeLines(file.path, format, [&](std::string_view line) {
        ++line_no;
        if (line_no % 1024 == 0) target.ProcessPendingEvents();
        const bool hit = target.MatchParagraph(line, line_no);
        return !(hit && find_once) && !target.Stopped();
      });
    }
  } catch (const std::exception& e) {
    target.LogError("文書変換エラー:", target.FailureName(file.path), e.what());
  }
}

}  // namespace lorvek
