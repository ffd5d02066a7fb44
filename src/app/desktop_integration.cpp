#include "app/desktop_integration.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "sources/filter_source.h"
#include "text/file_bytes.h"
#include "text/path_names.h"

namespace lorvek {
namespace {

// Every file we write carries this line, so that only ours are removed.
constexpr char kMark[] = "Lorvek file-manager integration";

std::string DataHome() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data) return data;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/share";
}

struct IntegrationFile {
  std::string path;
  std::string text;
  mode_t mode;
};

// A value for a desktop entry's Exec key: the program quoted as desktop
// entries require (double quotes, with \ " ` $ escaped).
std::string ExecQuote(const std::string& program) {
  std::string out = "\"";
  for (char c : program) {
    if (c == '\\') out += "\\\\\\\\";  // four: string escape over quoting escape
    else if (c == '"' || c == '`' || c == '$') out += std::string("\\\\") + c;
    else out += c;
  }
  return out + "\"";
}

std::vector<IntegrationFile> Files(const std::string& program) {
  const std::string data = DataHome();
  const std::string exec = ExecQuote(program);
  return {
      {data + "/applications/lorvek.desktop",
       "[Desktop Entry]\n# " + std::string(kMark) +
           "\nType=Application\nName=Lorvek\nGenericName=Japanese text search\nComment=日本語テキストの検索と置換\n"
           "Exec=" + exec + " %F\nIcon=lorvek\nTerminal=false\nCategories=Utility;TextTools;\n"
           "MimeType=inode/directory;text/plain;\nStartupNotify=true\n",
       0644},
      {data + "/nautilus/scripts/LorvekでGrep...",
       "#!/bin/sh\n# " + std::string(kMark) +
           "\n# Nautilus gives the selected items' absolute paths one a line.\nif [ -n \"$NAUTILUS_SCRIPT_SELECTED_FILE_PATHS\" ]; then\n"
           "  set -f\n  IFS='\n'\n  set -- $NAUTILUS_SCRIPT_SELECTED_FILE_PATHS\nfi\nexec " + ShellQuote(program) + " \"$@\"\n",
       0755},
      {data + "/kio/servicemenus/lorvek-grep.desktop",
       "[Desktop Entry]\n# " + std::string(kMark) +
           "\nType=Service\nName=Lorvek\nX-KDE-ServiceTypes=KonqPopupMenu/Plugin\nMimeType=inode/directory;application/octet-stream;\n"
           "Actions=LorvekGrep;\n\n[Desktop Action LorvekGrep]\nName=LorvekでGrep...\nIcon=lorvek\nExec=" + exec + " %F\n",
       0755},
      {data + "/nemo/actions/lorvek-grep.nemo_action",
       "[Nemo Action]\n# " + std::string(kMark) + "\nName=LorvekでGrep...\nComment=Lorvek\nExec=" + exec +
           " %F\nIcon-Name=lorvek\nSelection=notnone\nExtensions=any;dir;\n",
       0644},
  };
}

bool Ours(const std::string& path) {
  try {
    return ReadFileBytes(path).find(kMark) != std::string::npos;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::vector<std::string> IntegrationFiles() {
  std::vector<std::string> paths;
  for (const IntegrationFile& f : Files("lorvek")) paths.push_back(f.path);
  return paths;
}

bool IsIntegrationRegistered() { return PathExists(IntegrationFiles().front()); }

std::string RegisterIntegration(const std::string& program) {
  try {
    for (const IntegrationFile& f : Files(program)) {
      std::filesystem::create_directories(std::filesystem::path(f.path).parent_path());
      WriteFileAtomically(f.path, f.text);
      if (::chmod(f.path.c_str(), f.mode) != 0) return f.path + ": " + std::strerror(errno);
    }
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

std::string UnregisterIntegration() {
  std::string failure;
  for (const std::string& path : IntegrationFiles()) {
    if (!EntryExists(path)) continue;
    if (!Ours(path)) continue;  // someone else's file of the same name stays
    if (::unlink(path.c_str()) != 0) failure = path + ": " + std::strerror(errno);
  }
  return failure;
}

}  // namespace lorvek
