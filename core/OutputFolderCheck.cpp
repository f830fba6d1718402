#include "OutputFolderCheck.h"

#include "SystemHelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

// File systems the kernel fills itself: their folders take no new files (or
// take them as kernel objects), and their free space reads as none.
bool IsKernelFileSystem(const QByteArray& path)
{
    struct statfs info;
    if (statfs(path.constData(), &info) != 0)
        return false;
    constexpr long kConfigFs = 0x62656570;
    constexpr long kFuseControl = 0x65735543;
    switch (static_cast<long>(info.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case PSTOREFS_MAGIC:
    case EFIVARFS_MAGIC:
    case BPF_FS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case BINFMTFS_MAGIC:
    case NSFS_MAGIC:
    case kConfigFs:
    case kFuseControl:
        return true;
    default:
        return false;
    }
}

// Writes and removes a small hidden file in `folder`: what recording will do
// there. Permission bits do not tell (root passes them on a read-only disk,
// an ACL can refuse what they allow). 0, or the errno of the refusal; a full
// disk counts as writable.
int WriteProbe(const QByteArray& folder)
{
    QByteArray name = folder + "/.sonacap-write-check-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return (errno == ENOSPC || errno == EDQUOT) ? 0 : errno;
    close(fd);
    unlink(name.constData());
    return 0;
}

OutputFolderProblem Fail(OutputFolderProblem problem, int error, int* systemError)
{
    if (systemError)
        *systemError = error;
    return problem;
}

}  // namespace

OutputFolderProblem CheckOutputFolder(const QString& folder, OutputFolderUse use, int* systemError)
{
    if (systemError)
        *systemError = 0;
    if (folder.trimmed().isEmpty())
        return OutputFolderProblem::NoFolder;
    const QByteArray path = QFile::encodeName(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));

    struct stat st;
    if (stat(path.constData(), &st) != 0) {
        const int error = errno;
        if (error != ENOENT)
            return Fail(error == ENOTDIR ? OutputFolderProblem::CannotCreate : OutputFolderProblem::NotWritable,
                        error, systemError);
        // Missing: judged by the nearest folder above it that exists.
        QByteArray parent = path;
        do {
            const int slash = parent.lastIndexOf('/');
            parent = slash > 0 ? parent.left(slash) : QByteArray("/");
        } while (stat(parent.constData(), &st) != 0 && parent != "/");
        if (!S_ISDIR(st.st_mode))
            return Fail(OutputFolderProblem::CannotCreate, ENOTDIR, systemError);
        if (IsKernelFileSystem(parent))
            return OutputFolderProblem::SystemFolder;
        if (use == OutputFolderUse::Check) {
            const int error = WriteProbe(parent);
            return error ? Fail(OutputFolderProblem::CannotCreate, error, systemError) : OutputFolderProblem::None;
        }
        const int made = CreateDirectoryTree(path.constData());
        if (made != 0)
            return Fail(OutputFolderProblem::CannotCreate, made, systemError);
        if (stat(path.constData(), &st) != 0)
            return Fail(OutputFolderProblem::CannotCreate, errno, systemError);
    }
    if (!S_ISDIR(st.st_mode))
        return Fail(OutputFolderProblem::NotAFolder, ENOTDIR, systemError);
    if (IsKernelFileSystem(path))
        return OutputFolderProblem::SystemFolder;
    const int error = WriteProbe(path);
    return error ? Fail(OutputFolderProblem::NotWritable, error, systemError) : OutputFolderProblem::None;
}

QString OutputFolderProblemText(OutputFolderProblem problem, const QString& folder)
{
    const QString shown = QDir::toNativeSeparators(folder);
    switch (problem) {
    case OutputFolderProblem::None:
        return QString();
    case OutputFolderProblem::NoFolder:
        return QCoreApplication::translate("OutputFolderCheck", "No output folder is chosen. Choose one in Settings.");
    case OutputFolderProblem::NotAFolder:
        return QCoreApplication::translate("OutputFolderCheck", "The output folder is a file, not a folder:\n%1")
            .arg(shown);
    case OutputFolderProblem::SystemFolder:
        return QCoreApplication::translate("OutputFolderCheck",
                                           "The output folder belongs to the system and cannot hold recordings:\n%1")
            .arg(shown);
    case OutputFolderProblem::CannotCreate:
        return QCoreApplication::translate("OutputFolderCheck",
                                           "The output folder does not exist and cannot be created:\n%1")
            .arg(shown);
    case OutputFolderProblem::NotWritable:
        return QCoreApplication::translate("OutputFolderCheck", "The output folder cannot be written:\n%1").arg(shown);
    }
    return QString();
}
