#pragma once
// The warning beep of the program, counted so that tests can see it.

#include <cstdint>

namespace ui {

// Sounds the platform's beep (type: the kind of sound, unused here).
void MessageBeep(uint32_t type = 0);
// Beeps since the start of the process.
int BeepCount();

} // namespace ui
