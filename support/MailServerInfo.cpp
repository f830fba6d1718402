#include "MailServerInfo.h"

#include <QMutex>
#include <QMutexLocker>

#include <optional>

#ifndef SONACAP_MAIL_HOST
#define SONACAP_MAIL_HOST ""
#endif
#ifndef SONACAP_MAIL_PORT
#define SONACAP_MAIL_PORT 465
#endif
#ifndef SONACAP_MAIL_ACCOUNT
#define SONACAP_MAIL_ACCOUNT ""
#endif
#ifndef SONACAP_MAIL_PASSWORD
#define SONACAP_MAIL_PASSWORD ""
#endif
#ifndef SONACAP_MAIL_RECIPIENT
#define SONACAP_MAIL_RECIPIENT ""
#endif
#ifndef SONACAP_MAIL_CA_FILE
#define SONACAP_MAIL_CA_FILE ""
#endif

namespace {
// Written by SetSupport/ResetSupport (tests, GUI thread), read by Support
// on the GUI thread; the lock keeps a reader on another thread safe too.
QMutex g_lock;
std::optional<MailServerInfo> g_override;

MailServerInfo BuildValues()
{
    MailServerInfo info;
    info.host = QString::fromUtf8(SONACAP_MAIL_HOST);
    info.port = SONACAP_MAIL_PORT;
    info.ssl = true;
    info.account = QString::fromUtf8(SONACAP_MAIL_ACCOUNT);
    info.password = QString::fromUtf8(SONACAP_MAIL_PASSWORD);
    info.recipient = QString::fromUtf8(SONACAP_MAIL_RECIPIENT);
    info.caFile = QString::fromUtf8(SONACAP_MAIL_CA_FILE);
    return info;
}
} // namespace

bool MailServerInfo::IsConfigured() const
{
    return !host.isEmpty() && port > 0 && port < 65536 && !account.isEmpty() && !recipient.isEmpty();
}

MailServerInfo MailServerInfo::Support()
{
    QMutexLocker guard(&g_lock);
    return g_override ? *g_override : BuildValues();
}

void MailServerInfo::SetSupport(const MailServerInfo& info)
{
    QMutexLocker guard(&g_lock);
    g_override = info;
}

void MailServerInfo::ResetSupport()
{
    QMutexLocker guard(&g_lock);
    g_override.reset();
}
