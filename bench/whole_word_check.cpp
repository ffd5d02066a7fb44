// The lines of a tree that the whole-word rule accepts for a word, as a
// reference of the rule written apart from the engine decides them, held
// against what lorvek-grep printed with the default switches (fuzzy and
// whole word on): every line the reference accepts must be there, and no
// other. Binary files are left out (their lines are the scan's, not text).
//
//   whole_word_check TREE WORD GREP_OUTPUT
//
// GREP_OUTPUT is lorvek-grep --show-encoding WORD TREE. Prints the counts
// and the first lines that differ; exits 1 when any line differs.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <set>
#include <string>
#include <utility>

#include "search/compiled_word.h"
#include "text/cp932.h"
#include "text/file_bytes.h"
#include "text/second_look.h"
#include "text/text_codec.h"
#include "whole_word_reference.h"

namespace fs = std::filesystem;
using namespace lorvek;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: whole_word_check TREE WORD GREP_OUTPUT\n";
    return 2;
  }
  const std::string tree = argv[1];
  const std::string word = Utf8ToCp932(argv[2]);
  CompiledWordRef compiled = CompiledWord::Compile(word, /*fuzzy=*/true);
  const CompiledPattern& term = compiled->Term(0);

  std::set<std::pair<std::string, int>> expected, printed;
  size_t files = 0, lines = 0;
  for (const auto& entry : fs::recursive_directory_iterator(tree)) {
    if (!entry.is_regular_file()) continue;
    const std::string path = entry.path().string();
    InputFile in(FileRef::FromPath(path));
    const TextFileFormat format = DetectFileFormat(in);
    if (format.encoding == ecBinary || format.encoding == ecUnread) continue;
    TextFileFormat as = format;
    if (as.encoding == ecEucOrSjis) as = TextFileFormat::FromCodes(ecSjis, format.line_end);
    const DecodedText text = DecodeFileText(ReadFileBytes(path), as);
    ++files;
    for (size_t i = 0; i < text.size(); ++i) {
      ++lines;
      const std::string_view line = text.Line(i);
      // Every match the engine's pattern gives (each search going on where
      // the one before ended), judged by the reference.
      for (const MatchPos m : MatchesInLine(term, line, /*whole_word=*/false)) {
        if (test::ReferenceIsWhole(line, m.start, m.length)) {
          expected.insert({path, static_cast<int>(i + 1)});
          break;
        }
      }
    }
  }
  std::ifstream out(argv[3]);
  std::string row;
  // "path"[TAG][TAG] N: text (a Shift-JIS file with CR LF has no tag)
  const std::regex printed_row(R"re(^"(.*)"((?:\[[^\]]*\])*) ([0-9]+): )re");
  while (std::getline(out, row)) {
    std::smatch m;
    if (!std::regex_search(row, m, printed_row)) continue;
    if (m[2].str().find("[BIN]") != std::string::npos) continue;
    printed.insert({m[1].str(), std::stoi(m[3].str())});
  }
  size_t missed = 0, extra = 0;
  for (const auto& e : expected)
    if (!printed.count(e) && missed++ < 10) std::cout << "  missed: " << e.first << ":" << e.second << "\n";
  for (const auto& p : printed)
    if (!expected.count(p) && extra++ < 10) std::cout << "  extra:  " << p.first << ":" << p.second << "\n";
  std::cout << argv[2] << ": " << files << " text files, " << lines << " lines, " << expected.size()
            << " lines the reference accepts, " << missed << " missed, " << extra << " extra\n";
  return missed == 0 && extra == 0 ? 0 : 1;
}
