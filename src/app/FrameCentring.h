#pragma once

#include <QObject>

class QEvent;
class QMargins;
class QWidget;

// Keeps a window centred on its screen, the frame the window manager puts around it
// included, until the manager has framed it at its first showing. Before that the frame is
// not known: the window is first placed as if it had the frame of another visible window of
// the program (or none), then placed again once its own frame is there. Later showings
// leave the window where it is.
class FrameCentring : public QObject {
public:
    // Watches the window from now on; the watcher belongs to the window.
    static void apply(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FrameCentring(QWidget& window);
    void centre(const QMargins& frame);
    // The frame of the window itself once the manager has put it on, else null margins.
    QMargins ownFrame() const;

    QWidget& m_window;
    bool m_shown = false;
};
