#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

class QFile;

// The process's debug log and crash report. Once installed, every Qt message
// is printed and copied into "<folder>/<stamp>_Debug.log"; a crash (SIGSEGV,
// SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS) writes the text report
// "<folder>/<stamp>_CrashDump.dmp" (signal, code, address, thread, the
// crashing thread's backtrace, the memory map) and then dies of the same
// signal. A normal exit deletes the debug log unless SetKeepLog(true); after
// a crash it stays beside the report, both named with the run's stamp.
// Start-up installs none of it: each of the three installs is a call of its
// own, report folder first.
//
// Thread contract: any thread may log. The line buffer, the log file and
// the log's start time are guarded by one lock, so lines from several
// threads never interleave; each line reaches the file in one write, so
// nothing waits in a buffer when the process dies. The crash path takes no
// lock and calls only async-signal-safe functions, on an alternate stack
// (that of the thread that installed the filter) so that a stack overflow
// is reported too; its paths are fixed when the filter is installed.
class CrashHandler : public QObject
{
    Q_OBJECT
public:
    static CrashHandler* GetInstance();

    // The local date and time of the first call in the process,
    // "yyyy_MM_dd_hh_mm_ss"; every later call returns the same text.
    static const char* GetSessionTimeStamp();

    // folder = base + "/CrashReport/" (created with its parents); an empty
    // base leaves the folder empty.
    void SetReportFolder(const QString& base);
    QString GetReportFolder() const;
    void SetKeepLog(bool keep);
    bool GetKeepLog() const;
    // The report folder, the stamp and a separator.
    QString GetRunFolder() const;
    QString DebugLogPath() const;
    QString CrashReportPath() const;

    // Opens the debug log (truncated) and routes Qt's messages through
    // MessageHandler. Without a report folder the messages are printed only.
    void InstallMessageHandler();
    void Flush();
    // Routes the crash signals to the report writer.
    void InstallExceptionFilter();

    static void MessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);
    // Prints the text and appends it to the debug log as one line.
    static void WriteLog(const char* text);
    // "[ %05d.%03d ]: <text>\r\n" for `elapsedMs` since the first line: the
    // whole tenths of a second, then the milliseconds left over (0 to 99).
    static QByteArray LogLine(qint64 elapsedMs, const char* text);

private:
    CrashHandler();
    ~CrashHandler() override;
    static void WriteLogLocked(const char* text);
    void UpdateCrashPaths();

    QFile* m_debugLog = nullptr;
    QString m_reportFolder;
    bool m_keepLog = false;
    bool m_filterInstalled = false;
};
