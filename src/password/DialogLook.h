#pragma once

#include <QIcon>

class QDialog;
class QLabel;
class QRect;

// The look the two password dialogs share: the program's interface font, fixed size with a
// plain frame and only a close box, centred, and no window icon.
class DialogLook {
public:
    // Fixed client size (in twips), a title with a close box and no minimise, maximise or
    // help box, the interface font; centred on the screen.
    static void fixDialog(QDialog& dialog, int widthTwips, int heightTwips);
    // A right-aligned label at its place; where the font needs more room than the layout
    // gives, it grows to the left and evenly up and down, so its right edge stays put.
    static void placeRightLabel(QLabel& label, const QRect& layout);
    // A fully transparent icon: an icon left null would fall back to the application's.
    static QIcon noIcon();
};
