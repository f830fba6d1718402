#include "FileTimeHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace {
void Touch(const QString& path, const QByteArray& content = QByteArray())
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

QByteArray Content(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
}  // namespace

TEST(FileTimeHelpers, MakeValidFileName)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {".Hello: World?", "_Hello_ World_"},
        {"a*b/c\\d:e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
        {"..hidden", "_.hidden"},
        {"  spaced  ", "spaced"},
        {"", ""},
        {"Caf\xc3\xa9 \xe9\x9f\xb3", "Caf\xc3\xa9 \xe9\x9f\xb3"},
        // Control characters inside become "_"; at the ends they go with the blanks.
        {"j\nk\tl", "j_k_l"},
        {"a\rb\x1b" "c\x7f" "d\xc2\x85" "e\xc2\x9f" "f", "a_b_c_d_e_f"},
        {"\tMein Lied\r\n", "Mein Lied"},
        // Blanks at both ends and dots at the end go; a dot inside stays.
        {"Mein Lied  ", "Mein Lied"},
        {"Mr. Brightside...", "Mr. Brightside"},
        {"Song . . ", "Song"},
        {" .hidden", "_hidden"},
        {"Lied\xe3\x80\x80", "Lied"},   // an ideographic space
        // Direction overrides and marks, which would show the name in another
        // order than it is stored, go; the letters stay.
        {"Song\xe2\x80\xae" "3pm.exe", "Song3pm.exe"},
        {"\xe2\x81\xa7" "a\xe2\x80\x8f" "b\xe2\x81\xa9 ", "ab"},
        // Nothing left: the caller's own name takes its place.
        {" ... ", ""},
        {"\n", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QString::fromUtf8(c.out), MakeValidFileName(QString::fromUtf8(c.in))) << c.in;
}

TEST(FileTimeHelpers, UniqueOutputNameSkipsEveryTakenExtension)
{
    QTemporaryDir dir;
    Touch(dir.filePath("Song.mp3"));
    Touch(dir.filePath("Song 1.wav"));
    Touch(dir.filePath("Song 3.m4a"));

    const QString path = GetUniqueOutputFileName("Song", dir.path(), "mp3");
    EXPECT_EQ(dir.path() + "/Song 2.mp3", path);
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_EQ(0, QFileInfo(path).size());

    // The reservation itself now takes "Song 2"; "Song 3" is taken by .m4a.
    EXPECT_EQ(dir.path() + "/Song 4.wav", GetUniqueOutputFileName("Song", dir.path() + "/", "wav"))
        << "a folder ending in / gets no second /";
    // Untaken names, wildcard characters in the base name included.
    EXPECT_EQ(dir.path() + "/Other.mp3", GetUniqueOutputFileName("Other", dir.path(), "mp3"));
    Touch(dir.filePath("Mix [live].mp3"));
    EXPECT_EQ(dir.path() + "/Mix [live] 1.mp3", GetUniqueOutputFileName("Mix [live]", dir.path(), "mp3"));
    Touch(dir.filePath("Sx.mp3"));
    EXPECT_EQ(dir.path() + "/S*.mp3", GetUniqueOutputFileName("S*", dir.path(), "mp3"))
        << "a * in the base name matches itself only";
}

TEST(FileTimeHelpers, UniqueOutputNameTakesTheLowestFreeNumber)
{
    // Each case starts from an empty folder holding `existing` ("/" at the end
    // makes a folder instead of a file).
    const struct {
        std::vector<const char*> existing;
        const char* base;
        const char* expected;
    } cases[] = {
        {{"Track.mp3", "Track 2.mp3", "Track 3.wav"}, "Track", "Track 1"},
        {{"Track.mp3", "Track 1.mp3", "Track 10.mp3"}, "Track", "Track 2"},
        {{"TRACK.MP3", "track 1.Wav"}, "Track", "Track 2"},
        {{".Track.m4a"}, ".Track", ".Track 1"},
        {{"Track.flac", "Track.mp3.part", "Track.mp3/", "Track 1.mp3"}, "Track", "Track"},
        {{"Track.mp3", "Track 1.mp3", "Track 01.mp3"}, "Track", "Track 2"},
        {{"Mix [a].mp3", "Mix a.mp3", "Mix b.mp3"}, "Mix [ab]", "Mix [ab]"},
        {{"Mix [ab].mp3", "Mix a 1.mp3"}, "Mix [ab]", "Mix [ab] 1"},
        {{"Why 1.mp3", "Whx.mp3"}, "Wh?", "Wh?"},
        {{"Caf\xc3\x89.mp3"}, "Caf\xc3\xa9", "Caf\xc3\xa9 1"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        for (const char* name : c.existing) {
            const QString path = dir.filePath(QString::fromUtf8(name));
            if (path.endsWith('/'))
                ASSERT_TRUE(QDir().mkpath(path));
            else
                Touch(path);
        }
        EXPECT_EQ(dir.path() + "/" + QString::fromUtf8(c.expected) + ".mp3",
                  GetUniqueOutputFileName(QString::fromUtf8(c.base), dir.path(), "mp3"))
            << c.base << " after " << c.existing.front();
    }
}

TEST(FileTimeHelpers, SaveLoadMuiscNameRenamesAfterTheTitle)
{
    QTemporaryDir dir;
    const QString first = dir.filePath("2024-05-01 10-00-00.mp3");
    Touch(first, "first");
    QString path = first;
    SaveLoadMuiscName("Hello", path);
    EXPECT_EQ(dir.path() + "/Hello.mp3", path);
    EXPECT_EQ(QByteArray("first"), Content(path));
    EXPECT_FALSE(QFile::exists(first));

    const QString second = dir.filePath("2024-05-01 10-05-00.mp3");
    Touch(second, "second");
    path = second;
    SaveLoadMuiscName("Hello", path);
    EXPECT_EQ(dir.path() + "/Hello 1.mp3", path);
    EXPECT_EQ(QByteArray("second"), Content(path));
    EXPECT_EQ(QByteArray("first"), Content(dir.path() + "/Hello.mp3"));

    // A base name that already holds the sanitised title stays.
    const QString third = dir.filePath("What_ Now.wav");
    Touch(third, "third");
    path = third;
    SaveLoadMuiscName("What? Now", path);
    EXPECT_EQ(third, path);

    // A title with a dot: the file named after it already is not renamed
    // again (its name is cut at the extension only).
    const QString dotted = dir.filePath("Mr. Brightside.mp3");
    Touch(dotted, "dotted");
    path = dotted;
    SaveLoadMuiscName("Mr. Brightside", path);
    EXPECT_EQ(dotted, path);
    EXPECT_EQ(QStringLiteral("Mr. Brightside"), TitleFromFileName(dotted));
    EXPECT_EQ(QStringLiteral("song.final"), TitleFromFileName("/m/song.final.mp3"));

    // A missing file: path stays, and no stray reservation is left behind.
    path = dir.filePath("gone.mp3");
    EXPECT_TRUE(SaveLoadMuiscName("Ghost", path));
    EXPECT_EQ(dir.filePath("gone.mp3"), path);
    EXPECT_FALSE(QFile::exists(dir.filePath("Ghost.mp3")));
}

TEST(FileTimeHelpers, SaveLoadMuiscNameTellsWhenTheNameCannotBeTaken)
{
    QTemporaryDir dir;
    const QString song = dir.filePath("2024-05-01 10-00-00.mp3");
    Touch(song, "song");

    // A folder holds the name: nothing is removed or overwritten, the song
    // keeps its name and the caller hears of it.
    ASSERT_TRUE(QDir(dir.path()).mkdir("Blocked.mp3"));
    Touch(dir.filePath("Blocked.mp3/inside"), "keep");
    QString path = song;
    EXPECT_FALSE(SaveLoadMuiscName("Blocked", path));
    EXPECT_EQ(song, path);
    EXPECT_EQ(QByteArray("song"), Content(song));
    EXPECT_EQ(QByteArray("keep"), Content(dir.filePath("Blocked.mp3/inside")));

    // A title longer than a file name can hold (127 Japanese characters are
    // 381 bytes) gives a name cut at a character boundary.
    QString title;
    for (int i = 0; i < 127; ++i)
        title += QChar(0x97f3);
    EXPECT_TRUE(SaveLoadMuiscName(title, path));
    EXPECT_NE(song, path);
    EXPECT_EQ(QByteArray("song"), Content(path));
    const QString name = QFileInfo(path).fileName();
    EXPECT_LE(name.toUtf8().size(), 255);
    EXPECT_TRUE(name.startsWith(title.left(60)));
    EXPECT_TRUE(name.endsWith(".mp3"));
}

TEST(FileTimeHelpers, TimeTextBothWays)
{
    const struct {
        unsigned seconds;
        const char* text;
    } cases[] = {
        {0, "00:00"}, {59, "00:59"}, {65, "01:05"}, {3599, "59:59"}, {3600, "1:00:00"},
        {3725, "1:02:05"}, {36000, "10:00:00"}, {360000, "100:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QString(c.text), SecondToTimeText(c.seconds)) << c.seconds;
        EXPECT_EQ(int(c.seconds), TimeTextToSecond(c.text)) << c.text;
    }
    // Parts that do not convert count as 0.
    EXPECT_EQ(5, TimeTextToSecond("xx:05"));
    EXPECT_EQ(0, TimeTextToSecond(""));
    EXPECT_EQ(65, TimeTextToSecond("ab:01:05"));
}

TEST(FileTimeHelpers, LittleEndianBytes)
{
    EXPECT_EQ(QByteArray("\x78\x56\x34\x12", 4), IntToLittleEndianBytes(0x12345678));
    EXPECT_EQ(QByteArray("\xff\xff\xff\xff", 4), IntToLittleEndianBytes(-1));
    EXPECT_EQ(QByteArray("\x34\x12", 2), ShortToLittleEndianBytes(0x1234));
    EXPECT_EQ(QByteArray("\x00\x80", 2), ShortToLittleEndianBytes(qint16(-32768)));
}
