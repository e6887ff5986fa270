// The debug window's controls around the seed's panes, driven as a user drives them: the
// stepping keys and buttons, Run and Pause with the window open, the breakpoint and watchpoint
// list, the listing's address clicks, the log, call stack and history panes, the stop line and
// the message for a rejected line.
#include "core/Cpu.h"
#include "core/Machine.h"
#include "debug/Break.h"
#include "debug/Program.h"
#include "debug/Symbols.h"
#include "debug/qt/Debug.h"
#include "host/RunLoop.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// A call of a routine that copies R70 to R5, then a loop on one word.
constexpr const char* kProgram = R"(
        org 0
start:  ldw sp,&h1f00
        cal sub
        ld r6,r71
spin:   jmp spin
sub:    ld r5,r70
        rtn
)";

struct Debugger : ::testing::Test {
    Debugger() {
        ResetMachine();
        g_symbols.Clear();
        const ProgramImage image = AssembleProgram(kProgram);
        EXPECT_TRUE(image.Ok());
        std::copy(image.Rom.begin(), image.Rom.end(), g_cpu.Rom);
        std::copy(image.Ext.begin(), image.Ext.end(), g_cpu.Ext);
        StartVariables();
        g_run.CyclesPerTick = ComputeCyclesPerTick(g_run.OscFreq);
        g_cpu.R[70] = 0x42;
        form = new TDebugForm;
        form->show();
        QApplication::setActiveWindow(form);
        EXPECT_TRUE(form->isVisible());
    }
    ~Debugger() override {
        delete form;
        g_symbols.Clear();
    }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(form, static_cast<Qt::Key>(key), mods);
    }
    // Run ticks while the processor runs with the window open, at most limit of them.
    int TickWhileRunning(int limit) {
        int ticks = 0;
        while (form->Running() && ticks < limit) {
            OnRunTimer();
            ++ticks;
        }
        return ticks;
    }
    std::string StopText() const { return form->StopLabel->text().toStdString(); }
    void AddBreak(const char* text) {
        form->BreakEdit->setText(QString::fromLatin1(text));
        QTest::mouseClick(form->BreakAddButton, Qt::LeftButton);
    }
    void ClickCell(TDebugPaintBox* box, int column, int row) {
        const CellGrid g = form->Grid(box);
        QTest::mouseClick(
            box, Qt::LeftButton, Qt::NoModifier,
            QPoint(column * g.CellWidth + g.CellWidth / 2, row * g.CellHeight + g.CellHeight / 2));
    }

    TDebugForm* form = nullptr;
};

// --- Layout and keys --------------------------------------------------------------------------

TEST_F(Debugger, TheNewControlsLieAroundTheSeedsPanes) {
    const QRect window = form->rect();
    std::vector<QRect> seed;
    for (TDebugGroupBox* box :
         {form->ListGroupBox, form->RegGroupBox, form->StepGroupBox, form->TraceGroupBox,
          form->BpGroupBox, form->MainGroupBox, form->BinGroupBox})
        seed.push_back(box->geometry());
    for (QWidget* w : std::initializer_list<QWidget*>{
             form->BreakGroupBox, form->StackGroupBox, form->HistoryGroupBox, form->LogGroupBox,
             form->StopLabel, form->MessageLabel, form->StepIntoButton, form->StepOverButton,
             form->StepOutButton, form->RunButton, form->PauseButton}) {
        ASSERT_EQ(w->parentWidget(), form);
        EXPECT_TRUE(window.contains(w->geometry())) << w->metaObject()->className();
        for (const QRect& r : seed)
            EXPECT_FALSE(r.intersects(w->geometry())) << w->metaObject()->className();
    }
    const struct {
        QPushButton* Button;
        const char* Caption;
    } buttons[] = {{form->StepIntoButton, "Step into (F11)"},
                   {form->StepOverButton, "Step over (F10)"},
                   {form->StepOutButton, "Step out (Shift+F11)"},
                   {form->RunButton, "Run (F5)"},
                   {form->PauseButton, "Pause (F6)"}};
    for (const auto& b : buttons) EXPECT_EQ(b.Button->text().toStdString(), b.Caption);
}

TEST_F(Debugger, ItsKeysAreNotTheCalculatorWindows) {
    // The calculator window's own keys (F1, F3, F8, Shift+F10 and the Ctrl shortcuts of its
    // menu) must mean nothing here.
    const QKeySequence calculator[] = {
        QKeySequence(Qt::Key_F1), QKeySequence(Qt::Key_F3), QKeySequence(Qt::Key_F8),
        QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Tab)};
    const QList<QShortcut*> shortcuts = form->findChildren<QShortcut*>();
    EXPECT_GE(shortcuts.size(), 6);
    for (const QShortcut* s : shortcuts) {
        EXPECT_EQ(s->context(), Qt::WindowShortcut);
        for (const QKeySequence& k : calculator)
            EXPECT_NE(s->key(), k) << k.toString().toStdString();
    }
}

TEST_F(Debugger, StepIntoOverAndOutByTheirKeys) {
    Key(Qt::Key_F11); // ldw sp
    EXPECT_EQ(g_cpu.PC, 1);
    EXPECT_EQ(StopText(), "step");
    // F10 on the call: the routine runs in the run loop, the window stays open.
    Key(Qt::Key_F10);
    EXPECT_TRUE(form->Running());
    EXPECT_EQ(StopText(), "running");
    EXPECT_FALSE(form->StepButton->isEnabled());
    EXPECT_TRUE(form->PauseButton->isEnabled());
    EXPECT_LT(TickWhileRunning(10), 10);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(g_cpu.PC, 2);
    EXPECT_EQ(g_cpu.R[5], 0x42); // the callee's work is done
    EXPECT_EQ(g_debug.ListTop, 2);
    EXPECT_NE(StopText().find("step over"), std::string::npos) << StopText();
    // Into the routine again, then Shift+F11 out of it.
    g_cpu.PC = 1;
    g_cpu.R[5] = 0;
    Key(Qt::Key_F11);
    ASSERT_EQ(g_cpu.PC, 4);
    EXPECT_EQ(form->StackList->count(), 1);
    Key(Qt::Key_F11, Qt::ShiftModifier);
    EXPECT_TRUE(form->Running());
    EXPECT_LT(TickWhileRunning(10), 10);
    EXPECT_EQ(g_cpu.PC, 2);
    EXPECT_EQ(g_cpu.R[5], 0x42);
    EXPECT_NE(StopText().find("step out"), std::string::npos) << StopText();
    EXPECT_EQ(form->StackList->count(), 0);
    EXPECT_GT(form->HistoryList->count(), 0);
}

TEST_F(Debugger, RunAndPauseWithTheWindowOpen) {
    for (const int pause : {int(Qt::Key_F6), int(Qt::Key_Pause)}) {
        Key(Qt::Key_F5);
        EXPECT_TRUE(form->Running());
        EXPECT_EQ(g_run.StopRequest, 0);
        EXPECT_EQ(g_run.ResumeDelay, 0); // no wait as after a hide
        OnRunTimer();
        EXPECT_EQ(g_cpu.PC, 3); // spinning
        Key(pause);
        EXPECT_FALSE(form->Running());
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(g_run.StopRequest, 1);
        EXPECT_EQ(StopText(), "paused");
        const uint16_t pc = g_cpu.PC;
        OnRunTimer();
        EXPECT_EQ(g_cpu.PC, pc);
    }
    // F3 from the calculator window stops a run with the window open the same way.
    Key(Qt::Key_F5);
    form->ShowDebugger();
    EXPECT_FALSE(form->Running());
    EXPECT_EQ(StopText(), "paused");
    // Without a run, F3 changes nothing (the listing keeps its place).
    g_debug.ListTop = 0x0100;
    form->ShowDebugger();
    EXPECT_EQ(g_debug.ListTop, 0x0100);
}

// --- Breakpoints ------------------------------------------------------------------------------

TEST_F(Debugger, ABreakpointTypedInTheListStopsARunAndCountsItsHits) {
    AddBreak("0004");
    ASSERT_EQ(form->BreakList->topLevelItemCount(), 1);
    QTreeWidgetItem* item = form->BreakList->topLevelItem(0);
    EXPECT_EQ(item->checkState(0), Qt::Checked);
    EXPECT_EQ(item->text(1).toStdString(), "0004");
    EXPECT_EQ(item->text(2).toStdString(), "0");
    EXPECT_TRUE(form->BreakEdit->text().isEmpty());
    Key(Qt::Key_F5);
    EXPECT_LT(TickWhileRunning(10), 10);
    EXPECT_EQ(g_cpu.PC, 4);
    EXPECT_EQ(StopText(), "breakpoint 1 at 0004");
    item = form->BreakList->topLevelItem(0);
    EXPECT_EQ(item->text(2).toStdString(), "1");
    // Unticked, it no longer stops; Remove takes it away.
    item->setCheckState(0, Qt::Unchecked);
    ASSERT_NE(FindBreakpoint(1), nullptr);
    EXPECT_FALSE(FindBreakpoint(1)->Enabled);
    g_cpu.PC = 1;
    Key(Qt::Key_F5);
    OnRunTimer();
    EXPECT_TRUE(form->Running());
    Key(Qt::Key_F6);
    form->BreakList->setCurrentItem(form->BreakList->topLevelItem(0));
    QTest::mouseClick(form->BreakRemoveButton, Qt::LeftButton);
    EXPECT_EQ(form->BreakList->topLevelItemCount(), 0);
    EXPECT_TRUE(Breakpoints().empty());
}

TEST_F(Debugger, AConditionStopsOnlyWhenItHolds) {
    g_symbols.Add(0x0004, "sub");
    AddBreak("sub if R[70] == 7");
    ASSERT_EQ(form->BreakList->topLevelItemCount(), 1);
    EXPECT_EQ(form->BreakList->topLevelItem(0)->text(3).toStdString(), "if R[70] == 7");
    Key(Qt::Key_F5);
    EXPECT_EQ(TickWhileRunning(3), 3); // R70 is 0x42: runs on
    Key(Qt::Key_F6);
    g_cpu.PC = 0;
    g_cpu.R[70] = 7;
    Key(Qt::Key_F5);
    EXPECT_LT(TickWhileRunning(10), 10);
    EXPECT_EQ(g_cpu.PC, 4);
    EXPECT_NE(StopText().find("sub (0004)"), std::string::npos) << StopText();
}

TEST_F(Debugger, ABadLineSaysWhyAndAddsNothing) {
    AddBreak("0004 if (R[5] ==");
    EXPECT_EQ(form->BreakList->topLevelItemCount(), 0);
    EXPECT_FALSE(form->MessageLabel->text().isEmpty());
    EXPECT_EQ(form->BreakEdit->text().toStdString(), "0004 if (R[5] =="); // kept for mending
    AddBreak("watch ram:0100-0101");
    ASSERT_EQ(form->BreakList->topLevelItemCount(), 1);
    EXPECT_TRUE(form->MessageLabel->text().isEmpty());
}

TEST_F(Debugger, AWatchpointStopsWithTheOldAndNewValueInView) {
    AddBreak("watch reg:05");
    ASSERT_EQ(form->BreakList->topLevelItemCount(), 1);
    g_debug.MainTop = 0x20; // R5 out of view
    Key(Qt::Key_F5);
    EXPECT_LT(TickWhileRunning(10), 10);
    EXPECT_EQ(g_cpu.PC, 5); // after the ld r5,r70 that wrote it
    EXPECT_NE(StopText().find("00 -> 42"), std::string::npos) << StopText();
    EXPECT_EQ(g_debug.MainTop, 0);
    EXPECT_EQ(form->BreakList->topLevelItem(0)->text(2).toStdString(), "1");
}

TEST_F(Debugger, ClickingAnAddressInTheListingTogglesABreakpoint) {
    ClickCell(form->ListPaintBox, 1, 2);
    EXPECT_NE(BreakAt(2), 0);
    EXPECT_EQ(form->BreakList->topLevelItemCount(), 1);
    ClickCell(form->ListPaintBox, 1, 2);
    EXPECT_EQ(BreakAt(2), 0);
    EXPECT_EQ(form->BreakList->topLevelItemCount(), 0);
    // F9: the first row.
    Key(Qt::Key_F9);
    EXPECT_NE(BreakAt(g_debug.ListTop), 0);
}

TEST_F(Debugger, ALoggingBreakpointFillsTheLogAndRunsOn) {
    AddBreak("0005 log r5={R[5]}");
    ASSERT_EQ(form->BreakList->topLevelItemCount(), 1);
    Key(Qt::Key_F5);
    EXPECT_EQ(TickWhileRunning(2), 2); // it does not stop
    Key(Qt::Key_F6);
    EXPECT_EQ(form->LogText->toPlainText().toStdString(), "r5=42");
}

// --- Stop line, marks, rejected line ----------------------------------------------------------

TEST_F(Debugger, TheStopLineSaysWhenTheProcessorWaits) {
    form->hide();
    g_cpu.WAIT = 1;
    form->show();
    EXPECT_EQ(StopText(), "stopped by F3; the processor is in wai");
}

TEST_F(Debugger, AStepMarksTheChangedValuesInRed) {
    g_cpu.PC = 4; // ld r5,r70
    g_debug.ListTop = 4;
    auto redPixels = [](QWidget* w) {
        const QImage image = w->grab().toImage();
        int red = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 80 && c.blue() < 80) ++red;
            }
        return red;
    };
    EXPECT_EQ(redPixels(form->MainPaintBox), 0);
    Key(Qt::Key_F11);
    EXPECT_GT(redPixels(form->MainPaintBox), 0); // R5
    EXPECT_GT(redPixels(form->RegPaintBox), 0);  // PC
    EXPECT_EQ(redPixels(form->BinPaintBox), 0);  // no RAM byte changed
}

TEST_F(Debugger, ARejectedLineIsExplainedAndTheCaretRuleStays) {
    ClickCell(form->ListPaintBox, 8, 1);
    ASSERT_EQ(g_debug.EditMode, kEditInstruction);
    QTest::keyClicks(form->ListEdit, QStringLiteral("ld r5,zz"));
    QTest::keyClick(form->ListEdit, Qt::Key_Return);
    EXPECT_EQ(g_debug.EditMode, kEditInstruction);
    EXPECT_EQ(form->ListEdit->cursorPosition(), 6);
    EXPECT_NE(form->MessageLabel->text().toStdString().find("cannot assemble 'ld'"),
              std::string::npos);
    form->ListEdit->setText(QStringLiteral("ld r5,r70"));
    QTest::keyClick(form->ListEdit, Qt::Key_Return);
    EXPECT_EQ(g_debug.EditMode, kEditNone);
    EXPECT_TRUE(form->MessageLabel->text().isEmpty());
}

} // namespace
