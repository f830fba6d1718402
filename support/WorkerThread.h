#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

class QDeadlineTimer;
class QProcess;

// Packs the program's logs into one 7z archive with the 7z program, run as a
// child with an argument list (no shell). resultReady() carries the archive
// path once 7z made it, or an empty text when it did not: a 7z that failed,
// crashed, was stopped or outran its time leaves no archive behind, so a
// half-written one is never sent as if complete.
//
// A whole folder is packed as it is but for the engine's log, which can grow
// to gigabytes: only its last kEngineLogTail bytes go in, under its own name,
// from the start of a line. 7z packs at its fastest level: a data folder is
// mostly log text and SQLite pages, which that level packs nearly as small
// as the default one in a small part of the time, so that a folder of a
// large library and a day of logs is packed well within the time limit.
//
// The archive (and the report folder ReportArchive made for it) belongs to
// the packer until TakeArchive() hands it over; a packer destroyed before
// that removes it, so a report cancelled while packing leaves no copy of the
// user's data behind.
//
// Thread contract: every field is set before start() and only read by run();
// requestInterruption() (any thread) makes run() stop 7z within a moment.
// `m_made` is written by run() before resultReady(); TakeArchive() reads it
// once that signal arrived, and it and the destructor run on the thread that
// owns the object (the GUI).
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
    // Once resultReady() arrived: the archive when 7z made it, from now on
    // the caller's to remove; empty when none was made.
    QString TakeArchive();
    QString Folder() const { return m_folder; }
    // The arguments 7z gets for the folder (run in the folder) or the files.
    static constexpr const char* kLevel = "-mx1";
    QStringList Arguments() const;
    // The engine's log, relative to the folder.
    static constexpr const char* kEngineLog = "recorder/log/Sonacap.log";
    static constexpr qint64 kEngineLogTail = 4 * 1024 * 1024;

    // The packer: "7z" from the PATH unless replaced (tests put a script
    // there). An empty program restores the default.
    static QString Program();
    static void SetProgram(const QString& program);
    // How long the packing may take in all, every 7z run's start included
    // (30000 ms unless replaced; 0 or less restores the default).
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
    // code 0, or 1 for a file it could not read) before `deadline`.
    bool RunPacker(const QStringList& arguments, const QString& folder, const QString& tail,
                   const QDeadlineTimer& deadline);
    // Feeds the last kEngineLogTail bytes of `path` to 7z; false when
    // stopped, out of time or 7z took no more.
    bool FeedTail(QProcess& packer, const QString& path, const QDeadlineTimer& deadline);

    QString m_archivePath;
    QString m_folder;
    QStringList m_files;
    bool m_made = false;    // written by run() before resultReady()
    bool m_taken = false;   // owner's thread only
};
