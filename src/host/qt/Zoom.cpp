// Zoom mapping, zoomed window shape and sharp enlarged pictures.
#include "host/qt/Zoom.h"

#include <algorithm>
#include <vector>

bool IsZoomLevel(int percent) {
    return std::find(std::begin(kZoomLevels), std::end(kZoomLevels), percent) !=
           std::end(kZoomLevels);
}

QRect FaceToWindow(const QRect& face, int percent) {
    const int left = FaceToWindow(face.left(), percent);
    const int top = FaceToWindow(face.top(), percent);
    return {left, top, FaceToWindow(face.left() + face.width(), percent) - left,
            FaceToWindow(face.top() + face.height(), percent) - top};
}

QRegion FaceToWindow(const QRegion& face, int percent) {
    if (percent == 100) return face;
    // The mapping keeps the order of edges, so the mapped rectangles keep the bands and order
    // a region is made of.
    std::vector<QRect> rects;
    for (const QRect& r : face) rects.push_back(FaceToWindow(r, percent));
    QRegion window;
    window.setRects(rects.data(), static_cast<int>(rects.size()));
    return window;
}

QImage ScalePicture(const QImage& picture, double factor, Scaling scaling) {
    if (picture.isNull()) return picture;
    const QSize target(static_cast<int>(std::ceil(picture.width() * factor - 1e-9)),
                       static_cast<int>(std::ceil(picture.height() * factor - 1e-9)));
    if (target == picture.size()) return picture;
    const auto replicate = [&](int k) {
        return picture.scaled(picture.width() * k, picture.height() * k, Qt::IgnoreAspectRatio,
                              Qt::FastTransformation);
    };
    const bool integer = std::abs(factor - std::round(factor)) < 1e-9;
    if (scaling == Scaling::Dots || integer)
        return picture.scaled(target, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    // FACTOR = p / q with a small q: replicate by p, average down by q.
    int up = static_cast<int>(std::ceil(factor));
    for (int q = 2; q <= 4; ++q) {
        const double p = factor * q;
        if (std::abs(p - std::round(p)) < 1e-9) {
            up = static_cast<int>(std::round(p));
            break;
        }
    }
    return replicate(up).scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
