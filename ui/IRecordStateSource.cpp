#include "IRecordStateSource.h"

bool IsRecordingBusy(const IRecordStateSource* source)
{
    if (!source)
        return false;
    const int state = source->GetRecordState();
    return state == IRecordStateSource::RecordingSong || state == IRecordStateSource::WaitingForSong;
}
