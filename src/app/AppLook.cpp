#include "app/AppLook.h"

#include "app/FrameCentring.h"

#include <QLabel>
#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <cmath>

namespace {

// The longest length, at most the given one, whose last pixel row or column, counted from
// the window's edge, starts on a whole device pixel. The ratios in use (1.25, 1.5, 1.75...)
// reach one within a few pixels; others keep the length.
int wholeLastPixel(int start, int length, qreal ratio) {
    constexpr int kMostGivenUp = 4;
    for (int shorter = 0; shorter <= kMostGivenUp && length - shorter > 1; ++shorter) {
        const qreal last = (start + length - shorter - 1) * ratio;
        if (std::abs(last - std::round(last)) < 1e-6)
            return length - shorter;
    }
    return length;
}

} // namespace

QIcon AppLook::icon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/sentinel-%1.png").arg(size), QSize(size, size));
    return icon;
}

QFont AppLook::font(qreal pointSize) {
    QFont font;
    // The "Sharp" face has the 12-pixel line of the song face the layouts were drawn with.
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                      QStringLiteral("WenQuanYi Zen Hei Sharp"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(pointSize);
    return font;
}

void AppLook::centre(QWidget& widget) {
    FrameCentring::apply(widget);
}

void AppLook::placeLabel(QLabel& label, const QRect& layout) {
    QRect rect = layout;
    if (label.wordWrap()) {
        rect.setHeight(qMax(rect.height(), label.heightForWidth(rect.width())));
    } else {
        const QSize hint = label.sizeHint();
        rect.setWidth(qMax(rect.width(), hint.width()));
        rect.setHeight(qMax(rect.height(), hint.height()));
    }
    label.setGeometry(rect);
}

void AppLook::placeFramed(QWidget& control, const QRect& layout) {
    const qreal ratio = control.devicePixelRatioF();
    QWidget* parent = control.parentWidget();
    const QPoint origin =
        (parent ? parent->mapTo(control.window(), QPoint()) : QPoint()) + layout.topLeft();
    control.setGeometry(layout.x(), layout.y(), wholeLastPixel(origin.x(), layout.width(), ratio),
                        wholeLastPixel(origin.y(), layout.height(), ratio));
}
