// The page layout of printing: units, the printable offsets, the page
// frame with its header and footer bands, number strips and columns, line
// breaking, the header and footer codes, and the page loop. Widget-free:
// text is measured through an interface, so the arithmetic is tested with
// a fixed-width stand-in.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace lorvek {

struct PrintSettings {
  std::string header, footer;  // texts with codes
  int header_align = 0;        // 0 left, 1 centre, 2 right; -1 not printed
  int footer_align = 0;
  int left_margin = 20, right_margin = 20, top_margin = 20, bottom_margin = 20;  // millimetres
  int columns = 1;             // 1 to 3
  bool line_numbers = false;
};

// Widths in device pixels of Shift-JIS text, and the font's figures.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual double Width(const std::string& sjis) const = 0;
  virtual double AverageCharWidth() const = 0;
  virtual double LineHeight() const = 0;  // height plus external leading
};

// Millimetres to device pixels: mm × dpi / 25.4, halves to the even neighbour.
int MmToPixels(double mm, int dpi);

struct Offsets {
  int left = 0, top = 0, right = 0, bottom = 0;
};
// paper: the paper in pixels (P × Q); page: the printable page (W × H).
Offsets PrintableOffsets(int paper_width, int paper_height, int page_width, int page_height);

// The header/footer codes replaced: %p page, %f path, %F file name, %y %m
// %d today, %t the time, % and another character that character. A lone
// "%" at the end stays "%".
std::string ExpandPrintCodes(const std::string& text, int page, const std::string& path, std::time_t now,
                             const std::function<std::string(std::time_t)>& long_time);

// Tabs expanded to blanks at the tab width (at least 1), a double-byte
// character counting as two cells.
std::string ExpandPrintTabs(const std::string& sjis, int tab_width);

// The width of a column's number strip: (digits of the line count + 2)
// average character widths; 0 without line numbers.
double NumberStripWidth(size_t line_count, double average_char_width, bool line_numbers);
// The width of each column's text strip.
double TextStripWidth(double body_width, double strip, double gap, int columns);

// A line cut into pieces no wider than width: never inside a double-byte
// character, preferring to cut after the last blank or control character.
std::vector<std::string> BreakPrintLine(const std::string& sjis, double width, const TextMeasure& m);

struct PrintItem {
  enum Kind { Header, Footer, Number, Text } kind = Text;
  double x = 0, y = 0, width = 0;  // the box the text is drawn in (one line high)
  int align = 0;                   // 0 left, 1 centre, 2 right
  std::string text;                // Shift-JIS, codes already replaced
};

struct PrintPage {
  int number = 1;
  std::vector<PrintItem> items;
};

struct PageGeometry {
  int page_width = 0, page_height = 0;  // the printable page, device pixels
  Offsets offsets;
  int dpi = 300;
};

// Lays the lines out into pages. progress(done, total) after each line
// returns false to cancel (then no pages).
std::vector<PrintPage> LayOutPages(const std::vector<std::string>& lines, const PrintSettings& s,
                                   const PageGeometry& g, const TextMeasure& m, const std::string& path,
                                   std::time_t now, const std::function<std::string(std::time_t)>& long_time,
                                   const std::function<bool(size_t, size_t)>& progress = {});

}  // namespace lorvek
