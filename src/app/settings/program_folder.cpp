#include "app/settings/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace lorvek {

std::string ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    std::string dir = exe.parent_path().string();
    if (access(dir.c_str(), W_OK) == 0) return dir + "/";
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
