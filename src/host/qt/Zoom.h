// The window's zoom: face pixels to window pixels and back, the window shape and the pictures
// at a zoom. Window pixel x shows face pixel floor(x / zoom); the face, the mask, the hit test,
// the LCD and the drawn keys all use this one mapping, so they stay together at every zoom.
#pragma once

#include <QImage>
#include <QRect>
#include <QRegion>

#include <cmath>

inline constexpr int kZoomLevels[] = {100, 150, 200, 300}; // percent
inline constexpr int kDefaultZoom = 100;

bool IsZoomLevel(int percent);

// The first window pixel that shows face pixel V (V >= 0); a face edge at V lies there, so a
// face rectangle [x0, x1) covers the window pixels [FaceToWindow(x0), FaceToWindow(x1)).
inline int FaceToWindow(int v, int percent) {
    return (v * percent + 99) / 100;
}
// The face pixel under window position X.
inline int WindowToFace(double x, int percent) {
    return static_cast<int>(std::floor(x * 100.0 / percent));
}
QRect FaceToWindow(const QRect& face, int percent);
// A region of face pixels as the window pixels that show them.
QRegion FaceToWindow(const QRegion& face, int percent);

// How a picture is enlarged. Dots: every pixel becomes a block (the LCD, whose dots are 2 x 2
// face pixels, stays exact at 150 % too: each dot is 3 x 3). Face: integer factors replicate
// pixels; other factors replicate by the factor's numerator and then average down by its
// denominator (150 %: x 3, then 2 x 2 averages), so edges are at most one blended pixel wide
// and every face pixel gets the same width, where plain sampling would blur (bilinear) or
// make pixels unequal (nearest).
enum class Scaling { Dots, Face };
// PICTURE at FACTOR (zoom x device pixel ratio): ceil(width x FACTOR) x ceil(height x FACTOR).
QImage ScalePicture(const QImage& picture, double factor, Scaling scaling);
