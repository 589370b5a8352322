#include "app/FrameCentring.h"

#include <QApplication>
#include <QEvent>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// The frame of another visible window of the program: the manager frames its windows alike.
QMargins siblingFrame(const QWidget& except) {
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == &except || !other->isVisible() || !other->windowHandle())
            continue;
        const QMargins frame = other->windowHandle()->frameMargins();
        if (!frame.isNull())
            return frame;
    }
    return {};
}

} // namespace

void FrameCentring::apply(QWidget& window) {
    auto* watcher = new FrameCentring(window);
    watcher->centre(siblingFrame(window));
    window.installEventFilter(watcher);
}

FrameCentring::FrameCentring(QWidget& window) : QObject(&window), m_window(window) {}

bool FrameCentring::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &m_window)
        return false;
    if (event->type() == QEvent::Show && !m_shown) {
        m_shown = true;
        centre(siblingFrame(m_window));
    } else if (m_shown && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        const QMargins frame = ownFrame();
        if (!frame.isNull()) {
            m_window.removeEventFilter(this);
            centre(frame);
            deleteLater();
        }
    }
    return false;
}

void FrameCentring::centre(const QMargins& frame) {
    QScreen* screen = m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize outer = m_window.size().grownBy(frame);
    // A top-level widget's position is that of its frame.
    m_window.move(area.x() + (area.width() - outer.width()) / 2,
                  area.y() + (area.height() - outer.height()) / 2);
}

QMargins FrameCentring::ownFrame() const {
    const QWindow* handle = m_window.windowHandle();
    return handle && handle->isVisible() ? handle->frameMargins() : QMargins();
}
