#pragma once

#include <QList>
#include <QSet>
#include <QTreeWidget>
#include <QVector>

#include <functional>

class CTreeWidgetItem;
class QKeyEvent;
class QTimer;

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
    ~CMusicInfoTreeWidget() override;

    void RetranslateHeader();

    // Adds rows to the list as addTopLevelItems would with sorting on, in
    // the same order, but sorts them once by the rows' own keys and inserts
    // them in one step. (With sorting on, QTreeWidget inserts row by row and
    // then sorts them all through the virtual comparison: at 100,000 rows
    // that was a third of the program's start.) A list that already has rows
    // or does not sort takes them through addTopLevelItems.
    void AddRowsSorted(const QList<CTreeWidgetItem*>& rows);

    // Takes the given top-level rows out of the list in one pass (the caller
    // deletes them); the other rows keep their order, hidden state and
    // selection. When the current row goes, the next row that stays becomes
    // current (the one before it at the end), as Qt does when a current row
    // is removed. Row by row, each removal moved the current row and laid
    // the whole list out again: 100,000 rows took minutes.
    void TakeRows(const QSet<const QTreeWidgetItem*>& rows);

    // Selected rows without the hidden ones, in selectedItems() order.
    QList<CTreeWidgetItem*> GetSelectedItems();
    // The same before the rows themselves are read: every selected visible
    // row, of which GetSelectedItems() gives those SelectableRow() accepts.
    // It reads only the selection and the list's own copy of the rows, which
    // at 100,000 selected rows is a small part of reading each row.
    QVector<QTreeWidgetItem*> SelectedVisibleRows();
    // The row as a song when it is selectable and enabled, else null.
    static CTreeWidgetItem* SelectableRow(QTreeWidgetItem* item);
    CTreeWidgetItem* GetCurrentVisibleItem() const;
    int GetVisibleIndex(QTreeWidgetItem* item) const;
    CTreeWidgetItem* GetVisibleItem(int n) const;
    int GetVisibleItemCount() const;
    void SetCurrentVisibleIndex(int n);
    // Hidden state by top-level row number. With many rows this is the cheap
    // form: QTreeWidgetItem::isHidden finds the item's row first, a linear
    // search each time the rows were sorted since.
    bool IsRowHiddenAt(int row) const;
    // The n-th visible top-level row (from 0), null when there are fewer;
    // read from the list's own copy of the hidden states, without asking Qt
    // row by row.
    QTreeWidgetItem* VisibleRow(int n);

    // Hiding and showing many rows at once (showing a list, filtering), the
    // fast way at 100,000 rows. decide is called once per top-level row, in
    // row order, with the row number, the row and whether it is hidden now; it
    // returns whether the row is to be hidden. Only rows whose state changes
    // are touched, and the list lays itself out once at the end. decide must
    // not change the track list itself.
    using RowDecision = std::function<bool(int row, QTreeWidgetItem* item, bool hidden)>;
    void UpdateRowsHidden(const RowDecision& decide);

    // A filter text prepared once per keystroke for RowTextContains.
    struct SearchText {
        explicit SearchText(const QString& text);
        QString text;
        QString folded;   // case-folded text
        bool exact;       // true: answer through QString::contains itself
    };
    // Whether the row's text in column contains text, ignoring case: the
    // answer of QTreeWidget::findItems with Qt::MatchContains. Name, Artist
    // and Album are answered from case-folded copies of the cells, and
    // AnySearchColumn asks whether any of those three contains it (one search
    // of the row's copies). Only valid inside a decide function of
    // UpdateRowsHidden.
    static constexpr int AnySearchColumn = -1;
    bool RowTextContains(int row, int column, const SearchText& text);

    // A number that changes whenever a top-level row may have moved to
    // another row number (rows added, removed or sorted), so that what a
    // caller keeps by row number is known to be still in line. Brings the
    // row copies up to date first.
    quint64 RowOrder();

    // A number that changes whenever what a caller of UpdateRowsHidden saw
    // may no longer hold: a row hidden or shown (by UpdateRowsHidden or by
    // anyone else), a Name, Artist or Album text changed, rows added,
    // removed or sorted. The filter uses it to know that the rows it hid
    // for one text are still hidden for that text. Brings the row copies up
    // to date first.
    quint64 HiddenStateStamp();

    // Makes the case-folded copies of every row's Name, Artist and Album now
    // (the library page does it once it has loaded, before the list shows),
    // so that the first keystroke of the filter does not pay for them.
    void PrepareSearchTexts();

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

    void updateGeometries() override;

public:
    // Notes that the copy of the hidden state may be stale (see m_rows).
    void doItemsLayout() override;

private:
    void UpdateModifiers(QKeyEvent* event, bool pressed);
    // Widens a column whose title needs more than its width in the header's
    // font, with room for the sort arrow; never narrows one.
    void FitHeaderSections();

    // Our own copy of what UpdateRowsHidden needs of every top-level row, in
    // row order. Asking Qt costs several hash look-ups per row (and a search
    // for the row of an item after sorting); at 100,000 rows that was most of
    // a filter keystroke.
    struct RowCopy {
        QTreeWidgetItem* item = nullptr;
        int textAt = -1;         // in m_textPool; -1 while the texts are not copied
        int textLength[3] = {};  // Name, Artist, Album, case-folded, one after another with a
                                 // separator between them
        bool hidden = false;
    };
    // Lines the copy up with the rows again and refreshes what may be stale.
    void SyncRowCopies();
    // The copy, brought up to date (for the const questions about rows).
    const QVector<RowCopy>& SyncedRows() const;
    // The units a row's texts take in the pool, separators included.
    static int PooledLength(const RowCopy& copy);
    // Copies the row's folded texts to the end of the pool.
    void CopyTexts(RowCopy& copy, const QChar* from = nullptr);
    void ForgetTexts(RowCopy& copy);
    void OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                       const QVector<int>& roles);
    void OnRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    void OnModelAboutToBeReset();
    // Sorting back on for rows already in order, without sorting them again.
    void SortingOnWithoutResort(int column, Qt::SortOrder order, bool indicatorShown, bool clickable);
    // While TakeRows runs: the rows really leaving (the others come back).
    const QSet<const QTreeWidgetItem*>* m_leaving = nullptr;

    // GUI thread only, like the widget. Staleness of m_rows:
    //  - hidden flags: every change of a row's hidden state, by anyone, makes
    //    QTreeView lay itself out before it next uses its rows, through the
    //    virtual doItemsLayout(). UpdateRowsHidden runs its own layout before
    //    returning, so any later layout means someone else may have hidden or
    //    shown rows: m_hiddenKnown goes false and the flags are read again.
    //  - texts: the model's dataChanged marks a row's texts unknown; rows in a
    //    different place are matched by item pointer, and a pointer whose item
    //    was removed is never trusted again (a new row may reuse the address).
    QVector<RowCopy> m_rows;
    // The folded texts of the rows, in row order after each realignment so a
    // keystroke reads memory in sequence.
    QVector<QChar> m_textPool;
    int m_deadChars = 0;   // pool characters of texts since changed
    // Copies missing texts a slice at a time while the program is idle, so
    // the first keystroke after loading finds them ready.
    QTimer* m_textCopier = nullptr;
    void CopyTextsWhileIdle();
    bool m_hiddenKnown = false;
    // Set by the model's signals of rows added, removed or sorted; the copy's
    // order is checked row by row only then.
    bool m_rowsMoved = true;
    quint64 m_rowOrder = 0;
    quint64 m_hiddenStamp = 0;
    bool m_ownLayout = false;
    bool m_inGeometries = false;
    QSet<const QTreeWidgetItem*> m_staleTexts;
    QSet<const QTreeWidgetItem*> m_removedItems;

    bool m_pressed = false;
    bool m_dragging = false;
    quint16 m_modifiers = 0;   // 1 Shift held, 2 Control held
    QTreeWidgetItem* m_header = nullptr;
};
