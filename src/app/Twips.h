#pragma once

#include <QRect>
#include <QSize>

// Window layouts are given in twips: 15 twips per pixel at 96 dpi. The results are Qt's
// device-independent pixels, which Qt scales by the screen's device pixel ratio.
class Twips {
public:
    static constexpr int PerPixel = 15;

    static constexpr int toPixels(int twips) {
        return twips >= 0 ? (twips + PerPixel / 2) / PerPixel
                          : -((-twips + PerPixel / 2) / PerPixel);
    }
    static QRect rect(int left, int top, int width, int height) {
        return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
    }
    static QSize size(int width, int height) { return QSize(toPixels(width), toPixels(height)); }
};
