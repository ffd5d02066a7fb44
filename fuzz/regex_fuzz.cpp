// Pattern and subject from one input (split at the first TAB): the fast
// matcher must agree with the reference and never read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "search/regex/regular_expression.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  size_t tab = in.find('\t');
  std::string pattern = in.substr(0, tab), subject = tab == std::string::npos ? "" : in.substr(tab + 1);
  if (pattern.size() > 200) return 0;
  static lorvek::TAWKStr awk;
  try {
    awk.SetRegExp(pattern);
  } catch (const lorvek::ERegExpParser&) {
    return 0;
  }
  if (!(awk.Match(subject) == awk.MatchReference(subject))) std::abort();
  return 0;
}
