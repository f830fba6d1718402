#pragma once

// The program's main window and the owner of the recording engine: hosts the
// start page, the recording view and the library, drives the engine, turns its
// notifications into library rows, runs the play queue, the scheduled task,
// the menu, the Edit commands and the closing questions.
//
// Thread contract: everything runs on the GUI thread except OnRecorderNotify,
// which the engine calls on its processing thread. That side touches only
//   - m_capture (engine thread only),
//   - the spectrum's ring buffer (guarded by its own mutex),
//   - the atomic flags m_recordingStopped, m_songIdentified, m_closing,
//     m_lastFreeBytes and the song serial m_songSerial,
//   - m_openSongPath (guarded by m_songPathLock),
//   - the settings getter (locks itself), the recognizer's recognition calls,
// and emits signals that reach this window's slots queued on the GUI thread.

#include "CMyWindowFrame.h"
#include "CPreferencesDialog.h"
#include "CRecognitionCapture.h"
#include "CRecordWavWriter.h"
#include "MusicRecords.h"
#include "Sonacap.h"
#include "capdev.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <QTime>
#include <QVariant>

#include <atomic>
#include <functional>

class CACRrecognize;
class CSongEndPipeline;
class CAppSettings;
class CBugReport;
class CPopupPlayList;
class CReadyWidget;
class CRecordingWidget;
class CShowListWidget;
class CSkinMainWidget;
class CSplitter;
class CStatusBar;
class CToolBar;
class CTreeLib;
class CTreeWidgetItem;
class IPlayQueueTrack;
class ProductUpdateInfo;
class QAction;
class QDialog;
class QStackedWidget;
class QTimer;
class QTreeWidgetItem;
class QUrl;

// The engine's notification callback (engine thread); `user` is the CMainUI.
void RecorderNotifyCallback(void* user, tagSonacapNotify code, void* param);

class CMainUI : public CMyWindowFrame {
    Q_OBJECT
public:
    // The process-wide translators main() loaded; the application's is
    // installed once more at construction, Qt's is replaced by LoadLanguage.
    static void SetTranslators(class QTranslator* application, class QTranslator* qt);

    explicit CMainUI(QWidget* parent = nullptr);
    ~CMainUI() override;

    // The update check's start-up result and the automatic check when it is
    // due (main() calls it after show()).
    void CheckUpdateOnStart();

    // The engine thread's entry (RecorderNotifyCallback calls it).
    void OnRecorderNotify(int code, void* param);

    // A MicrophoneProbe value (RecordingProbes.h): 1 microphone access
    // denied, -1 failure, -2 the sound server does not answer, 0 otherwise.
    virtual int CheckMixFormat();

    // Seams: the time of day for the scheduled task.
    using Clock = std::function<QTime()>;
    void SetClock(Clock clock) { m_clock = std::move(clock); }
    QTime Now() const;
    // Seam for the recognition capture's monotonic clock (engine thread).
    CRecognitionCapture& Capture() { return m_capture; }

    // Parts the tests and the program's own pieces look at.
    CToolBar* ControlBar() const { return m_toolBar; }
    CStatusBar* StatusBar() const { return m_statusBar; }
    CTreeLib* TreeLib() const { return m_treeLib; }
    CReadyWidget* ReadyPage() const { return m_readyWidget; }
    CShowListWidget* LibraryPage() const { return m_showList; }
    CRecordingWidget* RecordingPage() const { return m_recordingWidget; }
    QStackedWidget* CentreStack() const { return m_centerWidget; }
    CSplitter* Splitter() const { return m_splitter; }
    CSkinMainWidget* LibraryPanel() const { return m_libraryPanel; }
    QTimer* TaskStartTimer() const { return m_taskStartTimer; }
    QTimer* TaskStopTimer() const { return m_taskStopTimer; }
    CSonacapBase* Engine() const { return m_engine; }
    CACRrecognize* Recognizer() const { return m_recognizer; }
    CPopupPlayList* PopupPlayList() const { return m_popPlayList; }
    CBugReport* BugReportDialog() const { return m_bugReport; }
    HCAPDEV Device() const { return m_audioDevice; }
    QList<QAction*> MenuActions() const;
    int CutSource() const { return m_cutSource; }
    // The card kind given to the last completed recording (0 before any).
    int LastCardKind() const { return m_lastCardKind; }
    bool IsRecordingStopped() const { return m_recordingStopped.load(); }
    bool IsSongIdentified() const { return m_songIdentified.load(); }
    QString OpenSongPath();
    // A close that waits for the engine to finish the song the user stopped,
    // and the note shown while it takes long.
    bool IsClosePending() const { return m_closePending; }
    QDialog* CloseNote() const { return m_closeNote; }
    // Capture lost (the sound server went away or hangs) and not back yet.
    bool IsCaptureLost() const { return m_captureLost; }
    // The owner of every song from its start until it is in the library.
    CSongEndPipeline* SongEnd() const { return m_songEnd; }
    // Songs that ended and are not in the library yet.
    bool IsFinishingSongs() const;

    // What the engine is configured with: the off-values as the engine takes
    // them, and the input device only when one is recorded.
    struct EngineSetup {
        int recordMode = 0;
        int sampleRate = 0;
        int splitValue = 0;
        int minimumLength = 0;
        QString device;
        bool operator==(const EngineSetup& other) const
        {
            return recordMode == other.recordMode && sampleRate == other.sampleRate
                && splitValue == other.splitValue && minimumLength == other.minimumLength && device == other.device;
        }
        bool operator!=(const EngineSetup& other) const { return !(*this == other); }
    };
    EngineSetup LastEngineSetup() const { return m_lastSetup; }

    // The held-Delete counter (every sixth auto-repeat passes).
    static int DeleteRepeatCounter();
    static void ResetDeleteRepeatCounter();

signals:
    void NewFileCreated(int created);
    // The engine's songs, each named by its serial (engine thread).
    void RecorderModuleMusicStartSignal(int serial);
    void RecorderModuleCompleteSignal(int serial, QString path);
    void RecognitionAskedSignal(int serial);
    void DiskNoEnoughSignal();
    void SigShowMultiChannelTips();
    void SongWriteFailedSignal(int reason, int systemError, QString folder, QString keptPath);
    void CaptureLostSignal();
    void CaptureRestoredSignal();

public slots:
    // The program is asked to end (SIGTERM): a recording ends as Stop ends
    // it, its song is stored, and the program quits without a question.
    void QuitFinishingRecording();

    // Recording control.
    void RecorderModuleStart();
    void RecorderModuleStop();
    bool IsNeedReset();
    // The same with the probe this Record press made already.
    bool IsNeedReset(int probe);
    void CreateNewFile(int created);
    void DiskNoEnoughSlot();
    void ShowMultiChannelTips();
    void SongWriteFailedSlot(int reason, int systemError, QString folder, QString keptPath);
    void CaptureLostSlot();
    void CaptureRestoredSlot();

    // Song completion and recognition.
    void IdentificationCompletedSlot(QMap<QString, QVariant> result);
    void RecorderModuleMusicStartSlot(int serial);
    void RecorderModuleCompleteSlot(int serial, QString path);

    // Play queue and playback.
    void StartPlay(const QList<IPlayQueueTrack*>& items, int index = -1);
    void StartNewPlay(int index);
    void StartNewPlay() { StartNewPlay(-1); }
    void StartLastPlay();
    void PlayNext();
    void PlayLast();
    void PlayMusic(CTreeWidgetItem* item);
    void PlayRecordingList(CTreeWidgetItem* item);
    void StartPlayAllList();
    void ShowPopPlayList();
    void PopItemDoubleClick(CTreeWidgetItem* item);
    void PopWidgetHide();
    void StartPalyRecord();
    void SetVolume(int volume);

    // Scheduled task.
    void SetTask();
    void StartRecordTask();
    void StopRecordTask();

    // Pages, dialogs, links.
    void ChangeShowWidget(int listId);
    void ShowLibrary();
    void ShowMedia();
    void ShowRecording();
    void RecordingSetting();
    void RecordingSourceSetting();
    void RecordingTaskSetting();
    void SetPreferences(CPreferencesDialog::CPfType page);
    void SetPreferences() { SetPreferences(0); }
    void About();
    void BugReport();
    void UpdataSoft(bool show);
    void UpdataSoft() { UpdataSoft(true); }
    void OnlineHelp();
    void HomePage();
    void Support();
    void OpenFaceBook();
    void OpenTwiiter();
    void TranslateForUs();
    void LoadLanguage();

    // Edit operations and lists.
    void MenuBarCopy();
    void MenuBarCut();
    void MenuBarPaste();
    void MenuBarSelectAll();
    void MenuBarClearSelect();
    void AddPlayList();
    void triggered(QAction* action);
    void DragItemToList(QString ids, int listId);
    void itemChanged(QTreeWidgetItem* item);
    void DeleteMusic();
    void DeleteMusic(CTreeWidgetItem* item);
    void DeleteMusic(QList<QTreeWidgetItem*> rows, int listId);
    void DeleteMusicList();
    void AddToiTunes();
    void AddAllMusicToiTunes();
    void EditMusic(CTreeWidgetItem* item);
    void MusicSelectionChanged() {}

protected:
    // Seams for the tests: every modal dialog and message box goes through
    // ExecDialog, every web page through OpenUrl, the conflicting-tool check
    // through IsConflictingToolRunning.
    virtual int ExecDialog(QDialog* dialog);
    // A notice: nothing to choose, so nothing waits for it. Shown without
    // blocking, deleted when closed, closed with the window; while one of the
    // same kind and text is open, that one is raised instead.
    virtual void ShowNotice(QDialog* notice);
    virtual bool OpenUrl(const QUrl& url);
    virtual bool IsConflictingToolRunning();

    // The second click of a double click on Record or Stop belongs to the
    // first: it is dropped before the button that took the first one's place
    // sees it, however long the first click's work held the window.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void InitMainWindow();
    void InitRecorderModule();
    void CreateMainWidgets();
    void CreateMenuBar();
    void ConnectSignals();
    void ConfigureEngineAtStart();
    void TellLibraryProblemAtStart();
    // The engine settings the stored preferences ask for: what a
    // configuration gives the engine and what a Record press compares with
    // the last one given.
    EngineSetup SetupFromSettings() const;
    // Replaces Qt's own translator by the one of `language`.
    static void ReplaceQtTranslator(const QString& language);

    // Engine thread: the 22-second hand-off to recognition.
    void HandCaptureToRecognition(const AudioClip& clip);

    // Song completion (GUI thread): the pipeline finished a song, stored in
    // the library or not.
    void SongStoredSlot(CTreeWidgetItem* row, qint64 seconds, const QString& reported);
    void SongGoneSlot(const QString& reported, const QString& onDisk);
    // What waits for a song to be finished (the failed-write notice naming it).
    void RunAfterSong(const QString& reported);
    void TellSongWriteFailed(int reason, int systemError, QString folder, QString keptPath);
    // Once per recording: new songs stay in the output folder only.
    void TellLibraryNotWritable(const QString& reason);
    void TellLibraryFull();
    // Where the song the engine reported as `reported` is now on disk (empty:
    // it is gone), for what is said about it afterwards.
    void NoteSongOnDisk(const QString& reported, const QString& onDisk);
    // The window's side of a stop the engine made by itself (full disk, failed
    // write): no question, no notice about recognition.
    void ShowRecordingStopped();
    // Why the engine refused to record, in the user's words.
    QString EngineFailureText(int code) const;
    // A close that waited for the last song goes on once that song is stored.
    void ContinuePendingClose();
    void ShowCloseNote();

    // Play queue helpers.
    int PlayCurrentItem();
    bool ConfirmStopRecording();
    QList<CTreeWidgetItem*> GetPlayableItems();
    int RemoveMissingItems(QList<CTreeWidgetItem*>& items);
    void AfterDeletePlayingMusic(int isPlaying);
    void AddFinishedRecording(CTreeWidgetItem* row, int flag);
    void EnablePlayButtonIfPlayable();
    bool IsRecordingBusy() const;

    QList<CTreeWidgetItem*> AddItemsToList(QList<CTreeWidgetItem*> rows, int listId);
    // The export dialog for the rows whose files exist.
    void ExportToiTunes(QList<CTreeWidgetItem*> rows);
    // After PlayNext or PlayLast moved the index: open the entry, refresh the
    // cover view when the queue's list is shown, and play.
    void PlayMovedEntry();
    bool IsLibraryPageShown() const;
    void OpenLink(const QString& link, bool raiseAfter);
    // Removes a song being recorded: its row, covers, database record and,
    // once the engine no longer writes it, its file.
    void DiscardRecordingRow(bool removeFile);
    // A simple question through the program's dialog.
    int Ask(const QString& text, const QList<QPair<int, QString>>& buttons, int defaultIndex);
    // A notice with one "Ok" through the program's dialog (ShowNotice).
    void Notice(const QString& text);
    // While another program holds the library, a change the user asks for
    // (a deletion, a list added, renamed, deleted or filled) is refused with
    // a notice before anything changes: true then. The library would refuse
    // it anyway, and the view must not show what the library does not hold.
    bool RefuseWhileLibraryInUse();

    CRecordWavWriter m_wavWriter;
    std::atomic<bool> m_recordingStopped{false};
    QAction* m_aboutAction = nullptr;
    QAction* m_settingsAction = nullptr;
    QAction* m_menu = nullptr;
    QAction* m_helpAction = nullptr;
    QAction* m_homePageAction = nullptr;
    QAction* m_supportAction = nullptr;
    QAction* m_bugReportAction = nullptr;
    QAction* m_translateAction = nullptr;
    QAction* m_updateAction = nullptr;
    std::atomic<bool> m_songIdentified{false};
    CToolBar* m_toolBar = nullptr;
    CStatusBar* m_statusBar = nullptr;
    CTreeLib* m_treeLib = nullptr;
    CReadyWidget* m_readyWidget = nullptr;
    CShowListWidget* m_showList = nullptr;
    CRecordingWidget* m_recordingWidget = nullptr;
    int m_Mode = -1;
    CSplitter* m_splitter = nullptr;
    CSkinMainWidget* m_libraryPanel = nullptr;
    QStackedWidget* m_centerWidget = nullptr;
    QTimer* m_taskStartTimer = nullptr;
    QTimer* m_taskStopTimer = nullptr;
    CACRrecognize* m_recognizer = nullptr;
    CAppSettings* m_settings = nullptr;
    EngineSetup m_lastSetup;
    CBugReport* m_bugReport = nullptr;
    HCAPDEV m_audioDevice = nullptr;
    CPopupPlayList* m_popPlayList = nullptr;
    ProductUpdateInfo* m_updateInfo = nullptr;
    CSonacapBase* m_engine = nullptr;
    ISonacapDriverSetup* m_driverSetup = nullptr;
    CPreferencesDialog* m_preferences = nullptr;
    int m_cutSource = -1;
    int m_lastCardKind = 0;
    int m_bodyHeight = 0;
    Clock m_clock;

    // Engine-thread state of the song being recorded (see the contract above).
    CRecognitionCapture m_capture;
    AudioParam m_captureFormat{};
    QMutex m_songPathLock;
    // The song file open in the engine, empty between songs; while the window
    // closes, the file the engine finished last.
    QString m_openSongPath;
    std::atomic<bool> m_closing{false};
    std::atomic<int> m_songSerial{0};   // the song open in the engine (or the last one); 0 before any
    std::atomic<quint64> m_lastFreeBytes{0};

    // GUI thread.
    bool m_engineReady = false;       // the engine's capture is set up as m_lastSetup says
    bool m_captureLost = false;
    bool m_libraryProblemTold = false;
    bool m_closePending = false;      // closing once the stopped song is stored
    bool m_closeAnyway = false;       // the user chose not to wait for it
    bool m_discardOpenSong = false;   // the user agreed to lose the song being recorded
    bool m_quitRequested = false;     // QuitFinishingRecording: close without questions, then quit
    QTimer* m_closeWaitTimer = nullptr;
    QPointer<QDialog> m_closeNote;
    QPointer<QDialog> m_captureNotice;
    QList<QPointer<QDialog>> m_notices;   // open notices (ShowNotice)
    QString m_lastSongReported;   // the last completed song as the engine named it
    QString m_lastSongOnDisk;     // ... and as it is on disk after its completion
    CSongEndPipeline* m_songEnd = nullptr;
    // Work waiting for the song the engine reported as the key to be finished.
    QList<QPair<QString, std::function<void()>>> m_afterSong;
};
