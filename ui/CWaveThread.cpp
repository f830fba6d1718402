#include "CWaveThread.h"

#include "CMyAudioBuffer.h"
#include "FFTRealWrapper.h"

#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

CWaveThread::CWaveThread(QObject* parent)
    : QThread(parent),
      m_fft(new FFTRealWrapper),
      m_buffer(new CMyAudioBuffer(kRingCapacity)),
      m_blockSize(kBlockSize),
      m_samples(new unsigned char[kBlockSize]())
{
    std::fill(std::begin(m_leftIn), std::end(m_leftIn), 0.0f);
    std::fill(std::begin(m_leftOut), std::end(m_leftOut), 0.0f);
    std::fill(std::begin(m_rightIn), std::end(m_rightIn), 0.0f);
    std::fill(std::begin(m_rightOut), std::end(m_rightOut), 0.0f);
    std::fill(std::begin(m_bars), std::end(m_bars), 0);
}

CWaveThread::~CWaveThread()
{
    {
        QMutexLocker lock(&m_wakeLock);
        m_quit = true;
        m_wake.wakeAll();
    }
    // A computation in progress ends first; the thread then sees m_quit.
    wait();
    delete m_fft;
    delete m_buffer;
    QMutexLocker lock(&m_barMutex);
    delete[] m_samples;
    m_samples = nullptr;
}

void CWaveThread::CopyBars(int* bars)
{
    QMutexLocker lock(&m_barMutex);
    std::copy(std::begin(m_bars), std::end(m_bars), bars);
}

void CWaveThread::run()
{
    QMutexLocker lock(&m_wakeLock);
    for (;;) {
        while (!m_requested && !m_quit)
            m_wake.wait(&m_wakeLock);
        if (m_quit)
            return;
        m_requested = false;
        lock.unlock();
        ComputeOnce();
        lock.relock();
        m_busy = false;
    }
}

bool CWaveThread::Request()
{
    {
        QMutexLocker lock(&m_wakeLock);
        if (m_busy || m_quit)
            return false;
        m_busy = true;
        m_requested = true;
        m_wake.wakeAll();
    }
    if (!isRunning())
        start();
    return true;
}

bool CWaveThread::IsBusy()
{
    QMutexLocker lock(&m_wakeLock);
    return m_busy;
}

void CWaveThread::ComputeOnce()
{
    if (m_buffer->Read(m_blockSize, m_samples) != 0) {
        QMutexLocker lock(&m_barMutex);
        std::fill(std::begin(m_bars), std::end(m_bars), 0);
    } else {
        ComputeBars();
    }
    emit SendDraw();
}

void CWaveThread::ComputeBars()
{
    const int frames = m_blockSize / 4;
    const auto* pcm = m_samples;
    for (int f = 0; f < frames; ++f) {
        int16_t left;
        int16_t right;
        std::memcpy(&left, pcm + 4 * f, 2);
        std::memcpy(&right, pcm + 4 * f + 2, 2);
        m_leftIn[f] = static_cast<float>(left) / 32767.0f;
        m_rightIn[f] = static_cast<float>(right) / 32767.0f;
    }
    m_fft->calculateFFT(m_leftOut, m_leftIn);
    m_fft->calculateFFT(m_rightOut, m_rightIn);

    const int n = std::min(frames, 1024);
    const int half = n / 2;
    const int binsPerBar = half / (kBarCount / 2);
    const int bands = kBarCount / 2;

    // Bin k's magnitude takes its real part from out[k] and its imaginary part
    // from out[1024 + k]; bin 0 has no imaginary part.
    auto magnitude = [](const float* out, int k) {
        const double re = out[k];
        const double im = (k > 0 && k < 1024) ? out[1024 + k] : 0.0;
        return std::sqrt(re * re + im * im);
    };
    auto amplitude = [](double mag) {
        double a = 0.15 * std::log(mag);
        if (!(a > 0.0))
            a = 0.0;
        if (a > 1.0)
            a = 1.0;
        return a;
    };

    QMutexLocker lock(&m_barMutex);
    double maxLeft = 0.0;
    double maxRight = 0.0;
    int band = 0;
    for (int k = 0; k < half; ++k) {
        maxLeft = std::max(maxLeft, amplitude(magnitude(m_leftOut, k)));
        maxRight = std::max(maxRight, amplitude(magnitude(m_rightOut, k)));
        if ((k + 1) % binsPerBar == 0 && band < bands) {
            auto step = [](int& bar, double maximum) {
                const int target = static_cast<int>(std::fabs(maximum * kSegments));
                if (target > bar)
                    ++bar;
                else if (target < bar)
                    --bar;
            };
            step(m_bars[band], maxLeft);
            step(m_bars[kBarCount - 1 - band], maxRight);
            maxLeft = 0.0;
            maxRight = 0.0;
            ++band;
        }
    }
}
