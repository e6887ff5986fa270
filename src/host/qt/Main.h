// The main window: the calculator itself. A borderless window shaped like the calculator's
// outline, showing the face with the LCD drawn into it and the power switch on its left edge.
// It owns start-up and shut-down, turns clicks and PC keys into calculator keys, and holds the
// two timers that drive the emulation.
#pragma once

#include "host/qt/ThdTimer.h"

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QString>
#include <QWidget>

#include <functional>

class QMouseEvent;
class QTimer;

// An image control: shows its picture at (0, 0) at the picture's own size and hands the mouse
// events to its handlers. It swallows every mouse event, handled or not, as an image control
// lying over other controls does.
class TImage : public QWidget {
    Q_OBJECT
public:
    using MouseHandler = std::function<void(QMouseEvent* event)>;

    explicit TImage(QWidget* parent);
    const QImage& Picture() const { return m_picture; }
    void SetPicture(const QImage& picture);

    MouseHandler OnMouseDown, OnMouseUp, OnMouseMove;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage m_picture;
};

// The window's shape cut from a face picture: the client rectangle less, in every row, the
// pure white pixels at its left end and those right of its last non-white pixel. A picture of
// another size is cut or extended (with non-white, which stays part of the window) to the
// client size first.
QRegion FaceShape(const QImage& face);

// Qt key code to the virtual-key code of the PC key table (0 for keys the table does not know).
int VirtualKeyOf(int qtKey);

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

    // Shows the debug window (F3). Set by the program entry once the debug window exists.
    std::function<void()> ShowDebugger;

    // True while the window is moved by following the pointer because the platform refused
    // to move it itself.
    bool FollowingPointer() const { return m_dragActive; }

    // Event handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDeactivate();
    void FormKeyDown(int virtualKey);
    void FormKeyPress(int character);
    void FormKeyUp();
    void PwrSwMouseDown(QMouseEvent* event);
    void FaceMouseDown(QMouseEvent* event);
    void FaceMouseUp(QMouseEvent* event);
    void FaceMouseMove(QMouseEvent* event);
    // Hands LcdBitmap (the machine's) over to the LCD image.
    void ShowLcd();

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

private:
    void CutShape();

    bool m_shownOnce = false;
    bool m_closedOnce = false;
    bool m_dragActive = false;
    QPoint m_dragOffset; // pointer position minus window position while following the pointer
};
