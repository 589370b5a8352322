#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// The test whether an earlier instance of the program runs for this user: a lock file in
// the user's runtime folder, held for the life of the instance. A lock left behind by a
// crashed instance is stale (its process is gone) and does not count.
class InstanceLock {
public:
    // folder empty: the user's runtime folder.
    explicit InstanceLock(QString folder = QString());

    // Takes the lock when no other instance holds it. Returns true when another instance
    // of this user already runs (the lock stays with it).
    bool anotherInstanceRuns();
    bool held() const;
    // Lets go of the lock and removes its file, at the instance's end.
    void release();

private:
    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
};
