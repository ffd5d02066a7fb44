#include "settings/ini_file.h"

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "settings/own_files.h"
#include "text/file_bytes.h"
#include "text/path_names.h"
#include "text/line_splitter.h"

namespace lorvek {
namespace {

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

// "[Name]" (blanks around allowed); a header without "]" is not a header.
bool SectionName(std::string_view line, std::string_view* name) {
  std::string_view t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string_view::npos) return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

bool KeyOf(std::string_view line, std::string_view* key, std::string_view* value) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  *key = Trim(t.substr(0, eq));
  *value = Trim(t.substr(eq + 1));
  return !key->empty();
}

}  // namespace

bool SameIniName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

TIniGT::TIniGT(std::string path, bool make_writable, bool own_file) : path_(std::move(path)), own_file_(own_file) {
  if (own_file_ && !Distrust().empty()) return;  // not ours to change
  if (make_writable) RemoveStaleTemporaries(path_);
  struct stat st;
  if (make_writable && stat(path_.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR))
    chmod(path_.c_str(), (st.st_mode & 07777) | S_IWUSR);
}

bool TIniGT::FileExists() const { return PathExists(path_); }

std::string TIniGT::Distrust() const {
  if (own_file_) distrust_ = OwnFileDistrust(path_);
  return distrust_;
}

bool TIniGT::IsReadOnly() const {
  struct stat st;
  return stat(path_.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
}

void TIniGT::Load() const {
  if (update_depth_ > 0) return;  // inside an update the lines in memory are current
  // Read again only when the file changed: other components (and other
  // processes) write it, but a start reads many keys of one version.
  struct stat st;
  const bool exists = stat(path_.c_str(), &st) == 0;
  FileStamp stamp{};
  if (exists) stamp = {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
  if (loaded_ && stamp == stamp_) return;
  loaded_ = true;
  stamp_ = stamp;
  lines_.clear();
  std::string bytes;
  try {
    if (own_file_) {
      bytes = ReadOwnFile(path_).value_or("");
      distrust_.clear();
    } else {
      bytes = ReadFileBytes(path_);
    }
  } catch (const UntrustedFileError& e) {
    distrust_ = e.Reason();
    return;  // the defaults hold
  } catch (const std::exception&) {
    return;  // a missing or unreadable file behaves as an empty one
  }
  // A UTF-8 byte-order mark written by an editor must not hide the first section.
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  lines_ = SplitTextLines(bytes, false);
}

void TIniGT::Store() {
  if (update_depth_ > 0) {
    dirty_ = true;
    return;
  }
  std::string out;
  for (const auto& l : lines_) {
    out += l;
    out += "\r\n";
  }
  if (!own_file_) return WriteFileAtomically(path_, out);
  // Never over or through what is not ours (a link would lead anywhere).
  if (!Distrust().empty()) return;
  WriteOwnFile(path_, out);
}

long TIniGT::FindKey(std::string_view section, std::string_view key, long* section_line,
                     long* last_in_section) const {
  *section_line = -1;
  *last_in_section = -1;
  bool in_section = false;
  long found = -1;
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (SectionName(lines_[i], &name)) {
      in_section = SameIniName(name, section);
      if (in_section && *section_line < 0) {
        *section_line = static_cast<long>(i);
        *last_in_section = static_cast<long>(i);
      }
      continue;
    }
    if (!in_section) continue;
    std::string_view k, v;
    if (KeyOf(lines_[i], &k, &v)) {
      if (found < 0 && SameIniName(k, key)) found = static_cast<long>(i);
      if (*section_line >= 0) *last_in_section = static_cast<long>(i);
    }
  }
  return found;
}

std::string TIniGT::RawValue(std::string_view section, std::string_view key, bool* found) const {
  Load();
  long sec, last;
  long at = FindKey(section, key, &sec, &last);
  *found = at >= 0;
  if (at < 0) return {};
  std::string_view k, v;
  KeyOf(lines_[static_cast<size_t>(at)], &k, &v);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  if (v.size() > kMaxValueBytes) v = v.substr(0, kMaxValueBytes);
  return std::string(v);
}

bool TIniGT::HasKey(std::string_view section, std::string_view key) const {
  bool found;
  RawValue(section, key, &found);
  return found;
}

std::string TIniGT::ReadStr(std::string_view section, std::string_view key, std::string_view def) const {
  bool found;
  std::string v = RawValue(section, key, &found);
  return found ? v : std::string(def);
}

int TIniGT::ReadInt(std::string_view section, std::string_view key, int def) const {
  return ReadIntIfSet(section, key).value_or(def);
}

std::optional<int> TIniGT::ReadIntIfSet(std::string_view section, std::string_view key) const {
  bool found;
  std::string v = RawValue(section, key, &found);
  if (!found) return std::nullopt;
  long long n = 0;
  const char* b = v.data();
  if (!v.empty() && v[0] == '+') ++b;
  auto [p, ec] = std::from_chars(b, v.data() + v.size(), n);
  if (ec != std::errc() || p != v.data() + v.size() || b == v.data() + v.size() || n < INT_MIN || n > INT_MAX)
    return std::nullopt;
  return static_cast<int>(n);
}

bool TIniGT::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInt(section, key, def ? 1 : 0) != 0;
}

void TIniGT::WriteStr(std::string_view section, std::string_view key, std::string_view value) {
  Load();
  long sec, last;
  long at = FindKey(section, key, &sec, &last);
  std::string line = std::string(key) + "=" + std::string(value);
  if (at >= 0) {
    // Keep the key's spelling as it stands in the file.
    std::string_view k, v;
    KeyOf(lines_[static_cast<size_t>(at)], &k, &v);
    lines_[static_cast<size_t>(at)] = std::string(k) + "=" + std::string(value);
  } else if (sec >= 0) {
    lines_.insert(lines_.begin() + last + 1, line);
  } else {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.push_back("");
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(line);
  }
  Store();
}

void TIniGT::EraseSection(std::string_view section) {
  Load();
  std::vector<std::string> kept;
  bool in_section = false;
  for (const std::string& line : lines_) {
    std::string_view name;
    if (SectionName(line, &name)) in_section = SameIniName(name, section);
    if (!in_section) kept.push_back(line);
  }
  if (kept.size() == lines_.size()) return;
  lines_ = std::move(kept);
  Store();
}

void TIniGT::WriteInt(std::string_view section, std::string_view key, int value) {
  WriteStr(section, key, std::to_string(value));
}

void TIniGT::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteStr(section, key, value ? "1" : "0");
}

void TIniGT::BeginUpdate() {
  if (update_depth_ == 0) {
    Load();
    dirty_ = false;
  }
  ++update_depth_;
}

void TIniGT::EndUpdate() {
  if (update_depth_ == 0) return;
  if (--update_depth_ == 0 && dirty_) {
    dirty_ = false;
    Store();
  }
}

}  // namespace lorvek
