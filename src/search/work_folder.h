// The per-user scratch folder: $TMPDIR (or /tmp) + "Lorvek-" + uid, mode
// 0700. A path that exists as a symbolic link or belongs to someone else is
// never used: a predictable name in a shared folder must not be trusted.
#pragma once

#include <stdexcept>
#include <string>

namespace lorvek {

class EWorkFolder : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline const char kWorkFolderRemoveFailed[] = "作業フォルダの削除に失敗しました.\n\r次回起動時に削除します.";

class WorkFolder {
 public:
  // temp_root empty: $TMPDIR or /tmp; name empty: "Lorvek-" + uid. Other
  // private folders of the user's (the single-instance socket's) use the
  // same rules under another name.
  explicit WorkFolder(std::string temp_root = "", std::string name = "");
  // A folder of this process alone ("Lorvek-" + uid + "-" + pid), for runs
  // that may go on beside the desktop program (the command line, a run
  // without a screen): they must not share its scratch files.
  static WorkFolder ForThisProcess();

  const std::string& Folder() const { return folder_; }
  const std::string& WorkFile() const { return work_file_; }

  // Creates the folder when missing (the work file becomes ____temp.txt);
  // raises EWorkFolder when the path is a link, not a folder, or not ours.
  void Ensure();
  bool Exists() const;
  // Deletes the folder and its contents; false (and nothing raised) on failure.
  bool Remove();

  // Removes the folders of this user's runs that ended without removing
  // theirs ("Lorvek-" + uid + "-" + pid whose process is gone, owned by the
  // user, not a link) under temp_root (empty: $TMPDIR or /tmp). Returns how
  // many were removed.
  static int RemoveLeftovers(std::string temp_root = "");

 private:
  std::string folder_;
  std::string work_file_;
};

}  // namespace lorvek
