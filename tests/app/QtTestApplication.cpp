#include "QtTestApplication.h"

#include <QApplication>

QtTestApplication::QtTestApplication() = default;
QtTestApplication::~QtTestApplication() = default;

void QtTestApplication::SetUp() {
    // Widget tests never draw on the user's display, whatever the caller's environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    m_app = std::make_unique<QApplication>(m_argc, m_argv);
    // The program ends only by its own immediate end, never because a window closed.
    QApplication::setQuitOnLastWindowClosed(false);
}

void QtTestApplication::TearDown() {
    m_app.reset();
}

bool QtTestApplication::Register() {
    ::testing::AddGlobalTestEnvironment(new QtTestApplication);
    return true;
}

// Every program that links this file gets the application.
[[maybe_unused]] static const bool kRegistered = QtTestApplication::Register();
