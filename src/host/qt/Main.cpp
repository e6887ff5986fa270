// The main window: start-up and shut-down, the face, the power switch, mouse and PC keys, zoom,
// the keys drawn pressed. The context menu and its commands are in MainMenu.cpp.
#include "host/qt/Main.h"

#include "core/Cpu.h"
#include "host/Files.h"
#include "host/Report.h"
#include "host/Rewind.h"
#include "host/RunLoop.h"
#include "host/qt/FaceLayout.h"
#include "host/qt/X11Keys.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace {
const QString kFaceFile = QStringLiteral("face.bmp");
const QColor kNoFaceColour(0x30, 0x33, 0x38); // shows only where no face picture lies

// The window whose LCD image the refresh tick feeds.
TMainForm* g_mainForm = nullptr;

// The owner of the mouse slot's presses (the PC keys' owners are their scan or key codes).
constexpr uint32_t kMouseOwner = 1;
// In turbo, one hand-over of the run timer runs run ticks for this long, then lets the event
// loop draw and take input.
constexpr int kTurboSliceMs = 12;
// How much darker a key drawn pressed is (alpha of black over it).
constexpr int kPressedShade = 80;
// While the rewind key is held, one image (100 ms of emulated time) further back this often:
// twice as fast as the time went forward, and every image shows for one display refresh.
constexpr int kRewindStepMs = kRefreshIntervalMs;

bool IsPureWhite(QRgb pixel) {
    return (pixel & 0xFFFFFF) == 0xFFFFFF;
}
} // namespace

// --- TImage ---------------------------------------------------------------------------------

TImage::TImage(QWidget* parent, Scaling scaling) : QWidget(parent), m_scaling(scaling) {
    setFocusPolicy(Qt::NoFocus);
}

void TImage::SetPicture(const QImage& picture) {
    m_picture = picture;
    m_shown = QImage();
    update();
}

void TImage::SetZoom(int percent) {
    if (percent == m_zoom) return;
    m_zoom = percent;
    m_shown = QImage();
    update();
}

const QImage& TImage::Shown() {
    const double ratio = devicePixelRatioF();
    if (m_shown.isNull() || ratio != m_shownRatio) {
        // Made at the screen's own pixels, so that nothing scales it again when it is drawn.
        m_shown = ScalePicture(m_picture, m_zoom / 100.0 * ratio, m_scaling);
        m_shown.setDevicePixelRatio(ratio);
        m_shownRatio = ratio;
    }
    return m_shown;
}

void TImage::SetPressed(const std::vector<QRect>& rects) {
    if (rects == m_pressed) return;
    for (const QRect& r : m_pressed) update(FaceToWindow(r, m_zoom).adjusted(0, 0, 1, 1));
    m_pressed = rects;
    for (const QRect& r : m_pressed) update(FaceToWindow(r, m_zoom).adjusted(0, 0, 1, 1));
}

void TImage::paintEvent(QPaintEvent* event) {
    if (m_picture.isNull()) return;
    const QImage& shown = Shown();
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), shown);
    if (m_pressed.empty()) return;
    // A pressed key: its picture moved right and down by one face pixel and darkened; the
    // strip it leaves at the top and left keeps the key's edge, darkened too, like a shadow.
    const int shift = std::max(1, (m_zoom + 50) / 100);
    const double ratio = shown.devicePixelRatio();
    for (const QRect& face : m_pressed) {
        const QRect key = FaceToWindow(face, m_zoom);
        if (!key.intersects(event->rect())) continue;
        const QRectF source(key.x() * ratio, key.y() * ratio, key.width() * ratio,
                            key.height() * ratio);
        painter.save();
        painter.setClipRect(key);
        painter.drawImage(QRectF(key.translated(shift, shift)), shown, source);
        painter.fillRect(key, QColor(0, 0, 0, kPressedShade));
        painter.restore();
    }
}

void TImage::mousePressEvent(QMouseEvent* event) {
    if (OnMouseDown) OnMouseDown(event);
    event->accept();
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like any other.
    if (OnMouseDown) OnMouseDown(event);
    event->accept();
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    if (OnMouseUp) OnMouseUp(event);
    event->accept();
}

void TImage::mouseMoveEvent(QMouseEvent* event) {
    if (OnMouseMove) OnMouseMove(event);
    event->accept();
}

// --- Helpers --------------------------------------------------------------------------------

QRegion FaceShape(const QImage& face) {
    // Cut or extend to the client size; QImage::copy fills an extended area with zero bytes,
    // black, which is not white, so it stays part of the window.
    const QImage img =
        face.convertToFormat(QImage::Format_RGB32).copy(0, 0, kFaceWidth, kFaceHeight);
    QRegion shape(0, 0, kFaceWidth, kFaceHeight);
    for (int y = 0; y < kFaceHeight; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        int left = 0;
        while (left < kFaceWidth && IsPureWhite(row[left])) ++left;
        if (left > 0) shape -= QRegion(0, y, left, 1);
        int right = kFaceWidth - 1;
        while (right >= 0 && IsPureWhite(row[right])) --right;
        if (right < kFaceWidth - 1) shape -= QRegion(right + 1, y, kFaceWidth - 1 - right, 1);
    }
    return shape;
}

int VirtualKeyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return kVkEnter;
    case Qt::Key_Escape: return kVkEscape;
    case Qt::Key_End: return kVkEnd;
    case Qt::Key_Home: return kVkHome;
    case Qt::Key_Left: return kVkLeft;
    case Qt::Key_Up: return kVkUp;
    case Qt::Key_Right: return kVkRight;
    case Qt::Key_Down: return kVkDown;
    case Qt::Key_Delete: return kVkDelete;
    case Qt::Key_Backspace: return kVkBack;
    case Qt::Key_F3: return kVkF3;
    case Qt::Key_F8: return kVkF8;
    default: return 0;
    }
}

uint32_t PcKeyOf(const QKeyEvent* event) {
    if (event->nativeScanCode() != 0) return 0x80000000u | event->nativeScanCode();
    return static_cast<uint32_t>(event->key());
}

void ShowWarningBox(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok);
    box.exec();
}

// --- TMainForm ------------------------------------------------------------------------------

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), FaceImage(new TImage(this)),
      PwrSwImage(new TImage(this)), LcdImage(new TImage(this, Scaling::Dots)),
      RunTimer(new TThreadedTimer(this)), RefreshTimer(new QTimer(this)),
      AutoSaveTimer(new QTimer(this)), RewindTimer(new QTimer(this)) {
    // 1. The window and its controls, both timers disabled.
    setWindowTitle(QStringLiteral("Velmora"));
    setFocusPolicy(Qt::StrongFocus); // key preview: the window's own handlers see every key

    FaceImage->OnMouseDown = [this](QMouseEvent* e) { FaceMouseDown(e); };
    FaceImage->OnMouseUp = [this](QMouseEvent* e) { FaceMouseUp(e); };
    FaceImage->OnMouseMove = [this](QMouseEvent* e) { FaceMouseMove(e); };
    PwrSwImage->OnMouseDown = [this](QMouseEvent* e) { PwrSwMouseDown(e); };
    LcdImage->OnMouseDown = [this](QMouseEvent* e) { LcdMouseDown(e); };

    RunTimer->SetInterval(kRunIntervalMs);
    RunTimer->SetOnTimer([this](TThreadedTimer*) { OnRunTick(); });
    RefreshTimer->setInterval(kRefreshIntervalMs);
    connect(RefreshTimer, &QTimer::timeout, this, [this] {
        OnRefreshTimer();
        UpdatePressedKeys();
    });
    AutoSaveTimer->setInterval(kAutoSaveIntervalMs);
    connect(AutoSaveTimer, &QTimer::timeout, this, &TMainForm::OnAutoSaveTimer);
    RewindTimer->setInterval(kRewindStepMs);
    connect(RewindTimer, &QTimer::timeout, this, &TMainForm::OnRewindTimer);
    g_mainForm = this;
    LcdImageHook = [] {
        if (g_mainForm) g_mainForm->ShowLcd();
    };
    UnshiftedCharacterOf = UnshiftedCharacter;
    AskSaveFileName = [this](const QString& caption, const QString& suggested,
                             const QString& filter) {
        return QFileDialog::getSaveFileName(this, caption, suggested, filter);
    };
    AskOpenFileName = [this](const QString& caption, const QString& filter) {
        return QFileDialog::getOpenFileName(this, caption, QDir::currentPath(), filter);
    };
    BuildContextMenu();

    // 2. The shape, then the user's zoom, place and always-on-top; 3. the creation handler.
    CutShape();
    m_prefs = LoadUserPrefs();
    SetZoom(m_prefs.Zoom);
    QPoint place;
    const QScreen* screen =
        m_prefs.Position ? QGuiApplication::screenAt(*m_prefs.Position + QPoint(40, 40)) : nullptr;
    if (screen) {
        place = *m_prefs.Position;
    } else if ((screen = QGuiApplication::primaryScreen())) {
        place = screen->availableGeometry().center() - rect().center();
    }
    move(place);
    if (m_prefs.AlwaysOnTop) SetAlwaysOnTop(true);
    FormCreate();
}

TMainForm::~TMainForm() {
    if (g_mainForm == this) {
        g_mainForm = nullptr;
        LcdImageHook = nullptr;
    }
}

void TMainForm::CutShape() {
    if (!QFile::exists(kFaceFile)) return; // without a face the window stays rectangular
    const QImage face(kFaceFile);
    if (face.isNull()) return; // unreadable: rectangular too; the showing reports it
    m_faceShape = FaceShape(face);
}

void TMainForm::SetZoom(int percent) {
    if (!IsZoomLevel(percent)) return;
    m_zoom = percent;
    const auto zoomed = [percent](int x, int y, int w, int h) {
        return FaceToWindow(QRect(x, y, w, h), percent);
    };
    setFixedSize(FaceToWindow(kFaceWidth, percent), FaceToWindow(kFaceHeight, percent));
    FaceImage->setGeometry(zoomed(0, 0, kFaceImageWidth, kFaceImageHeight));
    PwrSwImage->setGeometry(zoomed(kSwitchLeft, kSwitchTop, kSwitchWidth, kSwitchHeight));
    LcdImage->setGeometry(zoomed(kLcdLeft, kLcdTop, kLcdWidth, kLcdHeight));
    for (TImage* image : {FaceImage, PwrSwImage, LcdImage}) image->SetZoom(percent);
    if (!m_faceShape.isEmpty()) setMask(FaceToWindow(m_faceShape, percent));
    for (QAction* a : ZoomActions->actions()) a->setChecked(a->data().toInt() == percent);
    // A window grown past the edge of its screen is moved back onto it.
    if (const QScreen* screen = QGuiApplication::screenAt(geometry().center())) {
        const QRect room = screen->availableGeometry();
        QPoint at = pos();
        at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - width())));
        at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - height())));
        if (at != pos()) move(at);
    }
    if (m_prefs.Zoom != percent) {
        m_prefs.Zoom = percent;
        SavePrefs();
    }
}

void TMainForm::FormCreate() {
    // The background is not painted where the face lies (the brush is "clear"): only the
    // images show. See paintEvent for a window without a face.
    setAttribute(Qt::WA_OpaquePaintEvent);
    FaceBitmap = QImage(kFaceWidth, kFaceHeight, QImage::Format_RGB32);
    FaceBitmap.fill(Qt::white);
    LcdBitmap = QImage(kLcdWidth, kLcdHeight, QImage::Format_RGB32);
    LcdBitmap.fill(Qt::white);
    SwitchOnBitmap = QImage(kSwitchWidth, kSwitchHeight, QImage::Format_RGB32);
    SwitchOnBitmap.fill(Qt::white);
    SwitchOffBitmap = SwitchOnBitmap.copy();
    LoadSettings();
    LoadImages();
}

void TMainForm::FormShow() {
    StartVariables();

    QImage face;
    if (QFile::exists(kFaceFile) && face.load(kFaceFile)) {
        FaceBitmap = face.convertToFormat(QImage::Format_RGB32); // opaque: not transparent
        FaceImage->SetPicture(FaceBitmap);
        {
            QPainter on(&SwitchOnBitmap);
            on.drawImage(-kSwitchLeft, -kSwitchTop, FaceBitmap);
        }
        QPainter off(&SwitchOffBitmap);
        off.drawImage(0, -kSwitchWrapShift, SwitchOnBitmap);
        off.drawImage(0, kSwitchKnobTravel, SwitchOnBitmap);
    } else {
        // Missing, or there but not a picture the loader reads: a face-less window.
        ReportWarning("Failed to load the file face.bmp");
    }

    LcdBitmap.fill(Qt::white);
    StartMachine(); // CyclesPerTick is RunTimer's 10 ms x OscFreq
    RunTimer->SetEnabled(g_run.PowerOn == 1);
    RefreshTimer->start();
    AutoSaveTimer->start();
    g_lcd.LcdDirty = 1;
}

void TMainForm::FormClose() {
    if (m_closedOnce) return;
    m_closedOnce = true;
    g_run.StopRequest = 1;
    RewindTimer->stop();
    m_rewinding = false;
    RunTimer->SetEnabled(false);
    RefreshTimer->stop();
    AutoSaveTimer->stop();
    SaveImages();
    if (isVisible()) {
        m_prefs.Position = pos();
        SavePrefs();
    }
    FaceBitmap = QImage();
    LcdBitmap = QImage();
    SwitchOnBitmap = QImage();
    SwitchOffBitmap = QImage();
}

void TMainForm::FormDeactivate() {
    // A PC key held while the focus moves away must not stay pressed; the mouse key is kept.
    // A rewind ends as if its key were let go: the machine runs on from the image shown.
    SetRewindHeld(false);
    PacedKeyReleaseAll(KeySlot::Keyboard);
    m_heldPcKeys.clear();
    SetTurboHeld(false);
    UpdatePressedKeys();
}

void TMainForm::FormKeyDown(int virtualKey, int character, uint32_t pcKey) {
    if (virtualKey == kVkF3) {
        OpenDebugger();
        return;
    }
    // While rewinding the machine is the past's; the keys wait for the present.
    if (m_rewinding) return;
    const int32_t code = PcKeyCode(virtualKey, character);
    if (code != kNoKey) PacedKeyPress(KeySlot::Keyboard, code, pcKey);
    UpdatePressedKeys();
}

void TMainForm::FormKeyUp(uint32_t pcKey) {
    PacedKeyRelease(KeySlot::Keyboard, pcKey);
    UpdatePressedKeys();
}

void TMainForm::TogglePower() {
    SetRewindHeld(false);
    g_run.PowerOn ^= 1;
    // No run tick drains the key queues while the power is off, and the machine starts afresh.
    PacedKeyFlush();
    PowerReset();
    RunTimer->SetEnabled(g_run.PowerOn == 1);
    PwrSwImage->SetPicture(g_run.PowerOn == 1 ? SwitchOnBitmap : SwitchOffBitmap);
    UpdatePressedKeys();
}

void TMainForm::PwrSwMouseDown(QMouseEvent*) {
    TogglePower();
}

void TMainForm::FaceMouseDown(QMouseEvent* event) {
    const QPointF at = event->position();
    const int code = FaceHitTest(WindowToFace(at.x(), m_zoom), WindowToFace(at.y(), m_zoom));
    if (event->button() == Qt::RightButton) {
        // Outside the keys the right button opens the menu; on a key it does nothing.
        if (code == 0) ShowContextMenu(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    if (m_rewinding && code != 0) return; // no key while rewinding (see FormKeyDown)
    m_mousePressCode = code;
    PacedKeyPress(KeySlot::Mouse, code, kMouseOwner);
    if (code == 0) {
        // The face outside the keys is a drag handle. Let the platform move the window; where
        // it cannot (no window manager support, some platforms), follow the pointer instead.
        QWindow* window = windowHandle();
        if (!(window && window->startSystemMove())) {
            m_dragActive = true;
            m_dragOffset = event->globalPosition().toPoint() - pos();
        }
    }
    UpdatePressedKeys();
}

void TMainForm::FaceMouseMove(QMouseEvent* event) {
    if (m_dragActive && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void TMainForm::FaceMouseUp(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragActive = false;
    // Judged by the press: the face image keeps the mouse between press and release.
    const int pressed = m_mousePressCode;
    m_mousePressCode = 0;
    PacedKeyRelease(KeySlot::Mouse, kMouseOwner);
    UpdatePressedKeys();
    if (pressed == kKeyMinimise) showMinimized();
    if (pressed == kKeyClose) close();
}

void TMainForm::LcdMouseDown(QMouseEvent* event) {
    // The LCD lies over the face, away from the keys: no key, no drag, but the menu.
    if (event->button() == Qt::RightButton) ShowContextMenu(event->globalPosition().toPoint());
}

void TMainForm::OnRunTick() {
    if (!TurboOn()) {
        OnPacedRunTimer();
    } else {
        // As fast as the host allows: run ticks back to back for a slice of real time; the
        // refresh timer still draws 20 times a second between the slices.
        QElapsedTimer slice;
        slice.start();
        do {
            OnPacedRunTimer();
        } while (g_run.StopRequest == 0 && g_run.ResumeDelay <= 0 &&
                 slice.elapsed() < kTurboSliceMs);
    }
    UpdatePressedKeys();
    UpdateRunInterval();
}

void TMainForm::OnAutoSaveTimer() {
    AutoSaveImages();
}

void TMainForm::SaveMemory() {
    if (!m_closedOnce) SaveImages();
}

void TMainForm::UpdatePressedKeys() {
    const std::array<int32_t, kKeySlots> keys{g_kbd.MouseKey, g_kbd.KeyboardKey};
    if (keys == m_drawnKeys) return;
    m_drawnKeys = keys;
    std::vector<QRect> rects;
    for (const int32_t code : keys) {
        const FaceRect r = FaceKeyRect(code);
        if (r.width > 0) rects.emplace_back(r.x, r.y, r.width, r.height);
    }
    FaceImage->SetPressed(rects);
}

void TMainForm::ShowLcd() {
    if (LcdBitmap.isNull()) return; // closed: nothing to show any more
    auto* dst = reinterpret_cast<QRgb*>(LcdBitmap.bits());
    for (int i = 0; i < kLcdWidth * kLcdHeight; ++i) dst[i] = 0xFF000000u | g_lcd.LcdBitmap[i];
    LcdImage->SetPicture(LcdBitmap);
}

void TMainForm::SavePrefs() {
    SaveUserPrefs(m_prefs);
}

bool TMainForm::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::WindowDeactivate: FormDeactivate(); break;
    case QEvent::WindowActivate: UpdateStateSlots(); break; // another program may have saved
    case QEvent::KeyPress: {
        // Tab and Backtab would move the focus; here they are keys like any other.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
        break;
    }
    default: break;
    }
    return QWidget::event(event);
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shownOnce) return;
    m_shownOnce = true;
    FormShow();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
    emit Closed();
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
    event->accept();
    const int key = event->key();
    if (key == Qt::Key_Tab) { // turbo while held
        if (!event->isAutoRepeat()) SetTurboHeld(true);
        return;
    }
    if (key == Qt::Key_Backtab) { // Shift+Tab: rewind while held
        if (!event->isAutoRepeat()) SetRewindHeld(true);
        return;
    }
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && (event->modifiers() & Qt::ShiftModifier))) {
        ShowContextMenu(mapToGlobal(LcdImage->geometry().bottomLeft()));
        return;
    }
    // An auto-repeated press: the key is still down, nothing changes.
    if (event->isAutoRepeat()) return;
    if (key == Qt::Key_Shift) {
        m_shiftPress = ++m_pressCount;
        return;
    }
    // The translated character. Delete yields DEL (127) here but no character on the PC
    // keyboards the key table was made for, so it is left out; so is what Ctrl (without Alt,
    // which some layouts use for characters) makes of a key: Ctrl+digit is a shortcut's, or
    // nothing. Alt+digit and Ctrl+Alt+digit are the state slots' (an empty slot's load does
    // nothing), never a digit.
    int character = 0;
    const QString text = event->text();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool control = (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier);
    const bool slotKey = (mods & Qt::AltModifier) && key >= Qt::Key_0 && key <= Qt::Key_9;
    if (text.size() == 1 && key != Qt::Key_Delete && !control && !slotKey &&
        text.at(0).unicode() < 256)
        character = text.at(0).unicode();
    // Shift is down only because a key pressed since the last Shift press is still held (and
    // needed it: "+" held, then "3" in overlapping typing)? Then the Shift is that key's, and
    // this key stands for its unshifted character, as the typist meant it.
    const uint32_t pcKey = PcKeyOf(event);
    if (character != 0 && (mods & Qt::ShiftModifier) &&
        std::any_of(m_heldPcKeys.begin(), m_heldPcKeys.end(),
                    [this](const auto& held) { return held.second > m_shiftPress; })) {
        if (const int unshifted = UnshiftedCharacterOf ? UnshiftedCharacterOf(event) : 0)
            character = unshifted;
    }
    m_heldPcKeys[pcKey] = ++m_pressCount;
    FormKeyDown(VirtualKeyOf(key), character, pcKey);
}

void TMainForm::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    // The platform's auto-repeat sends a release before each repeated press; the key is still
    // down, so only the real release lets it go.
    if (event->isAutoRepeat()) return;
    // Tab and Shift+Tab are one key, whichever way Shift went in between.
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) {
        SetTurboHeld(false);
        SetRewindHeld(false);
        return;
    }
    m_heldPcKeys.erase(PcKeyOf(event));
    FormKeyUp(PcKeyOf(event));
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse's right button is handled where it is pressed (on a key it does nothing).
    if (event->reason() == QContextMenuEvent::Keyboard)
        ShowContextMenu(mapToGlobal(LcdImage->geometry().bottomLeft()));
    event->accept();
}

void TMainForm::paintEvent(QPaintEvent*) {
    if (!FaceImage->Picture().isNull()) return; // the face covers the whole window
    QPainter painter(this);
    painter.fillRect(rect(), kNoFaceColour);
}
