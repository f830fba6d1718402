#pragma once

#include <QWidget>

#include <atomic>
#include <cstdint>

class CWaveThread;
class QTimer;

// The control bar's live spectrum: forty bars in two mirrored halves (left
// channel on the left, lowest band outermost), eighteen segments each, with a
// peak cap. A 50 ms tick starts the worker unless a computation still runs.
//
// Thread contract: WriteWaveData runs on the engine's thread and only reads
// the atomic active flag before handing the block to the ring buffer (which
// guards itself). Everything else, the peaks and their counters included, is
// GUI-thread only.
class pcmsink_widget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kTickMs = 50;

    explicit pcmsink_widget(QWidget* parent = nullptr);
    ~pcmsink_widget() override;

    void WriteWaveData(int length, const char* data);
    void ResetWaveData();
    void SetWaveStep(int step);
    void Start();
    bool IsActive() const { return m_active.load(); }

    CWaveThread* Worker() const { return m_worker; }

    // The recording flag picks the lit colour; the main window sets it when a
    // recording starts and clears it when it stops (any thread).
    static void SetRecordingFlag(bool recording);
    static bool RecordingFlag();

    static const char* const kLitColour;
    static const char* const kLitRecordingColour;
    static const char* const kRestColour;

public slots:
    void DrawSpectrum();
    void ProgramWaveData();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CWaveThread* m_worker;
    QTimer* m_timer;
    int m_peaks[40];
    uint16_t m_peakHold[40];
    std::atomic<bool> m_active;
};
