#include "CMiniListItem.h"

#include "CAppSettings.h"
#include "FileTimeHelpers.h"
#include "InterfaceScale.h"
#include "MusicDatabase.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>
#include <QTextBoundaryFinder>

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

// The largest n <= `count` at which `text` may be cut without splitting a
// character (a surrogate pair, or a letter from its accent).
int WholeCharacters(const QString& text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(count);
    if (finder.isAtBoundary())
        return count;
    return qMax(0, finder.toPreviousBoundary());
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

    m_title->installEventFilter(this);
    m_artist->installEventFilter(this);

    m_length = new QLabel(this);
    m_length->setGeometry(ScaledPixels(180), ScaledPixels(10), ScaledPixels(40), ScaledPixels(20));
    m_length->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_length->setStyleSheet(titleStyle);

    SetSelected(false);
}

CMiniListItem::~CMiniListItem() = default;

QString CMiniListItem::ElideForLabel(const QString& text, const QFont& font, int limit, int room)
{
    const QFontMetrics metrics(font);
    const int advance = metrics.horizontalAdvance(text);
    if (advance <= limit && advance <= room)
        return text;
    int n = 5;
    while (n < text.size() && metrics.horizontalAdvance(text.left(n)) < limit)
        ++n;
    const QString dots = QStringLiteral("...");
    int keep = WholeCharacters(text, n - 1);
    while (keep > 0 && metrics.horizontalAdvance(text.left(keep) + dots) > room)
        keep = WholeCharacters(text, keep - 1);
    return text.left(keep) + dots;
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

    QString title = QString::fromUtf8(row.Info.MusicName);
    if (title.isEmpty() && !row.MusicPath.isEmpty())
        title = TitleFromFileName(row.MusicPath);
    m_fullTitle = title;
    m_fullArtist = QString::fromUtf8(row.Info.Artist);
    m_filled = true;
    ShowTexts();

    m_length->setText(row.TimeRecorded);
}

void CMiniListItem::ShowTexts()
{
    // The style sheets set the fonts the widths are measured in: polished
    // first, so the measure is the font the labels paint with.
    m_title->ensurePolished();
    m_artist->ensurePolished();
    m_title->setText(m_fullTitle.isEmpty()
                         ? tr("Title")
                         : ElideForLabel(m_fullTitle, m_title->font(), 92, m_title->contentsRect().width()));
    m_artist->setText(m_fullArtist.isEmpty()
                          ? tr("Artist")
                          : ElideForLabel(m_fullArtist, m_artist->font(), 92, m_artist->contentsRect().width()));
}

void CMiniListItem::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::LanguageChange && m_filled)
        ShowTexts();
}

bool CMiniListItem::eventFilter(QObject* watched, QEvent* event)
{
    // A (re)polish or a new font after the row was filled: shorten again
    // from the whole texts for the font now in force.
    if (m_filled && (watched == m_title || watched == m_artist) && event->type() == QEvent::FontChange)
        ShowTexts();
    return QFrame::eventFilter(watched, event);
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
