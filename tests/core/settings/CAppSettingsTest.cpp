// Each case is a start of the program: ctest runs every case in its own
// process, because the settings store lives as long as its process.
#include "CAppSettings.h"
#include "MusicDatabase.h"

#include "../../common/TestUserHome.h"

#include <QDate>
#include <QFileInfo>
#include <QSettings>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {
bool g_storeUsed = false;

// The store may be created once per process; a second use means the cases
// were run together in one process, where they cannot be told apart.
#define START_PROGRAM()                                                             \
    do {                                                                            \
        if (g_storeUsed)                                                            \
            GTEST_SKIP() << "needs its own process (run through ctest)";            \
        g_storeUsed = true;                                                         \
    } while (0)

void WriteIni(const TestUserHome& user, const QByteArray& text)
{
    QDir().mkpath(user.DataFolder());
    QFile f(user.DataFolder() + "/sonacap.ini");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}
}  // namespace

TEST(CAppSettings, FirstStartWritesEveryDefault)
{
    START_PROGRAM();
    TestUserHome user;
    CAppSettings* s = CAppSettings::GetInstance();
    ASSERT_EQ(s, CAppSettings::GetInstance());
    EXPECT_EQ(user.DataFolder() + "/sonacap.ini", s->GetFileName());

    QSettings file(s->GetFileName(), QSettings::IniFormat);  // a second reader, no sync
    const char* saved[] = {"Log_Path", "Record_Mode", "After_Record", "Output_Path", "Id_Mode", "Split_Time",
                           "Split_Mode", "Volume_Value", "Filter_Time", "Filter_Mode", "Audio_Codec", "Bit_Rate",
                           "Sample_Rate", "Task_Start", "Task_Duration", "Delete_Type", "DEVIC_ID",
                           "Output_File_Type", "b_proxy", "Proxy_type", "Proxy_host", "Proxy_prot", "Proxy_name",
                           "Proxy_pass", "Log_File_Pos", "Show_Mute", "Allow_Blank", "Preference_Index",
                           "Auto_update", "Update_Days", "Update_year", "Update_month", "Update_day", "Eg_info"};
    for (const char* key : saved)
        EXPECT_TRUE(file.contains(key)) << key;
    for (const char* key : {"Skin", "User_Mail", "Language"})
        EXPECT_FALSE(file.contains(key)) << key;

    EXPECT_EQ(user.DataFolder(), s->GetLogPath());
    EXPECT_EQ(QStringList{user.MusicFolder()}, s->GetOutputPath());
    EXPECT_TRUE(QFileInfo(user.MusicFolder()).isDir());
    QTime start, duration;
    s->GetTaskStart(&start);
    s->GetTaskDuration(&duration);
    EXPECT_EQ(QTime(0, 0, 0), start);
    EXPECT_EQ(QTime(0, 0, 15), duration);

    const struct {
        int (CAppSettings::*get)();
        int value;
    } ints[] = {
        {&CAppSettings::GetPreferenceIndex, 0}, {&CAppSettings::GetRecordMode, -1},
        {&CAppSettings::GetAfterRecord, 1},     {&CAppSettings::GetIdMode, 1},
        {&CAppSettings::GetSplitTime, 200},     {&CAppSettings::GetSplitMode, 1},
        {&CAppSettings::GetFilterTime, 1},      {&CAppSettings::GetFilterMode, 1},
        {&CAppSettings::GetAudioCodec, 0},      {&CAppSettings::GetBitRate, 192},
        {&CAppSettings::GetSampleRate, 44100},  {&CAppSettings::GetOutputFileType, 0},
        {&CAppSettings::GetDeleteType, 0},      {&CAppSettings::GetVolumeValue, 100},
        {&CAppSettings::GetShowMute, 1},        {&CAppSettings::GetSkin, 4},
        {&CAppSettings::GetAutoUpdate, 3},      {&CAppSettings::GetUpdateDays, 1},
        {&CAppSettings::GetProxyEnabled, 0},
    };
    for (const auto& c : ints)
        EXPECT_EQ(c.value, (s->*c.get)());
    EXPECT_EQ(QString(), s->GetLanguage());
    EXPECT_EQ(QString(), s->GetDeviceId());
    int y = 0, m = 0, d = 0;
    s->GetUpdateDate(&y, &m, &d);
    const QDate today = QDate::currentDate();
    EXPECT_TRUE((y == today.year() && m == today.month() && d == today.day()) || QDate::currentDate() != today);
    EXPECT_EQ(file.value("Task_Duration").toTime(), QTime(0, 0, 15));

    // Every setter writes at once: visible to the other reader without sync.
    s->SetSkin(2);
    s->SetUserMail("me@example.org");
    s->SetTaskStart(QTime(21, 30));
    s->SetUpdateDate(2023, 7, 9);
    EXPECT_EQ(2, file.value("Skin").toInt());
    EXPECT_EQ(QString("me@example.org"), file.value("User_Mail").toString());
    EXPECT_EQ(QTime(21, 30), file.value("Task_Start").toTime());
    EXPECT_EQ(7, file.value("Update_month").toInt());

    EXPECT_EQ(QString("Tavrel Sonacap"), s->GetDisplayName());
    EXPECT_EQ(QString("Sonacap"), s->GetProductName());
    s->SetLanguage("de");
    s->InitWebLinks();
    EXPECT_TRUE(s->GetSupportLink().contains("/support/")) << s->GetSupportLink().toStdString();
    EXPECT_TRUE(s->GetSupportLink().endsWith("lang=de"));
    EXPECT_TRUE(s->GetUserGuideLink().endsWith("lang=de"));
    EXPECT_FALSE(s->GetHomePageLink().contains("lang="));
    EXPECT_TRUE(s->GetSharedDataFolder().endsWith("/Tavrel/Sonacap/dat"));
}

TEST(CAppSettings, SecondStartKeepsValuesAndResetsTheTask)
{
    START_PROGRAM();
    TestUserHome user;
    {
        QDir().mkpath(user.DataFolder());
        QSettings earlier(user.DataFolder() + "/sonacap.ini", QSettings::IniFormat);
        earlier.setValue("Task_Start", QTime(21, 30));
        earlier.setValue("Split_Time", 500);
        earlier.setValue("Bit_Rate", "abc");
        earlier.setValue("Update_year", 2020);
        earlier.setValue("Skin", 1);
        earlier.setValue("Log_Path", "/somewhere/else");
        earlier.setValue("Output_Path", QStringList{"/mnt/records", user.MusicFolder()});
        earlier.sync();
    }
    CAppSettings* s = CAppSettings::GetInstance();
    QTime start;
    s->GetTaskStart(&start);
    EXPECT_EQ(QTime(0, 0, 0), start);
    EXPECT_EQ(500, s->GetSplitTime());
    EXPECT_EQ(0, s->GetBitRate()) << "a value of the wrong type reads as 0";
    EXPECT_EQ(1, s->GetSkin());
    EXPECT_EQ(user.DataFolder(), s->GetLogPath());
    int y = 0, m = 0, d = 0;
    s->GetUpdateDate(&y, &m, &d);
    EXPECT_EQ(2020, y);
    // The music folder is in the list once, however often the program starts.
    EXPECT_EQ((QStringList{"/mnt/records", user.MusicFolder()}), s->GetOutputPath());
}

TEST(CAppSettings, ProxyRecordIsCutOnCharacterBoundaries)
{
    START_PROGRAM();
    TestUserHome user;
    CAppSettings* s = CAppSettings::GetInstance();
    ProxyInfo info;
    s->SetProxyType(-1);
    s->SetProxyHost("proxy.example.org");
    s->SetProxyPort(8080);
    s->GetProxyInfo(&info);
    EXPECT_EQ(-1, info.type);
    const char* raw = reinterpret_cast<const char*>(&info);
    for (size_t i = sizeof(info.type); i < sizeof(info); ++i)
        ASSERT_EQ(0, raw[i]) << "byte " << i;

    s->SetProxyType(0);
    const QString host = QString(62, 'h') + QString::fromUtf8("\xc3\xa9");        // 64 bytes
    const QString user_ = QString(30, 'u') + QString::fromUtf8("\xe2\x82\xac");   // 33 bytes
    QString pass;
    for (int i = 0; i < 6; ++i)
        pass += QChar(0x20ac);  // 18 bytes of euro signs
    s->SetProxyHost(host);
    s->SetProxyName(user_);
    s->SetProxyPass(pass);
    s->GetProxyInfo(info);
    EXPECT_EQ(0, info.type);
    EXPECT_EQ(8080, info.port);
    EXPECT_EQ(std::string(62, 'h'), std::string(info.host));
    EXPECT_EQ(std::string(30, 'u'), std::string(info.user));
    EXPECT_EQ(pass.left(5).toUtf8().toStdString(), std::string(info.password)) << "15 bytes: five whole signs";

    s->SetProxyHost("proxy");
    s->SetProxyName("");
    s->SetProxyPass("secret");
    s->GetProxyInfo(&info);
    EXPECT_STREQ("proxy", info.host);
    EXPECT_STREQ("", info.user);
    EXPECT_STREQ("secret", info.password);
}

// A damaged ini file: the store reads what it can and goes on with defaults.
TEST(CAppSettings, CorruptIniGoesOnWithDefaults)
{
    START_PROGRAM();
    TestUserHome user;
    QByteArray garbage("[General]\nSplit_Time=3");
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 131 + 7) % 256));
    garbage.append("\n[Gen");  // cut off in the middle of a line
    WriteIni(user, garbage);
    CAppSettings* s = CAppSettings::GetInstance();
    EXPECT_EQ(192, s->GetBitRate());
    EXPECT_EQ(QStringList{user.MusicFolder()}, s->GetOutputPath());
    s->SetVolumeValue(42);
    EXPECT_EQ(42, s->GetVolumeValue());
}

// The data folder cannot be created: no crash, and the library reports the error.
TEST(CAppSettings, UnwritableDataFolder)
{
    START_PROGRAM();
    TestUserHome user;
    QFile blocker(user.home + "/.local");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CAppSettings* s = CAppSettings::GetInstance();
    EXPECT_EQ(200, s->GetSplitTime());
    s->SetSplitTime(300);
    EXPECT_EQ(300, s->GetSplitTime());
    EXPECT_NE(0, DB_OpenDatabase());
    EXPECT_FALSE(DB_IsOpen());
    QList<MusicListRow> lists;
    EXPECT_NE(0, DB_GetMusicList(lists));
    EXPECT_TRUE(lists.isEmpty());
}

// Getters and setters are called from the engine's and workers' threads.
TEST(CAppSettings, ThreadsShareTheStore)
{
    START_PROGRAM();
    TestUserHome user;
    CAppSettings* s = CAppSettings::GetInstance();
    std::thread writer([s] {
        for (int i = 0; i < 2000; ++i) {
            s->SetVolumeValue(i % 101);
            s->SetDeviceId(QString("device %1").arg(i));
        }
    });
    int bad = 0;
    for (int i = 0; i < 2000; ++i) {
        const int v = s->GetVolumeValue();
        bad += (v < 0 || v > 100);
        bad += !s->GetDeviceId().isEmpty() && !s->GetDeviceId().startsWith("device ");
        ProxyInfo info;
        s->GetProxyInfo(&info);
    }
    writer.join();
    EXPECT_EQ(0, bad);
    EXPECT_EQ(QString("device 1999"), s->GetDeviceId());
}
