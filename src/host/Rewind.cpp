// The step history: the ring of machine images, the event log between steps, the replay that
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

namespace {
enum class ImageKind : uint8_t {
    Periodic,  // every 100 ms of emulated time, at the start of a run tick
    Anchor,    // after a change made from outside the steps
    DebugStep, // just before a debugger single step: the step after it is CpuStep alone
};

// Where an image sits in the history: after Step steps and the first Seq events.
struct ImageInfo {
    uint64_t Step;
    uint64_t Seq;
    uint64_t Tick; // run ticks counted when it was taken
    uint32_t Code; // the code generation it ran with
    ImageKind Kind;
};

enum class EventKind : uint8_t {
    Balance,  // CycleBalance := A
    Keys,     // MouseKey := A, KeyboardKey := B, KeyboardUpdate
    SelfTest, // the self-test hold counted down, KeyboardUpdate
};

// Something that happened after Step steps and before the next one.
struct Event {
    uint64_t Step;
    int32_t A;
    int32_t B;
    EventKind Kind;
};

static_assert((kRewindEvents & (kRewindEvents - 1)) == 0, "the event ring is a power of two");

struct History {
    size_t ImageBytes = 0;
    std::vector<uint8_t> Images; // kRewindSnapshots images of ImageBytes
    std::vector<ImageInfo> Infos;
    size_t First = 0; // ring of images: the oldest at First, Count of them
    size_t Count = 0;
    std::vector<Event> Events; // ring: events FirstSeq .. NextSeq - 1 are kept
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
const Event& EventAt(uint64_t seq) {
    return h.Events[seq & (kRewindEvents - 1)];
}

void DropOldest() {
    h.First = (h.First + 1) % kRewindSnapshots;
    --h.Count;
    // Events before the oldest image are no longer needed.
    if (h.Count > 0 && Info(0).Seq > h.FirstSeq) h.FirstSeq = Info(0).Seq;
}

void Keep(ImageKind kind) {
    if (h.Count == static_cast<size_t>(kRewindSnapshots)) DropOldest();
    const size_t i = h.Count++;
    CaptureMachine(Image(i));
    Info(i) = {g_rewind.Steps, h.NextSeq, h.Ticks, h.Code, kind};
}

void Record(EventKind kind, int32_t a, int32_t b) {
    if (h.NextSeq - h.FirstSeq == static_cast<uint64_t>(kRewindEvents)) ++h.FirstSeq;
    h.Events[h.NextSeq & (kRewindEvents - 1)] = {g_rewind.Steps, a, b, kind};
    ++h.NextSeq;
}

void Apply(const Event& e) {
    switch (e.Kind) {
    case EventKind::Balance: g_cpu.CycleBalance = e.A; break;
    case EventKind::Keys:
        g_kbd.MouseKey = e.A;
        g_kbd.KeyboardKey = e.B;
        KeyboardUpdate();
        break;
    case EventKind::SelfTest:
        if (g_kbd.SelfTestCount > 0) --g_kbd.SelfTestCount;
        KeyboardUpdate();
        break;
    }
}

// A position in the history being replayed: after Step steps and the events before Seq; the
// next step is the debugger's (CpuStep alone) when DebugNext is set.
struct Cursor {
    uint64_t Step;
    uint64_t Seq;
    bool DebugNext;
};

// Runs the history forward from the cursor, the machine standing where the cursor says, up to
// toStep steps and, at that step, the events before toSeq. Steps are made exactly as the run
// loop makes them, or as the debugger does for the one that follows a DebugStep image.
void Replay(Cursor& at, uint64_t toStep, uint64_t toSeq) {
    CpuState& c = g_cpu;
    for (;;) {
        while (at.Seq < h.NextSeq && EventAt(at.Seq).Step == at.Step &&
               (at.Step != toStep || at.Seq < toSeq)) {
            Apply(EventAt(at.Seq));
            ++at.Seq;
        }
        if (at.Step >= toStep) return;
        if (at.DebugNext) {
            CpuStep();
            at.DebugNext = false;
        } else {
            c.StepCycles = 0;
            CpuStep();
            LcdStep();
            c.CycleBalance -= c.StepCycles;
        }
        ++at.Step;
    }
}

// The latest image taken after no more than step steps, or Count when there is none.
size_t LatestAtOrBefore(uint64_t step) {
    for (size_t i = h.Count; i-- > 0;)
        if (Info(i).Step <= step) return i;
    return h.Count;
}

bool Replayable(size_t i) {
    return Info(i).Code == h.Code && Info(i).Seq >= h.FirstSeq;
}

// Forgets every image after image i and every event from seq on; the history ends at step.
void Truncate(size_t i, uint64_t step, uint64_t seq) {
    h.Count = i + 1;
    h.NextSeq = seq;
    g_rewind.Steps = step;
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
    h.Events.resize(kRewindEvents);
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

void RewindBalance(int32_t before, int32_t after) {
    if (g_rewind.On && before != after) Record(EventKind::Balance, after, 0);
}

void RewindKeys(int32_t mouseKey, int32_t keyboardKey) {
    if (g_rewind.On) Record(EventKind::Keys, mouseKey, keyboardKey);
}

void RewindSelfTest() {
    if (g_rewind.On) Record(EventKind::SelfTest, 0, 0);
}

void DebuggerSingleStep() {
    if (g_rewind.On) Keep(ImageKind::DebugStep);
    CpuStep();
    ++g_rewind.Steps;
}

bool CanStepBack() {
    if (!g_rewind.On || g_rewind.Steps == 0) return false;
    const size_t i = LatestAtOrBefore(g_rewind.Steps - 1);
    return i < h.Count && Replayable(i);
}

std::string StepBack() {
    if (!g_rewind.On) return "no step history is kept";
    if (g_rewind.Steps == 0) return "no step has been made";
    const uint64_t target = g_rewind.Steps - 1;
    const size_t i = LatestAtOrBefore(target);
    if (i == h.Count || Info(i).Seq < h.FirstSeq)
        return "the step history does not reach back that far";
    if (Info(i).Code != h.Code) return "the code was changed after that step";

    uint8_t* live = h.Live.data();
    uint8_t* result = h.Result.data();
    uint8_t* scratch = h.Scratch.data();
    CaptureMachine(live);
    const ImageInfo& from = Info(i);
    RestoreMachine(Image(i));
    Cursor at{from.Step, from.Seq, from.Kind == ImageKind::DebugStep};
    Replay(at, target, UINT64_MAX);
    const uint64_t endSeq = at.Seq; // the events up to the target are kept
    // The replay must arrive where the history went on: at the next image (unless that image
    // follows an outside change it cannot know), or else at the machine as it is.
    CaptureMachine(result);
    bool same = true;
    if (i + 1 < h.Count) {
        const ImageInfo& next = Info(i + 1);
        if (next.Kind != ImageKind::Anchor) {
            Replay(at, next.Step, next.Seq);
            CaptureMachine(scratch);
            same = SameMachine(scratch, Image(i + 1));
        }
    } else {
        Replay(at, g_rewind.Steps, h.NextSeq);
        CaptureMachine(scratch);
        same = SameMachine(scratch, live);
    }
    if (!same) {
        RestoreMachine(live);
        return "the machine was changed outside the recorded steps";
    }
    RestoreMachine(result);
    Truncate(i, target, endSeq);
    return {};
}

bool RewindBack() {
    if (!g_rewind.On || h.Count == 0) return false;
    // An image that stands where the history ends shows nothing new: go past it.
    const auto atEnd = [](size_t i) {
        return Info(i).Step == g_rewind.Steps && Info(i).Seq == h.NextSeq;
    };
    while (h.Count > 1 && atEnd(h.Count - 1)) --h.Count;
    if (atEnd(h.Count - 1)) return false;
    const size_t i = h.Count - 1;
    RestoreMachine(Image(i));
    Truncate(i, Info(i).Step, Info(i).Seq);
    h.Ticks = Info(i).Tick;
    h.TicksSinceImage = 0;
    // Images from before a code change restore the machine but run on with today's code; from
    // here on the history replays with it.
    if (Info(i).Code != h.Code) Keep(ImageKind::Anchor);
    RefreshLcd();
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
           h.Events.capacity() * sizeof(Event) + h.Live.capacity() + h.Result.capacity() +
           h.Scratch.capacity();
}
