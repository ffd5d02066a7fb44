// OpenDocument: the paragraphs of .odt and .odp, the cells of .ods, from
// content.xml.
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
// breaks. Annotations' author and date, and the record of tracked changes
// (deleted text), are not text of the document.
class OdfTextHandler : public XmlHandler {
 public:
  explicit OdfTextHandler(ParagraphCollector& out) : out_(out) {}
  void Start(std::string_view name, const XmlAttributes& a) override {
    if (skip_ > 0 || name == "tracked-changes" || name == "creator" || name == "date" || name == "note-citation") {
      ++skip_;
      return;
    }
    if (name == "p" || name == "h") out_.Open();
    else if (name == "s" && out_.IsOpen()) out_.Append(std::string(static_cast<size_t>(Count(a.Get("c"), 1, 1000)), ' '));
    else if (name == "tab" && out_.IsOpen()) out_.Append("\t");
    else if (name == "line-break" && out_.IsOpen()) out_.Break();
  }
  void End(std::string_view name) override {
    if (skip_ > 0) {
      --skip_;
      return;
    }
    if (name == "p" || name == "h") out_.Close();
  }
  void Text(std::string_view utf8) override {
    if (skip_ == 0 && out_.IsOpen()) out_.Append(utf8);
  }
  bool Continue() const override { return !out_.Stopped(); }

 private:
  ParagraphCollector& out_;
  int skip_ = 0;
};

// Sheets of table:table, rows and cells with their repeat counts; a cell's
// paragraphs joined by line feeds; float, percentage and currency cells as
// numbers, booleans as TRUE/FALSE, everything else as its shown text.
class OdfSheetHandler : public XmlHandler {
 public:
  explicit OdfSheetHandler(const OfficeCellFn& emit) : emit_(emit) {}
  void Start(std::string_view name, const XmlAttributes& a) override {
    if (skip_ > 0 || name == "creator" || name == "date" || name == "annotation") {
      ++skip_;
      return;
    }
    if (name == "table" && depth_table_++ == 0) {
      ++sheet_;
      next_row_ = 0;
    } else if (name == "table-row") {
      row_repeat_ = Count(a.Get("number-rows-repeated"), 1, 1L << 30);
      next_col_ = 0;
      row_cells_.clear();
    } else if (name == "table-cell" || name == "covered-table-cell") {
      in_cell_ = true;
      col_repeat_ = Count(a.Get("number-columns-repeated"), 1, 1L << 30);
      const std::string_view type = a.Get("value-type");
      current_ = {};
      current_.sheet = sheet_;
      current_.col = static_cast<int>(std::min<long>(next_col_, INT32_MAX));
      text_.clear();
      paragraphs_ = 0;
      if (type == "float" || type == "percentage" || type == "currency") {
        current_.numeric = true;
        current_.text = FormatCellNumber(std::strtod(std::string(a.Get("value")).c_str(), nullptr));
      } else if (type == "boolean") {
        current_.text = a.Get("boolean-value") == "true" ? "TRUE" : "FALSE";
        boolean_ = true;
      } else {
        boolean_ = false;
      }
    } else if (in_cell_ && name == "p") {
      if (paragraphs_++ > 0) text_ += "\n";
      in_paragraph_ = true;
    } else if (in_paragraph_ && name == "s") {
      text_.append(static_cast<size_t>(Count(a.Get("c"), 1, 1000)), ' ');
    } else if (in_paragraph_ && name == "tab") {
      text_ += "\t";
    } else if (in_paragraph_ && name == "line-break") {
      text_ += "\n";
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
      if (!current_.text.empty())
        for (long k = 0; k < col_repeat_; ++k) {
          ExcelCell c = current_;
          c.col = static_cast<int>(std::min<long>(next_col_ + k, INT32_MAX));
          row_cells_.push_back(std::move(c));
          Budget(1);
        }
      next_col_ += col_repeat_;
    } else if (name == "table-row") {
      if (!row_cells_.empty()) Budget(static_cast<long>(row_cells_.size()) * std::min(row_repeat_ - 1, kMaxRepeatedCells));
      for (long r = 0; r < row_repeat_ && !stopped_ && !row_cells_.empty(); ++r) {
        for (ExcelCell& c : row_cells_) {
          c.row = static_cast<int>(std::min<long>(next_row_ + r, INT32_MAX));
          if (!emit_(c)) {
            stopped_ = true;
            break;
          }
        }
      }
      next_row_ += row_repeat_;
    }
  }
  void Text(std::string_view utf8) override {
    if (in_paragraph_ && skip_ == 0) text_ += utf8;
  }
  bool Continue() const override { return !stopped_; }

 private:
  void Budget(long n) {
    cells_ += n;
    if (cells_ > kMaxRepeatedCells) throw DocumentError("繰り返しセルが多すぎます");
  }
  const OfficeCellFn& emit_;
  ExcelCell current_;
  std::vector<ExcelCell> row_cells_;
  std::string text_;
  int sheet_ = 0, depth_table_ = 0, skip_ = 0, paragraphs_ = 0;
  long next_row_ = 0, next_col_ = 0, row_repeat_ = 1, col_repeat_ = 1, cells_ = 0;
  bool in_cell_ = false, in_paragraph_ = false, boolean_ = false, stopped_ = false;
};

}  // namespace

void ReadOdfLines(std::string_view content, const OfficeLineFn& line) {
  ParagraphCollector out(line);
  OdfTextHandler handler(out);
  WalkXml(content, handler);
}

void ReadOdfCells(std::string_view content, const OfficeCellFn& cell) {
  OdfSheetHandler handler(cell);
  WalkXml(content, handler);
}

}  // namespace lorvek
