// Text holding characters code page 932 lacks: the file is still taken for
// what it is, such a character becomes one placeholder, and every other
// character of its line is searched.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "search_harness.h"
#include "text/conversion.h"
#include "text/encoding.h"
#include "text/second_look.h"
#include "text/text_stream.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;

struct Outside {
  const char* name;
  std::string utf8;         // the character(s)
  std::string placeholder;  // what the internal text holds instead
};

const Outside kOutside[] = {
    {"emoji", "\xF0\x9F\x98\x80", "?"},                            // U+1F600
    {"tsuchiyoshi", "\xF0\xA0\xAE\xB7", "?"},                      // U+20BB7 𠮷
    {"hokke", "\xF0\xA9\xB8\xBD", "?"},                            // U+29E3D 𩸽
    {"flag", "\xF0\x9F\x87\xAF\xF0\x9F\x87\xB5", "??"},            // two regional indicators
    {"e-acute", "\xC3\xA9", "?"},                                  // U+00E9
    {"hangul", "\xED\x95\x9C", "?"},                               // U+D55C
};

// The text (UTF-8, LF) and the line the hit must be reported on.
struct Placed {
  const char* where;
  std::string text;
  int line;
};

std::vector<Placed> Placements(const std::string& c) {
  std::string ascii;
  for (int i = 0; i < 1100; ++i) ascii += "plain ASCII line number " + std::to_string(i) + " of the long header\n";
  return {
      {"start", c + "野家で牛丼を食べた。\n二行目\n", 1},
      {"middle", "一行目\nここに" + c + "、そして牛丼。\n三行目\n", 2},
      // The first character outside ASCII only after 64 KiB of ASCII.
      {"late", ascii + "ここに" + c + "、そして牛丼。\n", 1101},
      // Japanese first, the odd character far after the probe's windows.
      {"late after Japanese", "日本語の一行目\n" + ascii + "ここに" + c + "、そして牛丼。\n", 1102},
  };
}

std::string WithBreaks(const std::string& lf_text, bool crlf) {
  if (!crlf) return lf_text;
  std::string out;
  for (char ch : lf_text) {
    if (ch == '\n') out += '\r';
    out += ch;
  }
  return out;
}

// UTF-16 code units of UTF-8 text, in either byte order.
std::string Utf16(const std::string& utf8, bool big_endian) {
  std::string out;
  auto unit = [&](uint32_t u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += big_endian ? hi : lo;
    out += big_endian ? lo : hi;
  };
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    const size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += n;
    if (cp < 0x10000) {
      unit(cp);
    } else {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    }
  }
  return out;
}

struct Form {
  const char* name;
  std::function<std::string(const std::string&)> make;  // from UTF-8 with LF
  int32_t code;
};

const std::vector<Form>& Forms() {
  static const std::vector<Form> forms = {
      {"UTF-8 LF", [](const std::string& t) { return t; }, ecUtf8N},
      {"UTF-8 CR LF", [](const std::string& t) { return WithBreaks(t, true); }, ecUtf8N},
      {"UTF-8 mark LF", [](const std::string& t) { return "\xEF\xBB\xBF" + t; }, ecUtf8},
      {"UTF-8 mark CR LF", [](const std::string& t) { return "\xEF\xBB\xBF" + WithBreaks(t, true); }, ecUtf8},
      {"UTF-16LE mark", [](const std::string& t) { return "\xFF\xFE" + Utf16(WithBreaks(t, true), false); }, ecUtf16Le},
      {"UTF-16BE mark", [](const std::string& t) { return "\xFE\xFF" + Utf16(WithBreaks(t, true), true); }, ecUtf16Be},
      {"UTF-16LE", [](const std::string& t) { return Utf16(WithBreaks(t, true), false); }, ecUtf16Le},
      {"UTF-16BE", [](const std::string& t) { return Utf16(t, true); }, ecUtf16Be},
  };
  return forms;
}

TEST(OutsideCodePage932, EveryFormFindsTheHitOnItsLine) {
  for (const Outside& c : kOutside) {
    for (const Placed& p : Placements(c.utf8)) {
      for (const Form& form : Forms()) {
        const std::string label = std::string(c.name) + " / " + p.where + " / " + form.name;
        test::Harness h;
        TempDir dir;
        dir.Write("a.txt", form.make(p.text));
        h.Search("牛丼", dir.path().string());
        ASSERT_EQ(h.store.size(), 1u) << label;
        EXPECT_EQ(h.store[0].LineNo, p.line) << label;
        EXPECT_EQ(h.store[0].EncodingCode, form.code) << label;
        // One placeholder for the character, the rest of the line as it is.
        const std::string line = Sj(p.line == 1 ? "野家で牛丼を食べた。" : "ここに" + c.placeholder + "、そして牛丼。");
        EXPECT_EQ(h.store[0].LineText, p.line == 1 ? c.placeholder + line : line) << label;
        EXPECT_EQ(h.run.ErrorCount(), 0) << label;
      }
    }
  }
}

// ISO-2022-JP with JIS X 0212 characters (ESC $ ( D): each is one
// placeholder and the text after them reads right.
TEST(OutsideCodePage932, JisX0212InIso2022JpIsReadPast) {
  const std::string supplementary = "\x1B$(D" "\x30\x21\x30\x22" "\x1B(B";  // two JIS X 0212 kanji
  std::string ascii;
  for (int i = 0; i < 1100; ++i) ascii += "plain ASCII line number " + std::to_string(i) + "\r\n";
  auto jis = [](const std::string& utf8) { return SjisToJis(Sj(utf8)); };
  const struct {
    const char* where;
    std::string bytes;
    int line;
    std::string text;  // UTF-8
  } cases[] = {
      {"start", supplementary + jis("野家で牛丼を食べた。\r\n二行目\r\n"), 1, "??野家で牛丼を食べた。"},
      {"middle", jis("一行目\r\nここに") + supplementary + jis("、そして牛丼。\r\n三行目\r\n"), 2, "ここに??、そして牛丼。"},
      {"set left open to the line's end",
       jis("一行目\r\n") + "\x1B$(D" "\x30\x21" + jis("\r\n牛丼です\r\n"), 3, "牛丼です"},
      {"late", ascii + jis("ここに") + supplementary + jis("、そして牛丼。\r\n"), 1101, "ここに??、そして牛丼。"},
  };
  for (const auto& c : cases) {
    test::Harness h;
    TempDir dir;
    dir.Write("a.txt", c.bytes);
    h.Search("牛丼", dir.path().string());
    ASSERT_EQ(h.store.size(), 1u) << c.where;
    EXPECT_EQ(h.store[0].LineNo, c.line) << c.where;
    EXPECT_EQ(h.store[0].EncodingCode, ecJis) << c.where;
    EXPECT_EQ(h.store[0].LineText, Sj(c.text)) << c.where;
  }
}

// Only well-formed UTF-8 makes the probe say UTF-8: overlong forms,
// surrogate halves, code points past U+10FFFF and cut sequences do not.
TEST(OutsideCodePage932, ProbeAcceptsFourByteSequencesAndNothingMalformed) {
  auto detect = [](const std::string& bytes) {
    const std::string buffer = bytes + std::string(4, '\0');
    return DetectCode(buffer, bytes.size(), true);
  };
  const std::string kanji = "\xE9\x87\x8E\xE5\xAE\xB6";  // 野家
  EXPECT_EQ(detect("\xF0\xA0\xAE\xB7" + kanji + "\n"), ecUtf8N);
  EXPECT_EQ(detect("\xC3\xA9" + kanji + "\n"), ecUtf8N);     // a pair before a three-byte sequence
  EXPECT_EQ(detect("\xF4\x8F\xBF\xBF" + kanji + "\n"), ecUtf8N);  // U+10FFFF
  EXPECT_NE(detect("\xF0\x80\x80\xAF" + kanji + "\n"), ecUtf8N);  // overlong
  EXPECT_NE(detect("\xF4\x90\x80\x80" + kanji + "\n"), ecUtf8N);  // past U+10FFFF
  EXPECT_NE(detect("\xED\xA0\x80" + kanji + "\n"), ecUtf8N);      // a surrogate half
  EXPECT_NE(detect("\xE0\x80\xAF" + kanji + "\n"), ecUtf8N);      // overlong
  EXPECT_NE(detect("\xF0\xA0\xAE" "a" + kanji + "\n"), ecUtf8N);  // cut short
  EXPECT_NE(detect("\xF8\x88\x80\x80\x80" + kanji + "\n"), ecUtf8N);
  EXPECT_EQ(WellFormedUtf8Length(0xF0, 0x9F, 0x98, 0x80), 4u);
  EXPECT_EQ(WellFormedUtf8Length(0xF0, 0x8F, 0x98, 0x80), 0u);
  EXPECT_EQ(WellFormedUtf8Length(0xED, 0x9F, 0xBF, 0), 3u);
  EXPECT_EQ(WellFormedUtf8Length(0xC1, 0xBF, 0, 0), 0u);
  // Pairs alone prove nothing: left undecided for the look over the whole file.
  EXPECT_EQ(detect("A\xC3\xA9" "AAA"), ecEucOrSjis);
  // EUC-JP stays EUC-JP, with its F0..FE lead bytes too.
  EXPECT_EQ(detect(SjisToEuc(Sj("検索の行です。")) + "\xF4\xA1\r\n"), ecEuc);
}

// Binary files are not taken for UTF-16 without a mark.
TEST(OutsideCodePage932, BinaryFilesStayBinary) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(test::FixturePath("")))
    if (entry.is_regular_file()) files.push_back(entry.path());
  int binary = 0;
  for (const auto& path : files) {
    InputFile in(FileRef::FromPath(path.string()));
    ProbeDetails details;
    const int32_t probe = ProbeStream(in, &details).encoding;
    if (probe != ecBinary) continue;
    ++binary;
    EXPECT_EQ(SecondLook(in, probe, details), ecBinary) << path;
  }
  EXPECT_GT(binary, 10);
  // Shift-JIS text with stray NULs, and short such texts.
  EXPECT_EQ(Utf16WithoutMark(std::string("abc\0defg\r\n", 10), true), -1);
  EXPECT_EQ(Utf16WithoutMark(std::string("ab\0c\r\n", 6), true), -1);
  const std::string stray = Sj("検索の行です") + std::string("\0\r\nx", 4) + Sj("次の行です\r\n");
  ASSERT_EQ(stray.size() % 2, 0u);
  EXPECT_EQ(Utf16WithoutMark(stray, true), -1);
  // An odd number of bytes is no UTF-16; the text itself is.
  const std::string le = Utf16("abc\r\n", false);
  EXPECT_EQ(Utf16WithoutMark(le, true), ecUtf16Le);
  EXPECT_EQ(Utf16WithoutMark(le + "x", true), -1);
  EXPECT_EQ(Utf16WithoutMark(Utf16("abc\r\n", true), true), ecUtf16Be);
  // Kana and kanji with their breaks, both orders.
  const std::string japanese = "これは検索のテストです。\r\n全角　スペースも一つ。\r\n";
  EXPECT_EQ(Utf16WithoutMark(Utf16(japanese, false), true), ecUtf16Le);
  EXPECT_EQ(Utf16WithoutMark(Utf16(japanese, true), true), ecUtf16Be);
  // ASCII records of an even length ending in NUL and line feed read as
  // "characters" of two ASCII bytes: no UTF-16 (kana and kanji need bytes
  // of 80 and more), and the hits in them are found all the same.
  std::string records;
  for (const char* r : {"name=a cat\0\n", "next one 123\0\n", "more text.\0\n"}) records.append(r, std::strlen(r) + 2);
  ASSERT_EQ(records.size() % 2, 0u);
  EXPECT_EQ(Utf16WithoutMark(records, true), -1);
  test::TempDir dir;
  dir.Write("records.dat", records + records);
  NullFrontEnd front;
  ResultStore store;
  SearchRun run(front, store, dir.path().string());
  run.options().whole_word = false;
  run.FindButtonClick("cat", (dir / "records.dat").string(), "*");
  EXPECT_EQ(store.size(), 2u);
  // A control code or a lone surrogate half is no text.
  EXPECT_EQ(Utf16WithoutMark(Utf16("ab\x01" "c\r\n", false), true), -1);
  EXPECT_EQ(Utf16WithoutMark(Utf16("abc\r\n", false) + std::string("\x00\xDC", 2), true), -1);
}

}  // namespace
}  // namespace lorvek
