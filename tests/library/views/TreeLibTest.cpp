#include "CListTreeItem.h"
#include "CMusicInfoTreeWidget.h"
#include "CTreeLib.h"
#include "InterfaceScale.h"
#include "LibrarySeams.h"
#include "LibraryServices.h"
#include "MusicDatabase.h"
#include "ViewsTestSupport.h"
#include "WidgetFlags.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QResource>
#include <QAction>
#include <QSignalSpy>
#include <QTimer>

namespace {
class FakeRecordState : public IRecordStateSource {
public:
    int state = 0;
    int GetRecordState() const override { return state; }
};

class MenuLessTreeLib : public CTreeLib {
public:
    using CTreeLib::CTreeLib;
    using CTreeLib::PrepareContextMenu;
protected:
    void PopupMenu(const QPoint&) override {}
};
} // namespace

class TreeLibTest : public LibraryDbTest {
protected:
    void SetUp() override
    {
        LibraryDbTest::SetUp();
        lib = new MenuLessTreeLib(&record, nullptr);
        lib->resize(250, 400);
        lib->show();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        delete lib;
        LibraryDbTest::TearDown();
    }
    QStringList PlayListNames() const
    {
        QStringList names;
        for (int i = 0; i < lib->PlayListTree()->topLevelItemCount(); ++i)
            names << lib->PlayListTree()->topLevelItem(i)->text(CListTreeItem::ColName);
        return names;
    }
    FakeRecordState record;
    MenuLessTreeLib* lib = nullptr;
};

TEST_F(TreeLibTest, FreshDatabaseLayout)
{
    ASSERT_EQ(lib->LibraryTree()->topLevelItemCount(), 2);
    EXPECT_EQ(lib->LibraryTree()->topLevelItem(0)->text(3), "All Recordings");
    EXPECT_EQ(lib->LibraryTree()->topLevelItem(1)->text(3), "New Recordings");
    EXPECT_EQ(PlayListNames(), (QStringList{"Recently Played", "PlayList 1"}));
    EXPECT_EQ(lib->GetListItems().size(), 4);
    EXPECT_EQ(lib->PlayListTreeHeight(), 55);
    EXPECT_EQ(lib->ContentFrame()->height(), 180);
    EXPECT_TRUE(lib->DeleteKeyTimer()->isSingleShot());
    EXPECT_EQ(lib->DeleteKeyTimer()->interval(), 200);
    // Flags: fixed lists are not editable.
    EXPECT_FALSE(lib->FindList(3)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(lib->FindList(4)->flags() & Qt::ItemIsEditable);
    // The narrow columns keep their widths, so every count badge lies inside
    // the panel.
    for (CAcDopTreeWidget* tree : {lib->LibraryTree(), lib->PlayListTree()}) {
        EXPECT_EQ(tree->columnWidth(CListTreeItem::ColSpacer), 1);
        EXPECT_EQ(tree->columnWidth(CListTreeItem::ColIcon), 30);
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QWidget* badge = tree->itemWidget(tree->topLevelItem(i), CListTreeItem::ColCount);
            ASSERT_NE(badge, nullptr);
            EXPECT_TRUE(tree->viewport()->rect().contains(badge->geometry())) << i;
        }
    }
    lib->resize(100, 400);   // narrower than 205 keeps the content 205 wide
    QApplication::processEvents();
    EXPECT_EQ(lib->ContentFrame()->width(), 205);
}

// The list icons are scaled with the interface; the trees must draw them at
// that size, not at the style's 16 pixels.
TEST(ListTree, IconsGrowWithTheInterfaceScale)
{
    // The list icons come from the built skin.
    ASSERT_TRUE(QResource::registerResource(QString(SONACAP_TEST_OUTPUT_DIR) + "/skin.rcc"));
    for (double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        SetInterfaceScale(scale);
        CAcDopTreeWidget tree(nullptr);
        for (int listId : {1, 2, 3, 4}) {
            auto* entry = new CListTreeItem(MusicListRow{listId, 0, QStringLiteral("x")}, &tree);
            const QList<QSize> sizes = entry->icon(CListTreeItem::ColIcon).availableSizes();
            ASSERT_FALSE(sizes.isEmpty()) << listId;
            EXPECT_EQ(sizes.first(), tree.iconSize()) << listId;
        }
        EXPECT_EQ(tree.iconSize().width(), int(16 * scale));
    }
    SetInterfaceScale(1.0);
    QResource::unregisterResource(QString(SONACAP_TEST_OUTPUT_DIR) + "/skin.rcc");
}

TEST_F(TreeLibTest, CountsOfEveryLengthShowWhole)
{
    for (int count : {0, 42, 100000}) {
        SCOPED_TRACE(count);
        lib->SetListItemNum(1, count);
        EXPECT_EQ(lib->FindList(1)->GetQuantity(), count);
        // Both sections' badges stand in one column.
        EXPECT_EQ(lib->LibraryTree()->columnWidth(CListTreeItem::ColCount),
                  lib->PlayListTree()->columnWidth(CListTreeItem::ColCount));
        lib->SetListItemNum(4, count);
        for (CListTreeItem* entry : {lib->FindList(1), lib->FindList(4)}) {
            QTreeWidget* tree = entry->treeWidget();
            QWidget* badge = tree->itemWidget(entry, CListTreeItem::ColCount);
            ASSERT_NE(badge, nullptr);
            EXPECT_GE(tree->columnWidth(CListTreeItem::ColCount), badge->sizeHint().width());
            EXPECT_LE(tree->columnWidth(CListTreeItem::ColSpacer) + tree->columnWidth(CListTreeItem::ColGap)
                          + tree->columnWidth(CListTreeItem::ColIcon) + tree->columnWidth(CListTreeItem::ColName)
                          + tree->columnWidth(CListTreeItem::ColCount),
                      tree->viewport()->width());
        }
    }
}

TEST_F(TreeLibTest, NewListsReuseKeysAndStopAt999)
{
    QSignalSpy selected(lib, &CTreeLib::SelectChanged);
    CListTreeItem* second = lib->AddNewList();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetListType(), 5);
    EXPECT_EQ(second->GetListName(), "PlayList 2");
    EXPECT_TRUE(ListNameEditing);   // the editor opened on it
    EXPECT_EQ(selected.back().front().toInt(), 5);
    EXPECT_EQ(lib->PlayListTreeHeight(), 80);
    CListTreeItem* third = lib->AddNewList();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->GetListType(), 6);

    // Deleting frees the key, which the next list takes; it still goes last.
    lib->PlayListTree()->setCurrentItem(second);
    EXPECT_EQ(lib->GetNextListId(), 6);
    EXPECT_EQ(lib->DeleteItem(), 5);
    QString name;
    DB_GetMusicListName(5, name);
    EXPECT_TRUE(name.isEmpty());
    CListTreeItem* again = lib->AddNewList();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GetListType(), 5);
    EXPECT_EQ(lib->PlayListTree()->indexOfTopLevelItem(again), lib->PlayListTree()->topLevelItemCount() - 1);

    // Fixed lists refuse deletion.
    lib->PlayListTree()->setCurrentItem(lib->FindList(3));
    EXPECT_EQ(lib->DeleteItem(), -1);

    // Fill up to 998 lists; the 999th can still be made, the next cannot.
    DB_CreateTransaction();
    for (int id = 7; id <= 998; ++id)
        ASSERT_TRUE(DB_SetMusicList(id, QString("L%1").arg(id)).isNull());
    DB_CommitTransaction();
    CListTreeItem* last = lib->AddNewList();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->GetListType(), 999);
    QStringList asked;
    SetQuestionAsker([&asked](QWidget*, const QString& text, const QList<DialogButtonInfo>&, bool, bool*) {
        asked << text;
        return 0;
    });
    EXPECT_EQ(lib->AddNewList(), nullptr);
    SetQuestionAsker(nullptr);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked.at(0).contains("maximum playlists are 999")) << asked.at(0).toStdString();
    ListNameEditing = false;
}

TEST_F(TreeLibTest, RenameTrimsAndBlankRestores)
{
    CListTreeItem* list4 = lib->FindList(4);
    QSignalSpy renamed(lib, &CTreeLib::listNameChanged);
    CMItemDelegate delegate;
    QLineEdit editor;
    QAbstractItemModel* model = lib->PlayListTree()->model();
    const QModelIndex index = model->index(lib->PlayListTree()->indexOfTopLevelItem(list4), CListTreeItem::ColName);
    editor.setText("  Road trip  ");
    delegate.setModelData(&editor, model, index);
    EXPECT_EQ(list4->GetListName(), "Road trip");
    EXPECT_EQ(renamed.count(), 1);
    editor.setText("    ");
    delegate.setModelData(&editor, model, index);
    EXPECT_EQ(list4->GetListName(), "Road trip");
    // A blank name arriving another way is replaced by the stored one, silently.
    list4->setText(CListTreeItem::ColName, "   ");
    EXPECT_EQ(list4->GetListName(), "PlayList 1");
    EXPECT_EQ(renamed.count(), 1);
}

// A rename or a new list never takes a name another list shows: it is
// numbered as new lists are ("<name> n", the lowest free n from 1). Lists
// that already share a name are told apart when the panel loads.
TEST_F(TreeLibTest, TwoListsNeverShareAName)
{
    CListTreeItem* second = lib->AddNewList();
    ASSERT_NE(second, nullptr);
    ListNameEditing = false;
    QSignalSpy renamed(lib, &CTreeLib::listNameChanged);
    CMItemDelegate delegate;
    QLineEdit editor;
    QAbstractItemModel* model = lib->PlayListTree()->model();
    const QModelIndex index = model->index(lib->PlayListTree()->indexOfTopLevelItem(second), CListTreeItem::ColName);
    const struct {
        const char* typed;
        const char* kept;
    } renames[] = {
        {"PlayList 1", "PlayList 2"},         // list 4's: the lowest free number
        {"Recently Played", "Recently Played 1"},
        {"Road trip", "Road trip"},
        {"Road trip", "Road trip"},           // its own name stays
        {"PlayList 7", "PlayList 7"},
    };
    for (const auto& r : renames) {
        editor.setText(r.typed);
        delegate.setModelData(&editor, model, index);
        EXPECT_EQ(second->GetListName(), r.kept) << r.typed;
    }
    EXPECT_EQ(renamed.count(), 4);   // the same name again changes nothing
    // List 4 may not take the name either, nor a name list 5 had once.
    CListTreeItem* list4 = lib->FindList(4);
    list4->setText(CListTreeItem::ColName, "PlayList 7");
    EXPECT_EQ(list4->GetListName(), "PlayList 1");
    list4->setText(CListTreeItem::ColName, "Road trip");
    EXPECT_EQ(list4->GetListName(), "Road trip");
    DB_UpdateMusicList(4, "Road trip");
    DB_UpdateMusicList(5, "PlayList 7");
    // A new list takes the lowest number no list shows.
    CListTreeItem* third = lib->AddNewList();
    ASSERT_NE(third, nullptr);
    ListNameEditing = false;
    EXPECT_EQ(third->GetListName(), "PlayList 1");

    // A library from before: three lists share names with earlier ones.
    ASSERT_TRUE(DB_SetMusicList(7, "Road trip").isNull());
    ASSERT_TRUE(DB_SetMusicList(8, "PlayList 1").isNull());
    ASSERT_TRUE(DB_SetMusicList(9, "Road trip").isNull());
    delete lib;
    lib = new MenuLessTreeLib(&record, nullptr);
    EXPECT_EQ(PlayListNames(), (QStringList{"Recently Played", "Road trip", "PlayList 7", "PlayList 1", "Road trip 1",
                                            "PlayList 2", "Road trip 2"}));
    QString stored;
    DB_GetMusicListName(9, stored);
    EXPECT_EQ(stored, "Road trip 2");
}

TEST_F(TreeLibTest, DropsOnlyOnOtherPlayLists)
{
    CAcDopTreeWidget* tree = lib->PlayListTree();
    QSignalSpy dropped(tree, &CAcDopTreeWidget::DragItemToList);
    auto* data = new QMimeData;
    data->setData(CMusicInfoTreeWidget::MimeType, "3 9 ");
    // Qt delivers moves and drops to the widget that took the drag's entry.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    auto moveOver = [&](int listId) {
        QTreeWidgetItem* item = lib->FindList(listId);
        const QPoint at = tree->visualItemRect(item).center();
        QDragMoveEvent ev(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &ev);
        return ev.isAccepted();
    };
    EXPECT_FALSE(moveOver(3));
    EXPECT_EQ(tree->HighlightedRow(), -1);
    EXPECT_TRUE(moveOver(4));
    EXPECT_EQ(tree->HighlightedRow(), 1);
    EXPECT_TRUE(lib->FindList(4)->isDisabled());   // drawn as the drop mark
    const QPoint at = tree->visualItemRect(lib->FindList(4)).center();
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &drop);
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.front().at(0).toString(), "3 9 ");
    EXPECT_EQ(dropped.front().at(1).toInt(), 4);
    EXPECT_FALSE(lib->FindList(4)->isDisabled());
    delete data;
}

TEST_F(TreeLibTest, ContextMenuFollowsRecordingStateAndCounts)
{
    lib->SetListItemNum(4, 3);
    EXPECT_EQ(lib->FindList(4)->GetQuantity(), 3);
    struct Case {
        int listId, state;
        bool play, rename;
    };
    for (const Case& c : {Case{4, 0, true, true}, Case{4, 1, false, true}, Case{4, 2, false, true},
                          Case{1, 0, false, false}}) {
        record.state = c.state;
        lib->PrepareContextMenu(lib->FindList(c.listId));
        EXPECT_EQ(lib->PlayAction()->isEnabled(), c.play) << c.listId << c.state;
        EXPECT_EQ(lib->RenameAction()->isEnabled(), c.rename);
        EXPECT_EQ(lib->DeleteAction()->isEnabled(), c.rename);
    }
}
