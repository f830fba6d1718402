#include "CRecordingWidget.h"

#include "CAppSettings.h"
#include "CCoverWidget.h"
#include "CSelecetCoverWidget.h"
#include "CShowCoverWidget.h"
#include "CShowDownloadingView.h"
#include "CShowListWidget.h"
#include "CTagWriter.h"
#include "CTreeWidgetItem.h"
#include "InterfaceScale.h"
#include "LibraryServices.h"
#include "LibrarySeams.h"
#include "MusicDatabase.h"
#include "SongRecordFields.h"

#include <QDebug>
#include <QKeyEvent>
#include <QHideEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <QWheelEvent>

#include <cstring>
#include <memory>

namespace {
constexpr int kFrameCount = 28;
constexpr int kAddMs = 500;
constexpr int kDragThreshold = 5;
constexpr int kMaxDragStep = 31;
constexpr int kMinRubberGap = 10;
constexpr int kWheelStep = 20;

QPropertyAnimation* GeometryAnimation(QWidget* w, const QRect& to, int durationMs = -1)
{
    auto* anim = new QPropertyAnimation(w, "geometry");
    anim->setStartValue(w->geometry());
    anim->setEndValue(to);
    if (durationMs >= 0)
        anim->setDuration(durationMs);
    return anim;
}
} // namespace

// The area of the "recording" loop. It paints the page's background beneath
// itself and then the frame, so it is opaque: a new frame every 100 ms
// repaints this area (and the artwork view inside it), never the page around.
class CRecordingWidget::PulseArea : public QWidget
{
public:
    explicit PulseArea(CRecordingWidget* page) : QWidget(page), m_page(page)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        QPainter painter(this);
        m_page->PaintArea(painter, e->rect());
    }

private:
    CRecordingWidget* m_page;
};

CRecordingWidget::CRecordingWidget(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    setMinimumWidth(ScaledPixels(600));
    m_recordLabel = new PulseArea(this);
    m_recordLabel->setGeometry(0, 0, ScaledPixels(720), ScaledPixels(290));
    m_recordLabel->setFixedSize(ScaledPixels(720), ScaledPixels(290));
    m_recordTimer = new QTimer(this);
    m_recordTimer->setInterval(100);
    connect(m_recordTimer, &QTimer::timeout, this, &CRecordingWidget::RecordingAnimation);
    m_downloadingView = new CShowDownloadingView(false, m_recordLabel);
    m_downloadingView->setGeometry(ScaledPixels(296), ScaledPixels(73), ScaledPixels(128), ScaledPixels(182));
    m_scrollBar = new QScrollBar(Qt::Horizontal, this);
    m_scrollBar->setObjectName(QStringLiteral("treeHScrBar"));
    m_scrollBar->setFixedHeight(ScaledPixels(10));
    m_scrollBar->setRange(0, 0);
    m_scrollBar->hide();
}

CRecordingWidget::~CRecordingWidget()
{
    if (m_animGroup) {
        m_animGroup->stop();
        delete m_animGroup;
        m_animGroup = nullptr;
    }
    qDeleteAll(m_cards);
    m_cards.clear();
}

// ---- mapping -------------------------------------------------------------

int CRecordingWidget::FirstShownCard() const
{
    return qMax(0, m_curIndex - m_maxCoverNum + 1);
}

int CRecordingWidget::CardIndexOfSlot(int slot) const
{
    if (slot < 0 || slot >= m_maxCoverNum)
        return -1;
    const int index = FirstShownCard() + slot;
    return (index >= 0 && index < m_cards.size() && index <= m_curIndex) ? index : -1;
}

const AnimItem* CRecordingWidget::CardOfSlot(int slot) const
{
    const int index = CardIndexOfSlot(slot);
    return index < 0 ? nullptr : m_cards.at(index);
}

CTreeWidgetItem* CRecordingWidget::ItemOfSlot(int slot) const
{
    const AnimItem* card = CardOfSlot(slot);
    return card ? card->item : nullptr;
}

int CRecordingWidget::SlotOfWidget(const CShowCoverWidget* card) const
{
    const int k = m_pCoverList.indexOf(const_cast<CShowCoverWidget*>(card));
    return k < m_maxCoverNum ? k : -1;
}

QList<CTreeWidgetItem*> CRecordingWidget::GetAllItems() const
{
    QList<CTreeWidgetItem*> out;
    for (const AnimItem* a : m_cards)
        out.append(a->item);
    return out;
}

QString CRecordingWidget::CheckInvariant() const
{
    const int cards = m_cards.size();
    if (m_curIndex < -1 || m_curIndex > cards - 1)
        return QStringLiteral("current index %1 outside %2 cards").arg(m_curIndex).arg(cards);
    if (m_animGroup || m_pressedCard)
        return QString();   // mid-change: checked once it settles
    if (m_maxCoverNum <= 0)
        return m_pCoverList.isEmpty() ? QString() : QStringLiteral("card widgets without slots");
    if (m_pCoverList.size() != m_maxCoverNum)
        return QStringLiteral("%1 widgets for %2 slots").arg(m_pCoverList.size()).arg(m_maxCoverNum);
    // No placeholder while a card could fill the slot.
    const int expectedShown = qMin(cards, m_maxCoverNum);
    if (m_curIndex < expectedShown - 1)
        return QStringLiteral("current index %1 leaves slots empty (%2 cards, %3 slots)")
            .arg(m_curIndex).arg(cards).arg(m_maxCoverNum);
    if (m_scrollBar->value() != FirstShownCard() && cards > m_maxCoverNum)
        return QStringLiteral("scroll value %1, first shown card %2").arg(m_scrollBar->value()).arg(FirstShownCard());
    if (m_scrollBar->maximum() != qMax(0, cards - m_maxCoverNum))
        return QStringLiteral("scroll range %1").arg(m_scrollBar->maximum());
    for (int k = 0; k < m_maxCoverNum; ++k) {
        const CShowCoverWidget* w = m_pCoverList.at(k);
        const AnimItem* card = CardOfSlot(k);
        if (!card) {
            if (w->HasData() || w->Item())
                return QStringLiteral("slot %1 shows a song but maps to no card").arg(k);
            continue;
        }
        if (w->Item() != card->item)
            return QStringLiteral("slot %1 shows another song than card %2").arg(k).arg(CardIndexOfSlot(k));
        if (card->item && w->HasData() && w->MusicPath() != card->item->GetMusicPath())
            return QStringLiteral("slot %1 shows file %2, its card %3").arg(k).arg(w->MusicPath(),
                                                                              card->item->GetMusicPath());
        if (w->geometry() != SlotRect(k))
            return QStringLiteral("slot %1 widget misplaced").arg(k);
    }
    return QString();
}

// ---- card widgets --------------------------------------------------------

void CRecordingWidget::MakePlaceholder(CShowCoverWidget* card)
{
    RecordMusicInfo empty;
    std::memset(&empty, 0, sizeof empty);
    card->SetHasData(false);
    card->SetSelected(false);
    card->SetItem(nullptr);
    card->SetMusicPath(QString());
    card->SetMusicInfo(empty, -1, QString());
}

void CRecordingWidget::FillCard(CShowCoverWidget* card, const AnimItem* anim)
{
    if (!anim || !anim->item) {
        MakePlaceholder(card);
        return;
    }
    CTreeWidgetItem* item = anim->item;
    card->SetItem(item);
    card->SetMusicPath(item->GetMusicPath());
    const int state = item->GetDownloadStatus();
    std::unique_ptr<MusicInfoRow> row(item->GetMusicInfo());
    if (anim->kind == 1 && (state == TWM_DOWNLOAD_WAITING || state == TWM_DOWNLOAD_DOWNLOADING)) {
        // Song data still on its way: the downloading picture, not selectable.
        RecordMusicInfo empty;
        std::memset(&empty, 0, sizeof empty);
        card->SetHasData(false);
        card->SetMusicInfo(row ? row->Info : empty, -1, item->GetMusicPath());
        return;
    }
    card->SetHasData(true);
    card->SetSelected(false);
    if (row)
        card->SetMusicInfo(row->Info, row->ImageId, row->MusicPath);
}

CShowCoverWidget* CRecordingWidget::MakeCard(int cardIndex, int cornerOverlay)
{
    auto* card = new CShowCoverWidget(this, cornerOverlay);
    if (cardIndex >= 0 && cardIndex < m_cards.size())
        FillCard(card, m_cards.at(cardIndex));
    connect(card, &CShowCoverWidget::CoverPressed, this, &CRecordingWidget::CoverListPressed);
    connect(card, &CShowCoverWidget::ButCliked, this, &CRecordingWidget::ShowSelecetWidget);
    connect(card, &CShowCoverWidget::Selected, this, &CRecordingWidget::ChangeSelected);
    connect(card, &CShowCoverWidget::PlayActionTriggered, this, &CRecordingWidget::DoubleClickPlay);
    connect(card, &CShowCoverWidget::DeleteActionTriggered, this, &CRecordingWidget::DeleteCoverWidget);
    connect(card, &CShowCoverWidget::EditActionTriggered, this, &CRecordingWidget::EditCoverWidget);
    connect(card, &CShowCoverWidget::FinderActionTriggered, this, &CRecordingWidget::ShowMusicFileInFinder);
    connect(card, &CShowCoverWidget::ContextMenuRequested, this, &CRecordingWidget::MouseRelease);
    card->show();
    return card;
}

void CRecordingWidget::RefillSlots()
{
    for (int k = 0; k < m_pCoverList.size() && k < m_maxCoverNum; ++k)
        FillCard(m_pCoverList.at(k), CardOfSlot(k));
}

void CRecordingWidget::Discard(CShowCoverWidget* card)
{
    if (!card)
        return;
    // Deferred: the card may be the sender of the signal that led here
    // (its menu's Delete), which is still on the stack.
    card->hide();
    card->deleteLater();
}

// ---- placement -----------------------------------------------------------

int CRecordingWidget::CardHeight() const
{
    return m_pCoverList.isEmpty() ? ScaledPixels(168) : m_pCoverList.first()->height();
}

QRect CRecordingWidget::SlotRect(int slot) const
{
    const int x = (m_slotMargin + m_cardWidth) * slot + m_slotMargin;
    const int h = CardHeight();
    const int y = static_cast<int>(height() - (h / 2.0 + 100 * GetInterfaceScale()));
    return QRect(x, y, m_cardWidth, h);
}

void CRecordingWidget::PlaceSlots()
{
    if (m_maxCoverNum <= 0)
        return;
    for (int k = 0; k < m_pCoverList.size(); ++k) {
        CShowCoverWidget* card = m_pCoverList.at(k);
        card->setGeometry(SlotRect(k));
        card->Tile()->SetCornerOverlay(true);
    }
}

void CRecordingWidget::UpdateScrollRange()
{
    m_scrollBar->setRange(0, qMax(0, m_cards.size() - m_maxCoverNum));
}

void CRecordingWidget::SyncScrollBar()
{
    disconnect(m_scrollBar, &QScrollBar::valueChanged, this, &CRecordingWidget::ScrollValueChange);
    m_scrollBar->setValue(FirstShownCard());
    if (underMouse() && m_cards.size() > m_maxCoverNum)
        connect(m_scrollBar, &QScrollBar::valueChanged, this, &CRecordingWidget::ScrollValueChange,
                Qt::UniqueConnection);
}

void CRecordingWidget::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    EndDrag();
    HideChooser();
    const int W = width();
    const int H = height();
    m_recordLabel->move((W - m_recordLabel->width()) / 2,
                        (H - ScaledPixels(200) - m_recordLabel->height()) / 2);
    m_scrollBar->setGeometry(0, H - ScaledPixels(10), W, ScaledPixels(10));
    m_maxCoverNum = static_cast<int>(W / (160 * GetInterfaceScale()));

    while (m_pCoverList.size() < m_maxCoverNum) {
        if (m_curIndex + 1 < m_cards.size()) {
            ++m_curIndex;
            m_pCoverList.append(MakeCard(m_curIndex, 1));
        } else if (m_curIndex - m_pCoverList.size() >= 0) {
            // The card just left of the shown range: with each widget added
            // the range reaches one further left.
            m_pCoverList.prepend(MakeCard(m_curIndex - m_pCoverList.size(), 1));
        } else {
            m_pCoverList.append(MakeCard(-1, 1));
        }
    }
    while (m_pCoverList.size() > m_maxCoverNum) {
        CShowCoverWidget* last = m_pCoverList.takeLast();
        Discard(last);
        if (m_curIndex >= m_pCoverList.size())
            --m_curIndex;
    }
    UpdateScrollRange();
    SyncScrollBar();
    if (m_maxCoverNum > 0) {
        m_cardWidth = ScaledPixels(128);
        m_slotMargin = (W - m_cardWidth * m_maxCoverNum) / (m_maxCoverNum + 1);
        PlaceSlots();
    }
}

bool CRecordingWidget::event(QEvent* e)
{
    const bool handled = QWidget::event(e);
    if (e->type() == QEvent::Show && !m_pCoverList.isEmpty() && !m_animGroup && !m_pressedCard)
        PlaceSlots();
    return handled;
}

// ---- animations ----------------------------------------------------------

QParallelAnimationGroup* CRecordingWidget::NewGroup()
{
    m_animGroup = new QParallelAnimationGroup(this);
    connect(m_animGroup, &QParallelAnimationGroup::finished, this, &CRecordingWidget::AnimFinshed);
    return m_animGroup;
}

void CRecordingWidget::AnimFinshed()
{
    m_targetSlot = -1;
    if (m_discarded) {
        Discard(m_discarded);
        m_discarded = nullptr;
    }
    if (m_animGroup) {
        m_animGroup->deleteLater();
        m_animGroup = nullptr;
    }
    PlaceSlots();
}

void CRecordingWidget::StopCardAnimation()
{
    if (!m_animGroup)
        return;
    QParallelAnimationGroup* group = m_animGroup;
    disconnect(group, nullptr, this, nullptr);
    group->stop();
    group->clear();
    m_animGroup = nullptr;
    group->deleteLater();
    m_targetSlot = -1;
    if (m_discarded) {
        Discard(m_discarded);
        m_discarded = nullptr;
    }
    PlaceSlots();
}

void CRecordingWidget::FinishAnimation()
{
    StopCardAnimation();
}

void CRecordingWidget::EndDrag()
{
    if (m_pressedCard)
        MouseRelease();
    StopCardAnimation();
    m_pressPoint = QPoint();
    m_dragPoint = QPoint();
    m_pressedCard = 0;
    m_dragAccepted = false;
}

void CRecordingWidget::HideChooser()
{
    // The chooser names its card by slot: once the strip moves, that slot
    // shows another song.
    if (m_chooser)
        m_chooser->hide();
}

void CRecordingWidget::AddAnimItem(int kind, CTreeWidgetItem* item)
{
    EndDrag();
    HideChooser();
    // Recording order: a new card always goes to the end of the list.
    const bool newestShown = m_curIndex == m_cards.size() - 1;
    m_cards.append(new AnimItem{kind, item});
    UpdateScrollRange();
    if (m_maxCoverNum <= 0) {
        // No slots yet: the first resize shows it.
        qDebug() << "CRecordingWidget::AddAnimItem m_curIndex: " << m_curIndex;
        return;
    }
    if (!isVisible()) {
        if (newestShown && m_curIndex + 1 < m_maxCoverNum) {
            ++m_curIndex;
            qDebug() << "CRecordingWidget::AddAnimItem m_curIndex: " << m_curIndex;
            CShowCoverWidget* old = m_pCoverList.at(m_curIndex);
            m_pCoverList[m_curIndex] = MakeCard(m_curIndex, 1);
            Discard(old);
            PlaceSlots();
        }
        // Otherwise the card waits unseen to the right of the shown ones.
        SyncScrollBar();
        return;
    }
    if (!newestShown) {
        // Scrolled back: bring the newest cards into view before this one
        // flies in next to them.
        m_curIndex = m_cards.size() - 2;
        RefillSlots();
    }
    ++m_curIndex;
    qDebug() << "CRecordingWidget::AddAnimItem m_curIndex: " << m_curIndex;
    m_targetSlot = qMin(m_curIndex, m_maxCoverNum);
    AnimateNewCard(m_targetSlot);
    SyncScrollBar();
}

void CRecordingWidget::AnimateNewCard(int targetSlot)
{
    const int t = qMin(targetSlot, m_maxCoverNum - 1);
    CShowCoverWidget* fresh = MakeCard(m_curIndex, 0);
    QParallelAnimationGroup* group = NewGroup();
    const QRect from(m_downloadingView->mapTo(this, QPoint(0, 0)), m_downloadingView->size());
    fresh->setGeometry(QRect(from.topLeft(), fresh->size()));
    group->addAnimation(GeometryAnimation(fresh, SlotRect(t), kAddMs));
    if (targetSlot == m_maxCoverNum) {
        for (int k = 0; k < m_pCoverList.size(); ++k)
            group->addAnimation(GeometryAnimation(m_pCoverList.at(k), SlotRect(k - 1), kAddMs));
        m_discarded = m_pCoverList.takeFirst();
        m_pCoverList.append(fresh);
    } else {
        CShowCoverWidget* placeholder = m_pCoverList.at(t);
        QRect down = placeholder->geometry();
        down.moveTop(height() + 5);
        group->addAnimation(GeometryAnimation(placeholder, down, kAddMs));
        m_discarded = placeholder;
        m_pCoverList[t] = fresh;
    }
    group->start();
    m_downloadingView->StopAnimation();
}

void CRecordingWidget::RemoveItem(CTreeWidgetItem* pItem)
{
    int i = -1;
    for (int n = 0; n < m_cards.size(); ++n) {
        if (m_cards.at(n)->item == pItem) {
            i = n;
            break;
        }
    }
    if (i < 0)
        return;
    EndDrag();
    HideChooser();
    if (i > m_curIndex) {
        // Right of the shown range (or no slots yet): only the list shrinks.
        delete m_cards.takeAt(i);
        UpdateScrollRange();
        SyncScrollBar();
        return;
    }
    if (i < FirstShownCard()) {
        // Left of the shown range: the shown cards keep their songs, so the
        // index of the rightmost one moves down with them.
        delete m_cards.takeAt(i);
        --m_curIndex;
        UpdateScrollRange();
        SyncScrollBar();
        return;
    }
    AnimateRemoval(i);
    delete m_cards.takeAt(i);
    if (m_maxCoverNum > 0 && m_curIndex >= m_cards.size())
        m_curIndex = m_cards.size() - 1;
    UpdateScrollRange();
    SyncScrollBar();
}

void CRecordingWidget::AnimateRemoval(int cardIndex)
{
    int s = cardIndex - FirstShownCard();
    if (s < 0 || s >= m_pCoverList.size())
        return;
    StopCardAnimation();
    CShowCoverWidget* fresh = nullptr;
    int direction = 1;
    if (m_curIndex + 1 < m_cards.size()) {
        // The card right of the range moves in; after the removal it takes
        // the removed card's index, so m_curIndex stays.
        fresh = MakeCard(m_curIndex + 1, 1);
        m_pCoverList.append(fresh);
        direction = 1;
    } else {
        const int before = m_curIndex;
        --m_curIndex;
        if (before + 1 > m_maxCoverNum) {
            fresh = MakeCard(before - m_maxCoverNum, 1);
            m_pCoverList.prepend(fresh);
            direction = -1;
            ++s;
        } else {
            fresh = MakeCard(-1, 1);
            m_pCoverList.append(fresh);
            direction = 1;
        }
    }
    CShowCoverWidget* removed = m_pCoverList.takeAt(s);
    if (isVisible()) {
        QParallelAnimationGroup* group = NewGroup();
        // The newcomer starts one pitch beyond the outermost widget on its side.
        const int pitch = m_cardWidth + m_slotMargin;
        const QRect base = direction > 0 ? SlotRect(m_pCoverList.size() - 1) : SlotRect(0);
        fresh->setGeometry(base.translated(direction * pitch, 0));
        QRect down = removed->geometry();
        down.moveTop(height() + 5);
        group->addAnimation(GeometryAnimation(removed, down));
        // Everything from the gap to the newcomer closes up one slot.
        for (int k = 0; k < m_pCoverList.size(); ++k) {
            CShowCoverWidget* w = m_pCoverList.at(k);
            if (w->geometry() != SlotRect(k))
                group->addAnimation(GeometryAnimation(w, SlotRect(k)));
        }
        m_discarded = removed;
        group->start();
    } else {
        Discard(removed);
        PlaceSlots();
    }
}

// ---- scrolling, dragging, wheel --------------------------------------------

void CRecordingWidget::enterEvent(QEvent* e)
{
    QWidget::enterEvent(e);
    if (m_cards.size() > m_maxCoverNum) {
        m_scrollBar->show();
        m_scrollBar->raise();
        connect(m_scrollBar, &QScrollBar::valueChanged, this, &CRecordingWidget::ScrollValueChange,
                Qt::UniqueConnection);
    }
}

void CRecordingWidget::leaveEvent(QEvent* e)
{
    QWidget::leaveEvent(e);
    m_scrollBar->hide();
}

void CRecordingWidget::ScrollValueChange(int value)
{
    if (m_maxCoverNum <= 0)
        return;
    EndDrag();
    HideChooser();
    m_curIndex = qBound(-1, value - 1 + m_maxCoverNum, m_cards.size() - 1);
    RefillSlots();
    SyncScrollBar();
}

void CRecordingWidget::CoverListPressed(CShowCoverWidget* pressedWidget)
{
    const int k = m_pCoverList.indexOf(pressedWidget);
    m_pressedCard = k >= 0 ? k + 1 : 0;
}

void CRecordingWidget::mousePressEvent(QMouseEvent* e)
{
    QWidget::mousePressEvent(e);
    if (e->button() == Qt::LeftButton) {
        m_pressPoint = e->pos();
        m_dragPoint = QPoint();
        m_dragAccepted = false;
        e->accept();
    }
}

void CRecordingWidget::mouseMoveEvent(QMouseEvent* e)
{
    QWidget::mouseMoveEvent(e);
    if (!m_pressedCard || !(e->buttons() & Qt::LeftButton))
        return;
    int step;
    if (!m_dragAccepted) {
        if (qAbs(e->pos().x() - m_pressPoint.x()) < kDragThreshold)
            return;
        step = e->pos().x() - m_pressPoint.x();
        m_dragAccepted = true;
    } else {
        step = e->pos().x() - m_dragPoint.x();
    }
    m_dragPoint = e->pos();
    if (step != 0 && qAbs(step) < kMaxDragStep)
        DragCards(step);
}

void CRecordingWidget::mouseReleaseEvent(QMouseEvent* e)
{
    QWidget::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton)
        MouseRelease();
}

void CRecordingWidget::MouseRelease()
{
    if (m_pressedCard && m_dragAccepted) {
        int distance = m_dragPoint.x() - m_pressPoint.x();
        // Back where it started but possibly holding a widget beyond the
        // slots: the last step says which side that widget is on.
        if (distance == 0 && m_pCoverList.size() > m_maxCoverNum)
            distance = m_lastStep;
        if (distance != 0 || m_pCoverList.size() > m_maxCoverNum)
            SnapCards(distance != 0 ? distance : -1);
    }
    m_pressPoint = QPoint();
    m_dragPoint = QPoint();
    m_pressedCard = 0;
    m_dragAccepted = false;
}

void CRecordingWidget::LayoutFrom(int anchor, int anchorX, int direction, int spacing)
{
    const int pitch = m_cardWidth + spacing;
    for (int k = 0;; ++k) {
        const int index = anchor + direction * k;
        if (index < 0 || index >= m_pCoverList.size())
            break;
        CShowCoverWidget* w = m_pCoverList.at(index);
        w->move(anchorX + direction * k * pitch, w->y());
    }
}

void CRecordingWidget::DragCards(int step)
{
    if (step == 0 || m_pCoverList.isEmpty() || m_maxCoverNum <= 0)
        return;
    StopCardAnimation();
    HideChooser();
    m_lastStep = step;
    const bool left = step < 0;
    const int margin = m_slotMargin;
    const int cw = m_cardWidth;
    const int right = rect().right();

    int anchor = left ? 0 : m_pCoverList.size() - 1;
    auto gapOf = [&](int a) {
        const QRect moved = m_pCoverList.at(a)->geometry().translated(step, 0);
        return left ? moved.left() : right - moved.right();
    };
    int g = gapOf(anchor);

    if (g >= margin) {
        const bool apart = m_pCoverList.size() < 2
            || m_pCoverList.at(1)->x() - (m_pCoverList.at(0)->x() + cw) > margin;
        if (apart) {
            LayoutFrom(anchor, m_pCoverList.at(anchor)->x() + step, left ? 1 : -1, margin);
        } else {
            // A stretched strip relaxes from its other end.
            const int other = left ? m_pCoverList.size() - 1 : 0;
            const QRect moved = m_pCoverList.at(other)->geometry().translated(step, 0);
            const int gap = left ? right - moved.right() : moved.left();
            LayoutFrom(other, moved.x(), left ? -1 : 1, gap);
        }
        return;
    }
    if (g < -cw) {
        // The anchor has left the page completely.
        CShowCoverWidget* gone = m_pCoverList.takeAt(anchor);
        Discard(gone);
        if (!left) {
            --m_curIndex;
            SyncScrollBar();
        }
        if (m_pCoverList.isEmpty())
            return;
        anchor = left ? 0 : m_pCoverList.size() - 1;
        g = gapOf(anchor);
    }
    const int anchorX = m_pCoverList.at(anchor)->x() + step;
    if (m_pCoverList.size() > m_maxCoverNum) {
        LayoutFrom(anchor, anchorX, left ? 1 : -1, margin);
        return;
    }
    const bool more = left ? m_curIndex + 1 < m_cards.size() : m_curIndex - m_pCoverList.size() >= 0;
    if (!more) {
        if (g < kMinRubberGap)
            return;
        // Nothing further that way: the strip's end stretches like a rubber band.
        LayoutFrom(anchor, anchorX, left ? 1 : -1, g);
        return;
    }
    if (left) {
        ++m_curIndex;
        SyncScrollBar();
        CShowCoverWidget* w = MakeCard(m_curIndex, 1);
        w->setGeometry(SlotRect(0));
        m_pCoverList.append(w);
    } else {
        CShowCoverWidget* w = MakeCard(m_curIndex - m_pCoverList.size(), 1);
        w->setGeometry(SlotRect(0));
        m_pCoverList.prepend(w);
        ++anchor;
    }
    LayoutFrom(anchor, anchorX, left ? 1 : -1, margin);
}

void CRecordingWidget::SnapCards(int distance)
{
    if (distance == 0 || m_pCoverList.isEmpty())
        return;
    StopCardAnimation();
    QParallelAnimationGroup* group = NewGroup();
    const int pitch = m_cardWidth + m_slotMargin;
    const bool extra = m_pCoverList.size() > m_maxCoverNum;
    if (distance > 0) {
        int x = extra ? width() : rect().right() - m_slotMargin - m_cardWidth;
        for (int k = m_pCoverList.size() - 1; k >= 0; --k, x -= pitch) {
            CShowCoverWidget* w = m_pCoverList.at(k);
            group->addAnimation(GeometryAnimation(w, QRect(x, w->y(), w->width(), w->height())));
        }
        if (extra) {
            m_discarded = m_pCoverList.takeLast();
            --m_curIndex;
            SyncScrollBar();
        }
    } else {
        int x = extra ? -m_cardWidth : m_slotMargin;
        for (int k = 0; k < m_pCoverList.size(); ++k, x += pitch) {
            CShowCoverWidget* w = m_pCoverList.at(k);
            group->addAnimation(GeometryAnimation(w, QRect(x, w->y(), w->width(), w->height())));
        }
        if (extra)
            m_discarded = m_pCoverList.takeFirst();
    }
    group->start();
}

void CRecordingWidget::wheelEvent(QWheelEvent* e)
{
    if (m_animGroup || m_pressedCard) {
        e->accept();
        return;
    }
    const int delta = e->angleDelta().y() != 0 ? e->angleDelta().y() : e->angleDelta().x();
    if (delta == 0)
        return;
    const int step = delta > 0 ? kWheelStep : -kWheelStep;
    DragCards(step);
    SnapCards(step);
    e->accept();
}

// ---- selection, keys and card actions ----------------------------------------

void CRecordingWidget::ChangeSelected(CShowCoverWidget* card)
{
    for (CShowCoverWidget* w : m_pCoverList)
        w->SetSelected(false);
    if (card)
        card->SetSelected(true);
}

void CRecordingWidget::keyReleaseEvent(QKeyEvent* e)
{
    QWidget::keyReleaseEvent(e);
    if (e->key() != Qt::Key_Delete || e->modifiers() != Qt::NoModifier)
        return;
    // Collected first: each deletion comes back as RemoveItem and reshapes
    // the strip.
    QList<CTreeWidgetItem*> doomed;
    for (int k = 0; k < m_pCoverList.size() && k < m_maxCoverNum; ++k) {
        if (m_pCoverList.at(k)->IsSelected())
            if (CTreeWidgetItem* item = ItemOfSlot(k))
                doomed.append(item);
    }
    for (CTreeWidgetItem* item : doomed) {
        if (GetAllItems().contains(item))
            emit DeleteMusic(item);
    }
}

void CRecordingWidget::DoubleClickPlay(CShowCoverWidget* pCover)
{
    if (CTreeWidgetItem* item = ItemOfSlot(SlotOfWidget(pCover)))
        emit PlayMusic(item);
}

void CRecordingWidget::DeleteCoverWidget(CShowCoverWidget* card)
{
    if (CTreeWidgetItem* item = ItemOfSlot(SlotOfWidget(card)))
        emit DeleteMusic(item);
}

void CRecordingWidget::EditCoverWidget(CShowCoverWidget* card)
{
    if (CTreeWidgetItem* item = ItemOfSlot(SlotOfWidget(card)))
        emit EditMusic(item);
}

void CRecordingWidget::ShowMusicFileInFinder(CShowCoverWidget* card)
{
    CTreeWidgetItem* item = ItemOfSlot(SlotOfWidget(card));
    if (!item)
        return;
    const QString path = item->GetMusicPath();
    if (!RevealFileInFileManager(path))
        qDebug() << "Show " << path << " InFinder failed, err: " << -1;
}

// ---- cover chooser -------------------------------------------------------

void CRecordingWidget::ShowSelecetWidget(CShowCoverWidget* card)
{
    const int k = SlotOfWidget(card);
    CTreeWidgetItem* item = ItemOfSlot(k);
    if (!item)
        return;
    std::unique_ptr<MusicInfoRow> row(item->GetMusicInfo());
    if (!row)
        return;
    const RecordMusicInfo info = row->Info;
    row.reset();
    const int count = CoverCandidateCount(info);
    if (count < 1)
        return;
    delete m_chooser;
    m_chooser = new CSelecetCoverWidget(k, this);
    connect(m_chooser, &CSelecetCoverWidget::Selected, this, &CRecordingWidget::CoverSelecetChange);
    m_chooser->SetCovers(info, card->GetImageIndex());
    // Beside the card, on the side with more room (offsets in plain pixels).
    QPoint at = card->pos();
    at.rx() += k < m_maxCoverNum / 2 ? 128 : -(108 * count + 20);
    m_chooser->move(mapToGlobal(at));
    m_chooser->show();
    m_chooser->setFocus();
}

void CRecordingWidget::CoverSelecetChange(int imageIndex, int pWidgetId)
{
    if (pWidgetId < 0 || pWidgetId >= m_pCoverList.size() || pWidgetId >= m_maxCoverNum)
        return;
    CShowCoverWidget* card = m_pCoverList.at(pWidgetId);
    if (imageIndex >= 0 && imageIndex < card->Info().CoverCount)
        card->SetImageIndex(imageIndex);
    CTreeWidgetItem* item = ItemOfSlot(pWidgetId);
    if (!item)
        return;
    std::unique_ptr<MusicInfoRow> row(item->GetMusicInfo());
    if (!row || row->ImageId == imageIndex)
        return;
    row->ImageId = imageIndex;
    // The playing file is open in the player: its tag waits for a later edit.
    if (GetPlayingItem() != item)
        WriteCardTags(row.get());
    item->SetItemData(m_libraryPage ? m_libraryPage->GetShownListId() : 0, row.get());
    DB_UpdateMusicInfo(row.get());
}

void CRecordingWidget::SetLibraryPage(const CShowListWidget* page)
{
    m_libraryPage = page;
}

void CRecordingWidget::WriteCardTags(MusicInfoRow* row)
{
    // The index the tag gets is the one stored.
    const int chosen = ChosenCoverIndex(*row);
    if (chosen >= 0)
        row->ImageId = chosen;
    if (m_tagWriter)
        m_tagWriter->Write(*row);
    else
        CShowListWidget::WriteMusicTags(row);
}

// ---- refresh -----------------------------------------------------------

void CRecordingWidget::ReflashItem(CTreeWidgetItem* pItem)
{
    if (!pItem)
        return;
    qDebug() << "CRecordingWidget::ReflashItem : " << reinterpret_cast<quintptr>(pItem);
    for (int k = qMin(m_maxCoverNum, m_pCoverList.size()) - 1; k >= 0; --k) {
        const AnimItem* card = CardOfSlot(k);
        if (card && card->item == pItem) {
            CShowCoverWidget* w = m_pCoverList.at(k);
            w->SetHasData(true);
            w->SetItem(pItem);
            w->SetMusicPath(pItem->GetMusicPath());
            std::unique_ptr<MusicInfoRow> row(pItem->GetMusicInfo());
            if (row)
                w->SetMusicInfo(row->Info, row->ImageId, row->MusicPath);
        }
    }
}

void CRecordingWidget::AutoDownloadFinish(CTreeWidgetItem* pItem)
{
    ReflashItem(pItem);
}

void CRecordingWidget::MusicInfoToUiSlot(const RecordMusicInfo* musicinfo)
{
    if (!musicinfo) {
        m_downloadingView->SetMusicInfo(QString(), QString(), QString());
        return;
    }
    m_downloadingView->SetMusicInfo(CoverPathAt(*musicinfo, 0), RecordFieldText(musicinfo->MusicName),
                                    RecordFieldText(musicinfo->Artist));
}

// ---- recording animation, painting, language -----------------------------------

void CRecordingWidget::StartRecordingAnimation()
{
    m_animating = true;
    UpdateRecordTimer();
}

void CRecordingWidget::StopRecordingAnimation()
{
    m_animating = false;
    UpdateRecordTimer();
    m_downloadingView->StopAnimation();
}

bool CRecordingWidget::IsRecordingAnimationRunning() const
{
    return m_animating;
}

bool CRecordingWidget::IsRecordingTimerActive() const
{
    return m_recordTimer->isActive();
}

QWidget* CRecordingWidget::AnimationArea() const
{
    return m_recordLabel;
}

void CRecordingWidget::UpdateRecordTimer()
{
    // isVisible() stays true while the window is minimised; the hide and
    // show events that minimising sends are what tells, so the flag those
    // keep is asked instead.
    const bool run = m_animating && isVisible() && !m_restingHidden;
    if (run && !m_recordTimer->isActive()) {
        m_recordTimer->start(100);
    } else if (!run) {
        m_recordTimer->stop();
        DropFrames();
    }
}

void CRecordingWidget::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    m_restingHidden = false;
    UpdateRecordTimer();
}

void CRecordingWidget::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    m_restingHidden = true;
    UpdateRecordTimer();
}

int CRecordingWidget::DecodedFrameCount() const
{
    int n = 0;
    for (const PulseFrame& frame : m_frames)
        n += frame.image.isNull() ? 0 : 1;
    return n;
}

qint64 CRecordingWidget::DecodedFrameBytes() const
{
    qint64 bytes = 0;
    for (const PulseFrame& frame : m_frames)
        bytes += frame.image.sizeInBytes();
    return bytes;
}

void CRecordingWidget::DropFrames()
{
    // The frame on show stays (shared with its entry) so the area keeps
    // showing it while the loop rests.
    m_frames.clear();
}

const CRecordingWidget::PulseFrame& CRecordingWidget::Frame(int number)
{
    if (m_frames.size() != kFrameCount)
        m_frames = QVector<PulseFrame>(kFrameCount);
    PulseFrame& frame = m_frames[number - 1];
    if (!frame.image.isNull())
        return frame;
    const QImage picture =
        CBackgroundCache::LoadPicture(QStringLiteral(":/prefix/res/recording/recording_%1.png").arg(number));
    if (picture.isNull())
        return frame;
    // Scaled to 918 x 250 (x scale) as a whole and shown centred in the
    // area, which cuts off its sides: only what is left is kept.
    const QImage scaled = picture
                              .scaled(ScaledPixels(918), ScaledPixels(250), Qt::IgnoreAspectRatio,
                                      Qt::FastTransformation)
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QSize area = m_recordLabel->size();
    const QPoint placed((area.width() - scaled.width()) / 2, (area.height() - scaled.height()) / 2);
    const QRect visible = QRect(placed, scaled.size()).intersected(QRect(QPoint(0, 0), area)).translated(-placed);
    // Then the rows and columns that are fully transparent go as well.
    int left = visible.right() + 1, right = visible.left() - 1, top = visible.bottom() + 1, bottom = visible.top() - 1;
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(scaled.constScanLine(y));
        for (int x = visible.left(); x <= visible.right(); ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            left = qMin(left, x);
            right = qMax(right, x);
            top = qMin(top, y);
            bottom = qMax(bottom, y);
        }
    }
    if (left > right) {
        frame.image = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        frame.image.fill(Qt::transparent);
        frame.at = QPoint(0, 0);
        return frame;
    }
    const QRect kept(QPoint(left, top), QPoint(right, bottom));
    frame.image = scaled.copy(kept);
    frame.at = placed + kept.topLeft();
    return frame;
}

void CRecordingWidget::ShowFrame(const PulseFrame& frame)
{
    // Only the old and the new frame's rectangles change.
    QRegion changed(QRect(m_shownFrame.at, m_shownFrame.image.size()));
    changed += QRect(frame.at, frame.image.size());
    m_shownFrame = frame;
    m_recordLabel->update(changed);
}

void CRecordingWidget::RecordingAnimation()
{
    if (m_frameNumber > kFrameCount)
        m_frameNumber = 1;
    ShowFrame(Frame(m_frameNumber));
    ++m_frameNumber;
}

const QPixmap& CRecordingWidget::Background()
{
    return m_background.Get(size(), [](QPainter& painter, const QSize& size) {
        const QRect whole(QPoint(0, 0), size);
        const QImage back = CBackgroundCache::LoadPicture(
            QStringLiteral(":/prefix/res/main background/recording_mbg_%1.png").arg(CAppSettings::GetInstance()->GetSkin()));
        if (!back.isNull())
            painter.drawImage(whole, back.scaled(ScaledPixels(918), ScaledPixels(451), Qt::IgnoreAspectRatio,
                                                 Qt::SmoothTransformation));
        const QImage band = CBackgroundCache::LoadPicture(QStringLiteral(":/prefix/res/main background/recording_lbg_h.png"));
        if (!band.isNull()) {
            QRect lower = whole;
            lower.setTop(lower.bottom() - ScaledPixels(200) - 1);
            painter.setOpacity(0.5);
            painter.drawImage(lower, band.scaled(ScaledPixels(920), ScaledPixels(202), Qt::IgnoreAspectRatio,
                                                 Qt::SmoothTransformation));
        }
    });
}

void CRecordingWidget::paintEvent(QPaintEvent* e)
{
    QWidget::paintEvent(e);
    QPainter painter(this);
    painter.drawPixmap(e->rect(), Background(), e->rect());
}

void CRecordingWidget::PaintArea(QPainter& painter, const QRect& exposed)
{
    const QPixmap& background = Background();
    const QRect under = exposed.translated(m_recordLabel->pos());
    // Opaque means every pixel is painted: without a picture (an unreadable
    // skin) the page's own colour stands in.
    if (background.isNull())
        painter.fillRect(exposed, palette().window());
    else
        painter.drawPixmap(exposed, background, under);
    if (!m_shownFrame.image.isNull())
        painter.drawImage(m_shownFrame.at, m_shownFrame.image);
}

void CRecordingWidget::RetranslateUi()
{
    for (int k = 0; k < m_pCoverList.size() && k < m_maxCoverNum; ++k) {
        const AnimItem* card = CardOfSlot(k);
        RetranslateCard(m_pCoverList.at(k), card ? card->item : nullptr);
    }
    // A card sliding off the page is seen until its animation ends.
    if (m_discarded)
        RetranslateCard(m_discarded, m_discarded->Item());
    m_downloadingView->RetranslateUi();
    update();
}

void CRecordingWidget::RetranslateCard(CShowCoverWidget* card, CTreeWidgetItem* item)
{
    if (!item) {
        card->ResetTexts();
        return;
    }
    std::unique_ptr<MusicInfoRow> row(item->GetMusicInfo());
    if (row)
        card->RetranslateUi(row->Info, row->MusicPath);
}
