#pragma once

#include <QColor>
#include <QDialog>

class LoginContext;
class PasswordEdit;
class QLineEdit;
class QPushButton;

// The set-password dialog "密码设置": sets the first password, changes it or removes it
// (an empty new password switches the protection off), and stores the hint. Asks for the
// old password only when one is set. Writes both settings on success only; a failed
// attempt, Cancel and the close box write nothing.
class frmSetPass : public QDialog {
    Q_OBJECT
public:
    explicit frmSetPass(LoginContext& context);

    // The background of the old-password box when there is no old password: the usual
    // colour of an inactive window's title bar, for which Qt's palette has no role.
    static QColor inactiveTitleBarColour() { return QColor(191, 205, 219); }

private:
    void Form_Load();
    void Ok_cmd_Click();

    LoginContext& m_context;
    PasswordEdit* OldPass;
    PasswordEdit* NewPass;
    PasswordEdit* NewPass2;
    QLineEdit* txtTip;
    QPushButton* Ok_cmd;
    QPushButton* Cancel_cmd;
};
