#include "CCoverWidget.h"
#include "CRecordingWidget.h"
#include "CSelecetCoverWidget.h"
#include "CShowCoverWidget.h"
#include "CTreeWidgetItem.h"
#include "LibraryServices.h"
#include "MusicDatabase.h"
#include "ViewsTestSupport.h"
#include "../../common/ProgramLook.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QFontMetrics>
#include <QResource>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>

#include <cstring>
#include <memory>
#include <random>

namespace {
constexpr int kWide = 1920;   // 12 slots at scale 1
constexpr int kHigh = 600;

void Flush()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
} // namespace

class RecordingPageTest : public LibraryDbTest {
protected:
    void SetUp() override
    {
        LibraryDbTest::SetUp();
        page = std::make_unique<CRecordingWidget>(nullptr);
    }
    void TearDown() override
    {
        page.reset();
        qDeleteAll(rows);
        rows.clear();
        Flush();
        LibraryDbTest::TearDown();
    }
    // A stored song with a file of its own and a row for it.
    CTreeWidgetItem* NewSong(int coverCount = 0)
    {
        const int id = ++lastId;
        const QString path = Path(QStringLiteral("song%1.wav").arg(id));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("RIFF");
        f.close();
        AddSong(id, QStringLiteral("Song %1").arg(id), QStringLiteral("Artist %1").arg(id), "Album", "Pop",
                DateText(0), path);
        for (int c = 0; c < coverCount; ++c) {
            const QString cover = Path(QStringLiteral("cover%1_%2.png").arg(id).arg(c));
            WriteImage(cover, c % 2 ? Qt::red : Qt::green);
            DB_SetImageInfo(id * 10 + c, id, cover.toUtf8().constData());
        }
        const std::unique_ptr<MusicInfoRow> record = Stored(id);
        EXPECT_TRUE(record);
        auto* row = new CTreeWidgetItem(id, record.get(), nullptr);
        rows.append(row);
        return row;
    }
    void Add(int n, bool settle = true)
    {
        for (int i = 0; i < n; ++i) {
            page->AddAnimItem(2, NewSong());
            if (settle)
                Settle();
        }
    }
    // A hidden widget gets its resize event only when shown; the strip is
    // laid out at once here, as after a show.
    void ResizeTo(int w, int h)
    {
        const QSize old = page->size();
        page->resize(w, h);
        if (!page->isVisible()) {
            QResizeEvent ev(QSize(w, h), old);
            QApplication::sendEvent(page.get(), &ev);
        }
    }
    void Settle()
    {
        page->FinishAnimation();
        Flush();
    }
    void Check(const char* where)
    {
        const QString fault = page->CheckInvariant();
        ASSERT_TRUE(fault.isEmpty()) << where << ": " << fault.toStdString();
    }
    QList<int> ShownIds() const
    {
        QList<int> ids;
        for (int k = 0; k < page->SlotCount(); ++k) {
            CTreeWidgetItem* item = page->ItemOfSlot(k);
            ids.append(item ? item->GetMusicId() : 0);
        }
        return ids;
    }
    QList<int> Range(int from, int count) const
    {
        QList<int> ids;
        for (int i = 0; i < count; ++i)
            ids.append(from + i);
        return ids;
    }
    void Remove(int musicId)
    {
        for (CTreeWidgetItem* row : rows) {
            if (row->GetMusicId() == musicId) {
                page->RemoveItem(row);
                Settle();
                return;
            }
        }
    }
    void Mouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons)
    {
        QMouseEvent ev(type, pos, target->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &ev);
    }
    void Press(int slot)
    {
        CShowCoverWidget* card = page->SlotWidgets().at(slot);
        const QPoint inTile(20, 20);
        Mouse(card->Tile(), QEvent::MouseButtonPress, inTile, Qt::LeftButton);
        pressAt = card->Tile()->mapTo(page.get(), inTile);
    }
    void MoveBy(int dx)
    {
        pressAt.rx() += dx;
        Mouse(page.get(), QEvent::MouseMove, pressAt, Qt::LeftButton);
    }
    void Release() { Mouse(page.get(), QEvent::MouseButtonRelease, pressAt, Qt::NoButton); }
    // Drags the strip by dx in steps of at most 20 pixels.
    void Drag(int slot, int dx)
    {
        Press(slot);
        const int sign = dx < 0 ? -1 : 1;
        for (int left = qAbs(dx); left > 0; left -= 20)
            MoveBy(sign * qMin(20, left));
        Release();
        Settle();
    }

    std::unique_ptr<CRecordingWidget> page;
    QList<CTreeWidgetItem*> rows;
    QPoint pressAt;
    int lastId = 0;
};

TEST_F(RecordingPageTest, CardAddedBeforeTheFirstResizeShowsAfterIt)
{
    page->AddAnimItem(2, NewSong());
    EXPECT_EQ(page->CardCount(), 1);
    EXPECT_EQ(page->CurrentIndex(), -1);
    EXPECT_TRUE(page->SlotWidgets().isEmpty());
    ResizeTo(kWide, kHigh);
    EXPECT_EQ(page->SlotCount(), 12);
    EXPECT_EQ(page->SlotMargin(), 29);
    EXPECT_EQ(page->CurrentIndex(), 0);
    EXPECT_EQ(ShownIds(), QList<int>({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    Check("after resize");
}

TEST_F(RecordingPageTest, ThirteenthCardSlidesTheStripLeft)
{
    ResizeTo(kWide, kHigh);
    page->show();
    Add(12);
    EXPECT_EQ(ShownIds(), Range(1, 12));
    Check("full strip");
    const QRect firstSlot = page->SlotWidgets().at(0)->geometry();
    page->AddAnimItem(1, NewSong());
    ASSERT_TRUE(page->IsAnimating());
    // The new card starts on the artwork view and the strip moves as one.
    Settle();
    EXPECT_EQ(ShownIds(), Range(2, 12));
    EXPECT_EQ(page->SlotWidgets().at(0)->geometry(), firstSlot);
    EXPECT_EQ(page->ScrollBar()->maximum(), 1);
    EXPECT_EQ(page->ScrollBar()->value(), 1);
    EXPECT_EQ(page->GetAllItems(), rows);
    Check("thirteen cards");
}

TEST_F(RecordingPageTest, RemovingCardsKeepsEveryShownCardOnItsSong)
{
    struct Case {
        const char* name;
        int cards;
        int scrollValue;   // -1: newest shown
        int removeId;
        QList<int> expected;
    };
    const Case cases[] = {
        {"on screen, cards to the right", 16, 2, 5, {3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {"on screen, newest shown, cards to the left", 16, -1, 10,
         {4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16}},
        {"on screen, strip not full", 5, -1, 2, {1, 3, 4, 5, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"left of the shown range", 16, -1, 2, {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        {"right of the shown range", 16, 1, 15, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
        {"last card with none to the right", 1, -1, 1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        page = std::make_unique<CRecordingWidget>(nullptr);
        qDeleteAll(rows);
        rows.clear();
        const int base = lastId;
        ResizeTo(kWide, kHigh);
        page->show();
        Add(c.cards);
        if (c.scrollValue >= 0)
            page->ScrollValueChange(c.scrollValue);
        Remove(base + c.removeId);
        QList<int> expected;
        for (int id : c.expected)
            expected.append(id ? base + id : 0);
        EXPECT_EQ(ShownIds(), expected);
        Check(c.name);
        // Play on each slot reaches the song the slot shows.
        QList<int> play;
        QObject::connect(page.get(), &CRecordingWidget::PlayMusic,
                         [&](CTreeWidgetItem* item) { play.append(item->GetMusicId()); });
        for (int k = 0; k < page->SlotCount(); ++k)
            page->DoubleClickPlay(page->SlotWidgets().at(k));
        int n = 0;
        for (int k = 0; k < page->SlotCount(); ++k) {
            if (!expected.at(k))
                continue;
            ASSERT_LT(n, play.size());
            EXPECT_EQ(play.at(n++), expected.at(k));
        }
        EXPECT_EQ(n, play.size());
    }
}

TEST_F(RecordingPageTest, ScrollBarMapsSlotsToCards)
{
    ResizeTo(kWide, kHigh);
    page->show();
    Add(20);
    for (int value : {0, 5, 8, 3}) {
        page->ScrollValueChange(value);
        EXPECT_EQ(ShownIds(), Range(value + 1, 12)) << value;
        EXPECT_EQ(page->CurrentIndex(), value + 11);
    }
}

TEST_F(RecordingPageTest, GrowingByManySlotsShowsTheMappedCardsInOrder)
{
    ResizeTo(kWide, kHigh);
    page->show();
    Add(20);
    page->ScrollValueChange(4);   // cards 5 .. 16 shown
    ResizeTo(6 * 160, kHigh);
    EXPECT_EQ(ShownIds(), Range(5, 6));
    Check("shrunk");
    ResizeTo(kWide, kHigh);   // six slots more at once
    EXPECT_EQ(ShownIds(), Range(5, 12));
    Check("grown back");
    page->ScrollValueChange(8);
    ResizeTo(6 * 160, kHigh);
    ResizeTo(kWide, kHigh);   // the newest are shown: the range extends leftwards
    EXPECT_EQ(ShownIds(), Range(9, 12));
    Check("grown at the end");
}

TEST_F(RecordingPageTest, CardsAddedWhileHiddenKeepRecordingOrder)
{
    ResizeTo(kWide, kHigh);
    Add(10);   // hidden page: no animation at all
    EXPECT_FALSE(page->IsAnimating());
    EXPECT_EQ(ShownIds(), QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0}));
    Add(5);
    EXPECT_EQ(page->GetAllItems(), rows);
    EXPECT_EQ(ShownIds(), Range(1, 12));
    Check("hidden adds");
    page->show();
    page->ScrollValueChange(0);
    Add(1);
    // Scrolled back when a song ends: the newest cards come into view.
    EXPECT_EQ(page->GetAllItems(), rows);
    EXPECT_EQ(ShownIds(), Range(5, 12));
    Check("visible add after scrolling back");
}

TEST_F(RecordingPageTest, ChooserStoresTheChosenCover)
{
    ResizeTo(kWide, kHigh);
    page->show();
    CTreeWidgetItem* row = NewSong(3);
    page->AddAnimItem(1, row);
    Settle();
    CShowCoverWidget* card = page->SlotWidgets().at(0);
    EXPECT_TRUE(card->Tile()->IsButtonVisible());
    page->ShowSelecetWidget(card);
    ASSERT_NE(page->CoverChooser(), nullptr);
    ASSERT_EQ(page->CoverChooser()->Tiles().size(), 3);
    EXPECT_TRUE(page->CoverChooser()->Tiles().at(0)->IsSelected());

    // Clicking the chosen one only closes the chooser.
    QSignalSpy chosen(page->CoverChooser(), &CSelecetCoverWidget::Selected);
    page->CoverChooser()->SelecetChange(page->CoverChooser()->Tiles().at(0));
    EXPECT_EQ(chosen.size(), 0);
    page->CoverChooser()->SelecetChange(page->CoverChooser()->Tiles().at(2));
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 2);

    MusicInfoRow stored;
    ASSERT_EQ(DB_GetMusicInfo(row->GetMusicId(), &stored), 1);
    EXPECT_EQ(stored.ImageId, 2);
    EXPECT_EQ(card->GetImageIndex(), 2);
    EXPECT_TRUE(card->CoverPath().endsWith("cover1_2.png"));
    EXPECT_TRUE(row->GetCoverPath().endsWith("cover1_2.png"));

    // A song with one candidate has no chooser button.
    page->AddAnimItem(2, NewSong(1));
    Settle();
    EXPECT_FALSE(page->SlotWidgets().at(1)->Tile()->IsButtonVisible());
}

TEST_F(RecordingPageTest, DragThresholdRubberBandAndSnapBack)
{
    ResizeTo(kWide, kHigh);
    page->show();
    Add(3);
    const int x0 = page->SlotWidgets().at(0)->x();

    Press(2);
    MoveBy(-4);   // below the threshold
    EXPECT_EQ(page->SlotWidgets().at(0)->x(), x0);
    MoveBy(-8);   // 12 pixels from the press: accepted
    EXPECT_LT(page->SlotWidgets().at(0)->x(), x0);
    const int afterFirst = page->SlotWidgets().at(0)->x();
    MoveBy(-40);  // one jump of 40 pixels is ignored
    EXPECT_EQ(page->SlotWidgets().at(0)->x(), afterFirst);
    // No newer card: the strip compresses, the left gap never below 10.
    for (int i = 0; i < 10; ++i)
        MoveBy(-20);
    const int gap = page->SlotWidgets().at(0)->x();
    EXPECT_GE(gap, 10);
    const int spacing = page->SlotWidgets().at(1)->x() - page->SlotWidgets().at(0)->x() - page->CardWidth();
    EXPECT_LT(spacing, page->SlotMargin());
    Release();
    ASSERT_TRUE(page->IsAnimating());
    Settle();
    EXPECT_EQ(page->SlotWidgets().at(0)->x(), x0);
    Check("snapped back");
}

TEST_F(RecordingPageTest, DraggingAcrossCardsMovesTheRangeByOne)
{
    ResizeTo(kWide, kHigh);
    page->show();
    Add(20);
    page->ScrollValueChange(4);
    // Leftwards by more than one card pitch (157): two later cards come in,
    // as the release snaps on towards the drag.
    Drag(5, -200);
    EXPECT_EQ(ShownIds(), Range(7, 12));
    Check("dragged left");
    Drag(5, 120);
    EXPECT_EQ(ShownIds(), Range(6, 12));
    Check("dragged right");
}

TEST_F(RecordingPageTest, WheelStepsOneCard)
{
    ResizeTo(kWide, kHigh);
    page->show();
    Add(20);
    auto wheel = [&](int delta) {
        QWheelEvent ev(QPointF(100, 500), QPointF(page->mapToGlobal(QPoint(100, 500))), QPoint(), QPoint(0, delta),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(page.get(), &ev);
    };
    wheel(120);
    EXPECT_TRUE(page->IsAnimating());
    wheel(120);   // ignored while the snap runs
    Settle();
    EXPECT_EQ(ShownIds(), Range(8, 12));
    wheel(-120);
    Settle();
    EXPECT_EQ(ShownIds(), Range(9, 12));
    Check("after wheel");
}

TEST_F(RecordingPageTest, DeleteKeyAndMenuReachTheShownSong)
{
    ResizeTo(kWide, kHigh);
    page->show();
    Add(14);
    QList<int> del;
    QObject::connect(page.get(), &CRecordingWidget::DeleteMusic,
                     [&](CTreeWidgetItem* item) { del.append(item->GetMusicId()); });
    // The card menu of a song whose file is gone keeps only Delete.
    QFile::remove(rows.at(5)->GetMusicPath());
    CShowCoverWidget* card = page->SlotWidgets().at(3);   // card 6
    ASSERT_TRUE(card->PrepareMenu());
    const QList<QAction*> actions = card->Menu()->actions();
    EXPECT_FALSE(actions.at(0)->isEnabled());
    EXPECT_FALSE(actions.at(1)->isEnabled());
    EXPECT_TRUE(actions.at(2)->isEnabled());
    EXPECT_FALSE(actions.at(3)->isEnabled());
    // Scrolled one card back, the same widget shows song 5, whose file is
    // there: its menu offers everything again; back on song 6, Delete only.
    page->ScrollValueChange(page->ScrollBar()->value() - 1);
    ASSERT_EQ(page->ItemOfSlot(3), rows.at(4));
    ASSERT_TRUE(card->PrepareMenu());
    for (QAction* action : actions)
        EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();
    page->ScrollValueChange(page->ScrollBar()->value() + 1);
    ASSERT_EQ(page->SlotWidgets().at(3), card);
    ASSERT_TRUE(card->PrepareMenu());
    EXPECT_FALSE(actions.at(0)->isEnabled());
    actions.at(2)->trigger();
    ASSERT_EQ(del.size(), 1);
    EXPECT_EQ(del.at(0), 6);

    page->ChangeSelected(page->SlotWidgets().at(0));   // card 3
    QKeyEvent key(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(page.get(), &key);
    ASSERT_EQ(del.size(), 2);
    EXPECT_EQ(del.at(1), 3);
}

// A card's title and artist are shortened at their end only and fit the
// label in the bold, larger font its style sheet paints them with.
TEST_F(RecordingPageTest, LongCardTextsKeepTheirStartAndFitThePaintedFont)
{
    const QFont appFont = QApplication::font();
    const QString appStyle = qApp->styleSheet();
    const QString title = QString::fromUtf8("Long Song Title \xc3\x84x\xc3\x84x \xc3\x84x\xc3\x84x \xc3\x84x\xc3\x84x");
    const QString artist = QString::fromUtf8("An Artist With A Name Far Too Long \xc3\xa9\xc3\xa9");
    for (double scale : {1.0, 1.5}) {
        SCOPED_TRACE(scale);
        ASSERT_TRUE(program_look::Use(scale)) << "skin.rcc or the interface font is missing from the build";
        CShowCoverWidget card(nullptr, 0);
        card.SetHasData(true);
        RecordMusicInfo info;
        std::memset(&info, 0, sizeof info);
        std::strncpy(info.MusicName, title.toUtf8().constData(), sizeof info.MusicName - 1);
        std::strncpy(info.Artist, artist.toUtf8().constData(), sizeof info.Artist - 1);
        card.SetMusicInfo(info, -1, QString());
        card.show();
        Flush();
        int checked = 0;
        for (QLabel* label : card.findChildren<QLabel*>()) {
            const QString shown = label->text();
            const QString full = shown.startsWith(QLatin1String("Long")) ? title
                                 : shown.startsWith(QLatin1String("An")) ? artist
                                                                          : QString();
            if (full.isEmpty())
                continue;
            ++checked;
            ASSERT_TRUE(shown.endsWith(QLatin1String("..."))) << shown.toStdString();
            EXPECT_TRUE(full.startsWith(shown.chopped(3))) << shown.toStdString();
            EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(shown), label->contentsRect().width())
                << shown.toStdString();
        }
        EXPECT_EQ(checked, 2);
    }
    SetInterfaceScale(1.0);
    qApp->setStyleSheet(appStyle);
    QApplication::setFont(appFont);
}

TEST_F(RecordingPageTest, RecordingAnimationLoopsOverTwentyEightFrames)
{
    page->StartRecordingAnimation();
    EXPECT_TRUE(page->IsRecordingAnimationRunning());
    for (int i = 0; i < 28; ++i)
        page->RecordingAnimation();
    EXPECT_EQ(page->FrameNumber(), 29);
    page->RecordingAnimation();
    EXPECT_EQ(page->FrameNumber(), 2);
    page->StopRecordingAnimation();
    EXPECT_FALSE(page->IsRecordingAnimationRunning());
}

// The "recording" loop with the skin's real pictures, on a shown page.
class RecordingLoopTest : public RecordingPageTest {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(QResource::registerResource(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/skin.rcc")));
    }
    static void TearDownTestSuite()
    {
        QResource::unregisterResource(QStringLiteral(SONACAP_TEST_OUTPUT_DIR "/skin.rcc"));
    }
    void SetUp() override
    {
        RecordingPageTest::SetUp();
        page->resize(1000, 700);
        page->show();
        Flush();
    }
};

// Counts paint events per widget.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++counts[watched];
        return false;
    }
    QHash<QObject*, int> counts;
};

TEST_F(RecordingLoopTest, NewFrameRepaintsTheAreaNotThePage)
{
    page->StartRecordingAnimation();
    page->RecordingAnimation();
    Flush();
    PaintCounter counter;
    page->installEventFilter(&counter);
    page->AnimationArea()->installEventFilter(&counter);
    for (int i = 0; i < 5; ++i) {
        page->RecordingAnimation();
        QApplication::processEvents();
    }
    EXPECT_GE(counter.counts.value(page->AnimationArea()), 1);
    EXPECT_EQ(counter.counts.value(page.get()), 0) << "a frame repainted the whole page";
    EXPECT_TRUE(page->AnimationArea()->testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST_F(RecordingLoopTest, FramesAreKeptSmallAndShownWhereTheLabelShowedThem)
{
    const QImage empty = page->AnimationArea()->grab().toImage();
    page->StartRecordingAnimation();
    for (int i = 0; i < 28; ++i)
        page->RecordingAnimation();
    EXPECT_EQ(page->DecodedFrameCount(), 28);
    // All 28 at their full scaled size would take 28 x 918 x 250 x 4 bytes.
    EXPECT_LT(page->DecodedFrameBytes(), 28LL * 918 * 250 * 4 / 2);

    // Frame 1 again: the area differs from the empty one exactly where the
    // picture, scaled to 918 x 250 and centred in the 720 x 290 area, is not
    // transparent.
    page->RecordingAnimation();
    const QImage shown = page->AnimationArea()->grab().toImage();
    const QImage frame = QImage(QStringLiteral(":/prefix/res/recording/recording_1.png"))
                             .scaled(918, 250, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                             .convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(frame.isNull());
    const QPoint placed((720 - 918) / 2, (290 - 250) / 2);
    QRect expected;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if (qAlpha(frame.pixel(x, y)) > 0)
                expected |= QRect(placed + QPoint(x, y), QSize(1, 1));
    expected &= QRect(0, 0, 720, 290);
    QRect changed;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) != empty.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
    // The artwork view inside the area paints the same in both grabs.
    EXPECT_FALSE(changed.isEmpty());
    EXPECT_TRUE(expected.contains(changed)) << "changed outside the picture";
    EXPECT_GE(changed.width(), expected.width() - 2);
    EXPECT_GE(changed.height(), expected.height() - 2);
}

TEST_F(RecordingLoopTest, LoopRestsWhileThePageIsHiddenOrTheWindowMinimised)
{
    page->StartRecordingAnimation();
    EXPECT_TRUE(page->IsRecordingTimerActive());
    page->RecordingAnimation();
    const QImage firstFrame = page->AnimationArea()->grab().toImage();
    for (int i = 1; i < 28; ++i)
        page->RecordingAnimation();
    EXPECT_EQ(page->DecodedFrameCount(), 28);
    const QImage lastFrame = page->AnimationArea()->grab().toImage();

    // Away from the page and back during the recording: the loop rests, its
    // frames wait (made again, every return read and scaled 28 pictures),
    // and it goes on where it stopped.
    page->hide();
    EXPECT_TRUE(page->IsRecordingAnimationRunning());
    EXPECT_FALSE(page->IsRecordingTimerActive());
    EXPECT_EQ(page->DecodedFrameCount(), 28);
    page->show();
    EXPECT_TRUE(page->IsRecordingTimerActive());
    EXPECT_EQ(page->AnimationArea()->grab().toImage(), lastFrame);
    page->RecordingAnimation();
    EXPECT_EQ(page->AnimationArea()->grab().toImage(), firstFrame);
    EXPECT_EQ(page->DecodedFrameCount(), 28);

    // Minimising keeps isVisible() but sends hide and show events. (Asked
    // at once: the offscreen platform has no window manager, so the window
    // stays exposed and the toolkit shows its widgets again afterwards.)
    page->showMinimized();
    EXPECT_TRUE(page->isVisible());
    EXPECT_FALSE(page->IsRecordingTimerActive());
    page->showNormal();
    EXPECT_TRUE(page->IsRecordingTimerActive());

    page->StopRecordingAnimation();
    EXPECT_FALSE(page->IsRecordingTimerActive());
    EXPECT_EQ(page->DecodedFrameCount(), 0) << "the frames outlive the recording";
    page->hide();
    page->show();
    EXPECT_FALSE(page->IsRecordingTimerActive()) << "showing does not restart a stopped loop";
}

// Seeded random sequences of add, remove, resize, scroll, drag and wheel on a
// shown and a hidden page; after every step each shown card must show the
// song its actions reach.
TEST_F(RecordingPageTest, InvariantHoldsOverRandomSequences)
{
    for (unsigned seed : {1u, 7u, 42u, 2024u}) {
        SCOPED_TRACE(seed);
        page = std::make_unique<CRecordingWidget>(nullptr);
        qDeleteAll(rows);
        rows.clear();
        std::mt19937 rng(seed);
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        ResizeTo(kWide, kHigh);
        if (seed % 2)
            page->show();
        for (int step = 0; step < 150; ++step) {
            const int op = pick(8);
            if (op <= 1) {
                page->AddAnimItem(1 + pick(2), NewSong());
            } else if (op == 2 && page->CardCount() > 0) {
                const QList<CTreeWidgetItem*> items = page->GetAllItems();
                page->RemoveItem(items.at(pick(items.size())));
            } else if (op == 3) {
                ResizeTo(160 * (4 + pick(10)) + pick(100), kHigh);
            } else if (op == 4 && page->ScrollBar()->maximum() > 0) {
                page->ScrollValueChange(pick(page->ScrollBar()->maximum() + 1));
            } else if (op == 5 && page->isVisible() && page->SlotCount() > 0) {
                Settle();
                Drag(pick(page->SlotCount()), (pick(2) ? 1 : -1) * (20 + pick(300)));
            } else if (op == 6 && page->isVisible()) {
                Settle();
                QWheelEvent ev(QPointF(50, 500), QPointF(page->mapToGlobal(QPoint(50, 500))), QPoint(),
                               QPoint(0, pick(2) ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                               Qt::NoScrollPhase, false);
                QApplication::sendEvent(page.get(), &ev);
            } else if (op == 7) {
                page->setVisible(!page->isVisible());
            }
            Settle();
            ASSERT_TRUE(page->CheckInvariant().isEmpty())
                << "step " << step << " op " << op << ": " << page->CheckInvariant().toStdString();
        }
    }
}
