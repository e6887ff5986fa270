// The debug window driven as a user drives it: clicks on the panes, keys in the editors, the run
// buttons, and the run loop's ticks after the window hides.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "debug/qt/Debug.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"
#include "host/State.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QValidator>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

extern std::vector<std::string> g_messages; // every ReportWarning, in order

namespace {

constexpr uint8_t kNop = 0xEF;

std::vector<uint16_t> g_steps; // PC before every step the run loop made

// A machine as the calculator window leaves it running, nops everywhere, and a fresh window.
struct Form : ::testing::Test {
    Form() {
        ResetMachine();
        for (int w = 0; w < kRomWords; ++w) g_cpu.Rom[3 * w] = kNop;
        std::memset(g_cpu.Ext, kNop, sizeof g_cpu.Ext);
        StartEmulation();
        g_steps.clear();
        StepHook = [](uint16_t pc) { g_steps.push_back(pc); };
        form = new TDebugForm;
    }
    ~Form() override {
        delete form;
        StepHook = nullptr;
    }

    void Show() {
        form->show();
        ASSERT_TRUE(form->isVisible());
    }
    // Press at the centre of a cell of a paint box.
    void ClickCell(TDebugPaintBox* box, int column, int row) {
        const CellGrid g = form->Grid(box);
        QTest::mouseClick(
            box, Qt::LeftButton, Qt::NoModifier,
            QPoint(column * g.CellWidth + g.CellWidth / 2, row * g.CellHeight + g.CellHeight / 2));
    }
    void Type(QWidget* w, const char* text) { QTest::keyClicks(w, QString::fromLatin1(text)); }
    void Key(QWidget* w, Qt::Key key) { QTest::keyClick(w, key); }
    int Rows(TDebugPaintBox* box) const { return form->Grid(box).Rows; }
    // The pane edit fields are closed: empty, zero width, at 0, 0.
    void ExpectEditorsClosed() {
        for (TDebugEdit* e : {form->ListEdit, form->RegEdit, form->MainEdit, form->BinEdit}) {
            EXPECT_TRUE(e->text().isEmpty());
            EXPECT_EQ(e->width(), 0);
            EXPECT_EQ(e->pos(), QPoint(0, 0));
        }
        EXPECT_EQ(g_debug.EditMode, kEditNone);
    }
    // Runs run ticks until the window shows again, at most limit of them; returns how many.
    int TickUntilShown(int limit) {
        int ticks = 0;
        while (!form->isVisible() && ticks < limit) {
            OnRunTimer();
            ++ticks;
        }
        return ticks;
    }

    TDebugForm* form = nullptr;
};

using Layout = Form;
using Contract = Form;
using Activation = Form;
using Editors = Form;
using Scrolling = Form;
using Patching = Form;
using RunControls = Form;

// --- Layout -----------------------------------------------------------------------------------

TEST_F(Layout, WindowCaptionSizeAndStartsHiddenAndCentred) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Debug Window"));
    EXPECT_EQ(form->size(), QSize(1001, 700)); // grown right and below the panes
    EXPECT_FALSE(form->isVisible());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(form->geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(form->geometry().center().y() - screen.center().y()), 1);
}

TEST_F(Layout, EveryControlAtItsPlaceWithItsCaption) {
    const struct {
        QWidget* control;
        QWidget* parent;
        QRect rect;
        const char* caption; // group-box title or button text; nullptr for others
    } controls[] = {
        {form->ListGroupBox, form, {8, 8, 313, 161}, " Disassembly "},
        {form->ListPaintBox, form->ListGroupBox, {8, 16, 273, 137}, nullptr},
        {form->ListScrollBar, form->ListGroupBox, {287, 16, 17, 137}, nullptr},
        {form->RegGroupBox, form, {328, 8, 121, 161}, " Registers "},
        {form->RegPaintBox, form->RegGroupBox, {8, 16, 81, 137}, nullptr},
        {form->RegScrollBar, form->RegGroupBox, {96, 16, 17, 137}, nullptr},
        {form->StepGroupBox, form, {456, 8, 153, 49}, " Single step "},
        {form->StepButton, form->StepGroupBox, {80, 16, 57, 25}, "Run"},
        {form->StepBackButton, form->StepGroupBox, {16, 16, 57, 25}, "Back"},
        {form->TraceGroupBox, form, {456, 64, 153, 49}, " Number of steps (decimal) "},
        {form->TraceEdit, form->TraceGroupBox, {16, 16, 49, 21}, nullptr},
        {form->TraceButton, form->TraceGroupBox, {80, 16, 57, 25}, "Run"},
        {form->BpGroupBox, form, {456, 120, 153, 49}, " Breakpoint address (hex) "},
        {form->BpEdit, form->BpGroupBox, {16, 16, 49, 21}, nullptr},
        {form->BpButton, form->BpGroupBox, {80, 16, 57, 25}, "Run"},
        {form->MainGroupBox, form, {8, 176, 601, 137}, " Main Register File "},
        {form->MainPaintBox, form->MainGroupBox, {8, 16, 561, 113}, nullptr},
        {form->MainScrollBar, form->MainGroupBox, {575, 16, 17, 113}, nullptr},
        {form->BinGroupBox, form, {8, 320, 601, 161}, " Hex Editor "},
        {form->BinPaintBox, form->BinGroupBox, {8, 16, 561, 137}, nullptr},
        {form->BinScrollBar, form->BinGroupBox, {576, 16, 17, 137}, nullptr},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.control->metaObject()->className());
        EXPECT_EQ(c.control->parentWidget(), c.parent);
        EXPECT_EQ(c.control->geometry(), c.rect);
        if (!c.caption) continue;
        if (auto* box = qobject_cast<QGroupBox*>(c.control))
            EXPECT_EQ(box->title(), QString::fromLatin1(c.caption));
        else if (auto* button = qobject_cast<QPushButton*>(c.control))
            EXPECT_EQ(button->text(), QString::fromLatin1(c.caption));
        else
            ADD_FAILURE() << "no caption on this control";
    }
    // The in-place editors belong to their panes' group boxes.
    EXPECT_EQ(form->ListEdit->parentWidget(), form->ListGroupBox);
    EXPECT_EQ(form->RegEdit->parentWidget(), form->RegGroupBox);
    EXPECT_EQ(form->MainEdit->parentWidget(), form->MainGroupBox);
    EXPECT_EQ(form->BinEdit->parentWidget(), form->BinGroupBox);
}

TEST_F(Layout, PaneFontIsTheFixedPitchCourierAtThirteenPixels) {
    const QFont& font = form->PaneFont();
    const QFontInfo info(font);
    std::cout << "pane font: \"" << info.family().toStdString() << "\", " << info.pixelSize()
              << " px, cell " << QFontMetrics(font).horizontalAdvance('0') << " x "
              << QFontMetrics(font).height() << "; window font: \""
              << QFontInfo(form->font()).family().toStdString() << "\", "
              << QFontInfo(form->font()).pixelSize() << " px\n";
    EXPECT_EQ(font.family(), QStringLiteral("Courier"));
    EXPECT_EQ(info.pixelSize(), 13);
    EXPECT_TRUE(info.fixedPitch());
    for (QWidget* w : std::initializer_list<QWidget*>{form->ListPaintBox, form->RegPaintBox,
                                                      form->MainPaintBox, form->BinPaintBox,
                                                      form->ListEdit, form->RegEdit, form->MainEdit,
                                                      form->BinEdit, form->TraceEdit, form->BpEdit})
        EXPECT_EQ(QFontInfo(w->font()).family(), info.family()) << w->metaObject()->className();
    // The grid is the text size of "0" in that font.
    const QFontMetrics fm(font);
    const CellGrid g = form->Grid(form->ListPaintBox);
    EXPECT_EQ(g.CellWidth, fm.horizontalAdvance('0'));
    EXPECT_EQ(g.CellHeight, fm.height());
    EXPECT_EQ(g.Rows, 137 / fm.height());
    EXPECT_EQ(g.Columns, 273 / fm.horizontalAdvance('0'));
}

TEST_F(Layout, EditorsAreYellowBorderlessAndNoTabStops) {
    for (TDebugEdit* e : {form->ListEdit, form->RegEdit, form->MainEdit, form->BinEdit}) {
        EXPECT_EQ(e->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0x00));
        EXPECT_FALSE(e->hasFrame());
        EXPECT_FALSE(e->focusPolicy() & Qt::TabFocus);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{
             form->TraceEdit, form->BpEdit, form->StepButton, form->StepBackButton,
             form->TraceButton, form->BpButton, form->ListScrollBar, form->RegScrollBar,
             form->MainScrollBar, form->BinScrollBar})
        EXPECT_FALSE(w->focusPolicy() & Qt::TabFocus) << w->metaObject()->className();
    EXPECT_TRUE(form->TraceEdit->UpperCase());
    EXPECT_TRUE(form->BpEdit->UpperCase());
    EXPECT_TRUE(form->RegEdit->UpperCase());
    EXPECT_TRUE(form->MainEdit->UpperCase());
    EXPECT_TRUE(form->BinEdit->UpperCase());
    EXPECT_FALSE(form->ListEdit->UpperCase());
    ExpectEditorsClosed();
    EXPECT_EQ(g_debug.ListTop, 0);
    EXPECT_EQ(g_debug.RegTop, 0);
    EXPECT_EQ(g_debug.MainTop, 0);
    EXPECT_EQ(g_debug.HexTop, 0);
}

// --- Showing and hiding -----------------------------------------------------------------------

TEST_F(Contract, ShowingStopsTheLoopAndListsFromPc) {
    g_cpu.PC = 0x0123;
    g_run.StepCount = 5;
    g_run.BreakAddress = 7;
    ASSERT_EQ(g_run.StopRequest, 0);
    Show();
    EXPECT_EQ(g_run.StopRequest, 1);
    EXPECT_EQ(g_run.StepCount, -1);
    EXPECT_EQ(g_run.BreakAddress, -1);
    EXPECT_EQ(g_debug.ListTop, 0x0123);
    EXPECT_EQ(form->focusWidget(), form->StepGroupBox);
    EXPECT_EQ(form->ListScrollBar->value(), 0x0123);
    // While shown, ticks execute nothing.
    for (int i = 0; i < 5; ++i) OnRunTimer();
    EXPECT_TRUE(g_steps.empty());
}

TEST_F(Contract, HidingEndsEditingAndResumesAfterThirtyTicks) {
    Show();
    ClickCell(form->BinPaintBox, 6, 0);
    ASSERT_EQ(g_debug.EditMode, kEditHexByte);
    Type(form->BinEdit, "5");
    form->hide();
    ExpectEditorsClosed();
    EXPECT_EQ(g_run.ResumeDelay, 30);
    EXPECT_EQ(g_run.StopRequest, 0);
    for (int i = 0; i < 30; ++i) OnRunTimer();
    EXPECT_TRUE(g_steps.empty());
    OnRunTimer();
    EXPECT_FALSE(g_steps.empty());
    EXPECT_EQ(g_cpu.Ram[0], 0); // the byte typed was not stored
}

TEST_F(Contract, ClosingTheWindowResumesFreeRunning) {
    Show();
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(g_run.ResumeDelay, 30);
    EXPECT_EQ(g_run.StopRequest, 0);
    EXPECT_EQ(g_run.StepCount, -1);
    EXPECT_EQ(g_run.BreakAddress, -1);
}

TEST_F(Contract, TheRunLoopsStopShowsTheWindow) {
    ASSERT_EQ(ShowDebuggerHook != nullptr, true);
    g_run.StepCount = 3;
    TickUntilShown(1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(g_steps.size(), 3u);
    EXPECT_EQ(g_debug.ListTop, g_cpu.PC);
    delete form;
    form = nullptr;
    EXPECT_EQ(ShowDebuggerHook, nullptr);
    form = new TDebugForm;
}

// --- Activation -------------------------------------------------------------------------------

TEST_F(Activation, TheActivePanesCaptionIsBlueAndTheOthersWindowText) {
    Show();
    const QColor text = QApplication::palette().color(QPalette::WindowText);
    const QColor blue(0, 0, 0xFF);
    const struct {
        std::function<void()> act;
        TDebugGroupBox* active;
        QWidget* focus;
    } cases[] = {
        {[&] { QTest::mouseClick(form->RegGroupBox, Qt::LeftButton, {}, QPoint(3, 157)); },
         form->RegGroupBox, form->RegEdit},
        {[&] { ClickCell(form->ListPaintBox, 4, 0); }, form->ListGroupBox, form->ListEdit},
        {[&] { form->MainScrollBar->triggerAction(QAbstractSlider::SliderSingleStepAdd); },
         form->MainGroupBox, form->MainEdit},
        {[&] { QTest::mouseClick(form->BinGroupBox, Qt::LeftButton, {}, QPoint(3, 157)); },
         form->BinGroupBox, form->BinEdit},
        {[&] { QTest::mouseClick(form->TraceEdit, Qt::LeftButton); }, form->TraceGroupBox,
         form->TraceEdit},
        {[&] { QTest::mouseClick(form->BpGroupBox, Qt::LeftButton, {}, QPoint(3, 45)); },
         form->BpGroupBox, form->BpEdit},
        {[&] { QTest::mouseClick(form->StepGroupBox, Qt::LeftButton, {}, QPoint(3, 45)); },
         form->StepGroupBox, form->StepGroupBox},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.active->title().toStdString());
        ClickCell(form->RegPaintBox, 4, 2); // an editor open before each activation
        ASSERT_EQ(g_debug.EditMode, kEditRegister);
        c.act();
        for (TDebugGroupBox* box :
             {form->ListGroupBox, form->RegGroupBox, form->StepGroupBox, form->TraceGroupBox,
              form->BpGroupBox, form->MainGroupBox, form->BinGroupBox})
            EXPECT_EQ(box->CaptionColor(), box == c.active ? blue : text)
                << box->title().toStdString();
        EXPECT_EQ(form->focusWidget(), c.focus);
        ExpectEditorsClosed();
    }
}

TEST_F(Activation, TheCaptionIsPaintedInItsColour) {
    Show();
    auto bluePixels = [](QWidget* w) {
        const QImage img = w->grab(QRect(0, 0, w->width(), 16)).toImage();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.blue() > 150 && c.red() < 100 && c.green() < 100) ++n;
            }
        return n;
    };
    EXPECT_EQ(bluePixels(form->ListGroupBox), 0);
    form->ListGroupBoxClick();
    EXPECT_GT(bluePixels(form->ListGroupBox), 10);
    form->RegGroupBoxClick();
    EXPECT_EQ(bluePixels(form->ListGroupBox), 0);
}

// --- Editors ----------------------------------------------------------------------------------

TEST_F(Editors, ARegisterEditorOpensOverItsDigitsAndStoresOnEnter) {
    Show();
    const CellGrid g = form->Grid(form->RegPaintBox);
    ClickCell(form->RegPaintBox, 5, 2); // PC
    EXPECT_EQ(g_debug.EditMode, kEditRegister);
    EXPECT_EQ(g_debug.EditTarget, 0);
    EXPECT_EQ(form->RegEdit->geometry(),
              QRect(8 + 4 * g.CellWidth, 16 + 2 * g.CellHeight, 4 * g.CellWidth, g.CellHeight));
    EXPECT_EQ(form->RegEdit->maxLength(), 4);
    EXPECT_TRUE(form->RegEdit->text().isEmpty());
    Type(form->RegEdit, "12345");
    EXPECT_EQ(form->RegEdit->text(), QStringLiteral("1234"));
    Key(form->RegEdit, Qt::Key_Return);
    EXPECT_EQ(g_cpu.PC, 0x1234);
    ExpectEditorsClosed();
}

TEST_F(Editors, LettersTurnUpperCaseAndForeignCharactersAreFiltered) {
    Show();
    g_debug.RegTop = 4;
    form->RegGroupBoxClick();
    ClickCell(form->RegPaintBox, 4, 4); // AS, the seventh entry
    ASSERT_EQ(g_debug.EditMode, kEditRegister);
    ASSERT_EQ(g_debug.EditTarget, 6);
    Type(form->RegEdit, "fg");
    EXPECT_EQ(form->RegEdit->text(), QStringLiteral("F"));
    EXPECT_EQ(form->RegEdit->cursorPosition(), 1);
    Type(form->RegEdit, "f");
    EXPECT_EQ(form->RegEdit->text(), QStringLiteral("FF"));
    Key(form->RegEdit, Qt::Key_Enter);
    EXPECT_EQ(g_cpu.AS, 0x7F);
}

TEST_F(Editors, TheFilterKeepsTheCaretWhereTheUserTyped) {
    Show();
    ClickCell(form->BinPaintBox, 0, 0); // start address, 4 characters
    Type(form->BinEdit, "12");
    form->BinEdit->setCursorPosition(1);
    Type(form->BinEdit, "z");
    EXPECT_EQ(form->BinEdit->text(), QStringLiteral("12"));
    EXPECT_EQ(form->BinEdit->cursorPosition(), 1);
    Type(form->BinEdit, "a");
    EXPECT_EQ(form->BinEdit->text(), QStringLiteral("1A2"));
    EXPECT_EQ(form->BinEdit->cursorPosition(), 2);
}

TEST_F(Editors, RamBytesAsDigitsAndAsCharacters) {
    Show();
    ClickCell(form->BinPaintBox, 6 + 3 * 2 + 1, 1); // second digit of byte 0x12
    ASSERT_EQ(g_debug.EditMode, kEditHexByte);
    EXPECT_EQ(g_debug.EditTarget, 0x12);
    Type(form->BinEdit, "1g2");
    EXPECT_EQ(form->BinEdit->text(), QStringLiteral("12"));
    Key(form->BinEdit, Qt::Key_Return);
    EXPECT_EQ(g_cpu.Ram[0x12], 0x12);

    ClickCell(form->BinPaintBox, 54 + 3, 2);
    ASSERT_EQ(g_debug.EditMode, kEditHexChar);
    EXPECT_EQ(form->BinEdit->maxLength(), 1);
    Type(form->BinEdit, "a");
    EXPECT_EQ(form->BinEdit->text(), QStringLiteral("a")); // no filter, case as typed
    Key(form->BinEdit, Qt::Key_Return);
    EXPECT_EQ(g_cpu.Ram[0x23], 0x61);
    ClickCell(form->BinPaintBox, 54 + 3, 2);
    Type(form->BinEdit, "A");
    Key(form->BinEdit, Qt::Key_Return);
    EXPECT_EQ(g_cpu.Ram[0x23], 0x41);
    // Switching the case mode back and forth reuses one validator.
    for (int i = 0; i < 20; ++i) {
        ClickCell(form->BinPaintBox, 6, 0);
        ClickCell(form->BinPaintBox, 54, 0);
    }
    EXPECT_EQ(form->BinEdit->findChildren<QValidator*>().size(), 1);
}

TEST_F(Editors, TheHexEditorsStartAddressIsRoundedAndLimited) {
    Show();
    const int rows = Rows(form->BinPaintBox);
    ClickCell(form->BinPaintBox, 2, 0);
    Type(form->BinEdit, "1234");
    Key(form->BinEdit, Qt::Key_Return);
    EXPECT_EQ(g_debug.HexTop, 0x1230);
    EXPECT_EQ(form->BinScrollBar->value(), 0x123);
    // A top whose page would reach 0x2000 is refused; the one just below is taken.
    const int last = 0x2000 - 16 * rows;
    ClickCell(form->BinPaintBox, 2, 0);
    Type(form->BinEdit, QString::number(last, 16).toLatin1().constData());
    Key(form->BinEdit, Qt::Key_Return);
    EXPECT_EQ(g_debug.HexTop, 0x1230);
    ClickCell(form->BinPaintBox, 2, 0);
    Type(form->BinEdit, QString::number(last - 16, 16).toLatin1().constData());
    Key(form->BinEdit, Qt::Key_Return);
    EXPECT_EQ(g_debug.HexTop, last - 16);
    // ... but scrolling reaches it.
    form->BinGroupBoxClick();
    Key(form->BinEdit, Qt::Key_End);
    EXPECT_EQ(g_debug.HexTop, last);
}

TEST_F(Editors, MainRegisterFileBytes) {
    Show();
    ClickCell(form->MainPaintBox, 25, 1); // byte 4 of the second row
    ASSERT_EQ(g_debug.EditMode, kEditMainReg);
    EXPECT_EQ(g_debug.EditTarget, 20);
    const CellGrid g = form->Grid(form->MainPaintBox);
    EXPECT_EQ(form->MainEdit->geometry(),
              QRect(8 + 25 * g.CellWidth, 16 + g.CellHeight, 2 * g.CellWidth, g.CellHeight));
    Type(form->MainEdit, "c3");
    Key(form->MainEdit, Qt::Key_Return);
    EXPECT_EQ(g_cpu.R[20], 0xC3);
    ClickCell(form->MainPaintBox, 24, 1); // the blank between groups
    EXPECT_EQ(g_debug.EditMode, kEditNone);
    EXPECT_EQ(form->MainEdit->width(), 0);
}

TEST_F(Editors, EscapeAndActivationDiscardTheTypedText) {
    Show();
    g_cpu.LA = 0x4444;
    ClickCell(form->RegPaintBox, 4, 3);
    Type(form->RegEdit, "12");
    Key(form->RegEdit, Qt::Key_Escape);
    ExpectEditorsClosed();
    EXPECT_EQ(g_cpu.LA, 0x4444);
    ClickCell(form->RegPaintBox, 4, 3);
    Type(form->RegEdit, "12");
    QTest::mouseClick(form->MainGroupBox, Qt::LeftButton, {}, QPoint(3, 133));
    ExpectEditorsClosed();
    EXPECT_EQ(g_cpu.LA, 0x4444);
    // Enter on an empty editor stores 0.
    ClickCell(form->RegPaintBox, 4, 3);
    Key(form->RegEdit, Qt::Key_Return);
    EXPECT_EQ(g_cpu.LA, 0);
}

TEST_F(Editors, AFlagToggledByClickIsDrawnOnItsBackground) {
    Show();
    g_cpu.F = 0x90;
    ClickCell(form->RegPaintBox, 6, 1);
    EXPECT_EQ(g_cpu.F, 0x80);
    EXPECT_EQ(g_debug.EditMode, kEditFlag);
    Key(form->RegEdit, Qt::Key_Return); // does nothing after a toggle
    EXPECT_EQ(g_cpu.F, 0x80);
    const CellGrid g = form->Grid(form->RegPaintBox);
    const QImage img = form->RegPaintBox->grab().toImage();
    EXPECT_EQ(img.pixelColor(3 * g.CellWidth, 0), QColor(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(img.pixelColor(5 * g.CellWidth, 0), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(img.pixelColor(7 * g.CellWidth, 0), QColor(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(img.pixelColor(3 * g.CellWidth, g.CellHeight), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(img.pixelColor(0, 2 * g.CellHeight), form->palette().color(QPalette::Window));
    // Some text is drawn in every row of registers shown.
    for (int r = 2; r < g.Rows; ++r) {
        bool dark = false;
        for (int y = r * g.CellHeight; y < (r + 1) * g.CellHeight && !dark; ++y)
            for (int x = 0; x < 3 * g.CellWidth && !dark; ++x)
                dark = img.pixelColor(x, y).lightness() < 100;
        EXPECT_TRUE(dark) << "row " << r;
    }
}

// --- Scrolling --------------------------------------------------------------------------------

TEST_F(Scrolling, KeysMoveTheListingByAddressesAndPages) {
    Show();
    g_debug.ListTop = 0x0100;
    form->ListGroupBoxClick();
    const int rows = Rows(form->ListPaintBox);
    const struct {
        Qt::Key key;
        int top;
    } steps[] = {
        {Qt::Key_Down, 0x101},   {Qt::Key_Up, 0x100},    {Qt::Key_PageDown, 0x100 + rows},
        {Qt::Key_PageUp, 0x100}, {Qt::Key_Left, 0x100},  {Qt::Key_Right, 0x100},
        {Qt::Key_End, 0xFFFF},   {Qt::Key_Down, 0xFFFF}, {Qt::Key_Home, 0},
        {Qt::Key_Up, 0},
    };
    for (const auto& s : steps) {
        Key(form->ListEdit, s.key);
        EXPECT_EQ(g_debug.ListTop, s.top) << s.key;
        EXPECT_EQ(form->ListScrollBar->value(), s.top);
    }
    // In external memory a page is the addresses the rows cover.
    g_debug.ListTop = 0x1800;
    form->ListGroupBoxClick();
    Key(form->ListEdit, Qt::Key_PageDown); // nops: one byte each
    EXPECT_EQ(g_debug.ListTop, 0x1800 + rows);
}

TEST_F(Scrolling, DataPanesScrollInRowsAndClamp) {
    Show();
    const int regRows = std::min(Rows(form->RegPaintBox), 17);
    const int mainRows = std::min(Rows(form->MainPaintBox), 8);
    const int binRows = Rows(form->BinPaintBox);
    form->RegGroupBoxClick();
    for (int i = 0; i < 30; ++i) Key(form->RegEdit, Qt::Key_Down);
    EXPECT_EQ(g_debug.RegTop, 17 - regRows);
    Key(form->RegEdit, Qt::Key_Home);
    EXPECT_EQ(g_debug.RegTop, 0);
    Key(form->RegEdit, Qt::Key_PageDown);
    EXPECT_EQ(g_debug.RegTop, std::min(regRows - 1, 17 - regRows));
    form->MainGroupBoxClick();
    Key(form->MainEdit, Qt::Key_End);
    EXPECT_EQ(g_debug.MainTop, (8 - mainRows) * 16);
    form->BinGroupBoxClick();
    Key(form->BinEdit, Qt::Key_PageDown);
    EXPECT_EQ(g_debug.HexTop, binRows * 16);
    Key(form->BinEdit, Qt::Key_Down);
    EXPECT_EQ(g_debug.HexTop, binRows * 16 + 16);
    Key(form->BinEdit, Qt::Key_End);
    EXPECT_EQ(g_debug.HexTop, (512 - binRows) * 16);
    Key(form->BinEdit, Qt::Key_PageUp);
    EXPECT_EQ(g_debug.HexTop, (512 - 2 * binRows) * 16);
}

TEST_F(Scrolling, KeysDoNotScrollWhileAnEditorIsOpenOrAfterAFlagToggle) {
    Show();
    g_debug.ListTop = 0x0100;
    ClickCell(form->ListPaintBox, 0, 0);
    ASSERT_EQ(g_debug.EditMode, kEditListTop);
    Key(form->ListEdit, Qt::Key_Down);
    Key(form->ListEdit, Qt::Key_PageDown);
    EXPECT_EQ(g_debug.ListTop, 0x0100);
    ClickCell(form->RegPaintBox, 3, 0);
    ASSERT_EQ(g_debug.EditMode, kEditFlag);
    Key(form->RegEdit, Qt::Key_Down);
    EXPECT_EQ(g_debug.RegTop, 0);
    Key(form->RegEdit, Qt::Key_Escape);
    Key(form->RegEdit, Qt::Key_Down);
    EXPECT_EQ(g_debug.RegTop, 1);
}

TEST_F(Scrolling, TheScrollBarSetsTheTopAndActivates) {
    Show();
    ClickCell(form->RegPaintBox, 4, 2);
    form->ListScrollBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(g_debug.ListTop, g_cpu.PC + 1);
    EXPECT_EQ(form->ListGroupBox->CaptionColor(), QColor(0, 0, 0xFF));
    ExpectEditorsClosed();
    form->BinScrollBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(g_debug.HexTop, Rows(form->BinPaintBox) * 16);
    form->RegScrollBar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(g_debug.RegTop, 17 - std::min(Rows(form->RegPaintBox), 17));
}

// --- Disassembly pane and patching ------------------------------------------------------------

TEST_F(Patching, TheStartAddressFieldIsHexUpperCase) {
    Show();
    const uint16_t before = g_debug.ListTop;
    ClickCell(form->ListPaintBox, 1, 0);
    ASSERT_EQ(g_debug.EditMode, kEditListTop);
    Type(form->ListEdit, "1a2");
    EXPECT_EQ(form->ListEdit->text(), QStringLiteral("1A2"));
    Key(form->ListEdit, Qt::Key_Escape);
    EXPECT_EQ(g_debug.ListTop, before);
    ClickCell(form->ListPaintBox, 1, 0);
    Type(form->ListEdit, "1a2x");
    Key(form->ListEdit, Qt::Key_Return);
    EXPECT_EQ(g_debug.ListTop, 0x01A2);
    ClickCell(form->ListPaintBox, 1, 0);
    Key(form->ListEdit, Qt::Key_Return);
    EXPECT_EQ(g_debug.ListTop, 0);
}

TEST_F(Patching, AnInstructionTypedOverARowIsStoredAtItsAddress) {
    Show();
    g_debug.ListTop = 0x0200;
    form->ListGroupBoxClick();
    g_cpu.Rom[0x203 * 3 + 1] = 0x55;
    g_cpu.Rom[0x203 * 3 + 2] = 0x66;
    ClickCell(form->ListPaintBox, 8, 3);
    ASSERT_EQ(g_debug.EditMode, kEditInstruction);
    EXPECT_EQ(g_debug.EditTarget, 0x0203);
    EXPECT_EQ(form->ListEdit->maxLength(), form->Grid(form->ListPaintBox).Columns - 6);
    Type(form->ListEdit, "ld r5,r70");
    EXPECT_EQ(form->ListEdit->text(), QStringLiteral("ld r5,r70")); // case as typed
    Key(form->ListEdit, Qt::Key_Return);
    EXPECT_EQ(g_cpu.Rom[0x203 * 3], 0x21);
    EXPECT_EQ(g_cpu.Rom[0x203 * 3 + 1], 0x86);
    EXPECT_EQ(g_cpu.Rom[0x203 * 3 + 2], 0xA0);
    ExpectEditorsClosed();
    // A shorter instruction keeps the word's trailing bytes.
    ClickCell(form->ListPaintBox, 8, 3);
    Type(form->ListEdit, "rtn");
    Key(form->ListEdit, Qt::Key_Return);
    EXPECT_EQ(g_cpu.Rom[0x203 * 3], 0xC7);
    EXPECT_EQ(g_cpu.Rom[0x203 * 3 + 1], 0x86);
    // External memory: consecutive bytes.
    g_debug.ListTop = 0x1800;
    form->ListGroupBoxClick();
    ClickCell(form->ListPaintBox, 6, 0);
    Type(form->ListEdit, "ld r5,r70");
    Key(form->ListEdit, Qt::Key_Return);
    EXPECT_EQ(g_cpu.Ext[0x1800], 0x21);
    EXPECT_EQ(g_cpu.Ext[0x1801], 0x86);
    EXPECT_EQ(g_cpu.Ext[0x1802], 0xA0);
    EXPECT_EQ(g_cpu.Ext[0x1803], kNop);
}

TEST_F(Patching, ARejectedLineKeepsTheEditorOpenWithTheCaretAtTheError) {
    Show();
    g_debug.ListTop = 0x1800;
    form->ListGroupBoxClick();
    ClickCell(form->ListPaintBox, 10, 1);
    ASSERT_EQ(g_debug.EditTarget, 0x1801);
    Type(form->ListEdit, "ldx r5,r70");
    Key(form->ListEdit, Qt::Key_Return);
    EXPECT_EQ(g_debug.EditMode, kEditInstruction);
    EXPECT_EQ(form->ListEdit->text(), QStringLiteral("ldx r5,r70"));
    EXPECT_EQ(form->ListEdit->cursorPosition(), 2);
    EXPECT_GT(form->ListEdit->width(), 0);
    for (int a = 0x1800; a < 0x1810; ++a) EXPECT_EQ(g_cpu.Ext[a], kNop) << a;
    // Corrected in place, it goes in.
    form->ListEdit->setCursorPosition(3);
    Key(form->ListEdit, Qt::Key_Backspace);
    Key(form->ListEdit, Qt::Key_Return);
    EXPECT_EQ(g_debug.EditMode, kEditNone);
    EXPECT_EQ(g_cpu.Ext[0x1801], 0x21);
}

// --- Run controls -----------------------------------------------------------------------------

TEST_F(RunControls, SingleStepRunsOneStepOutsideTheLoop) {
    g_cpu.PC = 0x0040;
    Show();
    g_cpu.StepCycles = 100;
    QTest::mouseClick(form->StepButton, Qt::LeftButton);
    EXPECT_EQ(g_cpu.PC, 0x0041);
    EXPECT_EQ(g_debug.ListTop, 0x0041);
    EXPECT_GT(g_cpu.StepCycles, 100); // not cleared before the step
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->focusWidget(), form->StepGroupBox);
    EXPECT_EQ(form->StepGroupBox->CaptionColor(), QColor(0, 0, 0xFF));
    EXPECT_TRUE(g_steps.empty()); // the loop made none
    EXPECT_EQ(g_run.StopRequest, 1);
}

TEST_F(RunControls, ATracedRunOfTenStepsStopsAndShowsTheNewPc) {
    g_cpu.PC = 0x0100;
    Show();
    Type(form->TraceEdit, "1x0");
    EXPECT_EQ(form->TraceEdit->text(), QStringLiteral("10"));
    QTest::mouseClick(form->TraceButton, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(g_run.StepCount, 10);
    EXPECT_EQ(g_run.BreakAddress, -1);
    EXPECT_EQ(g_run.ResumeDelay, 30);
    for (int i = 0; i < 30; ++i) OnRunTimer();
    EXPECT_TRUE(g_steps.empty());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(TickUntilShown(5), 1);
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(g_steps.size(), 10u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(g_steps[i], 0x0100 + i);
    EXPECT_EQ(g_cpu.PC, 0x010A);
    EXPECT_EQ(g_debug.ListTop, 0x010A);
    EXPECT_EQ(g_run.StepCount, -1);
    EXPECT_EQ(g_run.StopRequest, 1);
    for (int i = 0; i < 5; ++i) OnRunTimer();
    EXPECT_EQ(g_steps.size(), 10u);
}

TEST_F(RunControls, ABreakpointRunStopsWhenPcComesBackToTheAddress) {
    // A loop of three nops and a jump back: 0x20, 0x21, 0x22, 0x23 jmp &H0020.
    g_cpu.Rom[0x23 * 3] = 0xA7;
    g_cpu.Rom[0x23 * 3 + 1] = 0x00;
    g_cpu.Rom[0x23 * 3 + 2] = 0x20;
    g_cpu.PC = 0x0022;
    Show();
    Type(form->BpEdit, "22");
    QTest::mouseClick(form->BpButton, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(g_run.BreakAddress, 0x22);
    EXPECT_EQ(g_run.StepCount, -1);
    EXPECT_EQ(TickUntilShown(40), 31);
    EXPECT_EQ(g_steps, (std::vector<uint16_t>{0x22, 0x23, 0x20, 0x21}));
    EXPECT_EQ(g_cpu.PC, 0x0022);
    EXPECT_EQ(g_debug.ListTop, 0x0022);
    EXPECT_EQ(g_run.BreakAddress, -1);
}

TEST_F(RunControls, AnEmptyBreakpointFieldMeansAddressZero) {
    g_cpu.PC = 0x0010;
    Show();
    QTest::mouseClick(form->BpButton, Qt::LeftButton);
    EXPECT_EQ(g_run.BreakAddress, 0);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(RunControls, AZeroOrEmptyStepCountChangesNothing) {
    Show();
    for (const char* text : {"", "0", "000"}) {
        form->TraceEdit->setText(QString::fromLatin1(text));
        QTest::mouseClick(form->TraceButton, Qt::LeftButton);
        EXPECT_TRUE(form->isVisible()) << text;
        EXPECT_EQ(g_run.StepCount, -1);
        EXPECT_EQ(g_run.StopRequest, 1);
        EXPECT_EQ(form->focusWidget(), form->TraceEdit);
    }
}

TEST_F(RunControls, OverlongNumbersReadAsTheLargestSignedValue) {
    Show();
    Type(form->TraceEdit, "99999999999999999999999999999999");
    QTest::mouseClick(form->TraceButton, Qt::LeftButton);
    EXPECT_EQ(g_run.StepCount, 0x7FFFFFFF);
    EXPECT_FALSE(form->isVisible());
    Show();
    Type(form->BpEdit, "fffffffffffffffffffff");
    EXPECT_EQ(form->BpEdit->text(), QStringLiteral("FFFFFFFFFFFFFFFFFFFFF"));
    QTest::mouseClick(form->BpButton, Qt::LeftButton);
    EXPECT_EQ(g_run.BreakAddress, 0x7FFFFFFF);
    // An address the 16-bit PC never equals: the loop runs on.
    EXPECT_EQ(TickUntilShown(40), 40);
    EXPECT_FALSE(form->isVisible());
    EXPECT_GT(g_steps.size(), 1000u);
}

TEST_F(RunControls, TheRunFieldsTakeOnlyTheirDigits) {
    Show();
    Type(form->TraceEdit, "1a2 b3");
    EXPECT_EQ(form->TraceEdit->text(), QStringLiteral("123"));
    Type(form->BpEdit, "1a2 g3");
    EXPECT_EQ(form->BpEdit->text(), QStringLiteral("1A23"));
}

// Back, beside Single step's Run: the machine before each step, back through single steps and
// through the steps of a run, as far as the step history reaches.
TEST_F(RunControls, BackReturnsToTheMachineBeforeEachStep) {
    g_cpu.PC = 0x0100;
    RewindEnable(true);
    Show();
    EXPECT_FALSE(form->StepBackButton->isEnabled()); // nothing to undo yet
    Type(form->TraceEdit, "10");
    QTest::mouseClick(form->TraceButton, Qt::LeftButton);
    ASSERT_LT(TickUntilShown(40), 40);
    ASSERT_EQ(g_steps.size(), 10u);
    std::vector<std::vector<uint8_t>> before;
    for (int i = 0; i < 3; ++i) {
        before.emplace_back(MachineImageBytes());
        CaptureMachine(before.back().data());
        QTest::mouseClick(form->StepButton, Qt::LeftButton);
    }
    EXPECT_EQ(g_cpu.PC, 0x010D);
    std::vector<uint8_t> now(MachineImageBytes());
    for (int i = 2; i >= 0; --i) {
        ASSERT_TRUE(form->StepBackButton->isEnabled());
        QTest::mouseClick(form->StepBackButton, Qt::LeftButton);
        CaptureMachine(now.data());
        EXPECT_EQ(now, before[i]) << i;
        EXPECT_EQ(g_debug.ListTop, g_cpu.PC);
        EXPECT_EQ(form->focusWidget(), form->StepGroupBox);
    }
    for (int i = 9; i >= 0; --i) {
        ASSERT_TRUE(form->StepBackButton->isEnabled());
        QTest::mouseClick(form->StepBackButton, Qt::LeftButton);
        EXPECT_EQ(g_cpu.PC, g_steps[i]);
    }
    EXPECT_FALSE(form->StepBackButton->isEnabled());
    EXPECT_TRUE(g_messages.empty());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(g_run.StopRequest, 1);
}

TEST_F(RunControls, BackSaysWhyItCannotGoBack) {
    RewindEnable(true);
    Show();
    QTest::mouseClick(form->StepButton, Qt::LeftButton);
    g_cpu.R[3] ^= 1; // a change the step history was not told of
    g_messages.clear();
    QTest::mouseClick(form->StepBackButton, Qt::LeftButton);
    EXPECT_EQ(g_messages,
              std::vector<std::string>{
                  "Cannot step back: the machine was changed outside the recorded steps"});
    EXPECT_EQ(g_cpu.R[3], 1);
    EXPECT_EQ(g_cpu.PC, 1);
}
} // namespace
