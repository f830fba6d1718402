// The control bar: state table, blink table, tray menu, volume routing,
// enabling rules and the full and mini layouts.
#include "CAppSettings.h"
#include "CMToolButton.h"
#include "CShowDownloadingView.h"
#include "CPlayInfoGroup.h"
#include "CRecordWavWriter.h"
#include "CSlider.h"
#include "CToolBar.h"
#include "ControlBarGallery.h"
#include "InterfaceScale.h"
#include "PlayQueue.h"
#include "PlayerTestEnv.h"
#include "../../common/ProgramLook.h"
#include "Sonacap.h"
#include "pcmsink_widget.h"

#include <algorithm>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QResizeEvent>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using player_test::CountCalls;
using player_test::TraceScope;

class FakeEngine : public CSonacapBase {
public:
    int EnumInputDevice() override { return 0; }
    int InputDeviceCount() override { return 0; }
    int GetInputDevice(unsigned, char*, int) override { return -1; }
    int SelectMode(int, AudioParam, const char*) override { return 0; }
    int Start(int, int, int) override { return 0; }
    void Pause(bool) override {}
    void Stop() override {}
    void Reset() override {}
    void SetPreviewVolume(int volume) override { preview = volume; ++previewCalls; }
    int GetPreviewVolume() override { return preview; }
    void SetTextParam(int, const char*) override {}
    void SetIntParam(int, int) override {}
    int preview = -1;
    int previewCalls = 0;
};

class ControlBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(player_test::OpenTestDatabase());
        SetInterfaceScale(1.0);
        CAppSettings::GetInstance()->SetLanguage(QStringLiteral("en"));
        bar = std::make_unique<CToolBar>(nullptr, &engine, nullptr);
    }
    void TearDown() override
    {
        bar.reset();
        PlayQueue::Instance().Clear();
        qDeleteAll(rows);
        rows.clear();
    }
    void Resize(int w)
    {
        const QSize old = bar->size();
        bar->resize(w, bar->height());
        QResizeEvent event(QSize(w, bar->height()), old);
        QApplication::sendEvent(bar.get(), &event);
    }
    // The wider state word in the label's font, with its margin.
    int StateWordWidth() const
    {
        const QFontMetrics metrics = bar->StatusLabel()->fontMetrics();
        return std::max(metrics.horizontalAdvance(QStringLiteral("Recording")),
                        metrics.horizontalAdvance(QStringLiteral("Ready"))) + 8;
    }
    QStringList MenuTexts() const
    {
        QStringList texts;
        for (QAction* a : bar->TrayMenu()->actions())
            texts << (a->isSeparator() ? QStringLiteral("|") : a->text());
        return texts;
    }

    FakeEngine engine;
    std::unique_ptr<CToolBar> bar;
    QList<CTreeWidgetItem*> rows;
};

TEST_F(ControlBarTest, RecordingStateTableAndStopPlayKeepsRecording)
{
    EXPECT_EQ(bar->GetRecordState(), 0);
    EXPECT_EQ(bar->StatusLabel()->text(), QStringLiteral("Ready"));
    bar->RecordStarted();
    EXPECT_EQ(bar->GetRecordState(), 2);
    EXPECT_EQ(bar->RecordStack()->currentIndex(), 1);
    EXPECT_FALSE(bar->PlayPauseStack()->isEnabled());
    EXPECT_TRUE(bar->RecordingTimer()->isActive());
    bar->SongRecordStarted();
    EXPECT_EQ(bar->GetRecordState(), 1);
    EXPECT_EQ(bar->StatusLabel()->text(), QStringLiteral("Recording"));

    // Stopping the player during a recording leaves the recording state alone.
    bar->StopPlay();
    EXPECT_EQ(bar->GetRecordState(), 1);
    EXPECT_EQ(bar->GetPlayState(), 0);

    bar->SongRecordFinished();
    EXPECT_EQ(bar->GetRecordState(), 2);
    EXPECT_EQ(bar->StatusLabel()->text(), QStringLiteral("Ready"));
    bar->SongRecordFinished();
    EXPECT_EQ(bar->GetRecordState(), 2);
    bar->RecordStopped();
    EXPECT_EQ(bar->GetRecordState(), 0);
    EXPECT_EQ(bar->RecordStack()->currentIndex(), 0);
    EXPECT_FALSE(bar->RecordingTimer()->isActive());
    EXPECT_EQ(bar->TimeLabel()->text(), QStringLiteral("00:00:00"));
    bar->SongRecordFinished();
    EXPECT_EQ(bar->GetRecordState(), 0);
    bar->SongRecordStarted();
    EXPECT_EQ(bar->GetRecordState(), 1);
}

TEST_F(ControlBarTest, BlinkTable)
{
    bar->RecordStarted();
    bar->RecordingTimer()->stop();
    const char* waiting[] = {"QLabel{color: #FF0000}", "QLabel{color: #522253}", "QLabel{color: #FF0000}"};
    for (const char* style : waiting) {
        bar->UpdateRecordingTime();
        EXPECT_EQ(bar->TimeLabel()->styleSheet(), QString::fromLatin1(style));
        EXPECT_EQ(bar->TimeLabel()->text(), QStringLiteral("00:00:00"));
    }
    bar->SongRecordStarted();
    for (int s = 1; s <= 3; ++s) {
        bar->UpdateRecordingTime();
        EXPECT_EQ(bar->TimeLabel()->text(), QStringLiteral("00:00:0%1").arg(s));
        EXPECT_EQ(bar->TimeLabel()->styleSheet(), QStringLiteral("QLabel{color: #522253}"));
    }
    bar->SongRecordFinished();
    bar->UpdateRecordingTime();
    EXPECT_EQ(bar->TimeLabel()->text(), QStringLiteral("00:00:00"));
}

TEST_F(ControlBarTest, TrayMenuOrderAndSwap)
{
    const QStringList idle = {"Settings", "|", "Record", "|", "Library", "Exit"};
    EXPECT_EQ(MenuTexts(), idle);
    bar->RecordStarted();
    EXPECT_EQ(MenuTexts(), QStringList({"Settings", "|", "Stop", "|", "Library", "Exit"}));
    bar->RecordStopped();
    EXPECT_EQ(MenuTexts(), idle);
    EXPECT_EQ(bar->TrayIcon()->contextMenu(), bar->TrayMenu());
}

TEST_F(ControlBarTest, VolumeGoesToThePlayerOrToTheEnginePreview)
{
    TraceScope trace;
    bar->SetVolume(40);
    EXPECT_EQ(CountCalls("WM_ChangeVolume"), 1);
    EXPECT_EQ(engine.previewCalls, 0);
    EXPECT_EQ(CAppSettings::GetInstance()->GetVolumeValue(), 40);
    EXPECT_EQ(bar->VolumeSlider()->Value(), 40);

    bar->RecordStarted();
    bar->SongRecordStarted();
    bar->StopPlay();  // must not hand the volume back to the player
    player_test::Calls().clear();
    bar->SetVolume(55);
    EXPECT_EQ(CountCalls("WM_ChangeVolume"), 0);
    EXPECT_EQ(engine.preview, 55);
    EXPECT_EQ(CAppSettings::GetInstance()->GetVolumeValue(), 55);

    bar->RecordStopped();
    bar->VolumeDown();
    EXPECT_EQ(bar->VolumeSlider()->Value(), 0);
    EXPECT_EQ(CAppSettings::GetInstance()->GetVolumeValue(), 0);
    bar->VolumeUp();
    EXPECT_EQ(bar->VolumeSlider()->Value(), 100);
    EXPECT_EQ(player_test::Calls().back(), std::make_pair(std::string("WM_ChangeVolume"), 100LL));
}

TEST_F(ControlBarTest, PausePlayOnlyFromPlayingAndDisablePlayBut)
{
    TraceScope trace;
    bar->PausePlay();
    bar->SetPlayState(CToolBar::Paused);
    bar->PausePlay();
    EXPECT_EQ(CountCalls("WM_Pause"), 0);
    EXPECT_EQ(bar->GetPlayState(), CToolBar::Paused);

    bar->DisablePlayBut(false);
    EXPECT_TRUE(bar->PlayPauseStack()->isEnabled());
    bar->DisablePlayBut(true);
    EXPECT_FALSE(bar->PlayPauseStack()->isEnabled());
    rows.append(player_test::AddSong(1, "a", "b", "01:00", QString()));
    PlayQueue::Instance().items.append(rows.last());
    bar->DisablePlayBut(false);
    EXPECT_FALSE(bar->PlayPauseStack()->isEnabled()) << "a queue with entries changes nothing";
}

TEST_F(ControlBarTest, CreatePlayFailuresLeaveStateAndRow)
{
    TraceScope trace;
    rows.append(player_test::AddSong(2, "gone", "x", "01:00", QStringLiteral("/nonexistent/file.wav")));
    PlayQueue::Instance().items.append(rows.last());
    PlayQueue::Instance().currentIndex = 0;
    EXPECT_EQ(bar->CreatePlay(), -1);
    EXPECT_EQ(bar->GetPlayState(), 0);
    EXPECT_TRUE(rows.last()->icon(CTreeWidgetItem::ColNotice).isNull());

    PlayQueue::Instance().currentIndex = 5;
    EXPECT_EQ(bar->CreatePlay(), 2) << "no entry, no record";
}

TEST_F(ControlBarTest, FailedPlayerCreationDoesNotKeepFilesOpen)
{
    // A sound server that is not there: the file opens, the player cannot be made.
    const QByteArray oldServer = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", QByteArray("unix:") + QFile::encodeName(player_test::PrivateHome().path()) + "/no-server");
    const QString wav = player_test::PrivateHome().path() + "/short.wav";
    {
        CRecordWavWriter writer;
        AudioParam format{};
        format.samplesPerSec = 8000;
        format.channels = 2;
        format.bitsPerSample = 16;
        ASSERT_TRUE(writer.Open(QFile::encodeName(wav).constData(), &format));
        const std::vector<char> silence(8000 * 4, 0);
        writer.Write(silence.data(), static_cast<uint32_t>(silence.size()));
        writer.Close();
    }
    rows.append(player_test::AddSong(3, "short", "x", "00:01", wav));
    PlayQueue::Instance().items.append(rows.last());
    PlayQueue::Instance().currentIndex = 0;

    TraceScope trace;
    EXPECT_EQ(bar->CreatePlay(), -2);
    EXPECT_EQ(bar->GetPlayState(), 0);
    EXPECT_EQ(CountCalls("WM_DeleteFile"), 0) << "the id stays until the next load or stop";
    EXPECT_EQ(bar->CreatePlay(), -2);
    EXPECT_EQ(CountCalls("WM_AddFile"), 2);
    EXPECT_EQ(CountCalls("WM_DeleteFile"), 1) << "the second load released the first id";
    bar->StopPlay();
    EXPECT_EQ(CountCalls("WM_DeleteFile"), 2);
    EXPECT_EQ(bar->PlayInfo()->m_context.fileId, -1);

    if (oldServer.isNull())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", oldServer);
}

TEST_F(ControlBarTest, FullLayoutAtSeveralWidths)
{
    struct Case {
        int width;
        int statusWidth;
        int spectrumW;
        int stackX;
    };
    const Case cases[] = {{1024, 510, 330, 257}, {1400, 600, 420, 400}, {900, 411, 231, 244}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        Resize(c.width);
        EXPECT_EQ(bar->StatusWidth(), c.statusWidth);
        // Where the state word needs more than the design width, the
        // spectrum gives way to it.
        const int grow = std::max(0, StateWordWidth() - 83);
        EXPECT_EQ(bar->StatusLabel()->width(), 83 + grow);
        EXPECT_EQ(bar->Spectrum()->x(), 85 + grow);
        EXPECT_LE(bar->Spectrum()->geometry().right(), c.statusWidth - 83);
        if (grow == 0) {
            EXPECT_EQ(bar->Spectrum()->size(), QSize(c.spectrumW, 40));
        }
        EXPECT_EQ(bar->StatusStack()->x(), c.stackX);
        EXPECT_EQ(bar->VolumeGroup()->geometry().right() + 1, c.width - 75);
        EXPECT_EQ(bar->RecordStack()->pos(), QPoint(25, 7));
        EXPECT_EQ(bar->PlayGroup()->pos(), QPoint(101, 16));
        EXPECT_EQ(bar->TimeLabel()->x(), c.statusWidth - 83);
    }
}

TEST_F(ControlBarTest, GermanLabelWidths)
{
    CAppSettings::GetInstance()->SetLanguage(QStringLiteral("de"));
    bar->Retranslate();
    Resize(1024);
    // 63 unless the bold time text needs more in this font.
    const int timeText = bar->TimeLabel()->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 4;
    const int timeWidth = std::max(63, timeText);
    EXPECT_EQ(bar->StatusLabel()->width(), 103);
    EXPECT_EQ(bar->TimeLabel()->width(), timeWidth);
    EXPECT_GE(bar->TimeLabel()->width(), timeText);
    EXPECT_EQ(bar->Spectrum()->x(), 105);
    EXPECT_EQ(bar->TimeLabel()->x(), 510 - timeWidth);
    // The widened label still starts right of the spectrum.
    EXPECT_GE(bar->TimeLabel()->x(), bar->Spectrum()->geometry().right());
    CAppSettings::GetInstance()->SetLanguage(QStringLiteral("en"));
    bar->Retranslate();
    EXPECT_EQ(bar->StatusLabel()->width(), std::max(83, StateWordWidth()));
    EXPECT_EQ(bar->TimeLabel()->width(), 83);
}

TEST_F(ControlBarTest, ANoteIsShownWholeAndTheStateWordEndsIt)
{
    // Long notes were centred in the state word's width and lost both ends.
    Resize(1024);
    bar->show();
    const QString note = QStringLiteral("Waiting for the sound server");
    bar->SetStatusText(note);
    EXPECT_EQ(bar->StatusLabel()->text(), note);
    EXPECT_GE(bar->StatusLabel()->width(), bar->StatusLabel()->fontMetrics().horizontalAdvance(note));
    EXPECT_LE(bar->StatusLabel()->geometry().right(), bar->TimeLabel()->x());
    EXPECT_FALSE(bar->Spectrum()->isVisible());

    // Every way back to the state word gives the spectrum its place again.
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"restore", [&] { bar->RestoreStatusText(); }},
        {"record stopped", [&] { bar->RecordStopped(); }},
        {"song started", [&] { bar->SongRecordStarted(); }},
        {"retranslate", [&] { bar->Retranslate(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.first);
        bar->SetStatusText(note);
        way.second();
        EXPECT_NE(bar->StatusLabel()->text(), note);
        EXPECT_LT(bar->StatusLabel()->width(), bar->StatusLabel()->fontMetrics().horizontalAdvance(note));
        EXPECT_TRUE(bar->Spectrum()->isVisible());
        EXPECT_GE(bar->Spectrum()->x(), bar->StatusLabel()->geometry().right());
    }
    bar->RecordStopped();
}

TEST_F(ControlBarTest, LanguageChangeKeepsTheStateText)
{
    bar->RecordStarted();
    bar->SongRecordStarted();
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(bar.get(), &change);
    EXPECT_EQ(bar->StatusLabel()->text(), QStringLiteral("Recording"));
}

TEST_F(ControlBarTest, MiniStateSwapsWithThePointer)
{
    bar->show();
    Resize(1024);
    bar->SetPlayState(CToolBar::Playing);
    bar->ChangeMiniState();
    Resize(420);
    EXPECT_TRUE(bar->IsMiniState());
    EXPECT_EQ(bar->height(), 65);
    EXPECT_FALSE(bar->PlayListButton()->isHidden());
    EXPECT_FALSE(bar->DownloadingView()->isHidden());
    // Pointer away: the player panel without its status text.
    EXPECT_FALSE(bar->StatusStack()->isHidden());
    EXPECT_EQ(bar->StatusStack()->currentIndex(), 1);
    EXPECT_TRUE(bar->PlayInfo()->m_statusLabel->isHidden());
    EXPECT_TRUE(bar->PlayGroup()->isHidden());
    EXPECT_EQ(bar->StatusStack()->width(), 270);
    EXPECT_EQ(bar->PlayListButton()->pos(), QPoint(365, 9));

    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(bar.get(), &enter);
    EXPECT_TRUE(bar->StatusStack()->isHidden());
    EXPECT_FALSE(bar->PlayGroup()->isHidden());
    EXPECT_FALSE(bar->RecordStack()->isHidden());
    EXPECT_FALSE(bar->VolumeGroup()->isHidden());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(bar.get(), &leave);
    EXPECT_FALSE(bar->StatusStack()->isHidden());

    bar->SetPlayState(CToolBar::Stopped);
    bar->ChangeMiniState();
    EXPECT_FALSE(bar->IsMiniState());
    EXPECT_EQ(bar->height(), 75);
    for (QWidget* w : {static_cast<QWidget*>(bar->StatusStack()), static_cast<QWidget*>(bar->PlayGroup()),
                       static_cast<QWidget*>(bar->RecordStack()), static_cast<QWidget*>(bar->VolumeGroup())})
        EXPECT_FALSE(w->isHidden());
    EXPECT_TRUE(bar->PlayListButton()->isHidden());
}

// Every state word of the bar and of the player panel, painted by its label
// in every language at the narrowest window, leaves the same ink as the word
// painted whole: nothing of it is cut off ("Wiedergabe" lost its last two
// letters). The panel still has room for both times beside the slider.
TEST_F(ControlBarTest, EveryStateWordShowsWholeInEveryLanguage)
{
    bar.reset();
    program_look::InEveryLanguage([&](double scale, const QString&) {
        bar = std::make_unique<CToolBar>(nullptr, &engine, nullptr);
        bar->show();
        Resize(static_cast<int>(924 * scale));
        bar->Retranslate();
        CPlayInfoGroup* panel = bar->PlayInfo();

        struct State {
            const char* word;
            QLabel* label;
            std::function<void()> enter;
        };
        const State states[] = {
            {"Ready", bar->StatusLabel(), [&] { bar->RecordStopped(); }},
            {"Recording", bar->StatusLabel(), [&] { bar->RecordStarted(); bar->SongRecordStarted(); }},
            {"Playing", panel->m_statusLabel,
             [&] {
                 bar->RecordStopped();
                 bar->SetPlayState(CToolBar::Playing);
                 bar->Retranslate();
             }},
            {"Paused", panel->m_statusLabel, [&] { bar->SetPlayState(CToolBar::Paused); bar->Retranslate(); }},
            {"Ready", panel->m_statusLabel, [&] { bar->StopPlay(); }},
        };
        for (const State& state : states) {
            SCOPED_TRACE(state.word);
            state.enter();
            const QString text = QCoreApplication::translate("CToolBar", state.word);
            ASSERT_EQ(state.label->text().toStdString(), text.toStdString());
            bar->StatusStack()->setCurrentIndex(state.label == panel->m_statusLabel ? 1 : 0);
            panel->layout()->activate();
            const program_look::Ink whole = program_look::InkOfText(text, state.label->font());
            const program_look::Ink shown = program_look::InkOf(state.label->grab().toImage());
            EXPECT_GE(shown.Width(), whole.Width() - 1)
                << text.toStdString() << " in a label " << state.label->width() << " wide";
        }
        for (QLabel* time : {panel->m_elapsedLabel, panel->m_remainingLabel}) {
            time->setText(time == panel->m_elapsedLabel ? QStringLiteral("03:25") : QStringLiteral("-01:12"));
            panel->layout()->activate();
            EXPECT_GE(time->width(), time->minimumSizeHint().width());
            EXPECT_LE(time->geometry().right(), panel->width());
        }
        EXPECT_GE(panel->m_playSlider->width(), static_cast<int>(150 * scale));
        bar.reset();
    });
}

TEST_F(ControlBarTest, GalleryRendersEveryState)
{
    bar.reset();
    for (bool mini : {false, true}) {
        for (int state = 0; state < 3; ++state) {
            ControlBarSample sample;
            sample.mini = mini;
            sample.playing = state == 1;
            sample.recording = state == 2;
            const QImage image = RenderControlBar(sample);
            EXPECT_FALSE(image.isNull());
            EXPECT_EQ(image.height(), mini ? 65 : 75);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    player_test::PrivateHome();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
