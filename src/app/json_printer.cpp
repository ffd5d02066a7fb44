#include "app/json_printer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <regex>

#include "search/compiled_word.h"
#include "text/cp932.h"
#include "text/encoding.h"
#include "text/encoding_table.h"

namespace lorvek {
namespace {

std::string Base64(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    for (int shift : {18, 12, 6, 0}) out += kDigits[(v >> shift) & 63];
  }
  if (i + 1 == bytes.size()) {
    const uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == bytes.size()) {
    const uint32_t v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8;
    for (int shift : {18, 12, 6}) out += kDigits[(v >> shift) & 63];
    out += "=";
  }
  return out;
}

// The path's parts: the file (or the archive) and, for a member, the member.
std::string PathFields(const std::string& open_path) {
  if (open_path.empty() || open_path[0] != '@') return "\"path\":" + JsonData(open_path);
  const OpenPath p = OpenPath::Parse(open_path);
  return "\"path\":" + JsonData(p.DisplayPath()) + ",\"archive\":" + JsonData(p.file) + ",\"member\":" + JsonData(p.member);
}

std::string EncodingName(int32_t code) {
  const EncodingRow* row = FindEncoding(code);
  return row ? std::string(row->json_name) : std::to_string(code);
}

}  // namespace

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonData(const std::string& bytes) {
  if (IsValidUtf8(bytes)) return "{\"text\":" + JsonString(bytes) + "}";
  return "{\"bytes\":\"" + Base64(bytes) + "\"}";
}

JsonPrinter::JsonPrinter(int fd, PatternRef highlight) : out_{fd}, highlight_(std::move(highlight)) {}

bool JsonPrinter::Take(std::unique_ptr<MatchRecord> record, MatchPos) {
  const MatchRecord& r = *record;
  if (r.OpenPath != current_) {
    EndFile();
    current_ = r.OpenPath;
    Print("{\"type\":\"begin\",\"data\":{" + PathFields(current_) + "}}");
  }
  ++file_matches_;
  ++matched_lines_;
  std::string text = r.LineText;
  std::string cell;
  // A spreadsheet cell's line ends in its position: "[Page:S(R:C)]".
  static const std::regex kCell(R"( ?\[Page:(\d+)\((\d+):(\d+)\)\]$)");
  std::smatch m;
  if (r.EncodingCode == ecExcel && std::regex_search(text, m, kCell)) {
    cell = ",\"cell\":{\"sheet\":" + m[1].str() + ",\"row\":" + m[2].str() + ",\"column\":" + m[3].str() + "}";
  }
  // Every match of the word's first term, as byte offsets into the UTF-8 line.
  std::string submatches;
  if (highlight_) {
    size_t utf8_at = 0, sjis_at = 0;
    for (const MatchPos m : MatchesInLine(*highlight_, text, false)) {
      if (m.length == 0) continue;
      const size_t start = m.start - 1, length = m.length;
      utf8_at += Cp932ToUtf8(text.substr(sjis_at, start - sjis_at)).size();
      const std::string matched = Cp932ToUtf8(text.substr(start, length));
      if (!submatches.empty()) submatches += ",";
      submatches += "{\"match\":" + JsonData(matched) + ",\"start\":" + std::to_string(utf8_at) +
                    ",\"end\":" + std::to_string(utf8_at + matched.size()) + "}";
      utf8_at += matched.size();
      sjis_at = start + length;
    }
  }
  Print("{\"type\":\"match\",\"data\":{" + PathFields(r.OpenPath) + ",\"line_number\":" + std::to_string(r.LineNo) +
        ",\"lines\":" + JsonData(Cp932ToUtf8(text)) + ",\"encoding\":" + JsonString(EncodingName(r.EncodingCode)) +
        cell + ",\"submatches\":[" + submatches + "]}}");
  return out_.Ok();
}

void JsonPrinter::EndFile() {
  if (current_.empty()) return;
  ++files_with_matches_;
  Print("{\"type\":\"end\",\"data\":{" + PathFields(current_) + ",\"stats\":{\"matched_lines\":" +
        std::to_string(file_matches_) + "}}}");
  current_.clear();
  file_matches_ = 0;
}

void JsonPrinter::FileSearched(const std::string& open_path) {
  ++files_searched_;
  if (open_path == current_) EndFile();
}

void JsonPrinter::Logged(const std::string&, bool failure) {
  if (failure) ++errors_;
}

void JsonPrinter::RunEnds() {
  EndFile();
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  char elapsed[64];
  std::snprintf(elapsed, sizeof elapsed, "{\"secs\":%.6f,\"human\":\"%.6fs\"}", secs, secs);
  Print("{\"type\":\"summary\",\"data\":{\"elapsed_total\":" + std::string(elapsed) +
        ",\"stats\":{\"matched_lines\":" + std::to_string(matched_lines_) +
        ",\"searches\":" + std::to_string(files_searched_) +
        ",\"searches_with_match\":" + std::to_string(files_with_matches_) + ",\"errors\":" + std::to_string(errors_) +
        "}}}");
}

}  // namespace lorvek
