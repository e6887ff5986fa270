// Shared pieces of the desktop program's tests: the captured messages, a scratch working
// directory, the generated data files and synthetic mouse events.
#pragma once

#include "periph/Keyboard.h"

#include <QByteArray>
#include <QMouseEvent>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <string>
#include <vector>

// Every ReportWarning text, in order (the tests' ReportWarning records instead of showing).
extern std::vector<std::string> g_messages;

// A fresh, empty current directory for one test; the previous one is restored afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    QString Path(const QString& name) const;
    void Write(const QString& name, const QByteArray& bytes) const;
    void CopyGenerated(const QString& name) const; // face.bmp or keymap.dat from the build
    QByteArray Read(const QString& name) const;

private:
    QTemporaryDir Dir;
    QString Previous;
};

QString GeneratedFile(const QString& name);

// Sends a mouse event straight to a widget, position in its own coordinates.
void SendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint at,
               Qt::MouseButtons held);
inline void Press(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonPress, b, at, b);
}
inline void Release(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonRelease, b, at, Qt::NoButton);
}

// Lets the paced key input settle as run ticks would: every queued change applied and the last
// one held long enough for the next to come at once (a held machine strobes nothing, so each
// change waits for the cap).
inline void SettleKeys() {
    for (int tick = 0; tick <= 2 * kKeySeenCapTicks; ++tick) {
        KeyboardUpdate();
        PacedKeyTick();
    }
}
