// What the desktop program adds around the seed's window: zoom with the hit test and the shape
// in step, keys drawn pressed, overlapping PC keys through Qt's events, the context menu and its
// commands, the user's settings, and the end of a real process by a signal.
#include "GuiTest.h"
#include "core/Cpu.h"
#include "core/Machine.h"
#include "host/RunLoop.h"
#include "host/qt/FaceLayout.h"
#include "host/qt/Main.h"
#include "host/qt/UserPrefs.h"
#include "periph/Lcd.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace {

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMachine();
        g_messages.clear();
        SaveUserPrefs(UserPrefs{}); // every test starts at 100 %, centred
        Dir.CopyGenerated("face.bmp");
        Dir.CopyGenerated("keymap.dat");
        Dir.Write("rom0.bin", QByteArray(kRomBytes, '\0'));
        Dir.Write("rom1.bin", QByteArray(kExtBytes, '\0'));
    }
    void TearDown() override { Form.reset(); }
    void Start() {
        Form = std::make_unique<TMainForm>();
        Form->show();
        g_run.StopRequest = 1; // held: the tests drive the key registers
    }
    ScratchDir Dir;
    std::unique_ptr<TMainForm> Form;
};

// The region as an image: 255 inside, 0 outside.
QImage RegionImage(const QRegion& region, QSize size) {
    QImage image(size, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    for (const QRect& r : region) painter.fillRect(r, QColor(255, 255, 255));
    return image;
}

TEST_F(DesktopTest, EveryZoomKeepsFaceMaskHitTestAndLcdTogether) {
    Start();
    const QImage face(Dir.Path("face.bmp"));
    const QImage shape = RegionImage(FaceShape(face), QSize(kFaceWidth, kFaceHeight));
    for (const int zoom : kZoomLevels) {
        Form->SetZoom(zoom);
        const QSize size(FaceToWindow(kFaceWidth, zoom), FaceToWindow(kFaceHeight, zoom));
        ASSERT_EQ(Form->size(), size) << zoom;
        EXPECT_EQ(Form->LcdImage->geometry(), FaceToWindow(QRect(49, 49, 192, 128), zoom));

        // The mask shows exactly the window pixels whose face pixel the 100 % shape holds.
        const QImage mask = RegionImage(Form->mask(), size);
        for (int y = 0; y < size.height(); ++y) {
            const uchar* row = mask.constScanLine(y);
            const uchar* faceRow = shape.constScanLine(WindowToFace(y, zoom));
            for (int x = 0; x < size.width(); ++x)
                ASSERT_EQ(row[x], faceRow[WindowToFace(x, zoom)]) << zoom << "% " << x << "," << y;
        }

        // Every key: the centre of its window rectangle and its first pixel press it and lie
        // in the mask; the pixels just left of and above it do not press it.
        for (int code = 1; code <= 61; ++code) {
            const FaceRect f = FaceKeyRect(code);
            const QRect key = FaceToWindow(QRect(f.x, f.y, f.width, f.height), zoom);
            for (const QPoint at : {key.center(), key.topLeft(), key.bottomRight()}) {
                ASSERT_TRUE(Form->mask().contains(at)) << zoom << "% key " << code;
                Press(Form->FaceImage, at);
                ASSERT_EQ(g_kbd.MouseKey, code) << zoom << "% " << at.x() << "," << at.y();
                Release(Form->FaceImage, at);
                SettleKeys();
            }
            for (const QPoint at : {key.topLeft() - QPoint(1, 0), key.topLeft() - QPoint(0, 1)}) {
                if (Form->childAt(at) != Form->FaceImage) continue;
                Press(Form->FaceImage, at);
                EXPECT_NE(g_kbd.MouseKey, code) << zoom << "% " << at.x() << "," << at.y();
                Release(Form->FaceImage, at);
                SettleKeys();
            }
        }
    }
    EXPECT_EQ(LoadUserPrefs().Zoom, 300) << "remembered for the next start";
}

TEST_F(DesktopTest, ZoomedPicturesStaySharp) {
    // A dot pattern on the LCD: every dot stays a solid square at every zoom, 3 x 3 at 150 %.
    QImage lcd(kLcdWidth, kLcdHeight, QImage::Format_RGB32);
    for (int y = 0; y < kLcdHeight; ++y)
        for (int x = 0; x < kLcdWidth; ++x)
            lcd.setPixel(x, y, ((x / 2 + y / 2) % 3 == 0) ? 0xFF000000 : 0xFFFFFFFF);
    for (const int zoom : {150, 200, 300}) {
        const QImage shown = ScalePicture(lcd, zoom / 100.0, Scaling::Dots);
        ASSERT_EQ(shown.size(), QSize(kLcdWidth * zoom / 100, kLcdHeight * zoom / 100));
        const int dot = 2 * zoom / 100;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                ASSERT_EQ(shown.pixel(x, y), lcd.pixel(x / dot * 2, y / dot * 2))
                    << zoom << "% " << x << "," << y;
    }
    // A face line one pixel wide: replicated at 200 %, and at 150 % one solid pixel plus one
    // pixel of half the colour, not a blur over three or four.
    QImage face(20, 4, QImage::Format_RGB32);
    face.fill(Qt::white);
    for (int y = 0; y < 4; ++y) face.setPixel(10, y, 0xFF000000);
    const QImage doubled = ScalePicture(face, 2.0, Scaling::Face);
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(qRed(doubled.pixel(x, 1)), x == 20 || x == 21 ? 0 : 255) << x;
    const QImage half = ScalePicture(face, 1.5, Scaling::Face);
    ASSERT_EQ(half.size(), QSize(30, 6));
    EXPECT_EQ(qRed(half.pixel(14, 2)), 255);
    EXPECT_EQ(qRed(half.pixel(15, 2)), 0);
    EXPECT_NEAR(qRed(half.pixel(16, 2)), 128, 2);
    EXPECT_EQ(qRed(half.pixel(17, 2)), 255);
}

TEST_F(DesktopTest, AHeldKeyIsDrawnPressedInItsHitRectangleForMouseAndKeyboard) {
    Start();
    Form->SetZoom(200);
    const QImage before = Form->FaceImage->grab().toImage();
    struct Case {
        const char* how;
        int code;
    };
    for (const Case c : {Case{"mouse", 14}, Case{"keyboard", 61}}) {
        const FaceRect f = FaceKeyRect(c.code);
        const QRect key = FaceToWindow(QRect(f.x, f.y, f.width, f.height), 200);
        if (c.code == 14)
            Press(Form->FaceImage, key.center());
        else
            QTest::keyPress(Form.get(), Qt::Key_Return);
        const QImage pressed = Form->FaceImage->grab().toImage();
        EXPECT_EQ(Form->FaceImage->Pressed().size(), 1u) << c.how;
        // Inside: darker; just outside: as before.
        EXPECT_LT(qGray(pressed.pixel(key.center())), qGray(before.pixel(key.center()))) << c.how;
        EXPECT_LT(qGray(pressed.pixel(key.topLeft())), qGray(before.pixel(key.topLeft())));
        for (const QPoint out : {key.topLeft() - QPoint(1, 1), key.bottomRight() + QPoint(1, 1)})
            EXPECT_EQ(pressed.pixel(out), before.pixel(out)) << c.how;
        if (c.code == 14)
            Release(Form->FaceImage, key.center());
        else
            QTest::keyRelease(Form.get(), Qt::Key_Return);
        SettleKeys();
        Form->UpdatePressedKeys();
        EXPECT_TRUE(Form->FaceImage->Pressed().empty());
        EXPECT_EQ(Form->FaceImage->grab().toImage(), before) << c.how;
    }
}

TEST_F(DesktopTest, OverlappingPcKeysThroughQtEvents) {
    Start();
    g_cpu.KC = 0xFF;
    // '1' down, '2' down, '1' up: 2 is held; '2' up releases it.
    QTest::keyPress(Form.get(), '1');
    EXPECT_EQ(g_kbd.KeyboardKey, 52);
    SettleKeys();
    QTest::keyPress(Form.get(), '2');
    QTest::keyRelease(Form.get(), '1');
    SettleKeys();
    EXPECT_EQ(g_kbd.KeyboardKey, 53) << "the older key's release changed nothing";
    QTest::keyRelease(Form.get(), '2');
    SettleKeys();
    EXPECT_EQ(g_kbd.KeyboardKey, 0);
    // A shifted character whose release comes as the unshifted key: the scan code tells it.
    const auto send = [this](QEvent::Type type, Qt::Key key, const QString& text) {
        QKeyEvent e(type, key, Qt::NoModifier, 17, 0, 0, text);
        QApplication::sendEvent(Form.get(), &e);
    };
    send(QEvent::KeyPress, Qt::Key_Asterisk, QStringLiteral("*"));
    EXPECT_EQ(g_kbd.KeyboardKey, 50);
    SettleKeys();
    send(QEvent::KeyRelease, Qt::Key_8, QStringLiteral("8"));
    SettleKeys();
    EXPECT_EQ(g_kbd.KeyboardKey, 0);
    // Overlapping typing of a shifted sign: Shift and '+' down, then '3' while both are still
    // held: the Shift is the '+' key's, so '3' counts, not '#'. A Shift pressed for the new key
    // itself counts as usual.
    Form->UnshiftedCharacterOf = [](const QKeyEvent* e) {
        return e->nativeScanCode() == 12 ? '3' : e->nativeScanCode() == 17 ? '8' : 0;
    };
    const auto key = [this](QEvent::Type type, Qt::Key k, const char* text, quint32 scan,
                            Qt::KeyboardModifiers mods) {
        QKeyEvent e(type, k, mods, scan, 0, 0, QString::fromLatin1(text));
        QApplication::sendEvent(Form.get(), &e);
    };
    struct Step {
        QEvent::Type type;
        Qt::Key k;
        const char* text;
        quint32 scan;
        bool shift;
        int expect; // the key held after it, once settled; -1 unchecked
    };
    const QEvent::Type down = QEvent::KeyPress, up = QEvent::KeyRelease;
    const Step steps[] = {
        {down, Qt::Key_Shift, "", 50, false, -1},      {down, Qt::Key_Plus, "+", 21, true, 55},
        {down, Qt::Key_NumberSign, "#", 12, true, 54}, {up, Qt::Key_Plus, "+", 21, true, 54},
        {up, Qt::Key_Shift, "", 50, true, 54},         {up, Qt::Key_3, "3", 12, false, 0},
        {down, Qt::Key_Shift, "", 50, false, -1},      {down, Qt::Key_Plus, "+", 21, true, 55},
        {up, Qt::Key_Plus, "+", 21, true, 0},          {down, Qt::Key_Asterisk, "*", 17, true, 50},
        {up, Qt::Key_Asterisk, "*", 17, true, 0},      {up, Qt::Key_Shift, "", 50, true, 0},
    };
    for (const Step& st : steps) {
        key(st.type, st.k, st.text, st.scan, st.shift ? Qt::ShiftModifier : Qt::NoModifier);
        SettleKeys();
        if (st.expect >= 0) {
            EXPECT_EQ(g_kbd.KeyboardKey, st.expect) << st.text << " " << st.type;
        }
    }
    // Backspace deletes, as Delete does.
    QTest::keyPress(Form.get(), Qt::Key_Backspace);
    EXPECT_EQ(g_kbd.KeyboardKey, 45);
}

TEST_F(DesktopTest, TheMenuHasItsEntriesAndTheKeysOpenIt) {
    Start();
    QStringList entries;
    for (const QAction* a : Form->ContextMenu->actions())
        if (!a->isSeparator()) entries << a->text();
    EXPECT_EQ(entries,
              (QStringList{"Copy screen", "Save screenshot", "Paste", "Save state", "Load state",
                           "Rewind one second (or hold Shift+Tab)", "Zoom", "Always on top",
                           "Turbo (or hold Tab)", "Debugger\tF3", "Reset", "About", "Quit"}));
    for (const QAction* a : Form->actions()) {
        const QKeySequence k = a->shortcut();
        EXPECT_NE(k, QKeySequence(Qt::Key_F3));
        EXPECT_NE(k, QKeySequence(Qt::Key_F8));
        EXPECT_NE(k, QKeySequence(Qt::Key_F5));
        EXPECT_NE(k, QKeySequence(Qt::Key_F10));
        EXPECT_NE(k, QKeySequence(Qt::Key_F11));
        EXPECT_NE(k, QKeySequence(Qt::SHIFT | Qt::Key_F11));
    }
    QTest::keyPress(Form.get(), Qt::Key_Menu);
    EXPECT_TRUE(Form->ContextMenu->isVisible());
    Form->ContextMenu->hide();
    QTest::keyPress(Form.get(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(Form->ContextMenu->isVisible());
    Form->ContextMenu->hide();
    // The shortcuts work without the menu.
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    QTest::keyClick(Form.get(), Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(Form->Zoom(), 200);
    EXPECT_EQ(g_kbd.KeyboardKey, 0) << "Ctrl+3 is no digit";
}

TEST_F(DesktopTest, CopySaveAndPasteTheScreen) {
    Start();
    Form->LcdBitmap.setPixel(5, 5, 0xFF000000);
    Form->CopyScreen();
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
              Form->LcdBitmap);

    QString asked;
    Form->AskSaveFileName = [&](const QString&, const QString& suggested, const QString&) {
        asked = suggested;
        return Dir.Path("shot");
    };
    Form->SaveScreenshot(false);
    EXPECT_TRUE(asked.endsWith("velmora-lcd.png"));
    EXPECT_EQ(QImage(Dir.Path("shot.png")).convertToFormat(QImage::Format_RGB32), Form->LcdBitmap);
    Form->SetZoom(150);
    Form->SaveScreenshot(true);
    const QImage whole(Dir.Path("shot.png"));
    EXPECT_EQ(whole.size(), Form->size());
    EXPECT_EQ(qAlpha(whole.pixel(0, 0)), 0) << "outside the outline";
    EXPECT_EQ(qAlpha(whole.pixel(whole.width() / 2, whole.height() / 2)), 255);
    Form->AskSaveFileName = [&](const QString&, const QString&, const QString&) {
        return Dir.Path("no/such/folder/shot.png");
    };
    Form->SaveScreenshot(false);
    EXPECT_EQ(g_messages,
              std::vector<std::string>{"Failed to save the file " +
                                       Dir.Path("no/such/folder/shot.png").toStdString()});

    g_messages.clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("12 \u00D7 3"));
    Form->PasteAction->trigger();
    EXPECT_TRUE(PacedPasteActive());
    EXPECT_EQ(g_kbd.KeyboardKey, 52);
    EXPECT_EQ(g_messages, std::vector<std::string>{
                              "2 characters of the pasted text have no key and were skipped"});
}

TEST_F(DesktopTest, TurboAlwaysOnTopResetAndAbout) {
    Start();
    Form->TurboAction->trigger();
    EXPECT_TRUE(Form->TurboOn());
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Velmora (turbo)"));
    EXPECT_EQ(Form->RunTimer->Interval(), 10u) << "the loop is held: no hurry";
    g_run.StopRequest = 0;
    Form->UpdateRunInterval();
    EXPECT_EQ(Form->RunTimer->Interval(), 0u);
    EXPECT_TRUE(Form->RunTimer->AllowZero());
    // Emulated time runs faster than real time: more cycles in half a second than the million
    // of real time.
    static int64_t cycles;
    cycles = 0;
    StepHook = [](uint16_t) { cycles += g_cpu.StepCycles; };
    QTest::qWait(500);
    g_run.StopRequest = 1;
    StepHook = nullptr;
    EXPECT_GT(cycles, 1'200'000);
    QTest::qWait(50);
    EXPECT_EQ(Form->RunTimer->Interval(), 10u) << "held again: back to the usual pace";
    Form->TurboAction->trigger();
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Velmora"));
    EXPECT_EQ(Form->RunTimer->Interval(), 10u);
    // Tab held.
    QTest::keyPress(Form.get(), Qt::Key_Tab);
    EXPECT_TRUE(Form->TurboOn());
    QTest::keyRelease(Form.get(), Qt::Key_Tab);
    EXPECT_FALSE(Form->TurboOn());

    Form->AlwaysOnTopAction->trigger();
    EXPECT_TRUE(Form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(Form->isVisible());
    EXPECT_TRUE(LoadUserPrefs().AlwaysOnTop);

    for (const uint8_t power : {1, 0}) {
        if (g_run.PowerOn != power) Form->TogglePower();
        g_cpu.PC = 0x1234;
        Form->ResetAction->trigger();
        EXPECT_EQ(g_run.PowerOn, 1);
        EXPECT_EQ(g_cpu.PC, 0);
        EXPECT_TRUE(Form->RunTimer->Enabled());
    }

    Form->AboutAction->trigger();
    const auto* box = Form->findChild<QMessageBox*>(QStringLiteral("AboutBox"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    for (const char* part : {"Velmora Emulator 0.1", "licence", "Backspace", "Esc", "Ctrl+C"})
        EXPECT_TRUE(box->text().contains(QString::fromUtf8(part))) << part;
}

TEST_F(DesktopTest, ZoomPlaceAndOnTopComeBackAtTheNextStart) {
    Start();
    Form->SetZoom(200);
    Form->move(40, 30);
    Form->close();
    Form.reset();
    ResetMachine();
    Start();
    EXPECT_EQ(Form->Zoom(), 200);
    EXPECT_EQ(Form->size(), QSize(984, 1122));
    EXPECT_EQ(Form->pos(), QPoint(40, 30));
}

// The real program, on Qt's offscreen platform, ended by a signal: the close sequence ran and
// the memory is in ram.bin and register.bin.
TEST(DesktopProcess, ASignalEndsTheProgramWithItsMemorySaved) {
    const QString firmware = QStringLiteral(VELMORA_FIRMWARE_DIR);
    if (!QFile::exists(firmware + "/rom0.bin")) GTEST_SKIP() << "the default firmware is not built";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ScratchDir dir;
        dir.CopyGenerated("face.bmp");
        dir.CopyGenerated("keymap.dat");
        for (const char* rom : {"rom0.bin", "rom1.bin"})
            ASSERT_TRUE(QFile::copy(firmware + "/" + rom, dir.Path(rom)));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", dir.Path("config"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(dir.Path(""));
        program.start(QStringLiteral(VELMORA_PROGRAM), {});
        ASSERT_TRUE(program.waitForStarted(5000));
        // Up and running: the firmware has written its status line into the text area by then.
        QTest::qWait(1500);
        ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), signal), 0);
        ASSERT_TRUE(program.waitForFinished(10000)) << "signal " << signal;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "signal " << signal;
        EXPECT_EQ(program.exitCode(), 0);
        const QByteArray ram = dir.Read("ram.bin");
        ASSERT_EQ(ram.size(), kRamBytes) << "signal " << signal;
        EXPECT_EQ(ram.mid(0x100, 16), QByteArray("   DEG NORM     "));
        EXPECT_EQ(dir.Read("register.bin").size(), kRegBytes);
    }
}

} // namespace
