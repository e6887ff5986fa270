// The per-user settings of the desktop program.
#include "host/qt/UserPrefs.h"

#include <QSettings>

namespace {
// ~/.config/velmora/desktop.conf on Linux.
QSettings Store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("velmora"),
                     QStringLiteral("desktop"));
}
} // namespace

UserPrefs LoadUserPrefs() {
    const QSettings store = Store();
    UserPrefs prefs;
    bool ok = false;
    const int zoom = store.value(QStringLiteral("Window/Zoom")).toInt(&ok);
    if (ok && IsZoomLevel(zoom)) prefs.Zoom = zoom;
    prefs.AlwaysOnTop = store.value(QStringLiteral("Window/AlwaysOnTop"), false).toBool();
    const QVariant position = store.value(QStringLiteral("Window/Position"));
    if (position.canConvert<QPoint>() && position.isValid()) prefs.Position = position.toPoint();
    return prefs;
}

void SaveUserPrefs(const UserPrefs& prefs) {
    QSettings store = Store();
    store.setValue(QStringLiteral("Window/Zoom"), prefs.Zoom);
    store.setValue(QStringLiteral("Window/AlwaysOnTop"), prefs.AlwaysOnTop);
    if (prefs.Position)
        store.setValue(QStringLiteral("Window/Position"), *prefs.Position);
    else
        store.remove(QStringLiteral("Window/Position"));
}
