#pragma once

// Real keyboard and mouse input for the benchmarks that time what a user
// feels, and the windows the X server maps in answer.
//
// BenchXInput sends key and button events through the XTEST extension of the
// benchmark's own X server (Xvfb): the server delivers them to the window
// under the pointer or with the focus exactly as it delivers a real device's
// events, so the program pays for everything a real press costs (the
// toolkit's own handling included), not just for the slot a benchmark would
// otherwise call.
//
// BenchMapWatch notes, on a thread and an X connection of its own, every
// top-level window the server maps (a menu popping up, a dialog, the main
// window) with the moment the notice reached it, so that "until the menu
// shows" is read from the server's side even while the program's GUI thread
// is busy or runs a nested event loop.
//
// Times are nanoseconds of CLOCK_MONOTONIC (BenchXInput::NowNs), the clock
// QElapsedTimer uses, and the same in every process of the machine.
//
// Xlib stays inside BenchXInput.cpp (its macros clash with Qt's names); link
// the target bench_xinput.

#include <QPoint>
#include <QString>

#include <memory>

class BenchXInput
{
public:
    // Connects to display (":5"); an empty name means $DISPLAY.
    explicit BenchXInput(const QString& display = QString());
    ~BenchXInput();
    BenchXInput(const BenchXInput&) = delete;
    BenchXInput& operator=(const BenchXInput&) = delete;

    // False when the server could not be reached or lacks XTEST; Error()
    // says which.
    bool IsOpen() const;
    QString Error() const;

    // Moves the pointer to a point of the screen (global coordinates).
    bool MoveTo(const QPoint& global);
    // Buttons: 1 left, 2 middle, 3 right.
    bool Press(int button);
    bool Release(int button);
    bool Click(int button);
    // Presses and releases the key of each character: letters (upper case
    // with Shift), digits, space and the punctuation of the server's keymap.
    // False, before sending anything, when a character has no key.
    bool Type(const QString& text);
    // Presses and releases one key named as X names keysyms ("BackSpace",
    // "Return", "Escape", "a").
    bool Key(const QString& keysymName);
    // Sends what is queued and waits until the server has handled it: its
    // events are then on their way to the program.
    void Sync();

    static qint64 NowNs();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

class BenchMapWatch
{
public:
    // Starts watching display (empty: $DISPLAY) at once.
    explicit BenchMapWatch(const QString& display = QString());
    ~BenchMapWatch();
    BenchMapWatch(const BenchMapWatch&) = delete;
    BenchMapWatch& operator=(const BenchMapWatch&) = delete;

    bool IsOpen() const;

    // The moment (BenchXInput::NowNs) the first mapping of a top-level
    // window noted at or after sinceNs reached the watch; with window non-zero
    // only a mapping of that window (QWidget::winId()) counts. Waits up to
    // timeoutMs for it; -1 when none came.
    qint64 WaitForMap(qint64 sinceNs, int timeoutMs, quint64 window = 0);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
