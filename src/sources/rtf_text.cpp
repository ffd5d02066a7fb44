#include "sources/rtf_text.h"

#include <cstdlib>
#include <algorithm>
#include <map>
#include <set>

#include "text/cp932.h"

namespace lorvek {
namespace {

// The Windows code page of an RTF \fcharset value.
int CodePageOfCharset(int charset, int document_codepage) {
  switch (charset) {
    case 0: return 1252;
    case 1: return document_codepage;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return document_codepage;
  }
}

// Destinations whose text is not part of the document's text.
bool SkippedDestination(const std::string& word) {
  static const std::set<std::string> kSkipped = {
      "fonttbl", "colortbl", "stylesheet", "info", "pict", "object", "themedata", "colorschememapping",
      "datastore", "latentstyles", "listtable", "listoverridetable", "rsidtbl", "generator", "xmlnstbl",
      "mmathPr", "pgdsctbl", "header", "footer", "headerl", "headerr", "headerf", "footerl", "footerr",
      "footerf", "fldinst", "bkmkstart", "bkmkend", "field_instruction", "filetbl", "revtbl", "pn", "pntext",
      "listtext", "operator", "author", "title", "comment", "nonshppict", "shpinst", "sp", "sn", "sv"};
  return kSkipped.count(word) > 0;
}

class RtfReader {
 public:
  explicit RtfReader(std::string_view rtf) : s_(rtf) {}

  std::vector<std::string> Read() {
    while (i_ < s_.size()) {
      const char c = s_[i_];
      if (c == '{') {
        ++i_;
        stack_.push_back(state_);
        state_.fresh_group = true;
        // A group nested too deeply is read flat rather than without end.
        if (stack_.size() > 1000) stack_.pop_back();
      } else if (c == '}') {
        ++i_;
        Flush();
        if (state_.font_table_entry) EndFontEntry();
        if (!stack_.empty()) {
          state_ = stack_.back();
          stack_.pop_back();
        }
      } else if (c == '\\') {
        ++i_;
        Control();
      } else if (c == '\r' || c == '\n') {
        ++i_;  // line ends of the RTF source are not text
      } else {
        ++i_;
        Text(static_cast<unsigned char>(c));
      }
    }
    EndParagraph(true);
    return lines_;
  }

 private:
  struct State {
    bool skip = false;         // inside a destination without document text
    bool in_font_table = false;
    bool font_table_entry = false;
    bool fresh_group = false;  // no control word read yet in this group
    int uc = 1;                // fallback bytes after \uN
    int codepage = 0;          // of the current font, 0: the document's
  };

  int CodePage() const { return state_.codepage ? state_.codepage : document_codepage_; }

  // A fallback byte of \uN is skipped instead of being text.
  bool SkipFallback() {
    if (skip_fallback_ > 0) {
      --skip_fallback_;
      return true;
    }
    return false;
  }

  void Text(unsigned char b) {
    state_.fresh_group = false;
    if (SkipFallback()) return;
    if (state_.in_font_table) {
      if (b == ';') EndFontEntry();
      return;
    }
    if (state_.skip) return;
    if (pending_codepage_ != CodePage()) Flush();
    pending_codepage_ = CodePage();
    pending_.push_back(static_cast<char>(b));
  }

  void Flush() {
    if (pending_.empty()) return;
    paragraph_ += CodePageToUtf16(pending_, pending_codepage_);
    pending_.clear();
  }

  void EndParagraph(bool at_end = false) {
    Flush();
    if (at_end && paragraph_.empty()) return;
    lines_.push_back(Utf16ToCp932(paragraph_));
    paragraph_.clear();
  }

  void EndFontEntry() {
    if (font_number_ >= 0)
      fonts_[font_number_] = font_charset_ < 0 ? -font_charset_ : CodePageOfCharset(font_charset_, document_codepage_);
    font_number_ = -1;
    font_charset_ = 1;
    state_.font_table_entry = false;
  }

  static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

  void Control() {
    if (i_ >= s_.size()) return;
    const char c = s_[i_];
    if (!IsLetter(c)) {
      ++i_;
      Symbol(c);
      return;
    }
    size_t start = i_;
    while (i_ < s_.size() && IsLetter(s_[i_]) && i_ - start < 32) ++i_;
    const std::string word(s_.substr(start, i_ - start));
    bool has_param = false;
    long param = 0;
    if (i_ < s_.size() && (s_[i_] == '-' || (s_[i_] >= '0' && s_[i_] <= '9'))) {
      size_t p = i_;
      bool negative = s_[p] == '-';
      if (negative) ++p;
      size_t digits = 0;
      while (p < s_.size() && s_[p] >= '0' && s_[p] <= '9' && digits < 10) {
        param = param * 10 + (s_[p] - '0');
        ++p, ++digits;
      }
      while (p < s_.size() && s_[p] >= '0' && s_[p] <= '9') ++p;  // an absurd number is cut, not overflowed
      if (digits > 0) {
        has_param = true;
        if (negative) param = -param;
        i_ = p;
      }
    }
    if (i_ < s_.size() && s_[i_] == ' ') ++i_;  // the delimiter belongs to the word
    Word(word, has_param, param);
  }

  void Symbol(char c) {
    switch (c) {
      case '\\':
      case '{':
      case '}':
        Text(static_cast<unsigned char>(c));
        return;
      case '\'': {
        // A byte in the current code page, two hex digits.
        auto hex = [&](size_t k) -> int {
          if (k >= s_.size()) return -1;
          char h = s_[k];
          if (h >= '0' && h <= '9') return h - '0';
          if (h >= 'a' && h <= 'f') return h - 'a' + 10;
          if (h >= 'A' && h <= 'F') return h - 'A' + 10;
          return -1;
        };
        const int hi = hex(i_), lo = hex(i_ + 1);
        if (hi < 0 || lo < 0) return;
        i_ += 2;
        Text(static_cast<unsigned char>(hi * 16 + lo));
        return;
      }
      case '*':
        state_.skip = true;  // an optional destination: its text is not the document's
        return;
      case '~':
        Text(' ');
        return;
      case '_':
        Text('-');
        return;
      case '\r':
      case '\n':
        if (!state_.skip) EndParagraph();
        return;
      default:
        return;  // \- and other symbols carry no text
    }
  }

  void Word(const std::string& word, bool has_param, long param) {
    const bool first_in_group = state_.fresh_group;
    state_.fresh_group = false;
    if (first_in_group && SkippedDestination(word)) {
      if (word == "fonttbl") state_.in_font_table = true;
      else state_.skip = true;
      return;
    }
    if (state_.in_font_table) {
      if (word == "f" && has_param) {
        font_number_ = static_cast<int>(param);
        state_.font_table_entry = true;
      } else if (word == "fcharset" && has_param) {
        font_charset_ = static_cast<int>(param);
      } else if (word == "cpg" && has_param) {
        font_charset_ = -static_cast<int>(param);  // a code page given directly
      }
      return;
    }
    if (word == "ansicpg" && has_param) {
      document_codepage_ = static_cast<int>(param);
      return;
    }
    if (word == "uc" && has_param) {
      state_.uc = static_cast<int>(std::max(0L, std::min(param, 16L)));
      return;
    }
    if (word == "f" && has_param) {
      auto it = fonts_.find(static_cast<int>(param));
      state_.codepage = it != fonts_.end() ? it->second : 0;
      return;
    }
    if (state_.skip) return;
    if (word == "u" && has_param) {
      if (SkipFallback()) return;
      Flush();
      long code = param < 0 ? param + 65536 : param;
      if (code >= 0 && code <= 0xFFFF) paragraph_.push_back(static_cast<char16_t>(code));
      skip_fallback_ = state_.uc;
      return;
    }
    if (word == "par" || word == "line" || word == "row" || word == "sect" || word == "page") {
      EndParagraph();
    } else if (word == "tab" || word == "cell") {
      Text('\t');
    } else if (word == "emdash" || word == "endash") {
      Flush();
      paragraph_.push_back(word == "emdash" ? u'\u2014' : u'\u2013');
    } else if (word == "lquote" || word == "rquote") {
      Flush();
      paragraph_.push_back(word == "lquote" ? u'\u2018' : u'\u2019');
    } else if (word == "ldblquote" || word == "rdblquote") {
      Flush();
      paragraph_.push_back(word == "ldblquote" ? u'\u201C' : u'\u201D');
    }
  }

  std::string_view s_;
  size_t i_ = 0;
  State state_;
  std::vector<State> stack_;
  int document_codepage_ = 1252;
  std::map<int, int> fonts_;  // font number -> code page
  int font_number_ = -1;
  int font_charset_ = 1;
  int skip_fallback_ = 0;
  std::string pending_;  // bytes of the current code page, not yet decoded
  int pending_codepage_ = 0;
  std::u16string paragraph_;
  std::vector<std::string> lines_;
};

}  // namespace

bool LooksLikeRtf(std::string_view bytes) { return bytes.substr(0, 6) == "{\\rtf1"; }

std::vector<std::string> RtfToLines(std::string_view rtf) { return RtfReader(rtf).Read(); }

}  // namespace lorvek
