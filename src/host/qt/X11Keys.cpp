// The unshifted character of a key, from the X server's key map.
#include "host/qt/X11Keys.h"

#include <QGuiApplication>
#include <QKeyEvent>

#ifdef VELMORA_X11
#include <X11/XKBlib.h>
#endif

int UnshiftedCharacter(const QKeyEvent* event) {
#ifdef VELMORA_X11
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display() || event->nativeScanCode() == 0) return 0;
    const unsigned group = (event->nativeModifiers() >> 13) & 3; // the layout group in the state
    const KeySym sym = XkbKeycodeToKeysym(
        x11->display(), static_cast<KeyCode>(event->nativeScanCode()), static_cast<int>(group), 0);
    return sym >= 0x20 && sym <= 0x7E ? static_cast<int>(sym) : 0;
#else
    (void)event;
    return 0;
#endif
}
