// The library met with each fault users meet. A damaged file is kept once as
// it was, and the fresh library made in its place holds exactly what the
// file's intact pages hold, row for row: the songs with their keys, the play
// lists, the entries and covers of the songs kept, and apart from them, the
// entries and covers of songs that were lost. Another program's lock, a
// read-only folder and a full disk are no damage: the file stays as it is.
// Each is followed by a new song that goes into the library at once, or once
// the fault is gone.
#include "../../common/DamagedLibrary.h"
#include "../../common/SmallDisk.h"
#include "MusicDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cctype>
#include <memory>
#include <set>
#include <unistd.h>

namespace {

using damaged_library::Damage;

std::multiset<QByteArray> ValuesOf(const damaged_library::Rows& rows)
{
    std::multiset<QByteArray> values;
    for (const auto& row : rows)
        values.insert(row.second);
    return values;
}

// The library every case starts from, made once.
struct Library {
    QByteArray bytes;
    damaged_library::Survey survey;
    std::map<QString, damaged_library::Rows> rows;
};

const Library& TheLibrary()
{
    static const Library library = [] {
        Library made;
        QTemporaryDir dir;
        const QString path = dir.filePath("music.db");
        const bool ok = damaged_library::MakeLibrary(
            path, [](int id) { return QStringLiteral("/music/a song with a name long enough %1.mp3").arg(id); },
            [](int id) { return QStringLiteral("/covers/%1.jpg").arg(id); });
        if (ok) {
            made.bytes = damaged_library::ReadAll(path);
            made.survey = damaged_library::SurveyOf(path);
            made.rows = damaged_library::TablesOf(path);
        }
        return made;
    }();
    return library;
}

class LibraryRepair : public ::testing::TestWithParam<Damage> {
protected:
    void TearDown() override { DB_CloseDatabase(); }

    QStringList KeptCopies(const QString& folder) const
    {
        return QDir(folder).entryList({"music.db.damaged-*"}, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    static MusicInfoRow NewSong(int id)
    {
        MusicInfoRow song;
        song.MusicId = id;
        song.MusicPath = QStringLiteral("/music/recorded after %1.mp3").arg(id);
        song.TimeRecorded = "00:03";
        return song;
    }
};

TEST_P(LibraryRepair, KeepsWhatTheIntactPagesHold)
{
    const Damage& damage = GetParam();
    const Library& library = TheLibrary();
    ASSERT_FALSE(library.bytes.isEmpty());
    ASSERT_GT(library.survey.interior.at("MusicInfo").size(), 1u) << "the songs' b-tree has interior pages";

    QTemporaryDir dir;
    std::unique_ptr<SmallDisk> disk;
    QString folder = dir.path();
    if (damage.kind == Damage::ReadOnlyFolder || damage.kind == Damage::FullDisk) {
        disk.reset(new SmallDisk(8u << 20));
        if (!disk->Mounted())
            GTEST_SKIP() << disk->Why();
        folder = QString::fromStdString(disk->Path());
    }
    const QString path = folder + "/music.db";
    ASSERT_TRUE(damaged_library::WriteAll(path, library.bytes));
    ASSERT_TRUE(damaged_library::Apply(damage, path, library.survey));
    const QByteArray damaged = damaged_library::ReadAll(path);
    std::unique_ptr<damaged_library::ForeignWriteLock> other;
    constexpr int kWritten = 90001;   // the song the other program writes
    if (damage.kind == Damage::LockedMoment)
        other.reset(new damaged_library::ForeignWriteLock(path, 500));
    else if (damage.kind == Damage::LockedWriting)
        other.reset(new damaged_library::ForeignWriteLock(path, 700, kWritten));
    else if (damage.kind == Damage::LockedLong)
        other.reset(new damaged_library::ForeignWriteLock(path, -1, kWritten));
    if (other) {
        ASSERT_TRUE(other->Locked());
    }
    if (damage.kind == Damage::ReadOnlyFolder) {
        ASSERT_TRUE(damaged_library::Remount(disk->Path(), true));
    }
    if (damage.kind == Damage::FullDisk) {
        ASSERT_TRUE(damaged_library::FillDisk(folder + "/filler"));
    }

    ASSERT_EQ(0, DB_OpenDatabaseFile(path));
    ASSERT_TRUE(DB_IsOpen());
    const LibraryRepairReport report = DB_LastRepair();
    EXPECT_EQ(report.rebuilt, damage.Rebuilds());
    EXPECT_EQ(DB_LibraryInUse(), damage.kind == Damage::LockedLong);
    const damaged_library::Kept kept = damaged_library::KeptOf(
        damaged_library::IntactRows(library.rows, library.survey, damage.Lost(library.survey)));
    QString backup;
    DB_OpenProblem(&backup);

    if (damage.Rebuilds()) {
        EXPECT_NE(report.fault, LibraryRepairReport::NoFault);
        EXPECT_EQ(report.songsSaved, static_cast<int>(kept.songs.size()));
        EXPECT_EQ(report.itemsSaved, static_cast<int>(kept.items.size()));
        EXPECT_EQ(report.coversSaved, static_cast<int>(kept.covers.size()));
        EXPECT_EQ(report.itemsWaiting, static_cast<int>(kept.itemsWaiting.size()));
        EXPECT_EQ(report.coversWaiting, static_cast<int>(kept.coversWaiting.size()));
        // The file as it was, kept once (an empty file holds nothing to keep).
        if (damage.kind == Damage::Emptied) {
            EXPECT_TRUE(backup.isEmpty());
        } else if (damage.kind == Damage::Folder) {
            EXPECT_TRUE(QFileInfo::exists(backup + "/note.txt")) << backup.toStdString();
        } else {
            EXPECT_TRUE(damaged_library::ReadAll(backup) == damaged) << "the copy is the file as it was";
        }
        EXPECT_EQ(KeptCopies(folder).size(), damage.kind == Damage::Emptied ? 0 : 1);
        EXPECT_FALSE(QFileInfo::exists(path + "-journal"));

        // Row for row what the intact pages held.
        DB_CloseDatabase();
        std::map<QString, damaged_library::Rows> rebuilt = damaged_library::TablesOf(path);
        EXPECT_TRUE(rebuilt["MusicInfo"] == kept.songs) << rebuilt["MusicInfo"].size() << " songs";
        EXPECT_TRUE(rebuilt["MusicItem"] == kept.items) << rebuilt["MusicItem"].size() << " entries";
        EXPECT_TRUE(rebuilt["CoverInfo"] == kept.covers) << rebuilt["CoverInfo"].size() << " covers";
        // Waiting apart, in rows of their own.
        EXPECT_EQ(ValuesOf(rebuilt["MusicItemUnlinked"]), ValuesOf(kept.itemsWaiting));
        EXPECT_EQ(ValuesOf(rebuilt["CoverInfoUnlinked"]), ValuesOf(kept.coversWaiting));
        // The lists that read, the fixed ones first when they did not; the
        // default play list only when no list read.
        std::set<QByteArray> listIds = damaged_library::Keys(rebuilt["MusicList"], 0);
        for (const auto& list : kept.lists)
            EXPECT_TRUE(rebuilt["MusicList"].count(list.first)) << list.second.toStdString();
        for (const char* fixed : {"1", "2", "3"})
            EXPECT_TRUE(listIds.count(fixed)) << fixed;
        EXPECT_EQ(listIds.count("4") == 1, kept.lists.empty());
        ASSERT_EQ(0, DB_OpenDatabaseFile(path));
    } else {
        EXPECT_EQ(report.fault, LibraryRepairReport::NoFault);
        EXPECT_TRUE(backup.isEmpty());
        EXPECT_TRUE(KeptCopies(folder).isEmpty()) << "nothing copied, moved or replaced";
        std::vector<MusicInfoListRow> songs;
        bool complete = false;
        DB_GetAllMusicListRows(songs, &complete);
        EXPECT_TRUE(complete);
        EXPECT_EQ(songs.size(), library.rows.at("MusicInfo").size() + (damage.kind == Damage::LockedWriting ? 1 : 0));
    }

    // The other program's work went through, and is in the library (once
    // the library is taken up, for a lock that outlasted the wait).
    auto written = [&] {
        EXPECT_TRUE(other->Committed()) << other->Output().toStdString();
        MusicInfoRow row;
        EXPECT_EQ(1, DB_GetMusicInfo(kWritten, &row));
        EXPECT_EQ(row.MusicPath, "/elsewhere/written meanwhile.mp3");
    };
    if (damage.kind == Damage::LockedWriting)
        written();

    // A new song and its list entry: at once, or once the fault is gone.
    MusicInfoRow song = NewSong(CreatePrimaryKey("MusicInfo", "MusicId", 1, kMaxMusicInfoRows));
    ASSERT_GT(song.MusicId, 0);
    if (damage.RefusesSongs()) {
        EXPECT_NE(0, DB_SetMusicInfo(&song));
        if (damage.kind == Damage::LockedLong) {
            EXPECT_EQ(0, DB_TakeUpLibraryWhenFree());
            EXPECT_TRUE(damaged_library::ReadAll(path) == damaged) << "the file is not touched";
            EXPECT_TRUE(QFileInfo::exists(path + "-journal")) << "nor the other program's journal";
            other->Release();
            EXPECT_EQ(1, DB_TakeUpLibraryWhenFree());
            EXPECT_FALSE(DB_LibraryInUse());
            written();
        } else {
            DB_CloseDatabase();
            if (damage.kind == Damage::ReadOnlyFolder)
                ASSERT_TRUE(damaged_library::Remount(disk->Path(), false));
            else
                ASSERT_TRUE(QFile::remove(folder + "/filler"));
            ASSERT_EQ(0, DB_OpenDatabaseFile(path));
        }
    }
    EXPECT_EQ(0, DB_SetMusicInfo(&song));
    std::vector<int> itemIds;
    EXPECT_EQ(0, DB_SetMusicItems(7, {song.MusicId}, itemIds));
    DB_CloseDatabase();

    // The next start finds a sound library: nothing to tell, no new copy.
    ASSERT_EQ(0, DB_OpenDatabaseFile(path));
    EXPECT_TRUE(DB_OpenProblem().isEmpty());
    EXPECT_EQ(DB_LastRepair().fault, LibraryRepairReport::NoFault);
    MusicInfoRow back;
    EXPECT_EQ(1, DB_GetMusicInfo(song.MusicId, &back));
    EXPECT_EQ(back.MusicPath, song.MusicPath);
    MusicInfoRow theirs;
    EXPECT_EQ(DB_GetMusicInfo(kWritten, &theirs), other && damage.kind != Damage::LockedMoment ? 1 : 0);
    EXPECT_EQ(KeptCopies(folder).size(), damage.Rebuilds() && damage.kind != Damage::Emptied ? 1 : 0);
    DB_CloseDatabase();

    // The same damaged file met again keeps no second copy.
    if (damage.Rebuilds() && damage.kind != Damage::Folder && damage.kind != Damage::Emptied) {
        ASSERT_TRUE(damaged_library::WriteAll(path, damaged));
        ASSERT_EQ(0, DB_OpenDatabaseFile(path));
        QString second;
        DB_OpenProblem(&second);
        EXPECT_EQ(second, backup);
        EXPECT_EQ(KeptCopies(folder).size(), 1);
        DB_CloseDatabase();
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, LibraryRepair, ::testing::ValuesIn(damaged_library::Damages()),
                         [](const ::testing::TestParamInfo<Damage>& info) {
                             return damaged_library::Identifier(info.param);
                         });

} // namespace

namespace {

// A library another program held longer than the open's wait is taken up
// once that program lets go only while the rows shown meanwhile are still
// the file's: the library page acts on rows by their keys, and a key that
// now names another row, or none, would have a deletion or a list's removal
// meet what the user never saw. Otherwise it stays read-only, the file as
// the other program left it, until the next start opens it as usual.
TEST(LibraryInUse, IsTakenUpOnlyWhileTheRowsShownAreTheFilesOwn)
{
    struct Case {
        const char* name;
        int musicId;          // a song the other program adds
        const char* change;   // what else it does meanwhile
        const char* setup;    // before its write begins
        int takenUp;
    };
    const Case cases[] = {
        {"adds a song", 90001, "", "", 1},
        {"moves a song's file", 0, "update MusicInfo set MusicPath = '/elsewhere/moved.mp3' where MusicId = 3", "", -1},
        {"removes a play list", 0, "delete from MusicList where ListId = 6", "", -1},
        {"removes a list entry", 0, "delete from MusicItem where rowid = (select min(rowid) from MusicItem)", "", -1},
        // No picture of a file whose latest rows are in its log: an empty
        // library stands in, which nothing may act through on the file.
        {"writes ahead to a log", 90001, "", "pragma journal_mode = wal; pragma locking_mode = exclusive;", -1},
    };
    const Library& library = TheLibrary();
    ASSERT_FALSE(library.bytes.isEmpty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("music.db");
        ASSERT_TRUE(damaged_library::WriteAll(path, library.bytes));
        damaged_library::ForeignWriteLock other(path, -1, c.musicId, QString::fromUtf8(c.change),
                                                QString::fromUtf8(c.setup));
        ASSERT_TRUE(other.Locked()) << other.Output().toStdString();
        ASSERT_EQ(0, DB_OpenDatabaseFile(path));
        ASSERT_TRUE(DB_LibraryInUse());
        // Still held: asked again later; an empty stand-in is never taken up.
        EXPECT_EQ(c.setup[0] ? -1 : 0, DB_TakeUpLibraryWhenFree());
        ASSERT_TRUE(other.Committed()) << other.Output().toStdString();

        EXPECT_EQ(c.takenUp, DB_TakeUpLibraryWhenFree());
        EXPECT_EQ(DB_LibraryInUse(), c.takenUp < 0);
        MusicInfoRow song;
        song.MusicId = 95000;
        song.MusicPath = "/music/recorded meanwhile.mp3";
        EXPECT_EQ(DB_SetMusicInfo(&song) == 0, c.takenUp > 0);
        // Asked again, the answer stands: nothing is read or taken up twice.
        EXPECT_EQ(c.takenUp, DB_TakeUpLibraryWhenFree());
        DB_CloseDatabase();

        ASSERT_EQ(0, DB_OpenDatabaseFile(path));
        EXPECT_FALSE(DB_LibraryInUse());
        EXPECT_EQ(DB_LastRepair().fault, LibraryRepairReport::NoFault);
        MusicInfoRow row;
        if (c.musicId) {
            EXPECT_EQ(1, DB_GetMusicInfo(c.musicId, &row)) << "what the other program wrote";
        }
        EXPECT_EQ(DB_GetMusicInfo(song.MusicId, &row), c.takenUp > 0 ? 1 : 0);
        song.MusicId = 95001;
        EXPECT_EQ(0, DB_SetMusicInfo(&song));
        DB_CloseDatabase();
    }
}

} // namespace

namespace {

// The rows of `sql` on the library file at `path`, read as another program
// would: each row's values joined by ',', rows by ' '.
QByteArray Rows(const QString& path, const char* sql)
{
    QByteArray out;
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QByteArray row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i)
                row += (i ? "," : "") + QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)));
            out += (out.isEmpty() ? "" : " ") + row;
        }
    } else {
        out = sqlite3_errmsg(db);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

// Opens a new library at `path` whose repair left rows waiting for their
// songs: `waiting` fills the tables a repair makes for them.
bool OpenWithWaitingRows(const QString& path, const char* waiting)
{
    if (DB_OpenDatabaseFile(path) != 0)
        return false;
    DB_CloseDatabase();
    const QByteArray sql = QByteArray("create table MusicItemUnlinked (ItemId int, ListId int, MusicId int);"
                                      "create table CoverInfoUnlinked (CoverId int, MusicId int, "
                                      "ImagePath varchar(512));")
                           + waiting;
    return damaged_library::Exec(path, sql.constData()) && DB_OpenDatabaseFile(path) == 0;
}

// Songs back from their files after a repair, in one batch, take the list
// entries and covers that waited for them under their former MusicIds. Each
// keeps its key unless a row made since the repair took it; then it gets a
// free one, and the keys handed out later are still free.
TEST(SongsBackFromTheirFiles, TakeTheirWaitingRowsWithTheirKeysWhileFree)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("music.db");
    // Songs 10, 11 and 12 were lost with their pages.
    ASSERT_TRUE(OpenWithWaitingRows(
        path, "insert into MusicItemUnlinked values (100, 4, 10), (101, 4, 11), (102, 4, 12), (103, 4, 12);"
              "insert into CoverInfoUnlinked values (50, 10, '/covers/10.jpg'), (51, 11, '/covers/11.jpg'), "
              "(52, 12, '/covers/12.jpg');"));
    // Made since the repair: a song under 11, an entry under 102, a cover under 52.
    MusicInfoRow since;
    since.MusicId = 11;
    since.MusicPath = "/music/recorded since.mp3";
    ASSERT_EQ(0, DB_SetMusicInfo(&since));
    ASSERT_EQ(0, DB_SetMusicItem(102, 4, 11));
    DB_SetImageInfo(52, 11, "/covers/since.jpg");

    std::vector<MusicInfoRow> songs(4);
    for (size_t i = 0; i < songs.size(); ++i)
        songs[i].MusicPath = QStringLiteral("/music/back %1.mp3").arg(i);
    // The last file is taken for song 10 too: the rows wait for one song.
    ASSERT_EQ(4, DB_AddSongs(songs, {10, 11, 12, 10}));
    EXPECT_EQ(songs[0].MusicId, 10);
    EXPECT_EQ(songs[2].MusicId, 12);
    // 11 is taken: the key CreatePrimaryKey gives, and so for the last one.
    EXPECT_EQ(songs[1].MusicId, 1);
    EXPECT_EQ(songs[3].MusicId, 2);

    EXPECT_EQ(Rows(path, "select ItemId, MusicId from MusicItem order by ItemId"),
              "100,10 101,1 102,11 103,12 104,12");
    EXPECT_EQ(Rows(path, "select CoverId, MusicId, ImagePath from CoverInfo order by CoverId"),
              "1,12,/covers/12.jpg 50,10,/covers/10.jpg 51,1,/covers/11.jpg 52,11,/covers/since.jpg");
    EXPECT_EQ(Rows(path, "select count(*) from MusicItemUnlinked"), "0");
    EXPECT_EQ(Rows(path, "select count(*) from CoverInfoUnlinked"), "0");
    // The keys handed out next are free.
    const int next = DB_CreateItemId();
    EXPECT_GT(next, 104);
    EXPECT_EQ(0, DB_SetMusicItem(next, 4, 10));
    DB_CloseDatabase();
}

} // namespace

namespace {

// A picture a cover waiting for its lost song names is what tells that
// song's file when it comes back: deleting another song whose cover is the
// same picture leaves the picture, noted or not.
TEST(SongsBackFromTheirFiles, KeepTheirPicturesWhenAnotherSongWithThemGoes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("music.db");
    ASSERT_TRUE(OpenWithWaitingRows(path, "insert into CoverInfoUnlinked values (50, 10, '/covers/album.jpg');"));
    for (int id : {1, 2}) {
        MusicInfoRow song;
        song.MusicId = id;
        song.MusicPath = QStringLiteral("/music/song %1.mp3").arg(id);
        ASSERT_EQ(0, DB_SetMusicInfo(&song));
    }
    DB_SetImageInfo(1, 1, "/covers/album.jpg");
    DB_SetImageInfo(2, 1, "/covers/own.jpg");
    DB_SetImageInfo(3, 2, "/covers/album.jpg");

    std::vector<PendingFileRemoval> removals;
    ASSERT_EQ(0, DB_DeleteSongs({1, 2}, removals));
    QStringList paths;
    for (const PendingFileRemoval& removal : removals)
        paths << removal.path;
    paths.sort();
    EXPECT_EQ(paths, QStringList({"/covers/own.jpg", "/music/song 1.mp3", "/music/song 2.mp3"}));

    // Noted by an earlier deletion: named still.
    ASSERT_TRUE(damaged_library::Exec(path, "insert into PendingRemoval (Kind, Path) values (1, '/covers/album.jpg')"));
    std::vector<PendingFileRemoval> pending;
    ASSERT_EQ(0, DB_GetPendingRemovals(pending));
    bool albumNamed = false;
    for (const PendingFileRemoval& removal : pending)
        albumNamed = albumNamed || (removal.path == "/covers/album.jpg" && removal.named);
    EXPECT_TRUE(albumNamed);
    DB_CloseDatabase();
}

} // namespace
