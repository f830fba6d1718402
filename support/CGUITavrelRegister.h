#pragma once

#include <QObject>
#include <QString>

#include <memory>

class CRegUpdater;

// The process-wide update glue: hands the update library its inputs from the
// settings, starts checks, judges each result against the installed version
// and announces it with tavrelUpdateCallBack().
//
// Thread contract: a GUI-thread object. The library calls back on its worker
// thread; that call only emits updateCheckFinished(), which reaches
// OnCheckFinished() queued on the GUI thread. ReleaseInstance() ends a
// running check (and its thread) before the object goes, so no call back
// outlives it.
class CGUITavrelRegister : public QObject
{
    Q_OBJECT
public:
    // What the last judged result says.
    enum UpdateStatus {
        kStatusNone = 0,          // nothing judged yet
        kStatusNewer = 1,         // a newer version exists
        kStatusNewest = 2,        // the installed version is the newest
        kStatusFailed = 3,        // the check failed: no answer, a bad answer, not configured
    };

    static CGUITavrelRegister* GetInstance();
    // Ends a running check at once, then deletes the instance.
    static void ReleaseInstance();

    // The update service's address (scheme, host and port) that InitUpdateCheck
    // hands on; the build's SONACAP_UPDATE_SERVICE unless replaced. Empty: the
    // check reports "not configured" without a connection.
    static QString ServiceAddress();
    static void SetServiceAddress(const QString& address);

    // Product, version, language, service address and proxy from the settings.
    void InitUpdateCheck();
    void ApplyProxy();
    // The interface language, after the preferences dialog changed it.
    void SetLanguage();

    // fromStartup 1: judge the result the library already holds and emit
    // tavrelUpdateCallBack(). 0: start a check (or join the one running); the
    // judgement and the signal follow when its result arrives.
    void OnUpdateResult(int fromStartup);
    bool IsChecking() const;

    // -1, 0 or 1 as a is older than, equal to or newer than b, number by
    // number; a missing number counts 0 ("2.0" equals "2.0.0"), so does a
    // field that is no number.
    static int CompareVersion(const QString& a, const QString& b);

    int Status() const { return m_status; }
    QString Message() const { return m_message; }
    QString WhatsNewText() const { return m_whatsNew; }
    QString Unfilled() const { return m_unfilled; }
    QString DownloadUrl() const { return m_downloadUrl; }

signals:
    void tavrelUpdateCallBack();
    // Emitted on the library's worker thread when a check ends.
    void updateCheckFinished(int code);

private slots:
    void OnCheckFinished(int code);

private:
    CGUITavrelRegister();
    ~CGUITavrelRegister() override;
    static void LibraryCallback(void* user, int code, int tag);
    void Judge();

    int m_status = kStatusNone;
    QString m_message;
    QString m_whatsNew;
    QString m_unfilled;   // never filled
    QString m_downloadUrl;
    std::unique_ptr<CRegUpdater> m_updater;
    bool m_logStarted = false;
};
