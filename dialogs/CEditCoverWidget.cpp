#include "CEditCoverWidget.h"

#include "CCoverWidget.h"
#include "InterfaceScale.h"
#include "SongRecordFields.h"

#include <QDebug>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QScrollArea>
#include <QUrl>

#include <cstring>

namespace {
constexpr int kSinglePage = 0;
constexpr int kGridPage = 1;
// A file bigger than any cover picture is not read into memory to find out.
constexpr qint64 kMaxPictureBytes = 64 * 1024 * 1024;
} // namespace

CEditCoverWidget::CEditCoverWidget(const MusicInfoRow* row, QWidget* parent)
    : QStackedWidget(parent)
{
    if (row)
        m_info = *row;
    else
        std::memset(&m_info.Info, 0, sizeof m_info.Info);
    m_info.Info.CoverCount = CoverCandidateCount(m_info.Info);
    // A stored choice outside the candidates shows (and saves) the first.
    m_info.ImageId = qMax(0, ClampCoverIndex(m_info.Info, m_info.ImageId));
    setAcceptDrops(true);

    const QSize size(ScaledPixels(180), ScaledPixels(160));
    m_single = new QLabel(this);
    m_single->setFixedSize(size);
    m_single->setScaledContents(true);
    addWidget(m_single);

    m_scroll = new QScrollArea(this);
    m_scroll->setFixedSize(size);
    m_scroll->setContentsMargins(0, 0, 0, 0);
    m_inner = new QFrame;
    m_inner->setStyleSheet(QStringLiteral("QFrame{background-color: #FFFFFF;}"));
    m_scroll->setWidget(m_inner);
    addWidget(m_scroll);

    RefreshCovers();
}

CEditCoverWidget::~CEditCoverWidget() = default;

QString CEditCoverWidget::DragHerePicture()
{
    return QStringLiteral(":/prefix/res/drag_artwork_here.png");
}

int CEditCoverWidget::CoverCount() const
{
    return m_info.Info.CoverCount;
}

MusicInfoRow CEditCoverWidget::GetMusicInfo() const
{
    return m_info;
}

bool CEditCoverWidget::IsSupportedImage(const QString& path)
{
    static const QStringList kExtensions{QStringLiteral("jpg"), QStringLiteral("png"), QStringLiteral("bmp"),
                                         QStringLiteral("JPG"), QStringLiteral("PNG"), QStringLiteral("BMP")};
    if (!kExtensions.contains(path.right(3)))
        return false;
    // A regular file only: reading a pipe or a device named like a picture
    // would block or never end.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxPictureBytes)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QPixmap pixmap;
    return pixmap.loadFromData(file.readAll()) && !pixmap.isNull();
}

bool CEditCoverWidget::AppendCover(const QString& path)
{
    const int count = m_info.Info.CoverCount;
    if (count >= kMaxCoverCandidates)
        return false;
    // A backslash is an ordinary character of a file name here: the path is
    // taken as it is.
    const QByteArray utf8 = path.toUtf8();
    if (utf8.isEmpty() || utf8.size() >= static_cast<int>(sizeof m_info.Info.CoverPaths[count])) {
        qWarning() << "CEditCoverWidget::AppendCover path too long for a cover:" << path;
        return false;
    }
    if (!IsSupportedImage(path))
        return false;
    m_info.Info.CoverIds[count] = 0;
    std::memset(m_info.Info.CoverPaths[count], 0, sizeof m_info.Info.CoverPaths[count]);
    CopyUtf8Field(m_info.Info.CoverPaths[count], sizeof m_info.Info.CoverPaths[count], utf8);
    m_info.Info.CoverCount = count + 1;
    return true;
}

int CEditCoverWidget::RemoveSelectedCover()
{
    RecordMusicInfo& info = m_info.Info;
    const int n = info.CoverCount;
    if (n < 1)
        return 0;
    // A choice outside the candidates counts as the first, never as "none".
    const int s = qMax(0, ClampCoverIndex(n, m_info.ImageId));
    RemoveCoverCandidate(info, s);
    m_info.ImageId = (s == info.CoverCount && s != 0) ? s - 1 : s;
    return 1;
}

void CEditCoverWidget::ShowSinglePicture(const QString& path)
{
    m_shownPicture = path;
    m_single->setPixmap(QPixmap(path));
    setCurrentIndex(kSinglePage);
}

void CEditCoverWidget::RefreshCovers()
{
    // Never called from a tile's own signal, but a tile may still have an
    // event queued: it goes with the next turn of the event loop.
    for (CCoverWidget* tile : m_tiles) {
        tile->hide();
        tile->deleteLater();
    }
    m_tiles.clear();
    delete m_grid;
    m_grid = nullptr;

    const int count = m_info.Info.CoverCount;
    if (count < 2) {
        ShowSinglePicture(count == 1 ? CoverPathAt(m_info.Info, 0) : DragHerePicture());
        return;
    }

    const double scale = GetInterfaceScale();
    m_grid = new QGridLayout(m_inner);
    m_grid->setContentsMargins(0, static_cast<int>(scale), 0, static_cast<int>(scale));
    m_grid->setSpacing(0);
    m_grid->setColumnMinimumWidth(0, 80);
    m_grid->setColumnMinimumWidth(1, 80);
    const int rows = (count + 1) / 2;
    m_inner->setFixedSize(static_cast<int>(160 * scale), count < 5 ? 162 : rows * 80 + 2);

    const int side = static_cast<int>(64 * scale);
    for (int i = 0; i < count; ++i) {
        if (i % 2 == 0)
            m_grid->setRowMinimumHeight(i / 2, static_cast<int>(80 * scale));
        auto* tile = new CCoverWidget(side, side, false, m_inner);
        connect(tile, &CCoverWidget::Selected, this, &CEditCoverWidget::SelecetChange);
        tile->SetImagePath(CoverPathAt(m_info.Info, i));
        tile->SetSelectable(true);
        tile->SetSelected(i == m_info.ImageId);
        m_grid->addWidget(tile, i / 2, i % 2, Qt::AlignCenter);
        m_tiles.append(tile);
    }
    m_shownPicture.clear();
    setCurrentIndex(kGridPage);
}

void CEditCoverWidget::SelecetChange(CCoverWidget* tile)
{
    for (int i = 0; i < m_tiles.size(); ++i) {
        CCoverWidget* t = m_tiles.at(i);
        if (t->IsSelected())
            t->SetSelected(false);
        if (t == tile) {
            t->SetSelected(true);
            m_info.ImageId = i;
        }
    }
}

QStringList CEditCoverWidget::DroppedFiles(const QMimeData* data)
{
    QStringList files;
    if (!data)
        return files;
    // The URL's own local path: stripping characters off the URL's path text
    // would break every absolute path and every escaped character.
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

void CEditCoverWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_info.Info.CoverCount >= kMaxCoverCandidates)
        return;
    for (const QString& path : DroppedFiles(event->mimeData())) {
        if (IsSupportedImage(path)) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CEditCoverWidget::dropEvent(QDropEvent* event)
{
    bool added = false;
    if (m_info.Info.CoverCount < kMaxCoverCandidates) {
        // AppendCover skips what is no picture and stops taking at five.
        for (const QString& path : DroppedFiles(event->mimeData())) {
            if (m_info.Info.CoverCount >= kMaxCoverCandidates)
                break;
            added = AppendCover(path) || added;
        }
    }
    if (added)
        emit CoverAdded();
    event->acceptProposedAction();
}
