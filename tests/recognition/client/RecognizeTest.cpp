// The recognition client's start: every request ends at once, unrecognised,
// with one result map and then the finished signal.
#include "CACRrecognize.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

namespace {
struct Case {
    const char* name;
    int kind;   // 0 file path, 1 buffer
    QString path;
    QByteArray buffer;
    int expected;
};

void ExpectReset(const QVariantMap& map, int id)
{
    EXPECT_EQ(map.value("identify").toInt(), id);
    for (const char* key : {"title", "album", "artist", "releaseDate", "genre", "message"}) {
        ASSERT_TRUE(map.contains(key)) << key;
        EXPECT_TRUE(map.value(key).toString().isEmpty()) << key;
    }
    EXPECT_EQ(map.value("duration").toInt(), 0);
    EXPECT_EQ(map.value("networkError").toInt(), 0);
    EXPECT_TRUE(map.value("imageBuffer").toByteArray().isEmpty());
    EXPECT_NE(map.value("message").toString(), QStringLiteral("Success"));
}
} // namespace

TEST(RecognizeTest, EveryRequestEndsOnceUnrecognised)
{
    QTemporaryDir dir;
    const QString readable = dir.path() + "/song.wav";
    QFile file(readable);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(64, 'x'));
    file.close();

    const Case cases[] = {
        {"empty path", 0, QString(), {}, -1},
        {"missing file", 0, dir.path() + "/none.wav", {}, -1},
        {"folder", 0, dir.path(), {}, -1},
        {"readable file", 0, readable, {}, 0},
        {"null buffer", 1, {}, QByteArray(), -2},
        {"empty buffer", 1, {}, QByteArray(""), -2},
        {"wav image", 1, {}, QByteArray(44, '\0'), 0},
    };
    CACRrecognize client{RecognitionSetup()};
    // A result of an earlier song must not leak into the next one.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QSignalSpy results(&client, &CACRrecognize::signalGetResult);
        QSignalSpy finished(&client, &CACRrecognize::signalFinished);
        const int rc = c.kind == 0 ? client.RecognizeFile(c.path, 7)
                                   : client.RecognizeBuffer(c.buffer, 7);
        EXPECT_EQ(rc, c.expected);
        ASSERT_EQ(results.count(), 1);
        EXPECT_EQ(finished.count(), 1);
        ExpectReset(results.at(0).at(0).toMap(), 7);
    }
}

TEST(RecognizeTest, ResultReachesAQueuedReceiverFromAnotherThread)
{
    // The main window receives the map queued on the GUI thread while the
    // request ran on the engine's thread.
    CACRrecognize client{RecognitionSetup()};
    QVariantMap received;
    QObject receiver;
    QObject::connect(&client, &CACRrecognize::signalGetResult, &receiver,
                     [&](QMap<QString, QVariant> map) { received = map; }, Qt::QueuedConnection);
    std::thread worker([&] { client.RecognizeBuffer(QByteArray(44, '\0'), 1); });
    worker.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(received.value("identify").toInt(), 1);
}
