#include "LibraryServices.h"

namespace {
PlayingItemSource& Source()
{
    static PlayingItemSource source;
    return source;
}
} // namespace

bool IsRecordingBusy(const IRecordStateSource* source)
{
    if (!source)
        return false;
    const int state = source->GetRecordState();
    return state == IRecordStateSource::RecordingSong || state == IRecordStateSource::WaitingForSong;
}

void SetPlayingItemSource(PlayingItemSource source)
{
    Source() = std::move(source);
}

CTreeWidgetItem* GetPlayingItem()
{
    return Source() ? Source()() : nullptr;
}
