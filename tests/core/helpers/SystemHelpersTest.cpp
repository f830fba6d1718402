#include "CCreateFactoryThread.h"
#include "SystemHelpers.h"

#include "../../common/PrivateBusMock.h"
#include "../../common/TestUserHome.h"

#include <QDBusConnection>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

TEST(SystemHelpers, SpecialFolderKinds)
{
    TestUserHome user;
    const QString h = user.home;
    const struct {
        int kind;
        QString folder;
    } known[] = {
        {0, h + "/.local/share/applications"},
        {4, h + "/Dokumente"},
        {5, h + "/Schreibtisch"},
        {6, h + "/Vorlagen"},
        {7, h + "/.local/share"},
        {9, h + "/Videos"},
        {10, h + "/" + TestUserHome::MusicName()},
        {11, h + "/Bilder"},
    };
    for (const auto& c : known) {
        QString path;
        EXPECT_EQ(0, GetSpecialFolderPath(path, c.kind)) << c.kind;
        EXPECT_EQ(c.folder + "/Tavrel/Sonacap", path) << c.kind;

        char buffer[512];
        ASSERT_EQ(0, GetSpecialFolderPath(buffer, sizeof(buffer), c.kind));
        EXPECT_EQ(path, QString::fromUtf8(buffer));
    }
    for (int kind : {-1, 1, 2, 3, 8, 12, 26}) {
        QString path = "untouched";
        char buffer[16] = "untouched";
        EXPECT_EQ(1, GetSpecialFolderPath(path, kind)) << kind;
        EXPECT_EQ(1, GetSpecialFolderPath(buffer, sizeof(buffer), kind)) << kind;
        EXPECT_EQ(QString("untouched"), path);
        EXPECT_STREQ("untouched", buffer);
    }
}

TEST(SystemHelpers, LongFolderPathNeverOverrunsTheBuffer)
{
    TestUserHome user;
    const QString deep = user.home + "/" + QString(600, QChar(0x00e9));  // 1,200 UTF-8 bytes
    setenv("XDG_DATA_HOME", deep.toUtf8().constData(), 1);

    QString path;
    ASSERT_EQ(0, GetSpecialFolderPath(path, kFolderAppData));
    EXPECT_EQ(deep + "/Tavrel/Sonacap", path);

    char small[512];
    memset(small, 'x', sizeof(small));
    EXPECT_EQ(1, GetSpecialFolderPath(small, sizeof(small), kFolderAppData));
    EXPECT_EQ('x', small[0]);
    std::vector<char> large(4096);
    EXPECT_EQ(0, GetSpecialFolderPath(large.data(), large.size(), kFolderAppData));
    EXPECT_EQ(path, QString::fromUtf8(large.data()));
}

TEST(SystemHelpers, CreateDirectoryTree)
{
    TestUserHome user;
    QString music;
    ASSERT_EQ(0, GetSpecialFolderPath(music, kFolderMusic));
    const QByteArray utf8 = music.toUtf8();
    EXPECT_EQ(0, CreateDirectoryTree(utf8.constData()));
    EXPECT_TRUE(QFileInfo(music).isDir());
    EXPECT_EQ(0, CreateDirectoryTree(utf8.constData())) << "an existing folder counts as success";
    EXPECT_EQ(0, CreateDirectoryTree((music + "/").toUtf8().constData()));

    QFile blocker(user.home + "/plain-file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(ENOTDIR, CreateDirectoryTree((user.home + "/plain-file").toUtf8().constData()));
    EXPECT_NE(0, CreateDirectoryTree((user.home + "/plain-file/below/deeper").toUtf8().constData()));
    EXPECT_EQ(EINVAL, CreateDirectoryTree(""));
    EXPECT_EQ(EINVAL, CreateDirectoryTree(nullptr));
}

TEST(SystemHelpers, PicturesFolderThread)
{
    TestUserHome user;
    {
        CCreateFactoryThread thread(nullptr);
        thread.start();
        thread.wait();
        EXPECT_TRUE(thread.GetResult());
        EXPECT_TRUE(QFileInfo(user.home + "/Bilder/Tavrel/Sonacap").isDir());
    }
    // A file where the folder should be: the thread reports failure.
    QDir(user.home + "/Bilder").removeRecursively();
    QFile blocker(user.home + "/Bilder");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CCreateFactoryThread thread(nullptr);
    thread.start();
    // The destructor waits for the thread; the flag is read after that here.
    thread.wait();
    EXPECT_FALSE(thread.GetResult());
}

TEST(SystemHelpers, VersionHasFourNumbers)
{
    const QString version = GetAppFileVersion();
    const QStringList parts = version.split('.');
    ASSERT_EQ(4, parts.size()) << version.toStdString();
    for (const QString& p : parts) {
        bool ok = false;
        p.toInt(&ok);
        EXPECT_TRUE(ok) << version.toStdString();
    }
    EXPECT_TRUE(version.startsWith(QString(SONACAP_VERSION_TEXT))) << version.toStdString();
}

TEST(SystemHelpers, AnsiToUtf8)
{
    char* out = reinterpret_cast<char*>(0x1);
    EXPECT_EQ(1, AnsiToUtf8(&out, nullptr));
    EXPECT_EQ(reinterpret_cast<char*>(0x1), out) << "a null input leaves out unset";

    out = nullptr;
    ASSERT_EQ(1, AnsiToUtf8(&out, "Gr\xc3\xbc\xc3\x9f" "e"));
    EXPECT_STREQ("Gr\xc3\xbc\xc3\x9f" "e", out);
    delete[] out;

    out = nullptr;
    EXPECT_EQ(0, AnsiToUtf8(&out, "bad \xff\xfe bytes"));
    EXPECT_EQ(nullptr, out);
}

TEST(SystemHelpers, ShutdownGoesThroughTheHook)
{
    int calls = 0;
    bool answer = true;
    const ShutdownHook previous = SetShutdownHook([&] {
        ++calls;
        return answer;
    });
    EXPECT_TRUE(ShutdownComputer());
    answer = false;
    EXPECT_FALSE(ShutdownComputer());
    EXPECT_EQ(2, calls);
    SetShutdownHook(previous);
}

// logind's PowerOff reaches a mock logind on a private bus, never the real one.
class LogindMock : public PrivateBusMock {
protected:
    LogindMock() : PrivateBusMock("logind-mock-test") {}

    bool StartMock() { return StartDBusMock({"--template", "logind"}, "org.freedesktop.login1"); }
};

TEST_F(LogindMock, PowerOffReachesLogind)
{
    EXPECT_FALSE(LogindPowerOff(*bus)) << "no logind on the bus yet";
    ASSERT_TRUE(StartMock());
    EXPECT_TRUE(LogindPowerOff(*bus));

    QFile log(logDir.filePath("calls.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray calls = log.readAll();
    EXPECT_TRUE(calls.contains("PowerOff False")) << calls.constData();
}

TEST(SystemHelpers, PowerOffWithoutBusFails)
{
    const QDBusConnection none = QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "no-bus");
    EXPECT_FALSE(LogindPowerOff(none));
    QDBusConnection::disconnectFromBus("no-bus");
}
