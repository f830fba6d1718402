#pragma once

// The program's settings store: one process-wide object over "sonacap.ini" in
// the per-user data folder. Every setter writes its key at once.
//
// Thread contract: created by the first GetInstance on the GUI thread before
// any other thread exists. Afterwards every getter and setter may be called
// from any thread (GUI, engine notification thread, library workers): the
// fields and the QSettings object are guarded by `lock`.

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVariant>
#include <cstdint>

class QSettings;

// The fixed-width proxy record handed to the network code.
struct ProxyInfo {
    int32_t type;        // Proxy_type; -1 or less: no proxy
    int32_t port;        // Proxy_prot
    char host[64];       // UTF-8, zero-terminated
    char user[32];
    char password[16];
};

class CAppSettings {
public:
    static CAppSettings* GetInstance();

    int GetPreferenceIndex();
    void SetPreferenceIndex(int value);

    // Creates the folder (again, if removed) and returns it.
    QString GetLogPath();

    QStringList GetOutputPath();
    void SetOutputPath(const QStringList& value);

    int GetRecordMode();
    void SetRecordMode(int value);
    QString GetDeviceId();
    void SetDeviceId(const QString& value);

    int GetAfterRecord();
    void SetAfterRecord(int value);
    int GetIdMode();

    int GetSplitTime();
    void SetSplitTime(int value);
    int GetSplitMode();
    void SetSplitMode(int value);
    int GetFilterTime();
    void SetFilterTime(int value);
    int GetFilterMode();
    void SetFilterMode(int value);

    int GetAudioCodec();
    int GetBitRate();
    void SetBitRate(int value);
    int GetSampleRate();
    void SetSampleRate(int value);
    int GetOutputFileType();
    void SetOutputFileType(int value);

    void GetTaskStart(QTime* out);
    void SetTaskStart(const QTime& value);
    void GetTaskDuration(QTime* out);
    void SetTaskDuration(const QTime& value);

    int GetDeleteType();
    void SetDeleteType(int value);
    int GetVolumeValue();
    void SetVolumeValue(int value);
    int GetShowMute();
    void SetShowMute(int value);

    QString GetLanguage();
    void SetLanguage(const QString& value);
    int GetSkin();
    void SetSkin(int value);
    QString GetUserMail();
    void SetUserMail(const QString& value);

    int GetAutoUpdate();
    int GetUpdateDays();
    void GetUpdateDate(int* year, int* month, int* day);
    void SetUpdateDate(int year, int month, int day);

    int GetProxyEnabled();
    void SetProxyEnabled(int value);
    void SetProxyType(int value);
    void SetProxyHost(const QString& value);
    void SetProxyPort(int value);
    void SetProxyName(const QString& value);
    void SetProxyPass(const QString& value);
    // Zero-fills the record; copies host, port, user and password only when the
    // type is above -1, each cut on a character boundary to fit its field.
    void GetProxyInfo(ProxyInfo* out);
    void GetProxyInfo(ProxyInfo& out) { GetProxyInfo(&out); }

    // Recomputes the display names and the web-page addresses (which carry the
    // current Language). Called at construction, at start-up once the language
    // is settled and after a language change.
    void InitWebLinks();

    // Values that are not stored.
    int GetLinkColorIndex();
    void SetLinkColorIndex(int value);
    QString GetDisplayName();        // "Tavrel Sonacap"
    QString GetProductName();        // "Sonacap"
    QString GetProductShortName();   // "Sonacap"
    QString GetCurrentVersion();     // "%1.%2.%3.%4", set by start-up
    void SetCurrentVersion(const QString& value);
    QString GetUserGuideLink();
    QString GetHomePageLink();
    QString GetSupportLink();
    QString GetSharedDataFolder();

    // The full path of the ini file.
    QString GetFileName();

private:
    CAppSettings();
    CAppSettings(const CAppSettings&) = delete;
    CAppSettings& operator=(const CAppSettings&) = delete;

    void SetDefaultPaths();
    void SaveAll();
    void InitWebLinksLocked();
    void WriteValue(const char* key, const QVariant& value);

    QMutex lock;  // guards every field below and `settings`
    QSettings* settings = nullptr;

    int preferenceIndex = 0;
    QString logPath;
    QStringList outputPath;
    int recordMode = -1;
    QString deviceId;
    int afterRecord = 1;
    int idMode = 1;
    int splitTime = 200;
    int splitMode = 1;
    int filterTime = 1;
    int filterMode = 1;
    int audioCodec = 0;
    int bitRate = 192;
    int sampleRate = 44100;
    int outputFileType = 0;
    QTime taskStart;
    QTime taskDuration;
    int deleteType = 0;
    int volumeValue = 100;
    int showMute = 1;
    QString language;
    int skin = 4;
    QString userMail;
    int autoUpdate = 3;
    int updateDays = 1;
    int updateYear = 0;
    int updateMonth = 0;
    int updateDay = 0;
    int proxyEnabled = 0;
    int proxyType = 0;
    QString proxyHost;
    int proxyPort = 0;
    QString proxyName;
    QString proxyPass;
    qint64 logFilePos = 0;
    int allowBlank = 0;
    QString egInfo;

    int linkColorIndex = 0;
    QString displayName;
    QString productName;
    QString productShortName;
    QString currentVersion;
    QString userGuideLink;
    QString homePageLink;
    QString supportLink;
    QString sharedDataFolder;
};
