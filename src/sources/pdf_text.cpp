// PDF: the text of every page in the order its content draws it (the
// reading order of what office suites and word processors write), one line
// per text line; a page boundary ends a line. The physical layout would
// redo a page's columns in time that a page of scattered glyphs makes
// minutes long.
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page.h>

#include <memory>

#include "sources/office_text.h"
#include "text/cp932.h"

namespace lorvek {

void ReadPdfLines(const std::string& path, const OfficeLineFn& line) {
  // A damaged file's complaints are ours to log, not stderr's.
  poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr);
  std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(path));
  if (!doc) throw DocumentError("PDFを読めません");
  if (doc->is_locked()) throw DocumentError("パスワードで保護されています");
  const int pages = doc->pages();
  if (pages <= 0) throw DocumentError("PDFにページがありません");
  for (int i = 0; i < pages; ++i) {
    std::unique_ptr<poppler::page> page(doc->create_page(i));
    if (!page) throw DocumentError("PDFのページを読めません");
    const std::vector<char> utf8 = page->text(poppler::rectf(), poppler::page::raw_order_layout).to_utf8();
    std::string_view text(utf8.data(), utf8.size());
    // Lines end in LF (CR LF from some producers); a form feed ends a page.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '\f')) text.remove_suffix(1);
    if (text.empty()) continue;
    size_t start = 0;
    for (;;) {
      size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view one = text.substr(start, end - start);
      if (!one.empty() && one.back() == '\r') one.remove_suffix(1);
      if (!line(Utf8ToCp932(one))) return;
      if (end == text.size()) break;
      start = end + 1;
    }
  }
}

}  // namespace lorvek
