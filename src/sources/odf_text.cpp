// OpenDocument: the paragraphs of .odt and .odp (content.xml, then the
// headers and footers of styles.xml), the cells of .ods.
#include <algorithm>
#include <cstdlib>

#include "sources/office_text.h"
#include "sources/paragraph_collector.h"
#include "text/cp932.h"

namespace lorvek {
namespace {

// Count attributes (repeats, spaces) bounded so that a hostile value
// cannot make a loop endless.
long Count(std::string_view text, long fallback, long most) {
  if (text.empty()) return fallback;
  const long n = std::strtol(std::string(text).c_str(), nullptr, 10);
  return std::clamp(n, 1L, most);
}

// Text inside paragraphs: spans, runs of spaces (text:s), tabs and line
// breaks. An annotation's author and date, the record of tracked changes
// (deleted text), note citations and ruby readings are not text of the
// document; only_masters keeps to the master pages' headers and footers.
class OdfTextHandler : public XmlHandler {
 public:
  OdfTextHandler(ParagraphCollector& out, bool only_masters) : out_(out), only_masters_(only_masters) {}
  void Start(std::string_view name, const XmlAttributes& a) override {
    if (name == "master-styles") ++masters_;
    if (only_masters_ && masters_ == 0) return;
    if (name == "annotation") ++annotation_;
    if (skip_ > 0 || name == "tracked-changes" || name == "note-citation" || name == "ruby-text" ||
        (annotation_ > 0 && (name == "creator" || name == "date"))) {
      ++skip_;
      return;
    }
    if (name == "p" || name == "h") out_.Open();
    else if (name == "s" && out_.IsOpen()) out_.Append(std::string(static_cast<size_t>(Count(a.Get("c"), 1, 1000)), ' '));
    else if (name == "tab" && out_.IsOpen()) out_.Append("\t");
    else if (name == "line-break" && out_.IsOpen()) out_.Break();
  }
  void End(std::string_view name) override {
    if (only_masters_ && masters_ == 0) return;
    if (name == "master-styles") --masters_;
    if (skip_ > 0) {
      --skip_;
    } else if (name == "p" || name == "h") {
      out_.Close();
    }
    if (name == "annotation") --annotation_;
  }
  void Text(std::string_view utf8) override {
    if ((!only_masters_ || masters_ > 0) && skip_ == 0 && out_.IsOpen()) out_.Append(utf8);
  }
  bool Continue() const override { return !out_.Stopped(); }

 private:
  ParagraphCollector& out_;
  bool only_masters_;
  int skip_ = 0, annotation_ = 0, masters_ = 0;
};

// Sheets of table:table, rows and cells with their repeat counts; a cell's
// paragraphs joined by line feeds; float, percentage and currency cells as
// numbers, booleans as TRUE/FALSE, everything else as its shown text.
class OdfSheetHandler : public XmlHandler {
 public:
  explicit OdfSheetHandler(const OfficeCellFn& emit) : emit_(emit) {}
  void Start(std::string_view name, const XmlAttributes& a) override {
    if (skip_ > 0 || name == "annotation" || name == "ruby-text") {
      ++skip_;
      return;
    }
    if (name == "table" && depth_table_++ == 0) {
      ++sheet_;
      next_row_ = 0;
    } else if (name == "table-row") {
      row_repeat_ = Count(a.Get("number-rows-repeated"), 1, kMaxSheetRows);
      next_col_ = 0;
      row_cells_.clear();
    } else if (name == "table-cell" || name == "covered-table-cell") {
      in_cell_ = true;
      col_repeat_ = Count(a.Get("number-columns-repeated"), 1, kMaxSheetColumns);
      const std::string_view type = a.Get("value-type");
      current_ = {};
      current_.sheet = sheet_;
      text_.clear();
      paragraphs_ = 0;
      boolean_ = false;
      if (type == "float" || type == "percentage" || type == "currency") {
        current_.numeric = true;
        current_.text = FormatCellNumber(std::strtod(std::string(a.Get("value")).c_str(), nullptr));
      } else if (type == "boolean") {
        current_.text = a.Get("boolean-value") == "true" ? "TRUE" : "FALSE";
        boolean_ = true;
      }
    } else if (in_cell_ && name == "p") {
      if (paragraphs_++ > 0) Add("\n");
      in_paragraph_ = true;
    } else if (in_paragraph_ && name == "s") {
      Add(std::string(static_cast<size_t>(Count(a.Get("c"), 1, 1000)), ' '));
    } else if (in_paragraph_ && name == "tab") {
      Add("\t");
    } else if (in_paragraph_ && name == "line-break") {
      Add("\n");
    }
  }
  void End(std::string_view name) override {
    if (skip_ > 0) {
      --skip_;
      return;
    }
    if (name == "table") {
      --depth_table_;
    } else if (name == "p") {
      in_paragraph_ = false;
    } else if (name == "table-cell" || name == "covered-table-cell") {
      in_cell_ = false;
      if (!current_.numeric && !boolean_) current_.text = Utf8ToCp932(text_);
      // Columns past the sheet's last are not cells.
      const long repeat = std::min(col_repeat_, std::max(0L, kMaxSheetColumns - next_col_));
      if (!current_.text.empty() && repeat > 0) {
        Budget(repeat, current_.text.size());
        for (long k = 0; k < repeat; ++k) {
          current_.col = static_cast<int>(next_col_ + k);
          row_cells_.push_back(current_);
        }
      }
      next_col_ = std::min(next_col_ + col_repeat_, kMaxSheetColumns);
    } else if (name == "table-row") {
      const long repeat = std::min(row_repeat_, std::max(0L, kMaxSheetRows - next_row_));
      if (!row_cells_.empty() && repeat > 1) {
        size_t bytes = 0;
        for (const ExcelCell& c : row_cells_) bytes += c.text.size();
        Budget(static_cast<long>(row_cells_.size()) * (repeat - 1), bytes * static_cast<size_t>(repeat - 1));
      }
      for (long r = 0; r < repeat && !stopped_ && !row_cells_.empty(); ++r) {
        for (ExcelCell& c : row_cells_) {
          c.row = static_cast<int>(next_row_ + r);
          if (!emit_(c)) {
            stopped_ = true;
            break;
          }
        }
      }
      next_row_ = std::min(next_row_ + row_repeat_, kMaxSheetRows);
    }
  }
  void Text(std::string_view utf8) override {
    if (in_paragraph_ && skip_ == 0) Add(utf8);
  }
  bool Continue() const override { return !stopped_; }

 private:
  void Add(std::string_view utf8) {
    if (text_.size() + utf8.size() > kMaxLineText) throw DocumentError("セルの文字列が長すぎます");
    text_ += utf8;
  }
  // Checked before the cells are made, in cells and in bytes of text.
  void Budget(long cells, size_t bytes) {
    cells_ += cells;
    bytes_ += bytes;
    if (cells_ > kMaxRepeatedCells || bytes_ > kMaxDocumentText) throw DocumentError("繰り返しセルが多すぎます");
  }
  const OfficeCellFn& emit_;
  ExcelCell current_;
  std::vector<ExcelCell> row_cells_;
  std::string text_;
  int sheet_ = 0, depth_table_ = 0, skip_ = 0, paragraphs_ = 0;
  long next_row_ = 0, next_col_ = 0, row_repeat_ = 1, col_repeat_ = 1, cells_ = 0;
  uint64_t bytes_ = 0;
  bool in_cell_ = false, in_paragraph_ = false, boolean_ = false, stopped_ = false;
};

}  // namespace

void ReadOdfLines(std::string_view content, const OfficeLineFn& line, std::string_view styles) {
  ParagraphCollector out(line);
  OdfTextHandler body(out, false);
  WalkXml(content, body);
  if (styles.empty() || out.Stopped()) return;
  OdfTextHandler masters(out, true);
  WalkXml(styles, masters);
}

void ReadOdfCells(std::string_view content, const OfficeCellFn& cell) {
  OdfSheetHandler handler(cell);
  WalkXml(content, handler);
}

}  // namespace lorvek
