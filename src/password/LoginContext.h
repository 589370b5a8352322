#pragma once

#include "common/AppInfo.h"
#include "password/PasswordSettings.h"

#include <QPointer>

class Prompts;
class QWidget;
class SettingsStore;

// What the login gate and its dialogs need. The start-up code makes one and keeps it as
// long as the program runs; every CLogin is made on it where it is needed:
//
//     if (!CLogin(context).Pass()) ... // before the main window is shown
//     CLogin(context).SetPassword();   // the main window's "密码设置" button
//
// It also knows whether a login dialog is open, so that a second request to pass the gate
// while one is showing (a wake-up during the start-up login) brings that dialog to the
// front instead of opening another, and counts as refused.
class LoginContext {
public:
    LoginContext(SettingsStore& settings, Prompts& prompts, AppInfo app);

    SettingsStore& settings() const { return m_settings; }
    Prompts& prompts() const { return m_prompts; }
    const AppInfo& app() const { return m_app; }
    PasswordSettings passwordSettings() const;

    // The login dialog showing now, or null.
    QWidget* openLogin() const;
    void setOpenLogin(QWidget* dialog);

private:
    SettingsStore& m_settings;
    Prompts& m_prompts;
    AppInfo m_app;
    QPointer<QWidget> m_openLogin;
};
