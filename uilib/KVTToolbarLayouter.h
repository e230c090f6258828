#pragma once
// The layout of a toolbar: its button, image, row and column sizes, the
// label height of text labels, and the passes that hand the buttons to the
// pure layout core (KvtToolbarLayout) and take the results back (wraps,
// rectangles, hidden buttons, the overflow button's place, hit tests and
// drop places).  The bar's virtual layout operations land here unless a
// derived bar replaces them.

#include "uilib/KVTToolbarLayout.h"

#include <QPoint>
#include <QSize>

#include <cstdint>
#include <vector>

class CKVTToolBar;

class CKVTToolbarLayouter
{
public:
    explicit CKVTToolbarLayouter(CKVTToolBar& bar) : m_bar(bar) {}

    // Sizes.
    void SetOwnSizes(QSize button, QSize image);
    void UpdateOwnCurrentSizes();
    QSize OwnButtonSize() const { return m_ownButton; }
    QSize CurrentOwnButtonSize() const { return m_curOwnButton; }
    QSize ButtonSize() const;
    QSize ImageSize() const;
    int ColumnWidth() const;
    int RowHeight() const;
    bool LabelsTaller() const { return m_labelsTaller; }
    int LabelHeight() const { return m_labelHeight; }
    void CalcMaxLabelHeight();

    // The core's view of the buttons and of the bar.
    std::vector<KvtLayoutButton> Items(bool horz);
    KvtLayoutBar Bar(bool horz) const;

    // The passes.
    QSize CalcSize(bool vertical);
    QSize CalcLayout(uint32_t mode, int length);
    // The horizontal rows the buttons take wrapped at `length` (the bar's
    // borders included); sets the wrap flags.
    QSize CalcWrappedLayout(int length);
    QSize CalcFixedLayout(bool stretch, bool horz);
    QSize CalcDynamicLayout(int length, uint32_t mode);
    void RepositionButtons();
    void AdjustLayout();
    int HitTest(QPoint point) const;
    // The length to wrap at; -1: the client width.
    void SetFixedLength(int length) { m_fixedLength = length; }
    KvtDropPlace FindDropPlace(const QPoint& point, const KvtDropRules& rules, bool horz);

private:
    CKVTToolBar& m_bar;
    bool m_labelsTaller = false;
    int m_labelHeight = 0;
    QSize m_ownButton{23, 22};
    QSize m_ownImage{16, 15};
    QSize m_curOwnButton{23, 22};
    QSize m_curOwnImage{16, 15};
    bool m_largeIcons = true; // takes part in large icons (else the unscaled sizes)
    int m_fixedLength = -1;
};
