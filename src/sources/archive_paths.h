// Member names and member files: the only place that turns an archive's
// stored name into a path under the destination folder, and that writes
// there.
#pragma once

#include <cstdint>
#include <string>

#include "sources/archive_reader.h"

namespace lorvek {

inline const char kUnsafeMemberName[] = "書庫の外を指す名前のため展開しません";
inline const char kMemberTooLarge[] = "展開後の大きさが上限を超えるため展開を打ち切りました";
inline const char kArchiveTooLarge[] = "書庫全体の展開量が上限を超えたため打ち切りました";

// A stored name as text to show (UTF-8), whatever it holds.
std::string DisplayMemberName(const std::string& stored);
std::string BaseName(const std::string& path);
std::string WithoutLastExtension(const std::string& name);
// Deletes everything inside folder (never following a link); the folder stays.
void RemoveFolderContents(const std::string& folder);

// Writes members under one destination folder: parents are created as
// real folders (a link met on the way refuses the member), files are new
// (never opened through a link), and the bytes written are bounded per
// member and per archive.
class MemberWriter {
 public:
  MemberWriter(const std::string& dest, const ExtractLimits& limits);
  ~MemberWriter();
  MemberWriter(const MemberWriter&) = delete;
  MemberWriter& operator=(const MemberWriter&) = delete;

  // A member at its safe relative path. Raises EArchive.
  void Begin(const std::string& relative);
  void Write(const void* data, size_t size, uint64_t offset);
  void Finish();
  // Drops a member begun but not finished.
  void Abandon();
  const std::string& LastFile() const { return last_file_; }
  bool ArchiveLimitReached() const { return archive_limit_reached_; }

  // For a tool that extracts by itself: a fresh private folder under the
  // destination, and the adoption of the one file it left there (named
  // base_name) at its relative path. The staging folder is removed.
  std::string MakeStagingFolder();
  void AdoptStaged(const std::string& staging, const std::string& base_name, const std::string& relative, bool ok);

 private:
  // The folder that holds relative's last part, created as needed; its
  // descriptor (the caller closes it) and the last part.
  int OpenParent(const std::string& relative, std::string& leaf);
  void Count(uint64_t end);

  std::string dest_;
  int dest_fd_ = -1;
  ExtractLimits limits_;
  int fd_ = -1;
  int parent_fd_ = -1;
  std::string leaf_;
  uint64_t member_end_ = 0;
  uint64_t archive_total_ = 0;
  bool archive_limit_reached_ = false;
  std::string last_file_;
};

}  // namespace lorvek
