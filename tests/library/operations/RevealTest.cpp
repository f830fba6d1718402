#include "DesktopLinks.h"
#include "LibrarySeams.h"

#include "../../common/PrivateBusMock.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <gtest/gtest.h>

// "Show in Folder" asks the desktop's file manager on the session bus; here a
// mock file manager on a private bus, never the user's one.
class FileManagerMock : public PrivateBusMock {
protected:
    FileManagerMock() : PrivateBusMock("file-manager-mock") {}

    // A file manager that answers ShowItems and logs every call.
    bool StartMock()
    {
        if (!StartDBusMock({"org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                            "org.freedesktop.FileManager1"},
                           "org.freedesktop.FileManager1"))
            return false;
        QDBusMessage add = QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                          "org.freedesktop.DBus.Mock", "AddMethod");
        add << QString() << QString("ShowItems") << QString("ass") << QString() << QString();
        return bus->call(add).type() == QDBusMessage::ReplyMessage;
    }
};

// Sends ShowItems and runs the event loop until the answer (or the time is up).
struct Reveal {
    bool sent = false;
    bool answered = false;
    bool accepted = false;
    qint64 sendMs = 0;     // how long the call itself took
    qint64 answerMs = 0;   // from the call to the answer
};

Reveal ShowItem(const QDBusConnection& bus, const QString& path)
{
    Reveal r;
    QElapsedTimer t;
    t.start();
    r.sent = FileManagerShowItem(bus, path, [&](bool accepted) {
        r.answered = true;
        r.accepted = accepted;
        r.answerMs = t.elapsed();
    });
    r.sendMs = t.elapsed();
    while (r.sent && !r.answered && t.elapsed() < 15000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return r;
}

TEST_F(FileManagerMock, ShowItemsReachesTheFileManager)
{
    const QString song = logDir.filePath("My Song.mp3");
    Reveal r = ShowItem(*bus, song);
    EXPECT_TRUE(r.sent);
    EXPECT_TRUE(r.answered);
    EXPECT_FALSE(r.accepted) << "no file manager on the bus yet";
    ASSERT_TRUE(StartMock());
    r = ShowItem(*bus, song);
    EXPECT_TRUE(r.answered);
    EXPECT_TRUE(r.accepted);
    EXPECT_FALSE(ShowItem(*bus, QString()).sent);

    QFile log(logDir.filePath("calls.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray calls = log.readAll();
    EXPECT_TRUE(calls.contains("ShowItems")) << calls.constData();
    EXPECT_TRUE(calls.contains("My%20Song.mp3")) << calls.constData();
}

TEST_F(FileManagerMock, SlowFileManagerNeverHoldsTheCaller)
{
    // A file manager that takes a second and a half to answer (as one the
    // bus has to start does): the call returns at once, the answer follows.
    ASSERT_TRUE(StartDBusMock({"org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                               "org.freedesktop.FileManager1"},
                              "org.freedesktop.FileManager1"));
    QDBusMessage add = QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                      "org.freedesktop.DBus.Mock", "AddMethod");
    add << QString() << QString("ShowItems") << QString("ass") << QString() << QString("time.sleep(1.5)");
    ASSERT_EQ(bus->call(add).type(), QDBusMessage::ReplyMessage);
    const Reveal r = ShowItem(*bus, logDir.filePath("song.mp3"));
    EXPECT_TRUE(r.sent);
    EXPECT_LT(r.sendMs, 500);
    EXPECT_TRUE(r.accepted);
    EXPECT_GE(r.answerMs, 1000);
}

// No file manager on the bus and nothing that opens the folder either: the
// user is told the song's folder to open by hand, instead of a line on the
// terminal. When the folder opens, nothing is said.
TEST_F(FileManagerMock, WithoutAFileManagerTheUserIsToldTheFolder)
{
    const QString song = logDir.filePath("My Song.mp3");
    QStringList told;
    SetDesktopNotice([&](QWidget*, const QString& text) { told << text; });
    for (const bool opens : {false, true}) {
        SCOPED_TRACE(opens ? "the folder opens" : "nothing opens the folder");
        told.clear();
        QList<QUrl> asked;
        SetDesktopOpener([&](const QUrl& url) {
            asked << url;
            return opens;
        });
        ASSERT_TRUE(RevealFile(*bus, song));
        QElapsedTimer t;
        t.start();
        while (asked.isEmpty() && t.elapsed() < 15000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_EQ(asked.size(), 1);
        EXPECT_EQ(asked.first().toLocalFile(), QFileInfo(song).absolutePath());
        if (opens) {
            EXPECT_TRUE(told.isEmpty());
        } else {
            ASSERT_EQ(told.size(), 1);
            EXPECT_TRUE(told.first().contains(QFileInfo(song).absolutePath())) << told.first().toStdString();
        }
    }
    SetDesktopOpener(nullptr);
    SetDesktopNotice(nullptr);
}
