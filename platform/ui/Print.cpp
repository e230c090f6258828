#include "platform/ui/Print.h"

#include "platform/sys/Registry.h"
#include "platform/ui/Document.h"
#include "res/StringTable.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QToolBar>

#include <memory>

namespace ui {

namespace {
constexpr unsigned IDS_PRINT_PAGE_OF = 4617;   // "Tiskne se strana %d z %d..."
constexpr unsigned IDS_PRINT_CAPTION = 4618;   // "Tisk"
constexpr unsigned IDS_PRINT_PREPARING = 4619; // "Připravuje se tisk..."
constexpr int LAST_PAGE = 65535;

QWidget* DialogParent(View& view)
{
    QWidget* w = view.window();
    return w ? w : &view;
}
} // namespace

void ResetPrinterMargins(QPrinter& printer)
{
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

QPrinter& ApplicationPrinter()
{
    static std::unique_ptr<QPrinter> printer;
    if (!printer) {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        ResetPrinterMargins(*printer);
    }
    return *printer;
}

void View::OnPrepareDC(QPainter&, PrintInfo* info)
{
    if (info)
        info->continuePrinting = info->maxPage != PRINT_PAGE_UNKNOWN || info->curPage == 1;
}

int PrintView(View& view, QPrinter& printer, bool preview, bool progress)
{
    PrintInfo info;
    info.preview = preview;
    if (!view.OnPreparePrinting(info))
        return -1;

    std::unique_ptr<QProgressDialog> window;
    bool cancelled = false;
    QElapsedTimer sinceReport;
    if (progress) {
        window = std::make_unique<QProgressDialog>(DialogParent(view));
        window->setWindowTitle(LoadResString(IDS_PRINT_CAPTION));
        window->setLabelText(LoadResString(IDS_PRINT_PREPARING));
        window->setRange(0, 0);
        window->setMinimumDuration(0);
        window->setAutoClose(false);
        window->setAutoReset(false);
        window->setWindowModality(Qt::ApplicationModal);
        window->show();
        QCoreApplication::processEvents();
        sinceReport.start();
        info.poll = [&] {
            if (sinceReport.elapsed() >= 100) {
                if (info.maxPage == PRINT_PAGE_UNKNOWN)
                    window->setLabelText(LoadResString(IDS_PRINT_PREPARING));
                QCoreApplication::processEvents();
                sinceReport.restart();
            }
            if (window->wasCanceled())
                cancelled = true;
            return !cancelled;
        };
    }

    QPainter painter;
    if (!painter.begin(&printer))
        return -1;
    info.drawRect = QRect(QPoint(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
    const int from = printer.fromPage();
    const int to = printer.toPage();

    view.OnBeginPrinting(painter, info);
    int drawn = 0;
    for (int page = 1; page <= LAST_PAGE && !cancelled; ++page) {
        info.curPage = page;
        info.draw = from <= 0 || (page >= from && (to <= 0 || page <= to));
        info.continuePrinting = true;
        painter.save();
        view.OnPrepareDC(painter, &info);
        painter.restore();
        if (!info.continuePrinting)
            break;
        if (info.maxPage != PRINT_PAGE_UNKNOWN && page > info.maxPage)
            break;
        if (to > 0 && page > to)
            break;
        if (info.draw && drawn > 0 && !printer.newPage())
            break;
        painter.save();
        view.OnPrint(painter, info);
        painter.restore();
        if (info.draw)
            ++drawn;
        if (window) {
            if (info.maxPage != PRINT_PAGE_UNKNOWN)
                window->setLabelText(FormatResString(IDS_PRINT_PAGE_OF, page, info.maxPage));
            QCoreApplication::processEvents();
            sinceReport.restart();
            if (window->wasCanceled())
                cancelled = true;
        }
    }
    view.OnEndPrinting(painter, info);
    if (cancelled) {
        printer.abort();
        painter.end();
        return -1;
    }
    painter.end();
    return drawn;
}

void View::OnFilePrint()
{
    QPrinter& printer = ApplicationPrinter();
    QPrintDialog dialog(&printer, DialogParent(*this));
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    const int result = dialog.exec();
    // The printer's properties may have set margins: the view draws its own.
    ResetPrinterMargins(printer);
    if (result != QDialog::Accepted)
        return;
    if (printer.printRange() != QPrinter::PageRange)
        printer.setFromTo(0, 0);
    PrintView(*this, printer, false, true);
}

void View::OnFilePrintPreview()
{
    QPrinter& printer = ApplicationPrinter();
    QPrintPreviewDialog dialog(&printer, DialogParent(*this));
    // Its page-setup button would edit the printer's own margins, which the
    // view does not use: the program's page setup is in the File menu.
    const QString pageSetup = QCoreApplication::translate("QPrintPreviewDialog", "Page setup");
    for (QToolBar* bar : dialog.findChildren<QToolBar*>())
        for (QAction* a : bar->actions())
            if (a->text() == pageSetup || a->text() == QLatin1String("Page setup"))
                a->setVisible(false);
    if (sys::Profile::GetInt(u"Settings", u"PreviewPages", 1) == 2)
        if (auto* w = dialog.findChild<QPrintPreviewWidget*>())
            w->setViewMode(QPrintPreviewWidget::FacingPagesView);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [this, &dialog](QPrinter* p) {
        p->setFromTo(0, 0);  // the preview shows every page
        if (PrintView(*this, *p, true, true) < 0)
            QMetaObject::invokeMethod(&dialog, &QDialog::reject, Qt::QueuedConnection);
    });
    dialog.exec();
    ResetPrinterMargins(printer);
}

} // namespace ui
