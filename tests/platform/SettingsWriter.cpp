// Writes COUNT keys "PREFIX<n>" = "<n>" into the settings file at PATH, one write each, so
// that tests can run several writers at once against one file.
#include "platform/xdg/IniSettingsStore.h"

#include <QString>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    IniSettingsStore store(QString::fromLocal8Bit(argv[1]));
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i)
        store.SaveSetting(QStringLiteral("墨枫哨兵"), QStringLiteral("race"),
                          prefix + QString::number(i), QString::number(i));
    return 0;
}
