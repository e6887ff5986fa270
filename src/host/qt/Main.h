// The main window: the calculator itself. A borderless window shaped like the calculator's
// outline, showing the face with the LCD drawn into it and the power switch on its left edge.
// It owns start-up and shut-down, turns clicks and PC keys into calculator keys, and holds the
// two timers that drive the emulation.
#pragma once

#include "host/State.h"
#include "host/qt/About.h"
#include "host/qt/ThdTimer.h"
#include "host/qt/UserPrefs.h"
#include "host/qt/Zoom.h"
#include "periph/Keyboard.h"

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <map>
#include <vector>

class QAction;
class QActionGroup;
class QKeyEvent;
class QMenu;
class QMouseEvent;
class QTimer;

// An image control: shows its picture at (0, 0), at the picture's own size times the zoom, and
// hands the mouse events to its handlers. It swallows every mouse event, handled or not, as an
// image control lying over other controls does. Keys can be drawn pressed on it.
class TImage : public QWidget {
    Q_OBJECT
public:
    using MouseHandler = std::function<void(QMouseEvent* event)>;

    explicit TImage(QWidget* parent, Scaling scaling = Scaling::Face);
    // The picture at its own size (100 %).
    const QImage& Picture() const { return m_picture; }
    void SetPicture(const QImage& picture);
    int Zoom() const { return m_zoom; }
    void SetZoom(int percent);
    // The picture as it is drawn: zoomed (and at the screen's device pixel ratio).
    const QImage& Shown();
    // Rectangles of the picture (face pixels) drawn pressed: darker, shifted right and down by
    // one face pixel.
    void SetPressed(const std::vector<QRect>& rects);
    const std::vector<QRect>& Pressed() const { return m_pressed; }

    MouseHandler OnMouseDown, OnMouseUp, OnMouseMove;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage m_picture;
    QImage m_shown; // cache of Shown(); null when it must be made again
    double m_shownRatio = 0;
    Scaling m_scaling;
    int m_zoom = 100;
    std::vector<QRect> m_pressed;
};

// The window's shape cut from a face picture: the client rectangle less, in every row, the
// pure white pixels at its left end and those right of its last non-white pixel. A picture of
// another size is cut or extended (with non-white, which stays part of the window) to the
// client size first.
QRegion FaceShape(const QImage& face);

// Qt key code to the virtual-key code of the PC key table (0 for keys the table does not know).
int VirtualKeyOf(int qtKey);
// Which PC key an event is about, the same for its press and its release: the key's scan code
// where the platform gives one (a shifted character's Qt key may change between the two), else
// its Qt key code.
uint32_t PcKeyOf(const QKeyEvent* event);

// The warning box every message of the program appears in: one OK button.
void ShowWarningBox(const QString& text);

class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Controls, bottom to top.
    TImage* FaceImage;
    TImage* PwrSwImage;
    TImage* LcdImage;
    TThreadedTimer* RunTimer;
    QTimer* RefreshTimer;

    // Bitmaps, created by FormCreate and freed by FormClose.
    QImage FaceBitmap;
    QImage LcdBitmap;
    QImage SwitchOnBitmap;
    QImage SwitchOffBitmap;

    QTimer* AutoSaveTimer; // writes the memory once a minute when it changed
    QTimer* RewindTimer;   // while the rewind key is held: one image further back each time

    // The context menu (right click on the face outside the keys, the Menu key, Shift+F10).
    // Entries are plain actions; a new one is inserted before the entry it should precede.
    QMenu* ContextMenu;
    QAction* CopyScreenAction;
    QMenu* ScreenshotMenu;
    QAction* SaveLcdAction;
    QAction* SaveCalculatorAction;
    QAction* PasteAction;
    // Save state and Load state: the ten slots (each line shows when it was saved, or
    // "empty"; an empty slot cannot be loaded), then any file through a dialog.
    QMenu* SaveStateMenu;
    QMenu* LoadStateMenu;
    std::array<QAction*, kStateSlots> SaveSlotActions{};
    std::array<QAction*, kStateSlots> LoadSlotActions{};
    QAction* SaveStateFileAction;
    QAction* LoadStateFileAction;
    QAction* RewindAction;
    QMenu* ZoomMenu;
    QActionGroup* ZoomActions;
    QAction* AlwaysOnTopAction;
    QAction* TurboAction;
    QAction* DebuggerAction;
    QAction* ResetAction;
    QAction* AboutAction;
    QAction* QuitAction;

    // Shows the debug window (F3). Set by the program entry once the debug window exists.
    std::function<void()> ShowDebugger;
    // The character a key types without Shift (X11Keys.h); tests replace it.
    std::function<int(const QKeyEvent* event)> UnshiftedCharacterOf;
    // Asks for the name of a file to save (caption, suggested name, file types) or to open
    // (caption, file types); empty: cancelled. File dialogs; tests replace them.
    std::function<QString(const QString& caption, const QString& suggested, const QString& filter)>
        AskSaveFileName;
    std::function<QString(const QString& caption, const QString& filter)> AskOpenFileName;

    // True while the window is moved by following the pointer because the platform refused
    // to move it itself.
    bool FollowingPointer() const { return m_dragActive; }
    int Zoom() const { return m_zoom; }
    bool TurboOn() const { return m_turboHeld || m_turboToggled; }
    bool Rewinding() const { return m_rewinding; }

    // Event handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDeactivate();
    // A PC key press (not an auto-repeated one): F3 shows the debugger, any other key of the
    // table or the key map presses its key.
    void FormKeyDown(int virtualKey, int character, uint32_t pcKey);
    void FormKeyUp(uint32_t pcKey);
    void PwrSwMouseDown(QMouseEvent* event);
    void FaceMouseDown(QMouseEvent* event);
    void FaceMouseUp(QMouseEvent* event);
    void FaceMouseMove(QMouseEvent* event);
    void LcdMouseDown(QMouseEvent* event);
    void OnAutoSaveTimer();
    // Hands LcdBitmap (the machine's) over to the LCD image.
    void ShowLcd();

    // Menu commands.
    void CopyScreen();
    void SaveScreenshot(bool wholeCalculator);
    void Paste();
    void SetZoom(int percent);
    void SetAlwaysOnTop(bool on);
    void SetTurboToggled(bool on);
    void SetTurboHeld(bool on);
    void ResetCalculator();
    // Save states: a slot (state-N.vst in the working folder) or a file chosen in a dialog.
    // A load that fails says why and changes nothing.
    void SaveStateToSlot(int slot);
    void LoadStateFromSlot(int slot);
    void SaveStateToFile();
    void LoadStateFromFile();
    // The slots' menu lines: when each was saved, and which can be loaded.
    void UpdateStateSlots();
    // Rewind: held, the machine stops and walks back through the step history's images (one
    // each RewindTimer tick, the first at once), each shown on the LCD; let go, it runs on from
    // the image shown last. Only while the power is on.
    void SetRewindHeld(bool on);
    // The menu's rewind: one second back at once.
    void RewindOneSecond();
    void ShowAbout();
    // Shows the context menu at a global position.
    void ShowContextMenu(const QPoint& globalPos);

    // The power switch: toggles PowerOn, resets, and starts or stops the run timer.
    void TogglePower();
    // Writes ram.bin and register.bin now (the desktop session is ending).
    void SaveMemory();
    // The whole calculator as shown, transparent outside its shape.
    QImage CalculatorImage();
    // Draws the keys held in the slots pressed, if they changed since the last drawing.
    void UpdatePressedKeys();
    // The run timer's interval: 0 in turbo while the processor runs, else 10 ms.
    void UpdateRunInterval();

signals:
    // The window has closed and saved the machine's memory; the program may end.
    void Closed();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CutShape();
    void BuildContextMenu();
    void OnRunTick();
    void ApplyTurbo();
    void UpdateTitle();
    void OpenDebugger();
    void AfterStateLoaded();
    void OnRewindTimer();
    void SavePrefs();
    std::vector<ShortcutRow> Shortcuts() const;

    bool m_shownOnce = false;
    bool m_closedOnce = false;
    bool m_dragActive = false;
    QPoint m_dragOffset; // pointer position minus window position while following the pointer
    QRegion m_faceShape; // the window shape at 100 %; empty without a face
    int m_zoom = kDefaultZoom;
    UserPrefs m_prefs;
    int m_mousePressCode = 0; // the key code the last left press hit (0: none)
    // For telling whose Shift is down: the order of the presses, the last Shift press, and the
    // PC keys held with the number of their press.
    uint64_t m_pressCount = 0, m_shiftPress = 0;
    std::map<uint32_t, uint64_t> m_heldPcKeys;
    bool m_turboHeld = false, m_turboToggled = false;
    bool m_rewinding = false;
    std::array<int32_t, kKeySlots> m_drawnKeys{}; // the slots as last drawn
};
