#include "app/KeyLocks.h"

#include <QGuiApplication>

#ifdef VORPEX_HAVE_X11
#include <QtGui/qguiapplication_platform.h>
// After every Qt header: Xlib defines short macros (None, Bool, Status).
#include <X11/XKBlib.h>
#include <X11/keysym.h>
#endif

#ifdef VORPEX_HAVE_X11

namespace vorpex {

static Display* x11Display() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}
#endif

bool KeyLocks::isAvailable() {
#ifdef VORPEX_HAVE_X11
    return x11Display() != nullptr;
#else
    return false;
#endif
}

bool KeyLocks::read(bool& caps, bool& num, bool& scroll) {
    caps = num = scroll = false;
#ifdef VORPEX_HAVE_X11
    Display* display = x11Display();
    if (!display)
        return false;
    // A lock is on when its modifier is locked; a lock key bound to no modifier (Scroll Lock, usually)
    // is read from the keyboard's indicator of that name instead.
    XkbStateRec state{};
    const unsigned locked = XkbGetState(display, XkbUseCoreKbd, &state) == Success ? state.locked_mods : 0;
    const auto on = [display, locked](KeySym key, const char* indicator) {
        const unsigned mask = XkbKeysymToModifiers(display, key);
        if (mask)
            return (locked & mask) != 0;
        Bool lit = False;
        const Atom atom = XInternAtom(display, indicator, True);
        return atom != None && XkbGetNamedIndicator(display, atom, nullptr, &lit, nullptr, nullptr) && lit;
    };
    caps = on(XK_Caps_Lock, "Caps Lock");
    num = on(XK_Num_Lock, "Num Lock");
    scroll = on(XK_Scroll_Lock, "Scroll Lock");
    return true;
#else
    return false;
#endif
}

} // namespace vorpex
