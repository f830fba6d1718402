#include "CLabelPress.h"

#include "CAppSettings.h"
#include "DesktopLinks.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <QUrl>

namespace {
const char* const kLinkColors[] = {"#4F94CD", "#0b3241"};
// Unscaled margins of the fitting rule.
constexpr int kRightMargin = 10;
constexpr int kMinAvailable = 5;
}  // namespace

CLabelPress::CLabelPress(const QString& url, const QString& text, QWidget* parent)
    : QLabel(parent), m_url(url), m_text(text) {
  setCursor(Qt::PointingHandCursor);
}

CLabelPress::~CLabelPress() = default;

QString CLabelPress::LinkColor() {
  int index = CAppSettings::GetInstance()->GetLinkColorIndex();
  if (index < 0 || index >= int(sizeof(kLinkColors) / sizeof(kLinkColors[0]))) index = 0;
  return QLatin1String(kLinkColors[index]);
}

QString CLabelPress::LinkMarkup(const QString& shown) {
  return QStringLiteral("<u><font color=%1>%2</font></u>").arg(LinkColor(), shown);
}

void CLabelPress::SetLinkType(int) {
  const QString text = tr("Translate for us");
  setToolTip(text);
  setText(LinkMarkup(text));
}

void CLabelPress::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  // Any button opens the link; without a browser the user is told the
  // address.
  OpenWithDesktop(this, QUrl::fromEncoded(m_url.toLocal8Bit(), QUrl::TolerantMode));
}

void CLabelPress::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitText(event->size().width());
}

void CLabelPress::FitText(int width) {
  const QFontMetrics metrics(font());
  m_shownText = m_text;
  int avail = width;
  bool firstRound = true;
  while (metrics.horizontalAdvance(m_shownText) > avail - kRightMargin) {
    if (firstRound) {
      avail -= metrics.horizontalAdvance(QStringLiteral("..."));
      firstRound = false;
    }
    if (avail < kMinAvailable) {
      avail = width;  // too narrow to shorten sensibly: show it whole
      break;
    }
    // Nothing left to remove: the label shows only "..." (and the link as
    // tooltip) rather than looping for ever.
    if (m_shownText.isEmpty()) break;
    m_shownText.chop(1);
  }
  if (avail < width) {
    setToolTip(m_url);
    m_shownText += QStringLiteral("...");
  } else {
    setToolTip(QString());
  }
  setText(LinkMarkup(m_shownText));
}
