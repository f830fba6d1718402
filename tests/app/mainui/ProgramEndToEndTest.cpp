// The program for real: the real engine records what plays into the private
// sound server's null output while the control bar's buttons are pressed.
#include "MainUITestSupport.h"

#include "CAppSettings.h"
#include "CMToolButton.h"
#include "CShowListWidget.h"
#include "CSingleInstanceMutex.h"
#include "CToolBar.h"
#include "MusicDatabase.h"
#include "trackhold.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

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
    ASSERT_TRUE(WaitFor([&] { return MusicRowCount() >= 2 && !window->LibraryPage()->NewRecordItem; }, 20000));
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

} // namespace
