#include "platform/ui/SysColor.h"

#include <QApplication>
#include <QPalette>

namespace ui {

QColor ColorFromRef(COLORREF c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

COLORREF RefFromColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

COLORREF GetSysColor(int index)
{
    QPalette::ColorRole role;
    switch (index) {
    case COLOR_WINDOW: role = QPalette::Base; break;
    case COLOR_WINDOWTEXT: role = QPalette::Text; break;
    case COLOR_HIGHLIGHT: role = QPalette::Highlight; break;
    case COLOR_HIGHLIGHTTEXT: role = QPalette::HighlightedText; break;
    case COLOR_3DFACE: role = QPalette::Button; break;
    default: return 0;
    }
    return RefFromColor(QApplication::palette().color(QPalette::Active, role));
}

} // namespace ui
