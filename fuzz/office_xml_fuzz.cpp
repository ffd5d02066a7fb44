// The XML glue of the office readers over hostile parts: the input is
// given as every kind of part (body, sheet, shared strings, slide,
// content.xml) of otherwise sound packages.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "sources/office_text.h"

namespace {

const char kRels[] = R"(<Relationships><Relationship Id="r1" Target="%s"/></Relationships>)";

std::string Rels(const std::string& target) {
  std::string s = kRels;
  return s.replace(s.find("%s"), 2, target);
}

template <typename F>
void Quietly(F f) {
  try {
    f();
  } catch (const std::exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lorvek;
  const std::string xml(reinterpret_cast<const char*>(data), size);
  const auto line = [](std::string_view) { return true; };
  const auto cell = [](const ExcelCell&) { return true; };
  Quietly([&] { ReadWordXmlLines({{"word/document.xml", xml}, {"word/footnotes.xml", xml}}, line); });
  Quietly([&] {
    ReadSheetXmlCells({{"xl/workbook.xml", R"(<workbook><sheets><sheet r:id="r1" xmlns:r="r"/></sheets></workbook>)"},
                       {"xl/_rels/workbook.xml.rels", Rels("worksheets/sheet1.xml")},
                       {"xl/worksheets/sheet1.xml", xml}, {"xl/sharedStrings.xml", xml}},
                      cell);
  });
  Quietly([&] {
    ReadSlideXmlLines({{"ppt/presentation.xml", R"(<p><sldId r:id="r1" xmlns:r="r"/></p>)"},
                       {"ppt/_rels/presentation.xml.rels", Rels("slides/slide1.xml")},
                       {"ppt/slides/slide1.xml", xml}, {"ppt/slides/_rels/slide1.xml.rels", xml}},
                      line);
  });
  Quietly([&] { ReadSlideXmlLines({{"ppt/presentation.xml", xml}, {"ppt/_rels/presentation.xml.rels", xml}}, line); });
  Quietly([&] { ReadOdfLines(xml, line); });
  Quietly([&] { ReadOdfCells(xml, cell); });
  return 0;
}
