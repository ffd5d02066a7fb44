// Archives: the formats by extension, their members in stored order, and a
// member's bytes written under a destination folder at its relative path.
// libarchive reads every format it knows; ARJ goes through the arj program.
// Member names are treated as hostile: a name that is absolute, climbs with
// "..", or would pass through a link is refused, and extraction stops at a
// bound on the bytes written. Every archive is read in a child process of
// its own, bounded in memory, processor time and file size and watched for
// progress, so that a reader that loops or grows ends that archive with an
// error and never the program.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace lorvek {

enum class ArchiveFormat { None, Lha, Zip, Cab, Arj, Tar, Rar, Bga, Yz1, SevenZip };

class EArchive : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline const char kArchiveFormatUnknown[] = "書庫の形式を判別できません。";
// Why an archive's reader process ended the archive.
inline const char kArchiveReaderStalled[] = "書庫の読み取りが進まないため打ち切りました";
inline const char kArchiveReaderOutOfMemory[] = "書庫の読み取りがメモリの上限を超えたため打ち切りました";
inline const char kArchiveReaderCpu[] = "書庫の読み取りが CPU 時間の上限を超えたため打ち切りました";
inline const char kArchiveReaderDied[] = "書庫の読み取りが異常終了しました";
inline const char kArchiveReaderNotStarted[] = "書庫を読むプロセスを起動できません";

// The format an archive's extension names (any case); a self-extracting
// ".exe" is offered to the formats in the order LHA, CAB, ZIP, ARJ, RAR,
// TAR. None when no format fits.
ArchiveFormat ArchiveFormatOf(const std::string& path);

// Whether this machine can read the format (libarchive's support, the arj
// program on the PATH).
bool ArchiveFormatAvailable(ArchiveFormat format);

struct ArchiveMember {
  std::string path;   // relative, "/" between parts, UTF-8 when the archive said or Shift-JIS made UTF-8
  int64_t mtime = 0;  // Unix seconds
  int64_t size = -1;  // -1 when the archive does not say
};

// Small enough that a small scratch disk survives a bomb.
struct ExtractLimits {
  uint64_t member_bytes = uint64_t{1} << 30;   // one member
  uint64_t archive_bytes = uint64_t{4} << 30;  // all members of one archive
};

class ArchiveVisitor {
 public:
  virtual ~ArchiveVisitor() = default;
  // A file member (folders, links and devices are never offered): true to
  // have it extracted.
  virtual bool Wanted(const ArchiveMember& member) = 0;
  // The extracted member's file; it is the visitor's to delete. An empty
  // member the visitor said needs no file comes with file "".
  virtual void Extracted(const ArchiveMember& member, const std::string& file) = 0;
  // Asked of a wanted member: whether it needs a file on disk also when it
  // holds no byte (false saves a file made and deleted per empty member).
  virtual bool EmptyNeedsFile(const ArchiveMember&) { return true; }
  // A wanted member that could not be extracted, and why.
  virtual void Failed(const ArchiveMember& member, const std::string& reason) = 0;
  // Read between members: true ends the visit.
  virtual bool Stop() const = 0;
  // Called about every 20 ms while the archive is being read (the caller's
  // moment to keep its window alive); Stop() is read after it, and true
  // then ends the visit at once.
  virtual void Waiting() {}
  // Called as a member's bytes are written (in the process that reads the
  // archive): the reader is making progress.
  virtual void Progress() {}
};

// How long an archive's reader may go without a sign of progress (a member
// listed or a block written) before it is killed and the archive ends with
// an error.
inline constexpr std::chrono::milliseconds kArchiveStallLimit{30'000};
// Processor time and memory (beyond what the program already holds) one
// archive's reader may use.
inline constexpr int kArchiveCpuSeconds = 600;
inline constexpr uint64_t kArchiveMemoryBytes = uint64_t{2} << 30;
// For tests: the stall limit in force (kArchiveStallLimit until set).
void SetArchiveStallLimit(std::chrono::milliseconds limit);

// Visits the members of the archive at path in stored order, extracting
// those the visitor wants under dest_folder (which must exist and be
// private). Raises EArchive when the archive cannot be read at all, or when
// its reader stalls, runs out of its bounds or dies; a damaged member or one
// that breaks a rule goes to Failed and the visit goes on. The visitor is
// called in this process, in the order the archive stores its members.
void VisitArchive(const std::string& path, const std::string& dest_folder, ArchiveVisitor& visitor,
                  const ExtractLimits& limits = {});

// A member name as the archive stores it, made a relative path: UTF-8 kept,
// other bytes read as Shift-JIS, "\" taken as a separator, "." parts and
// empty parts dropped. Empty when the name is absolute or climbs with "..".
std::string SafeMemberPath(const std::string& stored);

// The arj command line that extracts the entry numbered number (from 1, as
// the archive lists its entries) into the folder staging: nothing in it
// comes from the archive, so no member name can be taken for a switch.
std::vector<std::string> ArjExtractArguments(const std::string& archive, const std::string& staging, int number);

// Extracts the one member whose path is member (as SafeMemberPath gives it)
// under dest_folder; returns the extracted file. Raises EArchive.
std::string ExtractArchiveMember(const std::string& path, const std::string& member, const std::string& dest_folder,
                                 const ExtractLimits& limits = {});

}  // namespace lorvek
