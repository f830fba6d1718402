#include "CTreeWidgetItem.h"

#include "InterfaceScale.h"
#include "MusicDatabase.h"
#include "MusicRecords.h"
#include "SongRecordFields.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QTreeWidget>

#include <memory>

namespace {
constexpr int kDateLength = 16;   // "MM/dd/yyyy hh:mm"
constexpr int kPlayedListId = 3;

// Compares two texts lower-cased, code unit by code unit, without building
// lower-cased copies (sorting 100,000 rows calls this millions of times).
int CompareLower(const QChar* a, int na, const QChar* b, int nb)
{
    const int n = qMin(na, nb);
    for (int i = 0; i < n; ++i) {
        const ushort ca = a[i].toLower().unicode();
        const ushort cb = b[i].toLower().unicode();
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

// A date text "MM/dd/yyyy hh:mm" compared with its year (characters 6 to 9)
// moved to the front, so year, month, day, hour and minute order it.
bool DateLess(const QString& a, const QString& b)
{
    if (a.size() < 10 || b.size() < 10) {
        const QString ka = a.mid(6, 4) + a.left(6) + a.mid(10);
        const QString kb = b.mid(6, 4) + b.left(6) + b.mid(10);
        return CompareLower(ka.constData(), ka.size(), kb.constData(), kb.size()) < 0;
    }
    // Year and head are four and six units long in both: compare piecewise.
    int c = CompareLower(a.constData() + 6, 4, b.constData() + 6, 4);
    if (c == 0)
        c = CompareLower(a.constData(), 6, b.constData(), 6);
    if (c == 0)
        c = CompareLower(a.constData() + 10, a.size() - 10, b.constData() + 10, b.size() - 10);
    return c < 0;
}
} // namespace

CTreeWidgetItem::CTreeWidgetItem(int musicId, MusicInfoRow* row, QTreeWidget* parent)
    : QTreeWidgetItem(parent, 0)
    , m_musicId(musicId)
{
    SetItemData(0, row);
    setSizeHint(ColName, QSize(ScaledPixels(100), ScaledPixels(23)));
}

CTreeWidgetItem::~CTreeWidgetItem() = default;

QString CTreeWidgetItem::DefaultCoverPath()
{
    return QStringLiteral(":/prefix/res/default_artwork.png");
}

bool CTreeWidgetItem::operator<(const QTreeWidgetItem& other) const
{
    const QTreeWidget* tree = treeWidget();
    if (!tree)
        return false;
    const int column = tree->sortColumn();
    const QString a = text(column);
    const QString b = other.text(column);
    if (column == ColDate)
        return DateLess(a, b);
    return CompareLower(a.constData(), a.size(), b.constData(), b.size()) < 0;
}

void CTreeWidgetItem::SetItemData(int listId, MusicInfoRow* row)
{
    std::unique_ptr<MusicInfoRow> record;
    if (row) {
        record.reset(new MusicInfoRow(*row));
        const RecordMusicInfo& info = record->Info;
        QString title = RecordFieldText(info.MusicName);
        if (title.isEmpty())
            title = QFileInfo(record->MusicPath).baseName();
        setText(ColName, title);
        setText(ColTime, record->TimeRecorded);
        const QString artist = RecordFieldText(info.Artist);
        setText(ColArtist, artist.isEmpty() ? QObject::tr("Unknown Artist") : artist);
        const QString album = RecordFieldText(info.Album);
        setText(ColAlbum, album.isEmpty() ? QObject::tr("Unknown Album") : album);
        QString genre = RecordFieldText(info.Genre);
        const int semi = genre.indexOf(QLatin1Char(';'));
        if (semi >= 0)
            genre.truncate(semi);
        setText(ColGenre, genre.isEmpty() ? QStringLiteral("Other") : genre);

        m_coverPath = CoverCandidateCount(info) == 0 ? DefaultCoverPath() : ChosenCoverPath(*record);
        m_musicPath = record->MusicPath;
    } else {
        if (listId != kPlayedListId)
            return;
        record.reset(GetMusicInfo());
        if (!record)
            return;
    }

    const QString& date = record->DateAdded;
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
