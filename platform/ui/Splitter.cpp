#include "platform/ui/Splitter.h"

#include "platform/ui/Document.h"

#include <QEvent>
#include <QPointer>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTimer>

namespace ui {

SplitterWnd::SplitterWnd(PaneFactory factory, Document* doc, QWidget* parent)
    : QWidget(parent), m_factory(std::move(factory)), m_doc(doc), m_rowsSplitter(new QSplitter(Qt::Vertical, this))
{
    m_rowsSplitter->setChildrenCollapsible(false);
    for (int i = 0; i < MaxRows; ++i) {
        auto* bar = new QScrollBar(Qt::Vertical, this);
        bar->setObjectName(QStringLiteral("sw_row_bar_%1").arg(i));
        m_rowBars.push_back(bar);
    }
    for (int i = 0; i < MaxCols; ++i) {
        auto* bar = new QScrollBar(Qt::Horizontal, this);
        bar->setObjectName(QStringLiteral("sw_col_bar_%1").arg(i));
        m_colBars.push_back(bar);
    }
    connect(m_rowsSplitter, &QSplitter::splitterMoved, this, [this] { LayoutBars(); });
    auto* row0 = new QSplitter(Qt::Horizontal);
    row0->setChildrenCollapsible(false);
    connect(row0, &QSplitter::splitterMoved, this, [this, row0] { SyncColumns(row0); });
    m_rowsSplitter->addWidget(row0);
    row0->addWidget(MakePane(0, 0));
    LayoutBars();
}

SplitterWnd::~SplitterWnd() = default;

View* SplitterWnd::MakePane(int row, int col)
{
    View* v = m_factory ? m_factory() : nullptr;
    if (!v)
        v = new View;
    v->setProperty("sw_pane_id", IdFromRowCol(row, col));
    if (m_doc)
        m_doc->AddView(v);
    v->installEventFilter(this);
    emit PaneCreated(v, row, col);
    return v;
}

QSplitter* SplitterWnd::RowSplitter(int row) const
{
    return row >= 0 && row < m_rows ? static_cast<QSplitter*>(m_rowsSplitter->widget(row)) : nullptr;
}

View* SplitterWnd::GetPane(int row, int col) const
{
    QSplitter* r = RowSplitter(row);
    if (!r || col < 0 || col >= m_cols)
        return nullptr;
    return qobject_cast<View*>(r->widget(col));
}

int SplitterWnd::PaneId(const View* pane) const
{
    int row, col;
    return IsChildPane(pane, &row, &col) ? IdFromRowCol(row, col) : -1;
}

bool SplitterWnd::IsChildPane(const View* pane, int* row, int* col) const
{
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < m_cols; ++c)
            if (GetPane(r, c) == pane) {
                if (row)
                    *row = r;
                if (col)
                    *col = c;
                return true;
            }
    return false;
}

bool SplitterWnd::SplitRow(int heightOfRow0)
{
    if (m_rows >= MaxRows)
        return false;
    auto* row1 = new QSplitter(Qt::Horizontal);
    row1->setChildrenCollapsible(false);
    connect(row1, &QSplitter::splitterMoved, this, [this, row1] { SyncColumns(row1); });
    m_rowsSplitter->addWidget(row1);
    ++m_rows;
    for (int c = 0; c < m_cols; ++c)
        row1->addWidget(MakePane(1, c));
    row1->setSizes(RowSplitter(0)->sizes());
    int total = m_rowsSplitter->height() - m_rowsSplitter->handleWidth();
    m_idealRows[0] = heightOfRow0;
    m_idealRows[1] = std::max(1, total - heightOfRow0);
    RecalcLayout();
    return true;
}

bool SplitterWnd::SplitColumn(int widthOfCol0)
{
    if (m_cols >= MaxCols)
        return false;
    ++m_cols;
    for (int r = 0; r < m_rows; ++r)
        RowSplitter(r)->addWidget(MakePane(r, 1));
    int total = m_rowsSplitter->width() - RowSplitter(0)->handleWidth();
    m_idealCols[0] = widthOfCol0;
    m_idealCols[1] = std::max(1, total - widthOfCol0);
    RecalcLayout();
    return true;
}

bool SplitterWnd::DeleteRow(int row)
{
    if (m_rows < 2 || row < 0 || row >= m_rows)
        return false;
    QSplitter* r = RowSplitter(row);
    --m_rows;
    delete r; // the panes leave their document as they go
    for (int c = 0; c < m_cols; ++c)
        if (View* v = GetPane(0, c))
            v->setProperty("sw_pane_id", IdFromRowCol(0, c));
    LayoutBars();
    return true;
}

void SplitterWnd::GetRowInfo(int row, int& current, int& minimum) const
{
    current = minimum = 0;
    if (row < 0 || row >= m_rows)
        return;
    current = m_rowsSplitter->sizes().value(row);
    minimum = m_minRows[size_t(row)];
}

void SplitterWnd::SetRowInfo(int row, int ideal, int minimum)
{
    if (row < 0 || row >= MaxRows)
        return;
    m_idealRows[size_t(row)] = ideal;
    m_minRows[size_t(row)] = minimum;
}

void SplitterWnd::GetColumnInfo(int col, int& current, int& minimum) const
{
    current = minimum = 0;
    if (col < 0 || col >= m_cols)
        return;
    current = RowSplitter(0)->sizes().value(col);
    minimum = m_minCols[size_t(col)];
}

void SplitterWnd::SetColumnInfo(int col, int ideal, int minimum)
{
    if (col < 0 || col >= MaxCols)
        return;
    m_idealCols[size_t(col)] = ideal;
    m_minCols[size_t(col)] = minimum;
}

void SplitterWnd::RecalcLayout()
{
    if (m_rows > 1) {
        int total = std::max(0, m_rowsSplitter->height() - m_rowsSplitter->handleWidth());
        int h0 = std::clamp(m_idealRows[0], 1, std::max(1, total - 1));
        m_rowsSplitter->setSizes({h0, std::max(1, total - h0)});
    }
    if (m_cols > 1) {
        int total = std::max(0, RowSplitter(0)->width() - RowSplitter(0)->handleWidth());
        if (total <= 0)
            total = m_idealCols[0] + m_idealCols[1];
        int w0 = std::clamp(m_idealCols[0], 1, std::max(1, total - 1));
        for (int r = 0; r < m_rows; ++r)
            RowSplitter(r)->setSizes({w0, std::max(1, total - w0)});
    }
    LayoutBars();
}

void SplitterWnd::SyncColumns(QSplitter* from)
{
    if (m_syncing)
        return;
    m_syncing = true;
    const QList<int> sizes = from->sizes();
    for (int r = 0; r < m_rows; ++r)
        if (RowSplitter(r) != from)
            RowSplitter(r)->setSizes(sizes);
    if (m_cols > 1)
        m_idealCols[0] = sizes.value(0);
    m_syncing = false;
    LayoutBars();
}

QScrollBar* SplitterWnd::RowScrollBar(int row) const
{
    return row >= 0 && row < m_rows ? m_rowBars[size_t(row)] : nullptr;
}

QScrollBar* SplitterWnd::ColumnScrollBar(int col) const
{
    return col >= 0 && col < m_cols ? m_colBars[size_t(col)] : nullptr;
}

void SplitterWnd::ShowColumnScrollBars(bool on)
{
    m_showColBars = on;
    LayoutBars();
}

QSize SplitterWnd::sizeHint() const
{
    const View* first = GetPane(0, 0);
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return (first ? first->sizeHint() : QSize(200, 150)) + QSize(extent, extent);
}

void SplitterWnd::LayoutBars()
{
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int w = std::max(0, width() - extent);
    const int h = std::max(0, height() - (m_showColBars ? extent : 0));
    if (m_rowsSplitter->geometry() != QRect(0, 0, w, h))
        m_rowsSplitter->setGeometry(0, 0, w, h);
    const QList<int> rows = m_rowsSplitter->sizes();
    int y = 0;
    for (int r = 0; r < MaxRows; ++r) {
        QScrollBar* bar = m_rowBars[size_t(r)];
        bar->setVisible(r < m_rows);
        if (r < m_rows) {
            bar->setGeometry(w, y, extent, rows.value(r));
            y += rows.value(r) + m_rowsSplitter->handleWidth();
        }
    }
    const QList<int> cols = RowSplitter(0)->sizes();
    int x = 0;
    for (int c = 0; c < MaxCols; ++c) {
        QScrollBar* bar = m_colBars[size_t(c)];
        bar->setVisible(m_showColBars && c < m_cols);
        if (m_showColBars && c < m_cols) {
            bar->setGeometry(x, h, cols.value(c), extent);
            x += cols.value(c) + RowSplitter(0)->handleWidth();
        }
    }
}

void SplitterWnd::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    LayoutBars();
}

bool SplitterWnd::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::FocusIn)
        if (auto* v = qobject_cast<View*>(watched))
            if (ChildFrame* f = v->GetParentFrame())
                f->SetActiveView(v);
    return QWidget::eventFilter(watched, e);
}

bool SplitterChildFrame::OnCreateClient(Document* doc, DocTemplate* tmpl)
{
    auto* splitter = new SplitterWnd([tmpl] { return tmpl->CreateView(); }, doc);
    setWidget(splitter);
    SetActiveView(splitter->GetPane(0, 0));
    return splitter->GetPane(0, 0) != nullptr;
}

void SplitterChildFrame::PreparePanes(SplitterWnd* splitter, int minimum)
{
    for (int i = 0; i < SplitterWnd::MaxRows; ++i)
        splitter->SetRowInfo(i, 0, minimum);
    for (int i = 0; i < SplitterWnd::MaxCols; ++i)
        splitter->SetColumnInfo(i, 0, minimum);
    connect(splitter, &SplitterWnd::PaneCreated, this, [](View* pane, int, int) {
        QPointer<View> p(pane);
        QTimer::singleShot(0, pane, [p] {
            if (p)
                p->OnInitialUpdate();
        });
    });
}

void SplitterWnd::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    LayoutBars();
}

} // namespace ui
