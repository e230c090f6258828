#pragma once
// The stored page settings of the editor's printing ("PageLeft", "PageRight",
// "PageTop", "PageBottom", "PageWidth", "PageHeight" under the editor's key,
// hundredths of a millimetre) and the page setup command.
// See docs/editor-printing.md.

#include "editor/print/EdtPrintLayout.h"

#include <optional>

class QPrinter;
class QWidget;

struct EdtPageSettings
{
    edt::PageMargins margins;       // 1000 each by default
    std::optional<int> width;       // the paper, when stored
    std::optional<int> height;
};
constexpr int EDT_PAGE_VALUE_MAX = 100000;

// Values that are missing, not DWORDs, or outside 0 to 100000 keep their
// defaults.
EdtPageSettings LoadPageSettings();
// Writes the margins and the paper size (the width and height only when
// present).  False when the key cannot be created.
[[nodiscard]] bool SavePageSettings(const EdtPageSettings& settings);

// Sets the printer's paper from the stored width and height (both present):
// a standard size within 1 mm, else a custom one; wider than high is
// landscape.
void ApplyPagePaper(QPrinter& printer, const EdtPageSettings& settings);
// The application printer, with the stored paper applied on its first use.
QPrinter& EdtPrinter();

// The page setup command: the application printer gets the stored margins
// and paper, QPageSetupDialog runs on it; OK stores margins and paper.  The
// printer's margins are 0 again afterwards.  True on OK.
bool RunPageSetup(QWidget* parent);
