#include "ReportArchive.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char* const kFolderPrefix = "BugReport-";
// Create()'s tries when another instance's sweep takes a new folder for a
// leftover between its making and its locking.
constexpr int kCreateTries = 4;

// The folders Create() made and their locks' descriptors, guarded by
// `lock`. Never destroyed: a report thread still running as the process
// ends may yet remove its folder.
struct HeldFolders {
    QMutex lock;
    QHash<QString, int> descriptors;
};

HeldFolders& Folders()
{
    static auto* const folders = new HeldFolders;
    return *folders;
}

QByteArray LockPath(const QString& folder)
{
    return QFile::encodeName(folder + QLatin1Char('/') + QLatin1String(ReportArchive::kLockName));
}

// Opens `folder`'s lock file, making it when missing (a folder of a build
// before the lock), and locks it without waiting. The descriptor, or -1 with
// `error` set: EWOULDBLOCK while a running report holds it.
int TakeLock(const QString& folder, int* error)
{
    const QByteArray path = LockPath(folder);
    // Not inherited by 7z: a lock must end with the report, not with a child
    // that outlives it.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

// True while `fd` is the lock file that stands in `folder`: a sweep that
// removed the folder between the opening and the locking leaves a lock on a
// file that is gone.
bool IsLockOf(int fd, const QString& folder)
{
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::lstat(LockPath(folder).constData(), &named) == 0
        && held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Only what Create() names a folder: the prefix and six letters or digits.
bool IsReportFolderName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^BugReport-[A-Za-z0-9]{6}$"));
    return pattern.match(name).hasMatch();
}

bool Held(const QString& folder)
{
    QMutexLocker guard(&Folders().lock);
    return Folders().descriptors.contains(folder);
}
} // namespace

QString ReportArchive::Create(const QString& reportFolder)
{
    RemoveStale(reportFolder);
    for (int i = 0; i < kCreateTries; ++i) {
        QTemporaryDir made(reportFolder + QLatin1Char('/') + QLatin1String(kFolderPrefix) + QStringLiteral("XXXXXX"));
        if (!made.isValid()) {
            qWarning() << "ReportArchive: cannot make a folder in" << reportFolder << made.errorString();
            return QString();
        }
        made.setAutoRemove(false);
        const QString folder = made.path();
        int error = 0;
        const int fd = TakeLock(folder, &error);
        if (fd >= 0 && IsLockOf(fd, folder)) {
            QMutexLocker guard(&Folders().lock);
            Folders().descriptors.insert(folder, fd);
            return folder + QLatin1Char('/') + QLatin1String(kFileName);
        }
        if (fd >= 0) {
            ::close(fd);
            continue;
        }
        // Locked or gone: another instance's sweep has it and removes it.
        if (error == EWOULDBLOCK || error == ENOENT)
            continue;
        qWarning() << "ReportArchive: cannot lock" << folder << std::strerror(error);
        QDir(folder).removeRecursively();
        return QString();
    }
    qWarning() << "ReportArchive: no folder of its own in" << reportFolder;
    return QString();
}

void ReportArchive::Remove(const QString& archivePath)
{
    if (archivePath.isEmpty())
        return;
    if (QFile::exists(archivePath) && !QFile::remove(archivePath))
        qWarning() << "ReportArchive: cannot remove" << archivePath;
    const QString folder = QFileInfo(archivePath).path();
    if (!Held(folder))
        return;
    // Whole: a 7z stopped while it added to the archive leaves its
    // half-written copy beside it. The folder stays listed as held, and its
    // lock taken, until it is gone, so that no sweep meanwhile takes it for a
    // leftover of its own.
    if (!QDir(folder).removeRecursively())
        qWarning() << "ReportArchive: cannot remove" << folder;
    QMutexLocker guard(&Folders().lock);
    QHash<QString, int>& descriptors = Folders().descriptors;
    const auto held = descriptors.find(folder);
    if (held != descriptors.end()) {
        ::close(held.value());
        descriptors.erase(held);
    }
}

int ReportArchive::RemoveStale(const QString& reportFolder)
{
    int removed = 0;
    // The one archive every report shared before each got a folder of its own.
    const QString shared = reportFolder + QLatin1Char('/') + QLatin1String(kFileName);
    if (QFileInfo(shared).isFile() && QFile::remove(shared))
        ++removed;

    const QDir dir(reportFolder);
    const QStringList names = dir.entryList({QLatin1String(kFolderPrefix) + QLatin1Char('*')},
                                            QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names) {
        const QString folder = dir.filePath(name);
        if (!IsReportFolderName(name) || Held(folder))
            continue;
        int error = 0;
        const int fd = TakeLock(folder, &error);
        if (fd < 0) {
            // EWOULDBLOCK: a running report's, of another window or
            // instance; ENOENT: its report removed it meanwhile.
            if (error != EWOULDBLOCK && error != ENOENT)
                qWarning() << "ReportArchive: cannot look at" << folder << std::strerror(error);
            continue;
        }
        // A copy of the user's data that a report killed or crashed midway
        // left behind.
        if (QDir(folder).removeRecursively()) {
            ++removed;
            qWarning() << "ReportArchive: removed" << folder << "a report that no longer runs left behind";
        } else {
            qWarning() << "ReportArchive: cannot remove" << folder;
        }
        ::close(fd);
    }
    return removed;
}
