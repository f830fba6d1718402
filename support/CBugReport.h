#pragma once

#include "BugreportJob.h"
#include "CMyDialogFrame.h"
#include "MailServerInfo.h"

#include <QString>

#include <functional>

class BugreportThread;
class CDefTextEdit;
class PostReporter;
class QLabel;
class QProgressBar;
class QPushButton;
class WorkerThread;

// The non-modal bug-report dialog: name, e-mail and description, sent to
// support by mail with the program's logs packed by 7z. The main window keeps
// one from first use to shutdown and asks IsBusy() before it closes.
//
// A report runs in two steps off the GUI thread: WorkerThread packs the log
// folder, then BugreportThread sends the mail; their results come back as
// queued signals. From the packing to the outcome the dialog is busy: Report
// and the fields are disabled, so no second mail starts. Closing the dialog
// while busy (Cancel, the close button, Escape, or the main window quitting)
// cancels the running step at once: its thread is told to stop and handed
// to RetiredThreads, never waited for on the GUI thread, and the report is
// not sent. Destroying the dialog does the same.
//
// Each report packs into an archive of its own (ReportArchive), so the
// menu's window and the one the microphone notice opens can both send at
// once. The archive, a full copy of the user's data, is removed as soon as
// the report is done with it: by the mail thread once the mail is sent,
// failed or cancelled, by the packer when the report was cancelled before
// the mail, by the dialog once an upload is answered or aborted. A folder
// left by a report that never ended (the program crashed or was killed)
// goes when the program starts again (RemoveLeftovers) and with the next
// report.
class CBugReport : public CMyDialogFrame
{
    Q_OBJECT
public:
    explicit CBugReport(QWidget* parent);
    ~CBugReport() override;

    void RetranslateUi();

    // True from the packing of the logs until the report's outcome.
    bool IsBusy() const { return m_busy; }

    // The check the e-mail field passes before anything is sent: contains
    // "@", neither first nor last. 0 valid, 1 missing (empty or the default
    // text), 2 incorrect.
    static int CheckMail(const QString& mail);

    CDefTextEdit* NameEdit() const { return m_name; }
    CDefTextEdit* MailEdit() const { return m_mail; }
    CDefTextEdit* DescriptionEdit() const { return m_description; }
    QProgressBar* ProgressBar() const { return m_progress; }
    QPushButton* ReportButton() const { return m_report; }
    QPushButton* CancelButton() const { return m_cancel; }
    PostReporter* Uploader() const { return m_reporter; }

    // Shows one message in the question dialog; replaceable so that tests
    // can answer it (returns the previous handler).
    using MessageHandler = std::function<void(QWidget* parent, const QString& text, int button,
                                              const QString& caption)>;
    static MessageHandler SetMessageHandler(MessageHandler handler);

    // Removes, on a thread of its own, what reports of an earlier run that
    // never ended left in the report folder (ReportArchive::RemoveStale):
    // a full copy of the user's library, too big to remove on the GUI
    // thread. The program calls it once as it starts.
    static void RemoveLeftovers();

    // The second report path: the log files uploaded over HTTP.
    void ReportByUpload();

    void done(int result) override;

public slots:
    void Report();
    void ReportFinish(int value);
    void ReportFinish(bool ok, QString attachment, void* owner);
    void progressSlot(qlonglong handled, qlonglong total, void* owner);

private:
    void SendReportMail();
    // Runs the packer; `next` gets its result on the GUI thread unless the
    // report is cancelled first.
    void StartPacking(WorkerThread* packer, std::function<void(const QString&)> next);
    void SendPackedMail(const QString& archive);
    void PostPackedLogs(const QString& archive);
    void SetBusy(bool busy);
    // Cancels the running step without waiting for it; the dialog is idle
    // afterwards.
    void CancelReport();
    // Shows one message and waits for it; false when this dialog was
    // destroyed meanwhile, after which the caller must not touch it.
    bool ShowMessage(const QString& text, int button, const QString& caption);
    // The documents folder's program folder, created; empty when it cannot be.
    static QString ReportFolder();
    // A new archive path of this report's own (ReportArchive) in the report
    // folder, once what reports that no longer run left there is gone; empty
    // when there is none.
    static QString NewArchive();

    bool m_busy = false;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_mailLabel = nullptr;
    CDefTextEdit* m_name = nullptr;
    CDefTextEdit* m_mail = nullptr;
    CDefTextEdit* m_description = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_report = nullptr;
    QPushButton* m_cancel = nullptr;
    PostReporter* m_reporter = nullptr;
    BugreportJob m_job;
    MailServerInfo m_server;
    WorkerThread* m_packer = nullptr;
    BugreportThread* m_thread = nullptr;
    bool m_uploadPending = false;
    QString m_uploadLogs;
    QString m_uploadArchive;   // the archive the running upload sends
};
