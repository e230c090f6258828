#include "uilib/KVTDrawingData.h"

#include "platform/ui/Cursor.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QPalette>

CKVTDrawingData& CKVTDrawingData::Instance()
{
    static CKVTDrawingData* data = new CKVTDrawingData; // lives as long as the process
    return *data;
}

CKVTDrawingData::CKVTDrawingData()
{
    ReadSysColors();
    m_horzFont = QApplication::font("QMenu");
    m_boldFont = m_horzFont;
    m_boldFont.setWeight(QFont::Bold);
    m_vertFont = QApplication::font();
    MeasureFontHeights();
    m_sizeCursor = ui::LoadCursor(30980, Qt::SplitHCursor);
    m_secondCursor = ui::LoadCursor(30981, Qt::SplitVCursor);
    qApp->installEventFilter(this);
}

void CKVTDrawingData::ReadSysColors()
{
    const QPalette pal = QApplication::palette();
    m_colors[COLOR_3DFACE] = pal.color(QPalette::Button);
    m_colors[COLOR_BTNSHADOW] = pal.color(QPalette::Dark);
    m_colors[COLOR_BTNHIGHLIGHT] = pal.color(QPalette::Light);
    m_colors[COLOR_BTNTEXT] = pal.color(QPalette::ButtonText);
    m_colors[COLOR_WINDOWFRAME] = pal.color(QPalette::Shadow);
    m_colors[COLOR_3DDKSHADOW] = pal.color(QPalette::Shadow);
    m_colors[COLOR_3DLIGHT] = pal.color(QPalette::Midlight);
    m_colors[COLOR_GRAYTEXT] = pal.color(QPalette::Disabled, QPalette::Text);
    m_colors[COLOR_HIGHLIGHT] = pal.color(QPalette::Highlight);
    m_colors[COLOR_HIGHLIGHTTEXT] = pal.color(QPalette::HighlightedText);
    m_colors[COLOR_MENU] = pal.color(QPalette::Window);
    m_colors[COLOR_MENUTEXT] = pal.color(QPalette::WindowText);
}

void CKVTDrawingData::MeasureFontHeights()
{
    m_horzTextHeight = QFontMetrics(m_horzFont).height() + 2;
    m_vertTextHeight = QFontMetrics(m_vertFont).height() + 2;
}

bool CKVTDrawingData::ChangeMenuFont(const QFont& font, bool horizontal)
{
    if (horizontal) {
        m_horzFont = font;
        m_boldFont = font;
        m_boldFont.setWeight(QFont::Bold);
    } else {
        m_vertFont = font;
    }
    MeasureFontHeights();
    return true;
}

bool CKVTDrawingData::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::ApplicationPaletteChange && watched == qApp)
        ReadSysColors();
    return false;
}
