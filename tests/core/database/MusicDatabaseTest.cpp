#include "../../common/DamagedLibrary.h"
#include "MusicDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class MusicDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir.filePath("music.db");
        ASSERT_EQ(0, DB_OpenDatabaseFile(path));
    }
    void TearDown() override { DB_CloseDatabase(); }

    // A second, independent connection for looking at the file directly.
    std::vector<std::vector<QString>> Raw(const char* sql)
    {
        std::vector<std::vector<QString>> rows;
        sqlite3* db = nullptr;
        EXPECT_EQ(SQLITE_OK, sqlite3_open(path.toUtf8().constData(), &db));
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr)) << sqlite3_errmsg(db);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::vector<QString> row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i)
                row.push_back(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i))));
            rows.push_back(row);
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return rows;
    }

    void Exec(const char* sql)
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(path.toUtf8().constData(), &db));
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, sql, nullptr, nullptr, nullptr)) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    static MusicInfoRow Song(int id, const char* title)
    {
        MusicInfoRow row;
        row.MusicId = id;
        strcpy(row.Info.MusicName, title);
        strcpy(row.Info.Artist, "Artist");
        strcpy(row.Info.Album, "Album");
        strcpy(row.Info.Genre, "Pop;Rock");
        strcpy(row.Info.Year, "1999");
        strcpy(row.Info.AlbumTUI, "TUI");
        strcpy(row.Info.AlbumMusicList, "List");
        row.TimeRecorded = "03:25";
        row.DateAdded = "05/01/2024 10:00";
        row.ImageId = 2;
        row.MusicPath = QString::fromUtf8("/music/Caf\xc3\xa9 %1.mp3").arg(id);
        return row;
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(MusicDatabase, NewFileHasTheSchemaAndTheDefaultLists)
{
    const auto schema = Raw("select name, sql from sqlite_master where type = 'table' order by rowid");
    ASSERT_EQ(4u, schema.size());
    const char* expected[][2] = {
        {"MusicList", "create table MusicList (ListId int primary key, ListName varchar(512))"},
        {"MusicItem", "create table MusicItem (ItemId int primary key, ListId int, MusicId int )"},
        {"MusicInfo",
         "create table MusicInfo (MusicId int primary key, MusicPath varchar(512), MusicName varchar(128), "
         "TimeRecorded varchar(10), Artist varchar(128), Album varchar(128), Genre varchar(128), DateAdded "
         "varchar(20), ImageId int, AlbumTUI varchar(128),AlbumMusicList varchar(512),Year varchar(32) )"},
        {"CoverInfo", "create table CoverInfo (CoverId int primary key,MusicId int, ImagePath varchar(512))"},
    };
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(QString(expected[i][0]), schema[i][0]);
        // SQLite keeps the statement as given, with its leading keywords in capitals.
        EXPECT_EQ("CREATE TABLE" + QString(expected[i][1]).mid(12), schema[i][1]);
    }

    QList<MusicListRow> lists;
    ASSERT_EQ(0, DB_GetMusicList(lists));
    ASSERT_EQ(4, lists.size());
    const char* names[] = {"All Recordings", "New Recordings", "Recently Played", "PlayList 1"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(i + 1, lists[i].ListId);
        EXPECT_EQ(QString(names[i]), lists[i].ListName);
        EXPECT_EQ(0, lists[i].ItemCount);
    }

    // Opening again adds and changes nothing.
    DB_UpdateMusicList(2, "Renamed");
    ASSERT_EQ(0, DB_OpenDatabaseFile(path));
    lists.clear();
    ASSERT_EQ(0, DB_GetMusicList(lists));
    ASSERT_EQ(4, lists.size());
    EXPECT_EQ(QString("Renamed"), lists[1].ListName);
}

TEST_F(MusicDatabase, SongRowsRoundTrip)
{
    MusicInfoRow song = Song(7, "Hello");
    ASSERT_EQ(0, DB_SetMusicInfo(&song));
    EXPECT_EQ(SQLITE_CONSTRAINT, DB_SetMusicInfo(&song)) << "a MusicId already present";

    MusicInfoRow back;
    memset(&back.Info, 0x55, sizeof(back.Info));
    ASSERT_EQ(1, DB_GetMusicInfo(7, &back));
    EXPECT_EQ(7, back.MusicId);
    EXPECT_STREQ("Hello", back.Info.MusicName);
    EXPECT_STREQ("Artist", back.Info.Artist);
    EXPECT_STREQ("Album", back.Info.Album);
    EXPECT_STREQ("Pop;Rock", back.Info.Genre);
    EXPECT_STREQ("1999", back.Info.Year);
    EXPECT_STREQ("TUI", back.Info.AlbumTUI);
    EXPECT_STREQ("List", back.Info.AlbumMusicList);
    EXPECT_EQ(0, back.Info.CoverCount) << "the record is cleared before it is filled";
    EXPECT_EQ(song.TimeRecorded, back.TimeRecorded);
    EXPECT_EQ(song.DateAdded, back.DateAdded);
    EXPECT_EQ(2, back.ImageId);
    EXPECT_EQ(song.MusicPath, back.MusicPath);
    EXPECT_EQ(0, DB_GetMusicInfo(8, &back));

    // Year is stored as its whole 32-byte field.
    EXPECT_EQ(32, Raw("select length(cast(Year as blob)) from MusicInfo")[0][0].toInt());

    strcpy(song.Info.MusicName, "Hello Again");
    song.MusicPath = "/music/new.mp3";
    ASSERT_EQ(0, DB_UpdateMusicInfo(&song, 1));
    ASSERT_EQ(1, DB_GetMusicInfo(7, &back));
    EXPECT_STREQ("Hello Again", back.Info.MusicName);
    EXPECT_EQ(QString("/music/new.mp3"), back.MusicPath);

    MusicInfoRow other = Song(3, "Other");
    ASSERT_EQ(0, DB_SetMusicInfo(&other));
    QMap<int, MusicInfoRow*> all;
    EXPECT_EQ(2, DB_GetAllMusicInfo(all));
    ASSERT_EQ((QList<int>{3, 7}), all.keys());
    EXPECT_STREQ("Other", all[3]->Info.MusicName);
    qDeleteAll(all);

    EXPECT_EQ(0, DB_DeleteMusicinfo(7));
    EXPECT_EQ(0, DB_GetMusicInfo(7, &back));
}

// Rows written by other tools: NULLs, missing values and texts longer than
// the record's fields.
TEST_F(MusicDatabase, RowsEditedOutsideTheProgram)
{
    const std::string longTitle = std::string(126, 'a') + "\xc3\xa9\xc3\xa9";  // 130 bytes
    Exec("insert into MusicInfo (MusicId) values (1)");
    Exec(("insert into MusicInfo (MusicId, MusicName, ImageId, Year) values (2, '" + longTitle +
          "', 'x', '2001-01-01 and a very long year text')")
             .c_str());
    Exec("insert into MusicList (ListId) values (9)");

    MusicInfoRow row;
    row.MusicPath = "stale";
    ASSERT_EQ(1, DB_GetMusicInfo(1, &row));
    EXPECT_STREQ("", row.Info.MusicName);
    EXPECT_EQ(QString(), row.MusicPath);
    EXPECT_EQ(QString(), row.TimeRecorded);
    EXPECT_EQ(0, row.ImageId);

    ASSERT_EQ(1, DB_GetMusicInfo(2, &row));
    EXPECT_EQ(std::string(126, 'a'), std::string(row.Info.MusicName)) << "cut before the split character";
    EXPECT_EQ(0, row.ImageId);
    EXPECT_EQ(31u, strlen(row.Info.Year));

    QString name = "kept";
    EXPECT_EQ(0, DB_GetMusicListName(9, name));
    EXPECT_EQ(QString(), name);
    name = "kept";
    EXPECT_EQ(0, DB_GetMusicListName(77, name));
    EXPECT_EQ(QString("kept"), name);
}

TEST_F(MusicDatabase, ListsAndItems)
{
    EXPECT_TRUE(DB_SetMusicList(5, "It's mine").isNull());
    EXPECT_EQ(QString("Save List info to DB failed!"), DB_SetMusicList(5, "Twice"))
        << "a failed insert is reported, not only a failed prepare";
    QString name;
    ASSERT_EQ(0, DB_GetMusicListName(5, name));
    EXPECT_EQ(QString("It's mine"), name);

    ASSERT_EQ(0, DB_SetMusicItem(10, 1, 30));
    ASSERT_EQ(0, DB_SetMusicItem(11, 1, 20));
    ASSERT_EQ(0, DB_SetMusicItem(12, 5, 20));
    EXPECT_NE(0, DB_SetMusicItem(12, 5, 21)) << "an ItemId already present";

    QList<MusicItemLink> items;
    ASSERT_EQ(0, DB_GetMusicItem(items, 1, "ListId"));
    ASSERT_EQ(2, items.size());
    EXPECT_EQ(11, items[0].ItemId) << "ordered by MusicId";
    EXPECT_EQ(20, items[0].MusicId);
    EXPECT_EQ(10, items[1].ItemId);
    items.clear();
    ASSERT_EQ(0, DB_GetMusicItem(items, 20, "MusicId"));
    EXPECT_EQ(2, items.size());
    EXPECT_NE(0, DB_GetMusicItem(items, 1, "ListId; drop table MusicInfo"));
    EXPECT_NE(0, DB_GetMusicItem(items, 1, "NoSuchColumn"));

    QList<MusicListRow> lists;
    ASSERT_EQ(0, DB_GetMusicList(lists));
    ASSERT_EQ(5, lists.size());
    EXPECT_EQ(2, lists[0].ItemCount);
    EXPECT_EQ(0, lists[1].ItemCount);
    EXPECT_EQ(1, lists[4].ItemCount);

    EXPECT_EQ(0, DB_DeleteMusicList(5));
    lists.clear();
    DB_GetMusicList(lists);
    EXPECT_EQ(4, lists.size());
}

TEST_F(MusicDatabase, PrimaryKeys)
{
    const struct {
        std::vector<int> keys;
        int start;
        int max;
        int expected;
    } cases[] = {
        {{1, 2, 3}, 1, 100, 4}, {{1, 3}, 1, 100, 2},  {{2, 3}, 1, 100, 1},     {{5}, 1, 100, 6},
        {{}, 1, 100, 1},        {{}, 7, 100, 7},      {{1, 2, 3}, 1, 3, -1},   {{1, 2, 3, 4}, 1, 3, -1},
        {{1, 2, 4, 5}, 1, 100, 3},
    };
    for (const auto& c : cases) {
        Exec("delete from CoverInfo");
        for (int key : c.keys)
            ASSERT_EQ(0, DB_SetImageInfo(key, 1, "/p.jpg"));
        EXPECT_EQ(c.expected, CreatePrimaryKey("CoverInfo", "CoverId", c.start, c.max))
            << c.keys.size() << " keys, max " << c.max;
    }
    EXPECT_EQ(5, CreatePrimaryKey("MusicList", "ListId", 1, kMaxMusicListRows));
    EXPECT_EQ(-1, CreatePrimaryKey("MusicList; --", "ListId", 1, 999));
}

// A key query that fails knows nothing about the keys in use: it must not
// answer with `start`, which a song, cover or list may already hold.
TEST_F(MusicDatabase, PrimaryKeyOfAFailedQueryIsTheFailureCode)
{
    ASSERT_EQ(0, DB_SetImageInfo(1, 1, "/p.jpg"));
    EXPECT_EQ(-1, CreatePrimaryKey("NoSuchTable", "CoverId", 1, 999));
    EXPECT_EQ(-1, CreatePrimaryKey("CoverInfo", "NoSuchColumn", 1, 999));
    // Another program holds the file locked for writing.
    sqlite3* other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.toUtf8().constData(), &other));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr));
    EXPECT_EQ(-1, CreatePrimaryKey("CoverInfo", "CoverId", 1, kMaxCoverInfoRows));
    bool full = true;
    EXPECT_EQ(-1, CreatePrimaryKey("CoverInfo", "CoverId", 1, kMaxCoverInfoRows, &full));
    EXPECT_FALSE(full) << "a locked library is not a full one";
    EXPECT_TRUE(DB_LastErrorText().contains("locked")) << DB_LastErrorText().toStdString();
    sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(2, CreatePrimaryKey("CoverInfo", "CoverId", 1, kMaxCoverInfoRows, &full));
    EXPECT_FALSE(full);
    ASSERT_EQ(0, DB_SetImageInfo(2, 1, "/q.jpg"));
    EXPECT_EQ(-1, CreatePrimaryKey("CoverInfo", "CoverId", 1, 2, &full));
    EXPECT_TRUE(full);
}

TEST_F(MusicDatabase, ItemIdsFromTheCache)
{
    EXPECT_EQ(1, DB_CreateItemId());
    EXPECT_EQ(2, DB_CreateItemId());
    EXPECT_EQ(3, DB_CreateItemId());

    // A fresh connection loads the cache from the table: {1, 2, 5}.
    DB_CloseDatabase();
    Exec("insert into MusicItem values (1, 1, 1), (2, 1, 2), (5, 1, 5)");
    ASSERT_EQ(0, DB_OpenDatabaseFile(path));
    EXPECT_EQ(6, DB_CreateItemId()) << "the search starts at the last id, not at the gap";
    EXPECT_EQ(7, DB_CreateItemId());

    // Deleting an id in the cache gives it back once the cursor reaches it.
    EXPECT_EQ(0, DB_DeleteMusicItem(7));
    EXPECT_EQ(7, DB_CreateItemId());
    EXPECT_EQ(0, DB_DeleteMusicItem(42)) << "an id not in the cache changes nothing";
    EXPECT_EQ(8, DB_CreateItemId());
}

// Many entries at once get the ids as many single allocations would, from
// every state of the cache (empty, one id, a gap below the cursor, the top id
// reached), and their rows; refused, nothing is stored and no id is taken.
TEST_F(MusicDatabase, ManyItemsTakeTheIdsOfSingleAllocations)
{
    const struct {
        const char* name;
        const char* items;   // MusicItem rows before
    } cases[] = {
        {"empty", ""},
        {"one id", "insert into MusicItem values (7, 1, 1)"},
        {"a gap below the cursor", "insert into MusicItem values (1, 1, 1), (2, 1, 2), (5, 1, 5)"},
        {"the top id reached",
         "insert into MusicItem values (1, 1, 1), (2, 1, 2), (5, 1, 5), (7, 1, 7), (2000000000, 1, 9)"},
        {"only the top id", "insert into MusicItem values (2000000000, 1, 9)"},
    };
    const std::vector<int> songs = {11, 12, 13, 14, 15, 16};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto fresh = [&] {
            DB_CloseDatabase();
            QFile::remove(path);
            EXPECT_EQ(0, DB_OpenDatabaseFile(path));
            DB_CloseDatabase();
            if (*c.items)
                Exec(c.items);
            EXPECT_EQ(0, DB_OpenDatabaseFile(path));
        };
        fresh();
        std::vector<int> single;
        for (size_t i = 0; i < songs.size(); ++i)
            single.push_back(DB_CreateItemId());
        const int nextSingle = DB_CreateItemId();

        fresh();
        std::vector<int> ids;
        ASSERT_EQ(0, DB_SetMusicItems(4, songs, ids));
        EXPECT_EQ(ids, single);
        EXPECT_EQ(DB_CreateItemId(), nextSingle);
        QList<MusicItemLink> links;
        DB_GetMusicItem(links, 4, "ListId");
        ASSERT_EQ(links.size(), static_cast<int>(songs.size()));
        for (const MusicItemLink& link : links) {
            const auto at = std::find(ids.begin(), ids.end(), link.ItemId);
            ASSERT_NE(at, ids.end());
            EXPECT_EQ(link.MusicId, songs[static_cast<size_t>(at - ids.begin())]);
        }

        fresh();
        Exec("create trigger refuse before insert on MusicItem when new.MusicId = 14 "
             "begin select raise(abort, 'no'); end");
        EXPECT_NE(0, DB_SetMusicItems(4, songs, ids));
        EXPECT_TRUE(ids.empty());
        links.clear();
        DB_GetMusicItem(links, 4, "ListId");
        EXPECT_TRUE(links.isEmpty());
        EXPECT_EQ(DB_CreateItemId(), single.front()) << "the refused ids are free again";
    }
}

TEST_F(MusicDatabase, TwoThreadsNeverShareAnItemId)
{
    const int perThread = 5000;
    std::vector<int> a, b;
    auto allocate = [&](std::vector<int>& out) {
        for (int i = 0; i < perThread; ++i) {
            const int id = DB_CreateItemId();
            out.push_back(id);
            if (i % 7 == 0)
                DB_DeleteMusicItem(id);  // deletions move entries under the other thread
        }
    };
    std::thread t1(allocate, std::ref(a));
    std::thread t2(allocate, std::ref(b));
    t1.join();
    t2.join();
    // Ids deleted again may come back; the live ones must be unique.
    std::multiset<int> live;
    for (const auto* v : {&a, &b})
        for (size_t i = 0; i < v->size(); ++i)
            if (i % 7 != 0)
                live.insert((*v)[i]);
    std::set<int> unique(live.begin(), live.end());
    EXPECT_EQ(live.size(), unique.size());
    EXPECT_EQ(0u, live.count(-1));
}

TEST_F(MusicDatabase, CoverCandidates)
{
    MusicInfoRow song = Song(1, "Seven covers");
    for (int i = 1; i <= 7; ++i)
        ASSERT_EQ(0, DB_SetImageInfo(i, 1, QString("/covers/%1.jpg").arg(i).toUtf8().constData()));
    ASSERT_EQ(0, DB_SetImageInfo(8, 2, "/covers/1.jpg"));  // another song shares a picture

    memset(&song.Info, 0, sizeof(song.Info));
    ASSERT_EQ(0, DB_GetImageInfo(&song));
    EXPECT_EQ(5, song.Info.CoverCount);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(i + 1, song.Info.CoverIds[i]);
        EXPECT_EQ(QString("/covers/%1.jpg").arg(i + 1), QString(song.Info.CoverPaths[i]));
    }
    EXPECT_EQ(6u, Raw("select CoverId from CoverInfo where MusicId = 1").size()) << "the sixth row went";
    EXPECT_TRUE(Raw("select 1 from CoverInfo where CoverId = 6").empty());

    ASSERT_EQ(0, DB_GetImageInfo(&song));
    EXPECT_EQ(5, song.Info.CoverCount);
    EXPECT_TRUE(Raw("select 1 from CoverInfo where CoverId = 7").empty()) << "the seventh on the next read";
    ASSERT_EQ(0, DB_GetImageInfo(&song));
    EXPECT_EQ(5u, Raw("select 1 from CoverInfo where MusicId = 1").size());

    EXPECT_EQ(1, DB_GetImageId("/covers/1.jpg"));
    DB_DeleteImage(1);
    EXPECT_EQ(1, DB_GetImageId("/covers/1.jpg")) << "still named by song 2";
    DB_DeleteImage(8);
    EXPECT_EQ(0, DB_GetImageId("/covers/1.jpg"));
}

TEST_F(MusicDatabase, NewListNames)
{
    QString name;
    DB_GetNewListName(name);
    EXPECT_EQ(QString("PlayList 2"), name) << "default list 4 is PlayList 1";
    ASSERT_TRUE(DB_SetMusicList(5, name).isNull());
    DB_GetNewListName(name);
    EXPECT_EQ(QString("PlayList 3"), name);
    ASSERT_TRUE(DB_SetMusicList(6, "playlist 3").isNull());
    DB_GetNewListName(name);
    EXPECT_EQ(QString("PlayList 3"), name) << "the comparison is case-sensitive";
}

// Translations holding quotes reach the database as they are.
class QuotingTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        if (qstrcmp(context, "QObject") != 0)
            return QString();
        if (qstrcmp(source, "All Recordings") == 0)
            return "Alle 'Aufnahmen'";
        if (qstrcmp(source, "PlayList") == 0)
            return "Liste d'\"écoute\"";
        if (qstrcmp(source, "PlayList 1") == 0)
            return QString::fromUtf8("Liste d'\"écoute\" 1");
        return QString();
    }
    bool isEmpty() const override { return false; }
};

TEST(MusicDatabaseTranslated, QuotesInTranslatedNames)
{
    QuotingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    QTemporaryDir dir;
    ASSERT_EQ(0, DB_OpenDatabaseFile(dir.filePath("music.db")));
    QString name;
    ASSERT_EQ(0, DB_GetMusicListName(1, name));
    EXPECT_EQ(QString("Alle 'Aufnahmen'"), name);
    ASSERT_EQ(0, DB_GetMusicListName(4, name));
    EXPECT_EQ(QString::fromUtf8("Liste d'\"écoute\" 1"), name);
    DB_GetNewListName(name);
    EXPECT_EQ(QString::fromUtf8("Liste d'\"écoute\" 2"), name);
    DB_CloseDatabase();
    QCoreApplication::removeTranslator(&translator);
}

// A library in a folder that does not exist cannot be made: nothing opens.
TEST(MusicDatabaseRobustness, MissingFolder)
{
    QTemporaryDir dir;
    EXPECT_NE(0, DB_OpenDatabaseFile(dir.filePath("no/such/folder/music.db")));
    EXPECT_FALSE(DB_IsOpen());
    EXPECT_FALSE(DB_LastRepair().rebuilt);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("no")));
}

// A library that fails SQLite's check or that SQLite cannot use: the file is
// kept as it was (once), a fresh library made of every row that still reads
// takes its place, and it takes new songs.
class DamagedLibrary : public ::testing::Test {
protected:
    static constexpr int kSongs = 2001;
    void SetUp() override
    {
        path = dir.filePath("music.db");
        ASSERT_EQ(0, DB_OpenDatabaseFile(path));
        DB_CreateTransaction();
        for (int id = 1; id <= kSongs; ++id) {
            MusicInfoRow song;
            song.MusicId = id;
            song.MusicPath = QStringLiteral("/music/a song with a name long enough %1.mp3").arg(id);
            CopyUtf8Field(song.Info.MusicName, sizeof song.Info.MusicName, QByteArray("Title ") + QByteArray::number(id));
            CopyUtf8Field(song.Info.Year, sizeof song.Info.Year, QByteArray("1999"));
            song.TimeRecorded = "03:25";
            // Every third song was played: its play date follows the date added.
            song.DateAdded = id % 3 ? "05/01/2024 10:00" : "05/01/2024 10:00;05/02/2024 11:00";
            ASSERT_EQ(0, DB_SetMusicInfo(&song));
            if (id % 5 == 0)
                DB_SetImageInfo(id, id, QStringLiteral("/covers/%1.jpg").arg(id).toUtf8().constData());
        }
        // The user deleted "PlayList 1" and made three lists.
        DB_DeleteMusicList(4);
        for (int list = 5; list <= 7; ++list)
            ASSERT_TRUE(DB_SetMusicList(list, QStringLiteral("Mix %1").arg(list)).isNull());
        std::vector<int> ids;
        for (int id = 1; id <= kSongs; id += 7)
            ids.push_back(id);
        std::vector<int> itemIds;
        for (int list = 5; list <= 7; ++list)
            ASSERT_EQ(0, DB_SetMusicItems(list, ids, itemIds));
        DB_CommitTransaction();
        DB_CloseDatabase();
        original = Rows(path);
    }
    void TearDown() override { DB_CloseDatabase(); }

    // Every row of every table, each column's bytes as stored, by table.
    static std::map<QString, std::set<QByteArray>> Rows(const QString& file)
    {
        std::map<QString, std::set<QByteArray>> rows;
        sqlite3* db = nullptr;
        sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        for (const char* table : {"MusicList", "MusicItem", "MusicInfo", "CoverInfo"}) {
            sqlite3_stmt* stmt = nullptr;
            const QByteArray sql = QByteArray("select * from ") + table;
            if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK) {
                while (sqlite3_step(stmt) == SQLITE_ROW) {
                    QByteArray row;
                    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                        const char* text = reinterpret_cast<const char*>(sqlite3_column_blob(stmt, i));
                        row += QByteArray(text, sqlite3_column_bytes(stmt, i)) + '|';
                    }
                    rows[table].insert(row);
                }
            }
            sqlite3_finalize(stmt);
        }
        sqlite3_close(db);
        return rows;
    }
    QStringList KeptCopies() const
    {
        return QDir(dir.path()).entryList({"music.db.damaged-*"}, QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    QString path;
    std::map<QString, std::set<QByteArray>> original;
};

// A file cut in the middle of a page: the rows of that page that lie whole
// before the cut are saved too, and nothing of what the cut left as zeros.
TEST_F(DamagedLibrary, ACutInsideAPageSavesWholeRowsOnly)
{
    int pageSize = 0;
    const std::vector<damaged_library::LeafPage> leaves = damaged_library::LeafPages(path, "MusicInfo", &pageSize);
    ASSERT_GT(leaves.size(), 8u);
    const damaged_library::LeafPage& cutPage = leaves[leaves.size() / 2];
    const qint64 cut = static_cast<qint64>(cutPage.page - 1) * pageSize + pageSize / 2;
    int before = 0;
    for (const damaged_library::LeafPage& leaf : leaves)
        before += leaf.page < cutPage.page ? leaf.rows : 0;
    ASSERT_TRUE(QFile::resize(path, cut));

    ASSERT_EQ(0, DB_OpenDatabaseFile(path));
    const int saved = DB_LastRepair().songsSaved;
    EXPECT_GE(saved, before);
    EXPECT_LT(saved, before + cutPage.rows);
    DB_CloseDatabase();
    const std::set<QByteArray> rows = Rows(path)["MusicInfo"];
    EXPECT_EQ(static_cast<int>(rows.size()), saved);
    EXPECT_TRUE(std::includes(original["MusicInfo"].begin(), original["MusicInfo"].end(), rows.begin(), rows.end()));
}

// A damaged file whose songs table has fewer columns (made by an older or
// another program): its rows are saved with the columns it has.
TEST(MusicDatabaseRobustness, DamagedFileOfFewerColumns)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("music.db");
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(path.toUtf8().constData(), &db));
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db,
                                          "create table MusicInfo (MusicId int primary key, MusicPath varchar(512));"
                                          "with recursive n(i) as (select 1 union all select i + 1 from n where i < 600) "
                                          "insert into MusicInfo select i, printf('/music/song %d of a long name.mp3', i) "
                                          "from n",
                                          nullptr, nullptr, nullptr));
        sqlite3_close(db);
    }
    int pageSize = 0;
    const auto leaves = damaged_library::LeafPages(path, "MusicInfo", &pageSize);
    ASSERT_GT(leaves.size(), 3u);
    ASSERT_TRUE(damaged_library::OverwritePages(path, {leaves[1].page}, pageSize));

    ASSERT_EQ(0, DB_OpenDatabaseFile(path));
    EXPECT_EQ(DB_LastRepair().songsSaved, 600 - leaves[1].rows);
    MusicInfoRow song;
    ASSERT_EQ(1, DB_GetMusicInfo(600, &song));
    EXPECT_EQ(song.MusicPath, "/music/song 600 of a long name.mp3");
    EXPECT_STREQ(song.Info.MusicName, "");
    DB_CloseDatabase();
}

TEST(MusicDatabaseRobustness, ReadOnlyFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the super-user";
    QTemporaryDir dir;
    const QString path = dir.filePath("music.db");
    ASSERT_EQ(0, DB_OpenDatabaseFile(path));
    MusicInfoRow song;
    song.MusicId = 1;
    strcpy(song.Info.MusicName, "Kept");
    ASSERT_EQ(0, DB_SetMusicInfo(&song));
    ASSERT_EQ(0, DB_CloseDatabase());
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    ASSERT_EQ(0, DB_OpenDatabaseFile(path));
    MusicInfoRow back;
    EXPECT_EQ(1, DB_GetMusicInfo(1, &back));
    EXPECT_STREQ("Kept", back.Info.MusicName);
    song.MusicId = 2;
    EXPECT_EQ(SQLITE_READONLY, DB_SetMusicInfo(&song));
    EXPECT_FALSE(DB_SetMusicList(9, "x").isNull());
    QList<MusicListRow> lists;
    EXPECT_EQ(0, DB_GetMusicList(lists));
    EXPECT_EQ(4, lists.size());
    DB_CloseDatabase();
}

// With no open database every function reports an error and touches nothing.
TEST(MusicDatabaseRobustness, ClosedDatabase)
{
    QTemporaryDir dir;
    ASSERT_EQ(0, DB_OpenDatabaseFile(dir.filePath("music.db")));
    ASSERT_EQ(0, DB_CloseDatabase());
    EXPECT_NE(0, DB_CloseDatabase());

    MusicInfoRow row;
    row.MusicId = 1;
    QMap<int, MusicInfoRow*> all;
    QList<MusicItemLink> items;
    QList<MusicListRow> lists;
    QString name = "kept";
    EXPECT_NE(0, DB_CreateTransaction());
    EXPECT_NE(0, DB_CommitTransaction());
    EXPECT_LT(DB_GetMusicInfo(1, &row), 1);
    EXPECT_LT(DB_GetAllMusicInfo(all), 1);
    EXPECT_NE(0, DB_GetImageInfo(&row));
    EXPECT_NE(0, DB_GetMusicItem(items, 1, "ListId"));
    EXPECT_NE(0, DB_GetMusicList(lists));
    EXPECT_NE(0, DB_GetMusicListName(1, name));
    EXPECT_NE(0, DB_DeleteMusicinfo(1));
    EXPECT_NE(0, DB_DeleteMusicList(1));
    EXPECT_NE(0, DB_DeleteMusicItem(1));
    EXPECT_NE(0, DB_DeleteImage(1));
    EXPECT_NE(0, DB_SetMusicInfo(&row));
    EXPECT_NE(0, DB_UpdateMusicInfo(&row));
    EXPECT_NE(0, DB_SetMusicItem(1, 1, 1));
    EXPECT_FALSE(DB_SetMusicList(9, "x").isNull());
    EXPECT_NE(0, DB_UpdateMusicList(1, "x"));
    EXPECT_NE(0, DB_SetImageInfo(1, 1, "/x.jpg"));
    EXPECT_EQ(0, DB_GetImageId("/x.jpg"));
    EXPECT_EQ(-1, CreatePrimaryKey("MusicInfo", "MusicId", 1, kMaxMusicInfoRows));
    EXPECT_EQ(-1, DB_CreateItemId());
    EXPECT_TRUE(all.isEmpty() && items.isEmpty() && lists.isEmpty());
    EXPECT_EQ(QString("kept"), name);
}

}  // namespace
