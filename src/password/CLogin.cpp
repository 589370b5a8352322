#include "password/CLogin.h"

#include "password/LoginContext.h"
#include "password/frmPassword.h"
#include "password/frmSetPass.h"

#include <memory>

CLogin::CLogin(LoginContext& context) : m_context(context) {}

bool CLogin::Pass() {
    if (QWidget* open = m_context.openLogin()) {
        open->raise();
        open->activateWindow();
        return false;
    }
    const auto dialog = std::make_unique<frmPassword>(m_context);
    m_context.setOpenLogin(dialog.get());
    dialog->exec();
    const bool granted = dialog->Pass;
    m_context.setOpenLogin(nullptr);
    return granted;
}

void CLogin::SetPassword() {
    frmSetPass dialog(m_context);
    dialog.exec();
}
