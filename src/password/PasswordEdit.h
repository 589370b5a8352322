#pragma once

#include <QLineEdit>

// A single-line box for a password: every character shows as "*", whatever the style's own
// mask character is.
class PasswordEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit PasswordEdit(QWidget* parent);
};
