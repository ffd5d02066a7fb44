// The fast paths against the plain ways they replace: the table-driven code
// page 932 conversion against iconv, the byte-level UTF-8 decoding against
// the way by UTF-16 units, the bit-scan line splitter against a byte loop,
// and the binary scan that passes over lines without the search string
// against the full matcher.
#include <gtest/gtest.h>

#include <random>

#include "search/file_grep.h"
#include "search/regex/multi_string_search.h"
#include "search/regex/regular_expression.h"
#include "test_util.h"
#include "text/encoding.h"
#include "text/conversion.h"
#include "text/cp932.h"
#include "text/line_splitter.h"
#include "text/sjis_oddities.h"

namespace lorvek {
namespace {

using test::EdgeOfPage;
using test::Sj;
using test::TempDir;

std::mt19937& Rng() {
  static std::mt19937 rng(20261207);
  return rng;
}
size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(Rng()); }

TEST(FastConversions, UnitTableAgreesWithIconvIncludingSurrogates) {
  const char16_t interesting[] = {0, 'a', 0x7F, 0x80, 0xA5, 0x203E, 0x301C, 0xFF5E, 0x2225, 0x30FB, 0xFEFF, 0xFFFD,
                                  0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0x3042, 0x691C, 0xE000, 0xFFFF};
  for (int round = 0; round < 3000; ++round) {
    std::u16string units;
    for (size_t k = Pick(12); k > 0; --k)
      units.push_back(Pick(3) == 0 ? static_cast<char16_t>(Pick(0x10000)) : interesting[Pick(std::size(interesting))]);
    std::string fast;
    AppendUnitsAsCp932(units, fast);
    ASSERT_EQ(fast, Utf16ToCp932ByIconv(units)) << round;
  }
  // Every unit alone.
  for (uint32_t u = 0; u < 0x10000; u += 7) {
    const char16_t unit = static_cast<char16_t>(u);
    ASSERT_EQ(Utf16ToCp932(std::u16string_view(&unit, 1)), Utf16ToCp932ByIconv(std::u16string_view(&unit, 1))) << u;
  }
}

// UTF-8 decoded the long way: into units (a NUL among them, a character
// like any other), then iconv.
std::string Utf8ByUnitsAndIconv(std::string_view text) {
  const size_t n = text.size();
  auto at = [&](size_t i) -> unsigned char { return i < n ? static_cast<unsigned char>(text[i]) : 0; };
  std::u16string units;
  // A byte that starts no well-formed character (a surrogate half is read)
  // is one ・.
  for (size_t i = 0; i < n;) {
    unsigned char c = at(i);
    const bool surrogate = c == 0xED && at(i + 1) >= 0xA0 && at(i + 1) <= 0xBF && (at(i + 2) & 0xC0) == 0x80;
    const bool whole = surrogate || WellFormedUtf8Length(c, at(i + 1), at(i + 2), at(i + 3)) > 1;
    if (c >= 0x80 && !whole) {
      units.push_back(u'\u30FB');
      ++i;
    } else if (c < 0x80) {
      units.push_back(c);
      ++i;
    } else if (c >= 0xC0 && c <= 0xDF) {
      units.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (at(i + 1) & 0x3F)));
      i += 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      units.push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F)));
      i += 3;
    } else if (c >= 0xF0 && c <= 0xF7) {
      uint32_t cp = (static_cast<uint32_t>(c & 7) << 18) | ((at(i + 1) & 0x3Fu) << 12) | ((at(i + 2) & 0x3Fu) << 6) |
                    (at(i + 3) & 0x3Fu);
      if (cp < 0x10000) cp = 0x10000;
      cp -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + ((cp >> 10) & 0x3FF)));
      units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
      i += 4;
    }
  }
  return Utf16ToCp932ByIconv(units);
}

TEST(FastConversions, Utf8StraightToShiftJisAgreesWithTheWayByUnits) {
  const std::string pieces[] = {"a", "検索", "ｶ", "\xC0\x80", "\xED\xA0\x80", "\xED\xB0\x80", "\xF0\x9F\x98\x80",
                                "\xF0\x80\x80\x80", "\xE0\x80\x80", "\xC3", "\xE6\x97", "~", "\xE2\x80\xBE",
                                "\x80", "\xFF", std::string(1, '\0'), "\xEF\xBB\xBF", "\xE3\x80\x9C"};
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (size_t k = Pick(8); k > 0; --k) text += pieces[Pick(std::size(pieces))];
    std::string fast;
    AppendUtf8AsSjis(text, fast);
    ASSERT_EQ(fast, Utf8ByUnitsAndIconv(text)) << round;
  }
}

TEST(FastConversions, LineSplitterAgreesWithAByteLoop) {
  const char alphabet[] = {'a', '\r', '\n', '\0', 'b', '\x82'};
  for (int round = 0; round < 5000; ++round) {
    // Short texts, and texts of several 64-byte steps whose breaks (a CR LF
    // among them) fall on and across the steps' edges.
    std::string text;
    for (size_t k = round % 2 ? Pick(20) : Pick(300); k > 0; --k)
      text.push_back(round % 4 == 0 && Pick(8) != 0 ? 'a' : alphabet[Pick(sizeof alphabet)]);
    std::vector<LineSpan> expected;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '\r' && text[i] != '\n') continue;
      size_t next = i + 1;
      if (text[i] == '\r' && next < text.size() && text[next] == '\n') ++next;
      expected.push_back({start, i, next});
      start = next;
      i = next - 1;
    }
    if (start < text.size()) expected.push_back({start, text.size(), text.size()});
    const std::vector<LineSpan> got = SplitLineSpans(text);
    ASSERT_EQ(got.size(), expected.size()) << round;
    for (size_t k = 0; k < got.size(); ++k) {
      ASSERT_EQ(got[k].begin, expected[k].begin);
      ASSERT_EQ(got[k].end, expected[k].end);
      ASSERT_EQ(got[k].next, expected[k].next);
    }
  }
}

// Texts of every length up to several vector steps that end where readable
// memory ends: a step of the multi-string search (each width), the line
// splitter or the Shift-JIS oddity count that reads one byte past its text
// faults here, where a string's spare capacity would hide it. The straight
// decoders write within the room they ask for, which ends at a fault too.
TEST(FastConversions, VectorStepsStayInsideTheirText) {
  EdgeOfPage input, output;
  const char alphabet[] = {'a', 'b', '\r', '\n', '\x82', '\xA0', '\xE3', '\x81', '\x8F', '\xA1'};
  const std::vector<std::vector<std::string>> sets = {
      {"ab"}, {std::string(40, 'a') + "b"}, {"a\r", "\x82\xA0", "ba"}, {"\x81\x8F\xA1"}};
  for (size_t length = 0; length <= 300; ++length) {
    std::string bytes(length, ' ');
    for (char& c : bytes) c = Pick(4) == 0 ? 'a' : alphabet[Pick(sizeof alphabet)];
    const std::string_view text = input.Put(bytes);
    for (const bool wide : {true, false}) {
      MultiStringSearch::UseWideSteps(wide);
      for (const std::vector<std::string>& strings : sets) {
        const MultiStringSearch search(strings);
        for (size_t from = 0; from <= length; ++from) {
          size_t expected = std::string_view::npos;
          for (const std::string& s : strings) expected = std::min(expected, bytes.find(s, from));
          ASSERT_EQ(search.Find(text, from), expected) << "length " << length << " from " << from;
        }
      }
    }
    MultiStringSearch::UseWideSteps(true);
    size_t lines = 0;
    ForEachLine(text, [&](const LineSpan& s) { lines += s.next <= length; });
    ASSERT_EQ(lines, SplitLineSpans(bytes).size()) << length;
    SjisOddities odd;
    odd.Feed(text);
    SjisOddities whole_copy;
    whole_copy.Feed(bytes);
    ASSERT_EQ(odd.Count(), whole_copy.Count()) << length;
    const size_t room = 2 * length + 16;
    ASSERT_LE(WriteEucAsSjis(text, output.Room(room)) - output.Room(room), static_cast<std::ptrdiff_t>(room));
    try {
      const char* end = WriteUtf8AsSjis(text, output.Room(room));
      if (end) ASSERT_LE(end - output.Room(room), static_cast<std::ptrdiff_t>(room));
    } catch (const EConversionError&) {
    }
  }
}

int plain_scans = 0;

std::vector<std::pair<int32_t, std::string>> Scan(const std::string& pattern, const std::string& file) {
  std::vector<std::pair<int32_t, std::string>> hits;
  TGrep grep;
  grep.OnMatch = [&](TGrep&, const RE_LineInfo_t& info) { hits.emplace_back(info.LineNo, info.Line); };
  grep.SetUseFuzzyCharDic(false);
  grep.SetRegExp(pattern);
  plain_scans += !grep.Current().literals().empty();
  grep.Grep(file);
  return hits;
}

TEST(FastBinaryScan, LinesWithoutTheStringAreSkippedExactly) {
  // The plain string against the same string as an alternation (which the
  // matcher must look at byte by byte) over binary files whose lines cross
  // block boundaries, end in a CR at a block's end, hold NULs and misaligned
  // copies of the string.
  const std::string word = Sj("ファイル");
  const std::string other = Sj("ファイル|鵺.鵺");  // no fixed strings: the matcher looks at every byte
  const std::string pieces[] = {word, word.substr(1), word.substr(0, 3), "\r", "\n", "\r\n", std::string(1, '\0'),
                                "\x82", "abc", Sj("テ"), std::string(3000, 'x')};
  TempDir dir;
  size_t found = 0;
  for (int round = 0; round < 40; ++round) {
    std::string bytes;
    while (bytes.size() < TGrep::kBlockSize * 3) {
      if (Pick(50) == 0) bytes += std::string(TGrep::kBlockSize - bytes.size() % TGrep::kBlockSize - 1, 'y') + "\r";
      // The string early in a line that runs on into the next block.
      if (Pick(200) == 0) bytes += word + std::string(TGrep::kBlockSize + Pick(1000), 'z');
      bytes += pieces[Pick(std::size(pieces))];
    }
    const std::string path = dir.Write("f" + std::to_string(round) + ".bin", bytes).string();
    const auto hits = Scan(word, path);
    ASSERT_EQ(hits, Scan(other, path)) << round;
    ASSERT_EQ(hits, Scan(Sj("ファイル|鵺鵺鵺"), path)) << round;  // an alternation of fixed strings
    found += hits.size();
  }
  EXPECT_EQ(plain_scans, 80);  // the fast way was taken for the string and the alternation
  EXPECT_GT(found, 40u);
}

}  // namespace
}  // namespace lorvek
