#include "CMyAudioBuffer.h"

#include <QMutexLocker>
#include <cstring>

CMyAudioBuffer::CMyAudioBuffer(int capacity) : capacity(capacity > 0 ? capacity : 0)
{
    if (this->capacity > 0)
        buffer = new unsigned char[this->capacity]();
}

CMyAudioBuffer::~CMyAudioBuffer()
{
    QMutexLocker guard(&lock);
    delete[] buffer;
    buffer = nullptr;
}

void CMyAudioBuffer::SetStep(int value)
{
    QMutexLocker guard(&lock);
    if (value > 0)
        step = value;
}

void CMyAudioBuffer::Reset()
{
    QMutexLocker guard(&lock);
    readPos = 0;
    fillCount = 0;
}

int CMyAudioBuffer::Write(unsigned length, const unsigned char* data)
{
    QMutexLocker guard(&lock);
    if (!buffer || fillCount >= capacity)
        return -1;
    if (!data || length == 0)
        return 0;
    const unsigned room = static_cast<unsigned>(capacity - fillCount);
    const int n = static_cast<int>(length < room ? length : room);
    int w = readPos + fillCount;
    if (w >= capacity)
        w -= capacity;
    const int first = n < capacity - w ? n : capacity - w;
    memcpy(buffer + w, data, static_cast<size_t>(first));
    if (n > first)
        memcpy(buffer, data + first, static_cast<size_t>(n - first));
    fillCount += n;
    return n;
}

int CMyAudioBuffer::Read(int length, unsigned char*& destination)
{
    QMutexLocker guard(&lock);
    if (fillCount == 0)
        return -1;
    if (!buffer || length > capacity || length < 0 || !destination)
        return 1;

    unsigned char* out = destination;
    int count = length;
    if (fillCount < length) {
        // Top the window up with the bytes just before the read position,
        // oldest first, wrapping backwards over the start of the buffer.
        const int older = length - fillCount;
        int from = readPos - older;
        if (from < 0)
            from += capacity;
        const int first = older < capacity - from ? older : capacity - from;
        memcpy(out, buffer + from, static_cast<size_t>(first));
        if (older > first)
            memcpy(out + first, buffer, static_cast<size_t>(older - first));
        out += older;
        count = fillCount;
    }
    const int first = count < capacity - readPos ? count : capacity - readPos;
    memcpy(out, buffer + readPos, static_cast<size_t>(first));
    if (count > first)
        memcpy(out + first, buffer, static_cast<size_t>(count - first));
    readPos = (readPos + count) % capacity;

    if (step == 0) {
        fillCount -= count;
    } else {
        fillCount -= step;
        if (fillCount < 0)
            fillCount = 0;
    }
    return 0;
}

int CMyAudioBuffer::FillCount()
{
    QMutexLocker guard(&lock);
    return fillCount;
}

int CMyAudioBuffer::ReadPosition()
{
    QMutexLocker guard(&lock);
    return readPos;
}
