#include "settings/program_folder.h"

#include "settings/own_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace lorvek {
namespace {

bool OwnedByUser(const std::string& folder) {
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && st.st_uid == geteuid();
}

}  // namespace

std::string ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path dir = exe.parent_path();
    // An installed program (its share/lorvek beside its bin folder) is not
    // a portable copy, even for a user who may write to its folder (root).
    const bool installed = std::filesystem::exists(dir.parent_path() / "share" / "lorvek", ec);
    // A folder somebody else may write (a shared tools folder) is no place
    // for files this user's runs read back and act on.
    if (!installed && access(dir.c_str(), W_OK) == 0 && OwnFolderDistrust(dir.string()).empty() &&
        OwnedByUser(dir.string()))
      return dir.string() + "/";
  }
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) base = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.config";
  else base = "/tmp";
  std::string dir = base + "/lorvek";
  std::filesystem::create_directories(base, ec);
  mkdir(dir.c_str(), 0700);  // the user's alone (an existing one is left as it is)
  return dir + "/";
}

}  // namespace lorvek
