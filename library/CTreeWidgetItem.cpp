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
// The most a row's text buffer holds (its spans are 16 bits).
constexpr qsizetype kMaxPackedUnits = 0xFFFF;

// A stored genre's first name (several are joined by ';').
QStringView FirstGenre(QStringView genre)
{
    const qsizetype semi = genre.indexOf(QLatin1Char(';'));
    return semi >= 0 ? genre.left(semi) : genre;
}

// What the Genre column shows for a song without one. One word in every
// language: the tag editor stores its own translated "Other", and the column
// must not make a stored genre look like it.
QString OtherGenre()
{
    return QStringLiteral("Other");
}

// The notice picture, made once per interface scale and shared by every row:
// one scaled copy per row cost 3 KB each, 330 MB for a right click on
// 100,000 missing songs.
const QIcon& NoticePicture()
{
    static QIcon icon;
    static int madeFor = -1;
    const int side = ScaledPixels(16);
    // Made again while it could not be read (no skin yet).
    if (side != madeFor || icon.isNull()) {
        QPixmap pix(QStringLiteral(":/prefix/res/notic.png"));
        if (!pix.isNull())
            pix = pix.scaled(side, side);
        icon = QIcon(pix);
        madeFor = side;
    }
    return icon;
}
} // namespace

CTreeWidgetItem::CTreeWidgetItem(int musicId, MusicInfoRow* row, QTreeWidget* parent)
    : QTreeWidgetItem(parent, 0)
    , m_musicId(musicId)
{
    SetItemData(0, row);
}

CTreeWidgetItem::CTreeWidgetItem(const MusicInfoListRow& row, int coverCount, const QString& coverPath,
                                 QTreeWidget* parent)
    : QTreeWidgetItem(parent, 0)
    , m_musicId(row.MusicId)
    , m_coverPath(coverCount > 0 ? coverPath : DefaultCoverPath())
{
    using Field = MusicInfoListRow::TextField;
    const auto text = [&](Field field) { return row.Text(field); };
    // The genre up to its first ';', the date added of the date column.
    const QStringView genre = FirstGenre(text(MusicInfoListRow::Genre));
    const QStringView date = text(MusicInfoListRow::DateAdded);
    if (date.size() > kDateLength)
        m_dateText = date.toString();
    const QStringView cells[PackCount] = {text(MusicInfoListRow::MusicName), text(MusicInfoListRow::TimeRecorded),
                                          text(MusicInfoListRow::Artist),    text(MusicInfoListRow::Album),
                                          genre,                            date.left(kDateLength),
                                          text(MusicInfoListRow::MusicPath)};
    // Each cell starts where its text starts in the record's buffer.
    const Field fieldOf[PackCount] = {MusicInfoListRow::MusicName, MusicInfoListRow::TimeRecorded,
                                      MusicInfoListRow::Artist,    MusicInfoListRow::Album,
                                      MusicInfoListRow::Genre,     MusicInfoListRow::DateAdded,
                                      MusicInfoListRow::MusicPath};
    // Texts shown in place of empty ones go at the end of the buffer, which
    // the row then has to itself.
    QString stands[PackCount];
    if (cells[PackName].isEmpty())
        stands[PackName] = TitleFromFileName(text(MusicInfoListRow::MusicPath).toString());
    if (cells[PackArtist].isEmpty())
        stands[PackArtist] = QObject::tr("Unknown Artist");
    if (cells[PackAlbum].isEmpty())
        stands[PackAlbum] = QObject::tr("Unknown Album");
    if (cells[PackGenre].isEmpty())
        stands[PackGenre] = OtherGenre();
    qsizetype size = row.Texts.size();
    for (const QString& stand : stands)
        size += stand.size();
    if (size > kMaxPackedUnits) {
        // Only a path of many thousand characters: the cells as any row keeps them.
        const auto shown = [&](int packed) { return stands[packed].isEmpty() ? cells[packed].toString() : stands[packed]; };
        SetDateCells(0, date.toString());
        SetCells(shown(PackName), shown(PackTime), shown(PackArtist), shown(PackAlbum), shown(PackGenre),
                 cells[PackPath].toString(), coverCount > 0, coverPath);
        return;
    }
    m_texts = row.Texts;
    if (size > row.Texts.size())
        m_texts.reserve(static_cast<int>(size));
    for (int packed = 0; packed < PackCount; ++packed) {
        if (stands[packed].isEmpty()) {
            m_spans[packed] = Span{static_cast<quint16>(row.TextStart(fieldOf[packed])),
                                   static_cast<quint16>(cells[packed].size())};
        } else {
            m_spans[packed] = Span{static_cast<quint16>(m_texts.size()), static_cast<quint16>(stands[packed].size())};
            m_texts.append(stands[packed]);
        }
    }
    m_packed = (1u << PackCount) - 1;
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
qint64 LengthSeconds(QStringView text)
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

void CTreeWidgetItem::AppendSortKey(QString& out, QStringView text, int column)
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
            out.append(text.data(), static_cast<int>(text.size()));
        }
    } else if (column == ColDate) {
        // "MM/dd/yyyy hh:mm" compares by year, month, day, hour and minute.
        const auto append = [&](QStringView part) { out.append(part.data(), static_cast<int>(part.size())); };
        append(text.mid(6, 4));
        append(text.left(6));
        append(text.mid(10));
    } else {
        out.append(text.data(), static_cast<int>(text.size()));
    }
    QChar* unit = out.data();
    for (int i = at, n = out.size(); i < n; ++i) {
        const ushort u = unit[i].unicode();
        if (u < 0x80)
            unit[i] = QChar(static_cast<ushort>(u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u));   // ASCII, as toLower
        else
            unit[i] = unit[i].toLower();
    }
}

const QString& CTreeWidgetItem::SortKey(int column) const
{
    if (m_sortKeyColumn != column) {
        QString keep;
        const QStringView text = CellText(column, keep);
        m_sortKey.clear();
        AppendSortKey(m_sortKey, text, column);
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

int CTreeWidgetItem::PackedOf(int column)
{
    switch (column) {
    case ColName: return PackName;
    case ColTime: return PackTime;
    case ColArtist: return PackArtist;
    case ColAlbum: return PackAlbum;
    case ColGenre: return PackGenre;
    case ColDate: return PackDate;
    default: return -1;
    }
}

QStringView CTreeWidgetItem::PackedText(int packed) const
{
    return QStringView(m_texts).mid(m_spans[packed].at, m_spans[packed].length);
}

void CTreeWidgetItem::Unpack(int packed)
{
    m_packed &= static_cast<quint8>(~(1u << packed));
    if (m_packed == 0)
        m_texts.clear();
}

QVariant CTreeWidgetItem::data(int column, int role) const
{
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        const int packed = PackedOf(column);
        if (packed >= 0 && IsPacked(packed))
            return PackedText(packed).toString();
    } else if (role == Qt::DecorationRole && column == ColNotice && m_notice) {
        return NoticePicture();
    } else if (role == Qt::SizeHintRole && column == ColName) {
        // Every row has it: answered here, not stored a hundred thousand times.
        const QVariant set = QTreeWidgetItem::data(column, role);
        return set.isValid() ? set : QVariant(QSize(ScaledPixels(100), ScaledPixels(23)));
    }
    return QTreeWidgetItem::data(column, role);
}

QStringView CTreeWidgetItem::CellText(int column, QString& keep) const
{
    const int packed = PackedOf(column);
    if (packed >= 0 && IsPacked(packed))
        return PackedText(packed);
    keep = text(column);
    return keep;
}

void CTreeWidgetItem::setData(int column, int role, const QVariant& value)
{
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (column == m_sortKeyColumn) {
            m_sortKeyColumn = -1;
            m_sortKey.clear();
        }
        const int packed = PackedOf(column);
        if (packed >= 0 && IsPacked(packed))
            Unpack(packed);
    } else if (role == Qt::DecorationRole && column == ColNotice) {
        m_notice = false;   // an icon set directly takes the notice's place
    }
    QTreeWidgetItem::setData(column, role, value);
}

QString CTreeWidgetItem::GetMusicPath() const
{
    return IsPacked(PackPath) ? PackedText(PackPath).toString() : m_musicPath;
}

QStringView CTreeWidgetItem::MusicPathText() const
{
    return IsPacked(PackPath) ? PackedText(PackPath) : QStringView(m_musicPath);
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
    if (IsPacked(PackPath))
        Unpack(PackPath);
}

QString CTreeWidgetItem::ShownGenre(const QString& genre)
{
    const QStringView first = FirstGenre(genre);
    if (first.isEmpty())
        return OtherGenre();
    return first.size() == genre.size() ? genre : first.toString();
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

bool CTreeWidgetItem::SetNoticeMark(bool show)
{
    const bool ownIcon = QTreeWidgetItem::data(ColNotice, Qt::DecorationRole).isValid();
    if (show == m_notice && !ownIcon)
        return false;
    m_notice = show;
    // An icon set through the base (the playing mark) gives way; the base
    // tells the list itself.
    if (ownIcon)
        QTreeWidgetItem::setData(ColNotice, Qt::DecorationRole, QVariant());
    return true;
}

void CTreeWidgetItem::SetNoticeIcon(bool show)
{
    if (SetNoticeMark(show)) {
        if (QTreeWidget* tree = treeWidget())
            tree->viewport()->update();
    }
}

void CTreeWidgetItem::SetNoticeColumnIcon(const QIcon& icon)
{
    if (m_notice) {
        m_notice = false;
        if (icon.isNull()) {
            if (QTreeWidget* tree = treeWidget())
                tree->viewport()->update();
        }
    }
    if (icon.isNull() && !QTreeWidgetItem::data(ColNotice, Qt::DecorationRole).isValid())
        return;
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
