#include "uilib/KVTShortcutEdit.h"

#include "uilib/KVTKeyNameFormatter.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QVariant>

namespace {
constexpr uint16_t VK_BACK = 0x08;
constexpr uint16_t VK_TAB = 0x09;
constexpr uint16_t VK_ESCAPE = 0x1B;
constexpr uint16_t VK_SHIFT = 0x10;
constexpr uint16_t VK_CONTROL = 0x11;
constexpr uint16_t VK_MENU = 0x12;
} // namespace

void KvtShortcutCapture::Clear()
{
    m_captured = false;
    m_accel = {};
    m_text.clear();
}

KvtShortcutCapture::Result KvtShortcutCapture::Feed(bool down, uint16_t vk, bool autoRepeat)
{
    Result r;
    if (vk == 0) {
        r.consumed = true; // a key without a code: nothing to capture
        return r;
    }
    // A new combination starts afresh.
    if (down && !autoRepeat && m_captured) {
        Clear();
        r.textChanged = true;
    }
    if (!m_captured) {
        uint8_t modifier = 0;
        switch (vk) {
        case VK_SHIFT: modifier = ui::FSHIFT; break;
        case VK_CONTROL: modifier = ui::FCONTROL; break;
        case VK_MENU: modifier = ui::FALT; break;
        default: break;
        }
        if (modifier) {
            if (down)
                m_accel.flags |= modifier;
            else
                m_accel.flags &= uint8_t(~modifier);
        } else if (down) {
            m_accel.key = vk;
            m_accel.flags |= ui::FVIRTKEY;
            m_captured = true;
        }
        // The release of a key that was never captured (its press went
        // elsewhere) changes nothing: a key without the virtual-key flag
        // would show as a control character.
    }
    const uint8_t mods = ui::FSHIFT | ui::FCONTROL | ui::FALT;
    const uint16_t key = m_captured ? m_accel.key : vk;
    if (!(m_accel.flags & mods) && (key == VK_BACK || key == VK_TAB || key == VK_ESCAPE)) {
        Clear();
        r.textChanged = true;
        r.consumed = false;
        return r;
    }
    m_text = CKVTKeyNameFormatter::Format(m_accel.flags, m_accel.key);
    r.textChanged = true;
    r.consumed = true;
    return r;
}

CKVTShortcutEdit::CKVTShortcutEdit(QWidget* parent) : QLineEdit(parent)
{
    setProperty(ui::kCapturesKeysProperty, true);
}

void CKVTShortcutEdit::ResetKey()
{
    m_capture.Clear();
    clear();
}

bool CKVTShortcutEdit::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::ShortcutOverride:
        // Every key comes here first, none is a shortcut while we have the focus.
        e->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* ke = static_cast<QKeyEvent*>(e);
        const bool down = e->type() == QEvent::KeyPress;
        if (ke->key() == Qt::Key_Backtab && down && !ke->isAutoRepeat() && !m_capture.Captured())
            m_capture.HoldShift();
        const uint16_t vk = ui::VirtualKeyOf(*ke);
        const KvtShortcutCapture::Result r = m_capture.Feed(down, vk, ke->isAutoRepeat());
        if (r.textChanged) {
            setText(m_capture.Text());
            emit keyUpdated();
        }
        if (r.consumed) {
            e->accept();
            return true;
        }
        return QLineEdit::event(e);
    }
    default:
        return QLineEdit::event(e);
    }
}

void CKVTShortcutEdit::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    e->accept();
}
