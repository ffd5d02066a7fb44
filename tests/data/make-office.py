#!/usr/bin/env python3
"""Writes the office-document test data of tests/data/office. The output is
committed.

- Made by LibreOffice from the project's own Japanese text (SAMPLE of
  make-data.py), as users get them: sample.docx/.odt/.pdf (with a header, a
  footer and a footnote), sample.xlsx/.ods, sample.pptx/.odp and
  protected.pdf (password "secret"). Made again only with
  --office (needs soffice and the python3-uno module of /usr/bin/python3).
- Written here: a document protected by a password (a compound file with
  the encrypted package, as office suites write it), a workbook with inline
  strings and phonetic guides, a
  document with an entity bomb, a damaged and a non-zip document, a part
  that inflates past a small bound, a sheet of repeated cells.

    python3 tests/data/make-office.py [--office]
"""
import io
import os
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from importlib import import_module  # noqa: E402

SAMPLE = import_module("make-data").SAMPLE
DOCS_SCRIPT = import_module("make-docs")
compound_file = DOCS_SCRIPT.compound_file
OUT = os.path.join(HERE, "office")

UNO_SCRIPT = r'''
from com.sun.star.awt import Point, Size

out, text_file = sys.argv[3:5]

def store(doc, name, filter_name, *extra):
    doc.storeToURL("file://" + os.path.join(out, name), (prop("FilterName", filter_name),) + extra)

# Writer: the sample paragraphs, a header and a footer, and a last
# paragraph holding a footnote.
doc = desktop.loadComponentFromURL("file://" + text_file, "_blank", 0,
                                   (prop("Hidden", True), prop("FilterName", "Text (encoded)"),
                                    prop("FilterOptions", "UTF8,LF,,,")))
style = doc.StyleFamilies.getByName("PageStyles").getByName("Standard")
style.HeaderIsOn = True
style.HeaderText.String = "ヘッダーの検索語"
style.FooterIsOn = True
style.FooterText.String = "フッターの検索語"
text = doc.Text
cursor = text.createTextCursor()
cursor.gotoEnd(False)
text.insertString(cursor, "注記の段落", False)
note = doc.createInstance("com.sun.star.text.Footnote")
text.insertTextContent(cursor, note, False)
note.String = "脚注の検索語"
store(doc, "sample.docx", "MS Word 2007 XML")
store(doc, "sample.odt", "writer8")
store(doc, "sample.pdf", "writer_pdf_Export")
encrypt = uno.Any("[]com.sun.star.beans.PropertyValue",
                  (prop("EncryptFile", True), prop("DocumentOpenPassword", "secret")))
store(doc, "protected.pdf", "writer_pdf_Export", prop("FilterData", encrypt))
doc.close(True)

# Calc: text, numbers, a formula with a string result, booleans, two sheets.
doc, s2 = sample_workbook()
s2.getCellByPosition(2, 5).String = "離れたセルの検索語"
doc.calculateAll()
store(doc, "sample.xlsx", "Calc MS Excel 2007 XML")
store(doc, "sample.ods", "calc8")
doc.close(True)

# Impress: two slides of text, each with notes.
doc = desktop.loadComponentFromURL("private:factory/simpress", "_blank", 0, (prop("Hidden", True),))
pages = doc.DrawPages
while pages.getCount() < 2:
    pages.insertNewByIndex(pages.getCount() - 1)
def add_text(page, value, y):
    shape = doc.createInstance("com.sun.star.drawing.TextShape")
    page.add(shape)
    shape.Position = Point(1000, y)
    shape.Size = Size(20000, 3000)
    shape.String = value
for i, lines in enumerate([["一枚目の題：検索の紹介", "本文の一行目", "本文の二行目"],
                           ["二枚目の題：置換", "最後のスライドの検索語"]]):
    page = pages.getByIndex(i)
    for k in range(page.getCount() - 1, -1, -1):
        page.remove(page.getByIndex(k))
    add_text(page, "\n".join(lines), 2000)
    notes = page.NotesPage
    for k in range(notes.getCount() - 1, -1, -1):
        notes.remove(notes.getByIndex(k))
    add_text(notes, "%d枚目のノートの検索語" % (i + 1), 12000)
store(doc, "sample.pptx", "Impress MS PowerPoint 2007 XML")
store(doc, "sample.odp", "impress8")
doc.close(True)
'''


def office(tmp):
    text_file = os.path.join(tmp, "sample.txt")
    with open(text_file, "w", encoding="utf-8") as f:
        f.write("\n".join(SAMPLE) + "\n")
    script = os.path.join(tmp, "office.py")
    with open(script, "w", encoding="utf-8") as f:
        f.write(DOCS_SCRIPT.uno_script(2098, UNO_SCRIPT))
    subprocess.run(["/usr/bin/python3", script, "soffice", tmp, OUT, text_file], check=True)


def package(name, parts):
    """A zip of the parts, byte for byte the same on every run."""
    with zipfile.ZipFile(os.path.join(OUT, name), "w", zipfile.ZIP_DEFLATED) as z:
        for part, data in parts:
            z.writestr(zipfile.ZipInfo(part, date_time=(2024, 1, 1, 0, 0, 0)), data, zipfile.ZIP_DEFLATED)


RELS = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
        'relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
        'relationships/officeDocument" Target="%s"/></Relationships>')
W = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
S = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
R = 'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'


def handmade_workbook():
    """Shared strings with a phonetic guide, inline strings, numbers, a
    formula's cached string, booleans and errors, a cell without a reference,
    and the sheets named in an order other than their part names."""
    workbook = ('<workbook %s %s><sheets><sheet name="一" sheetId="1" r:id="rId9"/>'
                '<sheet name="二" sheetId="2" r:id="rId8"/></sheets></workbook>' % (S, R))
    rels = ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId9" Type="x/worksheet" Target="worksheets/sheet2.xml"/>'
            '<Relationship Id="rId8" Type="x/worksheet" Target="/xl/worksheets/sheet1.xml"/>'
            '<Relationship Id="rId3" Type="x/sharedStrings" Target="sharedStrings.xml"/></Relationships>')
    shared = ('<sst %s count="2" uniqueCount="2"><si><t>共有の検索語</t></si>'
              '<si><r><t>漢字</t></r><r><t xml:space="preserve"> 混在</t></r>'
              '<rPh sb="0" eb="2"><t>カンジ</t></rPh></si></sst>' % S)
    first = ('<worksheet %s><sheetData>'
             '<row r="1"><c r="A1" t="s"><v>0</v></c><c r="C1" t="inlineStr"><is><t>インラインの検索語</t></is></c></row>'
             '<row r="3"><c r="B3"><v>2.5</v></c><c r="D3" t="str"><f>A1&amp;"!"</f><v>数式の文字列</v></c>'
             '<c t="b"><v>1</v></c><c r="F3" t="e"><v>#DIV/0!</v></c><c r="G3" s="4"/></row>'
             '<row r="4"><c r="A4" t="s"><v>1</v></c><c r="B4" t="s"><v>7</v></c></row>'
             '</sheetData></worksheet>' % S)
    second = '<worksheet %s><sheetData><row r="2"><c r="AB2" t="inlineStr"><is><t>二枚目</t></is></c></row></sheetData></worksheet>' % S
    package("handmade.xlsx", [("_rels/.rels", RELS % "xl/workbook.xml"), ("xl/workbook.xml", workbook),
                              ("xl/_rels/workbook.xml.rels", rels), ("xl/sharedStrings.xml", shared),
                              ("xl/worksheets/sheet1.xml", second), ("xl/worksheets/sheet2.xml", first)])


def hostile():
    laughs = ('<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol">'
              + "".join('<!ENTITY lol%d "%s">' % (i, ("&lol%d;" % (i - 1) if i > 1 else "&lol;") * 10) for i in range(1, 10))
              + ']><w:document %s><w:body><w:p><w:r><w:t>&lol9;</w:t></w:r></w:p></w:body></w:document>' % W)
    package("laughs.docx", [("_rels/.rels", RELS % "word/document.xml"), ("word/document.xml", laughs)])
    # Two MiB of one paragraph, a few kilobytes packed.
    big = '<w:document %s><w:body><w:p><w:r><w:t>%s</w:t></w:r></w:p></w:body></w:document>' % (W, "検" * 700000)
    package("inflating.docx", [("_rels/.rels", RELS % "word/document.xml"), ("word/document.xml", big)])
    sample = os.path.join(OUT, "sample.docx")
    with open(sample, "rb") as f:
        data = f.read()
    with open(os.path.join(OUT, "damaged.docx"), "wb") as f:
        f.write(data[: len(data) * 2 // 3])
    info = b"\x04\x00\x04\x00\x40\x00\x00\x00" + b"<encryption/>" * 20
    with open(os.path.join(OUT, "protected.docx"), "wb") as f:
        f.write(compound_file([("EncryptionInfo", info), ("EncryptedPackage", bytes(range(256)) * 16)]))
    with open(os.path.join(OUT, "notzip.xlsx"), "wb") as f:
        f.write("ZIPではない表計算\n".encode("utf-8"))
    # A row repeated a million times with a hundred repeated cells.
    content = ('<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
               'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
               'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:spreadsheet>'
               '<table:table table:name="S"><table:table-row table:number-rows-repeated="1000000">'
               '<table:table-cell table:number-columns-repeated="100" office:value-type="string">'
               '<text:p>爆弾</text:p></table:table-cell></table:table-row></table:table>'
               '</office:spreadsheet></office:body></office:document-content>')
    package("repeated.ods", [("mimetype", "application/vnd.oasis.opendocument.spreadsheet"), ("content.xml", content)])


ODF_NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
          'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
          'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
          'xmlns:dc="http://purl.org/dc/elements/1.1/"')


def odf(name, body, mime="application/vnd.oasis.opendocument.text", manifest=None):
    content = '<office:document-content %s><office:body>%s</office:body></office:document-content>' % (ODF_NS, body)
    parts = [("mimetype", mime), ("content.xml", content)]
    if manifest:
        parts.append(("META-INF/manifest.xml", manifest))
    package(name, parts)


def markup():
    """What real documents carry beside their text: ruby readings, moved
    and deleted text, page breaks, tab stops, fields, annotations, escapes,
    odd references; each with the text it must give."""
    body = ('<w:document %s><w:body>'
            '<w:p><w:r><w:t>ルビ：</w:t></w:r><w:r><w:ruby><w:rt><w:r><w:t>とう</w:t></w:r></w:rt>'
            '<w:rubyBase><w:r><w:t>東</w:t></w:r></w:rubyBase></w:ruby></w:r><w:r><w:t>京都</w:t></w:r></w:p>'
            '<w:p><w:moveFrom><w:r><w:t>移動した文</w:t></w:r></w:moveFrom><w:r><w:t>残る文</w:t></w:r>'
            '<w:del><w:r><w:delText>消した文</w:delText></w:r></w:del></w:p>'
            '<w:p><w:r><w:t>改ページ前</w:t><w:br w:type="page"/><w:t>改ページ後</w:t></w:r></w:p>'
            '<w:p><w:pPr><w:tabs><w:tab w:val="left" w:pos="720"/></w:tabs></w:pPr>'
            '<w:r><w:t>前</w:t><w:tab/><w:t>後</w:t><w:br/><w:t>改行後</w:t></w:r></w:p>'
            '<w:p><w:moveTo><w:r><w:t>移動した文</w:t></w:r></w:moveTo></w:p>'
            '</w:body></w:document>' % W)
    package("markup.docx", [("_rels/.rels", RELS % "word/document.xml"), ("word/document.xml", body),
                            ("customXml/item1.xml", "<a>" + "x" * 100 + "</a>")])
    odf("markup.odt", '<office:text>'
        '<text:p>ルビ：<text:ruby><text:ruby-base>東京</text:ruby-base><text:ruby-text>とうきょう</text:ruby-text></text:ruby>都</text:p>'
        '<text:p>日付：<text:date>3/15/24</text:date> 作者：<text:creator>山田</text:creator></text:p>'
        '<text:p>注釈つき<office:annotation><dc:creator>tester</dc:creator><dc:date>2024-03-15</dc:date>'
        '<text:p>注釈の本文</text:p></office:annotation>の段落</text:p>'
        '<text:p>空白<text:s text:c="3"/>三つ</text:p></office:text>',
        manifest='<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">'
                 '<manifest:file-entry manifest:full-path="Pictures/encryption-data.png"/></manifest:manifest>')
    sheet = ('<worksheet %s><sheetData><row r="99999999999"><c r="$B$3" t="inlineStr"><is><t>改行_x000D_付き</t></is></c>'
             '<c r="ZZZZZZZZZZ99999999999" t="d"><v>2024-03-15T00:00:00</v></c><c t="s"><v>abc</v></c>'
             '<c t="s"><v>0</v></c></row></sheetData></worksheet>' % S)
    workbook = '<workbook %s %s><sheets><sheet r:id="rId1"/><sheet r:id="rId1"/></sheets></workbook>' % (S, R)
    rels = ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
            '<Relationship Id="rId1" Type="x" Target="worksheets/sheet1.xml"/></Relationships>')
    shared = '<sst %s><si><t>共有</t></si></sst>' % S
    package("markup.xlsx", [("_rels/.rels", RELS % "xl/workbook.xml"), ("xl/workbook.xml", workbook),
                            ("xl/_rels/workbook.xml.rels", rels), ("xl/sharedStrings.xml", shared),
                            ("xl/worksheets/sheet1.xml", sheet)])
    # Indented XML of another producer, an image's title and description,
    # a note inside a cell's paragraph.
    odf("pretty.odt", '<office:text>\n  <text:p>\n    前の文\n    <text:span>検索</text:span>  と\t後\n  </text:p>\n'
        '  <text:p>画像<draw:frame xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
        'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"><svg:title>題</svg:title>'
        '<svg:desc>説明</svg:desc></draw:frame>の後</text:p>\n</office:text>')
    odf("nested.ods", '<office:spreadsheet><table:table><table:table-row><table:table-cell office:value-type="string">'
        '<text:p>前<text:note><text:note-body><text:p>注</text:p></text:note-body></text:note>後の検索</text:p>'
        '</table:table-cell></table:table-row></table:table></office:spreadsheet>',
        "application/vnd.oasis.opendocument.spreadsheet")
    # Packages that name nothing readable.
    self_rels = RELS % "_rels/.rels"
    package("self.docx", [("_rels/.rels", self_rels)])
    climbing = ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                '<Relationship Id="rId1" Type="x" Target="../../etc/passwd"/></Relationships>')
    package("climbing.xlsx", [("_rels/.rels", RELS % "xl/workbook.xml"), ("xl/workbook.xml", workbook),
                              ("xl/_rels/workbook.xml.rels", climbing)])


def bombs():
    """Small files that would make gigabytes of text or hours of work."""
    spaces = '<text:s text:c="2000000000"/>' * 100000
    odf("spaces.odt", '<office:text><text:p>findme%s</text:p></office:text>' % spaces)
    cell = ('<table:table-cell table:number-columns-repeated="16384"><text:p>findme%s</text:p></table:table-cell>'
            % ('<text:s text:c="1000"/>' * 30))
    odf("wide_rows.ods", '<office:spreadsheet><table:table><table:table-row table:number-rows-repeated="1048576">%s'
        '</table:table-row></table:table></office:spreadsheet>' % cell, "application/vnd.oasis.opendocument.spreadsheet")
    crowded = '<w:document %s><w:body><w:p %s><w:r><w:t>x</w:t></w:r></w:p></w:body></w:document>' % (
        W, " ".join('a%d="1"' % i for i in range(50000)))
    package("crowded.docx", [("_rels/.rels", RELS % "word/document.xml"), ("word/document.xml", crowded)])
    hidden = crowded.replace("<w:body>", "<!-- don't --><w:body>")
    package("crowded_comment.docx", [("_rels/.rels", RELS % "word/document.xml"), ("word/document.xml", hidden)])
    # One cell of 100 KB repeated across the row: 1.6 GB if copied.
    odf("wide_text.ods", '<office:spreadsheet><table:table><table:table-row>'
        '<table:table-cell table:number-columns-repeated="16384"><text:p>%s</text:p></table:table-cell>'
        '</table:table-row></table:table></office:spreadsheet>' % ("x" * 100000),
        "application/vnd.oasis.opendocument.spreadsheet")


def main():
    os.makedirs(OUT, exist_ok=True)
    if "--office" in sys.argv:
        with tempfile.TemporaryDirectory() as tmp:
            office(tmp)
    handmade_workbook()
    hostile()
    markup()
    bombs()
    # Documents inside an archive (not named as documents there: the
    # members are chosen by the masks).
    members = []
    for name in ("sample.docx", "sample.xlsx", "sample.pdf"):
        with open(os.path.join(OUT, name), "rb") as f:
            members.append(("書類/" + name, f.read()))
    package("documents.zip", members)


if __name__ == "__main__":
    main()
