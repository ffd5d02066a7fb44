#include "view/editor_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sources/filter_source.h"
#include "text/path_names.h"

namespace lorvek {

std::string EditorArguments(const EditorSettings& s, const EditorHit& hit) {
  const std::string path = ShellQuote(PathArgument(hit.path));
  std::string args;
  if (s.editor_is == 0) {  // TEAD
    args = path + " " + s.editor_sw + std::to_string(hit.line);
    // The whole command line stays within 240 characters: marks are dropped
    // from the end, whole, and the quoted path and the line never are (a
    // cut inside the quotes would leave no command at all).
    std::vector<std::string> marks;
    size_t length = s.editor.size() + 1 + args.size();
    if (s.ed_add_mark)
      for (int line : hit.mark_lines) {
        marks.push_back(" /M" + std::to_string(line));
        length += marks.back().size();
      }
    while (!marks.empty() && length > 240) {
      length -= marks.back().size();
      marks.pop_back();
    }
    for (const std::string& m : marks) args += m;
    return args;
  }
  if (s.editor_is == 1)  // kmthNotePad
    return s.editor_sw + std::to_string(hit.line) + " /C " + std::to_string(hit.col - 1) + " /S " +
           std::to_string(hit.len) + " " + path;
  if (!s.editor_sw.empty()) args = s.editor_sw + std::to_string(hit.line);
  // The word is one argument after its switch, exactly as it is.
  if (s.ed_sendkeyw) args += " " + s.ed_keyw_sw + ShellQuote(hit.word);
  if (s.ed_send_col) args += " " + s.ed_col_sw + std::to_string(hit.col - 1);
  if (s.ed_sendkeyw_n) args += " " + s.ed_keyw_n_sw + std::to_string(hit.len);
  if (s.editor_sw_s == 0) args += " " + path;
  else args = path + " " + args;
  return args;
}

int EditorStartError(const std::string& editor) {
  struct stat st;
  if (stat(editor.c_str(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EACCES;
  if (access(editor.c_str(), X_OK) != 0) return errno;
  return 0;
}

std::string EditorCommandLine(const EditorSettings& s, const EditorHit& hit) {
  return ShellQuote(s.editor) + " " + EditorArguments(s, hit);
}

namespace {

std::string Env(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

std::vector<std::string> SplitColons(const std::string& s) {
  std::vector<std::string> out;
  std::stringstream in(s);
  std::string part;
  while (std::getline(in, part, ':'))
    if (!part.empty()) out.push_back(part);
  return out;
}

// The value of key in [section] of a desktop-style file, or "".
std::string IniValue(const std::string& file, const std::string& section, const std::string& key) {
  std::ifstream in(file);
  std::string line;
  bool in_section = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      in_section = line == "[" + section + "]";
      continue;
    }
    if (!in_section) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string k = line.substr(0, eq);
    while (!k.empty() && k.back() == ' ') k.pop_back();
    if (k == key) {
      std::string v = line.substr(eq + 1);
      while (!v.empty() && v.front() == ' ') v.erase(0, 1);
      return v;
    }
  }
  return "";
}

std::vector<std::string> ApplicationFolders() {
  std::vector<std::string> out{Env("XDG_DATA_HOME", Env("HOME", "") + "/.local/share") + "/applications"};
  for (const std::string& d : SplitColons(Env("XDG_DATA_DIRS", "/usr/local/share:/usr/share")))
    out.push_back(d + "/applications");
  return out;
}

std::optional<std::string> DesktopFile(const std::string& id) {
  for (const std::string& folder : ApplicationFolders()) {
    const std::string path = folder + "/" + id;
    if (PathExists(path)) return path;
  }
  return std::nullopt;
}

// The first entry of a ";"-separated list that names an existing file.
std::optional<std::string> FirstExisting(const std::string& list) {
  std::stringstream in(list);
  std::string id;
  while (std::getline(in, id, ';'))
    if (!id.empty())
      if (auto file = DesktopFile(id)) return file;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> DefaultDesktopEntry(const std::string& mime) {
  std::vector<std::string> lists{Env("XDG_CONFIG_HOME", Env("HOME", "") + "/.config") + "/mimeapps.list"};
  for (const std::string& d : SplitColons(Env("XDG_CONFIG_DIRS", "/etc/xdg"))) lists.push_back(d + "/mimeapps.list");
  for (const std::string& folder : ApplicationFolders()) lists.push_back(folder + "/mimeapps.list");
  for (const std::string& list : lists)
    if (auto file = FirstExisting(IniValue(list, "Default Applications", mime))) return file;
  for (const std::string& folder : ApplicationFolders())
    if (auto file = FirstExisting(IniValue(folder + "/defaults.list", "Default Applications", mime))) return file;
  for (const std::string& folder : ApplicationFolders())
    if (auto file = FirstExisting(IniValue(folder + "/mimeinfo.cache", "MIME Cache", mime))) return file;
  return std::nullopt;
}

std::optional<std::string> DesktopEntryCommand(const std::string& desktop_file) {
  std::string exec = IniValue(desktop_file, "Desktop Entry", "Exec");
  const size_t percent = exec.find('%');
  if (percent != std::string::npos) exec.erase(percent);
  while (!exec.empty() && (exec.back() == ' ' || exec.back() == '\t')) exec.pop_back();
  if (exec.empty()) return std::nullopt;
  return exec;
}

}  // namespace lorvek
