#include "ReportArchive.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {
const char* const kFolderPrefix = "BugReport-";
} // namespace

QString ReportArchive::Create(const QString& reportFolder)
{
    QTemporaryDir folder(reportFolder + QLatin1Char('/') + QLatin1String(kFolderPrefix) + QStringLiteral("XXXXXX"));
    if (!folder.isValid()) {
        qWarning() << "ReportArchive: cannot make a folder in" << reportFolder << folder.errorString();
        return QString();
    }
    folder.setAutoRemove(false);
    return folder.path() + QLatin1Char('/') + QLatin1String(kFileName);
}

void ReportArchive::Remove(const QString& archivePath)
{
    if (archivePath.isEmpty())
        return;
    if (QFile::exists(archivePath) && !QFile::remove(archivePath))
        qWarning() << "ReportArchive: cannot remove" << archivePath;
    // A folder Create() made goes whole: a 7z stopped while it added to the
    // archive leaves its half-written copy beside it.
    QDir folder(QFileInfo(archivePath).path());
    if (folder.dirName().startsWith(QLatin1String(kFolderPrefix)) && folder.exists() && !folder.removeRecursively())
        qWarning() << "ReportArchive: cannot remove" << folder.path();
}
