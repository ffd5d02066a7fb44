#include "app/ui/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>

#include <QLocalServer>
#include <QLocalSocket>

#include "text/file_bytes.h"

namespace lorvek {

std::string ServerName() { return "hLorvek-" + std::to_string(getuid()); }

std::string HandOffFilePath(const std::string& program_folder) { return program_folder + "cmmd.$$$"; }

void WriteHandOffFile(const std::string& path, const std::vector<std::string>& args) {
  std::string text;
  for (const auto& a : args) text += a + "\r\n";
  WriteFileAtomically(path, text);
}

std::vector<std::string> ReadHandOffFile(const std::string& path) {
  std::string bytes = ReadFileBytes(path);
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
  std::string lock_path = QDir::tempPath().toStdString() + "/" + name_ + ".lock";
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
  if (probe.waitForConnected(1000)) return false;  // a running instance answers
  QLocalServer::removeServer(name);                 // a stale name left by a crash
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name)) return false;
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* s = server_->nextPendingConnection()) {
      connect(s, &QLocalSocket::readyRead, this, [this, s] {
        while (s->canReadLine()) {
          if (s->readLine().trimmed() == QByteArray::number(kHandOffMessage)) emit HandOffArrived();
        }
      });
      connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
    }
  });
  return true;
}

bool SingleInstance::HandOver(const std::string& program_folder, const std::vector<std::string>& args) {
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(name_));
  if (!socket.waitForConnected(2000)) return false;
  if (!args.empty()) WriteHandOffFile(HandOffFilePath(program_folder), args);
  socket.write(QByteArray::number(kHandOffMessage) + "\n");
  socket.flush();
  socket.waitForBytesWritten(2000);
  socket.disconnectFromServer();
  return true;
}

}  // namespace lorvek
