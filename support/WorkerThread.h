#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

class QElapsedTimer;
class QProcess;

// Packs the program's logs into one 7z archive with the 7z program, run as a
// child with an argument list (no shell). resultReady() carries the archive
// path once 7z made it, or an empty text when it did not: a 7z that failed,
// crashed, was stopped or outran its time leaves no archive behind, so a
// half-written one is never sent as if complete.
//
// A whole folder is packed as it is but for the engine's log, which can grow
// to gigabytes: only its last kEngineLogTail bytes go in, under its own name,
// from the start of a line.
//
// Thread contract: every field is set before start() and only read by run();
// requestInterruption() (any thread) makes run() stop 7z within a moment.
class WorkerThread : public QThread
{
    Q_OBJECT
public:
    // The whole folder, recursively.
    WorkerThread(const QString& archivePath, const QString& folder, QObject* parent = nullptr);
    // These files only.
    WorkerThread(const QString& archivePath, const QStringList& files, QObject* parent = nullptr);
    ~WorkerThread() override;

    QString ArchivePath() const { return m_archivePath; }
    QString Folder() const { return m_folder; }
    // The arguments 7z gets for the folder (run in the folder) or the files.
    QStringList Arguments() const;
    // The engine's log, relative to the folder.
    static constexpr const char* kEngineLog = "recorder/log/Sonacap.log";
    static constexpr qint64 kEngineLogTail = 4 * 1024 * 1024;

    // The packer: "7z" from the PATH unless replaced (tests put a script
    // there). An empty program restores the default.
    static QString Program();
    static void SetProgram(const QString& program);
    // How long 7z may take to start and to finish (30000 ms each unless
    // replaced; 0 or less restores the default).
    static int TimeoutMs();
    static void SetTimeoutMs(int ms);

signals:
    void resultReady(QString archivePath);

protected:
    void run() override;

private:
    bool Pack();
    // Runs 7z once, in `folder` when given, with the end of `tail` on its
    // standard input when given; true when it finished with no error (exit
    // code 0, or 1 for a file it could not read).
    bool RunPacker(const QStringList& arguments, const QString& folder, const QString& tail);
    // Feeds the last kEngineLogTail bytes of `path` to 7z; false when
    // stopped, out of time or 7z took no more.
    bool FeedTail(QProcess& packer, const QString& path, qint64 deadlineMs, const QElapsedTimer& timer);

    QString m_archivePath;
    QString m_folder;
    QStringList m_files;
};
