#include "platform/local/InstanceLock.h"

#include "platform/local/RuntimeFolder.h"

InstanceLock::InstanceLock(QString folder) : m_folder(std::move(folder)) {
    if (m_folder.isEmpty())
        m_folder = RuntimeFolder::path();
}

bool InstanceLock::anotherInstanceRuns() {
    if (m_lock && m_lock->isLocked())
        return false;
    if (m_folder.isEmpty())
        return false; // no private folder: run as the only instance rather than not at all
    m_lock = std::make_unique<QLockFile>(m_folder + QStringLiteral("/instance.lock"));
    // A running instance holds the lock for as long as it lives, so it is never stale by
    // age; only a lock whose process is gone is taken over.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return false;
    if (m_lock->error() == QLockFile::LockFailedError)
        return true;
    // The lock file cannot be created or read at all: no instance can hold it either.
    return false;
}

void InstanceLock::release() {
    if (m_lock)
        m_lock->unlock();
}

bool InstanceLock::held() const {
    return m_lock && m_lock->isLocked();
}
