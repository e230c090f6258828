#pragma once
// The drawing of a text view: fonts and metrics, colours, the margin with
// its icons, the lines with their colour runs, the selection and the caret.
// Part of CEdtTextView; see docs/editor-views.md.

#include "editor/EdtParser.h"
#include "editor/EdtSettings.h"
#include "editor/EdtViewLayout.h"

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QPixmap>

#include <array>
#include <memory>

class CEdtTextView;
class QPainter;
class QPaintEvent;
class QRect;

class EdtViewRenderer
{
public:
    explicit EdtViewRenderer(CEdtTextView& view);

    QColor GetColor(int index) const;
    bool GetBold(int index) const;
    bool GetItalic(int index) const;
    bool GetLineColors(int line, QColor& text, QColor& back) const;
    void SetFont(const EdtLogFont& font);
    static EdtLogFont ResolvedLogFont(const EdtLogFont& font);
    static QFont FontFromLogFont(const EdtLogFont& font, bool italic, bool bold);
    const QFont& GetFont(bool italic, bool bold);
    void EnsureMetrics();
    int GetLineHeight();
    int GetCharWidth();
    int GetMarginWidth() const;
    void SetSelectionMargin(bool on);
    void SetShowTabs(bool on);
    edt::ViewMetrics Metrics();
    void DrawMargin(QPainter& p, const QRect& rect, int line);
    void PrepareSelBounds();
    void DrawSingleLine(QPainter& p, const QRect& rect, int line);
    void DrawRuns(QPainter& p, const QRect& rect, int line);
    void Paint(QPaintEvent* e);

    // The state (the view and its other parts read it).
    CEdtTextView& m_view;
    EdtLogFont m_logFont{};
    std::array<std::unique_ptr<QFont>, 4> m_fonts;
    std::array<int, 4> m_fontFits{};  // 1 when an ASCII run may be drawn whole
    std::array<int, 4> m_fontAscent{};
    int m_lineHeight = -1, m_charWidth = -1;
    TextBlockList m_blocks;
    QPixmap m_icons;
    bool m_iconsLoaded = false;
    QCursor m_marginCursor;
    bool m_marginCursorLoaded = false;
};
