// The bug report end to end: the dialog packs the log folder with 7z and
// mails it through a real server (aiosmtpd over TLS), the mail thread on its
// own, packing faults, closing or destroying the dialog mid-send or while a
// message of it is open, text in any language to servers with and without
// 8-bit mail, two reports at once, and what is left on disk afterwards:
// nothing, also after a run that was killed.
#include "../../common/EventWait.h"
#include "../../common/LocalHttpServer.h"
#include "../../common/LoopbackSocket.h"
#include "AiosmtpdServer.h"
#include "BugreportThread.h"
#include "CAppSettings.h"
#include "CBugReport.h"
#include "CDefTextEdit.h"
#include "CDeleteDialog.h"
#include "LocalMailServer.h"
#include "MailServerInfo.h"
#include "PostReporter.h"
#include "ProgramLog.h"
#include "ReportArchive.h"
#include "RetiredThreads.h"
#include "ScriptedSmtpPeer.h"
#include "SilentListener.h"
#include "WorkerThread.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QMutex>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
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

// The usual test mail's job: this name and e-mail, a short text.
BugreportJob MailJob(const QString& name, const QString& mail)
{
    BugreportJob job;
    job.userName = name;
    job.userMail = mail;
    job.body = QStringLiteral("text");
    job.productName = QStringLiteral("Sonacap");
    job.recipient = QStringLiteral("support@example.org");
    return job;
}

// Starts the mail thread and waits for its answer: true when it says sent.
bool SendAndWait(BugreportThread& thread)
{
    bool answered = false;
    bool ok = false;
    QObject::connect(&thread, &BugreportThread::updateResultUI, [&](bool result, QString, void*) {
        answered = true;
        ok = result;
    });
    thread.start();
    // isFinished() turns true before finished() is posted, so the answer is waited for itself.
    return WaitFor([&] { return answered; }) && ok;
}

// Holds the flock on `lockFile` from another process, as another
// instance's running report would, until `holder` is killed: the shell's
// descriptor, locked by flock(1), stays open in the sleep it becomes.
void HoldLock(QProcess& holder, const QString& lockFile)
{
    const QString hold = QStringLiteral("exec 9<>\"$0\" && flock -n 9 && echo held && exec sleep 60");
    holder.start(QStringLiteral("sh"), {QStringLiteral("-c"), hold, lockFile});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_EQ(holder.readAll().trimmed(), QByteArray("held"));
}

// The text of the one program log in `folder`.
QString ProgramLogText(const QString& folder)
{
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.log")}, QDir::Files);
    EXPECT_EQ(files.size(), 1) << folder.toStdString();
    QFile log(folder + QLatin1Char('/') + files.value(0));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
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
        m_reportFolder =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Tavrel/Sonacap");
        m_archives = m_scripts.path() + QStringLiteral("/archives");
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

    // A stand-in for 7z: a shell script with this body. Every archive path it
    // is given is noted first (ArchivesMade).
    QString FakePacker(const QByteArray& body)
    {
        const QString path = m_scripts.path() + QStringLiteral("/7z-%1").arg(++m_scriptCount);
        WriteFile(path, "#!/bin/sh\necho \"$3\" >> '" + m_archives.toUtf8() + "'\n" + body + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    // The archive paths the packers were given, each once, in order.
    QStringList ArchivesMade() const
    {
        QFile file(m_archives);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList paths = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        paths.removeDuplicates();
        return paths;
    }

    // What reports left in the report folder: archives, their folders, 7z's
    // half-written copies.
    QStringList Leftovers() const
    {
        return QDir(m_reportFolder).entryList({QStringLiteral("BugReport*")}, QDir::AllEntries | QDir::Hidden);
    }

    // True once no archive a packer was given, nor its folder, is left.
    bool ArchivesGone(int ms = 5000) const
    {
        return WaitFor(
            [&] {
                for (const QString& archive : ArchivesMade()) {
                    if (QFileInfo::exists(archive) || QFileInfo::exists(QFileInfo(archive).path()))
                        return false;
                }
                return Leftovers().isEmpty();
            },
            ms);
    }

    CBugReport::MessageHandler m_previous;
    QStringList m_shown;
    QString m_logFolder;
    QString m_reportFolder;
    QString m_archives;   // the file FakePacker notes archive paths in
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
    BugreportJob job =
        MailJob(QStringLiteral("Ann\r\nBcc: thief@example.org"), QStringLiteral("ann@example.org\nX-Injected: 1\n\nbody?"));
    EXPECT_EQ(BugreportThread::Subject(job),
              QStringLiteral("Ann  Bcc: thief@example.org - ann@example.org X-Injected: 1  body? -> Sonacap( LINUX )"));
    job.userName = QString(500, QLatin1Char('n'));
    EXPECT_EQ(BugreportThread::Subject(job).size(),
              BugreportThread::kSubjectFieldLength + QStringLiteral(" - ann@example.org X-Injected: 1  body? -> Sonacap( LINUX )").size());
    job.userName = QStringLiteral("Ann\r\nBcc: thief@example.org");

    BugreportThread thread(job, LocalMailServer(server.Port(), false));
    EXPECT_TRUE(SendAndWait(thread));
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

TEST_F(BugReportMailTest, ABadPackingIsNeverMailedAsCompleteAndTheUserIsToldTheDataIsMissing)
{
    struct Case {
        const char* what;
        QByteArray script;   // empty: a program that does not exist
        bool attached;
    };
    const Case cases[] = {
        // Killed at the time limit while it added to the archive: the archive
        // and the copy 7z was writing beside it are both half made.
        {"7z outruns its time", "printf partial > \"$3\"\nprintf half > \"$3.tmp\"\nexec sleep 60", false},
        // The engine log's end and the folder are two 7z runs, each well
        // within the limit, together not: the limit is the whole packing's.
        {"7z's two runs outrun the time together", "sleep 1.2\nexec 7z \"$@\"", false},
        {"7z fails", "printf garbage > \"$3\"\nexit 2", false},
        {"7z cannot be started", "", false},
        {"7z warns about a file it could not read", "7z \"$@\" > /dev/null\nexit 1", true},
    };
    AiosmtpdServer server(AiosmtpdServer::Plain);
    ASSERT_NE(server.Port(), 0);
    MailServerInfo::SetSupport(LocalMailServer(server.Port(), false));
    WorkerThread::SetTimeoutMs(2000);
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
        EXPECT_EQ(m_shown, QStringList{c.attached ? QStringLiteral("Send bug report mail success!")
                                                  : QStringLiteral("The bug report mail was sent without the attached "
                                                                   "data: they could not be packed.")});
        const QJsonObject mail = server.WaitForMail(++mails);
        ASSERT_FALSE(mail.isEmpty());
        EXPECT_EQ(mail["texts"].toArray().first().toString().trimmed(), QStringLiteral("packing"));
        EXPECT_EQ(mail["attachments"].toArray().size(), c.attached ? 1 : 0);
        if (c.attached) {
            EXPECT_TRUE(SevenZipListing(server.MailFile(mails, QStringLiteral("-BugReport.dmp")))
                            .contains(QStringLiteral("Sonacap_2024_01_02.log")));
        }
        EXPECT_TRUE(ArchivesGone()) << Leftovers().join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(BugReportMailTest, WithoutAMailServerTheReportFailsAtOnce)
{
    MailServerInfo::SetSupport(MailServerInfo{QString(), 465, true, QString(), QString(), QString(), QString()});
    CBugReport report(nullptr);
    report.show();
    Fill(report, QStringLiteral("Ann"), QStringLiteral("ann@example.org"), QStringLiteral("x"));
    report.ReportButton()->click();
    // Synchronously: no packing, no connection.
    EXPECT_EQ(m_shown, QStringList{QStringLiteral("Send bug report mail failed!")});
    EXPECT_FALSE(report.IsBusy());
    EXPECT_FALSE(report.isVisible());
    EXPECT_TRUE(Leftovers().isEmpty());
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
            // The mail thread took the archive along and removed it as it ended.
            EXPECT_TRUE(ArchivesGone(1000)) << Leftovers().join(QLatin1Char(' ')).toStdString();
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
    ASSERT_TRUE(WaitFor([&] {
        return ArchivesMade().size() == 1 && QFile::exists(ArchivesMade().first()) && QFileInfo(pidFile).size() > 0;
    }));
    QElapsedTimer timer;
    timer.start();
    report.close();
    EXPECT_LT(timer.elapsed(), 1000) << "the window was held";
    EXPECT_FALSE(report.IsBusy());
    // The packer is let go of and ends by itself, its half archive with it.
    EXPECT_TRUE(WaitFor([] { return RetiredThreads::Count() == 0; }, 1000));
    EXPECT_TRUE(ArchivesGone(2000)) << Leftovers().join(QLatin1Char(' ')).toStdString();
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
        const QString text = ProgramLogText(folder);
        EXPECT_TRUE(text.contains(QLatin1String(c.cause))) << text.toStdString();
    }
}

TEST_F(BugReportMailTest, TheArchiveIsRemovedOnceTheMailIsSentOrHasFailed)
{
    struct Case {
        const char* what;
        const char* password;   // null: nothing listens
        const char* shown;
    };
    const Case cases[] = {
        {"sent", AiosmtpdServer::kPassword, "Send bug report mail success!"},
        {"login refused", "wrong", "Send bug report mail failed!"},
        {"connection refused", nullptr, "Send bug report mail failed!"},
    };
    AiosmtpdServer server(AiosmtpdServer::Tls);
    ASSERT_NE(server.Port(), 0);
    int refusedPort = 0;
    close(BindLoopback(&refusedPort, 0));
    // The real 7z; a copy of what it made shows the archive existed.
    const QString seen = m_scripts.path() + QStringLiteral("/seen.7z");
    WorkerThread::SetProgram(FakePacker("7z \"$@\" > /dev/null || exit $?\ncp \"$3\" '" + seen.toUtf8() + "'"));
    int mails = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MailServerInfo info = LocalMailServer(c.password ? server.Port() : refusedPort, true);
        if (c.password)
            info.password = QString::fromLatin1(c.password);
        MailServerInfo::SetSupport(info);
        QFile::remove(m_archives);
        QFile::remove(seen);
        m_shown.clear();
        CBugReport report(nullptr);
        Fill(report, QStringLiteral("Flo"), QStringLiteral("flo@example.org"), QStringLiteral("after"));
        report.ReportButton()->click();
        ASSERT_TRUE(WaitFor([&] { return !m_shown.isEmpty(); }, 60000));
        EXPECT_EQ(m_shown, QStringList{QLatin1String(c.shown)});
        ASSERT_EQ(ArchivesMade().size(), 1);
        EXPECT_TRUE(ArchivesMade().first().startsWith(m_reportFolder + QLatin1Char('/')));
        EXPECT_TRUE(SevenZipListing(seen).contains(QStringLiteral("Sonacap_2024_01_02.log")));
        // Gone when the user reads the outcome, not later.
        EXPECT_FALSE(QFileInfo::exists(ArchivesMade().first()));
        EXPECT_TRUE(ArchivesGone()) << Leftovers().join(QLatin1Char(' ')).toStdString();
        if (QLatin1String(c.what) == QLatin1String("sent")) {
            ASSERT_FALSE(server.WaitForMail(++mails).isEmpty());
            EXPECT_TRUE(SevenZipListing(server.MailFile(mails, QStringLiteral("-BugReport.dmp")))
                            .contains(QStringLiteral("Sonacap_2024_01_02.log")));
        }
    }
    EXPECT_EQ(server.MailCount(), mails);
}

TEST_F(BugReportMailTest, TwoReportsAtOnceEachSendTheirOwnWholeArchive)
{
    AiosmtpdServer server(AiosmtpdServer::Plain);
    ASSERT_NE(server.Port(), 0);
    MailServerInfo::SetSupport(LocalMailServer(server.Port(), false));
    // Enough data that the two 7z runs overlap; the pause before each makes
    // sure of it.
    QByteArray library(6 * 1024 * 1024, '\0');
    for (int i = 0; i < library.size(); ++i)
        library[i] = char((i * 2654435761u) >> 13);
    const QString libraryPath = m_logFolder + QStringLiteral("/music.db");
    WriteFile(libraryPath, library);
    WorkerThread::SetProgram(FakePacker("sleep 0.3\nexec 7z \"$@\""));

    // The menu's window and the microphone notice's, both sending.
    CBugReport menu(nullptr);
    CBugReport notice(nullptr);
    Fill(menu, QStringLiteral("Menu"), QStringLiteral("menu@example.org"), QStringLiteral("from the menu"));
    Fill(notice, QStringLiteral("Notice"), QStringLiteral("notice@example.org"), QStringLiteral("from the notice"));
    menu.ReportButton()->click();
    notice.ReportButton()->click();
    ASSERT_TRUE(WaitFor([&] { return m_shown.size() == 2; }, 60000));
    const QString success = QStringLiteral("Send bug report mail success!");
    EXPECT_EQ(m_shown, (QStringList{success, success}));
    EXPECT_EQ(ArchivesMade().size(), 2);

    QTemporaryDir out;
    QStringList descriptions;
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE(n);
        const QJsonObject mail = server.WaitForMail(n);
        ASSERT_FALSE(mail.isEmpty());
        descriptions << mail["texts"].toArray().first().toString().trimmed();
        ASSERT_EQ(mail["attachments"].toArray().size(), 1);
        QProcess extract;
        extract.start(QStringLiteral("7z"), {QStringLiteral("e"), QStringLiteral("-so"),
                                             server.MailFile(n, QStringLiteral("-BugReport.dmp")),
                                             QStringLiteral("music.db")});
        ASSERT_TRUE(extract.waitForFinished(60000));
        EXPECT_EQ(extract.exitCode(), 0) << extract.readAllStandardError().toStdString();
        EXPECT_TRUE(extract.readAllStandardOutput() == library) << "the archive is not whole";
        EXPECT_TRUE(SevenZipListing(server.MailFile(n, QStringLiteral("-BugReport.dmp")))
                        .contains(QStringLiteral("recorder/log/Sonacap.log")));
    }
    descriptions.sort();
    EXPECT_EQ(descriptions, (QStringList{QStringLiteral("from the menu"), QStringLiteral("from the notice")}));
    EXPECT_TRUE(ArchivesGone()) << Leftovers().join(QLatin1Char(' ')).toStdString();
    QFile::remove(libraryPath);
}

TEST_F(BugReportMailTest, AReportRemovesWhatReportsThatNoLongerRunLeftBehind)
{
    AiosmtpdServer server(AiosmtpdServer::Plain);
    ASSERT_NE(server.Port(), 0);
    MailServerInfo::SetSupport(LocalMailServer(server.Port(), false));
    WorkerThread::SetProgram(FakePacker("exec 7z \"$@\""));

    const QByteArray copy = "a copy of the user's library";
    const QString lock = QLatin1Char('/') + QLatin1String(ReportArchive::kLockName);
    QTemporaryDir elsewhere;
    WriteFile(elsewhere.path() + QStringLiteral("/keep.db"), copy);
    struct Entry {
        const char* what;
        const char* name;   // in the report folder
        std::function<void(const QString& path)> make;
        bool held;      // its lock is held by another process while the first report runs
        bool removed;   // by the first report
    };
    const Entry entries[] = {
        {"a report killed while 7z added to its archive", "BugReport-k1LLed",
         [&](const QString& path) {
             WriteFile(path + QStringLiteral("/BugReport.dmp"), copy);
             WriteFile(path + QStringLiteral("/BugReport.dmp.tmp"), "half");
             WriteFile(path + lock, "");
         },
         false, true},
        {"a report of a build that locked nothing", "BugReport-0ldBld",
         [&](const QString& path) { WriteFile(path + QStringLiteral("/BugReport.dmp"), copy); }, false, true},
        {"the archive all reports once shared", "BugReport.dmp", [&](const QString& path) { WriteFile(path, copy); },
         false, true},
        {"a report another instance still runs", "BugReport-RunsOn",
         [&](const QString& path) {
             WriteFile(path + QStringLiteral("/BugReport.dmp"), copy);
             WriteFile(path + lock, "");
         },
         true, false},
        {"a link named like a report's folder", "BugReport-L1nked",
         [&](const QString& path) { QFile::link(elsewhere.path(), path); }, false, false},
        {"a folder of the user's own", "BugReport-my notes",
         [&](const QString& path) { WriteFile(path + QStringLiteral("/keep.db"), copy); }, false, false},
    };
    QProcess holder;
    for (const Entry& e : entries) {
        const QString path = m_reportFolder + QLatin1Char('/') + QLatin1String(e.name);
        e.make(path);
        if (e.held) {
            ASSERT_NO_FATAL_FAILURE(HoldLock(holder, path + lock));
        }
    }
    const auto gone = [&](const Entry& e) {
        const QFileInfo info(m_reportFolder + QLatin1Char('/') + QLatin1String(e.name));
        return !info.exists() && !info.isSymLink();
    };
    const auto report = [&](const QString& description) {
        m_shown.clear();
        CBugReport dialog(nullptr);
        Fill(dialog, QStringLiteral("Hal"), QStringLiteral("hal@example.org"), description);
        dialog.ReportButton()->click();
        ASSERT_TRUE(WaitFor([&] { return !m_shown.isEmpty(); }, 60000));
        EXPECT_EQ(m_shown, QStringList{QStringLiteral("Send bug report mail success!")});
    };

    report(QStringLiteral("first"));
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.what);
        EXPECT_EQ(gone(e), e.removed);
    }
    // What stays is whole: another's report, what a link points to.
    for (const char* kept :
         {"/BugReport-RunsOn/BugReport.dmp", "/BugReport-L1nked/keep.db", "/BugReport-my notes/keep.db"}) {
        QFile file(m_reportFolder + QLatin1String(kept));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly) && file.readAll() == copy) << kept;
    }
    ASSERT_FALSE(server.WaitForMail(1).isEmpty());

    // Once that instance is gone its folder counts as left behind too.
    holder.kill();
    ASSERT_TRUE(holder.waitForFinished(5000));
    report(QStringLiteral("second"));
    EXPECT_EQ(Leftovers().join(QLatin1Char('|')).toStdString(), "BugReport-L1nked|BugReport-my notes");
    for (const QString& archive : ArchivesMade())
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(archive).path())) << archive.toStdString();
    ASSERT_FALSE(server.WaitForMail(2).isEmpty());
}

TEST_F(BugReportMailTest, NonAsciiHeaderTextArrivesAsEncodedWords)
{
    struct Case {
        const char* what;
        QString name;
        QString mail;
    };
    const Case cases[] = {
        {"ASCII stays as typed", QStringLiteral("Ann"), QStringLiteral("ann@example.org")},
        {"accented letters", QStringLiteral("J\u00fcrgen \u00d6lm\u00fcller"), QStringLiteral("jo@example.org")},
        // Cut to the field's 100 characters: many words over several lines.
        {"a long Japanese name", QString::fromUtf8("\xe5\xb1\xb1\xe7\x94\xb0\xe5\xa4\xaa\xe9\x83\x8e").repeated(30),
         QStringLiteral("yamada@example.jp")},
        // Four-byte characters where the words are cut.
        {"Cyrillic and music signs", QString::fromUtf8("\xd0\xae\xd1\x80\xd0\xb8\xd0\xb9 \xf0\x9f\x8e\xb5").repeated(12),
         QString::fromUtf8("\xd1\x8e@example.org")},
    };
    AiosmtpdServer server(AiosmtpdServer::Plain);
    ASSERT_NE(server.Port(), 0);
    int mails = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BugreportJob job = MailJob(c.name, c.mail);
        BugreportThread thread(job, LocalMailServer(server.Port(), false));
        EXPECT_TRUE(SendAndWait(thread));
        const QJsonObject mail = server.WaitForMail(++mails);
        ASSERT_FALSE(mail.isEmpty());
        // Python's mail parser decodes the words back to what was typed.
        EXPECT_EQ(mail["subject"].toString(), BugreportThread::Subject(job));
        EXPECT_EQ(mail["defects"].toArray().size(), 0);

        QFile eml(server.MailFile(mails, QStringLiteral(".eml")));
        ASSERT_TRUE(eml.open(QIODevice::ReadOnly));
        const QByteArray raw = eml.readAll();
        const QByteArray header = raw.left(raw.indexOf("\r\n\r\n"));
        for (const char byte : header)
            ASSERT_LT(uchar(byte), 0x80) << "raw 8-bit text in the header";
        const bool ascii = c.name.toLatin1() == c.name.toUtf8() && c.mail.toLatin1() == c.mail.toUtf8();
        EXPECT_EQ(header.contains("=?utf-8?B?"), !ascii);
        if (ascii) {
            EXPECT_TRUE(header.contains("\r\nSubject: " + BugreportThread::Subject(job).toUtf8() + "\r\n"));
        }
        for (const QByteArray& line : header.split('\n')) {
            if (line.contains("=?")) {
                EXPECT_LE(line.trimmed().size(), 76) << line.toStdString();
            }
        }
    }
}

TEST_F(BugReportMailTest, ACancelAfterTheWholeMailWentOutIsLoggedAsPerhapsDelivered)
{
    struct Case {
        const char* what;
        size_t silentStep;   // of the usual script: the server's answer that never comes
        const char* line;    // the client's line that step waits for
        const char* logged;
    };
    const Case cases[] = {
        {"before the mail text", 5, "DATA", "bug report mail not sent: stopped by the user"},
        {"after the final \".\"", 6, ".", "bug report mail may have been delivered"},
    };
    QTemporaryDir logs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto script = ScriptedSmtpPeer::HappyScript();
        script[c.silentStep].reply = "";
        ScriptedSmtpPeer peer(script);
        const BugreportJob job = MailJob(QStringLiteral("Gus"), QStringLiteral("gus@example.org"));
        const QString folder = logs.path() + QLatin1Char('/') + QString::number(c.silentStep);
        StartProgramLog(folder);
        {
            BugreportThread thread(job, LocalMailServer(peer.Port(), false));
            thread.start();
            EXPECT_TRUE(peer.WaitForLine(c.line, 20000));
            thread.Cancel();
            EXPECT_TRUE(thread.wait(5000));
            EXPECT_FALSE(thread.Result());
        }
        StopProgramLog();
        const QString text = ProgramLogText(folder);
        EXPECT_TRUE(text.contains(QLatin1String(c.logged))) << text.toStdString();
        EXPECT_EQ(text.count(QStringLiteral("bug report mail")), 1) << text.toStdString();
    }
}

TEST_F(BugReportMailTest, ADescriptionInAnyLanguageArrivesIntactWithOrWithoutEightBitMail)
{
    const QString descriptions[] = {
        QStringLiteral("It stopped.\n.\nTwice."),
        QString::fromUtf8("J\xc3\xbcrgen: die Aufnahme bricht ab.\n.\n\xc3\x96l \xe2\x82\xac 5"),
        // Past 998 bytes on one line: quoted-printable either way.
        QString::fromUtf8("\xe9\x8c\xb2\xe9\x9f\xb3\xe3\x81\x8c\xe6\xad\xa2\xe3\x81\xbe\xe3\x82\x8b").repeated(80),
        QString::fromUtf8("\xd0\x97\xd0\xb2\xd1\x83\xd0\xba \xd0\xbf\xd1\x80\xd0\xbe\xd0\xbf\xd0\xb0\xd0\xbb "
                          "\xf0\x9f\x8e\xb5\r\n\xd1\x81\xd0\xbd\xd0\xbe\xd0\xb2\xd0\xb0"),
    };
    struct Server {
        const char* what;
        AiosmtpdServer::Body body;
    };
    const Server servers[] = {
        {"a server offering 8BITMIME", AiosmtpdServer::EightBitMime},
        {"a server taking ASCII only", AiosmtpdServer::SevenBitOnly},
    };
    for (const Server& s : servers) {
        AiosmtpdServer server(AiosmtpdServer::Plain, false, s.body);
        ASSERT_NE(server.Port(), 0);
        int mails = 0;
        for (const QString& description : descriptions) {
            SCOPED_TRACE(std::string(s.what) + ": " + description.left(20).toStdString());
            BugreportJob job = MailJob(QString::fromUtf8("J\xc3\xbcrgen"), QStringLiteral("jo@example.org"));
            job.body = description;
            BugreportThread thread(job, LocalMailServer(server.Port(), false));
            ASSERT_TRUE(SendAndWait(thread));
            const QJsonObject mail = server.WaitForMail(++mails);
            ASSERT_FALSE(mail.isEmpty());
            EXPECT_EQ(mail["defects"].toArray().size(), 0);
            // Python's mail parser gives back what was typed.
            QString text = mail["texts"].toArray().first().toString();
            text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            EXPECT_EQ(text.trimmed(), QString(description).replace(QLatin1String("\r\n"), QLatin1String("\n")));
            EXPECT_EQ(mail["subject"].toString(), BugreportThread::Subject(job));
            // 8-bit text goes announced; a server that does not offer it
            // would refuse the announcement.
            const QJsonArray options = mail["mail_options"].toArray();
            EXPECT_EQ(options.contains(QStringLiteral("BODY=8BITMIME")), s.body == AiosmtpdServer::EightBitMime);
            if (s.body == AiosmtpdServer::SevenBitOnly) {
                QFile eml(server.MailFile(mails, QStringLiteral(".eml")));
                ASSERT_TRUE(eml.open(QIODevice::ReadOnly));
                for (const char byte : eml.readAll())
                    ASSERT_LT(uchar(byte), 0x80) << "8-bit text to a server that did not offer 8BITMIME";
            }
        }
    }
}

TEST_F(BugReportMailTest, TheDialogMayBeDestroyedWhileItsMessageIsOpen)
{
    // The real message, with its own event loop, in which the dialog is
    // destroyed as when the main window deletes it or the program ends.
    CBugReport::SetMessageHandler(nullptr);
    int refusedPort = 0;
    close(BindLoopback(&refusedPort, 0));
    MailServerInfo::SetSupport(LocalMailServer(refusedPort, false));
    WorkerThread::SetProgram(m_scripts.path() + QStringLiteral("/missing-7z"));   // no archive, at once
    LocalHttpServer upload;
    upload.SetAnswer({200, "0", "text/plain"});   // refused: "Err: -1"

    struct Case {
        const char* what;
        const char* mail;
        std::function<void(CBugReport&)> start;
    };
    const Case cases[] = {
        {"the e-mail is missing", "", [](CBugReport& report) { report.ReportButton()->click(); }},
        {"the mail failed", "ina@example.org", [](CBugReport& report) { report.ReportButton()->click(); }},
        {"the upload was refused", "ina@example.org",
         [&](CBugReport& report) {
             report.Uploader()->SetUploadUrl(QString::fromStdString(upload.Address()) + QStringLiteral("/up"));
             report.ReportByUpload();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QPointer<CBugReport> report = new CBugReport(nullptr);
        report->show();
        Fill(*report, QStringLiteral("Ina"), QLatin1String(c.mail), QStringLiteral("gone"));
        bool shown = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            const CDeleteDialog* message = report ? report->findChild<CDeleteDialog*>() : nullptr;
            if (message && message->isVisible()) {
                shown = true;
                delete report.data();
            }
        });
        watch.start(10);
        c.start(*report);
        EXPECT_TRUE(WaitFor([&] { return report.isNull(); }));
        watch.stop();
        EXPECT_TRUE(shown) << "the dialog went before its message";
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        EXPECT_TRUE(WaitFor([] { return RetiredThreads::Count() == 0; }, 5000));
        EXPECT_TRUE(ArchivesGone()) << Leftovers().join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(BugReportMailTest, WhatAKilledRunLeftGoesAtStartOffTheWindowThread)
{
    const QByteArray copy = "a copy of the user's library";
    const QString lock = QLatin1Char('/') + QLatin1String(ReportArchive::kLockName);
    const QString killed = m_reportFolder + QStringLiteral("/BugReport-k1LLed");
    WriteFile(killed + QStringLiteral("/BugReport.dmp"), copy);
    WriteFile(killed + lock, "");
    const QString shared = m_reportFolder + QStringLiteral("/BugReport.dmp");
    WriteFile(shared, copy);
    const QString running = m_reportFolder + QStringLiteral("/BugReport-RunsOn");
    WriteFile(running + QStringLiteral("/BugReport.dmp"), copy);
    WriteFile(running + lock, "");
    QProcess holder;
    ASSERT_NO_FATAL_FAILURE(HoldLock(holder, running + lock));

    // Each folder removed is logged by the thread that removed it.
    static QMutex removersLock;
    static QList<QThread*> removers;
    static QtMessageHandler previous = nullptr;
    removers.clear();
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (text.contains(QLatin1String("left behind"))) {
            QMutexLocker guard(&removersLock);
            removers << QThread::currentThread();
        }
        if (previous)
            previous(type, context, text);
    });
    CBugReport::RemoveLeftovers();
    const bool gone = WaitFor([&] { return !QFileInfo::exists(killed) && !QFileInfo::exists(shared); }, 5000);
    const bool ended = WaitFor([] { return RetiredThreads::Count() == 0; }, 5000);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(gone) << Leftovers().join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(ended) << "the sweep still runs";
    QMutexLocker guard(&removersLock);
    EXPECT_EQ(removers.size(), 1);
    EXPECT_FALSE(removers.contains(QThread::currentThread())) << "removed on the window's thread";
    // Another instance's running report keeps its archive.
    QFile kept(running + QStringLiteral("/BugReport.dmp"));
    EXPECT_TRUE(kept.open(QIODevice::ReadOnly) && kept.readAll() == copy);
    holder.kill();
    holder.waitForFinished(5000);
    QDir(running).removeRecursively();
}
