// The pop-up play list: construction from the queue, wheel, click and double
// click rules, and disposal after it has hidden itself.
#include "CMiniListItem.h"
#include "CPopupPlayList.h"
#include "PlayQueue.h"
#include "PlayerTestEnv.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimeLine>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

Q_DECLARE_METATYPE(IPlayQueueTrack*)

namespace {

class PopupPlayListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(player_test::OpenTestDatabase());
        owner = std::make_unique<QWidget>();
        owner->resize(600, 400);
    }
    void TearDown() override
    {
        PlayQueue::Instance().Clear();
        qDeleteAll(rows);
        rows.clear();
    }
    void FillQueue(int count, int current)
    {
        PlayQueue& queue = PlayQueue::Instance();
        queue.Clear();
        for (int i = 0; i < count; ++i) {
            rows.append(player_test::AddSong(100 + i, QStringLiteral("Song %1").arg(i), QStringLiteral("Artist"),
                                             QStringLiteral("03:00"), QString()));
            queue.items.append(rows.last());
        }
        queue.currentIndex = current;
    }
    static QString ShownTitle(const CPopupPlayList& list, int row)
    {
        return list.Rows().at(row)->TitleLabel()->text();
    }
    void Wheel(CPopupPlayList& list, int delta)
    {
        QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&list, &event);
    }

    std::unique_ptr<QWidget> owner;
    QList<CTreeWidgetItem*> rows;
};

TEST_F(PopupPlayListTest, ConstructionFromTheQueue)
{
    struct Case {
        int count;
        int current;
        int clamped;
        int first;
        int rowCount;
        bool scrollBar;
    };
    const Case cases[] = {
        {3, 7, 2, 0, 3, false},
        {12, 9, 9, 7, 5, true},
        {12, -4, 0, 0, 5, true},
        {5, 4, 4, 0, 5, false},
        {0, 3, -1, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " tracks, current " << c.current);
        FillQueue(c.count, c.current);
        CPopupPlayList list(owner.get());
        EXPECT_EQ(list.CurrentIndex(), c.clamped);
        if (c.count > 0) {
            EXPECT_EQ(PlayQueue::Instance().currentIndex, c.clamped);
        }
        ASSERT_EQ(list.Rows().size(), c.rowCount);
        for (int j = 0; j < c.rowCount; ++j) {
            EXPECT_EQ(ShownTitle(list, j), QStringLiteral("Song %1").arg(c.first + j));
            EXPECT_EQ(list.Rows().at(j)->IsSelected(), c.first + j == c.clamped);
        }
        const int separators = list.InnerFrame()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly).size();
        EXPECT_EQ(separators, c.rowCount > 0 ? std::min(c.rowCount, 4) : 0);
        EXPECT_EQ(list.ScrollBar() != nullptr, c.scrollBar);
        if (list.ScrollBar()) {
            EXPECT_EQ(list.ScrollBar()->maximum(), c.count - 5);
            EXPECT_EQ(list.ScrollBar()->value(), c.first);
        }
        qDeleteAll(rows);
        rows.clear();
        PlayQueue::Instance().Clear();
    }
}

TEST_F(PopupPlayListTest, WheelMovesOneRowWithinRange)
{
    FillQueue(8, 0);
    CPopupPlayList list(owner.get());
    ASSERT_NE(list.ScrollBar(), nullptr);
    Wheel(list, 120);
    EXPECT_EQ(list.ScrollBar()->value(), 0) << "up at the top stays";
    Wheel(list, -120);
    EXPECT_EQ(list.ScrollBar()->value(), 1);
    EXPECT_EQ(ShownTitle(list, 0), QStringLiteral("Song 1"));
    Wheel(list, -120);
    Wheel(list, -120);
    Wheel(list, -120);
    EXPECT_EQ(list.ScrollBar()->value(), 3) << "down at the maximum stays";
    EXPECT_EQ(ShownTitle(list, 4), QStringLiteral("Song 7"));
}

TEST_F(PopupPlayListTest, ClickHighlightsAndDoubleClickAsksToPlay)
{
    FillQueue(7, 0);
    CPopupPlayList list(owner.get());
    QSignalSpy play(&list, qOverload<IPlayQueueTrack*>(&CPopupPlayList::itemDoubleClicked));
    list.ScrollBar()->setValue(2);

    // While opening, clicks and double clicks count for nothing.
    list.ShowPopPlayList();
    ASSERT_EQ(list.Direction(), 1);
    QTest::mouseDClick(list.Rows().at(1), Qt::LeftButton);
    EXPECT_EQ(play.count(), 0);
    list.TimeLine()->stop();
    list.timeLinefinish();
    ASSERT_EQ(list.Direction(), 0);

    QSignalSpy clicked(list.Rows().at(1), &CMiniListItem::itemClicked);
    QTest::mousePress(list.Rows().at(1), Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(list.CurrentIndex(), 3);
    EXPECT_TRUE(list.Rows().at(1)->IsSelected());
    EXPECT_FALSE(list.Rows().at(0)->IsSelected());
    EXPECT_EQ(PlayQueue::Instance().currentIndex, 0) << "the queue's own index stays";
    QTest::mousePress(list.Rows().at(1), Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1) << "a highlighted row emits nothing";

    QTest::mouseDClick(list.Rows().at(4), Qt::LeftButton);
    ASSERT_EQ(play.count(), 1);
    EXPECT_EQ(play.at(0).at(0).value<IPlayQueueTrack*>(), PlayQueue::Instance().items.at(6));
}

TEST_F(PopupPlayListTest, TitlesAreShortenedToTheLabel)
{
    const QFont font;
    const QFontMetrics metrics(font);
    QString exact;
    while (metrics.horizontalAdvance(exact + QLatin1Char('i')) <= 92)
        exact += QLatin1Char('i');
    EXPECT_EQ(CMiniListItem::ElideForLabel(exact, font), exact);
    const QString longer = exact + QStringLiteral("WWWW");
    const QString shown = CMiniListItem::ElideForLabel(longer, font);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("...")));
    EXPECT_LT(shown.size() - 3, longer.size());
}

TEST_F(PopupPlayListTest, DisposedOfAfterItHasHidden)
{
    FillQueue(2, 0);
    QPointer<CPopupPlayList> list = new CPopupPlayList(owner.get());
    // The owner's way: dispose with deleteLater, never inside the signal.
    QObject::connect(list.data(), &CPopupPlayList::aboutHide, list.data(), &QObject::deleteLater);
    QSignalSpy hidden(list.data(), &CPopupPlayList::aboutHide);
    list->show();
    list->ShowPopPlayList();
    list->HidePopPlayList();
    EXPECT_EQ(list->Direction(), 2);
    ASSERT_TRUE(hidden.wait(5000));
    ASSERT_FALSE(list.isNull()) << "still alive right after the signal";
    EXPECT_EQ(list->Direction(), 0);
    EXPECT_FALSE(list->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(list.isNull());
}

}  // namespace

int main(int argc, char** argv)
{
    player_test::PrivateHome();
    QApplication app(argc, argv);
    qRegisterMetaType<IPlayQueueTrack*>();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
