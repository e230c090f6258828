#pragma once
// The scrolling of a text view: the screen's size in lines and chars, its
// own scroll bars or those of its splitter pane, scrolling by sub-lines and
// columns, the panes that scroll together, resizing and the wheel.  Part of
// CEdtTextView; see docs/editor-views.md.

#include "editor/view/EdtViewStyle.h"

#include <QPointer>
#include <QRect>
#include <QScrollBar>

class CEdtTextView;
class QObject;
class QResizeEvent;
class QWheelEvent;

namespace ui {
class SplitterWnd;
} // namespace ui

class EdtViewScroller
{
public:
    explicit EdtViewScroller(CEdtTextView& view);

    QRect ClientRect() const;
    int GetScreenLines();
    int GetScreenChars();
    static void KeepOneLineOnPageSteps(QScrollBar* bar, QObject* context);
    void ConnectScrollBars();
    void LayoutScrollBars();
    void RecalcVertScrollBar(bool positionOnly = false);
    void RecalcHorzScrollBar(bool positionOnly = false);
    void OnVScroll(int value);
    void OnHScroll(int value);
    void ScrollToSubLine(int subLine, bool noSmooth = false, bool trackScrollBar = true);
    void ScrollToChar(int column, bool noSmooth = false, bool trackScrollBar = true);
    void ScrollToLine(int line, bool noSmooth = false, bool trackScrollBar = true);
    void UpdateSiblingScrollPos(bool horz);
    void OnUpdateSibling(CEdtTextView* updater, bool horz);
    void Resize(QResizeEvent* e);
    void Wheel(QWheelEvent* e);

    // The state (the view and its other parts read it).
    CEdtTextView& m_view;
    const EdtViewStyle& m_style;
    EdtScrollPos& m_pos;
    int m_screenLines = -1, m_screenChars = -1;
    QScrollBar* m_vbar = nullptr;
    QScrollBar* m_hbar = nullptr;
    QPointer<QScrollBar> m_sharedV, m_sharedH;
    ui::SplitterWnd* m_splitter = nullptr;
    int m_wheelRest = 0, m_hwheelRest = 0;
    bool m_syncingSiblings = false;
};
