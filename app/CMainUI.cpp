// The main window's construction, wiring, start-up engine configuration and
// teardown.
#include "CMainUI.h"

#include "CACRrecognize.h"
#include "CAppSettings.h"
#include "CBugReport.h"
#include "CDeleteDialog.h"
#include "CGUITavrelRegister.h"
#include "CGraphicsView.h"
#include "CMToolButton.h"
#include "CMusicTagsEditDialog.h"
#include "CMusicInfoTreeWidget.h"
#include "CPlayInfoGroup.h"
#include "CPopupPlayList.h"
#include "CReadyWidget.h"
#include "CRecordingWidget.h"
#include "CShowListWidget.h"
#include "CSongEndPipeline.h"
#include "CSkinMainWidget.h"
#include "CSplitter.h"
#include "CStatusBar.h"
#include "CToolBar.h"
#include "CTreeLib.h"
#include "CTreeWidgetItem.h"
#include "DesktopLinks.h"
#include "DialogSeams.h"
#include "EngineFactory.h"
#include "InterfaceScale.h"
#include "LibraryServices.h"
#include "LibrarySeams.h"
#include "MusicDatabase.h"
#include "PlayQueue.h"
#include "ProductUpdateInfo.h"
#include "SystemHelpers.h"

#include <QAction>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMutexLocker>
#include <QPixmap>
#include <QPointer>
#include <QStackedWidget>
#include <QDialogButtonBox>
#include <QTimer>
#include <QTranslator>

#include <memory>

namespace {
// A QPointer: the preferences dialog deletes it when the language changes.
QPointer<QTranslator> g_appTranslator;
QTranslator* g_qtTranslator = nullptr;
} // namespace

void CMainUI::SetTranslators(QTranslator* application, QTranslator* qt)
{
    g_appTranslator = application;
    g_qtTranslator = qt;
}

void CMainUI::ReplaceQtTranslator(const QString& language)
{
    // The previous language's Qt texts go: a language without a Qt catalogue
    // (English) would otherwise go on showing them.
    if (g_qtTranslator)
        QCoreApplication::removeTranslator(g_qtTranslator);
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qt_") + language + QStringLiteral(".qm"),
                         QCoreApplication::applicationDirPath() + QStringLiteral("/language")))
        QCoreApplication::installTranslator(translator);
    g_qtTranslator = translator;
}

void RecorderNotifyCallback(void* user, tagSonacapNotify code, void* param)
{
    if (user)
        static_cast<CMainUI*>(user)->OnRecorderNotify(static_cast<int>(code), param);
}

CMainUI::CMainUI(QWidget* parent) : CMyWindowFrame(parent, Qt::WindowFlags(1))
{
    m_clock = [] { return QTime::currentTime(); };
    PlayQueue::Instance().Clear();
    SetPlayingItemSource([] { return CTreeWidgetItem::FromQueue(PlayQueue::Instance().Current()); });
    // The question dialog and the bug report stand above the library and the
    // notices that ask for them. The library's questions run as the window's
    // own do; so do its notices (one button, nothing to choose), which wait
    // for nobody.
    SetQuestionAsker([this](QWidget* parent, const QString& text, const QList<DialogButtonInfo>& buttons,
                            bool checkBox, bool* checked) {
        if (buttons.size() == 1 && !checkBox) {
            if (checked)
                *checked = false;
            ShowNotice(new CDeleteDialog(text, buttons, this));
            return buttons.first().StandardButton;
        }
        CDeleteDialog dialog(text, buttons, parent, checkBox, false);
        dialog.setModal(true);
        const int result = ExecDialog(&dialog);
        if (checked)
            *checked = dialog.IsChecked();
        return result;
    });
    // A page or folder that nothing on the desktop could open: a notice,
    // which waits for nobody.
    SetDesktopNotice([this](QWidget*, const QString& text) { Notice(text); });
    SetBugReportOpener([] {
        CBugReport report(nullptr);
        report.setModal(true);
        report.exec();
    });
    // "Edit Music Tags" of the library page and of a recording card.
    SetTagEditorRunner([this](MusicInfoRow* record, QWidget* parent) {
        CMusicTagsEditDialog editor(record, parent);
        editor.setModal(true);
        return ExecDialog(&editor) == QDialog::Accepted;
    });

    setContextMenuPolicy(Qt::NoContextMenu);
    m_recognizer = new CACRrecognize;
    setFocusPolicy(Qt::ClickFocus);
    if (g_appTranslator)
        QCoreApplication::installTranslator(g_appTranslator);

    InitMainWindow();
    CreateMainWidgets();

    const int w = ScaledPixels(924);
    const int h = ScaledPixels(610);
    setMinimumSize(w, h);
    resize(w, h);
    setSizePolicy(QSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum));

    ConnectSignals();
}

void CMainUI::InitMainWindow()
{
    m_settings = CAppSettings::GetInstance();
    m_audioDevice = AudioDevCreate();
    if (!m_audioDevice)
        qWarning() << "AudioDevCreate failed!";

    m_taskStartTimer = new QTimer(this);
    m_taskStopTimer = new QTimer(this);
    connect(m_taskStartTimer, &QTimer::timeout, this, &CMainUI::StartRecordTask);
    connect(m_taskStopTimer, &QTimer::timeout, this, &CMainUI::StopRecordTask);

    const QString title = m_settings->GetDisplayName();
    CGUITavrelRegister::GetInstance()->InitUpdateCheck();
    m_updateInfo = new ProductUpdateInfo;

    SetWindowTitle(title);
    const int side = ScaledPixels(128);
    SetWindowIcon(QIcon(QPixmap(QStringLiteral(":/prefix/res/about_icon.png"))
                            .scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation)));

    InitRecorderModule();
}

void CMainUI::InitRecorderModule()
{
    QString appData;
    GetSpecialFolderPath(appData, kFolderAppData);
    const QString recorder = appData + QDir::separator() + QStringLiteral("recorder") + QDir::separator();
    const QByteArray work = (recorder + QStringLiteral("work")).toUtf8();
    const QByteArray log = (recorder + QStringLiteral("log")).toUtf8();
    CreateDirectoryTree(work.constData());
    CreateDirectoryTree(log.constData());

    IEngineFactory* factory = GetEngineFactory();
    factory->InitModule(work.constData(), log.constData());
    m_engine = factory->CreateEngine();
    if (m_engine)
        m_engine->RegCallback(RecorderNotifyCallback, this);
    m_driverSetup = factory->CreateDriverSetup();
}

void CMainUI::CreateMainWidgets()
{
    setObjectName(QStringLiteral("mainWindow"));

    m_toolBar = new CToolBar(m_audioDevice, m_engine, this);
    AddToolBar(m_toolBar);

    m_centerWidget = new QStackedWidget(this);
    m_centerWidget->setObjectName(QStringLiteral("centerWidget"));
    m_centerWidget->setStyleSheet(
        QStringLiteral("QStackedWidget#centerWidget{border-right-width: %1px;border-right-color: #FFFFFF;}")
            .arg(20.0 * GetInterfaceScale()));

    m_readyWidget = new CReadyWidget(m_audioDevice, m_centerWidget);
    m_recordingWidget = new CRecordingWidget(m_centerWidget);
    m_libraryPanel = new CSkinMainWidget(m_centerWidget);

    m_splitter = new CSplitter(m_libraryPanel);
    m_splitter->setHandleWidth(1);
    m_treeLib = new CTreeLib(m_toolBar, m_splitter);
    m_showList = new CShowListWidget(m_treeLib->GetListItems(), m_toolBar, m_splitter);
    m_recordingWidget->SetTagWriter(m_showList->TagWriter());
    m_recordingWidget->SetLibraryPage(m_showList);
    m_treeLib->SetLibraryPage(m_showList);
    m_treeLib->setMinimumWidth(ScaledPixels(230));
    m_showList->setMinimumWidth(ScaledPixels(400));
    m_splitter->addWidget(m_treeLib);
    m_splitter->addWidget(m_showList);
    m_splitter->setCollapsible(0, false);
    m_splitter->setCollapsible(1, false);

    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);
    m_libraryPanel->setLayout(layout);

    m_centerWidget->addWidget(m_readyWidget);
    m_centerWidget->addWidget(m_recordingWidget);
    m_centerWidget->addWidget(m_libraryPanel);
    m_centerWidget->setCurrentIndex(0);
    SetCentralWidget(m_centerWidget);

    m_statusBar = new CStatusBar(m_audioDevice, this);
    SetStatusBar(m_statusBar);

    CreateMenuBar();
    m_bugReport = nullptr;
}

void CMainUI::CreateMenuBar()
{
    QMenu* menu = MenuBar()->addMenu(QStringLiteral(" "));
    m_menu = menu->menuAction();
    m_settingsAction = menu->addAction(tr("Settings"));
    m_settingsAction->setMenuRole(QAction::PreferencesRole);
    menu->addSeparator();
    m_helpAction = menu->addAction(tr("Online Help"));
    m_homePageAction = menu->addAction(tr("Home Page"));
    m_supportAction = menu->addAction(tr("Support"));
    menu->addSeparator();
    m_updateAction = menu->addAction(tr("Check for Updates"));
    connect(m_updateAction, &QAction::triggered, this, [this] { UpdataSoft(); });
    m_bugReportAction = menu->addAction(tr("Bug Report"));
    menu->addSeparator();
    m_aboutAction = menu->addAction(tr("About"));
    m_aboutAction->setMenuRole(QAction::AboutQtRole);
    menu->addSeparator();
    m_translateAction = menu->addAction(tr("Translate Sonacap for us"));
}

QList<QAction*> CMainUI::MenuActions() const
{
    return {m_settingsAction, m_helpAction,      m_homePageAction, m_supportAction,
            m_updateAction,   m_bugReportAction, m_aboutAction,    m_translateAction};
}

void CMainUI::ConnectSignals()
{
    connect(m_settingsAction, &QAction::triggered, this, &CMainUI::RecordingSetting);
    connect(m_homePageAction, &QAction::triggered, this, &CMainUI::HomePage);
    connect(m_supportAction, &QAction::triggered, this, &CMainUI::Support);
    connect(m_helpAction, &QAction::triggered, this, &CMainUI::OnlineHelp);
    connect(m_aboutAction, &QAction::triggered, this, &CMainUI::About);
    connect(this, &CMainUI::NewFileCreated, this, &CMainUI::CreateNewFile);
    connect(this, &CMyWindowFrame::MiniStateChanged, m_toolBar, &CToolBar::ChangeMiniState);
    connect(this, &CMainUI::RecorderModuleMusicStartSignal, this, &CMainUI::RecorderModuleMusicStartSlot);
    connect(this, &CMainUI::RecorderModuleCompleteSignal, this, &CMainUI::RecorderModuleCompleteSlot);
    m_songEnd = new CSongEndPipeline(m_showList);
    connect(this, &CMainUI::RecognitionAskedSignal, m_songEnd, &CSongEndPipeline::RecognitionAsked);
    connect(m_songEnd, &CSongEndPipeline::SongStored, this, &CMainUI::SongStoredSlot);
    connect(m_songEnd, &CSongEndPipeline::SongGone, this, &CMainUI::SongGoneSlot);
    connect(m_songEnd, &CSongEndPipeline::LibraryNotWritable, this, &CMainUI::TellLibraryNotWritable);
    connect(this, &CMainUI::DiskNoEnoughSignal, this, &CMainUI::DiskNoEnoughSlot);
    connect(m_toolBar->RecordStartButton(), &QToolButton::clicked, this, &CMainUI::RecorderModuleStart);
    connect(m_toolBar->RecordStopButton(), &QToolButton::clicked, this, &CMainUI::RecorderModuleStop);
    // Record and Stop share one place: the second click of a double click
    // lands on the button that took the first one's place.
    for (QObject* button : {static_cast<QObject*>(m_toolBar->RecordStartButton()),
                            static_cast<QObject*>(m_toolBar->RecordStopButton()),
                            static_cast<QObject*>(m_readyWidget->RecordButton())})
        button->installEventFilter(this);
    connect(m_toolBar->RecordAction(), &QAction::triggered, this, &CMainUI::RecorderModuleStart);
    connect(m_toolBar->StopAction(), &QAction::triggered, this, &CMainUI::RecorderModuleStop);
    connect(m_toolBar->LibraryAction(), &QAction::triggered, this, &CMainUI::ShowLibrary);
    connect(m_toolBar->PreviousButton(), &QToolButton::clicked, this, &CMainUI::PlayLast);
    connect(m_toolBar->PlayButton(), &QToolButton::clicked, this, &CMainUI::StartLastPlay);
    connect(m_toolBar->NextButton(), &QToolButton::clicked, this, &CMainUI::PlayNext);
    connect(m_toolBar->PlayInfo(), &CPlayInfoGroup::PlayFinished, this, &CMainUI::PlayNext);
    connect(m_toolBar->SettingsAction(), &QAction::triggered, this, &CMainUI::RecordingSetting);
    connect(m_recognizer, &CACRrecognize::signalGetResult, this, &CMainUI::IdentificationCompletedSlot);
    // A recognised song's data is its own before the cover comes: told first
    // that a later result follows, the song takes the data and waits on.
    connect(m_recognizer, &CACRrecognize::signalIdentified, this, [this](QMap<QString, QVariant> data) {
        m_songEnd->ExpectCover(data.value(QStringLiteral("identify")).toInt());
        IdentificationCompletedSlot(data);
    });
    connect(m_toolBar->QuitAction(), &QAction::triggered, this, &QWidget::close);
    connect(m_toolBar->PlayListButton(), &QToolButton::clicked, this, &CMainUI::ShowPopPlayList);
    connect(m_treeLib, &CTreeLib::SelectChanged, this, &CMainUI::ChangeShowWidget);
    connect(m_treeLib->PlayAction(), &QAction::triggered, this, &CMainUI::StartPlayAllList);
    connect(m_treeLib->DeleteAction(), &QAction::triggered, this, &CMainUI::DeleteMusicList);
    connect(m_treeLib, &CTreeLib::listNameChanged, this, &CMainUI::itemChanged);
    connect(m_treeLib->ITunesAction(), &QAction::triggered, this, &CMainUI::AddAllMusicToiTunes);
    connect(m_treeLib->PlayListTree(), &CAcDopTreeWidget::DragItemToList, this, &CMainUI::DragItemToList);
    connect(m_readyWidget->RecordButton(), &QToolButton::clicked, this, &CMainUI::RecorderModuleStart);
    connect(m_readyWidget->SourcesButton(), &QToolButton::clicked, this, &CMainUI::RecordingSourceSetting);
    connect(m_showList->PlayAction(), &QAction::triggered, this, [this] { StartNewPlay(-1); });
    connect(m_showList->DeleteAction(), &QAction::triggered, this, [this] { DeleteMusic(); });
    connect(m_showList->PlayListMenu(), &QMenu::triggered, this, &CMainUI::triggered);
    connect(m_showList->TrackList(), &QTreeWidget::itemSelectionChanged, this, &CMainUI::MusicSelectionChanged);
    connect(m_showList->TrackList(), &CMusicInfoTreeWidget::itemLeftButtonDoubleClicked, this,
            [this](QTreeWidgetItem*) { StartNewPlay(-1); });
    connect(m_showList->CoverFlow(), &CGraphicsView::DoubleClickItem, this,
            [this](int index) { StartNewPlay(index); });
    connect(m_showList->ITunesAction(), &QAction::triggered, this, &CMainUI::AddToiTunes);
    connect(m_showList, &CShowListWidget::MusicInOtherListDeleted, m_treeLib, &CTreeLib::SetListItemNum);
    connect(m_showList, &CShowListWidget::ListCountChanged, m_treeLib, &CTreeLib::SetListItemNum);
    connect(m_showList->TrackList(), &CMusicInfoTreeWidget::itemDragReleased, m_treeLib->PlayListTree(),
            &CAcDopTreeWidget::dragRelease);
    connect(m_showList->TrackList(), &CMusicInfoTreeWidget::borderPressed, this, &CMyWindowFrame::mousePressed);
    connect(m_showList->TrackList(), &CMusicInfoTreeWidget::mouseRelease, this, &CMyWindowFrame::mouseReleased);
    connect(m_recordingWidget, &CRecordingWidget::PlayMusic, this, &CMainUI::PlayRecordingList);
    connect(m_recordingWidget, &CRecordingWidget::DeleteMusic, this,
            static_cast<void (CMainUI::*)(CTreeWidgetItem*)>(&CMainUI::DeleteMusic));
    connect(m_recordingWidget, &CRecordingWidget::EditMusic, this, &CMainUI::EditMusic);
    connect(m_showList, &CShowListWidget::FilterListToNull, m_toolBar, &CToolBar::DisablePlayBut);
    connect(m_showList, &CShowListWidget::MusicItemInfoChanged, m_toolBar, &CToolBar::RefreshPlayInfo);
    connect(m_showList, &CShowListWidget::AutoDownloadFinished, m_toolBar, &CToolBar::AutoDownloadFinish);
    connect(m_showList, &CShowListWidget::MusicItemDeleted, m_recordingWidget, &CRecordingWidget::RemoveItem);
    connect(m_showList, &CShowListWidget::MusicItemInfoChanged, m_recordingWidget, &CRecordingWidget::ReflashItem);
    connect(m_showList, &CShowListWidget::AutoDownloadFinished, m_recordingWidget,
            &CRecordingWidget::AutoDownloadFinish);
    connect(m_showList, &CShowListWidget::MusicInfoToUiSignal, m_recordingWidget,
            &CRecordingWidget::MusicInfoToUiSlot);
    connect(m_showList, &CShowListWidget::MusicInfoToUiSignal, m_toolBar, &CToolBar::MusicInfoToUiSlot);
    connect(m_statusBar->SourcesButton(), &QToolButton::clicked, this, &CMainUI::RecordingSourceSetting);
    connect(m_statusBar->AddButton(), &QToolButton::clicked, this, &CMainUI::AddPlayList);
    connect(m_statusBar->SchedulerButton(), &QToolButton::clicked, this, &CMainUI::RecordingTaskSetting);
    connect(m_statusBar->RecordingButton(), &QToolButton::pressed, this, &CMainUI::ShowRecording);
    connect(m_statusBar->MediaButton(), &QToolButton::pressed, this, &CMainUI::ShowMedia);
    connect(m_statusBar->ITunesButton(), &QToolButton::clicked, this, &CMainUI::AddToiTunes);
    connect(m_statusBar->FacebookButton(), &QToolButton::clicked, this, &CMainUI::OpenFaceBook);
    connect(m_statusBar->TwitterButton(), &QToolButton::clicked, this, &CMainUI::OpenTwiiter);
    connect(m_bugReportAction, &QAction::triggered, this, &CMainUI::BugReport);
    connect(m_translateAction, &QAction::triggered, this, &CMainUI::TranslateForUs);
    connect(m_treeLib, &CTreeLib::ResizeChanged, m_splitter, &CSplitter::setRect);
    connect(this, &CMainUI::SigShowMultiChannelTips, this, &CMainUI::ShowMultiChannelTips);
    connect(this, &CMainUI::SongWriteFailedSignal, this, &CMainUI::SongWriteFailedSlot);
    connect(this, &CMainUI::CaptureLostSignal, this, &CMainUI::CaptureLostSlot);
    connect(this, &CMainUI::CaptureRestoredSignal, this, &CMainUI::CaptureRestoredSlot);

    ConfigureEngineAtStart();
    // Once the window is up: a library found damaged at start.
    QTimer::singleShot(0, this, &CMainUI::TellLibraryProblemAtStart);
}

void CMainUI::TellLibraryProblemAtStart()
{
    // A library that did not open at all is told by the library panel as it
    // loads, and each song kept outside it by the completion.
    if (!DB_IsOpen())
        return;
    if (DB_LibraryInUse()) {
        const QString path = CAppSettings::GetInstance()->GetLogPath() + QStringLiteral("/music.db");
        Notice(tr("The library is in use by another program:\n%1\nIt is left as it is and cannot be changed until that "
                  "program lets it go; the songs you record until then are kept in the output folder and go into the "
                  "library once it is free. If that program changed the library meanwhile, the library stays as it "
                  "is and the songs go into it at the next start.")
                   .arg(QDir::toNativeSeparators(path)));
        return;
    }
    const LibraryRepairReport repair = DB_LastRepair();
    if (repair.fault == LibraryRepairReport::NoFault)
        return;
    // Said in the user's words (SQLite's own text is English only).
    QString fault;
    switch (repair.fault) {
    case LibraryRepairReport::CutShort:
        fault = tr("the file was cut short");
        break;
    case LibraryRepairReport::NotALibrary:
        fault = tr("the file was no library");
        break;
    case LibraryRepairReport::FolderInPlace:
        fault = tr("a folder had taken its place");
        break;
    case LibraryRepairReport::EmptyFile:
        fault = tr("the file was empty");
        break;
    case LibraryRepairReport::Unreadable:
        fault = tr("the file could not be read");
        break;
    default:
        fault = tr("some of its pages were damaged");
        break;
    }
    QString backup;
    DB_OpenProblem(&backup);
    auto tell = [this, repair, fault, backup] {
        QString text;
        if (repair.rebuilt) {
            // Rebuilt, the next start opens a sound library: this is said once.
            text = tr("The library could not be used as it was: %1.\nA new library was made of everything that "
                      "could still be read: %2 songs kept with their data, %3 songs back from their files only "
                      "(with what their tags tell). New recordings go into it.")
                       .arg(fault, QString::number(repair.songsSaved), QString::number(DB_SongsTakenFromFiles()));
        } else {
            text = tr("The library is damaged: %1.\nThere was no room to rebuild it, so it is used as it is: songs "
                      "on damaged pages are not shown, and nothing of it is deleted.")
                       .arg(fault);
        }
        if (repair.fault != LibraryRepairReport::EmptyFile) {
            text += QStringLiteral("\n");
            if (backup.isEmpty())
                text += tr("No copy of it could be made.");
            else
                text += tr("A copy of it as it was is kept as:\n%1").arg(QDir::toNativeSeparators(backup));
        }
        Notice(text);
    };
    // The songs that come back from their files are counted by the start-up
    // scan: told once it is through.
    CStartupSongScan* scan = m_showList ? m_showList->SongScan() : nullptr;
    if (repair.rebuilt && scan && !scan->IsDone())
        connect(scan, &CStartupSongScan::Finished, this, tell);
    else
        tell();
}

CMainUI::EngineSetup CMainUI::SetupFromSettings() const
{
    EngineSetup setup;
    setup.recordMode = m_settings->GetRecordMode();
    setup.sampleRate = m_settings->GetSampleRate();
    setup.splitValue = m_settings->GetSplitMode() != 0 ? m_settings->GetSplitTime() : 194967295;
    setup.minimumLength = m_settings->GetFilterMode() == 1 ? m_settings->GetFilterTime() : 1;
    if (setup.recordMode != -1)
        setup.device = m_settings->GetDeviceId();
    return setup;
}

void CMainUI::ConfigureEngineAtStart()
{
    const int playState = m_toolBar->GetPlayState();
    if (playState == CToolBar::Playing || playState == CToolBar::Paused) {
        m_toolBar->StopPlay();
        PlayQueue::Instance().Clear();
    }

    const EngineSetup setup = SetupFromSettings();
    const AudioParam format{setup.sampleRate, 2, 16, 0, 0, 0, 0};
    if (m_engine) {
        m_engine->Reset();
        m_engine->SetIntParam(1, setup.splitValue);
        m_engine->SetIntParam(2, setup.minimumLength);
        const QStringList output = m_settings->GetOutputPath();
        m_engine->SetTextParam(3, output.value(0).toUtf8().constData());
        // Without a server now, the first Record press sets capture up again.
        if (setup.recordMode == -1) {
            m_engineReady = m_engine->SelectMode(1, format, nullptr) == 0;
        } else if (!setup.device.isEmpty()) {
            m_engineReady = m_engine->SelectMode(2, format, setup.device.toUtf8().constData()) == 0;
        }
    }
    m_lastSetup = setup;
}

void CMainUI::CheckUpdateOnStart()
{
    CGUITavrelRegister::GetInstance()->OnUpdateResult(1);
    // The automatic check (Auto_update, Update_Days, the date of the last
    // check) speaks up only when a newer version exists.
    if (m_updateInfo)
        m_updateInfo->CheckAutomatically(this);
}

QTime CMainUI::Now() const
{
    return m_clock ? m_clock() : QTime::currentTime();
}

QString CMainUI::OpenSongPath()
{
    QMutexLocker guard(&m_songPathLock);
    return m_openSongPath;
}

CMainUI::~CMainUI()
{
    CGUITavrelRegister::ReleaseInstance();
    SetQuestionAsker(nullptr);
    SetDesktopNotice(nullptr);

    // From here on a song the engine finishes while it shuts down is not a
    // finished recording but the remains of one the user quit.
    m_closing = true;
    // Recognitions still running end now. What they brought back and the
    // window has not taken yet (a song's data above all) reaches the songs
    // first: everything that has arrived is kept.
    m_recognizer->Shutdown();
    IEngineFactory* factory = GetEngineFactory();
    factory->ReleaseEngine(m_engine);
    m_engine = nullptr;
    factory->ReleaseDriverSetup(m_driverSetup);
    m_driverSetup = nullptr;
    AudioDevDestroy(m_audioDevice);
    m_audioDevice = nullptr;

    // The engine finished the last song on release; only now is its file
    // complete on disk. It is removed only when the user agreed to lose it:
    // a song the user stopped, or one still open when the window goes
    // without a close, is kept and finished as every other song.
    const QString last = OpenSongPath();
    if (m_discardOpenSong) {
        if (!last.isEmpty()) {
            qDebug() << "CMainUI::~CMainUI remove unfinished recording" << last;
            QFile::remove(last);
        }
        DiscardRecordingRow(true);
    } else if (CTreeWidgetItem* row = m_showList ? m_showList->RecordingRow() : nullptr) {
        // The row is the song whose start the window took. Its end may still
        // have been on its way to this thread as the window went, and a later
        // song's start after it: then its file is the one the row names, and
        // the engine's last file is the later song's, which has no row and
        // must never be taken for this one's.
        const int serial = m_songEnd->CurrentSong();
        const bool later = serial != m_songSerial.load();
        QString path = later ? QString() : last;
        if (path.isEmpty()) {
            const QString named = row->GetMusicPath();
            if (QFileInfo(named).isFile())
                path = named;
        }
        if (later && !last.isEmpty()) {
            qWarning() << "CMainUI::~CMainUI kept without a library row:" << last;
            DB_NoteSongOutside(last);   // added at a start the library takes it
        }
        const int minimum = m_settings->GetFilterMode() == 1 ? m_settings->GetFilterTime() : -1;
        if (!m_songEnd->SongEnded(serial, path, minimum)) {
            // Not a song the pipeline knows: its row stays in the library,
            // naming the file as it was finished.
            std::unique_ptr<MusicInfoRow> record(row->GetMusicInfo());
            if (record && !path.isEmpty()) {
                record->MusicPath = path;
                DB_UpdateMusicInfo(record.get());
            }
            qWarning() << "CMainUI::~CMainUI recording kept:" << path;
            delete m_showList->TakeRecordingRow();
        }
    }
    // Every song that ended is finished now with what it has (its data,
    // tags and name), while the library is there.
    delete m_songEnd;
    m_songEnd = nullptr;

    delete m_bugReport;
    m_bugReport = nullptr;
    delete m_recognizer;
    m_recognizer = nullptr;
    delete m_popPlayList;
    m_popPlayList = nullptr;
    delete m_updateInfo;
    m_updateInfo = nullptr;
    SetPlayingItemSource(nullptr);
    SetTagEditorRunner(nullptr);
    PlayQueue::Instance().Clear();
}
