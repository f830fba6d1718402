#pragma once

#include <QObject>
#include <QString>

#include <functional>

// What one update check found out.
struct UpdateCheckResult {
    QString serverVersion;   // empty when the check found nothing
    QString whatsNew;
    QString downloadUrl;
};

// The process-wide update glue: hands the update check its inputs from the
// settings, judges its result against the installed version and announces it
// with tavrelUpdateCallBack(). GUI thread only.
//
// The check itself is a replaceable function (the update service client);
// without one, a check finds nothing and so reports the installed version as
// the newest. Nothing here opens a network connection by itself.
class CGUITavrelRegister : public QObject
{
    Q_OBJECT
public:
    static CGUITavrelRegister* GetInstance();
    static void ReleaseInstance();

    // The inputs of the check.
    struct Inputs {
        QString productName;
        QString productShortName;
        QString version;
        QString language;
        int proxyType = 2;      // 2 no proxy, otherwise an HTTP proxy
        QString proxyHost;
        int proxyPort = 0;
        QString proxyUser;
        QString proxyPassword;
    };
    using Checker = std::function<UpdateCheckResult(const Inputs&)>;
    // Installs the check (returns the previous one; empty: none).
    static Checker SetChecker(Checker checker);

    void InitUpdateCheck();
    void ApplyProxy();
    void SetLanguage();
    // fromStartup 1: judge the result the last check left; 0: run a check
    // first. Emits tavrelUpdateCallBack().
    void OnUpdateResult(int fromStartup);

    // -1, 0 or 1 as a is older than, equal to or newer than b, compared
    // number by number ("2.0" equals "2.0.0").
    static int CompareVersion(const QString& a, const QString& b);

    // 1 a newer version exists, 2 the installed one is the newest.
    int Status() const { return m_status; }
    QString Message() const { return m_message; }
    QString WhatsNewText() const { return m_whatsNew; }
    QString Unfilled() const { return m_unfilled; }
    QString DownloadUrl() const { return m_downloadUrl; }
    const Inputs& CheckInputs() const { return m_inputs; }

signals:
    void tavrelUpdateCallBack();

private:
    CGUITavrelRegister();
    ~CGUITavrelRegister() override;

    int m_status = 2;
    QString m_message;
    QString m_whatsNew;
    QString m_unfilled;
    QString m_downloadUrl;
    Inputs m_inputs;
    UpdateCheckResult m_lastResult;
};
