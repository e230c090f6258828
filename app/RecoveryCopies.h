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
// when two share one), complete or not at all, and "originals.txt" that
// says which file each copy belongs to.  Each copy gets a line naming it
// and its original; a copy that cannot be written gets one with its
// cause.  A folder that holds a copy is noted for the next start (Untold).
Kept KeepUnsaved(const QString& stateFolder, const std::vector<ui::Document*>& docs);

// The folders of earlier endings that the user was not told about yet.
QStringList Untold(const QString& stateFolder);
// Forgets them (they were told).
void ForgetUntold(const QString& stateFolder);

} // namespace recovery
