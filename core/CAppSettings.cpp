#include "CAppSettings.h"

#include "MusicRecords.h"
#include "SystemHelpers.h"

#include <QDate>
#include <QDebug>
#include <QDir>
#include <QMutexLocker>
#include <QSettings>

#include <cstring>

namespace {
const char* const kWebHost = "https://www.tavrel.com";

QString SettingsFolder()
{
    QString folder;
    if (GetSpecialFolderPath(folder, kFolderAppData) != 0)
        qCritical() << "CAppSettings: no per-user data folder";
    return folder;
}

void CreateFolder(const QString& folder, const char* what)
{
    if (folder.isEmpty())
        return;
    const int err = CreateDirectoryTree(folder.toUtf8().constData());
    if (err != 0)
        qCritical() << "CAppSettings: cannot create the" << what << "folder" << folder << ":" << strerror(err);
}

// The per-user data root without the program's subfolder.
QString GenericDataFolder()
{
    QString folder;
    if (GetSpecialFolderPath(folder, kFolderAppData) == 0)
        folder.chop(int(strlen(kProgramSubFolder)));
    return folder;
}

bool SameFolder(const QString& a, const QString& b)
{
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}
}  // namespace

CAppSettings* CAppSettings::GetInstance()
{
    // Created on the GUI thread at start-up before any other thread exists;
    // a function-local static also makes a racing first call safe.
    static CAppSettings* instance = new CAppSettings();
    return instance;
}

CAppSettings::CAppSettings()
{
    QMutexLocker guard(&lock);

    const QString folder = SettingsFolder();
    CreateFolder(folder, "settings");
    settings = new QSettings(folder + "/sonacap.ini", QSettings::IniFormat);
    if (!settings)
        qFatal("create QSettings failed!");
    if (settings->status() != QSettings::NoError)
        qCritical() << "CAppSettings: cannot read" << settings->fileName() << "(status" << settings->status()
                    << "), going on with defaults";

    QSettings& s = *settings;
    const QDate today = QDate::currentDate();
    preferenceIndex = s.value("Preference_Index", 0).toInt();
    logPath = s.value("Log_Path", QString()).toString();
    outputPath = s.value("Output_Path", QStringList()).toStringList();
    afterRecord = s.value("After_Record", 1).toInt();
    idMode = s.value("Id_Mode", 1).toInt();
    splitTime = s.value("Split_Time", 200).toInt();
    splitMode = s.value("Split_Mode", 1).toInt();
    filterTime = s.value("Filter_Time", 1).toInt();
    filterMode = s.value("Filter_Mode", 1).toInt();
    audioCodec = s.value("Audio_Codec", 0).toInt();
    bitRate = s.value("Bit_Rate", 192).toInt();
    sampleRate = s.value("Sample_Rate", 44100).toInt();
    taskStart = s.value("Task_Start", QTime()).toTime();
    taskDuration = s.value("Task_Duration", QTime()).toTime();
    deleteType = s.value("Delete_Type", 0).toInt();
    volumeValue = s.value("Volume_Value", 100).toInt();
    outputFileType = s.value("Output_File_Type", 0).toInt();
    logFilePos = s.value("Log_File_Pos", qint64(0)).toLongLong();
    proxyEnabled = s.value("b_proxy", 0).toInt();
    proxyType = s.value("Proxy_type", 0).toInt();
    proxyHost = s.value("Proxy_host", QString()).toString();
    proxyPort = s.value("Proxy_prot", 0).toInt();
    proxyName = s.value("Proxy_name", QString()).toString();
    proxyPass = s.value("Proxy_pass", QString()).toString();
    userMail = s.value("User_Mail", QString()).toString();
    showMute = s.value("Show_Mute", 1).toInt();
    allowBlank = s.value("Allow_Blank", 0).toInt();
    language = s.value("Language", QString()).toString();
    skin = s.value("Skin", 4).toInt();
    autoUpdate = s.value("Auto_update", 3).toInt();
    updateDays = s.value("Update_Days", 1).toInt();
    updateYear = s.value("Update_year", today.year()).toInt();
    updateMonth = s.value("Update_month", today.month()).toInt();
    updateDay = s.value("Update_day", today.day()).toInt();
    egInfo = s.value("Eg_info", QString()).toString();
    deviceId = s.value("DEVIC_ID", QString()).toString();
    recordMode = s.value("Record_Mode", -1).toInt();

    QString shared = qEnvironmentVariable("allusersprofile");
    if (shared.isEmpty())
        shared = GenericDataFolder();
    sharedDataFolder = shared + "/Tavrel/Sonacap/dat";
    linkColorIndex = 0;

    InitWebLinksLocked();
    SetDefaultPaths();
    SaveAll();
}

void CAppSettings::SetDefaultPaths()
{
    logPath = SettingsFolder();
    CreateFolder(logPath, "data");

    QString music;
    if (GetSpecialFolderPath(music, kFolderMusic) == 0) {
        // Only once: appending at every start would grow the list without end.
        bool present = false;
        for (const QString& entry : outputPath)
            present = present || SameFolder(entry, music);
        if (!present)
            outputPath.append(music);
        CreateFolder(music, "music");
    }

    taskStart = QTime(0, 0, 0, 0);
    taskDuration = QTime(0, 0, 15, 0);
}

void CAppSettings::SaveAll()
{
    QSettings& s = *settings;
    s.setValue("Log_Path", logPath);
    s.setValue("Record_Mode", recordMode);
    s.setValue("After_Record", afterRecord);
    s.setValue("Output_Path", outputPath);
    s.setValue("Id_Mode", idMode);
    s.setValue("Split_Time", splitTime);
    s.setValue("Split_Mode", splitMode);
    s.setValue("Volume_Value", volumeValue);
    s.setValue("Filter_Time", filterTime);
    s.setValue("Filter_Mode", filterMode);
    s.setValue("Audio_Codec", audioCodec);
    s.setValue("Bit_Rate", bitRate);
    s.setValue("Sample_Rate", sampleRate);
    s.setValue("Task_Start", taskStart);
    s.setValue("Task_Duration", taskDuration);
    s.setValue("Delete_Type", deleteType);
    s.setValue("DEVIC_ID", deviceId);
    s.setValue("Output_File_Type", outputFileType);
    s.setValue("b_proxy", proxyEnabled);
    s.setValue("Proxy_type", proxyType);
    s.setValue("Proxy_host", proxyHost);
    s.setValue("Proxy_prot", proxyPort);
    s.setValue("Proxy_name", proxyName);
    s.setValue("Proxy_pass", proxyPass);
    s.setValue("Log_File_Pos", logFilePos);
    s.setValue("Show_Mute", showMute);
    s.setValue("Allow_Blank", allowBlank);
    s.setValue("Preference_Index", preferenceIndex);
    s.setValue("Auto_update", autoUpdate);
    s.setValue("Update_Days", updateDays);
    s.setValue("Update_year", updateYear);
    s.setValue("Update_month", updateMonth);
    s.setValue("Update_day", updateDay);
    s.setValue("Eg_info", egInfo);
}

void CAppSettings::WriteValue(const char* key, const QVariant& value)
{
    settings->setValue(QLatin1String(key), value);
}

// Every field is read and written under `lock`; a setter also writes the ini.
#define SC_GETTER(Type, Name, field)  \
    Type CAppSettings::Get##Name()    \
    {                                 \
        QMutexLocker guard(&lock);    \
        return field;                 \
    }

#define SC_INT_GETTER(Name, field) SC_GETTER(int, Name, field)

#define SC_SETTER(Name, Param, field, key)     \
    void CAppSettings::Set##Name(Param value)  \
    {                                          \
        QMutexLocker guard(&lock);             \
        field = value;                         \
        WriteValue(key, value);                \
    }

#define SC_INT_SETTER(Name, field, key) SC_SETTER(Name, int, field, key)

#define SC_TEXT_GETTER(Name, field) SC_GETTER(QString, Name, field)

#define SC_TEXT_SETTER(Name, field, key) SC_SETTER(Name, const QString&, field, key)

// The times are read through an out parameter; a null one is ignored.
#define SC_TIME_GETTER(Name, field)              \
    void CAppSettings::Get##Name(QTime* out)     \
    {                                            \
        QMutexLocker guard(&lock);               \
        if (out)                                 \
            *out = field;                        \
    }

#define SC_INT_SETTING(Name, field, key) SC_INT_GETTER(Name, field) SC_INT_SETTER(Name, field, key)
#define SC_TEXT_SETTING(Name, field, key) SC_TEXT_GETTER(Name, field) SC_TEXT_SETTER(Name, field, key)
#define SC_TIME_SETTING(Name, field, key) SC_TIME_GETTER(Name, field) SC_SETTER(Name, const QTime&, field, key)

SC_INT_SETTING(PreferenceIndex, preferenceIndex, "Preference_Index")
SC_INT_SETTING(RecordMode, recordMode, "Record_Mode")
SC_TEXT_SETTING(DeviceId, deviceId, "DEVIC_ID")
SC_INT_SETTING(AfterRecord, afterRecord, "After_Record")
SC_INT_GETTER(IdMode, idMode)
SC_INT_SETTING(SplitTime, splitTime, "Split_Time")
SC_INT_SETTING(SplitMode, splitMode, "Split_Mode")
SC_INT_SETTING(FilterTime, filterTime, "Filter_Time")
SC_INT_SETTING(FilterMode, filterMode, "Filter_Mode")
SC_INT_GETTER(AudioCodec, audioCodec)
SC_INT_SETTING(BitRate, bitRate, "Bit_Rate")
SC_INT_SETTING(SampleRate, sampleRate, "Sample_Rate")
SC_INT_SETTING(OutputFileType, outputFileType, "Output_File_Type")
SC_INT_SETTING(DeleteType, deleteType, "Delete_Type")
SC_INT_SETTING(VolumeValue, volumeValue, "Volume_Value")
SC_INT_SETTING(ShowMute, showMute, "Show_Mute")
SC_TEXT_SETTING(Language, language, "Language")
SC_INT_SETTING(Skin, skin, "Skin")
SC_TEXT_SETTING(UserMail, userMail, "User_Mail")
SC_INT_GETTER(AutoUpdate, autoUpdate)
SC_INT_GETTER(UpdateDays, updateDays)
SC_INT_SETTING(ProxyEnabled, proxyEnabled, "b_proxy")
SC_INT_SETTER(ProxyType, proxyType, "Proxy_type")
SC_TEXT_SETTER(ProxyHost, proxyHost, "Proxy_host")
SC_INT_SETTER(ProxyPort, proxyPort, "Proxy_prot")
SC_TEXT_SETTER(ProxyName, proxyName, "Proxy_name")
SC_TEXT_SETTER(ProxyPass, proxyPass, "Proxy_pass")

QString CAppSettings::GetLogPath()
{
    QMutexLocker guard(&lock);
    CreateFolder(logPath, "data");
    return logPath;
}

SC_GETTER(QStringList, OutputPath, outputPath)
SC_SETTER(OutputPath, const QStringList&, outputPath, "Output_Path")
SC_TIME_SETTING(TaskStart, taskStart, "Task_Start")
SC_TIME_SETTING(TaskDuration, taskDuration, "Task_Duration")

void CAppSettings::GetUpdateDate(int* year, int* month, int* day)
{
    QMutexLocker guard(&lock);
    if (year)
        *year = updateYear;
    if (month)
        *month = updateMonth;
    if (day)
        *day = updateDay;
}

void CAppSettings::SetUpdateDate(int year, int month, int day)
{
    QMutexLocker guard(&lock);
    updateYear = year;
    updateMonth = month;
    updateDay = day;
    WriteValue("Update_year", year);
    WriteValue("Update_month", month);
    WriteValue("Update_day", day);
}

void CAppSettings::GetProxyInfo(ProxyInfo* out)
{
    if (!out)
        return;
    memset(out, 0, sizeof(*out));
    QMutexLocker guard(&lock);
    out->type = proxyType;
    if (proxyType <= -1)
        return;
    out->port = proxyPort;
    CopyUtf8Field(out->host, sizeof(out->host), proxyHost.toUtf8());
    CopyUtf8Field(out->user, sizeof(out->user), proxyName.toUtf8());
    CopyUtf8Field(out->password, sizeof(out->password), proxyPass.toUtf8());
}

void CAppSettings::InitWebLinks()
{
    QMutexLocker guard(&lock);
    InitWebLinksLocked();
}

void CAppSettings::InitWebLinksLocked()
{
    displayName = QStringLiteral("Tavrel Sonacap");
    productName = QStringLiteral("Sonacap");
    productShortName = QStringLiteral("Sonacap");
    const QString host = QLatin1String(kWebHost);
    userGuideLink = host + "/sonacap/user-guide/?lang=" + language;
    homePageLink = host + "/sonacap/";
    supportLink = host + "/support/?lang=" + language;
}

int CAppSettings::GetLinkColorIndex()
{
    QMutexLocker guard(&lock);
    return linkColorIndex;
}

void CAppSettings::SetLinkColorIndex(int value)
{
    QMutexLocker guard(&lock);
    linkColorIndex = value;
}

SC_TEXT_GETTER(DisplayName, displayName)
SC_TEXT_GETTER(ProductName, productName)
SC_TEXT_GETTER(ProductShortName, productShortName)
SC_TEXT_GETTER(CurrentVersion, currentVersion)
SC_TEXT_GETTER(UserGuideLink, userGuideLink)
SC_TEXT_GETTER(HomePageLink, homePageLink)
SC_TEXT_GETTER(SupportLink, supportLink)
SC_TEXT_GETTER(SharedDataFolder, sharedDataFolder)

void CAppSettings::SetCurrentVersion(const QString& value)
{
    QMutexLocker guard(&lock);
    currentVersion = value;
}

QString CAppSettings::GetFileName()
{
    QMutexLocker guard(&lock);
    return settings->fileName();
}
