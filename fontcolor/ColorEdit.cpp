#include "fontcolor/ColorEdit.h"

#include "platform/ui/Modal.h"
#include "res/StringTable.h"

#include <QColorDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace {
constexpr unsigned IDS_FORMAT_SAMPLE = 12000; // "Šišlavá žížala"
}

CColorEdit::CColorEdit(QWidget* parent, int id) : QWidget(parent), m_id(id)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(24, 16);
}

void CColorEdit::SetColor(ui::COLORREF color)
{
    m_color = color & 0xFFFFFF;
    update();
}

void CColorEdit::ChooseColor()
{
    QColorDialog dlg(ui::ColorFromRef(m_color), this);
    dlg.setOption(QColorDialog::DontUseNativeDialog);
    int result;
    {
        ui::NestedLoopScope scope;
        result = dlg.exec();
    }
    if (result != QDialog::Accepted)
        return;
    ui::COLORREF chosen = ui::RefFromColor(dlg.selectedColor().isValid() ? dlg.selectedColor() : dlg.currentColor());
    if (chosen == m_color)
        return;
    m_color = chosen;
    update();
    emit ColorChanged(m_id);
}

void CColorEdit::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRect r = rect();
    p.fillRect(r, isEnabled() ? ui::ColorFromRef(m_color) : palette().color(QPalette::Disabled, QPalette::Button));
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        QStyleOptionFocusRect opt;
        opt.initFrom(this);
        opt.rect = r.adjusted(2, 2, -2, -2);
        opt.backgroundColor = ui::ColorFromRef(m_color);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
    }
}

void CColorEdit::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        m_pressed = true;
        setFocus(Qt::MouseFocusReason);
    }
}

void CColorEdit::mouseReleaseEvent(QMouseEvent* e)
{
    bool wasPressed = m_pressed;
    m_pressed = false;
    if (e->button() == Qt::LeftButton && wasPressed && rect().contains(e->position().toPoint()))
        ChooseColor();
}

void CColorEdit::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier) {
        if (!e->isAutoRepeat())
            ChooseColor();
        return;
    }
    QWidget::keyPressEvent(e);
}

void CColorEdit::focusInEvent(QFocusEvent* e)
{
    QWidget::focusInEvent(e);
    update();
}

void CColorEdit::focusOutEvent(QFocusEvent* e)
{
    QWidget::focusOutEvent(e);
    update();
}

void CColorEdit::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::EnabledChange)
        update();
}

// ------------------------------------------------------ CFormatSampleStatic

CFormatSampleStatic::CFormatSampleStatic(QWidget* parent)
    : QWidget(parent), m_text(LoadResString(IDS_FORMAT_SAMPLE))
{
    setMinimumSize(120, 40);
}

void CFormatSampleStatic::SetSample(const QFont& font, ui::COLORREF text, ui::COLORREF back)
{
    m_font = font;
    m_textColor = text;
    m_backColor = back;
    update();
}

void CFormatSampleStatic::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), ui::ColorFromRef(ui::GetSysColor(ui::COLOR_3DFACE)));
    QFontMetrics fm(m_font);
    int w = std::min(width() - 8, fm.horizontalAdvance(m_text) + 16);
    int h = std::min(height() - 8, fm.height() + 8);
    QRect box((width() - w) / 2, (height() - h) / 2, w, h);
    p.fillRect(box, ui::ColorFromRef(m_backColor));
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setFont(m_font);
    p.setPen(ui::ColorFromRef(m_textColor));
    p.setClipRect(box.adjusted(1, 1, -1, -1));
    p.drawText(box, Qt::AlignCenter, m_text);
}
