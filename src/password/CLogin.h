#pragma once

class LoginContext;

// The login gate: the one way to the main window and to the set-password dialog. Made where
// it is needed and dropped afterwards; see LoginContext for how callers use it. It reads and
// writes no settings itself, the dialogs do.
class CLogin {
public:
    explicit CLogin(LoginContext& context);

    // Shows the login dialog modally with no owner, and returns once it has closed: true when
    // no password is set (the dialog grants at once, unasked) or the right one was typed;
    // false on cancel or the close box. While a login dialog is already open, brings it to
    // the front and returns false at once. Each call gets a new dialog.
    bool Pass();
    // Shows the set-password dialog modally with no owner, and returns once it has closed.
    void SetPassword();

private:
    LoginContext& m_context;
};
