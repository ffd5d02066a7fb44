// The printed page's arithmetic against figures worked out by hand, with a
// measure where every byte is 10 pixels wide and a line 20 pixels high.
#include <gtest/gtest.h>

#include "test_util.h"
#include "text/sjis.h"
#include "view/print_layout.h"

namespace lorvek {
namespace {

using test::Sj;

class FixedWidth : public TextMeasure {
 public:
  double Width(const std::string& sjis) const override { return 10.0 * static_cast<double>(sjis.size()); }
  double AverageCharWidth() const override { return 10; }
  double LineHeight() const override { return 20; }
};

std::string NoTime(std::time_t) { return "T"; }

std::vector<const PrintItem*> ItemsOf(const PrintPage& page, PrintItem::Kind kind) {
  std::vector<const PrintItem*> out;
  for (const PrintItem& i : page.items)
    if (i.kind == kind) out.push_back(&i);
  return out;
}

// 254 dots per inch make a millimetre ten pixels; by default the
// unprintable border swallows the 5 mm margins.
PageGeometry Page(int width, int height, Offsets offsets = {50, 50, 50, 50}) { return {width, height, offsets, 254}; }

PrintSettings NoMargins() {
  PrintSettings s;
  s.left_margin = s.right_margin = s.top_margin = s.bottom_margin = 5;
  return s;
}

TEST(PrintLayout, UnitsAndPrintableOffsets) {
  EXPECT_EQ(MmToPixels(25.4, 300), 300);
  EXPECT_EQ(MmToPixels(20, 600), 472);   // 472.44
  EXPECT_EQ(MmToPixels(0.25, 254), 2);   // 2.5: halves go to the even neighbour
  EXPECT_EQ(MmToPixels(0.35, 254), 4);   // 3.5
  const Offsets even = PrintableOffsets(2480, 3508, 2400, 3400);
  EXPECT_EQ(even.left, 40);
  EXPECT_EQ(even.right, 40);
  EXPECT_EQ(even.top, 54);
  EXPECT_EQ(even.bottom, 54);
  const Offsets odd = PrintableOffsets(101, 50, 90, 50);
  EXPECT_EQ(odd.left, 5);
  EXPECT_EQ(odd.right, 6);  // the odd pixel goes right
  EXPECT_EQ(odd.top, 0);
  const Offsets larger = PrintableOffsets(100, 100, 120, 130);  // a page reported larger than its paper
  EXPECT_EQ(larger.left, 0);
  EXPECT_EQ(larger.right, 0);
  EXPECT_EQ(larger.top, 0);
  EXPECT_EQ(larger.bottom, 0);
}

TEST(PrintLayout, MarginsInsideTheUnprintableBorderStartAtThePrintableEdge) {
  // 5 mm margins (50 px) on a printer whose unprintable border is 80 px.
  const auto pages = LayOutPages({"abc"}, NoMargins(), Page(1000, 1000, {80, 80, 80, 80}), FixedWidth(), "", 0, NoTime);
  ASSERT_EQ(pages.size(), 1u);
  const auto text = ItemsOf(pages[0], PrintItem::Text);
  ASSERT_EQ(text.size(), 1u);
  EXPECT_EQ(text[0]->x, 0);
  EXPECT_EQ(text[0]->y, 0);
  EXPECT_EQ(text[0]->width, 1000);  // to the right printable edge too
  // 20 mm margins on a 30 px border: the text starts 200 - 30 in.
  PrintSettings wide;
  const auto inset = LayOutPages({"abc"}, wide, Page(1000, 1000, {30, 30, 30, 30}), FixedWidth(), "", 0, NoTime);
  const auto t = ItemsOf(inset[0], PrintItem::Text);
  EXPECT_EQ(t[0]->x, 170);
  EXPECT_EQ(t[0]->y, 170);
  EXPECT_EQ(t[0]->width, 1000 + 30 - 200 - 170);
}

TEST(PrintLayout, TwoColumnsWithLineNumbersEachHaveAStripOfThreeAverageWidths) {
  EXPECT_EQ(NumberStripWidth(9, 10, true), 30);
  EXPECT_EQ(NumberStripWidth(10, 10, true), 40);
  EXPECT_EQ(NumberStripWidth(9, 10, false), 0);
  PrintSettings s = NoMargins();
  s.columns = 2;
  s.line_numbers = true;
  // A body 1000 wide and five lines high; the gap is 10 mm = 100 px.
  const std::vector<std::string> lines(9, "x");
  const auto pages = LayOutPages(lines, s, Page(1000, 100), FixedWidth(), "", 0, NoTime);
  ASSERT_EQ(pages.size(), 1u);
  const auto numbers = ItemsOf(pages[0], PrintItem::Number);
  const auto text = ItemsOf(pages[0], PrintItem::Text);
  ASSERT_EQ(numbers.size(), 9u);
  const double text_width = (1000 - 30 - (100 + 30)) / 2.0;  // 420
  EXPECT_EQ(text[0]->width, text_width);
  for (size_t i = 0; i < 9; ++i) {
    const double column_x = i < 5 ? 0 : 100 + 30 + text_width;
    EXPECT_EQ(numbers[i]->x, column_x) << i;
    EXPECT_EQ(numbers[i]->width, 30) << i;
    EXPECT_EQ(numbers[i]->align, 2) << i;
    EXPECT_EQ(numbers[i]->text, std::to_string(i + 1) + ":");
    EXPECT_EQ(text[i]->x, column_x + 30) << i;
    EXPECT_EQ(numbers[i]->y, 20.0 * static_cast<double>(i % 5)) << i;
  }
}

TEST(PrintLayout, LongLinesBreakAfterTheLastFittingBlankAndNeverInsideACharacter) {
  const FixedWidth m;
  // Twice the strip's width (100 px = ten bytes) with blanks.
  EXPECT_EQ(BreakPrintLine("aaa bbb ccc ddd eee f", 100, m),
            (std::vector<std::string>{"aaa bbb ", "ccc ddd ", "eee f"}));
  // A blank exactly at the strip's end is kept on the first piece.
  EXPECT_EQ(BreakPrintLine("abcdefghi jklmnopq", 100, m), (std::vector<std::string>{"abcdefghi ", "jklmnopq"}));
  // No blank: cut where the strip ends.
  EXPECT_EQ(BreakPrintLine("abcdefghijklmnopqrst", 100, m), (std::vector<std::string>{"abcdefghij", "klmnopqrst"}));
  // A tab counts as a blank (control characters do).
  EXPECT_EQ(BreakPrintLine("ab\tcdefghijklm", 100, m), (std::vector<std::string>{"ab\t", "cdefghijkl", "m"}));
  // Double-byte characters, 20 px each: a 50 px strip holds two.
  const std::string kanji = Sj("漢字表示検索文字列");
  const auto pieces = BreakPrintLine(kanji, 50, m);
  ASSERT_EQ(pieces.size(), 5u);
  for (size_t i = 0; i + 1 < pieces.size(); ++i) EXPECT_EQ(pieces[i].size(), 4u) << i;
  EXPECT_EQ(pieces[0], Sj("漢字"));
  // An odd start moves every later boundary by one byte; still whole characters.
  const std::string mixed = "a" + kanji;
  std::string joined;
  for (const std::string& p : BreakPrintLine(mixed, 50, m)) {
    EXPECT_LE(m.Width(p), 50);
    for (size_t i = 0; i < p.size(); i += CharLength(p, i)) ASSERT_LE(i + CharLength(p, i), p.size()) << p;
    joined += p;
  }
  EXPECT_EQ(joined, mixed);
  // A strip narrower than one character still makes progress.
  EXPECT_EQ(BreakPrintLine(Sj("漢字"), 5, m), (std::vector<std::string>{Sj("漢"), Sj("字")}));
  EXPECT_EQ(BreakPrintLine("short", 100, m), (std::vector<std::string>{"short"}));
}

TEST(PrintLayout, AVeryLongLineCostsInProportionToItsLength) {
  // Counts the bytes measured: measuring the whole rest of the line for
  // every piece would come to about length² / piece length.
  struct Counting : FixedWidth {
    mutable size_t measured = 0;
    double Width(const std::string& sjis) const override {
      measured += sjis.size();
      return FixedWidth::Width(sjis);
    }
  } m;
  std::string line;
  for (int i = 0; i < 20000; ++i) line += "word ";
  const auto pieces = BreakPrintLine(line, 100, m);
  EXPECT_EQ(pieces.size(), 10000u);  // "word word " in each ten-byte strip
  EXPECT_EQ(pieces.front(), "word word ");
  EXPECT_LT(m.measured, 100 * line.size());
}

TEST(PrintLayout, TabsExpandToTheNextStopCountingDoubleByteCharactersAsTwo) {
  EXPECT_EQ(ExpandPrintTabs("a\tb", 4), "a   b");
  EXPECT_EQ(ExpandPrintTabs("abcd\tb", 4), "abcd    b");
  EXPECT_EQ(ExpandPrintTabs(Sj("表") + "\tx", 4), Sj("表") + "  x");
  EXPECT_EQ(ExpandPrintTabs("\t", 0), " ");  // a width below 1 counts as 1
}

TEST(PrintLayout, HeaderAndFooterCodes) {
  EXPECT_EQ(ExpandPrintCodes("p.%p/%x", 3, "/a/b.txt", 0, NoTime), "p.3/x");
  EXPECT_EQ(ExpandPrintCodes("%F|%f", 1, "/home/u/資料/b.txt", 0, NoTime), "b.txt|/home/u/資料/b.txt");
  EXPECT_EQ(ExpandPrintCodes("100%%, %t", 1, "", 0, NoTime), "100%, T");
  EXPECT_EQ(ExpandPrintCodes("end%", 1, "", 0, NoTime), "end%");
  // The second byte of a double-byte character after % is not a code.
  EXPECT_EQ(ExpandPrintCodes("%" + Sj("表") + "p", 1, "", 0, NoTime), Sj("表") + "p");
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 0;
  tm.tm_mday = 5;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  EXPECT_EQ(ExpandPrintCodes("%y/%m/%d", 1, "", std::mktime(&tm), NoTime), "2026/1/5");
}

TEST(PrintLayout, PagesFollowTheBodyAndNumberHeadersAtDrawingTime) {
  PrintSettings s = NoMargins();
  s.header = "p.%p/%x";
  s.footer = "%F";
  s.header_align = 1;
  s.footer_align = 2;
  // 200 px high: header and footer bands of 30 px leave 140, seven lines.
  std::vector<std::string> lines(15, "line");
  const auto pages = LayOutPages(lines, s, Page(500, 200), FixedWidth(), "/d/f.txt", 0, NoTime);
  ASSERT_EQ(pages.size(), 3u);
  for (size_t p = 0; p < 3; ++p) {
    const auto header = ItemsOf(pages[p], PrintItem::Header);
    const auto footer = ItemsOf(pages[p], PrintItem::Footer);
    ASSERT_EQ(header.size(), 1u);
    ASSERT_EQ(footer.size(), 1u);
    EXPECT_EQ(header[0]->text, "p." + std::to_string(p + 1) + "/x");
    EXPECT_EQ(header[0]->align, 1);
    EXPECT_EQ(footer[0]->text, "f.txt");
    EXPECT_EQ(footer[0]->y, 200 - 30);
    const auto text = ItemsOf(pages[p], PrintItem::Text);
    EXPECT_EQ(text.size(), p < 2 ? 7u : 1u);
    EXPECT_EQ(text.front()->y, 30);
    for (const PrintItem* t : text) EXPECT_LE(t->y + 20, 200 - 30);
  }
  // Without a position the header is not printed and the body starts at the top.
  s.header_align = -1;
  const auto bare = LayOutPages(lines, s, Page(500, 200), FixedWidth(), "/d/f.txt", 0, NoTime);
  EXPECT_TRUE(ItemsOf(bare[0], PrintItem::Header).empty());
  EXPECT_EQ(ItemsOf(bare[0], PrintItem::Text).front()->y, 0);
  EXPECT_EQ(bare.size(), 2u);  // eight lines a page
}

TEST(PrintLayout, EveryPieceOfABrokenLineShowsItsNumberAndABodyTooSmallStillEnds) {
  PrintSettings s = NoMargins();
  s.line_numbers = true;
  const auto pages = LayOutPages({"short", std::string(25, 'x')}, s, Page(130, 1000), FixedWidth(), "", 0, NoTime);
  const auto numbers = ItemsOf(pages[0], PrintItem::Number);
  ASSERT_EQ(numbers.size(), 4u);  // strip 30, text 100: 25 bytes make three pieces
  EXPECT_EQ(numbers[1]->text, "2:");
  EXPECT_EQ(numbers[3]->text, "2:");
  // A body lower than one line: one line a page, no endless loop.
  const auto tiny = LayOutPages({"a", "b", "c"}, s, Page(130, 10), FixedWidth(), "", 0, NoTime);
  EXPECT_EQ(tiny.size(), 3u);
  EXPECT_TRUE(LayOutPages({}, s, Page(130, 1000), FixedWidth(), "", 0, NoTime).size() == 1u);
}

TEST(PrintLayout, CancelFromTheProgressGivesNoPages) {
  std::vector<std::string> lines(50, "line");
  size_t calls = 0, last_total = 0;
  const auto pages = LayOutPages(lines, NoMargins(), Page(500, 200), FixedWidth(), "", 0, NoTime,
                                 [&](size_t done, size_t total) {
                                   ++calls;
                                   last_total = total;
                                   return done < 10;
                                 });
  EXPECT_TRUE(pages.empty());
  EXPECT_EQ(calls, 11u);
  EXPECT_EQ(last_total, 50u);
}

}  // namespace
}  // namespace lorvek
