// The live spectrum: bar dynamics, painting and a threaded tear-down.
#include "../../common/EventWait.h"
#include "CMyAudioBuffer.h"
#include "CWaveThread.h"
#include "InterfaceScale.h"
#include "pcmsink_widget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// 2048 frames of 16-bit stereo; each channel given as a function of the frame.
template <class L, class R>
std::vector<char> Block(L left, R right)
{
    std::vector<char> bytes(8192);
    for (int f = 0; f < 2048; ++f) {
        const int16_t l = static_cast<int16_t>(left(f));
        const int16_t r = static_cast<int16_t>(right(f));
        std::memcpy(&bytes[4 * f], &l, 2);
        std::memcpy(&bytes[4 * f + 2], &r, 2);
    }
    return bytes;
}

std::vector<int> Bars(CWaveThread* worker)
{
    std::vector<int> bars(40);
    worker->CopyBars(bars.data());
    return bars;
}

// One tick's worth: a fresh block, then one computation.
void Tick(pcmsink_widget& w, const std::vector<char>& block)
{
    w.WriteWaveData(static_cast<int>(block.size()), block.data());
    w.Worker()->ComputeOnce();
}

class SpectrumTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetInterfaceScale(1.0);
        pcmsink_widget::SetRecordingFlag(false);
    }
};

TEST_F(SpectrumTest, ConstantInputRaisesOnlyTheOuterBarsOneStepPerTick)
{
    pcmsink_widget w;
    w.Start();
    const auto full = Block([](int) { return 32767; }, [](int) { return 32767; });
    for (int tick = 1; tick <= 20; ++tick) {
        Tick(w, full);
        const std::vector<int> bars = Bars(w.Worker());
        EXPECT_EQ(bars[0], std::min(tick, 18)) << "tick " << tick;
        EXPECT_EQ(bars[39], std::min(tick, 18)) << "tick " << tick;
        for (int i = 1; i < 39; ++i)
            ASSERT_EQ(bars[i], 0) << "bar " << i << " tick " << tick;
    }
    // Silence lets them sink one segment per tick.
    const auto silence = Block([](int) { return 0; }, [](int) { return 0; });
    for (int tick = 1; tick <= 18; ++tick) {
        Tick(w, silence);
        EXPECT_EQ(Bars(w.Worker())[0], 18 - tick);
    }
}

TEST_F(SpectrumTest, PureSineLightsItsBandOnEachChannel)
{
    pcmsink_widget w;
    w.Start();
    // A sine starting at phase 0 on an exact bin has no real part at all: only
    // the imaginary part carries it. Bin 110 lies in band 4 (bins 100..124);
    // the right channel gets bin 260, band 10.
    const auto sines = Block([](int f) { return 16000.0 * std::sin(2 * M_PI * 110 * f / 2048.0); },
                             [](int f) { return 16000.0 * std::sin(2 * M_PI * 260 * f / 2048.0); });
    for (int tick = 0; tick < 30; ++tick)
        Tick(w, sines);
    const std::vector<int> bars = Bars(w.Worker());
    // |X| = 16000 / 32767 * 1024 = 500, 0.15 * ln(500) = 0.93, 0.93 * 18 = 16.
    EXPECT_EQ(bars[4], 16);
    EXPECT_EQ(bars[39 - 10], 16);
    for (int i = 0; i < 40; ++i) {
        if (i != 4 && i != 29) {
            EXPECT_LE(bars[i], 2) << "bar " << i;
        }
    }
}

TEST_F(SpectrumTest, EmptyBufferZeroesBarsAndInactiveDisplayStoresNothing)
{
    pcmsink_widget w;
    const auto full = Block([](int) { return 32767; }, [](int) { return -32767; });
    // Not started yet: the block is dropped and the read finds nothing.
    Tick(w, full);
    EXPECT_EQ(w.Worker()->Buffer()->FillCount(), 0);
    w.Start();
    Tick(w, full);
    Tick(w, full);
    EXPECT_EQ(Bars(w.Worker())[0], 2);
    w.ResetWaveData();
    w.Worker()->ComputeOnce();
    for (int v : Bars(w.Worker()))
        EXPECT_EQ(v, 0);
}

QColor PixelAt(const QImage& img, int x, int y)
{
    return QColor::fromRgba(img.pixel(x, y));
}

TEST_F(SpectrumTest, PaintingGeometryColoursAndPeakCaps)
{
    pcmsink_widget w;
    w.resize(405, 50);
    const int y0 = 50 / 2 + 18;  // bottom segment's top row
    const QColor lit(pcmsink_widget::kLitColour);
    const QColor red(pcmsink_widget::kLitRecordingColour);
    const QColor rest(pcmsink_widget::kRestColour);

    // Inactive: every segment is a rest segment, no peak cap.
    QImage img = w.grab().toImage();
    EXPECT_EQ(PixelAt(img, 176, y0), rest);
    EXPECT_EQ(PixelAt(img, 195, y0), rest);
    const QColor background = PixelAt(img, 186, y0);
    EXPECT_NE(background, rest) << "gap between the halves";
    EXPECT_NE(background, lit);

    w.Start();
    const auto sine = Block([](int f) { return 16000.0 * std::sin(2 * M_PI * 30 * f / 2048.0); },
                            [](int) { return 0; });
    for (int tick = 0; tick < 5; ++tick)
        Tick(w, sine);
    ASSERT_EQ(Bars(w.Worker())[1], 5);

    img = w.grab().toImage();
    // Bar 1 starts at x = 5 + 1 * 9 = 14: five lit segments, cap on the sixth.
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(PixelAt(img, 14, y0 - 2 * k), lit) << "segment " << k;
    EXPECT_EQ(PixelAt(img, 14, y0 - 2 * 5), lit) << "peak cap";
    EXPECT_EQ(PixelAt(img, 14, y0 - 2 * 6), rest);
    // Bar 19 at x = 176 and bar 20 at x = 195 (8 wide, 10 apart in the middle).
    EXPECT_EQ(PixelAt(img, 176, y0), lit) << "cap at the bottom of an empty bar";
    EXPECT_EQ(PixelAt(img, 183, y0 - 2), rest);
    EXPECT_EQ(PixelAt(img, 184, y0), background);
    EXPECT_EQ(PixelAt(img, 195, y0), lit);

    pcmsink_widget::SetRecordingFlag(true);
    img = w.grab().toImage();
    EXPECT_EQ(PixelAt(img, 14, y0), red);
    pcmsink_widget::SetRecordingFlag(false);

    // With the bar gone, the cap holds at its height (ten paints in all since
    // it was last raised), then drops to the bottom segment.
    w.ResetWaveData();
    w.Worker()->ComputeOnce();
    for (int paint = 1; paint <= 8; ++paint) {
        img = w.grab().toImage();
        EXPECT_EQ(PixelAt(img, 14, y0 - 2 * 5), lit) << "paint " << paint;
        EXPECT_EQ(PixelAt(img, 14, y0), rest) << "paint " << paint;
    }
    w.grab();
    w.grab();
    img = w.grab().toImage();
    EXPECT_EQ(PixelAt(img, 14, y0 - 2 * 5), rest);
    EXPECT_EQ(PixelAt(img, 14, y0), lit);
}

TEST_F(SpectrumTest, OpaqueDisplayShowsWhatLiesBeneathWhereverItMoves)
{
    // Painted opaque, the display draws the widgets beneath it itself; the
    // gap between its halves must show them as they are at its place.
    QFrame parent;
    parent.setObjectName(QStringLiteral("panel"));
    parent.setStyleSheet(QStringLiteral(
        "QFrame#panel { background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #102030, stop:1 #F0E0D0); }"));
    parent.resize(500, 200);
    auto* w = new pcmsink_widget(&parent);
    w->setGeometry(10, 10, 405, 50);
    parent.show();
    EXPECT_TRUE(w->testAttribute(Qt::WA_OpaquePaintEvent));
    for (int y : {10, 140, 60}) {
        w->move(10, y);
        const QPoint gap(10 + 186, y + 43);
        w->hide();
        const QColor beneath = PixelAt(parent.grab().toImage(), gap.x(), gap.y());
        w->show();
        const QColor shown = PixelAt(parent.grab().toImage(), gap.x(), gap.y());
        // A gradient painted in pieces may round a channel the other way.
        EXPECT_LE(std::abs(shown.red() - beneath.red()) + std::abs(shown.green() - beneath.green())
                      + std::abs(shown.blue() - beneath.blue()),
                  3)
            << "at y " << y << ": " << shown.name().toStdString() << " over " << beneath.name().toStdString();
    }
}

TEST_F(SpectrumTest, OuterBarsAreDrawnBelowTheirNeighbours)
{
    pcmsink_widget w;
    w.resize(405, 50);
    w.Start();
    const auto full = Block([](int) { return 32767; }, [](int) { return 32767; });
    for (int tick = 0; tick < 18; ++tick)
        Tick(w, full);
    ASSERT_EQ(Bars(w.Worker())[0], 18);
    const QImage img = w.grab().toImage();
    const int y0 = 43;
    // Bar 0 (x = 5) is drawn at bar 1's value - 1 = -1: no lit segment, only
    // its cap at the bottom; the same for bar 39.
    EXPECT_EQ(PixelAt(img, 5, y0 - 2), QColor(pcmsink_widget::kRestColour));
    const int x39 = 5 + 39 * 9 + 10;
    EXPECT_EQ(PixelAt(img, x39, y0 - 2), QColor(pcmsink_widget::kRestColour));
}

TEST_F(SpectrumTest, TicksRunTheWorkerAndTearDownWaitsForIt)
{
    for (int round = 0; round < 5; ++round) {
        auto* w = new pcmsink_widget;
        w->Start();
        w->SetWaveStep(8820);
        std::atomic<bool> stop{false};
        std::thread engine([&] {
            const auto noise = Block([](int f) { return (f * 7919) % 20000 - 10000; },
                                     [](int f) { return (f * 104729) % 30000 - 15000; });
            while (!stop.load()) {
                w->WriteWaveData(3528, noise.data());
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        stop.store(true);
        engine.join();
        w->Worker()->Request();  // a computation may still run at destruction
        delete w;
    }
    SUCCEED();
}

TEST_F(SpectrumTest, TickRestsWithoutSoundAndWakesOnAnAudibleBlock)
{
    pcmsink_widget w;
    w.resize(405, 50);
    w.show();
    w.Start();
    // Nothing to show: a few ticks draw the empty display, then it rests.
    ASSERT_TRUE(WaitForEvents([&] { return !w.IsTicking(); }, 3000));

    // The engine's blocks of silence neither wake it nor pile up.
    const auto silence = Block([](int) { return 0; }, [](int) { return 3; });
    for (int i = 0; i < 20; ++i)
        w.WriteWaveData(static_cast<int>(silence.size()), silence.data());
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.IsTicking());
    EXPECT_EQ(w.Worker()->Buffer()->FillCount(), 0);

    // Music wakes it and lights the bars.
    const auto sine = Block([](int f) { return 16000.0 * std::sin(2 * M_PI * 110 * f / 2048.0); },
                            [](int f) { return 16000.0 * std::sin(2 * M_PI * 260 * f / 2048.0); });
    std::atomic<bool> stop{false};
    std::thread engine([&] {
        while (!stop.load()) {
            w.WriteWaveData(static_cast<int>(sine.size()), sine.data());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    EXPECT_TRUE(WaitForEvents([&] { return Bars(w.Worker())[4] >= 3; }, 3000));
    EXPECT_TRUE(w.IsTicking());
    stop.store(true);
    engine.join();
    // When the music stops the bars sink, the caps drop, and it rests again.
    EXPECT_TRUE(WaitForEvents([&] { return !w.IsTicking(); }, 5000));
    for (int v : Bars(w.Worker()))
        EXPECT_EQ(v, 0);
}

TEST_F(SpectrumTest, HiddenDisplayStoresNothingAndRests)
{
    pcmsink_widget w;
    w.resize(405, 50);
    w.show();
    w.Start();
    const auto full = Block([](int) { return 20000; }, [](int) { return -20000; });
    w.WriteWaveData(static_cast<int>(full.size()), full.data());
    ASSERT_TRUE(WaitForEvents([&] { return w.IsTicking(); }, 2000));
    w.hide();
    EXPECT_FALSE(w.IsTicking());
    for (int i = 0; i < 5; ++i)
        w.WriteWaveData(static_cast<int>(full.size()), full.data());
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.IsTicking());
    EXPECT_EQ(w.Worker()->Buffer()->FillCount(), 0);
    w.show();
    EXPECT_TRUE(WaitForEvents([&] { return w.IsTicking(); }, 2000));
}

TEST_F(SpectrumTest, OneWorkerThreadServesEveryComputation)
{
    pcmsink_widget w;
    w.Start();
    QSignalSpy drawn(w.Worker(), &CWaveThread::SendDraw);
    for (int round = 1; round <= 3; ++round) {
        ASSERT_TRUE(w.Worker()->Request());
        ASSERT_TRUE(WaitForEvents([&] { return drawn.size() >= round && !w.Worker()->IsBusy(); }, 2000));
        // The thread waits for the next request instead of ending.
        EXPECT_TRUE(w.Worker()->isRunning()) << "round " << round;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
