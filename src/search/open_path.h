// The path a hit opens: a plain file, or a member inside an archive, written
// "@" + archive path + "@" + member path. Built and parsed only here.
#pragma once

#include <string>
#include <string_view>

namespace lorvek {

struct OpenPath {
  std::string file;    // the file, or the archive holding the member
  std::string member;  // empty for a plain file

  static OpenPath Plain(std::string path) { return {std::move(path), {}}; }
  static OpenPath Member(std::string archive, std::string member_path) {
    return {std::move(archive), std::move(member_path)};
  }
  // The archive part is the longest text before an "@" that names an
  // archive file on disk (folder names and member names may both hold "@");
  // when none exists, it ends at the first "@" after the leading one.
  static OpenPath Parse(std::string_view text);

  bool IsMember() const { return !member.empty(); }
  // The stored form: the path itself, or "@archive@member".
  std::string Text() const;
  // The form exports and the list show: "archive/member" for a member.
  std::string DisplayPath() const;
  // The form of the status line: "archive / member" for a member.
  std::string StatusPath() const;
  bool operator==(const OpenPath&) const = default;
};

}  // namespace lorvek
