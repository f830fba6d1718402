#include "CPopupPlayList.h"

#include "CMiniListItem.h"
#include "IPlayQueueTrack.h"
#include "InterfaceScale.h"
#include "PlayQueue.h"

#include <QApplication>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QTimeLine>
#include <QWheelEvent>

CPopupPlayList::CPopupPlayList(QWidget* owner)
    : CTransPopupWidget(owner),
      m_owner(owner)
{
    m_direction = 0;
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("PopupPlayList"));
    m_frame->setFixedSize(ScaledPixels(240), ScaledPixels(328));

    PlayQueue& queue = PlayQueue::Instance();
    const int n = queue.Count();
    if (n == 0) {
        m_current = -1;
    } else {
        queue.currentIndex = qBound(0, queue.currentIndex, n - 1);
        m_current = queue.currentIndex;
        const int first = n <= kVisibleRows ? 0 : qMin(m_current, n - kVisibleRows);
        for (int j = 0; j < kVisibleRows && first + j < n; ++j) {
            auto* item = new CMiniListItem(m_frame);
            qDebug() << "-----------CMiniListItem* item = new CMiniListItem(frame);";
            connect(item, &CMiniListItem::itemClicked, this,
                    static_cast<void (CPopupPlayList::*)(CMiniListItem*)>(&CPopupPlayList::itemClicked));
            connect(item, &CMiniListItem::itemDoubleClicked, this,
                    static_cast<void (CPopupPlayList::*)(CMiniListItem*)>(&CPopupPlayList::itemDoubleClicked));
            m_rows.append(item);
            if (j < kVisibleRows - 1) {
                auto* separator = new QLabel(m_frame);
                QPixmap pix(QStringLiteral(":/prefix/res/mini/minilist/spliter.png"));
                if (!pix.isNull())
                    pix = pix.scaled(ScaledPixels(250), ScaledPixels(2));
                separator->setPixmap(pix);
                separator->setFixedSize(ScaledPixels(234), ScaledPixels(2));
                separator->move(ScaledPixels(3), ScaledPixels(76 + 62 * j));
            }
        }
        m_maxFirstRow = n > kVisibleRows ? n - kVisibleRows : 0;
        FillRows(first);
        if (m_maxFirstRow > 0) {
            m_scrollBar = new QScrollBar(Qt::Vertical, m_frame);
            m_scrollBar->setObjectName(QStringLiteral("popVScrBar"));
            m_scrollBar->setGeometry(ScaledPixels(227), ScaledPixels(16), ScaledPixels(10), ScaledPixels(308));
            m_scrollBar->setRange(0, m_maxFirstRow);
            m_scrollBar->setValue(first);
            connect(m_scrollBar, &QScrollBar::valueChanged, this, &CPopupPlayList::scrollBarValueChange);
        }
    }

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_frame);

    m_timeLine = new QTimeLine(kAnimationMs, this);
    connect(m_timeLine, &QTimeLine::valueChanged, this, &CPopupPlayList::timeLineValueChange);
    connect(m_timeLine, &QTimeLine::finished, this, &CPopupPlayList::timeLinefinish);
    connect(this, &CTransPopupWidget::aboutToHide, this, &CPopupPlayList::HidePopPlayList);
}

CPopupPlayList::~CPopupPlayList()
{
    m_rows.clear();
}

int CPopupPlayList::FirstRow() const
{
    return m_scrollBar ? m_scrollBar->value() : 0;
}

void CPopupPlayList::FillRows(int first)
{
    const PlayQueue& queue = PlayQueue::Instance();
    for (int j = 0; j < m_rows.size() && first + j < queue.Count(); ++j) {
        IPlayQueueTrack* entry = queue.items.at(first + j);
        CMiniListItem* row = m_rows.at(j);
        if (!entry || !row)
            continue;
        row->SetMusicId(entry->GetMusicId());
        row->setGeometry(ScaledPixels(3), static_cast<int>((16 + 62 * j) * GetInterfaceScale()),
                         ScaledPixels(234), ScaledPixels(60));
        row->SetSelected(first + j == m_current);
    }
}

void CPopupPlayList::ShowPopPlayList()
{
    if (m_timeLine->state() == QTimeLine::Running)
        m_timeLine->stop();
    m_timeLine->start();
    m_direction = 1;
}

void CPopupPlayList::HidePopPlayList()
{
    if (m_timeLine->state() == QTimeLine::Running)
        m_timeLine->stop();
    m_timeLine->start();
    m_direction = 2;
}

void CPopupPlayList::timeLinefinish()
{
    if (m_direction == 2) {
        hide();
        emit aboutHide();
    }
    m_direction = 0;
}

void CPopupPlayList::scrollBarValueChange(int value)
{
    FillRows(value);
}

void CPopupPlayList::wheelEvent(QWheelEvent* event)
{
    if (m_scrollBar) {
        const int step = event->angleDelta().y() > 0 ? -1 : 1;
        m_scrollBar->setValue(qBound(0, m_scrollBar->value() + step, m_maxFirstRow));
    }
    QWidget::wheelEvent(event);
}

void CPopupPlayList::itemClicked(CMiniListItem* item)
{
    if (m_direction != 0)
        return;
    const int first = FirstRow();
    for (int j = 0; j < m_rows.size(); ++j) {
        if (m_rows.at(j) == item) {
            item->SetSelected(true);
            m_current = first + j;
        } else {
            m_rows.at(j)->SetSelected(false);
        }
    }
}

void CPopupPlayList::itemDoubleClicked(CMiniListItem* item)
{
    if (m_direction != 0)
        return;
    const int first = FirstRow();
    const PlayQueue& queue = PlayQueue::Instance();
    for (int j = 0; j < m_rows.size(); ++j) {
        if (m_rows.at(j) == item && first + j < queue.Count()) {
            emit itemDoubleClicked(queue.items.at(first + j));
            return;
        }
    }
}

void CPopupPlayList::timeLineValueChange(qreal value)
{
    if (!m_owner)
        return;
    const double scale = GetInterfaceScale();
    const QPoint anchor = m_owner->mapToGlobal(QPoint(m_owner->width(), m_owner->height()));
    const int width = static_cast<int>(240 * scale);
    const int x = anchor.x() - width;
    if (m_direction == 1) {
        const int h = static_cast<int>(value * 308 * scale + 20 * scale);
        setFixedSize(width, h);
        QScreen* screen = QGuiApplication::primaryScreen();
        const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
        const int availableHeight = avail.bottom() - avail.top() + 1;
        if (anchor.y() + h > availableHeight) {
            move(x, availableHeight - h);
            m_owner->move(static_cast<int>(240 * scale + x - m_owner->width()),
                          availableHeight - h - m_owner->height());
            return;
        }
        move(x, anchor.y());
    } else if (m_direction == 2) {
        const int h = static_cast<int>(static_cast<int>(324 - value * 300) * scale);
        setFixedSize(width, h);
        move(x, anchor.y());
    }
}

void CPopupPlayList::mouseReleaseEvent(QMouseEvent* event)
{
    CTransPopupWidget::mouseReleaseEvent(event);
}

void CPopupPlayList::paintEvent(QPaintEvent* event)
{
    CTransPopupWidget::paintEvent(event);
}
