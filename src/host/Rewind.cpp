// The step history: the ring of machine images, the log of what the machine did, the replay that
// rebuilds any recorded instant, step back and rewind.
#include "host/Rewind.h"

#include "core/Cpu.h"
#include "host/RunLoop.h"
#include "host/State.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <cstring>
#include <vector>

RewindState g_rewind;

// The debugger's step history (debug/Break.h; its History would clash with the one here).
void HistoryClear();
void HistoryDropLast();

namespace {
enum class ImageKind : uint8_t {
    Periodic,  // every 100 ms of emulated time, at the start of a run tick
    Anchor,    // after a change made from outside the steps
    DebugStep, // just before a debugger single step
};

// Where an image sits in the log: before item Seq.
struct ImageInfo {
    uint64_t Seq;
    uint64_t Tick; // run ticks counted when it was taken
    uint32_t Code; // the code generation it ran with
    ImageKind Kind;
};

// What happened to the machine, in order. The steps of a run tick are not counted as they run:
// a Tick item is replayed as the loop ran it, steps until the balance is spent.
enum class ItemKind : uint8_t {
    Balance,   // CycleBalance := A (a skipped or stopped tick, the loop stopping)
    Keys,      // MouseKey := A, KeyboardKey := B, then KeyboardUpdate
    SelfTest,  // the self-test hold counted down, then KeyboardUpdate
    Tick,      // CycleBalance := A (after the grant), then run-loop steps while it is positive
    Steps,     // exactly A run-loop steps (a tick cut short)
    DebugStep, // one CpuStep alone, as the debugger makes it
};

struct Item {
    int32_t A;
    int32_t B;
    ItemKind Kind;
};

static_assert((kRewindEvents & (kRewindEvents - 1)) == 0, "the item ring is a power of two");

struct History {
    size_t ImageBytes = 0;
    std::vector<uint8_t> Images; // kRewindSnapshots images of ImageBytes
    std::vector<ImageInfo> Infos;
    size_t First = 0; // ring of images: the oldest at First, Count of them
    size_t Count = 0;
    std::vector<Item> Items; // ring: items FirstSeq .. NextSeq - 1 are kept
    uint64_t FirstSeq = 0;
    uint64_t NextSeq = 0;
    uint64_t Ticks = 0; // run ticks that ran, the emulated time of the ring
    int TicksSinceImage = 0;
    uint32_t Code = 0; // bumped by every code change
    uint8_t SavedStopRequest = 0;
    std::vector<uint8_t> Live, Result, Scratch; // working images of a step back
} h;

size_t Slot(size_t i) {
    return (h.First + i) % kRewindSnapshots;
}
ImageInfo& Info(size_t i) {
    return h.Infos[Slot(i)];
}
uint8_t* Image(size_t i) {
    return h.Images.data() + Slot(i) * h.ImageBytes;
}
Item& ItemAt(uint64_t seq) {
    return h.Items[seq & (kRewindEvents - 1)];
}

void DropOldest() {
    h.First = (h.First + 1) % kRewindSnapshots;
    --h.Count;
    // Items before the oldest image are no longer needed.
    if (h.Count > 0 && Info(0).Seq > h.FirstSeq) h.FirstSeq = Info(0).Seq;
}

void Keep(ImageKind kind) {
    if (h.Count == static_cast<size_t>(kRewindSnapshots)) DropOldest();
    const size_t i = h.Count++;
    CaptureMachine(Image(i));
    Info(i) = {h.NextSeq, h.Ticks, h.Code, kind};
}

void Record(ItemKind kind, int32_t a, int32_t b = 0) {
    if (h.NextSeq - h.FirstSeq == static_cast<uint64_t>(kRewindEvents)) ++h.FirstSeq;
    ItemAt(h.NextSeq) = {a, b, kind};
    ++h.NextSeq;
}

// One step as the run loop makes it.
void LoopStep() {
    CpuState& c = g_cpu;
    c.StepCycles = 0;
    CpuStep();
    LcdStep();
    c.CycleBalance -= c.StepCycles;
}

// Applies one item; for the ones that make steps, at most limit steps (whole when negative).
// Returns the steps made.
int32_t Apply(const Item& e, int32_t limit = -1) {
    int32_t steps = 0;
    switch (e.Kind) {
    case ItemKind::Balance: g_cpu.CycleBalance = e.A; break;
    case ItemKind::Keys:
        g_kbd.MouseKey = e.A;
        g_kbd.KeyboardKey = e.B;
        KeyboardUpdate();
        break;
    case ItemKind::SelfTest:
        if (g_kbd.SelfTestCount > 0) --g_kbd.SelfTestCount;
        KeyboardUpdate();
        break;
    case ItemKind::Tick:
        g_cpu.CycleBalance = e.A;
        while (g_cpu.CycleBalance > 0 && steps != limit) {
            LoopStep();
            ++steps;
        }
        break;
    case ItemKind::Steps:
        while (steps < e.A && steps != limit) {
            LoopStep();
            ++steps;
        }
        break;
    case ItemKind::DebugStep:
        if (limit != 0) {
            CpuStep();
            steps = 1;
        }
        break;
    }
    return steps;
}

// Whether an item can make a step (a tick whose grant went to a debt makes none).
bool MakesSteps(const Item& e) {
    return (e.Kind == ItemKind::Tick || e.Kind == ItemKind::Steps) ? e.A > 0
                                                                   : e.Kind == ItemKind::DebugStep;
}

// Applies the items from..to - 1 to the machine.
void Replay(uint64_t from, uint64_t to) {
    for (uint64_t seq = from; seq < to; ++seq) Apply(ItemAt(seq));
}

// The latest image taken before item seq (or at the end of the log), or Count when none.
size_t LatestAtOrBefore(uint64_t seq) {
    for (size_t i = h.Count; i-- > 0;)
        if (Info(i).Seq <= seq) return i;
    return h.Count;
}

// The last item that made a step, or NextSeq when the kept items hold none.
uint64_t LastStepItem() {
    for (uint64_t seq = h.NextSeq; seq-- > h.FirstSeq;)
        if (MakesSteps(ItemAt(seq))) return seq;
    return h.NextSeq;
}

void ClearHistory() {
    h.First = h.Count = 0;
    h.FirstSeq = h.NextSeq = 0;
    h.Ticks = 0;
    h.TicksSinceImage = 0;
    h.Code = 0;
}
} // namespace

void RewindEnable(bool on) {
    ClearHistory();
    if (!on) {
        g_rewind.On = 0;
        h = History{};
        return;
    }
    h.ImageBytes = MachineImageBytes();
    h.Images.resize(h.ImageBytes * kRewindSnapshots);
    h.Infos.resize(kRewindSnapshots);
    h.Items.resize(kRewindEvents);
    h.Live.resize(h.ImageBytes);
    h.Result.resize(h.ImageBytes);
    h.Scratch.resize(h.ImageBytes);
    g_rewind.On = 1;
    Keep(ImageKind::Anchor);
}

void RewindClear() {
    ClearHistory();
    g_rewind = RewindState{};
}

void RewindMark() {
    if (g_rewind.On) Keep(ImageKind::Anchor);
}

void RewindCodeChanged() {
    if (!g_rewind.On) return;
    ++h.Code;
    Keep(ImageKind::Anchor);
}

void RewindTick() {
    if (!g_rewind.On) return;
    ++h.Ticks;
    while (h.Count > 1 && Info(0).Tick + kRewindKeepTicks < h.Ticks) DropOldest();
    if (++h.TicksSinceImage >= kRewindTicks) {
        h.TicksSinceImage = 0;
        Keep(ImageKind::Periodic);
    }
}

void RewindTickSteps(int32_t balance) {
    if (g_rewind.On) Record(ItemKind::Tick, balance);
}

void RewindTickStopped(int32_t steps) {
    if (!g_rewind.On || h.NextSeq == h.FirstSeq) return;
    Item& tick = ItemAt(h.NextSeq - 1);
    if (tick.Kind != ItemKind::Tick) return;
    tick.Kind = ItemKind::Balance; // its grant, then exactly the steps it made
    Record(ItemKind::Steps, steps);
}

void RewindBalance(int32_t before, int32_t after) {
    if (g_rewind.On && before != after) Record(ItemKind::Balance, after);
}

void RewindKeys(int32_t mouseKey, int32_t keyboardKey) {
    if (g_rewind.On) Record(ItemKind::Keys, mouseKey, keyboardKey);
}

void RewindSelfTest() {
    if (g_rewind.On) Record(ItemKind::SelfTest, 0);
}

void DebuggerSingleStep() {
    if (g_rewind.On) {
        Keep(ImageKind::DebugStep);
        Record(ItemKind::DebugStep, 0);
    }
    CpuStep();
}

bool CanStepBack() {
    if (!g_rewind.On) return false;
    const uint64_t last = LastStepItem();
    if (last == h.NextSeq) return false;
    const size_t i = LatestAtOrBefore(last);
    return i < h.Count && Info(i).Seq >= h.FirstSeq && Info(i).Code == h.Code;
}

std::string StepBack() {
    if (!g_rewind.On) return "no step history is kept";
    const uint64_t last = LastStepItem();
    if (last == h.NextSeq)
        return h.FirstSeq == 0 ? "no step has been made"
                               : "the step history does not reach back that far";
    const size_t i = LatestAtOrBefore(last);
    if (i == h.Count || Info(i).Seq < h.FirstSeq)
        return "the step history does not reach back that far";
    if (Info(i).Code != h.Code) return "the code was changed after that step";

    uint8_t* live = h.Live.data();
    uint8_t* result = h.Result.data();
    uint8_t* scratch = h.Scratch.data();
    CaptureMachine(live);
    // The replays run KeyboardUpdate, which also tells the desktop program's paced key input
    // what the firmware saw; that belongs to the present, not to the replayed past.
    const uint8_t seen = g_pacedKeys.Seen;
    const uint64_t from = Info(i).Seq;
    // First pass: how many steps the last item made, and whether the replay arrives where the
    // history went on: at the next image (unless that image follows an outside change, which
    // it cannot know), or else at the machine as it stands.
    RestoreMachine(Image(i));
    Replay(from, last);
    const int32_t made = Apply(ItemAt(last));
    bool same = true;
    if (i + 1 < h.Count) {
        const ImageInfo& next = Info(i + 1);
        if (next.Kind != ImageKind::Anchor) {
            Replay(last + 1, next.Seq);
            CaptureMachine(scratch);
            same = SameMachine(scratch, Image(i + 1));
        }
    } else {
        Replay(last + 1, h.NextSeq);
        CaptureMachine(scratch);
        same = SameMachine(scratch, live);
    }
    if (!same) {
        RestoreMachine(live);
        g_pacedKeys.Seen = seen;
        return "the machine was changed outside the recorded steps";
    }
    // Second pass: to one step short of the last item's.
    RestoreMachine(Image(i));
    Replay(from, last);
    const Item item = ItemAt(last);
    Apply(item, made - 1);
    CaptureMachine(result);
    // The history now ends there: the images after the item go, and the item is cut down to
    // the steps that remain.
    h.Count = i + 1;
    h.NextSeq = last;
    if (item.Kind == ItemKind::Tick) Record(ItemKind::Balance, item.A);
    if (item.Kind != ItemKind::DebugStep && made > 1) Record(ItemKind::Steps, made - 1);
    RestoreMachine(result);
    g_pacedKeys.Seen = seen;
    HistoryDropLast(); // the step undone leaves the debugger's step history
    return {};
}

bool RewindBack() {
    if (!g_rewind.On || h.Count == 0) return false;
    // An image that stands where the history ends shows nothing new: go past it.
    while (h.Count > 1 && Info(h.Count - 1).Seq == h.NextSeq) --h.Count;
    if (Info(h.Count - 1).Seq == h.NextSeq) return false;
    const size_t i = h.Count - 1;
    RestoreMachine(Image(i));
    h.NextSeq = Info(i).Seq;
    h.Ticks = Info(i).Tick;
    h.TicksSinceImage = 0;
    // Images from before a code change restore the machine but run on with today's code; from
    // here on the history replays with it.
    if (Info(i).Code != h.Code) Keep(ImageKind::Anchor);
    RefreshLcd();
    HistoryClear(); // the steps it held are not the ones that led here
    return true;
}

void RewindBegin() {
    h.SavedStopRequest = g_run.StopRequest;
    g_run.StopRequest = 1;
}

void RewindEnd() {
    g_run.StopRequest = h.SavedStopRequest;
}

size_t RewindSnapshotCount() {
    return h.Count;
}

size_t RewindMemoryBytes() {
    return h.Images.capacity() + h.Infos.capacity() * sizeof(ImageInfo) +
           h.Items.capacity() * sizeof(Item) + h.Live.capacity() + h.Result.capacity() +
           h.Scratch.capacity();
}
