#pragma once

#include "MusicRecords.h"

#include <QPointer>
#include <QTreeWidgetItem>
#include <QWidget>

class QLabel;

// The count badge of a list entry.
class CQuantityWidget : public QWidget
{
    Q_OBJECT
public:
    CQuantityWidget(int num, QWidget* parent = nullptr);
    void SetNum(int num);
    int GetNum() const;

private:
    QLabel* m_label = nullptr;
};

// One list of the library tree: icon by kind, name in column 3, count badge
// in column 4 (the badge becomes the tree's item widget once the tree shows
// the entry, and the tree owns it from then on).
class CListTreeItem : public QTreeWidgetItem
{
public:
    enum Column { ColSpacer = 0, ColGap = 1, ColIcon = 2, ColName = 3, ColCount = 4 };

    // A non-null parent appends the entry as its last top-level item.
    CListTreeItem(MusicListRow record, QTreeWidget* parent);
    ~CListTreeItem() override;

    int GetListType() const { return m_listId; }
    QString GetListName() const { return text(ColName); }
    int GetQuantity() const;
    void SetQuantity(int num);
    CQuantityWidget* Badge() const { return m_badge.data(); }

    static QString FixedListName(int listId);

private:
    int m_listId;
    // The view deletes an item widget when its row goes, so hold it weakly.
    QPointer<CQuantityWidget> m_badge;
};
