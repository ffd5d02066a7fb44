#include "sources/source_table.h"

#include "sources/html_strip.h"
#include "sources/office_text.h"
#include "text/path_names.h"

namespace lorvek {

SourceKind ChooseSource(const std::string& path, bool filter_match, const SearchOptions& o) {
  struct Row {
    SourceKind kind;
    bool (*applies)(const std::string& ext, bool filter_match, const SearchOptions& o);
  };
  static const Row kTable[] = {
      {SourceKind::Filter, [](const std::string&, bool f, const SearchOptions& o) { return o.use_filter && f; }},
      {SourceKind::WordDocument,
       [](const std::string& e, bool, const SearchOptions& o) { return o.auto_doc_detect && (e == ".DOC" || e == ".RTF"); }},
      {SourceKind::Spreadsheet,
       [](const std::string& e, bool, const SearchOptions& o) { return o.xls_grep && e == ".XLS"; }},
      {SourceKind::OfficeDocument,
       [](const std::string& e, bool, const SearchOptions& o) {
         const OfficeFormat f = OfficeFormatOfExtension(e);
         return f == OfficeFormat::Pdf ? o.pdf_grep : o.office_xml_grep && f != OfficeFormat::None;
       }},
  };
  const std::string ext = UpperExtension(path);
  for (const Row& row : kTable)
    if (row.applies(ext, filter_match, o)) return row.kind;
  return SourceKind::PlainText;
}

SourceTable::SourceTable(std::function<std::string()> work_file) : filter_(binary_, std::move(work_file)) {
  plain_.strip_html_tags = StripHtmlTags;
}

TextSource& SourceTable::For(const std::string& path, bool filter_match, const SearchOptions& options) {
  switch (ChooseSource(path, filter_match, options)) {
    case SourceKind::Filter:
      return filter_;
    case SourceKind::WordDocument:
      return word_;
    case SourceKind::Spreadsheet:
      return spreadsheet_;
    case SourceKind::OfficeDocument:
      return office_;
    case SourceKind::PlainText:
    case SourceKind::BinaryFile:
      break;
  }
  return plain_;
}

void SourceTable::SetLongLineBytes(size_t bytes) {
  plain_.SetLongLineBytes(bytes);
  filter_.SetLongLineBytes(bytes);
}

}  // namespace lorvek
