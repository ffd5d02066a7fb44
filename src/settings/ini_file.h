// The settings file in the classic profile format: [Section] and Key=Value
// lines in Shift-JIS, names matched without regard to case. Every write goes
// straight to the file (through a temporary file renamed over it), so several
// components on one file see each other's writes and the last writer of a key
// wins. Lines the program does not know (comments, unknown keys, damaged
// lines) are kept as they are.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lorvek {

// Section and key names compare without regard to ASCII letter case.
bool SameIniName(std::string_view a, std::string_view b);

class TIniGT {
 public:
  static constexpr size_t kMaxValueBytes = 1023;

  // Binds to the file. With make_writable, a file without owner write
  // permission gets it back (the read-only attribute is cleared at start-up).
  // An own file (the program's settings) is read and written only while it
  // is the user's alone (settings/own_files.h); otherwise the defaults hold
  // and nothing is written.
  explicit TIniGT(std::string path, bool make_writable = true, bool own_file = false);

  const std::string& FileName() const { return path_; }
  bool FileExists() const;
  // The file exists and its owner may not write it.
  bool IsReadOnly() const;
  // Why an own file is not used ("" when it is).
  std::string Distrust() const;

  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  int ReadInt(std::string_view section, std::string_view key, int def) const;
  // The key's value when it is there and a number, else nothing.
  std::optional<int> ReadIntIfSet(std::string_view section, std::string_view key) const;
  std::string ReadStr(std::string_view section, std::string_view key, std::string_view def) const;
  bool HasKey(std::string_view section, std::string_view key) const;

  void WriteBool(std::string_view section, std::string_view key, bool value);
  void WriteInt(std::string_view section, std::string_view key, int value);
  // Writes the value as given (callers quote values that must keep blanks).
  void WriteStr(std::string_view section, std::string_view key, std::string_view value);

  // Removes a section with every key in it (each copy of it).
  void EraseSection(std::string_view section);

  // Groups writes into one file update; nested calls are counted.
  void BeginUpdate();
  void EndUpdate();

 private:
  void Load() const;
  void Store();
  // Index of the key's line, or -1; also the section's header and last key line.
  long FindKey(std::string_view section, std::string_view key, long* section_line, long* last_in_section) const;
  std::string RawValue(std::string_view section, std::string_view key, bool* found) const;

  struct FileStamp {
    bool exists;
    unsigned long long device, inode;
    long long size, seconds, nanoseconds;
    bool operator==(const FileStamp&) const = default;
  };

  std::string path_;
  bool own_file_ = false;
  mutable std::string distrust_;
  mutable std::vector<std::string> lines_;
  mutable bool loaded_ = false;
  mutable FileStamp stamp_{};
  int update_depth_ = 0;
  bool dirty_ = false;
};

// Holds one file update open for its lifetime, so the update also ends when
// a write throws: a missed EndUpdate would keep every later write of the
// file in memory. Storing the file can fail too; that failure goes on to
// the caller, unless another exception is already leaving the scope (it
// is the one worth reporting).
class IniUpdate {
 public:
  explicit IniUpdate(TIniGT& ini) : ini_(ini), exceptions_(std::uncaught_exceptions()) { ini_.BeginUpdate(); }
  ~IniUpdate() noexcept(false) {
    if (std::uncaught_exceptions() == exceptions_) {
      ini_.EndUpdate();
      return;
    }
    try {
      ini_.EndUpdate();
    } catch (...) {
    }
  }
  IniUpdate(const IniUpdate&) = delete;
  IniUpdate& operator=(const IniUpdate&) = delete;

 private:
  TIniGT& ini_;
  int exceptions_;
};

}  // namespace lorvek
