#pragma once
// Local paths on the Qt side.  A file name on this system is bytes, not
// always UTF-8; the program carries a local path as the text of
// sys::NativeToText (NativeText.h), where each byte that is no UTF-8 is a
// character of its own.  Qt's own file classes (QFile, QFileInfo, QDir,
// QCoreApplication::arguments, the file dialogs' lists) decode such bytes
// lossily: "caf\xE9.txt" and "caf\xEF\xBF\xBD.txt" both become
// "caf\uFFFD.txt" there and name the second file.  So every path that the
// program opens, watches, writes or lists passes here, never through those
// classes.  See docs/paths-and-codepages.md.

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>

class QUrl;
class QWidget;

namespace ui {

// The text of native bytes (a name or a path).
QString LocalPathOfNative(std::string_view bytes);
// The native bytes of the text, exactly (nullopt for text that no bytes
// give: last error EILSEQ).
std::optional<std::string> NativeOfLocalPath(const QString& path);
// The path of a local file's URL (a drop), each byte kept: QUrl's own
// toLocalFile decodes the bytes that are no UTF-8 lossily.
QString LocalPathOfUrl(const QUrl& url);
// The parameters after the program name, each byte kept.
QStringList LocalArguments(int argc, char** argv);

// The current folder.
QString CurrentLocalFolder();
// The full path, made without looking at the disk: a relative path is
// taken from the current folder; "." and ".." components and doubled
// separators go.
QString AbsoluteLocalPath(const QString& path);
// The last component of the path.
QString LocalFileName(const QString& path);
// The path as it is shown: each byte that is no UTF-8 as "\xE9".
QString ShownLocalPath(const QString& path);

bool LocalPathExists(const QString& path);
bool IsLocalFile(const QString& path);   // a regular file (also behind a link)
bool IsLocalFolder(const QString& path); // a folder (also behind a link)
// Makes the folder the current one (chdir); false when it cannot be.
bool SetCurrentLocalFolder(const QString& folder);

// The string-table id of the refusal of a name that a file dialog gave
// and that stands for several entries.
constexpr unsigned IDS_AMBIGUOUS_NAME = 4940;

// Qt's file dialogs list names as Qt decodes them.  The path of the entry
// that a path chosen in such a dialog stands for: each component that
// exists is the entry whose decoded name it is; the components from the
// first that does not exist on (a file to be made) are taken as typed.
// False, with refusal set ("Název ... označuje více souborů" with the
// path and the entries), when a component stands for several entries:
// then nothing must be opened or written.
bool ExactChosenPath(const QString& chosen, QString& exact, QString* refusal = nullptr);
// The names (shown, "caf\xE9.txt") of the entries that a chosen path may
// stand for when it stands for several; empty otherwise.
QStringList ChosenPathCandidates(const QString& chosen);
// The same for one path chosen in a dialog, replaced by the exact one; a
// refusal is shown (owner the dialog's parent) and gives false.
bool TakeExactChosenPath(QString& path, QWidget* owner = nullptr);
// The same for the paths chosen in a dialog; a refusal is shown (owner
// the dialog's parent) and gives false.
bool ExactChosenPaths(QStringList& paths, QWidget* owner = nullptr);

} // namespace ui
