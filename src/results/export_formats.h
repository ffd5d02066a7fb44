// The hit list in its export forms: tag lines, CSV and the HTML report. Every
// form covers the whole store in its current order; output is Shift-JIS with
// CR LF line ends.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <stdexcept>
#include <system_error>
#include <string>
#include <vector>

#include "search/regex/regular_expression.h"
#include "search/result_store.h"

namespace lorvek {

class EExportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The path an export names for a record: an archive member "@arc@member"
// becomes "arc/member".
std::string ExportPath(const RecordView& r);
// Directory part and file name part of an export path ("/" keeps the root).
std::string FolderPart(const std::string& path);

// "\"path\" 12: text" (the path in Shift-JIS when it is valid UTF-8).
std::string TagLine(const RecordView& r);
std::vector<std::string> TagLines(const ResultStore& store);

struct CsvFormat {
  int terms = 0;    // CSVTerms: 0 ",", 1 TAB, other: nothing
  int quates = 0;   // CSVQuates: 0 none, 1 ", 2 ', other: none
};
std::string CsvLine(const RecordView& r, const CsvFormat& format);
std::vector<std::string> CsvLines(const ResultStore& store, const CsvFormat& format);

struct HtmlReport {
  std::string search_word;     // the word box's text (Shift-JIS)
  std::string start_time_text; // the run's start time as the list shows dates (UTF-8)
};
// The report's parts: the lines before the rows, one row, the last line.
std::vector<std::string> HtmlHead(const HtmlReport& report);
std::string HtmlRow(const RecordView& r, const CompiledPattern* highlight);
std::string HtmlTail();
// highlight: the word box's text compiled as a pattern (nullptr marks nothing).
std::vector<std::string> HtmlLines(const ResultStore& store, const HtmlReport& report,
                                   const CompiledPattern* highlight);
// The same with the search word itself as the highlight (an invalid word
// marks nothing).
std::vector<std::string> HtmlLines(const ResultStore& store, const HtmlReport& report, bool fuzzy);

// Lines each followed by CR LF, written through a temporary file renamed into
// place. Raises EExportError (message in UTF-8) with "ﾌｧｲﾙ %s を作成できません"
// or "ｽﾄﾘｰﾑへの書き込みｴﾗｰ".
void WriteLines(const std::string& path, const std::vector<std::string>& lines);
// The same for head, one line per row of the store and tail, written as they
// are made: a million rows never stand in memory as text twice over.
void WriteStoreLines(const std::string& path, const ResultStore& store,
                     const std::function<std::string(const RecordView&)>& row,
                     const std::vector<std::string>& head = {}, const std::vector<std::string>& tail = {});
// The three exports of the store to a file, as TagLines, CsvLines and
// HtmlLines (with the search word as the highlight) would write them.
void WriteTagList(const std::string& path, const ResultStore& store);
void WriteCsv(const std::string& path, const ResultStore& store, const CsvFormat& format);
void WriteHtmlReport(const std::string& path, const ResultStore& store, const HtmlReport& report, bool fuzzy);
// The user's words for a failure of the writer of path.
EExportError ExportErrorOf(const std::string& path, const std::system_error& e);
std::string JoinCrLf(const std::vector<std::string>& lines);

// A FILETIME as the list shows it: locale short date, a blank and long time,
// the time left out at midnight; 0 is 1899-12-30.
std::string FormatFileTime(int64_t file_time);
std::string FormatLocalTime(std::time_t t);

}  // namespace lorvek
