#pragma once

#include <QFont>
#include <QIcon>

class QLabel;
class QRect;
class QWidget;

// What the program's windows share in their look: the icon drawn for the program and the
// interface font, a song-style face at the size the layouts were made for, with CJK
// faces found on Linux desktops as stand-ins.
class AppLook {
public:
    static QIcon icon();
    static QFont font(qreal pointSize = 9);
    // Puts a window at the centre of the screen it is on (the primary one before it is shown),
    // its frame included, and keeps it there until it is first shown and framed.
    static void centre(QWidget& widget);
    // Puts a label at its place. Where the interface font needs more room than the layout
    // gives, the label grows to the right and downwards instead of cutting its text.
    static void placeLabel(QLabel& label, const QRect& layout);
    // Puts a control that draws a frame around an inner area (a list box) at its place. At a
    // fractional device pixel ratio Qt rounds the inner area outward, over the frame's right
    // or bottom line unless that line falls on a whole device pixel: the control gives up a
    // pixel or two there rather than lose its border.
    static void placeFramed(QWidget& control, const QRect& layout);
};
