#include "pcmsink_widget.h"

#include "CMyAudioBuffer.h"
#include "CWaveThread.h"
#include "InterfaceScale.h"

#include <QHideEvent>
#include <QImage>
#include <QPainter>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {
std::atomic<bool> g_recordingFlag{false};
}

const char* const pcmsink_widget::kLitColour = "#766f35";
const char* const pcmsink_widget::kLitRecordingColour = "#d02824";
const char* const pcmsink_widget::kRestColour = "#d1cd94";

pcmsink_widget::pcmsink_widget(QWidget* parent)
    : QWidget(parent),
      m_worker(nullptr),
      m_timer(nullptr),
      m_active(false)
{
    std::fill(std::begin(m_peaks), std::end(m_peaks), -1);
    std::fill(std::begin(m_peakHold), std::end(m_peakHold), 0);
    setContentsMargins(0, 0, 0, 0);
    // Twenty paints a second: painted opaque (see PaintUnder), they leave
    // the control bar and the window beneath alone.
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMs);
    m_timer->start();
    m_ticking.store(true);
    connect(m_timer, &QTimer::timeout, this, &pcmsink_widget::ProgramWaveData);

    m_worker = new CWaveThread(this);
    connect(m_worker, &CWaveThread::SendDraw, this, &pcmsink_widget::DrawSpectrum);
}

pcmsink_widget::~pcmsink_widget()
{
    // No new computation may be asked for; the worker's destructor ends its
    // thread after the one in progress.
    m_timer->stop();
    delete m_worker;
    m_worker = nullptr;
}

namespace {
// No FFT bin of a 2048-frame window can reach the smallest lit bar (a
// magnitude of e^(1/(0.15 * 18)) = 1.45) while every sample stays within
// 1.45 * 32767 / 2048 = 23 of zero: blocks this quiet cannot change the
// picture.
constexpr int kQuietSample = 16;

bool IsAudible(const char* data, int length)
{
    for (int at = 0; at + 1 < length; at += 2) {
        int16_t sample;
        std::memcpy(&sample, data + at, 2);
        if (sample > kQuietSample || sample < -kQuietSample)
            return true;
    }
    return false;
}
} // namespace

void pcmsink_widget::WriteWaveData(int length, const char* data)
{
    if (!m_active.load() || length <= 0 || !data || m_dropAll.load())
        return;
    const bool audible = IsAudible(data, length);
    // The engine delivers blocks while it only listens too, silence
    // included: a resting display lets those go instead of waking up.
    if (!audible && m_dropQuiet.load())
        return;
    m_worker->Buffer()->Write(static_cast<unsigned>(length), reinterpret_cast<const unsigned char*>(data));
    if (!audible)
        return;
    m_audibleBlocks.fetch_add(1);
    if (!m_ticking.exchange(true))
        QMetaObject::invokeMethod(this, "Wake", Qt::QueuedConnection);
}

bool pcmsink_widget::IsTicking() const
{
    return m_timer->isActive();
}

void pcmsink_widget::Wake()
{
    m_ticking.store(true);
    // Hidden, the claim stays so the engine's blocks post nothing; the show
    // event wakes the display.
    if (m_hidden || m_timer->isActive())
        return;
    m_dropQuiet.store(false);
    m_timer->start();
}

void pcmsink_widget::Rest()
{
    m_timer->stop();
    m_dropQuiet.store(true);
    // What lies in the buffer is quiet; sound arriving later is shown from
    // its first block, not behind a second of stored silence.
    m_worker->Buffer()->Reset();
    m_ticking.store(false);
    // A block that came between the decision and the store above found the
    // tick still running and posted nothing: look once more.
    if (m_audibleBlocks.load() != m_audibleSeen && !m_ticking.exchange(true))
        Wake();
}

bool pcmsink_widget::IsSettled()
{
    if (m_worker->IsBusy() || m_audibleBlocks.load() != m_audibleSeen)
        return false;
    int bars[40];
    m_worker->CopyBars(bars);
    for (int i = 0; i < 40; ++i) {
        if (bars[i] != 0 || m_peaks[i] > 0)
            return false;
    }
    return true;
}

void pcmsink_widget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_hidden = false;
    m_dropAll.store(false);
    Wake();
}

void pcmsink_widget::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_hidden = true;
    m_timer->stop();
    m_ticking.store(true);
    // Nothing is shown: blocks are not even stored, and what is stored is
    // old by the time the display shows again.
    m_dropAll.store(true);
    m_worker->Buffer()->Reset();
}

void pcmsink_widget::ResetWaveData()
{
    m_worker->Buffer()->Reset();
}

void pcmsink_widget::SetWaveStep(int step)
{
    m_worker->Buffer()->SetStep(step);
}

void pcmsink_widget::Start()
{
    m_active.store(true);
    // Active, the empty display shows its caps at the bottom: a few ticks
    // draw that and rest again.
    if (!m_ticking.exchange(true))
        QMetaObject::invokeMethod(this, "Wake", Qt::QueuedConnection);
}

void pcmsink_widget::SetRecordingFlag(bool recording)
{
    g_recordingFlag.store(recording);
}

bool pcmsink_widget::RecordingFlag()
{
    return g_recordingFlag.load();
}

void pcmsink_widget::DrawSpectrum()
{
    update();
}

void pcmsink_widget::ProgramWaveData()
{
    if (!m_active.load() || IsSettled()) {
        // Inactive, or every bar and cap at rest with nothing to read. The
        // paint that dropped the last cap still drew it high: one more paint
        // puts it at the bottom, and the ones after would all look the same.
        update();
        Rest();
        return;
    }
    // The blocks counted so far are read by this computation or the ones
    // before it.
    const unsigned audible = m_audibleBlocks.load();
    if (m_worker->Request())  // refused while a computation is still going
        m_audibleSeen = audible;
}

void pcmsink_widget::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    QPainter painter;
    painter.begin(&image);
    painter.setPen(palette().color(foregroundRole()));
    painter.setFont(font());

    const double scale = GetInterfaceScale();
    const int margin = static_cast<int>(5 * scale);
    const int segment = static_cast<int>(scale);
    const int barWidth = (width() - 2 * margin) / 40 - 1;

    int bars[40];
    m_worker->CopyBars(bars);
    if (bars[0] > bars[1])
        bars[0] = bars[1] - 1;
    if (bars[39] > bars[38])
        bars[39] = bars[38] - 1;

    int base = height() / 2 + 18;
    if (scale == 2.0)
        base += 9;
    const QColor lit(RecordingFlag() ? kLitRecordingColour : kLitColour);
    const QColor rest(kRestColour);
    const bool active = m_active.load();

    for (int i = 0; i < 40; ++i) {
        const int x = margin + i * (barWidth + 1) + (i >= 20 ? 10 : 0);
        const int v = bars[i];
        if (v > m_peaks[i]) {
            m_peaks[i] = v;
            m_peakHold[i] = 0;
        }
        const int litCount = (v >= 1 && v <= 18) ? v : 0;
        for (int k = 0; k < 18; ++k) {
            const QRect r(x, base - k * (segment + 1), barWidth, segment);
            if (k < litCount) {
                painter.fillRect(r, lit);
                continue;
            }
            if (k == m_peaks[i] && active) {
                if (++m_peakHold[i] >= 10) {
                    m_peakHold[i] = 0;
                    m_peaks[i] = 0;
                }
                painter.fillRect(r, lit);
            } else {
                painter.fillRect(r, rest);
            }
        }
    }
    painter.end();

    QPainter onWidget(this);
    PaintUnder(onWidget);
    onWidget.drawImage(0, 0, image);
}

void pcmsink_widget::PaintUnder(QPainter& painter)
{
    // Where this widget and each widget under it lie in the window: when
    // any of that changes, what lies beneath may look different.
    QVector<QRect> key;
    QWidget* top = window();
    for (QWidget* w = this; w; w = w->isWindow() ? nullptr : w->parentWidget())
        key.append(QRect(w->mapTo(top, QPoint(0, 0)), w->size()));
    if (m_under.isNull() || key != m_underKey) {
        m_underKey = key;
        m_under = QPixmap(size());
        m_under.fill(palette().color(QPalette::Window));
        QPainter under(&m_under);
        QList<QWidget*> chain;
        for (QWidget* w = parentWidget(); w; w = w->isWindow() ? nullptr : w->parentWidget())
            chain.prepend(w);
        // Each one's own painting, from the window down, without children:
        // what the toolkit would paint beneath a see-through widget.
        for (QWidget* w : chain) {
            const QPoint at = mapTo(w, QPoint(0, 0));
            w->render(&under, QPoint(0, 0), QRegion(QRect(at, size())), QWidget::DrawWindowBackground);
        }
    }
    painter.drawPixmap(0, 0, m_under);
}

void pcmsink_widget::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // A new style sheet or palette somewhere above changes what lies beneath.
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange)
        m_under = QPixmap();
}
