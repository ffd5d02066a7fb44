#include "sources/xml_walk.h"

#include <libxml/xmlreader.h>

#include <memory>

namespace lorvek {
namespace {

std::string_view View(const xmlChar* s) { return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view(); }

// libxml2 reports through a global handler by default; a part's faults are
// ours to report, not stderr's.
void Silence(void*, const char*, ...) {}

// libxml2 checks an element's attributes against each other, in time that
// grows with the square of their number: a tag with more than any office
// suite writes (the widest, a root with its namespaces, has about forty) is
// refused before parsing. Counts "=" outside quoted values; comments,
// processing instructions and CDATA sections are passed over whole.
bool HasCrowdedTag(std::string_view xml) {
  constexpr int kMostAttributes = 256;
  size_t i = 0;
  while ((i = xml.find('<', i)) != std::string_view::npos) {
    const std::string_view rest = xml.substr(i);
    const char* close = nullptr;
    if (rest.substr(0, 4) == "<!--") close = "-->";
    else if (rest.substr(0, 9) == "<![CDATA[") close = "]]>";
    else if (rest.substr(0, 2) == "<?") close = "?>";
    if (close) {
      const size_t end = xml.find(close, i + 2);
      if (end == std::string_view::npos) return false;  // malformed: the parser says so
      i = end + std::char_traits<char>::length(close);
      continue;
    }
    char quote = 0;
    int count = 0;
    for (++i; i < xml.size(); ++i) {
      const char ch = xml[i];
      if (quote) {
        if (ch == quote) quote = 0;
      } else if (ch == '"' || ch == '\'') {
        quote = ch;
      } else if (ch == '>') {
        break;
      } else if (ch == '=' && ++count > kMostAttributes) {
        return true;
      }
    }
  }
  return false;
}

struct ReaderFree {
  void operator()(xmlTextReaderPtr r) const { xmlFreeTextReader(r); }
};

}  // namespace

namespace {
std::string_view LocalPart(std::string_view qualified) {
  const size_t colon = qualified.find(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}
}  // namespace

std::string_view XmlAttributes::Get(std::string_view local_name) const {
  for (const auto& [k, v] : items)
    if (LocalPart(k) == local_name) return v;
  return {};
}

bool XmlAttributes::Has(std::string_view local_name) const {
  for (const auto& item : items)
    if (LocalPart(item.first) == local_name) return true;
  return false;
}

std::string_view XmlAttributes::GetPrefixed(std::string_view local_name) const {
  for (const auto& [k, v] : items)
    if (k.find(':') != std::string::npos && LocalPart(k) == local_name) return v;
  return {};
}

void WalkXml(std::string_view xml, XmlHandler& handler) {
  // Office parts never carry a document type; refusing one up front keeps
  // entity expansion (and its bombs) out of reach altogether.
  if (xml.find("<!DOCTYPE") != std::string_view::npos) throw DocumentError("XMLに文書型宣言があります");
  if (xml.size() > static_cast<size_t>(INT32_MAX)) throw DocumentError("XMLが大きすぎます");
  if (HasCrowdedTag(xml)) throw DocumentError("XMLの属性が多すぎます");
  xmlSetGenericErrorFunc(nullptr, Silence);
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
  std::unique_ptr<xmlTextReader, ReaderFree> reader(
      xmlReaderForMemory(xml.data(), static_cast<int>(xml.size()), "", nullptr, options));
  if (!reader) throw DocumentError("XMLを読めません");
  xmlTextReaderPtr r = reader.get();
  xmlTextReaderSetErrorHandler(r, [](void*, const char*, xmlParserSeverities, xmlTextReaderLocatorPtr) {}, nullptr);
  XmlAttributes attributes;
  int status = 0;
  while (handler.Continue() && (status = xmlTextReaderRead(r)) == 1) {
    switch (xmlTextReaderNodeType(r)) {
      case XML_READER_TYPE_ELEMENT: {
        const std::string name(View(xmlTextReaderConstLocalName(r)));
        const bool empty = xmlTextReaderIsEmptyElement(r) == 1;
        attributes.items.clear();
        if (xmlTextReaderMoveToFirstAttribute(r) == 1) {
          do {
            attributes.items.emplace_back(View(xmlTextReaderConstName(r)), View(xmlTextReaderConstValue(r)));
          } while (xmlTextReaderMoveToNextAttribute(r) == 1);
          xmlTextReaderMoveToElement(r);
        }
        handler.Start(name, attributes);
        if (empty) handler.End(name);
        break;
      }
      case XML_READER_TYPE_END_ELEMENT:
        handler.End(View(xmlTextReaderConstLocalName(r)));
        break;
      case XML_READER_TYPE_TEXT:
      case XML_READER_TYPE_CDATA:
      case XML_READER_TYPE_WHITESPACE:
      case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
        handler.Text(View(xmlTextReaderConstValue(r)));
        break;
      case XML_READER_TYPE_DOCUMENT_TYPE:
      case XML_READER_TYPE_ENTITY_REFERENCE:
        throw DocumentError("XMLに文書型宣言があります");
      default:
        break;
    }
  }
  if (handler.Continue() && status != 0) throw DocumentError("XMLが壊れています");
}

}  // namespace lorvek
