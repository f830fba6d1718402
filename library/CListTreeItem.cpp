#include "CListTreeItem.h"

#include "InterfaceScale.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QObject>
#include <QPixmap>

CQuantityWidget::CQuantityWidget(int num, QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(ScaledPixels(25));
    auto* layout = new QHBoxLayout(this);
    const int m = ScaledPixels(5);
    layout->setContentsMargins(0, m, m, m);
    m_label = new QLabel(this);
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    // A dark count on the white badge: the tree's white item text would vanish.
    m_label->setStyleSheet(QStringLiteral("background-color:#FFFFFF;color:#5B2949;border-radius:%1px;font-size:%2px;")
                               .arg(ScaledPixels(7))
                               .arg(ScaledPixels(12)));
    layout->addWidget(m_label);
    layout->addStretch();
    SetNum(num);
}

void CQuantityWidget::SetNum(int num)
{
    const QString text = QString::number(num);
    m_label->setText(text);
    m_label->setFixedWidth(m_label->fontMetrics().horizontalAdvance(text) + ScaledPixels(20));
}

int CQuantityWidget::GetNum() const
{
    return m_label->text().toInt();
}

QString CListTreeItem::FixedListName(int listId)
{
    switch (listId) {
    case 1: return QObject::tr("All Recordings");
    case 2: return QObject::tr("New Recordings");
    case 3: return QObject::tr("Recently Played");
    default: return QString();
    }
}

CListTreeItem::CListTreeItem(MusicListRow record, QTreeWidget* parent)
    : QTreeWidgetItem(parent)
    , m_listId(record.ListId)
{
    static const char* const kIcons[] = {"icon_allrecordings", "icon_newly", "icon_recently"};
    const char* icon = (m_listId >= 1 && m_listId <= 3) ? kIcons[m_listId - 1] : "icon_list";
    const int side = ScaledPixels(16);
    QPixmap pix(QStringLiteral(":/prefix/res/%1.png").arg(QLatin1String(icon)));
    if (!pix.isNull())
        setIcon(ColIcon, QIcon(pix.scaled(side, side)));

    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (m_listId > 3)
        flags |= Qt::ItemIsEditable;
    setFlags(flags);

    setText(ColName, m_listId <= 3 && m_listId >= 1 ? FixedListName(m_listId) : record.ListName);
    m_badge = new CQuantityWidget(record.ItemCount);
}

CListTreeItem::~CListTreeItem()
{
    // Until a tree shows it the badge has no parent and belongs to the entry.
    if (m_badge && !m_badge->parent())
        delete m_badge.data();
}

int CListTreeItem::GetQuantity() const
{
    return m_badge ? m_badge->GetNum() : 0;
}

void CListTreeItem::SetQuantity(int num)
{
    if (m_badge)
        m_badge->SetNum(num);
}
