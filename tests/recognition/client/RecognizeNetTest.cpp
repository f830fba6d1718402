// The recognition client against the fake services on 127.0.0.1: the request
// it sends, the chain of answers it follows, exactly one result however a
// recognition ends, recognitions that overlap, closing in the middle of one,
// and the token request over TLS.
#include "CACRrecognize.h"
#include "FakeRecognitionService.h"
#include "TlsFront.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>
#include <thread>

namespace {

using Route = FakeRecognitionService::Route;

// A WAV image as the main window builds it: 16-bit stereo at 44.1 kHz, a tone.
QByteArray WavImage(double seconds, double hz = 440.0)
{
    const int frames = static_cast<int>(seconds * 44100);
    QByteArray pcm(frames * 4, '\0');
    for (int i = 0; i < frames; ++i) {
        const qint16 v = static_cast<qint16>(8000 * std::sin(2 * M_PI * hz * i / 44100));
        qToLittleEndian(v, pcm.data() + 4 * i);
        qToLittleEndian(v, pcm.data() + 4 * i + 2);
    }
    QByteArray header(44, '\0');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, header.data() + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, header.data() + at); };
    header.replace(0, 4, "RIFF");
    put32(4, static_cast<quint32>(pcm.size() + 36));
    header.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1);
    put16(22, 2);
    put32(24, 44100);
    put32(28, 176400);
    put16(32, 4);
    put16(34, 16);
    header.replace(36, 4, "data");
    put32(40, static_cast<quint32>(pcm.size()));
    return header + pcm;
}

FakeRecognitionService::Song Hello()
{
    return {"Hello", "Adele", "25", "2015-10-23", "Pop", 295493, "4sPmO7WMQUAf45kwMOtONw", QByteArray()};
}

bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QTest::qWait(10);
    return done();
}

struct Outcome {
    int rc = 99;
    QList<QVariantMap> results;
    QList<QVariantMap> identified;   // the song's data ahead of its cover
    QStringList order;               // "data" and "result" as they came
    int finished = 0;
};

// One recognition the way the engine's thread asks for it; the results are
// gathered until one arrived and a moment longer, so that a second one shows.
Outcome Recognise(CACRrecognize& client, const QByteArray& wav, int id, const QString& path = QString())
{
    Outcome outcome;
    QObject receiver;
    QObject::connect(&client, &CACRrecognize::signalGetResult, &receiver, [&](QMap<QString, QVariant> map) {
        outcome.results.append(map);
        outcome.order.append("result");
    });
    QObject::connect(&client, &CACRrecognize::signalIdentified, &receiver, [&](QMap<QString, QVariant> map) {
        outcome.identified.append(map);
        outcome.order.append("data");
    });
    QObject::connect(&client, &CACRrecognize::signalFinished, &receiver, [&] { ++outcome.finished; });
    std::atomic<int> rc{99};
    std::thread engine([&] { rc = path.isEmpty() ? client.RecognizeBuffer(wav, id) : client.RecognizeFile(path, id); });
    engine.join();
    outcome.rc = rc;
    WaitFor([&] { return !outcome.results.isEmpty(); }, 30000);
    QTest::qWait(200);
    return outcome;
}

class RecognizeNetTest : public ::testing::Test {
protected:
    FakeRecognitionService service{{Hello()}};
};

TEST_F(RecognizeNetTest, RecognisedSongCarriesTheServicesData)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("song temp.wav");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(WavImage(15));
    }
    struct Case {
        const char* name;
        QString path;   // empty: the WAV image in memory
    };
    const Case cases[] = {{"buffer", QString()}, {"file", path}};
    CACRrecognize client(service.Setup());
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        const Outcome outcome = Recognise(client, WavImage(15), 7, c.path);
        EXPECT_EQ(outcome.rc, 0);
        ASSERT_EQ(outcome.results.size(), 1);
        EXPECT_EQ(outcome.finished, 1);
        const QVariantMap& r = outcome.results.first();
        EXPECT_EQ(r.value("identify").toInt(), 7);
        EXPECT_EQ(r.value("message").toString(), "Success");
        EXPECT_EQ(r.value("title").toString(), "Hello");
        EXPECT_EQ(r.value("artist").toString(), "Adele");
        EXPECT_EQ(r.value("album").toString(), "25");
        EXPECT_EQ(r.value("releaseDate").toString(), "2015-10-23");
        EXPECT_EQ(r.value("genre").toString(), "Pop");
        EXPECT_EQ(r.value("duration").toInt(), 295);
        EXPECT_EQ(r.value("networkError").toInt(), 0);
        EXPECT_EQ(r.value("imageBuffer").toByteArray(), FakeRecognitionService::PictureFor(Hello().trackId, 300));

        // The request: every part in name order, signed, the sample a 12-second
        // mono WAV at 8 kHz.
        const auto forms = service.Forms();
        ASSERT_EQ(forms.size(), size_t(n + 1));
        const FakeRecognitionService::Form& form = forms.back();
        EXPECT_EQ(form.names, std::vector<std::string>({"access_key", "data_type", "sample", "sample_bytes",
                                                        "signature", "signature_version", "timestamp"}));
        EXPECT_TRUE(form.signatureValid);
        EXPECT_EQ(form.parts.at("access_key").body, FakeRecognitionService::kAccessKey);
        EXPECT_EQ(form.parts.at("data_type").body, "audio");
        EXPECT_EQ(form.parts.at("signature_version").body, "1");
        const qint64 stamp = std::stoll(form.parts.at("timestamp").body);
        EXPECT_GE(stamp, before);
        EXPECT_LE(stamp, QDateTime::currentSecsSinceEpoch());
        const FakeRecognitionService::Part& sample = form.parts.at("sample");
        EXPECT_EQ(sample.disposition, "form-data; name=\"sample\"; filename=\"sample\"");
        EXPECT_EQ(sample.contentType, "application/octet-stream");
        EXPECT_EQ(sample.body.size(), size_t(44 + 12 * 8000 * 2));
        EXPECT_EQ(sample.body.substr(0, 4), "RIFF");
        EXPECT_EQ(qFromLittleEndian<quint16>(sample.body.data() + 22), 1);      // mono
        EXPECT_EQ(qFromLittleEndian<quint32>(sample.body.data() + 24), 8000u);
        EXPECT_EQ(form.parts.at("sample_bytes").body, std::to_string(sample.body.size()));

        const auto tracks = service.Requests(FakeRecognitionService::Track);
        ASSERT_EQ(tracks.size(), size_t(n + 1));
        EXPECT_EQ(tracks.back().line, "GET /v1/tracks/" + Hello().trackId + " HTTP/1.1");
        ++n;
    }
    // The temporary file is the caller's.
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(RecognizeNetTest, EveryWayARecognitionEndsGivesExactlyOneResult)
{
    struct Case {
        const char* name;
        Route route;
        FakeRecognitionService::Override answer;
        const char* message;
        const char* title;
        int networkError;
        bool cover;
        Route notReached;   // RouteCount: every route may be reached
        bool dataFirst = false;   // the data came ahead, while the track service was asked
    };
    const char* plainIdentify = R"({"status":{"msg":"Success","code":0},"metadata":{"music":[{"title":"Plain"}]}})";
    const char* trackBand = R"({"album":{"images":[{"height":640,"url":"http://127.0.0.1:1/a"},
                                                    {"height":64,"url":"http://127.0.0.1:1/b"}]}})";
    const char* trackFile = R"({"album":{"images":[{"height":300,"url":"file:///etc/hostname"}]}})";
    const Case cases[] = {
        {"recognised", Route::RouteCount, {}, "Success", "Hello", 0, true, Route::RouteCount, true},
        {"identify server error", Route::Identify, {500, "oops"}, "", "", 0, false, Route::Token},
        {"identify time-out", Route::Identify, {200, "{}", true}, "", "", 0, false, Route::Token},
        {"identify not JSON", Route::Identify, {200, "<html>busy</html>"}, "", "", 0, false, Route::Token},
        {"no result", Route::Identify, {200, R"({"status":{"msg":"No result","code":1001}})"}, "No result", "", 0,
         false, Route::Token},
        {"no track id", Route::Identify, {200, plainIdentify}, "Success", "Plain", 0, false, Route::Token},
        {"token refused", Route::Token, {401, R"({"error":"invalid_client"})"}, "Success", "Hello", 401, false,
         Route::Track, true},
        {"token time-out", Route::Token, {200, "{}", true}, "Success", "Hello", 0, false, Route::Track, true},
        {"token not JSON", Route::Token, {200, "token?"}, "Success", "Hello", 0, false, Route::Track, true},
        {"token without access_token", Route::Token, {200, R"({"token_type":"Bearer"})"}, "Success", "Hello", 0,
         false, Route::Track, true},
        {"track not found", Route::Track, {404, "{}"}, "Success", "Hello", 404, false, Route::Image, true},
        {"track time-out", Route::Track, {200, "{}", true}, "Success", "Hello", 0, false, Route::Image, true},
        {"track not JSON", Route::Track, {200, "]"}, "Success", "Hello", 0, false, Route::Image, true},
        {"track without album", Route::Track, {200, R"({"id":"x"})"}, "Success", "Hello", 0, false, Route::Image, true},
        {"no cover of the middle size", Route::Track, {200, trackBand}, "Success", "Hello", 0, false, Route::Image,
         true},
        {"cover that is no web address", Route::Track, {200, trackFile}, "Success", "Hello", 0, false, Route::Image,
         true},
        {"cover not found", Route::Image, {404, "{}"}, "Success", "Hello", 404, false, Route::RouteCount, true},
        {"cover time-out", Route::Image, {200, "{}", true}, "Success", "Hello", 0, false, Route::RouteCount, true},
    };
    CACRrecognize client(service.Setup(800, 800));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        service.ClearOverrides();
        if (c.route != Route::RouteCount)
            service.SetOverride(c.route, c.answer);
        size_t before = c.notReached != Route::RouteCount ? service.Count(c.notReached) : 0;
        const Outcome outcome = Recognise(client, WavImage(13), 3);
        service.ReleaseStalls();
        EXPECT_EQ(outcome.rc, 0);
        ASSERT_EQ(outcome.results.size(), 1);
        EXPECT_EQ(outcome.finished, 1);
        const QVariantMap& r = outcome.results.first();
        EXPECT_EQ(r.value("identify").toInt(), 3);
        EXPECT_EQ(r.value("message").toString(), QString::fromUtf8(c.message));
        EXPECT_EQ(r.value("title").toString(), QString::fromUtf8(c.title));
        EXPECT_EQ(r.value("networkError").toInt(), c.networkError);
        EXPECT_EQ(!r.value("imageBuffer").toByteArray().isEmpty(), c.cover);
        ASSERT_EQ(outcome.identified.size(), c.dataFirst ? 1 : 0);
        if (c.dataFirst) {
            const QVariantMap& data = outcome.identified.first();
            EXPECT_EQ(outcome.order, QStringList({"data", "result"}));
            EXPECT_EQ(data.value("identify").toInt(), 3);
            EXPECT_EQ(data.value("message").toString(), "Success");
            EXPECT_EQ(data.value("title").toString(), "Hello");
            EXPECT_EQ(data.value("artist").toString(), "Adele");
            EXPECT_TRUE(data.value("imageBuffer").toByteArray().isEmpty());
        }
        if (c.notReached != Route::RouteCount) {
            EXPECT_EQ(service.Count(c.notReached), before);
        }
    }
    service.ClearOverrides();
}

TEST_F(RecognizeNetTest, WithoutTheServicesConfiguredNothingIsSent)
{
    struct Case {
        const char* name;
        void (*change)(RecognitionSetup&);
        const char* message;
        bool sendsIdentify;
    };
    const Case cases[] = {
        {"nothing configured", [](RecognitionSetup& s) { s = RecognitionSetup(); }, "", false},
        {"no identify base", [](RecognitionSetup& s) { s.identifyBase.clear(); }, "", false},
        {"no access secret", [](RecognitionSetup& s) { s.accessSecret.clear(); }, "", false},
        {"no track service", [](RecognitionSetup& s) { s.clientSecret.clear(); }, "Success", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecognitionSetup setup = service.Setup();
        c.change(setup);
        CACRrecognize client(setup);
        const size_t identify = service.Count(Route::Identify);
        const size_t token = service.Count(Route::Token);
        const Outcome outcome = Recognise(client, WavImage(13), 1);
        EXPECT_EQ(outcome.rc, 0);
        ASSERT_EQ(outcome.results.size(), 1);
        EXPECT_EQ(outcome.results.first().value("message").toString(), QString::fromUtf8(c.message));
        EXPECT_TRUE(outcome.results.first().value("imageBuffer").toByteArray().isEmpty());
        EXPECT_TRUE(outcome.identified.isEmpty()) << "no cover follows: the result is all";
        EXPECT_EQ(service.Count(Route::Identify), identify + (c.sendsIdentify ? 1 : 0));
        EXPECT_EQ(service.Count(Route::Token), token);
    }
}

TEST_F(RecognizeNetTest, AudioThatCannotBeCutStillAsksWithAnEmptySample)
{
    CACRrecognize client(service.Setup());
    const Outcome outcome = Recognise(client, QByteArray("this is no WAV image at all"), 1);
    EXPECT_EQ(outcome.rc, 0);
    ASSERT_EQ(outcome.results.size(), 1);
    const auto forms = service.Forms();
    ASSERT_EQ(forms.size(), 1u);
    EXPECT_TRUE(forms[0].signatureValid);
    EXPECT_EQ(forms[0].parts.at("sample").body, "");
    EXPECT_EQ(forms[0].parts.at("sample").disposition, "form-data; name=\"sample\"; filename=\"sample\"");
    EXPECT_EQ(forms[0].parts.at("sample_bytes").body, "0");
}

TEST_F(RecognizeNetTest, OverlappingRecognitionsKeepTheirOwnData)
{
    FakeRecognitionService two({{"First", "Artist One", "Album One", "2001", "Rock", 100000, "trackOne", {}},
                                {"Second", "Artist Two", "Album Two", "2002", "Jazz", 200000, "trackTwo", {}}});
    CACRrecognize client(two.Setup());
    QList<QVariantMap> results;
    QObject receiver;
    QObject::connect(&client, &CACRrecognize::signalGetResult, &receiver,
                     [&](QMap<QString, QVariant> map) { results.append(map); });
    // Both entry points run at once, as two songs' captures would; the two
    // jobs' requests and answers interleave on the recognition thread.
    std::thread first([&] { client.RecognizeBuffer(WavImage(13, 440), 1); });
    std::thread second([&] { client.RecognizeBuffer(WavImage(13, 880), 2); });
    first.join();
    second.join();
    ASSERT_TRUE(WaitFor([&] { return results.size() >= 2; }, 30000));
    QTest::qWait(200);
    ASSERT_EQ(results.size(), 2);
    QSet<QString> titles;
    QSet<int> ids;
    for (const QVariantMap& r : results) {
        const QString title = r.value("title").toString();
        titles.insert(title);
        ids.insert(r.value("identify").toInt());
        const bool one = title == "First";
        EXPECT_EQ(r.value("artist").toString(), one ? "Artist One" : "Artist Two");
        EXPECT_EQ(r.value("genre").toString(), one ? "Rock" : "Jazz");
        EXPECT_EQ(r.value("duration").toInt(), one ? 100 : 200);
        EXPECT_EQ(r.value("imageBuffer").toByteArray(),
                  FakeRecognitionService::PictureFor(one ? "trackOne" : "trackTwo", 300));
    }
    EXPECT_EQ(titles, QSet<QString>({"First", "Second"}));
    EXPECT_EQ(ids, QSet<int>({1, 2}));
}

TEST_F(RecognizeNetTest, ClosingDuringARecognitionNeitherWaitsNorReports)
{
    service.SetOverride(Route::Identify, {200, "{}", true});
    auto client = std::make_unique<CACRrecognize>(service.Setup(60000, 60000));
    int results = 0;
    QObject receiver;
    QObject::connect(client.get(), &CACRrecognize::signalGetResult, &receiver, [&] { ++results; });
    std::future<int> engine = std::async(std::launch::async, [&] { return client->RecognizeBuffer(WavImage(13), 1); });
    ASSERT_TRUE(service.WaitFor(Route::Identify, 1, 10000));

    client->Shutdown();
    // The waiting entry point returns at once, not after the minute's time-out.
    ASSERT_EQ(engine.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(engine.get(), 0);
    // Later requests go nowhere.
    EXPECT_EQ(client->RecognizeBuffer(WavImage(13), 2), 0);
    QTest::qWait(200);
    client.reset();
    QTest::qWait(100);
    EXPECT_EQ(results, 0);
    EXPECT_EQ(service.Count(Route::Identify), 1u);
    service.ClearOverrides();
}

// While the cover is on its way the song's data is the caller's already. The
// program closing then keeps it: it is delivered even when the close comes
// before its queued delivery ran, and nothing comes after the close.
TEST_F(RecognizeNetTest, TheDataComesAheadOfTheCoverAndClosingKeepsIt)
{
    const struct {
        const char* name;
        bool deliveredBeforeTheClose;
    } cases[] = {{"delivered while the cover hangs", true}, {"handed over just before the close", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        service.ClearOverrides();
        service.SetOverride(Route::Token, {200, "{}", true});
        auto client = std::make_unique<CACRrecognize>(service.Setup(60000, 60000));
        QList<QVariantMap> data;
        int results = 0;
        QObject receiver;
        QObject::connect(client.get(), &CACRrecognize::signalIdentified, &receiver,
                         [&](QMap<QString, QVariant> map) { data.append(map); });
        QObject::connect(client.get(), &CACRrecognize::signalGetResult, &receiver, [&] { ++results; });
        const size_t tokens = service.Count(Route::Token);
        std::thread engine([&] { client->RecognizeBuffer(WavImage(13), 5); });
        engine.join();
        // The data is handed over before the token request goes out.
        ASSERT_TRUE(service.WaitFor(Route::Token, tokens + 1, 10000));
        if (c.deliveredBeforeTheClose)
            ASSERT_TRUE(WaitFor([&] { return !data.isEmpty(); }, 10000));
        else
            EXPECT_TRUE(data.isEmpty()) << "no event was handled since";

        client->Shutdown();
        ASSERT_EQ(data.size(), 1);
        EXPECT_EQ(data.first().value("identify").toInt(), 5);
        EXPECT_EQ(data.first().value("title").toString(), "Hello");
        EXPECT_EQ(data.first().value("album").toString(), "25");
        EXPECT_TRUE(data.first().value("imageBuffer").toByteArray().isEmpty());
        service.ReleaseStalls();
        QTest::qWait(200);
        client.reset();
        QTest::qWait(100);
        EXPECT_EQ(results, 0);
        EXPECT_EQ(data.size(), 1);
    }
    service.ClearOverrides();
}

// The caller is the engine's processing thread, whose lock Stop needs: the
// entry point hands the request over and returns while the service hangs;
// the recognition still ends with its one result.
TEST_F(RecognizeNetTest, EntryPointReturnsWhileTheServiceHangs)
{
    service.SetOverride(Route::Identify, {200, "{}", true});
    CACRrecognize client(service.Setup(60000, 60000));
    QList<QVariantMap> results;
    QObject receiver;
    QObject::connect(&client, &CACRrecognize::signalGetResult, &receiver,
                     [&](QMap<QString, QVariant> map) { results.append(map); });
    QElapsedTimer timer;
    timer.start();
    std::future<int> engine = std::async(std::launch::async, [&] { return client.RecognizeBuffer(WavImage(13), 1); });
    ASSERT_EQ(engine.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_EQ(engine.get(), 0);
    std::printf("the entry point returned after %lld ms with the service hanging\n",
                static_cast<long long>(timer.elapsed()));
    ASSERT_TRUE(service.WaitFor(Route::Identify, 1, 10000));
    EXPECT_TRUE(results.isEmpty());

    service.ReleaseStalls();
    ASSERT_TRUE(WaitFor([&] { return !results.isEmpty(); }, 10000));
    QTest::qWait(200);
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results.first().value("identify").toInt(), 1);
    EXPECT_NE(results.first().value("message").toString(), "Success");
    service.ClearOverrides();
}

TEST_F(RecognizeNetTest, IdentifyGivesUpAfterFiveSeconds)
{
    // The program's own time-outs, not the short ones of the other tests.
    RecognitionSetup setup = service.Setup();
    setup.identifyTimeoutMs = RecognitionSetup().identifyTimeoutMs;
    ASSERT_EQ(setup.identifyTimeoutMs, 5000);
    ASSERT_EQ(RecognitionSetup().serviceTimeoutMs, 10000);
    service.SetOverride(Route::Identify, {200, "{}", true});
    CACRrecognize client(setup);
    QElapsedTimer timer;
    timer.start();
    const Outcome outcome = Recognise(client, WavImage(13), 1);
    EXPECT_GE(timer.elapsed(), 4500);
    ASSERT_EQ(outcome.results.size(), 1);
    EXPECT_EQ(outcome.results.first().value("message").toString(), "");
    service.ClearOverrides();
}

TEST_F(RecognizeNetTest, TokenRequestVerifiesTheServerOverModernTls)
{
    TlsFront front(service.Port());
    ASSERT_TRUE(front.Ready());
    const QString base = QString::fromStdString(front.Address());
    struct Case {
        const char* name;
        bool trusted;
    };
    for (const Case& c : {Case{"unknown certificate", false}, Case{"trusted certificate", true}}) {
        SCOPED_TRACE(c.name);
        RecognitionSetup setup = service.Setup(5000, 5000, base);
        if (c.trusted)
            setup.extraCaCertificates = front.Certificate();
        CACRrecognize client(setup);
        const size_t tokens = service.Count(Route::Token);
        const int failed = front.FailedHandshakes();
        const Outcome outcome = Recognise(client, WavImage(13), 1);
        ASSERT_EQ(outcome.results.size(), 1);
        const QVariantMap& r = outcome.results.first();
        EXPECT_EQ(r.value("message").toString(), "Success");
        EXPECT_EQ(r.value("title").toString(), "Hello");
        if (c.trusted) {
            EXPECT_EQ(r.value("imageBuffer").toByteArray(), FakeRecognitionService::PictureFor(Hello().trackId, 300));
            EXPECT_EQ(service.Count(Route::Token), tokens + 1);
        } else {
            // The secret never reached a server the client cannot trust.
            EXPECT_TRUE(r.value("imageBuffer").toByteArray().isEmpty());
            EXPECT_EQ(service.Count(Route::Token), tokens);
            EXPECT_GT(front.FailedHandshakes(), failed);
        }
    }
    const auto protocols = front.Protocols();
    ASSERT_FALSE(protocols.empty());
    for (const std::string& protocol : protocols)
        EXPECT_TRUE(protocol == "TLSv1.2" || protocol == "TLSv1.3") << protocol;
}

} // namespace
