// Lines longer than the bound: searched window by window (the bound lowered
// here so that nothing big is written), found once wherever the hit lies,
// reported cut around the hit, and counted as they are reported.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/file_grep.h"
#include "search/long_line.h"
#include "search_harness.h"
#include "text/encoding.h"

namespace lorvek {
namespace {

constexpr size_t kBound = 256;
const std::string kMark(kCutMark);

struct LongLineRun : test::Harness {
  explicit LongLineRun(int workers = 0) {
    run.SetLongLineBytes(kBound);
    run.SetReadAheadWorkers(workers);
  }
  // Searches one file holding bytes; the records it gave.
  void SearchBytes(const std::string& bytes, const std::string& word_utf8, const std::string& name = "long.txt") {
    test::TempDir dir;
    test::WriteBytes(dir / name, bytes);
    Search(word_utf8, dir.path().string());
  }
};

// A line of filler with the word at pos, between two short lines; the line
// after it holds the word too.
std::string LineWithWordAt(size_t length, size_t pos, const std::string& word) {
  std::string line(length, 'x');
  line.replace(pos, word.size(), word);
  return "first\r\n" + line + "\r\nafter " + word + "\r\n";
}

TEST(LongLine, AHitIsFoundOnceWhereverItLiesAndTheLinesAfterKeepTheirNumbers) {
  for (int workers : {0, 2}) {
    const size_t length = 3000;
    // Every place near the start, across the first windows' edges, in the
    // middle and at the very end.
    std::vector<size_t> places;
    for (size_t p = 0; p < 800; p += workers == 0 ? 1 : 7) places.push_back(p);
    for (size_t p = 800; p + 6 <= length; p += 97) places.push_back(p);
    places.push_back(length - 6);
    for (size_t pos : places) {
      SCOPED_TRACE("workers " + std::to_string(workers) + ", word at " + std::to_string(pos));
      LongLineRun h(workers);
      h.SearchBytes(LineWithWordAt(length, pos, "needle"), "needle");
      ASSERT_EQ(h.store.size(), 2u);
      EXPECT_EQ(h.run.MatchCount(), 2);
      const RecordView r = h.store[0];
      EXPECT_EQ(r.LineNo, 2);
      EXPECT_NE(r.LineText.find("needle"), std::string::npos);
      EXPECT_LT(r.LineText.size(), 1200u);
      // The mark stands where the line goes on.
      EXPECT_EQ(r.LineText.compare(0, kMark.size(), kMark) == 0, pos > LongLineMatcher::kCutBefore);
      const bool end_mark = r.LineText.size() >= kMark.size() &&
                            r.LineText.compare(r.LineText.size() - kMark.size(), kMark.size(), kMark) == 0;
      if (pos + 6 + LongLineMatcher::kCutAfter < length) EXPECT_TRUE(end_mark);
      // Without the mark the text runs to the line's end.
      if (!end_mark) EXPECT_EQ(r.LineText.size() - r.LineText.find("needle"), length - pos);
      EXPECT_EQ(h.store[1].LineNo, 3);
      EXPECT_EQ(h.store[1].LineText, "after needle");
    }
  }
}

TEST(LongLine, ManyHitsOnOneLineMakeOneRecordAndNoHitMakesNone) {
  for (int workers : {0, 2}) {
    std::string line;
    while (line.size() < 5000) line += "needle ";
    LongLineRun h(workers);
    h.SearchBytes("a\n" + line + "\nb needle\n", "needle");
    ASSERT_EQ(h.store.size(), 2u);
    EXPECT_EQ(h.run.MatchCount(), 2);
    EXPECT_EQ(h.store[0].LineNo, 2);
    EXPECT_EQ(h.store[1].LineNo, 3);

    LongLineRun none(workers);
    none.SearchBytes("a\n" + std::string(5000, 'y') + "\nb\n", "needle");
    EXPECT_EQ(none.store.size(), 0u);
  }
}

TEST(LongLine, WindowEdgesAreNeitherLineStartsNorWordBoundaries) {
  // Every "needle" follows an x: never a whole word, however the windows
  // fall; and "^needle" holds only where the line starts.
  std::string line;
  while (line.size() < 5000) line += "xneedle ";
  for (size_t shift = 0; shift < 8; ++shift) {
    SCOPED_TRACE("shift " + std::to_string(shift));
    const std::string shifted = std::string(shift, 'y') + line;
    LongLineRun ww;
    ww.run.options().whole_word = true;
    ww.SearchBytes("a\n" + shifted + "\n", "needle");
    EXPECT_EQ(ww.store.size(), 0u);
    LongLineRun anchored;
    anchored.SearchBytes("a\n" + shifted + "\n", "^needle");
    EXPECT_EQ(anchored.store.size(), 0u);
  }
  LongLineRun at_start;
  at_start.SearchBytes("a\n" + line.substr(1) + "\n", "^needle");
  ASSERT_EQ(at_start.store.size(), 1u);
  EXPECT_EQ(at_start.store[0].LineText.compare(0, 6, "needle"), 0);

  // A whole word late in the line is still found.
  LongLineRun late;
  late.run.options().whole_word = true;
  late.SearchBytes("a\n" + line + " needle\n", "needle");
  ASSERT_EQ(late.store.size(), 1u);
  EXPECT_EQ(late.store[0].LineNo, 2);
}

TEST(LongLine, EveryTermIsLookedForOverTheWholeLine) {
  // The terms lie windows apart: the line is still a hit, once.
  std::string line = "alpha" + std::string(3000, 'x') + "omega";
  LongLineRun h;
  h.SearchBytes(line + "\n", "omega&alpha");
  ASSERT_EQ(h.store.size(), 1u);
  EXPECT_NE(h.store[0].LineText.find("omega"), std::string::npos);
  LongLineRun missing;
  missing.SearchBytes(line + "\n", "omega&beta");
  EXPECT_EQ(missing.store.size(), 0u);
}

// The word 検索 among filler of one double-byte character: windows cut
// the file between any two bytes, and no trail byte may pass for a letter.
TEST(LongLine, DoubleByteTextCutByWindowsGivesNoFalseHitAndLosesNone) {
  struct Case {
    const char* name;
    std::string filler;  // one character ア in the file's encoding
    std::string word;    // 検索 in it
    std::string head, tail;
    int32_t code;
  };
  const std::vector<Case> cases = {
      {"sjis", "\x83\x41", "\x8C\x9F\x8D\xF5", "", "", ecSjis},
      {"utf16le", std::string("\xA2\x30", 2), std::string("\x1C\x69\x22\x7D", 4), "\xFF\xFE", "", ecUtf16Le},
      {"utf16be", std::string("\x30\xA2", 2), std::string("\x69\x1C\x7D\x22", 4), "\xFE\xFF", "", ecUtf16Be},
      {"utf8", "\xE3\x82\xA2", "\xE6\xA4\x9C\xE7\xB4\xA2", "", "", ecUtf8N},
      {"euc", "\xA5\xA2", "\xB8\xA1\xBA\xF7", "", "", ecEuc},
      {"jis", "\x25\x22", "\x38\x21\x3A\x77", "\x1B$B", "\x1B(B", ecJis},
  };
  for (const Case& c : cases) {
   // A single-byte character first shifts every double-byte one by a byte.
   for (bool odd : {false, true}) {
    for (size_t at : {0u, 1u, 77u, 128u, 129u, 255u, 256u, 300u, 301u, 777u, 1499u}) {
      SCOPED_TRACE(std::string(c.name) + (odd ? ", shifted" : "") + ", word after character " + std::to_string(at));
      auto encode_break = [&](char b) {
        if (c.code == ecUtf16Le) return std::string(1, b) + '\0';
        if (c.code == ecUtf16Be) return std::string(1, '\0') + b;
        return std::string(1, b);
      };
      std::string body = odd ? encode_break('z') : "";
      for (size_t i = 0; i < 1500; ++i) body += i == at ? c.word : c.filler;
      // (In ISO-2022-JP the letter stands before the shift into two bytes.)
      const std::string bytes = c.code == ecJis && odd ? "z" + c.head + body.substr(1) + c.tail + "\n"
                                                        : c.head + body + c.tail + encode_break('\n');
      // The word is found once.
      LongLineRun h;
      h.SearchBytes(bytes, "検索");
      ASSERT_EQ(h.store.size(), 1u);
      EXPECT_EQ(h.store[0].EncodingCode, c.code);
      EXPECT_NE(h.store[0].LineText.find(test::Sj("検索")), std::string::npos);
      // No trail byte of ア (83 41) passes for the letter A.
      LongLineRun none;
      none.SearchBytes(bytes, "A");
      EXPECT_EQ(none.store.size(), 0u);
      // Nor a byte of a JIS pair for what it is alone.
      if (c.code == ecJis) {
        LongLineRun pair;
        pair.SearchBytes(bytes, "%");
        EXPECT_EQ(pair.store.size(), 0u);
      }
    }
   }
  }
}

TEST(LongLine, ALongLineIsANeighboursContextByItsStart) {
  LongLineRun h(2);
  h.run.options().wide_preview = true;
  h.SearchBytes("needle\n" + std::string(3000, 'y') + "\nz\n", "needle");
  ASSERT_EQ(h.store.size(), 1u);
  const RecordView r = h.store[0];
  EXPECT_EQ(r.LineNo, 1);
  // (Its first window here is shorter than the head kept with the real bound.)
  ASSERT_GT(r.NextLine1.size(), 100u);
  EXPECT_LE(r.NextLine1.size(), LongLineMatcher::kHeadBytes + kMark.size());
  EXPECT_EQ(r.NextLine1, std::string(r.NextLine1.size() - kMark.size(), 'y') + kMark);
  EXPECT_EQ(r.NextLine2, "z");
}

TEST(LongLine, TheBinaryScanKeepsACutLineBetweenCharactersWithTheMark) {
  // A binary file (a NUL in it) whose one line is far longer than the scan
  // keeps: a single byte, then ア (83 41) again and again, the word, more ア.
  const size_t kept = TGrep::kMaxLineKept;
  std::string bytes(64, '\0');
  for (char c = 1; c < 9; ++c) bytes[c] = c;
  bytes += "\nz";
  for (size_t i = 0; i < kept; ++i) bytes += "\x83\x41";
  bytes += "needle";
  for (size_t i = 0; i < kept; ++i) bytes += "\x83\x41";
  bytes += "\nend needle\n";
  LongLineRun h;
  h.SearchBytes(bytes, "needle", "data.bin");
  ASSERT_EQ(h.store.size(), 2u);
  EXPECT_EQ(h.store[0].EncodingCode, ecBinary);
  const std::string text(h.store[0].LineText);
  ASSERT_GT(text.size(), 4 * kMark.size());
  EXPECT_NE(text.find("needle"), std::string::npos);
  // Cut at both ends, each time before a lead byte, never between it and its trail byte.
  EXPECT_EQ(text.substr(0, kMark.size()), kMark);
  EXPECT_EQ(text.substr(kMark.size(), 2), "\x83\x41");
  EXPECT_EQ(text.substr(text.size() - kMark.size()), kMark);
  EXPECT_EQ(text.substr(text.size() - kMark.size() - 2, 2), "\x83\x41");
  EXPECT_LE(text.size(), kept + 2 * kMark.size());
  EXPECT_EQ(h.store[0].LineNo, 2);
  EXPECT_EQ(h.store[1].LineNo, 3);
}

// Words that need more of the window's overlap: a word of 40 characters,
// and a pattern of no bounded length (a.*b, its match up to what the
// overlap holds: half a window), each at every place across the windows'
// edges, are found once.
TEST(LongLine, LongWordsAndSpanningPatternsAreFoundAcrossEveryEdge) {
  const std::string word = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
  for (size_t pos = 0; pos + word.size() <= 1100; ++pos) {
    SCOPED_TRACE("word at " + std::to_string(pos));
    LongLineRun h;
    h.run.options().whole_word = false;
    h.SearchBytes(LineWithWordAt(1100, pos, word), word);
    ASSERT_EQ(h.store.size(), 2u);
    EXPECT_EQ(h.store[0].LineNo, 2);
  }
  for (const size_t apart : {1u, 40u, 100u}) {
    for (size_t pos = 0; pos + apart < 1100; pos += 3) {
      SCOPED_TRACE("a at " + std::to_string(pos) + ", b " + std::to_string(apart) + " on");
      std::string line(1100, 'x');
      line[pos] = 'a';
      line[pos + apart] = 'b';
      LongLineRun h;
      h.run.options().whole_word = false;
      h.SearchBytes("first\r\n" + line + "\r\n", "a.*b");
      ASSERT_EQ(h.store.size(), 1u);
      EXPECT_EQ(h.store[0].LineNo, 2);
    }
  }
}

TEST(LongLine, TheLongestMatchOfAPatternBoundsTheOverlap) {
  auto max_of = [](const std::string& word) {
    return MaxMatchBytes(CompiledWord::Compile(word, false)->Term(0));
  };
  EXPECT_EQ(max_of("abc"), 6u);
  EXPECT_EQ(max_of("ab?c"), 6u);
  EXPECT_EQ(max_of("a(bc|d)"), 6u);
  EXPECT_EQ(max_of("a.*b"), SIZE_MAX);
  EXPECT_EQ(max_of("ab+"), SIZE_MAX);
}

}  // namespace
}  // namespace lorvek
