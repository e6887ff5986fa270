// The main window: start-up and shut-down, the face, the power switch, mouse and PC keys.
#include "host/qt/Main.h"

#include "core/Cpu.h"
#include "host/Files.h"
#include "host/Report.h"
#include "host/RunLoop.h"
#include "host/qt/FaceLayout.h"
#include "periph/Keyboard.h"
#include "periph/Lcd.h"

#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace {
const QString kFaceFile = QStringLiteral("face.bmp");
const QColor kNoFaceColour(0x30, 0x33, 0x38); // shows only where no face picture lies

// The window whose LCD image the refresh tick feeds.
TMainForm* g_mainForm = nullptr;

bool IsPureWhite(QRgb pixel) {
    return (pixel & 0xFFFFFF) == 0xFFFFFF;
}
} // namespace

// --- TImage ---------------------------------------------------------------------------------

TImage::TImage(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void TImage::SetPicture(const QImage& picture) {
    m_picture = picture;
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    if (m_picture.isNull()) return;
    QPainter painter(this);
    // Logical pixels: under a device pixel ratio the picture is scaled with the window, so the
    // mask, the hit test and the LCD position stay where the face has them.
    painter.drawImage(QRect(QPoint(0, 0), m_picture.size()), m_picture);
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
    case Qt::Key_F3: return kVkF3;
    case Qt::Key_F8: return kVkF8;
    default: return 0;
    }
}

void ShowWarningBox(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok);
    box.exec();
}

// --- TMainForm ------------------------------------------------------------------------------

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), FaceImage(new TImage(this)),
      PwrSwImage(new TImage(this)), LcdImage(new TImage(this)), RunTimer(new TThreadedTimer(this)),
      RefreshTimer(new QTimer(this)) {
    // 1. The window and its controls, both timers disabled.
    setWindowTitle(QStringLiteral("Velmora"));
    setFixedSize(kFaceWidth, kFaceHeight);
    setFocusPolicy(Qt::StrongFocus); // key preview: the window's own handlers see every key
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FaceImage->setGeometry(0, 0, kFaceImageWidth, kFaceImageHeight);
    FaceImage->OnMouseDown = [this](QMouseEvent* e) { FaceMouseDown(e); };
    FaceImage->OnMouseUp = [this](QMouseEvent* e) { FaceMouseUp(e); };
    FaceImage->OnMouseMove = [this](QMouseEvent* e) { FaceMouseMove(e); };
    PwrSwImage->setGeometry(kSwitchLeft, kSwitchTop, kSwitchWidth, kSwitchHeight);
    PwrSwImage->OnMouseDown = [this](QMouseEvent* e) { PwrSwMouseDown(e); };
    LcdImage->setGeometry(kLcdLeft, kLcdTop, kLcdWidth, kLcdHeight);

    RunTimer->SetInterval(kRunIntervalMs);
    RunTimer->SetOnTimer([](TThreadedTimer*) { OnRunTimer(); });
    RefreshTimer->setInterval(kRefreshIntervalMs);
    connect(RefreshTimer, &QTimer::timeout, this, [] { OnRefreshTimer(); });
    g_mainForm = this;
    LcdImageHook = [] {
        if (g_mainForm) g_mainForm->ShowLcd();
    };

    // 2. The shape, 3. the creation handler.
    CutShape();
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
    setMask(FaceShape(face));
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
    g_lcd.LcdDirty = 1;
}

void TMainForm::FormClose() {
    if (m_closedOnce) return;
    m_closedOnce = true;
    g_run.StopRequest = 1;
    RunTimer->SetEnabled(false);
    RefreshTimer->stop();
    SaveImages();
    FaceBitmap = QImage();
    LcdBitmap = QImage();
    SwitchOnBitmap = QImage();
    SwitchOffBitmap = QImage();
}

void TMainForm::FormDeactivate() {
    // A PC key held while the focus moves away must not stay pressed; the mouse key is kept.
    KeyboardKeyUp();
}

void TMainForm::FormKeyDown(int virtualKey) {
    // The translation runs the keyboard update itself, for every key.
    if (KeyboardKeyDown(virtualKey) && ShowDebugger) ShowDebugger();
}

void TMainForm::FormKeyPress(int character) {
    KeyboardChar(character);
}

void TMainForm::FormKeyUp() {
    KeyboardKeyUp();
}

void TMainForm::PwrSwMouseDown(QMouseEvent*) {
    g_run.PowerOn ^= 1;
    PowerReset();
    RunTimer->SetEnabled(g_run.PowerOn == 1);
    PwrSwImage->SetPicture(g_run.PowerOn == 1 ? SwitchOnBitmap : SwitchOffBitmap);
}

void TMainForm::FaceMouseDown(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    const int key = FaceHitTest(at.x(), at.y());
    if (key == 0) {
        // The face outside the keys is a drag handle. Let the platform move the window; where
        // it cannot (no window manager support, some platforms), follow the pointer instead.
        QWindow* window = windowHandle();
        if (!(window && window->startSystemMove())) {
            m_dragActive = true;
            m_dragOffset = event->globalPosition().toPoint() - pos();
        }
    }
    KeyboardSetKeys(key, g_kbd.KeyboardKey);
}

void TMainForm::FaceMouseMove(QMouseEvent* event) {
    if (m_dragActive && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void TMainForm::FaceMouseUp(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragActive = false;
    // Judged by the press: the face image keeps the mouse between press and release.
    if (g_kbd.MouseKey == kKeyMinimise) showMinimized();
    if (g_kbd.MouseKey == kKeyClose) close();
    KeyboardSetKeys(0, g_kbd.KeyboardKey);
}

void TMainForm::ShowLcd() {
    if (LcdBitmap.isNull()) return; // closed: nothing to show any more
    auto* dst = reinterpret_cast<QRgb*>(LcdBitmap.bits());
    for (int i = 0; i < kLcdWidth * kLcdHeight; ++i) dst[i] = 0xFF000000u | g_lcd.LcdBitmap[i];
    LcdImage->SetPicture(LcdBitmap);
}

bool TMainForm::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::WindowDeactivate: FormDeactivate(); break;
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
    FormKeyDown(VirtualKeyOf(event->key()));
    // The translated character. Delete yields DEL (127) here but no character on the PC
    // keyboards the key table was made for, so it is left out.
    const QString text = event->text();
    if (text.size() == 1 && event->key() != Qt::Key_Delete) {
        const char16_t c = text.at(0).unicode();
        if (c < 256) FormKeyPress(c);
    }
    event->accept();
}

void TMainForm::keyReleaseEvent(QKeyEvent* event) {
    // The platform's auto-repeat sends a release before each repeated press; the key is still
    // down, so only the real release lets it go.
    if (!event->isAutoRepeat()) FormKeyUp();
    event->accept();
}

void TMainForm::paintEvent(QPaintEvent*) {
    if (!FaceImage->Picture().isNull()) return; // the face covers the whole window
    QPainter painter(this);
    painter.fillRect(rect(), kNoFaceColour);
}
