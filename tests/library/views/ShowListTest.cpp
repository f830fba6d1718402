#include "CAppSettings.h"
#include "CFilterEdit.h"
#include "CListTreeItem.h"
#include "CMToolButton.h"
#include "CMusicInfoTreeWidget.h"
#include "CShowListWidget.h"
#include "CTreeWidgetItem.h"
#include "DialogButtonInfo.h"
#include "MusicDatabase.h"
#include "ViewsTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QSignalSpy>

#include <sqlite3.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <ostream>
#include <memory>

namespace {
class TestPage : public CShowListWidget {
public:
    using CShowListWidget::CShowListWidget;
    int questions = 0;
    int menus = 0;
protected:
    void PopupMenu(const QPoint&) override { ++menus; }
    int AskQuestion(const QString&, const QList<DialogButtonInfo>&, bool, bool*) override
    {
        ++questions;
        return QDialogButtonBox::Cancel;
    }
};

RecordMusicInfo Recognised(const QString& title, const QStringList& covers)
{
    RecordMusicInfo info;
    std::memset(&info, 0, sizeof info);
    SET_FIELD(info.MusicName, title);
    SET_FIELD(info.Artist, "Singer");
    SET_FIELD(info.Album, "Album");
    SET_FIELD(info.Year, "2001");
    SET_FIELD(info.Genre, "Pop;Dance");
    info.CoverCount = covers.size();
    for (int i = 0; i < covers.size(); ++i)
        SET_FIELD(info.CoverPaths[i], covers[i]);
    return info;
}
} // namespace

class ShowListTest : public LibraryDbTest {
protected:
    void TearDown() override
    {
        delete page;
        page = nullptr;
        qDeleteAll(entries);
        LibraryDbTest::TearDown();
    }
    void Build()
    {
        entries = StoredListEntries();
        page = new TestPage(entries, nullptr, nullptr);
        page->resize(800, 500);
    }
    QSet<int> Visible() const
    {
        QSet<int> ids;
        for (CTreeWidgetItem* row : page->GetVisibleItems())
            ids.insert(row->GetMusicId());
        return ids;
    }
    // Runs a statement straight on the library file, behind the program's back.
    void OnLibraryFile(const char* sql)
    {
        DB_CloseDatabase();
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(Path("music.db").toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
        ASSERT_EQ(DB_OpenDatabaseFile(Path("music.db")), 0);
    }
    // A library of `songs` songs, the file of song `id` at path(id), all of
    // them shown and selected; the track list.
    CMusicInfoTreeWidget* ShowAllSelected(int songs, const std::function<QString(int)>& path)
    {
        DB_CreateTransaction();
        for (int id = 1; id <= songs; ++id)
            AddSong(id, QStringLiteral("Song %1").arg(id), "A", "B", "Pop", DateText(0), path(id));
        DB_CommitTransaction();
        Build();
        page->show();
        page->ShowList(1);
        page->selectAll();
        return page->TrackList();
    }
    // A library of `songs` whose folder was moved away, every song selected
    // and the context menu asked for on the first.
    CMusicInfoTreeWidget* RightPressOnAMovedLibrary(int songs)
    {
        CMusicInfoTreeWidget* list = ShowAllSelected(songs, [this](int) { return Path("moved/song.mp3"); });
        page->customContextMenuRequested(list->visualItemRect(list->topLevelItem(0)).center());
        return list;
    }
    QList<CListTreeItem*> entries;
    TestPage* page = nullptr;
};

TEST_F(ShowListTest, LoadRulesForTheFixedAndUserLists)
{
    AddSong(1, "Today", "A", "X", "Rock", DateText(0));
    AddSong(2, "Yesterday", "B", "Y", "Pop", DateText(-1));
    AddSong(3, "PlayedYesterday", "C", "Z", "Jazz", DateText(-10) + ";" + DateText(-1));
    AddSong(4, "PlayedLongAgo", "D", "W", "Folk", DateText(-10) + ";" + DateText(-3));
    ASSERT_EQ(DB_SetMusicItem(100, 4, 2), 0);
    ASSERT_EQ(DB_SetMusicItem(101, 4, 77), 0);   // its song is gone
    Build();
    EXPECT_EQ(page->GetListItemCount(1), 4);
    EXPECT_EQ(page->GetListItemCount(2), 1);
    EXPECT_EQ(page->GetListItemCount(3), 1);
    EXPECT_EQ(page->GetListItemCount(4), 1);
    EXPECT_EQ(page->GetListItemCount(42), 0);
    EXPECT_EQ(entries[0]->GetQuantity(), 4);
    EXPECT_EQ(entries[3]->GetQuantity(), 1);
    EXPECT_EQ(Stored(4)->DateAdded, DateText(-10));   // play date cut back
    EXPECT_EQ(Stored(3)->DateAdded.size(), 33);
    QList<MusicItemLink> links;
    DB_GetMusicItem(links, 4, "ListId");
    ASSERT_EQ(links.size(), 1);
    EXPECT_EQ(links.front().ItemId, 100);
    EXPECT_EQ(page->GetItemsByMusicId({4, 99, 1}).size(), 2);
}

namespace {
// What a track row shows and keeps, to compare two ways of making rows.
struct RowView {
    int musicId;
    QStringList cells;
    QString coverPath, musicPath, dateText;
    bool operator==(const RowView& o) const
    {
        return musicId == o.musicId && cells == o.cells && coverPath == o.coverPath && musicPath == o.musicPath
            && dateText == o.dateText;
    }
};

std::ostream& operator<<(std::ostream& os, const RowView& r)
{
    return os << r.musicId << " [" << r.cells.join('|').toStdString() << "] " << r.coverPath.toStdString()
              << " " << r.musicPath.toStdString() << " " << r.dateText.toStdString();
}

std::vector<RowView> RowsInOrder(const QTreeWidget& list)
{
    std::vector<RowView> rows;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        auto* row = dynamic_cast<CTreeWidgetItem*>(list.topLevelItem(i));
        if (!row)
            continue;
        RowView v{row->GetMusicId(), {}, row->GetCoverPath(), row->GetMusicPath(), row->GetDateText()};
        for (int c = CTreeWidgetItem::ColName; c <= CTreeWidgetItem::ColDate; ++c)
            v.cells << row->text(c);
        rows.push_back(v);
    }
    return rows;
}

std::vector<std::pair<int, QString>> CoverRows(const QString& file)
{
    std::vector<std::pair<int, QString>> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open(file.toUtf8().constData(), &db) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "select CoverId, ImagePath from CoverInfo order by CoverId", -1, &stmt, nullptr);
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
            rows.emplace_back(sqlite3_column_int(stmt, 0),
                              QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1))));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return rows;
}
} // namespace

// The page reads a lighter record, all covers in one query and sorts its rows
// itself before inserting them; the rows, their texts, their order and what
// the load leaves in the file must be those of reading every record whole,
// asking each song's covers and letting the list sort.
TEST_F(ShowListTest, LoadingMatchesReadingEachRecordWhole)
{
    // Equal dates in both orders of MusicId (ties), texts differing in case
    // only, empty texts, genres with and without ';', several play dates.
    AddSong(1, "beta", "Zed", "", "Rock;Pop", DateText(-5, "10:00"));
    AddSong(2, "Beta", "", "Album", "", DateText(-5, "10:00"), "/music/2021-05-06 07.08.09.mp3");
    AddSong(3, "", "zed", "album", "Jazz", DateText(-5, "10:00") + ";" + DateText(-1, "09:00"),
            "/music/no title.mp3");
    AddSong(4, "ALPHA", "a", "b", ";Lead", DateText(0, "23:59"));
    AddSong(5, "Éclair", "Ärger", "über", "Pop", DateText(-400, "00:00") + ";" + DateText(-3, "12:00"));
    AddSong(7, "alpha", "A", "B", "Pop;", DateText(-5, "10:00"));
    AddSong(9, "gamma", "x", "y", "z", QStringLiteral("13/45/2020 99:99"));   // unreadable date
    AddSong(11, "short date", "x", "y", "z", QStringLiteral("01/02"));
    // A path longer than a row keeps in its own text block.
    AddSong(13, "", "", "", "", DateText(-2, "11:00"), "/" + QString(70000, QChar('p')) + "/long name.mp3");
    // Texts longer than a record's field and covers written by another tool:
    // cut on a character boundary; seven covers of which the sixth goes; a
    // song gone from the library whose six covers stay untouched.
    const QByteArray longTitle = QByteArray("x") + QString(100, QChar(0xE9)).toUtf8();   // 201 bytes
    const QByteArray longPath = "/p/" + QByteArray(600, 'c') + ".jpg";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Path("music.db").toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "update MusicInfo set MusicName = ?, ImageId = 3 where MusicId = 7", -1, &stmt,
                                 nullptr), SQLITE_OK);
    sqlite3_bind_text(stmt, 1, longTitle.constData(), longTitle.size(), SQLITE_STATIC);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_DONE);
    sqlite3_finalize(stmt);
    ASSERT_EQ(sqlite3_exec(db,
                           "update MusicInfo set ImageId = 9 where MusicId = 2;"
                           "insert into CoverInfo values (70, 7, '/p/seven-1.jpg');"
                           "insert into CoverInfo values (12, 7, '/p/seven-2.jpg');"
                           "insert into CoverInfo values (33, 7, '/p/seven-3.jpg');"
                           "insert into CoverInfo values (4, 7, '/p/seven-4.jpg');"
                           "insert into CoverInfo values (55, 7, '/p/seven-5.jpg');"
                           "insert into CoverInfo values (6, 7, '/p/seven-6.jpg');"
                           "insert into CoverInfo values (77, 7, '/p/seven-7.jpg');"
                           "insert into CoverInfo values (20, 2, '/p/two-1.jpg');"
                           "insert into CoverInfo values (21, 2, '');"
                           "insert into CoverInfo values (90, 8, '/p/gone-1.jpg');"
                           "insert into CoverInfo values (91, 8, '/p/gone-2.jpg');"
                           "insert into CoverInfo values (92, 8, '/p/gone-3.jpg');"
                           "insert into CoverInfo values (93, 8, '/p/gone-4.jpg');"
                           "insert into CoverInfo values (94, 8, '/p/gone-5.jpg');"
                           "insert into CoverInfo values (95, 8, '/p/gone-6.jpg');",
                           nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_prepare_v2(db, "insert into CoverInfo values (40, 4, ?)", -1, &stmt, nullptr), SQLITE_OK);
    sqlite3_bind_text(stmt, 1, longPath.constData(), longPath.size(), SQLITE_STATIC);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_DONE);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    const auto playedLongAgo = Stored(5);
    ASSERT_TRUE(playedLongAgo);
    const auto coversBefore = CoverRows(Path("music.db"));

    // The reference: the same file read record by record, rows added to a
    // sorting list as they come.
    ASSERT_TRUE(QFile::copy(Path("music.db"), Path("reference.db")));
    ASSERT_EQ(DB_OpenDatabaseFile(Path("reference.db")), 0);
    QMap<int, MusicInfoRow*> records;
    ASSERT_EQ(DB_GetAllMusicInfo(records), 9);
    CMusicInfoTreeWidget reference;
    QList<QTreeWidgetItem*> referenceRows;
    for (MusicInfoRow* record : records) {
        DB_GetImageInfo(record);
        referenceRows.append(new CTreeWidgetItem(record->MusicId, record, nullptr));
    }
    qDeleteAll(records);
    reference.addTopLevelItems(referenceRows);
    reference.model()->index(0, 0);   // runs the sort the insertion left pending
    std::vector<RowView> expected = RowsInOrder(reference);
    ASSERT_EQ(expected.size(), 9u);
    // Loading also cuts a play date older than two days, which the row then
    // no longer keeps.
    for (RowView& row : expected) {
        if (row.musicId == 5)
            row.dateText.clear();
    }

    ASSERT_EQ(DB_OpenDatabaseFile(Path("music.db")), 0);
    Build();
    auto* list = page->findChild<CMusicInfoTreeWidget*>();
    ASSERT_TRUE(list);
    EXPECT_EQ(RowsInOrder(*list), expected);
    // Sorting stays on, by the date column, newest first.
    EXPECT_TRUE(list->isSortingEnabled());
    EXPECT_EQ(list->header()->sortIndicatorSection(), CTreeWidgetItem::ColDate);
    EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_TRUE(list->header()->isSortIndicatorShown());
    // Sorted again by another column, the two lists still agree.
    for (auto [column, order] : {std::make_pair(int(CTreeWidgetItem::ColName), Qt::AscendingOrder),
                                 std::make_pair(int(CTreeWidgetItem::ColArtist), Qt::DescendingOrder)}) {
        list->sortItems(column, order);
        reference.sortItems(column, order);
        std::vector<int> ids, referenceIds;
        for (const RowView& row : RowsInOrder(*list))
            ids.push_back(row.musicId);
        for (const RowView& row : RowsInOrder(reference))
            referenceIds.push_back(row.musicId);
        EXPECT_EQ(ids, referenceIds) << column;
    }
    EXPECT_EQ(page->GetListItemCount(3), 1);   // song 3; song 5's play is too old

    // The file: song 5's play date cut and the rest of its record as it was;
    // of the covers only song 7's sixth is gone.
    auto after = Stored(5);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->DateAdded, playedLongAgo->DateAdded.left(16));
    after->DateAdded = playedLongAgo->DateAdded;
    EXPECT_EQ(std::memcmp(&after->Info, &playedLongAgo->Info, sizeof after->Info), 0);
    auto coversExpected = coversBefore;
    coversExpected.erase(std::remove_if(coversExpected.begin(), coversExpected.end(),
                                        [](const std::pair<int, QString>& c) { return c.first == 6; }),
                         coversExpected.end());
    EXPECT_EQ(CoverRows(Path("music.db")), coversExpected);
}

// The right click walks the selected songs' files until one exists: the songs
// passed over get the notice, the one found loses it, the rest stay as they
// were; the menu then offers what can be done with the songs.
TEST_F(ShowListTest, ContextMenuFollowsTheSelectedSongsFiles)
{
    const SkinPictures skin;
    ASSERT_TRUE(skin.loaded);
    // Shown newest first: 4, 3, 2, 1.
    for (int id = 1; id <= 4; ++id)
        AddSong(id, QStringLiteral("Song %1").arg(id), "A", "B", "Pop", DateText(0, QStringLiteral("1%1:00").arg(id)));
    ASSERT_EQ(DB_SetMusicItem(100, 4, 2), 0);
    ASSERT_EQ(DB_SetMusicItem(101, 4, 3), 0);
    Build();
    page->show();
    struct Case {
        const char* what;
        int list;
        QList<int> selected;   // in shown order
        QList<int> existing;   // songs whose files are there
        QSet<int> noticedBefore;
        QSet<int> noticedAfter;
        bool play, edit, playlists, itunes, folder;
    };
    const Case cases[] = {
        {"walk stops at the first file there", 1, {4, 3, 2, 1}, {2}, {2, 1}, {4, 3, 1}, true, false, true, true, false},
        {"one song there", 1, {3}, {3}, {3}, {}, true, true, true, true, true},
        {"every file missing", 1, {4, 3, 2, 1}, {}, {}, {4, 3, 2, 1}, false, false, false, false, false},
        {"in a play list", 4, {3, 2}, {3, 2}, {}, {}, true, false, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int id = 1; id <= 4; ++id) {
            QFile::remove(Path(QStringLiteral("song%1.mp3").arg(id)));
            if (c.existing.contains(id))
                WriteFile(Path(QStringLiteral("song%1.mp3").arg(id)), "x");
            page->GetItemsByMusicId({id}).front()->SetNoticeIcon(c.noticedBefore.contains(id));
        }
        page->ShowList(c.list);
        CMusicInfoTreeWidget* list = page->TrackList();
        list->clearSelection();
        for (CTreeWidgetItem* row : page->GetItemsByMusicId(c.selected))
            row->setSelected(true);
        const int menus = page->menus;
        CTreeWidgetItem* clicked = page->GetItemsByMusicId({c.selected.front()}).front();
        page->customContextMenuRequested(list->visualItemRect(clicked).center());
        ASSERT_TRUE(page->WaitForFileCheck(5000));
        EXPECT_EQ(page->menus, menus + 1);
        QSet<int> noticed;
        for (int id = 1; id <= 4; ++id) {
            const QIcon icon = page->GetItemsByMusicId({id}).front()->icon(CTreeWidgetItem::ColNotice);
            if (!icon.isNull())
                noticed.insert(id);
        }
        EXPECT_EQ(noticed, c.noticedAfter);
        EXPECT_EQ(page->PlayAction()->isEnabled(), c.play);
        EXPECT_EQ(page->EditTagsAction()->isEnabled(), c.edit);
        EXPECT_EQ(page->PlayListMenu()->isEnabled(), c.playlists);
        EXPECT_EQ(page->ITunesAction()->isEnabled(), c.itunes);
        EXPECT_EQ(page->ShowInFolderAction()->isEnabled(), c.folder);
        EXPECT_TRUE(page->SelectAllAction()->isEnabled());
        EXPECT_TRUE(page->UnselectAllAction()->isEnabled());
        EXPECT_TRUE(page->DeleteAction()->isEnabled());
        // A play list's own entry is offered everywhere but in that list.
        ASSERT_NE(page->GetListAction(4), nullptr);
        EXPECT_EQ(page->GetListAction(4)->isEnabled(), c.list != 4);
    }
}

// A moved music folder: thousands of selected songs, none there. The notice
// is one shared picture, so marking them all keeps no picture per row.
TEST_F(ShowListTest, ContextMenuMarksAWholeMissingSelection)
{
    const SkinPictures skin;
    ASSERT_TRUE(skin.loaded);
    CMusicInfoTreeWidget* list = ShowAllSelected(3000, [this](int) { return Path("moved/song.mp3"); });
    page->customContextMenuRequested(list->visualItemRect(list->topLevelItem(0)).center());
    ASSERT_TRUE(page->WaitForFileCheck(10000));
    EXPECT_FALSE(page->PlayAction()->isEnabled());
    const qint64 picture = list->topLevelItem(0)->icon(CTreeWidgetItem::ColNotice).cacheKey();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QIcon icon = list->topLevelItem(i)->icon(CTreeWidgetItem::ColNotice);
        ASSERT_FALSE(icon.isNull()) << i;
        ASSERT_EQ(icon.cacheKey(), picture) << i;
    }
}

// A selection too large to check before the menu shows (a moved music
// folder): the menu opens at once, offering what missing files allow, and
// follows once the walk over the files, which goes on meanwhile, finds the
// song that is there.
TEST_F(ShowListTest, ContextMenuOpensBeforeALongFileCheckEnds)
{
    const SkinPictures skin;
    ASSERT_TRUE(skin.loaded);
    // Every missing file costs the walk a long look-up: its folder path runs
    // back into its own folder through a link, 39 times over.
    ASSERT_TRUE(QDir().mkpath(Path("moved")));
    ASSERT_TRUE(QFile::link(".", Path("moved/again")));
    QString folder = Path("moved");
    for (int i = 0; i < 39; ++i)
        folder += "/again";
    constexpr int kSongs = 30000;
    CMusicInfoTreeWidget* list =
        ShowAllSelected(kSongs, [&](int id) { return folder + QStringLiteral("/song%1.mp3").arg(id); });
    const QList<CTreeWidgetItem*> selected = list->GetSelectedItems();
    ASSERT_EQ(selected.size(), kSongs);
    // The last song the walk comes to is there.
    WriteFile(Path(QStringLiteral("moved/song%1.mp3").arg(selected.last()->GetMusicId())), "x");

    page->customContextMenuRequested(list->visualItemRect(list->topLevelItem(0)).center());
    EXPECT_EQ(page->menus, 1);
    EXPECT_FALSE(page->PlayAction()->isEnabled()) << "the menu did not wait for the walk";
    EXPECT_FALSE(page->ITunesAction()->isEnabled());
    ASSERT_TRUE(page->WaitForFileCheck(30000));
    EXPECT_TRUE(page->PlayAction()->isEnabled());
    EXPECT_TRUE(page->ITunesAction()->isEnabled());
    EXPECT_FALSE(selected.first()->icon(CTreeWidgetItem::ColNotice).isNull());
    EXPECT_TRUE(selected.last()->icon(CTreeWidgetItem::ColNotice).isNull());
}

// Songs deleted while the menu's walk of their files still goes on: the
// walk stops reading their rows (the sanitizer build would see it read freed
// ones) and still ends.
TEST_F(ShowListTest, DeletingSongsStopsTheMenusWalkOfThem)
{
    CMusicInfoTreeWidget* list = RightPressOnAMovedLibrary(20000);
    CAppSettings::GetInstance()->SetDeleteType(1);
    QList<CTreeWidgetItem*> doomed;
    for (int i = 0; i < list->topLevelItemCount(); i += 2)
        doomed.append(static_cast<CTreeWidgetItem*>(list->topLevelItem(i)));
    page->DeleteSelectedMusic(doomed, 1);
    CAppSettings::GetInstance()->SetDeleteType(0);
    QElapsedTimer spin;
    spin.start();
    while (spin.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(page->WaitForFileCheck(10000));
    EXPECT_EQ(list->topLevelItemCount(), 10000);
}

TEST_F(ShowListTest, ShowListAndFilter)
{
    AddSong(1, "Morning Song", "Alice", "Dawn", "Rock", DateText(0, "08:00"));
    AddSong(2, "Evening", "Bob", "Dusk", "Morning", DateText(0, "20:00"));
    AddSong(3, "Night", "Carol", "MORNING glory", "Jazz", DateText(-5) + ";" + DateText(0));
    AddSong(4, "Noon", "Dave", "Sun", "Pop", DateText(-5));
    Build();
    EXPECT_EQ(page->GetShownListId(), 0);
    EXPECT_EQ(page->ShowList(1), 1);
    EXPECT_EQ(Visible(), (QSet<int>{1, 2, 3, 4}));
    EXPECT_EQ(page->ShowList(1), 0);
    EXPECT_EQ(page->ShowList(2), 1);
    EXPECT_EQ(Visible(), (QSet<int>{1, 2}));
    EXPECT_EQ(page->ShowList(3), 1);
    EXPECT_EQ(Visible(), QSet<int>{3});
    EXPECT_EQ(page->TrackList()->headerItem()->text(CTreeWidgetItem::ColDate), "Date Played");
    EXPECT_EQ(page->GetItemsByMusicId({3}).front()->text(CTreeWidgetItem::ColDate), DateText(0));
    page->ShowList(1);
    EXPECT_EQ(page->TrackList()->headerItem()->text(CTreeWidgetItem::ColDate), "Date Added");
    EXPECT_EQ(page->GetItemsByMusicId({3}).front()->text(CTreeWidgetItem::ColDate), DateText(-5));

    QSignalSpy nulls(page, &CShowListWidget::FilterListToNull);
    page->Filter(0, "morning");   // Name, Artist, Album; not Genre
    EXPECT_EQ(Visible(), (QSet<int>{1, 3}));
    page->Filter(CTreeWidgetItem::ColArtist, "BOB");
    EXPECT_EQ(Visible(), QSet<int>{2});
    EXPECT_EQ(nulls.count(), 0);
    page->Filter(0, "nothing matches");
    EXPECT_TRUE(Visible().isEmpty());
    page->Filter(0, "still nothing");
    ASSERT_EQ(nulls.count(), 1);
    EXPECT_TRUE(nulls.front().front().toBool());
    page->Filter(0, "");
    EXPECT_EQ(Visible(), (QSet<int>{1, 2, 3, 4}));
    ASSERT_EQ(nulls.count(), 2);
    EXPECT_FALSE(nulls.back().front().toBool());
}

// The filter keeps copies of the shown list and of the rows' texts between
// keystrokes; edits, sorting, hiding from elsewhere and a new recording must
// all show up in the next one.
TEST_F(ShowListTest, FilterFollowsRowsChangedBetweenKeystrokes)
{
    AddSong(1, "Morning Song", "Alice", "Dawn", "Rock", DateText(0, "08:00"));
    AddSong(2, "Evening", "Bob", "Dusk", "Pop", DateText(0, "20:00"));
    AddSong(3, "Night", "Carol", "Moon", "Jazz", DateText(-5));
    Build();
    page->show();
    page->ShowList(1);
    page->Filter(0, "morning");
    EXPECT_EQ(Visible(), QSet<int>{1});

    CTreeWidgetItem* night = page->GetItemsByMusicId({3}).front();
    auto record = Stored(3);
    ASSERT_TRUE(record);
    SET_FIELD(record->Info.MusicName, "Morning Night");
    night->SetItemData(1, record.get());   // as a tag edit does
    page->Filter(0, "morning");
    EXPECT_EQ(Visible(), (QSet<int>{1, 3}));

    page->TrackList()->sortItems(CTreeWidgetItem::ColName, Qt::AscendingOrder);
    page->Filter(CTreeWidgetItem::ColArtist, "BOB");
    EXPECT_EQ(Visible(), QSet<int>{2});
    // A list of some rows only, filtered before and after the rows moved.
    ASSERT_EQ(page->AddItemsToList(page->GetItemsByMusicId({1, 3}), 4).size(), 2);
    page->ShowList(4);
    page->Filter(0, "o");
    EXPECT_EQ(Visible(), (QSet<int>{1, 3}));
    page->TrackList()->sortItems(CTreeWidgetItem::ColName, Qt::DescendingOrder);
    page->Filter(0, "n");
    EXPECT_EQ(Visible(), (QSet<int>{1, 3}));
    page->ShowList(1);
    page->GetItemsByMusicId({2}).front()->setHidden(true);   // as removing it from the list does
    page->Filter(0, "");
    EXPECT_EQ(Visible(), (QSet<int>{1, 2, 3}));

    // A new recording joins list 1 (its table changes) with its texts set
    // before the row joins the track list.
    ASSERT_EQ(page->CreateNewRecord(nullptr), 0);
    CTreeWidgetItem* row = page->RecordingRow();
    ASSERT_NE(row, nullptr);
    const QString file = Path("2024-01-01 10.00.00.mp3");
    WriteFile(file, "x");
    auto fresh = Stored(row->GetMusicId());
    ASSERT_TRUE(fresh);
    fresh->MusicPath = file;
    DB_UpdateMusicInfo(fresh.get());
    page->SaveNewRecord();
    page->SetNewRecordMusicInfo(nullptr);
    page->FinishNewRecord(0);
    page->TakeRecordingRow();
    page->Filter(0, "morning");
    EXPECT_EQ(Visible(), (QSet<int>{1, 3}));
    page->Filter(0, "track");
    EXPECT_EQ(Visible(), QSet<int>{row->GetMusicId()});
    page->Filter(0, "");
    EXPECT_EQ(Visible(), (QSet<int>{1, 2, 3, row->GetMusicId()}));
}

// Typing on, taking letters back, changing the type and a text that shares
// nothing with the last one: after every keystroke the list shows exactly
// the rows whose searched texts hold the text, whatever it showed before,
// also when a row was hidden or edited between two keystrokes.
TEST_F(ShowListTest, EveryKeystrokeShowsWhatTheTextMatches)
{
    AddSong(1, "Morning Song", "Alice", "Dawn", "Rock", DateText(0, "08:00"));
    AddSong(2, "Evening", "Bob Moreau", "Dusk", "Pop", DateText(0, "20:00"));
    AddSong(3, "Night", "Carol", "MORNING glory", "Jazz", DateText(-5));
    AddSong(4, "Noon", "Dave", "Sun", "Morning", DateText(-1));
    AddSong(5, QString::fromUtf8("Straße"), QString::fromUtf8("Ärger"), "Mo", "Pop", DateText(-2));
    Build();
    page->show();
    page->ShowList(1);
    const auto matching = [this](int type, const QString& text) {
        QSet<int> ids;
        const QList<int> columns = type == 0 ? QList<int>{CTreeWidgetItem::ColName, CTreeWidgetItem::ColArtist,
                                                         CTreeWidgetItem::ColAlbum}
                                             : QList<int>{type};
        for (CTreeWidgetItem* row : page->GetItemsByMusicId({1, 2, 3, 4, 5})) {
            for (int column : columns) {
                if (row->text(column).contains(text, Qt::CaseInsensitive))
                    ids.insert(row->GetMusicId());
            }
        }
        return ids;
    };
    struct Step {
        int type;
        const char* text;
    };
    const Step steps[] = {
        {0, "m"},    {0, "mo"},  {0, "mor"}, {0, "morn"}, {0, "mor"}, {0, "mo"},
        {0, "m"},    {0, ""},    {0, "o"},   {CTreeWidgetItem::ColArtist, "o"},
        {CTreeWidgetItem::ColArtist, "or"},  {0, "or"},   {0, "ev"},  {0, "ä"}, {0, "Ä"},
        {CTreeWidgetItem::ColName, "ss"},    {CTreeWidgetItem::ColName, "s"}, {0, "s"}, {0, ""},
    };
    for (const Step& step : steps) {
        const QString text = QString::fromUtf8(step.text);
        page->Filter(step.type, text);
        EXPECT_EQ(Visible(), matching(step.type, text)) << "type " << step.type << " \"" << step.text << "\"";
    }

    // Hidden from elsewhere between two letters of one word, a row that
    // holds both comes back with the second.
    page->Filter(0, "n");
    CTreeWidgetItem* noon = page->GetItemsByMusicId({4}).front();
    noon->setHidden(true);
    page->Filter(0, "no");
    EXPECT_EQ(Visible(), (QSet<int>{4}));
    // A row the last letter hid, renamed to hold the next text too.
    CTreeWidgetItem* night = page->GetItemsByMusicId({3}).front();
    auto record = Stored(3);
    ASSERT_TRUE(record);
    SET_FIELD(record->Info.MusicName, "Noonday Night");
    night->SetItemData(1, record.get());
    page->Filter(0, "noo");
    EXPECT_EQ(Visible(), (QSet<int>{3, 4}));
}

TEST_F(ShowListTest, RetranslateRefillsTheUnknownArtistAndAlbum)
{
    AddSong(1, "Known", "Alice", "Dawn", "Rock", DateText(0));
    AddSong(2, "Bare", "", "", "Pop", DateText(0));
    Build();
    page->ShowList(1);
    CTreeWidgetItem* known = page->GetItemsByMusicId({1}).front();
    CTreeWidgetItem* bare = page->GetItemsByMusicId({2}).front();
    bare->setText(CTreeWidgetItem::ColArtist, "stale");
    bare->setText(CTreeWidgetItem::ColAlbum, "stale");
    page->RetranslateUi();
    EXPECT_EQ(bare->text(CTreeWidgetItem::ColArtist), "Unknown Artist");
    EXPECT_EQ(bare->text(CTreeWidgetItem::ColAlbum), "Unknown Album");
    EXPECT_EQ(known->text(CTreeWidgetItem::ColArtist), "Alice");
    EXPECT_EQ(known->text(CTreeWidgetItem::ColAlbum), "Dawn");

    // After the switch the box still says what the rows are filtered by.
    struct Case {
        const char* what;
        int type;
        QString typed;       // empty: the box shows its default text
        QSet<int> visible;   // after the switch
    };
    const Case cases[] = {
        {"no filter", 0, QString(), {1, 2}},
        {"a typed filter", 0, "dawn", {1}},
        {"a filter by artist", CTreeWidgetItem::ColArtist, "ali", {1}},
        {"a filter that reads like the default text", 0, "Filter", {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        page->FilterBox()->clearText();
        page->FilterBox()->SelectFilterType(c.type);
        if (!c.typed.isEmpty()) {
            page->FilterBox()->setText(c.typed);
            page->FilterBox()->emtiFilterChanged();
        }
        page->RetranslateUi();
        EXPECT_EQ(Visible(), c.visible);
        const bool filtered = c.visible.size() < 2;
        EXPECT_EQ(page->FilterBox()->text(), filtered ? c.typed : page->FilterBox()->DefaultText());
        EXPECT_EQ(page->FilterBox()->CurrentType(), c.type);
        EXPECT_EQ(page->FilterBox()->ClearButton()->isVisibleTo(page->FilterBox()), filtered);
        // What the box would filter by now is what the rows show.
        page->FilterBox()->emtiFilterChanged();
        EXPECT_EQ(Visible(), c.visible);
    }
}

TEST_F(ShowListTest, ListsExistEvenWhenLoadingFailed)
{
    DB_CloseDatabase();
    Build();   // no entries at all
    EXPECT_TRUE(entries.isEmpty());
    for (int id : {1, 2, 3})
        EXPECT_NE(page->GetListTable(id), nullptr) << id;
    EXPECT_EQ(page->ShowList(3), 1);
    page->Filter(0, "x");
    EXPECT_EQ(page->GetListItemCount(7), 0);
    EXPECT_FALSE(page->IsItemInList(7, nullptr));
}

TEST_F(ShowListTest, RecordingRowWithoutSongDataBecomesTrack)
{
    Build();
    page->ShowList(1);
    ASSERT_EQ(page->CreateNewRecord(nullptr), 0);
    CTreeWidgetItem* row = page->RecordingRow();
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->treeWidget(), nullptr);   // invisible until the song ends
    const QString file = Path("2024-01-01 10.00.00.mp3");
    WriteFile(file, "x");
    auto record = Stored(row->GetMusicId());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->DateAdded.size(), 16);
    record->MusicPath = file;
    DB_UpdateMusicInfo(record.get());
    page->SaveNewRecord();
    page->SetNewRecordMusicInfo(nullptr);
    EXPECT_EQ(row->GetDownloadStatus(), TWM_DOWNLOAD_FAILED);
    page->FinishNewRecord(0);
    record = Stored(row->GetMusicId());
    EXPECT_TRUE(QFileInfo(record->MusicPath).fileName().startsWith("Track")) << record->MusicPath.toStdString();
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(QFile::exists(record->MusicPath));
    EXPECT_EQ(row->treeWidget(), page->TrackList());
    EXPECT_EQ(page->TrackList()->currentItem(), row);
    EXPECT_TRUE(page->IsItemInList(1, row));
    EXPECT_EQ(page->GetListItemCount(2), 1);
    page->TakeRecordingRow();
}

TEST_F(ShowListTest, RecognisedDataAndCoversMerge)
{
    Build();
    page->ShowList(4);
    ASSERT_EQ(page->CreateNewRecord("/music/new.mp3"), 0);
    CTreeWidgetItem* row = page->RecordingRow();
    const int id = row->GetMusicId();
    QSignalSpy toUi(page, &CShowListWidget::MusicInfoToUiSignal);

    // Five stored covers, the first chosen; a sixth evicts the second.
    QStringList covers;
    for (int i = 0; i < 6; ++i) {
        covers << PicturesFolder() + QString("/c%1.jpg").arg(i);
        WriteImage(covers.back(), Qt::green);
    }
    for (int i = 0; i < 5; ++i) {
        RecordMusicInfo info = Recognised(i == 0 ? "Title" : "", {covers[i]});
        page->SetNewRecordMusicInfo(&info);
    }
    auto record = Stored(id);
    ASSERT_EQ(record->Info.CoverCount, 5);
    EXPECT_STREQ(record->Info.MusicName, "Title");   // later empty titles keep it
    EXPECT_STREQ(record->Info.Genre, "Pop;Dance");
    RecordMusicInfo sixth = Recognised("Final", {covers[5]});
    page->SetNewRecordMusicInfo(&sixth);
    record = Stored(id);
    ASSERT_EQ(record->Info.CoverCount, 5);
    QStringList stored;
    for (int i = 0; i < 5; ++i)
        stored << QString::fromUtf8(record->Info.CoverPaths[i]);
    stored.sort();
    EXPECT_EQ(stored, (QStringList{covers[0], covers[2], covers[3], covers[4], covers[5]}));
    EXPECT_FALSE(QFile::exists(covers[1]));   // unused and in the pictures folder
    EXPECT_EQ(row->GetDownloadStatus(), TWM_DOWNLOAD_SUCCEEDED);
    EXPECT_EQ(toUi.count(), 6);

    // The same cover again adds nothing.
    RecordMusicInfo again = Recognised("Final", {covers[5]});
    page->SetNewRecordMusicInfo(&again);
    EXPECT_EQ(Stored(id)->Info.CoverCount, 5);

    page->FinishNewRecord(0);
    EXPECT_TRUE(row->isHidden());   // list 4 is shown
    EXPECT_EQ(Stored(id)->MusicPath, "/music/new.mp3");   // recognised: not renamed
    page->TakeRecordingRow();
}

TEST_F(ShowListTest, DataWithoutARowNeverReachesAnotherSong)
{
    Build();
    ASSERT_EQ(page->CreateNewRecord("/music/first.mp3"), 0);
    const int first = page->RecordingRow()->GetMusicId();
    page->FinishNewRecord(0);
    page->TakeRecordingRow();

    const QString ours = PicturesFolder() + "/late.jpg";
    const QString users = Path("my own picture.jpg");
    WriteImage(ours, Qt::red);
    WriteImage(users, Qt::red);
    RecordMusicInfo info = Recognised("Late", {ours, users});
    page->SetNewRecordMusicInfo(&info);
    EXPECT_STREQ(Stored(first)->Info.MusicName, "");
    EXPECT_EQ(Stored(first)->Info.CoverCount, 0);
    EXPECT_FALSE(QFile::exists(ours));
    EXPECT_TRUE(QFile::exists(users));   // never a user's own picture
}

TEST_F(ShowListTest, SongLimitRefusesTheRowAndDropsLaterData)
{
    Build();
    ASSERT_EQ(page->CreateNewRecord("/music/a.mp3"), 0);
    page->FinishNewRecord(0);
    DB_CreateTransaction();
    for (int id = 2; id <= kMaxMusicInfoRows; ++id)
        AddSong(id, "", "", "", "", "01/01/2020 10:00", "/m/x.mp3");
    DB_CommitTransaction();
    EXPECT_EQ(page->CreateNewRecord(nullptr), CShowListWidget::kLibraryFull);
    EXPECT_EQ(page->questions, 0) << "the window tells the user, once a recording";
    EXPECT_EQ(page->RecordingRow(), nullptr);
    RecordMusicInfo info = Recognised("Nobody's", {});
    page->SetNewRecordMusicInfo(&info);   // no crash, nothing merged
    EXPECT_STREQ(Stored(1)->Info.MusicName, "");
}

// A library that cannot take the row is not a full one: the caller learns
// which, with SQLite's reason, and no row is left half made.
TEST_F(ShowListTest, UnwritableLibraryIsNotAFullOne)
{
    Build();
    OnLibraryFile("create trigger refuse before insert on MusicInfo "
                  "begin select raise(fail, 'database or disk is full'); end");
    auto rows = [] {
        QMap<int, MusicInfoRow*> all;
        const int n = DB_GetAllMusicInfo(all);
        qDeleteAll(all);
        return n;
    };
    const int before = rows();
    EXPECT_EQ(page->CreateNewRecord("/music/b.mp3"), CShowListWidget::kLibraryNotWritable);
    EXPECT_EQ(page->RecordingRow(), nullptr);
    EXPECT_TRUE(DB_LastErrorText().contains("database or disk is full")) << DB_LastErrorText().toStdString();
    EXPECT_EQ(rows(), before);

    DB_CloseDatabase();
    EXPECT_EQ(page->CreateNewRecord("/music/c.mp3"), CShowListWidget::kLibraryNotWritable);
    EXPECT_EQ(page->RecordingRow(), nullptr);
    EXPECT_EQ(page->questions, 0);
    ASSERT_EQ(DB_OpenDatabaseFile(Path("music.db")), 0);
}

TEST_F(ShowListTest, CoverWithoutAFreeKeyIsDroppedNotStoredUnderMinusOne)
{
    Build();
    ASSERT_EQ(page->CreateNewRecord("/music/full.mp3"), 0);
    const int id = page->RecordingRow()->GetMusicId();
    // Every CoverId from 1 to 500,000 taken (written straight into the file).
    OnLibraryFile("with recursive n(i) as (select 1 union all select i + 1 from n where i < 500000) "
                  "insert into CoverInfo select i, 0, 'elsewhere' from n");

    const QString cover = PicturesFolder() + "/no-key.jpg";
    WriteImage(cover, Qt::blue);
    RecordMusicInfo info = Recognised("Keyless", {cover});
    page->SetNewRecordMusicInfo(&info);
    auto record = Stored(id);
    ASSERT_TRUE(record);
    EXPECT_STREQ(record->Info.MusicName, "Keyless");   // the song data still goes in
    EXPECT_EQ(record->Info.CoverCount, 0);
    EXPECT_EQ(record->ImageId, 0);
    EXPECT_EQ(DB_GetImageId(cover), 0);
    EXPECT_FALSE(QFile::exists(cover));   // nothing names it: no orphan left in the pictures folder
    page->FinishNewRecord(0);
    EXPECT_EQ(page->RecordingRow()->GetCoverPath(), CTreeWidgetItem::DefaultCoverPath());
    page->TakeRecordingRow();
}

TEST_F(ShowListTest, TagsAreWrittenIntoMp3FilesOnly)
{
    Build();
    const QByteArray audio = Mp3Bytes();
    const QString cover = PicturesFolder() + "/cover.png";
    WriteImage(cover, Qt::yellow);
    struct Case {
        QString name;
        bool tagged;
    };
    for (const Case& c : {Case{"song.mp3", true}, Case{"SONG.MP3", false}, Case{"song.wav", false}}) {
        const QString file = Path(c.name);
        WriteFile(file, audio);
        WriteFile(Path("temp.mp3"), "user data");
        MusicInfoRow row;
        std::memset(&row.Info, 0, sizeof row.Info);
        row.MusicId = 9;
        SET_FIELD(row.Info.MusicName, "Tagged Title");
        SET_FIELD(row.Info.Artist, "Tag Artist");
        SET_FIELD(row.Info.Year, "1999");
        row.Info.CoverCount = 1;
        row.ImageId = 4;   // out of range: the first candidate
        SET_FIELD(row.Info.CoverPaths[0], cover);
        row.MusicPath = file;
        page->WriteMusicTags(&row);
        QFile f(Path("temp.mp3"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray("user data"));
        QFile song(file);
        ASSERT_TRUE(song.open(QIODevice::ReadOnly));
        const QByteArray now = song.readAll();
        EXPECT_EQ(now != audio, c.tagged) << c.name.toStdString();
        if (c.tagged) {
            TagLib::MPEG::File mp3(file.toUtf8().constData());
            ASSERT_TRUE(mp3.hasID3v2Tag());
            EXPECT_EQ(mp3.ID3v2Tag()->title().to8Bit(true), "Tagged Title");
            EXPECT_EQ(mp3.ID3v2Tag()->artist().to8Bit(true), "Tag Artist");
            EXPECT_EQ(mp3.ID3v2Tag()->frameListMap()["APIC"].size(), 1u);
        }
    }
    // A broken "MP3" stays as it was.
    const QString broken = Path("broken.mp3");
    WriteFile(broken, QByteArray(5000, 'z'));
    MusicInfoRow row;
    std::memset(&row.Info, 0, sizeof row.Info);
    SET_FIELD(row.Info.MusicName, "T");
    row.MusicPath = broken;
    page->WriteMusicTags(&row);
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray(5000, 'z'));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".capdev").size(), 0);
}
