// The debug window: the disassembly, registers, main register file and hex editor panes, and
// the run controls (single step and step back, a number of steps, run to a breakpoint). While it is
// visible the run loop executes nothing, unless Run lets the processor go on with the window open
// (Pause or a stop ends that); hiding it lets the processor run on after a short delay. Around
// those: the breakpoint and watchpoint list, the call stack, the history of the last steps, the
// log of the logging breakpoints, the stepping buttons and the line saying why the processor
// stopped.
#pragma once

#include "debug/Break.h"
#include "debug/DebugPanes.h"

#include <QColor>
#include <QFont>
#include <QGroupBox>
#include <QLineEdit>
#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QListWidget;
class QPainter;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QTimer;
class QTreeWidget;
class QValidator;

// A group box whose caption colour can be set and which reports clicks on itself.
class TDebugGroupBox : public QGroupBox {
    Q_OBJECT
public:
    TDebugGroupBox(const QString& caption, QWidget* parent);
    void SetCaptionColor(const QColor& colour);
    QColor CaptionColor() const;

    std::function<void()> OnClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

// A paint box: the owner draws it and receives its mouse presses (X and Y in pixels).
class TDebugPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TDebugPaintBox(QWidget* parent);

    std::function<void(QPainter& painter)> OnPaint;
    std::function<void(int x, int y)> OnMouseDown;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// An edit field with an upper-case mode and a key handler that sees the keys first: when it
// returns true the key is used up, otherwise the field handles it as usual.
class TDebugEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TDebugEdit(QWidget* parent);
    void SetUpperCase(bool upper);
    bool UpperCase() const { return Upper; }

    std::function<bool(int key)> OnKeyDown;
    std::function<void()> OnClick;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool Upper = false;
    QValidator* UpperCaseValidator = nullptr; // owned by the field, made on first use
};

// Key code of the panes' key handlers for a Qt key (0 for keys they do not know).
int DebugKeyOf(int qtKey);

class TDebugForm : public QWidget {
    Q_OBJECT
public:
    explicit TDebugForm(QWidget* parent = nullptr);
    ~TDebugForm() override;

    // Controls.
    TDebugGroupBox* ListGroupBox;
    TDebugPaintBox* ListPaintBox;
    QScrollBar* ListScrollBar;
    TDebugEdit* ListEdit;
    TDebugGroupBox* RegGroupBox;
    TDebugPaintBox* RegPaintBox;
    QScrollBar* RegScrollBar;
    TDebugEdit* RegEdit;
    TDebugGroupBox* StepGroupBox;
    QPushButton* StepButton;
    QPushButton* StepBackButton; // "Back", beside StepButton: undoes the last step
    TDebugGroupBox* TraceGroupBox;
    TDebugEdit* TraceEdit;
    QPushButton* TraceButton;
    TDebugGroupBox* BpGroupBox;
    TDebugEdit* BpEdit;
    QPushButton* BpButton;
    TDebugGroupBox* MainGroupBox;
    TDebugPaintBox* MainPaintBox;
    QScrollBar* MainScrollBar;
    TDebugEdit* MainEdit;
    TDebugGroupBox* BinGroupBox;
    TDebugPaintBox* BinPaintBox;
    QScrollBar* BinScrollBar;
    TDebugEdit* BinEdit;

    // Around the seed's panes.
    QLabel* StopLabel;    // why the processor stopped, and whether it waits (wai) or is off
    QLabel* MessageLabel; // why the last line typed over the listing was rejected
    QPushButton* StepIntoButton;
    QPushButton* StepOverButton;
    QPushButton* StepOutButton;
    QPushButton* RunButton;
    QPushButton* PauseButton;
    TDebugGroupBox* BreakGroupBox;
    QTreeWidget* BreakList; // one row per breakpoint or watchpoint: on, where, hits, condition
    QLineEdit* BreakEdit;   // ADDR, a label, ADDR if COND, or a watchpoint
    QPushButton* BreakAddButton;
    QPushButton* BreakRemoveButton;
    TDebugGroupBox* StackGroupBox;
    QListWidget* StackList;
    TDebugGroupBox* HistoryGroupBox;
    QListWidget* HistoryList;
    TDebugGroupBox* LogGroupBox;
    QPlainTextEdit* LogText;

    // The font of the panes and edit fields, and the character-cell grid of a paint box.
    const QFont& PaneFont() const { return PaneFontValue; }
    CellGrid Grid(const QWidget* paintBox) const;

    // Shows the window and brings it to the front (F3, or a stop of the run loop). With the
    // window open and the processor running, it stops the processor.
    void ShowDebugger();
    // The run loop stopped (a step count, a breakpoint, a watchpoint, a finished step over).
    void LoopStopped();

    // Event handlers.
    void DebugCreate();
    void DebugShow();
    void DebugHide();

    void ListGroupBoxClick();
    void ListBoxScroll(int position);
    void ListPaintBoxMouseDown(int x, int y);
    void ListPaintBoxPaint(QPainter& painter);
    bool ListEditKeyDown(int key);
    void ListEditChange();

    void RegGroupBoxClick();
    void RegBoxScroll(int position);
    void RegPaintBoxMouseDown(int x, int y);
    void RegPaintBoxPaint(QPainter& painter);
    bool RegEditKeyDown(int key);
    void RegEditChange();

    void MainGroupBoxClick();
    void MainBoxScroll(int position);
    void MainPaintBoxMouseDown(int x, int y);
    void MainPaintBoxPaint(QPainter& painter);
    bool MainEditKeyDown(int key);
    void MainEditChange();

    void BinGroupBoxClick();
    void BinBoxScroll(int position);
    void BinPaintBoxMouseDown(int x, int y);
    void BinPaintBoxPaint(QPainter& painter);
    bool BinEditKeyDown(int key);
    void BinEditChange();

    void StepGroupBoxClick();
    void StepButtonClick();
    void StepBackButtonClick();
    void TraceGroupBoxClick();
    void TraceButtonClick();
    void TraceEditChange();
    void BpGroupBoxClick();
    void BpButtonClick();
    void BpEditChange();

    // Stepping with the window open. Step into is a single step; step over and step out let the
    // run loop run until the step is done (or a breakpoint hits); Run lets it run until a
    // breakpoint, a watchpoint, Pause or F3 stops it.
    void StepIntoButtonClick();
    void StepOverButtonClick();
    void StepOutButtonClick();
    void RunButtonClick();
    void PauseButtonClick();
    // F9: a breakpoint at the listing's first row on or off.
    void ToggleBreakpointAtTop();

    void BreakAddButtonClick();
    void BreakRemoveButtonClick();
    void BreakListItemChanged(int id, bool enabled); // the On box of a row was clicked

    // Whether Run (or a step over or out) lets the processor run with the window open.
    bool Running() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    enum Pane { kListPane, kRegPane, kMainPane, kBinPane };

    void Activate(TDebugGroupBox* groupBox, QWidget* focus);
    void CloseEditor();
    void OpenEditor(Pane pane, const ClickResult& click);
    void FilterEdit(TDebugEdit* edit, int base);
    bool PaneKeyDown(Pane pane, int key);
    void EnterDone(Pane pane, const EnterResult& result);
    PaneDrawing Drawing(Pane pane) const;
    void SetScroll(Pane pane, const ScrollSetup& scroll);
    void Redraw(Pane pane);
    void RedrawAll();
    void PaintPane(Pane pane, QPainter& painter);

    TDebugGroupBox* GroupOf(Pane pane) const;
    TDebugPaintBox* PaintBoxOf(Pane pane) const;
    QScrollBar* ScrollBarOf(Pane pane) const;
    TDebugEdit* EditOf(Pane pane) const;

    // The processor stopped with the window visible (a breakpoint, Pause, F3): the listing
    // moves to PC and every pane shows the machine as it is now.
    void Stopped();
    // Lets the run loop run with the window open, after a picture for the change marks.
    void RunVisible();
    void ShowWatchedByte(WatchArea area, uint16_t address);
    void UpdateStopLine();
    void UpdateSidePanes();
    void RunningTick(); // while running: the panes follow the machine, the log grows

    bool m_filling = false;    // the breakpoint list is being filled: not the user's changes
    bool m_stopByLoop = false; // the run loop stopped (not F3)
    bool m_keepMarks = false;  // the next show keeps the change marks of the run it ends
    std::string m_stopReason;
    size_t m_logShown = 0; // lines of BreakLog() in the log pane
    std::string m_logLast; // the last of them, to see when the engine's log moved on

    QTimer* RunningTimer;
    QFont PaneFontValue;
    QColor TextColour;
    QColor PaneColour;
};

// The one debug window, while it exists.
extern TDebugForm* DebugForm;
