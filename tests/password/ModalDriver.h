#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

// Acts as the user inside a modal dialog that the code under test is about to exec: once
// a top-level dialog with the given object or class name is the active modal widget and active,
// and its own activation handling has run, the action runs once with it. A dialog still
// open after the action is closed (and the test failed), so a wrong script cannot hang.
class ModalDriver {
public:
    using Action = std::function<void(QDialog&)>;
    ModalDriver(QString name, Action action);

    // The dialog may stay open after the action: something else closes it.
    void allowLeftOpen() { m_allowLeftOpen = true; }
    bool ran() const { return m_ran; }
    // The dialog the action ran on; null once it is destroyed.
    QDialog* dialog() const { return m_dialog.data(); }

    // Types the text into the widget as key presses; characters without a key of their own
    // (Chinese, say) arrive as key events that carry only their text, as a paste would.
    static void typeText(QWidget* widget, const QString& text);

private:
    void poll();

    QString m_objectName;
    Action m_action;
    QTimer m_timer;
    bool m_ran = false;
    bool m_allowLeftOpen = false;
    QPointer<QDialog> m_dialog;
};
