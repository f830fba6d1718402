#pragma once

#include "CBackgroundCache.h"
#include "MusicRecords.h"

#include <QImage>
#include <QList>
#include <QVector>
#include <QPoint>
#include <QPointer>
#include <QWidget>

class CSelecetCoverWidget;
class CTagWriter;
class CShowCoverWidget;
class CShowListWidget;
class CShowDownloadingView;
class CTreeWidgetItem;
class QPainter;
class QParallelAnimationGroup;
class QScrollBar;
class QTimer;

// One card of the recording strip: a finished song and how it was recorded.
struct AnimItem {
    // 1: recorded with recognition on and long enough for song data to be
    // still arriving; 2: any other song.
    int kind = 2;
    // The song's library row, borrowed from the library page (never owned);
    // dropped through RemoveItem when the page deletes the row.
    CTreeWidgetItem* item = nullptr;
};

// The recording page: the looping "recording" picture with the artwork view
// inside it, and a strip of cover cards, one per song finished since start-up,
// newest at the right. Only as many card widgets exist as there are slots;
// scrolling, dragging and the wheel change which cards the slots show.
//
// Slot-to-card mapping: while m_curIndex >= m_maxCoverNum slot k shows card
// k + (m_curIndex - m_maxCoverNum + 1), otherwise card k. Every action of a
// slot (play, edit, delete, show in folder, cover choice) goes through it.
//
// Thread contract: GUI thread only.
class CRecordingWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CRecordingWidget(QWidget* parent = nullptr);
    ~CRecordingWidget() override;

    // Appends a card of kind 1 (recognised) or 2 for a finished recording and
    // animates it in.
    void AddAnimItem(int kind, CTreeWidgetItem* item);
    // The rows of all cards in strip order (oldest first).
    QList<CTreeWidgetItem*> GetAllItems() const;
    // The 100 ms "recording" picture loop; stopping also resets the artwork
    // view. The loop only turns while the page can be seen: hidden (another
    // page, the window minimised) its timer rests and its pictures are let go.
    void StartRecordingAnimation();
    void StopRecordingAnimation();
    void RetranslateUi();

    CShowDownloadingView* DownloadingView() const { return m_downloadingView; }

    // Read-only views of the strip (tests and the main window's checks).
    int CurrentIndex() const { return m_curIndex; }
    int SlotCount() const { return m_maxCoverNum; }
    int CardCount() const { return m_cards.size(); }
    const QList<CShowCoverWidget*>& SlotWidgets() const { return m_pCoverList; }
    // Index into the card list of the card slot k shows, or -1.
    int CardIndexOfSlot(int slot) const;
    // The row slot k's actions reach, or null.
    CTreeWidgetItem* ItemOfSlot(int slot) const;
    bool IsAnimating() const { return m_animGroup != nullptr; }
    // Ends a running card animation at once (widgets at their targets).
    void FinishAnimation();
    QScrollBar* ScrollBar() const { return m_scrollBar; }
    CSelecetCoverWidget* CoverChooser() const { return m_chooser; }
    int FrameNumber() const { return m_frameNumber; }
    // True between StartRecordingAnimation and StopRecordingAnimation, also
    // while the page is hidden and the loop rests.
    bool IsRecordingAnimationRunning() const;
    // Whether the loop's timer runs now (the page is shown and recording).
    bool IsRecordingTimerActive() const;
    // The area that shows the loop (and holds the artwork view); opaque, so
    // a new frame repaints it alone, not the page beneath.
    QWidget* AnimationArea() const;
    // Frames of the loop decoded and kept now (0 .. 28).
    int DecodedFrameCount() const;
    // Bytes the kept frames take.
    qint64 DecodedFrameBytes() const;
    int SlotMargin() const { return m_slotMargin; }
    int CardWidth() const { return m_cardWidth; }
    // Where a card's cover choice has its tags written (off the GUI thread);
    // without one they are written at once.
    void SetTagWriter(CTagWriter* writer) { m_tagWriter = writer; }
    // The library page whose shown list decides the date a refilled row shows.
    void SetLibraryPage(const CShowListWidget* page);
    // Empty when every shown card shows the song its actions reach and the
    // strip's bookkeeping agrees; otherwise a description of the first fault.
    QString CheckInvariant() const;

signals:
    void PlayMusic(CTreeWidgetItem* item);
    void DeleteMusic(CTreeWidgetItem* item);
    void EditMusic(CTreeWidgetItem* item);

public slots:
    void AnimFinshed();
    void ChangeSelected(CShowCoverWidget* card);
    void ShowSelecetWidget(CShowCoverWidget* card);
    void CoverSelecetChange(int imageIndex, int pWidgetId);
    void ReflashItem(CTreeWidgetItem* pItem);
    void RemoveItem(CTreeWidgetItem* pItem);
    void CoverListPressed(CShowCoverWidget* pressedWidget);
    void DoubleClickPlay(CShowCoverWidget* pCover);
    void DeleteCoverWidget(CShowCoverWidget* card);
    void ShowMusicFileInFinder(CShowCoverWidget* card);
    void EditCoverWidget(CShowCoverWidget* card);
    void ScrollValueChange(int value);
    void MouseRelease();
    void RecordingAnimation();
    void MusicInfoToUiSlot(const RecordMusicInfo* musicinfo);
    // Song data arrived for a finished song (the library page's
    // AutoDownloadFinished): refreshes its card like ReflashItem.
    void AutoDownloadFinish(CTreeWidgetItem* pItem);

protected:
    bool event(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    class PulseArea;
    // One frame of the loop as the area shows it: only the part of the
    // scaled picture that lies inside the area and is not fully transparent,
    // and where that part goes in the area.
    struct PulseFrame {
        QImage image;
        QPoint at;
    };
    // The page's two background pictures at the page's size.
    const QPixmap& Background();
    const PulseFrame& Frame(int number);
    void ShowFrame(const PulseFrame& frame);
    void DropFrames();
    void UpdateRecordTimer();
    void PaintArea(QPainter& painter, const QRect& exposed);

    int FirstShownCard() const;
    int SlotOfWidget(const CShowCoverWidget* card) const;
    CShowCoverWidget* MakeCard(int cardIndex, int cornerOverlay);
    void FillCard(CShowCoverWidget* card, const AnimItem* anim);
    void MakePlaceholder(CShowCoverWidget* card);
    // The card's texts in the interface language: its song's, or the
    // placeholders without one.
    void RetranslateCard(CShowCoverWidget* card, CTreeWidgetItem* item);
    // Fills every slot in place from the slot-to-card mapping.
    void RefillSlots();
    // Ends a drag or animation so the strip holds one widget per slot again.
    void EndDrag();
    void HideChooser();
    void Discard(CShowCoverWidget* card);
    const AnimItem* CardOfSlot(int slot) const;
    void PlaceSlots();
    QRect SlotRect(int slot) const;
    int CardHeight() const;
    void AnimateNewCard(int targetSlot);
    void AnimateRemoval(int cardIndex);
    void StopCardAnimation();
    QParallelAnimationGroup* NewGroup();
    void SyncScrollBar();
    void UpdateScrollRange();
    void DragCards(int step);
    void SnapCards(int distance);
    void LayoutFrom(int anchor, int anchorX, int direction, int spacing);
    void WriteCardTags(MusicInfoRow* row);

    QParallelAnimationGroup* m_animGroup = nullptr;
    QPoint m_pressPoint;
    QPoint m_dragPoint;
    int m_cardWidth = 0;
    int m_slotMargin = 0;
    // Frames of the loop by number - 1, made on first use while the loop
    // turns; empty images for the ones not made yet. About 12 MB at scale 1
    // for all 28 (a tenth of the pictures as read), so they go when the loop
    // rests.
    QVector<PulseFrame> m_frames;
    PulseFrame m_shownFrame;
    bool m_animating = false;
    // Set by a hide event (another page, or the window minimised), cleared
    // by a show event.
    bool m_restingHidden = false;
    QTimer* m_recordTimer = nullptr;
    int m_frameNumber = 1;
    CShowCoverWidget* m_discarded = nullptr;
    int m_curIndex = -1;
    int m_maxCoverNum = 0;
    int m_targetSlot = -1;
    int m_pressedCard = 0;
    QScrollBar* m_scrollBar = nullptr;
    QList<AnimItem*> m_cards;
    CSelecetCoverWidget* m_chooser = nullptr;
    QList<CShowCoverWidget*> m_pCoverList;
    CShowDownloadingView* m_downloadingView = nullptr;
    PulseArea* m_recordLabel = nullptr;
    CBackgroundCache m_background;
    bool m_dragAccepted = false;
    int m_lastStep = 0;
    CTagWriter* m_tagWriter = nullptr;
    QPointer<const CShowListWidget> m_libraryPage;
};
