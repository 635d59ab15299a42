#include "app/KeyLocks.h"

#include <QGuiApplication>

#ifdef VORPEX_HAVE_X11
#include <QtGui/qguiapplication_platform.h>
// After every Qt header: Xlib defines short macros (None, Bool, Status).
#include <X11/XKBlib.h>
#endif

#ifdef VORPEX_HAVE_X11
static Display* X11Display() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}
#endif

bool CKeyLocks::IsAvailable() {
#ifdef VORPEX_HAVE_X11
    return X11Display() != nullptr;
#else
    return false;
#endif
}

bool CKeyLocks::Read(bool& caps, bool& num, bool& scroll) {
    caps = num = scroll = false;
#ifdef VORPEX_HAVE_X11
    Display* display = X11Display();
    if (!display)
        return false;
    // The keyboard's indicators by name: their bit positions differ between keyboard maps.
    const auto lit = [display](const char* name) {
        Bool on = False;
        const Atom atom = XInternAtom(display, name, True);
        return atom != None && XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr) && on;
    };
    caps = lit("Caps Lock");
    num = lit("Num Lock");
    scroll = lit("Scroll Lock");
    return true;
#else
    return false;
#endif
}
