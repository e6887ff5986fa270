// Start-up, runs, key events and outputs for the programs without windows.
#include "host/Session.h"

#include "debug/Break.h"
#include "debug/Symbols.h"

#include "core/Cpu.h"
#include "core/Machine.h"
#include "host/Files.h"
#include "host/Png.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <iterator>

SessionState g_session;

namespace {
// The trace line of a step, numbered by the steps run before it.
void TraceStep(uint16_t pcBefore) {
    std::fprintf(g_session.Trace, "%lld %04X %02X %d\n", static_cast<long long>(g_run.StepsRun),
                 pcBefore, g_cpu.F, g_cpu.StepCycles);
}

bool EventBefore(const KeyEvent& a, const KeyEvent& b) {
    if (a.Time != b.Time) return a.Time < b.Time;
    if (a.Kind != b.Kind) return a.Kind < b.Kind;
    if (a.Source != b.Source) return a.Source < b.Source;
    return a.Order < b.Order;
}

void AddEvent(const KeyEvent& e) {
    std::vector<KeyEvent>& events = g_session.Events;
    // After every event that goes first or ties with it: equal events keep the order in which
    // they were made.
    events.insert(std::upper_bound(events.begin(), events.end(), e, EventBefore), e);
}

void ApplyEvent(const KeyEvent& e) {
    if (e.Kind == kKeyRelease) {
        KeyboardKeyUp();
    } else if (e.Source == kSourceKey) {
        PressKey(e.Code);
    } else if (e.Character < 0) {
        PressKey(kEnterKey);
    } else {
        KeyboardChar(e.Character); // pressed only for 32..127 with a key in KeyMap
    }
}

void CopyImage(std::string_view from, uint8_t* to, size_t size) {
    if (!from.empty())
        std::memcpy(to, from.data(), std::min(from.size(), size)); // data() may be null
}
} // namespace

// --- Start-up ---------------------------------------------------------------------------------

void StartInFolder(const std::filesystem::path& folder) {
    ResetMachine();
    g_session = SessionState{};
    g_fileFolder = folder;
    LoadSettings();
    LoadImages();
    StartEmulation();
}

void StartFromImages(const StartImages& images) {
    ResetMachine();
    g_session = SessionState{};
    CpuState& c = g_cpu;
    CopyImage(images.KeyMap, g_kbd.KeyMap, sizeof g_kbd.KeyMap);
    CopyImage(images.Rom0, c.Rom, sizeof c.Rom);
    CopyImage(images.Rom1, c.Ext, sizeof c.Ext);
    CopyImage(images.Ram, c.Ram, sizeof c.Ram);
    CopyImage(images.Register, c.R, sizeof c.R);
    g_imageFiles = {};
    g_run.OscFreq = images.OscFreq;
    g_run.SelfTest = images.SelfTest;
    StartEmulation();
}

// --- Runs -------------------------------------------------------------------------------------

namespace {
// The stops of the break engine end a run; the run loop's own (a step count, BreakAddress) do
// not, as before.
bool EngineStop(StopKind kind) {
    switch (kind) {
    case StopKind::Breakpoint:
    case StopKind::Watchpoint:
    case StopKind::StepOver:
    case StopKind::StepOut:
    case StopKind::RunTo: return true;
    default: return false;
    }
}
} // namespace

bool RunSteps(int64_t steps) {
    const bool armed = BreakArmed();
    if (armed) BreakSync();
    for (int64_t i = 0; i < steps; ++i) {
        const uint16_t pcBefore = g_cpu.PC;
        const bool halted = g_cpu.OFF | g_cpu.WAIT; // an idle step: nothing for the engine
        g_cpu.StepCycles = 0;
        if (armed) BreakBeforeStep();
        CpuStep();
        LcdStep();
        if (g_history.On) HistoryEnter(pcBefore, static_cast<uint16_t>(g_cpu.StepCycles));
        if (g_session.Trace) TraceStep(pcBefore);
        ++g_run.StepsRun;
        g_run.CyclesRun += g_cpu.StepCycles;
        if (armed && !halted && BreakLooksAfterStep() && BreakAfterStep(pcBefore)) return true;
    }
    return false;
}

bool RunMs(int64_t ms) {
    SessionState& s = g_session;
    s.Ms += ms;
    g_run.CountSteps = 1;
    StepHook = s.Trace ? TraceStep : nullptr; // only a trace needs a call at every step
    while (s.TickMs + kRunIntervalMs <= s.Ms) {
        size_t due = 0;
        while (due < s.Events.size() && s.Events[due].Time <= s.TickMs) ApplyEvent(s.Events[due++]);
        s.Events.erase(s.Events.begin(), s.Events.begin() + static_cast<std::ptrdiff_t>(due));
        g_run.ResumeDelay = 0;
        g_run.StopRequest = 0;
        OnRunTimer();
        s.TickMs += kRunIntervalMs;
        if (s.TickMs % (kRunIntervalMs * kRefreshEveryTicks) == 0) OnRefreshTimer();
        if (g_run.StopRequest && EngineStop(LastStop().Kind)) {
            // The run ends at the stop; the time asked for beyond it is dropped.
            s.Ms = s.TickMs;
            StepHook = nullptr;
            return true;
        }
    }
    StepHook = nullptr;
    return false;
}

void ScheduleKey(int64_t at, int32_t code, int64_t hold, int order) {
    if (order < 0) order = g_session.NextOrder++;
    AddEvent({at, kKeyPress, kSourceKey, order, code, 0});
    AddEvent({at + hold, kKeyRelease, kSourceKey, order, 0, 0});
}

int64_t ScheduleType(std::string_view text, int64_t start, bool newlineIsEnter) {
    int64_t index = 0;
    for (size_t i = 0; i < text.size(); ++i, ++index) {
        int character = static_cast<unsigned char>(text[i]);
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            character = -1;
            ++i;
        } else if (newlineIsEnter && text[i] == '\n') {
            character = -1;
        }
        const int64_t time = start + kTypePitchMs * index;
        const int order = static_cast<int>(index);
        AddEvent({time, kKeyPress, kSourceType, order, 0, character});
        AddEvent({time + kTypeHoldMs, kKeyRelease, kSourceType, order, 0, character});
    }
    return index;
}

void PressKey(int32_t code) {
    SetKeySlot(KeySlot::Keyboard, code);
}

void ReleaseKey() {
    KeyboardKeyUp();
}

// --- Outputs ----------------------------------------------------------------------------------

nlohmann::ordered_json DumpFields() {
    const CpuState& c = g_cpu;
    nlohmann::ordered_json j;
    j["PC"] = c.PC;
    j["LA"] = c.LA;
    j["KC"] = c.KC;
    j["KI"] = c.KI;
    j["IE"] = c.IE;
    j["DS"] = c.DS;
    j["AS"] = c.AS;
    j["PD"] = c.PD;
    j["PE"] = c.PE;
    j["S4"] = c.S4;
    j["S5"] = c.S5;
    j["S6"] = c.S6;
    j["S7"] = c.S7;
    j["S8"] = c.S8;
    j["TM"] = c.TM;
    j["F"] = c.F;
    j["IRQ"] = c.IRQ;
    j["ISR"] = c.ISR;
    j["OFF"] = c.OFF ? 1 : 0;
    j["WAIT"] = c.WAIT ? 1 : 0;
    j["STEPS"] = g_run.StepsRun;
    j["CYCLES"] = g_run.CyclesRun;
    j["BALANCE"] = c.CycleBalance;
    j["ROWCYCLES"] = g_lcd.RowCycles;
    j["COLUMN"] = g_lcd.ColumnCounter;
    j["ROW"] = g_lcd.RowCounter;
    j["PRESCALE"] = g_lcd.TimerPrescale;
    j["R"] = std::vector<int>(std::begin(c.R), std::end(c.R));
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string fb;
    fb.reserve(2 * kFrameBytes);
    for (const uint8_t b : g_lcd.FrameBuffer) {
        fb.push_back(kHex[b >> 4]);
        fb.push_back(kHex[b & 15]);
    }
    j["FB"] = fb;
    // Why the processor stopped, when something stopped it (a breakpoint, a watchpoint, ...).
    if (LastStop().Kind != StopKind::None) j["STOP"] = StopText(LastStop(), &g_symbols);
    return j;
}

std::string DumpJson() {
    return DumpFields().dump();
}

std::string LcdText() {
    constexpr int kColumns = kLcdRowBytes * 8;
    std::string text;
    text.reserve(static_cast<size_t>(kLcdRows) * (kColumns + 1));
    for (int y = 0; y < kLcdRows; ++y) {
        for (int x = 0; x < kColumns; ++x)
            text.push_back(LcdDot(g_lcd.FrameBuffer, x, y) ? '#' : '.');
        text.push_back('\n');
    }
    return text;
}

bool WriteLcdPng(const std::filesystem::path& path) {
    LcdRedraw();
    RgbImage image;
    image.Width = kLcdWidth;
    image.Height = kLcdHeight;
    image.Pixels.resize(static_cast<size_t>(kLcdWidth) * kLcdHeight * 3);
    for (int i = 0; i < kLcdWidth * kLcdHeight; ++i) {
        const uint32_t rgb = g_lcd.LcdBitmap[i];
        image.Pixels[3 * i] = static_cast<uint8_t>(rgb >> 16);
        image.Pixels[3 * i + 1] = static_cast<uint8_t>(rgb >> 8);
        image.Pixels[3 * i + 2] = static_cast<uint8_t>(rgb);
    }
    return WritePng(path, image);
}
