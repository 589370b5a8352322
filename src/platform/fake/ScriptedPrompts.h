#pragma once

#include "platform/Prompts.h"

#include <QList>
#include <QString>

#include <functional>

// Prompts for tests: every question is recorded, and its answer comes from a queue the
// test filled (or a default: OK for messages, empty text for the input box and the file
// dialog, which is what Cancel gives). A hook may run while a prompt is "open", to act as
// the user would in the middle of a modal question.
class ScriptedPrompts : public Prompts {
public:
    struct Asked {
        enum Kind { Message, Input, File } kind;
        QString text;    // message text, input prompt, or file dialog title
        int style = 0;   // message style
        QString caption; // caption as given (empty: the application title)
        QString defaultText;
        FileDialogOptions file;
    };

    int MsgBox(const QString& text, int style, const QString& caption) override;
    QString InputBox(const QString& prompt, const QString& caption,
                     const QString& defaultText) override;
    QString FileDialog(const FileDialogOptions& options) override;

    void answerMessage(int button) { m_messageAnswers.append(button); }
    void answerInput(const QString& text) { m_inputAnswers.append(text); }
    void answerFile(const QString& path) { m_fileAnswers.append(path); }
    // Runs inside the next prompt (any kind), then is cleared.
    void whileOpen(std::function<void()> hook) { m_hook = std::move(hook); }

    const QList<Asked>& asked() const { return m_asked; }
    void clear() { m_asked.clear(); }

private:
    void runHook();

    QList<Asked> m_asked;
    QList<int> m_messageAnswers;
    QList<QString> m_inputAnswers;
    QList<QString> m_fileAnswers;
    std::function<void()> m_hook;
};
