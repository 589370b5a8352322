#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Message-box styles and answers, with the values the program's callers are written in.
namespace Msg {
constexpr int OkOnly = 0x0;
constexpr int YesNo = 0x4;
constexpr int Critical = 0x10;
constexpr int Question = 0x20;
constexpr int Exclamation = 0x30;
constexpr int Information = 0x40;
constexpr int DefaultButton2 = 0x100;

constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace Msg

// What a file chooser is asked to show; filled by the Open/Save dialog module.
struct FileDialogOptions {
    bool save = false;
    QString title;
    QList<QPair<QString, QString>> filters; // description, pattern; the first is selected
    int maxFile = 255;
    quint32 flags = 0;
    QString defaultExt;
};

// Every modal question the program asks goes through here: the real program shows Qt's
// dialogs, tests script the answers and record what was asked.
class Prompts {
public:
    virtual ~Prompts() = default;
    // Returns the button pressed (Msg::Ok, Msg::Yes, Msg::No ...). An empty caption means the
    // application title.
    virtual int MsgBox(const QString& text, int style, const QString& caption) = 0;
    // Returns the text typed, or the empty text on Cancel.
    virtual QString InputBox(const QString& prompt, const QString& caption,
                             const QString& defaultText) = 0;
    // Returns the chosen full path, or the empty text on Cancel.
    virtual QString FileDialog(const FileDialogOptions& options) = 0;
};
