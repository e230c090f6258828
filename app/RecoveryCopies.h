#pragma once
// Unsaved changes kept when a signal ends the program: nobody may be there
// to answer a question, so every modified document is written as a copy
// into a new folder of the program's state folder, and the originals stay
// as they are on disk.  The next interactive start says once where they
// are.  See docs/application.md ("Ending on a signal").

#include <QString>
#include <QStringList>

#include <vector>

namespace ui {
class Document;
}

namespace recovery {

// The message that says where the copies are (4860, with the folders, one
// a line) and the line below a list that was cut (4951: how many folders
// there are, how many are shown, and where they all are).
constexpr unsigned IDS_UNSAVED_KEPT = 4860;
constexpr unsigned IDS_UNSAVED_KEPT_MORE = 4951;
// The most folders the message names.
constexpr int kShownFolders = 10;

// $XDG_STATE_HOME/ORNA/Strandwork (when an absolute path, else
// ~/.local/state/ORNA/Strandwork), without a trailing "/".
QString StateFolder();

struct Kept
{
    QString folder;    // the folder made for this ending; empty when none was
    QStringList lines; // one line a copy (or failure), for standard error
    int written = 0;   // copies written
};

// Writes a copy of every document of docs into a new folder
// "<state>/unsaved/<date>_<time>[-n]" (never one of an earlier ending),
// each under its file's name (the title when it has none; "name (2).ext"
// when two share one; a name too long for the program's path limit is
// cut, marked "~", its extension kept), complete or not at all, and
// "originals.txt" that says which file each copy belongs to.  The folder
// is noted for the next start (Untold) and the list of originals written
// before any copy, so a state folder that fills up on the way still leaves
// the folder told.  Each copy gets a line naming it and its original; a
// copy, a list or a note that cannot be written gets one with its cause.
Kept KeepUnsaved(const QString& stateFolder, const std::vector<ui::Document*>& docs);

// The folders of earlier endings that the user was not told about yet, in
// the order of their endings.  The list is changed only in place and under
// a lock (two programs ended at once both add theirs).
QStringList Untold(const QString& stateFolder);
// Reads them and forgets them at once (they are being told).
QStringList TakeUntold(const QString& stateFolder);
// Forgets them (they were told).
void ForgetUntold(const QString& stateFolder);

// The message about the folders: all of them (whole, for standard error),
// or the latest kShownFolders and a line with the count and the folder
// that holds them all.
QString TellText(const QStringList& folders, bool whole, const QString& stateFolder);

} // namespace recovery
