#include "app/command_line.h"

#include <filesystem>

#include "text/cp932.h"
#include "text/sjis.h"

namespace lorvek {
namespace {

std::string Trim(const std::string& s) { return std::string(TrimBlanks(s)); }

}  // namespace

bool IsOptionArgument(const std::string& arg) {
  if (arg.size() < 2) return false;
  if (arg[0] == '/') return arg.size() == 2;
  return arg[0] == '-' && arg[1] != '-';
}

ParsedCommand ParseOptions(const std::vector<std::string>& args, std::vector<std::string>& folder_list) {
  ParsedCommand out;
  size_t i = 0;
  // The arguments after an option up to the next option.
  auto values = [&](size_t from) {
    size_t end = from;
    while (end < args.size() && !IsOptionArgument(args[end])) ++end;
    return end;
  };
  while (i < args.size()) {
    const std::string& a = args[i];
    if (!IsOptionArgument(a)) {
      // Plain folder arguments: taken as folders to search.
      size_t end = values(i);
      for (size_t k = i; k < end; ++k)
        if (!args[k].empty()) folder_list.push_back(args[k]);
      out.result = kParsePlain;
      return out;
    }
    char letter = static_cast<char>(a[1] & ~0x20);
    if (letter == 'A') {
      out.result = kParseAutomatic;
      ++i;
      continue;
    }
    if (letter != 'P' && letter != 'E' && letter != 'K' && letter != 'T' && letter != 'H') return out;
    // A value-taking option as the last argument ends the options; so does
    // an empty first value.
    if (i + 1 >= args.size() || args[i + 1].empty() || IsOptionArgument(args[i + 1])) return out;
    if (letter == 'P') {
      size_t end = values(i + 1);
      std::string joined;
      for (size_t k = i + 1; k < end; ++k) joined += (k > i + 1 ? " " : "") + args[k];
      joined = Trim(joined);
      if (joined.size() > 1 && joined.back() == '/') joined.pop_back();
      folder_list.push_back(joined);
      out.folder_text = joined;
      out.result = kParseOptions;
      i = end;
    } else if (letter == 'E') {
      size_t end = values(i + 1);
      std::string masks;
      for (size_t k = i + 1; k < end; ++k) {
        std::string mask;
        if (!ExternalToCp932Exact(args[k], &mask)) out.unmappable = args[k];
        masks += mask + ",";
      }
      if (!out.unmappable) out.mask_text = masks;
      out.result = kParseOptions;
      i = end;
    } else if (letter == 'K') {
      std::string word;
      if (ExternalToCp932Exact(args[i + 1], &word)) out.word = Trim(word);
      else out.unmappable = args[i + 1];
      out.result = kParseOptions;
      i += 2;
    } else {  // T, H
      out.output_target = args[i + 1];
      out.result = letter == 'T' ? kParseOptions : kParseSilent;
      i += 2;
    }
  }
  return out;
}

std::string LongPathName(const std::string& path) {
  if (path.empty()) return path;
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  if (ec) p = path;
  std::string s = p.lexically_normal().string();
  if (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

}  // namespace lorvek
