#include "settings/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace lorvek {

std::string ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path dir = exe.parent_path();
    // An installed program (its share/lorvek beside its bin folder) is not
    // a portable copy, even for a user who may write to its folder (root).
    const bool installed = std::filesystem::exists(dir.parent_path() / "share" / "lorvek", ec);
    if (!installed && access(dir.c_str(), W_OK) == 0) return dir.string() + "/";
  }
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) base = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.config";
  else base = "/tmp";
  std::string dir = base + "/lorvek";
  std::filesystem::create_directories(dir, ec);
  return dir + "/";
}

}  // namespace lorvek
