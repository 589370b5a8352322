#include "password/frmSetPass.h"

#include "app/Twips.h"
#include "common/AppInfo.h"
#include "password/DialogLook.h"
#include "password/LoginContext.h"
#include "password/PassTransform.h"
#include "password/PasswordEdit.h"
#include "platform/Prompts.h"
#include "platform/qt/QtText.h"

#include <QLabel>
#include <QPushButton>

namespace {

// The labels stand left of their boxes, right-aligned where the boxes begin.
void addLabel(QWidget* parent, const QString& text, const QRect& geometry) {
    DialogLook::placeRightLabel(*new QLabel(text, parent), geometry);
}

} // namespace

frmSetPass::frmSetPass(LoginContext& context) : m_context(context) {
    setObjectName(QStringLiteral("frmSetPass"));
    setWindowTitle(QStringLiteral("密码设置"));
    DialogLook::fixDialog(*this, 3840, 2700);

    addLabel(this, QStringLiteral("旧的密码："), Twips::rect(360, 495, 900, 180));
    addLabel(this, QStringLiteral("新的密码："), Twips::rect(360, 900, 900, 180));
    addLabel(this, QStringLiteral("确认新的密码："), Twips::rect(0, 1260, 1260, 180));
    addLabel(this, QStringLiteral("提示："), Twips::rect(720, 1620, 540, 180));

    OldPass = new PasswordEdit(this);
    OldPass->setObjectName(QStringLiteral("OldPass"));
    OldPass->setGeometry(Twips::rect(1260, 450, 1950, 240));

    NewPass = new PasswordEdit(this);
    NewPass->setObjectName(QStringLiteral("NewPass"));
    NewPass->setGeometry(Twips::rect(1260, 855, 1950, 240));

    NewPass2 = new PasswordEdit(this);
    NewPass2->setObjectName(QStringLiteral("NewPass2"));
    NewPass2->setGeometry(Twips::rect(1260, 1215, 1950, 240));

    txtTip = new QLineEdit(this);
    txtTip->setObjectName(QStringLiteral("txtTip"));
    txtTip->setGeometry(Twips::rect(1260, 1575, 1950, 285));

    Ok_cmd = new QPushButton(QStringLiteral("确认"), this);
    Ok_cmd->setObjectName(QStringLiteral("Ok_cmd"));
    Ok_cmd->setGeometry(Twips::rect(450, 2115, 1320, 375));
    Ok_cmd->setDefault(true);

    Cancel_cmd = new QPushButton(QStringLiteral("取消"), this);
    Cancel_cmd->setObjectName(QStringLiteral("Cancel_cmd"));
    Cancel_cmd->setGeometry(Twips::rect(2070, 2115, 1275, 375));

    setTabOrder(OldPass, NewPass);
    setTabOrder(NewPass, NewPass2);
    setTabOrder(NewPass2, txtTip);
    setTabOrder(txtTip, Ok_cmd);
    setTabOrder(Ok_cmd, Cancel_cmd);

    connect(Ok_cmd, &QPushButton::clicked, this, &frmSetPass::Ok_cmd_Click);
    // Cancel and the close box close the dialog the same way: nothing is written.
    connect(Cancel_cmd, &QPushButton::clicked, this, &frmSetPass::reject);

    Form_Load();
}

void frmSetPass::Form_Load() {
    setWindowIcon(DialogLook::noIcon());
    if (m_context.passwordSettings().storedForm().isEmpty()) {
        OldPass->setEnabled(false);
        QPalette palette = OldPass->palette();
        palette.setColor(QPalette::Base, inactiveTitleBarColour());
        OldPass->setPalette(palette);
        NewPass->setFocus();
    } else {
        OldPass->setFocus();
    }
}

void frmSetPass::Ok_cmd_Click() {
    Prompts& prompts = m_context.prompts();
    PasswordSettings settings = m_context.passwordSettings();

    // With no password set the old box is disabled and empty, and the empty text matches.
    if (!PassTransform::CheckPass(OldPass->text(), settings.storedForm())) {
        OldPass->clear();
        NewPass->clear();
        NewPass2->clear();
        prompts.MsgBox(QStringLiteral("原密码错误"), Msg::OkOnly, QtText::toQ(AppInfo::title()));
        OldPass->setFocus();
        return;
    }
    if (NewPass->text() != NewPass2->text()) {
        prompts.MsgBox(QStringLiteral("两次输入的密码不同"), Msg::OkOnly,
                       QtText::toQ(AppInfo::title()));
        NewPass->clear();
        NewPass2->clear();
        NewPass->setFocus();
        return;
    }
    // An empty new password gives the empty stored form: the protection is off.
    const std::optional<QString> stored = PassTransform::EncodePass(NewPass->text());
    if (!stored) {
        prompts.MsgBox(QStringLiteral("密码只能包含英文字母、数字和符号"), Msg::OkOnly,
                       QtText::toQ(AppInfo::title()));
        NewPass->clear();
        NewPass2->clear();
        NewPass->setFocus();
        return;
    }
    settings.saveStoredForm(*stored);
    settings.saveHint(txtTip->text());
    accept();
}
