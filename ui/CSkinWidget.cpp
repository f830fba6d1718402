#include "CSkinWidget.h"

#include "CAppSettings.h"
#include "CSkinButton.h"
#include "InterfaceScale.h"
#include "SkinButtonStyle.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalMapper>
#include <QVBoxLayout>

namespace {
constexpr int kSkinCount = 5;
constexpr double kThumbSide = 87;
}  // namespace

CSkinWidget::CSkinWidget(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("skinWidget"));
  m_currentIndex = CAppSettings::GetInstance()->GetSkin();
  m_marked = nullptr;

  m_caption = new QLabel(this);
  m_caption->setObjectName(QStringLiteral("skinCaption"));
  auto* captionRow = new QHBoxLayout;
  captionRow->setContentsMargins(ScaledPixels(35), 0, 0, ScaledPixels(10));
  captionRow->addWidget(m_caption);

  auto* thumbRow = new QHBoxLayout;
  thumbRow->setContentsMargins(0, 0, 0, ScaledPixels(54));

  m_mapper = new QSignalMapper(this);
  const double scale = GetInterfaceScale();
  for (int i = 0; i < kSkinCount; ++i) {
    auto* button = new CSkinButton(nullptr);
    button->setObjectName(QStringLiteral("skinThumb%1").arg(i));
    button->setFixedSize(ScaledPixels(int(kThumbSide)), ScaledPixels(int(kThumbSide)));
    button->setStyleSheet(MakeSkinThumbnailStyle(i, kThumbSide, scale));
    connect(button, &QToolButton::clicked, m_mapper, static_cast<void (QSignalMapper::*)()>(&QSignalMapper::map));
    m_mapper->setMapping(button, i);
    thumbRow->addWidget(button);
  }
  connect(m_mapper, &QSignalMapper::mappedInt, this,
          &CSkinWidget::ChoseSkin);

  auto* layout = new QVBoxLayout;
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(captionRow);
  layout->addLayout(thumbRow);
  setLayout(layout);

  Retranslate();
  ChoseSkin(m_currentIndex);
}

CSkinWidget::~CSkinWidget() = default;

void CSkinWidget::Retranslate() { m_caption->setText(tr("Choose your favourite background:")); }

CSkinButton* CSkinWidget::Thumbnail(int index) const {
  return qobject_cast<CSkinButton*>(m_mapper->mapping(index));
}

void CSkinWidget::ChoseSkin(int index) {
  if (m_marked) m_marked->SetMarked(false);
  m_currentIndex = index;
  // A stored index outside 0..4 has no thumbnail: no mark until the user picks one.
  m_marked = Thumbnail(index);
  if (m_marked) m_marked->SetMarked(true);
}

void CSkinWidget::SaveSkin() {
  CAppSettings::GetInstance()->SetSkin(m_currentIndex);
  qDebug() << "skin choose =%d" << m_currentIndex;
}
