#include "CReadyWidget.h"

#include "CAppSettings.h"
#include "InterfaceScale.h"
#include "SkinButtonStyle.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolButton>

CReadyWidget::CReadyWidget(void* device, QWidget* parent) : QFrame(parent), m_device(device) {
  const double s = GetInterfaceScale();
  setFocusPolicy(Qt::ClickFocus);
  setObjectName(QStringLiteral("ReadWidget"));

  m_content = new QWidget(this);
  m_content->setObjectName(QStringLiteral("readyContent"));

  const QString tabs(9, QLatin1Char('\t'));
  const QString boldTemplate = QStringLiteral("QLabel{color: #FFFFFF;") + tabs + QStringLiteral("font-size: %1px;") +
                               tabs + QStringLiteral("font-weight: bold;}");

  m_headline = new QLabel(m_content);
  m_headline->setObjectName(QStringLiteral("readyHeadline"));
  m_headline->setMinimumHeight(ScaledPixels(50));
  m_headline->setStyleSheet(boldTemplate.arg(24 * s));

  m_firstHint = new QLabel(m_content);
  m_firstHint->setObjectName(QStringLiteral("readyFirstHint"));
  m_firstHint->setStyleSheet((QStringLiteral("QLabel{color: #FFFFFF;") + tabs + QStringLiteral("font-size: %2px;") +
                              tabs + QStringLiteral("font-weight: bold;") + tabs +
                              QStringLiteral("margin: 15 0 0 0;}"))
                                 .arg(14 * s));

  m_secondHint = new QLabel(m_content);
  m_secondHint->setObjectName(QStringLiteral("readySecondHint"));
  m_secondHint->setStyleSheet(boldTemplate.arg(14 * s));

  m_sourcesButton = new QToolButton(m_content);
  m_sourcesButton->setObjectName(QStringLiteral("readySourcesButton"));
  m_sourcesButton->setStyleSheet(MakeSkinButtonStyle(QStringLiteral("step_sources"), 98, 50));
  m_recordButton = new QToolButton(m_content);
  m_recordButton->setObjectName(QStringLiteral("readyRecordButton"));
  m_recordButton->setStyleSheet(MakeSkinButtonStyle(QStringLiteral("step_record"), 63, 63));

  m_secondRow = new QHBoxLayout;
  m_secondRow->setContentsMargins(ScaledPixels(3), 0, 0, 0);
  m_secondRow->addWidget(m_secondHint);
  m_secondRow->addSpacing(ScaledPixels(5));
  m_secondRow->addWidget(m_recordButton);
  m_secondRow->addStretch();

  m_form = new QFormLayout(m_content);
  m_form->addRow(m_headline);
  m_form->addRow(m_firstHint, m_sourcesButton);
  m_form->addRow(m_secondRow);

  Retranslate();
}

CReadyWidget::~CReadyWidget() = default;

void CReadyWidget::Retranslate() {
  m_headline->setText(tr("Refresh Your Enjoyment!"));
  m_firstHint->setText(tr("1,Choose the audio source by clicking"));
  m_secondHint->setText(tr("2,Start recording by clicking"));
}

void CReadyWidget::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  if (event->size().width() == event->oldSize().width()) return;
  const QSize size = event->size();
  m_content->setGeometry(int(size.width() * 0.41), int(size.height() * 0.39), ScaledPixels(450),
                         ScaledPixels(290));
}

void CReadyWidget::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  const QPixmap& background = m_background.Get(size(), [](QPainter& painter, const QSize& size) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRect whole(QPoint(0, 0), size);
    const QImage back = CBackgroundCache::LoadPicture(
        QStringLiteral(":/prefix/res/main background/recording_mbg_%1.png").arg(CAppSettings::GetInstance()->GetSkin()));
    if (!back.isNull()) painter.drawImage(whole, back);
    const QImage band = CBackgroundCache::LoadPicture(QStringLiteral(":/prefix/res/main background/recording_lbg_h.png"));
    if (!band.isNull()) {
      QRect lower = whole;
      lower.setTop(lower.bottom() - ScaledPixels(200) - 1);
      painter.setOpacity(0.5);
      painter.drawImage(lower, band);
    }
  });
  QPainter painter(this);
  painter.drawPixmap(event->rect(), background, event->rect());
}
