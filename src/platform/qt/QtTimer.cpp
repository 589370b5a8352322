#include "platform/qt/QtTimer.h"

QtTimer::QtTimer() {
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (m_handler)
            m_handler();
    });
}
