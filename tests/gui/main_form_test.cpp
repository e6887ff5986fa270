// The main window: start-up, mouse on the face and the switch, PC keys, deactivation, close.
#include "GuiTest.h"
#include "KeyMapTable.h"
#include "core/Cpu.h"
#include "core/Machine.h"
#include "host/RunLoop.h"
#include "host/qt/FaceLayout.h"
#include "host/qt/Main.h"
#include "host/qt/UserPrefs.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

const std::string kNoRom0 = "Failed to load the file rom0.bin";
const std::string kNoRom1 = "Failed to load the file rom1.bin";
const std::string kNoFace = "Failed to load the file face.bmp";

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMachine();
        g_messages.clear();
        SaveUserPrefs(UserPrefs{}); // 100 %, centred, as the seed's window
    }
    void TearDown() override {
        Form.reset();
        StepHook = nullptr;
    }
    // A complete working directory: generated face and key map, firmware images of full size.
    void WriteAllFiles() {
        Dir.CopyGenerated("face.bmp");
        Dir.CopyGenerated("keymap.dat");
        Dir.Write("rom0.bin", QByteArray(kRomBytes, '\0'));
        Dir.Write("rom1.bin", QByteArray(kExtBytes, '\0'));
    }
    // Creates and shows the window; the run loop is then held so the firmware cannot touch the
    // key registers while a test drives them.
    void Start(bool holdLoop = true) {
        Form = std::make_unique<TMainForm>();
        Form->show();
        if (holdLoop) g_run.StopRequest = 1;
    }
    static QPoint KeyCentre(int code) {
        for (const KeyGroup& g : kKeyGroups) {
            const int n = code - g.firstCode;
            if (n >= 0 && n < g.keys)
                return {g.left + (n % g.columns) * g.pitchX + g.width / 2,
                        g.top + (n / g.columns) * g.pitchY + g.height / 2};
        }
        return {-1, -1};
    }

    ScratchDir Dir;
    std::unique_ptr<TMainForm> Form;
};

int g_steps = 0;

TEST_F(MainFormTest, StartsWithoutAnyFileAfterThreeMessagesInOrder) {
    g_steps = 0;
    StepHook = [](uint16_t) { ++g_steps; };
    Start(false);
    EXPECT_EQ(g_messages, (std::vector<std::string>{kNoRom0, kNoRom1, kNoFace}));
    EXPECT_TRUE(Form->mask().isEmpty()) << "no face: the window stays rectangular";
    EXPECT_EQ(Form->size(), QSize(kFaceWidth, kFaceHeight));
    EXPECT_TRUE(Form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Velmora"));
    EXPECT_EQ(g_run.PowerOn, 1);
    EXPECT_EQ(g_run.CyclesPerTick, 20000);
    EXPECT_TRUE(Form->RunTimer->Enabled());
    EXPECT_EQ(Form->RunTimer->Interval(), 10u);
    EXPECT_TRUE(Form->RefreshTimer->isActive());
    EXPECT_EQ(Form->RefreshTimer->interval(), 50);

    // The program runs: run ticks execute steps, the refresh hands the LCD image over.
    EXPECT_TRUE(QTest::qWaitFor([] { return g_steps > 0; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Form->LcdImage->Picture().isNull(); }, 5000));
    EXPECT_EQ(Form->LcdImage->Picture().pixel(0, 0), qRgb(255, 255, 255));

    // Without a face, clicks in the key rectangles still press keys.
    g_run.StopRequest = 1;
    Press(Form->FaceImage, KeyCentre(14));
    EXPECT_EQ(g_kbd.MouseKey, 14);
    Release(Form->FaceImage, KeyCentre(14));
    SettleKeys();
    EXPECT_EQ(g_kbd.MouseKey, 0);
}

TEST_F(MainFormTest, StartsQuietlyWithAllFilesAndDerivesTheSwitchPictures) {
    WriteAllFiles();
    Start();
    EXPECT_TRUE(g_messages.empty()) << g_messages.front();
    const QImage face(Dir.Path("face.bmp"));
    ASSERT_FALSE(face.isNull());
    EXPECT_EQ(Form->mask(), FaceShape(face));
    EXPECT_EQ(Form->FaceImage->Picture().size(), QSize(kFaceWidth, kFaceHeight));
    EXPECT_EQ(Form->FaceImage->geometry(), QRect(0, 0, 500, 588));
    EXPECT_EQ(Form->PwrSwImage->geometry(), QRect(0, 328, 12, 69));
    EXPECT_EQ(Form->LcdImage->geometry(), QRect(49, 49, 192, 128));
    EXPECT_TRUE(Form->PwrSwImage->Picture().isNull()) << "the face shows the switch at first";

    const auto map = BuildKeyMap();
    for (int i = 0; i < 128; ++i) EXPECT_EQ(g_kbd.KeyMap[i], map[i]) << "byte " << i;

    const QImage& on = Form->SwitchOnBitmap;
    const QImage& off = Form->SwitchOffBitmap;
    ASSERT_EQ(on.size(), QSize(12, 69));
    ASSERT_EQ(off.size(), QSize(12, 69));
    for (int y = 0; y < 69; ++y)
        for (int x = 0; x < 12; ++x) {
            ASSERT_EQ(on.pixel(x, y), face.pixel(x, 328 + y)) << x << "," << y;
            const int from = y < kSwitchKnobTravel ? y + kSwitchWrapShift : y - kSwitchKnobTravel;
            ASSERT_EQ(off.pixel(x, y), on.pixel(x, from)) << x << "," << y;
        }
    // The knob moved: the on and off pictures differ.
    EXPECT_NE(on, off);
}

TEST_F(MainFormTest, AClickInAKeyRectanglePressesTheKeyUnderItsStrobe) {
    WriteAllFiles();
    Start();
    struct Case {
        QPoint at;
        int code;
        uint8_t kc, ki;
    };
    const Case cases[] = {
        {KeyCentre(14), 14, 0x81, 0x10}, {{18, 214}, 3, 0x88, 0x40},
        {{404, 477}, 61, 0x42, 0x01},    {KeyCentre(46), 46, 0xC0, 0x01},
        {KeyCentre(46), 46, 0x40, 0x01}, {KeyCentre(45), 45, 0x42, 0x02},
        {KeyCentre(14), 14, 0x82, 0x00}, // the wrong strobe senses nothing
    };
    for (const Case& c : cases) {
        g_cpu.KC = c.kc;
        g_cpu.KI = 0xEE;
        Press(Form->FaceImage, c.at);
        EXPECT_EQ(g_kbd.MouseKey, c.code) << c.at.x() << "," << c.at.y();
        EXPECT_EQ(g_cpu.KI, c.ki) << "code " << c.code;
        EXPECT_FALSE(Form->FollowingPointer());
        Release(Form->FaceImage, c.at);
        SettleKeys();
        EXPECT_EQ(g_kbd.MouseKey, 0);
        EXPECT_EQ(g_cpu.KI, 0) << "released code " << c.code;
    }
}

TEST_F(MainFormTest, AClickOnTheLcdNeitherPressesNorDrags) {
    WriteAllFiles();
    Start();
    const QPoint before = Form->pos();
    g_cpu.KC = 0xFF;
    const QPoint inLcd(100, 100);
    QWidget* under = Form->childAt(inLcd);
    EXPECT_EQ(under, Form->LcdImage);
    Press(under, inLcd - Form->LcdImage->pos());
    EXPECT_EQ(g_kbd.MouseKey, 0);
    EXPECT_FALSE(Form->FollowingPointer());
    SendMouse(under, QEvent::MouseMove, Qt::NoButton, QPoint(60, 60), Qt::LeftButton);
    Release(under, QPoint(60, 60));
    EXPECT_EQ(Form->pos(), before);
    EXPECT_EQ(g_cpu.KI, 0);
}

TEST_F(MainFormTest, TheFaceOutsideTheKeysDragsTheWindow) {
    WriteAllFiles();
    Start();
    const QPoint start = Form->pos();
    const QPoint grab(300, 320); // the band between the upper keys and the number pad
    ASSERT_EQ(FaceHitTest(grab.x(), grab.y()), 0);
    const QPointF global(start + grab);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(grab), QPointF(grab), global,
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Form->FaceImage, &press);
    // The offscreen platform refuses a system move, so the window follows the pointer.
    ASSERT_TRUE(Form->FollowingPointer());
    const QPointF moved = global + QPointF(30, 20);
    QMouseEvent move(QEvent::MouseMove, QPointF(grab), QPointF(grab), moved, Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Form->FaceImage, &move);
    EXPECT_EQ(Form->pos(), start + QPoint(30, 20));
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(grab), QPointF(grab), moved,
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Form->FaceImage, &release);
    EXPECT_FALSE(Form->FollowingPointer());
    EXPECT_EQ(g_kbd.MouseKey, 0);
}

TEST_F(MainFormTest, TheRightButtonOpensTheMenuOffTheKeysAndTogglesTheSwitch) {
    WriteAllFiles();
    Start();
    g_cpu.KC = 0x81;
    Press(Form->FaceImage, KeyCentre(14), Qt::RightButton);
    EXPECT_EQ(g_kbd.MouseKey, 0);
    EXPECT_EQ(g_cpu.KI, 0);
    EXPECT_FALSE(Form->ContextMenu->isVisible()) << "on a key the right button does nothing";
    Press(Form->FaceImage, QPoint(300, 320), Qt::RightButton);
    EXPECT_FALSE(Form->FollowingPointer());
    EXPECT_TRUE(Form->ContextMenu->isVisible());
    Release(Form->FaceImage, QPoint(300, 320), Qt::RightButton);
    Form->ContextMenu->hide();
    Press(Form->LcdImage, QPoint(10, 10), Qt::RightButton);
    EXPECT_TRUE(Form->ContextMenu->isVisible()) << "on the LCD too";
    Form->ContextMenu->hide();

    Press(Form->PwrSwImage, QPoint(5, 30), Qt::RightButton);
    EXPECT_EQ(g_run.PowerOn, 0);
    EXPECT_FALSE(Form->RunTimer->Enabled());
    EXPECT_EQ(Form->PwrSwImage->Picture(), Form->SwitchOffBitmap);
    EXPECT_FALSE(Form->ContextMenu->isVisible());
}

TEST_F(MainFormTest, TwoSwitchClicksLeaveTheCalculatorOnAndFreshlyReset) {
    WriteAllFiles();
    Start();
    g_cpu.PC = 0x1234;
    g_cpu.S6 = 1;
    g_cpu.KC = 0x81;
    g_cpu.CycleBalance = 777;
    g_cpu.Ram[100] = 0x5A;
    g_cpu.R[7] = 0xA5;
    g_lcd.RowCounter = 9;
    g_lcd.FrameBuffer[3] = 0xFF;
    g_run.SelfTest = 4;

    Press(Form->PwrSwImage, QPoint(5, 10));
    EXPECT_EQ(g_run.PowerOn, 0);
    EXPECT_FALSE(Form->RunTimer->Enabled());
    EXPECT_EQ(g_cpu.PC, 0);
    g_cpu.PC = 0x4321;
    Press(Form->PwrSwImage, QPoint(5, 10));

    EXPECT_EQ(g_run.PowerOn, 1);
    EXPECT_TRUE(Form->RunTimer->Enabled());
    EXPECT_EQ(Form->PwrSwImage->Picture(), Form->SwitchOnBitmap);
    EXPECT_EQ(g_cpu.PC, 0);
    EXPECT_EQ(g_cpu.S6, 0);
    EXPECT_EQ(g_cpu.KC, 0);
    EXPECT_EQ(g_cpu.CycleBalance, 0);
    EXPECT_EQ(g_lcd.RowCounter, 0);
    EXPECT_EQ(g_lcd.FrameBuffer[3], 0);
    EXPECT_EQ(g_kbd.SelfTestCount, 4);
    EXPECT_EQ(g_cpu.Ram[100], 0x5A) << "RAM survives the power reset";
    EXPECT_EQ(g_cpu.R[7], 0xA5) << "the register file survives the power reset";
}

TEST_F(MainFormTest, PcKeysOfTheTablePressTheirKeys) {
    WriteAllFiles();
    Start();
    struct Case {
        Qt::Key key;
        int code;
    };
    const auto map = BuildKeyMap();
    const Case cases[] = {
        {Qt::Key_Return, 61},
        {Qt::Key_Enter, 61},
        {Qt::Key_Escape, 46},
        {Qt::Key_End, 31},
        {Qt::Key_Home, 30},
        {Qt::Key_Delete, 45},
        {Qt::Key_F8, 62},
        {Qt::Key_Left, map[kMapLeft]},
        {Qt::Key_Up, map[kMapUp]},
        {Qt::Key_Right, map[kMapRight]},
        {Qt::Key_Down, map[kMapDown]},
    };
    g_kbd.KeyMap[127] = 20; // Delete's DEL character must not reach the key map
    for (const Case& c : cases) {
        g_kbd.KeyboardKey = 0;
        QTest::keyPress(Form.get(), c.key);
        EXPECT_EQ(g_kbd.KeyboardKey, c.code) << "Qt key " << c.key;
        QTest::keyRelease(Form.get(), c.key);
        SettleKeys();
        EXPECT_EQ(g_kbd.KeyboardKey, 0);
    }
    EXPECT_EQ(map[kMapLeft], 6);

    // The key is sensed under its strobe: Enter is key 61, input bit 0x01 under 0x42.
    g_cpu.KC = 0x42;
    QTest::keyPress(Form.get(), Qt::Key_Return);
    EXPECT_EQ(g_cpu.KI, 0x01);
    QTest::keyRelease(Form.get(), Qt::Key_Return);
    SettleKeys();
    EXPECT_EQ(g_cpu.KI, 0x00);
}

TEST_F(MainFormTest, F3ShowsTheDebuggerAndKeepsTheKey) {
    WriteAllFiles();
    Start();
    int shown = 0;
    Form->ShowDebugger = [&] { ++shown; };
    g_kbd.KeyboardKey = 33;
    QTest::keyPress(Form.get(), Qt::Key_F3);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(g_kbd.KeyboardKey, 33);
    QTest::keyPress(Form.get(), Qt::Key_F4);
    EXPECT_EQ(shown, 1);
}

TEST_F(MainFormTest, CharactersGoThroughTheKeyMap) {
    WriteAllFiles();
    Start();
    struct Case {
        char ch;
        int code; // 0: KeyboardKey stays as it was
    };
    const Case cases[] = {
        {'7', 42}, {'0', 57}, {'.', 58}, {'*', 50}, {'/', 51}, {'-', 56},
        {'+', 55}, {'%', 60}, {'=', 61}, {'x', 50}, {'$', 0},  {'q', 0},
    };
    for (const Case& c : cases) {
        g_kbd.KeyboardKey = 0;
        QTest::keyPress(Form.get(), c.ch);
        EXPECT_EQ(g_kbd.KeyboardKey, c.code) << "character " << c.ch;
        QTest::keyRelease(Form.get(), c.ch);
        SettleKeys();
        EXPECT_EQ(g_kbd.KeyboardKey, 0);
    }
    // An auto-repeated release is not the key's release: the key stays down.
    QTest::keyPress(Form.get(), '5');
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"), true);
    QApplication::sendEvent(Form.get(), &repeat);
    EXPECT_EQ(g_kbd.KeyboardKey, 48);
}

TEST_F(MainFormTest, DeactivationReleasesThePcKeyButNotTheMouseKey) {
    WriteAllFiles();
    Start();
    QTest::keyPress(Form.get(), Qt::Key_Return);
    Press(Form->FaceImage, KeyCentre(14));
    ASSERT_EQ(g_kbd.KeyboardKey, 61);
    g_cpu.KC = 0x42;
    KeyboardUpdate();
    ASSERT_EQ(g_cpu.KI, 0x01);
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(Form.get(), &deactivate);
    SettleKeys();
    EXPECT_EQ(g_kbd.KeyboardKey, 0);
    EXPECT_EQ(g_kbd.MouseKey, 14);
    EXPECT_EQ(g_cpu.KI, 0x00) << "the update ran after the release";
}

TEST_F(MainFormTest, TheMinimiseButtonActsOnReleaseJudgedByThePress) {
    WriteAllFiles();
    Start();
    // Pressed elsewhere, released over the button: nothing.
    Press(Form->FaceImage, KeyCentre(14));
    Release(Form->FaceImage, QPoint(445, 542));
    EXPECT_FALSE(Form->isMinimized());
    SettleKeys();
    // Pressed on the button, released far away: minimised.
    Press(Form->FaceImage, QPoint(441, 538));
    EXPECT_EQ(g_kbd.MouseKey, 1);
    EXPECT_FALSE(Form->isMinimized());
    Release(Form->FaceImage, QPoint(200, 100));
    EXPECT_TRUE(Form->isMinimized());
    SettleKeys();
    EXPECT_EQ(g_kbd.MouseKey, 0);
}

TEST_F(MainFormTest, TheCloseButtonClosesAndSaves) {
    WriteAllFiles();
    Start();
    int closed = 0;
    QObject::connect(Form.get(), &TMainForm::Closed, [&] { ++closed; });
    Press(Form->FaceImage, QPoint(459, 538));
    EXPECT_EQ(closed, 0);
    Release(Form->FaceImage, QPoint(459, 538));
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Dir.Read("ram.bin").size(), kRamBytes);
    EXPECT_EQ(Dir.Read("register.bin").size(), kRegBytes);
}

TEST_F(MainFormTest, CloseStopsTheTimersAndWritesRamAndRegisters) {
    WriteAllFiles();
    Start(false);
    for (int i = 0; i < kRamBytes; ++i) g_cpu.Ram[i] = static_cast<uint8_t>(i * 7 + 3);
    for (int i = 0; i < kRegBytes; ++i) g_cpu.R[i] = static_cast<uint8_t>(255 - i);
    g_run.StopRequest = 0;
    Form->close();
    EXPECT_EQ(g_run.StopRequest, 1);
    EXPECT_FALSE(Form->RunTimer->Enabled());
    EXPECT_FALSE(Form->RefreshTimer->isActive());
    EXPECT_TRUE(Form->FaceBitmap.isNull());
    EXPECT_TRUE(Form->SwitchOffBitmap.isNull());
    const QByteArray ram = Dir.Read("ram.bin");
    const QByteArray regs = Dir.Read("register.bin");
    ASSERT_EQ(ram.size(), kRamBytes);
    ASSERT_EQ(regs.size(), kRegBytes);
    for (int i = 0; i < kRamBytes; ++i)
        ASSERT_EQ(static_cast<uint8_t>(ram[i]), static_cast<uint8_t>(i * 7 + 3)) << i;
    for (int i = 0; i < kRegBytes; ++i)
        ASSERT_EQ(static_cast<uint8_t>(regs[i]), static_cast<uint8_t>(255 - i)) << i;

    // The next start loads them back.
    Form.reset();
    ResetMachine();
    Start();
    EXPECT_EQ(g_cpu.Ram[10], static_cast<uint8_t>(73));
    EXPECT_EQ(g_cpu.R[127], 128);
}

TEST_F(MainFormTest, TheRefreshHandsTheLcdOverOnlyWhenItChanged) {
    WriteAllFiles();
    Start();
    Form->RefreshTimer->stop(); // ticks by hand
    OnRefreshTimer();           // the first showing marked the LCD dirty: white
    const QImage first = Form->LcdImage->Picture();
    ASSERT_EQ(first.size(), QSize(192, 128));
    EXPECT_EQ(first.pixel(0, 0), qRgb(255, 255, 255));

    OnRefreshTimer(); // nothing changed: the LCD image keeps its picture
    EXPECT_EQ(Form->LcdImage->Picture().cacheKey(), first.cacheKey());

    g_cpu.S6 = 1;                  // display on
    g_lcd.FrameBuffer[767] = 0x80; // dot (0, 0), the top left corner
    g_lcd.FrameBuffer[0] = 0x01;   // dot (95, 63), the bottom right corner
    OnRefreshTimer();
    const QImage shown = Form->LcdImage->Picture();
    EXPECT_NE(shown.cacheKey(), first.cacheKey());
    EXPECT_EQ(shown.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(2, 0), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(191, 127), qRgb(0, 0, 0));
    EXPECT_EQ(g_lcd.LcdDirty, 0);

    g_cpu.S6 = 0; // display off: silver
    OnRefreshTimer();
    EXPECT_EQ(Form->LcdImage->Picture().pixel(100, 50), qRgb(192, 192, 192));
}

TEST_F(MainFormTest, AnOddSizedFaceIsShownAtItsSizeAndShapesFromAnExtendedCopy) {
    QImage small(100, 80, QImage::Format_RGB32);
    small.fill(qRgb(40, 40, 40));
    ASSERT_TRUE(small.save(Dir.Path("face.bmp"), "BMP"));
    Start();
    EXPECT_EQ(g_messages, (std::vector<std::string>{kNoRom0, kNoRom1}));
    EXPECT_EQ(Form->FaceImage->Picture().size(), QSize(100, 80));
    EXPECT_EQ(Form->mask(), QRegion(0, 0, kFaceWidth, kFaceHeight));
    // The switch pictures take what the face has there: nothing, they stay white.
    EXPECT_EQ(Form->SwitchOnBitmap.pixel(3, 3), qRgb(255, 255, 255));
}

TEST_F(MainFormTest, AFaceFileThatIsNoPictureIsReportedAndLeavesARectangle) {
    Dir.Write("face.bmp", QByteArray("BM this is not a bitmap at all", 30));
    Start();
    EXPECT_EQ(g_messages, (std::vector<std::string>{kNoRom0, kNoRom1, kNoFace}));
    EXPECT_TRUE(Form->mask().isEmpty());
    EXPECT_TRUE(Form->FaceImage->Picture().isNull());
}

TEST(VirtualKeys, OnlyTheKeysOfTheTableTranslate) {
    struct Case {
        int qtKey, vk;
    };
    const Case cases[] = {
        {Qt::Key_Return, kVkEnter},
        {Qt::Key_Enter, kVkEnter},
        {Qt::Key_Escape, kVkEscape},
        {Qt::Key_End, kVkEnd},
        {Qt::Key_Home, kVkHome},
        {Qt::Key_Left, kVkLeft},
        {Qt::Key_Up, kVkUp},
        {Qt::Key_Right, kVkRight},
        {Qt::Key_Down, kVkDown},
        {Qt::Key_Delete, kVkDelete},
        {Qt::Key_F3, kVkF3},
        {Qt::Key_F8, kVkF8},
        // Qt codes of printable keys are their characters; none may pose as a table key.
        {Qt::Key_Dollar, 0},
        {Qt::Key_Percent, 0},
        {Qt::Key_Ampersand, 0},
        {Qt::Key_Apostrophe, 0},
        {Qt::Key_ParenLeft, 0},
        {Qt::Key_Period, 0},
        {Qt::Key_Minus, 0},
        {Qt::Key_F4, 0},
        {Qt::Key_Insert, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(VirtualKeyOf(c.qtKey), c.vk) << "Qt key " << c.qtKey;
}

} // namespace
