// Helpers shared by the tests: temporary trees, file bytes, encodings.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace lorvek::test {

namespace fs = std::filesystem;

// Shift-JIS from a UTF-8 literal, so tests read as the user's text.
std::string Sj(std::string_view utf8);

std::string ReadBytes(const fs::path& p);
void WriteBytes(const fs::path& p, std::string_view bytes);

fs::path FixturePath(std::string_view rel);

// Runs fn as the unprivileged user "nobody" when the tests run as root (as
// CI does), in a child process, so that file permissions mean what they say;
// otherwise runs it here. Returns fn's result (a child that dies gives -1).
int RunWithoutPrivileges(const std::function<int()>& fn);

// A fresh temporary folder removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const fs::path& path() const { return path_; }
  fs::path operator/(std::string_view rel) const { return path_ / rel; }
  // Writes a file (creating folders) and returns its path.
  fs::path Write(std::string_view rel, std::string_view bytes) const;

 private:
  fs::path path_;
};

// Room whose end is the end of readable memory: a page that faults follows
// it, so a vector step that reads or writes past a text's end crashes the
// test instead of going unseen in a string's spare capacity.
class EdgeOfPage {
 public:
  EdgeOfPage();
  ~EdgeOfPage();
  EdgeOfPage(const EdgeOfPage&) = delete;
  EdgeOfPage& operator=(const EdgeOfPage&) = delete;
  size_t capacity() const { return page_; }
  // The bytes copied so that their last one is the last readable byte.
  std::string_view Put(std::string_view bytes);
  // n writable bytes ending at the faulting page.
  char* Room(size_t n);

 private:
  char* base_ = nullptr;
  size_t page_ = 0;
};

}  // namespace lorvek::test
