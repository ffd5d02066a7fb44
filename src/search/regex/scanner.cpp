#include "search/regex/scanner.h"

#include "search/regex/regex_error.h"
#include "text/sjis.h"

namespace lorvek {
namespace {

namespace msg = regex_messages;

bool IsHex(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int HexValue(unsigned char c) {
  return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

class Reader {
 public:
  explicit Reader(std::string_view p) : p_(p) {}
  bool AtEnd() const { return i_ >= p_.size(); }
  size_t pos() const { return i_; }
  unsigned char Peek() const { return static_cast<unsigned char>(p_[i_]); }

  // One character of the pattern as a code.
  uint16_t ReadChar() {
    unsigned char b = Peek();
    if (IsLeadByte(b)) {
      if (i_ + 1 >= p_.size()) throw ERegExpParser(msg::kBadDoubleByte, i_);
      uint16_t code = static_cast<uint16_t>(b * 256 + static_cast<unsigned char>(p_[i_ + 1]));
      i_ += 2;
      return code;
    }
    ++i_;
    return b;
  }

  // The character after a backslash (the backslash already read).
  uint16_t ReadEscape() {
    if (AtEnd()) throw ERegExpParser(msg::kNothingAfterBackslash, i_);
    unsigned char c = Peek();
    switch (c) {
      case 'b': ++i_; return 8;
      case 'n': ++i_; return 10;
      case 'r': ++i_; return 13;
      case 't': ++i_; return 9;
      case 'x': {
        ++i_;
        unsigned value = 0;
        int digits = 0;
        while (digits < 4 && !AtEnd() && IsHex(Peek())) {
          value = value * 16 + static_cast<unsigned>(HexValue(Peek()));
          ++i_;
          ++digits;
        }
        if (digits == 0) throw ERegExpParser(msg::kBadHex, i_);
        return static_cast<uint16_t>(value);
      }
      default:
        break;
    }
    if (c >= '0' && c <= '7') {
      unsigned value = 0;
      int digits = 0;
      while (digits < 6 && !AtEnd() && Peek() >= '0' && Peek() <= '7') {
        value = value * 8 + (Peek() - '0');
        ++i_;
        ++digits;
      }
      if (value > 0xFFFF) throw ERegExpParser(msg::kBadOctal, i_);
      return static_cast<uint16_t>(value);
    }
    return ReadChar();
  }

  uint16_t ReadCharOrEscape() {
    if (Peek() == '\\') {
      ++i_;
      return ReadEscape();
    }
    return ReadChar();
  }

  void Skip() { ++i_; }
  void Seek(size_t pos) { i_ = pos; }

 private:
  std::string_view p_;
  size_t i_ = 0;
};

}  // namespace

std::vector<Token> ScanPattern(std::string_view pattern) {
  std::vector<Token> out;
  Reader r(pattern);
  auto simple = [&](TokenKind k) {
    Token t;
    t.kind = k;
    t.begin = r.pos();
    r.Skip();
    t.end = r.pos();
    out.push_back(t);
  };
  while (!r.AtEnd()) {
    unsigned char c = r.Peek();
    switch (c) {
      case '.': simple(TokenKind::Dot); continue;
      case '*': simple(TokenKind::Star); continue;
      case '+': simple(TokenKind::Plus); continue;
      case '?': simple(TokenKind::Question); continue;
      case '|': simple(TokenKind::Bar); continue;
      case '(': simple(TokenKind::LParen); continue;
      case ')': simple(TokenKind::RParen); continue;
      case '^': simple(TokenKind::Caret); continue;
      case '$': simple(TokenKind::Dollar); continue;
      case ']': simple(TokenKind::RBracket); continue;
      default: break;
    }
    if (c == '[') {
      Token open;
      open.kind = TokenKind::ClassOpen;
      open.begin = r.pos();
      r.Skip();
      if (!r.AtEnd() && r.Peek() == '^') {
        open.negated = true;
        r.Skip();
      }
      open.end = r.pos();
      out.push_back(open);
      bool after_item = false;
      for (;;) {
        if (r.AtEnd()) throw ERegExpParser(msg::kNeedRightBracket, r.pos());
        Token t;
        t.begin = r.pos();
        unsigned char b = r.Peek();
        if (b == ']') {
          r.Skip();
          t.kind = TokenKind::ClassClose;
          t.end = r.pos();
          out.push_back(t);
          break;
        }
        if (b == '-' && after_item) {
          r.Skip();
          if (r.AtEnd()) throw ERegExpParser(msg::kNeedRightBracket, r.pos());
          if (r.Peek() == ']') {  // a hyphen right before ] is literal
            t.kind = TokenKind::ClassChar;
            t.code = '-';
            t.end = r.pos();
            out.push_back(t);
            after_item = false;
            continue;
          }
          t.kind = TokenKind::ClassHyphen;
          t.end = r.pos();
          out.push_back(t);
          Token hi;
          hi.begin = r.pos();
          hi.kind = TokenKind::ClassChar;
          hi.code = r.ReadCharOrEscape();
          hi.end = r.pos();
          out.push_back(hi);
          after_item = false;  // a hyphen after a range is an item of its own
          continue;
        }
        t.kind = TokenKind::ClassChar;
        t.code = r.ReadCharOrEscape();
        t.end = r.pos();
        out.push_back(t);
        after_item = true;
      }
      continue;
    }
    Token t;
    t.kind = TokenKind::Char;
    t.begin = r.pos();
    t.code = r.ReadCharOrEscape();
    t.end = r.pos();
    out.push_back(t);
  }
  Token end;
  end.kind = TokenKind::End;
  end.begin = end.end = pattern.size();
  out.push_back(end);
  return out;
}

std::string ConvertEscapes(std::string_view text) {
  std::string out;
  Reader r(text);
  while (!r.AtEnd()) {
    if (r.Peek() == '\\') {
      r.Skip();
      if (r.AtEnd()) {  // a trailing backslash stands for itself
        out.push_back('\\');
        break;
      }
      size_t after_backslash = r.pos();
      try {
        AppendCode(out, r.ReadEscape());
      } catch (const ERegExpParser&) {
        // Not an escape of the dialect (\x without digits, an octal code
        // too large): the backslash stands for itself.
        out.push_back('\\');
        r.Seek(after_backslash);
      }
      continue;
    }
    unsigned char b = r.Peek();
    if (IsLeadByte(b) && r.pos() + 1 >= text.size()) {
      out.push_back(static_cast<char>(b));
      break;
    }
    AppendCode(out, r.ReadChar());
  }
  return out;
}

}  // namespace lorvek
