// Recording control as a user meets it, with the real engine on the private
// sound server and the real microphone probe: Record starts at once, so a
// song that begins right after the press is kept whole, and a scheduled
// recording starts on time; a double click on Record gives one recording;
// Stop does not wait for a recognition service that hangs; and the notices
// of a recording never hold back Stop, the window's close or the scheduled
// stop.
//
// Clicks go through the window as a user's do (QTEST_QPA_MOUSE_HANDLING), so
// a modal dialog would block them exactly as it blocks a user.
#define QTEST_QPA_MOUSE_HANDLING
#include "MainUITestSupport.h"

#include "CAppSettings.h"
#include "CDeleteDialog.h"
#include "CMToolButton.h"
#include "CMyTitleBar.h"
#include "CShowListWidget.h"
#include "CToolBar.h"
#include "FakeRecognitionService.h"
#include "MusicDatabase.h"
#include "NoisePlacement.h"
#include "PrivateSoundServer.h"
#include "SystemHelpers.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 44100;
// The engine cuts what it captures into 20 ms clips; a song starts with the
// first clip it hears as music.
constexpr double kCaptureFragmentSeconds = 0.020;

// A 16-bit stereo WAV: `silence` seconds of nothing, then a tone of `tone`
// seconds.
void WriteDelayedTone(const QString& path, double silence, double tone)
{
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* sf = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    const auto quiet = static_cast<sf_count_t>(silence * kRate);
    const auto frames = quiet + static_cast<sf_count_t>(tone * kRate);
    std::vector<short> pcm(static_cast<size_t>(frames) * 2, 0);
    for (sf_count_t i = quiet; i < frames; ++i)
        pcm[2 * i] = pcm[2 * i + 1] = static_cast<short>(8000 * std::sin(2 * M_PI * 440.0 * (i - quiet) / kRate));
    EXPECT_EQ(sf_writef_short(sf, pcm.data(), frames), frames);
    sf_close(sf);
}

// Seconds from the first to the last audible frame of a recorded song; -1
// when it cannot be read.
double AudibleSeconds(const QString& path)
{
    SF_INFO info{};
    SNDFILE* sf = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (!sf)
        return -1;
    std::vector<short> pcm(static_cast<size_t>(info.frames) * info.channels);
    const sf_count_t frames = sf_readf_short(sf, pcm.data(), info.frames);
    sf_close(sf);
    sf_count_t first = -1;
    sf_count_t last = -1;
    for (sf_count_t i = 0; i < frames; ++i) {
        if (std::abs(pcm[static_cast<size_t>(i * info.channels)]) > 200) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    return first < 0 ? 0 : static_cast<double>(last - first + 1) / info.samplerate;
}

// The pitch of a recorded song's left channel in Hz, from its zero
// crossings; -1 when it cannot be read.
double PitchHz(const QString& path)
{
    SF_INFO info{};
    SNDFILE* sf = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (!sf || info.frames == 0) {
        if (sf)
            sf_close(sf);
        return -1;
    }
    std::vector<short> pcm(static_cast<size_t>(info.frames) * info.channels);
    const sf_count_t frames = sf_readf_short(sf, pcm.data(), info.frames);
    sf_close(sf);
    int crossings = 0;
    for (sf_count_t i = 1; i < frames; ++i) {
        const short a = pcm[static_cast<size_t>((i - 1) * info.channels)];
        const short b = pcm[static_cast<size_t>(i * info.channels)];
        crossings += (a < 0) != (b < 0);
    }
    return crossings / 2.0 / (static_cast<double>(frames) / info.samplerate);
}

// The song last added to the library; empty when there is none.
QString NewestSong()
{
    QMap<int, MusicInfoRow*> rows;
    DB_GetAllMusicInfo(rows);
    const QString path = rows.isEmpty() ? QString() : rows.last()->MusicPath;
    qDeleteAll(rows);
    return path;
}

// An input device of the sound server PULSE_SERVER names, known to users by
// `description`: a FIFO source (in `folder`) fed a sine tone at the pace it
// plays, on a thread of its own; unloaded again by the destructor.
class ToneDevice
{
public:
    ToneDevice(const QString& description, int hz, const QString& folder)
    {
        const QString fifo = QStringLiteral("%1/tone_%2.fifo").arg(folder).arg(hz);
        QProcess pactl;
        pactl.start("pactl", {"load-module", "module-pipe-source", QStringLiteral("source_name=tone_%1").arg(hz),
                              "file=" + fifo, "format=s16le", "rate=44100", "channels=2",
                              QStringLiteral("source_properties='device.description=\"%1\"'").arg(description)});
        if (!pactl.waitForFinished(10000) || pactl.exitCode() != 0)
            return;
        m_module = QString::fromLatin1(pactl.readAllStandardOutput()).trimmed();
        m_feeder = std::thread([this, hz, path = fifo.toLocal8Bit()] {
            // Never blocked by a source that stopped reading: the feeder must
            // end when told.
            const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                return;
            constexpr int kFrames = kRate / 50;   // 20 ms
            std::vector<short> block(kFrames * 2);
            long long frame = 0;
            auto due = std::chrono::steady_clock::now();
            while (!m_stop) {
                for (int i = 0; i < kFrames; ++i, ++frame)
                    block[2 * i] = block[2 * i + 1] =
                        static_cast<short>(8000 * std::sin(2 * M_PI * hz * static_cast<double>(frame) / kRate));
                if (::write(fd, block.data(), block.size() * sizeof(short)) < 0 && errno != EAGAIN)
                    break;
                due += std::chrono::milliseconds(20);
                std::this_thread::sleep_until(due);
            }
            ::close(fd);
        });
    }
    ~ToneDevice()
    {
        m_stop = true;
        if (m_feeder.joinable())
            m_feeder.join();
        if (!m_module.isEmpty())
            QProcess::execute("pactl", {"unload-module", m_module});
    }
    ToneDevice(const ToneDevice&) = delete;
    ToneDevice& operator=(const ToneDevice&) = delete;
    bool Loaded() const { return !m_module.isEmpty(); }

private:
    QString m_module;
    std::atomic<bool> m_stop{false};
    std::thread m_feeder;
};

// The record streams the sound server has open (its source outputs).
QStringList RecordStreams()
{
    QProcess pactl;
    pactl.start("pactl", {"list", "short", "source-outputs"});
    pactl.waitForFinished(10000);
    QStringList streams;
    for (const QString& line : QString::fromLocal8Bit(pactl.readAllStandardOutput()).split('\n')) {
        if (!line.trimmed().isEmpty())
            streams << line.section('\t', 0, 0);
    }
    return streams;
}

// The one song of the library; empty when there is not exactly one.
QString OnlySong()
{
    QMap<int, MusicInfoRow*> rows;
    const int n = DB_GetAllMusicInfo(rows);
    const QString path = n == 1 ? rows.first()->MusicPath : QString();
    qDeleteAll(rows);
    return path;
}

std::unique_ptr<QProcess> Play(const QString& file)
{
    auto player = std::make_unique<QProcess>();
    player->start("paplay", {file});
    EXPECT_TRUE(player->waitForStarted(5000));
    return player;
}

// The control bar's Record/Stop place: whichever of the two it shows.
QWidget* RecordPlace(TestMainUI& w)
{
    return w.ControlBar()->RecordStartButton()->isVisible()
               ? static_cast<QWidget*>(w.ControlBar()->RecordStartButton())
               : static_cast<QWidget*>(w.ControlBar()->RecordStopButton());
}

// Notices the window shows without waiting for them, still open.
QList<QDialog*> OpenNotices(TestMainUI& w)
{
    QList<QDialog*> open;
    for (QDialog* d : w.findChildren<QDialog*>()) {
        if (d->isVisible())
            open.append(d);
    }
    return open;
}

class RecordingControlTest : public RealEngineWindowTest {
protected:
    void TearDown() override
    {
        RealEngineWindowTest::TearDown();
        RecognitionSetup::ResetCurrent();
    }
    // With the microphone probe the program makes.
    TestMainUI& Open()
    {
        TestMainUI& w = RealEngineWindowTest::Open();
        w.realProbe = true;
        return w;
    }
    bool SongStored() { return MusicRowCount() >= 1 && window->SongsStored(); }
};

TEST_F(RecordingControlTest, SongThatStartsRightAfterRecordIsKeptWhole)
{
    TestMainUI& w = Open();
    const QString song = scratch.filePath("song.wav");
    WriteDelayedTone(song, 0.2, 3.0);

    // The song begins 0.2 s after the player starts, which is as Record is
    // pressed.
    auto player = Play(song);
    QElapsedTimer press;
    press.start();
    QTest::mouseClick(w.ControlBar()->RecordStartButton(), Qt::LeftButton);
    const qint64 pressMs = press.elapsed();
    ASSERT_NE(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    ASSERT_TRUE(WaitFor([&] { return player->state() == QProcess::NotRunning; }, 20000));
    ASSERT_TRUE(WaitFor([&] { return SongStored(); }, 10000));
    w.RecorderModuleStop();

    const double kept = AudibleSeconds(OnlySong());
    std::printf("Record press took %lld ms; of a 3.00 s song started 0.2 s after it, %.3f s were kept\n",
                static_cast<long long>(pressMs), kept);
    EXPECT_GE(kept, 3.0 - kCaptureFragmentSeconds - 0.005);
    EXPECT_LE(kept, 3.0 + 0.005);
}

// With splitting and the minimum length switched off, Record keeps the
// capture that runs: a song already playing is kept from the press on, with
// nothing missing, instead of losing its first seconds to a capture set up
// anew.
TEST_F(RecordingControlTest, RecordWithSplittingOffKeepsTheSongFromThePress)
{
    settings->SetSplitMode(0);
    settings->SetFilterMode(0);
    TestMainUI& w = Open();
    const NoisePlacement noise(7, 6.0);
    const QString song = scratch.filePath("noise.wav");
    ASSERT_TRUE(noise.WriteWav(song.toStdString()));
    const QStringList streams = RecordStreams();
    ASSERT_FALSE(streams.isEmpty()) << "no capture runs";

    auto player = Play(song);
    QElapsedTimer playing;
    playing.start();
    Pause(2000);
    const qint64 pressMs = playing.elapsed();
    QTest::mouseClick(w.ControlBar()->RecordStartButton(), Qt::LeftButton);
    ASSERT_NE(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    Pause(500);
    EXPECT_EQ(RecordStreams(), streams) << "the capture was set up anew";
    ASSERT_TRUE(WaitFor([&] { return player->state() == QProcess::NotRunning; }, 20000));
    Pause(300);
    w.RecorderModuleStop();
    ASSERT_TRUE(WaitFor([&] { return SongStored(); }, 10000));

    const NoisePlacement::Result placed = noise.PlaceFile(OnlySong().toStdString());
    std::printf("Record pressed %lld ms into the song: %s\n", static_cast<long long>(pressMs),
                placed.Describe().c_str());
    ASSERT_TRUE(placed.placed) << placed.Describe();
    // The player started a moment after it was told to: the song reached
    // the press later than the press's own time says.
    EXPECT_LE(placed.firstMs, pressMs + 100) << placed.Describe();
    EXPECT_LT(placed.missingMs, 1000 * kCaptureFragmentSeconds) << placed.Describe();
    EXPECT_LT(placed.repeatedMs, 1000 * kCaptureFragmentSeconds) << placed.Describe();
    EXPECT_GE(placed.lastMs, noise.Seconds() * 1000 - 1000 * kCaptureFragmentSeconds) << placed.Describe();
}

TEST_F(RecordingControlTest, DoubleClickOnRecordGivesOneRecording)
{
    TestMainUI& w = Open();
    const QString song = scratch.filePath("song.wav");
    WriteDelayedTone(song, 0.3, 1.5);

    // Both clicks come before the window handles the first; the second one
    // lands where the first one was: on Stop by then.
    QTest::mouseDClick(RecordPlace(w), Qt::LeftButton);
    EXPECT_NE(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    EXPECT_FALSE(w.IsRecordingStopped());

    auto player = Play(song);
    ASSERT_TRUE(WaitFor([&] { return player->state() == QProcess::NotRunning; }, 20000));
    ASSERT_TRUE(WaitFor([&] { return SongStored(); }, 10000));
    EXPECT_EQ(MusicRowCount(), 1);

    // Past the double click, a click on Stop stops.
    QTest::mouseClick(RecordPlace(w), Qt::LeftButton);
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    EXPECT_TRUE(w.IsRecordingStopped());
}

TEST_F(RecordingControlTest, ScheduledRecordingStartsOnTime)
{
    TestMainUI& w = Open();
    const QString song = scratch.filePath("song.wav");
    WriteDelayedTone(song, 0.0, 6.0);
    SaveTask(w.Now().addSecs(1), QTime(0, 0, 3), false);

    auto player = Play(song);
    w.SetTask();
    QElapsedTimer armed;
    armed.start();
    const int dueMs = w.TaskStartTimer()->remainingTime();
    ASSERT_TRUE(WaitFor([&] { return !w.OpenSongPath().isEmpty(); }, 10000));
    const qint64 lateMs = armed.elapsed() - dueMs;
    ASSERT_TRUE(WaitFor([&] { return w.IsRecordingStopped() && SongStored(); }, 10000));
    const double kept = AudibleSeconds(OnlySong());
    std::printf("the scheduled recording began %lld ms after its time and kept %.3f s of its 3 s\n",
                static_cast<long long>(lateMs), kept);
    // Far from the seconds a start used to take, with room for a loaded
    // machine and the sanitizers; the song runs on until the task's end
    // (measured to the few milliseconds of the tone's edges, as above).
    EXPECT_LT(lateMs, 1500);
    EXPECT_GE(kept, 3.0 - lateMs / 1000.0 - kCaptureFragmentSeconds - 0.005);
    player->waitForFinished(10000);
}

TEST_F(RecordingControlTest, StopReturnsAtOnceWhileTheIdentifyRequestHangs)
{
    FakeRecognitionService service({{"Hello", "Adele", "25", "2015", "Pop", 295000, "track", QByteArray()}});
    service.SetOverride(FakeRecognitionService::Identify, {200, "{}", true});
    // The service's own time-out: the wait a Stop could run into.
    RecognitionSetup::SetCurrent(service.Setup(5000, 10000));
    TestMainUI& w = Open();
    // The capture's 22 seconds pass in 2.2 seconds.
    QElapsedTimer clock;
    clock.start();
    w.Capture().SetClock([&clock] { return clock.elapsed() * 10; });
    const QString song = scratch.filePath("song.wav");
    WriteDelayedTone(song, 0.0, 4.0);

    w.RecorderModuleStart();
    auto player = Play(song);
    ASSERT_TRUE(service.WaitFor(FakeRecognitionService::Identify, 1, 10000));
    ASSERT_TRUE(w.IsSongIdentified());

    QElapsedTimer stop;
    stop.start();
    w.RecorderModuleStop();
    const qint64 stopMs = stop.elapsed();
    std::printf("Stop with the identify request hanging took %lld ms\n", static_cast<long long>(stopMs));
    EXPECT_LT(stopMs, 200);
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    ASSERT_TRUE(WaitFor([&] { return SongStored(); }, 10000));
    service.ReleaseStalls();
    player->waitForFinished(10000);
}

// The input device chosen for a recording is the one recorded, also when it
// changed since the last recording and when one device's name lies within
// the other's; one that went away is named in a notice and nothing starts.
TEST_F(RecordingControlTest, ChosenInputDeviceIsRecorded)
{
    struct Case {
        const char* name;
        const char* first;    // 440 Hz, listed first
        const char* second;   // 1000 Hz; chosen for the second recording
        bool secondExists;
    };
    const Case cases[] = {
        {"another device", "Tone A", "Tone B", true},
        {"a name within the other's", "Test tone", "Test tone 2", true},
        {"the other's name within it", "Test tone 2", "Test tone", true},
        {"a device that went away", "Tone A", "Tone B", false},
    };
    PrivateSoundServer server;
    ASSERT_TRUE(server.Ok());
    // Whatever their length, the songs are kept to be listened to.
    settings->SetFilterMode(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetLibrary();
        ToneDevice first(c.first, 440, scratch.path());
        std::unique_ptr<ToneDevice> second;
        if (c.secondExists)
            second = std::make_unique<ToneDevice>(c.second, 1000, scratch.path());
        ASSERT_TRUE(first.Loaded() && (!second || second->Loaded()));
        settings->SetRecordMode(0);
        settings->SetDeviceId(QString::fromUtf8(c.first));
        TestMainUI& w = Open();

        auto record = [&] {
            QTest::mouseClick(w.ControlBar()->RecordStartButton(), Qt::LeftButton);
            if (w.ControlBar()->GetRecordState() == IRecordStateSource::NotRecording)
                return false;
            Pause(2000);
            QTest::mouseClick(RecordPlace(w), Qt::LeftButton);
            return WaitFor([&] { return SongStored(); }, 10000);
        };
        ASSERT_TRUE(record());
        EXPECT_NEAR(PitchHz(NewestSong()), 440, 20);

        settings->SetDeviceId(QString::fromUtf8(c.second));
        if (c.secondExists) {
            ASSERT_TRUE(record());
            EXPECT_EQ(MusicRowCount(), 2);
            EXPECT_NEAR(PitchHz(NewestSong()), 1000, 20) << "the device recorded before was recorded again";
        } else {
            EXPECT_FALSE(record());
            EXPECT_TRUE(w.SawText(QStringLiteral("The recording device \"%1\" cannot be found.").arg(c.second)));
            EXPECT_EQ(MusicRowCount(), 1);
        }
        window.reset();
    }
}

// Against the fake engine: what is looked at is the window's input, not the
// sound.
class NoticeTest : public FakeEngineWindowTest {
protected:
    void SetUp() override
    {
        FakeEngineWindowTest::SetUp();
        settings->SetOutputFileType(1);
    }
    TestMainUI& OpenShown()
    {
        TestMainUI& w = Open();
        w.show();
        Pause(200);
        return w;
    }
    // A six-channel song starts: its notice comes up.
    void SixChannelSong(TestMainUI& w)
    {
        const QString path = OutputFolder() + "/six.wav";
        WriteToneWav(path, 3);
        factory.engine->SongStart(path, 6);
        factory.engine->SongData(3528 * 3, 6);
        ASSERT_TRUE(WaitFor([&] { return w.SawText("Please change the audio channel output settings"); }));
    }
};

TEST_F(NoticeTest, OpenNoticesLeaveStopAndCloseToTheUser)
{
    TestMainUI& w = OpenShown();
    QTest::mouseClick(w.ControlBar()->RecordStartButton(), Qt::LeftButton);
    ASSERT_NE(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    SixChannelSong(w);
    ASSERT_FALSE(OpenNotices(w).isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    QTest::mouseClick(RecordPlace(w), Qt::LeftButton);
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    const auto calls = factory.engine->Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "Stop"), calls.end());
    // The notice after Stop comes, and waits for nobody either.
    EXPECT_TRUE(WaitFor([&] { return w.DialogCount("guidialogExpire") == 1; }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }));
    QTest::mouseClick(w.TitleBar()->CloseButton(), Qt::LeftButton);
    EXPECT_TRUE(WaitFor([&] { return !w.isVisible(); }));
    // The notices went with the window.
    EXPECT_TRUE(OpenNotices(w).isEmpty());
}

TEST_F(NoticeTest, ScheduledStopAndPowerOffCountdownComeWithNoticesOpen)
{
    int powerOffs = 0;
    QPointer<CDeleteDialog> countdownDialog;
    const ShutdownHook old = SetShutdownHook([&] {
        ++powerOffs;
        // The computer would be off now; the dialog stays for a user who is
        // still there, and is closed here.
        if (countdownDialog)
            QTimer::singleShot(0, countdownDialog.data(), &QDialog::reject);
        return true;
    });
    settings->SetAfterRecord(0);
    TestMainUI& w = OpenShown();
    SaveTask(w.Now().addSecs(1), QTime(0, 0, 2), true);
    QElapsedTimer task;
    qint64 stoppedAt = -1;
    w.onExec = [&](QDialog* dialog) {
        auto* question = qobject_cast<CDeleteDialog*>(dialog);
        if (question && question->MessageLabel()->text().contains("shutdown in 60 seconds")) {
            if (stoppedAt < 0)
                stoppedAt = task.elapsed();
            // Nobody answers: the countdown runs out, its seconds passing
            // a hundred times faster.
            countdownDialog = question;
            question->CountdownTimer()->setInterval(10);
            return dialog->exec();
        }
        // Anything else the user would have to answer first: the window
        // would wait here as long as nobody does.
        return dialog->exec();
    };
    // Whatever waits for an answer is answered after a long while, so that a
    // window that waits fails the test instead of hanging it.
    QTimer unblock;
    unblock.setInterval(8000);
    QObject::connect(&unblock, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    unblock.start();

    w.SetTask();
    ASSERT_TRUE(WaitFor([&] { return w.ControlBar()->GetRecordState() != IRecordStateSource::NotRecording; }));
    task.start();
    SixChannelSong(w);
    ASSERT_TRUE(WaitFor([&] { return stoppedAt >= 0; }, 12000));
    std::printf("the 2 s task reached its power-off countdown after %lld ms\n", static_cast<long long>(stoppedAt));
    EXPECT_LT(stoppedAt, 3000);
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    ASSERT_TRUE(WaitFor([&] { return powerOffs > 0; }, 5000)) << "the countdown did not power off";
    EXPECT_EQ(powerOffs, 1);
    EXPECT_FALSE(OpenNotices(w).isEmpty()) << "the notices stay for the user to read";
    settings->SetAfterRecord(1);
    SetShutdownHook(old);
}

} // namespace
