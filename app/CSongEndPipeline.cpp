#include "CSongEndPipeline.h"

#include "CShowListWidget.h"
#include "CTagWriter.h"
#include "CTreeWidgetItem.h"
#include "CoverPictureFile.h"
#include "FileTimeHelpers.h"
#include "MusicDatabase.h"
#include "SongRecordFields.h"
#include "trackhold.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRunnable>
#include <QTimer>

#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace {
qint64 MeasureMs(const QString& path)
{
    int64_t ms = 0;
    if (WM_MeasureFile(path.toUtf8().constData(), &ms) != 0 || ms < 0)
        return -1;
    return ms;
}
} // namespace

CSongEndPipeline::CSongEndPipeline(CShowListWidget* library, QObject* parent)
    : QObject(parent)
    , m_library(library)
    , m_tagWriter(new CTagWriter)
{
    m_pool.setMaxThreadCount(2);
    connect(m_tagWriter, &CTagWriter::Finished, this,
            [this](int musicId, const QString&, CTagWriter::Outcome, int) { TagsWritten(musicId); });
}

CSongEndPipeline::~CSongEndPipeline()
{
    m_quitting = true;
    blockSignals(true);
    // Measures and covers under way come back; running tag writes end with
    // their copies in place (the writer tells nobody, so they count as done).
    m_pool.waitForDone();
    delete m_tagWriter;
    m_tagWriter = nullptr;
    for (Song& song : m_songs) {
        if (song.tagging) {
            // A write still waiting behind the one that ran was dropped:
            // such a song is written again below.
            song.tagging = false;
            song.tagged = !song.retag;
        }
        if (song.heldFile >= 0)
            ::close(song.heldFile);
        song.heldFile = -1;
    }
    RunDone();
    const QList<int> serials = m_songs.keys();
    for (int serial : serials)
        Advance(serial);
}

void CSongEndPipeline::OnWorker(std::function<std::function<void()>()> work)
{
    m_pool.start(QRunnable::create([this, work] {
        std::function<void()> done = work();
        {
            QMutexLocker guard(&m_lock);
            m_done.append(std::move(done));
        }
        QMetaObject::invokeMethod(this, &CSongEndPipeline::RunDone, Qt::QueuedConnection);
    }));
}

void CSongEndPipeline::RunDone()
{
    QList<std::function<void()>> done;
    {
        QMutexLocker guard(&m_lock);
        done.swap(m_done);
    }
    for (const auto& step : done)
        step();
}

void CSongEndPipeline::SetWaits(int resultWaitMs, int coverWaitOnCloseMs)
{
    m_resultWaitMs = resultWaitMs;
    m_coverWaitOnCloseMs = coverWaitOnCloseMs;
}

void CSongEndPipeline::SongStarted(int serial)
{
    m_current = serial;
    m_currentAsked = false;
    m_currentAnswered = false;
    m_currentHasData = false;
}

void CSongEndPipeline::RecognitionAsked(int serial)
{
    if (serial == m_current)
        m_currentAsked = true;
}

bool CSongEndPipeline::IsFinishing(const QString& path) const
{
    for (const Song& song : m_songs) {
        if (!path.isEmpty() && song.reported == path)
            return true;
    }
    return false;
}

void CSongEndPipeline::ExpectCover(int serial)
{
    m_coverFollows.insert(serial);
}

void CSongEndPipeline::ResultArrived(int serial, RecordMusicInfo* info, const QByteArray& cover,
                                     const QString& picturesFolder)
{
    const bool final = !m_coverFollows.remove(serial);
    if (!info || cover.isEmpty() || picturesFolder.isEmpty()) {
        Apply(serial, info, final);
        return;
    }
    const QString title = RecordFieldText(info->MusicName);
    OnWorker([this, serial, info, cover, picturesFolder, title, final]() -> std::function<void()> {
        // Only a picture that decoded and was saved becomes a cover.
        const QString path = SaveCoverPicture(cover, picturesFolder, title);
        return [this, serial, info, path, final] {
            if (!path.isEmpty()) {
                info->CoverCount = 1;
                CopyUtf8Field(info->CoverPaths[0], sizeof info->CoverPaths[0], path.toUtf8());
            }
            Apply(serial, info, final);
        };
    });
}

void CSongEndPipeline::Apply(int serial, RecordMusicInfo* info, bool final)
{
    std::unique_ptr<RecordMusicInfo> owned(info);
    if (!final && !info)
        return;   // no data: the final result says how it ended
    if (serial != 0 && serial == m_current) {
        // The views show the song's result once, when it is complete.
        if (final) {
            m_currentAnswered = true;
            if (!m_quitting)
                m_library->ShowRecognition(info);
        } else {
            m_currentHasData = true;
        }
        m_library->ApplyRecognition(m_library->RecordingRow(), info);
        return;
    }
    auto found = m_songs.find(serial);
    if (serial == 0 || found == m_songs.end()) {
        qInfo() << "CSongEndPipeline: recognition result of song" << serial
                << "dropped: the song is gone or already finished";
        if (info)
            DeleteCandidateCovers(*info);
        return;
    }
    // The views wait for the song being recorded; with none, for this one.
    if (final && m_current == 0 && !m_quitting)
        m_library->ShowRecognition(info);
    m_library->ApplyRecognition(found->row, info);
    if (found->tagging) {
        // The wait for this ended before it came and the tags on their way
        // lack it: the file is written again, as the row has it now, or the
        // row would claim a cover the file does not carry.
        found->retag = true;
        WriteTags(*found);
    } else if (found->tagged) {
        // Quitting, its tag write already ended: written again below.
        found->tagged = false;
    }
    if (final) {
        found->awaitingResult = false;
    } else {
        found->hasData = true;
        if (m_closing)
            BoundForClose(*found);
    }
    Advance(serial);
}

void CSongEndPipeline::FinishForClose()
{
    m_closing = true;
    for (Song& song : m_songs)
        BoundForClose(song);
}

void CSongEndPipeline::BoundForClose(Song& song)
{
    // A cover that never comes must not hold the window: the song is stored
    // with its data, as it would be without a cover.
    if (!song.awaitingResult || !song.hasData || song.coverBound)
        return;
    song.coverBound = true;
    BoundResultWait(song.serial, m_coverWaitOnCloseMs, "stored without its cover: the window closes");
}

void CSongEndPipeline::BoundResultWait(int serial, int ms, const char* why)
{
    QTimer::singleShot(ms, this, [this, serial, why] {
        auto found = m_songs.find(serial);
        if (found == m_songs.end() || !found->awaitingResult)
            return;
        qWarning() << "CSongEndPipeline: song" << found->reported << why;
        found->awaitingResult = false;
        Advance(serial);
    });
}

bool CSongEndPipeline::SongEnded(int serial, const QString& path, int minimumSeconds)
{
    const bool current = serial != 0 && serial == m_current;
    if (!current)
        return false;
    m_current = 0;
    CTreeWidgetItem* row = m_library->TakeRecordingRow();
    if (!row)
        return false;
    Song song;
    song.serial = serial;
    song.musicId = row->GetMusicId();
    song.row = row;
    song.reported = path;
    song.minimumSeconds = minimumSeconds;
    song.awaitingResult = m_currentAsked && !m_currentAnswered;
    song.hasData = m_currentHasData;
    auto inserted = m_songs.insert(serial, song);
    if (song.awaitingResult) {
        BoundResultWait(serial, m_resultWaitMs, "finished without its recognition result");
        if (m_closing)
            BoundForClose(*inserted);
    }
    Advance(serial);
    return true;
}

void CSongEndPipeline::Advance(int serial)
{
    auto found = m_songs.find(serial);
    if (found == m_songs.end())
        return;
    Song& song = *found;
    if (!song.measured) {
        if (song.reported.isEmpty() || !QFileInfo(song.reported).isFile()) {
            // The engine deleted it as too short, or it went with its folder.
            Drop(song);
            return;
        }
        if (m_quitting) {
            Measured(serial, MeasureMs(song.reported));
            return;
        }
        if (!song.measuring) {
            song.measuring = true;
            const QString path = song.reported;
            OnWorker([this, serial, path]() -> std::function<void()> {
                const qint64 ms = MeasureMs(path);
                return [this, serial, ms] { Measured(serial, ms); };
            });
        }
        return;
    }
    if (song.awaitingResult && !m_quitting)
        return;
    if (!song.tagged) {
        if (song.tagging)
            return;
        song.tagging = WriteTags(song);
        if (song.tagging)
            return;
        song.tagged = true;
    }
    Complete(song);
}

bool CSongEndPipeline::WriteTags(Song& song)
{
    std::unique_ptr<MusicInfoRow> record(song.row->GetMusicInfo());
    const bool wanted = record && song.row->GetDownloadStatus() == TWM_DOWNLOAD_SUCCEEDED
                        && CTagWriter::TakesTags(song.reported);
    if (!wanted)
        return false;
    record->MusicPath = song.reported;
    const int chosen = ChosenCoverIndex(*record);
    if (chosen >= 0)
        record->ImageId = chosen;
    if (m_quitting) {
        // The window is gone: nobody waits any more.
        const int rc = CTagWriter::WriteTags(CTagWriter::MakeJob(*record), song.reported, song.reported);
        if (rc != 0)
            qWarning() << "CSongEndPipeline: tags not written, musicId:" << song.musicId << "Err:" << rc;
        return false;
    }
    // The file as it was before its first write is held. A second write
    // (rare: a result after the wait ran out) frees the first one's copy
    // on this thread when it takes its place.
    if (song.heldFile < 0)
        song.heldFile = ::open(QFile::encodeName(song.reported).constData(), O_RDONLY | O_CLOEXEC);
    if (m_tagWriter->Write(*record))
        return true;
    if (!song.tagging)
        ReleaseHeldFile(song);
    return false;
}

void CSongEndPipeline::Measured(int serial, qint64 ms)
{
    auto found = m_songs.find(serial);
    if (found == m_songs.end())
        return;
    Song& song = *found;
    song.measuring = false;
    song.measured = true;
    song.ms = ms;
    if (ms < 0) {
        // A length we cannot read is no reason to throw a recording away.
        qWarning() << "CSongEndPipeline: song" << song.reported << "length unknown, kept";
    } else {
        const qint64 seconds = ms / 1000;
        qDebug() << "CSongEndPipeline: song" << song.reported << "length:" << seconds;
        if (seconds == 0 || (song.minimumSeconds >= 0 && seconds <= song.minimumSeconds)) {
            QFile::remove(song.reported);
            Drop(song);
            return;
        }
    }
    Advance(serial);
}

void CSongEndPipeline::TagsWritten(int musicId)
{
    for (Song& song : m_songs) {
        if (song.musicId == musicId && song.tagging) {
            song.tagging = false;
            song.tagged = true;
            ReleaseHeldFile(song);
            Advance(song.serial);
            return;
        }
    }
}

bool CSongEndPipeline::StoreRow(MusicInfoRow* record, const QString& nameBefore)
{
    if (DB_UpdateMusicInfo(record) == 0)
        return true;
    const QString reason = DB_LastErrorText();
    qWarning() << "CSongEndPipeline: row not stored:" << record->MusicId << reason;
    // The row still names the file as it was: so must the disk.
    if (!nameBefore.isEmpty() && nameBefore != record->MusicPath && QFile::rename(record->MusicPath, nameBefore))
        record->MusicPath = nameBefore;
    emit LibraryNotWritable(reason);
    return false;
}

void CSongEndPipeline::Complete(Song& song)
{
    const int serial = song.serial;
    std::unique_ptr<MusicInfoRow> record(song.row->GetMusicInfo());
    if (!record) {
        // The library cannot give the row back: the file stays where it is.
        qWarning() << "CSongEndPipeline: no record for" << song.reported << ", kept as a file";
        emit LibraryNotWritable(DB_LastErrorText());
        DB_NoteSongOutside(song.reported);
        const QString reported = song.reported;
        delete song.row;
        Forget(serial);
        emit SongGone(reported, reported);
        return;
    }
    record->MusicPath = song.reported;
    record->TimeRecorded = SecondToTimeText(static_cast<unsigned>(qMax<qint64>(0, song.ms) / 1000));
    // Named as the library names a song: after its title, or "Track" when it
    // has none that a file name can hold. Here and not only when the library
    // takes the row: a song finished as the program quits is never handed
    // over, and must not keep the engine's time-stamp name.
    const QString before = record->MusicPath;
    QString name;
    if (song.row->GetDownloadStatus() == TWM_DOWNLOAD_SUCCEEDED)
        name = RecordFieldText(record->Info.MusicName);
    if (MakeValidFileName(name).isEmpty())
        name = CShowListWidget::tr("Track");
    SaveLoadMuiscName(name, record->MusicPath);
    const QString reported = song.reported;
    CTreeWidgetItem* row = song.row;
    const qint64 seconds = song.ms < 0 ? -1 : song.ms / 1000;
    if (!StoreRow(record.get(), before)) {
        // Kept as a file only; the library row it could not finish goes.
        DB_DeleteMusicinfo(record->MusicId);
        DB_NoteSongOutside(record->MusicPath);
        delete row;
        Forget(serial);
        emit SongGone(reported, record->MusicPath);
        return;
    }
    Forget(serial);
    if (m_quitting) {
        // Stored and named; the window that would list it is going.
        delete row;
        return;
    }
    emit SongStored(row, seconds, reported);
}

void CSongEndPipeline::Drop(Song& song)
{
    const int serial = song.serial;
    const QString reported = song.reported;
    std::unique_ptr<MusicInfoRow> record(song.row->GetMusicInfo());
    DB_DeleteMusicinfo(song.musicId);
    // As a song deleted from the library loses its covers.
    if (record)
        DeleteCandidateCovers(record->Info);
    qDebug() << "CSongEndPipeline: song" << reported << "dropped";
    delete song.row;
    Forget(serial);
    emit SongGone(reported, QString());
}

void CSongEndPipeline::ReleaseHeldFile(Song& song)
{
    const int fd = song.heldFile;
    song.heldFile = -1;
    if (fd >= 0)
        m_pool.start(QRunnable::create([fd] { ::close(fd); }));
}

void CSongEndPipeline::Forget(int serial)
{
    m_songs.remove(serial);
}
