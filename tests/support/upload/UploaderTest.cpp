// The multipart uploader against a local HTTP server that records the raw
// request: the form body byte for byte, the headers, the answer table, the
// reply time-out, and the dialog's upload report with its packed log files.
#include "../../common/EventWait.h"
#include "../../common/LocalHttpServer.h"
#include "CAppSettings.h"
#include "CBugReport.h"
#include "CDefTextEdit.h"
#include "FormDataBuilder.h"
#include "PostReporter.h"
#include "QNetworkReplyTimeout.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <thread>

namespace {
const std::string kBoundary = "-----------------------------7d935033608e2d4gu67jgfdy657hyu76rth45632d3";

bool WaitFor(const std::function<bool()>& condition, int ms = 20000)
{
    return WaitForEvents(condition, ms);
}

std::string Field(const std::string& name, const std::string& value)
{
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

std::string FilePart(const std::string& fileName, const std::string& bytes)
{
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"upload\"; filename=\"" + fileName
        + "\"\r\nContent-Type: application/x-compress\r\n\r\n" + bytes + "\r\n";
}

std::string Md5(const std::string& bytes)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5).toHex().toStdString();
}

void WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// One post and the results it signalled.
struct PostRun {
    QList<int> results;
    QList<QPair<qint64, qint64>> progress;
    explicit PostRun(PostReporter& reporter)
    {
        QObject::connect(&reporter, &PostReporter::requestFinishSignal, [this](int r) { results << r; });
        QObject::connect(&reporter, &PostReporter::uploadProgressSignal,
                         [this](qint64 s, qint64 t) { progress << qMakePair(s, t); });
    }
};
} // namespace

TEST(UploaderTest, FormBodyBuilder)
{
    FormDataBuilder form;
    EXPECT_EQ(form.Boundary().toStdString(), kBoundary);
    EXPECT_EQ(form.Finish().toStdString(), "\r\n--" + kBoundary + "--\r\n");
    EXPECT_TRUE(form.AddField(QStringLiteral("name"), QString::fromUtf8("J\xc3\xb6rg")));
    EXPECT_TRUE(form.AddFileData(QStringLiteral("upload"), QStringLiteral("/tmp/a.7z"), QByteArray("7z\0\xff", 4)));
    EXPECT_FALSE(form.SetBoundary(QStringLiteral("other")));   // parts exist: refused
    EXPECT_EQ(form.Boundary().toStdString(), kBoundary);
    EXPECT_EQ(form.Finish().toStdString(), "\r\n" + Field("name", "J\xc3\xb6rg")
                                               + FilePart("/tmp/a.7z", std::string("7z\0\xff", 4)) + "--" + kBoundary
                                               + "--\r\n");
    EXPECT_FALSE(form.AddFile(QStringLiteral("upload"), QStringLiteral("/nonexistent/file")));

    FormDataBuilder fresh;
    EXPECT_TRUE(fresh.SetBoundary(QStringLiteral("xyz")));
    fresh.AddField(QStringLiteral("a"), QStringLiteral("b"));
    EXPECT_EQ(fresh.Finish().toStdString(), "\r\n--xyz\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nb\r\n--xyz--\r\n");
}

TEST(UploaderTest, PostSendsTheFormByteForByte)
{
    LocalHttpServer server;
    server.SetAnswer({200, "1", "text/html"});
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/BugReport.dmp");
    const std::string bytes("7z\xbc\xaf\x27\x1c\0\x04 archive bytes", 22);
    WriteFile(path, QByteArray::fromStdString(bytes));

    PostReporter reporter;
    reporter.SetUploadUrl(QString::fromStdString(server.Address()) + QStringLiteral("/bug-report/plugin.php?default=bug"));
    reporter.SetProductName(QStringLiteral("Sonacap"));
    reporter.SetVersion(QStringLiteral("1.0.0.1"));
    PostRun run(reporter);
    const QString logs = QString::fromUtf8("UserName: Ann\nUserMail: a@b\nDescription: caf\xc3\xa9");
    for (int round = 0; round < 2; ++round)
        EXPECT_TRUE(reporter.Post(path, logs));
    ASSERT_TRUE(WaitFor([&] { return run.results.size() == 2; }));
    EXPECT_EQ(run.results, (QList<int>{0, 0}));
    ASSERT_FALSE(run.progress.isEmpty());
    EXPECT_EQ(run.progress.last().first, run.progress.last().second);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string expected = "\r\n" + Field("proname", "Sonacap") + Field("version", "1.0.0.1") + Field("keycode", "")
        + Field("ver", "") + Field("logs", logs.toStdString()) + FilePart(path.toStdString(), bytes)
        + Field("unqiue", Md5(bytes)) + "--" + kBoundary + "--\r\n";
    for (const auto& request : requests) {
        EXPECT_EQ(request.line, "POST /bug-report/plugin.php?default=bug HTTP/1.1");
        EXPECT_EQ(request.Header("user-agent"), "Mozilla/4.0");
        EXPECT_EQ(request.Header("content-type"), "multipart/form-data; boundary=" + kBoundary);
        EXPECT_EQ(request.Header("content-length"), std::to_string(expected.size()));
        EXPECT_EQ(request.body, expected);   // the same bytes, the same "unqiue", each time
    }

    // No file: the form goes without its file part, "unqiue" is still a digest.
    reporter.Post(dir.path() + QStringLiteral("/missing.dmp"), QStringLiteral("x"));
    ASSERT_TRUE(WaitFor([&] { return run.results.size() == 3; }));
    const std::string body = server.Requests().back().body;
    EXPECT_EQ(body.find("name=\"upload\""), std::string::npos);
    const size_t unique = body.find("name=\"unqiue\"\r\n\r\n");
    ASSERT_NE(unique, std::string::npos);
    EXPECT_EQ(body.substr(unique + 17, 32).find_first_not_of("0123456789abcdef"), std::string::npos);
}

TEST(UploaderTest, AnswersBecomeOneResultEach)
{
    struct Case {
        const char* what;
        int status;
        const char* body;
        int result;
    };
    const Case cases[] = {
        {"accepted", 200, "1", 0},
        {"accepted with a line end", 200, "1\r\n", 0},
        {"empty answer", 200, "", -1},
        {"refused", 200, "0", -1},
        {"not a number", 200, "<html>ok</html>", -1},
        {"server error", 500, "1", int(QNetworkReply::InternalServerError)},
        {"not found", 404, "", int(QNetworkReply::ContentNotFoundError)},
    };
    LocalHttpServer server;
    PostReporter reporter;
    reporter.SetUploadUrl(QString::fromStdString(server.Address()) + QStringLiteral("/up"));
    PostRun run(reporter);
    for (const Case& c : cases) {
        server.SetAnswer({c.status, c.body, "text/plain"});
        run.results.clear();
        reporter.Post(QString(), QStringLiteral("logs"));
        ASSERT_TRUE(WaitFor([&] { return !run.results.isEmpty(); })) << c.what;
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
        EXPECT_EQ(run.results, QList<int>{c.result}) << c.what;
    }

    reporter.SetUploadUrl(QStringLiteral("http://127.0.0.1:%1/up").arg(LocalHttpServer::RefusedPort()));
    run.results.clear();
    reporter.Post(QString(), QStringLiteral("logs"));
    ASSERT_TRUE(WaitFor([&] { return !run.results.isEmpty(); }));
    EXPECT_EQ(run.results, QList<int>{int(QNetworkReply::ConnectionRefusedError)});

    // No service in this build: one failure, later, and no connection.
    PostReporter unset;
    EXPECT_TRUE(unset.UploadUrl().isEmpty());
    PostRun unsetRun(unset);
    const size_t before = server.Requests().size();
    EXPECT_FALSE(unset.Post(QString(), QStringLiteral("logs")));
    EXPECT_TRUE(unsetRun.results.isEmpty());   // not before the caller is done
    ASSERT_TRUE(WaitFor([&] { return !unsetRun.results.isEmpty(); }));
    EXPECT_EQ(unsetRun.results, QList<int>{int(QNetworkReply::HostNotFoundError)});
    EXPECT_EQ(server.Requests().size(), before);
}

TEST(UploaderTest, ReplyTimeoutAbortsAStalledReply)
{
    LocalHttpServer server;
    server.Hold();
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(QString::fromStdString(server.Address()) + "/slow")));
    auto* timeout = new QNetworkReplyTimeout(reply, 200);
    bool timedOut = false;
    QObject::connect(timeout, &QNetworkReplyTimeout::timeout, [&] { timedOut = true; });
    QPointer<QNetworkReply> watched(reply);
    ASSERT_TRUE(WaitFor([&] { return timedOut; }, 10000));
    EXPECT_EQ(watched ? watched->error() : QNetworkReply::OperationCanceledError, QNetworkReply::OperationCanceledError);
    EXPECT_TRUE(WaitFor([&] { return watched.isNull(); }, 5000));   // scheduled for deletion
    server.Release();

    // A reply that finished in time is left alone.
    QNetworkReply* quick = manager.get(QNetworkRequest(QUrl(QString::fromStdString(server.Address()) + "/quick")));
    auto* idle = new QNetworkReplyTimeout(quick, 300);
    bool idleFired = false;
    QObject::connect(idle, &QNetworkReplyTimeout::timeout, [&] { idleFired = true; });
    ASSERT_TRUE(WaitFor([&] { return quick->isFinished(); }));
    QThread::msleep(400);
    QCoreApplication::processEvents();
    EXPECT_FALSE(idleFired);
    EXPECT_EQ(quick->error(), QNetworkReply::NoError);
    delete quick;
}

TEST(UploaderTest, DialogUploadsThePackedLogFiles)
{
    CAppSettings* settings = CAppSettings::GetInstance();
    const QString logFolder = settings->GetLogPath();
    WriteFile(logFolder + QStringLiteral("/Sonacap_2024.log"), "log\n");
    WriteFile(logFolder + QStringLiteral("/notes.txt"), "txt\n");
    WriteFile(logFolder + QStringLiteral("/extra.db"), "db\n");
    WriteFile(logFolder + QStringLiteral("/options.ini"), "[a]\n");
    WriteFile(logFolder + QStringLiteral("/song.wav"), "not a log\n");
    WriteFile(logFolder + QStringLiteral("/recorder/log/deep.log"), "not collected\n");
    QStringList shown;
    const auto previous = CBugReport::SetMessageHandler(
        [&](QWidget*, const QString& text, int, const QString&) { shown << text; });

    struct Case {
        const char* what;
        const char* answer;
        bool proxy;
        int result;
    };
    const Case cases[] = {
        {"accepted", "1", false, 0},
        {"refused, through the proxy", "0", true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer server;
        server.SetAnswer({200, c.answer, "text/plain"});
        settings->SetProxyEnabled(c.proxy ? 1 : 0);
        settings->SetProxyType(0);
        settings->SetProxyHost(QStringLiteral("127.0.0.1"));
        settings->SetProxyPort(server.Port());
        shown.clear();
        CBugReport report(nullptr);
        // Through the proxy the service's own address is never reached.
        report.Uploader()->SetUploadUrl(
            c.proxy ? QStringLiteral("http://127.0.0.1:%1/bug-report/plugin.php?default=bug").arg(LocalHttpServer::RefusedPort())
                    : QString::fromStdString(server.Address()) + QStringLiteral("/bug-report/plugin.php?default=bug"));
        report.show();
        report.NameEdit()->setPlainText(QStringLiteral("Ann"));
        report.MailEdit()->setPlainText(QStringLiteral("ann@example.org"));
        report.DescriptionEdit()->setPlainText(QStringLiteral("No sound."));
        report.ReportByUpload();
        EXPECT_TRUE(report.IsBusy());
        EXPECT_FALSE(report.DescriptionEdit()->isEnabled());
        ASSERT_TRUE(WaitFor([&] { return !report.IsBusy(); }));
        EXPECT_EQ(report.result(), c.result);
        // The archive, a copy of the user's logs, went with the answer.
        const QString reportFolder =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Tavrel/Sonacap");
        EXPECT_EQ(QDir(reportFolder).entryList({QStringLiteral("BugReport*")}, QDir::AllEntries), QStringList());
        EXPECT_FALSE(report.isVisible());
        EXPECT_TRUE(report.DescriptionEdit()->isEnabled());
        const QStringList expectedShown =
            c.result == 0 ? QStringList() : QStringList{QStringLiteral("Send bug report mail failed, Err: -1")};
        EXPECT_EQ(shown, expectedShown);

        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].line.find(c.proxy ? "POST http://127.0.0.1:" : "POST /bug-report/"), 0u);
        const std::string& body = requests[0].body;
        EXPECT_NE(body.find(Field("logs", "UserName: Ann\nUserMail: ann@example.org\nDescription: No sound.")),
                  std::string::npos);
        // The file part is a 7z archive of the four kinds of log file.
        const std::string head = "Content-Type: application/x-compress\r\n\r\n";
        const size_t start = body.find(head);
        ASSERT_NE(start, std::string::npos);
        const size_t end = body.find("\r\n--" + kBoundary, start);
        QTemporaryDir dir;
        WriteFile(dir.path() + QStringLiteral("/up.7z"), QByteArray::fromStdString(body.substr(start + head.size(), end - start - head.size())));
        QProcess list;
        list.start(QStringLiteral("7z"), {QStringLiteral("l"), dir.path() + QStringLiteral("/up.7z")});
        list.waitForFinished(30000);
        const QString listing = QString::fromUtf8(list.readAllStandardOutput());
        for (const char* name : {"Sonacap_2024.log", "notes.txt", "extra.db", "options.ini"})
            EXPECT_TRUE(listing.contains(QLatin1String(name))) << name << listing.toStdString();
        EXPECT_FALSE(listing.contains(QLatin1String("song.wav")));
        EXPECT_FALSE(listing.contains(QLatin1String("deep.log")));
    }
    settings->SetProxyEnabled(0);
    CBugReport::SetMessageHandler(previous);
}

TEST(UploaderTest, AnAnswerThatStopsComingEndsAfterTheReplyTimeOut)
{
    LocalHttpServer server;
    server.Hold();   // reads the request, never answers
    PostReporter reporter;
    reporter.SetUploadUrl(QString::fromStdString(server.Address()) + QStringLiteral("/up"));
    reporter.SetReplyTimeout(300);
    PostRun run(reporter);
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(reporter.Post(QString(), QStringLiteral("logs")));
    ASSERT_TRUE(WaitFor([&] { return !run.results.isEmpty(); }, 10000));
    // Qt's transfer timer is a coarse one, which may fire up to 5 % early.
    EXPECT_GE(timer.elapsed(), 300 * 95 / 100);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(run.results, QList<int>{int(QNetworkReply::OperationCanceledError)});
    server.Release();
}

TEST(UploaderTest, TheFileIsReadOffTheWindowThread)
{
    // A file whose reading waits for a writer: read on the window's thread,
    // Post would not return until someone writes.
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/BugReport.dmp");
    ASSERT_EQ(mkfifo(path.toUtf8().constData(), 0600), 0);
    auto writeFile = [&](const std::string& bytes) {
        return std::thread([path, bytes] {
            const int fd = open(path.toUtf8().constData(), O_WRONLY | O_CLOEXEC);
            if (fd >= 0) {
                (void)!write(fd, bytes.data(), bytes.size());
                close(fd);
            }
        });
    };
    LocalHttpServer server;
    server.SetAnswer({200, "1", "text/plain"});
    PostReporter reporter;
    reporter.SetUploadUrl(QString::fromStdString(server.Address()) + QStringLiteral("/up"));
    PostRun run(reporter);

    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(reporter.Post(path, QStringLiteral("logs")));
    EXPECT_LT(timer.elapsed(), 1000);
    bool ticked = false;
    QTimer::singleShot(10, [&] { ticked = true; });
    EXPECT_TRUE(WaitFor([&] { return ticked; }, 5000)) << "the window's events stand still";
    EXPECT_TRUE(server.Requests().empty());

    std::thread writer = writeFile("fifo bytes");
    ASSERT_TRUE(WaitFor([&] { return !run.results.isEmpty(); }));
    writer.join();
    EXPECT_EQ(run.results, QList<int>{0});
    ASSERT_EQ(server.Requests().size(), 1u);
    const std::string body = server.Requests().front().body;
    EXPECT_NE(body.find(FilePart(path.toStdString(), "fifo bytes")), std::string::npos);
    EXPECT_NE(body.find(Field("unqiue", Md5("fifo bytes"))), std::string::npos);

    // Aborted while the file is read: one cancelled result, nothing sent.
    run.results.clear();
    reporter.Post(path, QStringLiteral("logs"));
    reporter.Abort();
    writer = writeFile("late");
    ASSERT_TRUE(WaitFor([&] { return !run.results.isEmpty(); }));
    writer.join();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(run.results, QList<int>{int(QNetworkReply::OperationCanceledError)});
    EXPECT_EQ(server.Requests().size(), 1u);
}
