#include "ModalDriver.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

ModalDriver::ModalDriver(QString objectName, Action action)
    : m_objectName(std::move(objectName)), m_action(std::move(action)) {
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer.start();
}

void ModalDriver::poll() {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog ||
        (dialog->objectName() != m_objectName &&
         QLatin1String(dialog->metaObject()->className()) != m_objectName) ||
        !dialog->isVisible() || !dialog->isActiveWindow())
        return;
    m_timer.stop();
    // Let the dialog's own handling of its showing and activation run first.
    QCoreApplication::processEvents();
    if (!dialog->isVisible())
        return;
    m_ran = true;
    m_dialog = dialog;
    m_action(*dialog);
    if (!m_allowLeftOpen && m_dialog && m_dialog->isVisible()) {
        ADD_FAILURE() << "the script left " << m_objectName.toStdString() << " open";
        m_dialog->reject();
    }
}

void ModalDriver::typeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}
