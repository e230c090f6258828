#include "platform/ui/LockKeys.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#if defined(SW_HAVE_X11)
#include <X11/XKBlib.h>
#endif

namespace ui {

bool IsLockKeyOn(LockKey key)
{
#if defined(SW_HAVE_X11)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return false;
    unsigned state = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != 0)
        return false;
    // The core keyboard's standard indicators: Caps Lock, Num Lock and
    // Scroll Lock are the first three.
    switch (key) {
    case LockKey::Caps:
        return (state & 0x1) != 0;
    case LockKey::Num:
        return (state & 0x2) != 0;
    case LockKey::Scroll:
        return (state & 0x4) != 0;
    }
    return false;
#else
    (void)key;
    return false;
#endif
}

} // namespace ui
