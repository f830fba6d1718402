#include "CCoverWidget.h"
#include "CGraphicsView.h"
#include "CMusicInfoTreeWidget.h"
#include "CTreeWidgetItem.h"
#include "ViewsTestSupport.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTimeLine>
#include <QToolButton>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstring>

TEST(CoverTile, RoundedOrSquareCornersByHeight)
{
    QTemporaryDir dir;
    const QString red = dir.path() + "/red.png";
    WriteImage(red, Qt::red, 50);
    struct Case {
        int w, h;
        QString image;
        bool square;
    };
    const std::vector<Case> cases = {
        {100, 100, red, false},
        {88, 88, red, true},
        {64, 64, red, true},
        {100, 100, dir.path() + "/default_download_artwork.png", true},
    };
    WriteImage(dir.path() + "/default_download_artwork.png", Qt::red, 50);
    for (const Case& c : cases) {
        CCoverWidget tile(c.w, c.h, false);
        tile.SetImagePath(c.image);
        EXPECT_EQ(tile.size(), QSize(c.w, c.h));
        EXPECT_EQ(tile.DrawsPlain(), c.square);
        const QImage shot = tile.grab().toImage();
        EXPECT_EQ(shot.pixelColor(c.w / 2, c.h / 2), QColor(Qt::red));
        EXPECT_EQ(shot.pixelColor(0, 0) == QColor(Qt::red), c.square) << c.h;
    }
    // A picture file that changes, in size too, shows anew at the next paint.
    {
        const QString changing = dir.path() + "/changing.png";
        WriteImage(changing, Qt::red, 50);
        CCoverWidget tile(100, 100, false);
        tile.SetImagePath(changing);
        EXPECT_EQ(tile.grab().toImage().pixelColor(50, 50), QColor(Qt::red));
        WriteImage(changing, Qt::blue, 60);
        EXPECT_EQ(tile.grab().toImage().pixelColor(50, 50), QColor(Qt::blue));
    }
    // A missing image paints nothing of it; the caption still shows.
    CCoverWidget empty(100, 100, false);
    empty.SetImagePath(dir.path() + "/none.png");
    const QImage before = empty.grab().toImage();
    EXPECT_NE(before.pixelColor(50, 50), QColor(Qt::red));
    empty.SetText("Caption");
    EXPECT_NE(empty.grab().toImage(), before);
}

TEST(CoverTile, SelectionSignalsAndButton)
{
    CCoverWidget tile(100, 100, true);
    QSignalSpy selected(&tile, &CCoverWidget::Selected);
    QSignalSpy pressed(&tile, &CCoverWidget::MousePressed);
    QSignalSpy doubled(&tile, &CCoverWidget::DoubleClicked);
    EXPECT_FALSE(tile.IsButtonVisible());
    tile.show();
    EXPECT_FALSE(tile.ExpandButton()->isVisible());
    tile.ButClick();
    EXPECT_EQ(selected.count(), 0);   // not selectable
    tile.SetSelectable(true);
    tile.ButClick();
    EXPECT_EQ(selected.count(), 1);
    tile.SetSelected(true);
    tile.ButClick();
    EXPECT_EQ(selected.count(), 1);   // already selected
    QTest::mouseClick(&tile, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(selected.count(), 2);   // a press selects again
    EXPECT_EQ(pressed.count(), 1);
    QTest::mouseDClick(&tile, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(doubled.count(), 1);
    tile.SetButtonVisible(true);
    tile.SetButtonNumber(3);
    EXPECT_TRUE(tile.ExpandButton()->isVisible());
    EXPECT_EQ(tile.ExpandButton()->text(), "3");
}

class CoverFlowTest : public LibraryDbTest {
protected:
    void Fill(int n)
    {
        WriteImage(Path("c.png"), Qt::blue);
        for (int i = 0; i < n; ++i) {
            MusicInfoRow r;
            std::memset(&r.Info, 0, sizeof r.Info);
            r.MusicId = i + 1;
            r.DateAdded = "01/01/2020 10:00";
            r.MusicPath = Path(QString("s%1.mp3").arg(i));
            r.Info.CoverCount = 1;
            SET_FIELD(r.Info.CoverPaths[0], Path("c.png"));
            if (i % 2)
                SET_FIELD(r.Info.Artist, "Someone");
            new CTreeWidgetItem(i + 1, &r, &list);
        }
    }
    void Build()
    {
        view = new CGraphicsView(&list, nullptr);
        view->resize(600, 240);
        view->show();
        view->ResetView();
    }
    void TearDown() override
    {
        delete view;
        LibraryDbTest::TearDown();
    }
    CMusicInfoTreeWidget list;
    CGraphicsView* view = nullptr;
};

TEST_F(CoverFlowTest, EmptyList)
{
    Build();
    EXPECT_TRUE(view->Scene()->Covers().isEmpty());
    EXPECT_EQ(view->ScrollBar()->minimum(), 0);
    EXPECT_EQ(view->ScrollBar()->maximum(), 0);
    EXPECT_TRUE(view->TitleLabel()->text().isEmpty());
    EXPECT_TRUE(view->ArtistLabel()->text().isEmpty());
}

TEST_F(CoverFlowTest, OneRowStaysInTheCentre)
{
    Fill(1);
    Build();
    ASSERT_EQ(view->Scene()->Covers().size(), 1);
    EXPECT_EQ(view->Scene()->Covers().front()->position, 0);
    EXPECT_EQ(view->TitleLabel()->text(), "s0");
    EXPECT_EQ(view->ArtistLabel()->text(), "Unkown Artist");
    QTest::keyClick(view, Qt::Key_Left);
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(view->Centre(), 0);
    EXPECT_EQ(view->Scene()->Phase(), 0);
}

TEST_F(CoverFlowTest, ManyRowsGeometryAndMoves)
{
    Fill(40);
    list.setCurrentItem(list.topLevelItem(20));
    Build();
    CConverFlowScene* scene = view->Scene();
    EXPECT_EQ(view->Centre(), 20);
    EXPECT_EQ(view->ScrollBar()->maximum(), 39);
    QList<int> positions;
    for (CPixmapItem* c : scene->Covers())
        positions.append(c->position);
    std::sort(positions.begin(), positions.end());
    QList<int> expected;
    for (int p = -7; p <= 7; ++p)
        expected.append(p);
    EXPECT_EQ(positions, expected);

    // Geometry: h = 0.95 H, w = 2/3 h, step = int(0.45 w).
    const qreal H = 240, W = 600;
    const qreal h = 0.95 * H, w = h * 2 / 3;
    const int s = static_cast<int>((std::cos(1.04719755) - 0.05) * w);
    EXPECT_DOUBLE_EQ(scene->ItemHeight(), h);
    EXPECT_EQ(scene->Step(), s);
    EXPECT_DOUBLE_EQ(scene->SlotX(0), (W - w) / 2);
    EXPECT_DOUBLE_EQ(scene->SlotX(2), (W + w) / 2 + s * 0.5);
    EXPECT_DOUBLE_EQ(scene->SlotX(-3), (W - w) / 2 - s - s);
    CPixmapItem* centre = scene->CoverAt(0);
    EXPECT_DOUBLE_EQ(centre->pos().x(), (W - w) / 2);
    EXPECT_DOUBLE_EQ(centre->opacity(), 0.99);
    EXPECT_EQ(centre->zValue(), 8);
    EXPECT_NEAR(scene->CoverAt(3)->opacity(), 0.91, 1e-9);
    EXPECT_EQ(scene->CoverAt(-7)->zValue(), 1);

    // One step animates for a second; five steps pre-shift for 200 ms first.
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(view->Centre(), 21);
    EXPECT_EQ(scene->Phase(), 2);
    EXPECT_EQ(scene->TimeLine()->duration(), 1000);
    EXPECT_EQ(list.currentItem(), list.topLevelItem(21));
    view->ShowAt(26, false);
    EXPECT_EQ(scene->Phase(), 1);
    EXPECT_EQ(scene->TimeLine()->duration(), 200);
    QTRY_COMPARE_WITH_TIMEOUT(scene->Phase(), 2, 2000);
    EXPECT_EQ(scene->TimeLine()->duration(), 1000);
    QTRY_COMPARE_WITH_TIMEOUT(scene->Phase(), 0, 3000);
    for (CPixmapItem* c : scene->Covers())
        EXPECT_LE(std::abs(c->position), 7);
    EXPECT_NE(scene->CoverAt(0), nullptr);

    // The list's current row moves the flow, and double-clicking emits the centre.
    list.setCurrentItem(list.topLevelItem(10));
    EXPECT_EQ(view->Centre(), 10);
    EXPECT_EQ(view->ScrollBar()->value(), 10);
    QSignalSpy doubled(view, &CGraphicsView::DoubleClickItem);
    view->Scene()->Settle();
    emit scene->DoubleClickCenterItem();
    ASSERT_EQ(doubled.count(), 1);
    EXPECT_EQ(doubled.front().front().toInt(), 10);
}
