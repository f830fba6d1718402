#include "CTreeLib.h"

#include "CListTreeItem.h"
#include "CMusicInfoTreeWidget.h"
#include "CShowListWidget.h"
#include "InterfaceScale.h"
#include "LibraryServices.h"
#include "LibrarySeams.h"
#include "MusicDatabase.h"
#include "SkinButtonStyle.h"
#include "WidgetFlags.h"

#include <QDebug>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kFirstPlayList = 4;
constexpr int kMaxLists = 999;
} // namespace

// ---------------------------------------------------------------- CItemLineEdit

CItemLineEdit::CItemLineEdit(QWidget* parent)
    : CFocusNotiFlyEdit(parent)
{
}

bool CItemLineEdit::event(QEvent* e)
{
    if (e->type() == QEvent::DeferredDelete)
        ListNameEditing = false;
    return CFocusNotiFlyEdit::event(e);
}

// ---------------------------------------------------------------- CMItemDelegate

QWidget* CMItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const
{
    if (index.column() != CListTreeItem::ColName)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* edit = new CItemLineEdit(parent);
    edit->setStyleSheet(QStringLiteral("QLineEdit{margin: %1 %2;color:#FFFFFF;background-color:#C1ACB9;}")
                            .arg(ScaledPixels(3))
                            .arg(ScaledPixels(2)));
    if (const QWidget* view = qobject_cast<const QWidget*>(option.widget))
        edit->setFont(view->font());
    edit->setFixedHeight(ScaledPixels(25));
    return edit;
}

void CMItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    QStyledItemDelegate::setEditorData(editor, index);
}

void CMItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const
{
    if (index.column() != CListTreeItem::ColName) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit)
        return;
    const QString name = edit->text().trimmed();
    if (!name.isEmpty())
        model->setData(index, name, Qt::EditRole);
}

// ---------------------------------------------------------------- CAcDopTreeWidget

CAcDopTreeWidget::CAcDopTreeWidget(QWidget* parent)
    : QTreeWidget(parent)
{
    setAcceptDrops(true);
    m_delegate = new CMItemDelegate(this);
    setItemDelegateForColumn(CListTreeItem::ColName, m_delegate);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setObjectName(QStringLiteral("libTreewidget"));
    setFocusPolicy(Qt::NoFocus);
    const QString size = ScaledStyleNumber(12);
    setStyleSheet(QStringLiteral(
        "QTreeWidget#libTreewidget{background: transparent;margin: 0;border: 0;font-size: %1px;} "
        "QTreeWidget#libTreewidget::item{color: #FFFFFF;} "
        "QTreeWidget#libTreewidget::item:selected{border-image: url(:/prefix/res/tasklist_selected.png);} "
        "QTreeWidget#libTreewidget::item:disabled{border-image: url(:/prefix/res/dorpselecet.png);}")
                      .arg(size));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHeaderHidden(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setColumnCount(5);
    // The header is hidden but still holds every column to its minimum
    // section size (about 36 pixels with the interface font), which would
    // push the count badge out of the panel.
    header()->setMinimumSectionSize(1);
    const int widths[5] = {1, 20, 30, 122, 30};
    for (int c = 0; c < 5; ++c)
        setColumnWidth(c, ScaledPixels(widths[c]));
    // The entries' icons are scaled with the interface; the view would still
    // draw them at the style's 16 pixels.
    setIconSize(QSize(ScaledPixels(16), ScaledPixels(16)));
}

void CAcDopTreeWidget::ClearMark()
{
    if (m_highlighted >= 0) {
        if (QTreeWidgetItem* item = topLevelItem(m_highlighted))
            item->setDisabled(false);
    }
    m_highlighted = -1;
}

void CAcDopTreeWidget::SetLibraryPage(const CShowListWidget* page)
{
    m_libraryPage = page;
}

bool CAcDopTreeWidget::TakesDrops(const CListTreeItem* entry) const
{
    const int shown = m_libraryPage ? m_libraryPage->GetShownListId() : 0;
    return entry && entry->GetListType() >= kFirstPlayList && entry->GetListType() != shown;
}

void CAcDopTreeWidget::dragRelease()
{
    ClearMark();
}

void CAcDopTreeWidget::ItemLineEidtFocusOut(QFocusEvent* event)
{
    QTreeWidget::focusOutEvent(event);
    clearFocus();
}

void CAcDopTreeWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(QString::fromLatin1(CMusicInfoTreeWidget::MimeType))) {
        event->acceptProposedAction();
        return;   // the item model knows nothing of songs; its handling would refuse them
    }
    QTreeWidget::dragEnterEvent(event);
}

void CAcDopTreeWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasFormat(QString::fromLatin1(CMusicInfoTreeWidget::MimeType))) {
        auto* entry = dynamic_cast<CListTreeItem*>(itemAt(event->pos()));
        if (TakesDrops(entry)) {
            event->acceptProposedAction();
            const int row = indexOfTopLevelItem(entry);
            if (row != m_highlighted) {
                ClearMark();
                entry->setDisabled(true);   // drawn as the drop mark by the style sheet
                m_highlighted = row;
            }
            return;
        }
    }
    ClearMark();
    event->ignore();
}

void CAcDopTreeWidget::dragLeaveEvent(QDragLeaveEvent* event)
{
    ClearMark();
    QTreeWidget::dragLeaveEvent(event);
}

void CAcDopTreeWidget::dropEvent(QDropEvent* event)
{
    const QString type = QString::fromLatin1(CMusicInfoTreeWidget::MimeType);
    auto* entry = dynamic_cast<CListTreeItem*>(itemAt(event->pos()));
    if (event->mimeData()->hasFormat(type) && entry) {
        const QString payload = QString::fromUtf8(event->mimeData()->data(type));
        event->acceptProposedAction();
        ClearMark();
        entry->setDisabled(false);
        // Only play lists other than the shown one take songs; the move
        // handler refuses the rest, but a drop can still arrive without a
        // move before it.
        if (TakesDrops(entry))
            emit DragItemToList(payload, entry->GetListType());
        return;
    }
    ClearMark();
    event->ignore();
}

int CAcDopTreeWidget::WidestBadge() const
{
    int widest = 0;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (const QWidget* badge = itemWidget(topLevelItem(i), CListTreeItem::ColCount))
            widest = qMax(widest, badge->sizeHint().width());
    }
    return widest;
}

void CAcDopTreeWidget::SetCountWidth(int width)
{
    m_countWidth = qMax(ScaledPixels(30), width);
    setColumnWidth(CListTreeItem::ColCount, m_countWidth);
    // The columns before the name take 55 of the 85 design pixels left
    // beside it; the count column takes the rest.
    if (this->width() > ScaledPixels(200))
        setColumnWidth(CListTreeItem::ColName, this->width() - ScaledPixels(55) - m_countWidth);
}

void CAcDopTreeWidget::resizeEvent(QResizeEvent* event)
{
    if (event->size() != event->oldSize() && event->size().width() > ScaledPixels(200))
        SetCountWidth(m_countWidth);
    QTreeWidget::resizeEvent(event);
}

// ---------------------------------------------------------------- CLibItem

CLibItem::CLibItem(const QString& iconPath, const QString& text, QWidget* parent, bool selectable,
                   bool collapsible)
    : QFrame(parent)
    , m_selectable(selectable)
    , m_collapsible(collapsible)
{
    setFocusPolicy(Qt::ClickFocus);
    setFixedHeight(ScaledPixels(25));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(ScaledPixels(10), 0, ScaledPixels(10), 0);
    m_icon = new QLabel(this);
    const int side = ScaledPixels(16);
    QPixmap pix(iconPath);
    if (!pix.isNull())
        m_icon->setPixmap(pix.scaled(side, side));
    m_text = new QLabel(text, this);
    m_text->setStyleSheet(QStringLiteral("color:#FFFFFF;font-weight:bold;font-size:%1px;")
                              .arg(ScaledPixels(12)));
    layout->addWidget(m_icon);
    layout->addWidget(m_text);
    layout->addStretch();
    if (m_collapsible) {
        const int b = ScaledPixels(10);
        m_stack = new QStackedWidget(this);
        m_stack->setFixedSize(b, b);
        m_stack->hide();
        m_closeButton = new QToolButton(m_stack);
        m_openButton = new QToolButton(m_stack);
        m_openButton->setStyleSheet(MakeSkinButtonStyle(QStringLiteral("branch_close"), 10, 10));
        m_closeButton->setStyleSheet(MakeSkinButtonStyle(QStringLiteral("branch_open"), 10, 10));
        m_stack->addWidget(m_closeButton);   // page 0: open, offers closing
        m_stack->addWidget(m_openButton);    // page 1: closed, offers opening
        connect(m_openButton, &QToolButton::clicked, this, &CLibItem::ClickOpen);
        connect(m_closeButton, &QToolButton::clicked, this, &CLibItem::ClickClose);
        layout->addWidget(m_stack);
    }
}

void CLibItem::SetText(const QString& text)
{
    m_text->setText(text);
}

bool CLibItem::IsOpen() const
{
    return !m_stack || m_stack->currentIndex() == 0;
}

void CLibItem::ClickOpen()
{
    if (m_stack)
        m_stack->setCurrentIndex(0);
    emit ChangeStatus(true);
}

void CLibItem::ClickClose()
{
    if (m_stack)
        m_stack->setCurrentIndex(1);
    emit ChangeStatus(false);
}

void CLibItem::mousePressEvent(QMouseEvent* event)
{
    if (m_selectable)
        emit Selected();
    QFrame::mousePressEvent(event);
}

void CLibItem::enterEvent(QEvent* event)
{
    if (m_collapsible)
        m_stack->show();
    QFrame::enterEvent(event);
}

void CLibItem::leaveEvent(QEvent* event)
{
    if (m_collapsible)
        m_stack->hide();
    QFrame::leaveEvent(event);
}

// ---------------------------------------------------------------- CTreeLib

CTreeLib::CTreeLib(IRecordStateSource* recordState, QWidget* parent)
    : QScrollArea(parent)
    , m_recordState(recordState)
{
    setStyleSheet(QStringLiteral("background: transparent;outline:0px;"));
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setContentsMargins(0, 0, 0, 0);
    setFrameShape(QFrame::NoFrame);
    m_scrollBar = verticalScrollBar();
    m_scrollBar->setTracking(false);

    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("libFrame"));
    m_frame->setStyleSheet(QStringLiteral("QFrame#libFrame{margin: 0;min-width: %1;}").arg(ScaledPixels(205)));
    m_layout = new QVBoxLayout(m_frame);
    m_layout->setMargin(0);
    m_layout->setSpacing(0);
    m_layout->setContentsMargins(0, 0, 0, 0);

    m_libHeader = new CLibItem(QStringLiteral(":/prefix/res/icon_library.png"), tr("Library"), m_frame, false, false);
    m_playHeader = new CLibItem(QStringLiteral(":/prefix/res/icon_playlist.png"), tr("PlayList"), m_frame, false, true);
    m_libTree = new CAcDopTreeWidget(this);
    m_playTree = new CAcDopTreeWidget(this);

    m_menu = new QMenu(m_frame);
    m_menu->setStyleSheet(QStringLiteral("background-color:#5B2949;"));
    m_playAction = m_menu->addAction(tr("Play"));
    m_renameAction = m_menu->addAction(tr("Rename"));
    m_iTunesAction = m_menu->addAction(tr("Add to iTunes Library"));
    m_deleteAction = m_menu->addAction(tr("Delete"));

    m_deleteKeyTimer = new QTimer(this);
    m_deleteKeyTimer->setSingleShot(true);
    m_deleteKeyTimer->setInterval(200);

    QList<MusicListRow> lists;
    if (DB_GetMusicList(lists) != 0) {
        qWarning() << "CTreeLib::CTreeLib DB_GetMusicList failed";
        QMessageBox::critical(this, tr("Create Library Failed!"), tr("Get Library info failed!"),
                              QMessageBox::Cancel);
    }
    for (const MusicListRow& record : lists) {
        auto* item = new CListTreeItem(record, nullptr);
        AddEntry(item, record.ListId <= 2 ? m_libTree : m_playTree);
    }
    RenameSharedNames();

    connect(m_libHeader, &CLibItem::ChangeStatus, this, &CTreeLib::LibChangeStatus);
    connect(m_playHeader, &CLibItem::ChangeStatus, this, &CTreeLib::PlayListChangeStatus);
    connect(m_renameAction, &QAction::triggered, this, &CTreeLib::Rename);
    connect(m_libTree, &QTreeWidget::customContextMenuRequested, this, &CTreeLib::LibContextMenuRequested);
    connect(m_libTree, &QTreeWidget::currentItemChanged, this, &CTreeLib::itemClick);
    connect(m_playTree, &QTreeWidget::customContextMenuRequested, this, &CTreeLib::PlayListContextMenuRequested);
    connect(m_playTree, &QTreeWidget::currentItemChanged, this, &CTreeLib::itemClick);
    connect(m_playTree, &QTreeWidget::itemDoubleClicked, this, &CTreeLib::itemDoubleClick);
    connect(m_playTree, &QTreeWidget::itemChanged, this, &CTreeLib::itemChange);
    connect(this, &CTreeLib::NewListAdded, this, &CTreeLib::MoveToBottom);

    m_layout->addWidget(m_libHeader);
    m_layout->addWidget(m_libTree);
    m_layout->addWidget(m_playHeader);
    m_layout->addWidget(m_playTree);
    m_layout->addStretch();
    setWidget(m_frame);

    m_playTreeHeight = (m_items.size() - 2) * ScaledPixels(25) + ScaledPixels(5);
    ApplyPlayTreeHeight();
}

CTreeLib::~CTreeLib() = default;

void CTreeLib::SetLibraryPage(const CShowListWidget* page)
{
    m_libraryPage = page;
    m_libTree->SetLibraryPage(page);
    m_playTree->SetLibraryPage(page);
}

void CTreeLib::AddEntry(CListTreeItem* item, CAcDopTreeWidget* tree)
{
    tree->addTopLevelItem(item);
    tree->setItemWidget(item, CListTreeItem::ColCount, item->Badge());
    tree->setItemWidget(item, CListTreeItem::ColGap, new QWidget);
    m_items.append(item);
}

void CTreeLib::ApplyPlayTreeHeight()
{
    m_playTree->setFixedHeight(qMax(0, m_playTreeHeight));
}

CListTreeItem* CTreeLib::FindList(int listId) const
{
    for (CListTreeItem* item : m_items) {
        if (item->GetListType() == listId)
            return item;
    }
    return nullptr;
}

QString CTreeLib::FreeListName(const QString& wanted, const CListTreeItem* self) const
{
    QSet<QString> taken;
    for (const CListTreeItem* item : m_items) {
        if (item != self)
            taken.insert(item->GetListName());
    }
    if (!taken.contains(wanted))
        return wanted;
    static const QRegularExpression numbered(QStringLiteral("^(.*\\S)\\s+\\d+$"));
    const QRegularExpressionMatch match = numbered.match(wanted);
    const QString base = match.hasMatch() ? match.captured(1) : wanted;
    for (int n = 1;; ++n) {
        const QString candidate = base + QLatin1Char(' ') + QString::number(n);
        if (!taken.contains(candidate))
            return candidate;
    }
}

void CTreeLib::RenameSharedNames()
{
    QSet<QString> seen;
    for (CListTreeItem* item : qAsConst(m_items)) {
        const bool shared = seen.contains(item->GetListName());
        seen.insert(item->GetListName());
        if (!shared || item->GetListType() < kFirstPlayList)
            continue;
        const QString name = FreeListName(item->GetListName(), item);
        qWarning() << "CTreeLib: list" << item->GetListType() << "shared its name, now" << name;
        const QSignalBlocker block(m_playTree);
        item->setText(CListTreeItem::ColName, name);
        DB_UpdateMusicList(item->GetListType(), name);
        seen.insert(name);
    }
}

void CTreeLib::PrepareContextMenu(CListTreeItem* entry)
{
    const int count = entry->GetQuantity();
    m_playAction->setEnabled(!IsRecordingBusy(m_recordState) && count >= 1);
    m_iTunesAction->setEnabled(count >= 1);
    const bool playList = entry->GetListType() >= kFirstPlayList;
    m_renameAction->setEnabled(playList);
    m_deleteAction->setEnabled(playList);
}

void CTreeLib::PopupMenu(const QPoint& globalPos)
{
    m_menu->exec(globalPos);
}

void CTreeLib::ContextMenuAt(CAcDopTreeWidget* tree, const QPoint& pos)
{
    QTreeWidgetItem* under = tree->itemAt(pos);
    if (!under)
        return;
    auto* entry = dynamic_cast<CListTreeItem*>(tree->currentItem());
    if (!entry)
        entry = dynamic_cast<CListTreeItem*>(under);
    if (!entry)
        return;
    PrepareContextMenu(entry);
    // The menu's actions may delete the entry (Delete, after its question):
    // it is found again by its list id, never touched through the pointer.
    const int listId = entry->GetListType();
    PopupMenu(tree->viewport()->mapToGlobal(pos));
    if (CListTreeItem* still = FindList(listId))
        itemClick(still);
}

void CTreeLib::LibContextMenuRequested(const QPoint pos)
{
    ContextMenuAt(m_libTree, pos);
}

void CTreeLib::PlayListContextMenuRequested(const QPoint pos)
{
    ContextMenuAt(m_playTree, pos);
}

void CTreeLib::Rename()
{
    QTreeWidgetItem* current = m_playTree->currentItem();
    if (!current)
        return;
    itemClick(current);
    // Only an editor that really opens clears the flag again as it goes.
    if (current->flags() & Qt::ItemIsEditable) {
        m_playTree->editItem(current, CListTreeItem::ColName);
        ListNameEditing = true;
    }
}

void CTreeLib::SelectRecording()
{
}

void CTreeLib::itemClick(QTreeWidgetItem* current, QTreeWidgetItem*)
{
    auto* entry = dynamic_cast<CListTreeItem*>(current);
    if (!entry)
        return;
    if (m_items.indexOf(entry) >= 2) {
        m_libTree->clearSelection();
        m_libTree->setCurrentItem(nullptr);
    } else {
        m_playTree->clearSelection();
        m_playTree->setCurrentItem(nullptr);
    }
    emit SelectChanged(entry->GetListType());
}

void CTreeLib::itemDoubleClick(QTreeWidgetItem* item, int column)
{
    if (column != CListTreeItem::ColName || !item)
        return;
    if (m_playTree->currentItem() != item)
        m_playTree->setCurrentItem(item);
    Rename();
}

void CTreeLib::LibChangeStatus(bool open)
{
    m_libTree->setVisible(open);
}

void CTreeLib::PlayListChangeStatus(bool open)
{
    m_playTree->setVisible(open);
    if (!open && m_libraryPage && m_libraryPage->GetShownListId() > 2) {
        m_playTree->clearSelection();
        emit SelectChanged(1);
        if (!m_items.isEmpty())
            m_items.first()->setSelected(true);
    }
}

void CTreeLib::MoveToBottom()
{
    m_scrollBar->setValue(m_scrollBar->maximum());
}

void CTreeLib::SetListItemNum(int listId, int num)
{
    for (CListTreeItem* item : m_items) {
        if (item->GetListType() == listId)
            item->SetQuantity(num);
    }
    FitCountColumns();
}

void CTreeLib::FitCountColumns()
{
    const int widest = qMax(m_libTree->WidestBadge(), m_playTree->WidestBadge());
    m_libTree->SetCountWidth(widest);
    m_playTree->SetCountWidth(widest);
}

void CTreeLib::itemChange(QTreeWidgetItem* item, int column)
{
    auto* entry = dynamic_cast<CListTreeItem*>(item);
    if (!entry || column != CListTreeItem::ColName)
        return;
    QString bare = entry->text(column);
    bare.remove(QLatin1Char(' '));
    if (bare.isEmpty()) {
        ShowStoredListName(entry);
        return;
    }
    // Another list's name would give two identical entries in "Add to
    // playlist": the new name is numbered instead.
    const QString name = entry->GetListType() >= kFirstPlayList ? FreeListName(entry->GetListName(), entry)
                                                                 : entry->GetListName();
    if (name != entry->GetListName()) {
        const QSignalBlocker block(m_playTree);
        entry->setText(CListTreeItem::ColName, name);
    }
    emit listNameChanged(item);
}

void CTreeLib::ShowStoredListName(CListTreeItem* entry)
{
    QString stored;
    DB_GetMusicListName(entry->GetListType(), stored);
    const QSignalBlocker block(m_playTree);
    entry->setText(CListTreeItem::ColName, stored);
}

CListTreeItem* CTreeLib::AddNewList()
{
    const int listId = CreatePrimaryKey(QStringLiteral("MusicList"), QStringLiteral("ListId"), 1, kMaxLists);
    if (listId == -1) {
        QList<DialogButtonInfo> buttons;
        buttons.append({QDialogButtonBox::Cancel, tr("Cancel"), false});
        buttons.append({QDialogButtonBox::Ok, tr("Ok"), true});
        AskLibraryQuestion(this, tr("The number of playlists has reached the maximum.\nNote: the maximum playlists are 999.\n"),
                           buttons);
        return nullptr;
    }
    QString name;
    DB_GetNewListName(name);
    // The fixed lists show translated names the library does not hold.
    name = FreeListName(name, nullptr);

    disconnect(m_playTree, &QTreeWidget::itemChanged, this, &CTreeLib::itemChange);
    auto* item = new CListTreeItem(MusicListRow{listId, 0, name}, m_playTree);
    connect(m_playTree, &QTreeWidget::itemChanged, this, &CTreeLib::itemChange);

    const QString error = DB_SetMusicList(listId, name);
    if (!error.isNull()) {
        qWarning() << "CTreeLib::AddNewList" << error;
        QMessageBox::critical(this, tr("Create List Failed!"), error, QMessageBox::Cancel);
        delete item;
        return nullptr;
    }

    const int row = ScaledPixels(25);
    m_playTreeHeight += row;
    ApplyPlayTreeHeight();
    m_items.append(item);
    disconnect(m_playTree, &QTreeWidget::currentItemChanged, this, &CTreeLib::itemClick);
    m_playTree->setItemWidget(item, CListTreeItem::ColCount, item->Badge());
    m_playTree->setItemWidget(item, CListTreeItem::ColGap, new QWidget);
    m_playTree->setCurrentItem(item);
    connect(m_playTree, &QTreeWidget::currentItemChanged, this, &CTreeLib::itemClick);

    m_playHeader->ClickOpen();
    m_frame->setFixedHeight(m_frame->height() + row);
    if (m_scrollBar->maximum() > 0)
        m_scrollBar->setMaximum(m_scrollBar->maximum() + row);

    Rename();
    m_scrollBar->setValue(m_scrollBar->maximum());
    return item;
}

int CTreeLib::DeleteItem()
{
    auto* entry = dynamic_cast<CListTreeItem*>(m_playTree->currentItem());
    if (!entry)
        return -1;
    qDebug() << "CTreeLib::DeleteItem item: " << static_cast<void*>(entry) << " ID: " << entry->GetListType();
    const int listId = entry->GetListType();
    if (listId < kFirstPlayList)
        return -1;
    DB_DeleteMusicList(listId);
    disconnect(m_playTree, &QTreeWidget::currentItemChanged, this, &CTreeLib::itemClick);
    m_playTree->takeTopLevelItem(m_playTree->indexOfTopLevelItem(entry));
    connect(m_playTree, &QTreeWidget::currentItemChanged, this, &CTreeLib::itemClick);
    m_playTreeHeight -= ScaledPixels(25);
    ApplyPlayTreeHeight();
    m_items.removeOne(entry);
    delete entry;
    return listId;
}

int CTreeLib::GetCurrentListId() const
{
    auto* entry = dynamic_cast<CListTreeItem*>(m_playTree->currentItem());
    return entry ? entry->GetListType() : 0;
}

int CTreeLib::GetNextListId() const
{
    auto* entry = dynamic_cast<CListTreeItem*>(m_playTree->currentItem());
    const int at = m_items.indexOf(entry);
    if (at < 0)
        return 1;
    if (at + 1 < m_items.size())
        return m_items.at(at + 1)->GetListType();
    return at > 0 ? m_items.at(at - 1)->GetListType() : 1;
}

void CTreeLib::SelectList(int listId)
{
    CListTreeItem* entry = FindList(listId);
    if (!entry)
        return;
    if (listId < 3) {
        m_libTree->setCurrentItem(entry);
        m_playTree->clearSelection();
    } else {
        m_playTree->setCurrentItem(entry);
        m_libTree->clearSelection();
    }
    emit SelectChanged(listId);
}

void CTreeLib::RetranslateUi()
{
    m_libHeader->SetText(tr("Library"));
    m_playHeader->SetText(tr("PlayList"));
    m_playAction->setText(tr("Play"));
    m_renameAction->setText(tr("Rename"));
    m_iTunesAction->setText(tr("Add to iTunes Library"));
    m_deleteAction->setText(tr("Delete"));
    for (CListTreeItem* item : m_items) {
        switch (item->GetListType()) {
        case 1: item->setText(CListTreeItem::ColName, tr("All Recordings")); break;
        case 2: item->setText(CListTreeItem::ColName, tr("New Recordings")); break;
        case 3: item->setText(CListTreeItem::ColName, tr("Recently Played")); break;
        default: break;
        }
    }
}

void CTreeLib::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier)
        emit deleteActionTrigger();
    QScrollArea::keyReleaseEvent(event);
}

void CTreeLib::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    const int w = qMax(event->size().width(), ScaledPixels(205));
    emit ResizeChanged(QRect(0, 0, w, event->size().height()));
    const int row = ScaledPixels(25);
    m_libHeader->setFixedSize(w, row);
    m_playHeader->setFixedSize(w, row);
    m_libTree->setFixedSize(w, ScaledPixels(52));
    m_playTreeHeight = (m_items.size() - 2) * row + ScaledPixels(5);
    m_playTree->setFixedSize(w, qMax(0, m_playTreeHeight));
    const int extra = m_libTree->isHidden() ? ScaledPixels(75) : ScaledPixels(125);
    // A fixed height, so the scroll area's own resizing keeps it.
    m_frame->setFixedHeight(m_playTreeHeight + extra);
    m_frame->resize(w, m_playTreeHeight + extra);
    // The library page sets the counts after the panel is built.
    FitCountColumns();
    emit ResizeChanged(QRect(0, 0, w, m_frame->height()));
}
