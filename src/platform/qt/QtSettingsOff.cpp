#include "platform/qt/QtSettingsOff.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>

namespace {

void setUserFolder(const QString& folder) {
    // On Linux both formats are the same INI files, and Qt's dialogs ask for the native one.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

} // namespace

QtSettingsOff::QtSettingsOff() {
    // No folder can exist below a device file, whoever runs the program: Qt finds nothing
    // to read there and gives up writing, quietly.
    setUserFolder(QStringLiteral("/dev/null"));
}

QtSettingsOff::~QtSettingsOff() {
    // Qt's own default for the user scope.
    setUserFolder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}
