#include "password/DialogLook.h"

#include "app/AppLook.h"
#include "app/Twips.h"

#include <QDialog>
#include <QLabel>
#include <QPixmap>

void DialogLook::fixDialog(QDialog& dialog, int widthTwips, int heightTwips) {
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog.setFont(AppLook::font());
    dialog.setFixedSize(Twips::size(widthTwips, heightTwips));
    dialog.setSizeGripEnabled(false);
    AppLook::centre(dialog);
}

void DialogLook::placeRightLabel(QLabel& label, const QRect& layout) {
    label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QRect rect = layout;
    const QSize hint = label.sizeHint();
    if (hint.width() > rect.width())
        rect.setLeft(rect.right() + 1 - hint.width());
    if (hint.height() > rect.height()) {
        const int grow = hint.height() - rect.height();
        rect.adjust(0, -(grow / 2), 0, grow - grow / 2);
    }
    label.setGeometry(rect);
}

QIcon DialogLook::noIcon() {
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}
