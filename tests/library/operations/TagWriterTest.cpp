// Tags written off the GUI thread: the song changes only in one rename on the
// GUI thread, and only while it is still the file that was copied.
#include "CTagWriter.h"
#include "ViewsTestSupport.h"

#include "../../common/Mp3Tone.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <cstring>
#include <functional>

namespace {
QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

std::string TitleOf(const QString& path)
{
    TagLib::MPEG::File mp3(path.toUtf8().constData());
    return mp3.hasID3v2Tag() ? mp3.ID3v2Tag()->title().to8Bit(true) : std::string("<no tag>");
}

MusicInfoRow Song(int id, const QString& path, const QString& title)
{
    return MakeRow(id, title, "Artist", "Album", "Pop;", DateText(0), path);
}

class TagWriterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const QString& name) const { return dir.path() + "/" + name; }
    // Nothing the writer makes on its way is left behind.
    bool NoLeftovers() const
    {
        return QDir(dir.path()).entryList({".sonacap-tagged-*", ".capdev-tags-*"}, QDir::Files | QDir::Hidden).isEmpty();
    }
    QTemporaryDir dir;
};
} // namespace

TEST_F(TagWriterTest, TheSongChangesOnlyWhenTheGuiThreadTakesTheResult)
{
    const QString song = Path("song.mp3");
    const QByteArray audio = Mp3Bytes();
    WriteFile(song, audio);
    CTagWriter writer;
    QSignalSpy busy(&writer, &CTagWriter::BusyChanged);
    QSignalSpy finished(&writer, &CTagWriter::Finished);

    ASSERT_TRUE(writer.Write(Song(7, song, "Tagged")));
    // However fast the worker is, the song is replaced only on this thread.
    EXPECT_EQ(Bytes(song), audio);
    EXPECT_TRUE(writer.IsBusy(7));
    writer.WaitUntilIdle();
    EXPECT_FALSE(writer.IsBusy(7));
    EXPECT_EQ(TitleOf(song), "Tagged");
    ASSERT_EQ(busy.size(), 2);
    EXPECT_EQ(busy.at(0), (QList<QVariant>{7, true}));
    EXPECT_EQ(busy.at(1), (QList<QVariant>{7, false}));
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished.at(0).at(2).value<CTagWriter::Outcome>(), CTagWriter::Written);
    EXPECT_TRUE(NoLeftovers());

    // Files that take no tags are not queued.
    for (const char* name : {"song.wav", "SONG.MP3"}) {
        WriteFile(Path(name), audio);
        EXPECT_FALSE(writer.Write(Song(8, Path(name), "x"))) << name;
        EXPECT_EQ(Bytes(Path(name)), audio) << name;
    }
    EXPECT_FALSE(writer.IsBusy(8));
}

TEST_F(TagWriterTest, ASongThatChangesMeanwhileKeepsWhatItHas)
{
    const QByteArray audio = Mp3Bytes();
    struct Case {
        const char* name;
        std::function<void(CTagWriter&, const QString& song)> meanwhile;
        const char* finalName;          // where the song is afterwards; empty: gone
        const char* finalTitle;
        CTagWriter::Outcome outcome;
    };
    const Case cases[] = {
        {"deleted: not brought back", [](CTagWriter&, const QString& song) { QFile::remove(song); }, "", "",
         CTagWriter::Dropped},
        {"renamed and written again: the newer write wins",
         [this](CTagWriter& w, const QString& song) {
             ASSERT_TRUE(QFile::rename(song, Path("renamed.mp3")));
             w.Write(Song(1, Path("renamed.mp3"), "Newer"));
         },
         "renamed.mp3", "Newer", CTagWriter::Written},
        {"rewritten: the other content stays",
         [this](CTagWriter&, const QString& song) {
             QFile::remove(song);
             WriteFile(song, Mp3Tone(0.3));
         },
         "song.mp3", "<no tag>", CTagWriter::Dropped},
        {"no MP3 inside: the file stays byte for byte", [](CTagWriter&, const QString&) {}, "song.mp3", "",
         CTagWriter::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        const QString song = Path("song.mp3");
        const bool broken = c.outcome == CTagWriter::Failed;
        WriteFile(song, broken ? QByteArray(5000, 'z') : audio);
        CTagWriter writer;
        QSignalSpy finished(&writer, &CTagWriter::Finished);
        QSignalSpy busy(&writer, &CTagWriter::BusyChanged);
        ASSERT_TRUE(writer.Write(Song(1, song, "Older")));
        c.meanwhile(writer, song);
        writer.WaitUntilIdle();
        ASSERT_EQ(finished.size(), 1);
        EXPECT_EQ(finished.at(0).at(2).value<CTagWriter::Outcome>(), c.outcome);
        EXPECT_EQ(busy.size(), 2);
        const QString final = QByteArray(c.finalName).isEmpty() ? QString() : Path(c.finalName);
        if (final.isEmpty()) {
            EXPECT_FALSE(QFile::exists(song));
        } else if (broken) {
            EXPECT_EQ(Bytes(final), QByteArray(5000, 'z'));
        } else {
            EXPECT_EQ(TitleOf(final), c.finalTitle);
        }
        if (final != song) {
            EXPECT_FALSE(QFile::exists(song));
        }
        EXPECT_TRUE(NoLeftovers());
    }
}

TEST_F(TagWriterTest, QuittingFinishesTheRunningWrite)
{
    const QString song = Path("song.mp3");
    WriteFile(song, Mp3Bytes());
    {
        CTagWriter writer;
        writer.Write(Song(3, song, "Before Quit"));
    }
    EXPECT_EQ(TitleOf(song), "Before Quit");
    EXPECT_TRUE(NoLeftovers());
}
