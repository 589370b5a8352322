// A program whose only window is a parentless Qt dialog, as many small programs have for
// their main window, or with --tool a parentless Qt::Tool window. Its last argument is
// the window's title; it ends when the window is closed.
#include <QApplication>
#include <QDialog>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2)
        return 2;
    QWidget* window =
        args.contains(QStringLiteral("--tool")) ? new QWidget(nullptr, Qt::Tool) : new QDialog;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(args.last());
    window->resize(240, 80);
    QObject::connect(window, &QObject::destroyed, &app, &QCoreApplication::quit);
    window->show();
    return QApplication::exec();
}
