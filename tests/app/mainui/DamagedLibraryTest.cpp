// The program's start with a library met by each fault users meet: the
// rows the file's intact pages hold are all there, with their lists and
// covers; the songs lost with damaged pages come back from their files, to
// their list entries and covers where their picture tells them; the user is
// told how many of each; and recordings end in the library at once, or at
// the next start when the library could not take them. Songs the library
// could not take come back from their files at a later start.
#include "MainUITestSupport.h"

#include "../../common/DamagedLibrary.h"
#include "../../common/SmallDisk.h"
#include "CAppSettings.h"
#include "CShowListWidget.h"
#include "CTreeLib.h"
#include "CListTreeItem.h"
#include "CMusicInfoTreeWidget.h"
#include "CTreeWidgetItem.h"
#include "MusicDatabase.h"
#include "SqlitePageReader.h"
#include "capdev.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDialogButtonBox>
#include <QImage>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cctype>
#include <functional>
#include <memory>
#include <set>

namespace {

using damaged_library::Damage;

class DamagedLibraryAtStart : public FakeEngineWindowTest
{
protected:
    QString LibraryFile() const { return settings->GetLogPath() + "/music.db"; }
    QString PicturesFolder() const { return QFileInfo(settings->GetLogPath()).dir().filePath("pictures"); }

    // `songs` songs used for a while: every third played, on play lists, some
    // with covers; each named `file(id)`.
    void FillLibrary(int songs, const std::function<QString(int)>& file)
    {
        ASSERT_TRUE(DB_IsOpen());
        DB_CreateTransaction();
        std::vector<int> listed;
        for (int id = 1; id <= songs; ++id) {
            MusicInfoRow song;
            song.MusicId = id;
            song.MusicPath = file(id);
            song.TimeRecorded = "00:01";
            song.DateAdded = id % 3 ? "05/01/2024 10:00" : "05/01/2024 10:00;05/02/2024 11:00";
            ASSERT_EQ(0, DB_SetMusicInfo(&song));
            if (id % 5 == 0)
                DB_SetImageInfo(id, id, QStringLiteral("/covers/%1.jpg").arg(id).toUtf8().constData());
            if (id % 7 == 0)
                listed.push_back(id);
        }
        std::vector<int> itemIds;
        ASSERT_EQ(0, DB_SetMusicItems(4, listed, itemIds));
        DB_CommitTransaction();
        DB_CloseDatabase();
    }
    void RemoveKeptCopies()
    {
        const QDir folder(settings->GetLogPath());
        for (const QString& name : folder.entryList({"music.db.*"}, QDir::AllEntries | QDir::NoDotAndDotDot)) {
            const QString kept = folder.filePath(name);
            QFileInfo(kept).isDir() ? QDir(kept).removeRecursively() : QFile::remove(kept);
        }
    }
    // Starts the program as main() does: the library first, then the window;
    // waits for the start-up scan to be through when `scanned`.
    TestMainUI& Start(bool scanned = true)
    {
        window.reset();
        DB_CloseDatabase();
        EXPECT_EQ(0, DB_OpenDatabase());
        TestMainUI& w = Open();
        w.show();
        if (scanned) {
            EXPECT_TRUE(WaitFor([&] { return w.LibraryPage()->SongScan()->IsDone(); }, 15000));
            Pause(50);   // the scan's last hand-over
        }
        return w;
    }
    static QStringList LibraryPaths()
    {
        std::vector<QString> paths;
        DB_GetMusicPaths(paths);
        return QStringList(paths.begin(), paths.end());
    }
    // Rows of a table of the library file, read as another program would.
    static int RowsOf(const char* table)
    {
        sqlite3* db = nullptr;
        sqlite3_stmt* stmt = nullptr;
        int rows = -1;
        const QByteArray sql = QByteArray("select count(*) from ") + table;
        if (sqlite3_open((CAppSettings::GetInstance()->GetLogPath() + "/music.db").toUtf8().constData(), &db)
            == SQLITE_OK) {
            if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK
                && sqlite3_step(stmt) == SQLITE_ROW)
                rows = sqlite3_column_int(stmt, 0);
            else if (QByteArray(sqlite3_errmsg(db)).startsWith("no such table"))
                rows = 0;
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return rows;
    }
};

// ---------------------------------------------------------------- the table

// One library and its song files, made once per test program: songs with a
// file in the output folder (every fourth), tagged as the program tags a
// recognised song, its chosen cover in the file.
struct LibraryWithFiles {
    QByteArray bytes;
    damaged_library::Survey survey;
    std::map<QString, damaged_library::Rows> rows;
};

bool HasFile(int id)
{
    return id % 4 == 0 && (id < damaged_library::kFirstDeleted || id > damaged_library::kLastDeleted);
}

class DamagedLibraryTable : public DamagedLibraryAtStart, public ::testing::WithParamInterface<Damage>
{
protected:
    QString SongFile(int id) const
    {
        return HasFile(id) ? QStringLiteral("%1/song %2.wav").arg(OutputFolder()).arg(id)
                           : QStringLiteral("/elsewhere/song %1.mp3").arg(id);
    }
    QString CoverFile(int id) const { return QStringLiteral("%1/cover %2.png").arg(PicturesFolder()).arg(id); }

    void MakeLibraryAndFiles()
    {
        window.reset();
        DB_CloseDatabase();
        QFile::remove(LibraryFile());
        QDir().mkpath(PicturesFolder());
        for (int id = 1; id <= damaged_library::kSongs; ++id) {
            if (damaged_library::HasCover(id)) {
                QImage picture(8, 8, QImage::Format_RGB32);
                picture.fill(QColor::fromRgb(static_cast<QRgb>(id * 2654435761u)));
                ASSERT_TRUE(picture.save(CoverFile(id), "PNG"));
            }
            if (!HasFile(id))
                continue;
            const QString file = SongFile(id);
            WriteToneWav(file, 0.05);
            const QByteArray title = "Title " + QByteArray::number(id);
            const QByteArray cover = CoverFile(id).toUtf8();
            const MusicTagsInfo tags{title.constData(), "Artist", "Album", "1999", "Pop",
                                     damaged_library::HasCover(id) ? cover.constData() : nullptr};
            const auto* name = reinterpret_cast<const char16_t*>(file.utf16());
            ASSERT_EQ(CAPDEV_OK, SetMusicTagsInfo(&tags, name, name));
            // Recorded long before this start.
            QFile song(file);
            ASSERT_TRUE(song.open(QIODevice::ReadWrite));
            ASSERT_TRUE(song.setFileTime(QDateTime::currentDateTime().addDays(-30), QFileDevice::FileModificationTime));
        }
        ASSERT_TRUE(damaged_library::MakeLibrary(LibraryFile(), [this](int id) { return SongFile(id); },
                                                 [this](int id) { return CoverFile(id); }));
        library.bytes = damaged_library::ReadAll(LibraryFile());
        library.survey = damaged_library::SurveyOf(LibraryFile());
        library.rows = damaged_library::TablesOf(LibraryFile());
        ASSERT_FALSE(library.bytes.isEmpty());
    }
    // The data folder on a small disk of its own, from now on.
    void DataFolderOn(const SmallDisk& disk)
    {
        const QString data = settings->GetLogPath();
        ASSERT_TRUE(QDir(data).removeRecursively());
        ASSERT_TRUE(QFile::link(QString::fromStdString(disk.Path()), data));
    }
    void TearDown() override
    {
        window.reset();
        DB_CloseDatabase();
        const QString data = settings->GetLogPath();
        if (QFileInfo(data).isSymLink()) {
            QFile::remove(data);
            QDir().mkpath(data);
        }
        RemoveKeptCopies();
        FakeEngineWindowTest::TearDown();
    }

    LibraryWithFiles library;
};

TEST_P(DamagedLibraryTable, KeepsEveryRowThatReadsAndEveryRecordedSong)
{
    const Damage& damage = GetParam();
    MakeLibraryAndFiles();
    std::unique_ptr<SmallDisk> disk;
    if (damage.kind == Damage::ReadOnlyFolder || damage.kind == Damage::FullDisk) {
        disk.reset(new SmallDisk(8u << 20));
        if (!disk->Mounted())
            GTEST_SKIP() << disk->Why();
        DataFolderOn(*disk);
        ASSERT_TRUE(damaged_library::WriteAll(LibraryFile(), library.bytes));
    }
    ASSERT_TRUE(damaged_library::Apply(damage, LibraryFile(), library.survey));
    std::unique_ptr<damaged_library::ForeignWriteLock> other;
    constexpr int kWritten = 90001;
    if (damage.kind == Damage::LockedMoment)
        other.reset(new damaged_library::ForeignWriteLock(LibraryFile(), 500));
    else if (damage.kind == Damage::LockedWriting)
        other.reset(new damaged_library::ForeignWriteLock(LibraryFile(), 700, kWritten));
    else if (damage.kind == Damage::LockedLong)
        other.reset(new damaged_library::ForeignWriteLock(LibraryFile(), -1, kWritten));
    if (other) {
        ASSERT_TRUE(other->Locked());
    }
    if (damage.kind == Damage::ReadOnlyFolder) {
        ASSERT_TRUE(damaged_library::Remount(disk->Path(), true));
    }
    if (damage.kind == Damage::FullDisk) {
        ASSERT_TRUE(damaged_library::FillDisk(settings->GetLogPath() + "/filler"));
    }

    // What the intact pages hold, and the songs of the rest that have files.
    const damaged_library::Kept kept = damaged_library::KeptOf(
        damaged_library::IntactRows(library.rows, library.survey, damage.Lost(library.survey)));
    const std::set<QByteArray> keptIds = damaged_library::Keys(kept.songs, 0);
    // ... to their entries and covers when a cover of theirs that waits is
    // the picture in their file.
    const std::set<QByteArray> waitingCovers = damaged_library::Keys(kept.coversWaiting, 1);
    std::set<QByteArray> back;     // songs that come back from their files
    std::set<QByteArray> linked;
    for (int id = 1; id <= damaged_library::kSongs; ++id) {
        const QByteArray key = QByteArray::number(id);
        if (!damage.Rebuilds() || keptIds.count(key) || !HasFile(id))
            continue;
        back.insert(key);
        if (waitingCovers.count(key))
            linked.insert(key);
    }
    auto waitingOf = [&](const damaged_library::Rows& rows, int songColumn) {
        int count = 0;
        for (const auto& row : rows)
            count += linked.count(damaged_library::Value(row.second, songColumn)) ? 1 : 0;
        return count;
    };
    const int songs = damage.Rebuilds() ? static_cast<int>(kept.songs.size() + back.size())
                                        : static_cast<int>(library.rows.at("MusicInfo").size())
                                              + (damage.kind == Damage::LockedWriting || damage.kind == Damage::LockedLong ? 1 : 0);

    TestMainUI& w = Start(damage.kind != Damage::LockedLong);
    if (damage.Rebuilds()) {
        ASSERT_TRUE(WaitFor([&] { return w.SawText("The library could not be used as it was"); }));
        EXPECT_TRUE(w.SawText(QStringLiteral("%1 songs kept with their data, %2 songs back from their files only")
                                  .arg(kept.songs.size())
                                  .arg(back.size())));
        EXPECT_FALSE(w.SawText("database disk image")) << "the user's words, not SQLite's";
        EXPECT_EQ(DB_LastRepair().songsSaved, static_cast<int>(kept.songs.size()));
        // The entries and covers of the songs kept, and of those that came
        // back to them.
        for (int list = 5; list <= 7; ++list) {
            int entries = 0;
            for (const damaged_library::Rows* rows : {&kept.items, &kept.itemsWaiting}) {
                for (const auto& row : *rows) {
                    const bool ofList = damaged_library::Value(row.second, 1) == QByteArray::number(list);
                    const bool shown = rows == &kept.items || linked.count(damaged_library::Value(row.second, 2));
                    entries += ofList && shown ? 1 : 0;
                }
            }
            if (w.TreeLib()->FindList(list)) {
                EXPECT_EQ(w.LibraryPage()->GetListItemCount(list), entries) << list;
                EXPECT_EQ(w.TreeLib()->FindList(list)->GetQuantity(), entries) << list;
            }
        }
        EXPECT_EQ(RowsOf("CoverInfo"), static_cast<int>(kept.covers.size()) + waitingOf(kept.coversWaiting, 1));
        EXPECT_EQ(RowsOf("CoverInfoUnlinked"),
                  static_cast<int>(kept.coversWaiting.size()) - waitingOf(kept.coversWaiting, 1));
        // A song that came back carries what its tags say.
        if (!back.empty()) {
            QMap<int, MusicInfoRow*> all;
            DB_GetAllMusicInfo(all);
            int fromTags = 0;
            for (const MusicInfoRow* row : all) {
                const QString id = QFileInfo(row->MusicPath).completeBaseName().mid(5);
                if (!back.count(id.toUtf8()))
                    continue;
                ++fromTags;
                EXPECT_EQ(QString(row->Info.MusicName), "Title " + id);
                EXPECT_STREQ(row->Info.Artist, "Artist");
                // Linked ones have their own key again.
                if (linked.count(id.toUtf8())) {
                    EXPECT_EQ(row->MusicId, id.toInt()) << row->MusicPath.toStdString();
                }
            }
            qDeleteAll(all);
            EXPECT_EQ(fromTags, static_cast<int>(back.size()));
        }
    } else if (damage.kind == Damage::LockedLong) {
        ASSERT_TRUE(WaitFor([&] { return w.SawText("The library is in use by another program"); }));
        EXPECT_TRUE(damaged_library::ReadAll(LibraryFile()) == library.bytes) << "left as it is";
    } else {
        EXPECT_FALSE(w.SawText("could not be used")) << "nothing to tell";
        EXPECT_FALSE(w.SawText("in use"));
    }
    // The file as it was is kept when it was replaced, and only then.
    EXPECT_EQ(QDir(settings->GetLogPath()).entryList({"music.db.damaged-*"}).size(),
              damage.Rebuilds() && damage.kind != Damage::Emptied ? 1 : 0);
    if (damage.kind == Damage::LockedWriting) {
        EXPECT_TRUE(other->Committed()) << "the other program's change went through " << other->Output().toStdString();
    }
    EXPECT_EQ(w.LibraryPage()->GetListItemCount(1), damage.kind == Damage::LockedLong
                                                        ? static_cast<int>(library.rows.at("MusicInfo").size())
                                                        : songs);
    EXPECT_EQ(w.TreeLib()->FindList(1)->GetQuantity(), w.LibraryPage()->GetListItemCount(1));

    // Two recordings: in the library at once, or kept in the output folder.
    QStringList recorded;
    for (const char* name : {"after one", "after two"}) {
        if (!damage.RefusesSongs()) {
            CTreeWidgetItem* row = RecordToneSong(*factory.engine, w, name);
            ASSERT_NE(row, nullptr) << name;
            // A song the library took may have been named after its title.
            recorded << row->GetMusicPath();
            continue;
        }
        const QString path = OutputFolder() + "/" + name + ".wav";
        WriteToneWav(path, 2.5);
        factory.engine->SongStart(path);
        factory.engine->SongEnd(path);
        EXPECT_TRUE(WaitFor([&] { return w.SawText("cannot be stored in the library") && w.SongsStored(); }));
        EXPECT_TRUE(QFileInfo::exists(path)) << name;
        recorded << path;
    }
    if (damage.RefusesSongs()) {
        EXPECT_EQ(w.SawText("in use by another program"), damage.kind == Damage::LockedLong);
        if (damage.kind == Damage::LockedLong) {
            // Let go, the library takes them in this very session, and
            // what the other program wrote meanwhile is there.
            EXPECT_TRUE(other->Committed()) << other->Output().toStdString();
            EXPECT_TRUE(WaitFor([&] { return w.LibraryPage()->SongScan()->IsDone(); }, 10000));
            EXPECT_TRUE(WaitFor([&] { return LibraryPaths().contains(recorded.last()); }));
        } else {
            window.reset();
            DB_CloseDatabase();
            if (damage.kind == Damage::ReadOnlyFolder)
                ASSERT_TRUE(damaged_library::Remount(disk->Path(), false));
            else
                ASSERT_TRUE(QFile::remove(settings->GetLogPath() + "/filler"));
        }
    } else {
        EXPECT_EQ(w.LibraryPage()->GetListItemCount(1), songs + 2);
        EXPECT_FALSE(w.SawText("cannot be stored in the library"));
    }

    // The next start tells nothing and holds every song.
    TestMainUI& again = Start();
    EXPECT_FALSE(again.SawText("could not be used"));
    EXPECT_FALSE(again.SawText("in use by another program"));
    EXPECT_EQ(DB_LastRepair().fault, LibraryRepairReport::NoFault);
    EXPECT_EQ(MusicRowCount(), songs + 2);
    EXPECT_EQ(again.LibraryPage()->GetListItemCount(1), songs + 2);
    const QStringList paths = LibraryPaths();
    for (const QString& path : recorded)
        EXPECT_TRUE(paths.contains(path)) << path.toStdString();
    MusicInfoRow written;
    EXPECT_EQ(DB_GetMusicInfo(kWritten, &written), other && damage.kind != Damage::LockedMoment ? 1 : 0)
        << "what the other program wrote";
    // Once: no song twice.
    EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()).size(), paths.size());
}

INSTANTIATE_TEST_SUITE_P(Faults, DamagedLibraryTable, ::testing::ValuesIn(damaged_library::Damages()),
                         [](const ::testing::TestParamInfo<Damage>& info) {
                             return damaged_library::Identifier(info.param);
                         });

// ---------------------------------------------------------------- more

// A damaged library with no room for a copy is used as it is: the songs
// after a row that does not read are not read, and the list entries of those
// songs stay, start after start.
TEST_F(DamagedLibraryAtStart, ADamagedLibraryUsedAsItIsLosesNoListEntry)
{
    SmallDisk disk(8u << 20);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Why();
    window.reset();
    DB_CloseDatabase();
    const QString data = settings->GetLogPath();
    ASSERT_TRUE(QDir(data).removeRecursively());
    ASSERT_TRUE(QFile::link(QString::fromStdString(disk.Path()), data));
    ASSERT_EQ(0, DB_OpenDatabase());
    FillLibrary(2000, [](int id) { return QStringLiteral("/elsewhere/a song with a long name %1.mp3").arg(id); });
    // One song's record made unreadable (its header claims more than the
    // row holds), its page and every other one sound: the reading of the
    // songs stops there, and a change elsewhere still goes through.
    int pageSize = 0;
    const std::vector<damaged_library::LeafPage> leaves = damaged_library::LeafPages(LibraryFile(), "MusicInfo",
                                                                                    &pageSize);
    ASSERT_GT(leaves.size(), 8u);
    QByteArray bytes = damaged_library::ReadAll(LibraryFile());
    {
        const SqlitePageReader reader(bytes);
        const std::vector<SqlitePageReader::Row> rows = reader.LeafRows(leaves[2].page);
        ASSERT_FALSE(rows.empty());
        // The record's first byte: the size of its header.
        const int at = static_cast<int>(rows.front().payload - bytes.constData());
        bytes[at] = '\x7f';
    }
    ASSERT_TRUE(damaged_library::WriteAll(LibraryFile(), bytes));
    const int entries = RowsOf("MusicItem");
    ASSERT_GT(entries, 0);
    // Room for a change, none for a copy of the library.
    ASSERT_TRUE(damaged_library::FillDisk(data + "/filler", bytes.size() / 4));

    for (int start = 0; start < 2; ++start) {
        TestMainUI& w = Start();
        EXPECT_LT(w.LibraryPage()->GetListItemCount(1), 2000);
        EXPECT_FALSE(w.SawText("database disk image"));
        EXPECT_EQ(RowsOf("MusicItem"), entries);
    }
    window.reset();
    DB_CloseDatabase();
    QFile::remove(data);
    QDir().mkpath(data);
}

// The output folder on a disk of its own, reached through a link (as a
// music folder on another disk is): the songs recorded into it are named
// after their titles in its real folder, and the starts after that take none
// of them in a second time through the link. A song the user deleted whose
// file could not be removed (the disk went read-only meanwhile) is no song
// the library lost: the starts after that leave it out, and its file goes
// once it can.
TEST_F(DamagedLibraryAtStart, ALinkedOutputFolderGivesNoSongTwiceAndADeletedSongStaysDeleted)
{
    SmallDisk disk(8u << 20);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Why();
    window.reset();
    DB_CloseDatabase();
    const QString output = OutputFolder();
    ASSERT_TRUE(QDir(output).removeRecursively());
    ASSERT_TRUE(QFile::link(QString::fromStdString(disk.Path()), output));

    TestMainUI& w = Start();
    CTreeWidgetItem* kept = RecordToneSong(*factory.engine, w, "kept");
    CTreeWidgetItem* deleted = RecordToneSong(*factory.engine, w, "deleted");
    ASSERT_TRUE(kept && deleted);
    const QString keptPath = kept->GetMusicPath();
    const QString deletedPath = deleted->GetMusicPath();
    const int deletedId = deleted->GetMusicId();
    TestMainUI& next = Start();
    EXPECT_EQ(MusicRowCount(), 2);
    EXPECT_EQ(next.LibraryPage()->GetListItemCount(1), 2);

    ASSERT_TRUE(damaged_library::Remount(disk.Path(), true));
    CTreeWidgetItem* row = next.LibraryPage()->GetItemsByMusicId({deletedId}).value(0);
    ASSERT_NE(row, nullptr);
    next.LibraryPage()->DeleteMusic(row);
    ASSERT_TRUE(next.LibraryPage()->WaitForFileRemovals());
    ASSERT_TRUE(QFileInfo::exists(deletedPath)) << "the disk took no change";
    for (bool writable : {false, true}) {
        ASSERT_TRUE(damaged_library::Remount(disk.Path(), !writable));
        TestMainUI& again = Start();
        ASSERT_TRUE(again.LibraryPage()->WaitForFileRemovals());
        EXPECT_EQ(LibraryPaths(), QStringList{keptPath}) << (writable ? "writable" : "read-only");
        EXPECT_EQ(again.LibraryPage()->GetListItemCount(1), 1);
        EXPECT_EQ(QFileInfo::exists(deletedPath), !writable);
    }
    // Gone for good: the start after that has nothing to leave out.
    Start();
    EXPECT_EQ(LibraryPaths(), QStringList{keptPath});

    window.reset();
    DB_CloseDatabase();
    QFile::remove(output);
    QDir().mkpath(output);
}

// Songs the library could not take, a song whose length a killed program
// never stored, and songs whose rows went with damaged pages: their files
// are in the output folder, and the next start puts them in the library with
// their lengths, once.
TEST_F(DamagedLibraryAtStart, SongsComeBackFromTheirFiles)
{
    TestMainUI& w = Start();
    // A song the program was killed in the middle of: listed, no length.
    const QString killed = OutputFolder() + "/killed mid-song.wav";
    WriteToneWav(killed, 3.2);
    MusicInfoRow partial;
    partial.MusicId = CreatePrimaryKey("MusicInfo", "MusicId", 1, kMaxMusicInfoRows);
    partial.MusicPath = killed;
    partial.DateAdded = "05/01/2024 10:00";
    ASSERT_EQ(0, DB_SetMusicInfo(&partial));
    // The library refuses new songs: the next one stays in the output folder.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(LibraryFile().toUtf8().constData(), &db));
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "create trigger refuse before insert on MusicInfo "
                                              "begin select raise(abort, 'disk full'); end",
                                          nullptr, nullptr, nullptr));
        sqlite3_close(db);
    }
    const QString outside = OutputFolder() + "/kept outside.wav";
    WriteToneWav(outside, 2.5);
    factory.engine->SongStart(outside);
    factory.engine->SongEnd(outside);
    ASSERT_TRUE(WaitFor([&] { return w.SawText("cannot be stored in the library"); }));
    ASSERT_TRUE(QFileInfo::exists(outside));
    EXPECT_FALSE(LibraryPaths().contains(outside));
    window.reset();
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(LibraryFile().toUtf8().constData(), &db));
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "drop trigger refuse", nullptr, nullptr, nullptr));
        sqlite3_close(db);
    }

    TestMainUI& next = Start();
    auto lengthOf = [](const QString& path) {
        QMap<int, MusicInfoRow*> rows;
        DB_GetAllMusicInfo(rows);
        QString length = "missing";
        for (MusicInfoRow* row : rows) {
            if (row->MusicPath == path)
                length = row->TimeRecorded;
        }
        qDeleteAll(rows);
        return length;
    };
    EXPECT_EQ(lengthOf(killed), "00:03");
    EXPECT_EQ(lengthOf(outside), "00:02");
    CShowListWidget* page = next.LibraryPage();
    ASSERT_EQ(page->GetListItemCount(1), 2);
    for (CTreeWidgetItem* row : page->GetItemsByMusicId({partial.MusicId}))
        EXPECT_EQ(row->text(CTreeWidgetItem::ColTime), "00:03");
    EXPECT_EQ(next.TreeLib()->FindList(1)->GetQuantity(), 2);
    // Once: the start after that adds nothing.
    Start();
    EXPECT_EQ(MusicRowCount(), 2);

    // Songs of the output folder whose rows were on damaged pages.
    window.reset();
    DB_CloseDatabase();
    ResetLibrary();
    constexpr int kSongs = 400;
    for (int id = 1; id <= kSongs; ++id) {
        // Tagged as a recognised song's file is.
        const QString file = QStringLiteral("%1/song %2.wav").arg(OutputFolder()).arg(id);
        WriteToneWav(file, 0.05);
        const QByteArray title = "Title " + QByteArray::number(id);
        const MusicTagsInfo tags{title.constData(), "Artist", "Album", "1999", "Pop", nullptr};
        const auto* name = reinterpret_cast<const char16_t*>(file.utf16());
        ASSERT_EQ(CAPDEV_OK, SetMusicTagsInfo(&tags, name, name));
    }
    FillLibrary(kSongs, [](int id) { return QStringLiteral("%1/song %2.wav").arg(OutputFolder()).arg(id); });
    int pageSize = 0;
    const std::vector<damaged_library::LeafPage> leaves = damaged_library::LeafPages(LibraryFile(), "MusicInfo",
                                                                                    &pageSize);
    ASSERT_GT(leaves.size(), 6u);
    ASSERT_TRUE(damaged_library::OverwritePages(LibraryFile(), {leaves[1].page, leaves[4].page}, pageSize));
    const int songsThatRead = kSongs - leaves[1].rows - leaves[4].rows;
    TestMainUI& repaired = Start();
    ASSERT_TRUE(WaitFor([&] { return repaired.SawText("The library could not be used as it was"); }));
    EXPECT_TRUE(repaired.SawText(QStringLiteral("%1 songs kept with their data, %2 songs back from their files only")
                                     .arg(songsThatRead)
                                     .arg(kSongs - songsThatRead)));
    EXPECT_EQ(MusicRowCount(), kSongs);
    EXPECT_EQ(repaired.LibraryPage()->GetListItemCount(1), kSongs);
    EXPECT_EQ(lengthOf(OutputFolder() + "/song 1.wav"), "00:01") << "a saved row keeps what it held";
    // The songs taken in from their files carry what their tags say.
    QMap<int, MusicInfoRow*> rows;
    DB_GetAllMusicInfo(rows);
    int fromTags = 0;
    for (const MusicInfoRow* row : rows) {
        if (row->TimeRecorded != "00:00")
            continue;
        ++fromTags;
        EXPECT_EQ(QString(row->Info.MusicName), "Title " + QFileInfo(row->MusicPath).baseName().mid(5));
        EXPECT_STREQ(row->Info.Artist, "Artist");
        EXPECT_STREQ(row->Info.Year, "1999");
    }
    qDeleteAll(rows);
    EXPECT_EQ(fromTags, kSongs - songsThatRead);
    window.reset();
    RemoveKeptCopies();
}

// While another program holds the library, a change the user asks for is
// refused where it can be seen: a notice, and the songs, entries and lists
// shown as the library holds them (a list deleted or renamed only in the view
// would come back at the next start). Once that program lets go, changes go
// through again.
TEST_F(DamagedLibraryAtStart, ChangesAskedForWhileTheLibraryIsInUseAreRefusedWithANotice)
{
    settings->SetDeleteType(1);   // songs go without a question
    window.reset();
    DB_CloseDatabase();
    ASSERT_EQ(0, DB_OpenDatabase());
    constexpr int kSongs = 30;
    constexpr int kEntries = 4;   // every seventh song is on play list 4
    FillLibrary(kSongs, [](int id) { return QStringLiteral("/elsewhere/song %1.mp3").arg(id); });
    damaged_library::ForeignWriteLock other(LibraryFile());
    ASSERT_TRUE(other.Locked());
    TestMainUI& w = Start(false);
    ASSERT_TRUE(WaitFor([&] { return w.SawText("The library is in use by another program:"); }));
    CShowListWidget* page = w.LibraryPage();
    ASSERT_NE(w.TreeLib()->FindList(4), nullptr);
    const QString name = w.TreeLib()->FindList(4)->GetListName();
    auto refusals = [&] {
        int count = 0;
        for (const TestMainUI::Shown& shown : w.dialogs)
            count += shown.text.contains("cannot be changed now") ? 1 : 0;
        return count;
    };
    auto show = [&](int listId, bool all) {
        w.TreeLib()->SelectList(listId);
        ASSERT_TRUE(WaitFor([&] { return page->GetShownListId() == listId; }));
        all ? page->selectAll() : page->TrackList()->clearSelection();
    };
    struct Case {
        const char* what;
        std::function<void()> ask;
    };
    const Case cases[] = {
        {"delete songs", [&] { show(1, true); w.DeleteMusic(); }},
        {"remove a play list's entries", [&] { show(4, true); w.DeleteMusic(); }},
        {"delete a play list",
         [&] {
             show(4, false);
             w.answers = {QDialogButtonBox::Ok};
             w.DeleteMusic();
         }},
        {"rename a play list", [&] { w.TreeLib()->FindList(4)->setText(CListTreeItem::ColName, "Renamed"); }},
        {"add songs to a play list", [&] { w.DragItemToList("1 2 3", 4); }},
        {"add a play list", [&] { w.AddPlayList(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = refusals();
        c.ask();
        EXPECT_EQ(refusals(), before + 1);
        EXPECT_EQ(page->GetListItemCount(1), kSongs);
        EXPECT_EQ(page->GetListItemCount(4), kEntries);
        ASSERT_NE(w.TreeLib()->FindList(4), nullptr);
        EXPECT_EQ(w.TreeLib()->FindList(4)->GetListName(), name);
        EXPECT_EQ(w.TreeLib()->GetListItems().size(), 4);
    }
    w.answers.clear();

    // Let go unchanged, the library is the program's again.
    ASSERT_TRUE(other.Committed());
    ASSERT_TRUE(WaitFor([&] { return page->SongScan()->IsDone(); }, 10000));
    const int before = refusals();
    w.TreeLib()->FindList(4)->setText(CListTreeItem::ColName, "Renamed");
    show(4, true);
    w.DeleteMusic();
    EXPECT_EQ(refusals(), before);
    TestMainUI& next = Start();
    ASSERT_NE(next.TreeLib()->FindList(4), nullptr);
    EXPECT_EQ(next.TreeLib()->FindList(4)->GetListName(), "Renamed");
    EXPECT_EQ(next.LibraryPage()->GetListItemCount(4), 0);
    EXPECT_EQ(next.LibraryPage()->GetListItemCount(1), kSongs);
}

// The other program changed rows the library showed while it held it: the
// library stays as it is until the next start, which takes the songs
// recorded meanwhile in, as the user was told at the start.
TEST_F(DamagedLibraryAtStart, SongsRecordedWhileAnotherProgramChangesTheLibraryComeInAtTheNextStart)
{
    window.reset();
    DB_CloseDatabase();
    ASSERT_EQ(0, DB_OpenDatabase());
    FillLibrary(30, [](int id) { return QStringLiteral("/elsewhere/song %1.mp3").arg(id); });
    damaged_library::ForeignWriteLock other(LibraryFile(), -1, 0,
                                            "update MusicInfo set MusicName = 'Changed elsewhere' where MusicId = 1");
    ASSERT_TRUE(other.Locked());
    TestMainUI& w = Start(false);
    ASSERT_TRUE(WaitFor([&] { return w.SawText("The library is in use by another program:"); }));
    EXPECT_TRUE(w.SawText("If that program changed the library meanwhile, the library stays as it is and the songs "
                          "go into it at the next start."));
    const QString path = OutputFolder() + "/recorded meanwhile.wav";
    WriteToneWav(path, 2.5);
    factory.engine->SongStart(path);
    factory.engine->SongEnd(path);
    ASSERT_TRUE(WaitFor([&] { return w.SawText("cannot be stored in the library") && w.SongsStored(); }));

    ASSERT_TRUE(other.Committed()) << other.Output().toStdString();
    ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->SongScan()->IsDone(); }, 10000));
    EXPECT_TRUE(DB_LibraryInUse()) << "read-only until the next start";
    EXPECT_FALSE(LibraryPaths().contains(path));

    Start();
    EXPECT_FALSE(DB_LibraryInUse());
    EXPECT_TRUE(LibraryPaths().contains(path));
    MusicInfoRow changed;
    ASSERT_EQ(DB_GetMusicInfo(1, &changed), 1);
    EXPECT_STREQ(changed.Info.MusicName, "Changed elsewhere") << "what the other program wrote";
    EXPECT_EQ(MusicRowCount(), 31);
}

} // namespace
