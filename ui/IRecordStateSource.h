#pragma once

// The control bar's recording state, as the library views read it. The
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
