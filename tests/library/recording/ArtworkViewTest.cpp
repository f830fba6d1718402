#include "CAppSettings.h"
#include "CShowDownloadingItem.h"
#include "CShowDownloadingScene.h"
#include "CShowDownloadingView.h"
#include "ViewsTestSupport.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QThread>
#include <QTimeLine>

#include <memory>

// Drives the scene's time line by hand: values and finishes as the time
// line would deliver them, without waiting on a clock.
class ArtworkViewTest : public LibraryDbTest {
protected:
    void SetUp() override
    {
        LibraryDbTest::SetUp();
        CAppSettings::GetInstance()->SetLanguage(QStringLiteral("en"));
        view = std::make_unique<CShowDownloadingView>(false, nullptr);
    }
    void TearDown() override
    {
        view.reset();
        CAppSettings::GetInstance()->SetLanguage(QStringLiteral("en"));
        LibraryDbTest::TearDown();
    }
    CShowDownloadingScene* scene() const { return view->Scene(); }
    CShowDownloadingItem* item() const { return view->Scene()->Item(); }
    std::unique_ptr<CShowDownloadingView> view;
};

TEST_F(ArtworkViewTest, DownloadingFillsInThreeCyclesAndRests)
{
    view->StartAnimation();
    EXPECT_EQ(scene()->GetState(), CShowDownloadingScene::Downloading);
    EXPECT_EQ(scene()->TimeLine()->duration(), CShowDownloadingView::kDownloadingMs);
    EXPECT_EQ(scene()->TimeLine()->state(), QTimeLine::Running);
    const float expected[] = {0.5f, 0.75f, 0.875f};
    for (float level : expected) {
        scene()->TimeLineValueChange(1.0);
        EXPECT_FLOAT_EQ(item()->Progress(), level);
        scene()->TimeLineFinish();
    }
    // After the third cycle the time line is not started again.
    EXPECT_FLOAT_EQ(scene()->FillBase(), 0.875f);
    scene()->TimeLine()->stop();
    scene()->TimeLineFinish();
    EXPECT_NE(scene()->TimeLine()->state(), QTimeLine::Running);
    EXPECT_FLOAT_EQ(item()->Progress(), 0.875f);

    view->StopAnimation();
    EXPECT_EQ(scene()->GetState(), CShowDownloadingScene::Idle);
    EXPECT_FLOAT_EQ(item()->Progress(), 0.0f);
    EXPECT_FLOAT_EQ(scene()->FillBase(), 0.0f);
}

// Records the region of every paint of a widget.
class PaintRegions : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            regions.append(static_cast<QPaintEvent*>(event)->region().boundingRect());
        return false;
    }
    QList<QRect> regions;
};

TEST_F(ArtworkViewTest, DownloadingRepaintsOnlyTheStripTheFillEdgeMovedOver)
{
    view->show();
    view->StartAnimation();
    scene()->TimeLine()->stop();   // driven by hand below
    // The first report paints the band in; that and the view's first paints
    // go first.
    scene()->TimeLineValueChange(0.0001);
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    PaintRegions paints;
    view->viewport()->installEventFilter(&paints);
    // Ten reports that move the edge by less than half a pixel in all
    // (progress 0.005 of the 85-pixel rise) repaint nothing.
    for (int i = 1; i <= 10; ++i) {
        scene()->TimeLineValueChange(i * 0.001);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(paints.regions.size(), 0);
    // Two pixels further: one repaint of a strip a few pixels high, over
    // where the edge was and where it is now.
    scene()->TimeLineValueChange(0.05);
    QCoreApplication::processEvents();
    ASSERT_EQ(paints.regions.size(), 1);
    const QRect strip = paints.regions.at(0);
    EXPECT_LT(strip.height(), 12);
    EXPECT_LE(strip.top(), item()->FillTop(item()->Progress()));
    EXPECT_GE(strip.bottom(), item()->FillTop(0.00005f));
}

TEST_F(ArtworkViewTest, FlipShowsCoverAtTheMiddleAndTextsAtTheEnd)
{
    const QString cover = Path("cover.png");
    WriteImage(cover, Qt::red);
    view->StartAnimation();
    view->SetMusicInfo(cover, QStringLiteral("Title"), QStringLiteral("Artist"));
    EXPECT_EQ(scene()->GetState(), CShowDownloadingScene::Finishing);
    EXPECT_FLOAT_EQ(item()->Progress(), 1.0f);
    EXPECT_EQ(scene()->TimeLine()->duration(), CShowDownloadingView::kFlipMs);

    scene()->TimeLineValueChange(0.4);
    EXPECT_TRUE(item()->CoverPath().isEmpty());
    EXPECT_DOUBLE_EQ(item()->x(), 0.4 * 130);
    scene()->TimeLineValueChange(0.6);
    EXPECT_EQ(item()->CoverPath(), cover);
    EXPECT_FLOAT_EQ(item()->Progress(), 1.5f);
    EXPECT_TRUE(item()->Title().isEmpty());

    scene()->TimeLineFinish();
    EXPECT_FLOAT_EQ(item()->Progress(), 2.0f);
    EXPECT_DOUBLE_EQ(item()->x(), 0.0);
    EXPECT_EQ(item()->Title(), QStringLiteral("Title"));
    EXPECT_EQ(item()->Artist(), QStringLiteral("Artist"));
    // Paints without faults in every phase.
    view->grab();
}

TEST_F(ArtworkViewTest, FailedPictureFollowsTheLanguage)
{
    CAppSettings::GetInstance()->SetLanguage(QStringLiteral("de"));
    view->SetMusicInfo(QString(), QString(), QString());
    scene()->TimeLineFinish();
    EXPECT_EQ(item()->CoverPath(), QStringLiteral(":/prefix/res/Rdownload_failed_de.png"));
    CAppSettings::GetInstance()->SetLanguage(QStringLiteral("en"));
    view->RetranslateUi();
    EXPECT_EQ(item()->CoverPath(), QStringLiteral(":/prefix/res/Rdownload_failed_en.png"));

    // A real cover is never swapped by a language change.
    const QString cover = Path("c.png");
    WriteImage(cover, Qt::blue);
    view->SetMusicInfo(cover, QStringLiteral("T"), QString());
    scene()->TimeLineFinish();
    view->RetranslateUi();
    EXPECT_EQ(item()->CoverPath(), cover);
}

TEST_F(ArtworkViewTest, LongTextsEndInDots)
{
    QFont font;
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const QString shortText = QStringLiteral("Song");
    EXPECT_EQ(CShowDownloadingItem::Elide(shortText, metrics, 125), shortText);
    const QString longText(60, QLatin1Char('W'));
    const QString cut = CShowDownloadingItem::Elide(longText, metrics, 125);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("...")));
    EXPECT_LE(metrics.horizontalAdvance(cut), 125);
}

TEST_F(ArtworkViewTest, MiniViewIsSmallAndFlipsShorter)
{
    CShowDownloadingView mini(true, nullptr);
    EXPECT_EQ(mini.size(), QSize(50, 50));
    mini.SetMusicInfo(QString(), QStringLiteral("T"), QStringLiteral("A"));
    mini.Scene()->TimeLineValueChange(0.5);
    EXPECT_DOUBLE_EQ(mini.Scene()->Item()->x(), 25.0);
    mini.grab();
}
