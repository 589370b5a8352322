#pragma once

#include <QString>
#include <QTemporaryDir>

// Private per-user folders for one test: XDG_CONFIG_HOME, XDG_CONFIG_DIRS, XDG_RUNTIME_DIR
// and XDG_CACHE_HOME point into a temporary folder while this object lives, so nothing of the
// real user's is read or written. The previous values come back afterwards.
class TestEnv {
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    QString root() const { return m_dir.path(); }
    QString configHome() const { return root() + QStringLiteral("/config"); }
    QString configDir() const { return root() + QStringLiteral("/etc-xdg"); }
    QString runtimeDir() const { return root() + QStringLiteral("/runtime"); }
    QString cacheHome() const { return root() + QStringLiteral("/cache"); }
    // A folder for the test's own files.
    QString work() const { return root() + QStringLiteral("/work"); }

    // Copies an executable (by default the program under test, build/bin/sentinel) into
    // its own folder below root() and returns the copy's path, so KeyList.dat lands there.
    QString copyExecutable(const QString& source = QString(),
                           const QString& folder = QStringLiteral("app")) const;
    // The built program.
    static QString sentinelBinary();

private:
    QTemporaryDir m_dir;
    struct Saved {
        QByteArray name;
        QByteArray value;
        bool wasSet;
    };
    QList<Saved> m_saved;
};
