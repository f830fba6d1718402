#pragma once

#include <cstddef>

#include "CBuffer.h"
#include "Sonacap.h"

class CSectionLock;

// The meeting point of capture and processing: the captured format and the
// queue of PCM bytes.
// Thread contract: the capture thread calls SetAudioParam and PushData, the
// processing thread GetAudioParam and PopData, the GUI thread Clear (while
// capture is stopped and the processing thread joined). Every operation holds
// `lock` for its whole body; `param` and `queue` are touched only under it.
class CAudioDataManager : public CAudioBase {
public:
    CAudioDataManager();
    ~CAudioDataManager() override;

    void SetAudioParam(const AudioParam* param);
    void GetAudioParam(AudioParam* param);
    void PushData(const void* data, unsigned size);
    unsigned PopData(void* out, unsigned size);
    // Empties the queue, then zeroes the format.
    void Clear();
    // Bytes waiting in the queue.
    size_t QueuedBytes();

private:
    AudioParam param;
    CSectionLock* lock;
    CBuffer queue;
};
