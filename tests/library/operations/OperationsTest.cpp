#include "CAppSettings.h"
#include "CListTreeItem.h"
#include "CMusicInfoTreeWidget.h"
#include "CShowListWidget.h"
#include "CTagWriter.h"
#include "CTreeWidgetItem.h"
#include "DialogButtonInfo.h"
#include "LibrarySeams.h"
#include "MusicDatabase.h"
#include "PlayQueue.h"
#include "ViewsTestSupport.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstring>
#include <memory>

namespace {
// Answers the question dialog as scripted and counts the questions.
class TestPage : public CShowListWidget {
public:
    using CShowListWidget::CShowListWidget;
    int questions = 0;
    int answer = QDialogButtonBox::Ok;
    bool tick = false;
    QString lastQuestion;
    bool lastOfferedTick = false;
protected:
    int AskQuestion(const QString& text, const QList<DialogButtonInfo>&, bool checkBox, bool* checked) override
    {
        ++questions;
        lastQuestion = text;
        lastOfferedTick = checkBox;
        if (checked)
            *checked = tick;
        return answer;
    }
};

void Touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("data");
}
} // namespace

class OperationsTest : public LibraryDbTest {
protected:
    void SetUp() override
    {
        LibraryDbTest::SetUp();
        CAppSettings::GetInstance()->SetDeleteType(1);
        PlayQueue::Instance().Clear();
        // Songs 1..5 recorded today with files; 1 and 2 played yesterday;
        // 1, 2 and 3 on "PlayList 1" (list 4); song 1 has a cover in the
        // pictures folder and one of the user's own.
        for (int id = 1; id <= 5; ++id) {
            const QString path = Path(QStringLiteral("song%1.mp3").arg(id));
            Touch(path);
            AddSong(id, QStringLiteral("Song %1").arg(id), "Artist", "Album", "Pop",
                    DateText(0) + (id <= 2 ? ";" + DateText(-1) : QString()), path);
        }
        for (int id = 1; id <= 3; ++id)
            DB_SetMusicItem(100 + id, 4, id);
        programCover = PicturesFolder() + "/cover1.png";
        userCover = Path("mine.png");
        WriteImage(programCover, Qt::red);
        WriteImage(userCover, Qt::blue);
        DB_SetImageInfo(11, 1, programCover.toUtf8().constData());
        DB_SetImageInfo(12, 1, userCover.toUtf8().constData());
        Build();
    }
    void TearDown() override
    {
        PlayQueue::Instance().Clear();
        SetTagEditorRunner(nullptr);
        SetFileRevealer(nullptr);
        delete page;
        page = nullptr;
        qDeleteAll(entries);
        entries.clear();
        CAppSettings::GetInstance()->SetDeleteType(0);
        LibraryDbTest::TearDown();
    }
    // A fresh library for the next case of a table.
    void Reset()
    {
        TearDown();
        QFile::remove(Path("music.db"));
        deleted.clear();
        SetUp();
    }
    void Build()
    {
        entries = StoredListEntries();
        page = new TestPage(entries, nullptr, nullptr);
        page->resize(800, 500);
        page->ShowList(1);
        counts.clear();
        QObject::connect(page, &CShowListWidget::MusicInOtherListDeleted,
                         [this](int list, int count) { counts[list] = count; });
        QObject::connect(page, &CShowListWidget::MusicItemDeleted,
                         [this](CTreeWidgetItem* row) { deleted.append(row->GetMusicId()); });
    }
    CTreeWidgetItem* Row(int id) const { return page->GetItemsByMusicId({id}).value(0); }
    int ItemsOfSong(int id)
    {
        QList<MusicItemLink> links;
        DB_GetMusicItem(links, id, QStringLiteral("MusicId"));
        return links.size();
    }
    // Makes the library file refuse a change ("before insert on Table"), as
    // a full disk or a damaged file would, through a second connection.
    bool RefuseInTheLibrary(const char* when)
    {
        sqlite3* db = nullptr;
        if (sqlite3_open(Path("music.db").toUtf8().constData(), &db) != SQLITE_OK)
            return false;
        // The page's own connection or one of its workers may be reading at
        // this moment; a schema change waits for them instead of failing.
        sqlite3_busy_timeout(db, 10000);
        const QByteArray sql = QByteArray("create trigger refuse ") + when + " begin select raise(abort, 'no'); end";
        const bool made = sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        return made;
    }
    bool InTable(int listId, CTreeWidgetItem* row) const
    {
        const CShowListWidget::ListTable* table = page->GetListTable(listId);
        return table && std::find(table->begin(), table->end(), row) != table->end();
    }

    QList<CListTreeItem*> entries;
    TestPage* page = nullptr;
    QMap<int, int> counts;
    QList<int> deleted;
    QString programCover;
    QString userCover;
};

TEST_F(OperationsTest, DeletingFromTheLibraryListsRemovesTheSongEverywhere)
{
    for (int listId : {1, 2}) {
        SCOPED_TRACE(listId);
        Reset();
        page->ShowList(listId);
        CTreeWidgetItem* row = Row(1);
        page->HoldForPaste({row});
        EXPECT_EQ(page->DeleteSelectedMusic(QList<CTreeWidgetItem*>{row}, listId), 0);
        ASSERT_TRUE(page->WaitForFileRemovals());   // the files go on a worker
        EXPECT_EQ(deleted, QList<int>{1});
        EXPECT_EQ(Stored(1), nullptr);
        EXPECT_FALSE(QFile::exists(Path("song1.mp3")));
        EXPECT_EQ(ItemsOfSong(1), 0);
        EXPECT_EQ(DB_GetImageId(programCover), 0);
        EXPECT_FALSE(QFile::exists(programCover));
        EXPECT_TRUE(QFile::exists(userCover));   // never a picture outside the program's folder
        EXPECT_TRUE(page->HeldForPaste().isEmpty());
        EXPECT_EQ(counts.value(1), 4);
        EXPECT_EQ(counts.value(2), 4);
        EXPECT_EQ(counts.value(3), 1);
        EXPECT_EQ(counts.value(4), 2);
        EXPECT_TRUE(Row(1) == nullptr);
        EXPECT_TRUE(Stored(2) != nullptr);
    }
}

TEST_F(OperationsTest, CoverStillNamedByAnotherSongStays)
{
    // Song 2 uses song 1's cover file too (its own CoverInfo row).
    DB_SetImageInfo(21, 2, programCover.toUtf8().constData());
    page->DeleteSelectedMusic(QList<CTreeWidgetItem*>{Row(1)}, 1);
    ASSERT_TRUE(page->WaitForFileRemovals());
    EXPECT_EQ(Stored(1), nullptr);
    EXPECT_TRUE(QFile::exists(programCover));
    EXPECT_EQ(DB_GetImageId(programCover), 1);
    page->DeleteSelectedMusic(QList<CTreeWidgetItem*>{Row(2)}, 1);
    ASSERT_TRUE(page->WaitForFileRemovals());
    EXPECT_FALSE(QFile::exists(programCover));   // the last name gone, the file goes
    EXPECT_TRUE(QFile::exists(userCover));
}

TEST_F(OperationsTest, ManySongsGoInOnePassWithTheirFilesAndCovers)
{
    page->ShowList(1);
    PlayQueue& queue = PlayQueue::Instance();
    queue.items = {Row(1), Row(2), Row(3), Row(4), Row(5)};
    queue.queueListId = 1;
    queue.currentIndex = 3;   // song 4 plays
    QList<CTreeWidgetItem*> rows = {Row(4), Row(1), Row(2), Row(4)};   // a repeat counts once
    EXPECT_EQ(page->DeleteSelectedMusic(rows, 1), 1);
    ASSERT_TRUE(page->WaitForFileRemovals());
    for (int id : {1, 2, 4}) {
        EXPECT_EQ(Stored(id), nullptr) << id;
        EXPECT_FALSE(QFile::exists(Path(QStringLiteral("song%1.mp3").arg(id)))) << id;
        EXPECT_EQ(ItemsOfSong(id), 0) << id;
        EXPECT_EQ(Row(id), nullptr) << id;
    }
    EXPECT_FALSE(QFile::exists(programCover));
    EXPECT_TRUE(QFile::exists(userCover));
    EXPECT_EQ(page->GetVisibleCount(), 2);
    EXPECT_EQ(page->TrackList()->topLevelItemCount(), 2);
    EXPECT_EQ(counts.value(1), 2);
    EXPECT_EQ(counts.value(3), 0);
    EXPECT_EQ(counts.value(4), 1);
    EXPECT_EQ(deleted.size(), 3);
    // Songs 3 and 5 stay queued; the index names what followed song 4.
    EXPECT_EQ(queue.items, (QList<IPlayQueueTrack*>{Row(3), Row(5)}));
    EXPECT_EQ(queue.currentIndex, 1);
    std::vector<PendingFileRemoval> pending;
    DB_GetPendingRemovals(pending);
    EXPECT_TRUE(pending.empty()) << "removals left unconfirmed";
    // A new ItemId may take an entry's id that went.
    EXPECT_EQ(page->AddItemToList(Row(5), 4), Row(5));
}

TEST_F(OperationsTest, ADeletionCutShortFinishesAtTheNextStart)
{
    // The program dies after the deletion's commit, before its files: the
    // songs are gone from the library and their files wait in the notes.
    std::vector<PendingFileRemoval> removals;
    ASSERT_EQ(DB_DeleteSongs({1, 2}, removals), 0);
    EXPECT_EQ(removals.size(), 4u);   // two songs, two covers (the user's own one is kept later)
    EXPECT_TRUE(QFile::exists(Path("song1.mp3")));
    // Meanwhile a new song took song 2's file name: that file stays.
    AddSong(9, "New", "Artist", "Album", "Pop", DateText(0), Path("song2.mp3"));
    delete page;   // closes the library, as quitting does
    page = nullptr;
    qDeleteAll(entries);
    entries.clear();
    ASSERT_EQ(DB_OpenDatabaseFile(Path("music.db")), 0);
    Build();
    ASSERT_TRUE(page->WaitForFileRemovals());
    EXPECT_FALSE(QFile::exists(Path("song1.mp3")));
    EXPECT_TRUE(QFile::exists(Path("song2.mp3")));
    EXPECT_FALSE(QFile::exists(programCover));
    EXPECT_TRUE(QFile::exists(userCover));
    std::vector<PendingFileRemoval> pending;
    DB_GetPendingRemovals(pending);
    EXPECT_TRUE(pending.empty());
    EXPECT_EQ(Row(1), nullptr);
    EXPECT_EQ(page->GetListItemCount(1), 4);
}

TEST_F(OperationsTest, ADeletionTheLibraryRefusesChangesNothing)
{
    ASSERT_TRUE(RefuseInTheLibrary("before delete on MusicInfo"));
    EXPECT_EQ(page->DeleteSelectedMusic(QList<CTreeWidgetItem*>{Row(1), Row(3)}, 1), 0);
    for (int id : {1, 3}) {
        EXPECT_TRUE(Stored(id) != nullptr) << id;
        EXPECT_TRUE(QFile::exists(Path(QStringLiteral("song%1.mp3").arg(id)))) << id;
        EXPECT_TRUE(Row(id) != nullptr) << id;
    }
    EXPECT_EQ(ItemsOfSong(1), 1) << "the list entries came back with the rollback";
    EXPECT_EQ(DB_GetImageId(programCover), 1);
    EXPECT_TRUE(QFile::exists(programCover));
    EXPECT_EQ(page->GetListItemCount(1), 5);
    EXPECT_TRUE(deleted.isEmpty());
    std::vector<PendingFileRemoval> pending;
    DB_GetPendingRemovals(pending);
    EXPECT_TRUE(pending.empty());
}

TEST_F(OperationsTest, DeletingFromOtherListsRemovesOnlyTheEntry)
{
    page->ShowList(3);
    CTreeWidgetItem* row = Row(1);
    page->DeleteSelectedMusic(QList<CTreeWidgetItem*>{row}, 3);
    auto stored = Stored(1);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->DateAdded, DateText(0));   // the play date is cut off
    EXPECT_FALSE(page->IsItemInList(3, row));
    EXPECT_TRUE(row->isHidden());
    // The other lists show its date added, not the play date it had.
    page->ShowList(1);
    EXPECT_EQ(row->text(CTreeWidgetItem::ColDate), DateText(0));
    page->ShowList(3);
    EXPECT_TRUE(InTable(1, row));
    EXPECT_TRUE(InTable(4, row));
    EXPECT_TRUE(QFile::exists(Path("song1.mp3")));

    page->ShowList(4);
    page->DeleteSelectedMusic(QList<CTreeWidgetItem*>{Row(2)}, 4);
    EXPECT_EQ(ItemsOfSong(2), 0);
    EXPECT_EQ(page->GetListItemCount(4), 2);
    EXPECT_TRUE(Stored(2) != nullptr);
    EXPECT_TRUE(deleted.isEmpty());
}

TEST_F(OperationsTest, QuestionDeclinedOrSilencedForGood)
{
    CAppSettings::GetInstance()->SetDeleteType(0);
    page->answer = QDialogButtonBox::Cancel;
    EXPECT_EQ(page->DeleteSelectedMusic(QList<CTreeWidgetItem*>{Row(1)}, 1), 0);
    EXPECT_EQ(page->questions, 1);
    EXPECT_TRUE(Stored(1) != nullptr);
    EXPECT_TRUE(QFile::exists(Path("song1.mp3")));
    EXPECT_EQ(page->GetListItemCount(1), 5);
    EXPECT_EQ(page->ClearMusicList(4), -1);
    EXPECT_EQ(page->GetListItemCount(4), 3);

    page->answer = QDialogButtonBox::Ok;
    page->tick = true;
    page->DeleteSelectedMusic(QList<CTreeWidgetItem*>{Row(1)}, 1);
    EXPECT_EQ(page->questions, 3);
    EXPECT_EQ(CAppSettings::GetInstance()->GetDeleteType(), 1);
    page->DeleteSelectedMusic(QList<CTreeWidgetItem*>{Row(2)}, 1);
    EXPECT_EQ(page->questions, 3);
    EXPECT_EQ(Stored(2), nullptr);
}

// Where the playing entry stands after a row leaves the queue.
TEST_F(OperationsTest, PlayQueueIndexAfterRemoval)
{
    struct Case {
        const char* name;
        int queueList;
        int current;
        int removedPos;
        int deleteFrom;
        int result;
        int newCurrent;
    };
    const Case cases[] = {
        {"before the current entry", 1, 3, 1, 1, 0, 2},
        {"the current entry", 1, 2, 2, 1, 1, 2},
        {"after the current entry", 1, 1, 3, 1, 0, 1},
        {"queue from a play list, song deleted", 4, 1, 0, 1, 0, 0},
        {"queue from a play list, playing song deleted", 4, 2, 2, 2, 1, 2},
        {"other list's entry leaves the queue alone", 1, 0, 1, 4, 0, 0},
        {"queue from the recording page, song deleted", 0, 2, 0, 1, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        PlayQueue& queue = PlayQueue::Instance();
        const QList<int> ids = c.queueList == 4 ? QList<int>{1, 2, 3} : QList<int>{1, 2, 3, 4, 5};
        for (int id : ids)
            queue.items.append(Row(id));
        queue.queueListId = c.queueList;
        queue.currentIndex = c.current;
        CTreeWidgetItem* row = CTreeWidgetItem::FromQueue(queue.items.at(c.removedPos));
        EXPECT_EQ(page->DeleteSelectedMusic(QList<CTreeWidgetItem*>{row}, c.deleteFrom), c.result);
        const bool leaves = c.deleteFrom <= 2 || c.deleteFrom == c.queueList;
        EXPECT_EQ(queue.items.contains(row), !leaves && Row(ids.at(c.removedPos)) != nullptr);
        EXPECT_EQ(queue.currentIndex, c.newCurrent);
    }
}

TEST_F(OperationsTest, RowWithoutRecordLeavesNoPointerBehind)
{
    CTreeWidgetItem* row = Row(3);
    page->HoldForPaste({row});
    PlayQueue::Instance().items = {Row(1), row, Row(2)};
    PlayQueue::Instance().queueListId = 4;
    PlayQueue::Instance().currentIndex = 2;
    DB_DeleteMusicinfo(3);
    EXPECT_EQ(page->DeleteMusic(row), 0);
    EXPECT_EQ(deleted, QList<int>{3});
    for (int listId : {1, 2, 3, 4})
        EXPECT_FALSE(InTable(listId, row)) << listId;
    EXPECT_TRUE(page->HeldForPaste().isEmpty());
    EXPECT_EQ(PlayQueue::Instance().items, (QList<IPlayQueueTrack*>{Row(1), Row(2)}));
    EXPECT_EQ(PlayQueue::Instance().currentIndex, 1);
    EXPECT_EQ(page->GetListItemCount(4), 2);
}

TEST_F(OperationsTest, PlayDatesOfRecentlyPlayed)
{
    page->ShowList(3);
    CTreeWidgetItem* row = Row(4);
    EXPECT_EQ(page->AddItemToList(row, 3), row);
    auto stored = Stored(4);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->DateAdded.count(';'), 1);
    const QString played = stored->DateAdded.right(16);
    EXPECT_EQ(row->text(CTreeWidgetItem::ColDate), played);   // the first play shows at once
    EXPECT_TRUE(page->IsItemInList(3, row));

    // Played again: still one play date.
    EXPECT_EQ(page->AddItemToList(row, 3), nullptr);
    stored = Stored(4);
    EXPECT_EQ(stored->DateAdded.count(';'), 1);
    EXPECT_EQ(stored->DateAdded.left(16), DateText(0));
    EXPECT_EQ(page->GetListItemCount(3), 3);
}

TEST_F(OperationsTest, PlayListsTakeASongOnce)
{
    CTreeWidgetItem* row = Row(5);
    EXPECT_EQ(page->AddItemToList(row, 4), row);
    EXPECT_EQ(page->AddItemToList(row, 4), nullptr);
    EXPECT_EQ(ItemsOfSong(5), 1);
    EXPECT_EQ(page->GetListItemCount(4), 4);
    EXPECT_EQ(page->AddItemToList(row, 77), nullptr);   // no such list
}

// Many songs at once (Select All + Add to playlist, a drop, Paste): each
// song once, songs already there and repeats skipped, the list's table and
// the library in step.
TEST_F(OperationsTest, ManySongsJoinAPlayListOnceEach)
{
    const QList<CTreeWidgetItem*> added =
        page->AddItemsToList({Row(4), Row(1), Row(5), Row(4), nullptr, Row(2), Row(5)}, 4);
    EXPECT_EQ(added, (QList<CTreeWidgetItem*>{Row(4), Row(5)}));
    EXPECT_EQ(page->GetListItemCount(4), 5);
    for (int id = 1; id <= 5; ++id) {
        EXPECT_EQ(ItemsOfSong(id), 1) << id;
        EXPECT_TRUE(InTable(4, Row(id))) << id;
    }
    // Every entry of the table is the library's entry of that key.
    QList<MusicItemLink> links;
    DB_GetMusicItem(links, 4, QStringLiteral("ListId"));
    ASSERT_EQ(links.size(), 5);
    for (const MusicItemLink& link : links)
        EXPECT_EQ(page->GetListTable(4)->value(link.ItemId), Row(link.MusicId)) << link.ItemId;
    EXPECT_TRUE(page->AddItemsToList({Row(1), Row(5)}, 4).isEmpty());
    EXPECT_TRUE(page->AddItemsToList({Row(1)}, 77).isEmpty());   // no such list
}

TEST_F(OperationsTest, PlayListEntryTheDatabaseRefusesIsNotShown)
{
    ASSERT_TRUE(RefuseInTheLibrary("before insert on MusicItem"));
    EXPECT_EQ(page->AddItemToList(Row(5), 4), nullptr);
    EXPECT_EQ(page->GetListItemCount(4), 3);
    EXPECT_FALSE(InTable(4, Row(5)));
    // Many at once: none of them, and the next entry still gets the next id.
    EXPECT_TRUE(page->AddItemsToList({Row(4), Row(5)}, 4).isEmpty());
    EXPECT_EQ(page->GetListItemCount(4), 3);
    EXPECT_FALSE(InTable(4, Row(4)));
    EXPECT_EQ(ItemsOfSong(4), 0);
    EXPECT_EQ(DB_CreateItemId(), 104);
}

// Emptying a whole play list is asked for on its own, naming the list, also
// after "Do not show this again" was ticked for songs; a "No" keeps it.
TEST_F(OperationsTest, EmptyingAPlayListAlwaysAsksByName)
{
    ASSERT_EQ(CAppSettings::GetInstance()->GetDeleteType(), 1);  // silenced for songs
    page->answer = QDialogButtonBox::Cancel;
    EXPECT_EQ(page->ClearMusicList(4), -1);
    EXPECT_EQ(page->questions, 1);
    EXPECT_TRUE(page->lastQuestion.contains("\"PlayList 1\"")) << page->lastQuestion.toStdString();
    EXPECT_FALSE(page->lastOfferedTick) << "no way to silence it";
    EXPECT_EQ(page->GetListItemCount(4), 3);
    for (int id : {1, 2, 3})
        EXPECT_EQ(ItemsOfSong(id), 1);

    page->answer = QDialogButtonBox::Ok;
    EXPECT_EQ(page->ClearMusicList(4), 0);
    EXPECT_EQ(page->questions, 2);
    EXPECT_EQ(page->GetListTable(4), nullptr);
}

TEST_F(OperationsTest, ClearMusicListEmptiesThePlayList)
{
    PlayQueue& queue = PlayQueue::Instance();
    queue.items = {Row(1), Row(2), Row(3)};
    queue.queueListId = 4;
    queue.currentIndex = 1;
    EXPECT_EQ(page->ClearMusicList(4), 1);
    for (int id : {1, 2, 3})
        EXPECT_EQ(ItemsOfSong(id), 0);
    EXPECT_EQ(page->GetListTable(4), nullptr);
    EXPECT_TRUE(queue.items.isEmpty());
    EXPECT_EQ(page->GetListItemCount(1), 5);
    page->DeleteAction(4);
    EXPECT_FALSE(page->HasListAction(4));
    EXPECT_EQ(page->ClearMusicList(4), 0);
    // The fixed lists are never emptied this way.
    for (int fixed : {1, 2, 3}) {
        EXPECT_EQ(page->ClearMusicList(fixed), 0) << fixed;
        EXPECT_NE(page->GetListTable(fixed), nullptr) << fixed;
    }
    EXPECT_EQ(page->GetListItemCount(1), 5);
    EXPECT_EQ(page->GetListItemCount(3), 2);
}

TEST_F(OperationsTest, TagEditStoresWhatChanged)
{
    struct Case {
        const char* name;
        std::function<void(MusicInfoRow*)> edit;
        bool accepted;
        bool stored;
        bool tagged;   // the song file was rewritten
    };
    const Case cases[] = {
        {"new title", [](MusicInfoRow* r) { SET_FIELD(r->Info.MusicName, "Renamed"); }, true, true, true},
        {"other cover", [](MusicInfoRow* r) { r->ImageId = 1; }, true, true, true},
        {"file renamed only", [this](MusicInfoRow* r) { r->MusicPath = Path("moved.mp3"); }, true, true, false},
        {"nothing changed", [](MusicInfoRow*) {}, true, false, false},
        {"cancelled", [](MusicInfoRow* r) { SET_FIELD(r->Info.MusicName, "Nope"); }, false, false, false},
    };
    const QString song = Path("song1.mp3");
    WriteFile(song, Mp3Bytes());
    auto fileBytes = [&] {
        QFile f(song);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray bytesBefore = fileBytes();
        DB_UpdateMusicInfo(Stored(1).get());
        const auto before = Stored(1);
        SetTagEditorRunner([&](MusicInfoRow* r, QWidget*) {
            c.edit(r);
            return c.accepted;
        });
        int changed = 0;
        auto conn = QObject::connect(page, &CShowListWidget::MusicItemInfoChanged, [&] { ++changed; });
        page->EditTagsMusic(Row(1));
        QObject::disconnect(conn);
        // The file follows on a worker, the row showing it meanwhile.
        EXPECT_EQ(Row(1)->IsBusy(), c.tagged);
        page->TagWriter()->WaitUntilIdle();
        EXPECT_FALSE(Row(1)->IsBusy());
        const auto after = Stored(1);
        ASSERT_TRUE(after);
        const bool differs = after->MusicPath != before->MusicPath || after->ImageId != before->ImageId
            || qstrcmp(after->Info.MusicName, before->Info.MusicName) != 0;
        EXPECT_EQ(differs, c.stored);
        EXPECT_EQ(changed, c.accepted ? 1 : 0);
        EXPECT_EQ(fileBytes() != bytesBefore, c.tagged);
        if (c.stored) {
            // Put the record back for the next case.
            after->MusicPath = before->MusicPath;
            after->ImageId = before->ImageId;
            SET_FIELD(after->Info.MusicName, QString::fromUtf8(before->Info.MusicName));
            DB_UpdateMusicInfo(after.get());
        }
    }
    auto title = Stored(1);
    EXPECT_EQ(QString::fromUtf8(title->Info.MusicName), QStringLiteral("Song 1"));
}

TEST_F(OperationsTest, ShowInFolderRevealsTheCurrentRowsFile)
{
    QStringList shown;
    SetFileRevealer([&](const QString& path) {
        shown.append(path);
        return true;
    });
    page->TrackList()->setCurrentItem(Row(2));
    page->ShowMusicFileInFinder();
    EXPECT_EQ(shown, QStringList{Path("song2.mp3")});
}
