#include "CStatusBar.h"

#include "CMToolButton.h"
#include "InterfaceScale.h"
#include "SkinButtonStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>

namespace {
constexpr double kSmallSide = 25;
constexpr double kToggleWidth = 158;
constexpr double kToggleHeight = 46;
}  // namespace

CStatusBar::CStatusBar(void* device, QWidget* parent) : CMyStatusBar(parent), m_device(device) {
  const double s = GetInterfaceScale();
  setFocusPolicy(Qt::ClickFocus);
  setObjectName(QStringLiteral("statusBar"));

  const QString tabs(6, QLatin1Char('\t'));
  setStyleSheet((QStringLiteral("QLabel{color: #FFFFFF;") + tabs + QStringLiteral("font-size: %1px;") + tabs +
                 QStringLiteral("font-weight: bold;}"))
                    .arg(14 * s));

  m_leftBox = new QWidget(this);
  m_leftBox->setObjectName(QStringLiteral("statusLeftBox"));
  m_centreBox = new QWidget(this);
  m_centreBox->setObjectName(QStringLiteral("statusCentreBox"));
  m_centreBox->setFixedSize(ScaledPixels(316), ScaledPixels(46));
  m_rightBox = new QWidget(this);
  m_rightBox->setObjectName(QStringLiteral("statusRightBox"));

  m_leftLayout = new QHBoxLayout(m_leftBox);
  m_leftLayout->setContentsMargins(0, 0, 0, 0);
  m_leftLayout->addSpacing(ScaledPixels(23));
  m_leftLayout->setSpacing(ScaledPixels(25));

  auto small = [this](const char* objectName, const char* image) {
    auto* b = new CMToolButton(m_leftBox);
    b->setObjectName(QLatin1String(objectName));
    b->setStyleSheet(MakeSkinButtonStyle(QLatin1String(image), kSmallSide, kSmallSide));
    return b;
  };
  m_sourcesButton = small("sources", "sources");
  m_schedulerButton = small("scheduler", "scheduler");
  m_addButton = small("add", "add");
  m_addButton->setEnabled(false);
  m_itunesButton = small("itunes", "itunes");
  m_itunesButton->setEnabled(false);
  m_leftLayout->addWidget(m_sourcesButton);
  m_leftLayout->addWidget(m_schedulerButton);
  m_leftLayout->addWidget(m_addButton);
  m_leftLayout->addWidget(m_itunesButton);
  m_layout->insertWidget(0, m_leftBox);

  m_recordingButton = new CMToolButton(m_centreBox);
  m_recordingButton->setObjectName(QStringLiteral("recordingToggle"));
  m_recordingButton->setGeometry(0, 0, ScaledPixels(158), ScaledPixels(46));
  m_recordingLabel = new QLabel(m_recordingButton);
  m_recordingLabel->setObjectName(QStringLiteral("recordingLabel"));
  m_recordingLabel->setGeometry(ScaledPixels(65), 0, ScaledPixels(93), ScaledPixels(46));
  m_recordingButton->setCheckable(true);
  m_recordingButton->setStyleSheet(MakeSkinButtonStyle(QStringLiteral("button_recording"), kToggleWidth, kToggleHeight));
  m_recordingButton->setChecked(true);

  m_mediaButton = new CMToolButton(m_centreBox);
  m_mediaButton->setObjectName(QStringLiteral("mediaToggle"));
  m_mediaLabel = new QLabel(m_mediaButton);
  m_mediaLabel->setObjectName(QStringLiteral("mediaLabel"));
  m_mediaLabel->setGeometry(ScaledPixels(58), 0, ScaledPixels(100), ScaledPixels(46));
  m_mediaButton->setCheckable(true);
  m_mediaButton->setStyleSheet(MakeSkinButtonStyle(QStringLiteral("button_media"), kToggleWidth, kToggleHeight));
  m_mediaButton->setGeometry(ScaledPixels(158), 0, ScaledPixels(158), ScaledPixels(46));

  connect(m_recordingButton, &QToolButton::clicked, this, &CStatusBar::setRecordingChecked);
  connect(m_mediaButton, &QToolButton::clicked, this, &CStatusBar::setMediaChecked);

  m_facebookButton = new CMToolButton(m_rightBox);
  m_facebookButton->setObjectName(QStringLiteral("facebook"));
  m_facebookButton->setStyleSheet(MakeSkinButtonStyle(QStringLiteral("facebook"), kSmallSide, kSmallSide));
  m_twitterButton = new CMToolButton(m_rightBox);
  m_twitterButton->setObjectName(QStringLiteral("twitter"));
  m_twitterButton->setStyleSheet(MakeSkinButtonStyle(QStringLiteral("twitter"), kSmallSide, kSmallSide));

  m_rightLayout = new QHBoxLayout(m_rightBox);
  m_rightLayout->setContentsMargins(0, 0, 0, 0);
  m_rightLayout->addWidget(m_facebookButton);
  m_rightLayout->addSpacing(ScaledPixels(8));
  m_rightLayout->addWidget(m_twitterButton);
  m_rightLayout->addSpacing(ScaledPixels(18));
  m_layout->addWidget(m_rightBox);

  Retranslate();
}

CStatusBar::~CStatusBar() = default;

void CStatusBar::Retranslate() {
  m_sourcesButton->setToolTip(tr("Audio Source"));
  m_schedulerButton->setToolTip(tr("Recording task scheduler"));
  m_addButton->setToolTip(tr("Add PlayList"));
  m_itunesButton->setToolTip(tr("Add to iTunes"));
  m_recordingLabel->setText(tr("Recording"));
  m_mediaLabel->setText(tr("Media"));
}

void CStatusBar::setRecordingChecked() { m_recordingButton->setChecked(true); }

void CStatusBar::setMediaChecked() { m_mediaButton->setChecked(true); }

void CStatusBar::resizeEvent(QResizeEvent* event) {
  CMyStatusBar::resizeEvent(event);
  if (event->size().width() == event->oldSize().width()) return;
  // Integer half width, floating-point subtraction: the pair stays centred.
  const double s = GetInterfaceScale();
  const int x = int(event->size().width() / 2 - 158 * s);
  m_centreBox->setGeometry(x, 0, ScaledPixels(316), ScaledPixels(46));
}
