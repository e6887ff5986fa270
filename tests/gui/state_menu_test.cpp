// Save states and rewind in the calculator window: the slots and files of the context menu
// (times on the menu lines, empty slots, loads that fail and loads with other code images), and
// the rewind key held, repeated by the keyboard, let go, or cut short by the window losing the
// focus.
#include "GuiTest.h"
#include "core/Cpu.h"
#include "core/Machine.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"
#include "host/State.h"
#include "host/qt/Main.h"
#include "host/qt/UserPrefs.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace {

std::vector<uint8_t> Machine() {
    std::vector<uint8_t> image(MachineImageBytes());
    CaptureMachine(image.data());
    return image;
}

class StateMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMachine();
        g_messages.clear();
        SaveUserPrefs(UserPrefs{});
        Dir.CopyGenerated("face.bmp");
        Dir.CopyGenerated("keymap.dat");
        Dir.Write("rom0.bin", QByteArray(kRomBytes, '\0'));
        Dir.Write("rom1.bin", QByteArray(kExtBytes, '\0'));
    }
    void TearDown() override {
        Form.reset();
        ResetMachine();
    }
    void Start() {
        Form = std::make_unique<TMainForm>();
        Form->show();
        Form->RunTimer->SetEnabled(false); // the tests run the ticks themselves
        g_run.StopRequest = 1;
    }
    // Some machine that differs from the reset one in every part a state holds.
    static void Scribble(uint8_t seed) {
        g_cpu.PC = static_cast<uint16_t>(0x1200 + seed);
        g_cpu.R[0x21] = seed;
        g_cpu.Ram[0x0345] = static_cast<uint8_t>(seed ^ 0x5A);
        g_lcd.FrameBuffer[17] = seed;
    }
    ScratchDir Dir;
    std::unique_ptr<TMainForm> Form;
};

TEST_F(StateMenuTest, SlotsSaveAndLoadThroughTheMenuAndShowTheirTimes) {
    Start();
    const QRegularExpression timeLine(
        QStringLiteral("^Slot 3: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    for (int slot = 0; slot < kStateSlots; ++slot) {
        EXPECT_EQ(Form->LoadSlotActions[slot]->text(), QStringLiteral("Slot %1: empty").arg(slot));
        EXPECT_FALSE(Form->LoadSlotActions[slot]->isEnabled()) << "slot " << slot;
        EXPECT_TRUE(Form->SaveSlotActions[slot]->isEnabled());
    }

    Scribble(0x31);
    const std::vector<uint8_t> saved = Machine();
    Form->SaveSlotActions[3]->trigger();
    EXPECT_TRUE(QFile::exists(Dir.Path("state-3.vst")));
    EXPECT_TRUE(timeLine.match(Form->LoadSlotActions[3]->text()).hasMatch())
        << Form->LoadSlotActions[3]->text().toStdString();
    EXPECT_EQ(Form->SaveSlotActions[3]->text(), Form->LoadSlotActions[3]->text());
    EXPECT_TRUE(Form->LoadSlotActions[3]->isEnabled());
    EXPECT_FALSE(Form->LoadSlotActions[4]->isEnabled());

    Scribble(0x77);
    Form->LoadSlotActions[3]->trigger();
    EXPECT_EQ(Machine(), saved);
    EXPECT_TRUE(g_messages.empty());

    // An empty slot cannot be loaded, by its entry or directly: nothing changes, nothing said.
    Scribble(0x55);
    const std::vector<uint8_t> before = Machine();
    Form->LoadSlotActions[6]->trigger();
    Form->LoadStateFromSlot(6);
    EXPECT_EQ(Machine(), before);
    EXPECT_TRUE(g_messages.empty());

    // The shortcuts: Ctrl+Alt+digit saves, Alt+digit loads.
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    QTest::keyClick(Form.get(), Qt::Key_6, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(QFile::exists(Dir.Path("state-6.vst")));
    EXPECT_TRUE(Form->LoadSlotActions[6]->isEnabled());
    Scribble(0x66);
    QTest::keyClick(Form.get(), Qt::Key_6, Qt::AltModifier);
    EXPECT_EQ(Machine(), before);
    EXPECT_EQ(g_kbd.KeyboardKey, 0) << "Alt+6 is no digit";

    // The shortcut of an empty slot does nothing; it types no digit either.
    QTest::keyPress(Form.get(), Qt::Key_8, Qt::AltModifier);
    EXPECT_EQ(g_kbd.KeyboardKey, 0);
    EXPECT_TRUE(g_pacedKeys.Slots[1].Pending.empty());
    QTest::keyRelease(Form.get(), Qt::Key_8, Qt::AltModifier);
    EXPECT_EQ(Machine(), before);

    // A slot saved by someone else shows up when the menu opens.
    ASSERT_TRUE(QFile::copy(Dir.Path("state-3.vst"), Dir.Path("state-9.vst")));
    EXPECT_FALSE(Form->LoadSlotActions[9]->isEnabled());
    emit Form->LoadStateMenu->aboutToShow();
    EXPECT_TRUE(Form->LoadSlotActions[9]->isEnabled());
}

TEST_F(StateMenuTest, AFailedLoadSaysWhyAndChangesNothing) {
    Start();
    Scribble(0x12);
    Form->SaveSlotActions[2]->trigger();
    const QByteArray good = Dir.Read("state-2.vst");
    ASSERT_GT(good.size(), 100);
    QByteArray flipped = good;
    flipped[1000] = static_cast<char>(flipped[1000] ^ 0x10); // a byte of the RAM
    struct Case {
        QByteArray bytes;
        std::string why;
    };
    const Case cases[] = {
        {good.left(good.size() / 2), "the file is cut short"},
        {flipped, "the file is damaged (its checksum does not match)"},
        {QByteArray("12+34=\n"), "not a Velmora state file"},
    };
    for (const Case& c : cases) {
        Dir.Write("state-2.vst", c.bytes);
        Scribble(0x44);
        const std::vector<uint8_t> before = Machine();
        g_messages.clear();
        Form->LoadSlotActions[2]->trigger();
        EXPECT_EQ(g_messages,
                  std::vector<std::string>{"Failed to load the state file state-2.vst: " + c.why});
        EXPECT_EQ(Machine(), before) << c.why;
    }

    // Saved with other code: it loads, and the warning names the image that differs.
    Dir.Write("state-2.vst", good);
    g_cpu.Rom[100] ^= 1;
    g_messages.clear();
    Scribble(0x44);
    Form->LoadSlotActions[2]->trigger();
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0].rfind("The state file state-2.vst was saved with another rom0.bin "
                                  "(SHA-256 ",
                                  0),
              0u)
        << g_messages[0];
    EXPECT_EQ(g_cpu.PC, 0x1212) << "loaded all the same";
}

TEST_F(StateMenuTest, FilesThroughTheDialogsAndALoadSwitchesTheCalculatorOn) {
    Start();
    QString suggested, filter;
    Form->AskSaveFileName = [&](const QString&, const QString& s, const QString& f) {
        suggested = s;
        filter = f;
        return Dir.Path("mine");
    };
    Scribble(0x21);
    const std::vector<uint8_t> saved = Machine();
    Form->SaveStateFileAction->trigger();
    EXPECT_TRUE(suggested.endsWith("velmora.vst"));
    EXPECT_TRUE(filter.contains("*.vst"));
    EXPECT_TRUE(QFile::exists(Dir.Path("mine.vst")));

    // Cancelled: nothing loads.
    Form->AskOpenFileName = [](const QString&, const QString&) { return QString(); };
    Scribble(0x22);
    Form->LoadStateFileAction->trigger();
    EXPECT_EQ(g_cpu.PC, 0x1222);

    // Loaded while switched off: the state runs, without the switch's reset.
    Form->TogglePower();
    ASSERT_EQ(g_run.PowerOn, 0);
    Form->AskOpenFileName = [&](const QString&, const QString&) { return Dir.Path("mine.vst"); };
    Form->LoadStateFileAction->trigger();
    EXPECT_EQ(Machine(), saved);
    EXPECT_EQ(g_run.PowerOn, 1);
    EXPECT_TRUE(Form->RunTimer->Enabled());

    // A file that is not there.
    Form->AskOpenFileName = [&](const QString&, const QString&) { return Dir.Path("gone.vst"); };
    g_messages.clear();
    Form->LoadStateFileAction->trigger();
    EXPECT_EQ(g_messages, std::vector<std::string>{"Failed to load the state file " +
                                                   Dir.Path("gone.vst").toStdString() +
                                                   ": No such file or directory"});
}

// The rewind key on the default firmware, which shows what is typed: ticks run by hand, with
// the machine and the LCD noted at every tick that starts with an image.
class RewindKeyTest : public StateMenuTest {
protected:
    void SetUp() override {
        StateMenuTest::SetUp();
        const QString firmware = QStringLiteral(VELMORA_FIRMWARE_DIR);
        if (!QFile::exists(firmware + "/rom0.bin"))
            GTEST_SKIP() << "the default firmware is not built";
        for (const char* rom : {"rom0.bin", "rom1.bin"}) {
            QFile::remove(Dir.Path(rom));
            ASSERT_TRUE(QFile::copy(firmware + "/" + rom, Dir.Path(rom)));
        }
        Start();
        RewindEnable(true);
        g_run.StopRequest = 0;
    }
    // Runs ticks FIRST .. LAST (numbered from 1) as the window would, with KEYS pressed at
    // their ticks; notes the machine and the LCD before every tenth.
    void Run(int first, int last, const std::vector<std::pair<int, int32_t>>& keys = {}) {
        for (int t = first; t <= last; ++t) {
            for (const auto& [at, code] : keys)
                if (at == t) SetKeySlot(KeySlot::Keyboard, code);
            if (t % kRewindTicks == 0) {
                RefreshLcd();
                Images[t] = Machine();
                Lcd[t] = Form->LcdImage->Picture();
            }
            OnPacedRunTimer();
            if (t % 5 == 0) OnRefreshTimer();
        }
    }
    void Key(QEvent::Type type, bool autoRepeat) {
        QKeyEvent e(type, Qt::Key_Backtab, Qt::ShiftModifier, 23, 0, 0, QString(), autoRepeat);
        QApplication::sendEvent(Form.get(), &e);
    }
    std::map<int, std::vector<uint8_t>> Images;
    std::map<int, QImage> Lcd;
};

TEST_F(RewindKeyTest, HoldingShiftTabWalksBackShowingEachImageAndLettingGoRunsOn) {
    // Boot, then "1" held from tick 100 to 112, "2" from 130 on (still held at tick 160).
    Run(1, 165, {{100, 52}, {112, 0}, {130, 53}});
    ASSERT_NE(Lcd[90], Lcd[120]) << "the typed digit shows";
    int steps = 1; // the press makes the first at once; then one each time the timer fires
    QObject::connect(Form->RewindTimer, &QTimer::timeout, Form.get(), [&steps] { ++steps; });
    const auto shows = [&](int tick) {
        EXPECT_EQ(Machine(), Images[tick]) << "tick " << tick;
        EXPECT_EQ(Form->LcdImage->Picture(), Lcd[tick]) << "tick " << tick;
    };

    Key(QEvent::KeyPress, false);
    EXPECT_TRUE(Form->Rewinding());
    EXPECT_EQ(g_run.StopRequest, 1);
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Velmora (rewind)"));
    shows(160);
    EXPECT_EQ(g_kbd.KeyboardKey, 53) << "the image's key, as it was";

    // The keyboard's auto-repeat sends release and press pairs: the rewind goes on, an image
    // further back at each step.
    for (int i = 0; i < 5; ++i) {
        Key(QEvent::KeyRelease, true);
        Key(QEvent::KeyPress, true);
        OnPacedRunTimer(); // the run timer ticks on meanwhile, stopped
        const int before = steps;
        ASSERT_TRUE(QTest::qWaitFor([&] { return steps > before; }, 5000));
        EXPECT_TRUE(Form->Rewinding());
        shows(170 - 10 * steps);
    }
    // A calculator key pressed meanwhile waits for the present.
    const int32_t held = g_kbd.KeyboardKey;
    QTest::keyPress(Form.get(), '7');
    EXPECT_EQ(g_kbd.KeyboardKey, held);
    QTest::keyRelease(Form.get(), '7');

    // Let go: the machine runs on from the image shown last, and no key stays down that
    // nobody holds.
    const int shown = 170 - 10 * steps;
    ASSERT_LE(shown, 110);
    Key(QEvent::KeyRelease, false);
    EXPECT_FALSE(Form->Rewinding());
    EXPECT_FALSE(Form->RewindTimer->isActive());
    EXPECT_EQ(g_run.StopRequest, 0);
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Velmora"));
    EXPECT_EQ(g_kbd.KeyboardKey, 0);
    const std::vector<uint8_t> released = Machine();
    RestoreMachine(Images[shown].data());
    PacedKeyRestored();
    EXPECT_EQ(Machine(), released) << "the image, with the keys as the user holds them";
    OnPacedRunTimer();
    const std::vector<uint8_t> ran = Machine();
    EXPECT_NE(ran, released) << "it runs";
    QTest::qWait(2 * kRefreshIntervalMs);
    EXPECT_EQ(Machine(), ran) << "no more rewinding once let go";
}

TEST_F(RewindKeyTest, LosingTheFocusOrOpeningTheDebuggerEndsTheRewindCleanly) {
    Run(1, 60);
    Key(QEvent::KeyPress, false);
    ASSERT_TRUE(Form->Rewinding());
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(Form.get(), &deactivate);
    EXPECT_FALSE(Form->Rewinding());
    EXPECT_FALSE(Form->RewindTimer->isActive());
    EXPECT_EQ(g_run.StopRequest, 0) << "runs on";
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Velmora"));
    Key(QEvent::KeyRelease, false); // the release that comes later changes nothing
    EXPECT_EQ(g_run.StopRequest, 0);

    // F3 while rewinding: the debugger's stop holds.
    Form->ShowDebugger = [] { DebuggerShown(); };
    Key(QEvent::KeyPress, false);
    ASSERT_TRUE(Form->Rewinding());
    QTest::keyPress(Form.get(), Qt::Key_F3);
    EXPECT_FALSE(Form->Rewinding());
    EXPECT_EQ(g_run.StopRequest, 1);
    DebuggerHidden();

    // Switched off, there is nothing to rewind; the menu's entry goes back a second.
    Form->TogglePower();
    Key(QEvent::KeyPress, false);
    EXPECT_FALSE(Form->Rewinding());
    Key(QEvent::KeyRelease, false);
    Form->TogglePower();
    g_run.ResumeDelay = 0;
    Run(1, 120);
    // Ten images back from the machine after tick 120: 120, 110, ..., 30.
    Form->RewindAction->trigger();
    EXPECT_EQ(Machine(), Images[30]);
    EXPECT_FALSE(Form->Rewinding());
    EXPECT_EQ(g_run.StopRequest, 0);
}

} // namespace
