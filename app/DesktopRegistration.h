#pragma once
// Registration with the user's desktop: the desktop entry of Strandwork, the
// MIME types of its project (.kxp), workspace (.kxw) and PLC source (.plc)
// files and the program's icon, written under the user's XDG data folder
// ($XDG_DATA_HOME, default ~/.local/share) only when missing or different,
// then the desktop's databases updated with their tools where they exist.
// The same desktop entry and MIME description are installed system-wide by
// `cmake --install` (app/desktop/); a program whose system-wide entry and
// MIME description are the ones it would write registers nothing per user.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace desktop {

// The files' names below the data folder.
inline constexpr char kEntryFile[] = "applications/strandwork.desktop";
inline constexpr char kMimeFile[] = "mime/packages/strandwork.xml";
inline constexpr char kIconFile[] = "icons/hicolor/scalable/apps/strandwork.svg";

// The MIME types, as the desktop entry and the MIME description name them.
inline constexpr char kProjectType[] = "application/x-strandwork-project";
inline constexpr char kWorkspaceType[] = "application/x-strandwork-workspace";
inline constexpr char kPlcType[] = "text/x-strandwork-plc";

// The program's path as one argument of an Exec value: quoted by the
// desktop-entry rules when it holds a reserved character, "%" doubled, and
// every backslash escaped once more as the file format's strings need.
QString ExecArgument(const QString& program);
// The desktop entry that starts program (an absolute path) with a file.
QByteArray DesktopEntry(const QString& program);
QByteArray MimeDescription();
// The program's icon (SVG).
QByteArray IconSvg();

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share.
QString UserDataHome();
// The folders of $XDG_DATA_DIRS that are absolute paths, else
// /usr/local/share and /usr/share.
QStringList SystemDataDirs();

struct Outcome
{
    enum Kind
    {
        Written,    // at least one file was missing or different
        Current,    // every file was there as it would be written
        SystemWide, // a system-wide installation holds the same entry
        Failed      // a folder or file could not be written
    };
    Kind kind = Current;
    QString path;         // Failed: what could not be made or written
    QString error;        // Failed: why
    QStringList toolsRun; // the database tools that were started
};

// Writes what is missing or different below dataHome, then runs
// update-mime-database (when the MIME description was written) and
// update-desktop-database (when the entry was written) where they exist,
// each stopped after toolTimeoutMs.  Nothing is written when one of
// systemDirs holds the same desktop entry and MIME description.
Outcome Register(const QString& program, const QString& dataHome, const QStringList& systemDirs,
                 int toolTimeoutMs = 3000);

} // namespace desktop
