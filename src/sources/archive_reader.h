// Archives: the formats by extension, their members in stored order, and a
// member's bytes written under a destination folder at its relative path.
// libarchive reads every format it knows; ARJ goes through the arj program.
// Member names are treated as hostile: a name that is absolute, climbs with
// "..", or would pass through a link is refused, and extraction stops at a
// bound on the bytes written.
#pragma once

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
  // The extracted member's file; it is the visitor's to delete.
  virtual void Extracted(const ArchiveMember& member, const std::string& file) = 0;
  // A wanted member that could not be extracted, and why.
  virtual void Failed(const ArchiveMember& member, const std::string& reason) = 0;
  // Read between members: true ends the visit.
  virtual bool Stop() const = 0;
};

// Visits the members of the archive at path in stored order, extracting
// those the visitor wants under dest_folder (which must exist and be
// private). Raises EArchive when the archive cannot be read at all; a damaged
// member or one that breaks a rule goes to Failed and the visit goes on.
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
