#include "CMiniListItem.h"

#include "CAppSettings.h"
#include "FileTimeHelpers.h"
#include "InterfaceScale.h"
#include "MusicDatabase.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>

namespace {

QString LabelStyle(const QString& head, bool bold)
{
    const QString tabs(8, QLatin1Char('\t'));
    QString style = head + tabs + QStringLiteral("  font-size: %1px;")
                        .arg(ScaledStyleNumber(12));
    if (bold)
        style += tabs + QStringLiteral("  font-weight: bold;}");
    else
        style += QStringLiteral("}");
    return style;
}

}  // namespace

CMiniListItem::CMiniListItem(QWidget* parent)
    : QFrame(parent)
{
    setFixedSize(ScaledPixels(234), ScaledPixels(60));
    setFocusPolicy(Qt::NoFocus);

    m_cover = new QLabel(this);
    m_cover->setGeometry(ScaledPixels(6), ScaledPixels(6), ScaledPixels(48), ScaledPixels(48));

    const QString titleStyle = LabelStyle(QStringLiteral("QLabel{color: #FFFFFF;"), true);
    m_title = new QLabel(this);
    m_title->setGeometry(ScaledPixels(70), ScaledPixels(10), ScaledPixels(100), ScaledPixels(20));
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_title->setStyleSheet(titleStyle);

    m_artist = new QLabel(this);
    m_artist->setGeometry(ScaledPixels(70), ScaledPixels(30), ScaledPixels(100), ScaledPixels(20));
    m_artist->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_artist->setStyleSheet(LabelStyle(QStringLiteral("QLabel{color: #d6d6d6;"), false));

    m_length = new QLabel(this);
    m_length->setGeometry(ScaledPixels(180), ScaledPixels(10), ScaledPixels(40), ScaledPixels(20));
    m_length->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_length->setStyleSheet(titleStyle);

    SetSelected(false);
}

CMiniListItem::~CMiniListItem() = default;

QString CMiniListItem::ElideForLabel(const QString& text, const QFont& font, int limit)
{
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance(text) <= limit)
        return text;
    int n = 5;
    while (n < text.size() && metrics.horizontalAdvance(text.left(n)) < limit)
        ++n;
    return text.left(n - 1) + QStringLiteral("...");
}

void CMiniListItem::SetMusicId(int musicId)
{
    MusicInfoRow row;
    // The covers are looked up by this id even when the song row is missing,
    // never by the record's default id 0.
    row.MusicId = musicId;
    DB_GetMusicInfo(musicId, &row);
    DB_GetImageInfo(&row);

    QString cover;
    if (row.Info.CoverCount > 0) {
        const int index = qBound(0, static_cast<int>(row.ImageId), static_cast<int>(row.Info.CoverCount) - 1);
        cover = QString::fromUtf8(row.Info.CoverPaths[index]);
    } else {
        const QString lang = CAppSettings::GetInstance()->GetLanguage();
        if (lang == QLatin1String("de"))
            cover = QStringLiteral(":/prefix/res/Rdownload_failed_de.png");
        else if (lang == QLatin1String("jp"))
            cover = QStringLiteral(":/prefix/res/Rdownload_failed_jp.png");
        else
            cover = QStringLiteral(":/prefix/res/Rdownload_failed_en.png");
    }
    QPixmap pix(cover);
    if (!pix.isNull())
        pix = pix.scaled(ScaledPixels(48), ScaledPixels(48));
    m_cover->setPixmap(pix);

    // The style sheets set the fonts the widths are measured in.
    m_title->ensurePolished();
    m_artist->ensurePolished();
    QString title = QString::fromUtf8(row.Info.MusicName);
    if (title.isEmpty() && !row.MusicPath.isEmpty())
        title = TitleFromFileName(row.MusicPath);
    m_title->setText(title.isEmpty() ? tr("Title") : ElideForLabel(title, m_title->font()));

    const QString artist = QString::fromUtf8(row.Info.Artist);
    m_artist->setText(artist.isEmpty() ? tr("Artist") : ElideForLabel(artist, m_artist->font()));

    m_length->setText(row.TimeRecorded);
}

void CMiniListItem::SetSelected(bool selected)
{
    m_selected = selected;
    setObjectName(QStringLiteral("miniListItem"));
    setStyleSheet(selected
                      ? QStringLiteral("QFrame#miniListItem{border-image: url(:/prefix/res/mini/minilist/selected.png);}")
                      : QStringLiteral("QFrame#miniListItem{background-color: Transparent;}"));
}

void CMiniListItem::mousePressEvent(QMouseEvent* event)
{
    QFrame::mousePressEvent(event);
    if (!m_selected)
        emit itemClicked(this);
}

void CMiniListItem::mouseDoubleClickEvent(QMouseEvent* event)
{
    QFrame::mouseDoubleClickEvent(event);
    emit itemDoubleClicked(this);
}
