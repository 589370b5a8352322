#pragma once

#include "platform/Prompts.h"

// The real prompts: modal Qt dialogs with no owner window. Timers and sockets keep being
// served while one is open, since Qt's modal loops dispatch events.
class QtPrompts : public Prompts {
public:
    int MsgBox(const QString& text, int style, const QString& caption) override;
    QString InputBox(const QString& prompt, const QString& caption,
                     const QString& defaultText) override;
    QString FileDialog(const FileDialogOptions& options) override;
};
