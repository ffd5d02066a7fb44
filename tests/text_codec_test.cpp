// The read/write-back pipeline: lines with their spans, the round-trip
// verdict, and rebuilding a file around changed lines.
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include "test_util.h"
#include "text/conversion.h"
#include "text/encoding.h"

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
    EXPECT_TRUE(d.format.lossless) << name;
    EXPECT_TRUE(d.LossyLines().empty()) << name;
    EXPECT_EQ(d.size(), std::string(name) == "ascii.txt" ? 10u : 16u) << name;
    EXPECT_EQ(RebuildFileBytes(bytes, d, {}), bytes) << name;
    if (std::string(name) != "mixed_breaks.txt") {  // one style of break throughout
      EXPECT_EQ(EncodeFileText(d.Lines(), d.format), bytes) << name;
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
  EXPECT_FALSE(d.format.lossless);
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
  EXPECT_EQ(n.size(), 1u);
  EXPECT_FALSE(n.format.lossless);
}

TEST(TextCodec, ChangedLinesAreEncodedInTheFilesOwnForm) {
  const std::string jis = SjisToJis(Sj("一行目\r\n二行目\r\n"), JisReturn::Ascii, false);
  DecodedText d = Decode(jis, ecJis);
  EXPECT_EQ(d.format.jis_return, JisReturn::Ascii);
  EXPECT_TRUE(d.format.lossless);
  std::string rebuilt = RebuildFileBytes(jis, d, {{0, Sj("置換後")}});
  EXPECT_EQ(rebuilt, SjisToJis(Sj("置換後\r\n二行目\r\n"), JisReturn::Ascii, false));
  // The last line without a break stays without one, and without a return
  // sequence it never had.
  const std::string open_end = SjisToJis(Sj("末尾"), JisReturn::Ascii, false);
  DecodedText o = Decode(open_end, ecJis);
  EXPECT_TRUE(o.format.lossless);
  EXPECT_EQ(RebuildFileBytes(open_end, o, {{0, Sj("変更")}}), SjisToJis(Sj("変更"), JisReturn::Ascii, false));
  // UTF-16 big-endian keeps its mark and writes units.
  const std::string be = EncodeForCode(ecUtf16Be, Sj("あ\r\nい"));
  DecodedText b = Decode(be, ecUtf16Be);
  EXPECT_EQ(RebuildFileBytes(be, b, {{1, "x"}}), std::string("\xFE\xFF\x30\x42\x00\r\x00\n\x00x", 10));
}

}  // namespace
}  // namespace lorvek
