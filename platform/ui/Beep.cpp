#include "platform/ui/Beep.h"

#include <QApplication>

#include <atomic>

namespace ui {

namespace {
std::atomic<int> g_beeps{0};
}

void MessageBeep(uint32_t)
{
    ++g_beeps;
    QApplication::beep();
}

int BeepCount() { return g_beeps.load(); }

} // namespace ui
