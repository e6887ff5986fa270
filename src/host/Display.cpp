// The display check of the desktop program's start.
#include "host/Display.h"

#include <string_view>
#include <system_error>
#include <vector>

namespace {

bool IsSet(const EnvLookup& env, const char* name) {
    const char* value = env(name);
    return value && *value;
}

// The platform names of QT_QPA_PLATFORM ("wayland;xcb", "offscreen:size=800x600"), without
// their arguments; the default ones when it is empty.
std::vector<std::string> Platforms(const EnvLookup& env) {
    std::vector<std::string> names;
    const char* list = env("QT_QPA_PLATFORM");
    std::string_view rest = list ? list : "";
    while (!rest.empty()) {
        const size_t end = rest.find(';');
        std::string_view item = rest.substr(0, end);
        item = item.substr(0, item.find(':'));
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        if (!item.empty()) names.emplace_back(item);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    if (names.empty()) names = {"xcb", "wayland"};
    return names;
}

bool WaylandSocketExists(const EnvLookup& env) {
    const char* runtime = env("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return false;
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(runtime) / "wayland-0", ec);
}

} // namespace

std::string MissingDisplay(const EnvLookup& env) {
    bool wantsX = false, wantsWayland = false;
    for (const std::string& platform : Platforms(env)) {
        if (platform == "xcb") {
            if (IsSet(env, "DISPLAY")) return {};
            wantsX = true;
        } else if (platform.starts_with("wayland")) {
            if (IsSet(env, "WAYLAND_DISPLAY") || WaylandSocketExists(env)) return {};
            wantsWayland = true;
        } else {
            return {}; // offscreen, a frame buffer, VNC...: nothing to check here
        }
    }
    if (wantsX && wantsWayland) return "no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
    if (wantsX) return "no display: DISPLAY is not set";
    return "no display: WAYLAND_DISPLAY is not set";
}
