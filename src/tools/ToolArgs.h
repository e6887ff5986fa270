// Command-line parsing shared by the tools: --help prints the usage and exits 0; a bad option
// or value prints a one-line error and the usage on standard error and exits 2.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>

// Parses argv; returns the exit status when the program should stop here.
inline std::optional<int> ParseToolArgs(CLI::App& app, const char* tool, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::printf("%s", app.help().c_str());
        return 0;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "%s: %s\n%s", tool, e.what(), app.help().c_str());
        return 2;
    }
    return std::nullopt;
}
