#include "CToolBar.h"

#include "CAppSettings.h"
#include "CMToolButton.h"
#include "CPlayInfoGroup.h"
#include "CShowDownloadingView.h"
#include "CSlider.h"
#include "FileTimeHelpers.h"
#include "IPlayQueueTrack.h"
#include "InterfaceScale.h"
#include "MusicRecords.h"
#include "PlayQueue.h"
#include "SkinButtonStyle.h"
#include "Sonacap.h"
#include "pcmsink_widget.h"
#include "trackhold.h"

#include <algorithm>
#include <QAction>
#include <QDebug>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QResizeEvent>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTimer>

#include <memory>

namespace {

const char* const kTimeStyleNormal = "QLabel{color: #522253}";
const char* const kTimeStyleBlink = "QLabel{color: #FF0000}";

int S(int designPixels)
{
    return ScaledPixels(designPixels);
}

QString ChosenCover(const MusicInfoRow& row)
{
    const int count = row.Info.CoverCount;
    if (count <= 0 || row.ImageId < 0 || row.ImageId >= count || row.ImageId >= 5)
        return QString();
    return QString::fromUtf8(row.Info.CoverPaths[row.ImageId]);
}

// Sizes (design pixels) of one state of the bar.
struct StateSizes {
    int barHeight;
    int record;          // record buttons and stack, square
    int playGroupW, playGroupH;
    int skip;            // previous and next buttons, square
    int playButton;      // play and pause buttons, square
    int playStack;       // play/pause stack, square
    int volumeGroupW, volumeGroupH;
    int volumeSlider;
};

const StateSizes kFull = {75, 63, 130, 45, 39, 45, 45, 150, 20, 120};
const StateSizes kMini = {65, 45, 95, 35, 28, 33, 35, 110, 20, 80};

}  // namespace

CToolBar::CToolBar(HCAPDEV device, CSonacapBase* engine, QWidget* parent)
    : QFrame(parent),
      m_engine(engine),
      m_settings(CAppSettings::GetInstance()),
      m_device(device)
{
    setFocusPolicy(Qt::ClickFocus);
    setFixedHeight(S(75));
    const QString gap = QString(4, QLatin1Char('\t')) + QStringLiteral("  ");
    setStyleSheet(QStringLiteral("QLabel{font-size: %1px;").arg(ScaledStyleNumber(14)) + gap
                  + QStringLiteral("font-weight: bold;") + gap + QStringLiteral("color: #522253;}"));

    // Record stack.
    m_recordStack = new QStackedWidget(this);
    m_recordStart = new CMToolButton(m_recordStack);
    m_recordStart->setObjectName(QStringLiteral("But_Record_Start"));
    m_recordStop = new CMToolButton(m_recordStack);
    m_recordStop->setObjectName(QStringLiteral("But_Record_Stop"));
    m_recordStack->addWidget(m_recordStart);
    m_recordStack->addWidget(m_recordStop);

    // Play group.
    m_playGroup = new QFrame(this);
    m_previous = new CMToolButton(m_playGroup);
    m_previous->setObjectName(QStringLiteral("But_Play_Last"));
    m_playPauseStack = new QStackedWidget(m_playGroup);
    m_play = new CMToolButton(m_playPauseStack);
    m_play->setObjectName(QStringLiteral("But_Play_Start"));
    m_pause = new CMToolButton(m_playPauseStack);
    m_pause->setObjectName(QStringLiteral("But_Play_Pause"));
    m_playPauseStack->addWidget(m_play);
    m_playPauseStack->addWidget(m_pause);
    m_next = new CMToolButton(m_playGroup);
    m_next->setObjectName(QStringLiteral("But_Play_Next"));
    m_playLayout = new QHBoxLayout(m_playGroup);
    m_playLayout->setContentsMargins(0, 0, 0, 0);
    m_playLayout->setSpacing(0);
    m_playLayout->addWidget(m_previous, 0, Qt::AlignVCenter);
    m_playLayout->addWidget(m_playPauseStack, 0, Qt::AlignVCenter);
    m_playLayout->addWidget(m_next, 0, Qt::AlignVCenter);

    // Status area: page 0 recording status, page 1 player panel.
    m_statusStack = new QStackedWidget(this);
    m_statusFrame = new QFrame(m_statusStack);
    m_statusFrame->setObjectName(QStringLiteral("statuGroup"));
    m_statusFrame->setFixedHeight(S(50));
    m_statusLabel = new QLabel(m_statusFrame);
    m_statusLabel->setContentsMargins(0, S(5), 0, 0);
    m_statusLabel->setAlignment(Qt::AlignCenter);
    m_timeLabel = new QLabel(m_statusFrame);
    m_timeLabel->setContentsMargins(0, S(5), 0, 0);
    m_timeLabel->setAlignment(Qt::AlignCenter);
    m_spectrum = new pcmsink_widget(m_statusFrame);
    m_playInfo = new CPlayInfoGroup(m_statusStack);
    m_playInfo->setObjectName(QStringLiteral("statuGroup"));
    m_statusStack->addWidget(m_statusFrame);
    m_statusStack->addWidget(m_playInfo);
    m_statusStack->setFixedHeight(S(50));
    m_statusStack->setMaximumHeight(S(50));

    // Volume group.
    m_volumeGroup = new QFrame(this);
    m_volumeMin = new CMToolButton(m_volumeGroup);
    m_volumeSlider = new CSlider(QStringLiteral(":/prefix/res/volumeslider.png"), m_volumeGroup);
    m_volumeMax = new CMToolButton(m_volumeGroup);
    m_volumeLayout = new QHBoxLayout(m_volumeGroup);
    m_volumeLayout->setContentsMargins(0, 0, 0, 0);
    m_volumeLayout->setSpacing(0);
    m_volumeLayout->addWidget(m_volumeMin);
    m_volumeLayout->addWidget(m_volumeSlider);
    m_volumeLayout->addSpacing(S(2));
    m_volumeLayout->addWidget(m_volumeMax);

    // Mini-strip extras.
    m_downloading = new CShowDownloadingView(true, this);
    m_downloading->hide();
    m_playListButton = new CMToolButton(this);
    m_playListButton->hide();

    m_recordTimer = new QTimer(this);

    ApplyStateSizes();
    ApplyStatusGeometry();

    m_recordStack->setToolTip(tr("Start"));
    m_playPauseStack->setToolTip(tr("Play"));
    m_previous->setEnabled(false);
    m_playPauseStack->setEnabled(false);
    m_next->setEnabled(false);

    m_recordTime = QTime(0, 0, 0, 0);
    ShowStateText(tr("Ready"));
    m_timeLabel->setText(m_recordTime.toString(Qt::TextDate));
    m_timeLabel->setStyleSheet(QLatin1String(kTimeStyleNormal));

    m_spectrum->Start();

    m_volumeSlider->SetMaximum(100);
    m_volumeSlider->SetValue(m_settings->GetVolumeValue());

    connect(m_pause, &QToolButton::clicked, this, &CToolBar::PausePlay);
    connect(m_volumeSlider, &CSlider::valueChanged, this, &CToolBar::SetVolume);
    connect(m_volumeSlider, &CSlider::valueChanged, this, &CToolBar::SigVolumeChanged);
    connect(m_volumeMin, &QToolButton::clicked, this, &CToolBar::VolumeDown);
    connect(m_volumeMax, &QToolButton::clicked, this, &CToolBar::VolumeUp);
    connect(m_recordTimer, &QTimer::timeout, this, &CToolBar::UpdateRecordingTime);

    BuildTray();
}

CToolBar::~CToolBar() = default;

QString CToolBar::NormalTrayIconPath()
{
    return QStringLiteral(":/prefix/res/normal_Tray_Icon.png");
}

QString CToolBar::RecordingTrayIconPath()
{
    return QStringLiteral(":/prefix/res/recording_Tray_Icon.png");
}

bool CToolBar::IsGerman()
{
    return CAppSettings::GetInstance()->GetLanguage() == QLatin1String("de");
}

void CToolBar::SetTrayIcon(const QString& path)
{
    const int side = S(16);
    QPixmap pix(path);
    if (!pix.isNull())
        pix = pix.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    m_trayIcon->setIcon(QIcon(pix));
}

void CToolBar::BuildTray()
{
    m_trayMenu = new QMenu(this);
    m_recordAction = new QAction(tr("Record"), m_trayMenu);
    m_stopAction = new QAction(tr("Stop"), m_trayMenu);
    m_libraryAction = new QAction(tr("Library"), m_trayMenu);
    m_settingsAction = new QAction(tr("Settings"), m_trayMenu);
    m_quitAction = new QAction(tr("Exit"), m_trayMenu);
    m_trayMenu->addAction(m_settingsAction);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_recordAction);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_libraryAction);
    m_trayMenu->addAction(m_quitAction);

    m_trayIcon = new QSystemTrayIcon(this);
    SetTrayIcon(NormalTrayIconPath());
    m_trayIcon->setContextMenu(m_trayMenu);
    // Without a notification area (a bare X server, offscreen) there is
    // nothing to show the icon in.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_trayIcon->setVisible(true);
}

void CToolBar::ApplyStateSizes()
{
    const StateSizes& z = m_mini ? kMini : kFull;
    ApplySkinButtonStyle(m_recordStart, QStringLiteral("record"), z.record, z.record);
    ApplySkinButtonStyle(m_recordStop, QStringLiteral("record_stop"), z.record, z.record);
    m_recordStack->setFixedSize(S(z.record), S(z.record));
    m_playGroup->setFixedSize(S(z.playGroupW), S(z.playGroupH));
    ApplySkinButtonStyle(m_previous, QStringLiteral("previous"), z.skip, z.skip);
    ApplySkinButtonStyle(m_next, QStringLiteral("next"), z.skip, z.skip);
    ApplySkinButtonStyle(m_play, QStringLiteral("paly"), z.playButton, z.playButton);
    ApplySkinButtonStyle(m_pause, QStringLiteral("pause"), z.playButton, z.playButton);
    m_playPauseStack->setFixedSize(S(z.playStack), S(z.playStack));
    m_volumeGroup->setFixedSize(S(z.volumeGroupW), S(z.volumeGroupH));
    m_volumeSlider->setFixedWidth(S(z.volumeSlider));
    ApplySkinButtonStyle(m_volumeMin, QStringLiteral("volumes_min"), 12, 12);
    ApplySkinButtonStyle(m_volumeMax, QStringLiteral("volumes_max"), 12, 12);
    ApplySkinButtonStyle(m_playListButton, QStringLiteral("listbut"), 50, 50);
    if (m_mini) {
        m_statusStack->setFixedWidth(S(270));
        m_spectrum->setFixedSize(S(254), S(40));
    }
    setFixedHeight(S(z.barHeight));
}

int CToolBar::TimeLabelWidth(bool german)
{
    // The German width (63) leaves no room around "00:00:00" in bold 14 px of
    // the interface font, which is wider than the one the sizes were made
    // for; the time would lose a digit at each side. The label grows to the
    // left, into the gap before the spectrum.
    m_timeLabel->ensurePolished();
    const int text = m_timeLabel->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + S(4);
    return std::max(S(german ? 63 : 83), text);
}

int CToolBar::StateLabelWidth(bool german)
{
    // "Recording" in bold 14 px of the interface font is wider than the
    // English design width; centred in it, the word lost a letter's width at
    // each side.
    m_statusLabel->ensurePolished();
    const QFontMetrics metrics = m_statusLabel->fontMetrics();
    const int text = std::max(metrics.horizontalAdvance(tr("Ready")), metrics.horizontalAdvance(tr("Recording"))) + S(8);
    return std::max(S(german ? 103 : 83), text);
}

void CToolBar::ApplyStatusGeometry()
{
    const bool german = IsGerman();
    const int timeW = TimeLabelWidth(german);
    const int timeX = m_statusWidth - timeW;
    const int stateW = StateLabelWidth(german);
    // A note is far longer than a state word: it takes the spectrum's place
    // (nothing is being captured while one shows) up to the time.
    const int labelW = m_statusNote ? std::max(stateW, timeX - S(2)) : stateW;
    m_statusLabel->setFixedWidth(labelW);
    m_statusLabel->setGeometry(0, S(-4), labelW, S(50));
    m_timeLabel->setFixedWidth(timeW);
    m_spectrum->setVisible(m_mini || !m_statusNote);
    if (!m_mini) {
        // The spectrum starts after the state word and ends before the time,
        // giving up width only when one of the labels had to grow.
        const int x = std::max(S(german ? 105 : 85), stateW + S(2));
        if (m_spectrumFixedWidth > 0)
            m_spectrum->setFixedSize(std::max(0, std::min(m_spectrumFixedWidth, timeX - S(2) - x)), S(40));
        m_spectrum->setGeometry(x, S(3), m_spectrumWidth, S(40));
    }
    m_timeLabel->setGeometry(timeX, S(-4), timeW, S(50));
    // The player's state word shares the panel with the slider, which gives
    // way when a language's word is long.
    m_playInfo->FitStatusLabel({tr("Ready"), tr("Playing"), tr("Paused")});
    if (!m_mini && m_sliderDesignWidth > 0)
        m_playInfo->FitSlider(m_sliderDesignWidth, m_statusWidth);
}

void CToolBar::ShowStateText(const QString& text)
{
    m_statusLabel->setText(text);
    if (m_statusNote) {
        m_statusNote = false;
        ApplyStatusGeometry();
    }
}

// ---------------------------------------------------------------- player

int CToolBar::CreatePlay()
{
    PlayQueue& queue = PlayQueue::Instance();
    IPlayQueueTrack* entry = queue.Current();
    std::unique_ptr<MusicInfoRow> row(entry ? entry->GetMusicInfo() : nullptr);
    if (!row)
        return 2;
    const QByteArray path = row->MusicPath.toUtf8();

    PlayContext& ctx = m_playInfo->m_context;
    // A file left open by a load whose player could not be created (nothing
    // stops a player that never played) is released before the next one, so
    // failed loads do not pile up in the library.
    if (ctx.fileId > -1) {
        WM_DestroyPlay();
        WM_DeleteFile(ctx.fileId);
        ctx.fileId = -1;
    }
    ctx.state = 0;
    ctx.position = 0;
    ctx.sliderPressed = false;
    // A failed duration query must never show the previous track's times.
    ctx.durationMs = 0;

    const int fileId = WM_AddFile(path.constData());
    if (fileId < 0) {
        qWarning() << "CMainUI::CreatePlay WM_AddFile failed";
        return -1;
    }
    ctx.fileId = fileId;
    m_playState = Playing;
    if (WM_CreatePlay(fileId, &CPlayInfoGroup::PlayCallback, &ctx) != 0) {
        qWarning() << "CMainUI::CreatePlay WM_CreatePlay failed";
        m_playState = Stopped;
        return -2;
    }
    int64_t duration = 0;
    WM_GetMediaDuration(fileId, &duration);
    ctx.durationMs = duration;

    const QPixmap mark = QPixmap(QStringLiteral(":/prefix/res/tasklist_playing.png")).scaled(S(11), S(12));
    entry->SetNoticeColumnIcon(QIcon(mark));

    SetVolume(m_volumeSlider->Value());

    m_previous->setEnabled(queue.currentIndex > 0);
    m_next->setEnabled(queue.currentIndex < queue.Count() - 1);
    m_playPauseStack->setEnabled(true);

    m_statusStack->setCurrentIndex(1);
    RefreshPlayInfo(entry);

    m_playInfo->m_elapsedSeconds = 0;
    std::unique_ptr<MusicInfoRow> again(entry->GetMusicInfo());
    if (again) {
        m_playInfo->m_remainingSeconds = TimeTextToSecond(again->TimeRecorded);
        m_playInfo->m_elapsedLabel->setText(QStringLiteral("00:00"));
        m_playInfo->m_remainingLabel->setText(QStringLiteral("-") + again->TimeRecorded);
    }
    m_playInfo->update();
    return 0;
}

void CToolBar::Play()
{
    WM_Play();
    m_playInfo->m_statusLabel->setText(tr("Playing"));
    m_playPauseStack->setCurrentIndex(1);
    m_playPauseStack->setToolTip(tr("Pause"));
    m_statusStack->setCurrentIndex(1);
    m_playState = Playing;
}

void CToolBar::PausePlay()
{
    if (m_playState != Playing)
        return;
    m_playPauseStack->setCurrentIndex(0);
    m_playInfo->m_statusLabel->setText(tr("Paused"));
    m_playState = Paused;
    m_playPauseStack->setToolTip(tr("Play"));
    WM_Pause();
}

void CToolBar::StopPlay()
{
    PlayQueue& queue = PlayQueue::Instance();
    if (IPlayQueueTrack* entry = queue.Current())
        entry->SetNoticeColumnIcon(QIcon());
    // Only the player stops here; a recording in progress stays what it is.
    m_playState = Stopped;
    m_recordStack->setEnabled(true);

    m_playInfo->m_titleLabel->clear();
    m_playInfo->m_artistLabel->clear();
    m_playInfo->m_elapsedLabel->setText(QStringLiteral("00:00"));
    m_playInfo->m_remainingLabel->setText(QStringLiteral("00:00"));
    m_playInfo->m_playSlider->SetValue(0);

    m_playPauseStack->setCurrentIndex(0);
    m_playPauseStack->setToolTip(tr("Play"));
    m_playInfo->m_statusLabel->setText(tr("Ready"));

    WM_DestroyPlay();
    WM_DeleteFile(m_playInfo->m_context.fileId);
    m_playInfo->m_context.fileId = -1;
}

void CToolBar::DisablePlayBut(bool disable)
{
    if (!PlayQueue::Instance().IsEmpty())
        return;
    m_playPauseStack->setEnabled(!disable);
}

void CToolBar::RefreshPlayInfo(IPlayQueueTrack* item)
{
    const PlayQueue& queue = PlayQueue::Instance();
    if (queue.IsEmpty() || queue.currentIndex < 0 || !item || item != queue.Current())
        return;
    std::unique_ptr<MusicInfoRow> row(item->GetMusicInfo());
    if (!row)
        return;
    QString title = QString::fromUtf8(row->Info.MusicName);
    if (title.isEmpty())
        title = TitleFromFileName(row->MusicPath);
    QString artist = QString::fromUtf8(row->Info.Artist);
    if (artist.isEmpty())
        artist = tr("Unknown Artist");
    m_playInfo->m_titleLabel->setText(title);
    m_playInfo->m_artistLabel->setText(artist);
    m_downloading->SetMusicInfo(ChosenCover(*row), QString(), QString());
}

// ---------------------------------------------------------------- recording

void CToolBar::RecordStarted()
{
    m_recordStack->setCurrentIndex(1);
    m_trayMenu->insertAction(m_recordAction, m_stopAction);
    m_trayMenu->removeAction(m_recordAction);
    m_recordTime = QTime(0, 0, 0, 0);
    m_timeLabel->setText(QStringLiteral("00:00:00"));
    m_recordStack->setToolTip(tr("Stop"));
    m_statusStack->setCurrentIndex(0);
    m_recordState = WaitingForSong;
    m_playState = Stopped;
    m_playPauseStack->setEnabled(false);
    m_previous->setEnabled(false);
    m_next->setEnabled(false);
    m_recordTimer->start(1000);
}

void CToolBar::RecordStopped()
{
    SetTrayIcon(NormalTrayIconPath());
    m_trayMenu->insertAction(m_stopAction, m_recordAction);
    m_trayMenu->removeAction(m_stopAction);
    m_recordStack->setCurrentIndex(0);
    m_recordStack->setToolTip(tr("Start"));
    m_recordState = NotRecording;
    m_playState = Stopped;
    ShowStateText(tr("Ready"));
    m_timeLabel->setText(QStringLiteral("00:00:00"));
    m_recordTimer->stop();
    m_timeLabel->setStyleSheet(QLatin1String(kTimeStyleNormal));
}

void CToolBar::SongRecordStarted()
{
    m_recordState = RecordingSong;
    m_recordTime = QTime(0, 0, 0, 0);
    m_spectrum->Start();
    ShowStateText(tr("Recording"));
    m_timeLabel->setStyleSheet(QLatin1String(kTimeStyleNormal));
}

void CToolBar::SetStatusText(const QString& text)
{
    m_statusLabel->setText(text);
    m_statusNote = true;
    ApplyStatusGeometry();
}

void CToolBar::RestoreStatusText()
{
    ShowStateText(m_recordState == RecordingSong ? tr("Recording") : tr("Ready"));
}

void CToolBar::SongRecordFinished()
{
    if (m_recordState == RecordingSong)
        m_recordState = WaitingForSong;
    m_downloading->StopAnimation();
    SetTrayIcon(NormalTrayIconPath());
    ShowStateText(tr("Ready"));
}

void CToolBar::StartDownloadAnimation()
{
    if (m_mini)
        m_downloading->StartAnimation();
}

void CToolBar::UpdateRecordingTime()
{
    m_recordTime = m_recordTime.addSecs(1);
    const bool odd = (m_recordTime.second() % 2) != 0;
    if (m_recordState == WaitingForSong) {
        m_timeLabel->setStyleSheet(QLatin1String(odd ? kTimeStyleBlink : kTimeStyleNormal));
        m_timeLabel->setText(QStringLiteral("00:00:00"));
    } else {
        SetTrayIcon(odd ? NormalTrayIconPath() : RecordingTrayIconPath());
        m_timeLabel->setText(m_recordTime.toString(Qt::TextDate));
    }
    update();
}

void CToolBar::AutoDownloadFinish(IPlayQueueTrack* item)
{
    if (!item)
        return;
    if (item->GetDownloadStatus() == TWM_DOWNLOAD_SUCCEEDED) {
        std::unique_ptr<MusicInfoRow> row(item->GetMusicInfo());
        if (row) {
            m_downloading->SetMusicInfo(ChosenCover(*row), QString::fromUtf8(row->Info.MusicName),
                                        QString::fromUtf8(row->Info.Artist));
        }
        return;
    }
    m_downloading->SetMusicInfo(QString(), QString(), QString());
}

void CToolBar::MusicInfoToUiSlot(const RecordMusicInfo* info)
{
    if (!info) {
        m_downloading->SetMusicInfo(QString(), QString(), QString());
        return;
    }
    m_downloading->SetMusicInfo(QString::fromUtf8(info->CoverPaths[0]), QString::fromUtf8(info->MusicName),
                                QString::fromUtf8(info->Artist));
}

// ---------------------------------------------------------------- volume

void CToolBar::SetVolume(int value)
{
    m_settings->SetVolumeValue(value);
    if (m_recordState != NotRecording) {
        if (m_engine)
            m_engine->SetPreviewVolume(value);
    } else {
        WM_ChangeVolume(value * 100 / 100);
        m_settings->SetVolumeValue(value);
    }
    disconnect(m_volumeSlider, &CSlider::valueChanged, this, &CToolBar::SetVolume);
    m_volumeSlider->SetValue(value);
    connect(m_volumeSlider, &CSlider::valueChanged, this, &CToolBar::SetVolume);
}

void CToolBar::VolumeDown()
{
    m_volumeSlider->SetValue(0);
    SetVolume(0);
}

void CToolBar::VolumeUp()
{
    m_volumeSlider->SetValue(100);
    SetVolume(100);
}

// ---------------------------------------------------------------- language

void CToolBar::Retranslate()
{
    // Every text follows the state it stands for: a paused song's "Paused"
    // and its "Unknown Artist" change language at once, not at the next
    // state change.
    m_recordStack->setToolTip(m_recordState != NotRecording ? tr("Stop") : tr("Start"));
    m_playPauseStack->setToolTip(m_playState == Playing ? tr("Pause") : tr("Play"));
    m_recordAction->setText(tr("Record"));
    m_stopAction->setText(tr("Stop"));
    m_libraryAction->setText(tr("Library"));
    m_settingsAction->setText(tr("Settings"));
    m_quitAction->setText(tr("Exit"));
    ShowStateText(m_recordState == RecordingSong ? tr("Recording") : tr("Ready"));
    ApplyStatusGeometry();
    if (m_playState == Playing)
        m_playInfo->m_statusLabel->setText(tr("Playing"));
    else if (m_playState == Paused)
        m_playInfo->m_statusLabel->setText(tr("Paused"));
    else if (!m_playInfo->m_statusLabel->text().isEmpty())
        m_playInfo->m_statusLabel->setText(tr("Ready"));
    if (m_playState == Playing || m_playState == Paused)
        RefreshPlayInfo(PlayQueue::Instance().Current());
}

void CToolBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        m_recordStack->setToolTip(m_recordState != NotRecording ? tr("Stop") : tr("Start"));
        m_playPauseStack->setToolTip(m_playState == Playing ? tr("Pause") : tr("Play"));
        ShowStateText(m_recordState == RecordingSong ? tr("Recording") : tr("Ready"));
        m_recordAction->setText(tr("Record"));
        m_stopAction->setText(tr("Stop"));
        m_libraryAction->setText(tr("Library"));
    }
    QFrame::changeEvent(event);
}

// ---------------------------------------------------------------- layout

void CToolBar::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    const int w = event->size().width();
    if (w == event->oldSize().width())
        return;
    const double s = GetInterfaceScale();
    if (!m_mini) {
        int extra = static_cast<int>((w - 924 * s) * 4 / 5);
        if (extra > 170 * s)
            extra = static_cast<int>(170 * s);
        m_statusWidth = static_cast<int>(430 * s + extra);
        m_spectrumWidth = static_cast<int>(260 * s + extra);
        m_spectrumFixedWidth = static_cast<int>(250 * s + extra);
        m_sliderDesignWidth = static_cast<int>(250 * s + extra);
        m_statusStack->setFixedWidth(m_statusWidth);
        ApplyStatusGeometry();
        m_recordStack->move(S(25), S(7));
        m_playGroup->move(S(101), S(16));
        m_statusStack->move((w - m_statusWidth) / 2, S(14));
        m_volumeGroup->move(w - S(75) - m_volumeGroup->width(), S(29));
    } else {
        m_spectrum->setFixedWidth(S(254));
        m_playInfo->m_playSlider->setFixedWidth(S(200));
        m_statusStack->setFixedWidth(S(270));
        m_spectrum->setGeometry(S(8), S(3), S(254), S(40));
        m_downloading->move(S(25), S(9));
        m_recordStack->move(S(85), S(10));
        m_playGroup->move(S(135), S(17));
        m_statusStack->move(S(85), S(9));
        m_volumeGroup->move(S(240), S(24));
        m_playListButton->move(S(365), S(9));
    }
}

void CToolBar::ChangeMiniState()
{
    m_downloading->setHidden(m_mini);
    m_playListButton->setHidden(m_mini);
    m_mini = !m_mini;
    m_statusStack->setHidden(m_mini);
    m_statusLabel->setHidden(m_mini);
    m_timeLabel->setHidden(m_mini);
    m_playInfo->m_statusLabel->setHidden(m_mini);
    ApplyStateSizes();
    ApplyStatusGeometry();
    if (m_mini) {
        ShowMiniPage();
    } else {
        m_recordStack->show();
        m_playGroup->show();
        m_volumeGroup->show();
        m_statusStack->show();
    }
}

void CToolBar::ShowMiniPage()
{
    if (!m_mini)
        return;
    if (m_playState == Playing || m_playState == Paused) {
        m_statusStack->setCurrentIndex(1);
        m_statusStack->show();
    } else if (m_recordState == RecordingSong || m_recordState == WaitingForSong) {
        m_statusStack->setCurrentIndex(0);
        m_statusStack->show();
    } else {
        m_statusStack->hide();
        m_recordStack->show();
        m_playGroup->show();
        m_volumeGroup->show();
        return;
    }
    m_recordStack->hide();
    m_playGroup->hide();
    m_volumeGroup->hide();
}

void CToolBar::enterEvent(QEvent* event)
{
    QWidget::enterEvent(event);
    if (m_mini) {
        m_statusStack->hide();
        m_recordStack->show();
        m_playGroup->show();
        m_volumeGroup->show();
    }
}

void CToolBar::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    ShowMiniPage();
}
