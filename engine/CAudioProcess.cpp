#include "CAudioProcess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "CAudioDataManager.h"
#include "CError.h"
#include "CSectionGuard.h"
#include "EngineUtils.h"
#include "IMusicFile.h"
#include "Log.h"

namespace {

constexpr const char* kSrc = "AudioProcess";
constexpr int kSilence = 1;
constexpr int kMusic = 3;
// Selected rates outside this range are treated as "keep the captured rate".
constexpr int kMinConvertRate = 1000;
constexpr int kMaxConvertRate = 768000;
// Same-second songs get " 1", " 2", ... before the extension.
constexpr int kMaxNameSuffix = 9999;

bool FormatKnown(const AudioParam& format)
{
    return format.samplesPerSec > 0 && format.channels > 0 && format.bitsPerSample > 0;
}

// Silence: every one of the first 16 samples within the bounds (-10..10 for
// 16-bit integers, -0.001..0.001 for floats). Other depths are always music.
int AudioParser(const unsigned char* data, unsigned size, int bits)
{
    if (size == 0 || bits <= 0)
        return kSilence;
    const unsigned total = size * 8 / static_cast<unsigned>(bits);
    const unsigned examined = total < 16 ? total : 16;
    if (bits == 32) {
        for (unsigned i = 0; i < examined; ++i) {
            float x;
            std::memcpy(&x, data + i * 4, sizeof(x));
            if (!(x >= -0.001f && x <= 0.001f))
                return kMusic;
        }
        return kSilence;
    }
    if (bits == 16) {
        for (unsigned i = 0; i < examined; ++i) {
            int16_t s;
            std::memcpy(&s, data + i * 2, sizeof(s));
            if (s < -10 || s > 10)
                return kMusic;
        }
        return kSilence;
    }
    return kMusic;
}

}  // namespace

CAudioProcess::CAudioProcess(CAudioDataManager* manager)
    : pause(false),
      state(0),
      fileMs(0),
      runType(0),
      runMs(0),
      clipMs(20),
      silenceLimitMs(200),
      minimumMs(3000),
      musicFile(nullptr),
      extension("dat"),
      terminate(false),
      callback(nullptr),
      user(nullptr),
      dataManager(manager),
      outputFolder(GetProgramFolder()),
      bytesPerSecond(0),
      clipBytes(0),
      converting(false),
      convertChannels(0),
      convertStep(0),
      convertPos(0),
      haveLastFrame(false),
      convertedIn(0),
      convertedOut(0),
      diskFree(GetDiskFreeBytes),
      clock([] { return time(nullptr); })
{
    LogScope scope("CAudioProcess::CAudioProcess");
    std::memset(&captured, 0, sizeof(captured));
    std::memset(&selected, 0, sizeof(selected));
    if (dataManager)
        dataManager->SetDataHook([this] { Wake(); });
}

CAudioProcess::~CAudioProcess()
{
    // The thread runs this object's Routine: it must end before the object does.
    if (IsStarted())
        Terminate();
    if (dataManager)
        dataManager->SetDataHook(nullptr);
}

void CAudioProcess::SetCallback(SonacapNotifyCallback cb, void* userData)
{
    std::lock_guard<std::mutex> guard(configLock);
    callback = cb;
    user = userData;
}

void CAudioProcess::SetSelectedParam(const AudioParam& param)
{
    std::lock_guard<std::mutex> guard(configLock);
    selected = param;
}

void CAudioProcess::SetMusicFile(IMusicFile* file, std::string ext)
{
    CSectionGuard guard(&lock);
    if (SongOpen()) {
        // The writer is about to be replaced (and the old one deleted by the
        // caller): its song ends here rather than at the thread's next clip.
        SC_LOG_INFO(kSrc, "CAudioProcess::SetMusicFile", "Music manual switch");
        FileFinish();
        fileMs = 0;
        runMs = 0;
    }
    musicFile = file;
    extension = std::move(ext);
}

void CAudioProcess::SetOutputFolder(const char* folder)
{
    if (!folder)
        return;
    std::string withSeparator = AppendPathSeparator(folder);
    std::lock_guard<std::mutex> guard(configLock);
    outputFolder = withSeparator;
}

void CAudioProcess::SetSilenceLimit(unsigned ms)
{
    silenceLimitMs = ms;
}

void CAudioProcess::SetMinimum(unsigned ms)
{
    minimumMs = ms;
}

void CAudioProcess::SetPause(bool value)
{
    pause = value;
}

void CAudioProcess::SetState(int value)
{
    {
        CSectionGuard guard(&lock);
        state = value;
        runType = 0;
        runMs = 0;
    }
    if (value == 2) {
        // Now for what is queued, and again for the next block should the
        // queue have just been emptied.
        if (dataManager)
            dataManager->ArmDataHook();
        Wake();
    }
}

void CAudioProcess::Wake()
{
    {
        std::lock_guard<std::mutex> guard(wakeLock);
        woken = true;
    }
    wake.notify_all();
}

int CAudioProcess::GetState()
{
    CSectionGuard guard(&lock);
    return state;
}

void CAudioProcess::Terminate()
{
    LogScope scope("CAudioProcess::Terminate");
    {
        std::lock_guard<std::mutex> guard(wakeLock);
        terminate = true;
    }
    wake.notify_all();
    Join();
}

void CAudioProcess::Restart()
{
    Terminate();
    terminate = false;
    {
        CSectionGuard guard(&lock);
        state = 0;
        fileMs = 0;
        runType = 0;
        runMs = 0;
        captured.samplesPerSec = 0;
        captured.channels = 0;
        captured.bitsPerSample = 0;
        clipMs = 20;
        checkedMs = 0;
        captureLost = false;
    }
    if (Start() != 0)
        SC_LOG_ERROR(kSrc, "CAudioProcess::Restart", "the processing thread cannot be started");
}

void CAudioProcess::SetDiskFreeFunction(DiskFreeFunction function)
{
    diskFree = function ? std::move(function) : DiskFreeFunction(GetDiskFreeBytes);
}

void CAudioProcess::SetIdleWait(std::chrono::milliseconds wait)
{
    idleWait = wait;
}

void CAudioProcess::SetClock(ClockFunction function)
{
    clock = function ? std::move(function) : ClockFunction([] { return time(nullptr); });
}

void CAudioProcess::Notify(tagSonacapNotify code, void* param)
{
    SonacapNotifyCallback cb;
    void* userData;
    {
        std::lock_guard<std::mutex> guard(configLock);
        cb = callback;
        userData = user;
    }
    if (cb)
        cb(userData, code, param);
}

int CAudioProcess::Routine()
{
    LogScope scope("CAudioProcess::Routine");
    pause = false;
    SC_LOG_INFO(kSrc, "CAudioProcess::Routine", "Audio process thread run");

    AudioParam format;
    std::memset(&format, 0, sizeof(format));
    for (;;) {
        dataManager->GetAudioParam(&format);
        if (FormatKnown(format) || terminate)
            break;
        // Capture reports its format within moments; no need to burn a core.
        usleep(2000);
    }
    Notify(kSonacapNotifyProcessStart, &format);
    SC_LOG_INFO(kSrc, "CAudioProcess::Routine", "Audio Param:Channel=%d,SamplesPerSec=%d,BitsPerSample=%d",
                format.channels, format.samplesPerSec, format.bitsPerSample);

    // A format too thin to fill one byte a second cannot be timed; it is
    // treated like no format at all rather than divided by.
    const uint64_t formatBytesPerSecond =
        FormatKnown(format)
            ? static_cast<uint64_t>(format.samplesPerSec) * format.channels * format.bitsPerSample / 8
            : 0;
    const bool usable = formatBytesPerSecond > 0;
    if (FormatKnown(format) && !usable)
        SC_LOG_ERROR(kSrc, "CAudioProcess::Routine", "unusable capture format, nothing is processed");
    {
        CSectionGuard guard(&lock);
        bytesPerSecond = formatBytesPerSecond;
        // Whole frames only, so a clip never splits a sample.
        const uint64_t frameBytes =
            usable ? static_cast<uint64_t>(format.channels) * ((format.bitsPerSample + 7) / 8) : 1;
        uint64_t bytes = bytesPerSecond * clipMs / 1000;
        bytes -= bytes % frameBytes;
        if (bytes == 0)
            bytes = frameBytes;
        clipBytes = static_cast<unsigned>(bytes);
        captured = format;
        if (state == 0)
            state = 1;
    }

    std::vector<unsigned char> data(usable ? clipBytes : 0);
    std::vector<char> name(kNameBufferSize, 0);
    AudioClip clip;
    std::memset(&clip, 0, sizeof(clip));
    clip.data = data.data();
    clip.name = name.data();
    clip.param = format;
    const unsigned frameBytes = usable ? static_cast<unsigned>(format.channels) * ((format.bitsPerSample + 7) / 8) : 1;
    // Bytes of an incomplete frame kept at the front of `data` for the next clip.
    unsigned carry = 0;
    // The log tells when the sound turns from silence to music and back, not
    // every clip: capture runs all day and the log is packed into bug reports.
    int loggedType = 0;

    while (usable && !terminate) {
        clip.type = 0;
        const unsigned popped = dataManager->PopData(data.data() + carry, clipBytes - carry);
        const unsigned total = carry + popped;
        const unsigned size = total - total % frameBytes;
        clip.size = static_cast<int>(size);
        clip.type = AudioParser(clip.data, size, format.bitsPerSample);
        const unsigned duration = static_cast<unsigned>(static_cast<uint64_t>(size) * 1000 / bytesPerSecond);
        if (duration != 0 && clip.type != loggedType) {
            loggedType = clip.type;
            if (clip.type == kSilence)
                SC_LOG_DEBUG(kSrc, "CAudioProcess::Routine", "audio data type=mute,size=%d,duration =%d",
                             static_cast<int>(size), static_cast<int>(duration));
            else
                SC_LOG_DEBUG(kSrc, "CAudioProcess::Routine", "audio data type = music,size=%d,duration=%d",
                             static_cast<int>(size), static_cast<int>(duration));
        }
        {
            CSectionGuard guard(&lock);
            // In stream order: what capture reported before this clip comes first.
            HandleCaptureEvents(total);
            HandleClip(clip, duration);
            HandleCaptureEvents(total - size);
        }
        carry = total - size;
        if (carry > 0)
            std::memmove(data.data(), data.data() + size, carry);
        if (popped == 0) {
            std::unique_lock<std::mutex> guard(wakeLock);
            wake.wait_for(guard, idleWait, [this] { return woken || terminate.load(); });
            woken = false;
        }
    }

    {
        CSectionGuard guard(&lock);
        if (SongOpen())
            FileFinish();
    }
    SC_LOG_INFO(kSrc, "CAudioProcess::Routine", "Audio process thread end");
    return 0;
}

void CAudioProcess::HandleClip(AudioClip& clip, unsigned duration)
{
    const unsigned size = static_cast<unsigned>(clip.size);
    if (state == 1) {
        if (SongOpen()) {
            SC_LOG_INFO(kSrc, "CAudioProcess::Routine", "Music manual switch");
            FileFinish();
            fileMs = duration;
            runMs = duration;
        } else if (size > 0) {
            Notify(kSonacapNotifyAudioClip, &clip);
        }
    } else if (state == 2) {
        if (SongOpen()) {
            if (size > 0) {
                fileMs += duration;
                if (clip.type == runType) {
                    runMs += duration;
                } else {
                    runType = clip.type;
                    runMs = duration;
                }
                clip.seconds = static_cast<int>(fileMs / 1000);
                clip.reached20 = clip.seconds == 20;
                if (!pause && !WriteClip(clip.data, size)) {
                    // The song ends with what reached the disk; nothing
                    // written later could join it without a hole.
                    const int error = musicFile->WriteError();
                    FileFinish(error != 0 ? error : EIO);
                    fileMs = 0;
                    runMs = 0;
                    return;
                }
                Notify(kSonacapNotifyMusicData, &clip);
                if (fileMs - checkedMs >= kSongCheckMs)
                    CheckOpenSong();
            }
        } else if (clip.type == kMusic) {
            OpenSong(clip, duration);
        }
    }

    const unsigned limit = silenceLimitMs;
    if (SongOpen() && runType == kSilence && runMs >= limit) {
        SC_LOG_INFO(kSrc, "CAudioProcess::Routine", "Music auto switch");
        FileFinish();
        fileMs = 0;
        runMs = 0;
    }
}

void CAudioProcess::OpenSong(AudioClip& clip, unsigned duration)
{
    std::string folder;
    AudioParam wanted;
    {
        std::lock_guard<std::mutex> guard(configLock);
        folder = outputFolder;
        wanted = selected;
    }
    uint64_t freeBytes = diskFree(folder);
    if (freeBytes < kMinimumFreeBytes) {
        SC_LOG_WARNING(kSrc, "CAudioProcess::Routine", "disk of [%s] nearly full: %llu bytes free", folder.c_str(),
                       static_cast<unsigned long long>(freeBytes));
        state = 1;
        Notify(kSonacapNotifyDiskFull, &freeBytes);
        return;
    }

    std::string path;
    int error = 0;
    bool opened = false;
    if (!musicFile) {
        SC_LOG_ERROR(kSrc, "CAudioProcess::Routine", "no song writer set");
        error = EIO;
    } else if (CreateSongFile(&path, &error)) {
        if (path.size() + 1 > kNameBufferSize) {
            SC_LOG_ERROR(kSrc, "CAudioProcess::Routine", "song path too long: %s", path.c_str());
            error = ENAMETOOLONG;
        } else {
            AudioParam fileFormat = captured;
            const bool convert = captured.bitsPerSample == 16 && wanted.samplesPerSec >= kMinConvertRate &&
                                 wanted.samplesPerSec <= kMaxConvertRate &&
                                 wanted.samplesPerSec != captured.samplesPerSec;
            if (convert)
                fileFormat.samplesPerSec = wanted.samplesPerSec;
            try {
                musicFile->Open(path.c_str(), &fileFormat);
                opened = true;
            } catch (const CError& e) {
                SC_LOG_ERROR(kSrc, "CAudioProcess::Routine", "Open music file[%s] failed: code=%d,msg=%s",
                             path.c_str(), e.Code(), e.Message().c_str());
            } catch (...) {
                SC_LOG_ERROR(kSrc, "CAudioProcess::Routine", "Open music file[%s] failed: Unknown error",
                             path.c_str());
            }
            if (opened) {
                converting = false;
                if (convert)
                    ResetConverter(captured.samplesPerSec, wanted.samplesPerSec, captured.channels, clipBytes);
                // A first write that fails leaves nothing worth keeping.
                if (!WriteClip(clip.data, static_cast<unsigned>(clip.size))) {
                    musicFile->Close();
                    converting = false;
                    opened = false;
                    const std::string closed = musicFile->ClosedPath();
                    if (!closed.empty() && closed != path)
                        remove(closed.c_str());
                }
            }
            if (!opened)
                error = musicFile->WriteError();
        }
        if (!opened)
            remove(path.c_str());
    }
    if (!opened) {
        ReportWriteFailure(error != 0 ? error : EIO, nullptr);
        return;
    }

    fileMs = duration;
    runMs = duration;
    runType = kMusic;
    checkedMs = 0;
    songPath = path;
    std::memcpy(clip.name, path.c_str(), path.size() + 1);
    SC_LOG_INFO(kSrc, "CAudioProcess::Routine", "Music file start:%s", path.c_str());
    Notify(kSonacapNotifyMusicStart, &clip);
}

bool CAudioProcess::CreateSongFile(std::string* path, int* error)
{
    std::string folder;
    std::string ext;
    {
        std::lock_guard<std::mutex> guard(configLock);
        folder = outputFolder;
    }
    ext = extension;
    const time_t now = clock();
    tzset();
    struct tm local;
    std::memset(&local, 0, sizeof(local));
    localtime_r(&now, &local);
    char stamp[64];
    snprintf(stamp, sizeof(stamp), "%04d_%02d_%02d_%02d_%02d_%02d", local.tm_year + 1900, local.tm_mon + 1,
             local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    const std::string base = folder + stamp;
    for (int n = 0; n <= kMaxNameSuffix; ++n) {
        const std::string candidate = n == 0 ? base + "." + ext : base + " " + std::to_string(n) + "." + ext;
        // Exclusive creation: a name that exists (an earlier song of the same
        // second) is never reused, even by a racing writer.
        const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            *path = candidate;
            return true;
        }
        if (errno != EEXIST) {
            *error = errno;
            SC_LOG_ERROR(kSrc, "CAudioProcess::Routine", "Open file[%s] failed: %s", candidate.c_str(),
                         strerror(errno));
            return false;
        }
    }
    SC_LOG_ERROR(kSrc, "CAudioProcess::Routine", "no free song name for [%s]", base.c_str());
    *error = EEXIST;
    return false;
}

bool CAudioProcess::FileFinish(int writeError)
{
    SC_LOG_INFO(kSrc, "CAudioProcess::FileFinish", "Music file finished");
    std::string path = songPath;
    if (musicFile) {
        if (!musicFile->Close() && writeError == 0)
            writeError = musicFile->WriteError() != 0 ? musicFile->WriteError() : EIO;
        const std::string closed = musicFile->ClosedPath();
        if (!closed.empty())
            path = closed;
    }
    converting = false;
    songPath.clear();
    std::string keptUtf8;
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        // Removed with its folder while it was written (the writes went to a
        // file no longer reachable): there is nothing to report as a song.
        SC_LOG_ERROR(kSrc, "CAudioProcess::FileFinish", "song file [%s] is gone", path.c_str());
        if (writeError == 0)
            writeError = ENOENT;
        Notify(kSonacapNotifyMusicEnd, nullptr);
    } else if (fileMs < minimumMs) {
        remove(path.c_str());
        SC_LOG_INFO(kSrc, "CAudioProcess::FileFinish", "[quit]Remove music file:%s,duration=%d", path.c_str(),
                    static_cast<int>(fileMs));
        Notify(kSonacapNotifyMusicEnd, nullptr);
    } else {
        SC_LOG_INFO(kSrc, "CAudioProcess::FileFinish", "[quit]Music file end:%s,duration=%d", path.c_str(),
                    static_cast<int>(fileMs));
        keptUtf8 = AnsiToUtf8(path);
        Notify(kSonacapNotifyMusicEnd, const_cast<char*>(keptUtf8.c_str()));
    }
    SC_LOG_INFO(kSrc, "CAudioProcess::FileFinish", "Generate a music file");
    if (writeError == 0)
        return false;
    ReportWriteFailure(writeError, keptUtf8.empty() ? nullptr : keptUtf8.c_str());
    return true;
}

void CAudioProcess::ReportWriteFailure(int error, const char* keptPath)
{
    std::string folder;
    {
        std::lock_guard<std::mutex> guard(configLock);
        folder = outputFolder;
    }
    SonacapFailure failure;
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        failure.reason = kSonacapReasonDiskFull;
        break;
    case ENOENT:
    case ENOTDIR:
    case EACCES:
    case EPERM:
    case EROFS:
    case ENAMETOOLONG:
    case ELOOP:
        failure.reason = kSonacapReasonFolderNotWritable;
        break;
    default:
        failure.reason = kSonacapReasonWriteError;
        break;
    }
    SC_LOG_ERROR(kSrc, "CAudioProcess::Routine", "writing into [%s] failed: %s; recording stops", folder.c_str(),
                 strerror(error));
    const std::string folderUtf8 = AnsiToUtf8(folder);
    failure.systemError = error;
    failure.folder = folderUtf8.c_str();
    failure.path = keptPath;
    state = 1;
    runType = 0;
    runMs = 0;
    Notify(kSonacapNotifyWriteFailed, &failure);
}

void CAudioProcess::CheckOpenSong()
{
    checkedMs = fileMs;
    struct stat info;
    if (stat(songPath.c_str(), &info) != 0) {
        SC_LOG_ERROR(kSrc, "CAudioProcess::Routine", "song file [%s] is gone: %s", songPath.c_str(),
                     strerror(errno));
        FileFinish(ENOENT);
        fileMs = 0;
        runMs = 0;
        return;
    }
    std::string folder;
    {
        std::lock_guard<std::mutex> guard(configLock);
        folder = outputFolder;
    }
    uint64_t freeBytes = diskFree(folder);
    if (freeBytes >= kSongReserveBytes)
        return;
    SC_LOG_WARNING(kSrc, "CAudioProcess::Routine", "disk of [%s] nearly full: %llu bytes free; the song ends here",
                   folder.c_str(), static_cast<unsigned long long>(freeBytes));
    const bool failed = FileFinish();
    fileMs = 0;
    runMs = 0;
    if (failed)
        return;
    state = 1;
    Notify(kSonacapNotifyDiskFull, &freeBytes);
}

void CAudioProcess::HandleCaptureEvents(unsigned unhandled)
{
    for (;;) {
        std::string note;
        const CAudioDataManager::CaptureEvent event = dataManager->TakeEvent(unhandled, &note);
        if (event == CAudioDataManager::kNoEvent)
            return;
        if (event == CAudioDataManager::kCaptureNote) {
            SC_LOG_INFO(kSrc, "CAudioProcess::Routine", "capture: %s", note.c_str());
        } else if (event == CAudioDataManager::kCaptureLost) {
            if (captureLost)
                continue;
            captureLost = true;
            SC_LOG_ERROR(kSrc, "CAudioProcess::Routine", "capture lost");
            if (SongOpen()) {
                // Whatever arrived before the loss is a song of its own.
                FileFinish();
                fileMs = 0;
                runMs = 0;
            }
            SonacapFailure failure{kSonacapReasonCaptureLost, 0, "", nullptr};
            Notify(kSonacapNotifyCaptureLost, &failure);
        } else if (event == CAudioDataManager::kCaptureRestored) {
            if (!captureLost)
                continue;
            captureLost = false;
            SC_LOG_INFO(kSrc, "CAudioProcess::Routine", "capture restored");
            Notify(kSonacapNotifyCaptureRestored, nullptr);
        }
    }
}

void CAudioProcess::ResetConverter(int inRate, int outRate, int channels, unsigned bytes)
{
    converting = true;
    convertChannels = channels;
    convertStep = static_cast<uint64_t>(static_cast<double>(inRate) / outRate * 4294967296.0 + 0.5);
    if (convertStep == 0)
        convertStep = 1;
    convertPos = 0;
    haveLastFrame = false;
    lastFrame.assign(static_cast<size_t>(channels), 0);
    const uint64_t inFrames = bytes / (2u * static_cast<unsigned>(channels)) + 1;
    const uint64_t outFrames = inFrames * static_cast<uint64_t>(outRate) / static_cast<uint64_t>(inRate) + 4;
    convertBuffer.assign(static_cast<size_t>(outFrames * channels), 0);
    convertedIn = 0;
    convertedOut = 0;
}

bool CAudioProcess::Convert(const int16_t* in, unsigned frames)
{
    const int channels = convertChannels;
    // The window: the previous clip's last frame (when there is one), then this clip.
    const uint64_t windowLen = frames + (haveLastFrame ? 1 : 0);
    auto sampleAt = [&](uint64_t index, int c) -> int {
        if (haveLastFrame) {
            if (index == 0)
                return lastFrame[static_cast<size_t>(c)];
            --index;
        }
        int16_t s;
        std::memcpy(&s, in + index * static_cast<uint64_t>(channels) + static_cast<uint64_t>(c), sizeof(s));
        return s;
    };
    if (windowLen == 0)
        return true;
    const uint64_t maxOut = ((windowLen << 32) / convertStep) + 2;
    if (convertBuffer.size() < maxOut * static_cast<uint64_t>(channels))
        convertBuffer.resize(static_cast<size_t>(maxOut * static_cast<uint64_t>(channels)));

    size_t out = 0;
    while ((convertPos >> 32) + 1 < windowLen) {
        const uint64_t index = convertPos >> 32;
        const int64_t frac = static_cast<int64_t>(convertPos & 0xffffffffu);
        for (int c = 0; c < channels; ++c) {
            const int a = sampleAt(index, c);
            const int b = sampleAt(index + 1, c);
            convertBuffer[out * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<int16_t>(a + static_cast<int>((static_cast<int64_t>(b - a) * frac) / 4294967296LL));
        }
        ++out;
        convertPos += convertStep;
    }
    convertPos -= (windowLen - 1) << 32;
    for (int c = 0; c < channels; ++c)
        lastFrame[static_cast<size_t>(c)] = static_cast<int16_t>(sampleAt(windowLen - 1, c));
    haveLastFrame = true;

    const unsigned outBytes = static_cast<unsigned>(out * static_cast<size_t>(channels) * 2);
    convertedIn += static_cast<uint64_t>(frames) * static_cast<uint64_t>(channels) * 2;
    convertedOut += outBytes;
    return outBytes == 0 || musicFile->WriteData(convertBuffer.data(), outBytes);
}

bool CAudioProcess::WriteClip(const unsigned char* data, unsigned size)
{
    if (!musicFile || size == 0)
        return true;
    if (!converting)
        return musicFile->WriteData(data, size);
    const unsigned frames = size / (2u * static_cast<unsigned>(convertChannels));
    return Convert(reinterpret_cast<const int16_t*>(data), frames);
}
