// The main window's context menu and its commands: copy and save the screen, paste, save and
// load states, rewind, zoom, always on top, turbo, the debugger, reset, About, quit.
#include "host/qt/Main.h"

#include "host/Report.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"
#include "host/State.h"
#include "host/qt/FaceLayout.h"
#include "periph/Keyboard.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>

namespace {
// Adds an entry to MENU; SHORTCUT, when given, works whenever the calculator window is active.
QAction* AddEntry(QMenu* menu, QWidget* window, const QString& text, const QKeySequence& shortcut,
                  std::function<void()> command) {
    QAction* action = menu->addAction(text);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        window->addAction(action); // the shortcut works without the menu showing
    }
    QObject::connect(action, &QAction::triggered, window,
                     [command = std::move(command)] { command(); });
    return action;
}

const QString kStateFilter = QStringLiteral("Velmora states (*.vst);;All files (*)");

// Images the menu's rewind goes back: one second of emulated time.
constexpr int kRewindImagesPerSecond = 1000 / (kRewindTicks * kRunIntervalMs);
} // namespace

void TMainForm::BuildContextMenu() {
    ContextMenu = new QMenu(this);
    QMenu* m = ContextMenu;

    CopyScreenAction = AddEntry(m, this, QStringLiteral("Copy screen"), QKeySequence::Copy,
                                [this] { CopyScreen(); });
    ScreenshotMenu = m->addMenu(QStringLiteral("Save screenshot"));
    SaveLcdAction = AddEntry(ScreenshotMenu, this, QStringLiteral("LCD..."),
                             QKeySequence(Qt::CTRL | Qt::Key_S), [this] { SaveScreenshot(false); });
    SaveCalculatorAction =
        AddEntry(ScreenshotMenu, this, QStringLiteral("Whole calculator..."),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { SaveScreenshot(true); });
    PasteAction =
        AddEntry(m, this, QStringLiteral("Paste"), QKeySequence::Paste, [this] { Paste(); });
    m->addSeparator();

    // Slot N: Ctrl+Alt+N saves, Alt+N loads (Ctrl+N is zoom's).
    SaveStateMenu = m->addMenu(QStringLiteral("Save state"));
    LoadStateMenu = m->addMenu(QStringLiteral("Load state"));
    for (int slot = 0; slot < kStateSlots; ++slot) {
        const Qt::Key digit = static_cast<Qt::Key>(Qt::Key_0 + slot);
        SaveSlotActions[slot] =
            AddEntry(SaveStateMenu, this, {}, QKeySequence(Qt::CTRL | Qt::ALT | digit),
                     [this, slot] { SaveStateToSlot(slot); });
        LoadSlotActions[slot] = AddEntry(LoadStateMenu, this, {}, QKeySequence(Qt::ALT | digit),
                                         [this, slot] { LoadStateFromSlot(slot); });
    }
    SaveStateMenu->addSeparator();
    LoadStateMenu->addSeparator();
    SaveStateFileAction =
        AddEntry(SaveStateMenu, this, QStringLiteral("File..."), {}, [this] { SaveStateToFile(); });
    LoadStateFileAction = AddEntry(LoadStateMenu, this, QStringLiteral("File..."), {},
                                   [this] { LoadStateFromFile(); });
    // Held: Shift+Tab (handled with the keys); the entry goes back a second at once.
    RewindAction = AddEntry(m, this, QStringLiteral("Rewind one second (or hold Shift+Tab)"), {},
                            [this] { RewindOneSecond(); });
    for (QMenu* menu : {SaveStateMenu, LoadStateMenu})
        connect(menu, &QMenu::aboutToShow, this, &TMainForm::UpdateStateSlots);
    UpdateStateSlots();
    m->addSeparator();

    ZoomMenu = m->addMenu(QStringLiteral("Zoom"));
    ZoomActions = new QActionGroup(this);
    int digit = 1;
    for (const int percent : kZoomLevels) {
        QAction* a = AddEntry(ZoomMenu, this, QStringLiteral("%1 %").arg(percent),
                              QKeySequence(Qt::CTRL | (Qt::Key_0 + digit++)),
                              [this, percent] { SetZoom(percent); });
        a->setCheckable(true);
        a->setData(percent);
        a->setChecked(percent == m_zoom);
        ZoomActions->addAction(a);
    }
    AlwaysOnTopAction =
        AddEntry(m, this, QStringLiteral("Always on top"), QKeySequence(Qt::CTRL | Qt::Key_T),
                 [this] { SetAlwaysOnTop(AlwaysOnTopAction->isChecked()); });
    AlwaysOnTopAction->setCheckable(true);
    // Held: Tab (handled with the keys); toggled: the entry or its shortcut.
    TurboAction =
        AddEntry(m, this, QStringLiteral("Turbo (or hold Tab)"), QKeySequence(Qt::CTRL | Qt::Key_F),
                 [this] { SetTurboToggled(TurboAction->isChecked()); });
    TurboAction->setCheckable(true);
    m->addSeparator();

    // F3 stays a key of the key table (the seed's path); the menu only names it.
    DebuggerAction =
        AddEntry(m, this, QStringLiteral("Debugger\tF3"), {}, [this] { OpenDebugger(); });
    ResetAction = AddEntry(m, this, QStringLiteral("Reset"), QKeySequence(Qt::CTRL | Qt::Key_R),
                           [this] { ResetCalculator(); });
    m->addSeparator();
    AboutAction = AddEntry(m, this, QStringLiteral("About"), QKeySequence(Qt::Key_F1),
                           [this] { ShowAbout(); });
    QuitAction = AddEntry(m, this, QStringLiteral("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q),
                          [this] { close(); });
}

void TMainForm::ShowContextMenu(const QPoint& globalPos) {
    ContextMenu->popup(globalPos);
}

std::vector<ShortcutRow> TMainForm::Shortcuts() const {
    std::vector<ShortcutRow> rows;
    const auto add = [&rows](const QAction* a, const QString& what) {
        rows.emplace_back(what, a->shortcut().toString(QKeySequence::NativeText));
    };
    add(CopyScreenAction, QStringLiteral("Copy the screen"));
    add(SaveLcdAction, QStringLiteral("Save a screenshot of the LCD"));
    add(SaveCalculatorAction, QStringLiteral("Save a screenshot of the calculator"));
    add(PasteAction, QStringLiteral("Paste (type the clipboard's text)"));
    const auto range = [](const QAction* first, const QAction* last) {
        return first->shortcut().toString(QKeySequence::NativeText) + QStringLiteral(" ... ") +
               last->shortcut().toString(QKeySequence::NativeText);
    };
    rows.emplace_back(QStringLiteral("Save state to slot 0 ... 9"),
                      range(SaveSlotActions.front(), SaveSlotActions.back()));
    rows.emplace_back(QStringLiteral("Load state from slot 0 ... 9"),
                      range(LoadSlotActions.front(), LoadSlotActions.back()));
    rows.emplace_back(QStringLiteral("Rewind while held"), QStringLiteral("Shift+Tab"));
    rows.emplace_back(QStringLiteral("Zoom 100 %, 150 %, 200 %, 300 %"),
                      QStringLiteral("Ctrl+1 ... Ctrl+4"));
    add(AlwaysOnTopAction, QStringLiteral("Always on top"));
    rows.emplace_back(QStringLiteral("Turbo while held, turbo on or off"),
                      QStringLiteral("Tab, ") +
                          TurboAction->shortcut().toString(QKeySequence::NativeText));
    rows.emplace_back(QStringLiteral("Debugger"), QStringLiteral("F3"));
    add(ResetAction, QStringLiteral("Reset (the power switch off and on)"));
    add(AboutAction, QStringLiteral("About"));
    add(QuitAction, QStringLiteral("Quit"));
    return rows;
}

void TMainForm::CopyScreen() {
    if (LcdBitmap.isNull()) return;
    QGuiApplication::clipboard()->setImage(LcdBitmap.copy());
}

QImage TMainForm::CalculatorImage() {
    QImage image = grab().toImage().convertToFormat(QImage::Format_ARGB32);
    if (!mask().isEmpty()) {
        // Outside the calculator's outline: transparent.
        QPainter painter(&image); // in the window's pixels, whatever the device pixel ratio
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        for (const QRect& r : QRegion(rect()) - mask()) painter.fillRect(r, Qt::transparent);
    }
    return image;
}

void TMainForm::SaveScreenshot(bool wholeCalculator) {
    if (LcdBitmap.isNull()) return;
    const QImage image = wholeCalculator ? CalculatorImage() : LcdBitmap.copy();
    const QString suggested = QDir::current().filePath(
        wholeCalculator ? QStringLiteral("velmora.png") : QStringLiteral("velmora-lcd.png"));
    QString name = AskSaveFileName(QStringLiteral("Save screenshot"), suggested,
                                   QStringLiteral("PNG images (*.png)"));
    if (name.isEmpty()) return;
    if (!name.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) name += QStringLiteral(".png");
    if (!image.save(name, "PNG")) ReportWarning(("Failed to save the file " + name).toStdString());
}

void TMainForm::Paste() {
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty()) return;
    const int skipped = PacedPaste(text.toStdU32String());
    UpdatePressedKeys();
    if (skipped == 1)
        ReportWarning("1 character of the pasted text has no key and was skipped");
    else if (skipped > 1)
        ReportWarning(std::to_string(skipped) +
                      " characters of the pasted text have no key and were skipped");
}

void TMainForm::SetAlwaysOnTop(bool on) {
    AlwaysOnTopAction->setChecked(on);
    if (on != bool(windowFlags() & Qt::WindowStaysOnTopHint)) {
        const bool visible = isVisible();
        setWindowFlag(Qt::WindowStaysOnTopHint, on); // hides the window: show it again
        if (visible) show();
    }
    if (m_prefs.AlwaysOnTop != on) {
        m_prefs.AlwaysOnTop = on;
        SavePrefs();
    }
}

void TMainForm::SetTurboToggled(bool on) {
    m_turboToggled = on;
    TurboAction->setChecked(on);
    ApplyTurbo();
}

void TMainForm::SetTurboHeld(bool on) {
    if (m_turboHeld == on) return;
    m_turboHeld = on;
    ApplyTurbo();
}

void TMainForm::ApplyTurbo() {
    UpdateRunInterval();
    UpdateTitle();
}

void TMainForm::UpdateTitle() {
    setWindowTitle(m_rewinding ? QStringLiteral("Velmora (rewind)")
                   : TurboOn() ? QStringLiteral("Velmora (turbo)")
                               : QStringLiteral("Velmora"));
}

void TMainForm::OpenDebugger() {
    // The debugger stops the run loop; a rewind ending after it would start it again.
    SetRewindHeld(false);
    if (ShowDebugger) ShowDebugger();
}

void TMainForm::UpdateRunInterval() {
    // In turbo a zero interval hands the ticks over back to back, and each hand-over runs a
    // slice of ticks (OnRunTick); but only while the processor runs: a loop held by the
    // debugger or counting down its resume delay ticks at the usual pace and costs nothing.
    const bool fast = TurboOn() && g_run.StopRequest == 0 && g_run.ResumeDelay <= 0;
    const uint32_t interval = fast ? 0 : kRunIntervalMs;
    if (RunTimer->Interval() == interval) return;
    RunTimer->SetAllowZero(fast);
    RunTimer->SetInterval(interval);
}

void TMainForm::ResetCalculator() {
    // The power switch off and on; from off, just on.
    if (g_run.PowerOn == 1) TogglePower();
    TogglePower();
}

void TMainForm::ShowAbout() {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("About Velmora"),
                                AboutText(Shortcuts()), QMessageBox::Ok, this);
    box->setTextFormat(Qt::RichText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("AboutBox"));
    box->show();
}

// --- Save states and rewind -------------------------------------------------------------------

void TMainForm::UpdateStateSlots() {
    for (int slot = 0; slot < kStateSlots; ++slot) {
        const QString text = QStringLiteral("Slot %1: %2")
                                 .arg(slot)
                                 .arg(QString::fromStdString(StateSlotTimeText(slot)));
        SaveSlotActions[slot]->setText(text);
        LoadSlotActions[slot]->setText(text);
        LoadSlotActions[slot]->setEnabled(StateSlotTime(slot).has_value());
    }
}

void TMainForm::SaveStateToSlot(int slot) {
    SaveStateSlot(slot); // a failure is reported
    UpdateStateSlots();
}

void TMainForm::LoadStateFromSlot(int slot) {
    UpdateStateSlots();
    if (!LoadSlotActions[slot]->isEnabled()) return; // empty: nothing to load
    SetRewindHeld(false);
    if (LoadStateSlot(slot)) AfterStateLoaded();
}

void TMainForm::SaveStateToFile() {
    QString name =
        AskSaveFileName(QStringLiteral("Save state"),
                        QDir::current().filePath(QStringLiteral("velmora.vst")), kStateFilter);
    if (name.isEmpty()) return;
    if (!name.endsWith(QStringLiteral(".vst"), Qt::CaseInsensitive)) name += QStringLiteral(".vst");
    SaveStateFile(name.toStdString());
    UpdateStateSlots(); // the file may be one of the slots
}

void TMainForm::LoadStateFromFile() {
    const QString name = AskOpenFileName(QStringLiteral("Load state"), kStateFilter);
    if (name.isEmpty()) return;
    SetRewindHeld(false);
    if (LoadStateFile(name.toStdString())) AfterStateLoaded();
}

void TMainForm::AfterStateLoaded() {
    // The loaded machine's key slots are from when it was saved; what the user holds now counts.
    PacedKeyRestored();
    // A state is a running calculator: loaded while switched off, it is switched on (without
    // the reset of the switch, which would throw the state away).
    if (g_run.PowerOn != 1) {
        g_run.PowerOn = 1;
        RunTimer->SetEnabled(true);
        PwrSwImage->SetPicture(SwitchOnBitmap);
    }
    RefreshLcd();
    UpdatePressedKeys();
}

void TMainForm::SetRewindHeld(bool on) {
    if (on == m_rewinding) return;
    if (on) {
        // Switched off, the machine is frozen at its reset: nothing to walk back from.
        if (g_run.PowerOn != 1 || !g_rewind.On) return;
        m_rewinding = true;
        RewindBegin();
        OnRewindTimer(); // a tap goes back one image
        RewindTimer->start();
    } else {
        m_rewinding = false;
        RewindTimer->stop();
        RewindEnd();
        PacedKeyRestored();
        UpdatePressedKeys();
    }
    UpdateRunInterval();
    UpdateTitle();
}

void TMainForm::OnRewindTimer() {
    // At the oldest image it stays there until the key is let go.
    if (m_rewinding) RewindBack();
}

void TMainForm::RewindOneSecond() {
    if (m_rewinding || g_run.PowerOn != 1 || !g_rewind.On) return;
    RewindBegin();
    for (int i = 0; i < kRewindImagesPerSecond && RewindBack(); ++i) {
    }
    RewindEnd();
    PacedKeyRestored();
    UpdatePressedKeys();
}
