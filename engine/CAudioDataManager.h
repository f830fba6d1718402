#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "CBuffer.h"
#include "Sonacap.h"

class CSectionLock;

// The meeting point of capture and processing: the captured format, the
// queue of PCM bytes and the capture's events (lost, restored) in their place
// in that stream.
// Thread contract: the capture thread calls SetAudioParam, PushData,
// PushEvent and PushNote, the processing thread GetAudioParam, PopData and TakeEvent, the
// GUI thread Clear (while capture is stopped and the processing thread
// joined) and SetDataHook (before any capture runs); ArmDataHook may come
// from any thread. Every operation holds `lock` for its whole body; `param`,
// `queue`, `events`, the two byte counts and `hookArmed` are touched only
// under it. The hook is called on the capture thread without the lock.
class CAudioDataManager : public CAudioBase {
public:
    CAudioDataManager();
    ~CAudioDataManager() override;

    void SetAudioParam(const AudioParam* param);
    void GetAudioParam(AudioParam* param);
    void PushData(const void* data, unsigned size);
    // Called with the next data pushed once armed (by ArmDataHook, and by
    // construction and Clear, as a capture starts): the processing thread,
    // which waits for data in long naps, is woken for the data it waits for
    // rather than at every push.
    void SetDataHook(std::function<void()> hook);
    void ArmDataHook();
    unsigned PopData(void* out, unsigned size);
    // Capture events, in the stream's order: an event pushed after N bytes
    // were queued is taken only once N bytes were popped, so the processing
    // thread handles all sound captured before it first.
    // kCaptureNote: a line for the engine's log (an output switch, say),
    // written by the processing thread so that capture never waits on a file.
    enum CaptureEvent { kNoEvent = 0, kCaptureLost = 1, kCaptureRestored = 2, kCaptureNote = 3 };
    void PushEvent(CaptureEvent event);
    void PushNote(const char* text);
    // The oldest event whose place in the stream was reached, else kNoEvent.
    // `unhandled`: popped bytes the caller has not handled yet; an event that
    // lies among them waits. A note's text goes to `note` when given.
    CaptureEvent TakeEvent(unsigned unhandled = 0, std::string* note = nullptr);
    // Empties the queue and the events, then zeroes the format.
    void Clear();
    // Bytes waiting in the queue.
    size_t QueuedBytes();

private:
    struct PendingEvent {
        CaptureEvent event;
        uint64_t position;  // bytes queued before it
        std::string note;   // kCaptureNote's text
    };

    AudioParam param;
    CSectionLock* lock;
    CBuffer queue;
    std::deque<PendingEvent> events;
    uint64_t pushedBytes = 0;
    uint64_t poppedBytes = 0;
    bool hookArmed = true;
    std::function<void()> dataHook;
};
