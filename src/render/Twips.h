#pragma once

#include <QRect>

namespace grelavo {

// Geometry stated in twips is kept in twips and converted here, at one place:
// 15 twips to a device-independent pixel.
struct Twips {
    static constexpr int PerPixel = 15;
    static constexpr int toPixels(int twips) {
        return twips >= 0 ? (twips + PerPixel / 2) / PerPixel
                          : -((-twips + PerPixel / 2) / PerPixel);
    }
    static constexpr int fromPixels(int pixels) { return pixels * PerPixel; }
    static QRect toPixels(const QRect& r) {
        return QRect(toPixels(r.left()), toPixels(r.top()), toPixels(r.width()),
                     toPixels(r.height()));
    }
};

} // namespace grelavo
