// The song and list operations of the library page: removing a song from a
// list, deleting songs with their files and covers, emptying a play list,
// adding songs to play lists and "Recently Played", editing tags and showing
// a file in the file manager.
#include "CShowListWidget.h"

#include "CAppSettings.h"
#include "CFilterEdit.h"
#include "CGraphicsView.h"
#include "CMusicInfoTreeWidget.h"
#include "CTagWriter.h"
#include "CTreeWidgetItem.h"
#include "DialogButtonInfo.h"
#include "LibrarySeams.h"
#include "MusicDatabase.h"
#include "PlayQueue.h"
#include "SongRecordFields.h"

#include <QAction>
#include <QDateTime>
#include <QDebug>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMenu>

#include <cstring>
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
    PlayQueue& queue = PlayQueue::Instance();
    const int pos = queue.items.indexOf(row);
    if (pos < 0)
        return false;
    row->setIcon(CTreeWidgetItem::ColNotice, QIcon());
    queue.items.removeAt(pos);
    if (queue.currentIndex > pos) {
        --queue.currentIndex;
        return false;
    }
    // The index now names the next entry (or lies past the end); the main
    // window decides what plays after the playing entry went away.
    return queue.currentIndex == pos;
}

void CShowListWidget::ForgetRow(CTreeWidgetItem* row)
{
    for (auto it = m_tables.begin(); it != m_tables.end(); ++it) {
        ListTable* table = it.value();
        bool changed = false;
        if (it.key() <= kPlayedList) {
            // Keyed by MusicId: one look-up, not a walk over up to 100,000
            // entries for every song of a large deletion.
            changed = table->value(row->GetMusicId(), nullptr) == row && table->remove(row->GetMusicId()) > 0;
            if (changed)
                emit MusicInOtherListDeleted(it.key(), table->size());
            continue;
        }
        for (auto entry = table->begin(); entry != table->end();) {
            if (entry.value() == row) {
                entry = table->erase(entry);
                changed = true;
            } else {
                ++entry;
            }
        }
        if (changed)
            emit MusicInOtherListDeleted(it.key(), table->size());
    }
    Clipboard.removeAll(row);
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
    Clipboard.removeAll(row);

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
        row->SetDateText(QString());
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
    int result = 0;
    std::unique_ptr<MusicInfoRow> record(row->GetMusicInfo());
    if (!record) {
        qDebug() << "CShowListWidget::DeleteMusic can not found record, item: " << static_cast<void*>(row)
                 << " musicId: " << row->GetMusicId();
    } else {
        QList<MusicItemLink> links;
        DB_GetMusicItem(links, row->GetMusicId(), QStringLiteral("MusicId"));
        for (const MusicItemLink& link : links) {
            ListTable* table = TableOf(link.ListId);
            if (table && table->value(link.ItemId, nullptr) == row) {
                result |= RemoveItemFromList(row, link.ListId);
                emit MusicInOtherListDeleted(link.ListId, table->size());
            } else {
                DB_DeleteMusicItem(link.ItemId);
            }
        }
        for (int listId : {kAllList, kNewList, kPlayedList}) {
            ListTable* table = TableOf(listId);
            if (table && table->value(row->GetMusicId(), nullptr) == row) {
                result |= RemoveItemFromList(row, listId);
                emit MusicInOtherListDeleted(listId, table->size());
            }
        }
    }
    // Whatever the database held, no table, clipboard or queue entry may
    // outlive the row: the queue may have been filled from any list.
    ForgetRow(row);
    if (RemoveFromPlayQueue(row))
        result = 1;
    emit MusicItemDeleted(row);
    delete row;

    if (record) {
        if (!record->MusicPath.isEmpty() && QFile::exists(record->MusicPath)
            && !QFile::remove(record->MusicPath))
            qWarning() << "CShowListWidget::DeleteMusic could not remove " << record->MusicPath;
        DB_DeleteMusicinfo(record->MusicId);
        DeleteCandidateCovers(record->Info);
    }
    return result;
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
    int result = 0;
    {
        TransactionScope transaction;
        for (CTreeWidgetItem* row : rows)
            result |= library ? DeleteMusic(row) : RemoveItemFromList(row, listId);
    }
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
            const int itemId = DB_CreateItemId();
            if (itemId < 0) {
                qWarning() << "CShowListWidget::AddItemToList no free ItemId for list" << listId;
                return nullptr;
            }
            // Stored first: a list entry the database refused would vanish
            // at the next start although the list showed it.
            const int rc = DB_SetMusicItem(itemId, listId, row->GetMusicId());
            if (rc != 0) {
                qWarning() << "CShowListWidget::AddItemToList could not store the song in list" << listId
                           << "rc:" << rc;
                return nullptr;
            }
            table->insert(itemId, libraryRow);
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
