#include "CFilterEdit.h"

#include "CMToolButton.h"

#include <QCursor>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QListView>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QTimer>

namespace {
// The type id of a row, also the column the library filters by.
constexpr int kTypeIdRole = Qt::UserRole + 1;
constexpr int kDebounceMs = 500;
}  // namespace

CFilterEdit::PopWindow::PopWindow(QWidget* parent) : QWidget(parent) {
  setWindowFlags(Qt::Popup);
  setAttribute(Qt::WA_TranslucentBackground, true);
  setContentsMargins(0, 0, 0, 0);
  setFocusPolicy(Qt::NoFocus);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
}

CFilterEdit::PopWindow::~PopWindow() = default;

CFilterEdit::CFilterEdit(const QString& defaultText, QWidget* parent) : CFocusNotiFlyEdit(parent) {
  m_defaultText = defaultText;
  setText(m_defaultText);
  setObjectName(QStringLiteral("filterEdit"));

  m_filterButton = new CMToolButton(this);
  m_filterButton->setObjectName(QStringLiteral("FilterBtn"));
  m_filterButton->setCursor(Qt::ArrowCursor);
  connect(m_filterButton, &QToolButton::clicked, this, &CFilterEdit::showFilterType);

  m_typeButton = new CMToolButton(this);
  m_typeButton->setObjectName(QStringLiteral("filerTypeBtn"));
  m_typeButton->setFocusPolicy(Qt::NoFocus);
  m_typeButton->setCursor(Qt::ArrowCursor);
  m_typeButton->setToolTip(tr("Filter"));
  connect(m_typeButton, &QToolButton::clicked, this, &CFilterEdit::showFilterType);

  m_clearButton = new CMToolButton(this);
  m_clearButton->setObjectName(QStringLiteral("clearBtn"));
  m_clearButton->setCursor(Qt::ArrowCursor);
  m_clearButton->setToolTip(tr("Clear"));
  m_clearButton->hide();
  connect(m_clearButton, &QToolButton::clicked, this, &CFilterEdit::clearText);

  // The buttons sit inside the edit's frame, over its text area.
  auto* layout = new QHBoxLayout(this);
  layout->setSpacing(0);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_filterButton, 0, Qt::AlignLeft);
  layout->addWidget(m_typeButton, 0, Qt::AlignLeft);
  layout->addStretch();
  layout->addWidget(m_clearButton, 0, Qt::AlignRight);

  m_popup = new PopWindow(this);
  m_popup->setObjectName(QStringLiteral("popWindow"));
  m_popup->hide();
  m_typeList = new QListView(m_popup);
  m_typeList->setObjectName(QStringLiteral("filterListView"));
  m_typeList->setFrameShape(QFrame::NoFrame);
  m_typeList->setSelectionMode(QAbstractItemView::SingleSelection);
  m_typeList->setFocusPolicy(Qt::NoFocus);
  m_typeModel = new QStandardItemModel(this);
  m_typeList->setModel(m_typeModel);
  m_popup->layout()->addWidget(m_typeList);
  connect(m_typeList, &QListView::clicked, this, &CFilterEdit::filterTypeSelected);

  m_timer = new QTimer(this);
  m_timer->setSingleShot(true);
  m_timer->setInterval(kDebounceMs);
  // A coarse timer may fire 5% early or late: 475 to 525 ms after the last
  // key, which the user waits for on top of the filtering itself.
  m_timer->setTimerType(Qt::PreciseTimer);
  connect(m_timer, &QTimer::timeout, this, &CFilterEdit::emtiFilterChanged);
  // Only the user's edits start it; setText() by the program does not.
  connect(this, &QLineEdit::textEdited, m_timer, static_cast<void (QTimer::*)()>(&QTimer::start));
}

CFilterEdit::~CFilterEdit() = default;

void CFilterEdit::ResetFilter(const QString& defaultText) {
  m_defaultText = defaultText;
  m_typeModel->clear();
  setText(m_defaultText);
  m_clearButton->setToolTip(tr("Clear"));
}

void CFilterEdit::AddFilterType(const QString& text, int id) {
  auto* item = new QStandardItem(text);
  item->setData(id, kTypeIdRole);
  item->setData(Qt::Unchecked, Qt::CheckStateRole);
  m_typeModel->appendRow(item);
  if (!m_typeList->currentIndex().isValid()) m_typeList->setCurrentIndex(m_typeModel->indexFromItem(item));
}

void CFilterEdit::SelectFilterType(int id) {
  for (int row = 0; row < m_typeModel->rowCount(); ++row) {
    const QModelIndex index = m_typeModel->index(row, 0);
    if (index.data(kTypeIdRole).toInt() == id) {
      m_typeList->setCurrentIndex(index);
      m_currentType = id;
      return;
    }
  }
}

void CFilterEdit::emtiFilterChanged() {
  m_timer->stop();
  const QModelIndex current = m_typeList->currentIndex();
  // Without any type the filter searches all columns (type 0); callers always
  // add types before the user can type, so this only guards an empty list.
  m_currentType = current.isValid() ? current.data(kTypeIdRole).toInt() : 0;
  const QString shown = this->text();
  const QString filterText = shown == m_defaultText ? QString() : shown;
  emit filter(m_currentType, filterText);
  UpdateClearButton();
}

void CFilterEdit::clearText() {
  setText(QString());
  emtiFilterChanged();
}

void CFilterEdit::showFilterType() {
  if (m_popup->isHidden()) {
    m_popup->move(mapToGlobal(QPoint(m_filterButton->width(), height())));
    m_popup->show();
    setFocus(Qt::OtherFocusReason);
  } else {
    m_popup->hide();
    setFocus(Qt::OtherFocusReason);
  }
}

void CFilterEdit::filterTypeSelected(const QModelIndex&) {
  emtiFilterChanged();
  m_popup->hide();
}

void CFilterEdit::UpdateClearButton() {
  const QString shown = text();
  m_clearButton->setVisible(!shown.isEmpty() && shown != m_defaultText);
}

void CFilterEdit::mousePressEvent(QMouseEvent* event) {
  if (text() == m_defaultText) setText(QString());
  m_popup->hide();
  QLineEdit::mousePressEvent(event);
}

void CFilterEdit::keyPressEvent(QKeyEvent* event) { QLineEdit::keyPressEvent(event); }

void CFilterEdit::focusInEvent(QFocusEvent* event) {
  if (text() == m_defaultText) setText(QString());
  CFocusNotiFlyEdit::focusInEvent(event);
}

void CFilterEdit::focusOutEvent(QFocusEvent* event) {
  if (text().isEmpty()) setText(m_defaultText);
  if (!rect().contains(mapFromGlobal(QCursor::pos()))) m_popup->hide();
  CFocusNotiFlyEdit::focusOutEvent(event);
}

void CFilterEdit::resizeEvent(QResizeEvent* event) { QWidget::resizeEvent(event); }
