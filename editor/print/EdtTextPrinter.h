#pragma once
// The printing of a text view: the job's copy of the text, the printer
// font, the page layout and the drawing of pages, header and footer; the
// page setup command.  Part of CEdtTextView; see docs/editor-printing.md.

#include "editor/print/EdtPrintLayout.h"
#include "editor/view/EdtViewStyle.h"

#include <QFont>
#include <QRect>
#include <QString>

#include <array>
#include <memory>
#include <string>
#include <vector>

class CEdtTextView;
class QPainter;

namespace ui {
struct PrintInfo;
} // namespace ui

// The state of one print job of the text view (between OnBeginPrinting and
// OnEndPrinting).
struct EdtPrintJob
{
    // The text, tab-expanded as the view draws it, copied when the job
    // begins: the pages are laid out and drawn from this copy.
    std::vector<std::u16string> lines;
    QFont font;
    int lineHeight = 0;
    int ascent = 0;
    int charWidth = 1;
    QRect area;
    bool laidOut = false;
    std::vector<edt::PageStart> pages;
    std::array<int, 128> asciiAdvance{};  // 0: not measured
};

class EdtTextPrinter
{
public:
    explicit EdtTextPrinter(CEdtTextView& view);
    ~EdtTextPrinter();

    void OnBeginPrinting(QPainter& painter, ui::PrintInfo& info);
    // Printing stops when the pages are laid out and the page is beyond them.
    void OnPrepareDC(ui::PrintInfo* info);
    // Pages of the running job (0 outside a job).
    int GetPrintPageCount() const;
    void OnPrint(QPainter& painter, ui::PrintInfo& info);
    void OnEndPrinting(QPainter& painter, ui::PrintInfo& info);
    void PrintHeader(QPainter& painter, int page);
    void PrintFooter(QPainter& painter, int page);
    QString GetPrintHeaderText(int page);
    // "Strana %d/%d" with the page and the page count.
    QString GetPrintFooterText(int page);
    // The page setup command: QPageSetupDialog on the application printer
    // with the stored margins and paper; OK stores them.
    void OnFilePageSetup();

    // The state (the view and its other parts read it).
    CEdtTextView& m_view;
    const EdtViewStyle& m_style;
    bool m_printHeader = false;
    bool m_printFooter = true;
    std::unique_ptr<EdtPrintJob> m_printJob;
};
