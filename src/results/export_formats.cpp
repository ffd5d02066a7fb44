#include "results/export_formats.h"

#include <cerrno>
#include <system_error>

#include "text/cp932.h"
#include "text/file_bytes.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

// Consecutive records mostly name one file: convert each path once.
std::string PathText(const std::string& path) {
  thread_local std::string last_in, last_out;
  if (path != last_in || last_in.empty()) {
    last_in = path;
    last_out = ExternalToCp932(path);
  }
  return last_out;
}

std::string EscapeHtml(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string FileUrl(const std::string& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out = "file://";
  for (unsigned char c : path) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
                 c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out;
}

std::string Quoted(std::string_view field, const std::string& q) {
  if (q.empty()) return std::string(field);
  std::string out = q;
  for (char c : field) {
    out.push_back(c);
    if (c == q[0]) out.push_back(c);  // a quote inside a field is doubled
  }
  return out + q;
}

// A field that holds the separator, a double quote or a line break would
// shift or split the columns of a spreadsheet: it goes between double quotes
// whatever CSVQuates asks for.
std::string CsvField(std::string_view field, const std::string& q, const std::string& separator) {
  const bool risky =
      (!separator.empty() && field.find(separator) != std::string_view::npos) || field.find_first_of("\"\r\n") != std::string_view::npos;
  return Quoted(field, risky ? "\"" : q);
}

}  // namespace

std::string ExportPath(const RecordView& r) { return r.Path().DisplayPath(); }

std::string FolderPart(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return "";
  if (slash == 0) return "/";
  if (path[slash - 1] == '/') return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

std::string TagLine(const RecordView& r) {
  return "\"" + PathText(ExportPath(r)) + "\" " + std::to_string(r.LineNo) + ": " + std::string(r.LineText);
}

std::vector<std::string> TagLines(const ResultStore& store) {
  std::vector<std::string> lines;
  lines.reserve(store.size());
  for (size_t i = 0; i < store.size(); ++i) lines.push_back(TagLine(store[i]));
  return lines;
}

std::string CsvLine(const RecordView& r, const CsvFormat& f) {
  std::string s = f.terms == 0 ? "," : f.terms == 1 ? "\t" : "";
  std::string q = f.quates == 1 ? "\"" : f.quates == 2 ? "'" : "";
  std::string path = PathText(ExportPath(r));
  return CsvField(FolderPart(path), q, s) + s + CsvField(FileNameOf(path), q, s) + s + std::to_string(r.LineNo) + s +
         CsvField(r.LineText, q, s);
}

std::vector<std::string> CsvLines(const ResultStore& store, const CsvFormat& format) {
  std::vector<std::string> lines;
  lines.reserve(store.size());
  for (size_t i = 0; i < store.size(); ++i) lines.push_back(CsvLine(store[i], format));
  return lines;
}

namespace {
PatternRef HighlightOf(const std::string& word, bool fuzzy) {
  try {
    return CompileStringPattern(word, fuzzy);
  } catch (const ERegExpParser&) {
    return nullptr;  // an invalid word marks nothing
  }
}
}  // namespace

std::vector<std::string> HtmlLines(const ResultStore& store, const HtmlReport& report, bool fuzzy) {
  PatternRef highlight = HighlightOf(report.search_word, fuzzy);
  return HtmlLines(store, report, highlight.get());
}

void WriteTagList(const std::string& path, const ResultStore& store) {
  WriteStoreLines(path, store, [](const RecordView& r) { return TagLine(r); });
}

void WriteCsv(const std::string& path, const ResultStore& store, const CsvFormat& format) {
  WriteStoreLines(path, store, [&](const RecordView& r) { return CsvLine(r, format); });
}

void WriteHtmlReport(const std::string& path, const ResultStore& store, const HtmlReport& report, bool fuzzy) {
  PatternRef highlight = HighlightOf(report.search_word, fuzzy);
  WriteStoreLines(path, store, [&](const RecordView& r) { return HtmlRow(r, highlight.get()); }, HtmlHead(report),
                  {HtmlTail()});
}

std::vector<std::string> HtmlHead(const HtmlReport& report) {
  const std::string table = "<P><TABLE WIDTH=100% BGCOLOR=\"#8080ff\">";
  return {
      "<HTML><HEAD>",
      "<META HTTP-EQUIV=\"content-type\" CONTENT=\"text/html;charset=Shift_JIS\">",
      "<META NAME=\"GENERATOR\" CONTENT=\"LORVEK\">",
      Utf8ToCp932("<TITLE>Lorvek検索結果</TITLE></HEAD>"),
      "<BODY BGCOLOR=\"#ffffff\" LINK=\"#0000ff\" ALINK=\"#00ff40\" VLINK=\"#800080\">",
      table,
      Utf8ToCp932("<TR><TD><DIV ALIGN=CENTER><FONT SIZE=4 COLOR=\"#ffFFFF\"><B>Lorvekの検索結果（検索語=") +
          EscapeHtml(report.search_word) + Utf8ToCp932("）</B></FONT></DIV></TD></TR></TABLE></P>"),
      "<DIV ALIGN=RIGHT>" + EscapeHtml(ExternalToCp932(report.start_time_text)) + "</DIV>",
      table,
      Utf8ToCp932("<TD WIDTH=35%><FONT COLOR=\"#ffffff\"><B>ファイル名</B></FONT></TD>"),
      Utf8ToCp932("<TD WIDTH=65%><FONT COLOR=\"#ffffff\"><B>検索テキスト</B></FONT></TD>"),
  };
}

std::string HtmlRow(const RecordView& r, const CompiledPattern* highlight) {
  const std::string mark_open = "<FONT COLOR=\"ff0000\"><B><SPAN STYLE=\"background-color:#ffff00\">";
  const std::string mark_close = "</SPAN></B></FONT>";
  const std::string path = ExportPath(r);
  std::string marked;
  MatchPos m = highlight ? MatchLeftmostLongest(*highlight, r.LineText, mcls_CRLF) : MatchPos{};
  if (m) {
    marked = EscapeHtml(r.LineText.substr(0, m.start - 1)) + mark_open +
             EscapeHtml(r.LineText.substr(m.start - 1, m.length)) + mark_close +
             EscapeHtml(r.LineText.substr(m.start - 1 + m.length));
  } else {
    marked = mark_open + mark_close + EscapeHtml(r.LineText);
  }
  return "<TR><TD BGCOLOR=\"#ffffff\"><A HREF=\"" + FileUrl(path) + "\" TARGET=BLANK>" +
         EscapeHtml(PathText(FileNameOf(path))) + "(" + std::to_string(r.LineNo) + "):</A></TD>" +
         "<TD BGCOLOR=\"#ffffff\">" + marked + "</TD></TR>";
}

std::string HtmlTail() { return "</TABLE></P></UL></BODY></HTML>"; }

std::vector<std::string> HtmlLines(const ResultStore& store, const HtmlReport& report, const CompiledPattern* highlight) {
  std::vector<std::string> lines = HtmlHead(report);
  for (size_t i = 0; i < store.size(); ++i) lines.push_back(HtmlRow(store[i], highlight));
  lines.push_back(HtmlTail());
  return lines;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) {
    out += l;
    out += "\r\n";
  }
  return out;
}

EExportError ExportErrorOf(const std::string& path, const std::system_error& e) {
  const std::string what = e.what();
  if (what.rfind("create", 0) == 0 || what.rfind("open", 0) == 0 || what.rfind("readlink", 0) == 0)
    return EExportError("ﾌｧｲﾙ " + PathForDisplay(path) + " を作成できません");
  return EExportError("ｽﾄﾘｰﾑへの書き込みｴﾗｰ");
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  try {
    WriteFileAtomically(path, JoinCrLf(lines));
  } catch (const std::system_error& e) {
    throw ExportErrorOf(path, e);
  }
}

void WriteStoreLines(const std::string& path, const ResultStore& store,
                     const std::function<std::string(const RecordView&)>& row, const std::vector<std::string>& head,
                     const std::vector<std::string>& tail) {
  constexpr size_t kChunk = size_t{1} << 20;
  try {
    AtomicFileWriter out(path);
    std::string chunk;
    auto add = [&](const std::string& line) {
      chunk += line;
      chunk += "\r\n";
      if (chunk.size() >= kChunk) {
        out.Write(chunk);
        chunk.clear();
      }
    };
    for (const std::string& l : head) add(l);
    for (size_t i = 0; i < store.size(); ++i) add(row(store[i]));
    for (const std::string& l : tail) add(l);
    out.Write(chunk);
    out.Commit();
  } catch (const std::system_error& e) {
    throw ExportErrorOf(path, e);
  }
}

std::string FormatLocalTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[128];
  if (tm.tm_hour == 0 && tm.tm_min == 0 && tm.tm_sec == 0) std::strftime(buf, sizeof buf, "%x", &tm);
  else std::strftime(buf, sizeof buf, "%x %X", &tm);
  return buf;
}

std::string FormatFileTime(int64_t file_time) {
  if (file_time == 0) {
    std::tm tm{};
    tm.tm_year = -1;  // 1899
    tm.tm_mon = 11;
    tm.tm_mday = 30;
    char buf[64];
    std::strftime(buf, sizeof buf, "%x", &tm);
    return buf;
  }
  std::time_t t = static_cast<std::time_t>(file_time / 10000000LL - 11644473600LL);
  return FormatLocalTime(t);
}

}  // namespace lorvek
