// The iTunes export with a fake music-player library.
#include "CAddToiTunesDialog.h"
#include "CToiTunesThread.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

namespace {
struct Call {
    std::string path, title, year_text, cover;
    int year;
    bool hasCover;
    bool isLast;
};

// Records the calls; the worker thread writes, the test reads after the
// worker ended (or under the lock).
struct FakePlayer {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Call> calls;
    int inits = 0;
    int uninits = 0;
    int initResult = 0;
    int blockAt = -1;       // the call index that waits for release
    bool released = false;

    PlayerLinkCalls Calls()
    {
        PlayerLinkCalls c;
        c.initialize = [this] {
            std::lock_guard<std::mutex> g(lock);
            ++inits;
            return initResult;
        };
        c.addSong = [this](const char* path, const char* title, const char*, const char*,
                           const char*, int year, const char* cover, bool isLast) {
            std::unique_lock<std::mutex> g(lock);
            calls.push_back({path, title, "", cover ? cover : "", year, cover != nullptr, isLast});
            changed.notify_all();
            if (int(calls.size()) - 1 == blockAt)
                changed.wait(g, [this] { return released; });
        };
        c.uninitialize = [this] {
            std::lock_guard<std::mutex> g(lock);
            ++uninits;
        };
        return c;
    }
};

MusicInfoRow Row(const char* path, const char* title, const char* year, int covers, int chosen)
{
    MusicInfoRow row;
    std::memset(&row.Info, 0, sizeof row.Info);
    row.MusicPath = QString::fromUtf8(path);
    std::strncpy(row.Info.MusicName, title, sizeof row.Info.MusicName - 1);
    std::strncpy(row.Info.Year, year, sizeof row.Info.Year - 1);
    row.Info.CoverCount = covers;
    for (int i = 0; i < covers; ++i)
        std::snprintf(row.Info.CoverPaths[i], sizeof row.Info.CoverPaths[i], "/covers/%d.jpg", i);
    row.ImageId = chosen;
    return row;
}

struct PlayerGuard {
    PlayerLinkCalls previous;
    explicit PlayerGuard(PlayerLinkCalls calls)
        : previous(CToiTunesThread::SetPlayerLinkCalls(std::move(calls))) {}
    ~PlayerGuard() { CToiTunesThread::SetPlayerLinkCalls(previous); }
};

void WaitForWorker(CAddToiTunesDialog& dialog)
{
    if (CToiTunesThread* worker = dialog.Worker())
        worker->wait();
    QCoreApplication::processEvents();   // queued progress signals
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

TEST(ExportDialogTest, ThreeSongsGoOutInOrderAndTheDialogCloses)
{
    FakePlayer player;
    PlayerGuard guard(player.Calls());
    QList<MusicInfoRow> rows{Row("/music/a.mp3", "A", "1999", 0, 0),
                             Row("/music/b.mp3", "B", "", 3, 2),
                             Row("/music/c.mp3", "C", "n/a", 2, 9)};
    CAddToiTunesDialog dialog(rows, nullptr);
    dialog.show();
    WaitForWorker(dialog);

    ASSERT_EQ(player.calls.size(), 3u);
    EXPECT_EQ(player.calls[0].path, "/music/a.mp3");
    EXPECT_EQ(player.calls[0].year, 1999);
    EXPECT_FALSE(player.calls[0].hasCover);
    EXPECT_EQ(player.calls[1].year, 0);
    EXPECT_EQ(player.calls[1].cover, "/covers/2.jpg");
    EXPECT_EQ(player.calls[2].year, 0);
    EXPECT_EQ(player.calls[2].cover, "/covers/0.jpg");   // out-of-range choice
    EXPECT_FALSE(player.calls[0].isLast);
    EXPECT_FALSE(player.calls[1].isLast);
    EXPECT_TRUE(player.calls[2].isLast);
    EXPECT_EQ(player.uninits, 1);
    EXPECT_EQ(dialog.ProgressBar()->value(), 3);
    EXPECT_TRUE(dialog.TextLabel()->text().endsWith("c.mp3"));
    EXPECT_FALSE(dialog.isVisible());
}

TEST(ExportDialogTest, MissingPlayerIsReportedAndNothingIsAdded)
{
    // The default calls of this platform: no player to export to.
    CAddToiTunesDialog dialog({Row("/music/a.mp3", "A", "", 0, 0)}, nullptr);
    dialog.show();
    WaitForWorker(dialog);
    EXPECT_TRUE(dialog.TextLabel()->text().contains("Do not find iTunes"));
    EXPECT_TRUE(dialog.ProgressBar()->isHidden());
    EXPECT_TRUE(dialog.isVisible());   // stays until Abort
}

TEST(ExportDialogTest, AbortStopsAfterTheSongInHand)
{
    FakePlayer player;
    player.blockAt = 1;
    PlayerGuard guard(player.Calls());
    QList<MusicInfoRow> rows;
    for (int i = 0; i < 5; ++i)
        rows << Row("/music/x.mp3", "X", "", 0, 0);
    CAddToiTunesDialog dialog(rows, nullptr);
    dialog.show();
    {
        std::unique_lock<std::mutex> g(player.lock);
        player.changed.wait(g, [&] { return player.calls.size() == 2; });
    }
    dialog.close();   // the Abort button closes the dialog
    {
        std::lock_guard<std::mutex> g(player.lock);
        player.released = true;
    }
    player.changed.notify_all();
    WaitForWorker(dialog);
    EXPECT_EQ(player.calls.size(), 2u);
    EXPECT_EQ(player.uninits, 1);
}

TEST(ExportDialogTest, EmptyListStaysOpenWithoutCalls)
{
    FakePlayer player;
    PlayerGuard guard(player.Calls());
    CAddToiTunesDialog dialog({}, nullptr);
    dialog.show();
    WaitForWorker(dialog);
    EXPECT_TRUE(player.calls.empty());
    EXPECT_EQ(dialog.ProgressBar()->maximum(), 0);
    EXPECT_TRUE(dialog.isVisible());
}
