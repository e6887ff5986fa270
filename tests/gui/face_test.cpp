// The generated face and key map, and the window shape cut from a face.
#include "FaceLegends.h"
#include "GuiTest.h"
#include "KeyMapTable.h"
#include "host/qt/FaceLayout.h"
#include "host/qt/Main.h"
#include "periph/Keyboard.h"

#include <QFile>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>

namespace {

QImage WhiteFace(int w = kFaceWidth, int h = kFaceHeight) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

TEST(FaceShape, CutsTheWhiteAtTheEndsOfEveryRow) {
    struct Case {
        const char* name;
        QImage face;
        QRegion expect;
    };
    QImage block = WhiteFace();
    QPainter(&block).fillRect(100, 50, 100, 100, Qt::black);
    // A ring: the white inside the outline stays part of the window.
    QImage ring = WhiteFace();
    {
        QPainter p(&ring);
        p.fillRect(10, 10, 200, 200, QColor(1, 2, 3));
        p.fillRect(30, 30, 160, 160, Qt::white);
    }
    // Near-white is not white.
    QImage nearWhite = WhiteFace();
    QPainter(&nearWhite).fillRect(0, 0, kFaceWidth, 1, QColor(255, 255, 254));
    // A single dark pixel at the right end of a row keeps the whole row from its left end on.
    QImage dot = WhiteFace();
    dot.setPixel(kFaceWidth - 1, 7, qRgb(0, 0, 0));
    dot.setPixel(0, 9, qRgb(0, 0, 0));
    // Smaller than the window: the extended area is not white and stays.
    QImage small(100, 100, QImage::Format_RGB32);
    small.fill(Qt::white);
    // Larger than the window: cut to it.
    QImage large = WhiteFace(600, 700);
    QPainter(&large).fillRect(400, 500, 200, 200, Qt::black);

    const Case cases[] = {
        {"all white", WhiteFace(), QRegion()},
        {"block", block, QRegion(100, 50, 100, 100)},
        {"ring", ring, QRegion(10, 10, 200, 200)},
        {"near white", nearWhite, QRegion(0, 0, kFaceWidth, 1)},
        {"dot", dot, QRegion(kFaceWidth - 1, 7, 1, 1) + QRegion(0, 9, 1, 1)},
        {"small", small, QRegion(0, 0, kFaceWidth, kFaceHeight) - QRegion(0, 0, 100, 100)},
        {"large", large, QRegion(400, 500, kFaceWidth - 400, kFaceHeight - 500)},
    };
    for (const Case& c : cases) EXPECT_EQ(FaceShape(c.face), c.expect) << c.name;
}

class GeneratedFace : public ::testing::Test {
protected:
    void SetUp() override {
        Face = QImage(GeneratedFile("face.bmp"));
        ASSERT_FALSE(Face.isNull()) << "face.bmp was not generated";
        Shape = FaceShape(Face);
    }
    bool Inside(const QRect& r) const { return (QRegion(r) - Shape).isEmpty(); }
    QImage Face;
    QRegion Shape;
};

TEST_F(GeneratedFace, HasTheWindowSizeAndAShapedOutline) {
    EXPECT_EQ(Face.size(), QSize(kFaceWidth, kFaceHeight));
    struct Case {
        QPoint at;
        bool inside;
    };
    const Case cases[] = {
        {{0, 0}, false},    {{491, 0}, false},  {{0, 560}, false}, {{491, 560}, false},
        {{5, 300}, false},  {{5, 420}, false},  {{0, 328}, true},  {{11, 396}, true},
        {{0, 362}, true},   {{246, 280}, true}, {{20, 100}, true}, {{470, 100}, true},
        {{441, 538}, true}, {{475, 554}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Shape.contains(c.at), c.inside) << c.at.x() << "," << c.at.y();
}

TEST_F(GeneratedFace, EveryKeyTheLcdAndTheSwitchLieInsideTheOutline) {
    for (const KeyGroup& g : kKeyGroups)
        for (int n = 0; n < g.keys; ++n) {
            const QRect key(g.left + (n % g.columns) * g.pitchX, g.top + (n / g.columns) * g.pitchY,
                            g.width, g.height);
            EXPECT_TRUE(Inside(key)) << "key " << g.firstCode + n;
        }
    EXPECT_TRUE(Inside(QRect(kLcdLeft, kLcdTop, 192, 128)));
    EXPECT_TRUE(Inside(QRect(kSwitchLeft, kSwitchTop, kSwitchWidth, kSwitchHeight)));
}

TEST_F(GeneratedFace, KeysAreDrawnWhereTheHitTableHasThem) {
    // Each key is a cap on a darker base filling its rectangle; the pixel one step outside the
    // rectangle (in the gap towards the next key or the body) is body, not key.
    for (const KeyGroup& g : kKeyGroups)
        for (int n = 0; n < g.keys; ++n) {
            const int x = g.left + (n % g.columns) * g.pitchX;
            const int y = g.top + (n / g.columns) * g.pitchY;
            const QRgb inside = Face.pixel(x + g.width / 2, y + g.height - 1); // the base
            const QRgb gapRight = Face.pixel(x + g.width, y + g.height / 2);   // beside it
            EXPECT_NE(inside, gapRight) << "key " << g.firstCode + n;
            EXPECT_EQ(FaceHitTest(x + g.width / 2, y + g.height - 1), g.firstCode + n);
            EXPECT_EQ(FaceHitTest(x + g.width, y + g.height / 2), 0);
        }
}

TEST_F(GeneratedFace, TheOffPictureOfTheSwitchShowsTheKnobLower) {
    QImage on = Face.copy(kSwitchLeft, kSwitchTop, kSwitchWidth, kSwitchHeight);
    QImage off(kSwitchWidth, kSwitchHeight, QImage::Format_RGB32);
    off.fill(Qt::white);
    {
        QPainter p(&off);
        p.drawImage(0, -kSwitchWrapShift, on);
        p.drawImage(0, kSwitchKnobTravel, on);
    }
    const int mid = kSwitchWidth / 2;
    // The knob is lighter than the housing; find its rows in both pictures.
    auto knobRows = [mid](const QImage& img) {
        int first = -1, last = -1;
        for (int y = 0; y < img.height(); ++y)
            if (qGray(img.pixel(mid, y)) > 100) {
                if (first < 0) first = y;
                last = y;
            }
        return std::pair{first, last};
    };
    const auto [onTop, onBottom] = knobRows(on);
    const auto [offTop, offBottom] = knobRows(off);
    EXPECT_EQ(onTop, kKnobTop);
    EXPECT_EQ(onBottom, kKnobTop + kKnobHeight - 1);
    EXPECT_EQ(offTop, onTop + kSwitchKnobTravel);
    EXPECT_EQ(offBottom, onBottom + kSwitchKnobTravel);
    // The wrapped rows at the top of the off picture are plain housing, as in the on picture.
    for (int y = 0; y < kSwitchKnobTravel; ++y)
        for (int x = 0; x < kSwitchWidth; ++x)
            EXPECT_EQ(off.pixel(x, y), on.pixel(x, kSwitchHeight - 1)) << x << "," << y;
}

// The character a legend stands for, where the key map can type it.
std::string LegendOfCharacter(int c) {
    switch (c) {
    case '*':
    case 'x':
    case 'X': return "\xC3\x97";
    case '/': return "\xC3\xB7";
    case '-': return "\xE2\x88\x92";
    case ',': return ".";
    case '^': return "x^y";
    case kMapRight: return "<R>";
    case kMapLeft: return "<L>";
    case kMapUp: return "<U>";
    case kMapDown: return "<D>";
    default: return std::string(1, static_cast<char>(c));
    }
}

TEST(KeyMap, EveryMappedCharacterPressesTheKeyLabelledWithIt) {
    for (const KeyMapEntry& e : kKeyMapTable)
        EXPECT_EQ(std::string(kKeyLegends[e.code - 1].text), LegendOfCharacter(e.byte))
            << "byte " << e.byte << " -> key " << e.code;
    const char required[] = "0123456789.+-*/%=";
    const auto map = BuildKeyMap();
    for (const char* c = required; *c; ++c) EXPECT_NE(map[*c], 0) << *c;
    for (int arrow = kMapRight; arrow <= kMapDown; ++arrow) EXPECT_NE(map[arrow], 0) << arrow;
}

TEST(KeyMap, TheGeneratedFileHoldsTheTable) {
    QFile f(GeneratedFile("keymap.dat"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_EQ(bytes.size(), 128);
    const auto map = BuildKeyMap();
    for (int i = 0; i < 128; ++i) EXPECT_EQ(static_cast<uint8_t>(bytes[i]), map[i]) << i;
}

TEST(Legends, TheNumberPadAndTheFixedKeysCarryTheirLegends) {
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {3, "OFF"},  {42, "7"},        {43, "8"},        {44, "9"},
        {45, "DEL"}, {46, "AC"},       {47, "4"},        {48, "5"},
        {49, "6"},   {50, "\xC3\x97"}, {51, "\xC3\xB7"}, {52, "1"},
        {53, "2"},   {54, "3"},        {55, "+"},        {56, "\xE2\x88\x92"},
        {57, "0"},   {58, "."},        {59, "\xC2\xB1"}, {60, "%"},
        {61, "="},
    };
    for (const Case& c : cases) EXPECT_EQ(kKeyLegends[c.code - 1].text, c.text) << c.code;
}

} // namespace
