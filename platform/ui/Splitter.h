#pragma once
// The dynamic splitter of child frames: up to 2 x 2 panes made by one view
// factory, row heights and column widths readable and settable, pane
// lookup by (row, column) and by pane id, and scroll bars shared by the
// panes of one row (vertical) or one column (horizontal).

#include "platform/ui/Document.h"

#include <QWidget>

#include <functional>
#include <vector>

class QScrollBar;
class QSplitter;

namespace ui {

class Document;
class View;

class SplitterWnd : public QWidget
{
    Q_OBJECT
public:
    using PaneFactory = std::function<View*()>;
    static constexpr int PaneFirst = 0xE900;
    static constexpr int MaxRows = 2;
    static constexpr int MaxCols = 2;

    // Makes the first pane (0, 0) for doc; the others come from splitting.
    SplitterWnd(PaneFactory factory, Document* doc, QWidget* parent = nullptr);
    ~SplitterWnd() override;

    int GetRowCount() const { return m_rows; }
    int GetColumnCount() const { return m_cols; }
    View* GetPane(int row, int col) const;
    // The pane id of (row, column): PaneFirst + row * 16 + column.
    static int IdFromRowCol(int row, int col) { return PaneFirst + row * 16 + col; }
    static int RowFromId(int id) { return (id - PaneFirst) / 16; }
    static int ColFromId(int id) { return (id - PaneFirst) % 16; }
    // The pane's id (-1 when it is not a pane of this splitter).
    int PaneId(const View* pane) const;
    bool IsChildPane(const View* pane, int* row = nullptr, int* col = nullptr) const;

    // Splits into two rows / columns; the first gets the given size.
    bool SplitRow(int heightOfRow0);
    bool SplitColumn(int widthOfCol0);
    bool DeleteRow(int row);

    void GetRowInfo(int row, int& current, int& minimum) const;
    void SetRowInfo(int row, int ideal, int minimum);
    void GetColumnInfo(int col, int& current, int& minimum) const;
    void SetColumnInfo(int col, int ideal, int minimum);
    // Applies the sizes set with SetRowInfo / SetColumnInfo.
    void RecalcLayout();

    // The shared scroll bars: the vertical one of a row, the horizontal one
    // of a column.  The panes use them instead of their own.
    QScrollBar* RowScrollBar(int row) const;
    QScrollBar* ColumnScrollBar(int col) const;
    // Whether the columns' horizontal bars are shown (default yes); views
    // without horizontal scrolling switch them off.
    void ShowColumnScrollBars(bool on);
    // The first pane's size hint with the shared scroll bars.
    QSize sizeHint() const override;

signals:
    void PaneCreated(ui::View* pane, int row, int col);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    View* MakePane(int row, int col);
    QSplitter* RowSplitter(int row) const;
    void SyncColumns(QSplitter* from);
    void LayoutBars();

    PaneFactory m_factory;
    Document* m_doc;
    QSplitter* m_rowsSplitter;
    int m_rows = 1, m_cols = 1;
    std::vector<int> m_idealRows{0, 0}, m_idealCols{0, 0}, m_minRows{0, 0}, m_minCols{0, 0};
    std::vector<QScrollBar*> m_rowBars, m_colBars;
    bool m_syncing = false;
    bool m_showColBars = true;
};

// A child frame whose client is a dynamic splitter of the template's view.
class SplitterChildFrame : public ChildFrame
{
    Q_OBJECT
public:
    using ChildFrame::ChildFrame;
    bool OnCreateClient(Document* doc, DocTemplate* tmpl) override;

protected:
    // Every row and column of the splitter keeps at least `minimum` pixels;
    // a pane made by splitting gets its initial update once it sits in its
    // row (the first pane gets it from the template).
    void PreparePanes(SplitterWnd* splitter, int minimum);
};

} // namespace ui
