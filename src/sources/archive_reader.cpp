#include "sources/archive_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <locale.h>
#include <memory>
#include <optional>

#include "sources/archive_child.h"
#include "sources/archive_paths.h"
#include "sources/child_groups.h"
#include "text/byte_reader.h"
#include "text/cp932.h"
#include "text/path_names.h"

extern char** environ;

namespace lorvek {
namespace {

ArchiveFormat FormatByExtension(const std::string& ext) {
  struct Row {
    const char* ext;
    ArchiveFormat format;
  };
  static const Row kTable[] = {
      {".lzh", ArchiveFormat::Lha}, {".zip", ArchiveFormat::Zip},  {".jar", ArchiveFormat::Zip},
      {".ear", ArchiveFormat::Zip}, {".war", ArchiveFormat::Zip},  {".cab", ArchiveFormat::Cab},
      {".arj", ArchiveFormat::Arj}, {".tar", ArchiveFormat::Tar},  {".a", ArchiveFormat::Tar},
      {".lib", ArchiveFormat::Tar}, {".deb", ArchiveFormat::Tar},  {".rpm", ArchiveFormat::Tar},
      {".cpio", ArchiveFormat::Tar}, {".gz", ArchiveFormat::Tar},  {".z", ArchiveFormat::Tar},
      {".tgz", ArchiveFormat::Tar}, {".taz", ArchiveFormat::Tar},  {".tz", ArchiveFormat::Tar},
      {".bz2", ArchiveFormat::Tar}, {".rar", ArchiveFormat::Rar},  {".gza", ArchiveFormat::Bga},
      {".bza", ArchiveFormat::Bga}, {".yz1", ArchiveFormat::Yz1},  {".7z", ArchiveFormat::SevenZip},
      // Extended ZIP; compressed tars by their short names and by the last
      // part of their long ones (a.tar.xz).
      {".zipx", ArchiveFormat::Zip}, {".tbz", ArchiveFormat::Tar}, {".tbz2", ArchiveFormat::Tar},
      {".txz", ArchiveFormat::Tar},  {".tlz", ArchiveFormat::Tar}, {".tzst", ArchiveFormat::Tar},
      {".xz", ArchiveFormat::Tar},   {".lz", ArchiveFormat::Tar},  {".lzma", ArchiveFormat::Tar},
      {".zst", ArchiveFormat::Tar},
  };
  for (const Row& row : kTable)
    if (ext == row.ext) return row.format;
  return ArchiveFormat::None;
}

// Whether the archive is a single compressed file (a.txt.gz), read raw.
bool SingleCompressedFile(const std::string& path) {
  const std::string ext = LowerExtension(path);
  return ext == ".gz" || ext == ".bz2" || ext == ".z" || ext == ".xz" || ext == ".lz" || ext == ".lzma" || ext == ".zst";
}

// libarchive converts names into the thread's locale charset: reading in a
// UTF-8 one gives UTF-8 names whatever the program's locale is (the C
// locale would lose every non-ASCII name). The locale is made once and
// kept: an archive's reader process must not take the locale lock, which
// another thread may have held when it was forked.
locale_t Utf8Locale() {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return utf8;
}

class Utf8NamesScope {
 public:
  Utf8NamesScope() : utf8_(Utf8Locale()) {
    if (utf8_) old_ = uselocale(utf8_);
  }
  ~Utf8NamesScope() {
    if (utf8_) uselocale(old_);
  }
  Utf8NamesScope(const Utf8NamesScope&) = delete;
  Utf8NamesScope& operator=(const Utf8NamesScope&) = delete;

 private:
  locale_t utf8_;
  locale_t old_ = static_cast<locale_t>(0);
};

struct ReadDeleter {
  void operator()(struct archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<struct archive, ReadDeleter>;

// A libarchive reader for the format, or null when libarchive lacks it.
ArchivePtr NewReader(ArchiveFormat format, bool raw) {
  ArchivePtr a(archive_read_new());
  archive_read_support_filter_all(a.get());
  int r = ARCHIVE_FATAL;
  switch (format) {
    // Names without a UTF-8 mark in LZH and ZIP archives are Shift-JIS, as
    // Japanese archivers write them.
    case ArchiveFormat::Lha:
      r = archive_read_support_format_lha(a.get());
      if (r == ARCHIVE_OK) archive_read_set_format_option(a.get(), "lha", "hdrcharset", "CP932");
      break;
    case ArchiveFormat::Zip:
      r = archive_read_support_format_zip(a.get());
      if (r == ARCHIVE_OK) archive_read_set_format_option(a.get(), "zip", "hdrcharset", "CP932");
      break;
    case ArchiveFormat::Cab: r = archive_read_support_format_cab(a.get()); break;
    case ArchiveFormat::Rar:
      r = archive_read_support_format_rar(a.get());
      if (r == ARCHIVE_OK) archive_read_support_format_rar5(a.get());
      break;
    case ArchiveFormat::SevenZip: r = archive_read_support_format_7zip(a.get()); break;
    case ArchiveFormat::Tar:
      r = archive_read_support_format_tar(a.get());
      archive_read_support_format_cpio(a.get());
      archive_read_support_format_ar(a.get());
      if (raw) archive_read_support_format_raw(a.get());
      break;
    default: break;
  }
  if (r != ARCHIVE_OK) return nullptr;
  return a;
}

// ---- ARJ: headers read here, members extracted by the arj program.

struct ArjEntry {
  std::string name;
  int number = 0;  // 1-based place among the archive's entries, as arj counts them
  int64_t mtime = 0;
  int64_t size = 0;
  bool file = false;
};

int64_t DosTime(uint32_t t) {
  std::tm tm{};
  tm.tm_year = static_cast<int>((t >> 25) & 0x7F) + 80;
  tm.tm_mon = static_cast<int>((t >> 21) & 0x0F) - 1;
  tm.tm_mday = static_cast<int>((t >> 16) & 0x1F);
  tm.tm_hour = static_cast<int>((t >> 11) & 0x1F);
  tm.tm_min = static_cast<int>((t >> 5) & 0x3F);
  tm.tm_sec = static_cast<int>(t & 0x1F) * 2;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

class ArjFile {
 public:
  explicit ArjFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
    if (fd_ < 0) throw EArchive(std::string("書庫を開けません: ") + std::strerror(errno));
  }
  ~ArjFile() { ::close(fd_); }

  // Finds the main header (after a self-extractor's stub, if any); false
  // when the file holds none.
  bool FindMain() {
    char buf[4096];
    for (int64_t at = 0; at < (int64_t{1} << 20);) {
      const ssize_t n = ::pread(fd_, buf, sizeof buf, at);
      if (n < 4) return false;
      const std::string_view got(buf, static_cast<size_t>(n));
      for (ssize_t i = 0; i + 3 < n; ++i) {
        if (got[i] != '\x60' || got[i + 1] != '\xEA') continue;
        const uint16_t size = Le16(got, i + 2);
        unsigned char head[16];
        if (size < 30 || size > 2600 || ::pread(fd_, head, sizeof head, at + i + 4) != sizeof head) continue;
        if (head[6] != 2) continue;  // not the main header
        pos_ = at + i;
        if (!Skip(nullptr)) return false;
        return true;
      }
      at += n - 3;
    }
    return false;
  }

  // The next local header; false at the end or at damage.
  bool Next(ArjEntry& entry) {
    if (!Skip(&entry)) return false;
    entry.number = ++count_;
    return true;
  }

 private:
  // Reads the header at pos_ (and, for a local one, skips its data).
  bool Skip(ArjEntry* entry) {
    char id[4];
    if (::pread(fd_, id, 4, pos_) != 4 || id[0] != '\x60' || id[1] != '\xEA') return false;
    const uint16_t size = Le16(std::string_view(id, 4), 2);
    if (size == 0 || size > 2600) return false;
    std::string head(size, '\0');
    if (::pread(fd_, head.data(), size, pos_ + 4) != size) return false;
    int64_t at = pos_ + 4 + size + 4;
    for (int guard = 0; guard < 64; ++guard) {  // extended headers
      char ext[2];
      if (::pread(fd_, ext, 2, at) != 2) return false;
      const uint16_t ext_size = Le16(std::string_view(ext, 2), 0);
      at += 2;
      if (ext_size == 0) break;
      at += ext_size + 4;
    }
    if (entry) {
      const size_t first = static_cast<unsigned char>(head[0]);
      const std::optional<uint32_t> time = ReadLe32(head, 8), packed = ReadLe32(head, 12),
                                    original = ReadLe32(head, 16);
      if (first < 20 || first >= size || !time || !packed || !original) return false;
      entry->file = head[6] == 0 || head[6] == 1;
      entry->mtime = DosTime(*time);
      entry->size = *original;
      const char* name = head.data() + first;
      entry->name.assign(name, strnlen(name, size - first));
      at += *packed;  // the compressed data
    }
    pos_ = at;
    return true;
  }

  int fd_;
  int64_t pos_ = 0;
  int count_ = 0;
};

bool ProgramOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path && *path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string candidate = (end > start ? dirs.substr(start, end - start) : ".") + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Runs argv with its output thrown away; its exit status, or -1.
int RunQuietly(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  // A group of its own, killed with the others when this process is told to
  // end; signals as a fresh program has them.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  // In an archive's reader process it stays in the reader's group, which
  // the program kills as a whole when the reader stalls.
  posix_spawnattr_setpgroup(&attr, 0);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (!InArchiveReaderProcess()) flags |= POSIX_SPAWN_SETPGROUP;
  posix_spawnattr_setflags(&attr, flags);
  pid_t pid;
  // An archive's reader process was forked with the hold taken: it is
  // ended with its group instead.
  std::unique_lock<std::mutex> starting;
  if (!InArchiveReaderProcess()) starting = ChildGroups::HoldOffEnd();
  const int r = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (r != 0) return -1;
  ChildGroups::Add(pid);
  if (starting.owns_lock()) starting.unlock();
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ChildGroups::Remove(pid);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Extracts one ARJ member with the arj program into a private staging
// folder, then moves it to its place. No name from the archive reaches arj's
// command line: the member is chosen by its number (-#), "--" ends the
// switches before the archive's own path, and -+ keeps switches out of the
// environment (ARJ_SW). A name there would be read as a switch ("-ht" moves
// the output anywhere, "-hc" runs a command), a list file ("!") or a
// wildcard. The one file arj leaves must bear the member's name, or nothing
// is adopted.
void ExtractArj(const std::string& archive, const ArjEntry& entry, const std::string& safe, const ExtractLimits& limits,
                MemberWriter& writer) {
  if (static_cast<uint64_t>(entry.size) > limits.member_bytes) throw EArchive(kMemberTooLarge);
  const std::string staging = writer.MakeStagingFolder();
  const int status = RunQuietly(ArjExtractArguments(archive, staging, entry.number));
  // arj writes the stored name after its last '/' as it stands: a '\' in it
  // (a leading one, or the trail byte of a Shift-JIS character) is a byte
  // of the name.
  writer.AdoptStaged(staging, FileNameOf(entry.name), safe, status == 0);
}

void VisitArj(const std::string& path, const std::string& dest, ArchiveVisitor& visitor, const ExtractLimits& limits) {
  if (!ProgramOnPath("arj")) throw EArchive(kArchiveFormatUnknown);
  ArjFile arj(path);
  if (!arj.FindMain()) throw EArchive("ARJ 書庫ではありません。");
  MemberWriter writer(dest, limits);
  ArjEntry e;
  while (!visitor.Stop() && arj.Next(e)) {
    if (!e.file) continue;
    ArchiveMember member{SafeMemberPath(e.name), e.mtime, e.size};
    if (member.path.empty()) member.path = DisplayMemberName(e.name);
    if (!visitor.Wanted(member)) continue;
    try {
      if (SafeMemberPath(e.name).empty()) throw EArchive(kUnsafeMemberName);
      ExtractArj(path, e, member.path, limits, writer);
      visitor.Extracted(member, writer.LastFile());
    } catch (const EArchive& error) {
      visitor.Failed(member, error.what());
      if (writer.ArchiveLimitReached()) return;
    }
  }
}

// ---- libarchive.

bool UnderAnyOf(const std::string& path, const std::vector<std::string>& folders) {
  for (const std::string& f : folders)
    if (!f.empty() && path.size() > f.size() && path.compare(0, f.size(), f) == 0 && path[f.size()] == '/') return true;
  return false;
}

// libarchive's reason, one line (some of its texts end in a line break).
std::string ErrorText(struct archive* a) {
  std::string why = archive_error_string(a) ? archive_error_string(a) : "";
  while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
  return why;
}

std::string StoredName(struct archive_entry* entry) {
  if (const char* raw = archive_entry_pathname(entry)) return raw;
  if (const char* utf8 = archive_entry_pathname_utf8(entry)) return utf8;
  return "";
}

// UTF-8 text of code points below 256 back to the bytes they stand for.
std::string Latin1Bytes(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// The stored bytes of every entry's name. A name in a legacy charset
// without the archive's UTF-8 mark (a zip's EUC-JP name, say) cannot be
// converted to UTF-8, and libarchive gives no name at all: read as Latin-1,
// which takes every byte, it comes back as the bytes it is.
std::vector<std::string> StoredNameBytes(const std::string& path, ArchiveFormat format, bool raw) {
  std::vector<std::string> names;
  ArchivePtr a = NewReader(format, raw);
  if (!a) return names;
  archive_read_set_options(a.get(), "hdrcharset=ISO-8859-1");
  if (archive_read_open_filename(a.get(), path.c_str(), 1 << 16) != ARCHIVE_OK) return names;
  struct archive_entry* entry = nullptr;
  for (int r; (r = archive_read_next_header(a.get(), &entry)) != ARCHIVE_EOF && r != ARCHIVE_FATAL;) {
    if (r == ARCHIVE_RETRY) continue;
    const char* name = archive_entry_pathname(entry);
    names.push_back(name ? Latin1Bytes(name) : "");
  }
  return names;
}

void VisitLibarchive(const std::string& path, ArchiveFormat format, const std::string& dest, ArchiveVisitor& visitor,
                     const ExtractLimits& limits) {
  const bool raw = format == ArchiveFormat::Tar && SingleCompressedFile(path);
  Utf8NamesScope utf8_names;
  ArchivePtr a = NewReader(format, raw);
  if (!a) throw EArchive(kArchiveFormatUnknown);
  if (archive_read_open_filename(a.get(), path.c_str(), 1 << 16) != ARCHIVE_OK)
    throw EArchive("書庫を開けません: " + ErrorText(a.get()));
  MemberWriter writer(dest, limits);
  bool any = false;
  std::vector<std::string> links;  // members that are links: nothing is extracted through them
  std::vector<std::string> name_bytes;  // read only when a name cannot be converted
  bool name_bytes_read = false;
  for (size_t index = 0; !visitor.Stop(); ++index) {
    struct archive_entry* entry = nullptr;
    const int r = archive_read_next_header(a.get(), &entry);
    if (r == ARCHIVE_EOF) break;
    if (r == ARCHIVE_RETRY) {
      --index;  // no entry: the same index again
      continue;
    }
    if (r == ARCHIVE_FATAL) {
      const std::string why = ErrorText(a.get());
      if (!any) throw EArchive("書庫を読めません: " + why);
      throw EArchive("書庫が壊れています: " + why);
    }
    any = true;
    std::string stored = StoredName(entry);
    if (stored.empty()) {
      if (!name_bytes_read) name_bytes = StoredNameBytes(path, format, raw);
      name_bytes_read = true;
      if (index < name_bytes.size()) stored = name_bytes[index];
    }
    if (archive_entry_filetype(entry) == AE_IFLNK) links.push_back(SafeMemberPath(stored));
    if (archive_entry_filetype(entry) != AE_IFREG) continue;
    if (raw && (stored.empty() || stored == "data")) stored = WithoutLastExtension(BaseName(path));
    ArchiveMember member{SafeMemberPath(stored), archive_entry_mtime(entry),
                         archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1};
    const bool safe = !member.path.empty() && !UnderAnyOf(member.path, links);
    if (member.path.empty()) member.path = DisplayMemberName(stored);
    if (!visitor.Wanted(member)) continue;
    try {
      if (!safe) throw EArchive(kUnsafeMemberName);
      // The file is made with the first byte: a member that turns out
      // empty needs none, unless the visitor wants one.
      bool begun = visitor.EmptyNeedsFile(member);
      if (begun) writer.Begin(member.path);
      const void* block;
      size_t size;
      la_int64_t offset;
      int d;
      while ((d = archive_read_data_block(a.get(), &block, &size, &offset)) == ARCHIVE_OK) {
        if (!begun && size == 0) continue;
        if (!begun) writer.Begin(member.path);
        begun = true;
        writer.Write(block, size, static_cast<uint64_t>(offset));
        visitor.Progress();
      }
      if (d != ARCHIVE_EOF) {
        const std::string why = ErrorText(a.get());
        writer.Abandon();
        throw EArchive("展開できません: " + why);
      }
      // A sparse member's last hole comes as no block: its size says where it ends.
      if (member.size > 0) {
        if (!begun) writer.Begin(member.path);
        begun = true;
        writer.Write("", 0, static_cast<uint64_t>(member.size));
      }
      if (!begun) {
        visitor.Extracted(member, "");
        continue;
      }
      writer.Finish();
      visitor.Extracted(member, writer.LastFile());
    } catch (const EArchive& error) {
      writer.Abandon();
      visitor.Failed(member, error.what());
      if (writer.ArchiveLimitReached()) return;
    }
  }
}

ArchiveFormat SelfExtractingFormat(const std::string& path) {
  Utf8NamesScope utf8_names;
  for (ArchiveFormat f : {ArchiveFormat::Lha, ArchiveFormat::Cab, ArchiveFormat::Zip, ArchiveFormat::Arj,
                          ArchiveFormat::Rar, ArchiveFormat::Tar}) {
    if (f == ArchiveFormat::Arj) {
      try {
        if (ProgramOnPath("arj") && ArjFile(path).FindMain()) return f;
      } catch (const EArchive&) {
      }
      continue;
    }
    ArchivePtr a = NewReader(f, false);
    if (!a || archive_read_open_filename(a.get(), path.c_str(), 1 << 16) != ARCHIVE_OK) continue;
    struct archive_entry* entry;
    if (archive_read_next_header(a.get(), &entry) == ARCHIVE_OK) return f;
  }
  return ArchiveFormat::None;
}

}  // namespace

std::vector<std::string> ArjExtractArguments(const std::string& archive, const std::string& staging, int number) {
  return {"arj", "e", "-+", "-y", "-#", "--", archive, staging + "/", std::to_string(number)};
}

ArchiveFormat ArchiveFormatOf(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == ".exe") return SelfExtractingFormat(path);
  return FormatByExtension(ext);
}

bool ArchiveFormatAvailable(ArchiveFormat format) {
  if (format == ArchiveFormat::Arj) return ProgramOnPath("arj");
  return NewReader(format, false) != nullptr;
}

void VisitArchive(const std::string& path, const std::string& dest_folder, ArchiveVisitor& visitor,
                  const ExtractLimits& limits) {
  // A format this program cannot read needs no reader process.
  const ArchiveFormat format = LowerExtension(path) == ".exe" ? ArchiveFormat::Zip : FormatByExtension(LowerExtension(path));
  if (format == ArchiveFormat::None || format == ArchiveFormat::Bga || format == ArchiveFormat::Yz1)
    throw EArchive(kArchiveFormatUnknown);
  VisitArchiveInReaderProcess(path, dest_folder, visitor, limits);
}

void VisitArchiveInProcess(const std::string& path, const std::string& dest_folder, ArchiveVisitor& visitor,
                           const ExtractLimits& limits) {
  const ArchiveFormat format = ArchiveFormatOf(path);
  switch (format) {
    case ArchiveFormat::None:
    case ArchiveFormat::Bga:
    case ArchiveFormat::Yz1:
      throw EArchive(kArchiveFormatUnknown);
    case ArchiveFormat::Arj:
      VisitArj(path, dest_folder, visitor, limits);
      return;
    default:
      VisitLibarchive(path, format, dest_folder, visitor, limits);
  }
}

void PrepareArchiveReaders() {
  Utf8Locale();
  // This thread's converters (member names read as Shift-JIS).
  Cp932ToUtf8("\x95\x5C");
}

std::string ExtractArchiveMember(const std::string& path, const std::string& member, const std::string& dest_folder,
                                 const ExtractLimits& limits) {
  struct One : ArchiveVisitor {
    const std::string& wanted;
    std::string file, failure;
    bool done = false;
    explicit One(const std::string& w) : wanted(w) {}
    bool Wanted(const ArchiveMember& m) override { return !done && m.path == wanted; }
    void Extracted(const ArchiveMember&, const std::string& f) override {
      file = f;
      done = true;
    }
    void Failed(const ArchiveMember&, const std::string& reason) override {
      failure = reason;
      done = true;
    }
    bool Stop() const override { return done; }
  } one(member);
  VisitArchive(path, dest_folder, one, limits);
  if (!one.failure.empty()) throw EArchive(one.failure);
  if (one.file.empty()) throw EArchive(member + " is not found");
  return one.file;
}

}  // namespace lorvek
