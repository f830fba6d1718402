#pragma once

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGraphicsWidget>
#include <QImage>
#include <QPixmap>
#include <QScrollBar>

class CMusicInfoTreeWidget;
class QLabel;
class QTimeLine;
class QTreeWidgetItem;

// One cover of the flow with its reflection.
class CPixmapItem : public QGraphicsWidget
{
    Q_OBJECT
public:
    CPixmapItem(const QString& imageFile, QGraphicsItem* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // Whether an item-coordinate point lies on the painted cover.
    bool IsOnCover(const QPointF& itemPos) const;

    int position = 0;       // signed distance from the centre slot
    int drawnHeight = 0;    // height of the cover as last painted
    int mirrorOffset = 0;   // 0, or -1 during a leftward final step

private:
    QPixmap m_cover;
    // The cover scaled to the item and its faded reflection, for the size and
    // side last painted: an animation repaints every item at each frame, and
    // smooth scaling a full-size picture each time would stall the GUI thread.
    QSizeF m_cachedSize;
    bool m_cachedMirrored = false;
    QImage m_cachedImage;
    QImage m_cachedReflection;
};

// The flow's scene and its slide animation.
class CConverFlowScene : public QGraphicsScene
{
    Q_OBJECT
public:
    explicit CConverFlowScene(QObject* parent);

    // Geometry of the current scene rectangle.
    qreal ItemHeight() const;
    qreal ItemWidth() const;
    int Step() const;
    qreal SlotX(int position) const;

    void PlaceAtRest(CPixmapItem* item) const;
    void StackAndFade(int d);
    QList<CPixmapItem*> Covers() const;
    CPixmapItem* CoverAt(int position) const;

    // Ends any animation and moves every cover to its final slot.
    void Settle();
    // Starts the move for the pending shift.
    void StartMove();
    int Shift() const { return m_shift; }
    void SetShift(int shift) { m_shift = shift; }
    int Phase() const { return m_phase; }
    QTimeLine* TimeLine() const { return m_timeLine; }

signals:
    void CenterIndexChanged(int position);
    void CenterChangeFinished();
    void DoubleClickCenterItem();

public slots:
    void TimeLineValueChange(qreal value);
    void TimeLineFinish();

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void StartFinalStep();
    void SetAngle(CPixmapItem* item, qreal angle) const;
    void FastFrame();
    void FinalFrame(qreal t);

    QTimeLine* m_timeLine = nullptr;
    int m_shift = 0;
    int m_phase = 0;
};

// The flow's scroll bar: a press moves the flow, the wheel does not.
class CViewHScrol : public QScrollBar
{
    Q_OBJECT
public:
    explicit CViewHScrol(QWidget* parent);
    bool IsPressed() const { return m_pressed; }

protected:
    bool event(QEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    bool m_pressed = false;
};

// The cover flow above the track list. Follows the list's current row and
// makes the row of the centre cover current.
// Thread contract: GUI thread only.
class CGraphicsView : public QGraphicsView
{
    Q_OBJECT
public:
    CGraphicsView(CMusicInfoTreeWidget* trackList, QWidget* parent);

    int Centre() const { return m_centre; }
    int Target() const { return m_target; }
    void ShowAt(int index, bool reset);
    CConverFlowScene* Scene() const { return m_scene; }
    CViewHScrol* ScrollBar() const { return m_scrollBar; }
    QLabel* TitleLabel() const { return m_title; }
    QLabel* ArtistLabel() const { return m_artist; }

signals:
    void DoubleClickItem(int centre);

public slots:
    void TreeCurrentChange(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void ItemIndexChange(int delta);
    void ScrollValueChange(int value);
    void FlashMusicInfo();
    void DoubleClickCenterItem();
    void ResetView();
    void ConnectSignal();
    void DisconnectSignal();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void AddCover(int row, int position);
    void MoveTo(int index);

    CConverFlowScene* m_scene = nullptr;
    CViewHScrol* m_scrollBar = nullptr;
    CMusicInfoTreeWidget* m_trackList = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_artist = nullptr;
    int m_centre = 0;
    int m_target = 0;
    bool m_connected = false;
};
