#pragma once

// The support mail server record of a bug report sent to a local test
// server: 127.0.0.1 at `port`, the test account, the test authority trusted.

#include "AiosmtpdServer.h"
#include "MailServerInfo.h"

inline MailServerInfo LocalMailServer(int port, bool ssl)
{
    MailServerInfo info;
    info.host = QStringLiteral("127.0.0.1");
    info.port = port;
    info.ssl = ssl;
    info.account = QString::fromLatin1(AiosmtpdServer::kUser);
    info.password = QString::fromLatin1(AiosmtpdServer::kPassword);
    info.recipient = QStringLiteral("support@example.org");
    info.caFile = AiosmtpdServer::CertificateFile();
    return info;
}
