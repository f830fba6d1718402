// Every action of the three context menus of the window (the library tree,
// the track list and the recording cards) clicked as the user clicks them:
// a right click opens the menu and the mouse picks the action, submenus
// included. The test build runs under AddressSanitizer, so an entry, a row
// or a card used after an action or its question removed it ends the test.
#include "MainUITestSupport.h"

#include "CAppSettings.h"
#include "CCoverWidget.h"
#include "CListTreeItem.h"
#include "CMusicInfoTreeWidget.h"
#include "CRecordingWidget.h"
#include "CShowCoverWidget.h"
#include "CShowListWidget.h"
#include "CToolBar.h"
#include "CTreeLib.h"
#include "CTreeWidgetItem.h"
#include "LibrarySeams.h"
#include "MusicDatabase.h"
#include "PlayQueue.h"
#include "WidgetFlags.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Clicks through `path` in the menus that pop up, a submenu's entry first
// when the action lies in it, as the mouse does.
class MenuClicker : public QObject
{
public:
    explicit MenuClicker(QList<QAction*> path) : m_path(std::move(path))
    {
        auto* timer = new QTimer(this);
        QObject::connect(timer, &QTimer::timeout, this, [this] { Poll(); });
        timer->start(10);
    }
    // Every action clicked and no menu left open.
    bool Done() const { return m_path.isEmpty() && !m_stuck; }

private:
    void Poll()
    {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu && m_path.isEmpty() && ++m_pollsAfter > 100) {
            // The click did not end the menu (a disabled action): closed so
            // the test goes on and fails.
            m_stuck = true;
            menu->close();
            return;
        }
        if (!menu || m_path.isEmpty() || !menu->actions().contains(m_path.first()))
            return;
        const QRect at = menu->actionGeometry(m_path.first());
        if (at.isEmpty())
            return;   // not laid out yet
        m_path.removeFirst();
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, at.center());
    }
    QList<QAction*> m_path;
    int m_pollsAfter = 0;
    bool m_stuck = false;
};

// A right click at `pos` of a view's viewport (or a plain widget): the press
// makes the row under it current, as a real click does, then the menu.
void RightClick(QWidget* target, const QPoint& pos)
{
    QTest::mousePress(target, Qt::RightButton, Qt::NoModifier, pos);
    QTest::mouseRelease(target, Qt::RightButton, Qt::NoModifier, pos);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
    QApplication::sendEvent(target, &event);
}

// Opens the menu with `open` and clicks `path`; true when the last action
// was clicked (a menu run by exec() returns only after that).
bool Choose(const std::function<void()>& open, QList<QAction*> path)
{
    MenuClicker clicker(std::move(path));
    open();
    const bool done = WaitFor([&] { return clicker.Done(); }, 3000);
    // An action whose menu never opened leaves nothing behind.
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    return done;
}

class ContextMenuSweep : public FakeEngineWindowTest
{
protected:
    void SetUp() override
    {
        FakeEngineWindowTest::SetUp();
        SetFileRevealer([this](const QString& path) {
            revealed.append(path);
            return true;
        });
    }
    void TearDown() override
    {
        SetFileRevealer(nullptr);
        FakeEngineWindowTest::TearDown();
    }
    void StopPlaying()
    {
        window->ControlBar()->StopPlay();
        PlayQueue::Instance().Clear();
    }
    QStringList revealed;
};

TEST_F(ContextMenuSweep, EveryActionOfTheTreeTheTrackListAndTheCards)
{
    TestMainUI& w = Open();
    w.show();
    QList<CTreeWidgetItem*> rows;
    for (const char* name : {"first", "second", "third", "fourth"})
        rows.append(RecordToneSong(*factory.engine, w, name));
    ASSERT_FALSE(rows.contains(nullptr));
    w.RecorderModuleStop();
    ASSERT_TRUE(WaitFor([&] { return w.ControlBar()->GetRecordState() == IRecordStateSource::NotRecording; }));
    CShowListWidget* page = w.LibraryPage();
    CMusicInfoTreeWidget* list = page->TrackList();
    CTreeLib* lib = w.TreeLib();
    CListTreeItem* second = lib->AddNewList();
    ASSERT_NE(second, nullptr);
    page->AddList(second);
    const int secondId = second->GetListType();
    QApplication::processEvents();   // the new list's name editor closes

    // ---- the track list, on "All Recordings" with the first song selected
    lib->SelectList(1);
    ASSERT_EQ(page->GetShownListId(), 1);
    auto onTrackList = [&](CTreeWidgetItem* row, QList<QAction*> path) {
        list->clearSelection();
        row->setSelected(true);
        list->setCurrentItem(row);
        const QPoint at = list->visualItemRect(row).center();
        return Choose([&] { RightClick(list->viewport(), at); }, std::move(path));
    };
    ASSERT_TRUE(onTrackList(rows[0], {page->PlayAction()}));
    EXPECT_EQ(w.ControlBar()->GetPlayState(), CToolBar::Playing);
    StopPlaying();

    const int editorsBefore = w.DialogCount("CMusicTagsEditDialog");
    ASSERT_TRUE(onTrackList(rows[0], {page->EditTagsAction()}));
    EXPECT_EQ(w.DialogCount("CMusicTagsEditDialog"), editorsBefore + 1);

    for (int listId : {4, secondId}) {
        ASSERT_TRUE(onTrackList(rows[0], {page->PlayListMenu()->menuAction(), page->GetListAction(listId)}));
        EXPECT_EQ(page->GetListItemCount(listId), 1) << listId;
        EXPECT_EQ(lib->FindList(listId)->GetQuantity(), 1) << listId;
    }
    ASSERT_TRUE(onTrackList(rows[1], {page->PlayListMenu()->menuAction(), page->GetListAction(4)}));
    EXPECT_EQ(page->GetListItemCount(4), 2);

    const int exportsBefore = w.DialogCount("CAddToiTunesDialog");
    ASSERT_TRUE(onTrackList(rows[0], {page->ITunesAction()}));
    EXPECT_EQ(w.DialogCount("CAddToiTunesDialog"), exportsBefore + 1);

    ASSERT_TRUE(onTrackList(rows[0], {page->SelectAllAction()}));
    EXPECT_EQ(list->GetSelectedItems().size(), rows.size());
    ASSERT_TRUE(onTrackList(rows[0], {page->UnselectAllAction()}));
    EXPECT_TRUE(list->GetSelectedItems().isEmpty());

    ASSERT_TRUE(onTrackList(rows[0], {page->ShowInFolderAction()}));
    EXPECT_EQ(revealed, QStringList{rows[0]->GetMusicPath()});

    // Deleting the playing song from the library, after its question.
    settings->SetDeleteType(0);
    page->ShowList(1);
    list->setCurrentItem(rows[3]);
    w.StartNewPlay(-1);
    w.answers = {QDialogButtonBox::Ok};
    const int fourthId = rows[3]->GetMusicId();
    ASSERT_TRUE(onTrackList(rows[3], {page->DeleteAction()}));
    EXPECT_EQ(page->GetItemsByMusicId({fourthId}).size(), 0);
    EXPECT_EQ(MusicRowCount(), 3);
    rows.removeLast();
    StopPlaying();

    // ---- the recording cards
    w.ShowRecording();
    CRecordingWidget* strip = w.RecordingPage();
    auto cardOf = [&](CTreeWidgetItem* row) -> CShowCoverWidget* {
        for (CShowCoverWidget* card : strip->SlotWidgets()) {
            if (card->Item() == row && card->HasData())
                return card;
        }
        return nullptr;
    };
    ASSERT_TRUE(WaitFor([&] { return cardOf(rows[2]) != nullptr; }));
    auto onCard = [&](CTreeWidgetItem* row, QAction* action) {
        CShowCoverWidget* card = cardOf(row);
        if (!card)
            return false;
        const QList<QAction*> actions = card->Menu()->actions();
        if (action == nullptr || !actions.contains(action))
            return false;
        return Choose([&] { RightClick(card->Tile(), card->Tile()->rect().center()); }, {action});
    };
    auto cardAction = [&](CTreeWidgetItem* row, int index) -> QAction* {
        CShowCoverWidget* card = cardOf(row);
        return card ? card->Menu()->actions().value(index) : nullptr;
    };
    // The card menu: Play, Edit, Delete, Show in Folder.
    ASSERT_TRUE(onCard(rows[2], cardAction(rows[2], 0)));
    EXPECT_TRUE(WaitFor([&] { return w.ControlBar()->GetPlayState() == CToolBar::Playing; }));
    StopPlaying();
    const int cardEditors = w.DialogCount("CMusicTagsEditDialog");
    ASSERT_TRUE(onCard(rows[2], cardAction(rows[2], 1)));
    EXPECT_TRUE(WaitFor([&] { return w.DialogCount("CMusicTagsEditDialog") == cardEditors + 1; }));
    ASSERT_TRUE(onCard(rows[2], cardAction(rows[2], 3)));
    EXPECT_TRUE(WaitFor([&] { return revealed.size() == 2; }));
    EXPECT_EQ(revealed.value(1), rows[2]->GetMusicPath());
    const int thirdId = rows[2]->GetMusicId();
    w.answers = {QDialogButtonBox::Ok};
    ASSERT_TRUE(onCard(rows[2], cardAction(rows[2], 2)));
    EXPECT_TRUE(WaitFor([&] { return page->GetItemsByMusicId({thirdId}).isEmpty(); }));
    Pause(600);   // the strip's removal animation runs over the discarded card
    EXPECT_TRUE(strip->CheckInvariant().isEmpty()) << strip->CheckInvariant().toStdString();
    rows.removeLast();

    // ---- the library tree: "All Recordings", then play list 4 (with songs)
    w.ShowMedia();
    CAcDopTreeWidget* libTree = lib->LibraryTree();
    CAcDopTreeWidget* playTree = lib->PlayListTree();
    auto onList = [&](int listId, QAction* action) {
        CListTreeItem* entry = lib->FindList(listId);
        CAcDopTreeWidget* tree = listId <= 2 ? libTree : playTree;
        if (!entry)
            return false;
        const QPoint at = tree->visualItemRect(entry).center();
        return Choose([&] { RightClick(tree->viewport(), at); }, {action});
    };
    ASSERT_TRUE(onList(1, lib->PlayAction()));
    EXPECT_EQ(w.ControlBar()->GetPlayState(), CToolBar::Playing);
    StopPlaying();
    const int treeExports = w.DialogCount("CAddToiTunesDialog");
    ASSERT_TRUE(onList(1, lib->ITunesAction()));
    EXPECT_EQ(w.DialogCount("CAddToiTunesDialog"), treeExports + 1);
    EXPECT_EQ(page->GetShownListId(), 1);

    ASSERT_TRUE(onList(4, lib->PlayAction()));
    EXPECT_EQ(page->GetShownListId(), 4);
    EXPECT_EQ(w.ControlBar()->GetPlayState(), CToolBar::Playing);
    StopPlaying();
    ASSERT_TRUE(onList(4, lib->ITunesAction()));
    ASSERT_TRUE(onList(4, lib->RenameAction()));
    EXPECT_TRUE(ListNameEditing);
    auto* editor = playTree->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("Road trip");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(WaitFor([&] { return !ListNameEditing; }));
    EXPECT_EQ(lib->FindList(4)->GetListName(), "Road trip");
    EXPECT_EQ(page->GetListAction(4)->text(), "Road trip");

    // Delete, after its question: the entry the menu was opened on is gone
    // when the menu returns.
    w.answers = {QDialogButtonBox::Ok};
    ASSERT_TRUE(onList(4, lib->DeleteAction()));
    EXPECT_EQ(lib->FindList(4), nullptr);
    EXPECT_FALSE(page->HasListAction(4));
    EXPECT_NE(page->GetShownListId(), 4);
    EXPECT_EQ(page->GetShownListId(), lib->FindList(page->GetShownListId())->GetListType());
    QList<MusicItemLink> left;
    DB_GetMusicItem(left, 4, "ListId");
    EXPECT_TRUE(left.isEmpty());
    // And the last play list the same way, the new one.
    w.answers = {QDialogButtonBox::Ok};
    ASSERT_TRUE(onList(secondId, lib->DeleteAction()));
    EXPECT_EQ(lib->FindList(secondId), nullptr);
    EXPECT_EQ(MusicRowCount(), 2);
}

} // namespace
