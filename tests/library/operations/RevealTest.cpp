#include "LibrarySeams.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

// "Show in Folder" asks the desktop's file manager on the session bus; here a
// mock file manager on a private bus, never the user's one.
class FileManagerMock : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        QProcess probe;
        probe.start("/usr/bin/python3", {"-c", "import dbusmock"});
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            GTEST_SKIP() << "python3-dbusmock is not installed";
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(daemon.waitForStarted(10000));
        while (!daemon.canReadLine() && daemon.waitForReadyRead(10000)) {
        }
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        ASSERT_FALSE(address.isEmpty());
        bus.reset(new QDBusConnection(QDBusConnection::connectToBus(address, "file-manager-mock")));
        ASSERT_TRUE(bus->isConnected());
    }
    void TearDown() override
    {
        bus.reset();
        QDBusConnection::disconnectFromBus("file-manager-mock");
        for (QProcess* p : {&mock, &daemon}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(5000))
                    p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    // A file manager that answers ShowItems and logs every call.
    bool StartMock()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        env.remove("DBUS_SYSTEM_BUS_ADDRESS");
        mock.setProcessEnvironment(env);
        mock.start("/usr/bin/python3", {"-m", "dbusmock", "--session", "--logfile", logDir.filePath("calls.log"),
                                        "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                        "org.freedesktop.FileManager1"});
        if (!mock.waitForStarted(10000))
            return false;
        bool up = false;
        for (int i = 0; i < 300 && !up; ++i) {
            up = bus->interface()->isServiceRegistered("org.freedesktop.FileManager1");
            if (!up)
                QThread::msleep(100);
        }
        if (!up)
            return false;
        QDBusMessage add = QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                          "org.freedesktop.DBus.Mock", "AddMethod");
        add << QString() << QString("ShowItems") << QString("ass") << QString() << QString();
        return bus->call(add).type() == QDBusMessage::ReplyMessage;
    }

    QProcess daemon;
    QProcess mock;
    QString address;
    QTemporaryDir logDir;
    std::unique_ptr<QDBusConnection> bus;
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
