// Text across the widget boundary: widgets hold Unicode, the engine holds
// Shift-JIS text and file-system byte paths.
#pragma once

#include <QString>
#include <string>

#include "text/cp932.h"

namespace lorvek {

inline QString FromSjis(const std::string& s) { return QString::fromUtf8(Cp932ToUtf8(s)); }
inline std::string ToSjis(const QString& s) { return Utf8ToCp932(s.toUtf8().toStdString()); }
inline QString FromPath(const std::string& p) { return QString::fromUtf8(PathForDisplay(p)); }
inline std::string ToPath(const QString& p) { return p.toUtf8().toStdString(); }
inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace lorvek
