// The desktop program's command line, display check and working folder.
#include "host/main/StartUp.h"

#include "host/Display.h"
#include "host/Report.h"
#include "host/WorkFolder.h"
#include "tools/ToolArgs.h"

#include <QMessageLogContext>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* kProgram = "velmora";

// What the command line chose.
std::optional<std::string> g_dir;
bool g_user = false;

const char* Environment(const char* name) {
    return std::getenv(name);
}

// Qt's messages held back while the application object is built.
struct HeldMessage {
    QtMsgType Type;
    std::string File, Function, Category;
    int Line;
    QString Text;
};
std::vector<HeldMessage> g_held;
QtMessageHandler g_previousHandler = nullptr;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        // No platform plugin could start: the held messages are Qt's own attempts.
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "%s: cannot open the display (platform %s, DISPLAY %s)\n", kProgram,
                     platform && *platform ? platform : "default",
                     display && *display ? display : "not set");
        std::_Exit(1);
    }
    g_held.push_back({type, context.file ? context.file : "",
                      context.function ? context.function : "",
                      context.category ? context.category : "", context.line, text});
}

} // namespace

std::optional<int> PrepareStart(int argc, char** argv) {
    CLI::App app{"The calculator: runs its firmware in a window shaped like it. Works in the "
                 "current directory, or in the folder --dir or --user names, and keeps all its "
                 "files there; missing firmware, face and key map files are copied in from the "
                 "installed defaults first."};
    std::string dir;
    bool user = false;
    auto* dirOption =
        app.add_option("--dir", dir,
                       "Work in DIR (created if missing) instead of the current directory")
            ->type_name("DIR");
    app.add_flag("--user", user,
                 "Work in the user's data folder, $XDG_DATA_HOME/velmora (by default "
                 "~/.local/share/velmora)")
        ->excludes(dirOption);
    if (const auto status = ParseToolArgs(app, kProgram, argc, argv)) return status;

    if (const std::string missing = MissingDisplay(Environment); !missing.empty()) {
        std::fprintf(stderr, "%s: %s\n", kProgram, missing.c_str());
        return 1;
    }

    if (dirOption->count() > 0) g_dir = dir;
    g_user = user;
    return std::nullopt;
}

std::optional<int> EnterChosenFolder() {
    std::optional<std::string> dir = g_dir;
    if (g_user) {
        const auto folder = UserDataFolder(Environment);
        if (!folder) {
            const std::string text = "No home folder to keep the calculator's files in";
            std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
            ReportWarning(text);
            return 1;
        }
        dir = folder->string();
    }
    if (!dir) return std::nullopt;
    if (const auto error = EnterWorkFolder(*dir, g_user)) {
        const std::string text = "Cannot work in the folder " + *dir + ": " + *error;
        std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
        ReportWarning(text);
        return 1;
    }
    return std::nullopt;
}

void CatchPlatformFailure(bool on) {
    if (on) {
        g_previousHandler = qInstallMessageHandler(HoldMessage);
        return;
    }
    qInstallMessageHandler(g_previousHandler);
    std::vector<HeldMessage> held;
    held.swap(g_held);
    for (const HeldMessage& m : held) {
        const QMessageLogContext context(m.File.c_str(), m.Line, m.Function.c_str(),
                                         m.Category.c_str());
        if (g_previousHandler)
            g_previousHandler(m.Type, context, m.Text);
        else
            qt_message_output(m.Type, context, m.Text);
    }
}
