#pragma once
// The pictures of the program's windows, for docs/images/ and for review.
// Every case of this program builds a window as the window tests do and
// ends with Take(); see docs/testing.md ("Screenshots").

#include <QString>

class QWidget;

namespace shots {

// Writes the picture of w's window, with the other windows shown at the
// time drawn over it at their places (popup menus, floating bars, a
// non-modal sheet), as <name>.png into the output folder: the program's
// argument --out DIR, else the current folder.  With --hold SECONDS the
// windows then stay up that long, for a capture of the whole screen under
// a real display.  The case fails when the picture cannot be written.
void Take(QWidget* w, const QString& name);

} // namespace shots
