// One archive, one reader process. The archive readers (libarchive, the arj
// program) meet hostile bytes, and some of their bugs never end: a damaged
// RAR5 file that spins for ever, a stream whose output keeps growing. The
// reader runs in a forked child with bounds on its memory, processor time
// and file size; it tells this process of each member over a socket and
// waits for its answer, so members are still searched one at a time, here,
// in stored order, and the abort command still acts between members. A
// reader that goes silent too long is killed with its process group.
//
// The child is forked without exec: the program may hold other threads (the
// read-ahead workers, the terminal-signal thread, a toolkit's), so the child
// must not need a lock one of them held at the fork. It uses the C library's
// allocator (made safe across fork by the C library itself), system calls,
// and libarchive with zlib and friends, which keep no locks of their own.
// What would take a library-wide lock is made in the parent before the fork
// (the UTF-8 locale, this thread's name converters); libarchive's own
// charset converter is opened in the child, and should a worker hold the
// converter table's lock at that very moment, the watchdog turns the stall
// into an error for that archive. Starting the program anew (exec with a
// hidden mode) would avoid even that, but every program and test binary
// that reads archives would need the mode in its main().
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "sources/archive_child.h"
#include "sources/child_groups.h"

namespace lorvek {
namespace {

std::atomic<int64_t> g_stall_ms{kArchiveStallLimit.count()};
bool g_in_reader = false;

// ---- Messages from the reader: a type byte, then its fields.
enum : char {
  kProgress = 'P',   // none
  kWanted = 'W',     // member; answered kYes, kNo or kStop
  kExtracted = 'E',  // member, file; answered kNext or kStop
  kFailed = 'F',     // member, reason; answered kNext or kStop
  kError = 'X',      // reason: the archive cannot be read; the reader ends
  kDone = 'D',       // the reader ends
};
// Answers from this process.
enum : char { kYes = 'y', kYesNoEmptyFile = 'e', kNo = 'n', kNext = 'n', kStop = 's' };

constexpr uint32_t kMaxField = 16u << 20;
constexpr int kReaderFd = 3;

void PutString(std::string& out, const std::string& s) {
  const uint32_t n = static_cast<uint32_t>(std::min<size_t>(s.size(), kMaxField));
  out.append(reinterpret_cast<const char*>(&n), sizeof n);
  out.append(s, 0, n);
}

void PutInt(std::string& out, int64_t v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); }

void PutMember(std::string& out, const ArchiveMember& m) {
  PutString(out, m.path);
  PutInt(out, m.mtime);
  PutInt(out, m.size);
}

// ---- The reader's side.

class ReaderSide : public ArchiveVisitor {
 public:
  void Send(const std::string& message) {
    const char* p = message.data();
    size_t left = message.size();
    while (left > 0) {
      const ssize_t n = ::send(kReaderFd, p, left, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) _exit(1);  // the program is gone
      p += n;
      left -= static_cast<size_t>(n);
    }
    ::clock_gettime(CLOCK_MONOTONIC, &last_sent_);
  }

  bool Wanted(const ArchiveMember& member) override {
    std::string m(1, kWanted);
    PutMember(m, member);
    Send(m);
    const char answer = Answer();
    empty_needs_file_ = answer == kYes;
    return answer == kYes || answer == kYesNoEmptyFile;
  }
  bool EmptyNeedsFile(const ArchiveMember&) override { return empty_needs_file_; }
  void Extracted(const ArchiveMember& member, const std::string& file) override {
    std::string m(1, kExtracted);
    PutMember(m, member);
    PutString(m, file);
    Send(m);
    Answer();
  }
  void Failed(const ArchiveMember& member, const std::string& reason) override {
    std::string m(1, kFailed);
    PutMember(m, member);
    PutString(m, reason);
    Send(m);
    Answer();
  }
  bool Stop() const override { return stop_; }
  void Progress() override {
    timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t ms = (now.tv_sec - last_sent_.tv_sec) * 1000 + (now.tv_nsec - last_sent_.tv_nsec) / 1'000'000;
    if (ms >= 200) Send(std::string(1, kProgress));
  }

 private:
  char Answer() {
    char c = 0;
    for (;;) {
      const ssize_t n = ::recv(kReaderFd, &c, 1, 0);
      if (n == 1) break;
      if (n < 0 && errno == EINTR) continue;
      _exit(1);
    }
    if (c == kStop) stop_ = true;
    return c;
  }

  bool stop_ = false;
  bool empty_needs_file_ = true;
  timespec last_sent_{};
};

// LORVEK_TEST_ARCHIVE_HANG makes the reader misbehave as a broken archive
// can, for the tests of the bounds: "spin" never returns, "cpu" spins with
// one second of processor time allowed, "grow" takes memory without end,
// "crash" dies of a signal, "fds" fails naming the descriptors it holds,
// "sleeper:FILE" leaves a child of its own running (its pid in FILE) and
// reads the archive as usual.
void MisbehaveIfAsked() {
  const char* how = std::getenv("LORVEK_TEST_ARCHIVE_HANG");
  if (!how) return;
  if (std::strcmp(how, "cpu") == 0) {
    rlimit one{1, 1000};
    ::getrlimit(RLIMIT_CPU, &one);
    one.rlim_cur = 1;
    ::setrlimit(RLIMIT_CPU, &one);
  }
  if (std::strcmp(how, "spin") == 0 || std::strcmp(how, "cpu") == 0) {
    volatile uint64_t n = 0;
    for (;;) n = n + 1;
  }
  if (std::strcmp(how, "crash") == 0) ::raise(SIGSEGV);
  if (std::strncmp(how, "sleeper:", 8) == 0) {  // leaves a child behind, its pid in the file named
    const pid_t sleeper = ::fork();
    if (sleeper == 0) {
      for (;;) ::pause();
    }
    const std::string pid = std::to_string(sleeper);
    if (const int fd = ::open(how + 8, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600); fd >= 0) {
      if (::write(fd, pid.data(), pid.size())) {
      }
      ::close(fd);
    }
    return;
  }
  if (std::strcmp(how, "fds") == 0) {  // the descriptors it holds, as its error
    std::string open;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
      while (const dirent* e = ::readdir(dir))
        if (e->d_name[0] != '.' && std::atoi(e->d_name) != ::dirfd(dir)) open += std::string(open.empty() ? "" : " ") + e->d_name;
      ::closedir(dir);
    }
    throw EArchive(open);
  }
  if (std::strcmp(how, "grow") == 0) {
    // Address space only (never touched): the bound is on that.
    for (int i = 0; i < (1 << 20); ++i) static_cast<void>(::operator new(size_t{64} << 20));
    throw EArchive("no bound on memory");
  }
}

struct ReaderBounds {
  rlimit address_space;
  rlimit cpu;
  rlimit file_size;
};

rlim_t Clip(rlim_t wanted, int resource) {
  rlimit now{};
  if (::getrlimit(resource, &now) == 0 && now.rlim_max != RLIM_INFINITY && now.rlim_max < wanted) return now.rlim_max;
  return wanted;
}

// The bounds, worked out before the fork: the address space the program
// already holds (all of it is the child's too) plus the readers' share.
ReaderBounds BoundsFor(const ExtractLimits& limits) {
  uint64_t held = 0;
  if (const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC); fd >= 0) {
    char buf[64] = {};
    if (::read(fd, buf, sizeof buf - 1) > 0) held = std::strtoull(buf, nullptr, 10) * uint64_t(::sysconf(_SC_PAGESIZE));
    ::close(fd);
  }
  const rlim_t as = Clip(static_cast<rlim_t>(held + kArchiveMemoryBytes), RLIMIT_AS);
  const rlim_t cpu = Clip(kArchiveCpuSeconds, RLIMIT_CPU);
  const rlim_t cpu_hard = Clip(kArchiveCpuSeconds + 10, RLIMIT_CPU);
  // Nothing past the member bound reaches the disk, whoever writes it.
  const rlim_t fsize = Clip(static_cast<rlim_t>(limits.member_bytes + 1), RLIMIT_FSIZE);
  return {{as, as}, {cpu, cpu_hard}, {fsize, fsize}};
}

[[noreturn]] void RunReader(int channel, int null_fd, pid_t parent, const ReaderBounds& bounds,
                            const std::string& path, const std::string& dest, const ExtractLimits& limits) {
  g_in_reader = true;
  ::setpgid(0, 0);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) _exit(1);
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXCPU, SIGCHLD}) ::signal(sig, SIG_DFL);
  ::signal(SIGXFSZ, SIG_IGN);  // a write past the bound fails; the member is refused
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  // Only the socket to the program (as fd 3) and /dev/null for 0 to 2.
  const int keep = ::fcntl(channel, F_DUPFD, kReaderFd);
  if (keep < 0 || null_fd < 0) _exit(1);
  for (int fd = 0; fd < 3; ++fd) ::dup2(null_fd, fd);
  if (keep != kReaderFd && ::dup2(keep, kReaderFd) != kReaderFd) _exit(1);
  ::close_range(kReaderFd + 1, ~0u, 0);
  ::fcntl(kReaderFd, F_SETFD, FD_CLOEXEC);  // not for the arj program
  const rlimit no_core{0, 0};
  if (::setrlimit(RLIMIT_AS, &bounds.address_space) != 0 || ::setrlimit(RLIMIT_CPU, &bounds.cpu) != 0 ||
      ::setrlimit(RLIMIT_FSIZE, &bounds.file_size) != 0)
    _exit(1);
  ::setrlimit(RLIMIT_CORE, &no_core);

  ReaderSide side;
  std::string end(1, kDone);
  try {
    MisbehaveIfAsked();
    VisitArchiveInProcess(path, dest, side, limits);
  } catch (const std::bad_alloc&) {
    end = std::string(1, kError);
    PutString(end, kArchiveReaderOutOfMemory);
  } catch (const std::exception& e) {
    end = std::string(1, kError);
    PutString(end, e.what());
  } catch (...) {
    end = std::string(1, kError);
    PutString(end, "不明なエラー");
  }
  side.Send(end);
  _exit(0);  // none of the program's exit handlers: they are the program's
}

// ---- The program's side.

// Why a reader ended without saying so.
std::string DeathReason(int status) {
  if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    if (sig == SIGXCPU) return kArchiveReaderCpu;
    return std::string(kArchiveReaderDied) + ": " + strsignal(sig);
  }
  if (WIFEXITED(status)) return std::string(kArchiveReaderDied) + ": 終了コード " + std::to_string(WEXITSTATUS(status));
  return kArchiveReaderDied;
}

struct StopVisit {};

class ReaderProcess {
 public:
  ReaderProcess(pid_t pid, int channel, ArchiveVisitor& visitor)
      : pid_(pid), fd_(channel), visitor_(visitor), last_(std::chrono::steady_clock::now()) {}
  ~ReaderProcess() { Kill(); }
  ReaderProcess(const ReaderProcess&) = delete;
  ReaderProcess& operator=(const ReaderProcess&) = delete;

  // The next message's type; 0 when the reader is gone. Raises StopVisit
  // when the visitor stops while waiting, EArchive when the reader stalls.
  char Next() {
    if (!Fill(1)) return 0;
    return buf_[pos_++];
  }
  std::string String() {
    uint32_t n = 0;
    Take(&n, sizeof n);
    if (n > kMaxField) throw EArchive(kArchiveReaderDied);
    std::string s(n, '\0');
    Take(s.data(), n);
    return s;
  }
  ArchiveMember Member() {
    ArchiveMember m;
    m.path = String();
    Take(&m.mtime, sizeof m.mtime);
    Take(&m.size, sizeof m.size);
    return m;
  }
  void Answer(char c) {
    for (;;) {
      const ssize_t n = ::send(fd_, &c, 1, MSG_NOSIGNAL);
      if (n == 1 || (n < 0 && errno != EINTR)) return;  // a reader gone is seen at the next read
    }
  }

  // Waits for the reader's end; its wait status. Whatever it left in its
  // group goes with it.
  int Reap() {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    ::kill(-pid_, SIGKILL);  // the leader is not reaped yet: the group is still ours
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    Forget();
    return status;
  }

  void Kill() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    int status;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    Forget();
  }

 private:
  void Forget() {
    ChildGroups::Remove(pid_);
    pid_ = -1;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  void Take(void* out, size_t n) {
    if (!Fill(n)) throw EArchive(DeathReason(Reap()));
    std::memcpy(out, buf_.data() + pos_, n);
    pos_ += n;
  }

  bool Fill(size_t need) {
    if (pos_ > 0 && pos_ == buf_.size()) {
      buf_.clear();
      pos_ = 0;
    }
    while (buf_.size() - pos_ < need) {
      pollfd p{fd_, POLLIN, 0};
      const int r = ::poll(&p, 1, 20);
      if (r < 0 && errno != EINTR) return false;
      if (r > 0) {
        char chunk[4096];
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
          buf_.append(chunk, static_cast<size_t>(n));
          last_ = std::chrono::steady_clock::now();
          continue;
        }
        if (n == 0 || (errno != EINTR && errno != EAGAIN)) return false;
        continue;
      }
      visitor_.Waiting();
      if (visitor_.Stop()) throw StopVisit{};
      const auto stall = std::chrono::milliseconds(g_stall_ms.load());
      if (std::chrono::steady_clock::now() - last_ > stall) {
        Kill();
        throw EArchive(kArchiveReaderStalled + std::string(" (") + std::to_string((stall.count() + 999) / 1000) + " 秒)");
      }
    }
    return true;
  }

  pid_t pid_;
  int fd_;
  ArchiveVisitor& visitor_;
  std::chrono::steady_clock::time_point last_;
  std::string buf_;
  size_t pos_ = 0;
};

}  // namespace

void SetArchiveStallLimit(std::chrono::milliseconds limit) { g_stall_ms = limit.count(); }

bool InArchiveReaderProcess() { return g_in_reader; }

void VisitArchiveInReaderProcess(const std::string& path, const std::string& dest_folder, ArchiveVisitor& visitor,
                                 const ExtractLimits& limits) {
  if (visitor.Stop()) return;
  // Everything the child needs is made before the fork.
  const ReaderBounds bounds = BoundsFor(limits);
  PrepareArchiveReaders();
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
    throw EArchive(std::string(kArchiveReaderNotStarted) + ": " + std::strerror(errno));
  const int null_fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t parent = ::getpid();
  auto starting = ChildGroups::HoldOffEnd();
  const pid_t pid = ::fork();
  if (pid == 0) RunReader(pair[1], null_fd, parent, bounds, path, dest_folder, limits);
  const int fork_error = errno;
  ::close(pair[1]);
  if (null_fd >= 0) ::close(null_fd);
  if (pid < 0) {
    ::close(pair[0]);
    throw EArchive(std::string(kArchiveReaderNotStarted) + ": " + std::strerror(fork_error));
  }
  // Set from here too, so that the group exists whichever side runs first.
  ::setpgid(pid, pid);
  ChildGroups::Add(pid);
  starting.unlock();
  ReaderProcess reader(pid, pair[0], visitor);
  try {
    for (;;) {
      switch (reader.Next()) {
        case kProgress:
          break;
        case kWanted: {
          const ArchiveMember member = reader.Member();
          if (!visitor.Wanted(member)) reader.Answer(kNo);
          else reader.Answer(visitor.EmptyNeedsFile(member) ? kYes : kYesNoEmptyFile);
          break;
        }
        case kExtracted: {
          const ArchiveMember member = reader.Member();
          visitor.Extracted(member, reader.String());
          if (visitor.Stop()) return;  // the reader waits between members: it is killed
          reader.Answer(kNext);
          break;
        }
        case kFailed: {
          const ArchiveMember member = reader.Member();
          visitor.Failed(member, reader.String());
          if (visitor.Stop()) return;
          reader.Answer(kNext);
          break;
        }
        case kError: {
          const std::string reason = reader.String();
          reader.Reap();
          throw EArchive(reason);
        }
        case kDone:
          reader.Reap();
          return;
        case 0:  // gone without a word
          throw EArchive(DeathReason(reader.Reap()));
        default:
          reader.Kill();
          throw EArchive(kArchiveReaderDied);
      }
    }
  } catch (const StopVisit&) {
  }
}

}  // namespace lorvek
