// Office Open XML: the paragraphs of .docx and .pptx, the cells of .xlsx.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "sources/office_text.h"
#include "sources/paragraph_collector.h"
#include "text/cp932.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

const std::string* Part(const PackageParts& parts, const std::string& name) {
  auto it = parts.find(name);
  return it == parts.end() ? nullptr : &it->second;
}

// Entries of the lists a package keeps (relationships, sheets, slides):
// more than any office suite writes is a hostile file.
constexpr size_t kMostEntries = 65536;

void CountEntry(size_t& n) {
  if (++n > kMostEntries) throw DocumentError("一覧の項目が多すぎます");
}

// The relationship ids of the list entries named element (a presentation's
// sldId, a workbook's sheet), in order.
std::vector<std::string> ListedIds(const std::string& xml, std::string_view element) {
  struct Handler : XmlHandler {
    std::string_view element;
    std::vector<std::string> ids;
    size_t entries = 0;
    explicit Handler(std::string_view e) : element(e) {}
    void Start(std::string_view name, const XmlAttributes& a) override {
      if (name != element) return;
      CountEntry(entries);
      ids.emplace_back(a.GetPrefixed("id"));
    }
  } handler(element);
  WalkXml(xml, handler);
  return std::move(handler.ids);
}

// The relationships of a part: Id to the target's part name; with
// type_suffix, only those whose type ends so.
std::map<std::string, std::string> Relationships(const PackageParts& parts, const std::string& part,
                                                 std::string_view type_suffix = {}) {
  const std::string folder = FolderPrefixOf(part);
  const std::string rels_name = folder + "_rels/" + FileNameOf(part) + ".rels";
  std::map<std::string, std::string> out;
  const std::string* rels = Part(parts, rels_name);
  if (!rels) return out;
  struct Handler : XmlHandler {
    std::map<std::string, std::string>& out;
    const std::string& folder;
    std::string_view suffix;
    size_t entries = 0;
    Handler(std::map<std::string, std::string>& o, const std::string& f, std::string_view s)
        : out(o), folder(f), suffix(s) {}
    void Start(std::string_view name, const XmlAttributes& a) override {
      if (name != "Relationship" || a.Get("TargetMode") == "External") return;
      CountEntry(entries);
      const std::string_view type = a.Get("Type");
      if (!suffix.empty() && (type.size() < suffix.size() || type.substr(type.size() - suffix.size()) != suffix)) return;
      out[std::string(a.Get("Id"))] = ResolvePartName(folder, std::string(a.Get("Target")));
    }
  } handler(out, folder, type_suffix);
  WalkXml(*rels, handler);
  return out;
}

bool EndsWithXml(const std::string& name) { return name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0; }

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
  } handler;
  WalkXml(*rels, handler);
  return handler.main.empty() ? fallback : handler.main;
}

// Paragraphs of WordprocessingML and DrawingML: p, runs of t, tab and
// break elements; deleted text, the old place of moved text, field
// instructions, ruby readings, tab stop definitions and the fallback copy
// of alternate content are not text. A page or column break is not a line
// break.
class ParagraphHandler : public XmlHandler {
 public:
  explicit ParagraphHandler(ParagraphCollector& out) : out_(out) {}
  void Start(std::string_view name, const XmlAttributes& a) override {
    // The separator lines of the footnote and endnote parts are not notes.
    const bool separator = (name == "footnote" || name == "endnote") && !a.Get("type").empty() && a.Get("type") != "normal";
    if (skip_ > 0 || separator || name == "delText" || name == "instrText" || name == "Fallback" || name == "rPh" ||
        name == "rt" || name == "moveFrom" || name == "tabs") {
      ++skip_;
      return;
    }
    if (name == "p") out_.Open();
    else if (name == "r") ++run_;
    else if (name == "t") in_text_ = true;
    else if (name == "tab" && run_ > 0) out_.Append("\t");
    else if (name == "cr" && out_.IsOpen()) out_.Break();
    else if (name == "br" && out_.IsOpen() && (a.Get("type").empty() || a.Get("type") == "textWrapping")) out_.Break();
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
  const std::string* body = EndsWithXml(main) ? Part(parts, main) : nullptr;
  if (!body) throw DocumentError("本文がありません");
  ParagraphCollector out(line);
  WalkParagraphs(*body, out);
  // Then headers, footers, footnotes, endnotes and comments.
  const std::string folder = FolderPrefixOf(main);
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
  const std::vector<std::string> ids = ListedIds(*presentation, "sldId");
  const auto rels = Relationships(parts, main);
  ParagraphCollector out(line);
  std::set<std::string> walked;  // a slide listed twice is read once
  for (const std::string& id : ids) {
    auto it = rels.find(id);
    if (it == rels.end() || !Part(parts, it->second) || it->second == main || !walked.insert(it->second).second) continue;
    const std::string& slide = it->second;
    WalkParagraphs(*Part(parts, slide), out);
    // The slide's notes follow it.
    for (const auto& [rid, target] : Relationships(parts, slide))
      if (target.find("notesSlide") != std::string::npos && Part(parts, target) && walked.insert(target).second)
        WalkParagraphs(*Part(parts, target), out);
    if (out.Stopped()) return;
  }
}

namespace {

// "AB12" (or "$AB$12") to column 27 (zero-based) and row 11; -1 where
// absent or past the sheet's size.
void CellReference(std::string_view ref, int& row, int& col) {
  size_t i = 0;
  if (i < ref.size() && ref[i] == '$') ++i;
  long c = 0;
  while (i < ref.size() && std::isalpha(static_cast<unsigned char>(ref[i])) && c <= kMaxSheetColumns)
    c = c * 26 + (std::toupper(static_cast<unsigned char>(ref[i++])) - 'A' + 1);
  if (i < ref.size() && ref[i] == '$') ++i;
  long r = 0;
  while (i < ref.size() && std::isdigit(static_cast<unsigned char>(ref[i])) && r <= kMaxSheetRows)
    r = r * 10 + (ref[i++] - '0');
  col = c > 0 && c <= kMaxSheetColumns ? static_cast<int>(c - 1) : -1;
  row = r > 0 && r <= kMaxSheetRows ? static_cast<int>(r - 1) : -1;
}

// A non-negative decimal index, or -1.
long Index(std::string_view text) {
  if (text.empty() || text.size() > 9) return -1;
  long n = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return -1;
    n = n * 10 + (ch - '0');
  }
  return n;
}

// Characters XML cannot carry are written "_xHHHH_" in spreadsheet text
// ("_x000D_" a carriage return); "_x005F_" escapes an underscore.
std::string DecodeEscapes(const std::string& utf8) {
  if (utf8.find("_x") == std::string::npos) return utf8;
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    if (utf8.compare(i, 2, "_x") == 0 && i + 7 <= utf8.size() && utf8[i + 6] == '_' &&
        std::all_of(utf8.begin() + static_cast<long>(i) + 2, utf8.begin() + static_cast<long>(i) + 6,
                    [](char ch) { return std::isxdigit(static_cast<unsigned char>(ch)); })) {
      const unsigned long code = std::strtoul(utf8.substr(i + 2, 4).c_str(), nullptr, 16);
      if (code < 0x80) {
        out += static_cast<char>(code);
      } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
      }
      i += 7;
    } else {
      out += utf8[i++];
    }
  }
  return out;
}

std::vector<std::string> SharedStrings(const PackageParts& parts, const std::string& workbook) {
  std::string name = "xl/sharedStrings.xml";
  for (const auto& [id, target] : Relationships(parts, workbook, "/sharedStrings")) name = target;
  const std::string* xml = Part(parts, name);
  if (!xml) return {};
  // Each si is one string: its runs' t, without the phonetic guide (rPh).
  struct Handler : XmlHandler {
    std::vector<std::string> strings;
    int phonetic = 0;
    bool in_text = false;
    void Start(std::string_view name, const XmlAttributes&) override {
      if (name == "si") {
        // An empty string still costs its entry: charged with the text.
        if ((total += sizeof(std::string)) > kMaxDocumentText) throw DocumentError("共有文字列が多すぎます");
        strings.emplace_back();
        bytes = 0;
      }
      else if (name == "rPh") ++phonetic;
      else if (name == "t") in_text = true;
    }
    void End(std::string_view name) override {
      if (name == "rPh") --phonetic;
      else if (name == "t") in_text = false;
    }
    void Text(std::string_view utf8) override {
      if (!in_text || phonetic != 0 || strings.empty()) return;
      if ((bytes += utf8.size()) > kMaxLineText) throw DocumentError("セルの文字列が長すぎます");
      if ((total += utf8.size()) > kMaxDocumentText) throw DocumentError("共有文字列が多すぎます");
      strings.back() += utf8;
    }
    size_t bytes = 0;
    uint64_t total = 0;
  } handler;
  WalkXml(*xml, handler);
  // Converted once, however many cells refer to a string.
  for (std::string& s : handler.strings) s = Utf8ToCp932(DecodeEscapes(s));
  return std::move(handler.strings);
}

class SheetHandler : public XmlHandler {
 public:
  SheetHandler(int sheet, const std::vector<std::string>& shared, const OfficeCellFn& cell, uint64_t& produced)
      : sheet_(sheet), shared_(shared), cell_(cell), produced_(produced) {}
  void Start(std::string_view name, const XmlAttributes& a) override {
    if (name == "row") {
      const long r = Index(a.Get("r"));
      row_ = r > 0 && r <= kMaxSheetRows ? static_cast<int>(r - 1) : row_ + 1;
      col_ = -1;
    } else if (name == "c") {
      int row = -1, col = -1;
      CellReference(a.Get("r"), row, col);
      col_ = col >= 0 ? col : col_ + 1;
      if (row >= 0) row_ = row;
      type_ = std::string(a.Get("t"));
      attr_ = static_cast<int>(std::max(0L, Index(a.Get("s"))));
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
    std::string& to = in_value_ ? value_ : inline_;
    if (!in_value_ && !(in_text_ && phonetic_ == 0)) return;
    if (to.size() + utf8.size() > kMaxLineText) throw DocumentError("セルの文字列が長すぎます");
    to += utf8;
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
      const long index = Index(value_);
      if (index < 0 || static_cast<size_t>(index) >= shared_.size() || shared_[static_cast<size_t>(index)].empty()) return;
      c.text = shared_[static_cast<size_t>(index)];
      Count(c.text.size());
      if (!cell_(c)) stopped_ = true;
      return;
    } else if (type_ == "inlineStr") {
      utf8 = DecodeEscapes(inline_);
    } else if (type_ == "str" || type_ == "e" || type_ == "d") {
      utf8 = DecodeEscapes(value_);  // a formula's string, an error, an ISO date
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
    Count(c.text.size());
    if (!cell_(c)) stopped_ = true;
  }

  // One long shared string referred to by many cells is text many times.
  void Count(size_t bytes) {
    if ((produced_ += bytes) > kMaxDocumentText) throw DocumentError("テキストが大きすぎます");
  }
  uint64_t& produced_;  // over the whole workbook

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
  const std::vector<std::string> ids = ListedIds(*workbook, "sheet");
  const auto rels = Relationships(parts, main);
  const std::vector<std::string> shared = SharedStrings(parts, main);
  bool stopped = false;
  const OfficeCellFn counted = [&](const ExcelCell& c) { return !(stopped = !cell(c)); };
  std::set<std::string> walked;  // a sheet listed twice is read once
  uint64_t produced = 0;
  for (size_t i = 0; i < ids.size() && !stopped; ++i) {
    auto it = rels.find(ids[i]);
    // A chart sheet has no worksheet part; a target may not be the workbook.
    if (it == rels.end() || it->second == main || !Part(parts, it->second) || !walked.insert(it->second).second) continue;
    SheetHandler handler(static_cast<int>(i + 1), shared, counted, produced);
    WalkXml(*Part(parts, it->second), handler);
  }
  if (walked.empty() && !ids.empty()) throw DocumentError("ワークシートを読めません");
  if (ids.empty()) throw DocumentError("ワークシートがありません");
}

}  // namespace lorvek
