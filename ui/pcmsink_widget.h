#pragma once

#include <QPixmap>
#include <QVector>
#include <QWidget>

#include <atomic>
#include <cstdint>

class CWaveThread;
class QTimer;

// The control bar's live spectrum: forty bars in two mirrored halves (left
// channel on the left, lowest band outermost), eighteen segments each, with a
// peak cap. A 50 ms tick asks the worker for a computation unless one still
// runs.
//
// The tick runs only while there is something to show: audible blocks
// arriving, or bars and peak caps still settling. Once every bar and cap
// rests at the bottom and no block since could light a bar, the picture
// cannot change and the timer stops; the next audible block starts it again
// (the engine also delivers silence while it only listens). It rests as well
// while the display is hidden (the window minimised, the control bar folded
// away).
//
// Thread contract: WriteWaveData runs on the engine's thread; it reads the
// atomic flags, hands the block to the ring buffer (which guards itself),
// counts audible blocks and, when the tick rests, claims m_ticking and posts
// Wake to the GUI thread. Everything else, the timer, the peaks and their
// counters included, is GUI-thread only.
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
    // Whether the 50 ms tick runs now.
    bool IsTicking() const;

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
    // Starts the tick (audio arrived, or the display was shown again).
    void Wake();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Paints what the widgets beneath show at this place, kept as a picture
    // until this widget or one beneath moves, resizes or changes style.
    void PaintUnder(QPainter& painter);

    // True when the picture can no longer change without new audio.
    bool IsSettled();
    void Rest();

    CWaveThread* m_worker;
    QTimer* m_timer;
    int m_peaks[40];
    uint16_t m_peakHold[40];
    std::atomic<bool> m_active;
    // True while the tick runs or a Wake is on its way; see the contract.
    std::atomic<bool> m_ticking{false};
    // Set while the display rests: quiet blocks are dropped, not stored.
    std::atomic<bool> m_dropQuiet{false};
    // Set while hidden: every block is dropped.
    std::atomic<bool> m_dropAll{false};
    // Blocks that could light a bar, counted by the engine's thread; the
    // count the last computation asked for covers is m_audibleSeen (GUI).
    std::atomic<unsigned> m_audibleBlocks{0};
    unsigned m_audibleSeen = 0;
    bool m_hidden = false;   // a hide event came after the last show event
    QPixmap m_under;
    QVector<QRect> m_underKey;
};
