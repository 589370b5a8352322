#include "password/frmPassword.h"

#include "app/AppLook.h"
#include "app/Twips.h"
#include "common/AppInfo.h"
#include "password/DialogLook.h"
#include "password/LoginContext.h"
#include "password/PassTransform.h"
#include "password/PasswordEdit.h"
#include "platform/Prompts.h"
#include "platform/qt/QtText.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

frmPassword::frmPassword(LoginContext& context) : m_context(context) {
    setObjectName(QStringLiteral("frmPassword"));
    setWindowTitle(QStringLiteral("登录"));
    DialogLook::fixDialog(*this, 3135, 1305);
    setWindowIcon(DialogLook::noIcon());

    auto* label = new QLabel(QStringLiteral("密码："), this);
    AppLook::placeLabel(*label, Twips::rect(180, 270, 645, 240));

    Mima_Text = new PasswordEdit(this);
    Mima_Text->setObjectName(QStringLiteral("Mima_Text"));
    Mima_Text->setGeometry(Twips::rect(855, 225, 1905, 285));

    Ok_cmd = new QPushButton(QStringLiteral("确定"), this);
    Ok_cmd->setObjectName(QStringLiteral("Ok_cmd"));
    Ok_cmd->setGeometry(Twips::rect(135, 765, 825, 330));
    Ok_cmd->setDefault(true);

    cmdTip = new QPushButton(QStringLiteral("提示"), this);
    cmdTip->setObjectName(QStringLiteral("cmdTip"));
    cmdTip->setGeometry(Twips::rect(1125, 765, 825, 330));

    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(Twips::rect(2160, 765, 825, 330));

    // The password box first, then OK, Cancel and the hint button.
    setTabOrder(Mima_Text, Ok_cmd);
    setTabOrder(Ok_cmd, cmdCancel);
    setTabOrder(cmdCancel, cmdTip);
    Mima_Text->setFocus();

    connect(Ok_cmd, &QPushButton::clicked, this, &frmPassword::Ok_cmd_Click);
    connect(cmdTip, &QPushButton::clicked, this, &frmPassword::cmdTip_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPassword::cmdCancel_Click);
}

bool frmPassword::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return handled;
}

void frmPassword::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Also handle activation once the modal loop runs, so that a window manager that does
    // not activate the dialog cannot keep it waiting when no password is set. Hiding from
    // inside show() would leave the modal loop without a way to end.
    QMetaObject::invokeMethod(this, &frmPassword::Form_Activate, Qt::QueuedConnection);
}

void frmPassword::Form_Activate() {
    if (!isVisible())
        return;
    setWindowIcon(DialogLook::noIcon());
    Pass = false;
    const PasswordSettings settings = m_context.passwordSettings();
    if (settings.hint().isEmpty())
        cmdTip->setEnabled(false);
    if (settings.storedForm().isEmpty())
        grant();
}

void frmPassword::grant() {
    Pass = true;
    accept();
}

void frmPassword::Ok_cmd_Click() {
    const QString stored = m_context.passwordSettings().storedForm();
    // A typed text outside the transform's domain never matches.
    if (PassTransform::CheckPass(Mima_Text->text(), stored)) {
        grant();
        return;
    }
    m_context.prompts().MsgBox(QStringLiteral("密码错误"), Msg::OkOnly,
                               QtText::toQ(AppInfo::title()));
    Mima_Text->clear();
    Mima_Text->setFocus(); // ready for the next attempt, also after a click on OK
}

void frmPassword::cmdTip_Click() {
    m_context.prompts().MsgBox(m_context.passwordSettings().hint(), Msg::OkOnly,
                               QStringLiteral("提示"));
}

void frmPassword::cmdCancel_Click() {
    reject();
}

void frmPassword::reject() {
    Pass = false;
    QDialog::reject();
}
