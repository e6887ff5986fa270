// Fuzz target for the texts the debugger reads: the first byte picks the reader (an expression,
// a log format, a breakpoint "ADDR if COND", a watchpoint "AREA:ADDR-END:rw"), the rest is the
// text. A text that is taken must work: an expression evaluates (twice alike, and alike when
// parsed again from its own source), a breakpoint or watchpoint is added and the machine runs
// steps with it; a refused text leaves an error with a position inside the text (one past its
// end at most) and nothing added.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "debug/Break.h"
#include "debug/Expr.h"
#include "debug/Symbols.h"
#include "host/Session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

void ReportWarning(std::string_view) {}

namespace {
[[noreturn]] void Broken(const char* what, std::string_view text) {
    std::fprintf(stderr, "invariant broken: %s (\"%.*s\")\n", what,
                 static_cast<int>(text.size() > 200 ? 200 : text.size()), text.data());
    std::abort();
}

void CheckError(const ExprError& e, std::string_view text) {
    if (e.Position < 1 || e.Position > static_cast<int>(text.size()) + 1)
        Broken("error position outside the text", text);
    if (e.Message.empty()) Broken("error without a message", text);
}

// A machine with something in it, so that conditions and watchpoints see varied values.
void Machine(const uint8_t* data, size_t size) {
    ResetMachine();
    for (size_t i = 0; i < sizeof g_cpu.R; ++i)
        g_cpu.R[i] = static_cast<uint8_t>(size ? data[i % size] * 7 + i : i);
    for (int w = 0; w < kRomWords; ++w) g_cpu.Rom[3 * w] = static_cast<uint8_t>(0xEF); // nop
    g_cpu.Rom[3 * 5] = 0x21; // ld r5,r70: writes the register file
    g_cpu.Rom[3 * 5 + 1] = 0x86;
    g_cpu.Rom[3 * 5 + 2] = 0xA0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int reader = data[0] & 3;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    static bool named = false;
    if (!named) {
        g_symbols.Add(0x0010, "ten");
        g_symbols.Add(0x1800, "ext_start");
        g_symbols.Add(0x0ADD, "add");
        named = true;
    }
    Machine(data, size);
    std::string error;
    switch (reader) {
    case 0: {
        Expr e;
        ExprError ee;
        if (!e.Parse(text, &g_symbols, ee)) {
            CheckError(ee, text);
            if (!e.Empty()) Broken("a refused expression kept code", text);
            break;
        }
        const int32_t v = e.Eval();
        if (e.Eval() != v) Broken("an expression changed its value", text);
        Expr again;
        if (!again.Parse(e.Source(), &g_symbols, ee) || again.Eval() != v)
            Broken("an expression does not read back from its source", text);
        break;
    }
    case 1: {
        LogFormat f;
        ExprError ee;
        if (!f.Parse(text, &g_symbols, ee)) {
            CheckError(ee, text);
            break;
        }
        const std::string line = f.Format();
        if (f.Format() != line) Broken("a log line changed", text);
        break;
    }
    case 2: {
        Breakpoint bp;
        if (!BreakParse(text, bp, error)) {
            if (error.empty()) Broken("a refused breakpoint without a message", text);
            break;
        }
        const int id = BreakAdd(bp, error);
        if (id == 0) Broken("a breakpoint read but not added", text);
        RunSteps(40);
        const Breakpoint* b = FindBreakpoint(id);
        if (!b || b->Address != bp.Address) Broken("the breakpoint changed", text);
        if (b->Hits > 40) Broken("more hits than steps", text);
        break;
    }
    case 3: {
        Watchpoint wp;
        if (!WatchParse(text, wp, error)) {
            if (error.empty()) Broken("a refused watchpoint without a message", text);
            break;
        }
        const int id = WatchAdd(wp, error);
        if (id == 0 && !(wp.Area != WatchArea::Ram && (wp.Access & kWatchRead)))
            Broken("a watchpoint read but not added", text);
        RunSteps(40);
        if (id != 0 && FindWatchpoint(id)->Hits > 40) Broken("more hits than steps", text);
        (void)WatchText(wp);
        break;
    }
    }
    ResetMachine();
    return 0;
}
