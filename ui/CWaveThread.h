#pragma once

#include <QMutex>
#include <QThread>

class CMyAudioBuffer;
class FFTRealWrapper;

// The spectrum display's worker: one run per tick reads the newest 8192 bytes
// (2048 frames of 16-bit stereo) from the ring buffer, transforms each channel
// and moves every bar one segment toward its new height.
//
// Thread contract:
// - The ring buffer is written on the engine's thread and read here; it
//   guards itself.
// - `m_bars` is written by the worker run and read by painting on the GUI
//   thread, both under `m_barMutex` (no other lock is taken while it is held).
// - The sample window and the four float arrays belong to the single run that
//   exists at a time (the owner starts the thread only when it is not running).
class CWaveThread : public QThread
{
    Q_OBJECT
public:
    static constexpr int kBarCount = 40;
    static constexpr int kSegments = 18;
    static constexpr int kBlockSize = 8192;
    static constexpr int kRingCapacity = 192000;

    explicit CWaveThread(QObject* parent = nullptr);
    ~CWaveThread() override;

    CMyAudioBuffer* Buffer() const { return m_buffer; }

    // Copies the 40 bar heights (0..18) under the bar mutex.
    void CopyBars(int* bars);
    // One computation, as a run does it; tests call it without the thread.
    void ComputeOnce();

signals:
    void SendDraw();

protected:
    void run() override;

private:
    void ComputeBars();

    FFTRealWrapper* m_fft;
    float m_leftIn[2048];
    float m_leftOut[2048];
    float m_rightIn[2048];
    float m_rightOut[2048];
    CMyAudioBuffer* m_buffer;
    int m_blockSize;

    QMutex m_barMutex;
    unsigned char* m_samples;  // released under m_barMutex
    int m_bars[kBarCount];     // guarded by m_barMutex
};
