// An export written while the run goes: each record becomes its line in the
// target's temporary file as it is found, so no record is kept; Finish puts
// the file in place (without it the target stays as it was).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "results/export_formats.h"
#include "search/record_sink.h"
#include "text/file_bytes.h"

namespace lorvek {

class ExportSink : public RecordSink {
 public:
  enum class Kind { TagList, Csv, Html };
  // For Html: report is the report's word and time, highlight may be null.
  ExportSink(Kind kind, std::string path, CsvFormat csv = {}, HtmlReport report = {},
             PatternRef highlight = nullptr);

  void RunBegins() override;
  bool Take(std::unique_ptr<MatchRecord> record, MatchPos hit) override;
  void RunEnds() override;

  // Puts the export in place; raises EExportError (also for a failure met
  // while writing).
  void Finish();

 private:
  void Line(const std::string& text);

  Kind kind_;
  std::string path_;
  CsvFormat csv_;
  HtmlReport report_;
  PatternRef highlight_;
  std::unique_ptr<AtomicFileWriter> out_;
  std::optional<EExportError> failure_;
};

}  // namespace lorvek
