// Command-line parsing shared by the programs: --help prints the usage and --version the
// program's name and version, both exit 0; a bad option or value prints a one-line error and
// the usage on standard error and exits 2. Also the hexadecimal addresses the tools take.
#pragma once

#include "BuildInfo.h"

#include <CLI/CLI.hpp>

#include "core/Digits.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// --version: prints "PROGRAM VERSION" (CLI::CallForVersion carries the text) and exits 0.
inline void AddVersionFlag(CLI::App& app, const char* program) {
    app.set_version_flag("--version", std::string(program) + " " + kVersion,
                         "Print the program's name and version and exit");
}

// Parses argv; returns the exit status when the program should stop here.
inline std::optional<int> ParseToolArgs(CLI::App& app, const char* tool, int argc, char** argv) {
    app.name(tool);
    AddVersionFlag(app, tool);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::printf("%s", app.help().c_str());
        return 0;
    } catch (const CLI::CallForVersion& e) {
        std::printf("%s\n", e.what());
        return 0;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "%s: %s\n%s", tool, e.what(), app.help().c_str());
        return 2;
    }
    return std::nullopt;
}

// A 16-bit address in hexadecimal, 1 to 4 digits, with or without a 0x prefix.
inline bool ParseHex(const std::string& text, uint16_t& value) {
    std::string_view s(text);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.empty() || s.size() > 4) return false;
    unsigned v = 0;
    for (char c : s) {
        const int d = DigitValue(c);
        if (d >= 16) return false;
        v = v * 16 + static_cast<unsigned>(d);
    }
    value = static_cast<uint16_t>(v);
    return true;
}
