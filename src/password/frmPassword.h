#pragma once

#include <QDialog>

class LoginContext;
class PasswordEdit;
class QPushButton;

// The login dialog "登录": asks for the password before the main window is shown. CLogin
// shows it modally and reads Pass once it has closed. When no password is set it grants
// access by itself as soon as it is shown or activated, so the user is asked nothing.
class frmPassword : public QDialog {
    Q_OBJECT
public:
    explicit frmPassword(LoginContext& context);

    // The outcome: false until access is granted.
    bool Pass = false;

public slots:
    // Cancel, Esc and the close box all end here: outcome false.
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Activate();
    void Ok_cmd_Click();
    void cmdTip_Click();
    void cmdCancel_Click();
    void grant();

    LoginContext& m_context;
    PasswordEdit* Mima_Text;
    QPushButton* Ok_cmd;
    QPushButton* cmdTip;
    QPushButton* cmdCancel;
};
