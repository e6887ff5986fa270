// What the X server's key map says about a key, for the main window's key handling. Kept apart
// because the X headers define names (None, Bool, KeyPress) that clash with Qt's.
#pragma once

class QKeyEvent;

// The character the key of EVENT types without Shift in the current layout group (32..126), or
// 0 where that is unknown (no X11 display, no scan code, not a Latin-1 character).
int UnshiftedCharacter(const QKeyEvent* event);
