#include "CMusicInfoTreeWidget.h"
#include "CTreeWidgetItem.h"
#include "InterfaceScale.h"
#include "MusicDatabase.h"
#include "ViewsTestSupport.h"
#include "../../common/ProgramLook.h"

#include <QApplication>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUrl>

#include <cstring>
#include <memory>

namespace {

class DragCatcher : public CMusicInfoTreeWidget {
public:
    using CMusicInfoTreeWidget::CMusicInfoTreeWidget;
    std::unique_ptr<QMimeData> data;
    QPixmap picture;
    int drags = 0;

protected:
    void RunDrag(QMimeData* d, const QPixmap& p) override
    {
        data.reset(d);
        picture = p;
        ++drags;
    }
};

void Send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QMouseEvent ev(type, pos, w->mapToGlobal(pos), button,
                   type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), mods);
    QApplication::sendEvent(w, &ev);
}
} // namespace

TEST(TrackRow, CellsFromTheRecord)
{
    struct Case {
        QString title, artist, album, genre, path;
        QString name, artistCell, albumCell, genreCell;
    };
    const std::vector<Case> cases = {
        {"Song", "Band", "Disc", "Rock;Pop", "/m/a.mp3", "Song", "Band", "Disc", "Rock"},
        // Without a title the file's name shows, cut at the extension only.
        {"", "", "", "Jazz", "/m/2020-01-01 10.00.00.mp3", "2020-01-01 10.00.00", "Unknown Artist", "Unknown Album", "Jazz"},
        {"", "X", "Y", "Pop", "/m/Mr. Brightside.mp3", "Mr. Brightside", "X", "Y", "Pop"},
        {"", "X", "Y", "Pop", "/m/.hidden", "", "X", "Y", "Pop"},
        {"", "A", "B", "", "/m/noext", "noext", "A", "B", "Other"},
    };
    for (const Case& c : cases) {
        MusicInfoRow row = MakeRow(7, c.title, c.artist, c.album, c.genre, "12/31/2019 23:59", c.path);
        CTreeWidgetItem item(7, &row, nullptr);
        EXPECT_EQ(item.text(CTreeWidgetItem::ColName), c.name);
        EXPECT_EQ(item.text(CTreeWidgetItem::ColTime), "03:00");
        EXPECT_EQ(item.text(CTreeWidgetItem::ColArtist), c.artistCell);
        EXPECT_EQ(item.text(CTreeWidgetItem::ColAlbum), c.albumCell);
        EXPECT_EQ(item.text(CTreeWidgetItem::ColGenre), c.genreCell);
        EXPECT_EQ(item.text(CTreeWidgetItem::ColDate), "12/31/2019 23:59");
        EXPECT_EQ(item.GetMusicPath(), c.path);
        EXPECT_EQ(item.GetCoverPath(), CTreeWidgetItem::DefaultCoverPath());
        EXPECT_EQ(item.GetDownloadStatus(), 0);
        EXPECT_FALSE(item.IsConverting());
        EXPECT_TRUE(item.GetDateText().isEmpty());
    }
}

// Column 1 holds one picture at a time: the notice (one picture shared by
// every row) or the playing mark; clearing the notice clears either.
TEST(TrackRow, NoticeAndPlayingMarkShareColumnOne)
{
    const SkinPictures skin;
    ASSERT_TRUE(skin.loaded);
    MusicInfoRow record = MakeRow(1, "t", "a", "b", "g", "01/01/2024 10:00", "/m/a.mp3");
    CTreeWidgetItem a(1, &record, nullptr), b(2, &record, nullptr);
    QPixmap markPicture(8, 8);
    markPicture.fill(Qt::red);
    const QIcon mark(markPicture);
    const auto shown = [](const CTreeWidgetItem& row) { return row.icon(CTreeWidgetItem::ColNotice); };

    a.SetNoticeIcon(true);
    b.SetNoticeIcon(true);
    ASSERT_FALSE(shown(a).isNull());
    EXPECT_EQ(shown(a).cacheKey(), shown(b).cacheKey());
    EXPECT_EQ(shown(a).availableSizes().value(0), QSize(ScaledPixels(16), ScaledPixels(16)));

    struct Step {
        const char* what;
        int action;   // 0 notice on, 1 notice off, 2 playing mark, 3 no mark
        const char* expected;   // "notice", "mark" or "none"
    };
    const Step steps[] = {
        {"the mark replaces the notice", 2, "mark"}, {"the notice replaces the mark", 0, "notice"},
        {"the mark again", 2, "mark"},                {"clearing the notice clears the mark", 1, "none"},
        {"the notice", 0, "notice"},                  {"an empty mark clears the notice", 3, "none"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        switch (step.action) {
        case 0: a.SetNoticeIcon(true); break;
        case 1: a.SetNoticeIcon(false); break;
        case 2: a.SetNoticeColumnIcon(mark); break;
        default: a.SetNoticeColumnIcon(QIcon()); break;
        }
        const QString expected = step.expected;
        if (expected == "none")
            EXPECT_TRUE(shown(a).isNull());
        else
            EXPECT_EQ(shown(a).cacheKey(), expected == "mark" ? mark.cacheKey() : shown(b).cacheKey());
    }
}

TEST(TrackRow, ChosenCoverIsClamped)
{
    MusicInfoRow row = MakeRow(1, "t", "a", "b", "g", "01/01/2020 10:00", "/m/x.mp3");
    row.Info.CoverCount = 2;
    SET_FIELD(row.Info.CoverPaths[0], "/p/first.jpg");
    SET_FIELD(row.Info.CoverPaths[1], "/p/second.jpg");
    for (auto [imageId, expected] : std::vector<std::pair<int, QString>>{{1, "/p/second.jpg"}, {-3, "/p/first.jpg"}, {2, "/p/first.jpg"}}) {
        row.ImageId = imageId;
        CTreeWidgetItem item(1, &row, nullptr);
        EXPECT_EQ(item.GetCoverPath(), expected) << imageId;
    }
}

TEST(TrackRow, DateColumnShowsPlayDateInRecentlyPlayedOnly)
{
    const QString played = "01/02/2020 08:00;03/04/2021 09:30";
    MusicInfoRow row = MakeRow(1, "t", "a", "b", "g", played, "/m/x.mp3");
    CTreeWidgetItem item(1, &row, nullptr);
    EXPECT_EQ(item.GetDateText(), played);
    EXPECT_EQ(item.text(CTreeWidgetItem::ColDate), "01/02/2020 08:00");
    item.SetDateColumn(3);
    EXPECT_EQ(item.text(CTreeWidgetItem::ColDate), "03/04/2021 09:30");
    item.SetDateColumn(4);
    EXPECT_EQ(item.text(CTreeWidgetItem::ColDate), "01/02/2020 08:00");
    item.SetItemData(3, &row);
    EXPECT_EQ(item.text(CTreeWidgetItem::ColDate), "03/04/2021 09:30");
    // Taken out of "Recently Played" while shown there: the date added comes
    // back, and no other list shows the play date any more.
    item.ClearPlayDate();
    EXPECT_EQ(item.text(CTreeWidgetItem::ColDate), "01/02/2020 08:00");
    EXPECT_TRUE(item.GetDateText().isEmpty());
    item.SetDateColumn(1);
    EXPECT_EQ(item.text(CTreeWidgetItem::ColDate), "01/02/2020 08:00");
    // Without a date text the column stays.
    MusicInfoRow plain = MakeRow(2, "t", "a", "b", "g", "05/05/2020 05:05", "/m/y.mp3");
    CTreeWidgetItem other(2, &plain, nullptr);
    other.SetDateColumn(3);
    EXPECT_EQ(other.text(CTreeWidgetItem::ColDate), "05/05/2020 05:05");
}

TEST(TrackList, SortRules)
{
    CMusicInfoTreeWidget list;
    EXPECT_EQ(list.columnCount(), 10);
    EXPECT_EQ(list.header()->sortIndicatorSection(), CTreeWidgetItem::ColDate);
    EXPECT_EQ(list.header()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(list.headerItem()->text(CTreeWidgetItem::ColDate), "Date Added");
    // The narrow columns keep their design widths, and column 0 shows no title.
    EXPECT_EQ(list.columnWidth(CTreeWidgetItem::ColSpacer), 1);
    EXPECT_EQ(list.columnWidth(CTreeWidgetItem::ColNotice), 20);
    EXPECT_EQ(list.columnWidth(CTreeWidgetItem::ColPad), 20);
    EXPECT_EQ(list.headerItem()->text(CTreeWidgetItem::ColSpacer), "");

    struct Case {
        int column;
        QString less, more;
    };
    const std::vector<Case> cases = {
        {CTreeWidgetItem::ColDate, "12/31/2019 23:59", "01/01/2020 00:00"},
        {CTreeWidgetItem::ColDate, "01/01/2020 09:59", "01/01/2020 10:00"},
        {CTreeWidgetItem::ColName, "apple", "Banana"},
        {CTreeWidgetItem::ColName, "Zeta", "zetb"},
        // The time column by length, not as text.
        {CTreeWidgetItem::ColTime, "9:00", "10:00"},
        {CTreeWidgetItem::ColTime, "19:59", "1:02:05"},
        {CTreeWidgetItem::ColTime, "59:59", "1:00:00"},
        {CTreeWidgetItem::ColTime, "03:05", "03:06"},
        {CTreeWidgetItem::ColTime, "10:00:00", "99:59:59"},
        {CTreeWidgetItem::ColTime, "1:02:05", "unknown"},   // no length: after every length
        {CTreeWidgetItem::ColTime, "", "00:00"},
    };
    for (const Case& c : cases) {
        MusicInfoRow a = MakeRow(1, "x", "x", "x", "x", "01/01/2020 00:00", "/m/a.mp3");
        MusicInfoRow b = a;
        auto* ra = new CTreeWidgetItem(1, &a, &list);
        auto* rb = new CTreeWidgetItem(2, &b, &list);
        ra->setText(c.column, c.less);
        rb->setText(c.column, c.more);
        list.sortItems(c.column, Qt::AscendingOrder);
        EXPECT_TRUE(*ra < *rb) << c.less.toStdString();
        EXPECT_FALSE(*rb < *ra) << c.more.toStdString();
        list.clear();
    }
    MusicInfoRow lone = MakeRow(1, "x", "x", "x", "x", "01/01/2020 00:00", "/m/a.mp3");
    CTreeWidgetItem free1(1, &lone, nullptr), free2(2, &lone, nullptr);
    EXPECT_FALSE(free1 < free2);   // no tree, no sort column
}

// The rows compare by keys made once per column; the order must stay that of
// lower-casing both texts unit by unit at every comparison (the date column
// with its year first), including after a cell changes and across columns.
TEST(TrackList, SortKeysOrderLikeLowerCasingBothTexts)
{
    auto lowerLess = [](QString a, QString b, int column) {
        if (column == CTreeWidgetItem::ColDate) {
            a = a.mid(6, 4) + a.left(6) + a.mid(10);
            b = b.mid(6, 4) + b.left(6) + b.mid(10);
        }
        for (int i = 0; i < qMin(a.size(), b.size()); ++i) {
            const ushort ca = a[i].toLower().unicode(), cb = b[i].toLower().unicode();
            if (ca != cb)
                return ca < cb;
        }
        return a.size() < b.size();
    };
    const QStringList texts = {
        "", "a", "A", "ab", "aB", "Ab", "b", "B", "e", QString::fromUtf8("é"), QString::fromUtf8("É"),
        QString::fromUtf8("İ"), "i", QString::fromUtf8("ß"), QString::fromUtf8("ẞ"), QString::fromUtf8("Σ"),
        QString::fromUtf8("ς"), QString::fromUtf8("Ω"), QString::fromUtf8("K"), "k",
        QString::fromUtf8("😀"), QString::fromUtf8("𝐀a"), "10", "9", "12/31/2019 23:59", "01/01/2020 00:00",
        "01/01/2020", "1/1/2020 0:00", "01/02", "13/45/2020 99:99", "01/01/2020 00:00;02/02/2021 10:00",
        "AB/CD/EFGH xy", "ab/cd/efgh XY",
    };
    CMusicInfoTreeWidget list;
    QList<CTreeWidgetItem*> rows;
    for (int i = 0; i < texts.size(); ++i) {
        MusicInfoRow r = MakeRow(i + 1, "x", "x", "x", "x", "01/01/2020 00:00", "/m/a.mp3");
        rows.append(new CTreeWidgetItem(i + 1, &r, &list));
    }
    const int columns[] = {CTreeWidgetItem::ColName, CTreeWidgetItem::ColDate, CTreeWidgetItem::ColName};
    for (int shift = 0; shift < 3; ++shift) {
        // Shifted texts each round: a key kept from before would now lie.
        for (int i = 0; i < rows.size(); ++i) {
            rows[i]->setText(CTreeWidgetItem::ColName, texts[(i + shift) % texts.size()]);
            rows[i]->setText(CTreeWidgetItem::ColDate, texts[(i + 2 * shift) % texts.size()]);
        }
        for (int column : columns) {
            list.sortItems(column, Qt::AscendingOrder);
            for (CTreeWidgetItem* a : rows) {
                for (CTreeWidgetItem* b : rows) {
                    ASSERT_EQ(*a < *b, lowerLess(a->text(column), b->text(column), column))
                        << column << " '" << a->text(column).toStdString() << "' < '"
                        << b->text(column).toStdString() << "' (round " << shift << ")";
                }
            }
        }
    }
}

// Rows added in one step take the order the list itself would give them:
// ties, texts differing in case only, longer than sixteen units, with units
// above 255, and prefixes of one another, in both orders and two columns.
TEST(TrackList, RowsAddedInOneStepAreOrderedAsTheListWouldOrderThem)
{
    const QStringList texts = {
        "", "a", "A", "ab", "same", "same", "Same", "abcdefghijklmnop", "abcdefghijklmnopq", "abcdefghijklmnoP",
        "abcdefghijklmnopa", "abcdefghijklmno", QString::fromUtf8("\xc3\x84rger"), QString::fromUtf8("a\xc4\x80"),
        QString::fromUtf8("a\xc3\xbf"), QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac"),
        QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"), "12/31/2019 23:59", "01/01/2020 00:00",
        "01/01/2020 00:00", "01/02", QString::fromUtf8("12/31/2019 23:5\xc4\x80"), "01/01/2020 00:00;02/02/2021 10:00",
    };
    for (int column : {int(CTreeWidgetItem::ColName), int(CTreeWidgetItem::ColDate)}) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            SCOPED_TRACE(QStringLiteral("column %1 order %2").arg(column).arg(order).toStdString());
            CMusicInfoTreeWidget oneStep, reference;
            oneStep.sortItems(column, order);
            reference.sortItems(column, order);
            QList<CTreeWidgetItem*> rows;
            QList<QTreeWidgetItem*> referenceRows;
            for (int i = 0; i < texts.size(); ++i) {
                MusicInfoRow r = MakeRow(i + 1, "x", "x", "x", "x", "01/01/2020 00:00", "/m/a.mp3");
                for (auto* list : {&rows, static_cast<QList<CTreeWidgetItem*>*>(nullptr)}) {
                    auto* row = new CTreeWidgetItem(i + 1, &r, nullptr);
                    row->setText(column, texts[i]);
                    if (list)
                        list->append(row);
                    else
                        referenceRows.append(row);
                }
            }
            oneStep.AddRowsSorted(rows);
            reference.addTopLevelItems(referenceRows);
            reference.model()->index(0, 0);   // runs the sort the insertion left pending
            ASSERT_EQ(oneStep.topLevelItemCount(), reference.topLevelItemCount());
            for (int i = 0; i < oneStep.topLevelItemCount(); ++i) {
                EXPECT_EQ(static_cast<CTreeWidgetItem*>(oneStep.topLevelItem(i))->GetMusicId(),
                          static_cast<CTreeWidgetItem*>(reference.topLevelItem(i))->GetMusicId())
                    << i << " '" << oneStep.topLevelItem(i)->text(column).toStdString() << "'";
            }
        }
    }
}

class TrackListFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        list.resize(600, 400);
        list.setSortingEnabled(false);
        for (int i = 0; i < 6; ++i) {
            MusicInfoRow r = MakeRow(i + 1, QString("Song %1").arg(i), "a", "b", "g", "01/01/2020 00:00",
                                     QString("/music/song %1.mp3").arg(i));
            rows.append(new CTreeWidgetItem(i + 1, &r, &list));
        }
        list.show();
    }
    DragCatcher list;
    QList<CTreeWidgetItem*> rows;
};

TEST_F(TrackListFixture, HiddenRowsNeverCountAsSelectedOrVisible)
{
    rows[1]->setHidden(true);
    rows[2]->setHidden(true);
    rows[4]->setHidden(true);
    list.selectAll();
    EXPECT_EQ(list.GetSelectedItems(), (QList<CTreeWidgetItem*>{rows[0], rows[3], rows[5]}));
    EXPECT_EQ(list.GetVisibleItemCount(), 3);
    EXPECT_EQ(list.GetVisibleIndex(rows[3]), 1);
    EXPECT_EQ(list.GetVisibleIndex(rows[2]), -1);
    EXPECT_EQ(list.GetVisibleItem(2), rows[5]);
    EXPECT_EQ(list.GetVisibleItem(3), nullptr);
    list.setCurrentItem(rows[1]);
    EXPECT_EQ(list.GetCurrentVisibleItem(), rows[3]);   // the next visible one
    list.setCurrentItem(rows[4]);
    rows[5]->setHidden(true);
    EXPECT_EQ(list.GetCurrentVisibleItem(), rows[3]);   // else the one before
    list.SetCurrentVisibleIndex(0);
    EXPECT_EQ(list.currentItem(), rows[0]);

    // Hidden or disabled after they were selected: still never counted.
    rows[5]->setHidden(false);
    list.selectAll();
    rows[5]->setHidden(true);
    rows[0]->setDisabled(true);
    EXPECT_EQ(list.GetSelectedItems(), QList<CTreeWidgetItem*>{rows[3]});
    EXPECT_EQ(list.SelectedVisibleRows(), (QVector<QTreeWidgetItem*>{rows[0], rows[3]}));
}

TEST_F(TrackListFixture, TakingManyRowsKeepsTheRestAsTheyWere)
{
    struct Case {
        const char* what;
        QList<int> taken;
        int current;
        int newCurrent;   // -1: none
    };
    const Case cases[] = {
        {"current goes, the next staying row follows", {2, 3, 5}, 2, 4},
        {"current at the end goes, the one before follows", {4, 5}, 5, 3},
        {"current stays", {0, 5}, 3, 3},
        {"all go", {0, 1, 2, 3, 4, 5}, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        list.clear();
        rows.clear();
        for (int i = 0; i < 6; ++i) {
            MusicInfoRow r = MakeRow(i + 1, QString("Song %1").arg(i), "a", "b", "g", "01/01/2020 00:00",
                                     QString("/music/song %1.mp3").arg(i));
            rows.append(new CTreeWidgetItem(i + 1, &r, &list));
        }
        rows[1]->setHidden(true);
        rows[4]->setHidden(true);
        list.setCurrentItem(rows[c.current]);
        list.clearSelection();
        for (int i : {0, 3, 4})
            rows[i]->setSelected(true);
        // The folded texts are made before, so the staying ones are reused.
        const CMusicInfoTreeWidget::SearchText song(QStringLiteral("SONG"));
        list.UpdateRowsHidden([&](int i, QTreeWidgetItem*, bool hidden) {
            list.RowTextContains(i, CTreeWidgetItem::ColName, song);
            return hidden;
        });

        QSet<const QTreeWidgetItem*> taken;
        for (int i : c.taken)
            taken.insert(rows[i]);
        list.TakeRows(taken);
        QList<CTreeWidgetItem*> staying;
        for (int i = 0; i < 6; ++i) {
            if (!c.taken.contains(i))
                staying.append(rows[i]);
        }
        ASSERT_EQ(list.topLevelItemCount(), staying.size());
        for (int i = 0; i < staying.size(); ++i) {
            EXPECT_EQ(list.topLevelItem(i), staying[i]) << i;
            EXPECT_EQ(list.IsRowHiddenAt(i), staying[i] == rows[1] || staying[i] == rows[4]) << i;
            EXPECT_EQ(staying[i]->isSelected(), staying[i] == rows[0] || staying[i] == rows[3] || staying[i] == rows[4])
                << i;
            // The texts still answer for the row now at this place.
            const int number = rows.indexOf(staying[i]);
            const CMusicInfoTreeWidget::SearchText own(QStringLiteral("song %1").arg(number));
            bool found = false;
            list.UpdateRowsHidden([&](int at, QTreeWidgetItem*, bool hidden) {
                if (at == i)
                    found = list.RowTextContains(at, CTreeWidgetItem::ColName, own);
                return hidden;
            });
            EXPECT_TRUE(found) << i;
        }
        EXPECT_EQ(list.currentItem(), c.newCurrent < 0 ? nullptr : rows[c.newCurrent]);
        for (int i : c.taken)
            delete rows[i];
    }
    rows.clear();
}

TEST_F(TrackListFixture, TakingRowsOfASortedListKeepsItsOrderAndSorting)
{
    list.clear();
    rows.clear();
    list.setSortingEnabled(true);
    list.sortItems(CTreeWidgetItem::ColName, Qt::DescendingOrder);
    for (const char* title : {"b", "d", "a", "c", "e"}) {
        MusicInfoRow r = MakeRow(rows.size() + 1, title, "a", "b", "g", "01/01/2020 00:00", "/m/x.mp3");
        rows.append(new CTreeWidgetItem(rows.size() + 1, &r, &list));
    }
    list.TakeRows({rows[1], rows[2]});   // "d" and "a"
    QStringList order;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        order << list.topLevelItem(i)->text(CTreeWidgetItem::ColName);
    EXPECT_EQ(order, (QStringList{"e", "c", "b"}));
    EXPECT_TRUE(list.isSortingEnabled());
    EXPECT_EQ(list.sortColumn(), int(CTreeWidgetItem::ColName));
    EXPECT_EQ(list.header()->sortIndicatorOrder(), Qt::DescendingOrder);
    MusicInfoRow r = MakeRow(9, "d2", "a", "b", "g", "01/01/2020 00:00", "/m/x.mp3");
    auto* added = new CTreeWidgetItem(9, &r, &list);
    EXPECT_EQ(list.indexOfTopLevelItem(added), 1) << "a new row still goes to its sorted place";
    delete rows[1];
    delete rows[2];
    rows.clear();
}

TEST_F(TrackListFixture, PressRulesAndDragPayload)
{
    QWidget* vp = list.viewport();
    list.clearSelection();
    rows[1]->setSelected(true);
    rows[4]->setSelected(true);
    rows[2]->setSelected(true);
    rows[2]->setHidden(true);   // a hidden selected row is never dragged
    const QPoint on1 = list.visualItemRect(rows[1]).center();
    const QPoint on4 = list.visualItemRect(rows[4]).center();

    // A press on a selected row keeps the whole selection for the drag.
    Send(vp, QEvent::MouseButtonPress, on4, Qt::LeftButton);
    Send(vp, QEvent::MouseMove, on4 + QPoint(0, 2), Qt::LeftButton);
    ASSERT_EQ(list.drags, 1);
    const QByteArray payload = list.data->data(CMusicInfoTreeWidget::MimeType);
    EXPECT_EQ(payload, QByteArray("2 5 "));
    EXPECT_EQ(list.data->urls(), (QList<QUrl>{QUrl::fromLocalFile("/music/song 1.mp3"),
                                              QUrl::fromLocalFile("/music/song 4.mp3")}));
    Send(vp, QEvent::MouseButtonRelease, on4, Qt::LeftButton);

    // A press on an unselected row selects it alone; a move without a press drags nothing.
    Send(vp, QEvent::MouseButtonPress, list.visualItemRect(rows[0]).center(), Qt::LeftButton);
    EXPECT_EQ(list.GetSelectedItems(), QList<CTreeWidgetItem*>{rows[0]});
    Send(vp, QEvent::MouseButtonRelease, on1, Qt::LeftButton);
    Send(vp, QEvent::MouseMove, on1, Qt::NoButton);
    EXPECT_EQ(list.drags, 1);

    // A press on empty space keeps the selection.
    Send(vp, QEvent::MouseButtonPress, QPoint(10, vp->height() - 3), Qt::LeftButton);
    EXPECT_EQ(list.GetSelectedItems(), QList<CTreeWidgetItem*>{rows[0]});
}

TEST_F(TrackListFixture, BorderPressOnlySignals)
{
    int borders = 0;
    QObject::connect(&list, &CMusicInfoTreeWidget::borderPressed, [&] { ++borders; });
    list.clearSelection();
    const QPoint p(list.width() - 2, list.visualItemRect(rows[0]).center().y());
    Send(list.viewport(), QEvent::MouseButtonPress, p, Qt::LeftButton);
    EXPECT_EQ(borders, 1);
    EXPECT_TRUE(list.selectedItems().isEmpty());
}

// The empty last column fills what the others leave and shrinks with it, so
// a list as wide as its columns (the default window at any scale is a few
// pixels wider) needs no horizontal scroll bar.
namespace {
// Columns of the header's section `column` where two pictures of the header
// differ: what one change painted there.
program_look::Ink Difference(const QImage& a, const QImage& b, const QHeaderView& header, int column)
{
    const int from = header.sectionViewportPosition(column);
    const int to = std::min(a.width(), from + header.sectionSize(column));
    QImage marks(a.width(), a.height(), QImage::Format_ARGB32);
    marks.fill(Qt::transparent);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = std::max(0, from); x < to; ++x) {
            if (a.pixel(x, y) != b.pixel(x, y))
                marks.setPixel(x, y, qRgba(0, 0, 0, 255));
        }
    }
    return program_look::InkOf(marks);
}
} // namespace

// Each column title, painted in the header with the sort arrow on its column,
// shows whole and clear of the arrow in every language ("Длительность" ran
// under it).
TEST(TrackList, EveryColumnTitleShowsWholeBesideTheSortArrow)
{
    program_look::InEveryLanguage([](double scale, const QString&) {
        CMusicInfoTreeWidget list;
        list.resize(static_cast<int>(724 * scale), 300);
        list.show();
        QApplication::processEvents();
        QHeaderView* header = list.header();
        QTreeWidgetItem* titles = list.headerItem();
        for (int column = CTreeWidgetItem::ColName; column <= CTreeWidgetItem::ColDate; ++column) {
            const QString title = titles->text(column);
            SCOPED_TRACE(title.toStdString());
            header->setSortIndicator(column, Qt::DescendingOrder);
            const auto picture = [&](bool withTitle, bool arrow) {
                titles->setText(column, withTitle ? title : QString());
                header->setSortIndicatorShown(arrow);
                return header->grab().toImage();
            };
            const QImage titleAndArrow = picture(true, true);
            const QImage arrowOnly = picture(false, true);
            const QImage neither = picture(false, false);
            const program_look::Ink shown = Difference(titleAndArrow, arrowOnly, *header, column);
            const program_look::Ink arrow = Difference(arrowOnly, neither, *header, column);
            // The title alone in a section wide enough for anything.
            const int width = header->sectionSize(column);
            header->resizeSection(column, static_cast<int>(500 * scale));
            const QImage wideTitle = picture(true, false);
            const program_look::Ink whole = Difference(wideTitle, picture(false, false), *header, column);
            header->resizeSection(column, width);
            titles->setText(column, title);

            ASSERT_GT(whole.Width(), 0);
            for (int c = 0; c < 10; ++c) fprintf(stderr, "DBG %d:%d@%d ", c, header->sectionSize(c), header->sectionViewportPosition(c));
            fprintf(stderr, "viewport %d\n", list.viewport()->width());
            ASSERT_GT(arrow.Width(), 0);
            EXPECT_GE(shown.Width(), whole.Width() - 1) << "the title is cut in a column " << width << " wide";
            EXPECT_LT(shown.last, arrow.first) << "the title runs under the arrow";
        }
    });
}

TEST(TrackList, FillerColumnNeverWidensTheList)
{
    for (double scale : {1.0, 1.5}) {
        SetInterfaceScale(scale);
        CMusicInfoTreeWidget list;
        list.show();
        QApplication::processEvents();
        int columns = 0;
        for (int c = 0; c + 1 < CTreeWidgetItem::ColumnCount; ++c)
            columns += list.columnWidth(c);
        for (int spare : {1, 11, 300}) {
            SCOPED_TRACE(QString("scale %1, spare %2").arg(scale).arg(spare).toStdString());
            list.resize(columns + spare + list.width() - list.viewport()->width(), 300);
            QApplication::processEvents();
            ASSERT_EQ(list.viewport()->width(), columns + spare);
            EXPECT_EQ(list.header()->length(), list.viewport()->width());
            EXPECT_EQ(list.horizontalScrollBar()->maximum(), 0);
        }
    }
    SetInterfaceScale(1.0);
}

TEST(TrackList, DragPictureBadge)
{
    const QPixmap one = CMusicInfoTreeWidget::DragPixmap(1);
    const QPixmap twelve = CMusicInfoTreeWidget::DragPixmap(12);
    EXPECT_EQ(one.size(), QSize(50, 50));
    EXPECT_EQ(twelve.size(), QSize(50, 50));
    EXPECT_NE(one.toImage(), twelve.toImage());
    EXPECT_EQ(one.toImage(), CMusicInfoTreeWidget::DragPixmap(1).toImage());
}

// The filter's own folded copies must answer exactly as QString's
// case-insensitive contains does, the way the library page asked before.
TEST(TrackList, RowTextContainsAnswersLikeQString)
{
    const QStringList cells = {
        "Morning Song", "ÄRGER über Straße", "ΣΟΦΙΑ σοφός", "İstanbul ıslak", "Ǆungla ǅ ǆ",
        "Emoji \U0001F600 Smile", "", "Ｗｉｄｅ Ｌｅｔｔｅｒｓ", "Unknown Artist",
    };
    const QStringList needles = {
        "morning", "SONG", "ärger", "ÜBER", "strasse", "STRASSE", "ß", "σοφ", "ΣΟΦΟΣ", "ς", "i̇stanbul",
        "istanbul", "ISLAK", "ǆungla", "Ǆ", "ǅ", "\U0001F600", "smile", "ｗｉｄｅ", "n a", " ", "x",
        "unknown artist", "songär", QString(QChar(0xFFFF)),
    };
    CMusicInfoTreeWidget list;
    list.setSortingEnabled(false);
    for (int i = 0; i < cells.size(); ++i) {
        MusicInfoRow r = MakeRow(i + 1, cells[i], cells[(i + 1) % cells.size()], cells[(i + 2) % cells.size()],
                                 "g", "01/01/2020 00:00", "/music/x.mp3");
        new CTreeWidgetItem(i + 1, &r, &list);
    }
    for (const QString& needle : needles) {
        const CMusicInfoTreeWidget::SearchText search(needle);
        list.UpdateRowsHidden([&](int row, QTreeWidgetItem* item, bool hidden) {
            bool any = false;
            for (int c : {CTreeWidgetItem::ColName, CTreeWidgetItem::ColArtist, CTreeWidgetItem::ColAlbum,
                          CTreeWidgetItem::ColGenre}) {
                const bool contains = item->text(c).contains(needle, Qt::CaseInsensitive);
                EXPECT_EQ(list.RowTextContains(row, c, search), contains)
                    << "cell \"" << item->text(c).toStdString() << "\" needle \"" << needle.toStdString() << '"';
                any = any || (contains && c != CTreeWidgetItem::ColGenre);
            }
            // Name, Artist or Album in one search: never a match across two.
            EXPECT_EQ(list.RowTextContains(row, CMusicInfoTreeWidget::AnySearchColumn, search), any)
                << "row " << row << " needle \"" << needle.toStdString() << '"';
            return hidden;
        });
    }
}

// The track list keeps its own copy of every row's hidden state and texts;
// whatever happens to the rows behind its back, the next update must see the
// rows as Qt has them.
TEST_F(TrackListFixture, RowCopiesFollowChangesMadeElsewhere)
{
    auto expectCopyMatches = [&](const char* step) {
        int seen = 0;
        list.UpdateRowsHidden([&](int row, QTreeWidgetItem* item, bool hidden) {
            EXPECT_EQ(item, list.topLevelItem(row)) << step;
            EXPECT_EQ(hidden, item->isHidden()) << step << " row " << row;
            ++seen;
            return hidden;
        });
        EXPECT_EQ(seen, list.topLevelItemCount()) << step;
    };
    auto matches = [&](const QString& text) {
        const CMusicInfoTreeWidget::SearchText search(text);
        QList<QTreeWidgetItem*> found;
        list.UpdateRowsHidden([&](int row, QTreeWidgetItem* item, bool hidden) {
            if (list.RowTextContains(row, CTreeWidgetItem::ColName, search))
                found.append(item);
            return hidden;
        });
        return found;
    };

    // Our own changes, then changes made straight on the rows.
    list.UpdateRowsHidden([](int row, QTreeWidgetItem*, bool) { return row % 2 == 1; });
    EXPECT_TRUE(rows[1]->isHidden());
    EXPECT_FALSE(rows[2]->isHidden());
    QApplication::processEvents();
    rows[1]->setHidden(false);
    rows[2]->setHidden(true);
    expectCopyMatches("after setHidden on rows");
    rows[0]->setHidden(true);
    QApplication::processEvents();   // laid out before the next update
    expectCopyMatches("after setHidden and a layout");

    // Every row hidden: the view stays empty through its scroll-bar updates,
    // and shows a row unhidden behind the copy's back.
    list.UpdateRowsHidden([](int, QTreeWidgetItem*, bool) { return true; });
    QApplication::processEvents();
    list.resize(620, 420);
    QApplication::processEvents();
    EXPECT_FALSE(list.visualItemRect(rows[3]).isValid());
    rows[3]->setHidden(false);
    QApplication::processEvents();
    EXPECT_TRUE(list.visualItemRect(rows[3]).isValid());
    expectCopyMatches("after unhiding in an empty view");

    // Texts: changed cells, sorting, rows removed and rows added with their
    // texts set before they joined the list.
    EXPECT_EQ(matches("song 4"), (QList<QTreeWidgetItem*>{rows[4]}));
    rows[4]->setText(CTreeWidgetItem::ColName, "Renamed");
    EXPECT_TRUE(matches("song 4").isEmpty());
    EXPECT_EQ(matches("RENAMED"), (QList<QTreeWidgetItem*>{rows[4]}));
    list.sortItems(CTreeWidgetItem::ColName, Qt::DescendingOrder);
    expectCopyMatches("after sorting");
    EXPECT_EQ(matches("renamed"), (QList<QTreeWidgetItem*>{rows[4]}));
    delete rows.takeAt(2);
    for (int i = 0; i < 3; ++i) {
        MusicInfoRow r = MakeRow(10 + i, QString("Added %1").arg(i), "a", "b", "g", "01/01/2020 00:00", "/m.mp3");
        auto* added = new CTreeWidgetItem(10 + i, &r, nullptr);
        list.insertTopLevelItem(i, added);
        rows.append(added);
    }
    expectCopyMatches("after removing and adding rows");
    EXPECT_EQ(matches("added").size(), 3);
    EXPECT_TRUE(matches("song 2").isEmpty());
    list.clear();
    rows.clear();
    EXPECT_TRUE(matches("song").isEmpty());
}
