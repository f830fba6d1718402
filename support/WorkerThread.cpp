#include "WorkerThread.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
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
    QStringList arguments{QStringLiteral("a"), QStringLiteral("-t7z"), m_archivePath};
    if (m_files.isEmpty())
        arguments << QStringLiteral("-r") << m_folder + QStringLiteral("/*");
    else
        arguments << m_files;
    return arguments;
}

void WorkerThread::run()
{
    const int timeout = TimeoutMs();
    QProcess packer;
    packer.setProgram(Program());
    packer.setArguments(Arguments());
    packer.setStandardOutputFile(QProcess::nullDevice());
    packer.start(QIODevice::ReadWrite);
    bool complete = false;
    if (!packer.waitForStarted(timeout)) {
        qWarning() << "WorkerThread: cannot start" << packer.program() << packer.errorString();
    } else {
        packer.closeWriteChannel();
        QElapsedTimer timer;
        timer.start();
        bool finished = false;
        while (!finished && !isInterruptionRequested() && timer.elapsed() < timeout)
            finished = packer.waitForFinished(kSliceMs) || packer.state() == QProcess::NotRunning;
        if (!finished) {
            qWarning() << "WorkerThread:" << packer.program()
                       << (isInterruptionRequested() ? "stopped" : "did not finish in time") << "; archive dropped";
            packer.kill();
            packer.waitForFinished(timeout);
        } else if (packer.exitStatus() != QProcess::NormalExit || packer.exitCode() >= 2) {
            // 7z's 1 is a warning (a file it could not read); the archive
            // holds the rest. 2 and above: no usable archive.
            qWarning() << "WorkerThread:" << packer.program() << "failed, exit" << packer.exitCode()
                       << QString::fromLocal8Bit(packer.readAllStandardError()).trimmed();
        } else {
            complete = QFile::exists(m_archivePath);
        }
    }
    if (!complete && QFile::exists(m_archivePath))
        QFile::remove(m_archivePath);
    emit resultReady(complete ? m_archivePath : QString());
}
