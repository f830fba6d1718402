#include "CTreeWidgetItem.h"

#include "FileTimeHelpers.h"
#include "InterfaceScale.h"
#include "MusicDatabase.h"
#include "MusicRecords.h"
#include "SongRecordFields.h"

#include <QColor>
#include <QCoreApplication>
#include <QIcon>
#include <QPixmap>
#include <QTreeWidget>

#include <memory>

namespace {
constexpr int kDateLength = 16;   // "MM/dd/yyyy hh:mm"
constexpr int kPlayedListId = 3;

} // namespace

CTreeWidgetItem::CTreeWidgetItem(int musicId, MusicInfoRow* row, QTreeWidget* parent)
    : QTreeWidgetItem(parent, 0)
    , m_musicId(musicId)
{
    SetItemData(0, row);
    setSizeHint(ColName, QSize(ScaledPixels(100), ScaledPixels(23)));
}

CTreeWidgetItem::CTreeWidgetItem(const MusicInfoListRow& row, int coverCount, const QString& coverPath,
                                 QTreeWidget* parent)
    : QTreeWidgetItem(parent, 0)
    , m_musicId(row.MusicId)
{
    // The row takes its own copies of the texts instead of sharing the
    // record's. Shared, they would keep the load's records alive in the heap
    // except for the few texts the row does not keep (the genre), and the
    // small holes those leave between them are where the list's later small
    // allocations land: the hidden-row bookkeeping of every filter keystroke
    // then spreads over the whole library's memory, which made a keystroke
    // at 100,000 rows about 40 percent slower. With copies, the records go
    // back to the heap as one block.
    const auto own = [](const QString& text) { return QString(text.constData(), text.size()); };
    // The last text column first: the row's cell storage grows once.
    SetDateCells(0, own(row.DateAdded));
    SetCells(own(row.MusicName), own(row.TimeRecorded), own(row.Artist), own(row.Album), row.Genre,
             own(row.MusicPath), coverCount > 0, coverPath);
    setSizeHint(ColName, QSize(ScaledPixels(100), ScaledPixels(23)));
}

CTreeWidgetItem::~CTreeWidgetItem() = default;

QString CTreeWidgetItem::DefaultCoverPath()
{
    return QStringLiteral(":/prefix/res/default_artwork.png");
}

QString CTreeWidgetItem::SortKeyOf(const QString& text, int column)
{
    QString key;
    AppendSortKey(key, text, column);
    return key;
}

namespace {
// A length "[H:]MM:SS" (any number of ':'-separated digit groups) in
// seconds; -1 when the text is not one.
qint64 LengthSeconds(const QString& text)
{
    qint64 seconds = 0;
    qint64 part = -1;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u >= '0' && u <= '9') {
            part = (part < 0 ? 0 : part) * 10 + (u - '0');
            if (part > 1000000000)
                return -1;
        } else if (u == ':' && part >= 0) {
            seconds = seconds * 60 + part;
            part = -1;
        } else {
            return -1;
        }
    }
    return part < 0 ? -1 : seconds * 60 + part;
}
} // namespace

void CTreeWidgetItem::AppendSortKey(QString& out, const QString& text, int column)
{
    const int at = out.size();
    if (column == ColTime) {
        // By length: a 1:02:05 recording sorts after 19:59, not between
        // 19:59 and 20:00 as its text would. Lengths become fixed-width
        // digits; anything else follows them, by its text.
        const qint64 seconds = LengthSeconds(text);
        if (text.isEmpty()) {
            // No time at all sorts first, as its empty text did.
        } else if (seconds >= 0) {
            QChar digits[12];
            qint64 rest = seconds;
            for (int i = 11; i >= 0; --i, rest /= 10)
                digits[i] = QChar(ushort('0' + rest % 10));
            out.append(digits, 12);
        } else {
            out.append(QLatin1Char('~'));
            out.append(text);
        }
    } else if (column == ColDate) {
        // "MM/dd/yyyy hh:mm" compares by year, month, day, hour and minute.
        out.append(text.midRef(6, 4));
        out.append(text.leftRef(6));
        out.append(text.midRef(10));
    } else {
        out.append(text);
    }
    QChar* unit = out.data();
    for (int i = at, n = out.size(); i < n; ++i)
        unit[i] = unit[i].toLower();
}

const QString& CTreeWidgetItem::SortKey(int column) const
{
    if (m_sortKeyColumn != column) {
        m_sortKey = SortKeyOf(text(column), column);
        m_sortKeyColumn = column;
    }
    return m_sortKey;
}

bool CTreeWidgetItem::operator<(const QTreeWidgetItem& other) const
{
    const QTreeWidget* tree = treeWidget();
    if (!tree)
        return false;
    const int column = tree->sortColumn();
    if (column < 0)
        return false;   // both texts are empty
    if (const auto* row = dynamic_cast<const CTreeWidgetItem*>(&other))
        return SortKey(column) < row->SortKey(column);
    return SortKey(column) < SortKeyOf(other.text(column), column);
}

void CTreeWidgetItem::setData(int column, int role, const QVariant& value)
{
    if (column == m_sortKeyColumn && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        m_sortKeyColumn = -1;
        m_sortKey.clear();
    }
    QTreeWidgetItem::setData(column, role, value);
}

void CTreeWidgetItem::SetItemData(int listId, MusicInfoRow* row)
{
    if (row) {
        const RecordMusicInfo& info = row->Info;
        SetCells(RecordFieldText(info.MusicName), row->TimeRecorded, RecordFieldText(info.Artist),
                 RecordFieldText(info.Album), RecordFieldText(info.Genre), row->MusicPath,
                 CoverCandidateCount(info) > 0, ChosenCoverPath(*row));
        SetDateCells(listId, row->DateAdded);
        return;
    }
    if (listId != kPlayedListId)
        return;
    const std::unique_ptr<MusicInfoRow> record(GetMusicInfo());
    if (record)
        SetDateCells(listId, record->DateAdded);
}

void CTreeWidgetItem::SetCells(const QString& title, const QString& time, const QString& artist,
                               const QString& album, const QString& genre, const QString& musicPath,
                               bool hasCover, const QString& coverPath)
{
    setText(ColName, title.isEmpty() ? TitleFromFileName(musicPath) : title);
    setText(ColTime, time);
    setText(ColArtist, artist.isEmpty() ? QObject::tr("Unknown Artist") : artist);
    setText(ColAlbum, album.isEmpty() ? QObject::tr("Unknown Album") : album);
    setText(ColGenre, ShownGenre(genre));
    m_coverPath = hasCover ? coverPath : DefaultCoverPath();
    m_musicPath = musicPath;
}

QString CTreeWidgetItem::ShownGenre(const QString& genre)
{
    const int semi = genre.indexOf(QLatin1Char(';'));
    const QString first = semi >= 0 ? genre.left(semi) : genre;
    // One word in every language: the tag editor stores its own translated
    // "Other", and the column must not make a stored genre look like it.
    return first.isEmpty() ? QStringLiteral("Other") : first;
}

void CTreeWidgetItem::SetDateCells(int listId, const QString& date)
{
    setText(ColDate, listId == kPlayedListId ? date.right(kDateLength) : date.left(kDateLength));
    if (date.size() > kDateLength)
        m_dateText = date;
}

MusicInfoRow* CTreeWidgetItem::GetMusicInfo() const
{
    std::unique_ptr<MusicInfoRow> row(new MusicInfoRow());
    if (DB_GetMusicInfo(m_musicId, row.get()) < 1)
        return nullptr;
    DB_GetImageInfo(row.get());
    return row.release();
}

void CTreeWidgetItem::SetDateColumn(int listId)
{
    if (m_dateText.isEmpty())
        return;
    setText(ColDate, listId == kPlayedListId ? m_dateText.right(kDateLength)
                                             : m_dateText.left(kDateLength));
}

void CTreeWidgetItem::SetBusyNote(const QString& note)
{
    m_busy = !note.isEmpty();
    for (int column = ColName; column <= ColDate; ++column) {
        setData(column, Qt::ForegroundRole, m_busy ? QVariant(QColor(0xa9, 0x91, 0xa9)) : QVariant());
        setToolTip(column, note);
    }
}

void CTreeWidgetItem::ClearPlayDate()
{
    if (!m_dateText.isEmpty())
        setText(ColDate, m_dateText.left(kDateLength));
    m_dateText.clear();
}

void CTreeWidgetItem::SetNoticeIcon(bool show)
{
    if (!show) {
        setIcon(ColNotice, QIcon());
        return;
    }
    const int side = ScaledPixels(16);
    QPixmap pix(QStringLiteral(":/prefix/res/notic.png"));
    if (!pix.isNull())
        pix = pix.scaled(side, side);
    setIcon(ColNotice, QIcon(pix));
}

void CTreeWidgetItem::SetNoticeColumnIcon(const QIcon& icon)
{
    setIcon(ColNotice, icon);
}

CTreeWidgetItem* CTreeWidgetItem::FromQueue(IPlayQueueTrack* entry)
{
    return dynamic_cast<CTreeWidgetItem*>(entry);
}

QList<IPlayQueueTrack*> CTreeWidgetItem::ToQueue(const QList<CTreeWidgetItem*>& rows)
{
    QList<IPlayQueueTrack*> entries;
    entries.reserve(rows.size());
    for (CTreeWidgetItem* row : rows)
        entries.append(row);
    return entries;
}
