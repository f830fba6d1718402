#include "ViewsTestSupport.h"

#include "../../common/Mp3Tone.h"
#include "CListTreeItem.h"
#include "MusicDatabase.h"
#include "SystemHelpers.h"

#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QResource>
#include <QStandardPaths>
#include <QTimer>

#include <cmath>
#include <cstring>
#include <vector>


namespace {
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "library_views_test";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
    }
    void TearDown() override
    {
        delete app;
        app = nullptr;
    }
    QApplication* app = nullptr;
};
::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
} // namespace

void LibraryDbTest::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    const QString home = dir.path() + "/home";
    QDir().mkpath(home + "/.config");
    QDir().mkpath(home + "/Pictures");
    QFile dirs(home + "/.config/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_PICTURES_DIR=\"$HOME/Pictures\"\nXDG_MUSIC_DIR=\"$HOME/Music\"\n");
    dirs.close();
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home + "/.local/share").toUtf8());
    QDir().mkpath(PicturesFolder());
    ASSERT_EQ(DB_OpenDatabaseFile(dir.path() + "/music.db"), 0);
}

void LibraryDbTest::TearDown()
{
    DB_CloseDatabase();
}

QString LibraryDbTest::PicturesFolder() const
{
    QString folder;
    GetSpecialFolderPath(folder, kFolderPictures);
    return folder;
}

int LibraryDbTest::AddSong(int musicId, const QString& title, const QString& artist, const QString& album,
                           const QString& genre, const QString& dateAdded, const QString& path)
{
    MusicInfoRow row = MakeRow(musicId, title, artist, album, genre, dateAdded,
                               path.isEmpty() ? Path(QStringLiteral("song%1.mp3").arg(musicId)) : path);
    row.TimeRecorded = QStringLiteral("03:10");
    EXPECT_EQ(DB_SetMusicInfo(&row), 0);
    return musicId;
}

std::unique_ptr<MusicInfoRow> LibraryDbTest::Stored(int musicId)
{
    std::unique_ptr<MusicInfoRow> row(new MusicInfoRow());
    if (DB_GetMusicInfo(musicId, row.get()) < 1)
        return nullptr;
    DB_GetImageInfo(row.get());
    return row;
}

MusicInfoRow MakeRow(int id, const QString& title, const QString& artist, const QString& album,
                     const QString& genre, const QString& date, const QString& path)
{
    MusicInfoRow row;
    std::memset(&row.Info, 0, sizeof row.Info);
    row.MusicId = id;
    SET_FIELD(row.Info.MusicName, title);
    SET_FIELD(row.Info.Artist, artist);
    SET_FIELD(row.Info.Album, album);
    SET_FIELD(row.Info.Genre, genre);
    row.DateAdded = date;
    row.TimeRecorded = QStringLiteral("03:00");
    row.MusicPath = path;
    return row;
}

QString DateText(int daysFromToday, const QString& time)
{
    return QDate::currentDate().addDays(daysFromToday).toString(QStringLiteral("MM/dd/yyyy")) + " " + time;
}

void SetField(char* field, size_t size, const QString& text)
{
    std::memset(field, 0, size);
    CopyUtf8Field(field, size, text.toUtf8());
}

void WriteImage(const QString& path, Qt::GlobalColor color, int side)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(color);
    ASSERT_TRUE(image.save(path, "PNG"));
}

QByteArray Mp3Bytes()
{
    return Mp3Tone(0.5);
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QList<CListTreeItem*> StoredListEntries()
{
    QList<MusicListRow> lists;
    DB_GetMusicList(lists);
    QList<CListTreeItem*> entries;
    for (const MusicListRow& r : lists)
        entries.append(new CListTreeItem(r, nullptr));
    return entries;
}

SkinPictures::SkinPictures()
    : loaded(QResource::registerResource(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/skin.rcc")))
{
}

SkinPictures::~SkinPictures()
{
    if (loaded)
        QResource::unregisterResource(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/skin.rcc"));
}
