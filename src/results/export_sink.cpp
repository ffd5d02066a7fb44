#include "results/export_sink.h"

namespace lorvek {

ExportSink::ExportSink(Kind kind, std::string path, CsvFormat csv, HtmlReport report, PatternRef highlight)
    : kind_(kind), path_(std::move(path)), csv_(csv), report_(std::move(report)), highlight_(std::move(highlight)) {}

void ExportSink::Line(const std::string& text) {
  if (!out_ || failure_) return;
  try {
    out_->Write(text + "\r\n");
  } catch (const std::system_error& e) {
    failure_ = ExportErrorOf(path_, e);
  }
}

void ExportSink::RunBegins() {
  failure_.reset();
  try {
    out_ = std::make_unique<AtomicFileWriter>(path_);
  } catch (const std::system_error& e) {
    failure_ = ExportErrorOf(path_, e);
    return;
  }
  if (kind_ == Kind::Html)
    for (const std::string& l : HtmlHead(report_)) Line(l);
}

bool ExportSink::Take(std::unique_ptr<MatchRecord> record, MatchPos) {
  switch (kind_) {
    case Kind::TagList: Line(TagLine(*record)); break;
    case Kind::Csv: Line(CsvLine(*record, csv_)); break;
    case Kind::Html: Line(HtmlRow(*record, highlight_.get())); break;
  }
  return true;  // an export never stops the run; its failure is told at Finish
}

void ExportSink::RunEnds() {
  if (kind_ == Kind::Html) Line(HtmlTail());
}

void ExportSink::Finish() {
  if (failure_) throw *failure_;
  if (!out_) return;
  try {
    out_->Commit();
  } catch (const std::system_error& e) {
    throw ExportErrorOf(path_, e);
  }
}

}  // namespace lorvek
