// The recording half of the library page: the row made when a song starts,
// recognised song data and covers merged into it, the row shown when the song
// ends, and the tags written into the song's file.
#include "CShowListWidget.h"

#include "CFilterEdit.h"
#include "CMusicInfoTreeWidget.h"
#include "CTagWriter.h"
#include "CTreeWidgetItem.h"
#include "DialogButtonInfo.h"
#include "FileTimeHelpers.h"
#include "MusicDatabase.h"
#include "SongRecordFields.h"
#include "SystemHelpers.h"
#include "capdev.h"

#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cstring>
#include <memory>

namespace {
template <size_t N>
void ReplaceIfGiven(char (&target)[N], const char (&source)[N])
{
    if (source[0] == 0)
        return;
    std::memset(target, 0, N);
    const size_t len = qstrnlen(source, static_cast<uint>(N - 1));
    CopyUtf8Field(target, N, source, len);
}

} // namespace

bool CShowListWidget::DeleteCoverFileIfUnused(const QString& path)
{
    if (path.isEmpty() || DB_GetImageId(path) != 0)
        return false;
    QString pictures;
    if (GetSpecialFolderPath(pictures, kFolderPictures) != 0)
        return false;
    return RemoveProgramPicture(path, QFileInfo(pictures).canonicalFilePath());
}

int CShowListWidget::CreateNewRecord(const char* path)
{
    std::unique_ptr<MusicInfoRow> record(new MusicInfoRow());
    std::memset(&record->Info, 0, sizeof record->Info);
    record->ImageId = 0;
    record->MusicPath = path ? QString::fromUtf8(path) : QString();
    record->DateAdded = QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy hh:mm"));

    // No row this time: later song data must not land in an older song.
    m_recordingRow = nullptr;
    bool full = false;
    const int musicId =
        CreatePrimaryKey(QStringLiteral("MusicInfo"), QStringLiteral("MusicId"), 1, kMaxMusicInfoRows, &full);
    if (musicId == -1) {
        qWarning() << "CShowListWidget::CreateNewRecord no MusicId:" << (full ? "library full" : DB_LastErrorText());
        return full ? kLibraryFull : kLibraryNotWritable;
    }
    record->MusicId = musicId;
    const int rc = DB_SetMusicInfo(record.get());
    if (rc != 0) {
        qWarning() << "CShowListWidget::CreateNewRecord DB_SetMusicInfo failed, rc:" << rc << DB_LastErrorText();
        return kLibraryNotWritable;
    }
    // Built outside the track list: the row stays invisible until the song ends.
    m_recordingRow = new CTreeWidgetItem(musicId, record.get(), nullptr);
    qDebug() << "CShowListWidget::CreateNewRecord item: " << static_cast<void*>(m_recordingRow)
             << " musicId: " << musicId << " file: " << record->MusicPath;
    return kRecordCreated;
}

void CShowListWidget::SaveNewRecord()
{
    if (!m_recordingRow)
        return;
    std::unique_ptr<MusicInfoRow> record(m_recordingRow->GetMusicInfo());
    if (record)
        DB_UpdateMusicInfo(record.get());
}

CTreeWidgetItem* CShowListWidget::TakeRecordingRow()
{
    CTreeWidgetItem* row = m_recordingRow;
    m_recordingRow = nullptr;
    return row;
}

void CShowListWidget::SetNewRecordMusicInfo(RecordMusicInfo* info)
{
    emit MusicInfoToUiSignal(info);
    ApplyRecognition(m_recordingRow, info);
}

void CShowListWidget::ApplyRecognition(CTreeWidgetItem* row, const RecordMusicInfo* info)
{
    if (!row) {
        // Nothing is being recorded (e.g. the song limit refused the row):
        // the data belongs to no song, and its downloaded covers go.
        qWarning() << "CShowListWidget::ApplyRecognition no row for the song";
        if (info)
            DeleteCandidateCovers(*info);
        return;
    }
    row->SetDownloadStatus(TWM_DOWNLOAD_FAILED);
    if (!info)
        return;
    row->SetDownloadStatus(TWM_DOWNLOAD_SUCCEEDED);

    std::unique_ptr<MusicInfoRow> record(new MusicInfoRow());
    if (DB_GetMusicInfo(row->GetMusicId(), record.get()) < 1) {
        DeleteCandidateCovers(*info);
        return;
    }
    DB_GetImageInfo(record.get());
    MergeCovers(record.get(), info);

    RecordMusicInfo& data = record->Info;
    ReplaceIfGiven(data.MusicName, info->MusicName);
    ReplaceIfGiven(data.Artist, info->Artist);
    ReplaceIfGiven(data.AlbumTUI, info->AlbumTUI);
    ReplaceIfGiven(data.Album, info->Album);
    ReplaceIfGiven(data.Year, info->Year);
    ReplaceIfGiven(data.Genre, info->Genre);
    ReplaceIfGiven(data.AlbumMusicList, info->AlbumMusicList);
    DB_UpdateMusicInfo(record.get());
}

void CShowListWidget::MergeCovers(MusicInfoRow* record, const RecordMusicInfo* info)
{
    const int m = CoverCandidateCount(*info);
    if (m <= 0)
        return;
    RecordMusicInfo& data = record->Info;
    data.CoverCount = CoverCandidateCount(data);
    const QString first = CoverPathAt(*info, 0);
    for (int i = 0; i < data.CoverCount; ++i) {
        if (CoverPathAt(data, i) == first)
            return;
    }
    const int lastBefore = data.CoverCount - 1;
    for (int k = m - 1; k >= 0; --k) {
        if (data.CoverCount < kMaxCoverCandidates) {
            const int slot = data.CoverCount++;
            data.CoverIds[slot] = 0;
            std::memcpy(data.CoverPaths[slot], info->CoverPaths[k], sizeof data.CoverPaths[slot]);
            data.CoverPaths[slot][sizeof data.CoverPaths[slot] - 1] = 0;
            continue;
        }
        // Full: evict the oldest candidate that is not the chosen one.
        const int drop = record->ImageId == 0 ? 1 : 0;
        if (record->ImageId != 0)
            --record->ImageId;
        const QString dropped = CoverPathAt(data, drop);
        if (data.CoverIds[drop] != 0)
            DB_DeleteImage(data.CoverIds[drop]);
        DeleteCoverFileIfUnused(dropped);
        for (int i = drop; i < lastBefore; ++i) {
            data.CoverIds[i] = data.CoverIds[i + 1];
            std::memcpy(data.CoverPaths[i], data.CoverPaths[i + 1], sizeof data.CoverPaths[i]);
        }
        data.CoverIds[lastBefore] = 0;
        std::memcpy(data.CoverPaths[lastBefore], info->CoverPaths[k], sizeof data.CoverPaths[lastBefore]);
        data.CoverPaths[lastBefore][sizeof data.CoverPaths[lastBefore] - 1] = 0;
    }
    for (int i = 0; i < data.CoverCount;) {
        if (data.CoverIds[i] != 0) {
            ++i;
            continue;
        }
        const int coverId = CreatePrimaryKey(QStringLiteral("CoverInfo"), QStringLiteral("CoverId"), 1, kMaxCoverInfoRows);
        if (coverId == -1) {
            // No key left: the candidate is dropped rather than stored under -1.
            const QString path = CoverPathAt(data, i);
            qWarning() << "CShowListWidget::MergeCovers no free CoverId, cover dropped:" << path;
            RemoveCoverCandidate(data, i);
            if (record->ImageId > i || record->ImageId >= data.CoverCount)
                record->ImageId = qMax(0, record->ImageId - 1);
            DeleteCoverFileIfUnused(path);
            continue;
        }
        data.CoverIds[i] = coverId;
        DB_SetImageInfo(coverId, record->MusicId, data.CoverPaths[i]);
        ++i;
    }
}

bool CShowListWidget::FinishRecord(CTreeWidgetItem* row)
{
    if (!row)
        return true;
    std::unique_ptr<MusicInfoRow> record(row->GetMusicInfo());
    if (!record)
        return false;
    bool stored = true;
    if (row->GetDownloadStatus() != TWM_DOWNLOAD_SUCCEEDED) {
        const QString before = record->MusicPath;
        QString path = before;
        SaveLoadMuiscName(tr("Track"), path);
        record->MusicPath = path;
        if (DB_UpdateMusicInfo(record.get()) != 0) {
            // The row still names the old file: so does the disk.
            if (path != before && QFile::rename(path, before))
                record->MusicPath = before;
            qWarning() << "CShowListWidget::FinishRecord row not stored, file keeps its name:" << before;
            stored = false;
        }
    }
    const int musicId = row->GetMusicId();
    for (int listId : {1, 2}) {
        if (!m_tables.contains(listId))
            m_tables.insert(listId, new ListTable);
        m_tables.value(listId)->insert(musicId, row);
    }
    row->SetItemData(1, record.get());
    if (!row->treeWidget())
        m_trackList->insertTopLevelItem(0, row);
    const int shown = GetShownListId();
    if (shown == 1 || shown == 2) {
        m_trackList->setCurrentItem(row);
        m_filter->emtiFilterChanged();
    } else {
        row->setHidden(true);
    }
    return stored;
}

void CShowListWidget::WriteMusicTags(MusicInfoRow* row)
{
    if (!row || !CTagWriter::TakesTags(row->MusicPath))
        return;
    // The tag layer writes a uniquely named copy beside the song and renames
    // it over the song in one step, so no other file is ever overwritten and
    // a failure leaves the song as it was.
    const int rc = CTagWriter::WriteTags(CTagWriter::MakeJob(*row), row->MusicPath, row->MusicPath);
    if (rc != CAPDEV_OK)
        qWarning() << "SetMusicTagsInfo failed, musicId: " << row->MusicId << " Err: " << rc;
}

void CShowListWidget::ShowStoredLengths(const QVector<QPair<int, QString>>& lengths)
{
    const ListTable* all = TableOf(1);
    if (!all)
        return;
    for (const auto& length : lengths) {
        if (CTreeWidgetItem* row = all->value(length.first, nullptr))
            row->setText(CTreeWidgetItem::ColTime, length.second);
    }
}

void CShowListWidget::AddFoundSongs(const QVector<CStartupSongScan::FoundSong>& songs)
{
    std::vector<MusicInfoRow> records(static_cast<size_t>(songs.size()));
    std::vector<int> formerIds(static_cast<size_t>(songs.size()));
    for (int i = 0; i < songs.size(); ++i) {
        formerIds[static_cast<size_t>(i)] = songs.at(i).formerMusicId;
        MusicInfoRow& record = records[static_cast<size_t>(i)];
        std::memset(&record.Info, 0, sizeof record.Info);
        record.MusicPath = songs.at(i).path;
        record.TimeRecorded = SecondToTimeText(static_cast<unsigned>(songs.at(i).ms / 1000));
        // Added when it was recorded, which the file's time tells.
        record.DateAdded = songs.at(i).modified.toString(QStringLiteral("MM/dd/yyyy hh:mm"));
        const CStartupSongScan::FoundSong& song = songs.at(i);
        RecordMusicInfo& info = record.Info;
        CopyUtf8Field(info.MusicName, sizeof info.MusicName, song.title.toUtf8());
        CopyUtf8Field(info.Artist, sizeof info.Artist, song.artist.toUtf8());
        CopyUtf8Field(info.Album, sizeof info.Album, song.album.toUtf8());
        CopyUtf8Field(info.Year, sizeof info.Year, song.year.toUtf8());
        CopyUtf8Field(info.Genre, sizeof info.Genre, song.genre.toUtf8());
    }
    const int added = DB_AddSongs(records, formerIds);
    // What the library could not take stays noted for a later start.
    for (int i = qMax(0, added); i < songs.size(); ++i)
        DB_NoteSongOutside(songs.at(i).path);
    if (added <= 0)
        return;
    qDebug() << "CShowListWidget::AddFoundSongs" << added << "songs added to the library from their files";
    const QDate today = QDate::currentDate();
    const int shown = GetShownListId();
    for (int listId : {1, 2}) {
        if (!m_tables.contains(listId))
            m_tables.insert(listId, new ListTable);
    }
    QList<CTreeWidgetItem*> rows;
    QSet<int> listsGrown;
    std::vector<bool> inShownList(static_cast<size_t>(added), false);
    for (int i = 0; i < added; ++i) {
        MusicInfoRow& record = records[static_cast<size_t>(i)];
        // A song that came back to the list entries and covers it had.
        QList<MusicItemLink> links;
        if (formerIds[static_cast<size_t>(i)] > 0) {
            DB_GetImageInfo(&record);
            DB_GetMusicItem(links, record.MusicId, QStringLiteral("MusicId"));
        }
        auto* row = new CTreeWidgetItem(record.MusicId, &record, nullptr);
        row->SetItemData(1, &record);
        row->setFlags(row->flags() | Qt::ItemNeverHasChildren);
        const bool recent = songs.at(i).modified.date() == today;
        m_tables.value(1)->insert(record.MusicId, row);
        if (recent)
            m_tables.value(2)->insert(record.MusicId, row);
        for (const MusicItemLink& link : links) {
            if (ListTable* table = TableOf(link.ListId)) {
                table->insert(link.ItemId, row);
                listsGrown.insert(link.ListId);
                inShownList[static_cast<size_t>(i)] = inShownList[static_cast<size_t>(i)] || link.ListId == shown;
            }
        }
        rows.append(row);
    }
    m_trackList->AddRowsSorted(rows);
    for (int i = 0; i < rows.size(); ++i) {
        const bool recent = songs.at(i).modified.date() == today;
        rows.at(i)->setHidden(!(shown == 1 || (shown == 2 && recent) || inShownList[static_cast<size_t>(i)]));
    }
    emit ListCountChanged(1, GetListItemCount(1));
    emit ListCountChanged(2, GetListItemCount(2));
    for (int listId : listsGrown)
        emit ListCountChanged(listId, GetListItemCount(listId));
}
