#include "WorkerThread.h"

#include "ReportArchive.h"

#include <QDebug>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QStandardPaths>

#include <atomic>

namespace {
constexpr int kDefaultTimeoutMs = 30000;
constexpr int kSliceMs = 50;

QMutex g_programLock;
QString g_program;   // guarded by g_programLock; empty: "7z" from the PATH
std::atomic<int> g_timeoutMs{kDefaultTimeoutMs};
} // namespace

WorkerThread::WorkerThread(const QString& archivePath, const QString& folder, QObject* parent)
    : QThread(parent)
    , m_archivePath(archivePath)
    , m_folder(folder)
{
}

WorkerThread::WorkerThread(const QString& archivePath, const QStringList& files, QObject* parent)
    : QThread(parent)
    , m_archivePath(archivePath)
    , m_files(files)
{
}

WorkerThread::~WorkerThread()
{
    requestInterruption();
    wait();
    if (!m_taken)
        ReportArchive::Remove(m_archivePath);
}

QString WorkerThread::TakeArchive()
{
    if (!m_made)
        return QString();
    m_taken = true;
    return m_archivePath;
}

QString WorkerThread::Program()
{
    QMutexLocker guard(&g_programLock);
    if (!g_program.isEmpty())
        return g_program;
    const QString found = QStandardPaths::findExecutable(QStringLiteral("7z"));
    return found.isEmpty() ? QStringLiteral("7z") : found;
}

void WorkerThread::SetProgram(const QString& program)
{
    QMutexLocker guard(&g_programLock);
    g_program = program;
}

int WorkerThread::TimeoutMs()
{
    return g_timeoutMs.load();
}

void WorkerThread::SetTimeoutMs(int ms)
{
    g_timeoutMs.store(ms > 0 ? ms : kDefaultTimeoutMs);
}

QStringList WorkerThread::Arguments() const
{
    QStringList arguments{QStringLiteral("a"), QStringLiteral("-t7z"), m_archivePath, QLatin1String(kLevel)};
    if (m_files.isEmpty())
        arguments << QStringLiteral("-r") << QStringLiteral("-x!") + QLatin1String(kEngineLog) << QStringLiteral("*");
    else
        arguments << m_files;
    return arguments;
}

void WorkerThread::run()
{
    const bool complete = Pack() && QFile::exists(m_archivePath);
    if (!complete) {
        QFile::remove(m_archivePath);
        // What a 7z stopped while adding to the archive was writing.
        QFile::remove(m_archivePath + QStringLiteral(".tmp"));
    }
    m_made = complete;
    emit resultReady(complete ? m_archivePath : QString());
}

bool WorkerThread::Pack()
{
    // One limit for the whole packing, however many 7z runs it takes: what
    // the user waits for is the archive.
    const QDeadlineTimer deadline(TimeoutMs());
    if (!m_files.isEmpty())
        return RunPacker(Arguments(), QString(), QString(), deadline);
    // The log's end goes in first, so that the folder's run, which takes
    // the time, adds to a small archive.
    const QString engineLog = m_folder + QLatin1Char('/') + QLatin1String(kEngineLog);
    if (QFileInfo(engineLog).isFile()) {
        const QStringList tail{QStringLiteral("a"), QStringLiteral("-t7z"), m_archivePath, QLatin1String(kLevel),
                               QStringLiteral("-si") + QLatin1String(kEngineLog)};
        if (!RunPacker(tail, QString(), engineLog, deadline))
            return false;
    }
    return RunPacker(Arguments(), m_folder, QString(), deadline);
}

bool WorkerThread::RunPacker(const QStringList& arguments, const QString& folder, const QString& tail,
                             const QDeadlineTimer& deadline)
{
    if (deadline.hasExpired() || isInterruptionRequested()) {
        qWarning() << "WorkerThread: packing" << (isInterruptionRequested() ? "stopped" : "out of time")
                   << "; archive dropped";
        return false;
    }
    QProcess packer;
    packer.setProgram(Program());
    packer.setArguments(arguments);
    if (!folder.isEmpty())
        packer.setWorkingDirectory(folder);
    packer.setStandardOutputFile(QProcess::nullDevice());
    packer.start(QIODevice::ReadWrite);
    if (!packer.waitForStarted(int(qMax<qint64>(deadline.remainingTime(), 1)))) {
        qWarning() << "WorkerThread: cannot start" << packer.program() << packer.errorString();
        return false;
    }
    const bool fed = tail.isEmpty() || FeedTail(packer, tail, deadline);
    packer.closeWriteChannel();
    bool finished = packer.state() == QProcess::NotRunning;
    while (fed && !finished && !isInterruptionRequested() && !deadline.hasExpired())
        finished = packer.waitForFinished(kSliceMs) || packer.state() == QProcess::NotRunning;
    if (!finished) {
        qWarning() << "WorkerThread:" << packer.program()
                   << (isInterruptionRequested() ? "stopped" : "did not finish in time") << "; archive dropped";
        packer.kill();
        packer.waitForFinished(TimeoutMs());
        return false;
    }
    if (packer.exitStatus() != QProcess::NormalExit || packer.exitCode() >= 2) {
        // 7z's 1 is a warning (a file it could not read); the archive
        // holds the rest. 2 and above: no usable archive.
        qWarning() << "WorkerThread:" << packer.program() << "failed, exit" << packer.exitCode()
                   << QString::fromLocal8Bit(packer.readAllStandardError()).trimmed();
        return false;
    }
    // A 7z that ended before it took the whole log made no whole archive.
    return fed;
}

bool WorkerThread::FeedTail(QProcess& packer, const QString& path, const QDeadlineTimer& deadline)
{
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly)) {
        // Nothing to add: 7z stores an empty entry.
        qWarning() << "WorkerThread: cannot read" << path << log.errorString();
        return true;
    }
    const qint64 size = log.size();
    bool lineStart = size <= kEngineLogTail;
    if (!lineStart)
        log.seek(size - kEngineLogTail);
    constexpr qint64 kPiece = 256 * 1024;
    for (;;) {
        QByteArray piece = log.read(kPiece);
        if (piece.isEmpty())
            return true;
        if (!lineStart) {
            // The cut lands inside a line: start at the next one.
            const int newline = piece.indexOf('\n');
            if (newline < 0)
                continue;
            piece.remove(0, newline + 1);
            lineStart = true;
        }
        packer.write(piece);
        while (packer.bytesToWrite() > 0) {
            if (isInterruptionRequested() || deadline.hasExpired() || packer.state() != QProcess::Running)
                return false;
            packer.waitForBytesWritten(kSliceMs);
        }
    }
}
