// Draws the calculator face (face.bmp) and writes the key map (keymap.dat).
//
//   velmora-facegen OUTPUT_DIR
//
// Every key is drawn inside its rectangle of the key hit table, so what the face shows and what
// a click hits can never disagree. Outside the body the face is pure white: the main window
// cuts those pixels away, so its outline follows the body.
#include "FaceLegends.h"
#include "KeyMapTable.h"
#include "host/qt/FaceLayout.h"
#include "periph/Keyboard.h"

#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

const QString kFontFamily = QStringLiteral("Liberation Sans");

// The second legends (what a key does after SHIFT) are printed in this colour on the body, in
// a strip at the top of the key's rectangle; the keys of a block that has any second legend are
// drawn that much lower.
const QColor kShiftColour(0xf2, 0xa9, 0x3b);
constexpr int kShiftStrip = 11;

struct Palette {
    QColor face, shadow, text;
};

Palette PaletteOf(KeyStyle style) {
    switch (style) {
    case KeyStyle::Window:
        return {QColor(0x25, 0x29, 0x30), QColor(0x0c, 0x0d, 0x10), QColor(0xc8, 0xcc, 0xd2)};
    case KeyStyle::Power:
        return {QColor(0x3b, 0x41, 0x4a), QColor(0x15, 0x17, 0x1b), QColor(0xff, 0x70, 0x60)};
    case KeyStyle::Shift: return {QColor(0x3b, 0x41, 0x4a), QColor(0x15, 0x17, 0x1b), kShiftColour};
    case KeyStyle::Function:
        return {QColor(0x3b, 0x41, 0x4a), QColor(0x15, 0x17, 0x1b), QColor(0xf2, 0xf2, 0xf2)};
    case KeyStyle::Memory:
        return {QColor(0x35, 0x4c, 0x63), QColor(0x12, 0x1b, 0x25), QColor(0xf2, 0xf2, 0xf2)};
    case KeyStyle::Digit:
        return {QColor(0xe9, 0xe6, 0xdf), QColor(0x7d, 0x7a, 0x73), QColor(0x1c, 0x1f, 0x24)};
    case KeyStyle::Operator:
        return {QColor(0x5c, 0x65, 0x72), QColor(0x22, 0x26, 0x2c), QColor(0xff, 0xff, 0xff)};
    case KeyStyle::Clear:
        return {QColor(0xdf, 0x7f, 0x2a), QColor(0x6e, 0x3a, 0x0e), QColor(0xff, 0xff, 0xff)};
    case KeyStyle::Equals:
        return {QColor(0x3b, 0x78, 0xd4), QColor(0x15, 0x33, 0x63), QColor(0xff, 0xff, 0xff)};
    }
    return {Qt::gray, Qt::black, Qt::white};
}

QFont LegendFont(double pixelSize, bool bold) {
    QFont font(kFontFamily);
    font.setPixelSize(static_cast<int>(pixelSize));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// An arrow legend: a filled triangle pointing left, right, up or down.
void DrawArrow(QPainter& p, const QRectF& r, char dir, const QColor& colour) {
    const QPointF c = r.center();
    const double s = 6.0;
    QPolygonF tri;
    switch (dir) {
    case 'L':
        tri << QPointF(c.x() - s, c.y()) << QPointF(c.x() + s, c.y() - s)
            << QPointF(c.x() + s, c.y() + s);
        break;
    case 'R':
        tri << QPointF(c.x() + s, c.y()) << QPointF(c.x() - s, c.y() - s)
            << QPointF(c.x() - s, c.y() + s);
        break;
    case 'U':
        tri << QPointF(c.x(), c.y() - s) << QPointF(c.x() - s, c.y() + s)
            << QPointF(c.x() + s, c.y() + s);
        break;
    default:
        tri << QPointF(c.x(), c.y() + s) << QPointF(c.x() - s, c.y() - s)
            << QPointF(c.x() + s, c.y() - s);
        break;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(tri);
}

// Text centred in r, shrunk until it fits; "a^b" draws b as a raised exponent, "^ab" draws a
// raised in front of b.
void DrawLegend(QPainter& p, const QRectF& r, std::string_view legend, double size, bool bold,
                const QColor& colour) {
    if (legend.size() == 3 && legend[0] == '<' && legend[2] == '>') {
        DrawArrow(p, r, legend[1], colour);
        return;
    }
    const QString text = QString::fromUtf8(legend.data(), static_cast<qsizetype>(legend.size()));
    if (text.startsWith(QLatin1Char('^'))) {
        const QString raised = text.mid(1, 1), base = text.mid(2);
        const QFont font = LegendFont(size, bold), small = LegendFont(size * 0.68, bold);
        const QFontMetricsF fm(font), sm(small);
        const double width = sm.horizontalAdvance(raised) + fm.horizontalAdvance(base);
        const double x = r.center().x() - width / 2;
        const double baseline = r.center().y() + (fm.ascent() - fm.descent()) / 2;
        p.setPen(colour);
        p.setFont(small);
        p.drawText(QPointF(x, baseline - fm.ascent() * 0.45), raised);
        p.setFont(font);
        p.drawText(QPointF(x + sm.horizontalAdvance(raised), baseline), base);
        return;
    }
    const qsizetype caret = text.indexOf(QLatin1Char('^'));
    const QString base = caret < 0 ? text : text.left(caret);
    const QString raised = caret < 0 ? QString() : text.mid(caret + 1);
    for (;; size -= 0.5) {
        const QFont font = LegendFont(size, bold);
        const QFont small = LegendFont(size * 0.68, bold);
        const QFontMetricsF fm(font), sm(small);
        const double width =
            fm.horizontalAdvance(base) + (raised.isEmpty() ? 0 : sm.horizontalAdvance(raised) + 1);
        if (width > r.width() - 6 && size > 7) continue;
        const double x = r.center().x() - width / 2;
        const double baseline = r.center().y() + (fm.ascent() - fm.descent()) / 2;
        p.setPen(colour);
        p.setFont(font);
        p.drawText(QPointF(x, baseline), base);
        if (!raised.isEmpty()) {
            p.setFont(small);
            p.drawText(QPointF(x + fm.horizontalAdvance(base) + 1, baseline - fm.ascent() * 0.45),
                       raised);
        }
        return;
    }
}

void DrawKey(QPainter& p, const QRect& hit, const KeyLegend& legend, bool strip) {
    const Palette pal = PaletteOf(legend.style);
    QRectF r(hit);
    if (strip) {
        const QRectF above(r.left() - 4, r.top(), r.width() + 8, kShiftStrip);
        if (!legend.shifted.empty()) DrawLegend(p, above, legend.shifted, 11, true, kShiftColour);
        r.setTop(r.top() + kShiftStrip);
    }
    const double radius = legend.style == KeyStyle::Window ? 3 : 5;
    // The key's base (its shadow) fills the whole hit rectangle; the cap sits on its top.
    p.setPen(Qt::NoPen);
    p.setBrush(pal.shadow);
    p.drawRoundedRect(r, radius, radius);
    const QRectF cap = r.adjusted(0, 0, 0, -3);
    QLinearGradient g(cap.topLeft(), cap.bottomLeft());
    g.setColorAt(0, pal.face.lighter(118));
    g.setColorAt(1, pal.face.darker(108));
    p.setBrush(g);
    p.drawRoundedRect(cap, radius, radius);
    p.setPen(QPen(pal.face.lighter(135), 1));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(cap.left() + radius, cap.top() + 0.5),
               QPointF(cap.right() - radius, cap.top() + 0.5));

    double size = 11;
    bool bold = true;
    switch (legend.style) {
    case KeyStyle::Digit:
    case KeyStyle::Operator:
    case KeyStyle::Equals: size = 20; break;
    case KeyStyle::Window: size = 14; break;
    case KeyStyle::Clear: size = 15; break;
    default: break;
    }
    if (legend.text.size() == 1 && legend.style == KeyStyle::Function) size = 15;
    DrawLegend(p, cap, legend.text, size, bold, pal.text);
}

void DrawText(QPainter& p, const QRectF& r, const QString& text, double size, bool bold,
              const QColor& colour, int flags = Qt::AlignCenter, double spacing = 0) {
    QFont font = LegendFont(size, bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, flags, text);
}

// The power switch in its on position. The housing looks the same in every row, so the off
// picture, made of the on picture's rows shifted, shows plain housing where it wraps.
void DrawSwitch(QPainter& p) {
    const int x0 = kSwitchLeft, y0 = kSwitchTop;
    // End caps of the housing, above and below the switch's own rows.
    p.fillRect(x0, y0 - 3, kSwitchWidth, 3, QColor(0x0d, 0x0f, 0x12));
    p.fillRect(x0, y0 + kSwitchHeight, kSwitchWidth, 3, QColor(0x0d, 0x0f, 0x12));
    for (int y = y0; y < y0 + kSwitchHeight; ++y) {
        p.fillRect(x0, y, 1, 1, QColor(0x0d, 0x0f, 0x12));
        p.fillRect(x0 + 1, y, kSwitchWidth - 2, 1, QColor(0x1a, 0x1d, 0x22));
        p.fillRect(x0 + kSwitchWidth - 1, y, 1, 1, QColor(0x3a, 0x3f, 0x47));
    }
    const QRect knob(x0 + 1, y0 + kKnobTop, kSwitchWidth - 3, kKnobHeight);
    p.fillRect(knob, QColor(0xc6, 0xcb, 0xd2));
    p.fillRect(knob.left(), knob.top(), knob.width(), 1, QColor(0xee, 0xf0, 0xf3));
    p.fillRect(knob.left(), knob.bottom(), knob.width(), 1, QColor(0x6b, 0x70, 0x78));
    p.fillRect(knob.right(), knob.top(), 1, knob.height(), QColor(0x8a, 0x90, 0x99));
    for (int y = knob.top() + 6; y < knob.bottom() - 4; y += 3)
        p.fillRect(knob.left() + 2, y, knob.width() - 4, 1, QColor(0x80, 0x86, 0x8f));
}

QImage DrawFace() {
    QImage img(kFaceWidth, kFaceHeight, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);

    // Body: drawn without antialiasing so that its outline is crisp against the pure white
    // outside that the window cuts away.
    const QRectF body(12, 4, 477, 556);
    QPainterPath bodyPath;
    bodyPath.addRoundedRect(body, 22, 22);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x16, 0x19, 0x1e));
    p.drawPath(bodyPath);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient shell(body.topLeft(), body.bottomLeft());
    shell.setColorAt(0, QColor(0x3a, 0x40, 0x4a));
    shell.setColorAt(0.45, QColor(0x2c, 0x31, 0x39));
    shell.setColorAt(1, QColor(0x23, 0x27, 0x2e));
    p.setBrush(shell);
    p.drawRoundedRect(body.adjusted(2, 2, -2, -2), 20, 20);

    // Lower panel behind the number pad and the memory block.
    p.setBrush(QColor(0x1f, 0x23, 0x29));
    p.drawRoundedRect(QRectF(30, 332, 438, 196), 10, 10);

    // Display bezel, the LCD window (silver until the LCD image covers it) and the brand.
    p.setBrush(QColor(0x12, 0x14, 0x18));
    p.drawRoundedRect(QRectF(kLcdLeft - 16, kLcdTop - 18, 192 + 32, 128 + 46), 9, 9);
    p.fillRect(kLcdLeft - 2, kLcdTop - 2, 196, 132, QColor(0x05, 0x06, 0x07));
    p.fillRect(kLcdLeft, kLcdTop, 192, 128, QColor(0xc0, 0xc0, 0xc0));
    DrawText(p, QRectF(kLcdLeft - 8, kLcdTop + 130, 120, 16), QStringLiteral("VELMORA"), 11, true,
             QColor(0xd8, 0xdc, 0xe2), Qt::AlignLeft | Qt::AlignVCenter, 2.5);
    DrawText(p, QRectF(kLcdLeft + 92, kLcdTop + 130, 108, 16), QStringLiteral("96 \u00D7 64 DOT"),
             9, false, QColor(0x8d, 0x94, 0x9e), Qt::AlignRight | Qt::AlignVCenter, 1);

    // Band between the upper keys and the lower blocks: model name and a solar strip.
    DrawText(p, QRectF(24, 266, 240, 22), QStringLiteral("VM-96"), 19, true,
             QColor(0xe4, 0xe7, 0xeb), Qt::AlignLeft | Qt::AlignVCenter, 1.5);
    DrawText(p, QRectF(24, 290, 260, 16), QStringLiteral("SCIENTIFIC  \u00B7  PROGRAMMABLE"), 9,
             false, QColor(0x93, 0x9a, 0xa4), Qt::AlignLeft | Qt::AlignVCenter, 1.5);
    p.setBrush(QColor(0x0b, 0x0c, 0x0e));
    p.drawRoundedRect(QRectF(304, 264, 156, 40), 4, 4);
    for (int i = 0; i < 4; ++i) {
        QLinearGradient cell(QPointF(0, 268), QPointF(0, 300));
        cell.setColorAt(0, QColor(0x4a, 0x2f, 0x26));
        cell.setColorAt(1, QColor(0x2a, 0x19, 0x14));
        p.setBrush(cell);
        p.drawRect(QRectF(308 + i * 38, 268, 34, 32));
    }

    // Power switch and its marks.
    p.setRenderHint(QPainter::Antialiasing, false);
    DrawSwitch(p);
    p.setRenderHint(QPainter::Antialiasing, true);
    // The marks sit beside the knob's middle in each position.
    const double onMiddle = kSwitchTop + kKnobTop + kKnobHeight / 2.0;
    DrawText(p, QRectF(13, onMiddle - 9, 17, 10), QStringLiteral("ON"), 8, true,
             QColor(0xc8, 0xcc, 0xd2));
    DrawText(p, QRectF(13, onMiddle + kSwitchKnobTravel - 1, 17, 10), QStringLiteral("OFF"), 8,
             true, QColor(0x8d, 0x94, 0x9e));

    // Keys, straight from the hit table.
    for (const KeyGroup& g : kKeyGroups) {
        bool strip = false;
        for (int n = 0; n < g.keys; ++n) strip |= !kKeyLegends[g.firstCode + n - 1].shifted.empty();
        for (int n = 0; n < g.keys; ++n) {
            const int code = g.firstCode + n;
            const QRect hit(g.left + (n % g.columns) * g.pitchX, g.top + (n / g.columns) * g.pitchY,
                            g.width, g.height);
            DrawKey(p, hit, kKeyLegends[code - 1], strip);
        }
    }
    p.end();
    return img;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora-facegen OUTPUT_DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);

    const QImage face = DrawFace();
    if (!face.save(dir + QStringLiteral("/face.bmp"), "BMP")) {
        std::fprintf(stderr, "velmora-facegen: cannot write %s/face.bmp\n", argv[1]);
        return 1;
    }

    const auto map = BuildKeyMap();
    QFile keymap(dir + QStringLiteral("/keymap.dat"));
    if (!keymap.open(QIODevice::WriteOnly) ||
        keymap.write(reinterpret_cast<const char*>(map.data()), map.size()) !=
            static_cast<qint64>(map.size())) {
        std::fprintf(stderr, "velmora-facegen: cannot write %s/keymap.dat\n", argv[1]);
        return 1;
    }
    return 0;
}
