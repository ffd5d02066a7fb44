// Files read in blocks give exactly what reading them whole gives: the same
// probe verdict and the same lines, whatever the block size.
#include "text/text_stream.h"

#include <gtest/gtest.h>

#include "test_util.h"
#include "text/conversion.h"
#include "text/encoding.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;

const char* const kFixtures[] = {"ascii.txt", "sjis_crlf.txt", "sjis_lf.txt", "sjis_cr.txt", "eucjp_lf.txt",
                                 "eucjp_crlf.txt", "jis_crlf.txt", "jis78_crlf.txt", "utf8_bom.txt",
                                 "utf8_nobom_lf.txt", "utf16le_bom.txt", "utf16be_bom.txt", "nul_late.txt",
                                 "mixed_breaks.txt", "no_final_newline.txt", "empty.txt", "binary_with_sjis.bin",
                                 "utf8_twobyte_only.txt", "nul_inside.txt"};

std::vector<std::string> WholeLines(const std::string& bytes, const TextFileFormat& f) {
  return DecodeFileText(bytes, f, {.stop_at_nul = true}).Lines();
}

std::vector<std::string> BlockLines(const std::string& path, const TextFileFormat& f, size_t block,
                                    int32_t* line_end = nullptr) {
  InputFile in(FileRef::FromPath(path));
  TextBlockReader reader(in, f, true, block);
  std::vector<std::string> lines;
  DecodedText d;
  bool first = true;
  while (reader.Next(d)) {
    if (first && line_end) *line_end = d.format.line_end;
    first = false;
    for (size_t i = 0; i < d.size(); ++i) lines.emplace_back(d.Line(i));
  }
  return lines;
}

void ExpectSameAsWhole(const std::string& path, const std::string& label) {
  const std::string bytes = test::ReadBytes(path);
  InputFile in(FileRef::FromPath(path));
  const TextFileFormat streamed = ProbeStream(in);
  const TextFileFormat whole = ProbeBufferCode(bytes);
  EXPECT_TRUE(streamed.SameCodes(whole)) << label << ": " << streamed.encoding << "/" << streamed.line_end << " vs "
                                         << whole.encoding << "/" << whole.line_end;
  if (whole.encoding == ecUnread) return;
  const std::vector<std::string> expected = WholeLines(bytes, whole);
  for (size_t block : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{64}, size_t{4096}}) {
    int32_t line_end = -2;
    EXPECT_EQ(BlockLines(path, whole, block, &line_end), expected) << label << " block " << block;
    if (IsUtf16(whole.encoding))
      EXPECT_EQ(line_end, DecodeFileText(bytes, whole, {.stop_at_nul = true}).format.line_end) << label;
  }
}

// Reads are sized by what the file holds, one byte past it to see the end;
// a file seen to have grown since it was opened is read on in whole pieces,
// not a byte at a time.
TEST(TextStream, ReadSizesFollowTheFileAndItsGrowth) {
  TempDir dir;
  const std::string path = dir.Write("grows.txt", "0123456789").string();
  InputFile in(FileRef::FromPath(path));
  EXPECT_EQ(in.NextReadSize(1000), 11u);
  EXPECT_EQ(in.NextReadSize(5), 5u);
  std::string buffer(11, '\0');
  ASSERT_EQ(in.Read(buffer.data(), 11), 10u);
  EXPECT_EQ(in.NextReadSize(1000), 1u);  // at the end: one byte tells whether it grew
  dir.Write("grows.txt", std::string(500, 'x'));
  ASSERT_EQ(in.Read(buffer.data(), 1), 1u);
  EXPECT_EQ(in.NextReadSize(1000), 1000u);
}

TEST(TextStream, EveryFixtureReadsTheSameInBlocks) {
  for (const char* name : kFixtures) ExpectSameAsWhole(test::FixturePath(std::string("text/") + name).string(), name);
}

TEST(TextStream, ProbeWindowsFarIntoTheFileAndAtItsEnd) {
  TempDir dir;
  const std::string sj = Sj("検索の行です。テストも。\r\n");
  const std::string ascii(100000, 'a');
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"high byte after the first chunks", ascii + "\r\n" + sj + sj},
      {"high byte in the last bytes", ascii + "\n" + Sj("検")},
      {"first break far in, after a chunk boundary", std::string(65535, 'b') + "\r\n" + sj},
      {"CR as the last byte of a chunk", std::string(65535, 'c') + "\r" + "\n" + sj},
      {"a NUL before any break", std::string(70000, 'd') + std::string(1, '\0') + "\r\n" + sj},
      {"EUC-JP deep in", ascii + "\n" + SjisToEuc(sj) + SjisToEuc(sj)},
      {"UTF-8 deep in", ascii + "\n" + "\xE6\xA4\x9C\xE7\xB4\xA2\n"},
      {"look-ahead byte just past the head", std::string(2046, 'e') + "\xE3\xA1\x81" + "tail"},
      {"no high byte, no break", std::string(200000, 'f')},
  };
  for (const Case& c : cases) ExpectSameAsWhole(dir.Write("f.txt", c.bytes).string(), c.name);
}

TEST(TextStream, JisModeAndCrLfSurviveEveryCut) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 50; ++i) text += Sj("行の途中で切れても") + std::to_string(i) + "\r\n";
  ExpectSameAsWhole(dir.Write("jis.txt", SjisToJis(text, JisReturn::Ascii)).string(), "JIS");
  ExpectSameAsWhole(dir.Write("u16.txt", EncodeForCode(ecUtf16Be, text)).string(), "UTF-16BE");
}

// A file's lines read through pieces of 16 bytes (blocks of 16), each long
// line's pieces joined again.
std::vector<std::string> PieceLines(const std::string& path, const TextFileFormat& f) {
  InputFile in(FileRef::FromPath(path));
  TextBlockReader reader(in, f, true, 16, 16);
  std::vector<std::string> lines;
  std::string pieces;
  DecodedText d;
  while (reader.Next(d)) {
    if (reader.Piece()) {
      pieces += d.Line(0);
      continue;
    }
    size_t i = 0;
    if (reader.Continued()) {
      lines.push_back(pieces + std::string(d.size() > 0 ? d.Line(0) : ""));
      pieces.clear();
      i = 1;
    }
    for (; i < d.size(); ++i) lines.emplace_back(d.Line(i));
  }
  return lines;
}

// Pieces of a long line joined again are the line read whole, wherever a
// cut falls: the decoder takes EUC-JP's 8F with two bytes from A1 on as one
// character of three bytes, a UTF-8 lead byte with as many bytes as it
// calls for when they follow on, else alone, and ISO-2022-JP's ESC $ ( D
// as one escape of four bytes.
TEST(TextStream, LongLinePiecesAreCutBetweenTheDecodersCharacters) {
  TempDir dir;
  const struct {
    int32_t encoding;
    std::string unit;
  } cases[] = {{ecEuc, "\x8F\xB0\xA1" "a"}, {ecEuc, "\x8F\xA1\x41"}, {ecEuc, "\xA4\xA2\x8F"},
               {ecUtf8N, "\xE3\x41\x41"}, {ecUtf8N, "\xC3\x41"}, {ecUtf8N, "\xE3\x81\x82" "a"},
               {ecUtf8N, "\xE3\x81\xE3\x81\x82"}, {ecUtf8N, "\x80\xF0\x9F\x98"},
               {ecJis, "\x1B$(D0!\x1B(B"}, {ecJis, "\x1B$B0!\x1B(Ba"}};
  for (const auto& c : cases) {
    const TextFileFormat f = TextFileFormat::FromCodes(c.encoding, leLf);
    for (size_t lead = 0; lead < 6; ++lead) {
      std::string line(lead, 'a');
      while (line.size() < 200) line += c.unit;
      const std::string bytes = line + "\n" + line;
      EXPECT_EQ(PieceLines(dir.Write("long.txt", bytes).string(), f), WholeLines(bytes, f))
          << c.encoding << " lead " << lead << " unit " << c.unit.size();
    }
  }
}

}  // namespace
}  // namespace lorvek
