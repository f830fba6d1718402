// trackhold over libsndfile (decoding) and libpulse's simple API (output).
//
// Thread contract:
// - Library state (file table, the one player pointer, the client name) is
//   guarded by Library::mutex, which every WM_ call holds for its whole run.
//   The playback thread never takes it, so a WM_ call may join that thread
//   while holding it.
// - A Player's command fields (playing, stop, seekTo, ended) are guarded by
//   Player::mutex; the controlling thread writes them and wakes the playback
//   thread through Player::wake. The decoder handle, the output stream and the
//   position counters belong to the playback thread alone once it runs.
// - The volume is an atomic read by the playback thread before every chunk.
// - The callback runs on the playback thread without any lock held.
#include "trackhold.h"

#include <mpg123.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kPositionScale = 10000;
constexpr auto kReportInterval = std::chrono::milliseconds(200);
// Small server-side buffer so that pause and seek are heard at once.
constexpr pa_usec_t kTargetLatencyUs = 100 * 1000;

std::atomic<WM_TraceHook> g_traceHook{nullptr};

void Trace(const char* call, long long argument)
{
    if (WM_TraceHook hook = g_traceHook.load())
        hook(call, argument);
}

struct FileEntry {
    std::string path;
    SF_INFO info{};
    int64_t frames = -1;  // exact frame count once known
};

bool LengthUnknown(const SF_INFO& info)
{
    return info.frames <= 0 || info.frames == SF_COUNT_MAX;
}

// Counts an MPEG file's samples per channel by walking its frame headers, as
// the decoder would deliver them (gapless trimming included), without
// decoding: about a tenth of the time, which matters because the duration is
// asked for on the program's GUI thread. -1 when mpg123 cannot read the file.
int64_t ScanMpegFrames(const std::string& path)
{
    static const int initialised = mpg123_init();  // a no-op on current versions
    (void)initialised;
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (!handle)
        return -1;
    mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    int64_t frames = -1;
    if (mpg123_open(handle, path.c_str()) == MPG123_OK) {
        if (mpg123_scan(handle) == MPG123_OK) {
            const off_t length = mpg123_length(handle);
            if (length >= 0)
                frames = static_cast<int64_t>(length);
        }
        mpg123_close(handle);
    }
    mpg123_delete(handle);
    return frames;
}

// Decodes the whole file once to count its frames; -1 when it cannot be read.
int64_t CountFrames(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
    if (!sf)
        return -1;
    std::vector<float> buf(4096 * std::max(1, info.channels));
    int64_t total = 0;
    for (;;) {
        sf_count_t n = sf_readf_float(sf, buf.data(), 4096);
        if (n <= 0)
            break;
        total += n;
    }
    sf_close(sf);
    return total;
}

int64_t EnsureFrames(FileEntry& entry)
{
    if (entry.frames >= 0)
        return entry.frames;
    // An MPEG length from libsndfile is only an estimate from the file size
    // unless the file carries a LAME/Xing tag (the recorder's files do not).
    const bool mpeg = (entry.info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    if (mpeg)
        entry.frames = ScanMpegFrames(entry.path);
    if (entry.frames < 0)
        entry.frames = (mpeg || LengthUnknown(entry.info)) ? CountFrames(entry.path) : entry.info.frames;
    if (entry.frames < 0)
        entry.frames = 0;
    return entry.frames;
}

struct Player {
    // Set before the thread starts, read-only afterwards.
    WM_PlayCallback callback = nullptr;
    void* user = nullptr;
    int64_t totalFrames = 0;
    int rate = 0;
    int channels = 0;

    // Owned by the playback thread once it runs.
    SNDFILE* sf = nullptr;
    pa_simple* out = nullptr;

    std::mutex mutex;
    std::condition_variable wake;
    bool playing = false;  // guarded by mutex
    bool stop = false;     // guarded by mutex
    bool ended = false;    // guarded by mutex; set once the end was reported
    int seekTo = -1;       // guarded by mutex; pending seek 0..10000, -1 none

    std::thread thread;

    ~Player()
    {
        if (out)
            pa_simple_free(out);
        if (sf)
            sf_close(sf);
    }

    void Report(int64_t heardFrames, int state)
    {
        if (!callback)
            return;
        int position = kPositionScale;
        if (totalFrames > 0) {
            heardFrames = std::clamp<int64_t>(heardFrames, 0, totalFrames);
            position = static_cast<int>(heardFrames * kPositionScale / totalFrames);
        }
        callback(position, state, user);
    }

    int64_t LatencyFrames()
    {
        int err = 0;
        pa_usec_t us = pa_simple_get_latency(out, &err);
        if (us == static_cast<pa_usec_t>(-1))
            return 0;
        return static_cast<int64_t>(us) * rate / 1000000;
    }

    void Run(const std::atomic<int>& volume);
};

struct Library {
    std::mutex mutex;
    std::string clientName = "trackhold";
    std::map<int, FileEntry> files;
    int nextId = 0;
    std::unique_ptr<Player> player;
    std::atomic<int> volume{100};
};

Library& Lib()
{
    static Library lib;
    return lib;
}

// The server's own percent scale is cubic: 50 % is a little under a third of
// the amplitude, which is what users know from the desktop's mixer.
float GainFor(int volume)
{
    const float v = static_cast<float>(std::clamp(volume, 0, 100)) / 100.0f;
    return v * v * v;
}

void Player::Run(const std::atomic<int>& volume)
{
    const int chunkFrames = std::max(1, rate / 50);
    std::vector<float> buf(static_cast<size_t>(chunkFrames) * channels);
    int64_t readPos = 0;        // frames handed to the output so far
    bool outputActive = false;  // the stream holds data since the last flush
    auto lastReport = std::chrono::steady_clock::now();

    for (;;) {
        int seek = -1;
        bool wantPlay = false;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [&] {
                return stop || seekTo >= 0 || (playing && !ended) || (outputActive && !playing);
            });
            if (stop)
                break;
            seek = seekTo;
            seekTo = -1;
            if (seek >= 0)
                ended = false;
            wantPlay = playing && !ended;
        }

        if (seek >= 0) {
            int err = 0;
            pa_simple_flush(out, &err);
            outputActive = false;
            int64_t target = totalFrames * seek / kPositionScale;
            if (target >= totalFrames && totalFrames > 0)
                target = totalFrames;
            if (sf_seek(sf, target, SEEK_SET) >= 0)
                readPos = target;
            Report(readPos, wantPlay ? WM_STATE_PLAYING : WM_STATE_PAUSED);
            lastReport = std::chrono::steady_clock::now();
            continue;
        }

        if (!wantPlay) {
            // Paused with sound still queued: drop it and step the decoder back
            // by what had not been heard, so that resuming goes on seamlessly.
            int64_t unheard = std::min(LatencyFrames(), readPos);
            int err = 0;
            pa_simple_flush(out, &err);
            outputActive = false;
            if (unheard > 0 && sf_seek(sf, readPos - unheard, SEEK_SET) >= 0)
                readPos -= unheard;
            Report(readPos, WM_STATE_PAUSED);
            continue;
        }

        sf_count_t n = sf_readf_float(sf, buf.data(), chunkFrames);
        if (n <= 0) {
            int err = 0;
            if (outputActive)
                pa_simple_drain(out, &err);
            outputActive = false;
            {
                std::lock_guard<std::mutex> lock(mutex);
                ended = true;
                playing = false;
            }
            Report(totalFrames, WM_STATE_ENDED);
            continue;
        }

        const float gain = GainFor(volume.load(std::memory_order_relaxed));
        const size_t samples = static_cast<size_t>(n) * channels;
        if (gain != 1.0f) {
            for (size_t i = 0; i < samples; ++i)
                buf[i] *= gain;
        }
        int err = 0;
        if (pa_simple_write(out, buf.data(), samples * sizeof(float), &err) < 0) {
            std::fprintf(stderr, "trackhold: output failed: %s\n", pa_strerror(err));
            {
                std::lock_guard<std::mutex> lock(mutex);
                ended = true;
                playing = false;
            }
            outputActive = false;
            Report(readPos - LatencyFrames(), WM_STATE_FAILED);
            continue;
        }
        outputActive = true;
        readPos += n;

        auto now = std::chrono::steady_clock::now();
        if (now - lastReport >= kReportInterval) {
            lastReport = now;
            Report(readPos - LatencyFrames(), WM_STATE_PLAYING);
        }
    }
}

// Caller holds Library::mutex.
void DestroyPlayerLocked(Library& lib)
{
    if (!lib.player)
        return;
    Player& p = *lib.player;
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        p.stop = true;
    }
    p.wake.notify_all();
    if (p.thread.joinable())
        p.thread.join();
    lib.player.reset();
}

// Changes the current player's command fields under its lock and wakes its
// thread. 0, or -1 without a player.
template <typename Change>
int CommandPlayer(Change change)
{
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mutex);
    Player* p = lib.player.get();
    if (!p)
        return -1;
    {
        std::lock_guard<std::mutex> plock(p->mutex);
        change(*p);
    }
    p->wake.notify_all();
    return 0;
}

// Reads a file's format into `entry`: 0, or -1 (no path), -2 (cannot be
// opened), -3 (no sound in it).
int OpenEntry(const char* path, FileEntry& entry)
{
    if (!path || !*path)
        return -1;
    entry.path = path;
    SNDFILE* sf = sf_open(path, SFM_READ, &entry.info);
    if (!sf) {
        std::fprintf(stderr, "trackhold: cannot open \"%s\": %s\n", path, sf_strerror(nullptr));
        return -2;
    }
    sf_close(sf);
    if (entry.info.channels <= 0 || entry.info.samplerate <= 0)
        return -3;
    return 0;
}

}  // namespace

extern "C" {

int WM_Create(const char* name)
{
    Trace("WM_Create", 0);
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mutex);
    if (name && *name)
        lib.clientName = name;
    return 0;
}

int WM_Destroy(void)
{
    Trace("WM_Destroy", 0);
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mutex);
    DestroyPlayerLocked(lib);
    lib.files.clear();
    return 0;
}

int WM_AddFile(const char* path)
{
    Trace("WM_AddFile", 0);
    FileEntry entry;
    if (const int rc = OpenEntry(path, entry))
        return rc;

    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mutex);
    if (lib.nextId < 0)  // wrapped after two thousand million files
        lib.nextId = 0;
    while (lib.files.count(lib.nextId))
        ++lib.nextId;
    const int id = lib.nextId++;
    lib.files.emplace(id, std::move(entry));
    return id;
}

int WM_DeleteFile(int fileId)
{
    Trace("WM_DeleteFile", fileId);
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mutex);
    return lib.files.erase(fileId) ? 0 : -1;
}

int WM_GetMediaDuration(int fileId, int64_t* durationMs)
{
    Trace("WM_GetMediaDuration", fileId);
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mutex);
    auto it = lib.files.find(fileId);
    if (it == lib.files.end() || !durationMs)
        return -1;
    const int64_t frames = EnsureFrames(it->second);
    *durationMs = frames * 1000 / it->second.info.samplerate;
    return 0;
}

int WM_MeasureFile(const char* path, int64_t* durationMs)
{
    Trace("WM_MeasureFile", 0);
    FileEntry entry;
    if (!durationMs)
        return -1;
    if (const int rc = OpenEntry(path, entry))
        return rc;
    *durationMs = EnsureFrames(entry) * 1000 / entry.info.samplerate;
    return 0;
}

int WM_CreatePlay(int fileId, WM_PlayCallback callback, void* user)
{
    Trace("WM_CreatePlay", fileId);
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mutex);
    DestroyPlayerLocked(lib);
    auto it = lib.files.find(fileId);
    if (it == lib.files.end())
        return -1;
    FileEntry& entry = it->second;

    auto player = std::make_unique<Player>();
    player->callback = callback;
    player->user = user;
    player->totalFrames = EnsureFrames(entry);
    player->rate = entry.info.samplerate;
    player->channels = entry.info.channels;

    SF_INFO info{};
    player->sf = sf_open(entry.path.c_str(), SFM_READ, &info);
    if (!player->sf)
        return -2;

    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32NE;
    spec.rate = static_cast<uint32_t>(player->rate);
    spec.channels = static_cast<uint8_t>(std::min(player->channels, static_cast<int>(PA_CHANNELS_MAX)));
    if (!pa_sample_spec_valid(&spec) || spec.channels != player->channels)
        return -3;
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kTargetLatencyUs, &spec));
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    int err = 0;
    player->out = pa_simple_new(nullptr, lib.clientName.c_str(), PA_STREAM_PLAYBACK, nullptr,
                                "Playback", &spec, nullptr, &attr, &err);
    if (!player->out) {
        std::fprintf(stderr, "trackhold: no sound output: %s\n", pa_strerror(err));
        return -4;
    }

    Player* raw = player.get();
    const std::atomic<int>& volume = lib.volume;
    raw->thread = std::thread([raw, &volume] { raw->Run(volume); });
    lib.player = std::move(player);
    return 0;
}

int WM_DestroyPlay(void)
{
    Trace("WM_DestroyPlay", 0);
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mutex);
    DestroyPlayerLocked(lib);
    return 0;
}

int WM_Play(void)
{
    Trace("WM_Play", 0);
    return CommandPlayer([](Player& p) { p.playing = true; });
}

int WM_Pause(void)
{
    Trace("WM_Pause", 0);
    return CommandPlayer([](Player& p) { p.playing = false; });
}

int WM_SeekTo(int position)
{
    Trace("WM_SeekTo", position);
    return CommandPlayer([position](Player& p) { p.seekTo = std::clamp(position, 0, kPositionScale); });
}

int WM_ChangeVolume(int volume)
{
    Trace("WM_ChangeVolume", volume);
    Lib().volume.store(std::clamp(volume, 0, 100));
    return 0;
}

void WM_SetTraceHook(WM_TraceHook hook)
{
    g_traceHook.store(hook);
}

}  // extern "C"
