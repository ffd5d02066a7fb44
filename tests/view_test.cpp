// The viewer's engine: loading a file for editing and saving it back in
// its own format, the find and edit operations on lines, file environments
// and keyboard macro files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "test_util.h"
#include "text/conversion.h"
#include "text/cp932.h"
#include "text/encoding.h"
#include "text/text_codec.h"
#include "sources/filter_source.h"
#include "view/editor_command.h"
#include "view/environment.h"
#include "view/key_macro.h"
#include "view/text_tools.h"
#include "text/encoding_table.h"
#include "view/view_document.h"

namespace lorvek {
namespace {

using test::FixturePath;
using test::Sj;
using test::TempDir;
namespace fs = std::filesystem;

TEST(ViewDocument, EveryEncodingSavesOneChangedLineAndLeavesTheRestByteForByte) {
  for (const char* name : {"sjis_crlf.txt", "sjis_lf.txt", "sjis_cr.txt", "eucjp_crlf.txt", "eucjp_lf.txt",
                           "jis_crlf.txt", "jis78_crlf.txt", "utf8_bom.txt", "utf8_nobom_lf.txt", "utf16le_bom.txt",
                           "utf16be_bom.txt", "ascii.txt", "no_final_newline.txt"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string original = test::ReadBytes(FixturePath(std::string("text/") + name));
    const std::string path = dir.Write(name, original).string();
    ViewDocument doc = LoadViewDocument(path);
    ASSERT_TRUE(doc.editable()) << doc.read_only_reason;
    ASSERT_GE(doc.lines.size(), 3u);
    const std::string changed = doc.encoding_code == ecAscii ? "changed line" : Sj("変更した行です");
    doc.lines[1] = changed;
    ASSERT_EQ(SaveViewDocument(path, doc.lines, doc.format), "");
    // The file is the original with that one line's bytes replaced.
    DecodedText decoded = DecodeFileText(original, doc.format);
    EXPECT_EQ(test::ReadBytes(path), RebuildFileBytes(original, decoded, {{1, changed}}));
    const ViewDocument again = LoadViewDocument(path);
    EXPECT_EQ(again.lines, doc.lines);
    EXPECT_EQ(again.encoding_code, doc.encoding_code);
  }
}

TEST(ViewDocument, UnexactFilesOpenReadOnly) {
  TempDir dir;
  // A character code page 932 lacks, a binary file, and breaks of two kinds.
  const std::string emoji = dir.Write("emoji.txt", "abc\n\xF0\x9F\x98\x80 smile \xE6\x97\xA5\n").string();
  EXPECT_FALSE(LoadViewDocument(emoji).editable());
  const ViewDocument binary = LoadViewDocument(FixturePath("text/binary_with_sjis.bin").string());
  EXPECT_FALSE(binary.editable());
  EXPECT_EQ(binary.encoding_code, ecBinary);
  for (const std::string& line : binary.lines)
    for (char c : line) EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20) << line;
  EXPECT_FALSE(LoadViewDocument(FixturePath("text/mixed_breaks.txt").string()).editable());
  EXPECT_EQ(EncodingDisplayName(ecUtf16Be), "UNI-BI");
  EXPECT_EQ(EncodingDisplayName(ecJisOld), "JIS78");
}

TEST(ViewDocument, ASaveThatCannotBeExactWritesNothing) {
  TempDir dir;
  const std::string path = dir.Write("e.txt", "abc\n").string();
  const TextFileFormat euc = TextFileFormat::FromCodes(ecEuc, leLf);
  // An IBM extension character has no place in EUC-JP.
  EXPECT_NE(SaveViewDocument(path, {"abc", "\xFA\x40"}, euc), "");
  EXPECT_EQ(test::ReadBytes(path), "abc\n");
  // Nor in ISO-2022-JP, whose encoder would write its 8-bit arithmetic.
  const TextFileFormat jis = TextFileFormat::FromCodes(ecJis, leLf);
  EXPECT_EQ(SaveViewDocument(path, {"abc", Sj("髙島屋")}, jis), "2 行目を元の文字コードで保存できません.");
  EXPECT_EQ(test::ReadBytes(path), "abc\n");
  ASSERT_EQ(SaveViewDocument(path, {"abc", Sj("①高島屋")}, jis), "");  // the NEC row 13 it holds
  EXPECT_EQ(test::ReadBytes(path), "abc\n" + SjisToJis(Sj("①高島屋"), JisReturn::Roman, true) + "\n");
  // UTF-16 is written as UTF-16, mark first.
  const TextFileFormat utf16 = LoadViewDocument(FixturePath("text/utf16le_bom.txt").string()).format;
  ASSERT_EQ(SaveViewDocument(path, {Sj("日本")}, utf16), "");
  EXPECT_EQ(test::ReadBytes(path).substr(0, 6), std::string("\xFF\xFE\xE5\x65\x2C\x67", 6));
}

// A save keeps the file's owner, group and mode, and does not write over a
// file changed on disk since it was loaded.
TEST(ViewDocument, ASaveKeepsTheOwnerAndRefusesAFileChangedSinceItWasLoaded) {
  TempDir d;
  const std::string path = d.Write("a.txt", "one\r\n").string();
  ViewDocument doc = LoadViewDocument(path);
  ASSERT_TRUE(doc.stamp.valid());
  d.Write("a.txt", "two lines\r\n");
  EXPECT_NE(SaveViewDocument(path, {"mine"}, doc.format, doc.stamp), "");
  EXPECT_EQ(test::ReadBytes(d / "a.txt"), "two lines\r\n");
  doc = LoadViewDocument(path);
  EXPECT_EQ(SaveViewDocument(path, {"mine"}, doc.format, doc.stamp), "");
  EXPECT_EQ(test::ReadBytes(d / "a.txt"), "mine\r\n");
  if (geteuid() != 0) return;  // giving a file away needs root
  ASSERT_EQ(chown(path.c_str(), 12345, 23456), 0);
  ASSERT_EQ(chmod(path.c_str(), 0604), 0);
  EXPECT_EQ(SaveViewDocument(path, {"again"}, doc.format), "");
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 12345u);
  EXPECT_EQ(st.st_gid, 23456u);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
}

TEST(ViewDocument, Utf16WithoutAMarkOpensAndSavesWithout) {
  TempDir dir;
  for (bool big_endian : {false, true}) {
    const std::string path =
        dir.Write("u.txt", SjisToUtf16(Sj("一行目 abc\r\n二行目\r\n"), big_endian, false)).string();
    ViewDocument doc = LoadViewDocument(path);
    EXPECT_EQ(doc.encoding_code, big_endian ? ecUtf16Be : ecUtf16Le);
    EXPECT_TRUE(doc.editable()) << doc.read_only_reason;
    ASSERT_EQ(doc.lines, (std::vector<std::string>{Sj("一行目 abc"), Sj("二行目")}));
    doc.lines[1] = Sj("変更");
    ASSERT_EQ(SaveViewDocument(path, doc.lines, doc.format), "");
    EXPECT_EQ(test::ReadBytes(path), SjisToUtf16(Sj("一行目 abc\r\n変更\r\n"), big_endian, false));
  }
}

TEST(ViewDocument, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
  std::vector<std::string> old_lines, new_lines;
  for (int i = 0; i < 80000; ++i) {
    old_lines.push_back("old line " + std::to_string(i));
    new_lines.push_back("new line " + std::to_string(i));
  }
  const TextFileFormat format = TextFileFormat::FromCodes(ecSjis, leCrLf);
  const std::string old_bytes = EncodeFileText(old_lines, format), new_bytes = EncodeFileText(new_lines, format);
  std::mt19937 rng(7);
  int killed = 0;
  for (int round = 0; round < 10; ++round) {
    TempDir dir;
    const std::string path = dir.Write("big.txt", old_bytes).string();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SaveViewDocument(path, new_lines, format);
      _exit(0);
    }
    usleep(static_cast<useconds_t>(rng() % 80000));
    kill(child, SIGKILL);
    int status;
    waitpid(child, &status, 0);
    killed += WIFSIGNALED(status);
    const std::string now = test::ReadBytes(path);
    EXPECT_TRUE(now == old_bytes || now == new_bytes) << round;
  }
  EXPECT_GT(killed, 0);
}

// How a file is read decides what the viewer shows and whether it may
// write it back: the detection's second look, the empty file, the file
// that stops being valid far on, and the bytes a binary view keeps.
TEST(ViewDocument, HowAFileIsReadDecidesWhatIsShownAndSaved) {
  TempDir dir;
  // EUC-JP the first bytes make look like Shift-JIS (a JIS X 0212 name).
  std::string euc = "\x8F\xB0\xA1\n";
  for (int i = 0; i < 40; ++i) euc += SjisToEuc(Sj("東京都の検索サービスで使う名前の一覧です。")) + "\n";
  const ViewDocument e = LoadViewDocument(dir.Write("euc.txt", euc).string());
  EXPECT_EQ(e.encoding_code, ecEuc);
  ASSERT_GE(e.lines.size(), 2u);
  EXPECT_EQ(e.lines[1], Sj("東京都の検索サービスで使う名前の一覧です。"));
  // An empty file is a new Shift-JIS text with CR LF breaks.
  const ViewDocument empty = LoadViewDocument(dir.Write("empty.txt", "").string());
  EXPECT_TRUE(empty.editable());
  EXPECT_TRUE(empty.lines.empty());
  EXPECT_EQ(empty.encoding_code, ecSjis);
  EXPECT_EQ(empty.format.encoding, ecSjis);
  EXPECT_EQ(empty.format.line_end, leCrLf);
  // Undecided between EUC-JP and Shift-JIS: said so, read and written as Shift-JIS.
  std::string undecided;
  for (int i = 0; i < 100; ++i) undecided += "\xE0\xA1\xE0\xA1 ";
  const ViewDocument u = LoadViewDocument(dir.Write("u.txt", undecided + "\r\n").string());
  EXPECT_EQ(u.encoding_code, ecEucOrSjis);
  EXPECT_EQ(u.format.encoding, ecSjis);
  EXPECT_TRUE(u.editable()) << u.read_only_reason;
  // UTF-8 for as far as the detection reads, then bytes UTF-8 has not.
  std::string broken;
  for (int i = 0; i < 2000; ++i) broken += "\xE6\xA4\x9C\xE7\xB4\xA2 line\n";
  broken += "bad \xFF\xFE here\n";
  const ViewDocument b = LoadViewDocument(dir.Write("broken.txt", broken).string());
  EXPECT_EQ(b.encoding_code, ecUtf8N);
  EXPECT_FALSE(b.editable());
  EXPECT_FALSE(b.lines.empty());
  // One line code page 932 cannot hold: that line is named.
  const ViewDocument lossy = LoadViewDocument(dir.Write("l.txt", "abc\n\xF0\x9F\x98\x80 \xE6\x97\xA5\nend\n").string());
  EXPECT_EQ(lossy.read_only_reason, "2 行目が元の文字コードに戻せないため編集できません.");
  // A binary view keeps CR, LF, 20 to 7F and 80 to FB; the rest is ".".
  const ViewDocument bin = LoadViewDocument(
      dir.Write("b.bin", std::string("\x00\x00\x01\x1F \x7F\x80\xFB\xFC\xFD\xFE\xFF" "A\r\nB", 16)).string());
  EXPECT_EQ(bin.encoding_code, ecBinary);
  EXPECT_EQ(bin.lines, (std::vector<std::string>{"\x2E\x2E\x2E\x2E \x7F\x80\xFB\x2E\x2E\x2E\x2E" "A", "B"}));
}

// The check before a save reads every line: an empty line does not end it.
TEST(ViewDocument, ASaveChecksEveryLinePastAnEmptyOne) {
  TempDir dir;
  const std::string path = dir.Write("e.txt", "abc\n").string();
  const TextFileFormat euc = TextFileFormat::FromCodes(ecEuc, leLf);
  EXPECT_EQ(SaveViewDocument(path, {"abc", "", "\xFA\x40"}, euc), "3 行目を元の文字コードで保存できません.");
  EXPECT_EQ(test::ReadBytes(path), "abc\n");
}

TEST(ViewFind, OptionsFindAllNextAndPrevious) {
  const std::vector<std::string> lines = {Sj("猫 cat Cat CAT"), Sj("　ない行　"), Sj("catalog cat"), Sj("ﾈｺ ねこ")};
  const FindAllResult three = FindAll(lines, TextFinder("cat", 0));
  ASSERT_EQ(three.entries.size(), 2u);
  EXPECT_EQ(three.count, 5u);  // three on line 1, two on line 3: one entry a line
  EXPECT_EQ(three.entries[0].line_no, 1);
  EXPECT_EQ(FindAll(lines, TextFinder("cat", kMatchCase)).count, 3u);
  EXPECT_EQ(FindAll(lines, TextFinder("cat", kMatchCase | kWholeWord)).count, 2u);
  EXPECT_EQ(FindAll(lines, TextFinder("c.t", kMatchCase)).count, 0u);  // taken literally
  EXPECT_EQ(FindAll(lines, TextFinder("c.t", kRegExp)).count, 3u);    // a regular expression is as written
  EXPECT_EQ(FindAll(lines, TextFinder(Sj("ねこ"), kFuzzy)).count, 2u);  // ﾈｺ too
  EXPECT_EQ(FindAll(lines, TextFinder(Sj("ない"), 0)).entries[0].text, Sj("ない行"));  // trimmed
  EXPECT_EQ(FindAll(lines, TextFinder("cat", 0), 2, 2).count, 2u);
  const TextFinder cat("cat", kMatchCase);
  TextMatch m = cat.Next(lines, {0, 0});
  EXPECT_EQ(m.at, (TextPoint{0, 3}));
  m = cat.Next(lines, {0, 4});
  EXPECT_EQ(m.at, (TextPoint{2, 0}));
  m = cat.Previous(lines, {2, 8});
  EXPECT_EQ(m.at, (TextPoint{2, 0}));
  m = cat.Previous(lines, {2, 0});
  EXPECT_EQ(m.at, (TextPoint{0, 3}));
  EXPECT_FALSE(cat.Previous(lines, {0, 3}).found);
  EXPECT_THROW(TextFinder("(cat", kRegExp), ERegExpParser);
}

// A literal word in either case, matches that never begin on the second
// byte of a character, matches counted without overlap, and the empty
// match of an empty line.
TEST(ViewFind, CaseCharacterBoundariesAndEmptyMatches) {
  const std::vector<std::string> words = {"a cat", "CAT", "Cat"};
  EXPECT_EQ(FindAll(words, TextFinder("CAT", 0)).count, 3u);
  EXPECT_EQ(FindAll(words, TextFinder("cAt", 0)).count, 3u);
  // ア is 83 41: its second byte is an "A".
  const std::string a = Sj("ア") + "A";
  TextMatch m = TextFinder("A", kMatchCase).FindIn(a, 1);
  ASSERT_TRUE(m.found);
  EXPECT_EQ(m.at.col, 2u);
  EXPECT_EQ(FindAll({a}, TextFinder("A", kMatchCase)).count, 1u);
  // A whole-word retry after a refused match goes on a whole character:
  // こ is 82 B1, and B1 alone is ｱ, a word of its own class.
  EXPECT_FALSE(TextFinder(Sj("ｱ|こ"), kRegExp | kWholeWord).FindIn(Sj("ここ"), 0).found);
  m = TextFinder("A|" + Sj("アア"), kRegExp | kWholeWord | kMatchCase).FindIn(Sj("アアア") + " A", 0);
  ASSERT_TRUE(m.found);
  EXPECT_EQ(m.at.col, 7u);
  // Matches do not overlap: "aa" is twice in "aaaa", three times in "aaaaaa".
  EXPECT_EQ(FindAll({"aaaa", "aaaaaa"}, TextFinder("aa", 0)).count, 5u);
  // ^$ matches an empty line, once.
  std::vector<std::string> lines = {"a", "", "b"};
  const FindAllResult empty = FindAll(lines, TextFinder("^$", kRegExp));
  EXPECT_EQ(empty.count, 1u);
  ASSERT_EQ(empty.entries.size(), 1u);
  EXPECT_EQ(empty.entries[0].line_no, 2);
  EXPECT_EQ(TextFinder("^$", kRegExp).Next(lines, {0, 0}).at, (TextPoint{1, 0}));
  EXPECT_EQ(ReplaceAll(lines, TextFinder("^$", kRegExp), "X"), 1u);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "X", "b"}));
}

TEST(ViewEdits, ReplaceQuoteIndentAndReformat) {
  std::vector<std::string> lines = {"a cat and a cat", Sj("猫"), ""};
  EXPECT_EQ(ReplaceAll(lines, TextFinder("cat", kMatchCase), "dog"), 2u);
  EXPECT_EQ(lines[0], "a dog and a dog");
  std::vector<std::string> q = {"one", "> two", "three"};
  QuoteLines(q, 0, 1);
  EXPECT_EQ(q, (std::vector<std::string>{"> one", "> > two", "three"}));
  UnquoteLines(q, 0, 2);
  EXPECT_EQ(q, (std::vector<std::string>{"one", "> two", "three"}));
  QuoteLines(q, 2, 9);  // past the end: the last line only
  EXPECT_EQ(q[2], "> three");
  std::vector<std::string> in = {"x", "      y", "\tz"};
  IndentLines(in, 0, 0);
  UnindentLines(in, 1, 2);
  EXPECT_EQ(in, (std::vector<std::string>{"\tx", "  y", "z"}));
  // Width counts a double-byte character as two and never splits one.
  EXPECT_EQ(ReformatLines({Sj("あいうえお"), "", "abcdefghijk"}, 5),
            (std::vector<std::string>{Sj("あい"), Sj("うえ"), Sj("お"), "", "abcde", "fghij", "k"}));
}

// Reformatting keeps the Japanese line-breaking rules: no line begins with
// a mark that closes (。、 closing brackets, small kana) and none ends with
// an opening bracket; the characters move down to the next line instead.
TEST(ViewEdits, ReformatKeepsTheLineBreakingRules) {
  struct Case {
    const char* text;
    size_t width;
    std::vector<const char*> with, without;
  };
  const Case cases[] = {
      {"あいうえお。かき", 10, {"あいうえ", "お。かき"}, {"あいうえお", "。かき"}},
      {"あいうえお、", 10, {"あいうえ", "お、"}, {"あいうえお", "、"}},
      {"あいうえお」と", 10, {"あいうえ", "お」と"}, {"あいうえお", "」と"}},
      {"あいうえおっと", 10, {"あいうえ", "おっと"}, {"あいうえお", "っと"}},
      {"あいうえオャ", 10, {"あいうえ", "オャ"}, {"あいうえオ", "ャ"}},
      {"あいうえ「お」", 10, {"あいうえ", "「お」"}, {"あいうえ「", "お」"}},
      // A run of closing marks goes down with the character before it.
      {"あいうえ」」」", 10, {"あいう", "え」」」"}, {"あいうえ」", "」」"}},
      // Nowhere to break by the rules: the width decides.
      {"「「「「「「", 10, {"「「「「「", "「"}, {"「「「「「", "「"}},
      {"ｱｲｳｴｵｯﾃ", 5, {"ｱｲｳｴ", "ｵｯﾃ"}, {"ｱｲｳｴｵ", "ｯﾃ"}},
      {"abcdefghi)", 9, {"abcdefgh", "i)"}, {"abcdefghi", ")"}},
      {"abcd(efgh", 5, {"abcd", "(efgh"}, {"abcd(", "efgh"}},
      // A line that fits is left alone, whatever it ends with.
      {"あいう「", 10, {"あいう「"}, {"あいう「"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> with, without;
    for (const char* s : c.with) with.push_back(Sj(s));
    for (const char* s : c.without) without.push_back(Sj(s));
    EXPECT_EQ(ReformatLines({Sj(c.text)}, c.width), with);
    EXPECT_EQ(ReformatLines({Sj(c.text)}, c.width, false), without);
  }
  EXPECT_TRUE(MayNotBeginLine(Sj("ョ")));
  EXPECT_FALSE(MayNotBeginLine(Sj("ヨ")));
  EXPECT_TRUE(MayNotEndLine(Sj("『")));
  EXPECT_FALSE(MayNotEndLine(Sj("』")));
}

// Replacing takes the matches as the replace run does: each found against
// its whole line, a replacement never matched again, and a range only picks
// among them; the range's end moves with the replacements before it.
TEST(ViewEdits, ReplaceTakesTheMatchesOfTheWholeLine) {
  std::vector<std::string> lines = {"aaa", "xaa", "a"};
  EXPECT_EQ(ReplaceAll(lines, TextFinder("^a", kRegExp), ""), 2u);  // the line's start only
  EXPECT_EQ(lines, (std::vector<std::string>{"aa", "xaa", ""}));
  lines = {"ab ab", "abab"};
  EXPECT_EQ(ReplaceAll(lines, TextFinder("a$|b", kRegExp), "ba"), 4u);  // never matched again
  EXPECT_EQ(lines, (std::vector<std::string>{"aba aba", "abaaba"}));
  lines = {"cat xcat cat"};
  EXPECT_EQ(ReplaceAll(lines, TextFinder("cat", kWholeWord), "dog"), 2u);
  EXPECT_EQ(lines[0], "dog xcat dog");
  // A range: the matches from its start, found in the whole line.
  const TextFinder at_start("^a", kRegExp);
  lines = {"aa", "aa"};
  EXPECT_EQ(ReplaceInRange(lines, at_start, "Z", {0, 1}, {SIZE_MAX, 0}).count, 1u);
  EXPECT_EQ(lines, (std::vector<std::string>{"aa", "Za"}));
  // Shorter and longer replacements inside "aaXaaYaa|aa" (the range ends at 8).
  for (const std::string repl : {"Z", "ZZZ"}) {
    SCOPED_TRACE(repl);
    lines = {"aaXaaYaaaa", "aa"};
    const RangeReplaceResult r = ReplaceInRange(lines, TextFinder("aa", 0), repl, {0, 2}, {0, 8});
    EXPECT_EQ(r.count, 2u);
    EXPECT_EQ(lines[0], "aaX" + repl + "Y" + repl + "aa");
    EXPECT_EQ(r.end, (TextPoint{0, 4 + 2 * repl.size()}));
    EXPECT_EQ(r.first_line, 0u);
    EXPECT_EQ(r.last_line, 0u);
  }
  // A match that starts inside and reaches past the end takes the end along.
  lines = {"abcd"};
  EXPECT_EQ(ReplaceInRange(lines, TextFinder("bc", 0), "XYZ", {0, 0}, {0, 2}).end, (TextPoint{0, 4}));
  // An end on a later line moves only with that line's replacements.
  lines = {"aa aa", "aa aa"};
  EXPECT_EQ(ReplaceInRange(lines, TextFinder("aa", 0), "Z", {0, 0}, {1, 4}).end, (TextPoint{1, 3}));
  EXPECT_EQ(lines, (std::vector<std::string>{"Z Z", "Z Z"}));
  // A chosen match that starts at the end lies after it: the end stays.
  lines = {"abcd"};
  TextMatch at_end;
  at_end.found = true;
  at_end.at = {0, 2};
  at_end.length = 2;
  const RangeReplaceResult kept = ReplaceChosen(lines, {{0, {at_end}}}, "XYZ", {0, 2});
  EXPECT_EQ(lines[0], "abXYZ");
  EXPECT_EQ(kept.end, (TextPoint{0, 2}));
}

TEST(ViewEnvironments, BlocksChoiceFiltersAndRows) {
  TempDir dir;
  TIniGT file((dir / "e.env").string());
  const std::string block(64, '\xAB');
  WriteEnvBlock(file, block);
  EXPECT_EQ(file.ReadInt("TEditorEx", "DataSize", 0), 64);
  std::string ab;
  for (int i = 0; i < 32; ++i) ab += "AB";
  EXPECT_EQ(file.ReadStr("TEditorEx", "Data01", ""), ab);
  EXPECT_EQ(file.ReadStr("TEditorEx", "Data02", "").size(), 64u);
  EXPECT_TRUE(file.HasKey("TEditorEx", "Data03"));
  EXPECT_EQ(file.ReadStr("TEditorEx", "Data03", "x"), "");
  EXPECT_EQ(ReadEnvBlock(file), block);
  WriteEnvBlock(file, "xyz");  // the section is rewritten whole
  EXPECT_FALSE(file.HasKey("TEditorEx", "Data02"));
  EXPECT_EQ(ReadEnvBlock(file), "xyz");

  EditorProperties p;
  p.font_size = 14;
  p.word_wrap = true;
  p.back_color = 0x102030;
  EXPECT_EQ(DeserializeProperties(SerializeProperties(p)), p);
  EXPECT_FALSE(DeserializeProperties("garbage").has_value());
  // The line-breaking switch travels too; a block that predates it reads
  // with the rules on.
  EditorProperties plain = p;
  plain.kinsoku = false;
  EXPECT_EQ(DeserializeProperties(SerializeProperties(plain)), plain);
  EXPECT_TRUE(DeserializeProperties(SerializeProperties(p))->kinsoku);
  WriteEnvFile((dir / "c.env").string(), "C", "*.c,*.h", p);
  EXPECT_EQ(ReadEnvFileProperties((dir / "c.env").string()), p);

  TIniGT ini((dir / "Lorvek.ini").string());
  EnvTable table = ReadEnvTable(ini, dir.path().string());
  EXPECT_EQ(table[0].name, "Default");
  EXPECT_EQ(table[0].file, (dir / "default.env").string());
  table[1] = {"c.env", "C", "*.c,*.h"};
  table[2] = {"t.env", "Text", "*.txt"};
  EXPECT_EQ(ChooseEnvironment(table, "/x/a.txt"), 2u);
  EXPECT_EQ(ChooseEnvironment(table, "/x/a.H"), 1u);
  EXPECT_EQ(ChooseEnvironment(table, "/x/a.doc"), 0u);
  EXPECT_EQ(EnvDialogFilters(table),
            (std::vector<std::string>{"(*.*)|*.*", "C(*.c,*.h)|*.c;*.h", "Text(*.txt)|*.txt"}));
  WriteEnvTable(ini, table);
  EXPECT_EQ(ReadEnvTable(ini, dir.path().string()), table);
  for (size_t i = 3; i < 6; ++i) table[i] = {"f" + std::to_string(i), "N" + std::to_string(i), "*.x"};
  DeleteEnvRow(table, 3);  // row 4 of 6 named rows
  EXPECT_EQ(table[3].name, "N4");
  EXPECT_EQ(table[4].name, "N5");
  for (size_t i = 5; i < kEnvRows; ++i) EXPECT_TRUE(table[i].name.empty());
}

TEST(ViewMacros, SavedTextLoadsBackToTheSameEvents) {
  const std::vector<MacroEvent> events = {{kCnKeyDown, 13, 0, 0, 0, 0},
                                          {kCnChar, 0x8C9F, 0, 0, 0, 0},
                                          {kCnChar, '7', 0, 128, 0, 0},
                                          {kCnChar, 9, 0, 0, 128, 0},
                                          {kCnKeyDown, 0x01000012, 33554432, 128, 128, 128}};
  const std::string text = SaveMacroText(events);
  EXPECT_NE(text.find("CN_CHAR: 48386, CharCode: 35999, KeyData: 0, Shift: 0, Ctrl: 0, Alt: 0 // \x8C\x9F"),
            std::string::npos);
  EXPECT_NE(text.find(" // #9"), std::string::npos);
  EXPECT_EQ(LoadMacroText(text), events);
  EXPECT_TRUE(LoadMacroText("junk\r\nCN_CHAR: 1, 2, 3\r\n").empty());
}

}  // namespace
}  // namespace lorvek

namespace lorvek {
namespace {

// Runs a command line through /bin/sh with a fake editor that writes each
// argument it gets on a line of its own; returns those arguments.
std::vector<std::string> ArgumentsReceived(const std::string& command_line, const std::string& record) {
  EXPECT_EQ(std::system(command_line.c_str()), 0) << command_line;
  std::vector<std::string> args;
  std::string all = test::ReadBytes(record);
  size_t start = 0, end;
  while ((end = all.find('\0', start)) != std::string::npos) {
    args.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

TEST(EditorCommands, EveryTemplateAndHostileData) {
  TempDir dir;
  const std::string record = (dir / "args").string();
  const fs::path fake = dir.Write("fake editor", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" + record + "'\n");
  fs::permissions(fake, fs::perms::owner_all);
  EditorHit hit;
  hit.path = (dir / "a $(touch x) `id`.txt").string();
  hit.line = 12;
  hit.col = 5;
  hit.len = 3;
  hit.word = "say \"hi\" $(touch y) `id`";
  EditorSettings s;
  s.editor = fake.string();
  // kmthNotePad
  s.editor_is = 1;
  s.editor_sw = "-l";
  EXPECT_EQ(ArgumentsReceived(EditorCommandLine(s, hit), record),
            (std::vector<std::string>{"-l12", "/C", "4", "/S", "3", hit.path}));
  // Generic, every switch, the path last and first.
  s.editor_is = 7;
  s.editor_sw = "+";
  s.ed_sendkeyw = s.ed_send_col = s.ed_sendkeyw_n = true;
  s.ed_keyw_sw = "--find=";
  s.ed_col_sw = "-c";
  s.ed_keyw_n_sw = "-n";
  EXPECT_EQ(ArgumentsReceived(EditorCommandLine(s, hit), record),
            (std::vector<std::string>{"+12", "--find=" + hit.word, "-c4", "-n3", hit.path}));
  s.editor_sw_s = 1;
  EXPECT_EQ(ArgumentsReceived(EditorCommandLine(s, hit), record),
            (std::vector<std::string>{hit.path, "+12", "--find=" + hit.word, "-c4", "-n3"}));
  s.editor_sw.clear();
  s.ed_sendkeyw = s.ed_send_col = s.ed_sendkeyw_n = false;
  EXPECT_EQ(ArgumentsReceived(EditorCommandLine(s, hit), record), (std::vector<std::string>{hit.path}));
  // A relative path that begins with "-" reaches the editor as a path, not a switch.
  const std::string dashed = hit.path;
  hit.path = "-R.txt";
  EXPECT_EQ(ArgumentsReceived(EditorCommandLine(s, hit), record), (std::vector<std::string>{"./-R.txt"}));
  hit.path = dashed;
  EXPECT_FALSE(fs::exists("x"));
  EXPECT_FALSE(fs::exists("y"));
  // TEAD: the marks are cut at a blank so the line stays within 240.
  s.editor_is = 0;
  s.editor_sw = "-";
  hit.path = "/f.txt";
  for (int i = 1000; i < 1100; ++i) hit.mark_lines.push_back(i);
  const std::string args = EditorArguments(s, hit);
  EXPECT_LE(s.editor.size() + 1 + args.size(), 240u);
  EXPECT_GT(s.editor.size() + 1 + args.size() + 7, 240u);  // as many marks as fit
  EXPECT_EQ(args.rfind("'/f.txt' -12 /M1000 /M1001", 0), 0u);
  // Whole marks only (" /M" and four digits each).
  ASSERT_EQ((args.size() - 12) % 7, 0u);
  EXPECT_EQ(args.substr(args.size() - 7), " /M" + std::to_string(1000 + (args.size() - 12) / 7 - 1));
  // A path of about 240 characters is never cut inside its quotes: the
  // marks go, whole, and the command still runs.
  hit.path = (dir / (std::string(200, 'p') + " q.txt")).string();
  const std::string long_args = EditorArguments(s, hit);
  EXPECT_EQ(long_args, ShellQuote(hit.path) + " -12");
  EXPECT_EQ(ArgumentsReceived(ShellQuote(s.editor) + " " + long_args, record),
            (std::vector<std::string>{hit.path, "-12"}));
  hit.path = "/f.txt";
  s.ed_add_mark = false;
  EXPECT_EQ(EditorArguments(s, hit), "'/f.txt' -12");
}

// An editor that cannot be started is known before the shell is asked.
TEST(EditorCommands, WhyAnEditorCannotStart) {
  TempDir dir;
  const fs::path runs = dir.Write("runs", "#!/bin/sh\n");
  fs::permissions(runs, fs::perms::owner_all);
  const fs::path plain = dir.Write("plain", "#!/bin/sh\n");
  fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(EditorStartError(runs.string()), 0);
  if (geteuid() != 0) EXPECT_EQ(EditorStartError(plain.string()), EACCES);
  EXPECT_EQ(EditorStartError(dir.path().string()), EISDIR);
  EXPECT_EQ(EditorStartError((dir / "missing").string()), ENOENT);
}

TEST(EditorCommands, TheDesktopsAssociation) {
  TempDir dir;
  const std::string data = (dir / "data").string(), config = (dir / "config").string();
  dir.Write("data/applications/fake-viewer.desktop",
            "[Desktop Entry]\nName=Fake\nExec=/opt/fake/viewer --new-window %U\nType=Application\n");
  dir.Write("config/mimeapps.list", "[Added Associations]\ntext/plain=other.desktop\n"
                                    "[Default Applications]\ntext/plain=missing.desktop;fake-viewer.desktop\n");
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  setenv("XDG_DATA_DIRS", (dir / "none").c_str(), 1);
  setenv("XDG_CONFIG_DIRS", (dir / "none").c_str(), 1);
  const std::optional<std::string> entry = DefaultDesktopEntry("text/plain");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(*entry, data + "/applications/fake-viewer.desktop");
  EXPECT_EQ(DesktopEntryCommand(*entry), "/opt/fake/viewer --new-window");
  EXPECT_FALSE(DefaultDesktopEntry("application/x-unknown").has_value());
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("XDG_DATA_DIRS");
  unsetenv("XDG_CONFIG_DIRS");
}

}  // namespace
}  // namespace lorvek
