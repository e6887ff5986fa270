// Draws the program's icon from the face the build made: the calculator's outline cut from the
// white around it (as the main window cuts its shape), its display lit as when the window first
// shows, centred on a transparent square and scaled down to each of the usual icon sizes.
//
//   velmora-icongen FACE_BMP OUTPUT_DIR NAME
//
// writes OUTPUT_DIR/<N>x<N>/apps/NAME.png for every size N.
#include "host/qt/FaceLayout.h"
#include "periph/Lcd.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

bool IsPureWhite(QRgb pixel) {
    return (pixel & 0xFFFFFF) == 0xFFFFFF;
}

// The face with everything outside its outline transparent, cropped to the outline.
QImage CutOut(const QImage& face) {
    QImage image = face.convertToFormat(QImage::Format_ARGB32);
    int top = image.height(), bottom = -1, left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        int l = 0, r = image.width() - 1;
        while (l < image.width() && IsPureWhite(row[l])) row[l++] = 0;
        while (r >= l && IsPureWhite(row[r])) row[r--] = 0;
        if (l > r) continue;
        top = std::min(top, y);
        bottom = y;
        left = std::min(left, l);
        right = std::max(right, r);
    }
    if (bottom < 0) return {};
    return image.copy(left, top, right - left + 1, bottom - top + 1);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: velmora-icongen FACE_BMP OUTPUT_DIR NAME\n");
        return 2;
    }
    QImage face(QString::fromLocal8Bit(argv[1]));
    if (face.isNull()) {
        std::fprintf(stderr, "velmora-icongen: cannot read %s\n", argv[1]);
        return 1;
    }
    // The display as the window shows it at first: lit, empty.
    face = face.convertToFormat(QImage::Format_RGB32);
    {
        QPainter painter(&face);
        painter.fillRect(kLcdLeft, kLcdTop, kLcdWidth, kLcdHeight, QColor::fromRgb(kLcdLight));
    }
    const QImage body = CutOut(face);
    if (body.isNull()) {
        std::fprintf(stderr, "velmora-icongen: %s is white all over\n", argv[1]);
        return 1;
    }
    const int side = std::max(body.width(), body.height());
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    {
        QPainter painter(&square);
        painter.drawImage((side - body.width()) / 2, (side - body.height()) / 2, body);
    }

    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (const int size : kSizes) {
        const QString dir = out + QStringLiteral("/%1x%1/apps").arg(size);
        const QString file = dir + QLatin1Char('/') + name + QStringLiteral(".png");
        const QImage icon = square.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_ARGB32);
        if (!QDir().mkpath(dir) || !icon.save(file, "PNG")) {
            std::fprintf(stderr, "velmora-icongen: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
