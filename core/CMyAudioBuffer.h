#pragma once

#include <QMutex>

// Circular byte buffer between the engine's notification thread (writer) and
// the spectrum worker (reader). With a consume step set, a read returns a whole
// window but consumes only the step, so successive windows overlap.
//
// Thread contract: every member below is guarded by `lock`; each operation
// holds it for its whole run and calls nothing outside while holding it.
class CMyAudioBuffer {
public:
    explicit CMyAudioBuffer(int capacity);
    virtual ~CMyAudioBuffer();
    CMyAudioBuffer(const CMyAudioBuffer&) = delete;
    CMyAudioBuffer& operator=(const CMyAudioBuffer&) = delete;

    // Stores the step only when it is greater than 0.
    virtual void SetStep(int step);
    // Forgets every unread byte.
    virtual void Reset();
    // Bytes taken (the rest of the block is dropped), or -1 when full.
    virtual int Write(unsigned length, const unsigned char* data);
    // Copies exactly `length` bytes: the newest data, topped up with older
    // bytes when too little is unread. 0 success, -1 empty, 1 length > capacity
    // (or no buffer / negative length).
    //
    // With a step set, the read position moves by the bytes copied but the
    // fill count drops by the step. The write position (read position + fill
    // count) therefore moves back by step - length when the step is the larger
    // (the display's 8,820-byte step over its 8,192-byte window: the next
    // write lands on the 628 newest unread bytes), or forward when it is the
    // smaller. This is kept on purpose: the buffer only feeds the live
    // spectrum, both sizes are whole 4-byte stereo frames so samples never
    // shift out of alignment, and every index stays inside the buffer.
    virtual int Read(int length, unsigned char*& destination);

    int FillCount();
    int ReadPosition();
    int Capacity() const { return capacity; }

private:
    unsigned char* buffer = nullptr;
    int readPos = 0;
    int fillCount = 0;
    const int capacity;
    QMutex lock;
    int step = 0;
};
