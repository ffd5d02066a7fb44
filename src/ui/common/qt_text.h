// Text across the widget boundary: widgets hold Unicode, the engine holds
// Shift-JIS text and file-system byte paths.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <string>

#include "text/cp932.h"

namespace lorvek {

inline QString FromSjis(const std::string& s) { return QString::fromUtf8(Cp932ToUtf8(s)); }
inline std::string ToSjis(const QString& s) { return Utf8ToCp932(s.toUtf8().toStdString()); }
inline QString FromPath(const std::string& p) { return QString::fromUtf8(PathForDisplay(p)); }
inline std::string ToPath(const QString& p) { return p.toUtf8().toStdString(); }
inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }
// A message's line breaks as a box shows them: "\n\r", "\r\n" and a lone
// "\r" are each one break (a box would show "\n\r" as an empty line).
inline QString OneBreak(QString text) {
  text.replace(QLatin1String("\n\r"), QLatin1String("\n")).replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}
// A file URL that carries the path's own bytes (percent-encoded), so a name
// that is not UTF-8 still names the file on disk.
inline QUrl UrlFromPathBytes(const std::string& path) {
  return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"), QUrl::StrictMode);
}

}  // namespace lorvek
