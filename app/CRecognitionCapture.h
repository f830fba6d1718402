#pragma once

// The first 22 seconds of the song being recorded, kept for recognition.
//
// Thread contract: used only on the engine's processing thread (inside the
// notification callback); no other thread touches it, so nothing is locked.
// Elapsed time is measured with a monotonic clock from the song's start, so a
// change of the time of day or midnight cannot stretch or cut the capture.

#include "Sonacap.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <functional>

class CRecognitionCapture {
public:
    static constexpr qint64 kCaptureMs = 22000;
    static constexpr int kWavHeaderSize = 44;

    // Monotonic milliseconds; tests drive their own.
    using Clock = std::function<qint64()>;

    CRecognitionCapture();

    void SetClock(Clock clock) { m_clock = std::move(clock); }

    // A song file was opened: empty the capture and start the clock.
    void BeginSong();
    // Appends the clip while the song is younger than 22 seconds, never more
    // than 22 seconds of audio in the clip's format.
    void Append(const AudioClip& clip);
    // True exactly once per song: at the first call at or after the mark
    // while capturing; capturing then ends.
    bool TakeMark();
    bool IsCapturing() const { return m_capturing; }
    qint64 ElapsedMs() const;
    const QByteArray& Buffer() const { return m_buffer; }
    void Clear();

    // The 22-second PCM as a whole WAV file in memory: a 44-byte header in the
    // clip's format, then the samples.
    static QByteArray BuildWavImage(const QByteArray& pcm, const AudioParam& format);
    // Song path without its 4-character extension, plus " temp.wav".
    static QString TemporaryWavName(const QString& songPath);
    // Bytes of 22 seconds in the format (0 for a format that makes no sense).
    static qint64 CaptureLimitBytes(const AudioParam& format);

private:
    Clock m_clock;
    QElapsedTimer m_timer;
    qint64 m_startMs = 0;
    bool m_capturing = false;
    QByteArray m_buffer;
};
