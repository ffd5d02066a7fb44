// Office Open XML: the paragraphs of .docx and .pptx, the cells of .xlsx.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

#include "sources/office_text.h"
#include "sources/paragraph_collector.h"
#include "text/cp932.h"

namespace lorvek {
namespace {

const std::string* Part(const PackageParts& parts, const std::string& name) {
  auto it = parts.find(name);
  return it == parts.end() ? nullptr : &it->second;
}

std::string FolderOf(const std::string& part) {
  const size_t slash = part.find_last_of('/');
  return slash == std::string::npos ? "" : part.substr(0, slash);
}

// The relationships of a part: Id to the target's part name.
std::map<std::string, std::string> Relationships(const PackageParts& parts, const std::string& part) {
  const std::string folder = FolderOf(part);
  const std::string rels_name = (folder.empty() ? "" : folder + "/") + "_rels/" + part.substr(folder.empty() ? 0 : folder.size() + 1) + ".rels";
  std::map<std::string, std::string> out;
  const std::string* rels = Part(parts, rels_name);
  if (!rels) return out;
  struct Handler : XmlHandler {
    std::map<std::string, std::string>& out;
    const std::string& folder;
    Handler(std::map<std::string, std::string>& o, const std::string& f) : out(o), folder(f) {}
    void Start(std::string_view name, const XmlAttributes& a) override {
      if (name == "Relationship" && a.Get("TargetMode") != "External")
        out[std::string(a.Get("Id"))] = ResolvePartName(folder, std::string(a.Get("Target")));
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
  } handler(out, folder);
  WalkXml(*rels, handler);
  return out;
}

// The main part the package's own relationships name (officeDocument).
std::string MainPart(const PackageParts& parts, const std::string& fallback) {
  const std::string* rels = Part(parts, "_rels/.rels");
  if (!rels) return fallback;
  struct Handler : XmlHandler {
    std::string main;
    void Start(std::string_view name, const XmlAttributes& a) override {
      const std::string_view type = a.Get("Type");
      if (name == "Relationship" && main.empty() && type.size() >= 15 &&
          type.substr(type.size() - 15) == "/officeDocument")
        main = ResolvePartName("", std::string(a.Get("Target")));
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
  } handler;
  WalkXml(*rels, handler);
  return handler.main.empty() ? fallback : handler.main;
}

// Paragraphs of WordprocessingML and DrawingML: p, runs of t, tab and
// break elements; deleted text, field instructions and the fallback copy
// of alternate content are not text.
class ParagraphHandler : public XmlHandler {
 public:
  explicit ParagraphHandler(ParagraphCollector& out) : out_(out) {}
  void Start(std::string_view name, const XmlAttributes& a) override {
    // The separator lines of the footnote and endnote parts are not notes.
    const bool separator = (name == "footnote" || name == "endnote") && !a.Get("type").empty() && a.Get("type") != "normal";
    if (skip_ > 0 || separator || name == "delText" || name == "instrText" || name == "Fallback" || name == "rPh") {
      ++skip_;
      return;
    }
    if (name == "p") out_.Open();
    else if (name == "r") ++run_;
    else if (name == "t") in_text_ = true;
    else if (name == "tab" && run_ > 0) out_.Append("\t");
    else if ((name == "br" || name == "cr") && out_.IsOpen()) out_.Break();
    else if (name == "noBreakHyphen" && run_ > 0) out_.Append("-");
  }
  void End(std::string_view name) override {
    if (skip_ > 0) {
      --skip_;
      return;
    }
    if (name == "p") out_.Close();
    else if (name == "r") run_ = std::max(0, run_ - 1);
    else if (name == "t") in_text_ = false;
  }
  void Text(std::string_view utf8) override {
    if (in_text_ && skip_ == 0) out_.Append(utf8);
  }
  bool Continue() const override { return !out_.Stopped(); }

 private:
  ParagraphCollector& out_;
  int skip_ = 0, run_ = 0;
  bool in_text_ = false;
};

void WalkParagraphs(const std::string& xml, ParagraphCollector& out) {
  ParagraphHandler handler(out);
  WalkXml(xml, handler);
}

// "word/header10.xml" after "word/header2.xml".
bool NaturalLess(const std::string& a, const std::string& b) {
  auto number = [](const std::string& s) {
    const size_t dot = s.find_last_of('.');
    size_t start = dot;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(s[start - 1]))) --start;
    return std::make_pair(s.substr(0, start), std::strtol(s.c_str() + start, nullptr, 10));
  };
  return number(a) < number(b);
}

std::vector<std::string> PartsNamed(const PackageParts& parts, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& [name, bytes] : parts)
    if (name.compare(0, prefix.size(), prefix) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".xml" &&
        name.find('/', prefix.size()) == std::string::npos)
      out.push_back(name);
  std::sort(out.begin(), out.end(), NaturalLess);
  return out;
}

}  // namespace

void ReadWordXmlLines(const PackageParts& parts, const OfficeLineFn& line) {
  const std::string main = MainPart(parts, "word/document.xml");
  const std::string* body = Part(parts, main);
  if (!body) throw DocumentError("本文がありません");
  ParagraphCollector out(line);
  WalkParagraphs(*body, out);
  // Then headers, footers, footnotes, endnotes and comments.
  const std::string folder = FolderOf(main) + "/";
  for (const char* kind : {"header", "footer", "footnotes", "endnotes", "comments"})
    for (const std::string& name : PartsNamed(parts, folder + kind)) {
      if (out.Stopped()) return;
      WalkParagraphs(*Part(parts, name), out);
    }
}

void ReadSlideXmlLines(const PackageParts& parts, const OfficeLineFn& line) {
  const std::string main = MainPart(parts, "ppt/presentation.xml");
  const std::string* presentation = Part(parts, main);
  if (!presentation) throw DocumentError("プレゼンテーションがありません");
  struct Handler : XmlHandler {
    std::vector<std::string> ids;
    void Start(std::string_view name, const XmlAttributes& a) override {
      if (name == "sldId") ids.emplace_back(a.GetPrefixed("id"));
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
  } order;
  WalkXml(*presentation, order);
  const auto rels = Relationships(parts, main);
  ParagraphCollector out(line);
  for (const std::string& id : order.ids) {
    auto it = rels.find(id);
    if (it == rels.end() || !Part(parts, it->second)) continue;
    const std::string& slide = it->second;
    WalkParagraphs(*Part(parts, slide), out);
    // The slide's notes follow it.
    for (const auto& [rid, target] : Relationships(parts, slide))
      if (target.find("notesSlide") != std::string::npos && Part(parts, target)) WalkParagraphs(*Part(parts, target), out);
    if (out.Stopped()) return;
  }
}

namespace {

// "AB12" to column 27 (zero-based) and row 11; -1 where absent.
void CellReference(std::string_view ref, int& row, int& col) {
  size_t i = 0;
  long c = 0;
  while (i < ref.size() && std::isalpha(static_cast<unsigned char>(ref[i])) && c < 100000)
    c = c * 26 + (std::toupper(static_cast<unsigned char>(ref[i++])) - 'A' + 1);
  long r = 0;
  while (i < ref.size() && std::isdigit(static_cast<unsigned char>(ref[i])) && r < 100000000) r = r * 10 + (ref[i++] - '0');
  col = c > 0 ? static_cast<int>(c - 1) : -1;
  row = r > 0 ? static_cast<int>(r - 1) : -1;
}

std::vector<std::string> SharedStrings(const PackageParts& parts, const std::string& workbook) {
  std::string name = "xl/sharedStrings.xml";
  for (const auto& [id, target] : Relationships(parts, workbook))
    if (target.find("sharedStrings") != std::string::npos) name = target;
  const std::string* xml = Part(parts, name);
  if (!xml) return {};
  // Each si is one string: its runs' t, without the phonetic guide (rPh).
  struct Handler : XmlHandler {
    std::vector<std::string> strings;
    int phonetic = 0;
    bool in_text = false;
    void Start(std::string_view name, const XmlAttributes&) override {
      if (name == "si") strings.emplace_back();
      else if (name == "rPh") ++phonetic;
      else if (name == "t") in_text = true;
    }
    void End(std::string_view name) override {
      if (name == "rPh") --phonetic;
      else if (name == "t") in_text = false;
    }
    void Text(std::string_view utf8) override {
      if (in_text && phonetic == 0 && !strings.empty()) strings.back() += utf8;
    }
  } handler;
  WalkXml(*xml, handler);
  return std::move(handler.strings);
}

class SheetHandler : public XmlHandler {
 public:
  SheetHandler(int sheet, const std::vector<std::string>& shared, const OfficeCellFn& cell)
      : sheet_(sheet), shared_(shared), cell_(cell) {}
  void Start(std::string_view name, const XmlAttributes& a) override {
    if (name == "row") {
      const std::string_view r = a.Get("r");
      row_ = r.empty() ? row_ + 1 : std::atoi(std::string(r).c_str()) - 1;
      col_ = -1;
    } else if (name == "c") {
      int row = -1, col = -1;
      CellReference(a.Get("r"), row, col);
      col_ = col >= 0 ? col : col_ + 1;
      if (row >= 0) row_ = row;
      type_ = std::string(a.Get("t"));
      attr_ = std::atoi(std::string(a.Get("s")).c_str());
      value_.clear();
      inline_.clear();
      has_value_ = false;
    } else if (name == "v") {
      in_value_ = true;
      has_value_ = true;
    } else if (name == "is") {
      in_inline_ = true;
      has_value_ = true;
    } else if (name == "rPh") {
      ++phonetic_;
    } else if (name == "t" && in_inline_) {
      in_text_ = true;
    }
  }
  void End(std::string_view name) override {
    if (name == "v") in_value_ = false;
    else if (name == "is") in_inline_ = false;
    else if (name == "rPh") --phonetic_;
    else if (name == "t") in_text_ = false;
    else if (name == "c" && has_value_ && !stopped_) Emit();
  }
  void Text(std::string_view utf8) override {
    if (in_value_) value_ += utf8;
    else if (in_text_ && phonetic_ == 0) inline_ += utf8;
  }
  bool Continue() const override { return !stopped_; }

 private:
  void Emit() {
    ExcelCell c;
    c.sheet = sheet_;
    c.row = std::max(0, row_);
    c.col = std::max(0, col_);
    c.attr = attr_;
    std::string utf8;
    if (type_ == "s") {
      const long index = std::strtol(value_.c_str(), nullptr, 10);
      if (index < 0 || static_cast<size_t>(index) >= shared_.size()) return;
      utf8 = shared_[static_cast<size_t>(index)];
    } else if (type_ == "inlineStr") {
      utf8 = inline_;
    } else if (type_ == "str" || type_ == "e") {
      utf8 = value_;
    } else if (type_ == "b") {
      utf8 = value_ == "1" || value_ == "true" ? "TRUE" : "FALSE";
    } else {
      char* end = nullptr;
      const double number = std::strtod(value_.c_str(), &end);
      if (value_.empty() || end == value_.c_str()) return;
      utf8 = FormatCellNumber(number);
      c.numeric = true;
    }
    if (utf8.empty() && !c.numeric) return;
    c.text = Utf8ToCp932(utf8);
    if (!cell_(c)) stopped_ = true;
  }

  int sheet_;
  const std::vector<std::string>& shared_;
  const OfficeCellFn& cell_;
  int row_ = -1, col_ = -1, attr_ = 0, phonetic_ = 0;
  std::string type_, value_, inline_;
  bool in_value_ = false, in_inline_ = false, in_text_ = false, has_value_ = false, stopped_ = false;
};

}  // namespace

void ReadSheetXmlCells(const PackageParts& parts, const OfficeCellFn& cell) {
  const std::string main = MainPart(parts, "xl/workbook.xml");
  const std::string* workbook = Part(parts, main);
  if (!workbook) throw DocumentError("ブックがありません");
  struct Handler : XmlHandler {
    std::vector<std::string> ids;
    void Start(std::string_view name, const XmlAttributes& a) override {
      if (name == "sheet") ids.emplace_back(a.GetPrefixed("id"));
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
  } order;
  WalkXml(*workbook, order);
  const auto rels = Relationships(parts, main);
  const std::vector<std::string> shared = SharedStrings(parts, main);
  bool stopped = false;
  const OfficeCellFn counted = [&](const ExcelCell& c) { return !(stopped = !cell(c)); };
  for (size_t i = 0; i < order.ids.size() && !stopped; ++i) {
    auto it = rels.find(order.ids[i]);
    if (it == rels.end() || !Part(parts, it->second)) continue;  // a chart sheet, say
    SheetHandler handler(static_cast<int>(i + 1), shared, counted);
    WalkXml(*Part(parts, it->second), handler);
  }
}

}  // namespace lorvek
