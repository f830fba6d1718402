// The bug report end to end: the dialog packs the log folder with 7z and
// mails it through a real server (aiosmtpd over TLS), the mail thread on its
// own, packing faults, and closing or destroying the dialog mid-send.
#include "../../common/EventWait.h"
#include "../../common/LoopbackSocket.h"
#include "AiosmtpdServer.h"
#include "BugreportThread.h"
#include "CAppSettings.h"
#include "CBugReport.h"
#include "CDefTextEdit.h"
#include "LocalMailServer.h"
#include "MailServerInfo.h"
#include "ProgramLog.h"
#include "RetiredThreads.h"
#include "ScriptedSmtpPeer.h"
#include "SilentListener.h"
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
    MailServerInfo::SetSupport(LocalMailServer(server.Port(), true));

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

    BugreportThread thread(job, LocalMailServer(server.Port(), false));
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
    MailServerInfo::SetSupport(LocalMailServer(server.Port(), false));
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

TEST_F(BugReportMailTest, CancelCloseOrQuitInEveryPhaseEndsTheMailWithinASecond)
{
    using Step = ScriptedSmtpPeer::Step;
    struct Phase {
        const char* what;
        bool ssl;
        bool bigArchive;
        // Empty: a server that never accepts the connection.
        std::function<std::vector<Step>()> script;
        // True once the mail thread waits in this phase (looked at while the
        // GUI thread runs), or is about to.
        std::function<bool(ScriptedSmtpPeer*)> reached;
        int settleMs;   // waited after that
    };
    auto silentAt = [](size_t step) {
        return [step] {
            auto script = ScriptedSmtpPeer::HappyScript();
            script[step].reply = "";
            return script;
        };
    };
    auto line = [](const char* expect) {
        return [expect](ScriptedSmtpPeer* peer) { return peer->WaitForLine(expect, 0); };
    };
    const QString packed = m_scripts.path() + QStringLiteral("/packed");
    const Phase phases[] = {
        // The mail thread starts as soon as the packer is done; 300 ms later
        // it is well within the 5 s its connection may take.
        {"connect", false, false, nullptr, [&](ScriptedSmtpPeer*) { return QFile::exists(packed); }, 300},
        {"greeting", false, false, silentAt(0), [](ScriptedSmtpPeer* peer) { return peer->WaitForConnection(0); }, 0},
        {"TLS handshake", true, false, [] { return std::vector<Step>{{"", ""}}; },
         [](ScriptedSmtpPeer* peer) { return peer->WaitForBytes(1, 0); }, 0},
        {"AUTH", false, false, silentAt(2), line("AUTH PLAIN*"), 0},
        {"MAIL FROM", false, false, silentAt(3), line("MAIL FROM*"), 0},
        {"DATA", false, false, silentAt(5), line("DATA"), 0},
        {"sending the text to a server that stopped reading", false, true,
         [] {
             auto script = ScriptedSmtpPeer::HappyScript();
             script[5] = {"DATA", "354 go on\r\n", 0, true};
             return script;
         },
         line("DATA"), 300},
        {"after the final \".\"", false, false, silentAt(6), line("."), 0},
        {"after the final \".\", answered a byte at a time", false, false,
         [] {
             auto script = ScriptedSmtpPeer::HappyScript();
             script[6] = {".", "250" + std::string(100000, '-'), 20};
             return script;
         },
         line("."), 100},
    };
    enum Action { Cancel, Close, Quit };
    const std::pair<Action, const char*> actions[] = {{Cancel, "Cancel"}, {Close, "close"}, {Quit, "quit"}};

    const QString small = m_scripts.path() + QStringLiteral("/small.7z");
    const QString big = m_scripts.path() + QStringLiteral("/big.7z");
    WriteFile(small, QByteArray(1000, 's'));
    WriteFile(big, QByteArray(24 * 1024 * 1024, 'b'));
    const QString copySmall = FakePacker("cp '" + small.toUtf8() + "' \"$3\" && touch '" + packed.toUtf8() + "'");
    const QString copyBig = FakePacker("cp '" + big.toUtf8() + "' \"$3\" && touch '" + packed.toUtf8() + "'");

    for (const Phase& phase : phases) {
        for (const auto& action : actions) {
            SCOPED_TRACE(std::string(phase.what) + " / " + action.second);
            ASSERT_EQ(RetiredThreads::Count(), 0);
            std::unique_ptr<SilentListener> silent;
            std::unique_ptr<ScriptedSmtpPeer> peer;
            if (phase.script)
                peer = std::make_unique<ScriptedSmtpPeer>(phase.script());
            else
                silent = std::make_unique<SilentListener>();
            MailServerInfo::SetSupport(LocalMailServer(peer ? peer->Port() : silent->Port(), phase.ssl));
            WorkerThread::SetProgram(phase.bigArchive ? copyBig : copySmall);
            m_shown.clear();
            QFile::remove(packed);

            auto report = std::make_unique<CBugReport>(nullptr);
            report->show();
            Fill(*report, QStringLiteral("Cy"), QStringLiteral("cy@example.org"), QStringLiteral("stalls"));
            report->ReportButton()->click();
            ASSERT_TRUE(WaitFor([&] { return phase.reached(peer.get()); }));
            QElapsedTimer settle;
            settle.start();
            WaitFor([&] { return settle.elapsed() >= phase.settleMs; });
            ASSERT_TRUE(report->IsBusy());

            QElapsedTimer timer;
            timer.start();
            switch (action.first) {
            case Cancel:
                report->CancelButton()->click();
                break;
            case Close:
                report->close();
                break;
            case Quit:
                // What the main window does on quitting: close the dialog,
                // later delete it.
                report->close();
                report.reset();
                break;
            }
            EXPECT_LT(timer.elapsed(), 1000) << "the window was held";
            if (report) {
                EXPECT_FALSE(report->isVisible());
                EXPECT_FALSE(report->IsBusy());
                EXPECT_TRUE(report->ReportButton()->isEnabled());
            }
            EXPECT_TRUE(WaitFor([] { return RetiredThreads::Count() == 0; }, 1000)) << "the mail thread still runs";
            EXPECT_LT(timer.elapsed(), 1000);
            if (peer) {
                EXPECT_TRUE(peer->WaitForClose(2000)) << "the connection stays open";
            }
            for (int i = 0; i < 10; ++i)
                QCoreApplication::processEvents();
            EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(QLatin1Char('|')).toStdString();
        }
    }
}

TEST_F(BugReportMailTest, ClosingWhilePackingStopsSevenZip)
{
    MailServerInfo::SetSupport(LocalMailServer(1, false));
    const QString pidFile = m_scripts.path() + QStringLiteral("/packer.pid");
    WorkerThread::SetProgram(FakePacker("echo $$ > '" + pidFile.toUtf8() + "'\nprintf partial > \"$3\"\nexec sleep 60"));
    CBugReport report(nullptr);
    report.show();
    Fill(report, QStringLiteral("Di"), QStringLiteral("di@example.org"), QStringLiteral("packing"));
    report.ReportButton()->click();
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(m_archive) && QFileInfo(pidFile).size() > 0; }));
    QElapsedTimer timer;
    timer.start();
    report.close();
    EXPECT_LT(timer.elapsed(), 1000) << "the window was held";
    EXPECT_FALSE(report.IsBusy());
    // The packer is let go of and ends by itself, its half archive with it.
    EXPECT_TRUE(WaitFor([] { return RetiredThreads::Count() == 0; }, 1000));
    EXPECT_FALSE(QFile::exists(m_archive));
    QFile pid(pidFile);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    const QString proc = QStringLiteral("/proc/") + QString::fromLatin1(pid.readAll().trimmed());
    EXPECT_TRUE(WaitFor([&] { return !QFile::exists(proc); }, 5000)) << "7z still runs";
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(m_shown.isEmpty());
}

TEST_F(BugReportMailTest, OnlyTheEndOfALargeEngineLogIsPacked)
{
    struct Case {
        const char* what;
        qint64 lines;   // of 100 bytes each
        bool whole;
    };
    const qint64 tailLines = WorkerThread::kEngineLogTail / 100;
    const Case cases[] = {
        {"small log: packed whole", 50, true},
        {"log larger than the tail: its end from a line start", tailLines + 3000, false},
    };
    QTemporaryDir out;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray log;
        log.reserve(int(c.lines * 100));
        for (qint64 i = 0; i < c.lines; ++i)
            log += QByteArray::number(i).rightJustified(12, '0') + ' ' + QByteArray(86, 'e') + '\n';
        WriteFile(m_logFolder + QLatin1Char('/') + QLatin1String(WorkerThread::kEngineLog), log);

        const QString archive = out.path() + QStringLiteral("/%1.7z").arg(c.lines);
        WorkerThread packer(archive, m_logFolder);
        QString result;
        QObject::connect(&packer, &WorkerThread::resultReady, [&](const QString& path) { result = path; });
        packer.start();
        ASSERT_TRUE(packer.wait(60000));
        ASSERT_EQ(result, archive);

        const QString listing = SevenZipListing(archive);
        EXPECT_EQ(listing.count(QStringLiteral("Sonacap.log")), 1) << listing.toStdString();
        EXPECT_TRUE(listing.contains(QStringLiteral("Sonacap_2024_01_02.log"))) << listing.toStdString();
        QProcess extract;
        extract.start(QStringLiteral("7z"), {QStringLiteral("e"), QStringLiteral("-so"), archive,
                                             QLatin1String(WorkerThread::kEngineLog)});
        ASSERT_TRUE(extract.waitForFinished(60000));
        const QByteArray packed = extract.readAllStandardOutput();
        if (c.whole) {
            EXPECT_EQ(packed, log);
        } else {
            EXPECT_LE(packed.size(), WorkerThread::kEngineLogTail);
            EXPECT_GT(packed.size(), WorkerThread::kEngineLogTail - 100);
            EXPECT_TRUE(log.endsWith(packed));
            EXPECT_EQ(log.at(log.size() - packed.size() - 1), '\n');
        }
    }
}

TEST_F(BugReportMailTest, TheUserSeesOneFailureTheProgramLogItsCause)
{
    struct Case {
        const char* what;
        bool wrongPassword;   // else nothing listens
        const char* cause;
    };
    const Case cases[] = {
        {"refused login", true, "bug report mail not sent: login refused: 535"},
        {"refused connection", false, "bug report mail not sent: connection refused"},
    };
    AiosmtpdServer server(AiosmtpdServer::Plain);
    ASSERT_NE(server.Port(), 0);
    int refusedPort = 0;
    close(BindLoopback(&refusedPort, 0));
    WorkerThread::SetProgram(m_scripts.path() + QStringLiteral("/missing-7z"));   // no archive, at once
    QTemporaryDir logs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MailServerInfo info = LocalMailServer(c.wrongPassword ? server.Port() : refusedPort, false);
        if (c.wrongPassword)
            info.password = QStringLiteral("wrong");
        MailServerInfo::SetSupport(info);
        m_shown.clear();
        const QString folder = logs.path() + QLatin1Char('/') + QLatin1String(c.wrongPassword ? "a" : "b");
        StartProgramLog(folder);
        {
            CBugReport report(nullptr);
            Fill(report, QStringLiteral("Eve"), QStringLiteral("eve@example.org"), QStringLiteral("no mail"));
            report.ReportButton()->click();
            EXPECT_TRUE(WaitFor([&] { return !m_shown.isEmpty(); }));
        }
        StopProgramLog();
        EXPECT_EQ(m_shown, QStringList{QStringLiteral("Send bug report mail failed!")});
        const QStringList files = QDir(folder).entryList({QStringLiteral("*.log")}, QDir::Files);
        ASSERT_EQ(files.size(), 1);
        QFile log(folder + QLatin1Char('/') + files.first());
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        EXPECT_TRUE(text.contains(QLatin1String(c.cause))) << text.toStdString();
    }
}
