#pragma once
// The state of the keyboard's lock keys (Caps Lock, Num Lock, Scroll Lock)
// as the window system shows it on its indicators.  On X11 it asks the X
// keyboard extension; elsewhere (offscreen, Wayland) every key counts as
// off.

namespace ui {

enum class LockKey { Caps, Num, Scroll };

// Whether the lock key is on; false when the window system cannot tell.
bool IsLockKeyOn(LockKey key);

} // namespace ui
