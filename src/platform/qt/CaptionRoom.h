#pragma once

#include <QFont>
#include <QString>

class QDialog;
class QMessageBox;

// Room for a window's caption in the window manager's title bar: the caption in the title
// font, with the frame's icon and buttons beside it. A box narrower than that shows its
// caption cut short, or not at all.
class CaptionRoom {
public:
    // The title bar's font as far as Qt knows it, never smaller than title bars commonly use.
    static QFont titleFont();
    // The least outer width at which the caption shows whole.
    static int widthFor(const QString& caption);
    // A message box sizes itself from its layout when shown, over any minimum width set on
    // it: the room goes into its layout. Call once its text, icon and buttons are set.
    static void reserve(QMessageBox& box);
    static void reserve(QDialog& dialog);
};
