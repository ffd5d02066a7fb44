// Cuts a pattern of the dialect into tokens. The parser reads them, and the
// fuzzy expansion uses them to find the literal characters of a pattern.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lorvek {

enum class TokenKind {
  Char,        // a literal character (escapes resolved); code in `code`
  Dot,         // .
  Star,        // *
  Plus,        // +
  Question,    // ?
  Bar,         // |
  LParen,      // (
  RParen,      // )
  Caret,       // ^ (anchor or literal, decided when the automaton is built)
  Dollar,      // $
  ClassOpen,   // [ or [^ (negated set in `negated`)
  ClassChar,   // a character inside a class
  ClassHyphen, // a range hyphen inside a class
  ClassClose,  // ]
  RBracket,    // a ] outside a class (always an error for the parser)
  End,
};

struct Token {
  TokenKind kind = TokenKind::End;
  uint16_t code = 0;   // Char / ClassChar
  bool negated = false;
  size_t begin = 0;    // byte span in the pattern
  size_t end = 0;
};

// Scans the whole pattern; raises ERegExpParser for lexical faults (a lone
// lead byte, a bad escape, an unclosed class).
std::vector<Token> ScanPattern(std::string_view pattern);

// Replaces every escape sequence of the dialect by its character.
std::string ConvertEscapes(std::string_view text);

}  // namespace lorvek
