// The one table that says which source reads a selected file, and the
// sources themselves: the search run asks it for a file's source, and the
// read-ahead asks it whether a file may be read ahead.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "sources/document_sources.h"
#include "sources/filter_source.h"
#include "sources/plain_text_source.h"
#include "sources/text_source.h"

namespace lorvek {

enum class SourceKind { Filter, WordDocument, Spreadsheet, OfficeDocument, PlainText, BinaryFile };

// The kind of a selected file, by its name and the switches. A plain text
// file that probes as binary goes on to BinaryFile.
SourceKind ChooseSource(const std::string& path, bool filter_match, const SearchOptions& options);

class SourceTable {
 public:
  // work_file: ensures the work folder and gives the filter's work file.
  explicit SourceTable(std::function<std::string()> work_file);

  // The source that reads the file.
  TextSource& For(const std::string& path, bool filter_match, const SearchOptions& options);
  // Whether the file is read as plain text, by the source that may read on
  // any thread (so it may be read ahead).
  static bool ReadAsPlainText(const std::string& path, bool filter_match, const SearchOptions& options) {
    return ChooseSource(path, filter_match, options) == SourceKind::PlainText;
  }
  TextSource& PlainText() { return plain_; }

  // Lines longer than this many bytes are searched window by window (tests
  // lower it so that they need not write gigabytes).
  void SetLongLineBytes(size_t bytes);

  // The workbooks of the run so far, and how many of them failed.
  int32_t SpreadsheetsTried() const { return spreadsheet_.Tried(); }
  int32_t SpreadsheetsFailed() const { return spreadsheet_.Failed(); }
  void ResetCounts() { spreadsheet_.ResetCounts(); }

 private:
  BinaryFileSource binary_;
  PlainTextSource plain_{binary_, false};
  WordSource word_{plain_};
  FilterSource filter_;
  SpreadsheetSource spreadsheet_;
  OfficeSource office_;
};

}  // namespace lorvek
