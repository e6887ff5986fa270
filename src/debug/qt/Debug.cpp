// The debug window: layout, the shared rules of its panes (activation, in-place editor, digit
// filter, scrolling keys), the run controls and its showing and hiding.
#include "debug/qt/Debug.h"

#include "core/Cpu.h"
#include "debug/Break.h"
#include "debug/Symbols.h"
#include "host/Report.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"

#include <QApplication>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QValidator>
#include <algorithm>

TDebugForm* DebugForm = nullptr;

namespace {

const QColor kActiveCaption(0, 0, 0xFF);
const QColor kEditorColour(0xFF, 0xFF, 0x00);
const QColor kWhiteCell(0xFF, 0xFF, 0xFF);
const QColor kSilverCell(0xC0, 0xC0, 0xC0);
const QColor kPcRow(0xC8, 0xE6, 0xFF);          // the row of the instruction about to execute
const QColor kBreakpointCell(0xD0, 0x20, 0x20); // the address of a row with a breakpoint
const QColor kBreakpointOffCell(0xF0, 0xB0, 0xB0);
const QColor kChangedText(0xD0, 0x00, 0x00); // a value the last step or run changed

// The window grows right of and below the seed's panes, which keep their places.
constexpr int kFormWidth = 1001;
constexpr int kFormHeight = 700;
constexpr int kRunningRefreshMs = 100;
constexpr int kHistoryShown = 256; // steps of the history pane

// Turns every letter to upper case as it is typed or pasted, character for character, so the
// text keeps its length and the caret its place.
class TUpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar& ch : input) ch = ch.toUpper();
        return Acceptable;
    }
};

std::string Latin1(const QString& text) {
    return text.toLatin1().toStdString();
}

void ShowDebugFormHook() {
    if (DebugForm) DebugForm->LoopStopped();
}

} // namespace

// --- Controls ---------------------------------------------------------------------------------

TDebugGroupBox::TDebugGroupBox(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent) {
    setFocusPolicy(Qt::NoFocus);
}

void TDebugGroupBox::SetCaptionColor(const QColor& colour) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
}

QColor TDebugGroupBox::CaptionColor() const {
    return palette().color(QPalette::WindowText);
}

void TDebugGroupBox::mousePressEvent(QMouseEvent* event) {
    QGroupBox::mousePressEvent(event);
    if (OnClick) OnClick();
}

TDebugPaintBox::TDebugPaintBox(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void TDebugPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (OnPaint) OnPaint(painter);
}

void TDebugPaintBox::mousePressEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = event->position().toPoint();
    if (OnMouseDown) OnMouseDown(at.x(), at.y());
}

void TDebugPaintBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like the first.
    mousePressEvent(event);
}

TDebugEdit::TDebugEdit(QWidget* parent) : QLineEdit(parent) {
    setFocusPolicy(Qt::ClickFocus);
}

void TDebugEdit::SetUpperCase(bool upper) {
    Upper = upper;
    if (upper && !UpperCaseValidator) UpperCaseValidator = new TUpperCaseValidator(this);
    setValidator(upper ? UpperCaseValidator : nullptr);
}

void TDebugEdit::keyPressEvent(QKeyEvent* event) {
    const int key = DebugKeyOf(event->key());
    if (key != 0 && OnKeyDown && OnKeyDown(key)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TDebugEdit::mousePressEvent(QMouseEvent* event) {
    if (OnClick) OnClick();
    QLineEdit::mousePressEvent(event);
}

int DebugKeyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return kKeyEnter;
    case Qt::Key_Escape: return kKeyEscape;
    case Qt::Key_PageUp: return kKeyPageUp;
    case Qt::Key_PageDown: return kKeyPageDown;
    case Qt::Key_End: return kKeyEnd;
    case Qt::Key_Home: return kKeyHome;
    case Qt::Key_Left: return kKeyLeft;
    case Qt::Key_Up: return kKeyUp;
    case Qt::Key_Right: return kKeyRight;
    case Qt::Key_Down: return kKeyDown;
    default: return 0;
    }
}

// --- The window -------------------------------------------------------------------------------

TDebugForm::TDebugForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Debug Window"));
    setFixedSize(kFormWidth, kFormHeight);

    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPixelSize(11);
    formFont.setStyleHint(QFont::SansSerif);
    setFont(formFont);

    PaneFontValue = QFont(QStringLiteral("Courier"));
    PaneFontValue.setPixelSize(13);
    PaneFontValue.setStyleHint(QFont::TypeWriter);
    PaneFontValue.setFixedPitch(true);

    TextColour = QApplication::palette().color(QPalette::WindowText);
    PaneColour = palette().color(QPalette::Window);

    auto group = [this](const char* caption, int x, int y, int w, int h) {
        auto* box = new TDebugGroupBox(QString::fromLatin1(caption), this);
        box->setGeometry(x, y, w, h);
        return box;
    };
    auto paintBox = [this](TDebugGroupBox* box, int x, int y, int w, int h, Pane pane) {
        auto* pb = new TDebugPaintBox(box);
        pb->setGeometry(x, y, w, h);
        pb->setFont(PaneFontValue);
        pb->OnPaint = [this, pane](QPainter& p) {
            switch (pane) {
            case kListPane: ListPaintBoxPaint(p); break;
            case kRegPane: RegPaintBoxPaint(p); break;
            case kMainPane: MainPaintBoxPaint(p); break;
            case kBinPane: BinPaintBoxPaint(p); break;
            }
        };
        return pb;
    };
    auto scrollBar = [this](TDebugGroupBox* box, int x, int y, int w, int h) {
        auto* sb = new QScrollBar(Qt::Vertical, box);
        sb->setGeometry(x, y, w, h);
        // The caption colour is the group box's window-text colour; the arrows keep their own.
        QPalette p = sb->palette();
        p.setColor(QPalette::WindowText, TextColour);
        sb->setPalette(p);
        sb->setFocusPolicy(Qt::NoFocus);
        sb->setSingleStep(1);
        return sb;
    };
    auto paneEdit = [this](TDebugGroupBox* box) {
        auto* e = new TDebugEdit(box);
        e->setFont(PaneFontValue);
        e->setFrame(false);
        // The text starts at the editor's left edge, on the pane's character cells.
        e->setTextMargins(-2, 0, -3, 0);
        QPalette p = e->palette();
        p.setColor(QPalette::Base, kEditorColour);
        p.setColor(QPalette::Text, Qt::black);
        e->setPalette(p);
        e->setGeometry(0, 0, 0, QFontMetrics(PaneFontValue).height());
        return e;
    };
    auto button = [](TDebugGroupBox* box) {
        auto* b = new QPushButton(QStringLiteral("Run"), box);
        b->setGeometry(80, 16, 57, 25);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        return b;
    };

    ListGroupBox = group(" Disassembly ", 8, 8, 313, 161);
    ListPaintBox = paintBox(ListGroupBox, 8, 16, 273, 137, kListPane);
    ListScrollBar = scrollBar(ListGroupBox, 287, 16, 17, 137);
    ListEdit = paneEdit(ListGroupBox);

    RegGroupBox = group(" Registers ", 328, 8, 121, 161);
    RegPaintBox = paintBox(RegGroupBox, 8, 16, 81, 137, kRegPane);
    RegScrollBar = scrollBar(RegGroupBox, 96, 16, 17, 137);
    RegEdit = paneEdit(RegGroupBox);
    RegEdit->SetUpperCase(true);

    StepGroupBox = group(" Single step ", 456, 8, 153, 49);
    StepGroupBox->setFocusPolicy(Qt::ClickFocus);
    StepButton = button(StepGroupBox);
    // Step back sits left of Run in the same box; the box's other controls keep their places.
    StepBackButton = button(StepGroupBox);
    StepBackButton->setText(QStringLiteral("Back"));
    StepBackButton->setGeometry(16, 16, 57, 25);

    TraceGroupBox = group(" Number of steps (decimal) ", 456, 64, 153, 49);
    TraceEdit = new TDebugEdit(TraceGroupBox);
    TraceEdit->setGeometry(16, 16, 49, 21);
    TraceEdit->setFont(PaneFontValue);
    TraceEdit->SetUpperCase(true);
    TraceButton = button(TraceGroupBox);

    BpGroupBox = group(" Breakpoint address (hex) ", 456, 120, 153, 49);
    BpEdit = new TDebugEdit(BpGroupBox);
    BpEdit->setGeometry(16, 16, 49, 21);
    BpEdit->setFont(PaneFontValue);
    BpEdit->SetUpperCase(true);
    BpButton = button(BpGroupBox);

    MainGroupBox = group(" Main Register File ", 8, 176, 601, 137);
    MainPaintBox = paintBox(MainGroupBox, 8, 16, 561, 113, kMainPane);
    MainScrollBar = scrollBar(MainGroupBox, 575, 16, 17, 113);
    MainEdit = paneEdit(MainGroupBox);
    MainEdit->SetUpperCase(true);

    BinGroupBox = group(" Hex Editor ", 8, 320, 601, 161);
    BinPaintBox = paintBox(BinGroupBox, 8, 16, 561, 137, kBinPane);
    BinScrollBar = scrollBar(BinGroupBox, 576, 16, 17, 137);
    BinEdit = paneEdit(BinGroupBox);
    BinEdit->SetUpperCase(true);

    // Right of the seed's panes: breakpoints and watchpoints, the call stack, the history.
    auto listFont = [this](QWidget* w) {
        w->setFont(PaneFontValue);
        w->setFocusPolicy(Qt::ClickFocus);
    };
    BreakGroupBox = group(" Breakpoints and watchpoints ", 616, 8, 377, 217);
    BreakList = new QTreeWidget(BreakGroupBox);
    BreakList->setGeometry(8, 16, 361, 161);
    BreakList->setColumnCount(4);
    BreakList->setHeaderLabels({QStringLiteral("On"), QStringLiteral("Where"),
                                QStringLiteral("Hits"), QStringLiteral("Condition or action")});
    BreakList->setRootIsDecorated(false);
    BreakList->setAllColumnsShowFocus(true);
    BreakList->header()->setStretchLastSection(true);
    BreakList->setColumnWidth(0, 34);
    BreakList->setColumnWidth(1, 180);
    BreakList->setColumnWidth(2, 40);
    listFont(BreakList);
    BreakEdit = new QLineEdit(BreakGroupBox);
    BreakEdit->setGeometry(8, 184, 241, 25);
    BreakEdit->setFont(PaneFontValue);
    BreakEdit->setFocusPolicy(Qt::ClickFocus);
    BreakEdit->setPlaceholderText(QStringLiteral("ADDR, label or ADDR if COND"));
    BreakAddButton = new QPushButton(QStringLiteral("Add"), BreakGroupBox);
    BreakAddButton->setGeometry(253, 184, 53, 25);
    BreakRemoveButton = new QPushButton(QStringLiteral("Remove"), BreakGroupBox);
    BreakRemoveButton->setGeometry(310, 184, 59, 25);
    for (QPushButton* b : {BreakAddButton, BreakRemoveButton}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
    }

    StackGroupBox = group(" Call stack ", 616, 232, 377, 121);
    StackList = new QListWidget(StackGroupBox);
    StackList->setGeometry(8, 16, 361, 97);
    listFont(StackList);

    HistoryGroupBox = group(" History ", 616, 360, 377, 121);
    HistoryList = new QListWidget(HistoryGroupBox);
    HistoryList->setGeometry(8, 16, 361, 97);
    listFont(HistoryList);

    // Below them: why the processor stopped, the stepping buttons, the log.
    StopLabel = new QLabel(this);
    StopLabel->setGeometry(8, 488, 985, 21);
    StopLabel->setFont(PaneFontValue);
    auto runButton = [this](const char* caption, int x, int w) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setGeometry(x, 512, w, 25);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        return b;
    };
    StepIntoButton = runButton("Step into (F11)", 8, 105);
    StepOverButton = runButton("Step over (F10)", 117, 105);
    StepOutButton = runButton("Step out (Shift+F11)", 226, 129);
    RunButton = runButton("Run (F5)", 359, 81);
    PauseButton = runButton("Pause (F6)", 444, 81);
    MessageLabel = new QLabel(this);
    MessageLabel->setGeometry(533, 512, 460, 25);
    MessageLabel->setWordWrap(true);
    QPalette mp = MessageLabel->palette();
    mp.setColor(QPalette::WindowText, kChangedText);
    MessageLabel->setPalette(mp);

    LogGroupBox = group(" Log ", 8, 544, 985, 148);
    LogText = new QPlainTextEdit(LogGroupBox);
    LogText->setGeometry(8, 16, 969, 124);
    LogText->setReadOnly(true);
    LogText->setMaximumBlockCount(5000);
    listFont(LogText);

    RunningTimer = new QTimer(this);
    RunningTimer->setInterval(kRunningRefreshMs);

    // Events to handlers.
    ListGroupBox->OnClick = [this] { ListGroupBoxClick(); };
    RegGroupBox->OnClick = [this] { RegGroupBoxClick(); };
    MainGroupBox->OnClick = [this] { MainGroupBoxClick(); };
    BinGroupBox->OnClick = [this] { BinGroupBoxClick(); };
    StepGroupBox->OnClick = [this] { StepGroupBoxClick(); };
    TraceGroupBox->OnClick = [this] { TraceGroupBoxClick(); };
    BpGroupBox->OnClick = [this] { BpGroupBoxClick(); };
    TraceEdit->OnClick = [this] { TraceGroupBoxClick(); };
    BpEdit->OnClick = [this] { BpGroupBoxClick(); };

    ListPaintBox->OnMouseDown = [this](int x, int y) { ListPaintBoxMouseDown(x, y); };
    RegPaintBox->OnMouseDown = [this](int x, int y) { RegPaintBoxMouseDown(x, y); };
    MainPaintBox->OnMouseDown = [this](int x, int y) { MainPaintBoxMouseDown(x, y); };
    BinPaintBox->OnMouseDown = [this](int x, int y) { BinPaintBoxMouseDown(x, y); };

    // actionTriggered comes from the user only, with the new position already in
    // sliderPosition; the positions the panes set while drawing do not come back here.
    connect(ListScrollBar, &QScrollBar::actionTriggered, this,
            [this] { ListBoxScroll(ListScrollBar->sliderPosition()); });
    connect(RegScrollBar, &QScrollBar::actionTriggered, this,
            [this] { RegBoxScroll(RegScrollBar->sliderPosition()); });
    connect(MainScrollBar, &QScrollBar::actionTriggered, this,
            [this] { MainBoxScroll(MainScrollBar->sliderPosition()); });
    connect(BinScrollBar, &QScrollBar::actionTriggered, this,
            [this] { BinBoxScroll(BinScrollBar->sliderPosition()); });

    ListEdit->OnKeyDown = [this](int key) { return ListEditKeyDown(key); };
    RegEdit->OnKeyDown = [this](int key) { return RegEditKeyDown(key); };
    MainEdit->OnKeyDown = [this](int key) { return MainEditKeyDown(key); };
    BinEdit->OnKeyDown = [this](int key) { return BinEditKeyDown(key); };
    connect(ListEdit, &QLineEdit::textChanged, this, [this] { ListEditChange(); });
    connect(RegEdit, &QLineEdit::textChanged, this, [this] { RegEditChange(); });
    connect(MainEdit, &QLineEdit::textChanged, this, [this] { MainEditChange(); });
    connect(BinEdit, &QLineEdit::textChanged, this, [this] { BinEditChange(); });
    connect(TraceEdit, &QLineEdit::textChanged, this, [this] { TraceEditChange(); });
    connect(BpEdit, &QLineEdit::textChanged, this, [this] { BpEditChange(); });

    connect(StepButton, &QPushButton::clicked, this, [this] { StepButtonClick(); });
    connect(StepBackButton, &QPushButton::clicked, this, [this] { StepBackButtonClick(); });
    connect(TraceButton, &QPushButton::clicked, this, [this] { TraceButtonClick(); });
    connect(BpButton, &QPushButton::clicked, this, [this] { BpButtonClick(); });

    connect(StepIntoButton, &QPushButton::clicked, this, [this] { StepIntoButtonClick(); });
    connect(StepOverButton, &QPushButton::clicked, this, [this] { StepOverButtonClick(); });
    connect(StepOutButton, &QPushButton::clicked, this, [this] { StepOutButtonClick(); });
    connect(RunButton, &QPushButton::clicked, this, [this] { RunButtonClick(); });
    connect(PauseButton, &QPushButton::clicked, this, [this] { PauseButtonClick(); });
    connect(BreakAddButton, &QPushButton::clicked, this, [this] { BreakAddButtonClick(); });
    connect(BreakEdit, &QLineEdit::returnPressed, this, [this] { BreakAddButtonClick(); });
    connect(BreakRemoveButton, &QPushButton::clicked, this, [this] { BreakRemoveButtonClick(); });
    connect(RunningTimer, &QTimer::timeout, this, [this] { RunningTick(); });
    connect(BreakList, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (m_filling || column != 0) return;
        BreakListItemChanged(item->data(0, Qt::UserRole).toInt(),
                             item->checkState(0) == Qt::Checked);
    });
    // The window's own keys; the calculator window has its own (F3, F8, Shift+F10, ...) and
    // sees none of these, since a shortcut here works only while this window is active.
    auto shortcut = [this](QKeySequence keys, std::function<void()> action) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, std::move(action));
    };
    shortcut(QKeySequence(Qt::Key_F11), [this] { StepIntoButtonClick(); });
    shortcut(QKeySequence(Qt::Key_F10), [this] { StepOverButtonClick(); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F11), [this] { StepOutButtonClick(); });
    shortcut(QKeySequence(Qt::Key_F5), [this] { RunButtonClick(); });
    shortcut(QKeySequence(Qt::Key_F6), [this] { PauseButtonClick(); });
    shortcut(QKeySequence(Qt::Key_Pause), [this] { PauseButtonClick(); });
    shortcut(QKeySequence(Qt::Key_F9), [this] { ToggleBreakpointAtTop(); });

    // Centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }

    DebugCreate();
    DebugForm = this;
    ShowDebuggerHook = ShowDebugFormHook;
}

TDebugForm::~TDebugForm() {
    if (DebugForm == this) {
        DebugForm = nullptr;
        ShowDebuggerHook = nullptr;
    }
}

CellGrid TDebugForm::Grid(const QWidget* paintBox) const {
    const QFontMetrics fm(PaneFontValue);
    return MakeCellGrid(fm.horizontalAdvance(QLatin1Char('0')), fm.height(), paintBox->width(),
                        paintBox->height());
}

void TDebugForm::LoopStopped() {
    m_stopByLoop = true;
    ShowDebugger();
    m_stopByLoop = false;
}

bool TDebugForm::Running() const {
    return isVisible() && g_run.StopRequest == 0;
}

void TDebugForm::ShowDebugger() {
    if (isVisible()) {
        // Open already: a stop ends a run with the window open (F3 pauses it); F3 without one
        // changes nothing.
        if (m_stopByLoop) {
            Stopped();
        } else if (Running()) {
            PauseButtonClick();
        }
    } else {
        show();
    }
    // The offscreen platform of the tests has no stacking order to change.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) raise();
    activateWindow();
}

// --- Window events ----------------------------------------------------------------------------

void TDebugForm::DebugCreate() {
    g_debug = DebugState{};
    CloseEditor();
}

void TDebugForm::DebugShow() {
    DebuggerShown();
    g_debug.ListTop = g_cpu.PC;
    StepGroupBox->setFocus();
    // A stop of a run the window started keeps its marks; F3 shows the machine unmarked.
    if (!m_keepMarks) DebugDropSnapshot();
    m_keepMarks = false;
    Stopped();
}

void TDebugForm::Stopped() {
    RunningTimer->stop();
    g_debug.ListTop = g_cpu.PC;
    const StopReason& stop = LastStop();
    m_stopReason =
        stop.Kind == StopKind::None ? std::string("stopped by F3") : StopText(stop, &g_symbols);
    // A watchpoint's byte is brought into view, with its change marked.
    if (stop.Kind == StopKind::Watchpoint) ShowWatchedByte(stop.Area, stop.Address);
    UpdateStopLine();
    UpdateSidePanes();
    RedrawAll();
}

void TDebugForm::ShowWatchedByte(WatchArea area, uint16_t address) {
    if (area == WatchArea::Ram) {
        const int rows = BinShownRows(Grid(BinPaintBox).Rows);
        if (address < g_debug.HexTop || address >= g_debug.HexTop + 16 * rows)
            g_debug.HexTop = static_cast<uint16_t>(
                std::min<int>(address & 0xFFF0, std::max(kRamBytes - 16 * rows, 0)));
    } else if (area == WatchArea::Register) {
        const int rows = MainShownRows(Grid(MainPaintBox).Rows);
        if (address < g_debug.MainTop || address >= g_debug.MainTop + 16 * rows)
            g_debug.MainTop = static_cast<uint16_t>(
                std::min<int>(address & 0x70, std::max(kRegBytes - 16 * rows, 0)));
    }
}

void TDebugForm::UpdateStopLine() {
    const bool running = Running();
    StopLabel->setText(
        QString::fromStdString(running ? std::string("running") : StopLine(m_stopReason)));
    for (QPushButton* b : {StepButton, StepIntoButton, StepOverButton, StepOutButton, RunButton})
        b->setEnabled(!running);
    StepBackButton->setEnabled(!running && CanStepBack());
    PauseButton->setEnabled(running);
}

void TDebugForm::UpdateSidePanes() {
    // The breakpoint and watchpoint list, kept on the row the user chose.
    const QTreeWidgetItem* current = BreakList->currentItem();
    const int currentId = current ? current->data(0, Qt::UserRole).toInt() : 0;
    m_filling = true;
    BreakList->clear();
    for (const BreakRow& row : BreakRows()) {
        auto* item = new QTreeWidgetItem(BreakList);
        item->setData(0, Qt::UserRole, row.Id);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.Enabled ? Qt::Checked : Qt::Unchecked);
        item->setText(1, QString::fromStdString(row.Where));
        item->setText(2, QString::number(row.Hits));
        item->setText(3, QString::fromStdString(row.Detail));
        if (row.Id == currentId) BreakList->setCurrentItem(item);
    }
    m_filling = false;

    StackList->clear();
    for (const CallFrame& frame : CallStack())
        StackList->addItem(QString::fromStdString(CallFrameLine(frame)));

    // The last steps, the latest at the bottom and in view.
    HistoryList->clear();
    for (const std::string& line : HistoryLines(kHistoryShown))
        HistoryList->addItem(QString::fromStdString(line));
    HistoryList->scrollToBottom();

    // Log lines not shown yet (the engine keeps the last kBreakLogLines; after it dropped some,
    // or was cleared, the pane starts again from what it holds).
    const std::vector<std::string>& log = BreakLog();
    if (m_logShown > log.size() ||
        (!log.empty() && m_logShown > 0 && m_logLast != log[m_logShown - 1])) {
        LogText->clear();
        m_logShown = 0;
    }
    for (; m_logShown < log.size(); ++m_logShown)
        LogText->appendPlainText(QString::fromStdString(log[m_logShown]));
    if (!log.empty()) m_logLast = log.back();
}

void TDebugForm::RunVisible() {
    DebugTakeSnapshot();
    ClearLastStop();
    MessageLabel->clear();
    g_run.StepCount = -1;
    g_run.BreakAddress = -1;
    g_run.ResumeDelay = 0;
    g_run.StopRequest = 0;
    RunningTimer->start();
    UpdateStopLine();
}

void TDebugForm::RunningTick() {
    if (!Running()) {
        RunningTimer->stop();
        return;
    }
    RedrawAll();
    UpdateSidePanes();
}

void TDebugForm::DebugHide() {
    // Editing ends; the editor is cleared as well, so no stale field shows at the next show.
    CloseEditor();
    RunningTimer->stop();
    ClearLastStop(); // the processor runs on: the next show says why it stopped then
    DebuggerHidden();
}

void TDebugForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) DebugShow();
}

void TDebugForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) DebugHide();
}

// --- Shared pane rules ------------------------------------------------------------------------

TDebugGroupBox* TDebugForm::GroupOf(Pane pane) const {
    switch (pane) {
    case kListPane: return ListGroupBox;
    case kRegPane: return RegGroupBox;
    case kMainPane: return MainGroupBox;
    default: return BinGroupBox;
    }
}

TDebugPaintBox* TDebugForm::PaintBoxOf(Pane pane) const {
    switch (pane) {
    case kListPane: return ListPaintBox;
    case kRegPane: return RegPaintBox;
    case kMainPane: return MainPaintBox;
    default: return BinPaintBox;
    }
}

QScrollBar* TDebugForm::ScrollBarOf(Pane pane) const {
    switch (pane) {
    case kListPane: return ListScrollBar;
    case kRegPane: return RegScrollBar;
    case kMainPane: return MainScrollBar;
    default: return BinScrollBar;
    }
}

TDebugEdit* TDebugForm::EditOf(Pane pane) const {
    switch (pane) {
    case kListPane: return ListEdit;
    case kRegPane: return RegEdit;
    case kMainPane: return MainEdit;
    default: return BinEdit;
    }
}

void TDebugForm::Activate(TDebugGroupBox* groupBox, QWidget* focus) {
    focus->setFocus();
    for (TDebugGroupBox* box : {ListGroupBox, RegGroupBox, StepGroupBox, TraceGroupBox, BpGroupBox,
                                MainGroupBox, BinGroupBox})
        box->SetCaptionColor(TextColour);
    groupBox->SetCaptionColor(kActiveCaption);
    CloseEditor();
}

void TDebugForm::CloseEditor() {
    g_debug.EditMode = kEditNone;
    for (TDebugEdit* edit : {ListEdit, RegEdit, MainEdit, BinEdit}) {
        edit->clear();
        edit->setGeometry(0, 0, 0, edit->height());
    }
    RedrawAll();
}

void TDebugForm::OpenEditor(Pane pane, const ClickResult& click) {
    TDebugEdit* edit = EditOf(pane);
    const QWidget* box = PaintBoxOf(pane);
    const CellGrid grid = Grid(box);
    edit->setGeometry(box->x() + click.Column * grid.CellWidth,
                      box->y() + click.Row * grid.CellHeight, click.Width * grid.CellWidth,
                      grid.CellHeight);
    edit->setMaxLength(click.Width);
    edit->SetUpperCase(click.UpperCase);
    edit->clear();
    edit->raise();
    edit->setFocus();
}

void TDebugForm::FilterEdit(TDebugEdit* edit, int base) {
    const std::string text = Latin1(edit->text());
    int start = edit->cursorPosition();
    int length = 0;
    if (edit->hasSelectedText()) {
        start = edit->selectionStart();
        length = static_cast<int>(edit->selectedText().size());
    }
    const FilteredText f = FilterDigits(text, base, start, length);
    if (f.Text.size() == text.size()) return;
    edit->setText(QString::fromStdString(f.Text));
    if (f.SelLength > 0)
        edit->setSelection(f.SelStart, f.SelLength);
    else
        edit->setCursorPosition(f.SelStart);
}

bool TDebugForm::PaneKeyDown(Pane pane, int key) {
    if (g_debug.EditMode == kEditNone && IsScrollKey(key)) {
        QScrollBar* sb = ScrollBarOf(pane);
        const int p = sb->value();
        const int n = ScrollKeyPosition(key, p, sb->minimum(), sb->maximum(), sb->pageStep());
        if (n != p) {
            switch (pane) {
            case kListPane: g_debug.ListTop = static_cast<uint16_t>(n); break;
            case kRegPane: g_debug.RegTop = static_cast<uint16_t>(n); break;
            case kMainPane: g_debug.MainTop = static_cast<uint16_t>(n * 16); break;
            case kBinPane: g_debug.HexTop = static_cast<uint16_t>(n * 16); break;
            }
            Redraw(pane);
        }
        return true;
    }
    if (key == kKeyEnter) {
        const std::string text = Latin1(EditOf(pane)->text());
        switch (pane) {
        case kListPane: EnterDone(pane, ListEnter(text)); break;
        case kRegPane: EnterDone(pane, RegEnter(text)); break;
        case kMainPane: EnterDone(pane, MainEnter(text)); break;
        case kBinPane: EnterDone(pane, BinEnter(text, Grid(BinPaintBox).Rows)); break;
        }
        return true;
    }
    if (key == kKeyEscape) {
        CloseEditor();
        return true;
    }
    return false;
}

void TDebugForm::EnterDone(Pane pane, const EnterResult& result) {
    MessageLabel->setText(QString::fromStdString(result.Message));
    if (result.Close)
        CloseEditor();
    else if (result.Caret >= 0)
        EditOf(pane)->setCursorPosition(result.Caret);
}

PaneDrawing TDebugForm::Drawing(Pane pane) const {
    const int rows = Grid(PaintBoxOf(pane)).Rows;
    switch (pane) {
    case kListPane: return ListDrawing(rows);
    case kRegPane: return RegDrawing(rows);
    case kMainPane: return MainDrawing(rows);
    default: return BinDrawing(rows);
    }
}

void TDebugForm::SetScroll(Pane pane, const ScrollSetup& scroll) {
    QScrollBar* sb = ScrollBarOf(pane);
    sb->setRange(scroll.Min, scroll.Max);
    sb->setValue(scroll.Position);
    if (scroll.LargeChange > 0) sb->setPageStep(scroll.LargeChange);
}

void TDebugForm::Redraw(Pane pane) {
    // The scroll bar is set up at once, so a key that follows before the paint scrolls from
    // the new position.
    SetScroll(pane, Drawing(pane).Scroll);
    PaintBoxOf(pane)->update();
}

void TDebugForm::RedrawAll() {
    for (Pane pane : {kListPane, kRegPane, kMainPane, kBinPane}) Redraw(pane);
    // Everything that can change the step history ends here (steps, edits, showing).
    StepBackButton->setEnabled(!Running() && CanStepBack());
}

void TDebugForm::PaintPane(Pane pane, QPainter& painter) {
    const PaneDrawing d = Drawing(pane);
    SetScroll(pane, d.Scroll);
    const QWidget* box = PaintBoxOf(pane);
    const CellGrid grid = Grid(box);
    const QFontMetrics fm(PaneFontValue);
    painter.fillRect(box->rect(), PaneColour);
    painter.setFont(PaneFontValue);
    // The row of the instruction about to execute is marked across the pane.
    for (const PaneCell& cell : d.Cells)
        if (cell.Shade == CellShade::PcRow)
            painter.fillRect(0, cell.Row * grid.CellHeight, box->width(), grid.CellHeight, kPcRow);
    for (const PaneCell& cell : d.Cells) {
        const int x = cell.Column * grid.CellWidth;
        const int y = cell.Row * grid.CellHeight;
        const int n = static_cast<int>(cell.Text.size());
        QColor back = PaneColour;
        QColor text = cell.Changed ? kChangedText : TextColour;
        switch (cell.Shade) {
        case CellShade::Pane: break;
        case CellShade::White: back = kWhiteCell; break;
        case CellShade::Silver: back = kSilverCell; break;
        case CellShade::PcRow: back = kPcRow; break;
        case CellShade::Breakpoint:
            back = kBreakpointCell;
            text = kWhiteCell;
            break;
        case CellShade::BreakpointOff: back = kBreakpointOffCell; break;
        }
        painter.setPen(text);
        painter.fillRect(x, y, n * grid.CellWidth, grid.CellHeight, back);
        // One character per cell, so the text stays on the grid the clicks and editors use.
        for (int i = 0; i < n; ++i)
            painter.drawText(x + i * grid.CellWidth, y + fm.ascent(),
                             QString(QLatin1Char(cell.Text[static_cast<size_t>(i)])));
    }
}

// --- Disassembly pane -------------------------------------------------------------------------

void TDebugForm::ListGroupBoxClick() {
    Activate(ListGroupBox, ListEdit);
}

void TDebugForm::ListBoxScroll(int position) {
    g_debug.ListTop = static_cast<uint16_t>(position);
    ListGroupBoxClick();
}

void TDebugForm::ListPaintBoxMouseDown(int x, int y) {
    ListGroupBoxClick();
    const CellGrid grid = Grid(ListPaintBox);
    const ClickResult click = ListClick(grid, CellColumn(grid, x), CellRow(grid, y));
    if (click.OpenEditor) OpenEditor(kListPane, click);
    if (click.Redraw) { // a breakpoint toggled
        Redraw(kListPane);
        UpdateSidePanes();
    }
}

void TDebugForm::ListPaintBoxPaint(QPainter& painter) {
    PaintPane(kListPane, painter);
}

bool TDebugForm::ListEditKeyDown(int key) {
    return PaneKeyDown(kListPane, key);
}

void TDebugForm::ListEditChange() {
    if (g_debug.EditMode == kEditListTop) FilterEdit(ListEdit, 16);
}

// --- Registers pane ---------------------------------------------------------------------------

void TDebugForm::RegGroupBoxClick() {
    Activate(RegGroupBox, RegEdit);
}

void TDebugForm::RegBoxScroll(int position) {
    g_debug.RegTop = static_cast<uint16_t>(position);
    RegGroupBoxClick();
}

void TDebugForm::RegPaintBoxMouseDown(int x, int y) {
    RegGroupBoxClick();
    const CellGrid grid = Grid(RegPaintBox);
    const ClickResult click = RegClick(grid, CellColumn(grid, x), CellRow(grid, y));
    if (click.OpenEditor) OpenEditor(kRegPane, click);
    if (click.Redraw) Redraw(kRegPane);
}

void TDebugForm::RegPaintBoxPaint(QPainter& painter) {
    PaintPane(kRegPane, painter);
}

bool TDebugForm::RegEditKeyDown(int key) {
    return PaneKeyDown(kRegPane, key);
}

void TDebugForm::RegEditChange() {
    FilterEdit(RegEdit, 16);
}

// --- Main register file pane ------------------------------------------------------------------

void TDebugForm::MainGroupBoxClick() {
    Activate(MainGroupBox, MainEdit);
}

void TDebugForm::MainBoxScroll(int position) {
    g_debug.MainTop = static_cast<uint16_t>(position * 16);
    MainGroupBoxClick();
}

void TDebugForm::MainPaintBoxMouseDown(int x, int y) {
    MainGroupBoxClick();
    const CellGrid grid = Grid(MainPaintBox);
    const ClickResult click = MainClick(grid, CellColumn(grid, x), CellRow(grid, y));
    if (click.OpenEditor) OpenEditor(kMainPane, click);
}

void TDebugForm::MainPaintBoxPaint(QPainter& painter) {
    PaintPane(kMainPane, painter);
}

bool TDebugForm::MainEditKeyDown(int key) {
    return PaneKeyDown(kMainPane, key);
}

void TDebugForm::MainEditChange() {
    FilterEdit(MainEdit, 16);
}

// --- Hex editor pane --------------------------------------------------------------------------

void TDebugForm::BinGroupBoxClick() {
    Activate(BinGroupBox, BinEdit);
}

void TDebugForm::BinBoxScroll(int position) {
    g_debug.HexTop = static_cast<uint16_t>(position * 16);
    BinGroupBoxClick();
}

void TDebugForm::BinPaintBoxMouseDown(int x, int y) {
    BinGroupBoxClick();
    const CellGrid grid = Grid(BinPaintBox);
    const ClickResult click = BinClick(grid, CellColumn(grid, x), CellRow(grid, y));
    if (click.OpenEditor) OpenEditor(kBinPane, click);
}

void TDebugForm::BinPaintBoxPaint(QPainter& painter) {
    PaintPane(kBinPane, painter);
}

bool TDebugForm::BinEditKeyDown(int key) {
    return PaneKeyDown(kBinPane, key);
}

void TDebugForm::BinEditChange() {
    if (g_debug.EditMode == kEditHexTop || g_debug.EditMode == kEditHexByte)
        FilterEdit(BinEdit, 16);
}

// --- Run controls -----------------------------------------------------------------------------

void TDebugForm::StepGroupBoxClick() {
    Activate(StepGroupBox, StepGroupBox);
}

void TDebugForm::StepButtonClick() {
    if (Running()) return;
    g_debug.EditMode = kEditNone;
    DebugTakeSnapshot();
    DebugStepInto(); // CpuStep, recorded in the step history and the history pane
    g_debug.ListTop = g_cpu.PC;
    m_stopReason = StopText(LastStop(), &g_symbols);
    UpdateStopLine();
    UpdateSidePanes();
    StepGroupBoxClick();
}

void TDebugForm::StepBackButtonClick() {
    if (Running()) return;
    g_debug.EditMode = kEditNone;
    DebugTakeSnapshot();
    const std::string why = StepBack();
    if (!why.empty()) ReportWarning("Cannot step back: " + why);
    g_debug.ListTop = g_cpu.PC;
    m_stopReason = why.empty() ? "step back" : "";
    UpdateStopLine();
    UpdateSidePanes();
    StepGroupBoxClick();
}

void TDebugForm::StepIntoButtonClick() {
    StepButtonClick();
}

void TDebugForm::StepOverButtonClick() {
    if (Running()) return;
    StepGroupBoxClick();
    DebugTakeSnapshot();
    ClearLastStop();
    if (DebugStepOver()) {
        RunVisible(); // a call: the run loop runs it; its stop shows here
        return;
    }
    g_debug.ListTop = g_cpu.PC;
    m_stopReason = StopText(LastStop(), &g_symbols);
    UpdateStopLine();
    UpdateSidePanes();
    RedrawAll();
}

void TDebugForm::StepOutButtonClick() {
    if (Running()) return;
    StepGroupBoxClick();
    DebugStepOut();
    RunVisible();
}

void TDebugForm::RunButtonClick() {
    if (Running()) return;
    StepGroupBoxClick();
    RunVisible();
}

void TDebugForm::PauseButtonClick() {
    if (!Running()) return;
    DebugCancelStep();
    DebugPause();
    Stopped();
}

void TDebugForm::ToggleBreakpointAtTop() {
    BreakToggle(g_debug.ListTop);
    UpdateSidePanes();
    Redraw(kListPane);
}

void TDebugForm::BreakAddButtonClick() {
    std::string error;
    if (BreakLineAdd(Latin1(BreakEdit->text()), error) != 0) {
        BreakEdit->clear();
        MessageLabel->clear();
    } else {
        MessageLabel->setText(QString::fromStdString(error));
    }
    UpdateSidePanes();
    Redraw(kListPane);
}

void TDebugForm::BreakRemoveButtonClick() {
    const QTreeWidgetItem* item = BreakList->currentItem();
    if (!item) return;
    BreakItemRemove(item->data(0, Qt::UserRole).toInt());
    UpdateSidePanes();
    Redraw(kListPane);
}

void TDebugForm::BreakListItemChanged(int id, bool enabled) {
    BreakItemEnable(id, enabled);
    Redraw(kListPane);
}

void TDebugForm::TraceGroupBoxClick() {
    Activate(TraceGroupBox, TraceEdit);
}

void TDebugForm::TraceButtonClick() {
    const int32_t n = DigitTextValue(Latin1(TraceEdit->text()), 10);
    TraceGroupBoxClick();
    if (n > 0) {
        g_run.BreakAddress = -1;
        g_run.StepCount = n;
        DebugTakeSnapshot();
        ClearLastStop();
        m_keepMarks = true;
        hide();
    }
}

void TDebugForm::TraceEditChange() {
    FilterEdit(TraceEdit, 10);
}

void TDebugForm::BpGroupBoxClick() {
    Activate(BpGroupBox, BpEdit);
}

void TDebugForm::BpButtonClick() {
    const int32_t a = DigitTextValue(Latin1(BpEdit->text()), 16);
    BpGroupBoxClick();
    g_run.BreakAddress = a;
    g_run.StepCount = -1;
    DebugTakeSnapshot();
    ClearLastStop();
    m_keepMarks = true;
    hide();
}

void TDebugForm::BpEditChange() {
    FilterEdit(BpEdit, 16);
}
