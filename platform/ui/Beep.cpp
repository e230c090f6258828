#include "platform/ui/Beep.h"

#include <QApplication>

namespace ui {

namespace {
int g_beeps = 0;
}

void MessageBeep(uint32_t type)
{
    (void)type;
    ++g_beeps;
    QApplication::beep();
}

int BeepCount()
{
    return g_beeps;
}

} // namespace ui
