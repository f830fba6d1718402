#include "CRecognitionCapture.h"

#include "FileTimeHelpers.h"

CRecognitionCapture::CRecognitionCapture()
{
    m_timer.start();
    m_clock = [this] { return m_timer.elapsed(); };
}

void CRecognitionCapture::BeginSong()
{
    m_buffer.clear();
    m_startMs = m_clock();
    m_capturing = true;
}

qint64 CRecognitionCapture::ElapsedMs() const
{
    return m_clock() - m_startMs;
}

qint64 CRecognitionCapture::CaptureLimitBytes(const AudioParam& format)
{
    if (format.samplesPerSec <= 0 || format.channels <= 0 || format.bitsPerSample <= 0)
        return 0;
    const qint64 frame = qint64(format.channels) * ((format.bitsPerSample + 7) / 8);
    return qint64(format.samplesPerSec) * frame * (kCaptureMs / 1000);
}

void CRecognitionCapture::Append(const AudioClip& clip)
{
    if (!clip.data || clip.size <= 0 || ElapsedMs() >= kCaptureMs)
        return;
    const qint64 room = CaptureLimitBytes(clip.param) - m_buffer.size();
    if (room <= 0)
        return;
    const int take = static_cast<int>(qMin<qint64>(room, clip.size));
    m_buffer.append(reinterpret_cast<const char*>(clip.data), take);
}

bool CRecognitionCapture::TakeMark()
{
    if (!m_capturing || ElapsedMs() < kCaptureMs)
        return false;
    m_capturing = false;
    return true;
}

void CRecognitionCapture::Clear()
{
    m_buffer.clear();
    m_capturing = false;
}

QByteArray CRecognitionCapture::BuildWavImage(const QByteArray& pcm, const AudioParam& format)
{
    const qint32 channels = format.channels;
    const qint32 rate = format.samplesPerSec;
    const qint32 bits = format.bitsPerSample;
    const qint32 dataSize = pcm.size();
    QByteArray image;
    image.reserve(kWavHeaderSize + pcm.size());
    image.append("RIFF", 4);
    image.append(IntToLittleEndianBytes(dataSize + 36));
    image.append("WAVE", 4);
    image.append("fmt ", 4);
    image.append(IntToLittleEndianBytes(16));
    image.append(ShortToLittleEndianBytes(1));
    image.append(ShortToLittleEndianBytes(static_cast<qint16>(channels)));
    image.append(IntToLittleEndianBytes(rate));
    image.append(IntToLittleEndianBytes(static_cast<qint32>(qint64(rate) * bits * channels / 8)));
    image.append(ShortToLittleEndianBytes(static_cast<qint16>(channels * bits / 8)));
    image.append(ShortToLittleEndianBytes(static_cast<qint16>(bits)));
    image.append("data", 4);
    image.append(IntToLittleEndianBytes(dataSize));
    image.append(pcm);
    return image;
}

QString CRecognitionCapture::TemporaryWavName(const QString& songPath)
{
    return songPath.left(qMax(0, songPath.size() - 4)) + QStringLiteral(" temp.wav");
}
