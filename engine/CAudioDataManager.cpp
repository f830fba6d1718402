#include "CAudioDataManager.h"

#include <cstring>

#include "CSectionGuard.h"
#include "CSectionLock.h"
#include "Log.h"

CAudioDataManager::CAudioDataManager() : lock(new CSectionLock)
{
    std::memset(&param, 0, sizeof(param));
}

CAudioDataManager::~CAudioDataManager()
{
    delete lock;
    lock = nullptr;
    // The queue member frees its nodes after this body.
}

void CAudioDataManager::SetAudioParam(const AudioParam* format)
{
    if (!format)
        return;
    SC_LOG_INFO("AudioDataManager", "CAudioDataManager::SetAudioParam", "SetAudioParam:%d,%d,%d",
                format->channels, format->bitsPerSample, format->samplesPerSec);
    CSectionGuard guard(lock);
    param = *format;
}

void CAudioDataManager::GetAudioParam(AudioParam* format)
{
    if (!format)
        return;
    lock->Enter();
    *format = param;
    lock->Leave();
}

void CAudioDataManager::SetDataHook(std::function<void()> hook)
{
    CSectionGuard guard(lock);
    dataHook = std::move(hook);
}

void CAudioDataManager::ArmDataHook()
{
    CSectionGuard guard(lock);
    hookArmed = true;
}

void CAudioDataManager::PushData(const void* data, unsigned size)
{
    std::function<void()> hook;
    {
        CSectionGuard guard(lock);
        queue.AddBuffer(data, size);
        if (data)
            pushedBytes += size;
        if (hookArmed && data && size > 0) {
            hookArmed = false;
            hook = dataHook;
        }
    }
    if (hook)
        hook();
}

unsigned CAudioDataManager::PopData(void* out, unsigned size)
{
    CSectionGuard guard(lock);
    const unsigned popped = queue.GetBuffer(out, size);
    poppedBytes += popped;
    return popped;
}

void CAudioDataManager::PushEvent(CaptureEvent event)
{
    CSectionGuard guard(lock);
    events.push_back(PendingEvent{event, pushedBytes, std::string()});
}

void CAudioDataManager::PushNote(const char* text)
{
    CSectionGuard guard(lock);
    events.push_back(PendingEvent{kCaptureNote, pushedBytes, text ? text : ""});
}

CAudioDataManager::CaptureEvent CAudioDataManager::TakeEvent(unsigned unhandled, std::string* note)
{
    CSectionGuard guard(lock);
    if (events.empty() || events.front().position + unhandled > poppedBytes)
        return kNoEvent;
    const CaptureEvent event = events.front().event;
    if (note)
        *note = std::move(events.front().note);
    events.pop_front();
    return event;
}

void CAudioDataManager::Clear()
{
    CSectionGuard guard(lock);
    queue.Clear();
    events.clear();
    pushedBytes = 0;
    poppedBytes = 0;
    hookArmed = true;
    std::memset(&param, 0, sizeof(param));
}

size_t CAudioDataManager::QueuedBytes()
{
    CSectionGuard guard(lock);
    return queue.Size();
}
