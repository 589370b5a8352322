#pragma once

#include "platform/Prompts.h"

// Prompts for the moment when nobody may be there to answer (the program is being ended
// from outside): nothing is shown, every question is answered OK or with nothing.
class SilentPrompts : public Prompts {
public:
    int MsgBox(const QString&, int, const QString&) override { return Msg::Ok; }
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }
    QString FileDialog(const FileDialogOptions&) override { return {}; }
};
