#pragma once

// A private D-Bus session daemon and a python-dbusmock service on it, so a test
// reaches a mock logind or file manager and never the user's real ones.
// Skips when dbus-daemon or python3-dbusmock is missing.
//
// Header only: the tests that use it are separate programs and include it by
// relative path (this folder has no CMakeLists.txt).

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

class PrivateBusMock : public ::testing::Test {
protected:
    // connectionName: the name Qt keeps the private bus connection under.
    explicit PrivateBusMock(const QString& connectionName) : connectionName(connectionName) {}

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
        bus.reset(new QDBusConnection(QDBusConnection::connectToBus(address, connectionName)));
        ASSERT_TRUE(bus->isConnected());
    }

    void TearDown() override
    {
        bus.reset();
        QDBusConnection::disconnectFromBus(connectionName);
        for (QProcess* p : {&mock, &daemon}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(5000))
                    p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    // Starts dbusmock with mockArgs (a template, or a service name, path and
    // interface) logging every call to LogPath(), and waits until service is
    // on the bus.
    bool StartDBusMock(const QStringList& mockArgs, const QString& service)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Our private bus as the mock's session bus; --session keeps the
        // mock off the real system bus.
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        env.remove("DBUS_SYSTEM_BUS_ADDRESS");
        mock.setProcessEnvironment(env);
        mock.start("/usr/bin/python3",
                   QStringList{"-m", "dbusmock", "--session", "--logfile", LogPath()} + mockArgs);
        if (!mock.waitForStarted(10000))
            return false;
        for (int i = 0; i < 300; ++i) {
            if (bus->interface()->isServiceRegistered(service))
                return true;
            QThread::msleep(100);
        }
        return false;
    }

    QString LogPath() const { return logDir.filePath("calls.log"); }

    const QString connectionName;
    QProcess daemon;
    QProcess mock;
    QString address;
    QTemporaryDir logDir;
    std::unique_ptr<QDBusConnection> bus;
};
