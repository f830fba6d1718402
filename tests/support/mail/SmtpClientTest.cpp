// The mail client against Debian's aiosmtpd (plain, TLS, STARTTLS; AUTH PLAIN
// and LOGIN) and against a scripted peer for stalls, 421 and odd replies.
#include "AiosmtpdServer.h"
#include "EmailAddress.h"
#include "MimeMessage.h"
#include "MimeText.h"
#include "MimeAttachment.h"
#include "ScriptedSmtpPeer.h"
#include "SilentListener.h"
#include "SmtpClient.h"
#include "../../common/LoopbackSocket.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {
struct Recorder {
    std::vector<int> errors;
    std::vector<std::pair<qint64, qint64>> progress;
    void Attach(SmtpClient& client)
    {
        QObject::connect(&client, &SmtpClient::smtpError, [this](SmtpClient::SmtpError e) { errors.push_back(int(e)); });
        QObject::connect(&client, &SmtpClient::progress,
                         [this](qint64 handled, qint64 total) { progress.emplace_back(handled, total); });
    }
};

// Sender b@x.org "bug", one recipient s@x.org "support", one text part.
struct SmallMail {
    EmailAddress sender{QStringLiteral("bugs@example.org"), QStringLiteral("bug")};
    EmailAddress recipient{QStringLiteral("support@example.org"), QStringLiteral("support")};
    MimeText text;
    MimeMessage message;
    explicit SmallMail(const QString& body)
    {
        text.SetText(body);
        message.SetSender(&sender);
        message.AddRecipient(&recipient);
        message.SetSubject(QStringLiteral("Subject line"));
        message.AddPart(&text);
    }
};

std::unique_ptr<SmtpClient> ScriptedClient(const ScriptedSmtpPeer& peer)
{
    auto client = std::make_unique<SmtpClient>(QStringLiteral("127.0.0.1"), peer.Port(), SmtpClient::TcpConnection);
    client->SetUser(QStringLiteral("u"));
    client->SetPassword(QStringLiteral("p"));
    return client;
}
} // namespace

TEST(SmtpClientTest, SendsToARealServerOverEveryConnectionAndLogin)
{
    struct Case {
        AiosmtpdServer::Mode mode;
        SmtpClient::ConnectionType type;
        SmtpClient::AuthMethod method;
        const char* mechanism;
        bool tls;
    };
    const Case cases[] = {
        {AiosmtpdServer::Plain, SmtpClient::TcpConnection, SmtpClient::AuthPlain, "PLAIN", false},
        {AiosmtpdServer::Plain, SmtpClient::TcpConnection, SmtpClient::AuthLogin, "LOGIN", false},
        {AiosmtpdServer::Tls, SmtpClient::SslConnection, SmtpClient::AuthPlain, "PLAIN", true},
        {AiosmtpdServer::Tls, SmtpClient::SslConnection, SmtpClient::AuthLogin, "LOGIN", true},
        {AiosmtpdServer::StartTls, SmtpClient::TlsConnection, SmtpClient::AuthPlain, "PLAIN", true},
        {AiosmtpdServer::StartTls, SmtpClient::TlsConnection, SmtpClient::AuthLogin, "LOGIN", true},
    };
    // Lines that would end the data early or break it if sent as they stand.
    const QString body = QStringLiteral("It stopped.\n.\n.hidden line\nbare\rCR\r\n..two dots\nend");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mechanism + std::string(c.tls ? " over TLS " : " plain ") + std::to_string(int(c.type)));
        AiosmtpdServer server(c.mode);
        ASSERT_NE(server.Port(), 0);
        SmtpClient client(QStringLiteral("127.0.0.1"), server.Port(), c.type);
        client.AddCaCertificates(QSslCertificate::fromPath(AiosmtpdServer::CertificateFile()));
        client.SetUser(QString::fromLatin1(AiosmtpdServer::kUser));
        client.SetPassword(QString::fromLatin1(AiosmtpdServer::kPassword));
        client.SetAuthMethod(c.method);
        Recorder recorder;
        recorder.Attach(client);
        SmallMail mail(body);
        client.EstimateTotalBytes(&mail.message);

        ASSERT_TRUE(client.ConnectToHost());
        ASSERT_TRUE(client.Login());
        ASSERT_TRUE(client.SendMail(&mail.message));
        EXPECT_EQ(client.GetResponseCode(), 250);
        client.Quit();
        EXPECT_TRUE(recorder.errors.empty());
        ASSERT_FALSE(recorder.progress.empty());
        EXPECT_EQ(recorder.progress.back(), std::make_pair(client.GetTotalBytes(), client.GetTotalBytes()));
        for (const auto& step : recorder.progress)
            EXPECT_LE(step.first, step.second);

        const QJsonObject stored = server.WaitForMail(1);
        ASSERT_FALSE(stored.isEmpty());
        EXPECT_EQ(stored["mail_from"].toString(), QStringLiteral("bugs@example.org"));
        EXPECT_EQ(stored["rcpt_tos"].toArray().first().toString(), QStringLiteral("support@example.org"));
        EXPECT_EQ(stored["tls"].toBool(), c.tls);
        EXPECT_EQ(stored["logins"].toArray().first().toObject()["mechanism"].toString(), QLatin1String(c.mechanism));
        EXPECT_EQ(stored["subject"].toString(), QStringLiteral("Subject line"));
        EXPECT_EQ(stored["from"].toString(), QStringLiteral("bug <bugs@example.org>"));
        EXPECT_TRUE(stored["defects"].toArray().isEmpty());
        QString received = stored["texts"].toArray().first().toString();
        received.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QString sent = body;
        sent.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        EXPECT_EQ(received.trimmed(), sent);
    }
}

TEST(SmtpClientTest, AWrongPasswordOrAnUntrustedServerStopsBeforeTheMail)
{
    {
        AiosmtpdServer server(AiosmtpdServer::Plain);
        ASSERT_NE(server.Port(), 0);
        SmtpClient client(QStringLiteral("127.0.0.1"), server.Port(), SmtpClient::TcpConnection);
        Recorder recorder;
        recorder.Attach(client);
        ASSERT_TRUE(client.ConnectToHost());
        EXPECT_FALSE(client.Login(QString::fromLatin1(AiosmtpdServer::kUser), QStringLiteral("wrong"),
                                  SmtpClient::AuthLogin));
        EXPECT_EQ(client.GetResponseCode(), 535);
        EXPECT_EQ(recorder.errors, (std::vector<int>{SmtpClient::ClientError, SmtpClient::AuthenticationFailedError}));
    }
    // Without the test authority the certificate proves nothing: no
    // password goes out, the connection fails as not established.
    for (auto mode : {AiosmtpdServer::Tls, AiosmtpdServer::StartTls}) {
        AiosmtpdServer server(mode);
        ASSERT_NE(server.Port(), 0);
        SmtpClient client(QStringLiteral("127.0.0.1"), server.Port(),
                          mode == AiosmtpdServer::Tls ? SmtpClient::SslConnection : SmtpClient::TlsConnection);
        Recorder recorder;
        recorder.Attach(client);
        EXPECT_FALSE(client.ConnectToHost()) << int(mode);
        ASSERT_FALSE(recorder.errors.empty());
        EXPECT_EQ(recorder.errors.back(), SmtpClient::ConnectionTimeoutError) << int(mode);
    }
}

TEST(SmtpClientTest, MultiLineRepliesAreReadToTheirLastLine)
{
    struct Case {
        const char* what;
        std::string ehloReply;
        int code;
        const char* text;
    };
    const Case cases[] = {
        {"three lines", "250-scripted\r\n250-SIZE 100\r\n250 AUTH PLAIN\r\n", 250, "250 AUTH PLAIN"},
        {"last line is the code alone", "250-scripted\r\n250\r\n", 250, "250"},
        {"lines in one piece with a bare LF", "250-a\n250 b\n", 250, "250 b"},
        {"a text that is no number", "2x0 what\r\n", 0, "2x0 what"},
    };
    for (const Case& c : cases) {
        ScriptedSmtpPeer peer({{"", "220 hi\r\n"}, {"EHLO*", c.ehloReply}});
        auto client = ScriptedClient(peer);
        Recorder recorder;
        recorder.Attach(*client);
        EXPECT_EQ(client->ConnectToHost(), c.code == 250) << c.what;
        EXPECT_EQ(client->GetResponseCode(), c.code) << c.what;
        EXPECT_EQ(client->GetResponseText(), QLatin1String(c.text)) << c.what;
        EXPECT_EQ(peer.Count("EHLO localhost"), 1) << c.what;
    }
}

TEST(SmtpClientTest, EightBitTextIsAnnouncedWhereOfferedAndMadeAsciiElsewhere)
{
    struct Case {
        const char* what;
        std::string ehloReply;
        bool offered;
    };
    const Case cases[] = {
        {"offered between other extensions", "250-scripted\r\n250-8BITMIME\r\n250 AUTH PLAIN\r\n", true},
        {"offered on the last line, in lower case", "250-scripted\r\n250-AUTH PLAIN\r\n250 8bitmime\r\n", true},
        {"not offered", "250-scripted\r\n250 AUTH PLAIN LOGIN\r\n", false},
        {"only look-alikes", "250-8BITMIME.example.org hi\r\n250-X-8BITMIME\r\n250 AUTH PLAIN\r\n", false},
    };
    const QByteArray typed = "Gr\xc3\xbc\xc3\x9f" "e";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto script = ScriptedSmtpPeer::HappyScript();
        script[1].reply = c.ehloReply;
        ScriptedSmtpPeer peer(script);
        auto client = ScriptedClient(peer);
        SmallMail mail(QString::fromUtf8(typed));
        client->EstimateTotalBytes(&mail.message);
        ASSERT_TRUE(client->ConnectToHost());
        ASSERT_TRUE(client->Login());
        ASSERT_TRUE(client->SendMail(&mail.message));
        client->Quit();
        EXPECT_EQ(peer.Count("MAIL FROM: <bugs@example.org> BODY=8BITMIME"), c.offered ? 1 : 0);
        EXPECT_EQ(peer.Count("MAIL FROM: <bugs@example.org>"), c.offered ? 0 : 1);
        std::string text;
        for (const std::string& line : peer.Lines())
            text += line + "\n";
        const bool ascii = std::all_of(text.begin(), text.end(), [](char byte) { return uchar(byte) < 0x80; });
        EXPECT_EQ(ascii, !c.offered);
        EXPECT_EQ(text.find(typed.toStdString()) != std::string::npos, c.offered);
        EXPECT_EQ(text.find("Gr=C3=BC=C3=9Fe") != std::string::npos, !c.offered);
        EXPECT_EQ(peer.Count("Content-Transfer-Encoding: quoted-printable"), c.offered ? 0 : 1);
    }
}

TEST(SmtpClientTest, A4xxOr5xxReplyFailsItsStep)
{
    {
        ScriptedSmtpPeer peer(std::vector<ScriptedSmtpPeer::Step>{{"", "421 too busy, closing\r\n"}});
        auto client = ScriptedClient(peer);
        Recorder recorder;
        recorder.Attach(*client);
        EXPECT_FALSE(client->ConnectToHost());
        EXPECT_EQ(client->GetResponseCode(), 421);
        EXPECT_EQ(recorder.errors, (std::vector<int>{SmtpClient::ServerError, SmtpClient::ServerError}));
    }
    struct Case {
        size_t step;         // of the happy script
        std::string reply;
        int error;
        std::string neverSent;
    };
    const Case cases[] = {
        {3, "421 4.3.2 shutting down\r\n", SmtpClient::ServerError, "RCPT TO*"},   // MAIL FROM
        {4, "550 no such user\r\n", SmtpClient::ClientError, "DATA"},              // RCPT TO
        {5, "554 no valid recipients\r\n", SmtpClient::ClientError, "."},          // DATA
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        auto script = ScriptedSmtpPeer::HappyScript();
        script[c.step].reply = c.reply;
        ScriptedSmtpPeer peer(script);
        auto client = ScriptedClient(peer);
        Recorder recorder;
        recorder.Attach(*client);
        SmallMail mail(QStringLiteral("x"));
        ASSERT_TRUE(client->ConnectToHost());
        ASSERT_TRUE(client->Login());
        EXPECT_FALSE(client->SendMail(&mail.message));
        EXPECT_EQ(recorder.errors, std::vector<int>{c.error});
        EXPECT_EQ(peer.Count(c.neverSent), 0);
    }
}

TEST(SmtpClientTest, ElevenFailedWaitsEndAReply)
{
    ScriptedSmtpPeer peer({{"", "220 hi\r\n"}, {"EHLO*", ""}});   // never answers EHLO
    auto client = ScriptedClient(peer);
    client->SetResponseTimeout(40);
    Recorder recorder;
    recorder.Attach(*client);
    EXPECT_FALSE(client->ConnectToHost());
    EXPECT_EQ(client->GetResponseCode(), -1);
    std::vector<int> expected(11, SmtpClient::ResponseTimeoutError);
    expected.push_back(SmtpClient::ServerError);
    EXPECT_EQ(recorder.errors, expected);
}

TEST(SmtpClientTest, TheFinalDotIsWaitedForLongerAndCannotBeStopped)
{
    auto script = ScriptedSmtpPeer::HappyScript();
    script.back().reply = "";   // the server checks the mail forever
    ScriptedSmtpPeer peer(script);
    auto client = ScriptedClient(peer);
    client->SetResponseTimeout(10);
    client->SetFinalReplyTimeout(200);
    SmallMail mail(QStringLiteral("body"));
    int limitStops = 0;
    QObject::connect(client.get(), &SmtpClient::limitStop, [&] { ++limitStops; });
    ASSERT_TRUE(client->ConnectToHost());
    ASSERT_TRUE(client->Login());

    std::atomic<int> stopAnswer{-1};
    std::thread stopper([&] {
        if (peer.WaitForLine(".", 10000))
            stopAnswer = client->Stop() ? 1 : 0;
    });
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(client->SendMail(&mail.message));
    const qint64 elapsed = timer.elapsed();
    stopper.join();
    EXPECT_EQ(stopAnswer.load(), 0);   // refused: the text was handed over
    EXPECT_EQ(limitStops, 1);
    EXPECT_EQ(client->GetResponseCode(), -1);
    EXPECT_GE(elapsed, 11 * 200);   // eleven waits of the final time-out, not the short one
}

TEST(SmtpClientTest, AStopEndsTheExchangeAndNothingMoreIsWritten)
{
    auto script = ScriptedSmtpPeer::HappyScript();
    script[3].reply = "";   // MAIL FROM is never answered
    ScriptedSmtpPeer peer(script);
    auto client = ScriptedClient(peer);   // default 3 s waits: 33 s without the stop
    SmallMail mail(QStringLiteral("body"));
    ASSERT_TRUE(client->ConnectToHost());
    ASSERT_TRUE(client->Login());

    std::atomic<bool> accepted{false};
    std::thread stopper([&] {
        if (peer.WaitForLine("MAIL FROM*", 10000))
            accepted = client->Stop();
    });
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(client->SendMail(&mail.message));
    stopper.join();
    EXPECT_TRUE(accepted.load());
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_EQ(client->GetResponseCode(), -1);
    EXPECT_EQ(client->SendMessage(QStringLiteral("NOOP")), 0);
    client->Quit();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(peer.Count("NOOP"), 0);
    EXPECT_EQ(peer.Count("QUIT"), 0);

    // A stop before connecting: nothing connects.
    SmtpClient early(QStringLiteral("127.0.0.1"), peer.Port());
    Recorder recorder;
    recorder.Attach(early);
    EXPECT_TRUE(early.Stop());
    EXPECT_FALSE(early.ConnectToHost());
    EXPECT_EQ(recorder.errors, std::vector<int>{SmtpClient::ConnectionTimeoutError});
}

TEST(SmtpClientTest, QuitGoesOnlyToAServerWaitingForACommand)
{
    using Step = ScriptedSmtpPeer::Step;
    struct Case {
        const char* what;
        std::function<std::vector<Step>()> script;
        bool quit;   // QUIT is said
        SmtpClient::FailureCause cause;
    };
    const Case cases[] = {
        {"recipient refused",
         [] {
             auto script = ScriptedSmtpPeer::HappyScript();
             script[4].reply = "550 5.1.1 no such user\r\n";
             return script;
         },
         true, SmtpClient::ServerRefused},
        {"no answer to MAIL FROM",
         [] {
             auto script = ScriptedSmtpPeer::HappyScript();
             script[3].reply = "";
             return script;
         },
         false, SmtpClient::NoAnswer},
        // The server takes DATA and then reads nothing more: the text fills
        // the socket and its writing waits out the send time-out, once.
        {"stops reading during DATA",
         [] {
             auto script = ScriptedSmtpPeer::HappyScript();
             script[5] = {"DATA", "354 go on\r\n", 0, true};
             return script;
         },
         false, SmtpClient::NoAnswer},
    };
    constexpr int kSendTimeoutMs = 1500;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedSmtpPeer peer(c.script());
        auto client = ScriptedClient(peer);
        client->SetResponseTimeout(20);
        client->SetSendMessageTimeout(kSendTimeoutMs);
        SmallMail mail(QStringLiteral("body"));
        MimeAttachment archive(QByteArray(24 * 1024 * 1024, 'a'), QStringLiteral("BugReport.dmp"));
        mail.message.AddPart(&archive);
        client->EstimateTotalBytes(&mail.message);
        ASSERT_TRUE(client->ConnectToHost());
        ASSERT_TRUE(client->Login());
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(client->SendMail(&mail.message));
        const qint64 sendMs = timer.elapsed();
        timer.restart();
        client->Quit();
        const qint64 quitMs = timer.elapsed();
        EXPECT_EQ(client->GetFailureCause(), c.cause) << client->FailureDescription().toStdString();
        EXPECT_LT(sendMs, 2 * kSendTimeoutMs);
        // Not a second wait of the send time-out for a QUIT nobody reads.
        EXPECT_LT(quitMs, kSendTimeoutMs / 2);
        EXPECT_EQ(peer.WaitForLine("QUIT", c.quit ? 5000 : 300), c.quit);
        EXPECT_EQ(client->GetHandledBytes(), client->GetTotalBytes());
    }
}

TEST(SmtpClientTest, RefusedConnectionAndUnknownConnectionType)
{
    int port = 0;
    {
        ScriptedSmtpPeer closed(std::vector<ScriptedSmtpPeer::Step>{});
        port = closed.Port();
    }
    SmtpClient refused(QStringLiteral("127.0.0.1"), port);
    Recorder recorder;
    recorder.Attach(refused);
    EXPECT_FALSE(refused.ConnectToHost());
    EXPECT_EQ(recorder.errors, std::vector<int>{SmtpClient::ConnectionTimeoutError});

    SmtpClient none(QStringLiteral("127.0.0.1"), port);
    none.SetConnectionType(9);
    Recorder noneRecorder;
    noneRecorder.Attach(none);
    EXPECT_FALSE(none.ConnectToHost());
    EXPECT_EQ(noneRecorder.errors, std::vector<int>{SmtpClient::ConnectionTimeoutError});
    EXPECT_EQ(none.SendMessage(QStringLiteral("NOOP")), 0);
}

TEST(SmtpClientTest, ProgressEstimateAndSteps)
{
    struct Case {
        SmtpClient::ConnectionType type;
        SmtpClient::AuthMethod method;
        qint64 commands;
    };
    // EHLO 14+102; MAIL 20+52; RCPT 18+52; DATA 4+52; 50 more: 364. AUTH
    // PLAIN "AAB1AHA=" adds 11+8+52; AUTH LOGIN 10+4+4+156; STARTTLS 8+14+104.
    const Case cases[] = {
        {SmtpClient::TcpConnection, SmtpClient::AuthPlain, 364 + 71},
        {SmtpClient::TlsConnection, SmtpClient::AuthLogin, 364 + 126 + 174},
    };
    for (const Case& c : cases) {
        SmtpClient client(QStringLiteral("127.0.0.1"), 25, c.type);
        client.SetUser(QStringLiteral("u"));
        client.SetPassword(QStringLiteral("p"));
        client.SetAuthMethod(c.method);
        EmailAddress sender(QStringLiteral("b@x.org"));
        EmailAddress to(QStringLiteral("s@x.org"));
        MimeMessage message;
        message.SetSender(&sender);
        message.AddRecipient(&to);
        client.EstimateTotalBytes(&message);
        const qint64 text = message.GetText().toUtf8().size();
        const qint64 total = c.commands + text;
        EXPECT_EQ(client.GetTotalBytes(), total);
        const double scale = 0.9 * double(total) / double(c.commands);

        Recorder recorder;
        recorder.Attach(client);
        client.HandleBytes(0);
        client.HandleBytes(-5);
        EXPECT_TRUE(recorder.progress.empty());
        client.HandleBytes(10);   // a command: scaled toward nine tenths
        client.HandleBytes(300);  // the text: as it stands
        client.HandleBytes(-1);   // a write failure: all done
        ASSERT_EQ(recorder.progress.size(), 3u);
        EXPECT_EQ(recorder.progress[0], std::make_pair(qint64(10 * scale), total));
        EXPECT_EQ(recorder.progress[1], std::make_pair(qint64(310), total));
        EXPECT_EQ(recorder.progress[2], std::make_pair(total, total));
    }
}

TEST(SmtpClientTest, AbortEndsTheFinalWaitThatStopCannot)
{
    auto script = ScriptedSmtpPeer::HappyScript();
    script.back().reply = "";   // the server checks the mail forever
    ScriptedSmtpPeer peer(script);
    auto client = ScriptedClient(peer);   // the real 30 s final wait, eleven times
    SmallMail mail(QStringLiteral("body"));
    ASSERT_TRUE(client->ConnectToHost());
    ASSERT_TRUE(client->Login());

    std::atomic<int> stopAnswer{-1};
    QElapsedTimer timer;
    std::thread canceller([&] {
        if (!peer.WaitForLine(".", 10000))
            return;
        stopAnswer = client->Stop() ? 1 : 0;
        timer.start();
        client->Abort();
    });
    EXPECT_FALSE(client->SendMail(&mail.message));
    const qint64 elapsed = timer.elapsed();
    canceller.join();
    EXPECT_EQ(stopAnswer.load(), 0);
    EXPECT_LT(elapsed, 1000);
    EXPECT_EQ(client->GetResponseCode(), -1);
    EXPECT_EQ(client->GetFailureCause(), SmtpClient::Cancelled);
    EXPECT_TRUE(peer.WaitForClose(5000)) << "the connection stays open";
    client->Quit();
    EXPECT_EQ(peer.Count("QUIT"), 0);
}

TEST(SmtpClientTest, AServerSlowToAcceptIsWaitedForTheWholeConnectionTimeOut)
{
    // The connection is not given up after the first slice of the wait: a
    // server across the world takes longer than that to accept.
    SilentListener unreachable;
    SmtpClient client(QStringLiteral("127.0.0.1"), unreachable.Port());
    client.SetConnectionTimeout(700);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(client.ConnectToHost());
    EXPECT_GE(timer.elapsed(), 700);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(client.GetFailureCause(), SmtpClient::NoAnswer);
}

TEST(SmtpClientTest, AReplyThatNeverEndsIsBounded)
{
    struct Case {
        const char* what;
        ScriptedSmtpPeer::Step greeting;
        qint64 atLeastMs;
    };
    // With 100 ms waits a silent server is given up after 1.1 s; one that
    // keeps sending without ending its line gets no longer.
    const Case cases[] = {
        {"a byte every 20 ms", {"", "220" + std::string(5000, '-'), 20}, 1100},
        {"an endless line at once", {"", std::string(SmtpClient::kMaxReplyLine + 10, 'x')}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedSmtpPeer peer({c.greeting});
        auto client = ScriptedClient(peer);
        client->SetResponseTimeout(100);
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(client->ConnectToHost());
        const qint64 elapsed = timer.elapsed();
        EXPECT_GE(elapsed, c.atLeastMs);
        EXPECT_LT(elapsed, 5000);
        EXPECT_EQ(client->GetResponseCode(), -1);
        EXPECT_EQ(client->GetFailureCause(), SmtpClient::NoAnswer);
    }
}

TEST(SmtpClientTest, EachFailureIsNamedWithItsCause)
{
    AiosmtpdServer plain(AiosmtpdServer::Plain);
    AiosmtpdServer tls(AiosmtpdServer::Tls);
    ASSERT_NE(plain.Port(), 0);
    ASSERT_NE(tls.Port(), 0);
    auto rcptRefused = ScriptedSmtpPeer::HappyScript();
    rcptRefused[4].reply = "550 5.1.1 no such user\r\n";
    ScriptedSmtpPeer refusing(rcptRefused);
    ScriptedSmtpPeer silent(std::vector<ScriptedSmtpPeer::Step>{{"", ""}});
    SilentListener unreachable;
    int refusedPort = 0;
    close(BindLoopback(&refusedPort, 0));   // bound, never listening: refused

    auto at = [](int port, SmtpClient::ConnectionType type = SmtpClient::TcpConnection) {
        auto client = std::make_shared<SmtpClient>(QStringLiteral("127.0.0.1"), port, type);
        client->SetConnectionTimeout(300);
        client->SetResponseTimeout(20);
        return client;
    };
    auto login = [](SmtpClient& client, const char* password) {
        return client.ConnectToHost() && client.Login(QString::fromLatin1(AiosmtpdServer::kUser),
                                                      QString::fromLatin1(password), SmtpClient::AuthPlain);
    };
    const struct {
        const char* what;
        std::shared_ptr<SmtpClient> client;
        std::function<bool(SmtpClient&)> run;   // false when the exchange failed
        SmtpClient::FailureCause cause;
        QString description;   // the start of FailureDescription()
    } cases[] = {
        {"refused connection", at(refusedPort), [](SmtpClient& c) { return c.ConnectToHost(); },
         SmtpClient::ConnectionRefused, QStringLiteral("connection refused: ")},
        {"nobody accepts", at(unreachable.Port()), [](SmtpClient& c) { return c.ConnectToHost(); },
         SmtpClient::NoAnswer, QStringLiteral("no answer from the mail server")},
        {"no greeting", at(silent.Port()), [](SmtpClient& c) { return c.ConnectToHost(); }, SmtpClient::NoAnswer,
         QStringLiteral("no answer from the mail server")},
        {"untrusted certificate", at(tls.Port(), SmtpClient::SslConnection),
         [](SmtpClient& c) { return c.ConnectToHost(); }, SmtpClient::TlsFailure, QStringLiteral("TLS failure: ")},
        {"wrong password", at(plain.Port()), [&](SmtpClient& c) { return login(c, "wrong"); },
         SmtpClient::LoginRefused, QStringLiteral("login refused: 535")},
        {"recipient refused", at(refusing.Port()),
         [](SmtpClient& c) {
             SmallMail mail(QStringLiteral("x"));
             return c.ConnectToHost() && c.Login() && c.SendMail(&mail.message);
         },
         SmtpClient::ServerRefused, QStringLiteral("the mail server refused: 550 5.1.1 no such user")},
        {"cancelled", at(plain.Port()),
         [](SmtpClient& c) {
             c.Abort();
             return c.ConnectToHost();
         },
         SmtpClient::Cancelled, QStringLiteral("stopped by the user")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.client->GetFailureCause(), SmtpClient::NoFailure);
        EXPECT_FALSE(c.run(*c.client));
        EXPECT_EQ(c.client->GetFailureCause(), c.cause);
        EXPECT_TRUE(c.client->FailureDescription().startsWith(c.description))
            << c.client->FailureDescription().toStdString();
    }
}

TEST(SmtpClientTest, ALargeAttachmentGoesOutPieceByPieceAndArrivesWhole)
{
    AiosmtpdServer server(AiosmtpdServer::Tls, true);
    ASSERT_NE(server.Port(), 0);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/BugReport.dmp");
    QByteArray bytes(3 * SmtpClient::kSendPiece + 12345, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 2654435761u) >> 13);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    SmallMail mail(QStringLiteral("see the archive"));
    MimeAttachment attachment(new QFile(path));
    mail.message.AddPart(&attachment);

    SmtpClient client(QStringLiteral("127.0.0.1"), server.Port(), SmtpClient::SslConnection);
    client.AddCaCertificates(QSslCertificate::fromPath(AiosmtpdServer::CertificateFile()));
    client.SetUser(QString::fromLatin1(AiosmtpdServer::kUser));
    client.SetPassword(QString::fromLatin1(AiosmtpdServer::kPassword));
    Recorder recorder;
    recorder.Attach(client);
    client.EstimateTotalBytes(&mail.message);
    ASSERT_TRUE(client.ConnectToHost());
    ASSERT_TRUE(client.Login());
    ASSERT_TRUE(client.SendMail(&mail.message));
    client.Quit();
    EXPECT_TRUE(recorder.errors.empty());
    EXPECT_FALSE(attachment.IsPrepared());   // never read whole

    // The bar moves while the attachment goes out, never back, never past the end.
    int textSteps = 0;
    for (size_t i = 0; i < recorder.progress.size(); ++i) {
        EXPECT_LE(recorder.progress[i].first, recorder.progress[i].second);
        if (i > 0) {
            EXPECT_GE(recorder.progress[i].first, recorder.progress[i - 1].first);
        }
        textSteps += recorder.progress[i].first > client.GetTotalBytes() / 10 ? 1 : 0;
    }
    EXPECT_GE(textSteps, 3);

    const QJsonObject stored = server.WaitForMail(1);
    ASSERT_FALSE(stored.isEmpty());
    EXPECT_EQ(stored["attachment_size"].toInt(), bytes.size());
    EXPECT_EQ(stored["attachment_sha256"].toString(),
              QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
}
