#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

// Packs the program's logs into one 7z archive with the 7z program, run as a
// child with an argument list (no shell). resultReady() carries the archive
// path once 7z made it, or an empty text when it did not: a 7z that failed,
// crashed, was stopped or outran its time leaves no archive behind, so a
// half-written one is never sent as if complete.
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
    // The arguments 7z gets.
    QStringList Arguments() const;

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
    QString m_archivePath;
    QString m_folder;
    QStringList m_files;
};
