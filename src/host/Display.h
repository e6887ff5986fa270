// Whether the desktop program can hope to open a window, judged from the environment before
// the window system is touched: the platform Qt will use (QT_QPA_PLATFORM, possibly a list
// tried in order; by default the X server or a Wayland compositor) and the variables naming
// its display.
#pragma once

#include "host/WorkFolder.h"

#include <string>

// Empty when some platform the program may use has a display (or needs none, as Qt's
// offscreen platform); else the reason no window can be shown, for one line of text.
std::string MissingDisplay(const EnvLookup& env);
