#include "sources/office_text.h"
#include "sources/text_source.h"
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

}  // namespace lorvek
