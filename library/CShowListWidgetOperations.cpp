// The song and list operations of the library page: removing a song from a
// list, deleting songs with their files and covers, emptying a play list,
// adding songs to play lists and "Recently Played", editing tags and showing
// a file in the file manager.
#include "CShowListWidget.h"

#include "CAppSettings.h"
#include "CFilterEdit.h"
#include "CGraphicsView.h"
#include "CMissingFileScan.h"
#include "CMusicInfoTreeWidget.h"
#include "CTagWriter.h"
#include "CTreeWidgetItem.h"
#include "DialogButtonInfo.h"
#include "LibrarySeams.h"
#include "MusicDatabase.h"
#include "PlayQueue.h"
#include "SongRecordFields.h"
#include "SystemHelpers.h"

#include <QAction>
#include <QDateTime>
#include <QDebug>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QElapsedTimer>
#include <QMenu>
#include <QThread>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <memory>

namespace {
constexpr int kAllList = 1;
constexpr int kNewList = 2;
constexpr int kPlayedList = 3;
constexpr int kDateLength = 16;
// Whether the data a tag write puts into the file is the same.
bool IsMusicInfoEqual(const MusicInfoRow& a, const MusicInfoRow& b)
{
    auto same = [](const char* x, const char* y, size_t n) { return qstrncmp(x, y, static_cast<uint>(n)) == 0; };
    return same(a.Info.MusicName, b.Info.MusicName, sizeof a.Info.MusicName)
        && same(a.Info.Artist, b.Info.Artist, sizeof a.Info.Artist)
        && same(a.Info.Album, b.Info.Album, sizeof a.Info.Album)
        && same(a.Info.Year, b.Info.Year, sizeof a.Info.Year)
        && same(a.Info.Genre, b.Info.Genre, sizeof a.Info.Genre)
        && ChosenCoverPath(a) == ChosenCoverPath(b);
}

QString NowText()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy hh:mm"));
}

// Ends a transaction on every path out of a scope.
class TransactionScope
{
public:
    TransactionScope() { DB_CreateTransaction(); }
    ~TransactionScope() { DB_CommitTransaction(); }
    TransactionScope(const TransactionScope&) = delete;
    TransactionScope& operator=(const TransactionScope&) = delete;
};
} // namespace

bool CShowListWidget::RemoveFromPlayQueue(CTreeWidgetItem* row)
{
    return RemoveFromPlayQueue(QSet<const QTreeWidgetItem*>{row});
}

bool CShowListWidget::RemoveFromPlayQueue(const QSet<const QTreeWidgetItem*>& rows)
{
    // One pass, with what taking the rows out one by one gives: the index
    // falls by one for each entry gone before it, and names the next entry
    // when the current one went.
    PlayQueue& queue = PlayQueue::Instance();
    QList<IPlayQueueTrack*> kept;
    kept.reserve(queue.items.size());
    int before = 0;
    bool current = false;
    for (int pos = 0; pos < queue.items.size(); ++pos) {
        IPlayQueueTrack* entry = queue.items.at(pos);
        if (!rows.contains(CTreeWidgetItem::FromQueue(entry))) {
            kept.append(entry);
            continue;
        }
        entry->SetNoticeColumnIcon(QIcon());
        if (pos < queue.currentIndex)
            ++before;
        else if (pos == queue.currentIndex)
            current = true;
    }
    if (kept.size() == queue.items.size())
        return false;
    queue.items = kept;
    queue.currentIndex -= before;
    return current;
}

void CShowListWidget::DropHeldForPaste(const QSet<const QTreeWidgetItem*>& leaving)
{
    QList<CTreeWidgetItem*> kept;
    for (CTreeWidgetItem* row : m_heldForPaste) {
        if (!leaving.contains(row))
            kept.append(row);
    }
    m_heldForPaste = kept;
}

int CShowListWidget::RemoveItemsFromList(const QList<CTreeWidgetItem*>& rows, int listId)
{
    QSet<const QTreeWidgetItem*> leaving;
    for (CTreeWidgetItem* row : rows) {
        if (row)
            leaving.insert(row);
    }
    if (leaving.isEmpty())
        return 0;
    const PlayQueue& queue = PlayQueue::Instance();
    const int result = queue.queueListId == listId && RemoveFromPlayQueue(leaving) ? 1 : 0;
    DropHeldForPaste(leaving);

    ListTable* table = TableOf(listId);
    if (listId > kPlayedList) {
        // The entries of the rows, found in one walk over the list's table.
        std::vector<int> itemIds;
        if (table) {
            for (auto entry = table->begin(); entry != table->end(); ++entry) {
                if (leaving.contains(entry.value()))
                    itemIds.push_back(entry.key());
            }
        }
        if (DB_DeleteMusicItems(itemIds) != 0) {
            qWarning() << "CShowListWidget::RemoveItemsFromList the library kept the entries of list" << listId;
            return result;
        }
        for (int itemId : itemIds)
            table->remove(itemId);
    } else if (listId == kPlayedList) {
        std::vector<int> ids;
        for (const QTreeWidgetItem* row : leaving)
            ids.push_back(static_cast<const CTreeWidgetItem*>(row)->GetMusicId());
        if (DB_CutPlayDates(ids) != 0) {
            qWarning() << "CShowListWidget::RemoveItemsFromList the library kept the play dates";
            return result;
        }
        for (CTreeWidgetItem* row : rows) {
            if (!row)
                continue;
            row->ClearPlayDate();
            if (table)
                table->remove(row->GetMusicId());
        }
    } else if (table) {
        for (CTreeWidgetItem* row : rows) {
            if (row)
                table->remove(row->GetMusicId());
        }
    }
    if (listId == GetShownListId())
        m_trackList->UpdateRowsHidden(
            [&](int, QTreeWidgetItem* row, bool hidden) { return hidden || leaving.contains(row); });
    return result;
}

bool CShowListWidget::ConfirmDelete(const QString& text)
{
    CAppSettings* settings = CAppSettings::GetInstance();
    if (settings->GetDeleteType() != 0)
        return true;
    QList<DialogButtonInfo> buttons;
    buttons.append({QDialogButtonBox::Cancel, tr("Cancel"), true});
    buttons.append({QDialogButtonBox::Ok, tr("Delete"), false});
    bool checked = false;
    if (AskQuestion(text, buttons, true, &checked) != QDialogButtonBox::Ok)
        return false;
    if (checked)
        settings->SetDeleteType(1);
    return true;
}

int CShowListWidget::RemoveItemFromList(CTreeWidgetItem* row, int listId)
{
    if (!row)
        return 0;
    int result = 0;
    PlayQueue& queue = PlayQueue::Instance();
    if (queue.queueListId == listId && RemoveFromPlayQueue(row))
        result = 1;
    m_heldForPaste.removeAll(row);

    ListTable* table = TableOf(listId);
    if (listId > kPlayedList) {
        if (table) {
            for (auto entry = table->begin(); entry != table->end(); ++entry) {
                if (entry.value() == row) {
                    const int itemId = entry.key();
                    table->erase(entry);
                    DB_DeleteMusicItem(itemId);
                    break;
                }
            }
        }
    } else if (listId == kPlayedList) {
        row->ClearPlayDate();
        std::unique_ptr<MusicInfoRow> record(row->GetMusicInfo());
        if (record && record->DateAdded.size() > kDateLength) {
            record->DateAdded.truncate(kDateLength);
            DB_UpdateMusicInfo(record.get());
        }
        if (table)
            table->remove(row->GetMusicId());
    } else if (table) {
        table->remove(row->GetMusicId());
    }
    if (listId == GetShownListId())
        row->setHidden(true);
    return result;
}

int CShowListWidget::DeleteMusic(CTreeWidgetItem* row)
{
    if (!row)
        return 0;
    if (std::unique_ptr<MusicInfoRow> record{row->GetMusicInfo()}; !record)
        qDebug() << "CShowListWidget::DeleteMusic can not found record, item: " << static_cast<void*>(row)
                 << " musicId: " << row->GetMusicId();
    return DeleteSongs({row});
}

int CShowListWidget::DeleteSongs(const QList<CTreeWidgetItem*>& rows)
{
    QSet<const QTreeWidgetItem*> leaving;
    leaving.reserve(rows.size());
    QList<CTreeWidgetItem*> unique;
    unique.reserve(rows.size());
    std::vector<int> ids;
    ids.reserve(static_cast<size_t>(rows.size()));
    for (CTreeWidgetItem* row : rows) {
        if (!row || leaving.contains(row))
            continue;
        leaving.insert(row);
        unique.append(row);
        ids.push_back(row->GetMusicId());
    }
    if (unique.isEmpty())
        return 0;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    // The songs' rows, list entries and covers go in one committed
    // transaction that also notes the files they leave unused. Refused, the
    // library, the lists and the disk stay as they were.
    std::vector<PendingFileRemoval> removals;
    const int rc = DB_DeleteSongs(ids, removals);
    if (rc != 0) {
        qWarning() << "CShowListWidget::DeleteSongs the library refused the deletion, rc:" << rc << "songs:"
                   << unique.size();
        return 0;
    }

    // Every table, the clipboard and the play queue in one pass each.
    for (auto it = m_tables.begin(); it != m_tables.end(); ++it) {
        ListTable* table = it.value();
        const int before = table->size();
        for (auto entry = table->begin(); entry != table->end();) {
            if (leaving.contains(entry.value()))
                entry = table->erase(entry);
            else
                ++entry;
        }
        if (table->size() != before)
            emit MusicInOtherListDeleted(it.key(), table->size());
    }
    DropHeldForPaste(leaving);
    const int result = RemoveFromPlayQueue(leaving) ? 1 : 0;

    for (CTreeWidgetItem* row : unique)
        emit MusicItemDeleted(row);
    // The walk of the context menu's files may still read rows.
    if (m_fileScan)
        m_fileScan->Cancel();
    m_trackList->TakeRows(leaving);
    qDeleteAll(unique);

    RemoveFiles(std::move(removals));
    return result;
}

void CShowListWidget::RemoveFiles(std::vector<PendingFileRemoval> removals)
{
    if (removals.empty())
        return;
    QString pictures;
    if (GetSpecialFolderPath(pictures, kFolderPictures) == 0)
        pictures = QFileInfo(pictures).canonicalFilePath();
    // On a worker: 100,000 files take the file system most of a second, and
    // the notes in the library finish the work should the program end first.
    auto stop = m_stopRemovals;
    auto work = std::make_shared<std::vector<PendingFileRemoval>>(std::move(removals));
    QThread* worker = QThread::create([work, pictures, stop] {
        const std::vector<PendingFileRemoval>& removals = *work;
        std::vector<PendingFileRemoval> done;
        done.reserve(removals.size());
        for (const PendingFileRemoval& removal : removals) {
            if (stop->load())
                break;
            if (removal.kind == PendingFileRemoval::CoverPicture) {
                // Only the program's own pictures, never a user's file.
                RemoveProgramPicture(removal.path, pictures);
                done.push_back(removal);
                continue;
            }
            const QByteArray name = QFile::encodeName(removal.path);
            if (::unlink(name.constData()) != 0 && errno != ENOENT) {
                // Still noted: tried again at the next start, and meanwhile
                // the start's look through the output folder does not take
                // the song the user deleted for one the library lost.
                qWarning() << "CShowListWidget::RemoveFiles could not remove " << removal.path << strerror(errno);
                continue;
            }
            done.push_back(removal);
        }
        DB_DonePendingRemovals(done);
    });
    m_removers.append(worker);
    connect(worker, &QThread::finished, this, [this, worker] {
        m_removers.removeAll(worker);
        worker->deleteLater();
    });
    worker->start(QThread::LowPriority);
}

bool CShowListWidget::WaitForFileRemovals(int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    for (QThread* worker : m_removers) {
        const qint64 left = timeoutMs - waited.elapsed();
        if (left <= 0 || !worker->wait(static_cast<unsigned long>(left)))
            return false;
    }
    return true;
}

void CShowListWidget::StopFileRemovals()
{
    // What is not removed yet stays noted for the next start.
    m_stopRemovals->store(true);
    for (QThread* worker : m_removers)
        worker->wait();
    qDeleteAll(m_removers);
    m_removers.clear();
}

bool CShowListWidget::RemoveProgramPicture(const QString& path, const QString& picturesFolder)
{
    const QFileInfo file(path);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    if (picturesFolder.isEmpty() || folder.isEmpty() || folder != picturesFolder || !file.isFile())
        return false;
    return QFile::remove(path);
}

void CShowListWidget::FinishPendingRemovals()
{
    // Removals a deletion noted and did not confirm: the program ended
    // between the commit and the files. A path a song or a cover names
    // again stays.
    std::vector<PendingFileRemoval> pending;
    if (DB_GetPendingRemovals(pending) != 0 || pending.empty())
        return;
    std::vector<PendingFileRemoval> named;
    std::vector<PendingFileRemoval> unused;
    for (const PendingFileRemoval& removal : pending)
        (removal.named ? named : unused).push_back(removal);
    qDebug() << "CShowListWidget::FinishPendingRemovals" << unused.size() << "files," << named.size() << "kept";
    DB_DonePendingRemovals(named);
    RemoveFiles(std::move(unused));
}

int CShowListWidget::DeleteSelectedMusic(const QList<QTreeWidgetItem*>& rows, int listId)
{
    QList<CTreeWidgetItem*> tracks;
    for (QTreeWidgetItem* row : rows) {
        if (auto* track = dynamic_cast<CTreeWidgetItem*>(row))
            tracks.append(track);
    }
    return DeleteSelectedMusic(tracks, listId);
}

int CShowListWidget::DeleteSelectedMusic(const QList<CTreeWidgetItem*>& rows, int listId)
{
    if (rows.isEmpty())
        return 0;
    const bool library = listId == kAllList || listId == kNewList;
    const QString text = library
        ? tr("Are you sure you want to delete the \nselected file from Library?\nIts original file will also be deleted.\n ")
        : tr("Are you sure to delete the selected file?\n");
    if (!ConfirmDelete(text))
        return 0;
    const int result = library ? DeleteSongs(rows) : RemoveItemsFromList(rows, listId);
    if (CTreeWidgetItem* current = m_trackList->GetCurrentVisibleItem()) {
        m_trackList->setCurrentItem(current);
        current->setSelected(true);
    }
    return result;
}

int CShowListWidget::ClearMusicList(int listId)
{
    // Only play lists are emptied and dropped: the tables of lists 1 to 3
    // stay for the page's whole life.
    if (listId <= kPlayedList) {
        qWarning() << "CShowListWidget::ClearMusicList refused for list" << listId;
        return 0;
    }
    // A question of its own, naming the list: "Do not show this again" was
    // ticked for songs, never for a whole list.
    QString name;
    for (const auto& entry : m_listActions) {
        if (entry.first == listId)
            name = entry.second->text();
    }
    ListTable* table = TableOf(listId);
    if (!table && name.isEmpty())
        return 0;  // no such list
    QList<DialogButtonInfo> buttons;
    buttons.append({QDialogButtonBox::Cancel, tr("Cancel"), true});
    buttons.append({QDialogButtonBox::Ok, tr("Delete"), false});
    if (AskQuestion(tr("Are you sure you want to delete the play list \"%1\"?\nIts songs stay in the library.")
                        .arg(name),
                    buttons) != QDialogButtonBox::Ok)
        return -1;
    if (!table || table->isEmpty()) {
        if (table) {
            m_tables.remove(listId);
            delete table;
        }
        return 0;
    }
    int result = 0;
    {
        TransactionScope transaction;
        const QList<CTreeWidgetItem*> rows = table->values();
        for (CTreeWidgetItem* row : rows)
            result |= RemoveItemFromList(row, listId);
    }
    m_tables.remove(listId);
    delete table;
    return result;
}

void CShowListWidget::DeleteAction(int listId)
{
    qDebug() << "CShowListWidget::DeleteAction listId: " << listId;
    for (int i = 0; i < m_listActions.size(); ++i) {
        if (m_listActions.at(i).first == listId) {
            QAction* action = m_listActions.takeAt(i).second;
            m_playListMenu->removeAction(action);
            delete action;
            return;
        }
    }
}

CTreeWidgetItem* CShowListWidget::AddItemToList(CTreeWidgetItem* row, int listId)
{
    if (!row)
        return nullptr;
    std::unique_ptr<MusicInfoRow> record(row->GetMusicInfo());
    if (!record)
        return nullptr;
    const QString now = NowText();
    ListTable* table = TableOf(listId);
    if (!table)
        return nullptr;
    CTreeWidgetItem* libraryRow = TableOf(kAllList) ? TableOf(kAllList)->value(row->GetMusicId(), nullptr) : nullptr;
    if (!IsItemInList(listId, row)) {
        if (!libraryRow)
            return nullptr;
        if (listId == kPlayedList) {
            record->DateAdded = record->DateAdded.left(kDateLength) + QLatin1Char(';') + now;
            DB_UpdateMusicInfo(record.get());
            table->insert(row->GetMusicId(), libraryRow);
            libraryRow->SetDateText(record->DateAdded);
            // The date column shows the play date while "Recently Played" is on
            // show, from the first play on.
            libraryRow->SetDateColumn(GetShownListId());
        } else {
            // Stored first: a list entry the database refused would vanish
            // at the next start although the list showed it.
            std::vector<int> itemIds;
            const int rc = DB_SetMusicItems(listId, {row->GetMusicId()}, itemIds);
            if (rc != 0) {
                qWarning() << "CShowListWidget::AddItemToList could not store the song in list" << listId
                           << "rc:" << rc;
                return nullptr;
            }
            table->insert(itemIds.front(), libraryRow);
        }
        return libraryRow;
    }
    if (listId == kPlayedList) {
        if (!table->contains(row->GetMusicId()) && libraryRow)
            table->insert(row->GetMusicId(), libraryRow);
        CTreeWidgetItem* member = table->value(row->GetMusicId(), row);
        record->DateAdded = record->DateAdded.left(kDateLength + 1) + now;
        member->SetItemData(GetShownListId(), record.get());
        DB_UpdateMusicInfo(record.get());
    }
    return nullptr;
}

QList<CTreeWidgetItem*> CShowListWidget::AddItemsToList(const QList<CTreeWidgetItem*>& rows, int listId)
{
    QList<CTreeWidgetItem*> added;
    if (listId <= kPlayedList) {
        TransactionScope transaction;
        for (CTreeWidgetItem* row : rows) {
            if (CTreeWidgetItem* listRow = AddItemToList(row, listId))
                added.append(listRow);
        }
        return added;
    }
    ListTable* table = TableOf(listId);
    const ListTable* all = TableOf(kAllList);
    if (!table || !all)
        return added;
    // The list's members as a set, asked once per row: walking the table for
    // each row made 30,000 songs take seconds.
    QSet<const CTreeWidgetItem*> members;
    members.reserve(table->size() + rows.size());
    for (const CTreeWidgetItem* member : *table)
        members.insert(member);
    std::vector<int> musicIds;
    musicIds.reserve(static_cast<size_t>(rows.size()));
    for (CTreeWidgetItem* row : rows) {
        CTreeWidgetItem* libraryRow = row ? all->value(row->GetMusicId(), nullptr) : nullptr;
        if (!libraryRow || members.contains(libraryRow))
            continue;
        members.insert(libraryRow);
        added.append(libraryRow);
        musicIds.push_back(libraryRow->GetMusicId());
    }
    std::vector<int> itemIds;
    if (musicIds.empty())
        return added;
    // Stored first, all or nothing: entries the library refused would vanish
    // at the next start although the list showed them.
    const int rc = DB_SetMusicItems(listId, musicIds, itemIds);
    if (rc != 0) {
        qWarning() << "CShowListWidget::AddItemsToList the library kept list" << listId << "as it was, rc:" << rc
                   << DB_LastErrorText();
        return {};
    }
    table->reserve(table->size() + added.size());
    for (int i = 0; i < added.size(); ++i)
        table->insert(itemIds[static_cast<size_t>(i)], added.at(i));
    return added;
}

void CShowListWidget::EditTagsMusic()
{
    EditTagsMusic(nullptr);
}

void CShowListWidget::EditTagsMusic(CTreeWidgetItem* row)
{
    if (!row)
        row = m_trackList->GetCurrentVisibleItem();
    if (!row)
        return;
    std::unique_ptr<MusicInfoRow> record(row->GetMusicInfo());
    if (!record)
        return;
    const MusicInfoRow before = *record;
    if (!RunTagEditor(record.get(), this))
        return;
    const bool tagsChanged = !IsMusicInfoEqual(before, *record);
    // The editor renames the file after a new title and may choose another
    // cover without touching a tag: the record must follow in every case.
    const bool recordChanged = tagsChanged || before.MusicPath != record->MusicPath
        || before.ImageId != record->ImageId || ChosenCoverPath(before) != ChosenCoverPath(*record);
    if (recordChanged) {
        if (DB_UpdateMusicInfo(record.get()) != 0) {
            // The library keeps the old record, so the file keeps its old name.
            if (before.MusicPath != record->MusicPath && !QFile::rename(record->MusicPath, before.MusicPath))
                qWarning() << "CShowListWidget::EditTagsMusic could not rename back" << record->MusicPath;
            QList<DialogButtonInfo> buttons;
            buttons.append({QDialogButtonBox::Ok, tr("OK"), true});
            AskQuestion(tr("The library could not store the new song data."), buttons);
            return;
        }
        row->SetItemData(GetShownListId(), record.get());
        if (!m_coverFlow->isHidden())
            m_coverFlow->ResetView();
        m_filter->emtiFilterChanged();
    }
    // The file follows on a worker: a long song must not stall the window.
    if (tagsChanged)
        m_tagWriter->Write(*record);
    emit MusicItemInfoChanged(row);
}

void CShowListWidget::MarkTagWriting(int musicId, bool busy)
{
    for (CTreeWidgetItem* row : GetItemsByMusicId({musicId}))
        row->SetBusyNote(busy ? tr("Writing the song data into the file...") : QString());
}

void CShowListWidget::TagWriteFinished(const QString& path, int outcome)
{
    if (outcome != CTagWriter::Failed)
        return;
    // The library holds the new data; only the file's own tags are behind.
    QList<DialogButtonInfo> buttons;
    buttons.append({QDialogButtonBox::Ok, tr("OK"), true});
    AskQuestion(tr("The song data could not be written into the file:\n%1\nThe file was left as it was.")
                    .arg(QDir::toNativeSeparators(path)),
                buttons);
}

void CShowListWidget::ShowMusicFileInFinder()
{
    CTreeWidgetItem* row = m_trackList->GetCurrentVisibleItem();
    if (!row)
        return;
    const QString path = row->GetMusicPath();
    if (!RevealFileInFileManager(path))
        qWarning() << "Show " << path << " InFinder failed, err: " << -1;
}
