// velmora-dis: lists firmware code as the debug window does.
//   velmora-dis [--from ADDR] [--count N]
// Loads rom0.bin and rom1.bin from the current directory as the desktop program does (a missing
// or unreadable file is reported and its memory stays zero) and prints N listing rows (default 16)
// from the hexadecimal address ADDR (default 0), stopping after the row at which the address wraps
// past 0xFFFF.
#include "tools/ToolArgs.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <string>

#include "core/Decode.h"
#include "debug/Dis.h"
#include "host/Files.h"
#include "host/Report.h"

void ReportWarning(std::string_view text) {
    std::cerr << text << '\n';
}

int main(int argc, char** argv) {
    CLI::App app{"List the code of rom0.bin and rom1.bin (current directory) as the debug "
                 "window shows it."};
    std::string from = "0";
    long long count = 16;
    app.add_option("--from", from, "first address, hexadecimal 0-FFFF (default 0)");
    app.add_option("--count", count, "number of rows (default 16)")
        ->check(CLI::Validator(
            [](const std::string& text) {
                return !text.empty() && text[0] != '-' ? std::string() : "a count of 0 or more";
            },
            "N>=0"));
    if (const auto status = ParseToolArgs(app, "velmora-dis", argc, argv)) return *status;

    uint16_t address = 0;
    if (!ParseHex(from, address)) {
        std::cerr << "velmora-dis: --from takes a hexadecimal address from 0 to FFFF, not '" << from
                  << "'\n";
        return 2;
    }
    LoadFirmwareImages();

    // Rows are produced one at a time so that a large count needs no memory.
    std::string out;
    uint16_t at = address;
    for (long long i = 0; i < count; ++i) {
        const DecodedInstruction d = Decode(at);
        AppendListingRow(out, d);
        while (out.back() == ' ') out.pop_back();
        out += '\n';
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
        at = d.Next;
        if (at < address) break; // wrapped past 0xFFFF
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
