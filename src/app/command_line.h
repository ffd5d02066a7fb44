// The command-line grammar of the main program (/P /E /K /T /H /A, also
// written -P), shared by the first start and the hand-off of later starts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lorvek {

enum ParseResult : int {
  kParseNone = -1,
  kParsePlain = 0xFFF1,
  kParseOptions = 0xFFF2,
  kParseAutomatic = 0xFFF3,
  kParseSilent = 0xFFF4,
};

// What a parse changes in the main window; unset fields stay as they are.
struct ParsedCommand {
  int result = kParseNone;
  std::optional<std::string> folder_text;  // /P (bytes as given)
  std::optional<std::string> mask_text;    // /E (Shift-JIS)
  std::optional<std::string> word;         // /K (Shift-JIS)
  std::optional<std::string> output_target;  // /T, /H
  // A /K or /E value (as given) holding a character code page 932 cannot
  // hold: it is not taken, and the caller says so.
  std::optional<std::string> unmappable;
};

// An argument that is an option: "/X" exactly, or "-X..." (not "--...").
bool IsOptionArgument(const std::string& arg);

// Parses args left to right, appending folders to folder_list (which is
// never cleared). Plain arguments where an option is expected are folders
// too: they are appended and parsing ends with kParsePlain.
ParsedCommand ParseOptions(const std::vector<std::string>& args, std::vector<std::string>& folder_list);

// An absolute path without resolving symbolic links ("." and ".." removed),
// one trailing "/" dropped except for the root.
std::string LongPathName(const std::string& path);

}  // namespace lorvek
