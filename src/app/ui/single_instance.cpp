#include "app/ui/single_instance.h"

#include "settings/own_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <sys/socket.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>

#include "search/work_folder.h"
#include "text/file_bytes.h"

namespace lorvek {

namespace {

// The user id of the process at the other end of a local socket, or -1.
long PeerUid(qintptr descriptor) {
  struct ucred cred {};
  socklen_t len = sizeof cred;
  if (getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return -1;
  return static_cast<long>(cred.uid);
}

bool SameUser(qintptr descriptor) { return PeerUid(descriptor) == static_cast<long>(getuid()); }

// $XDG_RUNTIME_DIR when it is a folder of ours that nobody else may enter.
std::string RuntimeFolder() {
  if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg == '/') {
    struct stat st;
    if (lstat(xdg, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0)
      return xdg;
  }
  WorkFolder run("", "Lorvek-" + std::to_string(getuid()) + "-run");
  run.Ensure();
  return run.Folder();
}

}  // namespace

std::string ServerName() { return RuntimeFolder() + "/hLorvek-" + std::to_string(getuid()); }

std::string HandOffFilePath(const std::string& program_folder) { return program_folder + "cmmd.$$$"; }

void WriteHandOffFile(const std::string& path, const std::vector<std::string>& args) {
  std::string text;
  for (const auto& a : args) text += a + "\r\n";
  WriteOwnFile(path, text);
}

std::vector<std::string> ReadHandOffFile(const std::string& path) {
  // What it asks for is done as this user: only a file of the user's own counts.
  std::string bytes = ReadOwnFile(path).value_or("");
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\n') continue;
    size_t end = (i > start && bytes[i - 1] == '\r') ? i - 1 : i;
    lines.push_back(bytes.substr(start, end - start));
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

SingleInstance::SingleInstance(std::string server_name, QObject* parent)
    : QObject(parent), name_(std::move(server_name)) {}

bool SingleInstance::Claim() {
  // listen() replaces an existing socket silently, so the check for a running
  // instance comes first, under a lock so that two starts cannot both win.
  std::string lock_path = name_ + ".lock";
  int lock = open(lock_path.c_str(), O_CREAT | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (lock >= 0) flock(lock, LOCK_EX);
  struct Unlock {
    int fd;
    ~Unlock() {
      if (fd >= 0) close(fd);
    }
  } unlock{lock};
  QString name = QString::fromStdString(name_);
  QLocalSocket probe;
  probe.connectToServer(name);
  if (probe.waitForConnected(1000) && SameUser(probe.socketDescriptor())) return false;  // a running instance answers
  return Listen();
}

bool SingleInstance::TakeOver() {
  std::string lock_path = name_ + ".lock";
  int lock = open(lock_path.c_str(), O_CREAT | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (lock >= 0) flock(lock, LOCK_EX);
  const bool ok = Listen();
  if (lock >= 0) close(lock);
  return ok;
}

bool SingleInstance::Listen() {
  const QString name = QString::fromStdString(name_);
  QLocalServer::removeServer(name);  // a stale name left by a crash, or a windowless instance's
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name)) return false;
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* s = server_->nextPendingConnection()) {
      if (!SameUser(s->socketDescriptor())) {
        s->abort();
        s->deleteLater();
        continue;
      }
      connect(s, &QLocalSocket::readyRead, this, [this, s] {
        while (s->canReadLine()) {
          if (s->readLine().trimmed() != QByteArray::number(kHandOffMessage)) continue;
          if (has_window && !has_window()) {
            s->write("0\n");  // nobody here to take it
            s->flush();
            continue;
          }
          if (take_hand_off) take_hand_off();
          s->write(QByteArray::number(kHandOffMessage) + "\n");  // taken: the later start may go
          s->flush();
        }
      });
      connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    }
  });
  return true;
}

bool SingleInstance::HandOver(const std::string& program_folder, const std::vector<std::string>& args) {
  // One later start at a time: the file is ours until the instance answers.
  std::string lock_path = name_ + ".handoff.lock";
  int lock = open(lock_path.c_str(), O_CREAT | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (lock >= 0) flock(lock, LOCK_EX);
  struct Unlock {
    int fd;
    ~Unlock() {
      if (fd >= 0) close(fd);
    }
  } unlock{lock};
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(name_));
  if (!socket.waitForConnected(2000) || !SameUser(socket.socketDescriptor())) return false;
  if (!args.empty()) {
    // A hand-off file that cannot be written (not ours, no room): this
    // start runs on its own instead.
    try {
      WriteHandOffFile(HandOffFilePath(program_folder), args);
    } catch (const std::exception&) {
      return false;
    }
  }
  socket.write(QByteArray::number(kHandOffMessage) + "\n");
  socket.flush();
  socket.waitForBytesWritten(2000);
  // The answer says the file was taken (or left for later by a busy window).
  QElapsedTimer waited;
  waited.start();
  while (!socket.canReadLine() && waited.elapsed() < 30000 && socket.state() == QLocalSocket::ConnectedState)
    socket.waitForReadyRead(200);
  const bool refused = socket.canReadLine() && socket.readLine().trimmed() == "0";
  socket.disconnectFromServer();
  if (refused && !args.empty()) ::unlink(HandOffFilePath(program_folder).c_str());
  return !refused;
}

}  // namespace lorvek
