// The main window against a fake engine: start-up configuration, the
// notification dispatcher, recording start and stop, the recognition capture,
// song completion and closing while recording.
#include "MainUITestSupport.h"

#include "CAppSettings.h"
#include "CRecognitionCapture.h"
#include "CShowListWidget.h"
#include "CSlider.h"
#include "CToolBar.h"
#include "CTreeWidgetItem.h"
#include "LibraryServices.h"
#include "MusicDatabase.h"
#include "PlayQueue.h"
#include "SystemHelpers.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QStackedWidget>
#include <QThread>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

class MainUITest : public FakeEngineWindowTest {
protected:
    // The window over the stored recording source and split and minimum modes.
    TestMainUI& OpenWith(int recordMode, const char* device, int splitMode, int filterMode)
    {
        settings->SetRecordMode(recordMode);
        settings->SetDeviceId(QString::fromUtf8(device));
        settings->SetSplitMode(splitMode);
        settings->SetFilterMode(filterMode);
        return Open();
    }
    // Records one song through the fake engine: start, then the finished file.
    QString Record(double seconds, const QString& name)
    {
        const QString path = OutputFolder() + "/" + name + ".wav";
        WriteToneWav(path, seconds);
        factory.engine->SongStart(path);
        EXPECT_TRUE(WaitFor([&] { return window->LibraryPage()->RecordingRow() != nullptr; }));
        factory.engine->SongEnd(path);
        EXPECT_TRUE(WaitFor([&] { return window->SongsStored(); }));
        return path;
    }
};

std::vector<std::string> Strings(std::initializer_list<std::string> list)
{
    return std::vector<std::string>(list);
}

TEST_F(MainUITest, StartupConfigurationFollowsTheSettings)
{
    struct Case {
        const char* name;
        int recordMode;
        const char* device;
        int splitMode;
        int filterMode;
        std::vector<std::string> expected;
    };
    const std::string out = OutputFolder().toStdString();
    const Case cases[] = {
        {"loopback", -1, "", 1, 1,
         Strings({"Reset", "SetIntParam 1 200", "SetIntParam 2 1", "SetTextParam 3 " + out,
                  "SelectMode 1 44100 2 16"})},
        {"input device", 0, "Line In", 1, 1,
         Strings({"Reset", "SetIntParam 1 200", "SetIntParam 2 1", "SetTextParam 3 " + out,
                  "SelectMode 2 44100 2 16 Line In"})},
        {"input without device selects nothing", 0, "", 1, 1,
         Strings({"Reset", "SetIntParam 1 200", "SetIntParam 2 1", "SetTextParam 3 " + out})},
        {"split and filter off", -1, "", 0, 0,
         Strings({"Reset", "SetIntParam 1 194967295", "SetIntParam 2 1", "SetTextParam 3 " + out,
                  "SelectMode 1 44100 2 16"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestMainUI& w = OpenWith(c.recordMode, c.device, c.splitMode, c.filterMode);
        EXPECT_EQ(factory.engine->Calls(), c.expected);
        EXPECT_EQ(w.LastEngineSetup().splitValue, c.splitMode ? 200 : 194967295);
        EXPECT_EQ(w.CentreStack()->currentIndex(), 0);
        window.reset();
    }
}

TEST_F(MainUITest, NotificationsReachTheSlotsQueuedOnTheGuiThread)
{
    TestMainUI& w = Open();
    const QString path = OutputFolder() + "/first.wav";
    WriteToneWav(path, 3);
    factory.engine->SongStart(path);
    // The engine's buffer was overwritten right after the call: the window
    // kept its own copy.
    EXPECT_EQ(w.OpenSongPath(), path);
    EXPECT_NE(factory.engine->LastCallbackThread(), QThread::currentThread());
    // Nothing of the GUI side ran on the engine's thread: until the GUI
    // thread processes its events no row exists and the bar is unchanged.
    EXPECT_EQ(w.LibraryPage()->RecordingRow(), nullptr);
    EXPECT_EQ(w.ControlBar()->GetRecordState(), 0);
    ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->RecordingRow() != nullptr; }));
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::RecordingSong);

    factory.engine->SongEnd(path);
    EXPECT_TRUE(w.OpenSongPath().isEmpty());
    ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }));
    EXPECT_EQ(MusicRowCount(), 1);
    EXPECT_EQ(w.LibraryPage()->GetListItemCount(2), 1);
    EXPECT_EQ(PlayQueue::Instance().Count(), 1);
    EXPECT_EQ(PlayQueue::Instance().currentIndex, 0);
}

TEST_F(MainUITest, CaptureKeepsTwentyTwoSecondsAndMakesOneWavImage)
{
    CRecognitionCapture capture;
    qint64 now = 1000;
    capture.SetClock([&] { return now; });
    capture.BeginSong();
    std::vector<unsigned char> pcm(176400, 1);  // one second of 44.1 kHz stereo 16-bit
    AudioClip clip{};
    clip.size = static_cast<int>(pcm.size());
    clip.data = pcm.data();
    clip.param = {44100, 2, 16, 0, 4, 1, 0};
    int marks = 0;
    // The engine may run behind: more clips than seconds arrive early on.
    for (int i = 0; i < 40; ++i) {
        capture.Append(clip);
        now += i < 30 ? 500 : 1000;
        marks += capture.TakeMark() ? 1 : 0;
    }
    EXPECT_EQ(marks, 1);
    EXPECT_EQ(capture.Buffer().size(), 22 * 176400);

    const QByteArray image = CRecognitionCapture::BuildWavImage(capture.Buffer(), clip.param);
    ASSERT_EQ(image.size(), 44 + capture.Buffer().size());
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(image.constData() + at); };
    auto u16 = [&](int at) { return qFromLittleEndian<quint16>(image.constData() + at); };
    EXPECT_EQ(image.left(4), QByteArray("RIFF"));
    EXPECT_EQ(u32(4), quint32(capture.Buffer().size() + 36));
    EXPECT_EQ(image.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1);
    EXPECT_EQ(u16(22), 2);
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(28), 176400u);
    EXPECT_EQ(u16(32), 4);
    EXPECT_EQ(u16(34), 16);
    EXPECT_EQ(image.mid(36, 4), QByteArray("data"));
    EXPECT_EQ(u32(40), quint32(capture.Buffer().size()));

    EXPECT_EQ(CRecognitionCapture::TemporaryWavName("/m/2024-01-01 10-00-00.wav"), "/m/2024-01-01 10-00-00 temp.wav");
}

TEST_F(MainUITest, SongAtTheMarkGoesToRecognitionOnceAndEndsUnrecognised)
{
    TestMainUI& w = Open();
    qint64 now = 0;
    w.Capture().SetClock([&] { return now; });
    const QString path = OutputFolder() + "/long.wav";
    WriteToneWav(path, 1);
    factory.engine->SongStart(path);
    ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->RecordingRow() != nullptr; }));
    factory.engine->SongData(3528);
    EXPECT_FALSE(w.IsSongIdentified());
    now = 22000;
    factory.engine->SongData(3528);
    EXPECT_TRUE(w.IsSongIdentified());
    // The recognizer answers "not recognised": the row's download failed.
    ASSERT_TRUE(WaitFor([&] {
        return w.LibraryPage()->RecordingRow()
               && w.LibraryPage()->RecordingRow()->GetDownloadStatus() == TWM_DOWNLOAD_FAILED;
    }));
    factory.engine->SongEnd(path);
    EXPECT_FALSE(w.IsSongIdentified());
}

TEST_F(MainUITest, CompletionDropsKeepsAndPicksTheCardKind)
{
    struct Case {
        const char* name;
        int filterMode;
        int filterTime;
        double seconds;      // -1: a file whose length cannot be read; -2: the engine deleted it
        bool kept;
        int kind;
        const char* time;
    };
    const Case cases[] = {
        {"exactly the filter time is dropped", 1, 3, 3.2, false, 0, ""},
        {"over the filter time is kept", 1, 3, 4.5, true, 2, "00:04"},
        {"filter off keeps a short song", 0, 3, 2.5, true, 2, "00:02"},
        {"zero seconds is always dropped", 0, 3, 0.4, false, 0, ""},
        {"sixteen seconds counts as recognised", 1, 3, 16.2, true, 1, "00:16"},
        {"unmeasurable length is kept", 1, 3, -1, true, 2, "00:00"},
        {"a song the engine deleted leaves no row", 0, 3, -2, false, 0, ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings->SetFilterMode(c.filterMode);
        settings->SetFilterTime(c.filterTime);
        TestMainUI& w = Open();
        const QString path = OutputFolder() + QString("/case%1.wav").arg(n++);
        if (c.seconds == -2) {
            // Too short for the engine: it removes the file and reports no path.
        } else if (c.seconds < 0) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("this is no audio file at all");
        } else {
            WriteToneWav(path, c.seconds);
        }
        factory.engine->SongStart(path);
        ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->RecordingRow() != nullptr; }));
        const int musicId = w.LibraryPage()->RecordingRow()->GetMusicId();
        factory.engine->SongEnd(c.seconds == -2 ? QString() : path);
        ASSERT_TRUE(WaitFor([&] { return w.SongsStored(); }));

        MusicInfoRow row;
        const int found = DB_GetMusicInfo(musicId, &row);
        EXPECT_EQ(found == 1, c.kept);
        EXPECT_EQ(c.kept ? QFile::exists(row.MusicPath) : QFile::exists(path), c.kept);
        EXPECT_EQ(w.LastCardKind(), c.kind);
        if (c.kept) {
            EXPECT_EQ(row.TimeRecorded, QString::fromLatin1(c.time));
        }
        window.reset();
        ResetLibrary();
    }
}

TEST_F(MainUITest, FailedEngineStartShowsANoticeAndStaysIdle)
{
    TestMainUI& w = Open();
    factory.engine->startResult = -5;
    w.RecorderModuleStart();
    EXPECT_TRUE(w.SawText("Recording could not start."));
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    EXPECT_TRUE(w.IsRecordingStopped());
    EXPECT_EQ(w.CentreStack()->currentIndex(), 0);

    factory.engine->startResult = 0;
    w.RecorderModuleStart();
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::WaitingForSong);
    EXPECT_EQ(w.CentreStack()->currentIndex(), 1);
}

TEST_F(MainUITest, StartChecksAndSettingsGoToTheEngine)
{
    settings->SetBitRate(160);
    TestMainUI& w = Open();
    w.mixFormat = 1;  // microphone denied: only an input-device recording is refused
    settings->SetRecordMode(0);
    settings->SetDeviceId("Mic");
    w.RecorderModuleStart();
    EXPECT_EQ(w.DialogCount("guidialogMicrophone"), 1);
    EXPECT_EQ(w.ControlBar()->GetRecordState(), 0);

    w.mixFormat = 0;
    w.conflictingTool = true;
    w.RecorderModuleStart();
    EXPECT_EQ(w.DialogCount("QMessageBox"), 1);
    EXPECT_EQ(w.ControlBar()->GetRecordState(), 0);

    // Recording from an input device leaves the playback volume alone.
    w.conflictingTool = false;
    const int volume = w.ControlBar()->VolumeSlider()->Value();
    factory.engine->ClearCalls();
    w.RecorderModuleStart();
    EXPECT_EQ(w.ControlBar()->VolumeSlider()->Value(), volume);
    const auto calls = factory.engine->Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SelectMode 2 44100 2 16 Mic"), calls.end());
    EXPECT_EQ(calls.back(), "Start 1 2 0");  // MP3, unsupported 160 kbit/s becomes 128
    EXPECT_EQ(settings->GetBitRate(), 128);
    w.RecorderModuleStop();

    // Loopback: the engine's preview volume comes into the control bar.
    settings->SetRecordMode(-1);
    factory.engine->previewVolume = 23;
    w.RecorderModuleStart();
    EXPECT_EQ(w.ControlBar()->VolumeSlider()->Value(), 23);
    w.RecorderModuleStop();
    EXPECT_EQ(factory.engine->Calls().back(), "Stop");
    EXPECT_EQ(w.ControlBar()->GetRecordState(), 0);
}

// A Record press sets the engine up again only when what it would give the
// engine differs from what it gave it last: setting up again stops capture,
// so the song already playing would lose its first seconds. A switched-off
// split or minimum length, and the device setting while what plays is
// recorded, are no change; another input device is.
TEST_F(MainUITest, RecordSetsTheEngineUpAgainOnlyForAChange)
{
    struct Case {
        const char* name;
        int splitMode;
        int filterMode;
        int recordMode;
        const char* device;
        std::function<void(CAppSettings*)> change;
        std::vector<std::string> expected;   // the calls of the second press up to Start
    };
    const std::string out = OutputFolder().toStdString();
    const std::vector<std::string> kept = {"SetTextParam 3 " + out, "Start 1 2 1"};
    const Case cases[] = {
        {"split off", 0, 1, -1, "", [](CAppSettings*) {}, kept},
        {"minimum length off", 1, 0, -1, "", [](CAppSettings*) {}, kept},
        {"both off", 0, 0, -1, "", [](CAppSettings*) {}, kept},
        {"same input device", 0, 0, 0, "Line In", [](CAppSettings*) {}, kept},
        {"device setting while what plays is recorded", 1, 1, -1, "", [](CAppSettings* s) { s->SetDeviceId("Mic"); },
         kept},
        {"other input device", 0, 0, 0, "Line In", [](CAppSettings* s) { s->SetDeviceId("Line In 2"); },
         Strings({"Reset", "SetIntParam 1 194967295", "SetIntParam 2 1", "SelectMode 2 44100 2 16 Line In 2",
                  "SetTextParam 3 " + out, "Start 1 2 1"})},
        {"split time", 1, 1, -1, "", [](CAppSettings* s) { s->SetSplitTime(300); },
         Strings({"Reset", "SetIntParam 1 300", "SetIntParam 2 1", "SelectMode 1 44100 2 16",
                  "SetTextParam 3 " + out, "Start 1 2 1"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestMainUI& w = OpenWith(c.recordMode, c.device, c.splitMode, c.filterMode);
        factory.engine->ClearCalls();
        w.RecorderModuleStart();
        EXPECT_EQ(factory.engine->Calls(), kept) << "the first press after start-up";
        w.RecorderModuleStop();
        c.change(settings);
        factory.engine->ClearCalls();
        w.RecorderModuleStart();
        std::vector<std::string> calls = factory.engine->Calls();
        calls.resize(std::min(calls.size(), c.expected.size()));
        EXPECT_EQ(calls, c.expected);
        w.RecorderModuleStop();
        window.reset();
        settings->SetSplitTime(200);
    }
}

TEST_F(MainUITest, QuittingWhileASongIsRecordedLeavesNoFileAndNoRow)
{
    TestMainUI& w = Open();
    w.show();
    w.RecorderModuleStart();
    const QString path = OutputFolder() + "/open.wav";
    WriteToneWav(path, 5);
    factory.engine->SongStart(path);
    ASSERT_TRUE(WaitFor([&] { return w.LibraryPage()->RecordingRow() != nullptr; }));
    const int musicId = w.LibraryPage()->RecordingRow()->GetMusicId();
    ASSERT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::RecordingSong);
    // Recognised already, with a cover in the pictures folder.
    QString pictures;
    ASSERT_EQ(GetSpecialFolderPath(pictures, kFolderPictures), 0);
    QDir().mkpath(pictures);
    const QString cover = pictures + "/open-cover.jpg";
    {
        QFile file(cover);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not really a picture");
    }
    RecordMusicInfo info;
    std::memset(&info, 0, sizeof info);
    CopyUtf8Field(info.MusicName, sizeof info.MusicName, QByteArray("Open"));
    info.CoverCount = 1;
    CopyUtf8Field(info.CoverPaths[0], sizeof info.CoverPaths[0], cover.toUtf8());
    w.LibraryPage()->SetNewRecordMusicInfo(&info);
    ASSERT_EQ(DB_GetImageId(cover), 1);

    w.answers = {QDialogButtonBox::Cancel};
    EXPECT_FALSE(w.close());
    EXPECT_NE(w.LibraryPage()->RecordingRow(), nullptr);
    EXPECT_TRUE(w.SawText("Unfinished recording will be lost"));

    w.answers = {QDialogButtonBox::Ok};
    EXPECT_TRUE(w.close());
    window.reset();  // releases the engine, which finishes the open song
    EXPECT_FALSE(QFile::exists(path));
    DB_OpenDatabase();
    MusicInfoRow row;
    EXPECT_EQ(DB_GetMusicInfo(musicId, &row), 0);
    EXPECT_EQ(MusicRowCount(), 0);
    EXPECT_EQ(DB_GetImageId(cover), 0);   // neither its cover row
    EXPECT_FALSE(QFile::exists(cover));   // nor its picture stays
}

} // namespace
