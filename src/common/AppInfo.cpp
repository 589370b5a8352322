#include "common/AppInfo.h"

#include <QCoreApplication>
#include <QFileInfo>

AppInfo::AppInfo(QString exeDir, QString exeFileName)
    : m_exeDir(std::move(exeDir)), m_exeFileName(std::move(exeFileName)) {
    while (m_exeDir.size() > 1 && m_exeDir.endsWith(QLatin1Char('/')))
        m_exeDir.chop(1);
}

AppInfo AppInfo::fromApplication() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    return AppInfo(exe.absolutePath(), exe.fileName());
}

QString AppInfo::baseName() const {
    const qsizetype dot = m_exeFileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? m_exeFileName.left(dot) : m_exeFileName;
}

QString AppInfo::exePath() const {
    return m_exeDir + QLatin1Char('/') + m_exeFileName;
}

QString AppInfo::keyListPath() const {
    return m_exeDir + QStringLiteral("/KeyList.dat");
}
