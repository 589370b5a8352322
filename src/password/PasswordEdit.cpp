#include "password/PasswordEdit.h"

PasswordEdit::PasswordEdit(QWidget* parent) : QLineEdit(parent) {
    setEchoMode(QLineEdit::Password);
    // 42 is "*"; styles differ in their default mask (often a bullet).
    setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}
