#include "app/AppLook.h"

#include "app/FrameCentring.h"

#include <QLabel>
#include <QStringList>
#include <QWidget>

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
