#include "AudioSample.h"

#include "samplecut.h"

#include <QDebug>

#include <algorithm>

namespace {

QByteArray TakeSample(int result, unsigned char* sample, const QString& source)
{
    QByteArray bytes;
    if (result > 0)
        bytes = QByteArray(reinterpret_cast<const char*>(sample), result);
    else if (result == -1)
        qDebug() << source + QStringLiteral(" is not readable!");
    else if (result == -2)
        qDebug() << source + QStringLiteral(" can not be decoded audio data!");
    samplecut_free(sample);
    return bytes;
}

} // namespace

QByteArray CreateSampleByFile(const QString& path, int startSeconds, int lengthSeconds)
{
    unsigned char* sample = nullptr;
    const QByteArray local = path.toLocal8Bit();
    const int result = samplecut_from_file(local.constData(), startSeconds, lengthSeconds, &sample);
    return TakeSample(result, sample, path);
}

QByteArray CreateSampleByBuffer(const QByteArray& data, int size, int startSeconds, int lengthSeconds)
{
    unsigned char* sample = nullptr;
    const int count = std::max(0, std::min(size, static_cast<int>(data.size())));
    const int result = samplecut_from_buffer(data.constData(), static_cast<size_t>(count), startSeconds,
                                             lengthSeconds, &sample);
    return TakeSample(result, sample, QStringLiteral("fileBuffer"));
}
