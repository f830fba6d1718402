// The program for real, with the real faults users meet: a disk that fills in
// the middle of a song, a sound server that goes away and comes back, a
// damaged library, a close right after Stop of a long six-channel MP3 and a
// hung sound server. Each test has its own sound server, so stopping or
// freezing it touches no other test. In each, every recording ends up on
// disk, playable and in the library (or kept on disk when the library cannot
// take it), and the user was told what happened.
#include "MainUITestSupport.h"

#include "../../common/DamagedFile.h"
#include "../../common/PrivateSoundServer.h"
#include "../../common/SmallDisk.h"
#include "CAppSettings.h"
#include "CShowListWidget.h"
#include "CToolBar.h"
#include "MusicDatabase.h"
#include "PulseSession.h"
#include "RecordingProbes.h"
#include "trackhold.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

// Plays a file into `device` of the current server, on its own.
std::unique_ptr<QProcess> StartPlaying(const QString& file, const QString& device = "test_out")
{
    auto player = std::make_unique<QProcess>();
    player->start("paplay", {"--device=" + device, file});
    player->waitForStarted(5000);
    return player;
}

struct SongOnDisk {
    QString path;
    qint64 ms = -1;
};

// Every song of the library with its file's playable length (-1: the file
// is missing or cannot be read).
QList<SongOnDisk> LibrarySongs()
{
    QMap<int, MusicInfoRow*> rows;
    DB_GetAllMusicInfo(rows);
    QList<SongOnDisk> out;
    WM_Create("faults");
    for (MusicInfoRow* row : rows) {
        SongOnDisk song{row->MusicPath, -1};
        const int id = QFile::exists(row->MusicPath) ? WM_AddFile(row->MusicPath.toUtf8().constData()) : -1;
        if (id >= 0) {
            int64_t ms = 0;
            if (WM_GetMediaDuration(id, &ms) == 0)
                song.ms = ms;
            WM_DeleteFile(id);
        }
        out.append(song);
    }
    WM_Destroy();
    qDeleteAll(rows);
    return out;
}

class FaultTable : public RealEngineWindowTest {
protected:
    void SetUp() override
    {
        RealEngineWindowTest::SetUp();
        tone = scratch.filePath("tone.wav");
        WriteToneWav(tone, 6.0);
    }
    bool SongOpen() { return !window->OpenSongPath().isEmpty(); }

    QString tone;
};

TEST_F(FaultTable, DiskFillsMidSong)
{
    SmallDisk disk(64u << 20);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Why();
    PrivateSoundServer server;
    ASSERT_TRUE(server.Ok());
    settings->SetOutputPath(QStringList{QString::fromStdString(disk.Path())});
    TestMainUI& w = Open();
    w.RecorderModuleStart();
    ASSERT_NE(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    auto player = StartPlaying(tone);
    ASSERT_TRUE(WaitFor([&] { return SongOpen(); }, 10000));
    Pause(3000);
    // Something else takes the rest of the disk.
    {
        FILE* filler = fopen((disk.Path() + "/filler").c_str(), "w");
        ASSERT_NE(filler, nullptr);
        std::vector<char> block(1 << 16, 'f');
        while (fwrite(block.data(), 1, block.size(), filler) == block.size()) {
        }
        fclose(filler);
    }
    ASSERT_TRUE(WaitFor([&] { return w.SawText("disk of the output folder is"); }, 15000));
    ASSERT_TRUE(WaitFor([&] { return w.SongsStored() && !SongOpen(); }, 15000));
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    player->waitForFinished(10000);
    window.reset();
    remove((disk.Path() + "/filler").c_str());

    DB_OpenDatabase();
    const auto songs = LibrarySongs();
    ASSERT_EQ(songs.size(), 1);
    EXPECT_TRUE(songs[0].path.startsWith(QString::fromStdString(disk.Path())));
    EXPECT_GE(songs[0].ms, 1000) << "the song recorded until the disk was full plays";
}

TEST_F(FaultTable, ServerStoppedMidSongAndRestarted)
{
    PrivateSoundServer server;
    ASSERT_TRUE(server.Ok());
    TestMainUI& w = Open();
    w.RecorderModuleStart();
    {
        auto player = StartPlaying(tone);
        ASSERT_TRUE(WaitFor([&] { return SongOpen(); }, 10000));
        Pause(2500);
        ASSERT_TRUE(server.Stop());
        ASSERT_TRUE(WaitFor([&] { return w.SawText("The sound server stopped delivering sound"); }, 15000));
        ASSERT_TRUE(WaitFor([&] { return MusicRowCount() == 1 && !SongOpen(); }, 15000));
    }
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(WaitFor([&] { return !w.IsCaptureLost(); }, 15000)) << "capture comes back by itself";
    {
        auto player = StartPlaying(tone);
        ASSERT_TRUE(WaitFor([&] { return SongOpen(); }, 10000));
        player->waitForFinished(15000);
    }
    Pause(1500);
    w.RecorderModuleStop();
    ASSERT_TRUE(WaitFor([&] { return MusicRowCount() == 2 && !SongOpen(); }, 15000));
    window.reset();

    DB_OpenDatabase();
    const auto songs = LibrarySongs();
    ASSERT_EQ(songs.size(), 2);
    for (const SongOnDisk& song : songs) {
        SCOPED_TRACE(song.path.toStdString());
        EXPECT_GE(song.ms, 2000);
    }
}

TEST_F(FaultTable, DamagedLibrary)
{
    PrivateSoundServer server;
    ASSERT_TRUE(server.Ok());
    DB_CloseDatabase();
    const QString file = settings->GetLogPath() + "/music.db";
    QFile::remove(file);
    ASSERT_EQ(DB_OpenDatabase(), 0);
    DB_CloseDatabase();
    {
        // Many cover rows after the songs' pages, then garbage over them.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "with recursive n(i) as (select 1 union all select i + 1 from n where i < 20000) "
                               "insert into CoverInfo select i, 0, printf('/pictures/cover %d of a song.jpg', i) "
                               "from n",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    ASSERT_FALSE(DamageFile(file, 0.75, 16384).isEmpty());
    ASSERT_EQ(DB_OpenDatabase(), 0);  // as the program's start does
    TestMainUI& w = Open();
    ASSERT_TRUE(WaitFor([&] { return w.SawText("The library could not be used as it was"); }));
    QString backup;
    DB_OpenProblem(&backup);
    EXPECT_TRUE(QFile::exists(backup));

    w.RecorderModuleStart();
    auto player = StartPlaying(tone);
    ASSERT_TRUE(WaitFor([&] { return SongOpen(); }, 10000));
    player->waitForFinished(15000);
    Pause(1500);
    w.RecorderModuleStop();
    ASSERT_TRUE(WaitFor([&] { return !SongOpen() && w.SongsStored(); }, 15000));
    window.reset();

    DB_OpenDatabase();
    const auto songs = LibrarySongs();
    ASSERT_EQ(songs.size(), 1) << "the songs' part of the file still takes new songs";
    EXPECT_GE(songs[0].ms, 4000);
    QFile::remove(backup);
}

TEST_F(FaultTable, CloseRightAfterStopOfALongSixChannelMp3)
{
    PrivateSoundServer server;
    ASSERT_TRUE(server.Ok());
    ASSERT_TRUE([] {
        PulseSession s;
        uint32_t index = 0;
        return s.Connect() &&
               s.LoadModule("module-null-sink", "sink_name=surround channels=6 rate=48000 "
                                                "sink_properties=device.description=Surround",
                            &index) &&
               s.SetDefaultSink("surround");
    }());
    // A mix-down that takes its time, as a long song's does.
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    ASSERT_FALSE(ffmpeg.isEmpty());
    const QString slow = scratch.filePath("bin/ffmpeg");
    QDir().mkpath(scratch.filePath("bin"));
    {
        QFile script(slow);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\nsleep 3\nexec '" + ffmpeg + "' \"$@\"\n").toUtf8());
    }
    QFile::setPermissions(slow, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", scratch.filePath("bin").toUtf8() + ":" + path);

    settings->SetOutputFileType(0);
    settings->SetBitRate(192);
    TestMainUI& w = Open();
    w.RecorderModuleStart();
    auto player = StartPlaying(tone, "surround");
    ASSERT_TRUE(WaitFor([&] { return SongOpen(); }, 10000));
    Pause(4000);
    w.RecorderModuleStop();
    EXPECT_FALSE(w.close()) << "the song is still being mixed down";
    ASSERT_TRUE(WaitFor([&] { return !w.isVisible(); }, 30000)) << "the close goes on once the song is stored";
    window.reset();
    qputenv("PATH", path);
    player->waitForFinished(10000);

    DB_OpenDatabase();
    const auto songs = LibrarySongs();
    ASSERT_EQ(songs.size(), 1);
    EXPECT_TRUE(songs[0].path.endsWith(".mp3")) << songs[0].path.toStdString();
    EXPECT_GE(songs[0].ms, 3000);
}

TEST_F(FaultTable, HungServer)
{
    PrivateSoundServer server;
    ASSERT_TRUE(server.Ok());
    TestMainUI& w = Open();
    w.realProbe = true;

    // Hung in the middle of a song: the song so far is kept, the user told,
    // and recording goes on once the server answers again.
    w.RecorderModuleStart();
    ASSERT_NE(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    {
        auto player = StartPlaying(tone);
        ASSERT_TRUE(WaitFor([&] { return SongOpen(); }, 10000));
        Pause(2000);
        ASSERT_TRUE(server.Freeze());
        ASSERT_TRUE(WaitFor([&] { return w.SawText("The sound server stopped delivering sound"); }, 15000));
        ASSERT_TRUE(server.Thaw());
        ASSERT_TRUE(WaitFor([&] { return !w.IsCaptureLost(); }, 15000));
        player->waitForFinished(15000);
    }
    Pause(1500);
    w.RecorderModuleStop();
    ASSERT_TRUE(WaitFor([&] { return !SongOpen() && w.SongsStored(); }, 15000));
    ASSERT_GE(MusicRowCount(), 1);

    // Hung when Record is pressed: a message, not a frozen window.
    ASSERT_TRUE(server.Freeze());
    QElapsedTimer pressed;
    pressed.start();
    w.RecorderModuleStart();
    const qint64 took = pressed.elapsed();
    std::printf("Record press with a hung sound server took %lld ms\n", static_cast<long long>(took));
    EXPECT_TRUE(w.SawText("The sound server does not answer"));
    EXPECT_EQ(w.ControlBar()->GetRecordState(), IRecordStateSource::NotRecording);
    window.reset();

    // Hung at start: the window comes up, and records once the server
    // answers again.
    QElapsedTimer started;
    started.start();
    TestMainUI& late = Open();
    std::printf("Start with a hung sound server took %lld ms\n", static_cast<long long>(started.elapsed()));
    late.realProbe = true;
    ASSERT_TRUE(server.Thaw());
    Pause(PulseSession::kUnresponsiveMs + 500);
    late.RecorderModuleStart();
    EXPECT_EQ(late.ControlBar()->GetRecordState(), IRecordStateSource::WaitingForSong);
    late.RecorderModuleStop();
    window.reset();

    DB_OpenDatabase();
    for (const SongOnDisk& song : LibrarySongs()) {
        SCOPED_TRACE(song.path.toStdString());
        EXPECT_GE(song.ms, 1000);
    }
}

} // namespace
