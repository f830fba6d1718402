#pragma once

#include "MusicRecords.h"

#include <QFrame>
#include <QList>
#include <QPointer>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include "CFocusNotiFlyEdit.h"

class CListTreeItem;
class CShowListWidget;
class IRecordStateSource;
class QAction;
class QHBoxLayout;
class QLabel;
class QMenu;
class QScrollBar;
class QStackedWidget;
class QTimer;
class QToolButton;
class QVBoxLayout;

// In-place editor of a play list's name. Clears ListNameEditing as it goes.
class CItemLineEdit : public CFocusNotiFlyEdit
{
    Q_OBJECT
public:
    explicit CItemLineEdit(QWidget* parent);
signals:
    void ItemLineEidtFocusOut(QFocusEvent* event);
protected:
    bool event(QEvent* e) override;
};

// Delegate of column 3 (the list name): trims the edited name and keeps the
// old one when the result is empty.
class CMItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
};

// One of the two list trees; takes dropped songs onto play lists.
class CAcDopTreeWidget : public QTreeWidget
{
    Q_OBJECT
public:
    explicit CAcDopTreeWidget(QWidget* parent);
    int HighlightedRow() const { return m_highlighted; }
    // The width the widest count badge wants (0 without badges).
    int WidestBadge() const;
    // The count column gets this width (at least its design width) and the
    // name column the rest, so a count of any length shows whole.
    void SetCountWidth(int width);
    // The page whose shown list takes no drops (none set: every play list does).
    void SetLibraryPage(const CShowListWidget* page);

signals:
    void DragItemToList(QString payload, int listId);

public slots:
    void dragRelease();
    void ItemLineEidtFocusOut(QFocusEvent* event);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ClearMark();
    // A play list other than the one on show: the lists that take dropped songs.
    bool TakesDrops(const CListTreeItem* entry) const;
    int m_highlighted = -1;
    QPointer<const CShowListWidget> m_libraryPage;
    int m_countWidth = 0;
    CMItemDelegate* m_delegate = nullptr;
};

// Section header ("Library", "PlayList"); a collapsible one has open/close buttons.
class CLibItem : public QFrame
{
    Q_OBJECT
public:
    CLibItem(const QString& iconPath, const QString& text, QWidget* parent, bool selectable,
             bool collapsible);
    void SetText(const QString& text);
    bool IsOpen() const;

signals:
    void Selected();
    void ChangeStatus(bool open);

public slots:
    void ClickOpen();
    void ClickClose();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QLabel* m_icon = nullptr;
    QLabel* m_text = nullptr;
    QStackedWidget* m_stack = nullptr;
    QToolButton* m_openButton = nullptr;
    QToolButton* m_closeButton = nullptr;
    bool m_selectable;
    bool m_collapsible;
};

// The library and play-list side panel.
// Thread contract: GUI thread only.
class CTreeLib : public QScrollArea
{
    Q_OBJECT
public:
    CTreeLib(IRecordStateSource* recordState, QWidget* parent);
    ~CTreeLib() override;
    // The library page built from this panel's lists; its shown list is the
    // one drops and the closing of the PlayList section look at.
    void SetLibraryPage(const CShowListWidget* page);

    CListTreeItem* AddNewList();
    // Removes the current play list (database row and entry); its ListId, or
    // -1 for a fixed list.
    int DeleteItem();
    int GetCurrentListId() const;
    int GetNextListId() const;
    void SelectList(int listId);
    void RetranslateUi();

    // Every entry of both trees in loading order (the library page is built from it).
    QList<CListTreeItem*> GetListItems() const { return m_items; }
    CListTreeItem* FindList(int listId) const;
    // `wanted` when no other list has that name, else the first free
    // "<base> n" (n from 1, as new lists are numbered; a number ending
    // `wanted` is replaced), so two lists never share a name.
    QString FreeListName(const QString& wanted, const CListTreeItem* self) const;
    // Shows the name the library holds for the list again (an edit of the
    // name that was left empty or that the library refused).
    void ShowStoredListName(CListTreeItem* entry);
    // Single-shot 200 ms timer the main window's Delete-key handling starts and stops.
    QTimer* DeleteKeyTimer() const { return m_deleteKeyTimer; }

    CAcDopTreeWidget* LibraryTree() const { return m_libTree; }
    CAcDopTreeWidget* PlayListTree() const { return m_playTree; }
    CLibItem* LibraryHeader() const { return m_libHeader; }
    CLibItem* PlayListHeader() const { return m_playHeader; }
    QFrame* ContentFrame() const { return m_frame; }
    QMenu* ContextMenu() const { return m_menu; }
    QAction* PlayAction() const { return m_playAction; }
    QAction* RenameAction() const { return m_renameAction; }
    QAction* ITunesAction() const { return m_iTunesAction; }
    QAction* DeleteAction() const { return m_deleteAction; }
    int PlayListTreeHeight() const { return m_playTreeHeight; }

signals:
    void SelectChanged(int listId);
    void NewListAdded();
    void listNameChanged(QTreeWidgetItem* item);
    void deleteActionTrigger();
    void ResizeChanged(QRect rect);

public slots:
    void LibContextMenuRequested(const QPoint pos);
    void PlayListContextMenuRequested(const QPoint pos);
    void Rename();
    void SelectRecording();
    void itemClick(QTreeWidgetItem* current, QTreeWidgetItem* previous = nullptr);
    void itemDoubleClick(QTreeWidgetItem* item, int column);
    void LibChangeStatus(bool open);
    void PlayListChangeStatus(bool open);
    void MoveToBottom();
    void SetListItemNum(int listId, int num);
    void itemChange(QTreeWidgetItem* item, int column);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Sets up the menu for the entry; exec() is separate so tests can look at it.
    void PrepareContextMenu(CListTreeItem* entry);
    virtual void PopupMenu(const QPoint& globalPos);

private:
    void AddEntry(CListTreeItem* item, CAcDopTreeWidget* tree);
    void ApplyPlayTreeHeight();
    // Both trees' count columns as wide as the widest badge of either, so
    // the badges stand in one column.
    void FitCountColumns();
    void ContextMenuAt(CAcDopTreeWidget* tree, const QPoint& pos);
    // Play lists that share a name with a list before them (from a library
    // made before names were kept apart) get numbered names, stored.
    void RenameSharedNames();

    QFrame* m_frame = nullptr;
    QVBoxLayout* m_layout = nullptr;
    CLibItem* m_libHeader = nullptr;
    CLibItem* m_playHeader = nullptr;
    CAcDopTreeWidget* m_libTree = nullptr;
    CAcDopTreeWidget* m_playTree = nullptr;
    int m_playTreeHeight = 0;
    QList<CListTreeItem*> m_items;
    QScrollBar* m_scrollBar = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_playAction = nullptr;
    QAction* m_renameAction = nullptr;
    QAction* m_iTunesAction = nullptr;
    QAction* m_deleteAction = nullptr;
    IRecordStateSource* m_recordState = nullptr;
    QTimer* m_deleteKeyTimer = nullptr;
    QPointer<const CShowListWidget> m_libraryPage;
};
