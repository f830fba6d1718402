#include "CMusicInfoTreeWidget.h"

#include "CTreeWidgetItem.h"
#include "InterfaceScale.h"

#include <QApplication>
#include <QDrag>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <QSignalBlocker>
#include <QStringView>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <vector>

const char* const CMusicInfoTreeWidget::MimeType = "application/sonacap";

namespace {
constexpr quint16 kShiftBit = 1;
constexpr quint16 kControlBit = 2;

struct ColumnSpec {
    int width;   // design pixels; 0 keeps Qt's default
    bool fixed;
};
const ColumnSpec kColumns[CTreeWidgetItem::ColumnCount] = {
    {1, true}, {20, true}, {100, false}, {80, false}, {120, false},
    {120, false}, {80, false}, {130, false}, {20, true}, {0, false},
};
} // namespace

CMusicInfoTreeWidget::CMusicInfoTreeWidget(QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("musicInfoTreeWidget"));
    const QString size = ScaledStyleNumber(12);
    setStyleSheet(QStringLiteral(
        "QTreeWidget#musicInfoTreeWidget{background: transparent;margin: 0;border: 0;font-size: %1px;outline:0px;} "
        "QTreeWidget#musicInfoTreeWidget::item{color: #FFFFFF;} "
        "QTreeWidget#musicInfoTreeWidget::item:selected{border-image: url(:/prefix/res/tasklist_selected.png);}")
                      .arg(size));

    auto* hbar = new QScrollBar(Qt::Horizontal, this);
    hbar->setObjectName(QStringLiteral("treeHScrBar"));
    setHorizontalScrollBar(hbar);

    setFocusPolicy(Qt::NoFocus);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setAutoScroll(true);
    // Lets a press on a row of a multiple selection keep the selection for
    // the drag; the drag itself is ours (mouseMoveEvent), never Qt's.
    setDragEnabled(true);

    setColumnCount(CTreeWidgetItem::ColumnCount);
    // The narrow columns (1 and 20 pixels) would otherwise be held to the
    // header's minimum section size, about 36 pixels.
    header()->setMinimumSectionSize(1);
    for (int c = 0; c < CTreeWidgetItem::ColumnCount; ++c) {
        if (kColumns[c].width > 0)
            setColumnWidth(c, ScaledPixels(kColumns[c].width));
    }
    setSortingEnabled(true);
    setUniformRowHeights(true);

    m_header = headerItem();
    QPixmap playing(QStringLiteral(":/prefix/res/headertitle_playing.png"));
    if (!playing.isNull())
        m_header->setIcon(CTreeWidgetItem::ColNotice, QIcon(playing.scaled(11, 10)));
    // Column 0 has no title; unset, Qt would show its number.
    m_header->setText(CTreeWidgetItem::ColSpacer, QString());
    RetranslateHeader();

    QHeaderView* hv = header();
    // The last column is an empty filler that the header stretches over what
    // the other columns leave. Qt never shrinks a stretched last section
    // below the size it had when stretching began (the default section size,
    // about 100 pixels), which at the default window width pushes the list
    // past its viewport and brings up the horizontal scroll bar for nothing;
    // starting the filler at one pixel lets it shrink to the space left.
    hv->setStretchLastSection(false);
    setColumnWidth(CTreeWidgetItem::ColumnCount - 1, 1);
    hv->setStretchLastSection(true);
    hv->setSortIndicator(CTreeWidgetItem::ColDate, Qt::DescendingOrder);
    hv->setSortIndicatorShown(true);
    hv->setSectionsMovable(false);
    for (int c = 0; c < CTreeWidgetItem::ColumnCount; ++c)
        hv->setSectionResizeMode(c, kColumns[c].fixed ? QHeaderView::Fixed : QHeaderView::Interactive);
    FitHeaderSections();
    // Titles change with the language and with the list shown ("Date Played").
    connect(model(), &QAbstractItemModel::headerDataChanged, this, [this] { FitHeaderSections(); });

    m_textCopier = new QTimer(this);
    m_textCopier->setSingleShot(true);
    m_textCopier->setInterval(0);
    connect(m_textCopier, &QTimer::timeout, this, &CMusicInfoTreeWidget::CopyTextsWhileIdle);

    connect(model(), &QAbstractItemModel::dataChanged, this, &CMusicInfoTreeWidget::OnDataChanged);
    connect(model(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &CMusicInfoTreeWidget::OnRowsAboutToBeRemoved);
    connect(model(), &QAbstractItemModel::modelAboutToBeReset, this,
            &CMusicInfoTreeWidget::OnModelAboutToBeReset);
    const auto rowsMoved = [this] {
        m_rowsMoved = true;
        ++m_hiddenStamp;
    };
    connect(model(), &QAbstractItemModel::rowsInserted, this, rowsMoved);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, rowsMoved);
    connect(model(), &QAbstractItemModel::rowsMoved, this, rowsMoved);
    connect(model(), &QAbstractItemModel::layoutChanged, this, rowsMoved);
}

CMusicInfoTreeWidget::~CMusicInfoTreeWidget()
{
    // The base deletes the model (and so its rows) after this part of the
    // object is gone; its signals must not reach the slots here any more.
    disconnect(model(), nullptr, this, nullptr);
}

void CMusicInfoTreeWidget::RetranslateHeader()
{
    m_header->setText(CTreeWidgetItem::ColNotice, QString());
    m_header->setText(CTreeWidgetItem::ColName, tr("Name"));
    m_header->setText(CTreeWidgetItem::ColTime, tr("Time"));
    m_header->setText(CTreeWidgetItem::ColArtist, tr("Artist"));
    m_header->setText(CTreeWidgetItem::ColAlbum, tr("Album"));
    m_header->setText(CTreeWidgetItem::ColGenre, tr("Genre"));
    m_header->setText(CTreeWidgetItem::ColDate, tr("Date Added"));
    m_header->setText(CTreeWidgetItem::ColPad, QString());
    m_header->setText(CTreeWidgetItem::ColRest, QString());
}

void CMusicInfoTreeWidget::FitHeaderSections()
{
    // "Длительность" in a column made for "Time" ran under the sort arrow:
    // the style sheet's section draws its title from the left padding across
    // the whole section and the arrow over the right end of it. A column
    // gets the title's width from the left padding up to where the arrow
    // begins; the arrow can go to any column, so each gets that room.
    QHeaderView* hv = header();
    hv->ensurePolished();
    QStyle* style = hv->style();
    const bool arrowShown = hv->isSortIndicatorShown();
    const int margin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, hv);
    for (int c = 0; c < CTreeWidgetItem::ColumnCount; ++c) {
        if (m_header->text(c).isEmpty() || hv->sectionResizeMode(c) == QHeaderView::Fixed)
            continue;
        // The header's size for the title alone is the title's width in the
        // section's font, two margins and the section's padding and border.
        hv->setSortIndicatorShown(false);
        const int titleOnly = hv->sectionSizeHint(c);
        QStyleOptionHeader option;
        option.initFrom(hv);
        option.state |= QStyle::State_Horizontal;
        option.orientation = Qt::Horizontal;
        option.section = c;
        option.text = m_header->text(c);
        option.sortIndicator = QStyleOptionHeader::SortDown;
        // The height the header takes when shown: the arrow grows with it.
        option.rect = QRect(0, 0, hv->sectionSize(c), hv->sizeHint().height());
        const QRect label = style->subElementRect(QStyle::SE_HeaderLabel, &option, hv);
        const QRect arrow = style->subElementRect(QStyle::SE_HeaderArrow, &option, hv);
        const int title = titleOnly - (option.rect.width() - label.width()) - 2 * margin;
        const int need = label.left() + title + (option.rect.width() - arrow.left());
        if (hv->sectionSize(c) < need)
            hv->resizeSection(c, need);
    }
    hv->setSortIndicatorShown(arrowShown);
}

void CMusicInfoTreeWidget::AddRowsSorted(const QList<CTreeWidgetItem*>& rows)
{
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    const int column = sortColumn();
    if (!isSortingEnabled() || column < 0 || topLevelItemCount() > 0) {
        for (CTreeWidgetItem* row : rows)
            items.append(row);
        addTopLevelItems(items);
        return;
    }
    // With sorting on, QTreeWidget puts each row of a batch in front of the
    // rows added before it, then sorts them stably: one stable sort of the
    // reversed batch gives the same order, ties included. The keys are made
    // for this sort only (the rows make their own when the list next
    // compares them): a key of up to 16 units all below 256 (a date's, most
    // short texts) is held as 16 bytes, which compare as the key does, so
    // most of the 1.7 million comparisons of 100,000 rows are two integer
    // ones; other keys go into one buffer.
    struct Entry {
        quint64 high;   // units 0 to 7, one byte each, zero padded
        quint64 low;    // units 8 to 15
        CTreeWidgetItem* row;
        int at;         // in keys; -1 for a key held in the bytes
        int length;
    };
    std::vector<Entry> order;
    order.reserve(static_cast<size_t>(rows.size()));
    QString keys;
    QString key;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        key.clear();
        QString keep;
        CTreeWidgetItem::AppendSortKey(key, (*it)->CellText(column, keep), column);
        Entry entry{0, 0, *it, -1, key.size()};
        const QChar* unit = key.constData();
        for (int i = 0; i < 16 && entry.at < 0; ++i) {
            const ushort u = i < entry.length ? unit[i].unicode() : 0;
            if (u >= 256 || entry.length > 16) {
                entry.at = keys.size();
                keys.append(key);
            }
            (i < 8 ? entry.high : entry.low) |= quint64(u & 0xFF) << (8 * (7 - i % 8));
        }
        order.push_back(entry);
    }
    const QChar* pool = keys.constData();
    auto less = [pool](const Entry& a, const Entry& b) {
        if (a.at < 0 && b.at < 0) {
            // Zero padded bytes, then the shorter first: as QStringView compares.
            if (a.high != b.high)
                return a.high < b.high;
            if (a.low != b.low)
                return a.low < b.low;
            return a.length < b.length;
        }
        // A key held in bytes is spelled out again for the comparison.
        QChar spelled[2][16];
        const auto text = [&](const Entry& e, QChar* units) {
            if (e.at >= 0)
                return QStringView(pool + e.at, e.length);
            for (int i = 0; i < e.length; ++i)
                units[i] = QChar(ushort(((i < 8 ? e.high : e.low) >> (8 * (7 - i % 8))) & 0xFF));
            return QStringView(units, e.length);
        };
        return text(a, spelled[0]) < text(b, spelled[1]);
    };
    if (header()->sortIndicatorOrder() == Qt::DescendingOrder)
        std::stable_sort(order.begin(), order.end(), [&](const Entry& a, const Entry& b) { return less(b, a); });
    else
        std::stable_sort(order.begin(), order.end(), less);
    for (const Entry& entry : order)
        items.append(entry.row);

    // The rows go in at once with sorting off.
    QHeaderView* hv = header();
    const Qt::SortOrder sortOrder = hv->sortIndicatorOrder();
    const bool indicatorShown = hv->isSortIndicatorShown();
    const bool clickable = hv->sectionsClickable();
    setSortingEnabled(false);
    addTopLevelItems(items);
    SortingOnWithoutResort(column, sortOrder, indicatorShown, clickable);
}

void CMusicInfoTreeWidget::SortingOnWithoutResort(int column, Qt::SortOrder order, bool indicatorShown,
                                                  bool clickable)
{
    // Switched on with no sort column, which sorts nothing, then given the
    // column and order back with the header's signals held, which would sort.
    QHeaderView* hv = header();
    {
        const QSignalBlocker hold(hv);
        hv->setSortIndicator(-1, order);
        setSortingEnabled(true);
        hv->setSortIndicator(column, order);
    }
    hv->setSortIndicatorShown(indicatorShown);
    hv->setSectionsClickable(clickable);
}

void CMusicInfoTreeWidget::TakeRows(const QSet<const QTreeWidgetItem*>& rows)
{
    if (rows.isEmpty())
        return;
    SyncRowCopies();
    const int count = m_rows.size();
    // Which rows are selected, by row number, from the selection's ranges
    // (a list of 100,000 selected indexes costs more than the rest).
    QVector<char> selectedAt(count, 0);
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.parent().isValid())
            continue;
        for (int row = qMax(0, range.top()); row <= range.bottom() && row < count; ++row)
            selectedAt[row] = 1;
    }
    // Rows in order, their hidden state, and the selected ones that stay.
    std::vector<RowCopy> kept;
    kept.reserve(static_cast<size_t>(count));
    std::vector<char> keptSelected;
    keptSelected.reserve(static_cast<size_t>(count));
    QTreeWidgetItem* current = currentItem();
    QTreeWidgetItem* nextCurrent = nullptr;
    bool currentLeaves = false;
    QTreeWidgetItem* lastKept = nullptr;
    for (int i = 0; i < count; ++i) {
        const RowCopy& copy = m_rows.at(i);
        if (rows.contains(copy.item)) {
            if (copy.item == current)
                currentLeaves = true;
            continue;
        }
        if (currentLeaves && !nextCurrent)
            nextCurrent = copy.item;
        kept.push_back(copy);
        keptSelected.push_back(selectedAt.at(i));
        lastKept = copy.item;
    }
    if (!currentLeaves)
        nextCurrent = current;
    else if (!nextCurrent)
        nextCurrent = lastKept;

    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    QHeaderView* hv = header();
    const int column = sortColumn();
    const Qt::SortOrder order = hv->sortIndicatorOrder();
    const bool indicatorShown = hv->isSortIndicatorShown();
    const bool clickable = hv->sectionsClickable();
    const bool sorting = isSortingEnabled();
    // No current row and no selection while they go: each move of the
    // current row would cost a signal. (setCurrentItem would also clear the
    // selection, a second time.)
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    clearSelection();
    setSortingEnabled(false);
    // Every row out in one step and the staying ones back in one step: one
    // layout instead of one per row. The texts of the staying rows are kept
    // (only the leaving ones are forgotten, see OnRowsAboutToBeRemoved).
    m_leaving = &rows;
    invisibleRootItem()->takeChildren();
    m_leaving = nullptr;
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(kept.size()));
    for (const RowCopy& copy : kept)
        items.append(copy.item);
    addTopLevelItems(items);
    if (sorting)
        SortingOnWithoutResort(column, order, indicatorShown, clickable);
    UpdateRowsHidden([&](int i, QTreeWidgetItem*, bool) { return kept.at(static_cast<size_t>(i)).hidden; });

    QItemSelection selection;
    const int keptCount = static_cast<int>(kept.size());
    for (int i = 0; i < keptCount; ++i) {
        if (!keptSelected.at(static_cast<size_t>(i)))
            continue;
        int last = i;
        while (last + 1 < keptCount && keptSelected.at(static_cast<size_t>(last + 1)))
            ++last;
        selection.select(model()->index(i, 0), model()->index(last, columnCount() - 1));
        i = last;
    }
    if (!selection.isEmpty())
        selectionModel()->select(selection, QItemSelectionModel::Select);
    if (nextCurrent)
        selectionModel()->setCurrentIndex(indexFromItem(nextCurrent), QItemSelectionModel::NoUpdate);
    setUpdatesEnabled(updates);
}

QVector<QTreeWidgetItem*> CMusicInfoTreeWidget::SelectedVisibleRows()
{
    // selectedItems() order (the selection's ranges in turn, each top to
    // bottom), read from the ranges themselves: selectedIndexes() lists every
    // selected cell, ten a row, which for "Select All" over 100,000 rows was
    // a million small allocations the program never gave back. Hidden rows
    // are told by the copy of the hidden states: QTreeWidgetItem::isHidden
    // searches for the item's row first.
    SyncRowCopies();
    QVector<QTreeWidgetItem*> rows;
    const int count = m_rows.size();
    std::vector<bool> seen(static_cast<size_t>(count), false);
    const QItemSelection selection = selectionModel()->selection();
    for (const QItemSelectionRange& range : selection) {
        // Only row selections count (their first cell is in column 0).
        if (!range.isValid() || range.parent().isValid() || range.left() != 0)
            continue;
        for (int row = qMax(0, range.top()); row <= range.bottom() && row < count; ++row) {
            const RowCopy& copy = m_rows.at(row);
            if (seen[static_cast<size_t>(row)] || copy.hidden)
                continue;
            seen[static_cast<size_t>(row)] = true;
            rows.append(copy.item);
        }
    }
    return rows;
}

CTreeWidgetItem* CMusicInfoTreeWidget::SelectableRow(QTreeWidgetItem* item)
{
    // As selectedIndexes() does: only selectable, enabled rows.
    const Qt::ItemFlags flags = item ? item->flags() : Qt::ItemFlags();
    if (!(flags & Qt::ItemIsSelectable) || !(flags & Qt::ItemIsEnabled))
        return nullptr;
    return dynamic_cast<CTreeWidgetItem*>(item);
}

QList<CTreeWidgetItem*> CMusicInfoTreeWidget::GetSelectedItems()
{
    QList<CTreeWidgetItem*> rows;
    for (QTreeWidgetItem* item : SelectedVisibleRows()) {
        if (CTreeWidgetItem* row = SelectableRow(item))
            rows.append(row);
    }
    return rows;
}

CTreeWidgetItem* CMusicInfoTreeWidget::GetCurrentVisibleItem() const
{
    QTreeWidgetItem* current = currentItem();
    if (!current)
        return nullptr;
    const QVector<RowCopy>& rows = SyncedRows();
    const int at = indexOfTopLevelItem(current);
    if (at < 0 || at >= rows.size())
        return current->isHidden() ? nullptr : dynamic_cast<CTreeWidgetItem*>(current);
    if (!rows.at(at).hidden)
        return dynamic_cast<CTreeWidgetItem*>(current);
    for (int i = at + 1; i < rows.size(); ++i) {
        if (!rows.at(i).hidden)
            return dynamic_cast<CTreeWidgetItem*>(rows.at(i).item);
    }
    for (int i = at - 1; i >= 0; --i) {
        if (!rows.at(i).hidden)
            return dynamic_cast<CTreeWidgetItem*>(rows.at(i).item);
    }
    return nullptr;
}

int CMusicInfoTreeWidget::GetVisibleIndex(QTreeWidgetItem* item) const
{
    if (!item)
        return -1;
    const QVector<RowCopy>& rows = SyncedRows();
    const int at = indexOfTopLevelItem(item);
    if (at < 0 || at >= rows.size() || rows.at(at).hidden)
        return -1;
    int n = 0;
    for (int i = 0; i < at; ++i) {
        if (!rows.at(i).hidden)
            ++n;
    }
    return n;
}

CTreeWidgetItem* CMusicInfoTreeWidget::GetVisibleItem(int n) const
{
    return dynamic_cast<CTreeWidgetItem*>(const_cast<CMusicInfoTreeWidget*>(this)->VisibleRow(n));
}

int CMusicInfoTreeWidget::GetVisibleItemCount() const
{
    int n = 0;
    for (const RowCopy& copy : SyncedRows()) {
        if (!copy.hidden)
            ++n;
    }
    return n;
}

bool CMusicInfoTreeWidget::IsRowHiddenAt(int row) const
{
    const QVector<RowCopy>& rows = SyncedRows();
    return row >= 0 && row < rows.size() ? rows.at(row).hidden : isRowHidden(row, QModelIndex());
}

const QVector<CMusicInfoTreeWidget::RowCopy>& CMusicInfoTreeWidget::SyncedRows() const
{
    // Bringing the copy up to date changes no row and nothing a caller
    // sees; it is only what makes the copy valid to read.
    const_cast<CMusicInfoTreeWidget*>(this)->SyncRowCopies();
    return m_rows;
}

QTreeWidgetItem* CMusicInfoTreeWidget::VisibleRow(int n)
{
    SyncRowCopies();
    for (int i = 0; n >= 0 && i < m_rows.size(); ++i) {
        if (!m_rows.at(i).hidden && n-- == 0)
            return m_rows.at(i).item;
    }
    return nullptr;
}

namespace {
// The columns the filter searches, in the order of RowCopy::textLength.
constexpr int kSearchColumns[3] = {CTreeWidgetItem::ColName, CTreeWidgetItem::ColArtist,
                                   CTreeWidgetItem::ColAlbum};

int SearchSlot(int column)
{
    for (int i = 0; i < 3; ++i) {
        if (kSearchColumns[i] == column)
            return i;
    }
    return -1;
}

// Between a row's three folded texts in the pool: a noncharacter no text of
// a cell is searched for with (a needle holding it is answered through
// QString), so one search over a row's whole stretch of the pool finds what
// a search of each text would, never a match across two of them.
constexpr ushort kTextSeparator = 0xFFFF;

// Case-sensitive contains on code units: the folded needle's first unit
// found, then the rest compared. Row texts are a few dozen units, so this
// plain loop beats a general search's set-up for each of 100,000 of them.
bool UnitsContain(const QChar* haystack, qsizetype length, const QString& needle)
{
    const qsizetype n = needle.size();
    if (n == 0)
        return true;
    if (n > length)
        return false;
    const ushort* in = reinterpret_cast<const ushort*>(haystack);
    const ushort* want = reinterpret_cast<const ushort*>(needle.constData());
    const ushort first = want[0];
    const ushort* last = in + (length - n);
    for (const ushort* at = in; at <= last; ++at) {
        if (*at == first && std::equal(want + 1, want + n, at + 1))
            return true;
    }
    return false;
}

// Case-insensitive matching in QString folds every UTF-16 unit with the simple
// case folding and compares; surrogates fold to themselves. Folding once here
// and comparing exactly gives the same answers for any text without
// surrogates (a surrogate in the cell never equals a unit of such a text).
void FoldInto(QChar* out, QStringView text)
{
    const ushort* in = reinterpret_cast<const ushort*>(text.data());
    ushort* to = reinterpret_cast<ushort*>(out);
    const qsizetype n = text.size();
    ushort any = 0;
    for (qsizetype i = 0; i < n; ++i)
        any |= in[i];
    if (any < 0x80) {
        // ASCII, nearly every text: it folds to lower case, in loops the
        // compiler vectorises.
        for (qsizetype i = 0; i < n; ++i)
            to[i] = static_cast<ushort>(in[i] + (static_cast<ushort>(in[i] - 'A') < 26 ? 'a' - 'A' : 0));
        return;
    }
    for (qsizetype i = 0; i < n; ++i) {
        const ushort u = in[i];
        to[i] = QChar::isSurrogate(u) ? u : static_cast<ushort>(QChar::toCaseFolded(uint(u)));
    }
}

QString FoldUnits(const QString& text)
{
    QString folded(text.size(), Qt::Uninitialized);
    FoldInto(folded.data(), text);
    return folded;
}

bool HasSurrogate(const QString& text)
{
    for (const QChar c : text) {
        if (c.isSurrogate())
            return true;
    }
    return false;
}
} // namespace

CMusicInfoTreeWidget::SearchText::SearchText(const QString& t)
    : text(t), exact(HasSurrogate(t) || t.contains(QChar(kTextSeparator)))
{
    if (!exact)
        folded = FoldUnits(t);
}

int CMusicInfoTreeWidget::PooledLength(const RowCopy& copy)
{
    return copy.textLength[0] + copy.textLength[1] + copy.textLength[2] + 2;
}

void CMusicInfoTreeWidget::CopyTexts(RowCopy& copy, const QChar* from)
{
    const int at = m_textPool.size();
    if (from) {
        const int length = PooledLength(copy);
        m_textPool.resize(at + length);
        std::copy(from, from + length, m_textPool.data() + at);
    } else {
        // Read in place from our own rows (no copy of each text on the way).
        const auto* row = dynamic_cast<const CTreeWidgetItem*>(copy.item);
        for (int i = 0; i < 3; ++i) {
            QString keep;
            const QStringView text = row ? row->CellText(kSearchColumns[i], keep)
                                         : QStringView(keep = copy.item->text(kSearchColumns[i]));
            copy.textLength[i] = static_cast<int>(text.size());
            const int end = m_textPool.size();
            m_textPool.resize(end + copy.textLength[i] + (i < 2 ? 1 : 0));
            FoldInto(m_textPool.data() + end, text);
            if (i < 2)
                m_textPool[end + copy.textLength[i]] = QChar(kTextSeparator);
        }
    }
    copy.textAt = at;
}

void CMusicInfoTreeWidget::ForgetTexts(RowCopy& copy)
{
    if (copy.textAt >= 0)
        m_deadChars += PooledLength(copy);
    copy.textAt = -1;
}

void CMusicInfoTreeWidget::CopyTextsWhileIdle()
{
    // Only while the copy still lines up with the rows; the next update
    // realigns it and starts this again.
    if (m_rowsMoved || !m_removedItems.isEmpty() || m_rows.size() != topLevelItemCount())
        return;
    QElapsedTimer slice;
    slice.start();
    for (int i = 0; i < m_rows.size(); ++i) {
        RowCopy& copy = m_rows[i];
        if (copy.textAt >= 0)
            continue;
        CopyTexts(copy);
        if (slice.elapsed() >= 10) {
            m_textCopier->start();
            return;
        }
    }
}

void CMusicInfoTreeWidget::PrepareSearchTexts()
{
    SyncRowCopies();
    // The pool grows once: grown text by text, it was copied over and over
    // (half of this at 100,000 rows).
    qsizetype missing = 0;
    for (const RowCopy& copy : m_rows) {
        if (copy.textAt >= 0)
            continue;
        const auto* row = dynamic_cast<const CTreeWidgetItem*>(copy.item);
        for (int column : kSearchColumns) {
            QString keep;
            missing += row ? row->CellText(column, keep).size() : copy.item->text(column).size();
        }
        missing += 2;   // the separators
    }
    m_textPool.reserve(static_cast<int>(m_textPool.size() + missing));
    for (RowCopy& copy : m_rows) {
        if (copy.textAt < 0)
            CopyTexts(copy);
    }
}

bool CMusicInfoTreeWidget::RowTextContains(int row, int column, const SearchText& text)
{
    const int slot = column == AnySearchColumn ? 3 : SearchSlot(column);
    if (slot < 0 || text.exact || row < 0 || row >= m_rows.size()) {
        QTreeWidgetItem* item = topLevelItem(row);
        if (!item)
            return false;
        if (column != AnySearchColumn)
            return item->text(column).contains(text.text, Qt::CaseInsensitive);
        for (int c : kSearchColumns) {
            if (item->text(c).contains(text.text, Qt::CaseInsensitive))
                return true;
        }
        return false;
    }
    RowCopy& copy = m_rows[row];
    if (copy.textAt < 0)
        CopyTexts(copy);
    if (slot == 3)
        return UnitsContain(m_textPool.constData() + copy.textAt, PooledLength(copy), text.folded);
    int at = copy.textAt;
    for (int i = 0; i < slot; ++i)
        at += copy.textLength[i] + 1;
    return UnitsContain(m_textPool.constData() + at, copy.textLength[slot], text.folded);
}

quint64 CMusicInfoTreeWidget::RowOrder()
{
    SyncRowCopies();
    return m_rowOrder;
}

quint64 CMusicInfoTreeWidget::HiddenStateStamp()
{
    SyncRowCopies();
    return m_hiddenStamp;
}

void CMusicInfoTreeWidget::doItemsLayout()
{
    if (m_inGeometries && m_hiddenKnown) {
        // QTreeView lays an empty view out again whenever it updates its
        // scroll bars, although nothing changed (every row hidden after a
        // filter that matched nothing): with 100,000 hidden rows that is a
        // tenth of a second each time. updateGeometries() has just run any
        // layout still pending, and no one has changed a row since our own.
        return;
    }
    if (!m_ownLayout) {
        m_hiddenKnown = false;
        ++m_hiddenStamp;
    }
    QTreeWidget::doItemsLayout();
}

void CMusicInfoTreeWidget::updateGeometries()
{
    // A layout still pending runs here, before the base may lay out again;
    // see doItemsLayout().
    executeDelayedItemsLayout();
    const bool outer = m_inGeometries;
    m_inGeometries = true;
    QTreeWidget::updateGeometries();
    m_inGeometries = outer;
}

void CMusicInfoTreeWidget::OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                         const QVector<int>& roles)
{
    // Runs for every cell set while the library loads: stay cheap.
    if (m_rows.isEmpty() || topLeft.parent().isValid())
        return;
    if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole))
        return;
    if (bottomRight.column() < CTreeWidgetItem::ColName || topLeft.column() > CTreeWidgetItem::ColAlbum)
        return;
    ++m_hiddenStamp;
    if (topLeft.row() != bottomRight.row()) {
        // Not what QTreeWidgetItem emits; forget every text to be safe.
        for (RowCopy& copy : m_rows)
            ForgetTexts(copy);
        return;
    }
    auto* item = static_cast<QTreeWidgetItem*>(topLeft.internalPointer());
    const int row = topLeft.row();
    if (row < m_rows.size() && m_rows[row].item == item)
        ForgetTexts(m_rows[row]);
    else
        m_staleTexts.insert(item);
}

void CMusicInfoTreeWidget::OnRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last)
{
    ++m_hiddenStamp;
    if (m_rows.isEmpty() || parent.isValid())
        return;
    // The rows are still in place here (and the model sorts nothing while
    // it changes), so their indexes name the items leaving.
    for (int r = first; r <= last; ++r) {
        const QModelIndex index = model()->index(r, 0, parent);
        if (!index.isValid())
            continue;
        const auto* item = static_cast<const QTreeWidgetItem*>(index.internalPointer());
        if (!m_leaving || m_leaving->contains(item))
            m_removedItems.insert(item);
    }
}

void CMusicInfoTreeWidget::OnModelAboutToBeReset()
{
    ++m_rowOrder;
    ++m_hiddenStamp;
    m_rowsMoved = true;
    m_rows.clear();
    m_textPool.clear();
    m_deadChars = 0;
    m_staleTexts.clear();
    m_removedItems.clear();
    m_hiddenKnown = false;
}

void CMusicInfoTreeWidget::SyncRowCopies()
{
    // Runs a layout somebody else asked for now; doItemsLayout() then marks
    // the hidden flags unknown.
    m_ownLayout = false;
    executeDelayedItemsLayout();

    const int count = topLevelItemCount();
    // A sort still pending runs now (asking for a row runs it), so that its
    // layoutChanged is seen below.
    if (count > 0)
        topLevelItem(0);
    // Texts of changed rows are copied again to the end of the pool; once the
    // old copies are half of it, the realignment lays the pool out afresh.
    bool aligned = m_rows.size() == count && m_removedItems.isEmpty()
        && m_deadChars <= m_textPool.size() / 2 + 65536;
    // Rows move only with the model saying so (rows in or out, a sort, a
    // reset): otherwise the copy still lines up, and 100,000 look-ups of
    // topLevelItem() are spared on every keystroke.
    for (int i = 0; aligned && m_rowsMoved && i < count; ++i)
        aligned = m_rows.at(i).item == topLevelItem(i);
    m_rowsMoved = false;
    if (!m_staleTexts.isEmpty()) {
        for (RowCopy& copy : m_rows) {
            if (m_staleTexts.contains(copy.item))
                ForgetTexts(copy);
        }
        m_staleTexts.clear();
    }
    if (!aligned) {
        // Rows were sorted, added or removed: line the copy up again, keeping
        // the texts of rows still known by pointer, and lay the pool out in
        // the new row order.
        QHash<const QTreeWidgetItem*, int> old;
        old.reserve(m_rows.size());
        for (int i = 0; i < m_rows.size(); ++i) {
            if (!m_removedItems.contains(m_rows.at(i).item))
                old.insert(m_rows.at(i).item, i);
        }
        const QVector<RowCopy> oldRows = std::move(m_rows);
        const QVector<QChar> oldPool = std::move(m_textPool);
        m_rows = QVector<RowCopy>(count);
        m_textPool.clear();
        m_textPool.reserve(oldPool.size());
        for (int i = 0; i < count; ++i) {
            RowCopy& copy = m_rows[i];
            copy.item = topLevelItem(i);
            const auto found = old.constFind(copy.item);
            if (found == old.constEnd() || oldRows.at(found.value()).textAt < 0)
                continue;
            const RowCopy& before = oldRows.at(found.value());
            std::copy(before.textLength, before.textLength + 3, copy.textLength);
            CopyTexts(copy, oldPool.constData() + before.textAt);
        }
        m_removedItems.clear();
        m_deadChars = 0;
        m_hiddenKnown = false;
        ++m_rowOrder;
    }
    if (!m_hiddenKnown) {
        for (int i = 0; i < count; ++i)
            m_rows[i].hidden = isRowHidden(i, QModelIndex());
        m_hiddenKnown = true;
    }
}

void CMusicInfoTreeWidget::UpdateRowsHidden(const RowDecision& decide)
{
    SyncRowCopies();
    const int count = m_rows.size();
    bool changed = false;
    for (int i = 0; i < count; ++i) {
        RowCopy& copy = m_rows[i];
        const bool hide = decide(i, copy.item, copy.hidden);
        if (hide != copy.hidden) {
            setRowHidden(i, QModelIndex(), hide);
            copy.hidden = hide;
            changed = true;
        }
    }
    if (changed)
        ++m_hiddenStamp;
    if (!m_textCopier->isActive())
        m_textCopier->start();
    // Our own layout, now, so that any later one is known to come from a
    // change made by someone else.
    if (changed) {
        m_ownLayout = true;
        executeDelayedItemsLayout();
        m_ownLayout = false;
    }
}

void CMusicInfoTreeWidget::SetCurrentVisibleIndex(int n)
{
    if (CTreeWidgetItem* item = GetVisibleItem(n))
        setCurrentItem(item);
}

void CMusicInfoTreeWidget::UpdateModifiers(QKeyEvent* event, bool pressed)
{
    quint16 bit = 0;
    if (event->key() == Qt::Key_Shift)
        bit = kShiftBit;
    else if (event->key() == Qt::Key_Control)
        bit = kControlBit;
    if (pressed)
        m_modifiers |= bit;
    else
        m_modifiers &= static_cast<quint16>(~bit);
}

void CMusicInfoTreeWidget::ReleaseModifierKey(QKeyEvent* event)
{
    if (event)
        UpdateModifiers(event, false);
}

void CMusicInfoTreeWidget::keyPressEvent(QKeyEvent* event)
{
    QTreeWidget::keyPressEvent(event);
    UpdateModifiers(event, true);
}

void CMusicInfoTreeWidget::keyReleaseEvent(QKeyEvent* event)
{
    QTreeWidget::keyReleaseEvent(event);
    UpdateModifiers(event, false);
}

void CMusicInfoTreeWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->pos().x() > width() - 5) {
        emit borderPressed();
        return;
    }
    QTreeWidgetItem* item = itemAt(event->pos());
    if (!item)
        return;   // a press on empty space keeps the selection
    const bool wasSelected = item->isSelected();
    QTreeWidget::mousePressEvent(event);
    // The forwarded key state can miss a modifier held while the list had no
    // focus; the event's own modifiers are the reliable second source.
    const bool modifierHeld = m_modifiers != 0
        || (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if (!wasSelected && !modifierHeld) {
        clearSelection();
        item->setSelected(true);
    }
    m_pressed = true;
}

void CMusicInfoTreeWidget::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressed = false;
    emit mouseRelease();
    QTreeWidget::mouseReleaseEvent(event);
}

void CMusicInfoTreeWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (QTreeWidgetItem* item = itemAt(event->pos()))
            emit itemLeftButtonDoubleClicked(item);
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

QByteArray CMusicInfoTreeWidget::DragPayload(const QList<CTreeWidgetItem*>& rows)
{
    QString ids;
    for (CTreeWidgetItem* row : rows)
        ids += QString::number(row->GetMusicId()) + QLatin1Char(' ');
    return ids.toUtf8();
}

QPixmap CMusicInfoTreeWidget::DragPixmap(int count)
{
    const int side = ScaledPixels(50);
    QPixmap picture(QStringLiteral(":/prefix/res/dragmusicfile.png"));
    if (picture.isNull()) {
        picture = QPixmap(side, side);
        picture.fill(Qt::transparent);
    } else {
        picture = picture.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    if (count > 1) {
        QPainter painter(&picture);
        QFont font = QApplication::font();
        font.setPointSize(9);
        painter.setFont(font);
        const QString text = QString::number(count);
        const int d = qMax(15, QFontMetrics(font).horizontalAdvance(text) + 4);
        const QRect square(picture.width() - d, picture.height() - d, d, d);
        QPixmap badge(QStringLiteral(":/prefix/res/dragnumber.png"));
        if (!badge.isNull()) {
            const int b = ScaledPixels(20);
            painter.drawPixmap(square, badge.scaled(b, b));
        } else {
            painter.setBrush(QColor(0xC0, 0x30, 0x30));
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(square);
        }
        painter.setPen(Qt::white);
        painter.drawText(square, Qt::AlignCenter, text);
    }
    return picture;
}

void CMusicInfoTreeWidget::RunDrag(QMimeData* data, const QPixmap& picture)
{
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(picture);
    drag->exec(Qt::CopyAction);
}

void CMusicInfoTreeWidget::mouseMoveEvent(QMouseEvent* event)
{
    // Moving never selects: the base handler is not called.
    if (!m_pressed || m_dragging || !itemAt(event->pos()))
        return;
    const QList<CTreeWidgetItem*> rows = GetSelectedItems();
    if (rows.isEmpty())
        return;
    m_dragging = true;

    QList<QUrl> urls;
    for (CTreeWidgetItem* row : rows)
        urls.append(QUrl::fromLocalFile(row->GetMusicPath()));
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(MimeType), DragPayload(rows));
    data->setUrls(urls);

    RunDrag(data, DragPixmap(rows.size()));

    m_pressed = false;
    m_dragging = false;
    emit itemDragReleased();
}

void CMusicInfoTreeWidget::resizeEvent(QResizeEvent* event)
{
    QTreeWidget::resizeEvent(event);
}
