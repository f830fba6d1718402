// The debug log and the crash report, through a helper program that crashes
// in several ways (and one that exits normally), plus the log line format and
// the run stamp in this process.
#include "CrashHandler.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

namespace {
struct HelperRun {
    QTemporaryDir base;
    QString stamp;
    QProcess::ExitStatus status = QProcess::NormalExit;
    int code = -1;
    QString output;

    QString Folder() const { return base.path() + QStringLiteral("/CrashReport/"); }
    QString LogPath() const { return Folder() + stamp + QStringLiteral("_Debug.log"); }
    QString ReportPath() const { return Folder() + stamp + QStringLiteral("_CrashDump.dmp"); }
    static QString Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QString Log() const { return Read(LogPath()); }
    QString Report() const { return Read(ReportPath()); }
};

std::unique_ptr<HelperRun> RunHelper(const char* mode)
{
    auto run = std::make_unique<HelperRun>();
    QProcess helper;
    helper.start(QStringLiteral(SONACAP_CRASH_HELPER), {QString::fromLatin1(mode), run->base.path()});
    EXPECT_TRUE(helper.waitForFinished(60000)) << mode;
    run->status = helper.exitStatus();
    run->code = helper.exitCode();
    run->output = QString::fromUtf8(helper.readAllStandardOutput());
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^stamp (\\d{4}_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d)$"),
                           QRegularExpression::MultilineOption)
            .match(run->output);
    EXPECT_TRUE(match.hasMatch()) << run->output.toStdString();
    run->stamp = match.captured(1);
    return run;
}

const QRegularExpression kLogLine(QStringLiteral("^\\[ \\d{5}\\.\\d{3} \\]: (Debug|Warning|Critical|Info|Fatal): .*$"));
} // namespace

TEST(CrashHandlerTest, CrashesLeaveAReportBesideTheLog)
{
    struct Case {
        const char* mode;
        int signal;
        const char* signalText;
        const char* detail;   // in the report
    };
    const Case cases[] = {
        {"nullwrite", SIGSEGV, "Signal: 11 (SIGSEGV)", "Address: 0x0\n"},
        {"overflow", SIGSEGV, "Signal: 11 (SIGSEGV)", "CrashByRecursion"},
        {"thread", SIGSEGV, "Signal: 11 (SIGSEGV)", " crasher\n"},
        {"fatal", SIGABRT, "Signal: 6 (SIGABRT)", "Code: -6 (SI_TKILL)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const auto run = RunHelper(c.mode);
        EXPECT_EQ(run->status, QProcess::CrashExit);
        EXPECT_EQ(run->code, c.signal);

        const QString report = run->Report();
        ASSERT_FALSE(report.isEmpty()) << run->ReportPath().toStdString();
        EXPECT_TRUE(report.contains(QLatin1String(c.signalText))) << report.left(600).toStdString();
        EXPECT_TRUE(report.contains(QLatin1String(c.detail))) << report.left(3000).toStdString();
        EXPECT_TRUE(report.contains(QStringLiteral("Crash report of run ") + run->stamp));
        EXPECT_TRUE(QRegularExpression(QStringLiteral("\nThread: \\d+ \\S+\n")).match(report).hasMatch());
        const int backtrace = report.indexOf(QLatin1String("\nBacktrace:\n"));
        const int map = report.indexOf(QLatin1String("\nMemory map:\n"));
        ASSERT_GT(backtrace, 0);
        ASSERT_GT(map, backtrace);
        EXPECT_GE(report.mid(backtrace, map - backtrace).count(QLatin1Char('\n')), 4);
        EXPECT_TRUE(report.mid(map).contains(QLatin1String("crash_helper")));
        EXPECT_TRUE(report.mid(map).contains(QLatin1String("[stack]")));

        // The log stays, every line says what came before the end.
        const QString log = run->Log();
        EXPECT_TRUE(log.contains(QLatin1String("Debug: helper started in mode \"") + QLatin1String(c.mode)));
        EXPECT_TRUE(log.contains(QLatin1String("]: Warning: a warning\r\n")));
        EXPECT_FALSE(log.contains(QLatin1String("helper ends normally")));
        // The fatal message is the last line: it says why the process ended.
        EXPECT_EQ(log.endsWith(QLatin1String("]: Fatal: fatal reason 7\r\n")), QLatin1String(c.mode) == QLatin1String("fatal"))
            << log.toStdString();
    }
}

TEST(CrashHandlerTest, ANormalExitDeletesTheLogUnlessKept)
{
    const auto normal = RunHelper("normal");
    EXPECT_EQ(normal->status, QProcess::NormalExit);
    EXPECT_EQ(normal->code, 0);
    EXPECT_TRUE(normal->output.contains(QLatin1String("Debug: helper ends normally\n")));
    EXPECT_TRUE(QDir(normal->Folder()).exists());
    EXPECT_FALSE(QFile::exists(normal->LogPath()));
    EXPECT_FALSE(QFile::exists(normal->ReportPath()));

    const auto kept = RunHelper("keep");
    EXPECT_EQ(kept->code, 0);
    const QStringList lines = kept->Log().split(QLatin1String("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    for (const QString& line : lines)
        EXPECT_TRUE(kLogLine.match(line).hasMatch()) << line.toStdString();
    EXPECT_TRUE(lines[2].endsWith(QLatin1String("]: Debug: helper ends normally")));
    EXPECT_FALSE(QFile::exists(kept->ReportPath()));
}

TEST(CrashHandlerTest, LinesFromSeveralThreadsNeverInterleave)
{
    const auto run = RunHelper("threads");
    EXPECT_EQ(run->code, 0);
    const QString log = run->Log();
    EXPECT_EQ(log.count(QLatin1String("\r\n")), log.count(QLatin1Char('\n')));
    const QStringList lines = log.split(QLatin1String("\r\n"), Qt::SkipEmptyParts);
    const QRegularExpression threadLine(
        QStringLiteral("^\\[ \\d{5}\\.\\d{3} \\]: Debug: thread (\\d) line (\\d+) ([a-d]+)$"));
    int threadLines = 0;
    for (const QString& line : lines) {
        ASSERT_TRUE(kLogLine.match(line).hasMatch()) << line.toStdString();
        const QRegularExpressionMatch match = threadLine.match(line);
        if (!match.hasMatch())
            continue;
        ++threadLines;
        const int id = match.captured(1).toInt();
        EXPECT_EQ(match.captured(3), QString(40 + id * 17, QLatin1Char('a' + id))) << line.toStdString();
    }
    EXPECT_EQ(threadLines, 4 * 500);
}

TEST(CrashHandlerTest, AnOverlongMessageIsCutAtACharacter)
{
    const auto run = RunHelper("long");
    QFile file(run->LogPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QByteArray longest;
    for (const QByteArray& line : lines)
        longest = line.size() > longest.size() ? line : longest;
    const QByteArray text = longest.mid(longest.indexOf("Debug: ")).chopped(1);   // without CR
    EXPECT_LE(text.size(), 2047);
    EXPECT_GE(text.size(), 2040);
    EXPECT_EQ(QString::fromUtf8(text).toUtf8(), text);   // whole characters only
    EXPECT_TRUE(QString::fromUtf8(text).endsWith(QChar(0x00E9)));
}

TEST(CrashHandlerTest, LogLinePrefixCountsTenthsAndTheRest)
{
    struct Case {
        qint64 ms;
        const char* line;
    };
    const Case cases[] = {
        {0, "[ 00000.000 ]: x\r\n"},
        {99, "[ 00000.099 ]: x\r\n"},
        {100, "[ 00001.000 ]: x\r\n"},
        {12345, "[ 00123.045 ]: x\r\n"},
        {12345678, "[ 123456.078 ]: x\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CrashHandler::LogLine(c.ms, "x"), QByteArray(c.line)) << c.ms;
}

TEST(CrashHandlerTest, RunStampAndFolders)
{
    const QString first = QString::fromLatin1(CrashHandler::GetSessionTimeStamp());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d$")).match(first).hasMatch());
    QThread::msleep(1100);
    EXPECT_EQ(QString::fromLatin1(CrashHandler::GetSessionTimeStamp()), first);

    CrashHandler* handler = CrashHandler::GetInstance();
    QTemporaryDir dir;
    for (const QString& base : {dir.path() + QStringLiteral("/a/b"), dir.path() + QStringLiteral("/a/b/")}) {
        handler->SetReportFolder(base);
        EXPECT_EQ(handler->GetReportFolder(), dir.path() + QStringLiteral("/a/b/CrashReport/"));
        EXPECT_TRUE(QDir(handler->GetReportFolder()).exists());
        EXPECT_EQ(handler->GetRunFolder(), handler->GetReportFolder() + first + QLatin1Char('/'));
        EXPECT_EQ(handler->DebugLogPath(), handler->GetReportFolder() + first + QStringLiteral("_Debug.log"));
    }
    handler->SetReportFolder(QString());
    EXPECT_TRUE(handler->GetReportFolder().isEmpty());
}
