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

// Character data of a paragraph as the format reads it: runs of blanks,
// tabs and line ends are one space, and none at the paragraph's start
// (text:s, text:tab and text:line-break carry the real ones). last_space
// is true after a collapsible space or at the start.
std::string Collapse(std::string_view utf8, bool& last_space) {
  std::string out;
  out.reserve(utf8.size());
  for (char ch : utf8) {
    if (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') {
      if (!last_space) out += ' ';
      last_space = true;
    } else {
      out += ch;
      last_space = false;
    }
  }
  return out;
}

// Text inside paragraphs: spans, runs of spaces (text:s), tabs and line
// breaks. An annotation's author and date, the record of tracked changes
// (deleted text), note citations, ruby readings and a frame's title and
// description are not text of the document; only_masters keeps to the
// master pages' headers and footers.
class OdfTextHandler : public XmlHandler {
 public:
  OdfTextHandler(ParagraphCollector& out, bool only_masters) : out_(out), only_masters_(only_masters) {}
  void Start(std::string_view name, const XmlAttributes& a) override {
    if (name == "master-styles") ++masters_;
    if (only_masters_ && masters_ == 0) return;
    if (name == "annotation") ++annotation_;
    if (name == "frame") ++frame_;
    if (skip_ > 0 || name == "tracked-changes" || name == "note-citation" || name == "ruby-text" ||
        (annotation_ > 0 && (name == "creator" || name == "date")) || (frame_ > 0 && (name == "title" || name == "desc"))) {
      ++skip_;
      return;
    }
    if (name == "p" || name == "h") {
      out_.Open();
      last_space_.push_back(true);
    } else if (!out_.IsOpen()) {
      return;
    } else if (name == "s") {
      out_.Append(std::string(static_cast<size_t>(Count(a.Get("c"), 1, 1000)), ' '));
      last_space_.back() = false;
    } else if (name == "tab") {
      out_.Append("\t");
      last_space_.back() = false;
    } else if (name == "line-break") {
      out_.Break();
      last_space_.back() = true;
    }
  }
  void End(std::string_view name) override {
    if (only_masters_ && masters_ == 0) return;
    if (name == "master-styles") --masters_;
    if (skip_ > 0) {
      --skip_;
    } else if (name == "p" || name == "h") {
      out_.Close();
      if (!last_space_.empty()) last_space_.pop_back();
    }
    if (name == "annotation") --annotation_;
    if (name == "frame") --frame_;
  }
  void Text(std::string_view utf8) override {
    if ((!only_masters_ || masters_ > 0) && skip_ == 0 && out_.IsOpen() && !last_space_.empty()) {
      bool last = last_space_.back();
      out_.Append(Collapse(utf8, last));
      last_space_.back() = last;
    }
  }
  bool Continue() const override { return !out_.Stopped(); }

 private:
  ParagraphCollector& out_;
  bool only_masters_;
  int skip_ = 0, annotation_ = 0, masters_ = 0, frame_ = 0;
  std::vector<char> last_space_;  // per open paragraph (vector<bool> has no references)
};

// Sheets of table:table, rows and cells with their repeat counts; a cell's
// paragraphs joined by line feeds; float, percentage and currency cells as
// numbers, booleans as TRUE/FALSE, everything else as its shown text.
class OdfSheetHandler : public XmlHandler {
 public:
  explicit OdfSheetHandler(const OfficeCellFn& emit) : emit_(emit) {}
  void Start(std::string_view name, const XmlAttributes& a) override {
    if (skip_ > 0 || name == "annotation" || name == "ruby-text" || name == "title" || name == "desc") {
      ++skip_;
      return;
    }
    if (name == "table") {
      if (depth_table_++ == 0) {
        ++sheet_;
        next_row_ = 0;
      }
    } else if (depth_table_ > 1 && (name == "table-row" || name == "table-cell" || name == "covered-table-cell")) {
      // A table inside a cell (a frame's): its text joins the cell's.
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
      ++in_paragraph_;
      last_space_ = true;
    } else if (in_paragraph_ > 0 && name == "s") {
      Add(std::string(static_cast<size_t>(Count(a.Get("c"), 1, 1000)), ' '));
      last_space_ = false;
    } else if (in_paragraph_ > 0 && name == "tab") {
      Add("\t");
      last_space_ = false;
    } else if (in_paragraph_ > 0 && name == "line-break") {
      Add("\n");
      last_space_ = true;
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
      in_paragraph_ = std::max(0, in_paragraph_ - 1);
    } else if (depth_table_ > 1 && (name == "table-row" || name == "table-cell" || name == "covered-table-cell")) {
      // inside a nested table: nothing ends here
    } else if (name == "table-cell" || name == "covered-table-cell") {
      in_cell_ = false;
      if (!current_.numeric && !boolean_) current_.text = Utf8ToCp932(text_);
      // Columns past the sheet's last are not cells.
      const long repeat = std::min(col_repeat_, std::max(0L, kMaxSheetColumns - next_col_));
      if (!current_.text.empty() && repeat > 0) {
        Budget(repeat, current_.text.size() * static_cast<size_t>(repeat));
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
    if (in_paragraph_ > 0 && skip_ == 0) Add(Collapse(utf8, last_space_));
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
  int sheet_ = 0, depth_table_ = 0, skip_ = 0, paragraphs_ = 0, in_paragraph_ = 0;
  long next_row_ = 0, next_col_ = 0, row_repeat_ = 1, col_repeat_ = 1, cells_ = 0;
  uint64_t bytes_ = 0;
  bool in_cell_ = false, boolean_ = false, stopped_ = false, last_space_ = true;
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
