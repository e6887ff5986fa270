// Fuzz target for the environment the desktop program reads at its start: the input holds the
// values of QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY, XDG_RUNTIME_DIR, XDG_DATA_HOME and HOME,
// separated by NUL bytes (fewer pieces leave the rest unset). The display check must give one
// of its own messages, and none while a platform that needs no display is listed; the user's
// data folder must follow XDG_DATA_HOME when that is absolute, else HOME.
#include "host/Display.h"
#include "host/WorkFolder.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

void ReportWarning(std::string_view) {}

namespace {
[[noreturn]] void Broken(const char* what, const std::string& text) {
    std::fprintf(stderr, "invariant broken: %s (\"%.*s\")\n", what,
                 static_cast<int>(text.size() > 200 ? 200 : text.size()), text.data());
    std::abort();
}

constexpr const char* kNames[] = {"QT_QPA_PLATFORM", "DISPLAY",       "WAYLAND_DISPLAY",
                                  "XDG_RUNTIME_DIR", "XDG_DATA_HOME", "HOME"};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::map<std::string, std::string> vars;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    for (const char* name : kNames) {
        if (rest.empty()) break;
        const size_t end = rest.find('\0');
        vars[name] = std::string(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    const EnvLookup env = [&vars](const char* name) -> const char* {
        const auto it = vars.find(name);
        return it == vars.end() ? nullptr : it->second.c_str();
    };

    const std::string missing = MissingDisplay(env);
    if (!missing.empty() && missing != "no display: DISPLAY is not set" &&
        missing != "no display: WAYLAND_DISPLAY is not set" &&
        missing != "no display: neither DISPLAY nor WAYLAND_DISPLAY is set")
        Broken("an unknown message", missing);
    if (!missing.empty() && vars.count("QT_QPA_PLATFORM")) {
        // Every listed platform must be one that needs a display.
        std::string_view list = vars["QT_QPA_PLATFORM"];
        while (!list.empty()) {
            const size_t end = list.find(';');
            std::string_view item = list.substr(0, end);
            item = item.substr(0, item.find(':'));
            while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
            while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
            if (!item.empty() && item != "xcb" && !item.starts_with("wayland"))
                Broken("no display reported for a platform that needs none",
                       vars["QT_QPA_PLATFORM"]);
            list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        }
    }
    if (!missing.empty() && !vars["DISPLAY"].empty() &&
        missing.find("WAYLAND") == std::string::npos)
        Broken("DISPLAY is set, yet reported missing", vars["DISPLAY"]);

    const auto folder = UserDataFolder(env);
    if (!folder) Broken("no user data folder", "");
    const std::string xdg = vars["XDG_DATA_HOME"];
    if (!xdg.empty() && xdg[0] == '/') {
        if (*folder != std::filesystem::path(xdg) / "velmora")
            Broken("XDG_DATA_HOME not followed", xdg);
    } else if (!vars["HOME"].empty()) {
        if (*folder != std::filesystem::path(vars["HOME"]) / ".local/share/velmora")
            Broken("HOME not followed", vars["HOME"]);
    }
    return 0;
}
