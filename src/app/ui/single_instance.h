// One Lorvek per user and desktop. A local server named "hLorvek-" + uid
// stands for the named mutex and the window lookup; a later start writes its
// arguments to the hand-off file and sends the line "29983".
#pragma once

#include <QObject>
#include <string>
#include <vector>

class QLocalServer;

namespace lorvek {

inline constexpr int kHandOffMessage = 29983;

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
  // Later start: writes the hand-off file (when there are arguments) and
  // tells the running instance. False when no instance answered.
  bool HandOver(const std::string& program_folder, const std::vector<std::string>& args);

 signals:
  void HandOffArrived();

 private:
  std::string name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace lorvek
