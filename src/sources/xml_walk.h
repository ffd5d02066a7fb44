// A streaming walk over an XML part of an office document (libxml2's
// reader): element starts with their attributes, text, element ends. No
// document type is accepted, so no entity can be declared, expanded or
// fetched, and nothing is loaded from the network.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lorvek {

class DocumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Attributes as stored (qualified names), looked up by local name.
class XmlAttributes {
 public:
  // The first attribute of that local name, whatever its prefix.
  std::string_view Get(std::string_view local_name) const;
  bool Has(std::string_view local_name) const;
  // The first one of that local name that has a prefix ("r:id" beside "id").
  std::string_view GetPrefixed(std::string_view local_name) const;
  std::vector<std::pair<std::string, std::string>> items;
};

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // Names are local names (the prefix dropped). An empty element gets
  // Start and End at once.
  virtual void Start(std::string_view name, const XmlAttributes& attributes) = 0;
  virtual void End(std::string_view) {}
  virtual void Text(std::string_view) {}
  // False stops the walk early (the caller wants no more).
  virtual bool Continue() const { return true; }
};

// Walks the part; raises DocumentError for malformed XML or a document
// type declaration.
void WalkXml(std::string_view xml, XmlHandler& handler);

}  // namespace lorvek
