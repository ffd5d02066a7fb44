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

std::string ExpandPrintTabs(const std::string& sjis, int tab_width) {
  const size_t width = static_cast<size_t>(std::max(1, tab_width));
  std::string out;
  size_t cells = 0;
  for (size_t i = 0; i < sjis.size(); i += CharLength(sjis, i)) {
    if (sjis[i] == '\t') {
      const size_t n = width - cells % width;
      out.append(n, ' ');
      cells += n;
    } else {
      out.append(sjis, i, CharLength(sjis, i));
      cells += CharLength(sjis, i);
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
  if (width <= 0 || m.Width(sjis) <= width) return {sjis};
  // The piece is the longest run of whole characters that fits, found by
  // halving within a window about twice a piece's estimated length (grown
  // while the whole window fits), so a long line costs in proportion to
  // its length, not its square.
  const size_t estimate = static_cast<size_t>(std::max(2.0, 2 * width / std::max(1.0, m.AverageCharWidth())));
  std::vector<std::string> pieces;
  std::vector<size_t> ends;  // character ends within the window
  size_t pos = 0;
  while (pos < sjis.size()) {
    size_t window = estimate;
    size_t fit = 0;  // characters that fit
    for (;;) {
      ends.clear();
      for (size_t i = pos; i < sjis.size() && i - pos < window;) {
        i += CharLength(sjis, i);
        ends.push_back(std::min(i, sjis.size()));
      }
      size_t lo = 0, hi = ends.size();  // ends[lo - 1] fits, ends[hi] does not
      while (lo < hi) {
        const size_t mid = (lo + hi + 1) / 2;
        if (m.Width(sjis.substr(pos, ends[mid - 1] - pos)) <= width) lo = mid;
        else hi = mid - 1;
      }
      fit = lo;
      if (fit < ends.size() || ends.back() >= sjis.size()) break;
      window *= 2;
    }
    size_t cut = fit == 0 ? ends.front() : ends[fit - 1];  // at least one character
    // Prefer to end the piece after its last blank or control character.
    if (cut < sjis.size() && static_cast<unsigned char>(sjis[cut]) > 32) {
      size_t last_blank = std::string::npos;
      for (size_t i = pos; i < cut; i += CharLength(sjis, i))
        if (static_cast<unsigned char>(sjis[i]) <= 32) last_blank = i;
      if (last_blank != std::string::npos) cut = last_blank + 1;
    }
    pieces.push_back(sjis.substr(pos, cut - pos));
    pos = cut;
  }
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
