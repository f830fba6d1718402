// trackhold: opens audio files, tells their duration and plays one of them at a
// time through the sound server, reporting progress through a callback.
//
// Every WM_ function is meant for one controlling thread (the program's GUI
// thread). Only the play callback runs elsewhere: on the library's own playback
// thread. Decoding goes through libsndfile (WAV, MP3 and whatever else it reads),
// output through libpulse; with no sound server, files still open and measure,
// and creating a player fails with a non-zero result.
#pragma once

#include <cstdint>

extern "C" {

// Play callback: position 0..10000 (fraction of the track x 10000), state, and
// the user pointer given to WM_CreatePlay. The return value is ignored.
// States: 1 playing (progress report), 2 paused (report after a seek while
// paused), 3 the track ended, 4 playback stopped on an output error.
typedef int (*WM_PlayCallback)(int position, int state, void* user);

enum {
    WM_STATE_PLAYING = 1,
    WM_STATE_PAUSED = 2,
    WM_STATE_ENDED = 3,
    WM_STATE_FAILED = 4,
};

// Opens the library; the name is the client name shown by the sound server.
int WM_Create(const char* name);
// Closes the library: destroys a player and releases every file id.
int WM_Destroy(void);

// Opens a file (UTF-8 path) for playing and measuring. Returns its id (0 or more),
// or a negative value when the file cannot be opened or decoded.
int WM_AddFile(const char* path);
// Releases a file id; the file on disk stays. 0, or negative for an unknown id.
int WM_DeleteFile(int fileId);
// Writes the duration in milliseconds. Exact for formats that store their
// length; an MP3 without a known length is decoded once to count its frames.
// 0 on success, negative for an unknown id (the output is then left untouched).
int WM_GetMediaDuration(int fileId, int64_t* durationMs);

// Measures a file without opening it for playing: its duration in
// milliseconds, as WM_GetMediaDuration gives it. Uses no state of the library,
// so any thread may call it, and a worker measuring many files never holds up
// the controlling thread. 0 on success, negative when the file cannot be
// opened or decoded (the output is then left untouched).
int WM_MeasureFile(const char* path, int64_t* durationMs);

// Creates the one player (destroying any previous one) for a file. The player
// starts paused at position 0. 0 on success, negative when the file id is
// unknown or the sound server cannot be reached.
int WM_CreatePlay(int fileId, WM_PlayCallback callback, void* user);
// Destroys the player and joins its thread; no callback runs after this returns.
int WM_DestroyPlay(void);

int WM_Play(void);
int WM_Pause(void);
// Moves to position 0..10000 (values outside are clamped). Negative without a player.
int WM_SeekTo(int position);
// Playback volume 0..100 (clamped), on the sound server's perceptual scale.
// Kept for the next player when none exists.
int WM_ChangeVolume(int volume);

// Test seam: every WM_ call above reports its name and first integer argument
// (0 when it has none) to this hook before it acts. Null switches it off.
typedef void (*WM_TraceHook)(const char* call, long long argument);
void WM_SetTraceHook(WM_TraceHook hook);

}  // extern "C"
