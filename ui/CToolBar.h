#pragma once

#include "IRecordStateSource.h"
#include "capdev.h"

#include <QFrame>
#include <QTime>

class CAppSettings;
class CMToolButton;
class CPlayInfoGroup;
class CShowDownloadingView;
class CSlider;
class CSonacapBase;
class IPlayQueueTrack;
class QAction;
class QHBoxLayout;
class QLabel;
class QMenu;
class QStackedWidget;
class QSystemTrayIcon;
class QTimer;
class pcmsink_widget;
struct RecordMusicInfo;

// The control bar at the top of the main window: record/stop, previous,
// play/pause, next, the status area (recording status with time and live
// spectrum, or the player panel) and the volume; also the tray icon and its
// menu, and the compact "mini" strip.
//
// It performs the player operations on the play queue's current entry and
// keeps the play state (0 stopped, 1 playing, 2 paused) and the recording
// state (0 not recording, 2 recording and waiting for a song, 1 a song is
// being recorded), which the main window reads.
//
// Thread contract: GUI thread only. The player's library callback reaches it
// only through the player panel's queued signals.
class CToolBar : public QFrame, public IRecordStateSource
{
    Q_OBJECT
public:
    enum PlayState { Stopped = 0, Playing = 1, Paused = 2 };

    CToolBar(HCAPDEV device, CSonacapBase* engine, QWidget* parent);
    ~CToolBar() override;

    // Player operations on the play queue's current entry.
    // 0 success, 2 no record for the row, -1 the library refused the file,
    // -2 no player could be created.
    int CreatePlay();
    void Play();
    void StopPlay();

    // Recording states, as the main window reports them.
    void RecordStarted();
    void RecordStopped();
    void SongRecordStarted();
    void SongRecordFinished();
    // A note in place of "Recording"/"Ready" (the sound server is away, the
    // window waits for the last song); the next song state replaces it.
    void SetStatusText(const QString& text);
    // Back to the text of the recording state ("Recording" or "Ready").
    void RestoreStatusText();
    void StartDownloadAnimation();

    void Retranslate();
    bool IsMiniState() const { return m_mini; }
    // What the mini strip shows while the pointer is away from it.
    void ShowMiniPage();

    int GetPlayState() const { return m_playState; }
    void SetPlayState(int state) { m_playState = state; }
    int GetRecordState() const override { return m_recordState; }

    // Parts the main window wires and tests look at.
    CMToolButton* RecordStartButton() const { return m_recordStart; }
    CMToolButton* RecordStopButton() const { return m_recordStop; }
    QStackedWidget* RecordStack() const { return m_recordStack; }
    CMToolButton* PreviousButton() const { return m_previous; }
    CMToolButton* PlayButton() const { return m_play; }
    CMToolButton* PauseButton() const { return m_pause; }
    QStackedWidget* PlayPauseStack() const { return m_playPauseStack; }
    CMToolButton* NextButton() const { return m_next; }
    CMToolButton* PlayListButton() const { return m_playListButton; }
    CMToolButton* VolumeMinButton() const { return m_volumeMin; }
    CMToolButton* VolumeMaxButton() const { return m_volumeMax; }
    CSlider* VolumeSlider() const { return m_volumeSlider; }
    QLabel* StatusLabel() const { return m_statusLabel; }
    QLabel* TimeLabel() const { return m_timeLabel; }
    pcmsink_widget* Spectrum() const { return m_spectrum; }
    CPlayInfoGroup* PlayInfo() const { return m_playInfo; }
    QStackedWidget* StatusStack() const { return m_statusStack; }
    QFrame* StatusFrame() const { return m_statusFrame; }
    QFrame* PlayGroup() const { return m_playGroup; }
    QFrame* VolumeGroup() const { return m_volumeGroup; }
    CShowDownloadingView* DownloadingView() const { return m_downloading; }
    QSystemTrayIcon* TrayIcon() const { return m_trayIcon; }
    QMenu* TrayMenu() const { return m_trayMenu; }
    QAction* RecordAction() const { return m_recordAction; }
    QAction* StopAction() const { return m_stopAction; }
    QAction* LibraryAction() const { return m_libraryAction; }
    QAction* SettingsAction() const { return m_settingsAction; }
    QAction* QuitAction() const { return m_quitAction; }
    QTimer* RecordingTimer() const { return m_recordTimer; }
    QTime RecordingTime() const { return m_recordTime; }
    int StatusWidth() const { return m_statusWidth; }
    int SpectrumWidth() const { return m_spectrumWidth; }
    HCAPDEV Device() const { return m_device; }

    static QString NormalTrayIconPath();
    static QString RecordingTrayIconPath();

signals:
    void SigVolumeChanged(int value);

public slots:
    void PausePlay();
    void VolumeDown();
    void VolumeUp();
    void SetVolume(int value);
    void RefreshPlayInfo(IPlayQueueTrack* item);
    void DisablePlayBut(bool disable);
    void UpdateRecordingTime();
    void ChangeMiniState();
    void AutoDownloadFinish(IPlayQueueTrack* item);
    void MusicInfoToUiSlot(const RecordMusicInfo* info);

protected:
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildTray();
    void ApplyStateSizes();
    // Places the state word or note, the spectrum and the time in the status
    // frame: the language's design widths, widened where the font needs it.
    void ApplyStatusGeometry();
    // Shows "Ready" or "Recording", ending a note of SetStatusText.
    void ShowStateText(const QString& text);
    int StateLabelWidth(bool german);
    void SetTrayIcon(const QString& path);
    static bool IsGerman();
    // The time label's width: the language's design width, widened to the
    // widest time text in the label's font when that font runs wider.
    int TimeLabelWidth(bool german);

    CMToolButton* m_recordStart;
    CMToolButton* m_recordStop;
    QStackedWidget* m_recordStack;
    CMToolButton* m_previous;
    CMToolButton* m_play;
    CMToolButton* m_pause;
    QStackedWidget* m_playPauseStack;
    CMToolButton* m_next;
    QHBoxLayout* m_playLayout;
    QLabel* m_statusLabel;
    pcmsink_widget* m_spectrum;
    QLabel* m_timeLabel;
    QFrame* m_playGroup;
    QFrame* m_volumeGroup;
    QFrame* m_statusFrame;
    bool m_mini = false;
    CShowDownloadingView* m_downloading;
    int m_statusWidth = 0;
    int m_spectrumWidth = 0;
    // The spectrum's full-size width from the last resize (0 before it).
    int m_spectrumFixedWidth = 0;
    // The player's slider width from the last full-state resize (0 before).
    int m_sliderDesignWidth = 0;
    // The status label shows a note of SetStatusText, not the state word.
    bool m_statusNote = false;
    CSonacapBase* m_engine;
    CMToolButton* m_playListButton;
    QAction* m_settingsAction = nullptr;
    QAction* m_quitAction = nullptr;
    QTime m_recordTime;
    CPlayInfoGroup* m_playInfo;
    QStackedWidget* m_statusStack;
    CSlider* m_volumeSlider;
    CMToolButton* m_volumeMin;
    CMToolButton* m_volumeMax;
    QHBoxLayout* m_volumeLayout;
    QTimer* m_recordTimer;
    CAppSettings* m_settings;
    int m_playState = Stopped;
    int m_recordState = 0;
    HCAPDEV m_device;
    QAction* m_recordAction = nullptr;
    QAction* m_stopAction = nullptr;
    QAction* m_libraryAction = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    QMenu* m_trayMenu = nullptr;
};
