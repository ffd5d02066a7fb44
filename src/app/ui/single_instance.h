// One Lorvek per user and desktop. A local server named "hLorvek-" + uid, in
// a folder only the user can enter, stands for the named mutex and the
// window lookup; a later start writes its arguments to the hand-off file,
// sends the line "29983" and waits until the running instance has taken the
// file, so two later starts never overwrite each other's arguments. Both
// ends check that the other belongs to the same user.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QLocalServer;

namespace lorvek {

inline constexpr int kHandOffMessage = 29983;

// The server's full socket path: $XDG_RUNTIME_DIR when it is a private
// folder of the user's, else the private folder $TMPDIR/Lorvek-<uid>-run.
std::string ServerName();
std::string HandOffFilePath(const std::string& program_folder);
// Written to a temporary name and renamed into place, so a reader never sees
// half of it. The arguments are kept as the bytes they are (file names must
// survive the trip), one per line, each ended by CR LF.
void WriteHandOffFile(const std::string& path, const std::vector<std::string>& args);
std::vector<std::string> ReadHandOffFile(const std::string& path);

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(std::string server_name = ServerName(), QObject* parent = nullptr);
  // Becomes the first instance (true) or finds a running one (false).
  bool Claim();
  // Becomes the instance later starts talk to, in place of one that answered
  // but has no window to take their requests.
  bool TakeOver();
  // Later start: writes the hand-off file (when there are arguments), tells
  // the running instance and waits for it to take the file. False when no
  // instance of this user answered, or the one that answered has no window:
  // the caller then starts on its own.
  bool HandOver(const std::string& program_folder, const std::vector<std::string>& args);

  // Runs when a hand-off arrives, before the later start is answered: it
  // takes (reads and deletes) the hand-off file or decides to leave it.
  std::function<void()> take_hand_off;
  // Whether this instance still has a window to take requests; one without
  // tells the later start to run on its own.
  std::function<bool()> has_window;

 private:
  bool Listen();

  std::string name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace lorvek
