// The desktop program: the command line and the working folder, the calculator window, then
// the debug window, then the event loop until the calculator window closes.
#include "host/qt/Main.h"
#include "debug/Symbols.h"
#include "debug/qt/Debug.h"
#include "host/Report.h"
#include "host/Rewind.h"
#include "host/WorkFolder.h"
#include "host/main/StartUp.h"
#include "host/qt/Signals.h"

#include "BuildInfo.h"

#include <QApplication>
#include <QFile>
#include <QString>

// Every message of the program: a warning box with one OK button; the program goes on.
void ReportWarning(std::string_view text) {
    ShowWarningBox(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

int main(int argc, char** argv) {
    if (const auto status = PrepareStart(argc, argv)) return *status;
    int qtArgc = 1; // the options are ours; Qt sees only the program's name
    CatchPlatformFailure(true);
    QApplication app(qtArgc, argv);
    CatchPlatformFailure(false);
    QApplication::setApplicationDisplayName(QStringLiteral("Velmora Emulator"));
    QApplication::setApplicationName(QStringLiteral("Velmora Emulator"));
    // The debug window may outlive a close of the calculator window only until the event loop
    // ends: closing the calculator ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setDesktopFileName(QString::fromUtf8(kAppId));
    if (const auto status = EnterChosenFolder()) return *status;
    SeedDefaultFiles(DefaultFileFolders(ProgramFile()));

    // The firmware's names for the debug window, when the folder has them.
    if (QFile::exists(QString::fromLatin1(kDefaultSymbolFile))) {
        std::string error;
        if (!LoadSymbols(kDefaultSymbolFile, error))
            ReportWarning(std::string("Failed to load the file ") + kDefaultSymbolFile + ": " +
                          error);
    }

    TMainForm mainForm;
    // The debug window starts hidden; F3 in the calculator window and a stop of the run loop
    // (ShowDebuggerHook, set by the window itself) show it.
    TDebugForm debugForm;
    mainForm.ShowDebugger = [&debugForm] { debugForm.ShowDebugger(); };
    WatchEndOfRun(mainForm); // signals and the end of the session close it as its button does
    QObject::connect(&mainForm, &TMainForm::Closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    // The step history: rewind and the debugger's step back (docs/state-format.md).
    RewindEnable(true);
    mainForm.show();
    return app.exec();
}
