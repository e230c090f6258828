#pragma once
// Printing of views in the document/view order: the view prepares, begins,
// prepares its painter and prints page by page, then ends.  PrintView runs
// that loop on a printer (a PDF printer in tests); View::OnFilePrint and
// View::OnFilePrintPreview put the print dialog or the preview in front of
// it.  See docs/editor-printing.md.

#include <QRect>

#include <functional>

class QPainter;
class QPrinter;
class QWidget;

namespace ui {

class View;

constexpr int PRINT_PAGE_UNKNOWN = 0xFFFF;

// The state of one print job, handed to the view's print operations.
struct PrintInfo
{
    bool preview = false;
    int curPage = 1;                     // 1-based
    int minPage = 1;
    int maxPage = PRINT_PAGE_UNKNOWN;    // set by the view once it knows
    bool continuePrinting = true;
    // False for a page outside the chosen range: OnPrint only lays out.
    bool draw = true;
    // The page's drawing rectangle in device pixels.
    QRect drawRect;
    // Long work (the layout) calls Poll at least every 100 ms: it shows the
    // progress and handles waiting events; false when the user cancelled.
    std::function<bool()> poll;
    bool Poll() const { return !poll || poll(); }
};

// Runs the print loop of view on printer: OnPreparePrinting, OnBeginPrinting,
// then per page OnPrepareDC and OnPrint (a new printer page before every
// drawn page after the first), OnEndPrinting.  Only the pages of the
// printer's range (fromPage()/toPage(), 0 all) are drawn; the others are laid
// out only.  Stops after page 65535 in any case.  With progress, a modal
// progress window with Cancel is shown while it runs; Cancel aborts the
// printer after the current page.  Gives the pages drawn, or -1 when
// cancelled or the printer cannot be opened.
int PrintView(View& view, QPrinter& printer, bool preview, bool progress = false);

// The process's printer (high resolution), made on first use, with page
// margins 0.
QPrinter& ApplicationPrinter();
// Sets the printer's page margins back to 0.
void ResetPrinterMargins(QPrinter& printer);

} // namespace ui
