// The bug report end to end: the dialog packs the log folder with 7z and
// mails it through a real server (aiosmtpd over TLS), the mail thread on its
// own, packing faults, and closing or destroying the dialog mid-send.
#include "../../common/EventWait.h"
#include "AiosmtpdServer.h"
#include "BugreportThread.h"
#include "CAppSettings.h"
#include "CBugReport.h"
#include "CDefTextEdit.h"
#include "MailServerInfo.h"
#include "ScriptedSmtpPeer.h"
#include "WorkerThread.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {
bool WaitFor(const std::function<bool()>& condition, int ms = 20000)
{
    return WaitForEvents(condition, ms);
}

void WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

QString SevenZipListing(const QString& archive)
{
    QProcess sevenZip;
    sevenZip.start(QStringLiteral("7z"), {QStringLiteral("l"), archive});
    sevenZip.waitForFinished(30000);
    return QString::fromUtf8(sevenZip.readAllStandardOutput());
}

MailServerInfo ServerAt(int port, bool ssl)
{
    MailServerInfo info;
    info.host = QStringLiteral("127.0.0.1");
    info.port = port;
    info.ssl = ssl;
    info.account = QString::fromLatin1(AiosmtpdServer::kUser);
    info.password = QString::fromLatin1(AiosmtpdServer::kPassword);
    info.recipient = QStringLiteral("support@example.org");
    info.caFile = AiosmtpdServer::CertificateFile();
    return info;
}

class BugReportMailTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CAppSettings::GetInstance()->SetUserMail(QString());
        m_previous = CBugReport::SetMessageHandler(
            [this](QWidget*, const QString& text, int, const QString&) { m_shown << text; });
        // The log folder: the program's data folder with a log below it.
        m_logFolder = CAppSettings::GetInstance()->GetLogPath();
        WriteFile(m_logFolder + QStringLiteral("/Sonacap_2024_01_02.log"), "program log line\n");
        WriteFile(m_logFolder + QStringLiteral("/recorder/log/Sonacap.log"), QByteArray(5000, 'e'));
        m_archive = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
            + QStringLiteral("/Tavrel/Sonacap/BugReport.dmp");
    }
    void TearDown() override
    {
        CBugReport::SetMessageHandler(m_previous);
        MailServerInfo::ResetSupport();
        WorkerThread::SetProgram(QString());
        WorkerThread::SetTimeoutMs(0);
        CAppSettings::GetInstance()->SetUserMail(QString());
    }

    static void Fill(CBugReport& report, const QString& name, const QString& mail, const QString& description)
    {
        report.NameEdit()->setPlainText(name);
        report.MailEdit()->setPlainText(mail);
        report.DescriptionEdit()->setPlainText(description);
    }

    // A stand-in for 7z: a shell script with this body.
    QString FakePacker(const QByteArray& body)
    {
        const QString path = m_scripts.path() + QStringLiteral("/7z-%1").arg(++m_scriptCount);
        WriteFile(path, "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    CBugReport::MessageHandler m_previous;
    QStringList m_shown;
    QString m_logFolder;
    QString m_archive;
    QTemporaryDir m_scripts;
    int m_scriptCount = 0;
};
} // namespace

TEST_F(BugReportMailTest, ReportArrivesWithThePackedLogsWhileTheBarMoves)
{
    AiosmtpdServer server(AiosmtpdServer::Tls);
    ASSERT_NE(server.Port(), 0);
    MailServerInfo::SetSupport(ServerAt(server.Port(), true));

    CBugReport report(nullptr);
    report.show();
    QList<int> bar;
    QObject::connect(report.ProgressBar(), &QProgressBar::valueChanged, [&](int value) { bar << value; });
    const QString description = QStringLiteral("It stopped recording.\n.\nThe line above is a lone dot.\n")
        + QString(1500, QLatin1Char('x'));
    Fill(report, QStringLiteral("Ann"), QStringLiteral("ann@example.org"), description);
    report.ReportButton()->click();

    // Busy from the packing on: nothing can start a second mail.
    EXPECT_TRUE(report.IsBusy());
    EXPECT_FALSE(report.ReportButton()->isEnabled());
    EXPECT_FALSE(report.NameEdit()->isEnabled());
    EXPECT_FALSE(report.MailEdit()->isEnabled());
    EXPECT_FALSE(report.DescriptionEdit()->isEnabled());
    EXPECT_TRUE(report.ProgressBar()->isVisible());

    ASSERT_TRUE(WaitFor([&] { return !m_shown.isEmpty(); }, 60000));
    EXPECT_EQ(m_shown, QStringList{QStringLiteral("Send bug report mail success!")});
    EXPECT_FALSE(report.IsBusy());
    EXPECT_TRUE(report.ReportButton()->isEnabled());
    EXPECT_TRUE(report.DescriptionEdit()->isEnabled());
    EXPECT_FALSE(report.isVisible());
    EXPECT_EQ(CAppSettings::GetInstance()->GetUserMail(), QStringLiteral("ann@example.org"));
    ASSERT_GE(bar.size(), 3);
    EXPECT_GT(bar.last(), 50);

    const QJsonObject mail = server.WaitForMail(1);
    ASSERT_FALSE(mail.isEmpty());
    EXPECT_TRUE(mail["tls"].toBool());
    EXPECT_EQ(mail["subject"].toString(), QStringLiteral("Ann - ann@example.org -> Sonacap( LINUX )"));
    EXPECT_EQ(mail["from"].toString(), QStringLiteral("bug <bugs@example.org>"));
    EXPECT_EQ(mail["to"].toString(), QStringLiteral("support <support@example.org>"));
    EXPECT_EQ(mail["content_type"].toString(), QStringLiteral("multipart/related"));
    QString text = mail["texts"].toArray().first().toString();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    EXPECT_EQ(text.trimmed(), description);
    ASSERT_EQ(mail["attachments"].toArray().size(), 1);
    EXPECT_EQ(mail["attachments"].toArray().first().toString(), QStringLiteral("BugReport.dmp"));
    const QString listing = SevenZipListing(server.MailFile(1, QStringLiteral("-BugReport.dmp")));
    EXPECT_TRUE(listing.contains(QStringLiteral("Sonacap_2024_01_02.log"))) << listing.toStdString();
    EXPECT_TRUE(listing.contains(QStringLiteral("recorder/log/Sonacap.log"))) << listing.toStdString();
    EXPECT_EQ(server.MailCount(), 1);
}

TEST_F(BugReportMailTest, NameAndMailFieldsCannotAddHeaderLines)
{
    AiosmtpdServer server(AiosmtpdServer::Plain);
    ASSERT_NE(server.Port(), 0);
    BugreportJob job;
    job.userName = QStringLiteral("Ann\r\nBcc: thief@example.org");
    job.userMail = QStringLiteral("ann@example.org\nX-Injected: 1\n\nbody?");
    job.body = QStringLiteral("text");
    job.productName = QStringLiteral("Sonacap");
    job.recipient = QStringLiteral("support@example.org");
    EXPECT_EQ(BugreportThread::Subject(job),
              QStringLiteral("Ann  Bcc: thief@example.org - ann@example.org X-Injected: 1  body? -> Sonacap( LINUX )"));
    job.userName = QString(500, QLatin1Char('n'));
    EXPECT_EQ(BugreportThread::Subject(job).size(),
              BugreportThread::kSubjectFieldLength + QStringLiteral(" - ann@example.org X-Injected: 1  body? -> Sonacap( LINUX )").size());
    job.userName = QStringLiteral("Ann\r\nBcc: thief@example.org");

    BugreportThread thread(job, ServerAt(server.Port(), false));
    bool answered = false;
    bool ok = false;
    QObject::connect(&thread, &BugreportThread::updateResultUI, [&](bool result, QString, void*) {
        answered = true;
        ok = result;
    });
    thread.start();
    // isFinished() turns true before finished() is posted, so the result is waited for itself.
    ASSERT_TRUE(WaitFor([&] { return answered; }));
    EXPECT_TRUE(ok);
    EXPECT_EQ(thread.LastResponseCode(), 250);
    const QJsonObject mail = server.WaitForMail(1);
    ASSERT_FALSE(mail.isEmpty());
    EXPECT_EQ(mail["rcpt_tos"].toArray().size(), 1);
    QStringList names;
    for (const QJsonValue& name : mail["header_names"].toArray())
        names << name.toString();
    EXPECT_EQ(names, (QStringList{"From", "To", "Subject", "MIME-Version", "Content-Type", "Content-Transfer-Encoding"}));
    EXPECT_EQ(mail["attachments"].toArray().size(), 0);   // no archive named
}

TEST_F(BugReportMailTest, ABadPackingIsNeverMailedAsComplete)
{
    struct Case {
        const char* what;
        QByteArray script;   // empty: a program that does not exist
        bool attached;
    };
    const Case cases[] = {
        {"7z outruns its time", "printf partial > \"$3\"\nexec sleep 60", false},
        {"7z fails", "printf garbage > \"$3\"\nexit 2", false},
        {"7z cannot be started", "", false},
        {"7z warns about a file it could not read", "7z \"$@\" > /dev/null\nexit 1", true},
    };
    AiosmtpdServer server(AiosmtpdServer::Plain);
    ASSERT_NE(server.Port(), 0);
    MailServerInfo::SetSupport(ServerAt(server.Port(), false));
    WorkerThread::SetTimeoutMs(700);
    int mails = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorkerThread::SetProgram(c.script.isEmpty() ? m_scripts.path() + QStringLiteral("/missing-7z")
                                                    : FakePacker(c.script));
        m_shown.clear();
        CBugReport report(nullptr);
        Fill(report, QStringLiteral("Bo"), QStringLiteral("bo@example.org"), QStringLiteral("packing"));
        report.ReportButton()->click();
        ASSERT_TRUE(WaitFor([&] { return !m_shown.isEmpty(); }));
        EXPECT_EQ(m_shown.first(), QStringLiteral("Send bug report mail success!"));
        const QJsonObject mail = server.WaitForMail(++mails);
        ASSERT_FALSE(mail.isEmpty());
        EXPECT_EQ(mail["attachments"].toArray().size(), c.attached ? 1 : 0);
        EXPECT_EQ(QFile::exists(m_archive), c.attached);
        if (c.attached) {
            EXPECT_TRUE(SevenZipListing(server.MailFile(mails, QStringLiteral("-BugReport.dmp")))
                            .contains(QStringLiteral("Sonacap_2024_01_02.log")));
        }
    }
}

TEST_F(BugReportMailTest, WithoutAMailServerTheReportFailsAtOnce)
{
    MailServerInfo::SetSupport(MailServerInfo{QString(), 465, true, QString(), QString(), QString(), QString()});
    QFile::remove(m_archive);
    CBugReport report(nullptr);
    report.show();
    Fill(report, QStringLiteral("Ann"), QStringLiteral("ann@example.org"), QStringLiteral("x"));
    report.ReportButton()->click();
    // Synchronously: no packing, no connection.
    EXPECT_EQ(m_shown, QStringList{QStringLiteral("Send bug report mail failed!")});
    EXPECT_FALSE(report.IsBusy());
    EXPECT_FALSE(report.isVisible());
    EXPECT_FALSE(QFile::exists(m_archive));
}

TEST_F(BugReportMailTest, ClosingOrDestroyingTheDialogMidSendStopsTheThread)
{
    for (const bool destroy : {false, true}) {
        SCOPED_TRACE(destroy ? "destroyed" : "closed");
        auto script = ScriptedSmtpPeer::HappyScript();
        script[3].reply = "";   // MAIL FROM hangs: the mail is under way
        ScriptedSmtpPeer peer(script);
        MailServerInfo::SetSupport(ServerAt(peer.Port(), false));
        m_shown.clear();
        auto report = std::make_unique<CBugReport>(nullptr);
        report->show();
        Fill(*report, QStringLiteral("Cy"), QStringLiteral("cy@example.org"), QStringLiteral("stalls"));
        report->ReportButton()->click();
        ASSERT_TRUE(WaitFor([&] { return peer.Count("MAIL FROM*") == 1; }));
        EXPECT_TRUE(report->IsBusy());
        report->ReportButton()->click();   // disabled: no second mail

        QElapsedTimer timer;
        timer.start();
        if (destroy) {
            report.reset();
        } else {
            report->CancelButton()->click();
            EXPECT_FALSE(report->isVisible());
            EXPECT_FALSE(report->IsBusy());
            EXPECT_TRUE(report->ReportButton()->isEnabled());
        }
        // Stopped, not waited out (33 s of reply time-outs).
        EXPECT_LT(timer.elapsed(), 15000);
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(peer.Count("DATA"), 0);
        EXPECT_EQ(peer.Count("EHLO*"), 1);
    }
}

TEST_F(BugReportMailTest, ClosingWhilePackingStopsSevenZip)
{
    MailServerInfo::SetSupport(ServerAt(1, false));
    const QString pidFile = m_scripts.path() + QStringLiteral("/packer.pid");
    WorkerThread::SetProgram(FakePacker("echo $$ > '" + pidFile.toUtf8() + "'\nprintf partial > \"$3\"\nexec sleep 60"));
    CBugReport report(nullptr);
    report.show();
    Fill(report, QStringLiteral("Di"), QStringLiteral("di@example.org"), QStringLiteral("packing"));
    report.ReportButton()->click();
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(m_archive) && QFileInfo(pidFile).size() > 0; }));
    report.close();
    EXPECT_FALSE(report.IsBusy());
    EXPECT_FALSE(QFile::exists(m_archive));
    QFile pid(pidFile);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    const QString proc = QStringLiteral("/proc/") + QString::fromLatin1(pid.readAll().trimmed());
    EXPECT_TRUE(WaitFor([&] { return !QFile::exists(proc); }, 5000)) << "7z still runs";
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(m_shown.isEmpty());
}
