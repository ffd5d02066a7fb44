#include "search/regex/regular_expression.h"

#include "search/fuzzy_expansion.h"
#include "search/regex/scanner.h"

namespace lorvek {

TRegularExpression::TRegularExpression(uint16_t line_start_code, uint16_t line_end_code)
    : line_start_code_(line_start_code), line_end_code_(line_end_code) {
  cache_.push_back({std::string(), CompilePattern("", line_start_code_, line_end_code_), std::string(), false, false});
}

std::string TRegularExpression::Preprocess(std::string_view pattern) const {
  std::string text(pattern);
  // No synonym dictionary is ever loaded, so UseSynonymDic changes nothing.
  if (use_fuzzy_) text = FuzzyExpand(text);
  return text;
}

void TRegularExpression::SetRegExp(std::string_view pattern) {
  // Reinstalling a pattern (the AND terms, line after line) skips the expansion.
  for (size_t i = 0; i < cache_.size(); ++i) {
    const Entry& e = cache_[i];
    if (e.compiled && e.raw == pattern && e.fuzzy == use_fuzzy_ && e.synonym == use_synonym_ &&
        (i > 0 || pattern.empty())) {
      current_ = i;
      reg_exp_.assign(pattern);
      PatternChanged();
      return;
    }
  }
  std::string expanded;
  try {
    expanded = Preprocess(pattern);
  } catch (...) {
    current_ = 0;
    reg_exp_.clear();
    PatternChanged();
    throw;
  }
  size_t found = cache_.size();
  for (size_t i = 0; i < cache_.size(); ++i)
    if (cache_[i].text == expanded) {
      found = i;
      break;
    }
  if (found < cache_.size()) {
    current_ = found;
    if (found > 0) {
      cache_[found].raw.assign(pattern);
      cache_[found].fuzzy = use_fuzzy_;
      cache_[found].synonym = use_synonym_;
    }
    reg_exp_.assign(pattern);
    PatternChanged();
    return;
  }
  if (cache_.size() >= kCacheSize) cache_.pop_back();
  cache_.insert(cache_.begin() + 1, Entry{expanded, nullptr, std::string(pattern), use_fuzzy_, use_synonym_});
  reg_exp_.assign(pattern);
  try {
    ++compile_count_;
    cache_[1].compiled = CompilePattern(expanded, line_start_code_, line_end_code_);
    current_ = 1;
  } catch (...) {
    cache_.erase(cache_.begin() + 1);
    current_ = 0;
    reg_exp_.clear();
    PatternChanged();
    throw;
  }
  PatternChanged();
}

void TRegularExpression::SetUseFuzzyCharDic(bool on) {
  use_fuzzy_ = on;
  std::string again = reg_exp_;
  SetRegExp(again);
}

void TRegularExpression::SetUseSynonymDic(bool on) {
  use_synonym_ = on;
  std::string again = reg_exp_;
  SetRegExp(again);
}

PatternRef CompileStringPattern(std::string_view pattern, bool fuzzy) {
  std::string text = fuzzy ? FuzzyExpand(pattern) : std::string(pattern);
  return CompilePattern(text, TRegularExpression::kLineStartPseudoCode, TRegularExpression::kLineEndPseudoCode);
}

PatternRef CompileFilePattern(std::string_view pattern, bool fuzzy) {
  std::string text = fuzzy ? FuzzyExpand(pattern) : std::string(pattern);
  return CompilePattern(text, 10, 10);
}

std::string TAWKStr::ConvertEscapes(std::string_view s) { return lorvek::ConvertEscapes(s); }

}  // namespace lorvek
