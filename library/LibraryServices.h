#pragma once

#include <functional>

class CTreeWidgetItem;

// What the library views read of the control bar: its recording state. The
// control bar implements this, so the views build and test without it.
class IRecordStateSource
{
public:
    enum RecordState {
        NotRecording = 0,
        RecordingSong = 1,      // a song is being recorded
        WaitingForSong = 2,     // recording, waiting for sound
    };
    virtual ~IRecordStateSource() = default;
    virtual int GetRecordState() const = 0;
};

// True while the source reports a song in progress or a wait for one; a null
// source counts as not recording.
bool IsRecordingBusy(const IRecordStateSource* source);

// The track the main window's play queue is playing (its current entry), or
// null. The main window installs the source at construction; until then, and
// in tests that install none, nothing is playing.
// Thread contract: GUI thread only.
using PlayingItemSource = std::function<CTreeWidgetItem*()>;
void SetPlayingItemSource(PlayingItemSource source);
CTreeWidgetItem* GetPlayingItem();
