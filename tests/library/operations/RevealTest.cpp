#include "LibrarySeams.h"

#include "../../common/PrivateBusMock.h"

#include <QDBusMessage>
#include <QFile>

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

TEST_F(FileManagerMock, ShowItemsReachesTheFileManager)
{
    const QString song = logDir.filePath("My Song.mp3");
    EXPECT_FALSE(FileManagerShowItem(*bus, song)) << "no file manager on the bus yet";
    ASSERT_TRUE(StartMock());
    EXPECT_TRUE(FileManagerShowItem(*bus, song));
    EXPECT_FALSE(FileManagerShowItem(*bus, QString()));

    QFile log(logDir.filePath("calls.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray calls = log.readAll();
    EXPECT_TRUE(calls.contains("ShowItems")) << calls.constData();
    EXPECT_TRUE(calls.contains("My%20Song.mp3")) << calls.constData();
}
