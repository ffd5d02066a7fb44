// Pattern and subject from one input (split at the first TAB): the fast
// matcher must agree with the straightforward one and with the independent
// reference of the tests, and never read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "regex_reference.h"
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
  const lorvek::MatchPos fast = awk.Match(subject);
  if (!(fast == awk.MatchReference(subject))) std::abort();
  if (subject.size() <= 64) {
    auto independent = lorvek::test::ReferenceMatch(pattern, subject, lorvek::mcls_CRLF);
    if (independent && !(fast == *independent)) std::abort();
  }
  return 0;
}
