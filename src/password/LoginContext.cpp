#include "password/LoginContext.h"
#include "platform/qt/QtText.h"

#include <QWidget>

LoginContext::LoginContext(SettingsStore& settings, Prompts& prompts, AppInfo app)
    : m_settings(settings), m_prompts(prompts), m_app(std::move(app)) {}

PasswordSettings LoginContext::passwordSettings() const {
    return PasswordSettings(m_settings, QtText::toQ(m_app.exeDir()));
}

QWidget* LoginContext::openLogin() const {
    return m_openLogin.data();
}

void LoginContext::setOpenLogin(QWidget* dialog) {
    m_openLogin = dialog;
}
