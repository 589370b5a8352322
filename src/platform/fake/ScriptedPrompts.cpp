#include "platform/fake/ScriptedPrompts.h"

void ScriptedPrompts::runHook() {
    if (m_hook) {
        auto hook = std::move(m_hook);
        m_hook = nullptr;
        hook();
    }
}

int ScriptedPrompts::MsgBox(const QString& text, int style, const QString& caption) {
    m_asked.append({Asked::Message, text, style, caption, {}, {}});
    runHook();
    return m_messageAnswers.isEmpty() ? Msg::Ok : m_messageAnswers.takeFirst();
}

QString ScriptedPrompts::InputBox(const QString& prompt, const QString& caption,
                                  const QString& defaultText) {
    m_asked.append({Asked::Input, prompt, 0, caption, defaultText, {}});
    runHook();
    return m_inputAnswers.isEmpty() ? QString() : m_inputAnswers.takeFirst();
}

QString ScriptedPrompts::FileDialog(const FileDialogOptions& options) {
    m_asked.append({Asked::File, options.title, 0, {}, {}, options});
    runHook();
    return m_fileAnswers.isEmpty() ? QString() : m_fileAnswers.takeFirst();
}
