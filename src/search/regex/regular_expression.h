// The component family of the regular-expression engine: TRegularExpression
// (pattern, preprocessing, compiled-pattern cache), TMatchCORE (string
// matching), TAWKStr (the string matcher the program uses). They are thin
// faces over immutable compiled patterns and the pure functions of
// matcher.h: a component only remembers which pattern is installed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "search/regex/automaton.h"
#include "search/regex/matcher.h"
#include "search/regex/regex_error.h"

namespace lorvek {

class TRegularExpression {
 public:
  static constexpr size_t kCacheSize = 30;
  static constexpr uint16_t kLineStartPseudoCode = 0xFFFD;  // -3
  static constexpr uint16_t kLineEndPseudoCode = 0xFFFE;    // -2

  virtual ~TRegularExpression() = default;

  // Installs a pattern (preprocessed, looked up in the cache, compiled on a
  // miss). Raises ERegExpParser; the component then holds the empty pattern.
  void SetRegExp(std::string_view pattern);
  const std::string& RegExp() const { return reg_exp_; }

  bool UseFuzzyCharDic() const { return use_fuzzy_; }
  void SetUseFuzzyCharDic(bool on);
  bool UseSynonymDic() const { return use_synonym_; }
  void SetUseSynonymDic(bool on);

  const CompiledPattern& Current() const { return *cache_[current_].compiled; }
  // The installed pattern, to keep and use after the component moves on.
  PatternRef Pattern() const { return cache_[current_].compiled; }
  // The text that was compiled for the current pattern (after preprocessing).
  const std::string& CurrentExpanded() const { return cache_[current_].text; }
  size_t CacheEntries() const { return cache_.size(); }
  size_t CompileCount() const { return compile_count_; }

 protected:
  TRegularExpression(uint16_t line_start_code, uint16_t line_end_code);
  virtual void PatternChanged() {}

 private:
  struct Entry {
    std::string text;  // after preprocessing
    PatternRef compiled;
    std::string raw;   // as set, with the switches it was expanded under
    bool fuzzy = false;
    bool synonym = false;
  };
  std::string Preprocess(std::string_view pattern) const;

  uint16_t line_start_code_;
  uint16_t line_end_code_;
  std::vector<Entry> cache_;
  size_t current_ = 0;
  std::string reg_exp_;
  bool use_fuzzy_ = false;
  bool use_synonym_ = false;
  size_t compile_count_ = 0;
};

class TMatchCORE : public TRegularExpression {
 public:
  TMatchCORE_LineSeparator LineSeparator() const { return separator_; }
  void SetLineSeparator(TMatchCORE_LineSeparator s) { separator_ = s; }

  // The straightforward procedures: restart the automaton at every start
  // position and walk sorted transition lists. Kept as the reference.
  MatchPos MatchReference(std::string_view s) const {
    return MatchLeftmostLongestReference(Current(), s, separator_);
  }
  // Leftmost-longest in time linear in the length of s, same results.
  MatchPos MatchFast(std::string_view s) const { return MatchLeftmostLongest(Current(), s, separator_); }

 protected:
  TMatchCORE() : TRegularExpression(kLineStartPseudoCode, kLineEndPseudoCode) {}

 private:
  TMatchCORE_LineSeparator separator_ = mcls_CRLF;
};

// Compiles a pattern as the string matcher reads it (fuzzy expansion when
// asked), without any component. Raises ERegExpParser.
PatternRef CompileStringPattern(std::string_view pattern, bool fuzzy);
// The same for the file scan, whose anchors read LF.
PatternRef CompileFilePattern(std::string_view pattern, bool fuzzy);

class TAWKStr : public TMatchCORE {
 public:
  TAWKStr() = default;
  MatchPos Match(std::string_view s) const { return MatchFast(s); }
  // Every escape sequence of the dialect replaced by its character.
  static std::string ConvertEscapes(std::string_view s);
};

}  // namespace lorvek
