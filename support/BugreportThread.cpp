#include "BugreportThread.h"

#include "EmailAddress.h"
#include "MimeAttachment.h"
#include "MimeMessage.h"
#include "MimeText.h"
#include "ReportArchive.h"
#include "SmtpClient.h"

#include <QDebug>
#include <QFile>
#include <QMutexLocker>
#include <QSslCertificate>

#include <memory>

BugreportThread::BugreportThread(const BugreportJob& job, const MailServerInfo& server, QObject* parent)
    : QThread(parent)
    , m_job(job)
    , m_server(server)
{
    connect(this, &QThread::finished, this, &BugreportThread::Finished);
}

BugreportThread::~BugreportThread()
{
    // Destroying a running thread would end the process. The GUI hands a
    // running thread to RetiredThreads instead of getting here.
    Cancel();
    wait();
}

QString BugreportThread::Subject(const BugreportJob& job)
{
    const QString subject = job.userName.left(kSubjectFieldLength) + QLatin1String(" - ")
        + job.userMail.left(kSubjectFieldLength) + QLatin1String(" -> ") + job.productName
        + QLatin1String("( LINUX )");
    return MimeMessage::HeaderSafe(subject);
}

void BugreportThread::run()
{
    Send();
    // The archive is a full copy of the user's data: once the exchange is
    // over, sent, failed or cancelled, nothing needs it any more.
    ReportArchive::Remove(m_job.attachmentPath);
}

void BugreportThread::Send()
{
    SmtpClient client(m_server.host, m_server.port,
                      m_server.ssl ? SmtpClient::SslConnection : SmtpClient::TcpConnection);
    if (!m_server.caFile.isEmpty()) {
        const QList<QSslCertificate> authorities = QSslCertificate::fromPath(m_server.caFile);
        if (authorities.isEmpty())
            qWarning() << "BugreportThread: no certificate in" << m_server.caFile;
        client.AddCaCertificates(authorities);
    }
    connect(&client, &SmtpClient::progress, this, &BugreportThread::progressSlot, Qt::DirectConnection);
    connect(&client, &SmtpClient::limitStop, this, &BugreportThread::LimitStop, Qt::DirectConnection);
    connect(
        &client, &SmtpClient::smtpError, this, [this](SmtpClient::SmtpError error) { SmtpError(int(error)); },
        Qt::DirectConnection);
    client.SetUser(m_server.account);
    client.SetPassword(m_server.password);
    {
        QMutexLocker guard(&m_lock);
        m_client = &client;
        if (m_stopRequested.load())
            m_stopAccepted.store(client.Stop());
        if (m_cancelled.load())
            client.Abort();
    }

    MimeMessage message;
    EmailAddress sender(m_server.account, QStringLiteral("bug"));
    EmailAddress recipient(m_job.recipient, QStringLiteral("support"));
    message.SetSender(&sender);
    message.AddRecipient(&recipient);
    message.SetSubject(Subject(m_job));
    MimeText text;
    text.SetText(m_job.body);
    message.AddPart(&text);
    std::unique_ptr<MimeAttachment> attachment;
    if (!m_job.attachmentPath.isEmpty() && QFile::exists(m_job.attachmentPath)) {
        attachment = std::make_unique<MimeAttachment>(new QFile(m_job.attachmentPath));
        message.AddPart(attachment.get());
        m_attached = m_job.attachmentPath;
    }

    client.EstimateTotalBytes(&message);
    if (client.ConnectToHost()) {
        if (client.Login(m_server.account, m_server.password, SmtpClient::AuthPlain)) {
            m_result = client.SendMail(&message);
            m_lastResponseCode = client.GetResponseCode();
        }
        client.Quit();
    }
    if (!m_result) {
        const QString cause = client.GetFailureCause() == SmtpClient::NoFailure ? QStringLiteral("no reason given")
                                                                                : client.FailureDescription();
        // Once the whole mail is handed over, only the server's refusal
        // says it was not taken: a cancel, a lost connection or a missing
        // answer leave it with the server, which may deliver it.
        if (client.MailHandedOver() && client.GetFailureCause() != SmtpClient::ServerRefused)
            qWarning().noquote() << "BugreportThread: bug report mail may have been delivered: the server holds the "
                                    "whole mail, then"
                                 << cause;
        else
            qWarning().noquote() << "BugreportThread: bug report mail not sent:" << cause;
    }

    QMutexLocker guard(&m_lock);
    m_client = nullptr;
}

void BugreportThread::ThreadStop()
{
    m_stopRequested.store(true);
    QMutexLocker guard(&m_lock);
    if (m_client)
        m_stopAccepted.store(m_client->Stop());
}

void BugreportThread::Cancel()
{
    m_cancelled.store(true);
    m_stopRequested.store(true);
    QMutexLocker guard(&m_lock);
    if (m_client)
        m_client->Abort();
}

void BugreportThread::Finished()
{
    emit updateResultUI(m_result, m_attached, m_job.owner2);
}

void BugreportThread::SmtpError(int) {}

void BugreportThread::LimitStop()
{
    emit limitStop(m_job.owner2);
}

void BugreportThread::progressSlot(qlonglong handled, qlonglong total)
{
    emit progress(handled, total, m_job.owner2);
}
