#pragma once
// Conversions between the project's UTF-16 strings and QString, shared by
// the project document's files.

#include <QString>

#include <string>
#include <string_view>

namespace projtext {

inline std::u16string U16(const QString& s) { return s.toStdU16String(); }

inline QString Q(std::u16string_view s) { return QString::fromUtf16(s.data(), qsizetype(s.size())); }

} // namespace projtext
