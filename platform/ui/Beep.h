#pragma once
// The warning sound: the system beep, counted so that tests can see it.

#include <cstdint>

namespace ui {

// Sounds the beep (the type is the kind of sound; every kind is the same
// beep here) and counts it.
void MessageBeep(uint32_t type = 0);
// The number of beeps since the process started.
int BeepCount();

} // namespace ui
