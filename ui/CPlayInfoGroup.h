#pragma once

#include <QFrame>

#include <atomic>
#include <cstdint>

class CPlayInfoGroup;
class CSlider;
class QGridLayout;
class QLabel;
class QTimer;

// The block handed to the playback library as the player's user data; the
// library hands it back to PlayCallback.
//
// Thread contract: `position` and `state` are written by the library's thread
// (PlayCallback) and read on the GUI thread, hence atomic. Every other field is
// GUI-thread only and written before the player exists.
struct PlayContext {
    bool sliderPressed = false;
    std::atomic<int> position{0};  // 0..10000
    std::atomic<int> state{0};     // 3 or 4 ended, above 0 a report
    int64_t durationMs = 0;
    int fileId = -1;               // negative: no file
    CPlayInfoGroup* owner = nullptr;
};

// The playback panel of the control bar: status, title and artist, elapsed
// time, seek slider and remaining time. It opens the playback library when
// built and closes it when destroyed; the control bar loads and drives tracks.
class CPlayInfoGroup : public QFrame
{
    Q_OBJECT
public:
    static constexpr int kSeekDelayMs = 200;

    explicit CPlayInfoGroup(QWidget* parent);
    ~CPlayInfoGroup() override;

    // The playback library's callback; `context` is a PlayContext*.
    static int PlayCallback(int position, int state, void* context);

    // Reached directly by the control bar.
    QLabel* m_statusLabel;
    CSlider* m_playSlider;
    QLabel* m_titleLabel;
    QLabel* m_artistLabel;
    QLabel* m_elapsedLabel;
    QLabel* m_remainingLabel;
    QGridLayout* m_layout;
    int m_elapsedSeconds = 0;
    int m_remainingSeconds = 0;
    PlayContext m_context;

    // Gives the status label the width of the widest of `texts` in the font
    // it paints with (never less than its design width), so a state such as
    // "Wiedergabe" shows whole.
    void FitStatusLabel(const QStringList& texts);
    // The slider's width: `designWidth`, or less when the panel, `panelWidth`
    // wide, needs the rest for the status and the two times.
    void FitSlider(int designWidth, int panelWidth);

    QTimer* SeekTimer() const { return m_seekTimer; }
    int SeekValue() const { return m_seekValue; }

signals:
    void PlayFinished();
    void PlaySeekChange();

public slots:
    void PlaySliderPressed();
    void PlaySliderMoved(int pValue);
    void PlaySliderReleased();
    void ReflashPlaySlider();
    void SetPlaySeek();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QTimer* m_seekTimer;
    int m_seekValue = 0;
};
