#pragma once

#include "BugreportJob.h"
#include "MailServerInfo.h"

#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>

class SmtpClient;

// Sends one bug-report mail: the description as text, the packed logs as an
// attachment when the archive exists, to the support address over SMTP. The
// archive is the thread's from its start: it is removed (with the report's
// folder, ReportArchive) once the exchange is over, whatever its end.
//
// Thread contract: the job and the server record are this thread's own
// copies, read only. run() owns the SmtpClient; `m_client` (the pointer
// ThreadStop and Cancel reach it through) is written by run() and read by
// them on the GUI thread, both under `m_lock`. The result, the archive sent
// and the last response code are written by run() and read only after
// finished(). Signals are emitted on the worker thread and reach the GUI
// queued; updateResultUI comes from Finished(), on the GUI thread.
//
// A failed mail is the same failure to the user whatever its cause; the
// cause (refused login, no answer, refused connection, TLS failure, ...)
// goes to the program log.
class BugreportThread : public QThread
{
    Q_OBJECT
public:
    BugreportThread(const BugreportJob& job, const MailServerInfo& server, QObject* parent = nullptr);
    ~BugreportThread() override;

    bool Result() const { return m_result; }
    int LastResponseCode() const { return m_lastResponseCode; }
    bool StopRequested() const { return m_stopRequested.load(); }
    bool StopAccepted() const { return m_stopAccepted.load(); }

    // "<name> - <e-mail> -> <product>( LINUX )". Control characters become
    // blanks and the user's two fields are cut to kSubjectFieldLength
    // characters, so the fields can neither add header lines nor make the
    // header line overlong.
    static QString Subject(const BugreportJob& job);
    static constexpr int kSubjectFieldLength = 100;

signals:
    // `attachment`: the archive the mail carried, empty when it went without.
    void updateResultUI(bool ok, QString attachment, void* owner);
    void progress(qint64 handled, qint64 total, void* owner);
    void limitStop(void* owner);

public slots:
    // Asks a running exchange to stop (any thread may call it); a stop asked
    // before the exchange starts is taken as soon as it does. Refused while
    // the server checks the sent mail.
    void ThreadStop();
    // The user's cancel: ends the exchange in every phase within a moment,
    // the wait for the server's verdict on the sent mail included, and drops
    // the connection; the mail counts as not sent. Any thread.
    void Cancel();
    void Finished();
    void SmtpError(int error);
    void LimitStop();
    void progressSlot(qlonglong handled, qlonglong total);

protected:
    void run() override;

private:
    void Send();

    const BugreportJob m_job;
    const MailServerInfo m_server;
    bool m_result = false;
    QString m_attached;   // written by run(), read after finished()
    std::atomic<bool> m_stopAccepted{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_cancelled{false};
    QMutex m_lock;
    SmtpClient* m_client = nullptr;
    int m_lastResponseCode = 0;
};
