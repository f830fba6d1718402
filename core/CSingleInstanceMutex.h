#pragma once

// The single-instance guard of the program: an exclusive flock on a lock file
// named after the instance name in the user's runtime folder. The lock lives
// as long as the holder (and dies with the process, also on a crash, so a
// stale file never blocks a later start).

#include <QString>

class CSingleInstanceMutex {
public:
    // `folder` empty: the user's runtime folder (XDG_RUNTIME_DIR, else the
    // temporary folder). Tests pass their own folder.
    explicit CSingleInstanceMutex(const QString& name, const QString& folder = QString());
    ~CSingleInstanceMutex();
    CSingleInstanceMutex(const CSingleInstanceMutex&) = delete;
    CSingleInstanceMutex& operator=(const CSingleInstanceMutex&) = delete;

    // True when another process holds the lock.
    bool IsAlreadyRunning() const { return m_alreadyRunning; }
    // False when the lock file could not be opened: the program then runs
    // without the protection.
    bool IsValid() const { return m_fd >= 0; }
    QString LockPath() const { return m_path; }

    // The lock file's path for a name (characters a file name cannot hold are
    // replaced).
    static QString LockPathFor(const QString& name, const QString& folder = QString());

private:
    int m_fd = -1;
    bool m_alreadyRunning = false;
    QString m_path;
};
