// The main window's side of the engine: the notification dispatcher (engine
// thread), recording start and stop, the recognition capture and the
// completion of each recorded song.
#include "CMainUI.h"

#include "CACRrecognize.h"
#include "CAppSettings.h"
#include "CDeleteDialog.h"
#include "CRecordingWidget.h"
#include "CShowDownloadingView.h"
#include "CShowListWidget.h"
#include "CSongEndPipeline.h"
#include "CSetTaskDialog.h"
#include "CStatusBar.h"
#include "CMToolButton.h"
#include "CToolBar.h"
#include "CTreeLib.h"
#include "CTreeWidgetItem.h"
#include "FileTimeHelpers.h"
#include "MusicDatabase.h"
#include "OutputFolderCheck.h"
#include "PlayQueue.h"
#include "RecordingProbes.h"
#include "SongRecordFields.h"
#include "SystemHelpers.h"
#include "guidialogExpire.h"
#include "guidialogMicrophone.h"
#include "pcmsink_widget.h"
#include "trackhold.h"

#include <QDebug>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QMutexLocker>
#include <QStackedWidget>
#include <QTimer>

#include <cstring>
#include <memory>

namespace {
// The multi-channel notice comes at most once per program run.
std::atomic<bool> g_multiChannelNotice{true};
} // namespace

// ---------------------------------------------------------------- dispatcher (engine thread)

void CMainUI::OnRecorderNotify(int code, void* param)
{
    switch (code) {
    case kSonacapNotifyAudioClip: {
        const auto* clip = static_cast<const AudioClip*>(param);
        if (clip && clip->data && clip->size > 0)
            m_toolBar->Spectrum()->WriteWaveData(clip->size, reinterpret_cast<const char*>(clip->data));
        break;
    }
    case kSonacapNotifyMusicStart: {
        const auto* clip = static_cast<const AudioClip*>(param);
        // The path buffer is the engine's and valid only during this call.
        const QString path = clip && clip->name ? QString::fromLocal8Bit(clip->name) : QString();
        {
            QMutexLocker guard(&m_songPathLock);
            m_openSongPath = path;
        }
        const int serial = ++m_songSerial;
        m_capture.BeginSong();
        m_songIdentified = false;
        if (m_closing)
            break;
        emit RecorderModuleMusicStartSignal(serial);
        emit NewFileCreated(1);
        break;
    }
    case kSonacapNotifyMusicData: {
        const auto* clip = static_cast<const AudioClip*>(param);
        if (!clip)
            break;
        m_capture.Append(*clip);
        if (!m_recordingStopped && clip->data && clip->size > 0)
            m_toolBar->Spectrum()->WriteWaveData(clip->size, reinterpret_cast<const char*>(clip->data));
        if (clip->param.channels > 2 && g_multiChannelNotice.exchange(false) && !m_closing)
            emit SigShowMultiChannelTips();
        if (m_settings->GetIdMode() == 1 && m_capture.TakeMark()) {
            m_songIdentified = true;
            HandCaptureToRecognition(*clip);
        }
        break;
    }
    case kSonacapNotifyMusicEnd: {
        qDebug() << "--------------------------------kSonacapNotifyMusicEnd begin";
        m_songIdentified = false;
        const QString path = param ? QString::fromUtf8(static_cast<const char*>(param)) : QString();
        {
            // While the window closes the finished file is remembered instead:
            // it is removed only when the user agreed to lose it.
            QMutexLocker guard(&m_songPathLock);
            m_openSongPath = m_closing ? path : QString();
        }
        if (!m_closing) {
            emit RecorderModuleCompleteSignal(m_songSerial.load(), path);
            emit NewFileCreated(0);
        }
        qDebug() << "--------------------------------kSonacapNotifyMusicEnd end";
        break;
    }
    case kSonacapNotifyDiskFull:
        if (param)
            m_lastFreeBytes = *static_cast<const uint64_t*>(param);
        if (!m_closing)
            emit DiskNoEnoughSignal();
        break;
    case kSonacapNotifyWriteFailed: {
        const auto* failure = static_cast<const SonacapFailure*>(param);
        if (failure && !m_closing) {
            emit SongWriteFailedSignal(failure->reason, failure->systemError, QString::fromUtf8(failure->folder),
                                       failure->path ? QString::fromUtf8(failure->path) : QString());
        }
        break;
    }
    case kSonacapNotifyCaptureLost:
        if (!m_closing)
            emit CaptureLostSignal();
        break;
    case kSonacapNotifyCaptureRestored:
        if (!m_closing)
            emit CaptureRestoredSignal();
        break;
    default:
        break;
    }
}

void CMainUI::HandCaptureToRecognition(const AudioClip& clip)
{
    // The result names the song its sample came from. The song waits for
    // it only when a request goes out (each one ends in a result): told
    // before the request, so that it knows before any result arrives.
    const int serial = m_songSerial.load();
    auto asked = [this, serial] {
        if (!m_closing)
            emit RecognitionAskedSignal(serial);
    };
    const QByteArray& pcm = m_capture.Buffer();
    if (clip.param.channels > 2) {
        const QString songPath = clip.name ? QString::fromUtf8(clip.name) : QString();
        if (songPath.isEmpty())
            return;
        const QString temporary = CRecognitionCapture::TemporaryWavName(songPath);
        const QByteArray localName = temporary.toLocal8Bit();
        if (m_wavWriter.Open(localName.constData(), &clip.param)) {
            m_wavWriter.Write(pcm.constData(), static_cast<uint32_t>(pcm.size()));
            m_wavWriter.Close();
            asked();
            m_recognizer->RecognizeFile(temporary, serial);
        }
        QFile::remove(QString::fromLocal8Bit(localName));
        return;
    }
    const QByteArray image = CRecognitionCapture::BuildWavImage(pcm, clip.param);
    qDebug() << "riff len " << (pcm.size() + 36) << "fmt len: " << 16 << "sample rate: " << clip.param.samplesPerSec
             << "fileBuffer size: " << image.size() << "tempBuffer size: " << pcm.size();
    asked();
    m_recognizer->RecognizeBuffer(image, serial);
}

// ---------------------------------------------------------------- recording control (GUI thread)

int CMainUI::CheckMixFormat()
{
    return ProbeMicrophoneAccess();
}

bool CMainUI::IsConflictingToolRunning()
{
    return IsProcessRunning(QStringLiteral("Nahimic"));
}

bool CMainUI::IsNeedReset()
{
    return IsNeedReset(CheckMixFormat());
}

bool CMainUI::IsNeedReset(int probe)
{
    // Compared as the engine would be given it: a switched-off split or
    // minimum, or the same device, is no change.
    if (SetupFromSettings() != m_lastSetup) {
        qDebug() << "IsNeedReset = true";
        return true;
    }
    // A capture that never came up or went away must be set up again; so must
    // one after a probe that failed: that is no sign that all is well. A
    // capture that runs is kept as it is: setting it up again would stop it,
    // freeze the window while its thread ends and lose the first moments of
    // the song the user pressed Record for.
    if (!m_engineReady || m_captureLost || probe == kProbeFailed) {
        qDebug() << "IsNeedReset = true";
        return true;
    }
    qDebug() << "IsNeedReset = false";
    return false;
}

QString CMainUI::EngineFailureText(int code) const
{
    const QString folder = QDir::toNativeSeparators(m_settings->GetOutputPath().value(0));
    switch (code) {
    case kErrDiskFull:
        return tr("There is not enough free space on the disk of the output folder:\n%1").arg(folder);
    case kErrOutputFolder:
    case kErrOpenFile:
        return OutputFolderProblemText(OutputFolderProblem::NotWritable, m_settings->GetOutputPath().value(0));
    case kErrSystem:
    case kErrNoRecorder:
        return tr("The sound server cannot be reached, so there is nothing to record from.");
    case kErrInvalidDevice:
        return tr("The recording device \"%1\" cannot be found.").arg(m_settings->GetDeviceId());
    case kErrNoDevice:
        return tr("There is no output device whose sound could be recorded.");
    case kErrFormatUnsupported:
        return tr("The recording device does not offer the chosen sample rate.");
    case kErrBadFormat:
    case kErrEncoderInit:
    case kErrTagTooLarge:
        return tr("Songs cannot be written in the chosen format.");
    default:
        return tr("The recording engine reported error %1.").arg(code);
    }
}

void CMainUI::RecorderModuleStart()
{
    m_Mode = m_settings->GetRecordMode();
    qDebug() << "m_Mode =" << m_Mode;

    // One probe a press: a hung server costs its time-out once. The notices
    // of a refused start wait for nobody: a scheduled start goes on to arm
    // its stop whatever became of it.
    const int probe = CheckMixFormat();
    if (probe == kProbeServerHung) {
        Notice(tr("Recording could not start.") + QStringLiteral("\n")
               + tr("The sound server does not answer. Restart the sound system or the computer, then try "
                    "again."));
        return;
    }
    if (probe == kProbeDenied && m_Mode == 0) {
        ShowNotice(new guidialogMicrophone(this));
        return;
    }
    if (IsConflictingToolRunning()) {
        ShowNotice(new QMessageBox(QMessageBox::Warning, m_settings->GetDisplayName(),
                                   tr("Please shut down Nahimic and restart computer to start recording normally!"),
                                   QMessageBox::Ok, this));
        return;
    }

    m_recordingStopped = false;
    m_libraryProblemTold = false;
    const int playState = m_toolBar->GetPlayState();
    if (playState == CToolBar::Playing || playState == CToolBar::Paused) {
        m_toolBar->StopPlay();
        PlayQueue::Instance().Clear();
        m_toolBar->DownloadingView()->StopAnimation();
    }

    const int format = m_settings->GetOutputFileType() == 1 ? 1 : 2;
    qDebug() << "----CMainUI::RecorderModuleStart-5";
    int quality = 0;
    switch (m_settings->GetBitRate()) {
    case 128: quality = 0; break;
    case 192: quality = 1; break;
    case 224: quality = 2; break;
    case 256: quality = 3; break;
    case 320: quality = 4; break;
    default:
        m_settings->SetBitRate(128);
        quality = 0;
        break;
    }
    const int identify = m_settings->GetIdMode() == 1 ? 1 : 0;

    int started = m_engine ? 0 : kErrNoRecorder;
    if (m_engine && IsNeedReset(probe)) {
        const EngineSetup setup = SetupFromSettings();
        const AudioParam formatRecord{setup.sampleRate, 2, 16, 0, 0, 0, 0};
        m_engine->Reset();
        m_engine->SetIntParam(1, setup.splitValue);
        m_engine->SetIntParam(2, setup.minimumLength);
        if (setup.recordMode == -1)
            started = m_engine->SelectMode(1, formatRecord, nullptr);
        else
            started = m_engine->SelectMode(2, formatRecord, setup.device.toUtf8().constData());
        m_lastSetup = setup;
        m_engineReady = started == 0;
        if (m_engineReady)
            m_captureLost = false;
    }

    QString folderProblem;
    if (started == 0) {
        // A folder chosen but not made yet is made now. One that cannot take
        // songs is refused here with its own reason: the engine took
        // /sys/kernel for a full disk.
        const QString output = m_settings->GetOutputPath().value(0);
        int error = 0;
        folderProblem = OutputFolderProblemText(CheckOutputFolder(output, OutputFolderUse::Create, &error), output);
        if (!folderProblem.isEmpty()) {
            qWarning() << "CMainUI::RecorderModuleStart output folder refused:" << output << "error" << error;
            started = kErrOutputFolder;
        } else {
            m_engine->SetTextParam(3, output.toUtf8().constData());
            started = m_engine->Start(identify, format, quality);
        }
    }
    if (started != 0) {
        // The window stays out of the recording state: nothing would arrive.
        m_recordingStopped = true;
        qWarning() << "CMainUI::RecorderModuleStart engine failed:" << started;
        Notice(tr("Recording could not start.") + QStringLiteral("\n")
               + (folderProblem.isEmpty() ? EngineFailureText(started) : folderProblem));
        return;
    }

    // An input device is recorded as it is; the preview volume only follows
    // the control bar for what the computer plays.
    if (m_Mode == -1)
        m_toolBar->SetVolume(m_engine->GetPreviewVolume());
    ShowRecording();
    m_toolBar->Spectrum()->SetWaveStep(m_settings->GetSampleRate() * 4 / 20);
    m_toolBar->RecordStarted();
    m_recordingWidget->StartRecordingAnimation();
    pcmsink_widget::SetRecordingFlag(true);
}

void CMainUI::ShowRecordingStopped()
{
    m_recordingStopped = true;
    m_toolBar->RecordStopped();
    m_recordingWidget->StopRecordingAnimation();
    EnablePlayButtonIfPlayable();
    if (m_taskStopTimer->isActive()) {
        m_statusBar->SchedulerButton()->setToolTip(tr("Recording task scheduler"));
        CSetTaskDialog::SetTaskDisabled();
        m_taskStopTimer->stop();
    }
    pcmsink_widget::SetRecordingFlag(false);
}

void CMainUI::RecorderModuleStop()
{
    m_recordingStopped = true;
    if (m_engine)
        m_engine->Stop();
    ShowRecordingStopped();

    // Waits for nobody: a scheduled stop goes on to its power-off countdown.
    // Built once the stop is done, so the stop answers at once.
    QTimer::singleShot(0, this, [this] {
        if (m_closing)
            return;
        auto* notice = new guidialogExpire(this);
        if (notice->GetState() == 0)
            ShowNotice(notice);
        else
            delete notice;
    });
}

void CMainUI::CreateNewFile(int created)
{
    qDebug() << "--------------CMainUI::CreateNewFile begin";
    if (created)
        m_toolBar->SongRecordStarted();
    else
        m_toolBar->Spectrum()->ResetWaveData();
    qDebug() << "--------------CMainUI::CreateNewFile end";
}

void CMainUI::DiskNoEnoughSlot()
{
    // The engine stopped by itself; a song it was writing is kept and stored.
    if (m_engine)
        m_engine->Stop();
    ShowRecordingStopped();
    const QString folder = QDir::toNativeSeparators(m_settings->GetOutputPath().value(0));
    const quint64 freeMb = m_lastFreeBytes.load() / (1024 * 1024);
    Notice(tr("Recording has stopped: the disk of the output folder is nearly full (%1 MB free):\n%2\nSongs "
              "recorded until now are kept.")
               .arg(freeMb)
               .arg(folder));
}

void CMainUI::SongWriteFailedSlot(int reason, int systemError, QString folder, QString keptPath)
{
    if (m_engine)
        m_engine->Stop();
    ShowRecordingStopped();
    // The notice names the kept song as it is once finished.
    if (!keptPath.isEmpty() && m_songEnd->IsFinishing(keptPath)) {
        m_afterSong.append({keptPath, [=] { TellSongWriteFailed(reason, systemError, folder, keptPath); }});
        return;
    }
    TellSongWriteFailed(reason, systemError, folder, keptPath);
}

void CMainUI::TellSongWriteFailed(int reason, int systemError, QString folder, QString keptPath)
{
    folder = QDir::toNativeSeparators(folder);
    QString text;
    switch (reason) {
    case kSonacapReasonDiskFull:
        text = tr("Recording has stopped: the disk of the output folder is full:\n%1").arg(folder);
        break;
    case kSonacapReasonFolderNotWritable:
        text = tr("Recording has stopped: the output folder cannot be written (removed, read-only or not "
                  "permitted):\n%1")
                   .arg(folder);
        break;
    default:
        text = tr("Recording has stopped: writing into the output folder failed (%1):\n%2")
                   .arg(QString::fromLocal8Bit(strerror(systemError)))
                   .arg(folder);
        break;
    }
    text += QStringLiteral("\n");
    // The engine names the song as it wrote it; its completion, which came
    // first, may have renamed it after its title or dropped it as too short.
    if (!keptPath.isEmpty() && keptPath == m_lastSongReported)
        keptPath = m_lastSongOnDisk;
    if (keptPath.isEmpty())
        text += tr("No part of the last song could be kept.");
    else
        text += tr("The song recorded until then is kept:\n%1").arg(QDir::toNativeSeparators(keptPath));
    Notice(text);
}

void CMainUI::CaptureLostSlot()
{
    if (m_captureLost)
        return;
    m_captureLost = true;
    m_toolBar->SetStatusText(tr("Waiting for the sound server"));
    if (m_recordingStopped)
        return;
    // Recording goes on by itself once the server is back, and then this
    // notice goes away by itself too; meanwhile Stop stays at hand.
    auto* notice = new CDeleteDialog(tr("The sound server stopped delivering sound: it was closed or does not "
                                        "answer.\nThe song recorded until then is kept. Recording goes on by "
                                        "itself as soon as the sound server is back."),
                                     {{QDialogButtonBox::Ok, tr("Ok"), true}}, this);
    m_captureNotice = notice;
    ShowNotice(notice);
}

void CMainUI::CaptureRestoredSlot()
{
    if (!m_captureLost)
        return;
    m_captureLost = false;
    m_toolBar->RestoreStatusText();
    if (m_captureNotice)
        m_captureNotice->reject();
}

void CMainUI::ShowMultiChannelTips()
{
    Notice(tr("Please change the audio channel output settings to stereo,or you'll need to wait for a while when "
              "you stop recording."));
}

// ---------------------------------------------------------------- recognition result (GUI thread)

void CMainUI::IdentificationCompletedSlot(QMap<QString, QVariant> result)
{
    const int serial = result.value("identify").toInt();
    qDebug() << "song=" << serial << "title=" << result.value("title").toString()
             << "album=" << result.value("album").toString() << "artist=" << result.value("artist").toString()
             << "releaseDate=" << result.value("releaseDate").toString()
             << "genre=" << result.value("genre").toString() << "duration=" << result.value("duration").toInt()
             << "message=" << result.value("message").toString()
             << "networkError=" << result.value("networkError").toInt();

    RecordMusicInfo* info = nullptr;
    QByteArray cover;
    QString pictures;
    if (result.value("message").toString() == QLatin1String("Success")) {
        info = new RecordMusicInfo;
        std::memset(info, 0, sizeof *info);
        auto copy = [&](char* field, size_t size, const char* key) {
            const QString value = result.value(QLatin1String(key)).toString();
            if (!value.isEmpty())
                CopyUtf8Field(field, size, value.toUtf8());
        };
        copy(info->MusicName, sizeof info->MusicName, "title");
        copy(info->Artist, sizeof info->Artist, "artist");
        copy(info->Album, sizeof info->Album, "album");
        copy(info->Year, sizeof info->Year, "releaseDate");
        copy(info->Genre, sizeof info->Genre, "genre");
        cover = result.value("imageBuffer").toByteArray();
        if (!cover.isEmpty() && GetSpecialFolderPath(pictures, kFolderPictures) != 0)
            pictures.clear();
    } else {
        qDebug() << "recognition message:" << result.value("message").toString();
    }
    // The song the sample came from takes it, wherever it is by now.
    m_songEnd->ResultArrived(serial, info, cover, pictures);
}

// ---------------------------------------------------------------- song completion (GUI thread)

void CMainUI::TellLibraryNotWritable(const QString& reason)
{
    if (m_libraryProblemTold)
        return;
    m_libraryProblemTold = true;
    Notice(tr("New recordings cannot be stored in the library: %1\nThey are kept in the output folder:\n%2")
               .arg(reason, QDir::toNativeSeparators(m_settings->GetOutputPath().value(0))));
}

void CMainUI::TellLibraryFull()
{
    if (m_libraryProblemTold)
        return;
    m_libraryProblemTold = true;
    Notice(tr("The library is full: it holds at most 100,000 songs.\nNew recordings are kept in the output "
              "folder:\n%1")
               .arg(QDir::toNativeSeparators(m_settings->GetOutputPath().value(0))));
}

void CMainUI::RecorderModuleMusicStartSlot(int serial)
{
    m_recordingWidget->DownloadingView()->StopAnimation();
    const QByteArray path = OpenSongPath().toUtf8();
    const int created = m_showList->CreateNewRecord(path.isEmpty() ? nullptr : path.constData());
    m_songEnd->SongStarted(serial);
    if (created == CShowListWidget::kLibraryFull) {
        TellLibraryFull();
    } else if (created == CShowListWidget::kLibraryNotWritable) {
        TellLibraryNotWritable(DB_LastErrorText());
    } else if (created == CShowListWidget::kRecordCreated && m_settings->GetIdMode() == 1) {
        m_recordingWidget->DownloadingView()->StartAnimation();
        m_toolBar->StartDownloadAnimation();
        m_showList->SaveNewRecord();
    }
}

void CMainUI::RecorderModuleCompleteSlot(int serial, QString path)
{
    qDebug() << "-------------------CMainUI::RecorderModuleCompleteSlot begin";
    m_toolBar->SongRecordFinished();

    // Until it is finished the song is where the engine left it.
    NoteSongOnDisk(path, path);
    const int minimum = m_settings->GetFilterMode() == 1 ? m_settings->GetFilterTime() : -1;
    if (!m_songEnd->SongEnded(serial, path, minimum)) {
        // No row could be made for it (the library refused): the song stays
        // in the output folder, as the user was told.
        if (!path.isEmpty()) {
            qWarning() << "CMainUI::RecorderModuleCompleteSlot kept without a library row:" << path;
            DB_NoteSongOutside(path);   // added at a start the library takes it
        }
        RunAfterSong(path);
        ContinuePendingClose();
    }
    qDebug() << "-------------------CMainUI::RecorderModuleCompleteSlot end";
}

bool CMainUI::IsFinishingSongs() const
{
    return m_songEnd && m_songEnd->IsBusy();
}

void CMainUI::SongStoredSlot(CTreeWidgetItem* row, qint64 seconds, const QString& reported)
{
    const int musicId = row->GetMusicId();
    const bool recognised = m_settings->GetIdMode() == 1 && seconds > 15;
    AddFinishedRecording(row, recognised ? 1 : 0);
    m_lastCardKind = recognised ? 1 : 2;
    m_recordingWidget->AddAnimItem(m_lastCardKind, row);
    qDebug() << "CMainUI::SongStoredSlot new record is saved, item: " << static_cast<void*>(row);
    // A song without a title was renamed on its way into the library too.
    QString onDisk = row->GetMusicPath();
    MusicInfoRow stored;
    if (DB_GetMusicInfo(musicId, &stored) == 1)
        onDisk = stored.MusicPath;
    SongGoneSlot(reported, onDisk);
}

void CMainUI::SongGoneSlot(const QString& reported, const QString& onDisk)
{
    NoteSongOnDisk(reported, onDisk);
    RunAfterSong(reported);
    if (m_toolBar->GetRecordState() == IRecordStateSource::NotRecording)
        EnablePlayButtonIfPlayable();
    if (!IsFinishingSongs())
        ContinuePendingClose();
}

void CMainUI::RunAfterSong(const QString& reported)
{
    for (int i = 0; i < m_afterSong.size();) {
        if (m_afterSong.at(i).first != reported || m_songEnd->IsFinishing(reported)) {
            ++i;
            continue;
        }
        const std::function<void()> work = m_afterSong.takeAt(i).second;
        work();
    }
}

void CMainUI::NoteSongOnDisk(const QString& reported, const QString& onDisk)
{
    m_lastSongReported = reported;
    m_lastSongOnDisk = !onDisk.isEmpty() && QFileInfo(onDisk).isFile() ? onDisk : QString();
}

void CMainUI::DiscardRecordingRow(bool removeFile)
{
    CTreeWidgetItem* row = m_showList ? m_showList->TakeRecordingRow() : nullptr;
    if (!row)
        return;
    std::unique_ptr<MusicInfoRow> record(row->GetMusicInfo());
    if (record) {
        DB_DeleteMusicinfo(record->MusicId);
        // As a song deleted from the library loses its covers.
        DeleteCandidateCovers(record->Info);
        if (removeFile && !record->MusicPath.isEmpty())
            QFile::remove(record->MusicPath);
    } else {
        DB_DeleteMusicinfo(row->GetMusicId());
    }
    delete row;
}
