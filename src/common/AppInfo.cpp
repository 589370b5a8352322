#include "common/AppInfo.h"

AppInfo::AppInfo(std::u16string exeDir, std::u16string exeFileName, char16_t separator)
    : m_exeDir(std::move(exeDir)), m_exeFileName(std::move(exeFileName)), m_separator(separator) {
    while (m_exeDir.size() > 1 && m_exeDir.back() == m_separator)
        m_exeDir.pop_back();
}

std::u16string AppInfo::baseName() const {
    const std::size_t dot = m_exeFileName.rfind(u'.');
    return dot != std::u16string::npos && dot > 0 ? m_exeFileName.substr(0, dot) : m_exeFileName;
}

std::u16string AppInfo::exePath() const {
    return m_exeDir + m_separator + m_exeFileName;
}

std::u16string AppInfo::keyListPath() const {
    return m_exeDir + m_separator + u"KeyList.dat";
}
