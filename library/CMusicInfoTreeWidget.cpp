#include "CMusicInfoTreeWidget.h"

#include "CTreeWidgetItem.h"
#include "InterfaceScale.h"

#include <QApplication>
#include <QDrag>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QUrl>

const char* const CMusicInfoTreeWidget::MimeType = "application/sonacap";

namespace {
constexpr quint16 kShiftBit = 1;
constexpr quint16 kControlBit = 2;

struct ColumnSpec {
    int width;   // design pixels; 0 keeps Qt's default
    bool fixed;
};
const ColumnSpec kColumns[CTreeWidgetItem::ColumnCount] = {
    {1, true}, {20, true}, {100, false}, {80, false}, {120, false},
    {120, false}, {80, false}, {130, false}, {20, true}, {0, false},
};
} // namespace

CMusicInfoTreeWidget::CMusicInfoTreeWidget(QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("musicInfoTreeWidget"));
    const QString size = QString::number(12 * GetInterfaceScale(), 'g');
    setStyleSheet(QStringLiteral(
        "QTreeWidget#musicInfoTreeWidget{background: transparent;margin: 0;border: 0;font-size: %1px;outline:0px;} "
        "QTreeWidget#musicInfoTreeWidget::item{color: #FFFFFF;} "
        "QTreeWidget#musicInfoTreeWidget::item:selected{border-image: url(:/prefix/res/tasklist_selected.png);}")
                      .arg(size));

    auto* hbar = new QScrollBar(Qt::Horizontal, this);
    hbar->setObjectName(QStringLiteral("treeHScrBar"));
    setHorizontalScrollBar(hbar);

    setFocusPolicy(Qt::NoFocus);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setAutoScroll(true);
    // Lets a press on a row of a multiple selection keep the selection for
    // the drag; the drag itself is ours (mouseMoveEvent), never Qt's.
    setDragEnabled(true);

    setColumnCount(CTreeWidgetItem::ColumnCount);
    for (int c = 0; c < CTreeWidgetItem::ColumnCount; ++c) {
        if (kColumns[c].width > 0)
            setColumnWidth(c, ScaledPixels(kColumns[c].width));
    }
    setSortingEnabled(true);
    setUniformRowHeights(true);

    m_header = headerItem();
    QPixmap playing(QStringLiteral(":/prefix/res/headertitle_playing.png"));
    if (!playing.isNull())
        m_header->setIcon(CTreeWidgetItem::ColNotice, QIcon(playing.scaled(11, 10)));
    RetranslateHeader();

    QHeaderView* hv = header();
    hv->setSortIndicator(CTreeWidgetItem::ColDate, Qt::DescendingOrder);
    hv->setSortIndicatorShown(true);
    hv->setSectionsMovable(false);
    for (int c = 0; c < CTreeWidgetItem::ColumnCount; ++c)
        hv->setSectionResizeMode(c, kColumns[c].fixed ? QHeaderView::Fixed : QHeaderView::Interactive);
}

void CMusicInfoTreeWidget::RetranslateHeader()
{
    m_header->setText(CTreeWidgetItem::ColNotice, QString());
    m_header->setText(CTreeWidgetItem::ColName, tr("Name"));
    m_header->setText(CTreeWidgetItem::ColTime, tr("Time"));
    m_header->setText(CTreeWidgetItem::ColArtist, tr("Artist"));
    m_header->setText(CTreeWidgetItem::ColAlbum, tr("Album"));
    m_header->setText(CTreeWidgetItem::ColGenre, tr("Genre"));
    m_header->setText(CTreeWidgetItem::ColDate, tr("Date Added"));
    m_header->setText(CTreeWidgetItem::ColPad, QString());
    m_header->setText(CTreeWidgetItem::ColRest, QString());
}

QList<CTreeWidgetItem*> CMusicInfoTreeWidget::GetSelectedItems() const
{
    QList<CTreeWidgetItem*> rows;
    const QList<QTreeWidgetItem*> selected = selectedItems();
    rows.reserve(selected.size());
    for (QTreeWidgetItem* item : selected) {
        if (item->isHidden())
            continue;
        if (auto* row = dynamic_cast<CTreeWidgetItem*>(item))
            rows.append(row);
    }
    return rows;
}

CTreeWidgetItem* CMusicInfoTreeWidget::GetCurrentVisibleItem() const
{
    QTreeWidgetItem* current = currentItem();
    if (!current)
        return nullptr;
    if (!current->isHidden())
        return dynamic_cast<CTreeWidgetItem*>(current);
    const int at = indexOfTopLevelItem(current);
    const int count = topLevelItemCount();
    for (int i = at + 1; i < count; ++i) {
        if (!IsRowHiddenAt(i))
            return dynamic_cast<CTreeWidgetItem*>(topLevelItem(i));
    }
    for (int i = at - 1; i >= 0; --i) {
        if (!IsRowHiddenAt(i))
            return dynamic_cast<CTreeWidgetItem*>(topLevelItem(i));
    }
    return nullptr;
}

int CMusicInfoTreeWidget::GetVisibleIndex(QTreeWidgetItem* item) const
{
    if (!item || item->isHidden())
        return -1;
    const int at = indexOfTopLevelItem(item);
    if (at < 0)
        return -1;
    int n = 0;
    for (int i = 0; i < at; ++i) {
        if (!IsRowHiddenAt(i))
            ++n;
    }
    return n;
}

CTreeWidgetItem* CMusicInfoTreeWidget::GetVisibleItem(int n) const
{
    if (n < 0)
        return nullptr;
    const int count = topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        if (IsRowHiddenAt(i))
            continue;
        if (n-- == 0)
            return dynamic_cast<CTreeWidgetItem*>(topLevelItem(i));
    }
    return nullptr;
}

int CMusicInfoTreeWidget::GetVisibleItemCount() const
{
    int n = 0;
    const int count = topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        if (!IsRowHiddenAt(i))
            ++n;
    }
    return n;
}

bool CMusicInfoTreeWidget::IsRowHiddenAt(int row) const
{
    return isRowHidden(row, QModelIndex());
}

void CMusicInfoTreeWidget::SetRowHiddenAt(int row, bool hide)
{
    if (isRowHidden(row, QModelIndex()) != hide)
        setRowHidden(row, QModelIndex(), hide);
}

void CMusicInfoTreeWidget::SetCurrentVisibleIndex(int n)
{
    if (CTreeWidgetItem* item = GetVisibleItem(n))
        setCurrentItem(item);
}

void CMusicInfoTreeWidget::UpdateModifiers(QKeyEvent* event, bool pressed)
{
    quint16 bit = 0;
    if (event->key() == Qt::Key_Shift)
        bit = kShiftBit;
    else if (event->key() == Qt::Key_Control)
        bit = kControlBit;
    if (pressed)
        m_modifiers |= bit;
    else
        m_modifiers &= static_cast<quint16>(~bit);
}

void CMusicInfoTreeWidget::ReleaseModifierKey(QKeyEvent* event)
{
    if (event)
        UpdateModifiers(event, false);
}

void CMusicInfoTreeWidget::keyPressEvent(QKeyEvent* event)
{
    QTreeWidget::keyPressEvent(event);
    UpdateModifiers(event, true);
}

void CMusicInfoTreeWidget::keyReleaseEvent(QKeyEvent* event)
{
    QTreeWidget::keyReleaseEvent(event);
    UpdateModifiers(event, false);
}

void CMusicInfoTreeWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->pos().x() > width() - 5) {
        emit borderPressed();
        return;
    }
    QTreeWidgetItem* item = itemAt(event->pos());
    if (!item)
        return;   // a press on empty space keeps the selection
    const bool wasSelected = item->isSelected();
    QTreeWidget::mousePressEvent(event);
    // The forwarded key state can miss a modifier held while the list had no
    // focus; the event's own modifiers are the reliable second source.
    const bool modifierHeld = m_modifiers != 0
        || (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if (!wasSelected && !modifierHeld) {
        clearSelection();
        item->setSelected(true);
    }
    m_pressed = true;
}

void CMusicInfoTreeWidget::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressed = false;
    emit mouseRelease();
    QTreeWidget::mouseReleaseEvent(event);
}

void CMusicInfoTreeWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (QTreeWidgetItem* item = itemAt(event->pos()))
            emit itemLeftButtonDoubleClicked(item);
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

QByteArray CMusicInfoTreeWidget::DragPayload(const QList<CTreeWidgetItem*>& rows)
{
    QString ids;
    for (CTreeWidgetItem* row : rows)
        ids += QString::number(row->GetMusicId()) + QLatin1Char(' ');
    return ids.toUtf8();
}

QPixmap CMusicInfoTreeWidget::DragPixmap(int count)
{
    const int side = ScaledPixels(50);
    QPixmap picture(QStringLiteral(":/prefix/res/dragmusicfile.png"));
    if (picture.isNull()) {
        picture = QPixmap(side, side);
        picture.fill(Qt::transparent);
    } else {
        picture = picture.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    if (count > 1) {
        QPainter painter(&picture);
        QFont font = QApplication::font();
        font.setPointSize(9);
        painter.setFont(font);
        const QString text = QString::number(count);
        const int d = qMax(15, QFontMetrics(font).horizontalAdvance(text) + 4);
        const QRect square(picture.width() - d, picture.height() - d, d, d);
        QPixmap badge(QStringLiteral(":/prefix/res/dragnumber.png"));
        if (!badge.isNull()) {
            const int b = ScaledPixels(20);
            painter.drawPixmap(square, badge.scaled(b, b));
        } else {
            painter.setBrush(QColor(0xC0, 0x30, 0x30));
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(square);
        }
        painter.setPen(Qt::white);
        painter.drawText(square, Qt::AlignCenter, text);
    }
    return picture;
}

void CMusicInfoTreeWidget::RunDrag(QMimeData* data, const QPixmap& picture)
{
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(picture);
    drag->exec(Qt::CopyAction);
}

void CMusicInfoTreeWidget::mouseMoveEvent(QMouseEvent* event)
{
    // Moving never selects: the base handler is not called.
    if (!m_pressed || m_dragging || !itemAt(event->pos()))
        return;
    const QList<CTreeWidgetItem*> rows = GetSelectedItems();
    if (rows.isEmpty())
        return;
    m_dragging = true;

    QList<QUrl> urls;
    for (CTreeWidgetItem* row : rows)
        urls.append(QUrl::fromLocalFile(row->GetMusicPath()));
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(MimeType), DragPayload(rows));
    data->setUrls(urls);

    RunDrag(data, DragPixmap(rows.size()));

    m_pressed = false;
    m_dragging = false;
    emit itemDragReleased();
}

void CMusicInfoTreeWidget::resizeEvent(QResizeEvent* event)
{
    QTreeWidget::resizeEvent(event);
}
