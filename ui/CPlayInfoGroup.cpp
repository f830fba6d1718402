#include "CPlayInfoGroup.h"

#include "CSlider.h"
#include "FileTimeHelpers.h"
#include "InterfaceScale.h"
#include "trackhold.h"

#include <QGridLayout>
#include <QLabel>
#include <QStringList>
#include <QTimer>

#include <algorithm>

namespace {

QString BoldLabelStyle(int designPixels)
{
    const QString tabs(10, QLatin1Char('\t'));
    return QStringLiteral("QLabel{font-size: %1px;").arg(ScaledStyleNumber(designPixels))
           + tabs + QStringLiteral("font-weight: bold;}");
}

}  // namespace

CPlayInfoGroup::CPlayInfoGroup(QWidget* parent)
    : QFrame(parent)
{
    m_seekValue = 0;
    m_statusLabel = new QLabel(this);
    m_statusLabel->setFixedWidth(ScaledPixels(77));
    m_playSlider = new CSlider(QStringLiteral(":/prefix/res/playslider.png"), this);

    connect(m_playSlider, &CSlider::sliderPressed, this, &CPlayInfoGroup::PlaySliderPressed);
    connect(m_playSlider, &CSlider::valueChanged, this, &CPlayInfoGroup::PlaySliderMoved);
    connect(m_playSlider, &CSlider::sliderReleased, this, &CPlayInfoGroup::PlaySliderReleased);
    connect(this, &CPlayInfoGroup::PlaySeekChange, this, &CPlayInfoGroup::ReflashPlaySlider);

    m_titleLabel = new QLabel(this);
    m_titleLabel->setStyleSheet(BoldLabelStyle(12));
    m_artistLabel = new QLabel(this);
    m_artistLabel->setStyleSheet(BoldLabelStyle(11));
    m_elapsedLabel = new QLabel(this);
    m_elapsedLabel->setStyleSheet(BoldLabelStyle(9));
    m_remainingLabel = new QLabel(this);
    m_remainingLabel->setStyleSheet(BoldLabelStyle(9));

    m_layout = new QGridLayout(this);
    m_layout->setVerticalSpacing(1);
    m_layout->setHorizontalSpacing(1);
    m_layout->addWidget(m_titleLabel, 0, 2, Qt::AlignHCenter);
    m_layout->addWidget(m_statusLabel, 1, 0);
    m_layout->addWidget(m_artistLabel, 1, 2, Qt::AlignHCenter);
    m_layout->addWidget(m_elapsedLabel, 2, 1);
    m_layout->addWidget(m_playSlider, 2, 2);
    m_layout->addWidget(m_remainingLabel, 2, 3);
    const int side = ScaledPixels(5);
    const int topBottom = ScaledPixels(2);
    m_layout->setContentsMargins(side, topBottom, side, topBottom);

    m_seekTimer = new QTimer(this);
    m_seekTimer->setSingleShot(true);
    m_seekTimer->setInterval(kSeekDelayMs);
    connect(m_seekTimer, &QTimer::timeout, this, &CPlayInfoGroup::SetPlaySeek);

    m_context.position = 0;
    m_context.sliderPressed = false;
    m_context.owner = this;
    m_context.state = 0;
    m_context.fileId = -1;

    WM_Create("Sonacap");
}

CPlayInfoGroup::~CPlayInfoGroup()
{
    if (m_context.fileId > -1) {
        WM_DestroyPlay();
        WM_DeleteFile(m_context.fileId);
        m_context.fileId = -1;
    }
    WM_Destroy();
}

int CPlayInfoGroup::PlayCallback(int position, int state, void* context)
{
    auto* ctx = static_cast<PlayContext*>(context);
    if (!ctx)
        return state;
    ctx->position.store(position);
    ctx->state.store(state);
    CPlayInfoGroup* owner = ctx->owner;
    const int stored = ctx->state.load();
    if (!owner)
        return state;
    if (stored == 3 || stored == 4)
        emit owner->PlayFinished();
    else if (stored > 0)
        emit owner->PlaySeekChange();
    return state;
}

void CPlayInfoGroup::PlaySliderPressed()
{
    m_context.sliderPressed = true;
    // A press on the handle itself reports no value, and the handle stands
    // where the player put it: that is where a seek without a drag goes (not
    // to 0 or to an earlier click). A press beside the handle has just
    // reported the clicked value, which stays.
    if (m_playSlider->State() == 2)
        m_seekValue = m_playSlider->Value();
    m_seekTimer->start();
}

void CPlayInfoGroup::PlaySliderMoved(int pValue)
{
    m_seekValue = pValue;
    m_seekTimer->start();
}

void CPlayInfoGroup::PlaySliderReleased()
{
    m_context.sliderPressed = false;
}

void CPlayInfoGroup::SetPlaySeek()
{
    WM_SeekTo(m_seekValue);
}

void CPlayInfoGroup::ReflashPlaySlider()
{
    // A report outside 0..10000 would turn into a huge unsigned time.
    const int p = qBound(0, m_context.position.load(), 10000);
    const float fraction = static_cast<float>(static_cast<unsigned>(p) / 10000.0);
    const float duration = static_cast<float>(static_cast<double>(m_context.durationMs));
    const unsigned elapsedMs = static_cast<unsigned>(duration * fraction);
    m_elapsedSeconds = static_cast<int>(elapsedMs / 1000);
    m_remainingSeconds = static_cast<int>(qMax<int64_t>(0, (m_context.durationMs - static_cast<int64_t>(elapsedMs)) / 1000));
    m_elapsedLabel->setText(SecondToTimeText(static_cast<unsigned>(m_elapsedSeconds)));
    m_remainingLabel->setText(QStringLiteral("-") + SecondToTimeText(static_cast<unsigned>(m_remainingSeconds)));
    if (!m_context.sliderPressed)
        m_playSlider->SetValue(p);
}

void CPlayInfoGroup::FitStatusLabel(const QStringList& texts)
{
    m_statusLabel->ensurePolished();
    const QFontMetrics metrics = m_statusLabel->fontMetrics();
    int widest = 0;
    for (const QString& text : texts)
        widest = std::max(widest, metrics.horizontalAdvance(text));
    // A little room for the last letter's overhang in bold.
    m_statusLabel->setFixedWidth(std::max(ScaledPixels(77), widest + ScaledPixels(4)));
}

void CPlayInfoGroup::FitSlider(int designWidth, int panelWidth)
{
    if (panelWidth <= 0) {
        m_playSlider->setFixedWidth(designWidth);
        return;
    }
    // The times as a song under an hour shows them, with the leading "-".
    const auto timeWidth = [](QLabel* label, const QString& sample) {
        label->ensurePolished();
        return std::max(label->fontMetrics().horizontalAdvance(sample),
                        label->fontMetrics().horizontalAdvance(label->text()));
    };
    const QMargins margins = m_layout->contentsMargins();
    int others = margins.left() + margins.right() + timeWidth(m_elapsedLabel, QStringLiteral("00:00"))
                 + timeWidth(m_remainingLabel, QStringLiteral("-00:00")) + 2 * m_layout->horizontalSpacing();
    if (!m_statusLabel->isHidden())
        others += m_statusLabel->minimumWidth() + m_layout->horizontalSpacing();
    m_playSlider->setFixedWidth(std::max(0, std::min(designWidth, panelWidth - others)));
}

void CPlayInfoGroup::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
}
