// The break engine: breakpoints, watchpoints, stepping, the call stack and the step history.
#include "debug/Break.h"

#include "core/Cpu.h"
#include "core/Decode.h"
#include "debug/Expr.h"
#include "debug/Symbols.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>

alignas(64) StepHistory g_history;
RamWatchState g_ramWatch;
alignas(64) BreakFastState g_breakFast;

namespace {

enum class Pending : uint8_t { None, StepOverCall, StepOverTrap, StepOut, RunTo };

struct Engine {
    std::vector<Breakpoint> Breaks;
    std::vector<Expr> Conditions; // parallel to Breaks
    std::vector<LogFormat> Logs;  // parallel to Breaks
    std::vector<Watchpoint> Watches;
    int NextId = 1;
    bool Armed = false;
    bool RegWatches = false; // an enabled watchpoint on the register file or a special register
    std::array<uint8_t, kRamBytes / 8> RamWriteMap{}, RamReadMap{};
    Pending Step = Pending::None;
    uint16_t StepTarget = 0;
    uint16_t StepSp = 0; // sp when the step was armed
    uint16_t StepLastSp = 0;
    StopReason Last;
    bool StopSet = false; // a reason was set during this step
    std::vector<std::string> Log;
    BreakLogHook LogHook;
};

Engine& E() {
    static Engine e;
    return e;
}

bool MapTest(const uint8_t* map, unsigned a) {
    return (map[a >> 3] >> (a & 7)) & 1;
}
void MapSet(uint8_t* map, unsigned a) {
    map[a >> 3] = static_cast<uint8_t>(map[a >> 3] | 1 << (a & 7));
}

uint16_t Sp() {
    return PtrGet(kSp);
}

// Rebuilds the maps and flags from the lists.
void Update() {
    Engine& e = E();
    std::memset(g_breakFast.BreakMap, 0, sizeof g_breakFast.BreakMap);
    for (const Breakpoint& b : e.Breaks)
        if (b.Enabled) MapSet(g_breakFast.BreakMap, b.Address);
    e.RamWriteMap.fill(0);
    e.RamReadMap.fill(0);
    e.RegWatches = false;
    uint8_t ram = 0;
    bool anyWatch = false;
    for (const Watchpoint& w : e.Watches) {
        if (!w.Enabled) continue;
        anyWatch = true;
        if (w.Area != WatchArea::Ram) {
            e.RegWatches = true;
            continue;
        }
        for (unsigned a = w.First; a <= w.Last; ++a) {
            if (w.Access & kWatchWrite) MapSet(e.RamWriteMap.data(), a);
            if (w.Access & kWatchRead) MapSet(e.RamReadMap.data(), a);
        }
        ram |= w.Access;
    }
    g_ramWatch.On = ram;
    const bool anyBreak = std::any_of(e.Breaks.begin(), e.Breaks.end(),
                                      [](const Breakpoint& b) { return b.Enabled; });
    e.Armed = anyBreak || anyWatch || e.Step != Pending::None;
    // The run loop's quick look: the 8-byte groups of the register file with a watched byte, and
    // the special registers watched.
    BreakFastState& f = g_breakFast;
    f.Pending = e.Step != Pending::None;
    f.Groups = 0;
    f.Specials = 0;
    uint64_t masks[kRegBytes / 8] = {};
    for (const Watchpoint& w : e.Watches) {
        if (!w.Enabled) continue;
        if (w.Area == WatchArea::Register)
            for (unsigned a = w.First; a <= w.Last; ++a)
                masks[a / 8] |= uint64_t{0xFF} << (8 * (a % 8));
        if (w.Area == WatchArea::Special) {
            bool listed = false;
            for (int i = 0; i < f.Specials; ++i) listed = listed || f.SpecialIndex[i] == w.First;
            if (!listed) f.SpecialIndex[f.Specials++] = static_cast<uint8_t>(w.First);
        }
    }
    for (int g = 0; g < kRegBytes / 8; ++g)
        if (masks[g]) {
            f.GroupIndex[f.Groups] = static_cast<uint8_t>(g);
            f.GroupMask[f.Groups] = masks[g];
            ++f.Groups;
        }
    BreakSync();
}

void SetStop(const StopReason& r) {
    Engine& e = E();
    if (e.StopSet) return; // the first reason of a step wins
    e.Last = r;
    e.StopSet = true;
}

void AddLogLine(std::string line) {
    Engine& e = E();
    if (e.LogHook) e.LogHook(line);
    if (static_cast<int>(e.Log.size()) >= kBreakLogLines) e.Log.erase(e.Log.begin());
    e.Log.push_back(std::move(line));
}

std::string Hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFF);
    return buf;
}
std::string Hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

// "name+3 (1A2B)" or "1A2B".
std::string Where(uint16_t address, const SymbolTable* symbols) {
    const std::string name = symbols ? symbols->Describe(address) : std::string();
    return name.empty() ? Hex4(address) : name + " (" + Hex4(address) + ")";
}

bool WatchFires(Watchpoint& w, const StopReason& r) {
    ++w.Hits;
    if (w.OnHit) return w.OnHit(w, r);
    return true;
}

// The watchpoints on the register file and the special registers: a change since the shadow.
bool CheckRegisterWatches(uint16_t pcBefore) {
    Engine& e = E();
    const CpuState& c = g_cpu;
    bool stop = false, any = false;
    for (Watchpoint& w : e.Watches) {
        if (!w.Enabled || w.Area == WatchArea::Ram) continue;
        StopReason r;
        r.Kind = StopKind::Watchpoint;
        r.Id = w.Id;
        r.Pc = c.PC;
        r.Area = w.Area;
        r.AccessPc = pcBefore;
        bool changed = false;
        if (w.Area == WatchArea::Register) {
            for (unsigned a = w.First; a <= w.Last && a < kRegBytes; ++a)
                if (c.R[a] != g_breakFast.RegShadow[a]) {
                    r.Address = static_cast<uint16_t>(a);
                    r.Old = g_breakFast.RegShadow[a];
                    r.New = c.R[a];
                    changed = true;
                    break;
                }
        } else {
            const uint16_t now = SpecialRegValue(static_cast<SpecialReg>(w.First));
            if (now != g_breakFast.SpecialShadow[w.First]) {
                r.Address = w.First;
                r.Old = g_breakFast.SpecialShadow[w.First];
                r.New = now;
                changed = true;
            }
        }
        if (changed) {
            any = true;
            if (WatchFires(w, r)) {
                SetStop(r);
                stop = true;
            }
        }
    }
    // The shadow follows the bytes watched, and only those (the rest is not looked at), once
    // every watchpoint has compared: two may watch one byte.
    if (any)
        for (const Watchpoint& w : e.Watches) {
            if (!w.Enabled || w.Area == WatchArea::Ram) continue;
            if (w.Area == WatchArea::Register)
                std::memcpy(&g_breakFast.RegShadow[w.First], &c.R[w.First], w.Last - w.First + 1u);
            else
                g_breakFast.SpecialShadow[w.First] =
                    SpecialRegValue(static_cast<SpecialReg>(w.First));
        }
    return stop;
}

bool CheckRamWatches(uint16_t pcBefore) {
    Engine& e = E();
    RamWatchState& rw = g_ramWatch;
    rw.Hit = 0;
    bool stop = false;
    for (Watchpoint& w : e.Watches) {
        if (!w.Enabled || w.Area != WatchArea::Ram) continue;
        if (rw.Address < w.First || rw.Address > w.Last) continue;
        if (!(w.Access & (rw.Read ? kWatchRead : kWatchWrite))) continue;
        StopReason r;
        r.Kind = StopKind::Watchpoint;
        r.Id = w.Id;
        r.Pc = g_cpu.PC;
        r.Area = WatchArea::Ram;
        r.Address = rw.Address;
        r.Old = rw.Old;
        r.New = rw.New;
        r.AccessPc = pcBefore;
        r.Read = rw.Read;
        if (WatchFires(w, r)) {
            SetStop(r);
            stop = true;
        }
    }
    return stop;
}

bool CheckBreakpoints(uint16_t pc) {
    Engine& e = E();
    bool stop = false;
    // A hook may add or remove breakpoints: walk by index over the count at the start.
    const size_t count = e.Breaks.size();
    for (size_t i = 0; i < count && i < e.Breaks.size(); ++i) {
        Breakpoint& b = e.Breaks[i];
        if (!b.Enabled || b.Address != pc) continue;
        if (e.Conditions[i].Eval() == 0) continue;
        ++b.Hits;
        if (b.IgnoreCount > 0) {
            --b.IgnoreCount;
            continue;
        }
        if (b.Action == BreakAction::Log) AddLogLine(e.Logs[i].Format());
        bool halt = b.Action == BreakAction::Stop;
        if (b.OnHit) {
            const BreakHook hook = b.OnHit; // the hook may remove its own breakpoint
            const Breakpoint copy = b;
            halt = hook(copy);
        }
        if (halt) {
            StopReason r;
            r.Kind = StopKind::Breakpoint;
            r.Id = e.Breaks.size() > i ? e.Breaks[i].Id : 0;
            r.Pc = pc;
            SetStop(r);
            stop = true;
        }
    }
    return stop;
}

bool IsReturn(const DecodedInstruction& in) {
    const std::string_view m = in.Info().Mnemonic;
    return m == "rtn" || m == "rti";
}

bool CheckPending(uint16_t pcBefore) {
    Engine& e = E();
    const uint16_t sp = Sp();
    const int16_t fromStart = static_cast<int16_t>(sp - e.StepSp);
    bool done = false;
    StopKind kind = StopKind::None;
    switch (e.Step) {
    case Pending::None: return false;
    case Pending::StepOverCall:
        done = g_cpu.PC == e.StepTarget && fromStart >= 0;
        kind = StopKind::StepOver;
        break;
    case Pending::StepOverTrap:
        done = fromStart >= 0;
        kind = StopKind::StepOver;
        break;
    case Pending::StepOut:
        done = fromStart > 0 && sp == static_cast<uint16_t>(e.StepLastSp + 2) &&
               IsReturn(Decode(pcBefore));
        e.StepLastSp = sp;
        kind = StopKind::StepOut;
        break;
    case Pending::RunTo:
        done = g_cpu.PC == e.StepTarget;
        kind = StopKind::RunTo;
        break;
    }
    if (!done) return false;
    StopReason r;
    r.Kind = kind;
    r.Pc = g_cpu.PC;
    SetStop(r);
    return true;
}

bool CheckStep(uint16_t pcBefore) {
    Engine& e = E();
    bool stop = false;
    if (g_ramWatch.Hit) stop |= CheckRamWatches(pcBefore);
    if (e.RegWatches) stop |= CheckRegisterWatches(pcBefore);
    const uint16_t pc = g_cpu.PC;
    if (MapTest(g_breakFast.BreakMap, pc)) stop |= CheckBreakpoints(pc);
    if (e.Step != Pending::None) stop |= CheckPending(pcBefore);
    return stop;
}

void Arm(Pending kind, uint16_t target) {
    Engine& e = E();
    e.Step = kind;
    e.StepTarget = target;
    e.StepSp = Sp();
    e.StepLastSp = e.StepSp;
    Update();
}

bool ValidSpecialWatch(int reg) {
    return reg >= 0 && reg < kSpecialRegCount && reg != static_cast<int>(SpecialReg::PC);
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

} // namespace

// --- The hooks of the memory access ---------------------------------------------------------

// The first watched write of a step is kept, unless it left its byte as it was and a later one
// of the same step (a run of bytes stored at once) changes one: that one tells more.
void RamWatchWrite(uint16_t address, uint8_t value) {
    RamWatchState& rw = g_ramWatch;
    if (!MapTest(E().RamWriteMap.data(), address)) return;
    if (rw.Hit && (rw.Read || rw.Old != rw.New || g_cpu.Ram[address] == value)) return;
    rw.Hit = 1;
    rw.Read = false;
    rw.Address = address;
    rw.Old = g_cpu.Ram[address];
    rw.New = value;
}

void RamWatchRead(uint16_t address) {
    RamWatchState& rw = g_ramWatch;
    if (rw.Hit || !MapTest(E().RamReadMap.data(), address)) return;
    rw.Hit = 1;
    rw.Read = true;
    rw.Address = address;
    rw.Old = rw.New = g_cpu.Ram[address];
}

// --- Stop reasons -----------------------------------------------------------------------------

std::string StopText(const StopReason& r, const SymbolTable* symbols) {
    switch (r.Kind) {
    case StopKind::None: return {};
    case StopKind::StepCount: return "step count";
    case StopKind::BreakAddress: return "breakpoint address " + Hex4(r.Pc);
    case StopKind::Breakpoint:
        return "breakpoint " + std::to_string(r.Id) + " at " + Where(r.Pc, symbols);
    case StopKind::Watchpoint: {
        std::string what;
        if (r.Area == WatchArea::Ram)
            what = "RAM " + Hex4(r.Address);
        else if (r.Area == WatchArea::Register)
            what = "R" + Hex2(r.Address);
        else
            what = std::string(SpecialRegOf(static_cast<SpecialReg>(r.Address & 0xF)).Name);
        const bool wide = r.Area == WatchArea::Special && (r.Old > 0xFF || r.New > 0xFF);
        std::string text = "watchpoint " + std::to_string(r.Id) + ": " + what +
                           (r.Read ? " read by " : " written by ") + Where(r.AccessPc, symbols);
        if (r.Read) return text + ": " + Hex2(r.New);
        return text + ": " + (wide ? Hex4(r.Old) : Hex2(r.Old)) + " -> " +
               (wide ? Hex4(r.New) : Hex2(r.New));
    }
    case StopKind::Step: return "step";
    case StopKind::StepOver: return "step over done";
    case StopKind::StepOut: return "step out done";
    case StopKind::RunTo: return "run to " + Where(r.Pc, symbols);
    case StopKind::Pause: return "paused";
    }
    return {};
}

const StopReason& LastStop() {
    return E().Last;
}

void ClearLastStop() {
    E().Last = StopReason{};
}

std::string_view HaltState() {
    if (g_cpu.OFF) return "off";
    if (g_cpu.WAIT) return "wai";
    return {};
}

// --- Breakpoints ------------------------------------------------------------------------------

int BreakAdd(const Breakpoint& bp, std::string& error) {
    Engine& e = E();
    Expr condition;
    ExprError ee;
    if (!bp.Condition.empty() && !condition.Parse(bp.Condition, &g_symbols, ee)) {
        error = "condition " + ee.Text();
        return 0;
    }
    LogFormat log;
    if (bp.Action == BreakAction::Log && !log.Parse(bp.LogFormat, &g_symbols, ee)) {
        error = "log format " + ee.Text();
        return 0;
    }
    Breakpoint b = bp;
    b.Id = e.NextId++;
    e.Breaks.push_back(std::move(b));
    e.Conditions.push_back(std::move(condition));
    e.Logs.push_back(std::move(log));
    Update();
    return e.Breaks.back().Id;
}

bool BreakParse(std::string_view text, Breakpoint& bp, std::string& error) {
    text = TrimView(text);
    std::string_view address = text, condition;
    // "ADDR if COND" (the word if, any case, between blanks) or "ADDR:COND".
    const std::string lower = Lower(text);
    if (lower.size() >= 3 && lower.substr(lower.size() - 3) == " if") {
        error = "a condition is missing after the address";
        return false;
    }
    const size_t ifAt = lower.find(" if ");
    const size_t colon = text.find(':');
    if (ifAt != std::string::npos && (colon == std::string_view::npos || ifAt < colon)) {
        address = text.substr(0, ifAt);
        condition = TrimView(text.substr(ifAt + 4));
    } else if (colon != std::string_view::npos) {
        address = text.substr(0, colon);
        condition = TrimView(text.substr(colon + 1));
    }
    uint16_t a = 0;
    if (!ParseAddress(address, g_symbols, a, error)) return false;
    if (address.size() != text.size() && condition.empty()) {
        error = "a condition is missing after the address";
        return false;
    }
    Expr check;
    ExprError ee;
    if (!condition.empty() && !check.Parse(condition, &g_symbols, ee)) {
        error = "condition " + ee.Text();
        return false;
    }
    bp = Breakpoint{};
    bp.Address = a;
    bp.Condition = std::string(condition);
    return true;
}

namespace {
Breakpoint* FindBreak(int id, size_t* index = nullptr) {
    Engine& e = E();
    for (size_t i = 0; i < e.Breaks.size(); ++i)
        if (e.Breaks[i].Id == id) {
            if (index) *index = i;
            return &e.Breaks[i];
        }
    return nullptr;
}
Watchpoint* FindWatch(int id) {
    for (Watchpoint& w : E().Watches)
        if (w.Id == id) return &w;
    return nullptr;
}
} // namespace

bool BreakRemove(int id) {
    Engine& e = E();
    size_t i = 0;
    if (!FindBreak(id, &i)) return false;
    e.Breaks.erase(e.Breaks.begin() + static_cast<std::ptrdiff_t>(i));
    e.Conditions.erase(e.Conditions.begin() + static_cast<std::ptrdiff_t>(i));
    e.Logs.erase(e.Logs.begin() + static_cast<std::ptrdiff_t>(i));
    Update();
    return true;
}

void BreakRemoveAll() {
    Engine& e = E();
    e.Breaks.clear();
    e.Conditions.clear();
    e.Logs.clear();
    Update();
}

bool BreakEnable(int id, bool enabled) {
    Breakpoint* b = FindBreak(id);
    if (!b) return false;
    b->Enabled = enabled;
    Update();
    return true;
}

bool BreakSetCondition(int id, std::string_view condition, std::string& error) {
    size_t i = 0;
    Breakpoint* b = FindBreak(id, &i);
    if (!b) {
        error = "no breakpoint " + std::to_string(id);
        return false;
    }
    Expr expr;
    ExprError ee;
    if (!TrimView(condition).empty() && !expr.Parse(condition, &g_symbols, ee)) {
        error = "condition " + ee.Text();
        return false;
    }
    b->Condition = TrimView(condition).empty() ? std::string() : std::string(condition);
    E().Conditions[i] = std::move(expr);
    return true;
}

bool BreakSetLog(int id, std::string_view format, std::string& error) {
    size_t i = 0;
    Breakpoint* b = FindBreak(id, &i);
    if (!b) {
        error = "no breakpoint " + std::to_string(id);
        return false;
    }
    LogFormat log;
    ExprError ee;
    if (!log.Parse(format, &g_symbols, ee)) {
        error = "log format " + ee.Text();
        return false;
    }
    b->LogFormat = std::string(format);
    b->Action = BreakAction::Log;
    E().Logs[i] = std::move(log);
    return true;
}

bool BreakSetAction(int id, BreakAction action) {
    Breakpoint* b = FindBreak(id);
    if (!b) return false;
    b->Action = action;
    return true;
}

bool BreakSetIgnore(int id, uint32_t count) {
    Breakpoint* b = FindBreak(id);
    if (!b) return false;
    b->IgnoreCount = count;
    return true;
}

bool BreakSetHook(int id, BreakHook hook) {
    Breakpoint* b = FindBreak(id);
    if (!b) return false;
    b->OnHit = std::move(hook);
    return true;
}

void BreakResetHits() {
    for (Breakpoint& b : E().Breaks) b.Hits = 0;
    for (Watchpoint& w : E().Watches) w.Hits = 0;
}

const std::vector<Breakpoint>& Breakpoints() {
    return E().Breaks;
}

const Breakpoint* FindBreakpoint(int id) {
    return FindBreak(id);
}

int BreakAt(uint16_t address) {
    for (const Breakpoint& b : E().Breaks)
        if (b.Address == address) return b.Id;
    return 0;
}

int BreakToggle(uint16_t address) {
    Engine& e = E();
    if (BreakAt(address)) {
        for (size_t i = e.Breaks.size(); i-- > 0;)
            if (e.Breaks[i].Address == address) BreakRemove(e.Breaks[i].Id);
        return 0;
    }
    Breakpoint b;
    b.Address = address;
    std::string error;
    return BreakAdd(b, error);
}

const std::vector<std::string>& BreakLog() {
    return E().Log;
}

void BreakLogClear() {
    E().Log.clear();
}

void SetBreakLogHook(BreakLogHook hook) {
    E().LogHook = std::move(hook);
}

// --- Watchpoints ------------------------------------------------------------------------------

int WatchAdd(const Watchpoint& wp, std::string& error) {
    Engine& e = E();
    if (wp.Access == 0 || wp.Access > kWatchReadWrite) {
        error = "a watchpoint watches writes, reads or both";
        return 0;
    }
    switch (wp.Area) {
    case WatchArea::Ram:
        if (wp.First > wp.Last || wp.Last >= kRamBytes) {
            error = "RAM addresses run from 0000 to 1FFF, the first not above the last";
            return 0;
        }
        break;
    case WatchArea::Register:
        if (wp.First > wp.Last || wp.Last >= kRegBytes) {
            error = "registers run from R00 to R7F, the first not above the last";
            return 0;
        }
        break;
    case WatchArea::Special:
        if (!ValidSpecialWatch(wp.First)) {
            error = "that special register cannot be watched";
            return 0;
        }
        break;
    }
    if (wp.Area != WatchArea::Ram && (wp.Access & kWatchRead)) {
        error = "only RAM can be watched for reads";
        return 0;
    }
    Watchpoint w = wp;
    w.Id = e.NextId++;
    if (w.Area == WatchArea::Special) w.Last = w.First;
    e.Watches.push_back(std::move(w));
    Update();
    return e.Watches.back().Id;
}

bool WatchParse(std::string_view text, Watchpoint& wp, std::string& error) {
    text = TrimView(text);
    wp = Watchpoint{};
    // The access, after the last colon, when it is r, w or rw.
    const size_t last = text.rfind(':');
    if (last != std::string_view::npos) {
        const std::string access = Lower(TrimView(text.substr(last + 1)));
        uint8_t a = 0;
        if (access == "r") a = kWatchRead;
        if (access == "w") a = kWatchWrite;
        if (access == "rw" || access == "wr") a = kWatchReadWrite;
        if (a) {
            wp.Access = a;
            text = TrimView(text.substr(0, last));
        }
    }
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        const std::string name = Lower(text);
        for (const SpecialRegInfo& r : kSpecialRegTable)
            if (Lower(r.Name) == name) {
                wp.Area = WatchArea::Special;
                wp.First = wp.Last = static_cast<uint16_t>(r.Reg);
                if (!ValidSpecialWatch(wp.First)) {
                    error = "PC cannot be watched (use a breakpoint)";
                    return false;
                }
                return true;
            }
        error = "expected AREA:ADDR[-END][:r|w|rw] or a special register: " + std::string(text);
        return false;
    }
    const std::string area = Lower(TrimView(text.substr(0, colon)));
    if (area == "ram" || area == "3")
        wp.Area = WatchArea::Ram;
    else if (area == "reg" || area == "r")
        wp.Area = WatchArea::Register;
    else {
        error = "unknown area '" + area + "' (ram or reg)";
        return false;
    }
    std::string_view range = TrimView(text.substr(colon + 1));
    // The end follows the last '-' that is not part of a name-N offset of the first address:
    // try the whole text as one address first.
    auto address = [&](std::string_view s, uint16_t& out) {
        s = TrimView(s);
        if (wp.Area == WatchArea::Register && s.size() >= 2 && (s[0] == 'r' || s[0] == 'R')) {
            unsigned n = 0;
            for (const char c : s.substr(1)) {
                if (c < '0' || c > '9' || n > 1000) {
                    error = "not a register: " + std::string(s);
                    return false;
                }
                n = n * 10 + static_cast<unsigned>(c - '0');
            }
            out = static_cast<uint16_t>(n > 0xFFFF ? 0xFFFF : n);
            return true;
        }
        return ParseAddress(s, g_symbols, out, error);
    };
    uint16_t first = 0, lastAddress = 0;
    std::string ignored;
    if (address(range, first)) {
        lastAddress = first;
    } else {
        const size_t dash = range.rfind('-');
        if (dash == std::string_view::npos || !address(range.substr(0, dash), first) ||
            !address(range.substr(dash + 1), lastAddress))
            return false;
    }
    error.clear();
    const unsigned limit = wp.Area == WatchArea::Ram ? kRamBytes : kRegBytes;
    if (first > lastAddress || lastAddress >= limit) {
        error = wp.Area == WatchArea::Ram ? "RAM addresses run from 0000 to 1FFF"
                                          : "registers run from R00 to R7F (r0 to r127)";
        return false;
    }
    wp.First = first;
    wp.Last = lastAddress;
    return true;
}

bool WatchRemove(int id) {
    Engine& e = E();
    const auto it = std::find_if(e.Watches.begin(), e.Watches.end(),
                                 [id](const Watchpoint& w) { return w.Id == id; });
    if (it == e.Watches.end()) return false;
    e.Watches.erase(it);
    Update();
    return true;
}

void WatchRemoveAll() {
    E().Watches.clear();
    Update();
}

bool WatchEnable(int id, bool enabled) {
    Watchpoint* w = FindWatch(id);
    if (!w) return false;
    w->Enabled = enabled;
    Update();
    return true;
}

bool WatchSetHook(int id, WatchHook hook) {
    Watchpoint* w = FindWatch(id);
    if (!w) return false;
    w->OnHit = std::move(hook);
    return true;
}

const std::vector<Watchpoint>& Watchpoints() {
    return E().Watches;
}

const Watchpoint* FindWatchpoint(int id) {
    return FindWatch(id);
}

std::string WatchText(const Watchpoint& w) {
    const char* access = w.Access == kWatchReadWrite ? " rw" : w.Access == kWatchRead ? " r" : " w";
    if (w.Area == WatchArea::Special)
        return std::string(SpecialRegOf(static_cast<SpecialReg>(w.First & 0xF)).Name) + access;
    std::string text;
    if (w.Area == WatchArea::Register) {
        text = "R";
        text += Hex2(w.First);
        if (w.Last != w.First) {
            text += "-R";
            text += Hex2(w.Last);
        }
        return text + access;
    }
    text = "RAM ";
    text += Hex4(w.First);
    if (w.Last != w.First) {
        text += '-';
        text += Hex4(w.Last);
    }
    return text + access;
}

// --- Stepping ---------------------------------------------------------------------------------

void DebugStepInto() {
    Engine& e = E();
    BreakSync();
    BreakBeforeStep();
    e.StopSet = false;
    const uint16_t pc = g_cpu.PC;
    const int32_t cycles = g_cpu.StepCycles;
    DebuggerSingleStep();
    const int32_t spent = g_cpu.StepCycles - cycles;
    if (g_history.On) HistoryEnter(pc, static_cast<uint16_t>(spent < 0 ? 0 : spent));
    bool watched = false;
    if (g_ramWatch.Hit) watched |= CheckRamWatches(pc);
    if (e.RegWatches) watched |= CheckRegisterWatches(pc);
    if (!watched) {
        StopReason r;
        r.Kind = StopKind::Step;
        r.Pc = g_cpu.PC;
        e.Last = r;
    }
    e.StopSet = false;
}

bool DebugStepOver() {
    const DecodedInstruction in = Decode(g_cpu.PC);
    const std::string_view m = in.Info().Mnemonic;
    if (m == "cal" || m == "scal") {
        Arm(Pending::StepOverCall, in.Next);
        return true;
    }
    if (m == "trp") {
        Arm(Pending::StepOverTrap, 0);
        return true;
    }
    DebugStepInto();
    if (E().Last.Kind == StopKind::Step) E().Last.Kind = StopKind::StepOver;
    return false;
}

void DebugStepOut() {
    Arm(Pending::StepOut, 0);
}

void DebugRunTo(uint16_t address) {
    Arm(Pending::RunTo, address);
}

void DebugCancelStep() {
    if (E().Step == Pending::None) return;
    E().Step = Pending::None;
    Update();
}

bool DebugStepPending() {
    return E().Step != Pending::None;
}

void DebugPause() {
    DebugCancelStep();
    g_run.StopRequest = 1;
    g_cpu.CycleBalance = 0;
    StopReason r;
    r.Kind = StopKind::Pause;
    r.Pc = g_cpu.PC;
    E().Last = r;
}

bool RunUntilStop(int64_t maxTicks) {
    g_run.StopRequest = 0;
    g_run.ResumeDelay = 0;
    for (int64_t i = 0; i < maxTicks; ++i) {
        OnRunTimer();
        if (g_run.StopRequest) return true;
    }
    return false;
}

// --- Call stack -------------------------------------------------------------------------------

namespace {
bool IsCall(const DecodedInstruction& in) {
    const std::string_view m = in.Info().Mnemonic;
    return m == "cal" || m == "scal";
}

// The call or trp that pushed ret, if ret looks like a return address; -1 otherwise.
int32_t CallSiteOf(uint16_t ret) {
    if (Decode(ret).Info().Mnemonic == "trp") return ret;
    if (ret < kFirstExternalPc) {
        if (ret == 0) return -1;
        const DecodedInstruction in = Decode(static_cast<uint16_t>(ret - 1));
        return IsCall(in) && in.Next == ret ? ret - 1 : -1;
    }
    for (const int back : {3, 2}) {
        if (ret < kFirstExternalPc + back) continue;
        const DecodedInstruction in = Decode(static_cast<uint16_t>(ret - back));
        if (IsCall(in) && in.Next == ret) return ret - back;
    }
    return -1;
}
} // namespace

std::vector<CallFrame> CallStack(int maxDepth) {
    std::vector<CallFrame> frames;
    uint32_t a = Sp();
    for (int depth = 0; depth < maxDepth && a + 1 <= 0xFFFF; ++depth, a += 2) {
        const uint8_t high = g_cpu.Ram[a & 0x1FFF];
        const uint8_t low = g_cpu.Ram[(a + 1) & 0x1FFF];
        const uint16_t ret = static_cast<uint16_t>(high << 8 | low);
        const int32_t site = CallSiteOf(ret);
        if (site < 0) break;
        frames.push_back({static_cast<uint16_t>(a), ret, static_cast<uint16_t>(site)});
    }
    return frames;
}

// --- Step history -----------------------------------------------------------------------------

std::vector<HistoryEntry> History(int count) {
    const StepHistory& h = g_history;
    const uint32_t held = std::min<uint32_t>(h.Count, kHistorySteps);
    const uint32_t n = count < 0 ? 0 : std::min<uint32_t>(held, static_cast<uint32_t>(count));
    std::vector<HistoryEntry> out;
    out.reserve(n);
    for (uint32_t i = h.Count - n; i != h.Count; ++i) {
        const uint32_t w = h.Ring[i % kHistorySteps];
        out.push_back({static_cast<uint16_t>(w), static_cast<uint8_t>(w >> 16),
                       static_cast<uint16_t>(w >> 24)});
    }
    return out;
}

void HistoryClear() {
    g_history.Count = 0;
}

void HistoryDropLast() {
    if (g_history.Count > 0) --g_history.Count;
}

void HistoryEnable(bool on) {
    g_history.On = on ? 1 : 0;
}

bool HistoryEnabled() {
    return g_history.On != 0;
}

// --- For the run loop -------------------------------------------------------------------------

bool BreakArmed() {
    return E().Armed;
}

void BreakSync() {
    Engine& e = E();
    g_ramWatch.Hit = 0;
    if (!e.RegWatches) return;
    std::memcpy(g_breakFast.RegShadow, g_cpu.R, kRegBytes);
    for (int i = 0; i < kSpecialRegCount; ++i)
        g_breakFast.SpecialShadow[i] = SpecialRegValue(static_cast<SpecialReg>(i));
}

bool BreakAfterStep(uint16_t pcBefore) {
    Engine& e = E();
    e.StopSet = false;
    const bool stop = CheckStep(pcBefore);
    e.StopSet = false;
    if (stop) DebugCancelStep();
    return stop;
}

void BreakNoteLoopStop(StopKind kind) {
    StopReason r;
    r.Kind = kind;
    r.Pc = g_cpu.PC;
    E().Last = r;
}

void BreakReset() {
    Engine& e = E();
    e.Breaks.clear();
    e.Conditions.clear();
    e.Logs.clear();
    e.Watches.clear();
    e.NextId = 1;
    e.Step = Pending::None;
    e.Last = StopReason{};
    e.Log.clear();
    g_history.Count = 0;
    g_history.On = 1;
    g_ramWatch = RamWatchState{};
    Update();
}
