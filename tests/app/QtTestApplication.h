#pragma once

#include <gtest/gtest.h>

#include <memory>

class QApplication;

// The one QApplication of a widget test program, made before the first test and destroyed
// after the last one, before the program's exit handlers run (Qt's input devices must go
// with the application, not after it). Programs register it with Register().
class QtTestApplication : public ::testing::Environment {
public:
    QtTestApplication();
    ~QtTestApplication() override;

    void SetUp() override;
    void TearDown() override;

    // Adds the environment to the test program; call once from a static initialiser.
    static bool Register();

private:
    // QApplication keeps references to its arguments for its whole life.
    int m_argc = 1;
    char m_name[14] = "sentinel-test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};
