#include "ui/common/desktop_open.h"

#include <QMimeDatabase>
#include <QUrl>

#include <optional>

#include "sources/filter_source.h"
#include "text/path_names.h"
#include "ui/common/qt_text.h"
#include "view/editor_command.h"

namespace lorvek {

DesktopOpenCommand AssociatedOpenCommand(const std::string& target) {
  // An address goes to the handler of its scheme; a path by its content type.
  const QUrl url(QString::fromStdString(target), QUrl::StrictMode);
  const bool address = url.isValid() && url.scheme().size() > 1 && !url.isLocalFile() && target.find("://") != std::string::npos;
  QString mime;
  if (address) mime = "x-scheme-handler/" + url.scheme().toLower();
  else mime = QMimeDatabase().mimeTypeForFile(FromPath(target)).name();
  const std::optional<std::string> entry = DefaultDesktopEntry(mime.toStdString());
  const std::string named = address ? url.scheme().toStdString() : ExtensionOf(target);
  if (!entry) return {"", "関連づけられたアプリケーションはありません.(" + named + ")"};
  const std::optional<std::string> program = DesktopEntryCommand(*entry);
  if (!program) return {"", "関連づけられたアプリケーションはありません.(" + mime.toStdString() + ")"};
  return {*program + " " + ShellQuote(address ? target : PathArgument(target)), ""};
}

}  // namespace lorvek
