#pragma once

#include <QString>

// A small tmpfs mounted on a folder of the test's own, unmounted when this object goes:
// a full or read-only file system that stops root too, where permission bits do not.
class TmpfsMount {
public:
    TmpfsMount(const QString& folder, int kilobytes);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return m_mounted; }
    // Why mounting failed.
    const QString& error() const { return m_error; }
    bool remountReadOnly();

private:
    QString m_folder;
    QString m_options;
    bool m_mounted = false;
    QString m_error;
};
