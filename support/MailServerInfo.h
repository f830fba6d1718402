#pragma once

#include <QString>

// The mail server a bug report goes to, with the account it logs in with.
struct MailServerInfo {
    QString host;
    int port = 465;
    bool ssl = true;
    QString account;
    QString password;
    // Where the report goes, and a file of authorities (PEM) trusted for the
    // server's certificate besides the system's; both deployment values.
    QString recipient;
    QString caFile;

    // Nothing can be sent without a host, an account and a recipient.
    bool IsConfigured() const;

    // The support service of this build (the SONACAP_MAIL_* build settings),
    // unless replaced. Unset, it is not configured.
    static MailServerInfo Support();
    // Replaces the support service (tests point it at a local server);
    // ResetSupport restores the build's.
    static void SetSupport(const MailServerInfo& info);
    static void ResetSupport();
};
