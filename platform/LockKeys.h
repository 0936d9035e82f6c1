// The state of the keyboard's lock keys (Caps Lock, Num Lock, Scroll Lock)
// as the window system tells it.  Under X11 it is the keyboard extension's
// indicators; elsewhere (offscreen, Wayland) it cannot be known.
#pragma once

#include <optional>

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// Asks the window system now; nullopt where it cannot tell.
std::optional<LockKeyState> ReadLockKeys();
