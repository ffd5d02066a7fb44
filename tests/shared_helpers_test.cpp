// The small readers every subsystem shares: numbers out of hostile bytes,
// the parts of a path, whether a name is taken, a file's text format.
#include <gtest/gtest.h>
#include <unistd.h>

#include <limits>
#include <string>
#include <vector>

#include "replace/replace_run.h"
#include "sources/office_text.h"
#include "test_util.h"
#include "text/byte_reader.h"
#include "text/conversion.h"
#include "text/path_names.h"
#include "text/second_look.h"

namespace lorvek {
namespace {

using test::Sj;
using test::TempDir;

TEST(ByteReader, ReadsUpToTheLastByteAndNoFurther) {
  const std::string b("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
  EXPECT_EQ(ReadLe16(b, 0), 0x0201);
  EXPECT_EQ(ReadLe16(b, 6), 0x0807);  // ends exactly at the end
  EXPECT_EQ(ReadLe16(b, 7), std::nullopt);
  EXPECT_EQ(ReadLe32(b, 4), 0x08070605u);
  EXPECT_EQ(ReadLe32(b, 5), std::nullopt);
  EXPECT_EQ(ReadLe64(b, 0), 0x0807060504030201u);
  EXPECT_EQ(ReadLe64(b, 1), std::nullopt);
  EXPECT_EQ(ReadLe16(b, 8), std::nullopt);
  EXPECT_EQ(ReadLe16("", 0), std::nullopt);
}

TEST(ByteReader, OffsetsFromDamagedFilesNeverWrapAround) {
  const std::string b(16, '\xFF');
  const size_t max = std::numeric_limits<size_t>::max();
  for (size_t at : {max, max - 1, max - 3, max - 7}) {
    EXPECT_EQ(ReadLe16(b, at), std::nullopt) << at;
    EXPECT_EQ(ReadLe32(b, at), std::nullopt) << at;
    EXPECT_EQ(ReadLe64(b, at), std::nullopt) << at;
  }
  EXPECT_FALSE(HasBytesAt(b, 8, max));
}

TEST(ByteReader, ACutOffFieldReadsAsZeroNeverAsHalfANumber) {
  const std::string b("\xFF\xFF\xFF\xFF\xFF\xFF", 6);
  EXPECT_EQ(Le16(b, 4), 0xFFFF);
  EXPECT_EQ(Le16(b, 5), 0);
  EXPECT_EQ(Le32(b, 3), 0u);
  EXPECT_EQ(Le64(b, 0), 0u);  // six bytes are no eight-byte number
}

TEST(PathNames, TheExtensionIsTheLastNamesOwn) {
  EXPECT_EQ(ExtensionOf("/a/b/Report.Htm"), ".Htm");
  EXPECT_EQ(UpperExtension("/a/b/Report.Htm"), ".HTM");
  EXPECT_EQ(LowerExtension("/a/b/Report.Htm"), ".htm");
  EXPECT_EQ(ExtensionOf("x.tar.gz"), ".gz");
  EXPECT_EQ(ExtensionOf("/a.d/readme"), "");  // a dot in a folder's name is no extension
  EXPECT_EQ(ExtensionOf("/a/.profile"), ".profile");
  EXPECT_EQ(ExtensionOf("name."), ".");
  EXPECT_EQ(ExtensionOf(""), "");
  EXPECT_EQ(UpperExtension("a.\xE9x"), ".\xE9X");  // only ASCII letters change case
  EXPECT_EQ(WithoutExtension("/a.d/b.txt"), "/a.d/b");
  EXPECT_EQ(WithoutExtension("/a.d/b"), "/a.d/b");
  EXPECT_EQ(FileNameOf("/a/b/c.txt"), "c.txt");
  EXPECT_EQ(FileNameOf("c.txt"), "c.txt");
  EXPECT_EQ(FileNameOf("/a/"), "");
}

TEST(PathNames, ABareNameLiesInTheCurrentFolderButHasNoPrefix) {
  EXPECT_EQ(FolderOfFile("a.txt"), ".");
  EXPECT_EQ(FolderOfFile("/a.txt"), "/");
  EXPECT_EQ(FolderOfFile("/x/y/a.txt"), "/x/y");
  EXPECT_EQ(FolderPrefixOf("document.xml"), "");
  EXPECT_EQ(FolderPrefixOf("word/document.xml"), "word/");
  EXPECT_EQ(FolderPrefixOf("a/b/c.xml"), "a/b/");
}

TEST(PathNames, ALinkToNowhereTakesANameButLeadsNowhere) {
  TempDir dir;
  const std::string file = dir.Write("f.txt", "x").string();
  const std::string dangling = (dir / "gone.bak").string();
  ASSERT_EQ(::symlink((dir / "missing").c_str(), dangling.c_str()), 0);
  EXPECT_TRUE(PathExists(file));
  EXPECT_TRUE(EntryExists(file));
  EXPECT_FALSE(PathExists(dangling));
  EXPECT_TRUE(EntryExists(dangling));
  EXPECT_FALSE(EntryExists((dir / "none").string()));
  EXPECT_FALSE(PathExists(""));
  EXPECT_FALSE(EntryExists(""));
  // A backup never goes where such a link points.
  EXPECT_EQ(BackupName((dir / "gone.txt").string()), (dir / "gone.bak(1)").string());
}

// A package whose main document lies at its top, not in a folder: its
// headers lie at the top too.
TEST(OfficeXml, HeadersBesideAMainPartAtThePackagesTop) {
  const PackageParts parts = {
      {"_rels/.rels",
       "<Relationships><Relationship Id=\"r1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
       "relationships/officeDocument\" Target=\"document.xml\"/></Relationships>"},
      {"document.xml", "<document><body><p><r><t>body text</t></r></p></body></document>"},
      {"header1.xml", "<hdr><p><r><t>header text</t></r></p></hdr>"},
  };
  std::vector<std::string> lines;
  ReadWordXmlLines(parts, [&](std::string_view line) {
    lines.emplace_back(line);
    return true;
  });
  EXPECT_EQ(lines, (std::vector<std::string>{"body text", "header text"}));
}

TEST(DetectFileFormat, TakesTheSecondLooksCodeWithTheProbesLineEnd) {
  TempDir dir;
  // Escapes only after the probe's window: the probe says ASCII.
  const std::string jis = std::string(3000, 'a') + "\n" + SjisToJis(Sj("検索の行\n"));
  InputFile in(FileRef::FromPath(dir.Write("j.txt", jis).string()));
  const TextFileFormat f = DetectFileFormat(in);
  EXPECT_EQ(f.encoding, ecJis);
  EXPECT_EQ(f.line_end, leLf);
  // A file the probe gets right keeps the probe's format whole.
  const std::string bom = "\xEF\xBB\xBF" + std::string("plain\r\n");
  InputFile utf8(FileRef::FromPath(dir.Write("u.txt", bom).string()));
  EXPECT_EQ(DetectFileFormat(utf8), TextFileFormat::FromCodes(ecUtf8, leCrLf));
  // The file is left at its start for the reader.
  std::string rest;
  utf8.ReadRest(rest);
  EXPECT_EQ(rest, bom);
}

}  // namespace
}  // namespace lorvek
