#include "platform/LockKeys.h"

#include <QGuiApplication>

#if defined(MORVANE_HAVE_X11) && QT_CONFIG(xcb)
// After Qt's headers: Xlib defines names that Qt uses.
#include <X11/XKBlib.h>
#define MORVANE_READ_X11_INDICATORS 1
#endif

#ifdef MORVANE_READ_X11_INDICATORS

namespace {

// The indicator numbers of the three lock keys on one display, looked up
// once: -1 for a keyboard without that indicator.
struct IndicatorNumbers {
    Display* display = nullptr;
    int caps = -1, num = -1, scroll = -1;
};

int IndicatorNumber(Display* display, const char* name)
{
    const Atom atom = XInternAtom(display, name, True);
    int number = -1;
    if (atom == None || !XkbGetNamedIndicator(display, atom, &number, nullptr, nullptr, nullptr)) return -1;
    return number;
}

}  // namespace

std::optional<LockKeyState> ReadLockKeys()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return std::nullopt;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return std::nullopt;
    static IndicatorNumbers numbers;
    if (numbers.display != display) {
        numbers.display = display;
        numbers.caps = IndicatorNumber(display, "Caps Lock");
        numbers.num = IndicatorNumber(display, "Num Lock");
        numbers.scroll = IndicatorNumber(display, "Scroll Lock");
    }
    unsigned int lit = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &lit) != Success) return std::nullopt;
    auto on = [lit](int number) { return number >= 0 && number < 32 && (lit & (1u << number)) != 0; };
    return LockKeyState{on(numbers.caps), on(numbers.num), on(numbers.scroll)};
}

#else

std::optional<LockKeyState> ReadLockKeys() { return std::nullopt; }

#endif
