#pragma once
// The drawing of a text view: fonts and metrics, colours, the margin with
// its icons, the lines with their colour runs, the selection and the caret.
// Part of CEdtTextView; see docs/editor-views.md.

#include "editor/parsers/EdtParser.h"
#include "editor/view/EdtSelectionState.h"
#include "editor/settings/EdtSettings.h"
#include "editor/layout/EdtViewLayout.h"
#include "editor/view/EdtViewStyle.h"

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QPixmap>
#include <QPointF>
#include <QRawFont>

#include <array>
#include <memory>

class CEdtTextView;
class QPainter;
class QPaintEvent;
class QRect;

// The glyphs of a font that share one advance and that the shaping leaves
// alone (no ligature or contextual feature of the Latin and default
// scripts, the same glyph as the character map): a run of them is drawn
// as glyphs at the places drawing the run as text gives them (the
// advances summed, or each glyph centred in its cell where the text path
// draws character by character), without shaping it: the same pixels.
// Characters below kChars only.
struct EdtCellGlyphs
{
    static constexpr int kChars = 0x250;
    QRawFont raw;
    std::array<uint32_t, kChars> glyph{}; // 0: draw as text
    int64_t advance64 = 0;                // the advance in 1/64 pixel
    int roundedAdvance = 0;               // as the integer metrics give it

    static EdtCellGlyphs Make(const QFont& font, int charWidth);
};

class EdtViewRenderer
{
public:
    explicit EdtViewRenderer(CEdtTextView& view);

    QColor GetColor(int index) const;
    bool GetBold(int index) const;
    bool GetItalic(int index) const;
    bool GetLineColors(int line, QColor& text, QColor& back) const;
    void SetFont(const EdtLogFont& font);
    // The selection margin (the source type's 0x8) and the marks of tabs
    // and blanks (0x2); each repaints when it changes.
    void SetSelectionMargin(bool on);
    void SetShowTabs(bool on);
    // The font's LOGFONT with height 0 made 11 points at the screen's DPI.
    static EdtLogFont ResolvedLogFont(const EdtLogFont& font);
    // The view's conversion of a LOGFONT to a font (pixel size |height|).
    static QFont FontFromLogFont(const EdtLogFont& font, bool italic, bool bold);
    const QFont& GetFont(bool italic, bool bold);
    void EnsureMetrics();
    int GetLineHeight();
    int GetCharWidth();
    int GetMarginWidth() const;
    edt::ViewMetrics Metrics();
    void DrawMargin(QPainter& p, const QRect& rect, int line);
    void DrawSingleLine(QPainter& p, const QRect& rect, int line);
    void DrawRuns(QPainter& p, const QRect& rect, int line);
    bool DrawCellGlyphs(QPainter& p, int slot, int x, int baseline, const std::u16string& cells);
    void Paint(QPaintEvent* e);

    // The state (the view and its other parts read it).
    CEdtTextView& m_view;
    const EdtSelectionState& m_sel;
    const EdtViewStyle& m_style;
    const EdtScrollPos& m_pos;
    EdtLogFont m_logFont{};
    std::array<std::unique_ptr<QFont>, 4> m_fonts;
    std::array<int, 4> m_fontFits{};  // 1 when an ASCII run may be drawn whole
    std::array<int, 4> m_fontAscent{};
    std::array<std::shared_ptr<const EdtCellGlyphs>, 4> m_cellGlyphs;
    int m_cellGlyphsDpi = 0;
    QList<quint32> m_runGlyphs; // reused by each run drawn as glyphs
    QList<QPointF> m_runPositions;
    int m_lineHeight = -1, m_charWidth = -1;
    TextBlockList m_blocks;
    QPixmap m_icons;
    bool m_iconsLoaded = false;
    QCursor m_marginCursor;
    bool m_marginCursorLoaded = false;
};
