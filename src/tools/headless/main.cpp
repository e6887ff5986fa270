// velmora-headless: runs the emulator without any window, driven from the command line.
// Start-up as the desktop program's (settings, images, power reset), then the --set stores, a
// run of --steps steps or --ms milliseconds of emulated time, then the requested outputs.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "host/Files.h"
#include "host/Report.h"
#include "host/RunLoop.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"
#include "tools/ToolArgs.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

void ReportWarning(std::string_view text) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

namespace {
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // an output file could not be written
constexpr int kExitUsage = 2;  // a bad option or value; nothing was run
constexpr int kEnterKey = 61;
constexpr int64_t kTypeStartMs = 500;
constexpr int64_t kTypePitchMs = 200;
constexpr int64_t kTypeHoldMs = 100;
constexpr int kRefreshEveryTicks = kRefreshIntervalMs / kRunIntervalMs; // 5
// Times and counts beyond this are refused: it keeps every sum of two of them exact.
constexpr int64_t kLargestNumber = int64_t{1} << 52;

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Decimal digits only; refused if empty, signed or beyond kLargestNumber.
int64_t ParseCount(const std::string& text, const std::string& what) {
    if (text.empty()) throw UsageError(what + ": a number is missing");
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') throw UsageError(what + ": not a decimal number: " + text);
        value = value * 10 + (c - '0');
        if (value > kLargestNumber) throw UsageError(what + ": number too large: " + text);
    }
    return value;
}

// Decimal or 0x hexadecimal of any length; the result is the value modulo 2^64, which keeps
// every low bit that a register mask can select.
uint64_t ParseRegisterValue(std::string_view text, const std::string& option) {
    int base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) throw UsageError("--set " + option + ": a value is missing");
    uint64_t value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0) throw UsageError("--set " + option + ": not a number");
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    return value;
}

struct RegisterStore {
    const char* name;
    uint8_t* byte; // one of these two is set
    uint16_t* word;
    uint8_t mask; // for byte registers
};

// The special registers as the debug window edits them: 16-bit, 8-bit and 7-bit.
std::vector<RegisterStore> SpecialRegisters() {
    CpuState& c = g_cpu;
    return {
        {"PC", nullptr, &c.PC, 0},    {"LA", nullptr, &c.LA, 0},    {"KC", &c.KC, nullptr, 0xFF},
        {"KI", &c.KI, nullptr, 0xFF}, {"IE", &c.IE, nullptr, 0xFF}, {"DS", &c.DS, nullptr, 0xFF},
        {"AS", &c.AS, nullptr, 0x7F}, {"PD", &c.PD, nullptr, 0xFF}, {"PE", &c.PE, nullptr, 0x7F},
        {"S4", &c.S4, nullptr, 0x7F}, {"S5", &c.S5, nullptr, 0x7F}, {"S6", &c.S6, nullptr, 0x7F},
        {"S7", &c.S7, nullptr, 0x7F}, {"S8", &c.S8, nullptr, 0x7F}, {"TM", &c.TM, nullptr, 0x7F},
        {"F", &c.F, nullptr, 0xFF},
    };
}

struct SetCommand {
    RegisterStore target;
    uint64_t value;
};

SetCommand ParseSet(const std::string& text) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos) throw UsageError("--set " + text + ": expected NAME=VALUE");
    std::string name = text.substr(0, eq);
    for (char& ch : name)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    for (const RegisterStore& r : SpecialRegisters())
        if (name == r.name)
            return {r, ParseRegisterValue(std::string_view(text).substr(eq + 1), text)};
    throw UsageError("--set " + text + ": unknown register " + text.substr(0, eq));
}

void ApplySet(const SetCommand& s) {
    if (s.target.word)
        *s.target.word = static_cast<uint16_t>(s.value);
    else
        *s.target.byte = static_cast<uint8_t>(s.value & s.target.mask);
}

// A key event of --key or --type, applied before the first run tick starting at or after Time.
struct KeyEvent {
    int64_t Time;
    int Kind;      // 0 release, 1 press: releases go first at the same time
    int Source;    // 0 --key, 1 --type
    int Order;     // position among the events of its source
    int32_t Code;  // --key: the key code
    int Character; // --type: the character, or -1 for Enter
};

bool EventBefore(const KeyEvent& a, const KeyEvent& b) {
    if (a.Time != b.Time) return a.Time < b.Time;
    if (a.Kind != b.Kind) return a.Kind < b.Kind;
    if (a.Source != b.Source) return a.Source < b.Source;
    return a.Order < b.Order;
}

void ParseKey(const std::string& text, int order, std::vector<KeyEvent>& events) {
    const size_t first = text.find(':');
    const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos || text.find(':', second + 1) != std::string::npos)
        throw UsageError("--key " + text + ": expected T:CODE:HOLD");
    const std::string what = "--key " + text;
    const int64_t time = ParseCount(text.substr(0, first), what);
    const int64_t code = ParseCount(text.substr(first + 1, second - first - 1), what);
    const int64_t hold = ParseCount(text.substr(second + 1), what);
    if (code > INT32_MAX) throw UsageError(what + ": key code too large");
    events.push_back({time, 1, 0, order, static_cast<int32_t>(code), 0});
    events.push_back({time + hold, 0, 0, order, 0, 0});
}

void ParseType(const std::string& text, std::vector<KeyEvent>& events) {
    int64_t index = 0;
    for (size_t i = 0; i < text.size(); ++i, ++index) {
        int character = static_cast<unsigned char>(text[i]);
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            character = -1;
            ++i;
        }
        const int64_t time = kTypeStartMs + kTypePitchMs * index;
        const int order = static_cast<int>(index);
        events.push_back({time, 1, 1, order, 0, character});
        events.push_back({time + kTypeHoldMs, 0, 1, order, 0, character});
    }
}

void ApplyEvent(const KeyEvent& e) {
    if (e.Kind == 0) {
        KeyboardKeyUp();
    } else if (e.Source == 0) {
        SetKeySlot(KeySlot::Keyboard, e.Code);
    } else if (e.Character < 0) {
        SetKeySlot(KeySlot::Keyboard, kEnterKey);
    } else {
        KeyboardChar(e.Character); // pressed only for 32..127 with a key in KeyMap
    }
}

// --- Per-step record: counts, cycles and the trace ------------------------------------------
struct StepRecord {
    int64_t Steps = 0;
    int64_t Cycles = 0;
    std::FILE* Trace = nullptr;
} g_record;

void RecordStep(uint16_t pcBefore) {
    if (g_record.Trace)
        std::fprintf(g_record.Trace, "%lld %04X %02X %d\n", static_cast<long long>(g_record.Steps),
                     pcBefore, g_cpu.F, g_cpu.StepCycles);
    ++g_record.Steps;
    g_record.Cycles += g_cpu.StepCycles;
}

// --- Outputs ---------------------------------------------------------------------------------
std::string DumpJson() {
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
    j["STEPS"] = g_record.Steps;
    j["CYCLES"] = g_record.Cycles;
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
    return j.dump();
}

void PrintLcdText() {
    std::string line(kLcdRowBytes * 8, '.');
    for (int y = 0; y < kLcdRows; ++y) {
        for (int x = 0; x < kLcdRowBytes * 8; ++x)
            line[x] = LcdDot(g_lcd.FrameBuffer, x, y) ? '#' : '.';
        std::printf("%s\n", line.c_str());
    }
}

// libpng reports errors by longjmp, so nothing here may live across the setjmp.
bool EncodePng(png_structp png, png_infop info, std::FILE* f, png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, f);
    png_set_IHDR(png, info, kLcdWidth, kLcdHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

bool WritePng(const std::string& name) {
    std::vector<png_byte> pixels(static_cast<size_t>(kLcdWidth) * kLcdHeight * 3);
    for (int i = 0; i < kLcdWidth * kLcdHeight; ++i) {
        const uint32_t rgb = g_lcd.LcdBitmap[i];
        pixels[3 * i] = static_cast<png_byte>(rgb >> 16);
        pixels[3 * i + 1] = static_cast<png_byte>(rgb >> 8);
        pixels[3 * i + 2] = static_cast<png_byte>(rgb);
    }
    std::vector<png_bytep> rows(kLcdHeight);
    for (int y = 0; y < kLcdHeight; ++y) rows[y] = &pixels[static_cast<size_t>(y) * kLcdWidth * 3];

    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool encoded = png && info && EncodePng(png, info, f, rows.data());
    png_destroy_write_struct(&png, &info);
    const bool closed = std::fclose(f) == 0;
    return encoded && closed;
}

struct Options {
    std::vector<std::string> Sets, Keys;
    std::string Steps, Ms, Type, TracePath, PngPath;
    bool Dump = false, Save = false, LcdText = false;
};

void Validate(const CLI::App& app, const Options& o) {
    const bool steps = app.count("--steps") > 0, ms = app.count("--ms") > 0;
    if (steps && ms) throw UsageError("--steps and --ms cannot be used together");
    if (!ms && app.count("--key") > 0) throw UsageError("--key needs --ms");
    if (!ms && app.count("--type") > 0) throw UsageError("--type needs --ms");
    // The parser would take a following option as the file name; write ./-name for such a file.
    for (const auto& [option, path] :
         {std::pair{"--trace", &o.TracePath}, {"--lcd-png", &o.PngPath}})
        if (app.count(option) > 0 && (path->empty() || (*path)[0] == '-'))
            throw UsageError(std::string(option) + ": a FILE name is missing");
}
} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Runs the Velmora emulator without a window, in the current directory: reads "
                 "velmora.ini and the images, resets, applies the --set stores, runs, and writes "
                 "the requested outputs.",
                 "velmora-headless"};
    Options o;
    app.add_option("--set", o.Sets,
                   "Store VALUE (decimal or 0x hex, masked) into a special "
                   "register: PC LA KC KI IE DS AS PD PE S4 S5 S6 S7 S8 TM F")
        ->type_name("NAME=VALUE");
    app.add_option("--steps", o.Steps, "Run exactly N steps, unpaced")->type_name("N");
    app.add_option("--ms", o.Ms,
                   "Run N ms of emulated time: N/10 run ticks, a refresh tick "
                   "after every 5th")
        ->type_name("N");
    app.add_option("--key", o.Keys,
                   "With --ms: press key CODE at T ms and release it HOLD ms "
                   "later")
        ->type_name("T:CODE:HOLD");
    app.add_option("--type", o.Type,
                   "With --ms: type TEXT through the key map, character i at "
                   "500+200i ms for 100 ms; \\n is Enter")
        ->type_name("TEXT");
    app.add_flag("--dump", o.Dump, "Print the machine state as one JSON line");
    app.add_flag("--save", o.Save, "Write ram.bin and register.bin as at close");
    app.add_option("--trace", o.TracePath, "Write one line per step: index PC f cycles")
        ->type_name("FILE");
    app.add_option("--lcd-png", o.PngPath, "Redraw and write the 192x128 LCD image as PNG")
        ->type_name("FILE");
    app.add_flag("--lcd-text", o.LcdText, "Print the 64 display lines, # dark, . light");
    AddVersionFlag(app, "velmora-headless");

    std::vector<SetCommand> sets;
    std::vector<KeyEvent> events;
    int64_t steps = 0, ms = 0;
    try {
        app.parse(argc, argv);
        Validate(app, o);
        for (const std::string& s : o.Sets) sets.push_back(ParseSet(s));
        for (size_t i = 0; i < o.Keys.size(); ++i) ParseKey(o.Keys[i], static_cast<int>(i), events);
        ParseType(o.Type, events);
        if (app.count("--steps")) steps = ParseCount(o.Steps, "--steps");
        if (app.count("--ms")) ms = ParseCount(o.Ms, "--ms");
    } catch (const CLI::CallForHelp&) {
        std::printf("%s", app.help().c_str());
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        std::printf("%s\n", e.what());
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "velmora-headless: %s\n%s", e.what(), app.help().c_str());
        return kExitUsage;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "velmora-headless: %s\n%s", e.what(), app.help().c_str());
        return kExitUsage;
    }
    std::stable_sort(events.begin(), events.end(), EventBefore);

    if (!o.TracePath.empty()) {
        g_record.Trace = std::fopen(o.TracePath.c_str(), "w");
        if (!g_record.Trace) {
            std::fprintf(stderr, "velmora-headless: cannot write the trace file %s: %s\n",
                         o.TracePath.c_str(), std::strerror(errno));
            return kExitFailed;
        }
        static char traceBuffer[1 << 16];
        std::setvbuf(g_record.Trace, traceBuffer, _IOFBF, sizeof traceBuffer);
    }

    // Start-up as the desktop program's.
    ResetMachine();
    LoadSettings();
    LoadImages();
    StartEmulation();
    for (const SetCommand& s : sets) ApplySet(s);

    StepHook = RecordStep;
    if (app.count("--steps")) {
        for (int64_t i = 0; i < steps; ++i) {
            const uint16_t pcBefore = g_cpu.PC;
            g_cpu.StepCycles = 0;
            CpuStep();
            LcdStep();
            RecordStep(pcBefore);
        }
    } else if (app.count("--ms")) {
        const int64_t ticks = ms / kRunIntervalMs;
        size_t next = 0;
        for (int64_t tick = 0; tick < ticks; ++tick) {
            const int64_t start = tick * kRunIntervalMs;
            while (next < events.size() && events[next].Time <= start) ApplyEvent(events[next++]);
            g_run.ResumeDelay = 0;
            g_run.StopRequest = 0;
            OnRunTimer();
            if ((tick + 1) % kRefreshEveryTicks == 0) OnRefreshTimer();
        }
    }
    StepHook = nullptr;

    int status = kExitOk;
    if (g_record.Trace && std::fclose(g_record.Trace) != 0) {
        std::fprintf(stderr, "velmora-headless: cannot write the trace file %s\n",
                     o.TracePath.c_str());
        status = kExitFailed;
    }
    g_record.Trace = nullptr;
    if (o.Dump) std::printf("%s\n", DumpJson().c_str());
    if (o.LcdText) PrintLcdText();
    std::fflush(stdout);
    if (!o.PngPath.empty()) {
        LcdRedraw();
        if (!WritePng(o.PngPath)) {
            std::fprintf(stderr, "velmora-headless: cannot write the PNG file %s\n",
                         o.PngPath.c_str());
            status = kExitFailed;
        }
    }
    if (o.Save && !SaveImages()) status = kExitFailed;
    return status;
}
