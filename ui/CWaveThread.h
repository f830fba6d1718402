#pragma once

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

class CMyAudioBuffer;
class FFTRealWrapper;

// The spectrum display's worker: one computation per tick reads the newest
// 8192 bytes (2048 frames of 16-bit stereo) from the ring buffer, transforms
// each channel and moves every bar one segment toward its new height. One
// thread does every computation for the worker's whole life: it sleeps until
// the display asks (Request) and is started on the first request, instead of
// a new thread twenty times a second.
//
// Thread contract:
// - The ring buffer is written on the engine's thread and read here; it
//   guards itself.
// - `m_bars` is written by the worker run and read by painting on the GUI
//   thread, both under `m_barMutex` (no other lock is taken while it is held).
// - The sample window and the four float arrays belong to the computation,
//   and one computation runs at a time: a request while one runs is refused.
// - m_requested, m_busy and m_quit are guarded by m_wakeLock; the GUI thread
//   sets them, the worker thread waits on m_wake for them.
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
    // One computation, as the thread does it; tests call it without the thread.
    void ComputeOnce();
    // Asks the thread for one computation (GUI thread); starts the thread on
    // first use. False, and nothing asked, while a computation still runs:
    // that tick is skipped.
    bool Request();
    // Whether a computation was asked for and has not finished.
    bool IsBusy();

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

    QMutex m_wakeLock;
    QWaitCondition m_wake;
    bool m_requested = false;  // guarded by m_wakeLock
    bool m_busy = false;       // guarded by m_wakeLock
    bool m_quit = false;       // guarded by m_wakeLock
};
