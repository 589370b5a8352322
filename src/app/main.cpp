#include "common/AppInfo.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(AppInfo::mainCaption());
    label.setWindowTitle(AppInfo::mainCaption());
    label.resize(320, 80);
    label.show();
    return app.exec();
}
