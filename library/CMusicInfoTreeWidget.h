#pragma once

#include <QList>
#include <QTreeWidget>

class CTreeWidgetItem;
class QKeyEvent;

// The ten-column track list of the library page. It holds the rows of every
// list at once and hides the rows of the lists not shown; "visible" below
// means a top-level row that is not hidden. It keeps its own selection rules
// (a press on a selected row keeps a multiple selection for dragging) and
// drags songs out as "application/sonacap" ids plus file URLs.
// Thread contract: GUI thread only.
class CMusicInfoTreeWidget : public QTreeWidget
{
    Q_OBJECT
public:
    // The internal drag-and-drop type of dragged songs.
    static const char* const MimeType;

    explicit CMusicInfoTreeWidget(QWidget* parent = nullptr);

    void RetranslateHeader();

    // Selected rows without the hidden ones, in selectedItems() order.
    QList<CTreeWidgetItem*> GetSelectedItems() const;
    CTreeWidgetItem* GetCurrentVisibleItem() const;
    int GetVisibleIndex(QTreeWidgetItem* item) const;
    CTreeWidgetItem* GetVisibleItem(int n) const;
    int GetVisibleItemCount() const;
    void SetCurrentVisibleIndex(int n);
    // Hidden state by top-level row number. With many rows these are the
    // cheap forms: QTreeWidgetItem::isHidden/setHidden find the item's row
    // first, a linear search each time the rows were sorted since.
    bool IsRowHiddenAt(int row) const;
    void SetRowHiddenAt(int row, bool hide);
    // The main window forwards its key releases so a Shift/Control let go
    // outside the list is noticed.
    void ReleaseModifierKey(QKeyEvent* event);

    // The payload of a drag of these rows: each MusicId in decimal followed by
    // one space, UTF-8.
    static QByteArray DragPayload(const QList<CTreeWidgetItem*>& rows);
    // The drag picture: the plain picture for one row, with a count badge for more.
    static QPixmap DragPixmap(int count);

signals:
    void itemLeftButtonDoubleClicked(QTreeWidgetItem* item);
    void itemDragReleased();
    void borderPressed();
    void mouseRelease();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Runs the drag; separate so tests can replace the blocking QDrag::exec.
    virtual void RunDrag(QMimeData* data, const QPixmap& picture);

private:
    void UpdateModifiers(QKeyEvent* event, bool pressed);

    bool m_pressed = false;
    bool m_dragging = false;
    quint16 m_modifiers = 0;   // 1 Shift held, 2 Control held
    QTreeWidgetItem* m_header = nullptr;
};
