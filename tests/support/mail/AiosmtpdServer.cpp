#include "AiosmtpdServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QThread>

#include <cstdio>

namespace {
struct Certificate {
    QTemporaryDir dir;
    QString cert;
    QString key;
    Certificate()
    {
        cert = dir.path() + QStringLiteral("/cert.pem");
        key = dir.path() + QStringLiteral("/key.pem");
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "2",
                       "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"});
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
            fprintf(stderr, "openssl failed: %s\n", openssl.readAllStandardError().constData());
    }
};

const Certificate& TestCertificate()
{
    static Certificate certificate;
    return certificate;
}
} // namespace

QString AiosmtpdServer::CertificateFile()
{
    return TestCertificate().cert;
}

AiosmtpdServer::AiosmtpdServer(Mode mode, bool summaryOnly, Body body)
{
    QStringList arguments{QStringLiteral(SONACAP_TEST_SOURCE_DIR "/tests/support/mail/smtp_server.py"),
                          QStringLiteral("--mode"),
                          mode == Plain ? QStringLiteral("plain") : mode == Tls ? QStringLiteral("tls")
                                                                                : QStringLiteral("starttls"),
                          QStringLiteral("--user"), QString::fromLatin1(kUser),
                          QStringLiteral("--password"), QString::fromLatin1(kPassword),
                          QStringLiteral("--out"), m_out.path()};
    if (summaryOnly)
        arguments << QStringLiteral("--summary");
    if (body == SevenBitOnly)
        arguments << QStringLiteral("--seven-bit");
    if (mode != Plain)
        arguments << QStringLiteral("--cert") << TestCertificate().cert << QStringLiteral("--key") << TestCertificate().key;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(SONACAP_SYSTEM_PYTHON), arguments);
    if (!m_process.waitForStarted(10000)) {
        fprintf(stderr, "cannot start the mail server: %s\n", m_process.errorString().toUtf8().constData());
        return;
    }
    QElapsedTimer timer;
    timer.start();
    while (!m_process.canReadLine() && timer.elapsed() < 20000 && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(200);
    m_port = m_process.readLine().trimmed().toInt();
}

AiosmtpdServer::~AiosmtpdServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

QString AiosmtpdServer::MailFile(int n, const QString& suffix) const
{
    return m_out.path() + QStringLiteral("/mail%1").arg(n) + suffix;
}

int AiosmtpdServer::MailCount() const
{
    return QDir(m_out.path()).entryList({QStringLiteral("mail*.json")}, QDir::Files).size();
}

QJsonObject AiosmtpdServer::WaitForMail(int n, int timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    const QString path = MailFile(n, QStringLiteral(".json"));
    while (timer.elapsed() < timeoutMs) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
            if (document.isObject())
                return document.object();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return QJsonObject();
}
