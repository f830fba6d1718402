#include "CSingleInstanceMutex.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString CSingleInstanceMutex::LockPathFor(const QString& name, const QString& folder)
{
    QString dir = folder;
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    QString file = name;
    for (QChar& c : file) {
        if (c == QLatin1Char('/') || c == QChar(0))
            c = QLatin1Char('_');
    }
    return QDir(dir).filePath(file + QStringLiteral(".lock"));
}

CSingleInstanceMutex::CSingleInstanceMutex(const QString& name, const QString& folder)
    : m_path(LockPathFor(name, folder))
{
    const QByteArray path = QFile::encodeName(m_path);
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return;
    int rc;
    do {
        rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        if (errno == EWOULDBLOCK)
            m_alreadyRunning = true;
        ::close(m_fd);
        m_fd = -1;
    }
}

CSingleInstanceMutex::~CSingleInstanceMutex()
{
    // Closing drops the lock; the file stays so that a starting instance
    // never races with its removal.
    if (m_fd >= 0)
        ::close(m_fd);
}
