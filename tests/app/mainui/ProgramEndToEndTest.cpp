// The program for real: the real engine records what plays into the private
// sound server's null output while the control bar's buttons are pressed;
// and the program's executable, ended by SIGTERM in the middle of a song.
#include "MainUITestSupport.h"

#include "../../../bench/common/BenchProgram.h"

#include "CAppSettings.h"
#include "CMToolButton.h"
#include "CShowListWidget.h"
#include "CSingleInstanceMutex.h"
#include "CToolBar.h"
#include "MusicDatabase.h"
#include "trackhold.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

#include <sqlite3.h>

namespace {

bool PlayInto(const QString& file)
{
    QProcess player;
    player.start("paplay", {file});
    if (!player.waitForStarted(5000))
        return false;
    return WaitFor([&] { return player.state() == QProcess::NotRunning; }, 20000) && player.exitCode() == 0;
}

TEST(ProgramEndToEnd, RecordsTwoSongsIntoTheLibraryAndKeepsOneInstance)
{
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("PULSE_SERVER"));
    CAppSettings* settings = CAppSettings::GetInstance();
    settings->SetRecordMode(-1);
    settings->SetSplitMode(1);
    settings->SetSplitTime(500);
    settings->SetFilterMode(1);
    settings->SetFilterTime(1);
    settings->SetOutputFileType(1);
    ResetLibrary();

    QTemporaryDir scratch;
    const QString first = scratch.filePath("first.wav");
    const QString second = scratch.filePath("second.wav");
    WriteToneWav(first, 3.0);
    WriteToneWav(second, 4.0);

    auto window = std::make_unique<TestMainUI>();
    window->show();
    Pause(500);
    QTest::mouseClick(window->ControlBar()->RecordStartButton(), Qt::LeftButton);
    ASSERT_EQ(window->ControlBar()->GetRecordState(), IRecordStateSource::WaitingForSong);

    // A second start meanwhile ends at once with exit code 1.
    QProcess second_instance;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    second_instance.setProcessEnvironment(env);
    {
        CSingleInstanceMutex held("tavrel{05CA3FED-B449-4e0b-83F5-7FD612E378E9}");
        ASSERT_FALSE(held.IsAlreadyRunning());
        second_instance.start(QString(SONACAP_TEST_OUTPUT_DIR) + "/TavrelSonacap", QStringList());
        ASSERT_TRUE(second_instance.waitForStarted(10000));
        ASSERT_TRUE(WaitFor([&] { return second_instance.state() == QProcess::NotRunning; }, 30000));
        EXPECT_EQ(second_instance.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second_instance.exitCode(), 1);
    }

    ASSERT_TRUE(PlayInto(first));
    Pause(2000);
    ASSERT_TRUE(PlayInto(second));
    Pause(1500);
    QTest::mouseClick(window->ControlBar()->RecordStopButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return MusicRowCount() >= 2 && window->SongsStored(); }, 20000));
    Pause(500);

    QMap<int, MusicInfoRow*> rows;
    ASSERT_EQ(DB_GetAllMusicInfo(rows), 2);
    QList<MusicItemLink> fresh;
    DB_GetMusicItem(fresh, 2, "ListId");
    EXPECT_EQ(window->LibraryPage()->GetListItemCount(2), 2);
    WM_Create("e2e");
    for (MusicInfoRow* row : rows) {
        SCOPED_TRACE(row->MusicPath.toStdString());
        EXPECT_TRUE(QFile::exists(row->MusicPath));
        EXPECT_TRUE(row->TimeRecorded == "00:03" || row->TimeRecorded == "00:04"
                    || row->TimeRecorded == "00:02") << row->TimeRecorded.toStdString();
        const int id = WM_AddFile(row->MusicPath.toUtf8().constData());
        ASSERT_GE(id, 0);
        int64_t ms = 0;
        EXPECT_EQ(WM_GetMediaDuration(id, &ms), 0);
        EXPECT_GE(ms, 2000);
        EXPECT_EQ(WM_CreatePlay(id, nullptr, nullptr), 0);
        EXPECT_EQ(WM_Play(), 0);
        WM_DestroyPlay();
        WM_DeleteFile(id);
    }
    WM_Destroy();
    qDeleteAll(rows);
    window.reset();
}

// The program's executable as a user of its own runs it, driven through its
// command input; answers and events come back on its output.
class ProgramProcess {
public:
    explicit ProgramProcess(const QString& home)
    {
        QProcessEnvironment env = bench_program::ThrowAwayUser(home);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SONACAP_COMMANDS_ON_STDIN", "1");
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.setStandardErrorFile(home + "/program.log");
    }
    ~ProgramProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool Start()
    {
        m_process.start(QString(SONACAP_TEST_OUTPUT_DIR) + "/TavrelSonacap", QStringList());
        return m_process.waitForStarted(10000) && Command("ping", 60000);
    }
    bool Command(const QByteArray& command, int timeoutMs = 15000)
    {
        m_process.write(command + '\n');
        return WaitForLine("ok " + command, timeoutMs);
    }
    bool WaitForLine(const QByteArray& start, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        for (;;) {
            m_output += m_process.readAllStandardOutput();
            const int at = m_output.indexOf(start);
            if (at >= 0) {
                m_output.remove(0, at + start.size());
                return true;
            }
            if (t.elapsed() > timeoutMs || m_process.state() != QProcess::Running)
                return false;
            m_process.waitForReadyRead(100);
        }
    }
    QProcess& Process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_output;
};

struct StoredSong {
    QString path;
    QString timeRecorded;
};

// The songs of a library file, read behind the program's back.
QList<StoredSong> StoredSongs(const QString& file)
{
    QList<StoredSong> songs;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return songs;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "select MusicPath, TimeRecorded from MusicInfo", -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            auto text = [&](int column) {
                const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
                return QString::fromUtf8(value ? value : "");
            };
            songs.append({text(0), text(1)});
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return songs;
}

// Asked to end (a logout, a shutdown, kill) in the middle of a song: the
// program ends the song as Stop does, stores it with its length, and quits.
TEST(ProgramEndToEnd, SigtermMidSongKeepsTheSongAsStopDoes)
{
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("PULSE_SERVER"));
    QTemporaryDir scratch;
    const QString home = scratch.filePath("home");
    const QString settings = home + "/.local/share/Tavrel/Sonacap";
    QDir().mkpath(settings);
    QDir().mkpath(home + "/Music");
    {
        QFile ini(settings + "/sonacap.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Text));
        ini.write(("[General]\nRecord_Mode=-1\nOutput_File_Type=1\nSplit_Mode=1\nSplit_Time=500\n"
                   "Filter_Mode=1\nFilter_Time=1\nLanguage=en\nOutput_Path=" + home + "/Music\n")
                      .toUtf8());
    }
    const QString tone = scratch.filePath("tone.wav");
    WriteToneWav(tone, 8.0);

    ProgramProcess program(home);
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.Command("record"));
    QProcess player;
    player.start("paplay", {tone});
    ASSERT_TRUE(player.waitForStarted(5000));
    ASSERT_TRUE(program.WaitForLine("event song-start", 10000));
    QThread::msleep(2500);

    program.Process().terminate();
    ASSERT_TRUE(program.Process().waitForFinished(30000));
    EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.Process().exitCode(), 0);
    player.kill();
    player.waitForFinished(5000);

    const QList<StoredSong> songs = StoredSongs(settings + "/music.db");
    ASSERT_EQ(songs.size(), 1);
    EXPECT_TRUE(songs[0].timeRecorded == "00:02" || songs[0].timeRecorded == "00:03")
        << songs[0].timeRecorded.toStdString();
    ASSERT_TRUE(QFile::exists(songs[0].path)) << songs[0].path.toStdString();
    WM_Create("sigterm");
    const int id = WM_AddFile(songs[0].path.toUtf8().constData());
    ASSERT_GE(id, 0);
    int64_t ms = 0;
    EXPECT_EQ(WM_GetMediaDuration(id, &ms), 0);
    EXPECT_GE(ms, 2000);
    WM_DeleteFile(id);
    WM_Destroy();
}

} // namespace
