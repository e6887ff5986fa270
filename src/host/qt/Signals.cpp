// Quit signals and the end of the desktop session.
#include "host/qt/Signals.h"

#include "host/QuitSignals.h"
#include "host/qt/Main.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

void WatchEndOfRun(TMainForm& form) {
    const int fd = InstallQuitSignals();
    if (fd >= 0) {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &form);
        QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form, fd] {
            if (TakeQuitSignal(fd) != 0) form.close();
        });
    }
    // The session may still be cancelled: save, but keep running.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.SaveMemory(); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &form, [&form] { form.FormClose(); });
}
