#pragma once
// The program's string table: id -> text, compiled from res/strings/*.strings
// (see docs/resources.md).  A loaded language resource file replaces the
// texts it holds; ids it lacks keep the built-in text.

#include "platform/sys/Format.h"

#include <QByteArray>
#include <QChar>
#include <QHash>
#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

// The text of a string-table id; empty when no table has the id.
QString LoadResString(unsigned id);

namespace res {

// Parses a compiled string table (the output of the strtab tool).  False,
// with table left empty, when the bytes are not a well-formed table.
bool ParseStringTable(const QByteArray& bytes, QHash<unsigned, QString>& table);

// Reads the texts of the loaded language resource file (none when no file
// is loaded).  Called when the language resource file changes.
void ReloadStringTable();

namespace detail {
// Qt types become what sys::Format takes; everything else is passed on.
inline std::u16string FmtValue(const QString& s) { return s.toStdU16String(); }
inline std::u16string FmtValue(QStringView s) { return s.toString().toStdU16String(); }
inline char16_t FmtValue(QChar c) { return c.unicode(); }
inline std::string_view FmtValue(const QByteArray& b) { return {b.constData(), size_t(b.size())}; }
template <class T>
const T& FmtValue(const T& v)
{
    return v;
}
} // namespace detail

} // namespace res

// The text of an id formatted printf style (see docs/formatting.md).
// Arguments may be QString, const char16_t*, std::u16string, numbers, chars,
// and 8-bit strings in the ANSI code page.
template <class... A>
QString FormatResString(unsigned id, const A&... args)
{
    return QString::fromStdU16String(
        sys::Format(LoadResString(id).toStdU16String(), res::detail::FmtValue(args)...));
}

// The text of an id with FormatMessage-style inserts %1 .. %9.
template <class... A>
QString FormatResMessage(unsigned id, const A&... args)
{
    return QString::fromStdU16String(
        sys::FormatMessage(LoadResString(id).toStdU16String(), res::detail::FmtValue(args)...));
}
