// Today's office documents: .docx/.pptx/.xlsx, OpenDocument and PDF files
// made by LibreOffice from the sample text, hand-made workbooks for what an
// office suite does not write, and hostile packages.
#include <gtest/gtest.h>

#include "search_harness.h"
#include "sources/office_text.h"
#include "sources/package_parts.h"
#include "sources/xml_walk.h"
#include "test_util.h"
#include "text/cp932.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

using test::FixturePath;
using test::Harness;
using test::Sj;

std::string Office(const char* name) { return FixturePath("office").string() + "/" + name; }

std::vector<std::string> SampleLines() {
  std::vector<std::string> lines;
  const std::string text = test::ReadBytes(FixturePath("text/sjis_crlf.txt"));
  size_t start = 0, end;
  while ((end = text.find("\r\n", start)) != std::string::npos) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> Lines(const char* name, const PackageLimits& limits = {}) {
  std::vector<std::string> out;
  ReadOfficeLines(Office(name), OfficeFormatOf(name), [&](std::string_view l) {
    out.push_back(Cp932ToUtf8(l));
    return true;
  }, limits);
  return out;
}

std::vector<std::string> Cells(const char* name) {
  std::vector<std::string> out;
  ReadOfficeCells(Office(name), OfficeFormatOf(name), [&](const ExcelCell& c) {
    out.push_back(Cp932ToUtf8(c.text) + " " + CellLabel(c.sheet, c.row, c.col) + (c.numeric ? " #" : ""));
    return true;
  });
  return out;
}

std::string FailureOf(const char* name) {
  try {
    if (IsSheetFormat(OfficeFormatOf(name))) Cells(name);
    else Lines(name);
  } catch (const DocumentError& e) {
    return e.what();
  }
  return "";
}

TEST(OfficeDocuments, WordProcessorFilesGiveEveryParagraphOnItsLine) {
  const std::vector<std::string> sample = SampleLines();
  ASSERT_EQ(sample.size(), 16u);
  for (const char* name : {"sample.docx", "sample.odt"}) {
    SCOPED_TRACE(name);
    const std::vector<std::string> got = Lines(name);
    ASSERT_GE(got.size(), 17u);
    for (size_t i = 0; i < 15; ++i) EXPECT_EQ(got[i], Cp932ToUtf8(sample[i])) << i;
    EXPECT_EQ(got[15], Cp932ToUtf8(sample[15]) + "注記の段落");  // the footnote's mark is not text
    // The footnote follows the body.
    EXPECT_NE(std::find_if(got.begin() + 16, got.end(),
                           [](const std::string& l) { return l.find("脚注の検索語") != std::string::npos; }),
              got.end());
  }
  // The headers and footers of an .odt (in its styles) follow its notes.
  const std::vector<std::string> odt = Lines("sample.odt");
  EXPECT_EQ(std::vector<std::string>(odt.begin() + 16, odt.end()),
            (std::vector<std::string>{"脚注の検索語", "ヘッダーの検索語", "フッターの検索語"}));
  // Headers and footers of a .docx follow the body, before the notes.
  const std::vector<std::string> docx = Lines("sample.docx");
  EXPECT_EQ(std::vector<std::string>(docx.begin() + 16, docx.begin() + 18),
            (std::vector<std::string>{"ヘッダーの検索語", "フッターの検索語"}));
  EXPECT_EQ(docx.back(), "\t脚注の検索語");
  EXPECT_EQ(docx.size(), 19u);  // no lines for the notes' separators
}

TEST(OfficeDocuments, PresentationsGiveSlidesThenTheirNotesInOrder) {
  const std::vector<std::string> expected = {"一枚目の題：検索の紹介", "本文の一行目",          "本文の二行目",
                                             "1枚目のノートの検索語", "二枚目の題：置換",      "最後のスライドの検索語",
                                             "2枚目のノートの検索語"};
  EXPECT_EQ(Lines("sample.pptx"), expected);
  EXPECT_EQ(Lines("sample.odp"), expected);
}

TEST(OfficeDocuments, PdfPagesGiveTheirTextLinesInReadingOrder) {
  const std::vector<std::string> got = Lines("sample.pdf");
  ASSERT_GE(got.size(), 18u);
  EXPECT_EQ(got.front(), "ヘッダーの検索語");
  EXPECT_EQ(got.back(), "フッターの検索語");
  // Every short sample line is one text line, in order.
  size_t at = 0;
  for (const std::string& line : SampleLines()) {
    const std::string utf8 = Cp932ToUtf8(line);
    if (utf8.find('\t') != std::string::npos || utf8.size() > 100 || utf8.find("AND") == 0) continue;
    auto it = std::find_if(got.begin() + static_cast<long>(at), got.end(),
                           [&](const std::string& g) { return g.rfind(utf8, 0) == 0; });
    ASSERT_NE(it, got.end()) << utf8;
    at = static_cast<size_t>(it - got.begin()) + 1;
  }
}

TEST(OfficeDocuments, SpreadsheetsGiveTheLegacyCellModel) {
  const std::vector<std::string> expected = {
      "検索テスト [Page:1(0:0)]", "1.5 [Page:1(0:1)] #",   "100 [Page:1(0:2)] #",        "テスト [Page:1(0:3)]",
      "cat [Page:1(1:0)]",        "TRUE [Page:1(1:1)]",    "全文検索 [Page:1(1:2)]",      "12.34 [Page:1(1:3)] #",
      "concatenate (cat) [Page:1(2:0)]", "3.14159 [Page:1(2:1)] #", "catfish [Page:1(2:2)]", "全文検索 [Page:1(2:3)]",
      "-7 [Page:1(3:0)] #",       "1e+20 [Page:1(3:1)] #", "0.000123 [Page:1(3:2)] #",   "123456789012 [Page:1(3:3)] #",
      "ｶﾀｶﾅ [Page:2(0:0)]",       "半角ｶﾀｶﾅと全角カタカナ [Page:2(1:0)]", "離れたセルの検索語 [Page:2(5:2)]"};
  EXPECT_EQ(Cells("sample.xlsx"), expected);
  EXPECT_EQ(Cells("sample.ods"), expected);
  // Shared strings without their phonetic guide, inline strings, a
  // formula's cached string, booleans and errors, a cell without a
  // reference, an index past the shared strings, sheets in the workbook's
  // order whatever their part names.
  EXPECT_EQ(Cells("handmade.xlsx"),
            (std::vector<std::string>{"共有の検索語 [Page:1(0:0)]", "インラインの検索語 [Page:1(0:2)]",
                                      "2.5 [Page:1(2:1)] #", "数式の文字列 [Page:1(2:3)]", "TRUE [Page:1(2:4)]",
                                      "#DIV/0! [Page:1(2:5)]", "漢字 混在 [Page:1(3:0)]", "二枚目 [Page:2(1:27)]"}));
}

TEST(OfficeDocuments, DamagedProtectedAndHostileFilesFailCleanly) {
  EXPECT_EQ(FailureOf("protected.docx"), "パスワードで保護されています");
  EXPECT_EQ(FailureOf("protected.pdf"), "パスワードで保護されています");
  EXPECT_NE(FailureOf("damaged.docx"), "");
  EXPECT_EQ(FailureOf("notzip.xlsx").rfind("ZIP形式の文書ではありません", 0), 0u);
  // Entity expansion is refused before any parsing.
  EXPECT_EQ(FailureOf("laughs.docx"), "XMLに文書型宣言があります");
  EXPECT_EQ(FailureOf("repeated.ods"), "繰り返しセルが多すぎます");
  // A part that inflates past the bound.
  PackageLimits small;
  small.part_bytes = 1 << 20;
  EXPECT_THROW(Lines("inflating.docx", small), DocumentError);
  EXPECT_EQ(Lines("inflating.docx").at(0).size(), 700000u * 3);
  small = {};
  small.total_bytes = 1 << 20;
  EXPECT_THROW(Lines("inflating.docx", small), DocumentError);
}

TEST(OfficeDocuments, WhatRealDocumentsCarryBesideTheirText) {
  // Ruby readings, the old place of moved text and deleted text are not
  // text; a page break is not a line break, a line break is; tab stop
  // definitions are not tabs.
  EXPECT_EQ(Lines("markup.docx"),
            (std::vector<std::string>{"ルビ：東京都", "残る文", "改ページ前改ページ後", "前\t後", "改行後", "移動した文"}));
  // Fields keep their text (only an annotation's author and date are
  // left out); the annotation follows its paragraph; a manifest naming a
  // file "encryption-data" is not encryption.
  EXPECT_EQ(Lines("markup.odt"), (std::vector<std::string>{"ルビ：東京都", "日付：3/15/24 作者：山田", "注釈つきの段落",
                                                            "注釈の本文", "空白   三つ"}));
  // Escapes decoded, "$B$3" placed, references past the sheet and a row
  // number past it ignored, a non-numeric string index skipped, ISO
  // dates as text, a sheet listed twice read once.
  EXPECT_EQ(Cells("markup.xlsx"), (std::vector<std::string>{"改行\r付き [Page:1(2:1)]",
                                                            "2024-03-15T00:00:00 [Page:1(2:2)]", "共有 [Page:1(2:4)]"}));
  // Packages that name nothing readable are failures, not empty files.
  EXPECT_EQ(FailureOf("self.docx"), "本文がありません");
  EXPECT_EQ(FailureOf("climbing.xlsx"), "ワークシートを読めません");
  // Small files that would make gigabytes of text or hours of parsing.
  EXPECT_EQ(FailureOf("spaces.odt"), "段落が長すぎます");
  EXPECT_EQ(FailureOf("wide_rows.ods"), "繰り返しセルが多すぎます");
  EXPECT_EQ(FailureOf("crowded.docx"), "XMLの属性が多すぎます");
  EXPECT_EQ(FailureOf("crowded_comment.docx"), "XMLの属性が多すぎます");  // an apostrophe in a comment hides nothing
  EXPECT_EQ(FailureOf("wide_text.ods"), "繰り返しセルが多すぎます");
  // OpenDocument whitespace: runs are one space, none at a paragraph's
  // start; a frame's title and description are not text; a note inside a
  // cell's paragraph does not cut the paragraph short.
  EXPECT_EQ(Lines("pretty.odt"), (std::vector<std::string>{"前の文 検索 と 後 ", "画像の後"}));
  EXPECT_EQ(Cells("nested.ods"), (std::vector<std::string>{"前\n注後の検索 [Page:1(0:0)]"}));
}

TEST(OfficeDocuments, XmlWalkAndPartNames) {
  struct Collect : XmlHandler {
    std::string trace;
    void Start(std::string_view n, const XmlAttributes& a) override {
      trace += "<" + std::string(n) + ":" + std::string(a.Get("id")) + "/" + std::string(a.GetPrefixed("id"));
    }
    void End(std::string_view n) override { trace += "</" + std::string(n); }
    void Text(std::string_view t) override { trace += std::string(t); }
  };
  Collect c;
  WalkXml(R"(<p:a xmlns:p="u" xmlns:r="v" id="1" r:id="r9">x&amp;y<p:b/></p:a>)", c);
  EXPECT_EQ(c.trace, "<a:1/r9x&y<b:/</b</a");
  Collect bad;
  EXPECT_THROW(WalkXml("<a><b></a>", bad), DocumentError);
  EXPECT_THROW(WalkXml("<a>&undefined;</a>", bad), DocumentError);
  EXPECT_THROW(WalkXml(R"(<!DOCTYPE a SYSTEM "http://example.invalid/a.dtd"><a/>)", bad), DocumentError);

  EXPECT_EQ(ResolvePartName("xl", "worksheets/sheet1.xml"), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(ResolvePartName("xl", "/xl/worksheets/sheet1.xml"), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(ResolvePartName("ppt/slides", "../notesSlides/notesSlide1.xml"), "ppt/notesSlides/notesSlide1.xml");
  EXPECT_EQ(ResolvePartName("ppt", "../../etc/passwd"), "");
  EXPECT_EQ(ResolvePartName("", "./a//b.xml"), "a/b.xml");
  EXPECT_EQ(OfficeFormatOf("/d/A.Docx"), OfficeFormat::WordXml);
  EXPECT_EQ(OfficeFormatOf("/d/a.ods"), OfficeFormat::OdfSheet);
  EXPECT_EQ(OfficeFormatOf("/d/a.doc"), OfficeFormat::None);
}

// Hand-made packages, part by part.
std::vector<std::string> WordLines(const PackageParts& parts) {
  std::vector<std::string> out;
  ReadWordXmlLines(parts, [&](std::string_view l) {
    out.push_back(Cp932ToUtf8(l));
    return true;
  });
  return out;
}

std::string WordBody(const std::string& paragraphs) {
  return R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)" +
         paragraphs + "</w:body></w:document>";
}

TEST(OfficeDocuments, WordTrackedChangesAndTheOrderOfHeaders) {
  // Deleted text, as Word writes it, is not text; inserted text is.
  PackageParts parts;
  parts["word/document.xml"] = WordBody(
      "<w:p><w:r><w:t>残る</w:t></w:r><w:del w:id=\"1\"><w:r><w:delText>消した語</w:delText></w:r></w:del>"
      "<w:ins w:id=\"2\"><w:r><w:t>文</w:t></w:r></w:ins></w:p>"
      "<w:p><w:del w:id=\"3\"><w:r><w:delText>消した語</w:delText></w:r></w:del></w:p>");
  // Headers and footers by their numbers, not their names' characters.
  for (const char* n : {"1", "10", "2"})
    parts[std::string("word/header") + n + ".xml"] = WordBody(std::string("<w:p><w:r><w:t>ヘッダー") + n + "</w:t></w:r></w:p>");
  parts["word/footer1.xml"] = WordBody("<w:p><w:r><w:t>フッター</w:t></w:r></w:p>");
  const std::vector<std::string> lines = WordLines(parts);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], "残る文");
  EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
            (std::vector<std::string>{"ヘッダー1", "ヘッダー2", "ヘッダー10", "フッター"}));
  for (const std::string& l : lines) EXPECT_EQ(l.find("消した語"), std::string::npos) << l;
}

// Cells without references follow the cell before them in their row; a
// row without a number follows the row before it.
TEST(OfficeDocuments, CellsAndRowsWithoutReferences) {
  PackageParts parts;
  parts["xl/workbook.xml"] =
      R"(<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
      R"(<sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>)";
  parts["xl/_rels/workbook.xml.rels"] =
      R"(<Relationships><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>)";
  auto cell = [](const char* ref, const char* text) {
    return std::string("<c") + (ref ? std::string(" r=\"") + ref + "\"" : "") + " t=\"inlineStr\"><is><t>" + text +
           "</t></is></c>";
  };
  parts["xl/worksheets/sheet1.xml"] = "<worksheet><sheetData><row r=\"2\">" + cell("C2", "c") + cell(nullptr, "d") +
                                      "</row><row>" + cell(nullptr, "a") + cell(nullptr, "b") + "</row><row r=\"7\">" +
                                      cell(nullptr, "e") + "</row></sheetData></worksheet>";
  std::vector<std::string> cells;
  ReadSheetXmlCells(parts, [&](const ExcelCell& c) {
    cells.push_back(Cp932ToUtf8(c.text) + " " + CellLabel(c.sheet, c.row, c.col));
    return true;
  });
  EXPECT_EQ(cells, (std::vector<std::string>{"c [Page:1(1:2)]", "d [Page:1(1:3)]", "a [Page:1(2:0)]", "b [Page:1(2:1)]",
                                             "e [Page:1(6:0)]"}));
}

// ---- In a search run.

TEST(OfficeSearch, HitsCarryTheDocumentCodesAndFailuresAreLoggedAndCounted) {
  Harness h;
  h.Search("検索語", FixturePath("office").string(), "sample.*;protected.*;damaged.docx");
  std::map<std::string, std::vector<std::pair<int32_t, int32_t>>> hits;
  for (size_t i = 0; i < h.store.size(); ++i)
    hits[FileNameOf(h.store[i].OpenPath)].push_back({h.store[i].LineNo, h.store[i].EncodingCode});
  EXPECT_EQ(hits["sample.docx"], (std::vector<std::pair<int32_t, int32_t>>{{17, 1007}, {18, 1007}, {19, 1007}}));
  EXPECT_EQ(hits["sample.odt"], (std::vector<std::pair<int32_t, int32_t>>{{17, 1007}, {18, 1007}, {19, 1007}}));
  EXPECT_EQ(hits["sample.pptx"], (std::vector<std::pair<int32_t, int32_t>>{{4, 1007}, {6, 1007}, {7, 1007}}));
  EXPECT_EQ(hits["sample.xlsx"], (std::vector<std::pair<int32_t, int32_t>>{{19, 1008}}));
  EXPECT_EQ(hits["sample.ods"], (std::vector<std::pair<int32_t, int32_t>>{{19, 1008}}));
  EXPECT_EQ(hits["sample.pdf"].size(), 3u);
  for (size_t i = 0; i < h.store.size(); ++i)
    if (h.store[i].EncodingCode == 1008) EXPECT_EQ(h.store[i].LineText, Sj("離れたセルの検索語 [Page:2(5:2)]"));
  EXPECT_EQ(h.run.ErrorCount(), 3);
  const std::string log = h.Log();
  for (const char* name : {"protected.docx", "protected.pdf", "damaged.docx"})
    EXPECT_NE(log.find(Sj("文書変換エラー:") + Office(name)), std::string::npos) << name;

  // Switched off, they are files like any other: no document hits.
  Harness off;
  off.run.options().office_xml_grep = false;
  off.run.options().pdf_grep = false;
  off.Search("検索語", FixturePath("office").string(), "sample.*");
  for (size_t i = 0; i < off.store.size(); ++i) EXPECT_LT(off.store[i].EncodingCode, 1000);
  EXPECT_EQ(off.run.ErrorCount(), 0);

  // One switch at a time.
  Harness pdf_only;
  pdf_only.run.options().office_xml_grep = false;
  pdf_only.Search("検索語", FixturePath("office").string(), "sample.pdf;sample.docx");
  std::set<std::string> names;
  for (size_t i = 0; i < pdf_only.store.size(); ++i)
    if (pdf_only.store[i].EncodingCode == 1007) names.insert(FileNameOf(pdf_only.store[i].OpenPath));
  EXPECT_EQ(names, std::set<std::string>{"sample.pdf"});
}

TEST(OfficeSearch, FirstHitOnlyAndDocumentsInsideArchives) {
  Harness once;
  once.run.options().find_onece = true;
  once.Search("検索語", Office("sample.docx"));
  EXPECT_EQ(once.store.size(), 1u);

  Harness h;
  h.run.options().find_also_archive = true;
  h.run.WildMatch2().SetMasks({"*.ZIP"});
  h.Search("検索語", Office("documents.zip"), "*.docx;*.xlsx;*.pdf");
  std::map<std::string, int32_t> codes;
  for (size_t i = 0; i < h.store.size(); ++i) codes[std::string(h.store[i].OpenPath)] = h.store[i].EncodingCode;
  const std::string prefix = "@" + Office("documents.zip") + "@書類/";
  EXPECT_EQ(codes[prefix + "sample.docx"], 1007);
  EXPECT_EQ(codes[prefix + "sample.xlsx"], 1008);
  EXPECT_EQ(codes[prefix + "sample.pdf"], 1007);
  EXPECT_EQ(codes.size(), 3u);
}

}  // namespace
}  // namespace lorvek
