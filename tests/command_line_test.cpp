#include "app/command_line.h"

#include <gtest/gtest.h>

#include "search/mask.h"
#include "test_util.h"

namespace lorvek {
namespace {

using V = std::vector<std::string>;

TEST(ParseOptions, FoldersMasksWordAndAutomaticSearch) {
  V folders;
  ParsedCommand c = ParseOptions({"/P", "/home/me/My", "Documents/", "/E", "*.txt", "/K", " abc ", "/A"}, folders);
  EXPECT_EQ(c.result, kParseAutomatic);
  EXPECT_EQ(folders, (V{"/home/me/My Documents"}));
  EXPECT_EQ(*c.folder_text, "/home/me/My Documents");
  EXPECT_EQ(*c.mask_text, "*.txt,");
  EXPECT_EQ(ParseMaskText(*c.mask_text), (V{"*.TXT"}));
  EXPECT_EQ(*c.word, "abc");
}

TEST(ParseOptions, LetterCaseDashesAndTheLastOptionDecides) {
  V folders;
  EXPECT_EQ(ParseOptions({"/p", "/xx"}, folders).result, kParseOptions);
  EXPECT_EQ(ParseOptions({"-Pxyz", "/yy"}, folders).result, kParseOptions);
  EXPECT_EQ(folders, (V{"/xx", "/yy"}));
  // "/Pxyz" is a path here: only a two-character "/X" is an option.
  EXPECT_EQ(ParseOptions({"/Pxyz"}, folders).result, kParsePlain);
  EXPECT_EQ(ParseOptions({"/A", "/P", "/zz"}, folders).result, kParseOptions);
  ParsedCommand h = ParseOptions({"/H", "COPY", "/P", "/ww"}, folders);
  EXPECT_EQ(h.result, kParseOptions);
  EXPECT_EQ(*h.output_target, "COPY");
  ParsedCommand t = ParseOptions({"/T", "out.txt", "/K", "abc"}, folders);
  EXPECT_EQ(*t.output_target, "out.txt");
  EXPECT_EQ(ParseOptions({"/H", "-"}, folders).result, kParseSilent);
}

TEST(ParseOptions, EmptyOrMissingValuesEndTheOptions) {
  V folders;
  EXPECT_EQ(ParseOptions({"/K"}, folders).result, kParseNone);
  EXPECT_EQ(ParseOptions({"/A", "/K"}, folders).result, kParseAutomatic);
  EXPECT_EQ(ParseOptions({"/A", "/P", ""}, folders).result, kParseAutomatic);
  EXPECT_EQ(ParseOptions({"/A", "/X", "/P", "/qq"}, folders).result, kParseAutomatic);  // unknown letter stops
  EXPECT_TRUE(folders.empty());
  EXPECT_EQ(ParseOptions({}, folders).result, kParseNone);
}

TEST(ParseOptions, PlainFoldersAreKeptForTheStartDialog) {
  V folders;
  EXPECT_EQ(ParseOptions({"/home/a", "docs"}, folders).result, kParsePlain);
  EXPECT_EQ(folders, (V{"/home/a", "docs"}));
  EXPECT_EQ(ParseOptions({"/K", "w", "/tmp/x"}, folders).result, kParsePlain);
  EXPECT_EQ(folders.back(), "/tmp/x");
  V root;
  ParseOptions({"/P", "/"}, root);
  EXPECT_EQ(root, (V{"/"}));
}

TEST(LongPathName, AbsoluteWithoutResolvingLinks) {
  test::TempDir dir;
  std::filesystem::create_directory(dir / "real");
  std::filesystem::create_directory_symlink(dir / "real", dir / "link");
  EXPECT_EQ(LongPathName((dir / "link/").string()), (dir / "link").string());
  EXPECT_EQ(LongPathName((dir / "link/../real").string()), (dir / "real").string());
  EXPECT_EQ(LongPathName("/"), "/");
  EXPECT_EQ(LongPathName("rel")[0], '/');
}

}  // namespace
}  // namespace lorvek
