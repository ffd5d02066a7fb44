#include "test_util.h"

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <grp.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "text/cp932.h"

namespace lorvek::test {

std::string Sj(std::string_view utf8) { return Utf8ToCp932(utf8); }

std::string ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteBytes(const fs::path& p, std::string_view bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

fs::path FixturePath(std::string_view rel) { return fs::path(LORVEK_TEST_DATA) / rel; }

int RunWithoutPrivileges(const std::function<int()>& fn) {
  if (geteuid() != 0) return fn();
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const gid_t nobody_group = 65534;
    const uid_t nobody = 65534;
    if (setgroups(0, nullptr) != 0 || setresgid(nobody_group, nobody_group, nobody_group) != 0 ||
        setresuid(nobody, nobody, nobody) != 0)
      _exit(125);
    _exit(fn());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TempDir::TempDir() {
  static int counter = 0;
  std::random_device rd;
  path_ = fs::temp_directory_path() /
          ("lorvek-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(rd()));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

fs::path TempDir::Write(std::string_view rel, std::string_view bytes) const {
  fs::path p = path_ / rel;
  WriteBytes(p, bytes);
  return p;
}

EdgeOfPage::EdgeOfPage() : page_(static_cast<size_t>(sysconf(_SC_PAGESIZE))) {
  void* p = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::runtime_error("mmap failed");
  base_ = static_cast<char*>(p);
  if (mprotect(base_ + page_, page_, PROT_NONE) != 0) throw std::runtime_error("mprotect failed");
}

EdgeOfPage::~EdgeOfPage() { munmap(base_, 2 * page_); }

std::string_view EdgeOfPage::Put(std::string_view bytes) {
  char* at = Room(bytes.size());
  if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
  return std::string_view(at, bytes.size());
}

char* EdgeOfPage::Room(size_t n) {
  if (n > page_) throw std::length_error("more than a page");
  return base_ + page_ - n;
}

}  // namespace lorvek::test
