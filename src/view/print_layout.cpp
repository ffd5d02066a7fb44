#include "view/print_layout.h"

#include <cmath>

#include "text/sjis.h"

namespace lorvek {

int MmToPixels(double mm, int dpi) { return static_cast<int>(std::nearbyint(mm * dpi / 25.4)); }

Offsets PrintableOffsets(int paper_width, int paper_height, int page_width, int page_height) {
  Offsets o;
  o.left = std::max(0, (paper_width - page_width) / 2);
  o.top = std::max(0, (paper_height - page_height) / 2);
  o.right = std::max(0, paper_width - page_width - o.left);
  o.bottom = std::max(0, paper_height - page_height - o.top);
  return o;
}

std::string ExpandPrintCodes(const std::string& text, int page, const std::string& path, std::time_t now,
                             const std::function<std::string(std::time_t)>& long_time) {
  std::tm tm{};
  localtime_r(&now, &tm);
  std::string out;
  for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (text[i] != '%' || i + 1 >= text.size()) {
      out.append(text, i, CharLength(text, i));
      continue;
    }
    const char c = text[++i];
    switch (c) {
      case 'p': out += std::to_string(page); break;
      case 'f': out += path; break;
      case 'F': out += path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1); break;
      case 'y': out += std::to_string(tm.tm_year + 1900); break;
      case 'm': out += std::to_string(tm.tm_mon + 1); break;
      case 'd': out += std::to_string(tm.tm_mday); break;
      case 't': out += long_time ? long_time(now) : ""; break;
      default: out.append(text, i, CharLength(text, i)); break;
    }
  }
  return out;
}

double NumberStripWidth(size_t line_count, double average_char_width, bool line_numbers) {
  if (!line_numbers) return 0;
  const size_t digits = std::to_string(std::max<size_t>(line_count, 1)).size();
  return static_cast<double>(digits + 2) * average_char_width;
}

double TextStripWidth(double body_width, double strip, double gap, int columns) {
  return (body_width - strip - (gap + strip) * (columns - 1)) / columns;
}

std::vector<std::string> BreakPrintLine(const std::string& sjis, double width, const TextMeasure& m) {
  std::vector<std::string> pieces;
  std::string rest = sjis;
  if (width <= 0) return {rest};
  while (m.Width(rest) > width && rest.size() > CharLength(rest, 0)) {
    // A first guess from the number of strips the line needs.
    const size_t strips = static_cast<size_t>(std::ceil(m.Width(rest) / width));
    size_t cut = std::max<size_t>(1, rest.size() / std::max<size_t>(strips, 1));
    auto boundary = [&](size_t at) {  // the character boundary at or before at
      size_t b = 0;
      while (b < rest.size()) {
        const size_t next = b + CharLength(rest, b);
        if (next > at) break;
        b = next;
      }
      return std::max<size_t>(b, CharLength(rest, 0));
    };
    cut = boundary(cut);
    while (cut < rest.size() && m.Width(rest.substr(0, cut + CharLength(rest, cut))) <= width) cut += CharLength(rest, cut);
    while (cut > CharLength(rest, 0) && m.Width(rest.substr(0, cut)) > width) cut = boundary(cut - 1);
    // Prefer to end the piece after its last blank or control character.
    if (cut < rest.size() && static_cast<unsigned char>(rest[cut]) > 32) {
      size_t last_blank = std::string::npos;
      for (size_t i = 0; i < cut; i += CharLength(rest, i))
        if (static_cast<unsigned char>(rest[i]) <= 32) last_blank = i;
      if (last_blank != std::string::npos) cut = last_blank + 1;
    }
    pieces.push_back(rest.substr(0, cut));
    rest.erase(0, cut);
  }
  pieces.push_back(rest);
  return pieces;
}

std::vector<PrintPage> LayOutPages(const std::vector<std::string>& lines, const PrintSettings& s,
                                   const PageGeometry& g, const TextMeasure& m, const std::string& path,
                                   std::time_t now, const std::function<std::string(std::time_t)>& long_time,
                                   const std::function<bool(size_t, size_t)>& progress) {
  const double left = std::max(0, MmToPixels(s.left_margin, g.dpi) - g.offsets.left);
  const double top = std::max(0, MmToPixels(s.top_margin, g.dpi) - g.offsets.top);
  const double right = std::min(g.page_width, g.page_width + g.offsets.right - MmToPixels(s.right_margin, g.dpi));
  const double bottom = std::min(g.page_height, g.page_height + g.offsets.bottom - MmToPixels(s.bottom_margin, g.dpi));
  const double h = m.LineHeight();
  const bool header = !s.header.empty() && s.header_align >= 0;
  const bool footer = !s.footer.empty() && s.footer_align >= 0;
  const double body_top = top + (header ? 1.5 * h : 0);
  const double footer_top = bottom - (footer ? 1.5 * h : 0);
  const int columns = std::clamp(s.columns, 1, 3);
  const double gap = MmToPixels(10, g.dpi);
  const double strip = NumberStripWidth(lines.size(), m.AverageCharWidth(), s.line_numbers);
  const double text_width = TextStripWidth(right - left, strip, gap, columns);

  std::vector<PrintPage> pages;
  auto start_page = [&](int number) {
    pages.push_back({number, {}});
    if (header)
      pages.back().items.push_back(
          {PrintItem::Header, left, top, right - left, s.header_align, ExpandPrintCodes(s.header, number, path, now, long_time)});
  };
  auto end_page = [&] {
    if (footer)
      pages.back().items.push_back({PrintItem::Footer, left, bottom - 1.5 * h, right - left, s.footer_align,
                                    ExpandPrintCodes(s.footer, pages.back().number, path, now, long_time)});
  };
  start_page(1);
  int column = 0;
  double y = body_top;
  for (size_t i = 0; i < lines.size(); ++i) {
    for (const std::string& piece : BreakPrintLine(lines[i], text_width, m)) {
      if (y + h > footer_top && y > body_top) {
        if (column + 1 < columns) {
          ++column;
        } else {
          end_page();
          start_page(pages.back().number + 1);
          column = 0;
        }
        y = body_top;
      }
      const double x = left + column * (gap + strip + text_width);
      if (s.line_numbers)
        pages.back().items.push_back({PrintItem::Number, x, y, strip, 2, std::to_string(i + 1) + ":"});
      pages.back().items.push_back({PrintItem::Text, x + strip, y, text_width, 0, piece});
      y += h;
    }
    if (progress && !progress(i, lines.size())) return {};
  }
  end_page();
  return pages;
}

}  // namespace lorvek
