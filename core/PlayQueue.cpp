#include "PlayQueue.h"

PlayQueue& PlayQueue::Instance()
{
    static PlayQueue queue;
    return queue;
}

IPlayQueueTrack* PlayQueue::Current() const
{
    return HasCurrent() ? items.at(currentIndex) : nullptr;
}

void PlayQueue::Clear()
{
    items.clear();
    currentIndex = -1;
    queueListId = -1;
}
