#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "CSectionLock.h"
#include "OS_Thread.h"
#include "Sonacap.h"

class CAudioDataManager;
class IMusicFile;

// The engine's processing thread: takes 20 ms clips from the block queue,
// classifies them as silence or music, writes songs, splits them at silences
// and reports every step through the callback.
//
// Thread contract:
// - The processing thread runs Routine. The GUI thread (through the engine
//   object) calls the setters, SetState, SetMusicFile, Restart and Terminate.
// - `lock` (recursive) is held by the processing thread for the whole handling
//   of a clip and of a capture event, and by SetState, SetMusicFile and
//   Restart. It guards state, fileMs, runType, runMs, captured, musicFile,
//   extension, songPath, checkedMs, captureLost and the resampler. The callback runs on the processing thread, mostly inside
//   `lock`; it may call back into this object.
// - `configLock` guards outputFolder, selected, callback and user (written by
//   the GUI thread, read by the processing thread). It is never held while
//   `lock` is being entered.
// - pause and the two limits are atomics, read per clip.
// - The block queue's lock is never held together with `lock`.
class CAudioProcess : public CAudioBase, public OS_Thread {
public:
    using DiskFreeFunction = std::function<uint64_t(const std::string& folder)>;
    using ClockFunction = std::function<time_t()>;

    static constexpr uint64_t kMinimumFreeBytes = 52428800;  // 50 MiB
    // While a song is open: below this the song is finished while there is
    // still room to close it (the writers' buffers, the header, the library's
    // own writes) and recording stops.
    static constexpr uint64_t kSongReserveBytes = 16777216;  // 16 MiB
    // How often (in song time) the open song's disk and file are checked.
    static constexpr unsigned kSongCheckMs = 1000;

    explicit CAudioProcess(CAudioDataManager* dataManager);
    ~CAudioProcess() override;

    void SetCallback(SonacapNotifyCallback callback, void* user);
    void SetSelectedParam(const AudioParam& param);
    // Hands over the writer of the next songs (not owned) and their extension
    // without the dot. When a song is still open (Start right after Stop, before
    // the thread's next clip), that song is finished and reported first, under
    // the processing lock, so the previous writer is unused once this returns
    // and the caller may delete it then.
    void SetMusicFile(IMusicFile* file, std::string extension);
    // Null is ignored; a '/' is appended unless the folder ends in '/' or '\\'.
    void SetOutputFolder(const char* folder);
    void SetSilenceLimit(unsigned ms);
    void SetMinimum(unsigned ms);
    void SetPause(bool pause);
    // 1 not recording, 2 recording. Recording wakes the thread, at once and
    // at the next block: the song the user pressed Record for opens with the
    // clip queued or about to be, not after the rest of an idle wait.
    void SetState(int state);
    int GetState();
    // Ends the thread after its current clip (finishing an open song) and joins it.
    void Terminate();
    // Terminate, reset the run state and start a new thread.
    void Restart();

    // Seams: the free-space query of the output folder and the clock that names
    // songs. Set them only while the thread is not running.
    void SetDiskFreeFunction(DiskFreeFunction function);
    void SetClock(ClockFunction function);
    // How long the thread naps on an empty queue (default 100 ms); set only
    // while the thread is not running.
    void SetIdleWait(std::chrono::milliseconds wait);

    int Routine() override;

private:
    enum { kNameBufferSize = 4096 + 1 };

    void Notify(tagSonacapNotify code, void* param);
    // Ends the thread's idle wait now (any thread).
    void Wake();
    void HandleClip(AudioClip& clip, unsigned duration);
    // Capture events that lie before the `unhandled` bytes last popped.
    void HandleCaptureEvents(unsigned unhandled);
    void OpenSong(AudioClip& clip, unsigned duration);
    bool CreateSongFile(std::string* path, int* error);
    // Closes the open song and reports it (code 4: its path when it is kept
    // and on disk, else null). A song cut short by a failed write (writeError,
    // or a failure the close itself meets) or whose file is gone stops
    // recording with code 7. Returns whether that happened.
    bool FileFinish(int writeError = 0);
    // Code 7 for the output folder; recording stops.
    void ReportWriteFailure(int error, const char* keptPath);
    // Once a second of song: stops cleanly before the disk is full, and
    // notices a song file removed with its folder.
    void CheckOpenSong();
    bool WriteClip(const unsigned char* data, unsigned size);
    void ResetConverter(int inRate, int outRate, int channels, unsigned clipBytes);
    bool Convert(const int16_t* in, unsigned frames);
    bool SongOpen() const { return !songPath.empty(); }

    std::atomic<bool> pause;
    AudioParam captured;
    int state;
    unsigned fileMs;
    int runType;
    unsigned runMs;
    unsigned clipMs;
    std::atomic<unsigned> silenceLimitMs;
    std::atomic<unsigned> minimumMs;
    CSectionLock lock;
    IMusicFile* musicFile;
    std::string extension;
    std::atomic<bool> terminate;
    SonacapNotifyCallback callback;
    void* user;
    CAudioDataManager* dataManager;
    std::string outputFolder;
    AudioParam selected;
    std::mutex configLock;

    // The open song's path; empty while no song is open.
    std::string songPath;
    // fileMs at the open song's last disk check.
    unsigned checkedMs = 0;
    // Between a capture-lost event and the next restored one.
    bool captureLost = false;
    // Clip geometry of the running thread (processing thread only).
    uint64_t bytesPerSecond;
    unsigned clipBytes;

    // Linear rate conversion of the open song, continuous across clips: the
    // input position of the next output frame in 32.32 fixed point, counted
    // from lastFrame (the last input frame of the previous clip).
    bool converting;
    int convertChannels;
    uint64_t convertStep;
    uint64_t convertPos;
    bool haveLastFrame;
    std::vector<int16_t> lastFrame;
    std::vector<int16_t> convertBuffer;
    uint64_t convertedIn;
    uint64_t convertedOut;

    // The thread's idle wait on an empty queue: it ends early when the thread
    // is told to end, when recording starts and when a capture delivers its
    // first data (Wake, also through the data manager's hook), never at every
    // push, which would cost a wake-up per server block. `woken` is guarded
    // by wakeLock.
    std::mutex wakeLock;
    std::condition_variable wake;
    bool woken = false;
    std::chrono::milliseconds idleWait{100};

    DiskFreeFunction diskFree;
    ClockFunction clock;
};
