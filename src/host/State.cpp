// Save states as bytes. Each chunk's fields are listed once, in a visitor that writes them, reads
// them back with their ranges checked, or counts their bytes; the state file and the rewind ring's
// machine images are built from the same lists.
#include "host/State.h"

#include "BuildInfo.h"
#include "core/Cpu.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <nettle/sha2.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <iterator>
#include <type_traits>

namespace {
constexpr uint8_t kMagic[8] = {'V', 'E', 'L', 'M', 'O', 'R', 'A', 0x1A};
constexpr size_t kHeaderBytes = sizeof kMagic + 4; // magic, format version
constexpr size_t kChunkHeaderBytes = 8;            // tag, payload length
constexpr size_t kCrcBytes = 4;
constexpr size_t kMaxStateBytes = 16 << 20; // far above any state: refused unread
constexpr size_t kMaxVersionBytes = 64;

// The largest step cycle counter a state may hold: the debugger's single step adds to it
// without clearing it, so it grows by a few cycles a click; far below this, any step (at most
// 48 cycles) can still be added without leaving the signed 32-bit range of RowCycles and
// CycleBalance.
constexpr int64_t kMaxStepCycles = int64_t{1} << 29;
// The row-cycle accumulator: folded back below kRowCyclesCap whenever a row ends, so it never
// holds more than the cap plus one row period less one cycle.
constexpr int64_t kMaxRowCycles = kRowCyclesCap + 127 * 16 - 1;

// --- Field visitors ---------------------------------------------------------------------------

// Appends the fields, little-endian.
struct Writer {
    uint8_t* At;
    template <typename T> void Field(const T& v, const char*, int64_t, int64_t) {
        const auto raw = static_cast<std::make_unsigned_t<T>>(v);
        for (size_t i = 0; i < sizeof(T); ++i) *At++ = static_cast<uint8_t>(uint64_t{raw} >> 8 * i);
    }
    void Bytes(const uint8_t* v, size_t n, const char*) {
        std::memcpy(At, v, n);
        At += n;
    }
};

// Reads the fields back and checks each against its range; the first field out of range is
// described in Error. With kStore the values are stored, otherwise only checked; without kCheck
// they are taken as they are (the rewind ring's own images, and a file already checked).
template <bool kStore, bool kCheck = true> struct Reader {
    const uint8_t* At;
    const char* Chunk;
    std::string Error;

    template <typename T> void Field(T& v, const char* name, int64_t lo, int64_t hi) {
        uint64_t raw = 0;
        for (size_t i = 0; i < sizeof(T); ++i) raw |= uint64_t{At[i]} << 8 * i;
        At += sizeof(T);
        const auto value = static_cast<int64_t>(static_cast<T>(raw));
        if constexpr (kCheck) {
            if (value < lo || value > hi) {
                if (Error.empty())
                    Error = std::string("the ") + Chunk + " chunk holds " + name + " = " +
                            std::to_string(value) + ", out of range";
                return;
            }
        }
        if constexpr (kStore) v = static_cast<T>(value);
    }
    void Bytes(uint8_t* v, size_t n, const char*) {
        if constexpr (kStore) std::memcpy(v, At, n);
        At += n;
    }
};

// Reads the value of one field, by name.
struct Peek {
    const uint8_t* At;
    std::string_view Want;
    int64_t Value = 0;
    template <typename T> void Field(const T&, const char* name, int64_t, int64_t) {
        uint64_t raw = 0;
        for (size_t i = 0; i < sizeof(T); ++i) raw |= uint64_t{At[i]} << 8 * i;
        At += sizeof(T);
        if (name == Want) Value = static_cast<int64_t>(static_cast<T>(raw));
    }
    void Bytes(const uint8_t*, size_t n, const char*) { At += n; }
};

struct Sizer {
    size_t Size = 0;
    template <typename T> void Field(const T&, const char*, int64_t, int64_t) { Size += sizeof(T); }
    void Bytes(const uint8_t*, size_t n, const char*) { Size += n; }
};

// --- The chunks' fields -----------------------------------------------------------------------

// The processor's registers and core variables, then the working values of a step.
template <typename V> void VisitCpuLive(V& v, CpuState& c) {
    v.Field(c.PC, "PC", 0, 0xFFFF);
    v.Field(c.LA, "LA", 0, 0xFFFF);
    v.Field(c.KC, "KC", 0, 0xFF);
    v.Field(c.KI, "KI", 0, 0xFF);
    v.Field(c.IE, "IE", 0, 0xFF);
    v.Field(c.DS, "DS", 0, 0xFF);
    v.Field(c.PD, "PD", 0, 0xFF);
    v.Field(c.AS, "AS", 0, 0x7F);
    v.Field(c.PE, "PE", 0, 0x7F);
    v.Field(c.S4, "S4", 0, 0x7F);
    v.Field(c.S5, "S5", 0, 0x7F);
    v.Field(c.S6, "S6", 0, 0x7F);
    v.Field(c.S7, "S7", 0, 0x7F);
    v.Field(c.S8, "S8", 0, 0x7F);
    v.Field(c.TM, "TM", 0, 0x7F);
    v.Field(c.F, "F", 0, 0xFF);
    v.Field(c.IRQ, "IRQ", 0, 0x0F);
    v.Field(c.ISR, "ISR", 0, 0x0F);
    v.Field(c.OFF, "OFF", 0, 1);
    v.Field(c.WAIT, "WAIT", 0, 1);
    // Between ticks the balance is 0 or a debt; inside a tick (a step back stops there) what
    // is left of the grant. The bound keeps a grant on top of it inside 32 bits; LoadState also
    // holds it to the grant of one tick when the state says what that was.
    v.Field(c.CycleBalance, "CycleBalance", -kMaxCyclesPerTick, kMaxCyclesPerTick);
}

template <typename V> void VisitCpuWorking(V& v, CpuState& c) {
    v.Field(c.StepCycles, "StepCycles", 0, kMaxStepCycles);
    v.Field(c.StepDir, "StepDir", -1, 1);
    v.Bytes(c.Buf, sizeof c.Buf, "Buf");
    v.Field(c.BytePos, "BytePos", 0, 3);
}

template <typename V> void VisitLcd(V& v, LcdState& l) {
    v.Field(l.RowCycles, "RowCycles", 0, kMaxRowCycles);
    v.Field(l.ColumnCounter, "ColumnCounter", 0, 128); // S7 + 1 at most
    v.Field(l.RowCounter, "RowCounter", 0, 112);       // (S6 AND 0x0E) x 8 at most
    v.Field(l.TimerPrescale, "TimerPrescale", 0, 126); // TM - 1 at most
    v.Bytes(l.FrameBuffer, sizeof l.FrameBuffer, "FrameBuffer");
}

template <typename V> void VisitKeys(V& v, KeyboardState& k) {
    v.Field(k.MouseKey, "MouseKey", 0, INT32_MAX);
    v.Field(k.KeyboardKey, "KeyboardKey", 0, INT32_MAX);
    v.Field(k.SelfTestCount, "SelfTestCount", INT32_MIN, INT32_MAX);
    v.Bytes(k.KeyMap, sizeof k.KeyMap, "KeyMap");
}

template <typename V> void VisitRun(V& v, RunState& r) {
    v.Field(r.CyclesPerTick, "CyclesPerTick", 0, kMaxCyclesPerTick);
    v.Field(r.StopRequest, "StopRequest", 0, 1);
    v.Field(r.StepCount, "StepCount", -1, INT32_MAX);
    v.Field(r.BreakAddress, "BreakAddress", -1, INT32_MAX);
    v.Field(r.ResumeDelay, "ResumeDelay", 0, INT32_MAX);
    v.Field(r.PowerOn, "PowerOn", 0, 1);
}

template <typename V> void VisitCounts(V& v, RunCounts& n) {
    v.Field(n.Steps, "Steps", 0, INT64_MAX);
    v.Field(n.Cycles, "Cycles", 0, INT64_MAX);
}

// The chunks of the machine, in the order of the file and of a machine image.
enum MachineChunk { kCpuChunk, kRegsChunk, kRamChunk, kLcdChunk, kKeysChunk, kMachineChunks };
// The other chunks a reader knows.
enum KnownChunk { kRunChunk = kMachineChunks, kRomsChunk, kVersChunk, kCntsChunk, kKnownChunks };
constexpr const char* kTags[kKnownChunks] = {"CPU ", "REGS", "RAM ", "LCD ", "KEYS",
                                             "RUN ", "ROMS", "VERS", "CNTS"};
constexpr const char* kNames[kKnownChunks] = {"CPU", "REGS", "RAM",  "LCD", "KEYS",
                                              "RUN", "ROMS", "VERS", "CNTS"};
constexpr const char* kEndTag = "END ";

template <typename V> void VisitMachineChunk(int chunk, V& v) {
    switch (chunk) {
    case kCpuChunk:
        VisitCpuLive(v, g_cpu);
        VisitCpuWorking(v, g_cpu);
        break;
    case kRegsChunk: v.Bytes(g_cpu.R, sizeof g_cpu.R, "R"); break;
    case kRamChunk: v.Bytes(g_cpu.Ram, sizeof g_cpu.Ram, "Ram"); break;
    case kLcdChunk: VisitLcd(v, g_lcd); break;
    case kKeysChunk: VisitKeys(v, g_kbd); break;
    }
}

struct Layout {
    size_t Chunk[kMachineChunks] = {};
    size_t CpuLive = 0; // the first bytes of the CPU chunk; its working values follow
    size_t Image = 0;
};

const Layout& Sizes() {
    static const Layout layout = [] {
        Layout l;
        for (int i = 0; i < kMachineChunks; ++i) {
            Sizer s;
            VisitMachineChunk(i, s);
            l.Chunk[i] = s.Size;
            l.Image += s.Size;
        }
        Sizer live;
        VisitCpuLive(live, g_cpu);
        l.CpuLive = live.Size;
        return l;
    }();
    return layout;
}

template <typename T, typename Visit> size_t SizeOf(Visit visit) {
    T scratch{};
    Sizer s;
    visit(s, scratch);
    return s.Size;
}

// --- Bytes ------------------------------------------------------------------------------------

uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Appends n bytes. (Not vector::insert: GCC 12 at -O3 takes its inlined copy for an overflow.)
void PutBytes(std::vector<uint8_t>& out, const void* data, size_t n) {
    const size_t at = out.size();
    out.resize(at + n);
    std::memcpy(out.data() + at, data, n);
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> 8 * i));
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        const uInt n = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        crc = crc32(crc, data, n);
        data += n;
        size -= n;
    }
    return static_cast<uint32_t>(crc);
}

using Digest = std::array<uint8_t, SHA256_DIGEST_SIZE>;

Digest Sha256(const uint8_t* data, size_t size) {
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, size, data);
    Digest d{};
    sha256_digest(&ctx, d.size(), d.data());
    return d;
}

std::string HexPrefix(const uint8_t* d) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 4; ++i) {
        s.push_back(kHex[d[i] >> 4]);
        s.push_back(kHex[d[i] & 15]);
    }
    return s;
}

// Appends one chunk: tag, payload length, then the payload that fill writes.
template <typename Fill>
void PutChunk(std::vector<uint8_t>& out, const char* tag, size_t size, Fill fill) {
    PutBytes(out, tag, 4);
    PutLe32(out, static_cast<uint32_t>(size));
    const size_t at = out.size();
    out.resize(at + size);
    fill(out.data() + at);
}

// --- Reading ----------------------------------------------------------------------------------

struct ChunkSpan {
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    bool Present = false;
};

std::string Damaged(const std::string& what) {
    return "the file is damaged (" + what + ")";
}

// Walks the chunks from the header to the END chunk, which must be followed by the checksum and
// nothing else. Fills the spans of the known chunks; unknown ones are passed over.
std::string WalkChunks(std::span<const uint8_t> bytes, ChunkSpan (&known)[kKnownChunks]) {
    size_t at = kHeaderBytes;
    for (;;) {
        if (bytes.size() - at < kChunkHeaderBytes) return "the file is cut short";
        const std::string_view tag(reinterpret_cast<const char*>(&bytes[at]), 4);
        const size_t size = Le32(&bytes[at + 4]);
        at += kChunkHeaderBytes;
        if (size > bytes.size() - at) return "the file is cut short";
        if (tag == kEndTag) {
            if (size != 0) return Damaged("its END chunk is not empty");
            if (bytes.size() - at < kCrcBytes) return "the file is cut short";
            if (bytes.size() - at > kCrcBytes) return Damaged("bytes follow its END chunk");
            return {};
        }
        for (int i = 0; i < kKnownChunks; ++i) {
            if (tag != kTags[i]) continue;
            if (known[i].Present)
                return Damaged(std::string("the ") + kNames[i] + " chunk appears twice");
            known[i] = {&bytes[at], size, true};
        }
        at += size;
    }
}

template <typename Visit>
std::string CheckChunk(const ChunkSpan& span, const char* name, size_t expected, Visit visit) {
    if (span.Size != expected)
        return Damaged(std::string("the ") + name + " chunk has " + std::to_string(span.Size) +
                       " bytes, not " + std::to_string(expected));
    Reader<false> r{span.Data, name, {}};
    visit(r);
    return r.Error.empty() ? std::string() : Damaged(r.Error);
}

} // namespace

// --- Machine images ---------------------------------------------------------------------------

size_t MachineImageBytes() {
    return Sizes().Image;
}

void CaptureMachine(uint8_t* image) {
    Writer w{image};
    for (int i = 0; i < kMachineChunks; ++i) VisitMachineChunk(i, w);
}

void RestoreMachine(const uint8_t* image) {
    Reader<true, false> r{image, "image", {}};
    for (int i = 0; i < kMachineChunks; ++i) VisitMachineChunk(i, r);
}

bool SameMachine(const uint8_t* a, const uint8_t* b) {
    const Layout& l = Sizes();
    const size_t rest = l.Chunk[kCpuChunk]; // the CPU chunk comes first
    return std::memcmp(a, b, l.CpuLive) == 0 &&
           std::memcmp(a + rest, b + rest, l.Image - rest) == 0;
}

// --- The state file ---------------------------------------------------------------------------

std::vector<uint8_t> SaveState(const RunCounts& counts) {
    const Layout& l = Sizes();
    std::vector<uint8_t> out;
    out.reserve(l.Image + 512);
    PutBytes(out, kMagic, sizeof kMagic);
    PutLe32(out, kStateFormatVersion);
    for (int i = 0; i < kMachineChunks; ++i)
        PutChunk(out, kTags[i], l.Chunk[i], [i](uint8_t* p) {
            Writer w{p};
            VisitMachineChunk(i, w);
        });
    PutChunk(out, "RUN ", SizeOf<RunState>([](auto& v, RunState& r) { VisitRun(v, r); }),
             [](uint8_t* p) {
                 Writer w{p};
                 VisitRun(w, g_run);
             });
    PutChunk(out, "ROMS", 2 * SHA256_DIGEST_SIZE, [](uint8_t* p) {
        const Digest rom = Sha256(g_cpu.Rom, sizeof g_cpu.Rom);
        const Digest ext = Sha256(g_cpu.Ext, sizeof g_cpu.Ext);
        std::memcpy(p, rom.data(), rom.size());
        std::memcpy(p + rom.size(), ext.data(), ext.size());
    });
    const std::string_view version = kVersion;
    PutChunk(out, "VERS", version.size(),
             [version](uint8_t* p) { std::memcpy(p, version.data(), version.size()); });
    RunCounts n = counts;
    PutChunk(out, "CNTS", SizeOf<RunCounts>([](auto& v, RunCounts& c) { VisitCounts(v, c); }),
             [&n](uint8_t* p) {
                 Writer w{p};
                 VisitCounts(w, n);
             });
    PutChunk(out, kEndTag, 0, [](uint8_t*) {});
    PutLe32(out, Crc32(out.data(), out.size()));
    return out;
}

StateLoadResult LoadState(std::span<const uint8_t> bytes, std::string_view subject) {
    StateLoadResult result;
    std::string& error = result.Error;
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        error = "not a Velmora state file";
        return result;
    }
    if (bytes.size() > kMaxStateBytes) {
        error = "the file is too large to be a state";
        return result;
    }
    if (bytes.size() < kHeaderBytes + kChunkHeaderBytes + kCrcBytes) {
        error = "the file is cut short";
        return result;
    }
    ChunkSpan known[kKnownChunks];
    const size_t body = bytes.size() - kCrcBytes;
    if (Crc32(bytes.data(), body) != Le32(&bytes[body])) {
        // Tell a file that ends too early from one with bytes changed.
        error = WalkChunks(bytes, known);
        if (error.empty()) error = Damaged("its checksum does not match");
        return result;
    }
    const uint32_t version = Le32(&bytes[sizeof kMagic]);
    if (version != kStateFormatVersion) {
        error = "state format version " + std::to_string(version) +
                " is not one this program reads (it reads version " +
                std::to_string(kStateFormatVersion) + ")";
        return result;
    }
    error = WalkChunks(bytes, known);
    if (!error.empty()) return result;

    // Every chunk of the machine must be there, whole and in range.
    const Layout& l = Sizes();
    for (int i = 0; i < kMachineChunks && error.empty(); ++i) {
        if (!known[i].Present) {
            error = std::string("the file lacks the ") + kNames[i] + " chunk";
            break;
        }
        error =
            CheckChunk(known[i], kNames[i], l.Chunk[i], [i](auto& r) { VisitMachineChunk(i, r); });
    }
    if (error.empty() && !known[kRomsChunk].Present) error = "the file lacks the ROMS chunk";
    if (error.empty() && known[kRomsChunk].Size != 2 * SHA256_DIGEST_SIZE)
        error = Damaged("the ROMS chunk has " + std::to_string(known[kRomsChunk].Size) +
                        " bytes, not " + std::to_string(2 * SHA256_DIGEST_SIZE));
    // The run-loop variables are checked, and only read for the warning below.
    RunState run = g_run;
    if (error.empty() && known[kRunChunk].Present) {
        const size_t size = SizeOf<RunState>([](auto& v, RunState& r) { VisitRun(v, r); });
        error = CheckChunk(known[kRunChunk], "RUN", size, [](auto& r) { VisitRun(r, g_run); });
        Reader<true> read{known[kRunChunk].Data, "RUN", {}};
        if (error.empty()) VisitRun(read, run);
        Peek balance{known[kCpuChunk].Data, "CycleBalance"};
        VisitCpuLive(balance, g_cpu);
        if (error.empty() && balance.Value > run.CyclesPerTick)
            error = Damaged("the CPU chunk holds CycleBalance = " + std::to_string(balance.Value) +
                            ", more than the " + std::to_string(run.CyclesPerTick) +
                            " cycles of a run tick");
    }
    if (error.empty() && known[kCntsChunk].Present) {
        const size_t size = SizeOf<RunCounts>([](auto& v, RunCounts& c) { VisitCounts(v, c); });
        RunCounts scratch;
        error = CheckChunk(known[kCntsChunk], "CNTS", size,
                           [&scratch](auto& r) { VisitCounts(r, scratch); });
        Reader<true> read{known[kCntsChunk].Data, "CNTS", {}};
        if (error.empty()) VisitCounts(read, result.Counts);
    }
    if (error.empty() && known[kVersChunk].Present) {
        const ChunkSpan& v = known[kVersChunk];
        bool printable = v.Size > 0 && v.Size <= kMaxVersionBytes;
        for (size_t i = 0; printable && i < v.Size; ++i)
            printable = v.Data[i] >= 32 && v.Data[i] < 127;
        if (!printable) error = Damaged("the VERS chunk is not a version");
    }
    if (!error.empty()) return result;

    // Sound: what differs is said, then the machine is replaced.
    const std::string who(subject);
    const struct {
        const char* Name;
        const uint8_t* Data;
        size_t Size;
    } images[] = {{"rom0.bin", g_cpu.Rom, sizeof g_cpu.Rom},
                  {"rom1.bin", g_cpu.Ext, sizeof g_cpu.Ext}};
    for (int i = 0; i < 2; ++i) {
        const uint8_t* saved = known[kRomsChunk].Data + i * SHA256_DIGEST_SIZE;
        const Digest here = Sha256(images[i].Data, images[i].Size);
        if (std::memcmp(saved, here.data(), here.size()) != 0)
            result.Warnings.push_back(who + " was saved with another " + images[i].Name +
                                      " (SHA-256 " + HexPrefix(saved) + "..., this one " +
                                      HexPrefix(here.data()) + "...); it runs on with this one");
    }
    if (known[kRunChunk].Present && run.CyclesPerTick != g_run.CyclesPerTick)
        result.Warnings.push_back(who + " was saved at " + std::to_string(run.CyclesPerTick) +
                                  " cycles per run tick; it runs on at this program's " +
                                  std::to_string(g_run.CyclesPerTick));
    for (int i = 0; i < kMachineChunks; ++i) {
        Reader<true, false> r{known[i].Data, kNames[i], {}};
        VisitMachineChunk(i, r);
    }
    RewindMark();
    return result;
}
