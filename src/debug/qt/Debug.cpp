// The debug window: layout, the shared rules of its panes (activation, in-place editor, digit
// filter, scrolling keys), the run controls and its showing and hiding.
#include "debug/qt/Debug.h"

#include "core/Cpu.h"
#include "host/Report.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QValidator>

TDebugForm* DebugForm = nullptr;

namespace {

const QColor kActiveCaption(0, 0, 0xFF);
const QColor kEditorColour(0xFF, 0xFF, 0x00);
const QColor kWhiteCell(0xFF, 0xFF, 0xFF);
const QColor kSilverCell(0xC0, 0xC0, 0xC0);

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
    if (DebugForm) DebugForm->ShowDebugger();
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
    setFixedSize(625, 514);

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

void TDebugForm::ShowDebugger() {
    show();
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
    RedrawAll();
}

void TDebugForm::DebugHide() {
    // Editing ends; the editor is cleared as well, so no stale field shows at the next show.
    CloseEditor();
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
    StepBackButton->setEnabled(CanStepBack());
}

void TDebugForm::PaintPane(Pane pane, QPainter& painter) {
    const PaneDrawing d = Drawing(pane);
    SetScroll(pane, d.Scroll);
    const QWidget* box = PaintBoxOf(pane);
    const CellGrid grid = Grid(box);
    const QFontMetrics fm(PaneFontValue);
    painter.fillRect(box->rect(), PaneColour);
    painter.setFont(PaneFontValue);
    painter.setPen(TextColour);
    for (const PaneCell& cell : d.Cells) {
        const int x = cell.Column * grid.CellWidth;
        const int y = cell.Row * grid.CellHeight;
        const int n = static_cast<int>(cell.Text.size());
        const QColor back = cell.Shade == CellShade::White    ? kWhiteCell
                            : cell.Shade == CellShade::Silver ? kSilverCell
                                                              : PaneColour;
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
    g_debug.EditMode = kEditNone;
    DebuggerSingleStep(); // CpuStep, recorded in the step history
    g_debug.ListTop = g_cpu.PC;
    StepGroupBoxClick();
}

void TDebugForm::StepBackButtonClick() {
    g_debug.EditMode = kEditNone;
    const std::string why = StepBack();
    if (!why.empty()) ReportWarning("Cannot step back: " + why);
    g_debug.ListTop = g_cpu.PC;
    StepGroupBoxClick();
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
    hide();
}

void TDebugForm::BpEditChange() {
    FilterEdit(BpEdit, 16);
}
