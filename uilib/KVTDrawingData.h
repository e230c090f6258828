#pragma once
// The colours, fonts, cursors and text heights with which every bar of the
// library draws: one process-wide object made on first use (after the
// QApplication exists).  The colours follow the palette; ReadSysColors runs
// again whenever the application palette changes.

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QObject>

class CKVTDrawingData : public QObject
{
public:
    static CKVTDrawingData& Instance();

    enum ColorIndex {
        COLOR_3DFACE,
        COLOR_BTNSHADOW,
        COLOR_BTNHIGHLIGHT,
        COLOR_BTNTEXT,
        COLOR_WINDOWFRAME,
        COLOR_3DDKSHADOW,
        COLOR_3DLIGHT,
        COLOR_GRAYTEXT,
        COLOR_HIGHLIGHT,
        COLOR_HIGHLIGHTTEXT,
        COLOR_MENU,
        COLOR_MENUTEXT,
        COLOR_COUNT
    };
    QColor Color(ColorIndex i) const { return m_colors[i]; }
    QColor Face() const { return m_colors[COLOR_3DFACE]; }
    QColor Shadow() const { return m_colors[COLOR_BTNSHADOW]; }
    QColor Highlight() const { return m_colors[COLOR_BTNHIGHLIGHT]; }
    QColor Text() const { return m_colors[COLOR_BTNTEXT]; }

    const QFont& HorzFont() const { return m_horzFont; }
    const QFont& BoldFont() const { return m_boldFont; }
    // Drawn turned by 90 degrees.
    const QFont& VertFont() const { return m_vertFont; }
    int HorzTextHeight() const { return m_horzTextHeight; }
    int VertTextHeight() const { return m_vertTextHeight; }
    bool IsOldSystem() const { return false; }

    const QCursor& SizeCursor() const { return m_sizeCursor; }
    const QCursor& SecondCursor() const { return m_secondCursor; }

    void ReadSysColors();
    bool ChangeMenuFont(const QFont& font, bool horizontal);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    CKVTDrawingData();
    void MeasureFontHeights();

    QColor m_colors[COLOR_COUNT];
    QFont m_horzFont, m_boldFont, m_vertFont;
    int m_horzTextHeight = 0, m_vertTextHeight = 0;
    QCursor m_sizeCursor, m_secondCursor;
};
