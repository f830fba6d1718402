#pragma once

class QIcon;
struct MusicInfoRow;

// Song-data download state of a track. The library itself only sets None,
// Succeeded and Failed; Waiting and Downloading exist for the views that
// show a pending download.
enum TWMDownloadTaskState {
    TWM_DOWNLOAD_NONE = 0,
    TWM_DOWNLOAD_SUCCEEDED = 1,
    TWM_DOWNLOAD_FAILED = 2,
    TWM_DOWNLOAD_WAITING = 3,
    TWM_DOWNLOAD_DOWNLOADING = 4,
};

// What the control bar and the pop-up play list read and mark of a play-queue
// entry. The library's track rows implement it, so the player side stands
// below the library and never sees a row.
//
// Thread contract: GUI thread only.
class IPlayQueueTrack
{
public:
    virtual int GetMusicId() const = 0;
    // A new record filled from the database (with its cover candidates), or
    // null when the song is not stored. The caller deletes it.
    virtual MusicInfoRow* GetMusicInfo() const = 0;
    virtual int GetDownloadStatus() const = 0;
    // The icon of the entry's notice column, where the playing mark goes; a
    // null icon clears it.
    virtual void SetNoticeColumnIcon(const QIcon& icon) = 0;

protected:
    ~IPlayQueueTrack() = default;
};
