// The document readers: Word, RTF, Excel and HTML text, alone and inside a
// search run.
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "search_harness.h"
#include "sources/compound_file.h"
#include "sources/document_sources.h"
#include "sources/excel_biff.h"
#include "sources/html_strip.h"
#include "sources/rtf_text.h"
#include "sources/word_document.h"
#include "test_util.h"
#include "text/cp932.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

using test::FixturePath;
using test::Harness;
using test::Sj;

std::string Doc(const char* name) { return FixturePath("docs").string() + "/" + name; }

// The common sample's lines, as Shift-JIS.
std::vector<std::string> SampleLines() {
  const std::string text = test::ReadBytes(FixturePath("text/sjis_crlf.txt"));
  std::vector<std::string> lines;
  size_t start = 0, end;
  while ((end = text.find("\r\n", start)) != std::string::npos) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

struct Extracted {
  bool recognised = false;
  std::vector<std::string> lines;
};

Extracted Word(const std::string& path, size_t stop_after = SIZE_MAX) {
  Extracted out;
  int expected_no = 0;
  out.recognised = ExtractWordText(path, [&](std::string_view text, int line_no) {
    EXPECT_EQ(line_no, ++expected_no);
    out.lines.emplace_back(text);
    return out.lines.size() < stop_after;
  });
  return out;
}

Extracted WordBytes(std::string_view bytes) {
  Extracted out;
  out.recognised = ExtractWordTextFromBytes(bytes, [&](std::string_view text, int) {
    out.lines.emplace_back(text);
    return true;
  });
  return out;
}

// ---- Word and RTF.

TEST(WordText, EveryLayoutGivesEveryParagraphTheLastIncluded) {
  const std::vector<std::string> sample = SampleLines();
  ASSERT_EQ(sample.size(), 16u);
  for (const char* name : {"sample.doc", "fixed_utf16.doc", "fixed_8bit.doc", "sample.rtf", "rtf_as.doc",
                           "sjis_escapes.rtf"}) {
    SCOPED_TRACE(name);
    const Extracted got = Word(Doc(name));
    EXPECT_TRUE(got.recognised);
    EXPECT_EQ(got.lines, sample);
  }
}

TEST(WordText, PlainTextAndEmptyFilesAreNotDocuments) {
  EXPECT_FALSE(Word(Doc("notword.doc")).recognised);
  EXPECT_FALSE(Word(Doc("empty.doc")).recognised);
  EXPECT_THROW(Word(Doc("missing.doc")), std::exception);
}

TEST(WordText, Word95LayoutPutsDoubleByteCharactersRightAndDropsTheUnendedTail) {
  const Extracted got = Word(Doc("word95.doc"));
  EXPECT_TRUE(got.recognised);
  EXPECT_EQ(got.lines, (std::vector<std::string>{Sj("検索"), "cat", Sj("テスト行")}));
}

TEST(WordText, TheSinkStopsTheReading) {
  EXPECT_EQ(Word(Doc("sample.doc"), 2).lines.size(), 2u);
  EXPECT_EQ(Word(Doc("sample.rtf"), 1).lines.size(), 1u);
}

// A compound file made with libgsf's writer.
std::string MakeCompound(const std::vector<std::pair<std::string, std::string>>& streams) {
  GsfOutput* memory = gsf_output_memory_new();
  GsfOutfile* ole = gsf_outfile_msole_new(memory);
  for (const auto& [name, bytes] : streams) {
    GsfOutput* child = gsf_outfile_new_child(ole, name.c_str(), FALSE);
    gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
    gsf_output_close(child);
    g_object_unref(child);
  }
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  const auto* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
  std::string out(reinterpret_cast<const char*>(data), static_cast<size_t>(gsf_output_size(memory)));
  g_object_unref(memory);
  return out;
}

void Put16(std::string& b, size_t at, uint16_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& b, size_t at, uint32_t v) {
  Put16(b, at, static_cast<uint16_t>(v));
  Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
std::string Utf16(std::u16string_view s) {
  std::string b;
  for (char16_t c : s) b += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return b;
}

// A Word 97 document of two pieces: UTF-16 text with a field, then 8-bit
// text with a table cell mark, then a footnote's text, which is read only
// when the footnotes' count names it.
std::string MakeWord97(uint16_t flags, uint16_t language = 0x0409, uint32_t ccp_footnotes = 0) {
  const std::u16string first = u"前文\x13 HYPERLINK \"x\" \x14リンク\x15後\x01\r";
  const std::string second = "second para\x07" "cell\r" "FOOTNOTE\r";
  const uint32_t ccp_text = static_cast<uint32_t>(first.size() + second.size() - 9);
  std::string doc(4096, '\0');
  Put16(doc, 0, 0xA5EC);
  Put16(doc, 2, 0x00C1);
  Put16(doc, 6, language);
  Put16(doc, 10, flags);
  Put16(doc, 32, 14);                 // csw
  Put16(doc, 62, 22);                 // cslw
  Put32(doc, 76, ccp_text);           // ccpText
  Put32(doc, 80, ccp_footnotes);      // ccpFtn
  Put16(doc, 152, 93);                // cbRgFcLcb
  doc.replace(1024, first.size() * 2, Utf16(first));
  doc.replace(2048, second.size(), second);
  std::string clx("\x01\x02\x00\xAA\xBB", 5);  // one property modifier to skip
  std::string plc;
  const uint32_t cps[] = {0, static_cast<uint32_t>(first.size()), static_cast<uint32_t>(first.size() + second.size())};
  for (uint32_t cp : cps) Put32(plc, plc.size(), cp);
  for (uint32_t fc : {1024u, (2048u * 2) | 0x40000000u}) {
    const size_t at = plc.size();
    Put16(plc, at, 0);
    Put32(plc, at + 2, fc);
    Put16(plc, at + 6, 0);
  }
  clx += '\x02';
  Put32(clx, clx.size(), static_cast<uint32_t>(plc.size()));
  clx += plc;
  std::string table = std::string(64, '\0') + clx;
  Put32(doc, 418, 64);                                      // fcClx
  Put32(doc, 422, static_cast<uint32_t>(clx.size()));       // lcbClx
  const char* table_name = (flags & 0x0200) ? "1Table" : "0Table";
  return MakeCompound({{"WordDocument", doc}, {table_name, table}, {"Decoy", "x"}});
}

TEST(WordText, PieceTableGivesTheMainTextWithoutFieldInstructionsOrAnchors) {
  const std::vector<std::string> expected = {Sj("前文リンク後"), "second para", "cell"};
  EXPECT_EQ(WordBytes(MakeWord97(0x0200)).lines, expected);  // table stream 1Table
  EXPECT_EQ(WordBytes(MakeWord97(0x0000)).lines, expected);  // table stream 0Table
  // An encrypted document is a document, but has no text to read.
  const Extracted encrypted = WordBytes(MakeWord97(0x0100));
  EXPECT_TRUE(encrypted.recognised);
  EXPECT_TRUE(encrypted.lines.empty());
  // A compound file without a WordDocument stream is some other file.
  EXPECT_FALSE(WordBytes(MakeCompound({{"Workbook", std::string(64, 'x')}})).recognised);
  // The stories after the main text (here a footnote) are read after it.
  std::vector<std::string> with_footnote = expected;
  with_footnote.push_back("FOOTNOTE");
  EXPECT_EQ(WordBytes(MakeWord97(0x0200, 0x0409, 9)).lines, with_footnote);
}

TEST(WordText, DamagedDocumentsNeverReadPastTheirBytes) {
  for (const char* name : {"sample.doc", "fixed_utf16.doc", "word95.doc", "sample.rtf"}) {
    const std::string bytes = test::ReadBytes(Doc(name));
    for (size_t n = 0; n < bytes.size(); n += (n < 2048 ? 7 : 301)) WordBytes(std::string_view(bytes).substr(0, n));
  }
  std::string hostile = MakeWord97(0x0200);
  // Piece table counts and offsets pointing far outside the streams.
  for (size_t at = 0; at + 4 <= hostile.size(); at += 4093) hostile.replace(at, 4, "\xFF\xFF\xFF\x7F");
  WordBytes(hostile);
}

// Pieces that name the same bytes over and over, with a text count far past
// the stream: the text stays within what the stream holds.
TEST(WordText, PiecesCannotNameMoreTextThanTheStreamHolds) {
  std::string doc(4096, '\0');
  Put16(doc, 0, 0xA5EC);
  Put16(doc, 2, 0x00C1);
  Put16(doc, 32, 14);
  Put16(doc, 62, 22);
  Put32(doc, 76, 0x7FFFFFFF);  // ccpText
  Put16(doc, 152, 93);
  const std::u16string line(999, u'A');
  doc.replace(1024, 2000, Utf16(line + u"\r"));
  std::string plc;
  const uint32_t pieces = 2000;
  for (uint32_t i = 0; i <= pieces; ++i) Put32(plc, plc.size(), i * 1000);
  for (uint32_t i = 0; i < pieces; ++i) {
    const size_t at = plc.size();
    Put16(plc, at, 0);
    Put32(plc, at + 2, 1024);
    Put16(plc, at + 6, 0);
  }
  std::string clx = "\x02";
  Put32(clx, 1, static_cast<uint32_t>(plc.size()));
  clx += plc;
  Put32(doc, 418, 0);
  Put32(doc, 422, static_cast<uint32_t>(clx.size()));
  const Extracted got = WordBytes(MakeCompound({{"WordDocument", doc}, {"0Table", clx}}));
  size_t characters = 0;
  for (const std::string& l : got.lines) characters += l.size();
  EXPECT_GT(characters, 0u);
  EXPECT_LE(characters, doc.size());
}

// Fields opened and never closed, each past its instructions: every later
// character must not look through all of them again.
TEST(WordText, ManyOpenFieldsStayLinear) {
  std::u16string first;
  for (int i = 0; i < 60000; ++i) first += u"\x13\x14";
  first += std::u16string(60000, u'B') + u"\r";
  std::string doc(1024, '\0');
  Put16(doc, 0, 0xA5EC);
  Put16(doc, 2, 0x00C1);
  Put16(doc, 32, 14);
  Put16(doc, 62, 22);
  Put32(doc, 76, static_cast<uint32_t>(first.size()));
  Put16(doc, 152, 93);
  doc += Utf16(first);
  std::string plc;
  Put32(plc, 0, 0);
  Put32(plc, 4, static_cast<uint32_t>(first.size()));
  Put16(plc, 8, 0);
  Put32(plc, 10, 1024);
  Put16(plc, 14, 0);
  std::string clx = "\x02";
  Put32(clx, 1, static_cast<uint32_t>(plc.size()));
  clx += plc;
  Put32(doc, 418, 0);
  Put32(doc, 422, static_cast<uint32_t>(clx.size()));
  const auto start = std::chrono::steady_clock::now();
  const Extracted got = WordBytes(MakeCompound({{"WordDocument", doc}, {"0Table", clx}}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  ASSERT_EQ(got.lines.size(), 1u);
  EXPECT_EQ(got.lines[0], std::string(60000, 'B'));
}

struct RtfCase {
  const char* rtf;
  std::vector<std::string> lines;  // UTF-8
};

TEST(RtfText, ParagraphsCharactersAndSkippedDestinations) {
  const RtfCase cases[] = {
      {R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}{\colortbl;\red0\green0\blue0;}{\info{\title T}}a\par b\line c})",
       {"a", "b", "c"}},
      {R"({\rtf1 \u26908?\u32034?\par})", {"検索"}},                  // \uN, one fallback byte
      {R"({\rtf1\uc2 \u26908\'8c\'9fx\uc0 \u32034 y})", {"検x索y"}},   // \ucN fallback of N bytes
      {R"({\rtf1\ansi\ansicpg932 \'8c\'9f\'8d\'f5\'b6\'c0})", {"検索ｶﾀ"}},
      {R"({\rtf1\ansi\ansicpg1252 \'a7 x})", {"§ x"}},
      {R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f1\fcharset128 M;}}\f1\'8c\'9f})", {"検"}},
      {R"({\rtf1 a\\b\{c\}d\tab e})", {"a\\b{c}d\te"}},
      {R"({\rtf1 {\*\unknowndest hidden}shown{\pict 0102}\par last})", {"shown", "last"}},
      {R"({\rtf1 abc\par {\b def)", {"abc", "def"}},  // cut short
      {R"({\rtf1 x\par\par y})", {"x", "", "y"}},
  };
  for (const RtfCase& c : cases) {
    SCOPED_TRACE(c.rtf);
    std::vector<std::string> expected;
    for (const std::string& line : c.lines) expected.push_back(Sj(line));
    EXPECT_EQ(RtfToLines(c.rtf), expected);
  }
}

TEST(RtfText, DeepNestingAndHugeNumbersAreHarmless) {
  std::string deep = "{\\rtf1 ";
  for (int i = 0; i < 100000; ++i) deep += '{';
  deep += "x";
  EXPECT_EQ(RtfToLines(deep), std::vector<std::string>{"x"});
  EXPECT_NO_THROW(RtfToLines("{\\rtf1 \\u99999999999999999999 \\uc99999999999 \\'zz\\'"));
}

// ---- HTML.

TEST(HtmlTags, TagsGoBreaksComeFromBrAndPreformattedBlocks) {
  const std::pair<const char*, const char*> cases[] = {
      {"a<B>b</B>c", "abc"},
      {"x<br>y", "x\r\ny"},
      {"x<BR/>y<Br />z", "x\r\ny\r\nz"},
      {"one\r\ntwo", "onetwo"},                                   // the source's breaks go
      {"<PRE>p\r\nq</PRE>r", "p\r\nqr"},                          // kept inside <PRE>
      {"<pre>p\r\nq</pre>", "pq"},                                // lower case: just a tag
      {"<PRE>p\r\nq", "pq"},                                      // no </PRE>: the <PRE> just goes
      {"a<A HREF=\"<x>\">b</A>c", "abc"},                          // depth counts nested brackets
      {"a>b<c", "ab"},                                            // a stray > never goes below zero
      {"R&amp;D", "R&amp;D"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(StripHtmlTags(in), out) << in;
}

// ---- Excel.

struct Cell {
  std::string text;  // UTF-8
  int sheet, row, col;
  bool numeric;
  bool operator==(const Cell&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Cell& c) {
  return os << c.text << " [" << c.sheet << "(" << c.row << ":" << c.col << ")]" << (c.numeric ? " #" : "");
}

std::vector<Cell> Cells(const std::string& path, size_t stop_after = SIZE_MAX, std::vector<int>* progress = nullptr) {
  std::vector<Cell> cells;
  TXBiff reader;
  reader.OnReadCell = [&](const ExcelCell& c) {
    cells.push_back({Cp932ToUtf8(c.text), c.sheet, c.row, c.col, c.numeric});
    return cells.size() < stop_after;
  };
  if (progress) reader.OnProgress = [&](int p) { progress->push_back(p); };
  reader.Read(path);
  return cells;
}

const std::vector<Cell> kBiff8Cells = {
    {"alpha", 1, 0, 0, false},       {"検索テスト", 1, 1, 0, false}, {"cat and dog", 1, 2, 0, false},
    {"rich", 1, 3, 0, false},        {"abcde検索語", 1, 4, 0, false}, {"日本cat", 1, 5, 0, false},
    {"1", 1, 0, 1, true},            {"1.5", 1, 1, 1, true},         {"-7", 1, 2, 1, true},
    {"12.34", 1, 3, 1, true},        {"42", 1, 3, 2, true},          {"3.14159", 1, 4, 1, true},
    {"1e+20", 1, 4, 2, true},        {"TRUE", 1, 5, 1, false},       {"FALSE", 1, 5, 2, false},
    {"#DIV/0!", 1, 5, 3, false},     {"catfish", 1, 6, 1, false},    {"1", 1, 6, 2, true},
    {"FALSE", 1, 7, 1, false},       {"ラベル", 1, 7, 2, false},     {"cat and dog", 2, 0, 0, false},
};

TEST(ExcelCells, Biff8EveryCellKindBareOrInACompoundFile) {
  EXPECT_EQ(Cells(Doc("bare_biff8.xls")), kBiff8Cells);
  EXPECT_EQ(Cells(Doc("compound_biff8.xls")), kBiff8Cells);
}

// A shared-string table of many strings: bounded like the other
// spreadsheet readers' tables (here with a small bound).
TEST(ExcelCells, TheSharedStringTableHasATextBudget) {
  auto record = [](uint16_t type, const std::string& body) {
    std::string r;
    Put16(r, 0, type);
    Put16(r, 2, static_cast<uint16_t>(body.size()));
    return r + body;
  };
  std::string bof;
  Put16(bof, 0, 0x0600);
  Put16(bof, 2, 0x0005);
  bof.resize(16, '\0');
  std::string sst;
  Put32(sst, 0, 100);
  Put32(sst, 4, 100);
  for (int i = 0; i < 100; ++i) {
    Put16(sst, sst.size(), 10);
    sst += '\0';
    sst += "abcdefghij";
  }
  const std::string stream = record(0x0809, bof) + record(0x00FC, sst) + record(0x000A, "");
  TXBiff within;
  within.text_budget = 100 * (sizeof(std::string) + 10);
  EXPECT_NO_THROW(within.ReadStream(stream));
  TXBiff beyond;
  beyond.text_budget = within.text_budget - 1;
  try {
    beyond.ReadStream(stream);
    ADD_FAILURE() << "the table went past its budget";
  } catch (const EExcelError& e) {
    EXPECT_STREQ(e.what(), kExcelTooMuchText);
  }
}

TEST(ExcelCells, OfficeSuiteWorkbooks) {
  const std::vector<Cell> expected = {
      {"検索テスト", 1, 0, 0, false}, {"1.5", 1, 0, 1, true},  {"100", 1, 0, 2, true},
      {"テスト", 1, 0, 3, false},     {"cat", 1, 1, 0, false}, {"TRUE", 1, 1, 1, false},
      {"全文検索", 1, 1, 2, false},   {"12.34", 1, 1, 3, true}, {"concatenate (cat)", 1, 2, 0, false},
      {"3.14159", 1, 2, 1, true},     {"catfish", 1, 2, 2, false}, {"全文検索", 1, 2, 3, false},
      {"-7", 1, 3, 0, true},          {"1e+20", 1, 3, 1, true}, {"0.000123", 1, 3, 2, true},
      {"123456789012", 1, 3, 3, true}, {"ｶﾀｶﾅ", 2, 0, 0, false}, {"半角ｶﾀｶﾅと全角カタカナ", 2, 1, 0, false},
      {"FALSE", 2, 1, 1, false},      {"English cat & dog", 2, 2, 0, false},
  };
  EXPECT_EQ(Cells(Doc("sample.xls")), expected);
  // 600 shared strings over several CONTINUE records: each cell still
  // holds its own row's string.
  const std::vector<Cell> many = Cells(Doc("sst_continue.xls"));
  ASSERT_EQ(many.size(), 600u);
  for (const Cell& c : many)
    EXPECT_EQ(c.text.rfind("行" + std::to_string(c.row + 1) + "：", 0), 0u) << c;
}

TEST(ExcelCells, OlderVersionsAndCodePages) {
  EXPECT_EQ(Cells(Doc("biff5_cp932.xls")),
            (std::vector<Cell>{{"検索の表", 1, 0, 0, false}, {"cat", 1, 1, 0, false}, {"2.5", 1, 0, 1, true},
                               {"文字列の結果", 1, 1, 1, false}}));
  // Windows Latin 1 text: converted, so é is one unmappable character and
  // does not swallow the byte after it as a Shift-JIS lead byte would.
  EXPECT_EQ(Cells(Doc("biff5_cp1252.xls"))[0].text, "caf? cr?me");
  EXPECT_EQ(Cells(Doc("biff2.xls")),
            (std::vector<Cell>{{"40000", 1, 0, 0, true}, {"0.25", 1, 0, 1, true}, {"旧形式", 1, 1, 0, false},
                               {"cat", 1, 1, 1, false}}));
}

TEST(ExcelCells, FailuresCancellationAndProgress) {
  try {
    Cells(Doc("oversize_sst.xls"));
    ADD_FAILURE() << "no error";
  } catch (const EExcelError& e) {
    EXPECT_STREQ(e.what(), kExcelUnknownFormat);
  }
  try {
    Cells(Doc("missing.xls"));
    ADD_FAILURE() << "no error";
  } catch (const EExcelError& e) {
    EXPECT_STREQ(e.what(), kExcelCannotOpen);
  }
  EXPECT_TRUE(Cells(Doc("notexcel.xls")).empty());
  EXPECT_EQ(Cells(Doc("bare_biff8.xls"), 3).size(), 3u);
  std::vector<int> progress;
  Cells(Doc("sst_continue.xls"), SIZE_MAX, &progress);
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(progress.back(), 0);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end() - 1));
  EXPECT_EQ(progress[progress.size() - 2], 100);
}

TEST(ExcelCells, TruncatedOrHostileStreamsEndQuietly) {
  const std::string biff = test::ReadBytes(Doc("bare_biff8.xls"));
  TXBiff reader;
  size_t cells = 0;
  reader.OnReadCell = [&](const ExcelCell&) { return ++cells < 100000; };
  for (size_t n = 0; n <= biff.size(); ++n) reader.ReadStream(std::string_view(biff).substr(0, n));
  // Counts and lengths at their largest.
  std::string hostile = biff;
  for (size_t at = 40; at + 2 <= hostile.size(); at += 37) hostile.replace(at, 2, "\xFF\xFF");
  try {
    reader.ReadStream(hostile);
  } catch (const EExcelError&) {
  }
}

TEST(ExcelCells, NumbersAsCellsShowThem) {
  EXPECT_EQ(FormatCellNumber(DecodeRk((100u << 2) | 3)), "1");  // integer 100, divided by 100
  EXPECT_EQ(FormatCellNumber(DecodeRk(static_cast<uint32_t>(-7 << 2) | 2)), "-7");
  EXPECT_EQ(FormatCellNumber(DecodeRk(0x3FF80000u)), "1.5");  // top of the double 1.5
  EXPECT_EQ(FormatCellNumber(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatCellNumber(123456789012.0), "123456789012");
  EXPECT_EQ(FormatCellNumber(1e20), "1e+20");
  EXPECT_EQ(CellLabel(1, 0, 0), "[Page:1(0:0)]");
}

// ---- In a search run.

TEST(DocumentSearch, WordFilesAreSearchedAsDocumentsOnlyWhenAsked) {
  Harness h;
  h.run.options().auto_doc_detect = true;
  h.Search("検索", FixturePath("docs").string(), "sample.doc;notword.doc");
  std::vector<std::pair<int32_t, int32_t>> sample, plain;
  for (size_t i = 0; i < h.store.size(); ++i) {
    const auto& r = h.store[i];
    (FileNameOf(r.OpenPath) == "sample.doc" ? sample : plain).push_back({r.LineNo, r.EncodingCode});
  }
  EXPECT_EQ(sample, (std::vector<std::pair<int32_t, int32_t>>{{1, 1007}, {6, 1007}, {7, 1007}, {10, 1007}, {16, 1007}}));
  EXPECT_EQ(plain, (std::vector<std::pair<int32_t, int32_t>>{{2, 5}}));  // notword.doc as Shift-JIS text

  Harness off;
  off.run.options().auto_doc_detect = false;
  off.Search("検索", FixturePath("docs").string(), "sample.doc");
  for (size_t i = 0; i < off.store.size(); ++i) EXPECT_NE(off.store[i].EncodingCode, 1007);
}

TEST(DocumentSearch, AnRtfFileShowsZeroPercentAtItsStartOnly) {
  Harness h;
  h.run.options().auto_doc_detect = true;
  std::vector<std::string> seen;  // field 2 whenever the window is served
  h.front.on_events = [&] { seen.push_back(h.front.panels[1]); };
  h.Search("検索", FixturePath("docs").string(), "sample.rtf");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "0%"), seen.end());
  EXPECT_EQ(h.front.panels[1], "");  // cleared at the end
  seen.clear();
  Harness doc;  // a Word file has no such start
  doc.run.options().auto_doc_detect = true;
  doc.front.on_events = [&] { seen.push_back(doc.front.panels[1]); };
  doc.Search("検索", FixturePath("docs").string(), "sample.doc");
  EXPECT_EQ(std::find(seen.begin(), seen.end(), "0%"), seen.end());
}

TEST(DocumentSearch, CellsNumbersFirstHitAndTheProgressField) {
  Harness h;
  h.Search("cat", Doc("sample.xls"));
  ASSERT_EQ(h.store.size(), 4u);
  EXPECT_EQ(h.store[0].LineText, "cat [Page:1(1:0)]");
  EXPECT_EQ(h.store[0].LineNo, 5);
  EXPECT_EQ(h.store[0].EncodingCode, 1008);
  EXPECT_EQ(h.store[0].LineEndCode, 1);
  EXPECT_EQ(h.front.panels[1], "");

  Harness numbers;
  numbers.Search("12.34", Doc("sample.xls"));
  EXPECT_EQ(numbers.store.size(), 0u);  // numeric cells only with XlsAlsoNum
  numbers.run.options().xls_also_num = true;
  numbers.Search("12.34", Doc("sample.xls"));
  ASSERT_EQ(numbers.store.size(), 1u);
  EXPECT_EQ(numbers.store[0].LineNo, 8);

  Harness once;
  once.run.options().find_onece = true;
  once.Search("cat", Doc("sst_continue.xls"));
  EXPECT_EQ(once.store.size(), 1u);

  Harness aborted;  // the abort command ends the workbook, not only the walk
  aborted.front.on_events = [&] { aborted.run.AbortBtnClick(); };
  aborted.Search("cat", Doc("sst_continue.xls"));
  EXPECT_EQ(aborted.store.size(), 0u);

  Harness off;
  off.run.options().xls_grep = false;
  off.Search("cat", Doc("sample.xls"));
  for (size_t i = 0; i < off.store.size(); ++i) EXPECT_NE(off.store[i].EncodingCode, 1008);
}

TEST(DocumentSearch, BrokenWorkbooksAreLoggedCountedAndReported) {
  Harness h;
  h.run.options().xls_err_log = true;
  h.Search("cat", FixturePath("docs").string(), "*.xls");
  EXPECT_EQ(h.run.ErrorCount(), 1);
  EXPECT_NE(h.Log().find(Sj("EXCEL変換エラー:") + Doc("oversize_sst.xls")), std::string::npos);
  EXPECT_EQ(h.front.reports, (std::vector<std::string>{"全 9 ファイル中 1 ファイルが失敗"}));

  Harness quiet;
  quiet.Search("cat", FixturePath("docs").string(), "*.xls");
  EXPECT_TRUE(quiet.front.reports.empty());
}

TEST(DocumentSearch, HtmlTagsAreStrippedWhenAsked) {
  Harness h;
  h.run.options().html_tag = true;
  h.Search("abc", FixturePath("docs").string(), "*.html;*.HTM");
  EXPECT_EQ(h.Names(), (std::set<std::string>{"sample_sjis.html", "sample_eucjp.HTM"}));
  Harness raw;
  raw.Search("abc", FixturePath("docs").string(), "*.html;*.HTM");
  EXPECT_EQ(raw.store.size(), 0u);
}

}  // namespace
}  // namespace lorvek
