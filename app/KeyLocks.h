#pragma once

namespace vorpex {

// The state of the Caps Lock, Num Lock and Scroll Lock keys, for the status bar's indicators. Only a
// window system that tells it (X11) gives an answer; elsewhere every lock reads as off.
class KeyLocks {
public:
    static bool isAvailable();
    // False (all three off) when the window system does not tell.
    static bool read(bool& caps, bool& num, bool& scroll);
};

} // namespace vorpex
