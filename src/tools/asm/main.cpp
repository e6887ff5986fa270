// velmora-asm: the assembler on the command line.
//   velmora-asm --line TEXT [--page ADDR]     one line, as the debug window assembles it
//   velmora-asm SOURCE [-o DIR] [-l LISTING] [-s SYMBOLS]  a whole program into rom0.bin and
//                                              rom1.bin, with a listing and a symbol file
#include "tools/ToolArgs.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "debug/Asem.h"
#include "debug/Program.h"
#include "debug/Symbols.h"
#include "host/Report.h"

void ReportWarning(std::string_view text) {
    std::cerr << text << '\n';
}

namespace {

int OneLine(const std::string& text, const std::string& page) {
    uint16_t p = 0;
    if (!ParseHex(page, p)) {
        std::cerr << "velmora-asm: --page takes a hexadecimal address from 0 to FFFF, not '" << page
                  << "'\n";
        return 2;
    }
    const AsmResult r = AssembleLine(text, p);
    if (!r.Ok()) {
        std::printf("error at %d\n", static_cast<int>(r.AsmPos));
        return 1;
    }
    for (int i = 0; i < r.AsmCount; ++i) std::printf(i ? " %02X" : "%02X", r.AsmBytes[i]);
    std::printf("\n");
    return 0;
}

bool WriteFile(const std::filesystem::path& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::cerr << "velmora-asm: cannot write " << path.string() << '\n';
        return false;
    }
    return true;
}

int Program(const std::string& source, const std::string& dir, const std::string& listing,
            const std::string& symbols) {
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        std::cerr << "velmora-asm: cannot read " << source << '\n';
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const ProgramImage image = AssembleProgram(text.str());
    if (!image.Ok()) {
        for (const ProgramError& e : image.Errors)
            std::cerr << source << ':' << e.Line << ':' << e.Column << ": " << e.Message << '\n';
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::filesystem::path base(dir);
    if (!WriteFile(base / "rom0.bin", image.Rom.data(), image.Rom.size()) ||
        !WriteFile(base / "rom1.bin", image.Ext.data(), image.Ext.size()))
        return 1;
    if (!listing.empty() && !WriteFile(listing, image.Listing.data(), image.Listing.size()))
        return 1;
    if (!symbols.empty()) {
        std::vector<Symbol> list;
        for (const ProgramLabel& l : image.Labels) list.push_back({l.Address, l.Name});
        const std::string text = FormatSymbols(list);
        if (!WriteFile(symbols, text.data(), text.size())) return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Assemble one line (--line) or a whole program into rom0.bin and rom1.bin."};
    std::string line, page = "0", source, dir = ".", listing, symbols;
    auto* lineOpt = app.add_option("--line", line, "assemble this one line and print its bytes");
    app.add_option("--page", page, "page reference for sjmp/scal with --line, hexadecimal")
        ->needs(lineOpt);
    auto* srcOpt = app.add_option("source", source, "assembly source file")->excludes(lineOpt);
    app.add_option("-o,--output", dir, "directory for rom0.bin and rom1.bin (default .)")
        ->needs(srcOpt);
    app.add_option("-l,--listing", listing, "write a listing to this file")->needs(srcOpt);
    app.add_option("-s,--symbols", symbols,
                   "write the labels to this symbol file, one ADDRESS NAME line each")
        ->needs(srcOpt);
    if (const auto status = ParseToolArgs(app, "velmora-asm", argc, argv)) return *status;

    if (*lineOpt) return OneLine(line, page);
    if (*srcOpt) return Program(source, dir, listing, symbols);
    std::cerr << app.help();
    return 2;
}
