#include "text/path_names.h"

#include <sys/stat.h>

namespace lorvek {
namespace {

size_t NameStart(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string AsciiCased(std::string text, char from, char to) {
  for (char& c : text)
    if (c >= from && c <= static_cast<char>(from + 25)) c = static_cast<char>(c - from + to);
  return text;
}

}  // namespace

std::string FileNameOf(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string ExtensionOf(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  return dot == std::string::npos || dot < NameStart(path) ? "" : path.substr(dot);
}

std::string UpperExtension(const std::string& path) { return AsciiCased(ExtensionOf(path), 'a', 'A'); }

std::string LowerExtension(const std::string& path) { return AsciiCased(ExtensionOf(path), 'A', 'a'); }

std::string WithoutExtension(const std::string& path) {
  return path.substr(0, path.size() - ExtensionOf(path).size());
}

std::string FolderOfFile(const std::string& path) {
  const size_t start = NameStart(path);
  if (start == 0) return ".";
  return start == 1 ? "/" : path.substr(0, start - 1);
}

std::string FolderPrefixOf(const std::string& name) { return name.substr(0, NameStart(name)); }

bool PathExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool EntryExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

}  // namespace lorvek
