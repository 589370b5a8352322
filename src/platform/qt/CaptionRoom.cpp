#include "platform/qt/CaptionRoom.h"

#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace {

// Icon, minimise, maximise and close: what a title bar may put beside the caption.
constexpr int kFrameButtons = 4;
constexpr qreal kLeastTitlePoints = 10;

} // namespace

QFont CaptionRoom::titleFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    // Qt knows the real title font only on some desktops; a box a little wider than needed
    // costs nothing, a caption cut short hides the program's name.
    if (font.pointSizeF() < kLeastTitlePoints)
        font.setPointSizeF(kLeastTitlePoints);
    return font;
}

int CaptionRoom::widthFor(const QString& caption) {
    const QFontMetrics metrics(titleFont());
    // Frame buttons are about as tall as the title bar, which holds a line of the title
    // font with a little padding; the caption is padded on both sides by about as much.
    const int line = metrics.height();
    const int buttons = kFrameButtons * (line + line / 2);
    return metrics.horizontalAdvance(caption) + buttons + 2 * line;
}

void CaptionRoom::reserve(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return reserve(static_cast<QDialog&>(box));
    const QMargins margins = grid->contentsMargins();
    const int inner = widthFor(box.windowTitle()) - margins.left() - margins.right();
    // A row of its own below everything else: it widens the box and takes no height.
    grid->addItem(new QSpacerItem(qMax(0, inner), 0, QSizePolicy::Fixed, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, qMax(1, grid->columnCount()));
}

void CaptionRoom::reserve(QDialog& dialog) {
    dialog.setMinimumWidth(qMax(dialog.minimumWidth(), widthFor(dialog.windowTitle())));
}
