#include "CGraphicsView.h"

#include "CMusicInfoTreeWidget.h"
#include "CTreeWidgetItem.h"
#include "FileTimeHelpers.h"
#include "InterfaceScale.h"
#include "LibraryServices.h"
#include "MusicRecords.h"
#include "SongRecordFields.h"

#include <QGraphicsSceneMouseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPointer>
#include <QTimeLine>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>
#include <memory>

namespace {
constexpr int kSideCovers = 7;
constexpr qreal kLeftAngle = -60;
constexpr qreal kRightAngle = -120;
} // namespace

// ---------------------------------------------------------------- CPixmapItem

CPixmapItem::CPixmapItem(const QString& imageFile, QGraphicsItem* parent)
    : QGraphicsWidget(parent)
    , m_cover(imageFile)
{
}

void CPixmapItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter->setRenderHint(QPainter::Antialiasing, true);
    const qreal w = size().width();
    const qreal h = size().height();
    if (m_cover.isNull() || w <= 0 || h <= 0) {
        drawnHeight = 0;
        return;
    }
    const qreal pw = m_cover.width();
    const qreal ph = m_cover.height();
    const bool fitsWidth = h / ph > w / pw;
    const qreal drawn = fitsWidth ? ph * w / pw : h;
    drawnHeight = static_cast<int>(drawn);
    const bool mirrored = position - mirrorOffset > 0;
    if (m_cachedImage.isNull() || m_cachedSize != size() || m_cachedMirrored != mirrored) {
        const QPixmap scaled = fitsWidth ? m_cover.scaledToWidth(static_cast<int>(w), Qt::SmoothTransformation)
                                         : m_cover.scaledToHeight(static_cast<int>(h), Qt::SmoothTransformation);
        m_cachedImage = scaled.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (mirrored)
            m_cachedImage = m_cachedImage.mirrored(true, false);
        m_cachedReflection = m_cachedImage.mirrored(false, true);
        QPainter p(&m_cachedReflection);
        QLinearGradient gradient(0, 0, 0, h);
        gradient.setColorAt(0, QColor(0, 0, 0, 100));
        gradient.setColorAt(1, QColor(0, 0, 0, 200));
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.fillRect(QRectF(0, 0, w, h), gradient);
        m_cachedSize = size();
        m_cachedMirrored = mirrored;
    }
    painter->drawImage(QRectF(0, h - drawn, w, drawn), m_cachedImage);
    painter->drawImage(QRectF(0, h + 0.3, w, drawn), m_cachedReflection);
}

bool CPixmapItem::IsOnCover(const QPointF& p) const
{
    const qreal w = size().width();
    const qreal h = size().height();
    return p.x() > 0 && p.x() < w && p.y() > h - drawnHeight && p.y() < h;
}

// ---------------------------------------------------------------- CConverFlowScene

CConverFlowScene::CConverFlowScene(QObject* parent)
    : QGraphicsScene(parent)
{
    setItemIndexMethod(QGraphicsScene::NoIndex);
    m_timeLine = new QTimeLine(1000, this);
    m_timeLine->setEasingCurve(QEasingCurve(QEasingCurve::OutCirc));
    connect(m_timeLine, &QTimeLine::valueChanged, this, &CConverFlowScene::TimeLineValueChange);
    connect(m_timeLine, &QTimeLine::finished, this, &CConverFlowScene::TimeLineFinish);
}

qreal CConverFlowScene::ItemHeight() const
{
    return 0.95 * sceneRect().height();
}

qreal CConverFlowScene::ItemWidth() const
{
    return ItemHeight() * 2 / 3;
}

int CConverFlowScene::Step() const
{
    return static_cast<int>((std::cos(1.04719755) - 0.05) * ItemWidth());
}

qreal CConverFlowScene::SlotX(int p) const
{
    const QRectF r = sceneRect();
    const qreal w = ItemWidth();
    const int s = Step();
    const qreal x0 = (r.width() - w) / 2 + r.left();
    if (p == 0)
        return x0;
    if (p > 0)
        return (r.width() + w) / 2 + r.left() + (s * 0.5) * (p - 1);
    return x0 - s + (s * 0.5) * (p + 1);
}

QList<CPixmapItem*> CConverFlowScene::Covers() const
{
    QList<CPixmapItem*> covers;
    for (QGraphicsItem* item : items()) {
        if (auto* cover = dynamic_cast<CPixmapItem*>(item))
            covers.append(cover);
    }
    return covers;
}

CPixmapItem* CConverFlowScene::CoverAt(int position) const
{
    for (CPixmapItem* cover : Covers()) {
        if (cover->position == position)
            return cover;
    }
    return nullptr;
}

void CConverFlowScene::SetAngle(CPixmapItem* item, qreal angle) const
{
    if (angle == 0)
        return;
    const qreal h = ItemHeight();
    QTransform rotation;
    rotation.rotate(angle, Qt::YAxis);
    item->setTransform(QTransform::fromTranslate(0, -h / 2) * rotation);
}

void CConverFlowScene::PlaceAtRest(CPixmapItem* item) const
{
    const int p = item->position;
    const qreal h = ItemHeight();
    const qreal w = ItemWidth();
    const QRectF r = sceneRect();
    item->resetTransform();
    item->setGeometry(QRectF(SlotX(p), r.top() + r.height() - h, w, h));
    item->setZValue(qMax(8 - qAbs(p), 0));
    if (p != 0) {
        SetAngle(item, p < 0 ? kLeftAngle : kRightAngle);
        QPointF pos = item->pos();
        if (p > 0)
            pos.rx() += Step();
        pos.ry() += h / 2;   // compensates the transform's lift
        item->setPos(pos);
    }
    const int a = qAbs(p);
    item->setOpacity(a == 0 ? 0.99 : (a < 8 ? 1.0 - p * p / 100.0 : 0.0));
}

void CConverFlowScene::StackAndFade(int d)
{
    for (CPixmapItem* item : Covers()) {
        const int dp = item->position - d;
        item->setZValue(qMax(8 - qAbs(dp), 0));
        item->setOpacity(qAbs(dp) < 8 ? 1.0 - dp * dp / 100.0 : 0.5);
    }
}

void CConverFlowScene::Settle()
{
    if (m_timeLine->state() == QTimeLine::Running)
        m_timeLine->stop();
    m_phase = 0;
    for (CPixmapItem* item : Covers()) {
        if (qAbs(item->position - m_shift) > kSideCovers) {
            removeItem(item);
            delete item;
            continue;
        }
        item->position -= m_shift;
        item->mirrorOffset = 0;
        PlaceAtRest(item);
    }
    m_shift = 0;
    update();
    emit CenterChangeFinished();
}

void CConverFlowScene::StartMove()
{
    if (m_shift == 0)
        return;
    if (qAbs(m_shift) > 1) {
        m_phase = 1;
        m_timeLine->setDuration(200);
        m_timeLine->start();
    } else {
        StartFinalStep();
    }
}

void CConverFlowScene::StartFinalStep()
{
    const int dir = m_shift < 1 ? -1 : 1;
    for (CPixmapItem* item : Covers()) {
        item->position = item->position - m_shift + dir;
        PlaceAtRest(item);
        if (dir == -1)
            item->mirrorOffset = -1;
    }
    m_shift = dir;
    m_phase = 2;
    m_timeLine->stop();
    m_timeLine->setDuration(1000);
    m_timeLine->start();
}

void CConverFlowScene::FastFrame()
{
    const int dir = m_shift < 1 ? -1 : 1;
    const int s = Step();
    const qreal w = ItemWidth();
    const qreal h = ItemHeight();
    const QRectF r = sceneRect();
    const qreal c = SlotX(0);
    for (CPixmapItem* item : Covers()) {
        const int p = item->position;
        const int q = p - m_shift + dir;
        const qreal xp = SlotX(p) + (p > 0 ? s : 0);
        const qreal xq = SlotX(q) + (q > 0 ? s : 0);
        qreal x = xp + (xq - xp) * 0.7;
        qreal y = item->pos().y();
        if (q < 0 && p == 0 && x < c + 20) {
            SetAngle(item, kLeftAngle);
            y = r.top() + r.height() - h + h / 2;
        } else if (q < 0 && p > 0 && x < c + s + 20) {
            x -= s;
            SetAngle(item, kLeftAngle);
        } else if (q == 0 && p > 0 && x < c + w + 20) {
            x -= s;
            item->resetTransform();
            y = r.top() + r.height() - h;
        } else if (q == 0 && p < 0 && x > c - 20) {
            x += w;
            SetAngle(item, -180);
        } else if (q > 0 && p <= 0 && x > (r.width() + w) / 2 + r.left() - 20) {
            x += s;
            SetAngle(item, kRightAngle);
            if (p == 0)
                y = r.top() + r.height() - h + h / 2;
        }
        item->setPos(x, y);
    }
}

void CConverFlowScene::FinalFrame(qreal t)
{
    const int s = Step();
    const qreal w = ItemWidth();
    const qreal h = ItemHeight();
    const QRectF r = sceneRect();
    const qreal restY = r.top() + r.height() - h;
    for (CPixmapItem* item : Covers()) {
        const int p = item->position;
        const int q = p - m_shift;
        const qreal start = SlotX(p) + (p > 0 ? s : 0) + (p == 0 && q > 0 ? w : 0);
        const qreal end = SlotX(q) + (q > 0 ? s : 0) + (q == 0 && p > 0 ? w : 0);
        const qreal x = start + (end - start) * t;
        qreal y = item->pos().y();
        qreal angle = 0;
        if (q > 0 && p == 0) {
            angle = -180 + 60 * t;
            y = restY + h / 2;
        } else if (q > 0 && p > 0) {
            angle = kRightAngle;
        } else if (q < 0 && p == 0) {
            angle = -60 * t;
            y = t > 0 ? restY + h / 2 : restY;
        } else if (q < 0 && p < 0) {
            angle = kLeftAngle;
        } else if (q == 0 && p > 0) {
            angle = -120 - 60 * t;
        } else if (q == 0 && p < 0) {
            angle = -60 * (1 - t);
        }
        item->resetTransform();
        SetAngle(item, angle);
        item->setPos(x, y);
    }
    update();
}

void CConverFlowScene::TimeLineValueChange(qreal value)
{
    if (m_phase == 1)
        FastFrame();
    else if (m_phase == 2)
        FinalFrame(value);
    update();
}

void CConverFlowScene::TimeLineFinish()
{
    if (m_phase == 1)
        StartFinalStep();
    else if (m_phase == 2)
        Settle();
}

void CConverFlowScene::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    const QPointF at = event->scenePos();
    CPixmapItem* hit = nullptr;
    for (QGraphicsItem* item : items(at, Qt::IntersectsItemShape, Qt::DescendingOrder)) {
        if ((hit = dynamic_cast<CPixmapItem*>(item)))
            break;
    }
    if (!hit)
        return;
    CPixmapItem* chosen = hit;
    if (!hit->IsOnCover(hit->mapFromScene(at))) {
        if (m_phase != 0)
            return;
        chosen = nullptr;
        // The empty upper part of a side box: the cover one or two slots
        // further out may lie under the point.
        if (hit->position != 0) {
            const int sign = hit->position > 0 ? 1 : -1;
            for (CPixmapItem* other : Covers()) {
                const int dist = (other->position - hit->position) * sign;
                if ((other->position > 0) == (hit->position > 0) && (dist == 1 || dist == 2)
                    && other->IsOnCover(other->mapFromScene(at)))
                    chosen = other;
            }
        }
    }
    if (!chosen)
        return;
    QPointer<CPixmapItem> keep(chosen);
    Settle();
    if (keep)
        emit CenterIndexChanged(keep->position);
}

void CConverFlowScene::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    for (QGraphicsItem* item : items(event->scenePos(), Qt::IntersectsItemShape, Qt::DescendingOrder)) {
        if (auto* cover = dynamic_cast<CPixmapItem*>(item)) {
            if (cover->position == 0)
                emit DoubleClickCenterItem();
            return;
        }
    }
}

// ---------------------------------------------------------------- CViewHScrol

CViewHScrol::CViewHScrol(QWidget* parent)
    : QScrollBar(Qt::Horizontal, parent)
{
    setPageStep(1);
}

bool CViewHScrol::event(QEvent* e)
{
    if (e->type() == QEvent::Wheel)
        return true;
    if (e->type() == QEvent::MouseButtonPress) {
        const int before = value();
        m_pressed = true;
        const bool handled = QScrollBar::event(e);
        const int after = value();
        setValue(before);
        if (after == 0 && before > 1)
            return handled;   // dropped; stays pressed until the next press
        m_pressed = false;
        setValue(after);
        return handled;
    }
    return QScrollBar::event(e);
}

void CViewHScrol::wheelEvent(QWheelEvent* e)
{
    e->ignore();
}

// ---------------------------------------------------------------- CGraphicsView

CGraphicsView::CGraphicsView(CMusicInfoTreeWidget* trackList, QWidget* parent)
    : QGraphicsView(parent)
    , m_trackList(trackList)
{
    m_scene = new CConverFlowScene(this);
    setScene(m_scene);
    setMinimumHeight(ScaledPixels(225));
    setMaximumHeight(ScaledPixels(250));
    setStyleSheet(QStringLiteral("QGraphicsView{border: 0;background: transparent;} *{color: #FFFFFF;font-size: %1px;}")
                      .arg(ScaledStyleNumber(12)));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_scrollBar = new CViewHScrol(this);
    m_scrollBar->setObjectName(QStringLiteral("ViewHScrol"));
    m_title = new QLabel(this);
    m_artist = new QLabel(this);
    for (QLabel* label : {m_title, m_artist}) {
        label->setAlignment(Qt::AlignCenter);
        label->setMaximumHeight(ScaledPixels(18));
    }
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_title, 0, Qt::AlignHCenter);
    layout->addWidget(m_artist, 0, Qt::AlignHCenter);
    layout->addWidget(m_scrollBar);

    connect(m_trackList->header(), &QHeaderView::sortIndicatorChanged, this, &CGraphicsView::ResetView);
    ResetView();
    connect(m_scene, &CConverFlowScene::DoubleClickCenterItem, this, &CGraphicsView::DoubleClickCenterItem);
}

void CGraphicsView::ConnectSignal()
{
    if (m_connected)
        return;
    m_connected = true;
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &CGraphicsView::ScrollValueChange);
    connect(m_scene, &CConverFlowScene::CenterIndexChanged, this, &CGraphicsView::ItemIndexChange);
    connect(m_trackList, &QTreeWidget::currentItemChanged, this, &CGraphicsView::TreeCurrentChange);
}

void CGraphicsView::DisconnectSignal()
{
    if (!m_connected)
        return;
    m_connected = false;
    disconnect(m_scrollBar, &QScrollBar::valueChanged, this, &CGraphicsView::ScrollValueChange);
    disconnect(m_scene, &CConverFlowScene::CenterIndexChanged, this, &CGraphicsView::ItemIndexChange);
    disconnect(m_trackList, &QTreeWidget::currentItemChanged, this, &CGraphicsView::TreeCurrentChange);
}

void CGraphicsView::AddCover(int row, int position)
{
    CTreeWidgetItem* item = m_trackList->GetVisibleItem(row);
    if (!item || item->GetCoverPath().isEmpty() || m_scene->CoverAt(position))
        return;
    auto* cover = new CPixmapItem(item->GetCoverPath());
    cover->position = position;
    cover->setAcceptedMouseButtons(Qt::LeftButton);
    m_scene->PlaceAtRest(cover);
    m_scene->addItem(cover);
}

void CGraphicsView::ShowAt(int index, bool reset)
{
    const int count = m_trackList->GetVisibleItemCount();
    if (index >= count || index < 0) {
        FlashMusicInfo();
        return;
    }
    m_scene->Settle();
    const int old = m_centre;
    m_target = index;
    const int d = index - old;
    int lo = 1, hi = 0;   // the rows already covered (none for a reset)
    if (!reset) {
        lo = qMax(0, old - kSideCovers);
        hi = qMin(count - 1, old + kSideCovers);
    }
    auto cover = [&](int row) {
        if (row >= 0 && row < count && !(row >= lo && row <= hi))
            AddCover(row, row - old);
    };
    cover(index);
    for (int k = 1; k <= kSideCovers; ++k) {
        cover(index - k);
        cover(index + k);
    }
    m_centre = index;
    m_scene->SetShift(d);
    if (d != 0) {
        m_scene->StackAndFade(d);
        m_scene->StartMove();
    }
    FlashMusicInfo();
}

void CGraphicsView::TreeCurrentChange(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (isHidden() || !current || !previous)
        return;
    const int index = m_trackList->GetVisibleIndex(current);
    if (index > -1 && index != m_target) {
        const bool was = m_connected;
        DisconnectSignal();
        ShowAt(index, false);
        m_scrollBar->setValue(index);
        if (was)
            ConnectSignal();
    }
}

void CGraphicsView::MoveTo(int index)
{
    const bool was = m_connected;
    DisconnectSignal();
    m_trackList->SetCurrentVisibleIndex(index);
    m_scrollBar->setValue(index);
    ShowAt(index, false);
    if (was)
        ConnectSignal();
}

void CGraphicsView::ItemIndexChange(int delta)
{
    if (delta == 0)
        return;
    const int index = m_trackList->GetVisibleIndex(m_trackList->GetCurrentVisibleItem()) + delta;
    MoveTo(index);
}

void CGraphicsView::ScrollValueChange(int value)
{
    if (value < 0 || value == m_target || m_scrollBar->IsPressed())
        return;
    const bool was = m_connected;
    DisconnectSignal();
    m_trackList->SetCurrentVisibleIndex(value);
    ShowAt(value, false);
    if (was)
        ConnectSignal();
}

void CGraphicsView::FlashMusicInfo()
{
    QString title, artist;
    if (CTreeWidgetItem* row = m_trackList->GetVisibleItem(m_centre)) {
        std::unique_ptr<MusicInfoRow> record(row->GetMusicInfo());
        if (record) {
            title = RecordFieldText(record->Info.MusicName);
            artist = RecordFieldText(record->Info.Artist);
        }
        if (title.isEmpty())
            title = TitleFromFileName(row->GetMusicPath());
        if (artist.isEmpty())
            artist = tr("Unkown Artist");
    }
    m_title->setText(title);
    m_artist->setText(artist);
    m_title->setFixedWidth(m_title->fontMetrics().horizontalAdvance(title));
    m_artist->setFixedWidth(m_artist->fontMetrics().horizontalAdvance(artist));
}

void CGraphicsView::DoubleClickCenterItem()
{
    emit DoubleClickItem(m_centre);
}

void CGraphicsView::ResetView()
{
    DisconnectSignal();
    const int count = m_trackList->GetVisibleItemCount();
    m_scrollBar->setRange(0, qMax(0, count - 1));
    int centre = m_centre;
    CTreeWidgetItem* current = m_trackList->GetCurrentVisibleItem();
    if (m_trackList->GetSelectedItems().isEmpty()) {
        const int playing = m_trackList->GetVisibleIndex(GetPlayingItem());
        if (playing > 0) {
            centre = playing;
        } else if (!current) {
            centre = count / 2;
            if (count >= 1)
                m_trackList->SetCurrentVisibleIndex(centre);
        } else {
            centre = m_trackList->GetVisibleIndex(current);
        }
    } else if (current) {
        centre = m_trackList->GetVisibleIndex(current);
    }
    m_scene->Settle();
    for (CPixmapItem* item : m_scene->Covers()) {
        m_scene->removeItem(item);
        delete item;
    }
    m_centre = centre;
    m_scrollBar->setValue(centre);
    ShowAt(centre, true);
    ConnectSignal();
}

void CGraphicsView::keyPressEvent(QKeyEvent* event)
{
    const int count = m_trackList->GetVisibleItemCount();
    if (event->key() == Qt::Key_Left && m_centre >= 1)
        MoveTo(m_centre - 1);
    else if (event->key() == Qt::Key_Right && m_centre < count - 1)
        MoveTo(m_centre + 1);
}

void CGraphicsView::wheelEvent(QWheelEvent* event)
{
    const int count = m_trackList->GetVisibleItemCount();
    const int delta = event->angleDelta().y();
    if (delta > 0) {
        if (m_scrollBar->value() < count - 1)
            m_scrollBar->setValue(m_scrollBar->value() + 1);
    } else if (delta < 1) {
        if (m_scrollBar->value() >= 1)
            m_scrollBar->setValue(m_scrollBar->value() - 1);
    }
    event->ignore();
}

void CGraphicsView::resizeEvent(QResizeEvent* event)
{
    m_scene->setSceneRect(0, 0, event->size().width(), event->size().height());
    m_scene->Settle();
    QGraphicsView::resizeEvent(event);
}
