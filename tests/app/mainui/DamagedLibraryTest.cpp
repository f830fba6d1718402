// The program's start with a library that fails its check or cannot be used:
// the faults users meet, each followed by recordings that must all end in
// the library; and songs the library could not take, or lost with damaged
// pages, coming back from their files at a later start.
#include "MainUITestSupport.h"

#include "../../common/DamagedLibrary.h"
#include "CAppSettings.h"
#include "CShowListWidget.h"
#include "CTreeLib.h"
#include "CListTreeItem.h"
#include "CTreeWidgetItem.h"
#include "MusicDatabase.h"
#include "capdev.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <memory>

namespace {

class DamagedLibraryAtStart : public FakeEngineWindowTest
{
protected:
    QString LibraryFile() const { return settings->GetLogPath() + "/music.db"; }

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
    // Starts the program as main() does: the library first, then the window.
    TestMainUI& Start()
    {
        window.reset();
        DB_CloseDatabase();
        EXPECT_EQ(0, DB_OpenDatabase());
        TestMainUI& w = Open();
        w.show();
        EXPECT_TRUE(WaitFor([&] { return w.LibraryPage()->SongScan()->IsDone(); }));
        Pause(50);   // the scan's last hand-over
        return w;
    }
    static QStringList LibraryPaths()
    {
        std::vector<QString> paths;
        DB_GetMusicPaths(paths);
        return QStringList(paths.begin(), paths.end());
    }
};

// Every fault: the user is told once how many songs were saved, which the
// list shows, and the next three songs all end in the library.
TEST_F(DamagedLibraryAtStart, TakesTheNextSongsAfterEveryFault)
{
    constexpr int kSongs = 2001;
    FillLibrary(kSongs, [](int id) { return QStringLiteral("/elsewhere/a song with a long name %1.mp3").arg(id); });
    const QByteArray sound = [&] {
        QFile f(LibraryFile());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const std::vector<damaged_library::Fault> faults = damaged_library::Faults(LibraryFile(), kSongs);
    ASSERT_FALSE(faults.empty());
    for (const damaged_library::Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        window.reset();
        DB_CloseDatabase();
        RemoveKeptCopies();
        QDir(LibraryFile()).removeRecursively();
        QDir(OutputFolder()).removeRecursively();
        QDir().mkpath(OutputFolder());
        {
            QFile f(LibraryFile());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(sound);
        }
        ASSERT_TRUE(fault.apply(LibraryFile()));
        std::unique_ptr<damaged_library::ForeignWriteLock> lock;
        if (fault.locked) {
            lock.reset(new damaged_library::ForeignWriteLock(LibraryFile()));
            ASSERT_TRUE(lock->Locked());
        }

        TestMainUI& w = Start();
        lock.reset();
        ASSERT_TRUE(WaitFor([&] { return w.SawText("The library was damaged"); }));
        EXPECT_TRUE(w.SawText(QStringLiteral("songs saved: %1)").arg(fault.songsThatRead)));
        EXPECT_EQ(w.LibraryPage()->GetListItemCount(1), fault.songsThatRead);
        EXPECT_EQ(w.TreeLib()->FindList(1)->GetQuantity(), fault.songsThatRead);
        QStringList recorded;
        for (const char* name : {"after one", "after two", "after three"}) {
            CTreeWidgetItem* row = RecordToneSong(*factory.engine, w, name);
            ASSERT_NE(row, nullptr) << name;
            recorded << row->GetMusicPath();
        }
        EXPECT_EQ(w.LibraryPage()->GetListItemCount(1), fault.songsThatRead + 3);
        EXPECT_FALSE(w.SawText("cannot be stored in the library"));

        // The next start tells nothing and finds every song.
        TestMainUI& again = Start();
        EXPECT_FALSE(again.SawText("damaged"));
        EXPECT_FALSE(DB_LastRepair().rebuilt);
        EXPECT_EQ(MusicRowCount(), fault.songsThatRead + 3);
        const QStringList paths = LibraryPaths();
        for (const QString& path : recorded)
            EXPECT_TRUE(paths.contains(path)) << path.toStdString();
    }
    window.reset();
    RemoveKeptCopies();
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
    const std::vector<damaged_library::Fault> faults = damaged_library::Faults(LibraryFile(), kSongs);
    ASSERT_FALSE(faults.empty());
    ASSERT_TRUE(faults.front().apply(LibraryFile()));   // four pages of songs overwritten
    TestMainUI& repaired = Start();
    EXPECT_TRUE(repaired.SawText(QStringLiteral("songs saved: %1)").arg(faults.front().songsThatRead)));
    EXPECT_LT(faults.front().songsThatRead, kSongs);
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
    EXPECT_EQ(fromTags, kSongs - faults.front().songsThatRead);
    window.reset();
    RemoveKeptCopies();
}

} // namespace
