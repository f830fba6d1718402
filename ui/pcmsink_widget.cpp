#include "pcmsink_widget.h"

#include "CMyAudioBuffer.h"
#include "CWaveThread.h"
#include "InterfaceScale.h"

#include <QImage>
#include <QPainter>
#include <QTimer>

#include <algorithm>

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

    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMs);
    m_timer->start();
    connect(m_timer, &QTimer::timeout, this, &pcmsink_widget::ProgramWaveData);

    m_worker = new CWaveThread(this);
    connect(m_worker, &CWaveThread::SendDraw, this, &pcmsink_widget::DrawSpectrum);
}

pcmsink_widget::~pcmsink_widget()
{
    // No new run may start, and the one in progress must end before the
    // worker goes with the other children.
    m_timer->stop();
    m_worker->wait();
}

void pcmsink_widget::WriteWaveData(int length, const char* data)
{
    if (!m_active.load() || length <= 0 || !data)
        return;
    m_worker->Buffer()->Write(static_cast<unsigned>(length), reinterpret_cast<const unsigned char*>(data));
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
    if (m_active.load())
        m_worker->start();  // does nothing while a run is still going
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
    onWidget.drawImage(0, 0, image);
}
