// The text view's printing: the job's copy of the text, the printer font,
// the page layout and the drawing of pages, header and footer; the page
// setup command.

#include "editor/print/EdtTextPrinter.h"

#include "editor/view/EdtTextView.h"
#include "editor/view/EdtViewRenderer.h"

#include "editor/dialogs/EdtPageSetup.h"
#include "platform/ui/Print.h"
#include "res/StringTable.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr unsigned IDS_EDT_PRINT_FOOTER = 4610;  // "Strana %d/%d"

void ScreenDpi(int& x, int& y)
{
    x = y = 96;
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const int dx = int(std::lround(s->logicalDotsPerInchX()));
        const int dy = int(std::lround(s->logicalDotsPerInchY()));
        if (dx > 0)
            x = dx;
        if (dy > 0)
            y = dy;
    }
}

int Scale(int value, int num, int den)
{
    return int((int64_t(value) * num + (value < 0 ? -den / 2 : den / 2)) / den);
}

// The rows of one expanded line in the area's width.
void WrapJobLine(EdtPrintJob& job, const QFontMetrics& fm, const std::u16string& text, std::vector<int>& breaks)
{
    auto advance = [&](char16_t c) {
        if (c < 128) {
            int& a = job.asciiAdvance[c];
            if (a == 0)
                a = std::max(1, fm.horizontalAdvance(QChar(c)));
            return a;
        }
        return fm.horizontalAdvance(QChar(c));
    };
    edt::WrapPrintLine(text, job.area.width(), advance, breaks);
}

} // namespace

EdtTextPrinter::EdtTextPrinter(CEdtTextView& view) : m_view(view), m_style(view.Style()) {}

EdtTextPrinter::~EdtTextPrinter() = default;

void EdtTextPrinter::OnBeginPrinting(QPainter& painter, ui::PrintInfo&)
{
    auto job = std::make_unique<EdtPrintJob>();
    const int n = m_view.GetLineCount();
    job->lines.resize(size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i) {
        const std::u16string_view line(m_view.GetLineChars(i), size_t(m_view.GetLineLength(i)));
        edt::ExpandCells(line, 0, int(line.size()), 0, m_style.tabSize, m_style.showTabs, 0,
                         INT_MAX, job->lines[size_t(i)]);
    }
    // The normal font, scaled from the screen to the printer.
    int sx, sy;
    ScreenDpi(sx, sy);
    QPaintDevice* dev = painter.device();
    const int px = dev ? dev->logicalDpiX() : sx;
    const int py = dev ? dev->logicalDpiY() : sy;
    EdtLogFont lf = EdtViewRenderer::ResolvedLogFont(m_view.Renderer().m_logFont);
    lf.height = Scale(lf.height, py, sy);
    if (lf.width != 0)
        lf.width = Scale(lf.width, px, sx);
    job->font = EdtViewRenderer::FontFromLogFont(lf, false, false);
    painter.setFont(job->font);
    const QFontMetrics fm(job->font, dev);
    job->ascent = fm.ascent();
    job->lineHeight = std::max(1, fm.ascent() + fm.descent());
    job->charWidth = std::max(1, fm.horizontalAdvance(QLatin1Char('X')));
    m_printJob = std::move(job);
}

void EdtTextPrinter::OnPrepareDC(ui::PrintInfo* info)
{
    if (info)
        info->continuePrinting =
            !(m_printJob && m_printJob->laidOut && info->curPage > int(m_printJob->pages.size()));
}

int EdtTextPrinter::GetPrintPageCount() const
{
    return m_printJob && m_printJob->laidOut ? int(m_printJob->pages.size()) : 0;
}

void EdtTextPrinter::OnPrint(QPainter& painter, ui::PrintInfo& info)
{
    if (!m_printJob)
        m_view.OnBeginPrinting(painter, info);
    EdtPrintJob& job = *m_printJob;
    QPaintDevice* dev = painter.device();
    const QFontMetrics fm(job.font, dev);
    std::vector<int> breaks;
    if (!job.laidOut) {
        const QRect page = info.drawRect.normalized();
        const int dx = dev ? dev->logicalDpiX() : 96;
        const int dy = dev ? dev->logicalDpiY() : 96;
        job.area = edt::PrintAreaOf(page, LoadPageSettings().margins, dx, dy, job.lineHeight, job.charWidth,
                                    m_printHeader, m_printFooter);
        std::vector<int> rows(job.lines.size(), 1);
        bool cancelled = false;
        for (size_t i = 0; i < job.lines.size(); ++i) {
            if ((i & 1023) == 1023 && !info.Poll()) {
                cancelled = true;
                break;
            }
            WrapJobLine(job, fm, job.lines[i], breaks);
            rows[i] = int(breaks.size()) + 1;
        }
        job.pages = cancelled ? std::vector<edt::PageStart>{{0, 0}}
                              : edt::LayoutPrintPages(rows, job.area.height() / job.lineHeight);
        job.laidOut = true;
        info.maxPage = int(job.pages.size());
    }
    const int page = info.curPage;
    if (!info.draw || page < 1 || page > int(job.pages.size()))
        return;
    painter.setFont(job.font);
    painter.setPen(Qt::black);
    if (m_printHeader)
        m_view.PrintHeader(painter, page);
    if (m_printFooter)
        m_view.PrintFooter(painter, page);

    const edt::PageStart start = job.pages[size_t(page - 1)];
    const bool last = page == int(job.pages.size());
    const edt::PageStart end = last ? edt::PageStart{int(job.lines.size()), 0} : job.pages[size_t(page)];
    int y = job.area.top();
    for (int line = start.line; line < int(job.lines.size()) && line <= end.line; ++line) {
        const std::u16string& text = job.lines[size_t(line)];
        WrapJobLine(job, fm, text, breaks);
        const int rows = int(breaks.size()) + 1;
        const int firstRow = line == start.line ? start.row : 0;
        const int endRow = line == end.line ? end.row : rows;
        for (int r = firstRow; r < endRow && r < rows; ++r) {
            const int from = r == 0 ? 0 : breaks[size_t(r - 1)];
            const int to = r + 1 < rows ? breaks[size_t(r)] : int(text.size());
            if (to > from)
                painter.drawText(QPoint(job.area.left(), y + job.ascent),
                                 QString::fromUtf16(text.data() + from, to - from));
            y += job.lineHeight;
        }
    }
}

void EdtTextPrinter::OnEndPrinting(QPainter&, ui::PrintInfo&)
{
    m_printJob.reset();
}

void EdtTextPrinter::PrintHeader(QPainter& painter, int page)
{
    const QString text = m_view.GetPrintHeaderText(page);
    if (text.isEmpty() || !m_printJob)
        return;
    const QRect& a = m_printJob->area;
    const int band = edt::PrintBandHeight(m_printJob->lineHeight);
    painter.drawText(QRect(a.left(), a.top() - band, a.width(), band),
                     Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

void EdtTextPrinter::PrintFooter(QPainter& painter, int page)
{
    const QString text = m_view.GetPrintFooterText(page);
    if (text.isEmpty() || !m_printJob)
        return;
    const QRect& a = m_printJob->area;
    const int band = edt::PrintBandHeight(m_printJob->lineHeight);
    painter.drawText(QRect(a.left(), a.bottom() + 1, a.width(), band),
                     Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine, text);
}

QString EdtTextPrinter::GetPrintHeaderText(int)
{
    return {};
}

QString EdtTextPrinter::GetPrintFooterText(int page)
{
    return FormatResString(IDS_EDT_PRINT_FOOTER, page, GetPrintPageCount());
}

void EdtTextPrinter::OnFilePageSetup()
{
    RunPageSetup(m_view.window());
}

// ------------------------------------------------------------ the view's functions that hand on to this part

void CEdtTextView::OnBeginPrinting(QPainter& painter, ui::PrintInfo& info)
{
    m_printer->OnBeginPrinting(painter, info);
}

void CEdtTextView::OnPrepareDC(QPainter& painter, ui::PrintInfo* info)
{
    ui::View::OnPrepareDC(painter, info);
    m_printer->OnPrepareDC(info);
}

void CEdtTextView::OnPrint(QPainter& painter, ui::PrintInfo& info)
{
    m_printer->OnPrint(painter, info);
}

void CEdtTextView::OnEndPrinting(QPainter& painter, ui::PrintInfo& info)
{
    m_printer->OnEndPrinting(painter, info);
}

void CEdtTextView::PrintHeader(QPainter& painter, int page)
{
    m_printer->PrintHeader(painter, page);
}

void CEdtTextView::PrintFooter(QPainter& painter, int page)
{
    m_printer->PrintFooter(painter, page);
}

QString CEdtTextView::GetPrintHeaderText(int page)
{
    return m_printer->GetPrintHeaderText(page);
}

QString CEdtTextView::GetPrintFooterText(int page)
{
    return m_printer->GetPrintFooterText(page);
}

