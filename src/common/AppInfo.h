#pragma once

#include <string>

// The program's fixed names and where its executable lives. The paths are captured once
// (by the platform, or given by a test) and passed to whoever needs them. The separator is
// the platform's: "/" on Linux, "\" on Windows.
class AppInfo {
public:
    AppInfo(std::u16string exeDir, std::u16string exeFileName, char16_t separator = u'/');

    static std::u16string title() { return u"墨枫哨兵"; }
    static std::u16string version() { return u"1.00"; }
    // The main window's caption: title, a blank, version.
    static std::u16string mainCaption() { return title() + u' ' + version(); }

    // Directory of the executable without a trailing separator.
    const std::u16string& exeDir() const { return m_exeDir; }
    // File name of the executable ("sentinel").
    const std::u16string& exeFileName() const { return m_exeFileName; }
    char16_t separator() const { return m_separator; }
    // File name without its extension.
    std::u16string baseName() const;
    // Full path of the executable.
    std::u16string exePath() const;
    // The keyword store beside the executable, formed anew at each use.
    std::u16string keyListPath() const;

private:
    std::u16string m_exeDir;
    std::u16string m_exeFileName;
    char16_t m_separator;
};
