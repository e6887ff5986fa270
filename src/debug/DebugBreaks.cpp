// The debug window's breakpoint and watchpoint list, call stack and history as text: the rows the
// window shows and the line its field adds, over the break engine (debug/Break.h).
#include "core/Decode.h"
#include "debug/Break.h"
#include "debug/DebugPanes.h"
#include "debug/Dis.h"
#include "debug/Symbols.h"

#include <cstdio>

namespace {

std::string Hex4(unsigned value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", value & 0xFFFF);
    return buf;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The text after a leading keyword and a blank ("watch KC" -> "KC"), if text starts with it
// (compared without regard to case).
bool StripWord(std::string_view& text, std::string_view word) {
    if (text.size() <= word.size() || (text[word.size()] != ' ' && text[word.size()] != '\t'))
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if ((text[i] | 0x20) != word[i]) return false;
    text = Trim(text.substr(word.size()));
    return true;
}

// Position of " log " in text as a word, or npos.
size_t FindLogWord(std::string_view text) {
    for (size_t i = 0; i + 4 < text.size(); ++i)
        if ((text[i] == ' ' || text[i] == '\t') && (text[i + 1] | 0x20) == 'l' &&
            (text[i + 2] | 0x20) == 'o' && (text[i + 3] | 0x20) == 'g' &&
            (text[i + 4] == ' ' || text[i + 4] == '\t'))
            return i;
    return std::string_view::npos;
}

} // namespace

std::string AddressText(uint16_t address) {
    const std::string name = g_symbols.Describe(address);
    return name.empty() ? Hex4(address) : name + " (" + Hex4(address) + ")";
}

std::vector<BreakRow> BreakRows() {
    std::vector<BreakRow> rows;
    for (const Breakpoint& bp : Breakpoints()) {
        BreakRow r;
        r.Id = bp.Id;
        r.Enabled = bp.Enabled;
        r.Where = AddressText(bp.Address);
        r.Hits = bp.Hits;
        auto add = [&r](const std::string& part) {
            r.Detail += (r.Detail.empty() ? "" : "; ") + part;
        };
        if (!bp.Condition.empty()) add("if " + bp.Condition);
        if (bp.Action == BreakAction::Log) add("log " + bp.LogFormat);
        if (bp.IgnoreCount > 0) add("ignore " + std::to_string(bp.IgnoreCount));
        rows.push_back(std::move(r));
    }
    for (const Watchpoint& wp : Watchpoints()) {
        BreakRow r;
        r.Id = wp.Id;
        r.Watch = true;
        r.Enabled = wp.Enabled;
        r.Where = WatchText(wp);
        r.Hits = wp.Hits;
        rows.push_back(std::move(r));
    }
    return rows;
}

int BreakLineAdd(std::string_view text, std::string& error) {
    text = Trim(text);
    error.clear();
    if (text.empty()) {
        error = "type an address, a label, ADDR if COND, ADDR log FORMAT or watch AREA:ADDR";
        return 0;
    }
    std::string_view rest = text;
    const bool watch = StripWord(rest, "watch");
    if (!watch) {
        std::string_view where = text, format;
        const size_t log = FindLogWord(text);
        if (log != std::string_view::npos) {
            where = Trim(text.substr(0, log));
            format = Trim(text.substr(log + 5));
        }
        Breakpoint bp;
        std::string breakError;
        if (BreakParse(where, bp, breakError)) {
            if (log != std::string_view::npos) {
                bp.Action = BreakAction::Log;
                bp.LogFormat = std::string(format);
            }
            return BreakAdd(bp, error);
        }
        // Not a breakpoint: a watchpoint without the word ("ram:0180", "KC")?
        Watchpoint wp;
        std::string watchError;
        if (log == std::string_view::npos && WatchParse(text, wp, watchError))
            return WatchAdd(wp, error);
        error = breakError;
        return 0;
    }
    Watchpoint wp;
    if (!WatchParse(rest, wp, error)) return 0;
    return WatchAdd(wp, error);
}

bool BreakItemRemove(int id) {
    return BreakRemove(id) || WatchRemove(id);
}

bool BreakItemEnable(int id, bool enabled) {
    return BreakEnable(id, enabled) || WatchEnable(id, enabled);
}

std::string CallFrameLine(const CallFrame& frame) {
    return AddressText(frame.ReturnAddress) + "  from " + AddressText(frame.CallSite);
}

std::string HistoryLine(const HistoryEntry& entry) {
    const DecodedInstruction in = Decode(entry.PC);
    const AddressNamer namer = g_symbols.ExactNamer();
    std::string line = Hex4(entry.PC) + "  ";
    std::string mnemonic(in.Mnemonic());
    mnemonic.resize(6, ' ');
    line += mnemonic + DisOperands(in, g_symbols.Empty() ? nullptr : &namer);
    char tail[32];
    std::snprintf(tail, sizeof tail, "  f=%02X %u cyc", entry.F,
                  static_cast<unsigned>(entry.Cycles));
    return line + tail;
}

std::vector<std::string> HistoryLines(int count) {
    std::vector<std::string> lines;
    const std::vector<HistoryEntry> steps = History(count);
    for (size_t i = 0; i < steps.size();) {
        size_t same = i + 1;
        while (same < steps.size() && steps[same].PC == steps[i].PC &&
               steps[same].F == steps[i].F && steps[same].Cycles == steps[i].Cycles)
            ++same;
        std::string line = HistoryLine(steps[i]);
        if (same - i > 1) line += "  x" + std::to_string(same - i);
        lines.push_back(std::move(line));
        i = same;
    }
    return lines;
}
