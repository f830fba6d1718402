#include "CShowCoverWidget.h"

#include "CCoverWidget.h"
#include "CMiniListItem.h"
#include "FileTimeHelpers.h"
#include "InterfaceScale.h"
#include "SongRecordFields.h"

#include <QDebug>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstring>

CShowCoverWidget::CShowCoverWidget(QWidget* parent, int cornerOverlay)
    : QWidget(parent)
{
    std::memset(&m_info, 0, sizeof m_info);
    setFixedSize(ScaledPixels(128), ScaledPixels(168));
    setFocusPolicy(Qt::ClickFocus);

    m_tile = new CCoverWidget(ScaledPixels(128), ScaledPixels(128), cornerOverlay != 0, this);
    m_tile->setContextMenuPolicy(Qt::CustomContextMenu);

    const QString tabs10(10, QLatin1Char('\t'));
    m_titleLabel = new QLabel(this);
    m_titleLabel->setFixedSize(ScaledPixels(128), ScaledPixels(18));
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_titleLabel->setStyleSheet(QStringLiteral("QLabel{color: #ffffff;%1font-size: %2px;%1font-weight: bold;}")
                                    .arg(tabs10, QString::number(ScaledPixels(12))));
    m_artistLabel = new QLabel(this);
    m_artistLabel->setFixedSize(ScaledPixels(128), ScaledPixels(18));
    m_artistLabel->setAlignment(Qt::AlignCenter);
    m_artistLabel->setStyleSheet(QStringLiteral("QLabel{color: #664e66;%1 font-size: %2px;}")
                                     .arg(QString(8, QLatin1Char('\t')), QString::number(ScaledPixels(11))));

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_tile);
    m_layout->addStretch();
    m_layout->addSpacing(2);
    m_layout->addWidget(m_titleLabel);
    m_layout->addWidget(m_artistLabel);

    m_menu = new QMenu(this);
    m_playAction = m_menu->addAction(tr("Play"));
    m_editAction = m_menu->addAction(tr("Edit"));
    m_deleteAction = m_menu->addAction(tr("Delete"));
    m_finderAction = m_menu->addAction(tr("Show in Folder"));
    connect(m_playAction, &QAction::triggered, this, &CShowCoverWidget::Play);
    connect(m_editAction, &QAction::triggered, this, &CShowCoverWidget::Edit);
    connect(m_deleteAction, &QAction::triggered, this, &CShowCoverWidget::Delete);
    connect(m_finderAction, &QAction::triggered, this, &CShowCoverWidget::Finder);

    connect(m_tile, &CCoverWidget::DoubleClicked, this, &CShowCoverWidget::CoverDoubleClick);
    connect(m_tile, &CCoverWidget::Selected, this, &CShowCoverWidget::Select);
    connect(m_tile->ExpandButton(), &QToolButton::clicked, this, &CShowCoverWidget::ButClik);
    connect(m_tile, &CCoverWidget::MousePressed, this, &CShowCoverWidget::MousePressed);
    connect(m_tile, &QWidget::customContextMenuRequested, this, &CShowCoverWidget::customContextMenuRequested);

    RecordMusicInfo empty;
    std::memset(&empty, 0, sizeof empty);
    SetMusicInfo(empty, -1, QString());
}

QString CShowCoverWidget::ShortenText(QLabel* label, const QString& text)
{
    // The style sheet makes the label's font bold and larger only once it is
    // polished: measured before, a long title overflowed the centred label
    // and was cut at both ends.
    label->ensurePolished();
    const int room = label->contentsRect().width();
    return CMiniListItem::ElideForLabel(text, label->font(), room, room);
}

void CShowCoverWidget::ShowTitle(const RecordMusicInfo& info, const QString& musicPath)
{
    QString title = RecordFieldText(info.MusicName);
    if (title.isEmpty() && !musicPath.isEmpty())
        title = TitleFromFileName(musicPath);
    m_titleLabel->setText(title.isEmpty() ? tr("Title") : ShortenText(m_titleLabel, title));
    const QString artist = RecordFieldText(info.Artist);
    m_artistLabel->setText(artist.isEmpty() ? tr("Artist") : ShortenText(m_artistLabel, artist));
}

void CShowCoverWidget::SetMusicInfo(const RecordMusicInfo& info, int imageIndex, const QString& musicPath)
{
    m_info = info;
    m_imageIndex = imageIndex;
    const int count = CoverCandidateCount(info);
    m_info.CoverCount = count;
    QString cover;
    if (!m_hasData) {
        m_tile->SetButtonVisible(false);
        cover = QStringLiteral(":/prefix/res/default_download_artwork.png");
    } else if (count > 0) {
        cover = CoverPathAt(info, ClampCoverIndex(info, imageIndex));
        if (count == 1) {
            m_tile->SetButtonVisible(false);
        } else {
            m_tile->SetButtonVisible(true);
            m_tile->SetButtonNumber(count);
        }
    } else {
        m_tile->SetButtonVisible(false);
        cover = QStringLiteral(":/prefix/res/default_artwork.png");
    }
    m_tile->SetText(QString());
    m_coverPath = cover;
    m_tile->SetImagePath(cover);
    ShowTitle(info, musicPath);
}

void CShowCoverWidget::RetranslateUi(const RecordMusicInfo& info, const QString& musicPath)
{
    ShowTitle(info, musicPath);
    m_playAction->setText(tr("Play"));
    m_editAction->setText(tr("Edit"));
    m_deleteAction->setText(tr("Delete"));
    m_finderAction->setText(tr("Show in Folder"));
}

void CShowCoverWidget::ResetTexts()
{
    m_titleLabel->setText(tr("Title"));
    m_artistLabel->setText(tr("Artist"));
}

void CShowCoverWidget::SetImageIndex(int index)
{
    if (index < 0 || index >= m_info.CoverCount)
        return;
    m_imageIndex = index;
    m_coverPath = CoverPathAt(m_info, index);
    m_tile->SetImagePath(m_coverPath);
}

void CShowCoverWidget::SetHasData(bool hasData)
{
    m_hasData = hasData;
    m_tile->SetSelectable(hasData);
}

void CShowCoverWidget::SetSelected(bool selected)
{
    m_tile->SetSelected(selected);
}

bool CShowCoverWidget::IsSelected() const
{
    return m_tile->IsSelected();
}

bool CShowCoverWidget::FileExists() const
{
    return !m_musicPath.isEmpty() && QFileInfo::exists(m_musicPath);
}

QString CShowCoverWidget::TitleText() const
{
    return m_titleLabel->text();
}

QString CShowCoverWidget::ArtistText() const
{
    return m_artistLabel->text();
}

void CShowCoverWidget::Select()
{
    setFocus();
    if (m_hasData)
        emit Selected(this);
}

void CShowCoverWidget::ButClik()
{
    emit ButCliked(this);
}

void CShowCoverWidget::MousePressed()
{
    emit CoverPressed(this);
}

bool CShowCoverWidget::PrepareMenu()
{
    if (!m_tile->IsSelectable())
        return false;
    // Without its file the song can only be deleted. The state is set on
    // every opening: the recording page fills one card widget with other
    // songs as the strip scrolls, and each song's file decides for itself.
    const bool exists = FileExists();
    m_playAction->setEnabled(exists);
    m_editAction->setEnabled(exists);
    m_finderAction->setEnabled(exists);
    return true;
}

void CShowCoverWidget::customContextMenuRequested(const QPoint pos)
{
    if (!PrepareMenu())
        return;
    qDebug() << "CShowCoverWidget::customContextMenuRequested" << pos.x() << pos.y();
    emit ContextMenuRequested();
    m_menu->popup(m_tile->mapToGlobal(pos) + QPoint(5, 0));
}

void CShowCoverWidget::Delete()
{
    emit DeleteActionTriggered(this);
}

void CShowCoverWidget::Play()
{
    emit PlayActionTriggered(this);
}

void CShowCoverWidget::Edit()
{
    emit EditActionTriggered(this);
}

void CShowCoverWidget::Finder()
{
    emit FinderActionTriggered(this);
}

void CShowCoverWidget::CoverDoubleClick()
{
    if (FileExists())
        emit PlayActionTriggered(this);
}
