// The read/write-back pipeline: lines with their spans, the round-trip
// verdict, and rebuilding a file around changed lines.
#include "text/encoding_table.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include "test_util.h"
#include "text/conversion.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace lorvek {
namespace {

using test::Sj;

DecodedText Decode(const std::string& bytes, int32_t code, int32_t line_end = leCrLf) {
  return DecodeFileText(bytes, TextFileFormat::FromCodes(code, line_end), {.check_round_trip = true});
}

TEST(TextCodec, EveryTextFixtureComesBackByteForByte) {
  for (const char* name : {"ascii.txt", "sjis_crlf.txt", "sjis_lf.txt", "sjis_cr.txt", "eucjp_lf.txt",
                           "eucjp_crlf.txt", "jis_crlf.txt", "jis78_crlf.txt", "utf8_bom.txt", "utf8_nobom_lf.txt",
                           "utf16le_bom.txt", "utf16be_bom.txt", "mixed_breaks.txt", "no_final_newline.txt"}) {
    const std::string bytes = test::ReadBytes(test::FixturePath(std::string("text/") + name));
    const TextFileFormat probed = ProbeBufferCode(bytes);
    DecodedText d = DecodeFileText(bytes, probed, {.check_round_trip = true});
    EXPECT_TRUE(d.LossyLines().empty()) << name;
    EXPECT_EQ(d.size(), std::string(name) == "ascii.txt" ? 10u : 16u) << name;
    EXPECT_EQ(RebuildFileBytes(bytes, d, {}), bytes) << name;
    if (std::string(name) != "mixed_breaks.txt") {  // one style of break throughout
      EXPECT_EQ(EncodeFileText(d.Lines(), d.format), bytes) << name;
    }
  }
}

// Texts of every kind decoded one after another into one DecodedText, as a
// reader's blocks are: each comes out as a fresh decoding gives it, with
// nothing of the one before (its lines, mark, break, JIS return, the room a
// longer text left), also after a decoder gave up midway.
TEST(TextCodec, DecodingIntoAUsedTextGivesWhatAFreshOneGives) {
  const std::string long_line(300, 'x');
  const struct {
    std::string bytes;
    int32_t code;
  } texts[] = {
      {"\xEF\xBB\xBF" "\xE3\x81\x82" "a\r\n\xE3\x81\x84", ecUtf8},
      {long_line + "\xA4\xA2\n" + long_line + "\n\n\xA4", ecEuc},
      {"\xA4\xA2\r\n", ecEuc},
      {"abc\r\n\x82\xA0\ndef", ecSjis},
      {"\x1B$B$\"\x1B(Ja\r\nb\r\n", ecJis},
      {std::string("\xFF\xFE" "a\0\r\0\n\0b\0", 10), ecUtf16Le},
      {std::string("\xFF\xFE" "a\0b\0", 6), ecUtf16Le},
      {"a\r\n\xE3\x81\x82\xC0\x80z\r\n" + long_line, ecUtf8N},  // the long way midway
      {long_line + "\r\n\x80z", ecUtf8N},                          // refused midway
      {"", ecAscii},
  };
  auto fresh = [&](size_t k) {
    return DecodeFileText(texts[k].bytes, TextFileFormat::FromCodes(texts[k].code, leCrLf), {.check_round_trip = true});
  };
  for (size_t before = 0; before < std::size(texts); ++before) {
    for (size_t k = 0; k < std::size(texts); ++k) {
      DecodedText d;
      try {
        DecodeFileTextInto(texts[before].bytes, TextFileFormat::FromCodes(texts[before].code, leCrLf),
                           {.check_round_trip = true}, d);
      } catch (const EConversionError&) {
      }
      DecodedText expected;
      bool threw = false;
      try {
        expected = fresh(k);
      } catch (const EConversionError&) {
        threw = true;
      }
      if (threw) {
        EXPECT_THROW(DecodeFileTextInto(texts[k].bytes, TextFileFormat::FromCodes(texts[k].code, leCrLf),
                                        {.check_round_trip = true}, d),
                     EConversionError);
        continue;
      }
      DecodeFileTextInto(texts[k].bytes, TextFileFormat::FromCodes(texts[k].code, leCrLf), {.check_round_trip = true},
                         d);
      EXPECT_EQ(d.format, expected.format) << before << " then " << k;
      ASSERT_EQ(d.Lines(), expected.Lines()) << before << " then " << k;
      for (size_t i = 0; i < d.size(); ++i) {
        const LineSpan &got = d.lines[i].file, &want = expected.lines[i].file;
        EXPECT_TRUE(got.begin == want.begin && got.end == want.end && got.next == want.next)
            << before << " then " << k << " line " << i;
        EXPECT_EQ(d.lines[i].lossless, expected.lines[i].lossless) << before << " then " << k << " line " << i;
        // Lines decoded straight into the room are what their bytes decode to alone.
        const std::string_view raw = std::string_view(texts[k].bytes).substr(got.begin, got.end - got.begin);
        const int32_t code = texts[k].code;
        if (code == ecEuc) EXPECT_EQ(d.Line(i), EucToSjis(raw)) << k << " line " << i;
        if (code == ecUtf8 || code == ecUtf8N) EXPECT_EQ(d.Line(i), Utf8ToSjis(raw, false)) << k << " line " << i;
        if (code == ecSjis || code == ecAscii) EXPECT_EQ(d.Line(i), raw) << k << " line " << i;
      }
    }
  }
}

TEST(TextCodec, LinesKnowWhereTheirBytesAre) {
  const std::string bytes = "\xEF\xBB\xBF" "ab\r\n\xE6\xA4\x9C\xE7\xB4\xA2\ncd";
  DecodedText d = Decode(bytes, ecUtf8);
  ASSERT_EQ(d.size(), 3u);
  EXPECT_TRUE(d.format.byte_order_mark);
  EXPECT_FALSE(d.format.final_line_break);
  EXPECT_EQ(d.Line(1), Sj("検索"));
  EXPECT_EQ(d.lines[0].file.begin, 3u);  // after the mark
  EXPECT_EQ(d.lines[0].file.next, 7u);   // CR LF belongs to the first line
  EXPECT_EQ(d.lines[1].file.begin, 7u);
  EXPECT_EQ(d.lines[1].file.end, 13u);
  EXPECT_EQ(d.lines[2].file.next, bytes.size());
  // UTF-16 lines are cut at the units 000D and 000A, not at bytes 0D 0A.
  const std::string le = EncodeForCode(ecUtf16Le, Sj("\xE3\x84\x8D" "a\r\nb"));  // U+310D holds a 0D byte
  DecodedText u = Decode(le, ecUtf16Le);
  ASSERT_EQ(u.size(), 2u);
  EXPECT_EQ(u.format.line_end, leCrLf);
}

TEST(TextCodec, WhatCodePage932CannotHoldIsReportedLossy) {
  const std::string bytes = "first line\n" "caf\xC3\xA9 \xC2\xA9 \xF0\x9F\x98\x80 \xE6\xA4\x9C\xE7\xB4\xA2\n" "last\n";
  DecodedText d = Decode(bytes, ecUtf8N, leLf);
  EXPECT_EQ(d.Line(1), Sj("caf? ? ? 検索"));
  EXPECT_EQ(d.LossyLines(), (std::vector<size_t>{1}));
  // Rebuilding with another line changed leaves the lossy line's bytes alone.
  std::string rebuilt = RebuildFileBytes(bytes, d, {{2, "LAST"}});
  EXPECT_EQ(rebuilt, "first line\n" "caf\xC3\xA9 \xC2\xA9 \xF0\x9F\x98\x80 \xE6\xA4\x9C\xE7\xB4\xA2\n" "LAST\n");
  // EUC-JP with a JIS X 0212 character (8F A2 B7) and a stray byte: lossy.
  DecodedText e = Decode("ok\n\x8F\xA2\xB7 x\n", ecEuc, leLf);
  EXPECT_EQ(e.LossyLines(), (std::vector<size_t>{1}));
  // A text cut at a NUL is not the whole file.
  DecodedText n = DecodeFileText(std::string("ab\0cd", 5), TextFileFormat::FromCodes(ecSjis, leCrLf),
                                 {.stop_at_nul = true, .check_round_trip = true});
  ASSERT_EQ(n.size(), 1u);
  EXPECT_EQ(n.lines[0].file.next, 2u);
}

TEST(TextCodec, ChangedLinesAreEncodedInTheFilesOwnForm) {
  const std::string jis = SjisToJis(Sj("一行目\r\n二行目\r\n"), JisReturn::Ascii, false);
  DecodedText d = Decode(jis, ecJis);
  EXPECT_EQ(d.format.jis_return, JisReturn::Ascii);
  EXPECT_TRUE(d.LossyLines().empty());
  std::string rebuilt = RebuildFileBytes(jis, d, {{0, Sj("置換後")}});
  EXPECT_EQ(rebuilt, SjisToJis(Sj("置換後\r\n二行目\r\n"), JisReturn::Ascii, false));
  // The last line without a break stays without one, and without a return
  // sequence it never had.
  const std::string open_end = SjisToJis(Sj("末尾"), JisReturn::Ascii, false);
  DecodedText o = Decode(open_end, ecJis);
  EXPECT_TRUE(o.LossyLines().empty());
  EXPECT_EQ(RebuildFileBytes(open_end, o, {{0, Sj("変更")}}), SjisToJis(Sj("変更"), JisReturn::Ascii, false));
  // UTF-16 big-endian keeps its mark and writes units.
  const std::string be = EncodeForCode(ecUtf16Be, Sj("あ\r\nい"));
  DecodedText b = Decode(be, ecUtf16Be);
  EXPECT_EQ(RebuildFileBytes(be, b, {{1, "x"}}), std::string("\xFE\xFF\x30\x42\x00\r\x00\n\x00x", 10));
}

// Half-width katakana of their own set (ESC ( I, in older mail) are read as
// the Shift-JIS single bytes, found, and written back in that set.
TEST(TextCodec, Iso2022JpHalfWidthKatakanaOfTheirOwnSet) {
  const std::string mail = "\x1B(I6@6E\x1B(B and \x1B$B4A;z\x1B(B\r\n\x1B(I1\x1B(B x\r\n";
  DecodedText d = Decode(mail, ecJis);
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d.Line(0), Sj("ｶﾀｶﾅ and 漢字"));
  EXPECT_EQ(d.Line(1), Sj("ｱ x"));
  EXPECT_TRUE(d.format.jis_kana);
  EXPECT_TRUE(d.LossyLines().empty());
  EXPECT_EQ(RebuildFileBytes(mail, d, {{1, Sj("ｲ y")}}),
            "\x1B(I6@6E\x1B(B and \x1B$B4A;z\x1B(B\r\n\x1B(I2\x1B(B y\r\n");
  EXPECT_TRUE(CanEncodeLine(Sj("ｷ"), d.format));
  DecodedText plain = Decode("\x1B$B8!:w\x1B(B\r\n", ecJis);
  EXPECT_FALSE(CanEncodeLine(Sj("ｷ"), plain.format));  // a file without the set: refused, not made full-width
  // Without that set in the file, they go out as full-width, as before.
  EXPECT_EQ(SjisToJis(Sj("ｱ"), JisReturn::Ascii, true), "\x1B$B%\"\x1B(B");
}

// The encoding table is what the codec writes: a code with a mark reads a
// file that begins with it as marked and writes it back; the tag, the
// viewer's name and the JSON name are one row's.
TEST(EncodingTable, EveryRowIsWhatTheCodecAndTheTagsUse) {
  for (const EncodingRow& row : Encodings()) {
    SCOPED_TRACE(row.code);
    EXPECT_EQ(FindEncoding(row.code), &row);
    EXPECT_EQ(EncodingTag(row.code, leCrLf), std::string(row.tag));
    EXPECT_EQ(EncodingDisplayName(row.code), std::string(row.name));
    EXPECT_FALSE(row.json_name.empty());
    if (row.document) continue;
    EXPECT_EQ(IsUtf16(row.code), row.unit == 2);
    const std::string bytes = EncodeForCode(row.code, "a\r\n");
    EXPECT_EQ(bytes.rfind(std::string(row.mark), 0), 0u);
    const DecodedText d = DecodeFileText(bytes, TextFileFormat::FromCodes(row.code, leCrLf));
    EXPECT_EQ(d.format.byte_order_mark, !row.mark.empty());
    EXPECT_EQ(RebuildFileBytes(bytes, d, {{0, "b"}}), EncodeForCode(row.code, "b\r\n"));
  }
  EXPECT_EQ(FindEncoding(12345), nullptr);
  EXPECT_EQ(EncodingTag(12345, leLf), "[???][LF]");
}

// The edges of a file's bytes: a mark only at the file's start, the break
// UTF-16 text uses, a NUL cut that stays inside the bytes, and a file that
// is a mark alone.
TEST(TextCodec, MarksBreaksAndTheEndsOfTheBytes) {
  // A block read later starts with the bytes of a mark: they are text.
  const DecodedText later = DecodeFileText("\xEF\xBB\xBF" "ab\n", TextFileFormat::FromCodes(ecUtf8, leLf),
                                           {.at_file_start = false});
  EXPECT_FALSE(later.format.byte_order_mark);
  ASSERT_EQ(later.size(), 1u);
  EXPECT_EQ(later.lines[0].file.begin, 0u);
  EXPECT_NE(later.Line(0), "ab");
  // UTF-16 with CR alone, in both byte orders; and LF alone.
  for (int32_t code : {ecUtf16Le, ecUtf16Be}) {
    EXPECT_EQ(Decode(EncodeForCode(code, "a\rb\r"), code).format.line_end, leCr) << code;
    EXPECT_EQ(Decode(EncodeForCode(code, "a\nb\n"), code).format.line_end, leLf) << code;
    EXPECT_EQ(Decode(EncodeForCode(code, "a\r\nb"), code).format.line_end, leCrLf) << code;
  }
  // An odd number of UTF-16 bytes whose last is 00: no unit 0000 there.
  const std::string odd("\xFF\xFE" "a\0b\0\0", 7);
  const DecodedText o = DecodeFileText(odd, TextFileFormat::FromCodes(ecUtf16Le, leCrLf),
                                       {.stop_at_nul = true, .check_round_trip = true});
  ASSERT_EQ(o.size(), 1u);
  EXPECT_EQ(o.lines[0].file.end, odd.size());
  const std::string cut("\xFF\xFE" "a\0\0\0b\0", 8);
  const DecodedText c = DecodeFileText(cut, TextFileFormat::FromCodes(ecUtf16Le, leCrLf), {.stop_at_nul = true});
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c.Line(0), "a");
  // A mark alone: no line, no final break, and written back as the mark.
  for (int32_t code : {ecUtf8, ecUtf16Le, ecUtf16Be}) {
    const std::string mark = EncodeForCode(code, "");
    const DecodedText m = Decode(mark, code);
    EXPECT_TRUE(m.format.byte_order_mark) << code;
    EXPECT_FALSE(m.format.final_line_break) << code;
    EXPECT_TRUE(m.LossyLines().empty()) << code;
    EXPECT_EQ(EncodeFileText(m.Lines(), m.format), mark) << code;
  }
}

const int32_t kConverted[] = {ecJis, ecJisOld, ecEuc, ecUtf8, ecUtf8N, ecUtf16Le, ecUtf16Be};

// The line's text after writing it in the format and reading it back.
std::string Back(const std::string& sjis, int32_t code) {
  const TextFileFormat f = TextFileFormat::FromCodes(code, leCrLf);
  const DecodedText d = DecodeFileText(EncodeLine(sjis, f), f, {.at_file_start = false});
  return d.size() == 1 ? std::string(d.Line(0)) : std::string("<") + std::to_string(d.size()) + " lines>";
}

// Whatever the check lets through comes back as the very same code, for
// every character of code page 932 and every byte that is none.
TEST(CanEncodeLine, WhatItAcceptsComesBackExactly) {
  std::vector<std::string> chars;
  for (unsigned b = 1; b < 0x100; ++b)
    if (!IsLeadByte(static_cast<unsigned char>(b))) chars.push_back(std::string(1, static_cast<char>(b)));
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead)
    if (IsLeadByte(static_cast<unsigned char>(lead)))
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
        chars.push_back({static_cast<char>(lead), static_cast<char>(trail)});
  for (int32_t code : kConverted) {
    const TextFileFormat f = TextFileFormat::FromCodes(code, leCrLf);
    size_t accepted = 0;
    for (const std::string& c : chars) {
      const std::string line = "a" + c + "b";
      if (!CanEncodeLine(line, f)) continue;
      ++accepted;
      EXPECT_EQ(Back(line, code), line) << code << " " << std::hex << CharCode(c, 0);
    }
    EXPECT_GT(accepted, 7000u) << code;  // JIS X 0208 alone has 6,879 characters
  }
  for (int32_t code : {ecSjis, ecAscii, ecEucOrSjis})
    EXPECT_TRUE(CanEncodeLine("\xFB\xFC\x85\x40\xFF", TextFileFormat::FromCodes(code, leCrLf)));
  // A NUL is a character of its line in every format.
  const std::string nul("a\0b", 3);
  for (int32_t code : {ecUtf8, ecUtf8N, ecUtf16Le, ecUtf16Be, ecSjis, ecEuc}) {
    EXPECT_TRUE(CanEncodeLine(nul, TextFileFormat::FromCodes(code, leCrLf))) << code;
    if (code != ecSjis) EXPECT_EQ(Back(nul, code), nul) << code;
  }
  // A break in a line would make two of it, in any format.
  for (int32_t code : {ecSjis, ecJis, ecEuc, ecUtf8N, ecUtf16Le}) {
    EXPECT_FALSE(CanEncodeLine("a\nb", TextFileFormat::FromCodes(code, leCrLf))) << code;
    EXPECT_FALSE(CanEncodeLine("a\r", TextFileFormat::FromCodes(code, leCrLf))) << code;
  }
}

// The NEC row 13 (lead 87), the NEC-selected IBM extensions (ED, EE) and
// the IBM extensions (FA to FC), format by format: written, or refused.
TEST(CanEncodeLine, NecAndIbmRowsInEveryFormat) {
  struct Row {
    const char* name;
    std::string sjis;
    bool jis, euc, unicode;
  };
  const Row rows[] = {
      {"hiragana a", "\x82\xA0", true, true, true},
      {"circled 1 (NEC row 13)", "\x87\x40", true, true, true},
      {"roman numeral I (NEC row 13)", "\x87\x54", true, true, true},
      {"because (NEC row 13, twin of 81E6)", "\x87\x9A", true, true, false},
      {"NEC-selected kanji (ED40)", "\xED\x40", false, false, false},
      {"NEC-selected small roman i (EEEF, twin of FA40)", "\xEE\xEF", false, false, false},
      {"IBM small roman i (FA40)", "\xFA\x40", false, false, true},
      {"IBM not sign (FA54, twin of 81CA)", "\xFA\x54", false, false, false},
      {"IBM taka (FBFC)", "\xFB\xFC", false, false, true},
      {"last IBM kanji (FC4B)", "\xFC\x4B", false, false, true},
      {"half-width ka", "\xB6", false, true, true},
      {"no character (8540)", "\x85\x40", false, false, false},
      {"user-defined (F040)", "\xF0\x40", false, false, true},
      {"half a character", "a\x88", false, false, false},
      {"escape", "\x1B", false, true, true},
  };
  for (const Row& r : rows) {
    for (int32_t code : kConverted) {
      const bool expected = (code == ecJis || code == ecJisOld) ? r.jis : code == ecEuc ? r.euc : r.unicode;
      EXPECT_EQ(CanEncodeLine(r.sjis, TextFileFormat::FromCodes(code, leCrLf)), expected) << r.name << " " << code;
      if (expected) EXPECT_EQ(Back(r.sjis, code), r.sjis) << r.name << " " << code;
    }
  }
  // 髙 in ISO-2022-JP would be written as 8-bit bytes inside ESC $ B.
  EXPECT_NE(SjisToJis("\xFB\xFC").find("\x96\x7E"), std::string::npos);
}

DecodedText DecodeLf(const std::string& bytes, int32_t code) {
  return DecodeFileText(bytes, TextFileFormat::FromCodes(code, leLf));
}

std::optional<std::string> Edit(const DecodedText& d, const std::string& bytes, size_t line,
                                std::vector<LineEdit> edits) {
  return EditLineBytes(bytes, d, line, edits);
}

size_t At(const DecodedText& d, size_t line, const std::string& utf8, size_t from = 0) {
  return d.Line(line).find(Sj(utf8), from);
}

TEST(EditLineBytes, CharactersOutsideTheEditsKeepTheirBytes) {
  // U+00A0, ©, ™, é beside the word: none has a code page 932 form.
  const std::string odd = "\xC2\xA0\xC2\xA9\xE2\x84\xA2\xC3\xA9";
  const std::string line = "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB" + odd + " \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB";
  for (const std::string& mark : {std::string(), std::string("\xEF\xBB\xBF")}) {
    const std::string bytes = mark + "first\n" + line + "\nlast";
    const DecodedText d = DecodeLf(bytes, mark.empty() ? ecUtf8N : ecUtf8);
    const size_t first = At(d, 1, "ファイル"), second = At(d, 1, "ファイル", first + 1);
    ASSERT_NE(second, std::string::npos);
    const std::string book = "\xE6\x9B\xB8\xE9\xA1\x9E";  // 書類
    auto edited = Edit(d, bytes, 1, {{first, first + 8, Sj("書類")}, {second, second + 8, Sj("書類")}});
    ASSERT_TRUE(edited.has_value());
    EXPECT_EQ(*edited, book + odd + " " + book);
    EXPECT_EQ(RebuildFileWithLineBytes(bytes, d, {{1, *edited}}), mark + "first\n" + book + odd + " " + book + "\nlast");
    // An edit over a placeholder is refused, one beside it is not.
    const size_t after = first + 8;
    EXPECT_FALSE(Edit(d, bytes, 1, {{after, after + 1, "x"}}).has_value());
    EXPECT_FALSE(Edit(d, bytes, 1, {{first, after + 1, "x"}}).has_value());
    EXPECT_EQ(Edit(d, bytes, 1, {{after, after, "x"}}), "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB" "x" + odd +
                                                           " \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB");
    // A boundary inside a double-byte character, or past the line.
    EXPECT_FALSE(Edit(d, bytes, 1, {{first + 1, first + 2, "x"}}).has_value());
    EXPECT_FALSE(Edit(d, bytes, 1, {{0, d.Line(1).size() + 1, "x"}}).has_value());
    // Edits out of order or overlapping.
    EXPECT_FALSE(Edit(d, bytes, 1, {{second, second + 2, "x"}, {first, first + 2, "y"}}).has_value());
    // The last line, without a break; and no edits at all.
    EXPECT_EQ(Edit(d, bytes, 2, {{0, 4, "LAST"}}), "LAST");
    EXPECT_EQ(Edit(d, bytes, 1, {}), line);
  }
  // Surrogate halves written one by one (the line reads them as one
  // character, alone each is one): the line is not spliced, wherever the
  // edit lies.
  const std::string halves = "cat \xED\xA0\xBD\xED\xB8\x80 cat";
  const DecodedText d = DecodeLf(halves + "\n", ecUtf8N);
  ASSERT_EQ(d.Line(0).substr(0, 4), "cat ");
  EXPECT_FALSE(Edit(d, halves + "\n", 0, {{0, 3, "dog"}}).has_value());
  EXPECT_FALSE(Edit(d, halves + "\n", 0, {{d.Line(0).size() - 3, d.Line(0).size(), "dog"}}).has_value());
}

TEST(EditLineBytes, EveryStatelessEncodingSplices) {
  const std::string emoji = "\xF0\x9F\x98\x80";
  // UTF-16 both ways, with a surrogate pair, with and without a mark.
  for (bool big_endian : {false, true}) {
    for (bool mark : {false, true}) {
      const int32_t code = big_endian ? ecUtf16Be : ecUtf16Le;
      auto u16 = [&](const std::string& sjis) { return SjisToUtf16(sjis, big_endian, false); };
      const std::string pair = big_endian ? std::string("\xD8\x3D\xDE\x00", 4) : std::string("\x3D\xD8\x00\xDE", 4);
      const std::string bytes = (mark ? SjisToUtf16("", big_endian, true) : "") + u16(Sj("検索")) + pair + u16(Sj("検索\r\n"));
      const DecodedText d = DecodeFileText(bytes, TextFileFormat::FromCodes(code, leCrLf));
      ASSERT_EQ(d.Line(0), Sj("検索?検索"));
      EXPECT_EQ(Edit(d, bytes, 0, {{0, 4, Sj("置換")}, {5, 9, "ab"}}), u16(Sj("置換")) + pair + u16("ab"));
      EXPECT_FALSE(Edit(d, bytes, 0, {{4, 5, "x"}}).has_value());
      EXPECT_FALSE(Edit(d, bytes, 0, {{0, 2, Sj("ｶ") + "\x85\x40"}}).has_value());  // no character
    }
  }
  // A surrogate pair that ends the line, in both byte orders.
  for (int32_t code : {ecUtf16Le, ecUtf16Be}) {
    const bool be = code == ecUtf16Be;
    const std::string pair = be ? std::string("\xD8\x3D\xDE\x00", 4) : std::string("\x3D\xD8\x00\xDE", 4);
    const std::string bytes = SjisToUtf16("ab", be, false) + pair + SjisToUtf16("\r\n", be, false);
    const DecodedText d = DecodeFileText(bytes, TextFileFormat::FromCodes(code, leCrLf));
    ASSERT_EQ(d.Line(0), "ab?");
    EXPECT_EQ(Edit(d, bytes, 0, {{0, 1, "x"}}), SjisToUtf16("xb", be, false) + pair) << code;
  }
  // EUC-JP: 80 is a byte of its own, not the first of a pair.
  const std::string stray = "x\x80yz\n";
  const DecodedText st = DecodeLf(stray, ecEuc);
  ASSERT_EQ(st.Line(0).size(), 4u);
  EXPECT_EQ(Edit(st, stray, 0, {{2, 3, "Y"}}), "x\x80Yz");
  // EUC-JP keeps a JIS X 0212 character (three bytes) and half-width kana.
  const std::string x0212 = "\x8F\xB0\xA1";
  const std::string euc = SjisToEuc(Sj("検索")) + x0212 + SjisToEuc(Sj("ｶﾀ検索")) + "\n";
  const DecodedText e = DecodeLf(euc, ecEuc);
  ASSERT_EQ(e.Line(0), Sj("検索?ｶﾀ検索"));
  EXPECT_EQ(Edit(e, euc, 0, {{7, 11, Sj("置換")}}), SjisToEuc(Sj("検索")) + x0212 + SjisToEuc(Sj("ｶﾀ置換")));
  EXPECT_FALSE(Edit(e, euc, 0, {{3, 5, "x"}}).has_value());     // over the placeholder
  EXPECT_FALSE(Edit(e, euc, 0, {{0, 4, Sj("髙")}}).has_value());  // EUC-JP has no 髙
  // Shift-JIS: the text is the bytes.
  const std::string sjis = Sj("表示する\r\n");
  const DecodedText s = DecodeFileText(sjis, TextFileFormat::FromCodes(ecSjis, leCrLf));
  EXPECT_EQ(Edit(s, sjis, 0, {{2, 4, Sj("髙")}}), Sj("表髙する"));
  EXPECT_FALSE(Edit(s, sjis, 0, {{1, 4, "x"}}).has_value());
  (void)emoji;
}

TEST(EditLineBytes, Iso2022JpLinesAreEncodedWhole) {
  const std::string jis = SjisToJis(Sj("一行目の検索\r\n二行目\r\n"), JisReturn::Ascii, false);
  const DecodedText d = DecodeFileText(jis, TextFileFormat::FromCodes(ecJis, leCrLf));
  const size_t at = At(d, 0, "検索");
  const auto edited = Edit(d, jis, 0, {{at, at + 4, "ok"}});
  ASSERT_TRUE(edited.has_value());
  EXPECT_EQ(RebuildFileWithLineBytes(jis, d, {{0, *edited}}), SjisToJis(Sj("一行目のok\r\n二行目\r\n"), JisReturn::Ascii, false));
  EXPECT_FALSE(Edit(d, jis, 0, {{at, at + 4, Sj("髙")}}).has_value());
  EXPECT_FALSE(Edit(d, jis, 0, {{at + 1, at + 4, "x"}}).has_value());  // inside a character
  // A line with a JIS X 0212 character does not encode back: refused.
  const std::string x0212 = "\x1B$(D\x30\x21\x1B(Bab\r\n";
  const DecodedText x = DecodeFileText(x0212, TextFileFormat::FromCodes(ecJis, leCrLf));
  ASSERT_EQ(x.Line(0), "?ab");
  EXPECT_FALSE(Edit(x, x0212, 0, {{1, 2, "c"}}).has_value());
}

}  // namespace
}  // namespace lorvek
