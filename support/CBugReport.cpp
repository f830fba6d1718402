#include "CBugReport.h"

#include "BugreportThread.h"
#include "CAppSettings.h"
#include "CDefTextEdit.h"
#include "CDeleteDialog.h"
#include "InterfaceScale.h"
#include "PostReporter.h"
#include "ReportArchive.h"
#include "RetiredThreads.h"
#include "SystemHelpers.h"
#include "WorkerThread.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkProxy>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace {
const char* const kDefaultMail = QT_TRANSLATE_NOOP("CBugReport", "Mail Adress");

CBugReport::MessageHandler& Messages()
{
    static CBugReport::MessageHandler handler;
    return handler;
}
} // namespace

CBugReport::MessageHandler CBugReport::SetMessageHandler(MessageHandler handler)
{
    MessageHandler previous = Messages();
    Messages() = std::move(handler);
    return previous;
}

int CBugReport::CheckMail(const QString& mail)
{
    if (mail.isEmpty() || mail == QLatin1String(kDefaultMail)
        || mail == QCoreApplication::translate("CBugReport", kDefaultMail))
        return 1;
    if (!mail.contains(QLatin1Char('@')) || mail.startsWith(QLatin1Char('@'))
        || mail.endsWith(QLatin1Char('@')))
        return 2;
    return 0;
}

CBugReport::CBugReport(QWidget* parent)
    : CMyDialogFrame(parent, Qt::Dialog | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("reportDialog"));
    ApplyDialogLabelStyle();

    CAppSettings* settings = CAppSettings::GetInstance();
    m_reporter = new PostReporter(this);
    m_reporter->SetProductName(settings->GetProductName());
    m_reporter->SetVersion(settings->GetCurrentVersion());
    // Only the answer to a running upload counts: one that arrives after the
    // user closed the dialog has nobody waiting for it. Queued: the answer
    // may show a message, whose event loop can see this dialog, and with it
    // the uploader and its network reply, destroyed; the uploader's own
    // signal must have returned by then.
    connect(
        m_reporter, &PostReporter::requestFinishSignal, this,
        [this](int value) {
            if (!m_uploadPending)
                return;
            m_uploadPending = false;
            ReportFinish(value);
        },
        Qt::QueuedConnection);

    QWidget* content = GetContentWidget();
    m_nameLabel = new QLabel(content);
    m_mailLabel = new QLabel(content);
    m_name = new CDefTextEdit(tr("Name"), content);
    m_name->setFixedSize(ScaledPixels(100), ScaledPixels(25));
    m_mail = new CDefTextEdit(tr(kDefaultMail), content);
    m_mail->setFixedSize(ScaledPixels(200), ScaledPixels(25));
    m_description = new CDefTextEdit(tr("Please describe your problem here."), content);
    m_description->setFixedSize(ScaledPixels(580), ScaledPixels(290));
    m_nameLabel->setBuddy(m_name);
    m_mailLabel->setBuddy(m_mail);

    m_progress = new QProgressBar(content);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->hide();
    m_report = new QPushButton(content);
    m_cancel = new QPushButton(content);
    connect(m_report, &QPushButton::clicked, this, &CBugReport::Report);
    connect(m_cancel, &QPushButton::clicked, this, &CBugReport::close);

    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(ScaledPixels(10), ScaledPixels(5), ScaledPixels(10),
                               ScaledPixels(5));
    auto* top = new QHBoxLayout;
    top->addWidget(m_nameLabel);
    top->addWidget(m_name);
    top->addStretch();
    top->addWidget(m_mailLabel);
    top->addWidget(m_mail);
    layout->addLayout(top);
    layout->addStretch();
    layout->addWidget(m_description);
    layout->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_progress);
    bottom->addStretch();
    bottom->addWidget(m_report);
    bottom->addWidget(m_cancel);
    layout->addLayout(bottom);

    RetranslateUi();
    QPixmap icon(QStringLiteral(":/prefix/res/about_icon.png"));
    if (!icon.isNull())
        SetWindowIcon(QIcon(icon.scaled(ScaledPixels(128), ScaledPixels(128))));
    setFixedSize(ScaledPixels(600), ScaledPixels(400));
}

CBugReport::~CBugReport()
{
    CancelReport();
}

void CBugReport::RetranslateUi()
{
    SetWindowTitle(tr("Bug Report"));
    m_nameLabel->setText(tr("Your Name:"));
    m_mailLabel->setText(tr("E-mail:"));
    m_report->setText(tr("Report"));
    m_cancel->setText(tr("Cancel"));
    m_name->SetDefaultText(tr("Name"));
    const QString mail = CAppSettings::GetInstance()->GetUserMail();
    m_mail->SetDefaultText(mail.isEmpty() ? tr(kDefaultMail) : mail);
    m_description->SetDefaultText(tr("Please describe your problem here."));
}

bool CBugReport::ShowMessage(const QString& text, int button, const QString& caption)
{
    QPointer<CBugReport> self(this);
    if (Messages()) {
        Messages()(this, text, button, caption);
        return !self.isNull();
    }
    // On the heap: the message is this dialog's child and goes with it when
    // the dialog is destroyed while the message waits (the main window
    // deletes it, the program ends), which a message on the stack could not.
    QPointer<CDeleteDialog> dialog =
        new CDeleteDialog(text, {DialogButtonInfo{button, caption, false}}, this, false, false);
    dialog->setModal(true);
    dialog->setFocus();
    dialog->exec();
    delete dialog.data();
    return !self.isNull();
}

void CBugReport::SetBusy(bool busy)
{
    m_busy = busy;
    m_name->setEnabled(!busy);
    m_mail->setEnabled(!busy);
    m_description->setEnabled(!busy);
    m_report->setEnabled(!busy);
}

void CBugReport::CancelReport()
{
    // Each thread is told to stop and let go of; a result it still sends
    // reaches nobody.
    if (m_packer) {
        m_packer->disconnect(this);
        m_packer->requestInterruption();
        RetiredThreads::Retire(m_packer);
        m_packer = nullptr;
    }
    if (m_thread) {
        m_thread->disconnect(this);
        m_thread->Cancel();
        RetiredThreads::Retire(m_thread);
        m_thread = nullptr;
        // Whether the server already holds the mail only the mail thread
        // knows; it logs that as it ends.
        qWarning() << "CBugReport::CancelReport the bug report mail was cancelled";
    }
    if (m_uploadPending) {
        m_uploadPending = false;
        m_reporter->Abort();
        // The uploader's reading may still hold it open: the file goes, the
        // reading ends with the abort.
        ReportArchive::Remove(m_uploadArchive);
        m_uploadArchive.clear();
    }
    if (m_busy) {
        qDebug() << "CBugReport::CancelReport the report was stopped";
        SetBusy(false);
        m_progress->hide();
    }
}

void CBugReport::done(int result)
{
    if (m_busy)
        CancelReport();
    CMyDialogFrame::done(result);
}

QString CBugReport::ReportFolder()
{
    QString folder;
    if (GetSpecialFolderPath(folder, kFolderDocuments) != 0)
        return QString();
    if (CreateDirectoryTree(folder.toUtf8().constData()) != 0) {
        qWarning() << "CBugReport: cannot create" << folder;
        return QString();
    }
    return folder;
}

void CBugReport::Report()
{
    if (m_busy) {
        close();
        return;
    }
    const QString mail = m_mail->toPlainText();
    switch (CheckMail(mail)) {
    case 1:
        ShowMessage(tr("Please report your bug with filling your email.\n(Will not be published)."),
                    QDialogButtonBox::Cancel, tr("OK"));
        return;
    case 2:
        ShowMessage(tr("E-mail address is incorrect, \nplease refill in a correct email."),
                    QDialogButtonBox::Cancel, tr("OK"));
        return;
    default:
        break;
    }
    m_progress->setValue(0);
    m_progress->show();
    SendReportMail();
}

void CBugReport::SendReportMail()
{
    CAppSettings::GetInstance()->SetUserMail(m_mail->toPlainText());
    m_server = MailServerInfo::Support();
    if (!m_server.IsConfigured()) {
        qWarning() << "CBugReport::SendReportMail no mail server in this build, nothing sent";
        ReportFinish(false, QString(), this);
        return;
    }

    SetBusy(true);
    const QString archive = NewArchive();
    if (archive.isEmpty()) {
        SendPackedMail(QString());
        return;
    }
    StartPacking(new WorkerThread(archive, CAppSettings::GetInstance()->GetLogPath()),
                 [this](const QString& packed) { SendPackedMail(packed); });
}

void CBugReport::RemoveLeftovers()
{
    QString folder;
    if (GetSpecialFolderPath(folder, kFolderDocuments) != 0)
        return;
    QThread* sweep = QThread::create([folder] {
        if (QFileInfo(folder).isDir())
            ReportArchive::RemoveStale(folder);
    });
    sweep->setObjectName(QStringLiteral("ReportSweep"));
    sweep->start(QThread::LowPriority);
    // Nobody waits for it: it goes once it has ended.
    RetiredThreads::Retire(sweep);
}

QString CBugReport::NewArchive()
{
    const QString folder = ReportFolder();
    return folder.isEmpty() ? QString() : ReportArchive::Create(folder);
}

void CBugReport::StartPacking(WorkerThread* packer, std::function<void(const QString&)> next)
{
    m_packer = packer;
    connect(m_packer, &WorkerThread::resultReady, this, [this, packer, next](const QString&) {
        // A result queued before the report was cancelled belongs to a
        // packer that is no longer ours.
        if (m_packer != packer)
            return;
        // The archive is ours now (or none was made: the packer removes
        // its folder). It has emitted its last signal; it goes once it has
        // ended.
        const QString archive = packer->TakeArchive();
        RetiredThreads::Retire(m_packer);
        m_packer = nullptr;
        next(archive);
    });
    m_packer->start();
}

void CBugReport::SendPackedMail(const QString& archive)
{
    CAppSettings* settings = CAppSettings::GetInstance();
    m_job = BugreportJob();
    m_job.owner = this;
    m_job.owner2 = this;
    m_job.attachmentPath = archive;
    m_job.userName = m_name->toPlainText();
    m_job.userMail = m_mail->toPlainText();
    m_job.body = m_description->toPlainText();
    m_job.productName = settings->GetProductName();
    m_job.programPath = QCoreApplication::applicationFilePath();
    m_job.recipient = m_server.recipient;

    m_thread = new BugreportThread(m_job, m_server);
    connect(m_thread, &BugreportThread::updateResultUI, this,
            QOverload<bool, QString, void*>::of(&CBugReport::ReportFinish));
    connect(m_thread, &BugreportThread::progress, this, &CBugReport::progressSlot);
    m_thread->start();
}

void CBugReport::ReportFinish(bool ok, QString attachment, void*)
{
    if (m_thread) {
        m_thread->disconnect(this);
        // This runs inside the thread object's own signal, once it ended.
        RetiredThreads::Retire(m_thread);
        m_thread = nullptr;
    }
    SetBusy(false);
    QString text = tr("Send bug report mail failed!");
    if (ok && attachment.isEmpty())
        // The data could not be packed (7z missing, failed or out of time,
        // no report folder): support gets the description alone.
        text = tr("The bug report mail was sent without the attached data: they could not be packed.");
    else if (ok)
        text = tr("Send bug report mail success!");
    if (!ShowMessage(text, QDialogButtonBox::Ok, tr("OK")))
        return;
    m_progress->hide();
    close();
}

void CBugReport::ReportByUpload()
{
    CAppSettings* settings = CAppSettings::GetInstance();
    settings->SetUserMail(m_mail->toPlainText());
    const QString logFolder = settings->GetLogPath();
    QString folder;
    GetSpecialFolderPath(folder, kFolderDocuments);
    qDebug() << QStringLiteral("CBugReport::Report CreateDirectory Document_Dir: ") + folder;
    if (folder.isEmpty() || CreateDirectoryTree(folder.toUtf8().constData()) != 0)
        return;

    QStringList files;
    const QStringList names =
        QDir(logFolder).entryList({QStringLiteral("*.txt"), QStringLiteral("*.db"), QStringLiteral("*.ini"),
                                   QStringLiteral("*.log")},
                                  QDir::Files);
    for (const QString& name : names)
        files << logFolder + QLatin1Char('/') + name;
    m_uploadLogs = QStringLiteral("UserName: %1\nUserMail: %2\nDescription: %3")
                       .arg(m_name->toPlainText(), m_mail->toPlainText(), m_description->toPlainText());

    SetBusy(true);
    const QString archive = files.isEmpty() ? QString() : NewArchive();
    if (archive.isEmpty()) {
        PostPackedLogs(QString());
        return;
    }
    // A failed packing leaves no archive: the form then goes without it.
    StartPacking(new WorkerThread(archive, files), [this](const QString& packed) { PostPackedLogs(packed); });
}

void CBugReport::PostPackedLogs(const QString& archive)
{
    CAppSettings* settings = CAppSettings::GetInstance();
    QNetworkProxy proxy(QNetworkProxy::NoProxy);
    if (settings->GetProxyEnabled()) {
        ProxyInfo info{};
        settings->GetProxyInfo(info);
        if (info.host[0] != '\0')
            proxy = QNetworkProxy(QNetworkProxy::HttpProxy, QString::fromUtf8(info.host),
                                  static_cast<quint16>(info.port), QString::fromUtf8(info.user),
                                  QString::fromUtf8(info.password));
    }
    m_reporter->SetProxy(proxy);
    m_reporter->SetProductName(settings->GetProductName());
    m_reporter->SetVersion(settings->GetCurrentVersion());
    m_uploadPending = true;
    m_uploadArchive = archive;
    // A missing archive still posts the form, without the file part.
    m_reporter->Post(archive, m_uploadLogs);
}

void CBugReport::ReportFinish(int value)
{
    m_uploadPending = false;
    ReportArchive::Remove(m_uploadArchive);
    m_uploadArchive.clear();
    if (value != 0
        && !ShowMessage(tr("Send bug report mail failed, Err: %1").arg(value), QDialogButtonBox::Cancel,
                        tr("Cancel")))
        return;
    SetBusy(false);
    done(value);
}

void CBugReport::progressSlot(qlonglong handled, qlonglong total, void*)
{
    if (total == 0)
        return;
    m_progress->setValue(static_cast<int>(handled * 100 / total));
}
