#pragma once

#include "CMyDialogFrame.h"

#include <QString>

#include <functional>

class CDefTextEdit;
class QLabel;
class QProgressBar;
class QPushButton;

// What one bug-report mail carries.
struct BugreportJob {
    void* owner = nullptr;
    void* owner2 = nullptr;
    QString attachmentPath;
    QString userName;
    QString userMail;
    QString body;
    QString productName;
    QString programPath;
    QString recipient;
};

// The non-modal bug-report dialog: name, e-mail and description, sent to
// support by mail. The main window keeps one from first use to shutdown and
// asks IsBusy() before it closes.
//
// The mail path is not wired in yet: a report that passes the e-mail check
// ends with "Send bug report mail failed!" unless a sender is installed.
class CBugReport : public CMyDialogFrame
{
    Q_OBJECT
public:
    explicit CBugReport(QWidget* parent);
    ~CBugReport() override;

    void RetranslateUi();

    // True while a report is being sent.
    bool IsBusy() const { return m_busy; }

    // The check the e-mail field passes before anything is sent: contains
    // "@", neither first nor last. 0 valid, 1 missing (empty or the default
    // text), 2 incorrect.
    static int CheckMail(const QString& mail);

    // The mail sender (runs on the GUI thread for now; true when sent). An
    // empty function restores the default, which sends nothing. Returns the
    // previous one.
    using MailSender = std::function<bool(const BugreportJob&)>;
    static MailSender SetMailSender(MailSender sender);

    CDefTextEdit* NameEdit() const { return m_name; }
    CDefTextEdit* MailEdit() const { return m_mail; }
    CDefTextEdit* DescriptionEdit() const { return m_description; }
    QProgressBar* ProgressBar() const { return m_progress; }
    QPushButton* ReportButton() const { return m_report; }
    QPushButton* CancelButton() const { return m_cancel; }

    // Shows one message in the question dialog; replaceable so that tests
    // can answer it (returns the previous handler).
    using MessageHandler = std::function<void(QWidget* parent, const QString& text, int button,
                                              const QString& caption)>;
    static MessageHandler SetMessageHandler(MessageHandler handler);

public slots:
    void Report();
    void ReportFinish(int value);
    void ReportFinish(bool ok, QString attachment, void* owner);
    void progressSlot(qlonglong handled, qlonglong total, void* owner);

private:
    void SendReportMail();
    void ShowMessage(const QString& text, int button, const QString& caption);

    bool m_busy = false;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_mailLabel = nullptr;
    CDefTextEdit* m_name = nullptr;
    CDefTextEdit* m_mail = nullptr;
    CDefTextEdit* m_description = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_report = nullptr;
    QPushButton* m_cancel = nullptr;
    BugreportJob m_job;
};
