#include "CShowListWidget.h"

#include "CCreateFactoryThread.h"
#include "CFilterEdit.h"
#include "CGraphicsView.h"
#include "CMissingFileScan.h"
#include "CListTreeItem.h"
#include "CMusicInfoTreeWidget.h"
#include "CTagWriter.h"
#include "CTreeWidgetItem.h"
#include "InterfaceScale.h"
#include "LibraryServices.h"
#include "LibrarySeams.h"
#include "MusicDatabase.h"
#include "SkinButtonStyle.h"
#include "SongRecordFields.h"

#include <QDate>
#include <QDebug>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <vector>

namespace {
// The rows of one list, asked once per row of the track list when a list is
// shown or filtered: an open-addressing set of pointers, far cheaper than a
// QSet at 100,000 rows (no allocation per row, one probe per question).
class RowSet
{
public:
    void Reserve(int count)
    {
        int capacity = 16;
        while (capacity < count * 2)
            capacity *= 2;
        m_slots.fill(nullptr, capacity);
        m_mask = static_cast<quintptr>(capacity - 1);
    }
    void Insert(const QTreeWidgetItem* row)
    {
        if (!row)
            return;
        if (m_slots.isEmpty() || (m_size + 1) * 2 > m_slots.size())
            Grow();
        if (Place(row))
            ++m_size;
    }
    bool Contains(const QTreeWidgetItem* row) const
    {
        if (!row || m_slots.isEmpty())
            return false;
        for (quintptr at = Hash(row) & m_mask;; at = (at + 1) & m_mask) {
            const QTreeWidgetItem* found = m_slots.at(static_cast<int>(at));
            if (found == row)
                return true;
            if (!found)
                return false;
        }
    }
    int Size() const { return m_size; }

private:
    static quintptr Hash(const QTreeWidgetItem* row)
    {
        // Fibonacci hashing spreads the aligned addresses over the slots.
        return static_cast<quintptr>((reinterpret_cast<quint64>(row) >> 4) * 0x9E3779B97F4A7C15ull >> 20);
    }
    bool Place(const QTreeWidgetItem* row)
    {
        for (quintptr at = Hash(row) & m_mask;; at = (at + 1) & m_mask) {
            const QTreeWidgetItem*& slot = m_slots[static_cast<int>(at)];
            if (slot == row)
                return false;
            if (!slot) {
                slot = row;
                return true;
            }
        }
    }
    void Grow()
    {
        const QVector<const QTreeWidgetItem*> old = m_slots;
        Reserve(qMax(16, m_size * 2));
        for (const QTreeWidgetItem* row : old) {
            if (row)
                Place(row);
        }
    }

    QVector<const QTreeWidgetItem*> m_slots;
    quintptr m_mask = 0;
    int m_size = 0;
};

constexpr int kAllList = 1;
constexpr int kNewList = 2;
constexpr int kPlayedList = 3;
constexpr int kDateLength = 16;
constexpr int kPlayedDays = 2;
// How long a right click checks the selected songs' files before its menu
// shows (a few thousand files); a longer walk goes on behind the open menu.
constexpr int kMenuFileCheckMs = 5;

// The day of a "MM/dd/yyyy..." text at offset as yyyymmdd, read without the
// cost of a format parser or a QDate (the library is loaded with up to
// 100,000 of these); 0 when the text holds no valid date. Days compare as
// these numbers do.
int ReadDay(QStringView text, qsizetype offset)
{
    if (text.size() < offset + 10)
        return 0;
    auto num = [&](int at, int len) {
        int v = 0;
        for (int i = 0; i < len; ++i) {
            const ushort c = text.at(offset + at + i).unicode();
            if (c < '0' || c > '9')
                return -1;
            v = v * 10 + (c - '0');
        }
        return v;
    };
    const int month = num(0, 2), day = num(3, 2), year = num(6, 4);
    if (month < 0 || day < 0 || year < 0 || !QDate::isValid(year, month, day))
        return 0;
    return year * 10000 + month * 100 + day;
}

// The order in which the rows of the songs are made: about the order the
// list shows them in at first (the newest added first). Only where each row
// lies in memory follows from it, not where it is shown; but every layout of
// the list (one per filter keystroke) reads every row in the order shown,
// and rows made in that order are read in sequence, not scattered over the
// heap: with 100,000 songs added in no particular order, that layout spent
// most of its time waiting for rows to come from memory.
std::vector<size_t> CreationOrder(const std::vector<MusicInfoListRow>& records)
{
    std::vector<std::pair<qint64, size_t>> keys;
    keys.reserve(records.size());
    for (size_t at = 0; at < records.size(); ++at) {
        const QStringView date = records[at].Text(MusicInfoListRow::DateAdded);
        qint64 minute = ReadDay(date, 0);
        if (minute != 0 && date.size() >= kDateLength) {
            const auto digits = [&](int from) {
                const ushort a = date.at(from).unicode(), b = date.at(from + 1).unicode();
                return a >= '0' && a <= '9' && b >= '0' && b <= '9' ? (a - '0') * 10 + (b - '0') : 0;
            };
            minute = minute * 10000 + digits(11) * 100 + digits(14);
        }
        keys.emplace_back(-minute, at);
    }
    std::sort(keys.begin(), keys.end());
    std::vector<size_t> order;
    order.reserve(keys.size());
    for (const auto& key : keys)
        order.push_back(key.second);
    return order;
}

int DayOf(const QDate& date)
{
    return date.year() * 10000 + date.month() * 100 + date.day();
}
} // namespace

CShowListWidget::CShowListWidget(const QList<CListTreeItem*>& lists, IRecordStateSource* recordState,
                                 QWidget* parent)
    : QWidget(parent)
    , m_lists(lists)
    , m_recordState(recordState)
{
    setFocusPolicy(Qt::ClickFocus);
    m_layout = new QVBoxLayout(this);
    m_layout->setSpacing(0);
    m_layout->setContentsMargins(0, 0, 0, 0);

    m_tool = new QWidget(this);
    m_tool->setObjectName(QStringLiteral("ListTool"));
    m_toolLayout = new QHBoxLayout(m_tool);
    m_toolLayout->setContentsMargins(10, 3, 10, 3);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(0);
    m_listButton = new QToolButton(m_tool);
    m_coverButton = new QToolButton(m_tool);
    for (QToolButton* b : {m_listButton, m_coverButton}) {
        b->setCheckable(true);
        b->setFixedSize(ScaledPixels(26), ScaledPixels(22));
    }
    m_listButton->setStyleSheet(MakeSkinButtonStyle(QStringLiteral("button_tablist"), 26, 22));
    m_coverButton->setStyleSheet(MakeSkinButtonStyle(QStringLiteral("button_coverflow"), 26, 22));
    m_listButton->setChecked(true);
    buttons->addWidget(m_listButton);
    buttons->addWidget(m_coverButton);
    m_toolLayout->addLayout(buttons);
    m_toolLayout->addStretch();
    m_filter = new CFilterEdit(tr("Filter"), m_tool);
    ResetFilterBox();
    m_toolLayout->addWidget(m_filter);

    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setStyleSheet(QStringLiteral("background-color: transparent;"));
    m_splitter->setHandleWidth(1);
    m_trackList = new CMusicInfoTreeWidget(m_splitter);
    m_coverFlow = new CGraphicsView(m_trackList, m_splitter);
    m_coverFlow->hide();
    m_splitter->addWidget(m_coverFlow);
    m_splitter->addWidget(m_trackList);
    m_splitter->setCollapsible(0, false);
    m_splitter->setCollapsible(1, false);
    m_layout->addWidget(m_tool);
    m_layout->addWidget(m_splitter);

    BuildContextMenu();

    connect(m_listButton, &QToolButton::clicked, this, &CShowListWidget::RemoveView);
    connect(m_coverButton, &QToolButton::clicked, this, &CShowListWidget::AddView);
    connect(m_filter, &CFilterEdit::filter, this, &CShowListWidget::Filter);
    connect(m_trackList->header(), &QHeaderView::sectionClicked, this, &CShowListWidget::sectionClick);
    connect(m_trackList, &QWidget::customContextMenuRequested, this, &CShowListWidget::customContextMenuRequested);
    connect(m_trackList->header(), &QHeaderView::sectionResized, this, &CShowListWidget::TreeSectionResize);
    connect(m_selectAllAction, &QAction::triggered, this, &CShowListWidget::selectAll);
    connect(m_unselectAllAction, &QAction::triggered, this, &CShowListWidget::clearSelection);
    connect(m_editAction, &QAction::triggered, this, qOverload<>(&CShowListWidget::EditTagsMusic));
    connect(m_showFolderAction, &QAction::triggered, this, &CShowListWidget::ShowMusicFileInFinder);

    m_picturesThread = new CCreateFactoryThread(this);
    m_picturesThread->start();

    m_tagWriter = new CTagWriter;
    connect(m_tagWriter, &CTagWriter::BusyChanged, this, &CShowListWidget::MarkTagWriting);
    connect(m_tagWriter, &CTagWriter::Finished, this,
            [this](int, const QString& path, CTagWriter::Outcome outcome, int) { TagWriteFinished(path, outcome); });

    FinishPendingRemovals();
    LoadLists();

    m_songScan = new CStartupSongScan(this);
    connect(m_songScan, &CStartupSongScan::LengthsStored, this, &CShowListWidget::ShowStoredLengths);
    connect(m_songScan, &CStartupSongScan::SongsFound, this, &CShowListWidget::AddFoundSongs);
    m_songScan->Start();
}

CShowListWidget::~CShowListWidget()
{
    // Finishes the running tag write while the database and the rows exist.
    delete m_tagWriter;
    m_tagWriter = nullptr;
    delete m_songScan;
    m_songScan = nullptr;
    StopFileRemovals();
    DB_CloseDatabase();
    qDeleteAll(m_tables);
    m_tables.clear();
    // The rows die with the track list (a child widget); the row of a song
    // still being recorded is the main window's to take (TakeRecordingRow).
}

CShowListWidget::ListTable* CShowListWidget::TableOf(int listId) const
{
    return m_tables.value(listId, nullptr);
}

const CShowListWidget::ListTable* CShowListWidget::GetListTable(int listId) const
{
    return TableOf(listId);
}

void CShowListWidget::LoadLists()
{
    DB_CreateTransaction();
    // The songs as the list shows them, and every song's covers in one query
    // instead of one per song: a start with 100,000 songs spent a fifth of
    // its time filling 4 KB records of which the list uses a few texts.
    std::vector<MusicInfoListRow> records;
    // A song missing from a read that stopped at an error is unread, not
    // gone: its list entries stay.
    bool allSongsRead = false;
    if (DB_GetAllMusicListRows(records, &allSongsRead) < 0)
        qWarning() << "CShowListWidget::LoadLists DB_GetAllMusicListRows failed";
    std::vector<int> musicIds;
    musicIds.reserve(records.size());
    for (const MusicInfoListRow& record : records)
        musicIds.push_back(record.MusicId);
    std::vector<CoverCandidateRow> covers;
    DB_GetAllImageInfo(musicIds, covers);

    // The list's style (its font) arrives when it is polished, at the
    // latest when it first shows, and makes it lay out every row again:
    // taken now, before the rows, 100,000 rows are laid out once.
    m_trackList->ensurePolished();

    const QDate today = QDate::currentDate();
    // A song is new when added today, played lately when played at most
    // kPlayedDays days ago.
    const int newSince = DayOf(today);
    const int playedSince = DayOf(today.addDays(-kPlayedDays));
    for (CListTreeItem* entry : m_lists) {
        const int listId = entry->GetListType();
        if (m_tables.contains(listId))
            continue;
        auto* table = new ListTable;
        m_tables.insert(listId, table);
        if (listId == kAllList) {
            const size_t songCount = records.size();
            // Both are in MusicId order: one walk pairs each song with its covers.
            struct Covers {
                std::vector<CoverCandidateRow>::const_iterator first;
                int count;
            };
            std::vector<Covers> coversOf;
            coversOf.reserve(songCount);
            auto cover = covers.cbegin();
            for (const MusicInfoListRow& record : records) {
                while (cover != covers.cend() && cover->MusicId < record.MusicId)
                    ++cover;
                const auto first = cover;
                while (cover != covers.cend() && cover->MusicId == record.MusicId)
                    ++cover;
                coversOf.push_back({first, static_cast<int>(cover - first)});
            }
            std::vector<CTreeWidgetItem*> made(songCount, nullptr);
            for (size_t at : CreationOrder(records)) {
                const MusicInfoListRow& record = records[at];
                const Covers& found = coversOf[at];
                const int chosen = ClampCoverIndex(found.count, record.ImageId);
                auto* row = new CTreeWidgetItem(record, found.count,
                                                chosen >= 0 ? found.first[chosen].ImagePath : QString(), nullptr);
                // Rows are leaves: said once here, each layout of the list
                // skips two look-ups per row (a fifth of a filter keystroke
                // at 100,000 rows).
                row->setFlags(row->flags() | Qt::ItemNeverHasChildren);
                made[at] = row;
            }
            QList<CTreeWidgetItem*> rows;
            rows.reserve(static_cast<int>(songCount));
            table->reserve(static_cast<int>(songCount));
            for (size_t at = 0; at < songCount; ++at) {
                rows.append(made[at]);
                table->insert(records[at].MusicId, made[at]);
            }
            // One sorted insertion of every row: row by row would resort and
            // relayout the list 100,000 times.
            m_trackList->AddRowsSorted(rows);
        } else if (listId == kNewList || listId == kPlayedList) {
            const ListTable* all = TableOf(kAllList);
            for (const MusicInfoListRow& record : records) {
                CTreeWidgetItem* row = all ? all->value(record.MusicId, nullptr) : nullptr;
                if (!row)
                    continue;
                const QStringView date = record.Text(MusicInfoListRow::DateAdded);
                if (listId == kNewList) {
                    const int added = ReadDay(date, 0);
                    if (added != 0 && added >= newSince)
                        table->insert(record.MusicId, row);
                    continue;
                }
                if (date.size() <= kDateLength)
                    continue;
                const int played = ReadDay(date, date.size() - kDateLength);
                if (played == 0)
                    continue;   // unreadable: neither shown nor rewritten
                if (played >= playedSince) {
                    table->insert(record.MusicId, row);
                } else {
                    // The update writes the whole record: read it in full
                    // for the few songs that need it.
                    MusicInfoRow stored;
                    if (DB_GetMusicInfo(record.MusicId, &stored) > 0) {
                        stored.DateAdded = date.left(kDateLength).toString();
                        DB_UpdateMusicInfo(&stored);
                    }
                    row->SetDateText(QString());
                }
            }
        } else {
            QList<MusicItemLink> links;
            DB_GetMusicItem(links, listId, QStringLiteral("ListId"));
            const ListTable* all = TableOf(kAllList);
            for (const MusicItemLink& link : links) {
                CTreeWidgetItem* row = all ? all->value(link.MusicId, nullptr) : nullptr;
                if (row)
                    table->insert(link.ItemId, row);
                else if (allSongsRead)
                    DB_DeleteMusicItem(link.ItemId);
            }
        }
        entry->SetQuantity(table->size());
    }
    // Lists 1 to 3 exist whatever the database gave, so every later lookup
    // finds their tables.
    for (int listId = kAllList; listId <= kPlayedList; ++listId) {
        if (!m_tables.contains(listId))
            m_tables.insert(listId, new ListTable);
    }
    DB_CommitTransaction();
    // 100,000 rows took the first filter keystroke after start-up twice the
    // time of any later one: the copies it searches are made here instead.
    m_trackList->PrepareSearchTexts();
}

void CShowListWidget::BuildContextMenu()
{
    const QString style = QStringLiteral("background-color: #5B2949;");
    m_menu = new QMenu(this);
    m_menu->setStyleSheet(style);
    m_playAction = m_menu->addAction(tr("Play"));
    m_editAction = m_menu->addAction(tr("Edit Music Tags"));
    m_menu->addSeparator();
    m_playListMenu = m_menu->addMenu(tr("Add to playlist"));
    m_playListMenu->setStyleSheet(style);
    m_iTunesAction = m_menu->addAction(tr("Add to iTunes"));
    m_selectAllAction = m_menu->addAction(tr("Select All"));
    m_unselectAllAction = m_menu->addAction(tr("Unselect All"));
    m_menu->addSeparator();
    m_showFolderAction = m_menu->addAction(tr("Show in Folder"));
    m_deleteAction = m_menu->addAction(tr("Delete"));
    for (int i = 3; i < m_lists.size(); ++i) {
        CListTreeItem* entry = m_lists.at(i);
        auto* action = new QAction(entry->GetListName(), m_playListMenu);
        m_listActions.append(qMakePair(entry->GetListType(), action));
        m_playListMenu->addAction(action);
    }
}

// The set is rebuilt only when the table may have changed: the page keeps a
// shallow copy of the table, and any change to the table detaches it from
// that copy (implicit sharing), so "still shared" means "still the same".
// The same by row number (one byte a row, read in order: a keystroke asks
// for every row, and 100,000 look-ups in the set were a fifth of it) is kept
// while the track list's rows stay where they are.
struct CShowListWidget::ShownRows {
    int listId = 0;
    const ListTable* table = nullptr;
    ListTable tableCopy;
    RowSet rows;
    std::vector<char> byRow;
    quint64 rowOrder = 0;
    bool byRowKnown = false;
    // The last filter over these rows: its case-folded text and column, and
    // the track list's stamp right after it. While the stamp is the same,
    // the rows it hid are exactly the rows of the list that do not contain
    // that text.
    bool filterKnown = false;
    int filterColumn = 0;
    QString filterText;
    quint64 filterStamp = 0;
};

const std::vector<char>& CShowListWidget::ShownRowNumbers(int listId)
{
    ShownRows& shown = ShownRowsOf(listId);
    const quint64 order = m_trackList->RowOrder();
    const int count = m_trackList->topLevelItemCount();
    if (!shown.byRowKnown || shown.rowOrder != order || shown.byRow.size() != static_cast<size_t>(count)) {
        shown.byRow.assign(static_cast<size_t>(count), 0);
        for (int i = 0; i < count; ++i)
            shown.byRow[static_cast<size_t>(i)] = shown.rows.Contains(m_trackList->topLevelItem(i)) ? 1 : 0;
        shown.rowOrder = order;
        shown.byRowKnown = true;
    }
    return shown.byRow;
}

CShowListWidget::ShownRows& CShowListWidget::ShownRowsOf(int listId)
{
    const ListTable* table = TableOf(listId);
    if (!m_shownRows)
        m_shownRows.reset(new ShownRows);
    ShownRows& shown = *m_shownRows;
    if (shown.listId == listId && shown.table == table && table && table->isSharedWith(shown.tableCopy))
        return shown;
    shown = ShownRows();
    shown.listId = listId;
    shown.table = table;
    if (table) {
        shown.tableCopy = *table;
        shown.rows.Reserve(table->size());
        for (CTreeWidgetItem* row : *table)
            shown.rows.Insert(row);
    }
    return shown;
}

void CShowListWidget::ResetFilterBox()
{
    // The reset drops the filter types too, so they are added again.
    m_filter->ResetFilter(tr("Filter"));
    m_filter->AddFilterType(tr("All"), 0);
    m_filter->AddFilterType(tr("Name"), CTreeWidgetItem::ColName);
    m_filter->AddFilterType(tr("Artist"), CTreeWidgetItem::ColArtist);
    m_filter->AddFilterType(tr("Album"), CTreeWidgetItem::ColAlbum);
}

int CShowListWidget::ShowList(int listId)
{
    if (listId == m_shownListId)
        return 0;
    QHeaderView* header = m_trackList->header();
    if (!header->isSortIndicatorShown()) {
        header->setSortIndicator(CTreeWidgetItem::ColDate, Qt::DescendingOrder);
        header->setSortIndicatorShown(true);
    }
    m_trackList->headerItem()->setText(CTreeWidgetItem::ColDate,
                                       listId == kPlayedList ? tr("Date Played") : tr("Date Added"));

    if (const ListTable* table = TableOf(listId)) {
        for (CTreeWidgetItem* row : *table)
            row->SetDateColumn(listId);
    }
    const std::vector<char>& members = ShownRowNumbers(listId);
    QVector<int> visibleRows;
    visibleRows.reserve(ShownRowsOf(listId).rows.Size());
    m_trackList->UpdateRowsHidden([&](int i, QTreeWidgetItem*, bool) {
        const bool shown = static_cast<size_t>(i) < members.size() && members[static_cast<size_t>(i)];
        if (shown)
            visibleRows.append(i);
        return !shown;
    });
    // The box goes back to no text below: every row of the list shows.
    ShownRowsOf(listId).filterKnown = false;
    m_shownListId = listId;
    m_coverFlow->DisconnectSignal();
    if (!visibleRows.isEmpty())
        m_trackList->setCurrentItem(m_trackList->topLevelItem(visibleRows.at(visibleRows.size() / 2)));
    m_trackList->clearSelection();
    m_coverFlow->ConnectSignal();
    ResetCoverFlowIfShown();

    ResetFilterBox();
    m_filter->UpdateClearButton();
    return 1;
}

void CShowListWidget::ResetCoverFlowIfShown()
{
    if (!m_coverFlow->isHidden())
        m_coverFlow->ResetView();
}


void CShowListWidget::Filter(int pType, QString pText)
{
    const ListTable* table = TableOf(m_shownListId);
    const std::vector<char>& members = ShownRowNumbers(m_shownListId);
    // Contains-match ignoring case, on Name, Artist and Album for type 0 or on
    // the one column asked for (what QTreeWidget::findItems would match). Rows
    // outside the shown list keep their state. One pass over the rows counts
    // what was visible before and what is visible now.
    const int column = pType == 0 ? CMusicInfoTreeWidget::AnySearchColumn : pType;
    const CMusicInfoTreeWidget::SearchText search(pText);
    // A text that holds the last one (a letter typed on) can only hide rows
    // that are shown, one that the last one holds (a letter taken back)
    // only show rows that are hidden: only those rows are searched.
    ShownRows& shown = *m_shownRows;
    const bool searchedColumn = column == CMusicInfoTreeWidget::AnySearchColumn || column == CTreeWidgetItem::ColName
        || column == CTreeWidgetItem::ColArtist || column == CTreeWidgetItem::ColAlbum;
    const bool sameRows = shown.filterKnown && shown.filterColumn == column && searchedColumn && !search.exact
        && shown.filterStamp == m_trackList->HiddenStateStamp();
    const bool hiddenStay = sameRows && search.folded.contains(shown.filterText);
    const bool shownStay = sameRows && shown.filterText.contains(search.folded);
    int visibleBefore = 0;
    int visibleCount = 0;
    m_trackList->UpdateRowsHidden([&](int i, QTreeWidgetItem*, bool wasHidden) {
        if (!wasHidden)
            ++visibleBefore;
        bool hide = wasHidden;
        if (static_cast<size_t>(i) < members.size() && members[static_cast<size_t>(i)]
            && !(wasHidden ? hiddenStay : shownStay))
            hide = !pText.isEmpty() && !m_trackList->RowTextContains(i, column, search);
        if (!hide)
            ++visibleCount;
        return hide;
    });
    const bool noneBefore = visibleBefore == 0;
    if (!pText.isEmpty()) {
        m_coverFlow->DisconnectSignal();
        if (visibleCount > 0)
            m_trackList->setCurrentItem(m_trackList->VisibleRow(visibleCount / 2));
        m_coverFlow->ConnectSignal();
    }
    shown.filterKnown = !search.exact;
    shown.filterColumn = column;
    shown.filterText = search.folded;
    shown.filterStamp = m_trackList->HiddenStateStamp();
    if (pText.isEmpty()) {
        if (table && !table->isEmpty() && noneBefore)
            emit FilterListToNull(false);
        ResetCoverFlowIfShown();
        return;
    }
    const bool noneNow = visibleCount == 0;
    if (!noneNow && noneBefore)
        emit FilterListToNull(false);
    else if (noneNow && !noneBefore)
        emit FilterListToNull(true);
    ResetCoverFlowIfShown();
}

void CShowListWidget::AddList(CListTreeItem* entry)
{
    if (!entry)
        return;
    const int listId = entry->GetListType();
    if (!m_tables.contains(listId))
        m_tables.insert(listId, new ListTable);
    auto* action = new QAction(entry->GetListName(), m_playListMenu);
    m_listActions.append(qMakePair(listId, action));
    m_playListMenu->addAction(action);
}

void CShowListWidget::RenameListAction(int listId, const QString& name)
{
    if (QAction* action = GetListAction(listId))
        action->setText(name);
}

int CShowListWidget::GetActionListId(QAction* action) const
{
    for (const auto& entry : m_listActions) {
        if (entry.second == action)
            return entry.first;
    }
    return 0;
}

QAction* CShowListWidget::GetListAction(int listId) const
{
    for (const auto& entry : m_listActions) {
        if (entry.first == listId)
            return entry.second;
    }
    return nullptr;
}

bool CShowListWidget::HasListAction(int listId) const
{
    return GetListAction(listId) != nullptr;
}

int CShowListWidget::GetListItemCount(int listId) const
{
    const ListTable* table = TableOf(listId);
    return table ? table->size() : 0;
}

bool CShowListWidget::IsItemInList(int listId, CTreeWidgetItem* row) const
{
    const ListTable* table = TableOf(listId);
    if (!table || !row)
        return false;
    if (listId == kAllList || listId == kNewList)
        return true;
    if (listId == kPlayedList) {
        std::unique_ptr<MusicInfoRow> record(row->GetMusicInfo());
        return record && record->DateAdded.size() > kDateLength;
    }
    for (CTreeWidgetItem* member : *table) {
        if (member == row)
            return true;
    }
    return false;
}

QList<CTreeWidgetItem*> CShowListWidget::GetItemsByMusicId(const QList<int>& ids) const
{
    QList<CTreeWidgetItem*> rows;
    const ListTable* all = TableOf(kAllList);
    if (!all)
        return rows;
    for (int id : ids) {
        if (CTreeWidgetItem* row = all->value(id, nullptr))
            rows.append(row);
    }
    return rows;
}

int CShowListWidget::GetVisibleCount() const
{
    return m_trackList->GetVisibleItemCount();
}

QList<CTreeWidgetItem*> CShowListWidget::GetVisibleItems() const
{
    QList<CTreeWidgetItem*> rows;
    const int count = m_trackList->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        if (!m_trackList->IsRowHiddenAt(i))
            if (auto* row = dynamic_cast<CTreeWidgetItem*>(m_trackList->topLevelItem(i)))
                rows.append(row);
    }
    return rows;
}

CTreeWidgetItem* CShowListWidget::GetCurrentItem() const
{
    return m_trackList->GetCurrentVisibleItem();
}

QList<CTreeWidgetItem*> CShowListWidget::GetSelectedOrAllItems(bool wanted) const
{
    if (!wanted)
        return {};
    QList<CTreeWidgetItem*> rows = m_trackList->GetSelectedItems();
    return rows.isEmpty() ? GetVisibleItems() : rows;
}

bool CShowListWidget::PrepareContextMenu(const QPoint& pos)
{
    if (!m_trackList->itemAt(pos))
        return false;
    for (const auto& entry : m_listActions) {
        m_playListMenu->removeAction(entry.second);
        m_playListMenu->addAction(entry.second);
        entry.second->setEnabled(true);
    }
    if (!m_fileScan) {
        m_fileScan = new CMissingFileScan(this);
        connect(m_fileScan, &CMissingFileScan::Missing, this, &CShowListWidget::MarkMissingFiles);
        connect(m_fileScan, &CMissingFileScan::Finished, this, &CShowListWidget::MenuFilesChecked);
    }
    // The rows are read one by one only as far as the walk below goes: at
    // 100,000 selected songs reading them all held the menu back.
    const QVector<QTreeWidgetItem*> selected = m_trackList->SelectedVisibleRows();
    int songs = 0;
    for (QTreeWidgetItem* item : selected) {
        if (CMusicInfoTreeWidget::SelectableRow(item) && ++songs > 1)
            break;
    }
    m_menuOneSong = songs == 1;
    m_menuListId = m_shownListId;
    // Until a selected song's file is found, the menu offers what it offers
    // for missing files only. The walk answers at once for all but very
    // large selections; the rest of it runs while the menu is open, and the
    // menu follows when it ends.
    SetMenuFileState(false);
    m_fileScan->Start(selected, kMenuFileCheckMs);
    return true;
}

void CShowListWidget::SetMenuFileState(bool found)
{
    m_playAction->setEnabled(!IsRecordingBusy(m_recordState) && found);
    m_playListMenu->setEnabled(found);
    m_iTunesAction->setEnabled(found);
    m_editAction->setEnabled(found && m_menuOneSong);
    m_showFolderAction->setEnabled(found && m_menuOneSong);
    if (found && m_menuListId > kPlayedList) {
        if (QAction* own = GetListAction(m_menuListId))
            own->setEnabled(false);
    }
}

void CShowListWidget::MarkMissingFiles(const QVector<int>& musicIds)
{
    // Rows are found again by MusicId: one may have been deleted meanwhile.
    const ListTable* all = TableOf(kAllList);
    if (!all)
        return;
    bool changed = false;
    for (int musicId : musicIds) {
        if (CTreeWidgetItem* row = all->value(musicId, nullptr))
            changed = row->SetNoticeMark(true) || changed;
    }
    if (changed)
        m_trackList->viewport()->update();
}

void CShowListWidget::MenuFilesChecked(bool found, int musicId)
{
    if (found) {
        const ListTable* all = TableOf(kAllList);
        CTreeWidgetItem* row = all ? all->value(musicId, nullptr) : nullptr;
        if (row && row != GetPlayingItem())
            row->SetNoticeIcon(false);
    }
    SetMenuFileState(found);
}

bool CShowListWidget::WaitForFileCheck(int timeoutMs)
{
    return !m_fileScan || m_fileScan->Wait(timeoutMs);
}

void CShowListWidget::PopupMenu(const QPoint& globalPos)
{
    m_menu->exec(globalPos);
}

void CShowListWidget::customContextMenuRequested(const QPoint& pos)
{
    if (PrepareContextMenu(pos))
        PopupMenu(m_trackList->viewport()->mapToGlobal(pos) + QPoint(5, 0));
}

int CShowListWidget::AskQuestion(const QString& text, const QList<DialogButtonInfo>& buttons, bool checkBox,
                                 bool* checked)
{
    return AskLibraryQuestion(this, text, buttons, checkBox, checked);
}

void CShowListWidget::AddView()
{
    m_listButton->setChecked(false);
    m_coverButton->setChecked(true);
    m_coverFlow->show();
    ResetCoverFlowIfShown();
}

void CShowListWidget::RemoveView()
{
    m_listButton->setChecked(true);
    m_coverButton->setChecked(false);
    m_coverFlow->hide();
}

void CShowListWidget::selectAll()
{
    m_trackList->selectAll();
}

void CShowListWidget::clearSelection()
{
    m_trackList->clearSelection();
}

void CShowListWidget::sectionClick(int column)
{
    m_trackList->header()->setSortIndicatorShown(column != CTreeWidgetItem::ColNotice);
}

void CShowListWidget::TreeSectionResize(int column, int, int newSize)
{
    int minimum = 0;
    switch (column) {
    case CTreeWidgetItem::ColName:
    case CTreeWidgetItem::ColArtist:
    case CTreeWidgetItem::ColAlbum: minimum = 80; break;
    case CTreeWidgetItem::ColTime: minimum = 47; break;
    case CTreeWidgetItem::ColGenre: minimum = 75; break;
    case CTreeWidgetItem::ColDate: minimum = 95; break;
    default: return;
    }
    if (newSize < minimum)
        m_trackList->header()->resizeSection(column, minimum);
}

void CShowListWidget::UpdataPicView(bool playing, bool scroll)
{
    CTreeWidgetItem* row = playing ? GetPlayingItem() : nullptr;
    if (!row) {
        ResetCoverFlowIfShown();
        return;
    }
    if (scroll) {
        const int index = m_trackList->GetVisibleIndex(row);
        if (index >= 0) {
            QScrollBar* bar = m_trackList->verticalScrollBar();
            bar->setValue(qMin(index, bar->maximum()));
        }
    }
    if (!m_coverFlow->isHidden())
        m_coverFlow->TreeCurrentChange(row, row);
}

void CShowListWidget::RetranslateUi()
{
    // The rows stay filtered by what the user typed: the box keeps that text
    // and its type (only the default text and the type names change).
    const QString typed = m_filter->text() == m_filter->DefaultText() ? QString() : m_filter->text();
    const int type = m_filter->CurrentType();
    ResetFilterBox();
    if (!typed.isEmpty()) {
        m_filter->SelectFilterType(type);
        if (typed == m_filter->DefaultText()) {
            // The new language's default text reads as no text: no filter.
            Filter(type, QString());
        } else {
            m_filter->setText(typed);
        }
        m_filter->UpdateClearButton();
    }
    m_playAction->setText(tr("Play"));
    m_editAction->setText(tr("Edit Music Tags"));
    m_playListMenu->setTitle(tr("Add to playlist"));
    m_iTunesAction->setText(tr("Add to iTunes"));
    m_selectAllAction->setText(tr("Select All"));
    m_unselectAllAction->setText(tr("Unselect All"));
    m_showFolderAction->setText(tr("Show in Folder"));
    m_deleteAction->setText(tr("Delete"));
    m_trackList->RetranslateHeader();
    if (m_shownListId == kPlayedList)
        m_trackList->headerItem()->setText(CTreeWidgetItem::ColDate, tr("Date Played"));
    // The light rows loading reads, in MusicId order: reading every full
    // record at 100,000 songs held half a gigabyte for a second.
    std::vector<MusicInfoListRow> records;
    if (DB_GetAllMusicListRows(records) < 0)
        qWarning() << "CShowListWidget::RetranslateUi DB_GetAllMusicListRows failed";
    const QString unknownArtist = tr("Unknown Artist");
    const QString unknownAlbum = tr("Unknown Album");
    const int count = m_trackList->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        auto* row = dynamic_cast<CTreeWidgetItem*>(m_trackList->topLevelItem(i));
        if (!row)
            continue;
        const auto record = std::lower_bound(records.cbegin(), records.cend(), row->GetMusicId(),
                                             [](const MusicInfoListRow& r, int id) { return r.MusicId < id; });
        if (record == records.cend() || record->MusicId != row->GetMusicId())
            continue;
        if (record->Text(MusicInfoListRow::Artist).isEmpty())
            row->setText(CTreeWidgetItem::ColArtist, unknownArtist);
        if (record->Text(MusicInfoListRow::Album).isEmpty())
            row->setText(CTreeWidgetItem::ColAlbum, unknownAlbum);
    }
}

void CShowListWidget::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    const QRect listRect = m_trackList->geometry().translated(m_splitter->pos());
    const QRect toolRect = m_tool->geometry();
    if (listRect != m_backgroundList || toolRect != m_backgroundTool) {
        // The cover flow or the splitter moved the list within the page.
        m_background.Clear();
        m_backgroundList = listRect;
        m_backgroundTool = toolRect;
    }
    const QPixmap& pictures = m_background.Get(size(), [&](QPainter& painter, const QSize&) {
        const QImage background =
            CBackgroundCache::LoadPicture(QStringLiteral(":/prefix/res/main background/recording_lbg_h.png"));
        if (!background.isNull()) {
            painter.setOpacity(0.7);
            painter.drawImage(listRect, background.scaled(listRect.size()));
        }
        const QImage search = CBackgroundCache::LoadPicture(QStringLiteral(":/prefix/res/searchbg.png"));
        if (!search.isNull()) {
            painter.setOpacity(0.5);
            painter.drawImage(toolRect, search);
        }
    });
    QPainter painter(this);
    painter.drawPixmap(event->rect(), pictures, event->rect());
}
