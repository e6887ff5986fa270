// What the desktop program remembers for each user between runs, through QSettings in the user's
// configuration folder: the zoom, always on top and the window's position. The working folder's
// velmora.ini is only ever read, as before.
#pragma once

#include "host/qt/Zoom.h"

#include <QPoint>

#include <optional>

struct UserPrefs {
    int Zoom = kDefaultZoom;
    bool AlwaysOnTop = false;
    std::optional<QPoint> Position; // the window's top left corner
};

// Missing or unusable values give the defaults.
UserPrefs LoadUserPrefs();
void SaveUserPrefs(const UserPrefs& prefs);
