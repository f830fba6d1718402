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

void CAudioDataManager::PushData(const void* data, unsigned size)
{
    CSectionGuard guard(lock);
    queue.AddBuffer(data, size);
}

unsigned CAudioDataManager::PopData(void* out, unsigned size)
{
    CSectionGuard guard(lock);
    return queue.GetBuffer(out, size);
}

void CAudioDataManager::Clear()
{
    CSectionGuard guard(lock);
    queue.Clear();
    std::memset(&param, 0, sizeof(param));
}

size_t CAudioDataManager::QueuedBytes()
{
    CSectionGuard guard(lock);
    return queue.Size();
}
