#pragma once

#include "CTransPopupWidget.h"

#include <QList>

class CMiniListItem;
class IPlayQueueTrack;
class QFrame;
class QScrollBar;
class QTimeLine;

// The animated pop-up list of the play queue that drops out of the main
// window's lower right corner: up to five rows, a scroll bar for longer
// queues, single click highlights, double click asks to play.
// It is built once per opening and does not follow later queue changes.
//
// Lifetime: the owner disposes of it with deleteLater() when it emits
// aboutHide(), never from inside that signal.
class CPopupPlayList : public CTransPopupWidget
{
    Q_OBJECT
public:
    static constexpr int kVisibleRows = 5;
    static constexpr int kAnimationMs = 500;

    explicit CPopupPlayList(QWidget* owner);
    ~CPopupPlayList() override;

    void ShowPopPlayList();

    // For the owner and for tests.
    int Direction() const { return m_direction; }
    int CurrentIndex() const { return m_current; }
    int MaximumFirstRow() const { return m_maxFirstRow; }
    QScrollBar* ScrollBar() const { return m_scrollBar; }
    const QList<CMiniListItem*>& Rows() const { return m_rows; }
    QFrame* InnerFrame() const { return m_frame; }
    QTimeLine* TimeLine() const { return m_timeLine; }

signals:
    void itemDoubleClicked(IPlayQueueTrack* item);
    void aboutHide();

public slots:
    void timeLineValueChange(qreal value);
    void scrollBarValueChange(int value);
    void itemClicked(CMiniListItem* item);
    void itemDoubleClicked(CMiniListItem* item);
    void HidePopPlayList();
    void timeLinefinish();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FillRows(int first);
    int FirstRow() const;

    QList<CMiniListItem*> m_rows;
    QScrollBar* m_scrollBar = nullptr;
    int m_maxFirstRow = 0;
    int m_current = -1;
    QTimeLine* m_timeLine = nullptr;
    int m_direction = 0;  // 0 idle, 1 showing, 2 hiding
    QWidget* m_owner;
    QFrame* m_frame = nullptr;
};
