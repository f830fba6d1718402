#pragma once

// Debian's aiosmtpd as a real mail server on 127.0.0.1 (smtp_server.py
// beside this file): plain, TLS from the first byte, or STARTTLS, with a
// certificate for 127.0.0.1 made by openssl for the test run. Each stored
// mail comes back as Python's mail parser read it.

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class AiosmtpdServer
{
public:
    enum Mode { Plain, Tls, StartTls };

    static constexpr const char* kUser = "bugs@example.org";
    static constexpr const char* kPassword = "s3cret pass";

    // What the server takes in the mail text: 8-bit text, offering 8BITMIME
    // (the usual server), or ASCII only, refusing the rest.
    enum Body { EightBitMime, SevenBitOnly };

    // With `summaryOnly` (for mails of hundreds of MB) each mail is stored
    // only as its JSON summary: "size", "attachment_size" and
    // "attachment_sha256".
    explicit AiosmtpdServer(Mode mode, bool summaryOnly = false, Body body = EightBitMime);
    ~AiosmtpdServer();
    AiosmtpdServer(const AiosmtpdServer&) = delete;
    AiosmtpdServer& operator=(const AiosmtpdServer&) = delete;

    // 0 when the server did not come up (the reason is printed).
    int Port() const { return m_port; }
    // The authority file the client must trust for this server.
    static QString CertificateFile();

    // Processes events until mail `n` (from 1) is stored; empty after the
    // time-out.
    QJsonObject WaitForMail(int n, int timeoutMs = 20000) const;
    int MailCount() const;
    // A stored file of mail `n`: ".eml", ".json" or "-<attachment name>".
    QString MailFile(int n, const QString& suffix) const;

private:
    QTemporaryDir m_out;
    QProcess m_process;
    int m_port = 0;
};
