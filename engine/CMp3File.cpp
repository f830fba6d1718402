#include "CMp3File.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <lame/lame.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "CError.h"
#include "EngineUtils.h"
#include "Log.h"

extern char** environ;

namespace {

constexpr const char* kSrc = "Mp3File";
// An hour-long six-channel song takes well under a minute to mix down; the
// limit only guards against a converter that hangs.
constexpr unsigned kDefaultConverterTimeout = 1800;
// Encoded bytes are collected before they reach the file, one write call per
// block instead of one per 20 ms clip, but never more than a quarter second
// of the song: what the program loses when it is killed, or when the disk
// fills up, is what was not written yet.
constexpr unsigned kBlockMs = 250;
constexpr size_t kMaxBlockBytes = 64 * 1024;

// Length in bytes of the MPEG Layer III frame whose 4-byte header is given;
// 0 when it is no such header.
unsigned Mp3FrameLength(const unsigned char* h)
{
    static const unsigned kMpeg1Kbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const unsigned kMpeg2Kbps[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static const unsigned kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || ((h[1] >> 1) & 3) != 1)
        return 0;
    const unsigned version = (h[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const unsigned rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || rateIndex == 3)
        return 0;
    const bool mpeg1 = version == 3;
    const unsigned kbps = (mpeg1 ? kMpeg1Kbps : kMpeg2Kbps)[h[2] >> 4];
    const unsigned rate = kRates[mpeg1 ? 0 : version == 2 ? 1 : 2][rateIndex];
    if (kbps == 0)
        return 0;
    return (mpeg1 ? 144000 : 72000) * kbps / rate + ((h[2] >> 1) & 1);
}

void LameError(const char* format, va_list args)
{
    char text[1024];
    vsnprintf(text, sizeof(text), format, args);
    SC_LOG_ERROR(kSrc, "LameError", "%s", text);
}

void LameDebug(const char* format, va_list args)
{
    char text[1024];
    vsnprintf(text, sizeof(text), format, args);
    SC_LOG_DEBUG(kSrc, "LameDebug", "%s", text);
}

void LameInfo(const char* format, va_list args)
{
    char text[1024];
    vsnprintf(text, sizeof(text), format, args);
    SC_LOG_INFO(kSrc, "LameInfo", "%s", text);
}

// Runs argv[0] (found through PATH) with its output discarded, waiting at
// most timeoutSeconds; a program still running then is killed. True when the
// program ran to its end; its exit status is stored then.
bool RunConverter(const std::vector<std::string>& args, unsigned timeoutSeconds, int* exitStatus)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        SC_LOG_ERROR(kSrc, "CMp3File::Close", "cannot start [%s]: %s", argv[0], strerror(spawned));
        return false;
    }

    const unsigned stepMs = 20;
    const unsigned long long limitMs = static_cast<unsigned long long>(timeoutSeconds) * 1000;
    unsigned long long waitedMs = 0;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR) {
            SC_LOG_ERROR(kSrc, "CMp3File::Close", "waitpid failed: %s", strerror(errno));
            return false;
        }
        if (waitedMs >= limitMs) {
            SC_LOG_ERROR(kSrc, "CMp3File::Close", "[%s] still running after %u s, killed", argv[0],
                         timeoutSeconds);
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return false;
        }
        usleep(stepMs * 1000);
        waitedMs += stepMs;
    }
    if (!WIFEXITED(status)) {
        SC_LOG_ERROR(kSrc, "CMp3File::Close", "[%s] ended abnormally", argv[0]);
        return false;
    }
    *exitStatus = WEXITSTATUS(status);
    return true;
}

}  // namespace

CMp3File::CMp3File(CDiskSyncer& diskSyncer)
    : syncer(diskSyncer),
      multiChannel(false),
      wav(diskSyncer),
      sampleRate(0),
      bitRate(320),
      fd(-1),
      lame(nullptr),
      converter("ffmpeg"),
      converterTimeout(kDefaultConverterTimeout),
      writeFailed(false),
      writeErrno(0),
      blockBytes(kMaxBlockBytes),
      flushed(0),
      appended(0),
      nextHeader(0),
      header{},
      headerBytes(0),
      framesKnown(false),
      wholeOnDisk(0)
{
    std::memset(&format, 0, sizeof(format));
}

CMp3File::~CMp3File()
{
    Close();
    ReleaseEncoder();
    SC_LOG_INFO(kSrc, "CMp3File::~CMp3File", "[MP3]close");
}

void CMp3File::SetRatio(unsigned kbps)
{
    bitRate = kbps;
    SC_LOG_INFO(kSrc, "CMp3File::SetRatio", "[MP3]Ratio = %u", kbps);
}

void CMp3File::SetConverter(const std::string& program, unsigned timeoutSeconds)
{
    converter = program;
    converterTimeout = timeoutSeconds;
}

void CMp3File::ReleaseEncoder()
{
    if (fd >= 0) {
        // The last collected bytes reach the disk here.
        FlushPending();
        if (close(fd) != 0 && !writeFailed)
            Fail(errno != 0 ? errno : EIO, "CMp3File::Close", "closing");
        fd = -1;
        syncer.Detach(synced);
    }
    pending.clear();
    frameEnds.clear();
    if (lame) {
        lame_close(lame);
        lame = nullptr;
    }
}

void CMp3File::Fail(int error, const char* function, const char* what)
{
    writeFailed = true;
    writeErrno = error;
    SC_LOG_ERROR(kSrc, function, "%s [%s] failed: %s; the song ends here", what, path.c_str(), strerror(writeErrno));
}

void CMp3File::Open(const char* songPath, const AudioParam* songFormat)
{
    // A writer reused for the next song starts clean.
    Close();
    ReleaseEncoder();
    writeFailed = false;
    writeErrno = 0;
    closedPath.clear();
    if (!songPath || !songFormat) {
        SC_LOG_ERROR(kSrc, "CMp3File::Open", "Open file[%s] failed", songPath ? songPath : "");
        ThrowCodedError(kErrOpenFile);
    }
    if (songFormat->channels > 2) {
        // Set only once the WAV exists, so a failed open never leads Close to
        // convert a file that is not there.
        wav.Open(songPath, songFormat);
        multiChannel = true;
        path = songPath;
        closedPath = path;
        sampleRate = songFormat->samplesPerSec;
        format = *songFormat;
        return;
    }
    // Only depths that can be turned into 16-bit samples are encoded.
    const int bits = songFormat->bitsPerSample;
    if ((bits != 8 && bits != 16 && bits != 24 && bits != 32) || songFormat->channels < 1 ||
        songFormat->samplesPerSec < 1) {
        SC_LOG_ERROR(kSrc, "CMp3File::Open", "unsupported format: %d Hz, %d channels, %d bits",
                     songFormat->samplesPerSec, songFormat->channels, bits);
        ThrowCodedError(kErrEncoderInit);
    }
    try {
        errno = 0;
        fd = open(songPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            writeFailed = true;
            writeErrno = errno != 0 ? errno : EIO;
            SC_LOG_ERROR(kSrc, "CMp3File::Open", "Open file[%s] failed", songPath);
            ThrowCodedError(kErrOpenFile);
        }
        synced = syncer.Attach(fd);
        flushed = appended = nextHeader = wholeOnDisk = 0;
        headerBytes = 0;
        framesKnown = false;
        // A quarter second at the bit rate (a constant bit rate: bytes are time).
        blockBytes = std::min<size_t>(kMaxBlockBytes, static_cast<size_t>(bitRate) * 1000 / 8 * kBlockMs / 1000);
        pending.reserve(blockBytes);
        path = songPath;
        closedPath = path;
        lame = lame_init();
        if (!lame) {
            SC_LOG_ERROR(kSrc, "CMp3File::Open", "init lame failed");
            ThrowCodedError(kErrEncoderInit);
        }
        lame_set_errorf(lame, LameError);
        lame_set_debugf(lame, LameDebug);
        lame_set_msgf(lame, LameInfo);
        format = *songFormat;
        InitializeLameStream(songFormat);
    } catch (...) {
        SC_LOG_INFO(kSrc, "CMp3File::Open", "[MP3]err = catch(Open)");
        ReleaseEncoder();
        throw;
    }
}

void CMp3File::InitializeLameStream(const AudioParam* songFormat)
{
    lame_set_VBR(lame, vbr_off);
    lame_set_num_channels(lame, songFormat->channels);
    lame_set_in_samplerate(lame, songFormat->samplesPerSec);
    lame_set_out_samplerate(lame, songFormat->samplesPerSec);
    // No Xing/Info frame: it would be written at the head and never patched.
    lame_set_bWriteVbrTag(lame, 0);
    lame_set_original(lame, 1);
    lame_set_disable_reservoir(lame, 0);
    lame_set_brate(lame, static_cast<int>(bitRate));
    lame_set_mode(lame, songFormat->channels < 2 ? MONO : STEREO);
    id3tag_init(lame);
    id3tag_add_v2(lame);
    // The tag is written here, at the head, not by the encoder on its own.
    lame_set_write_id3tag_automatic(lame, 0);
    if (lame_init_params(lame) < 0) {
        SC_LOG_ERROR(kSrc, "CMp3File::InitializeLameStream", "lame_init_params error");
        ThrowCodedError(kErrEncoderInit);
    }
    const size_t tagSize = lame_get_id3v2_tag(lame, nullptr, 0);
    if (tagSize > 0) {
        std::vector<unsigned char> tag(tagSize, 0);
        const size_t written = lame_get_id3v2_tag(lame, tag.data(), tag.size());
        if (written > tag.size())
            ThrowCodedError(kErrTagTooLarge);
        if (!WriteFile(tag.data(), written))
            ThrowCodedError(kErrOpenFile);
    }
    // The frames follow the tag.
    nextHeader = wholeOnDisk = appended;
    framesKnown = true;
}

bool CMp3File::WriteData(const void* data, unsigned size)
{
    if (multiChannel) {
        if (wav.WriteData(data, size))
            return true;
        if (!writeFailed) {
            writeFailed = true;
            writeErrno = wav.WriteError() != 0 ? wav.WriteError() : EIO;
        }
        return false;
    }
    if (writeFailed)
        return false;
    if (!lame || fd < 0 || !data || size == 0)
        return true;
    const int channels = format.channels;
    const int bytesPerSample = format.bitsPerSample / 8;
    const unsigned samples = size / static_cast<unsigned>(bytesPerSample);
    const unsigned frames = samples / static_cast<unsigned>(channels);
    if (frames == 0)
        return true;

    // LAME takes 16-bit samples; every other depth is converted first.
    const short* pcm = nullptr;
    if (bytesPerSample == 2 && reinterpret_cast<uintptr_t>(data) % alignof(short) == 0) {
        pcm = static_cast<const short*>(data);
    } else if (bytesPerSample == 2) {
        pcm16.resize(frames * channels);
        std::memcpy(pcm16.data(), data, frames * channels * sizeof(short));
        pcm = pcm16.data();
    } else {
        pcm16.resize(frames * channels);
        const unsigned char* in = static_cast<const unsigned char*>(data);
        for (unsigned i = 0; i < frames * channels; ++i) {
            int value = 0;
            if (bytesPerSample == 1) {
                value = (static_cast<int>(in[i]) - 128) * 256;
            } else if (bytesPerSample == 3) {
                const unsigned char* s = in + i * 3;
                value = static_cast<int16_t>(static_cast<uint16_t>(s[1] | (s[2] << 8)));
            } else {
                float f;
                std::memcpy(&f, in + i * 4, sizeof(f));
                if (!(f == f))
                    f = 0.0f;
                f = std::max(-1.0f, std::min(1.0f, f));
                value = static_cast<int>(std::lround(f * 32767.0f));
            }
            pcm16[i] = static_cast<short>(value);
        }
        pcm = pcm16.data();
    }

    const size_t outSize = static_cast<size_t>(frames * 1.25 + 7200);
    if (mp3Buffer.size() < outSize)
        mp3Buffer.resize(outSize);
    int encoded;
    short* samplesPtr = const_cast<short*>(pcm);
    if (channels == 1) {
        // The interleaved entry point always steps over two channels.
        encoded = lame_encode_buffer(lame, samplesPtr, samplesPtr, static_cast<int>(frames), mp3Buffer.data(),
                                     static_cast<int>(mp3Buffer.size()));
    } else {
        encoded = lame_encode_buffer_interleaved(lame, samplesPtr, static_cast<int>(frames), mp3Buffer.data(),
                                                 static_cast<int>(mp3Buffer.size()));
    }
    if (encoded < 0) {
        SC_LOG_ERROR(kSrc, "CMp3File::WriteData", "encode error");
        return true;
    }
    return encoded == 0 || WriteFile(mp3Buffer.data(), static_cast<size_t>(encoded));
}

bool CMp3File::WriteFile(const unsigned char* bytes, size_t size)
{
    if (writeFailed)
        return false;
    TrackFrames(bytes, size);
    appended += size;
    pending.insert(pending.end(), bytes, bytes + size);
    return pending.size() < blockBytes || FlushPending();
}

void CMp3File::TrackFrames(const unsigned char* bytes, size_t size)
{
    if (!framesKnown)
        return;
    const uint64_t end = appended + size;
    while (nextHeader < end) {
        while (headerBytes < 4 && nextHeader + headerBytes < end) {
            header[headerBytes] = bytes[nextHeader + headerBytes - appended];
            ++headerBytes;
        }
        if (headerBytes < 4)
            return;  // the rest comes with the next bytes
        const unsigned length = Mp3FrameLength(header);
        if (length == 0) {
            SC_LOG_ERROR(kSrc, "CMp3File::WriteData", "no frame header at byte %llu of [%s]",
                         static_cast<unsigned long long>(nextHeader), path.c_str());
            framesKnown = false;
            return;
        }
        headerBytes = 0;
        nextHeader += length;
        frameEnds.push_back(nextHeader);
    }
}

bool CMp3File::FlushPending()
{
    if (fd < 0 || pending.empty())
        return !writeFailed;
    if (writeFailed) {
        pending.clear();
        return false;
    }
    size_t done = 0;
    while (done < pending.size()) {
        const ssize_t n = write(fd, pending.data() + done, pending.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        Fail(n < 0 && errno != 0 ? errno : ENOSPC, "CMp3File::WriteData", "write to");
        break;
    }
    flushed += done;
    pending.clear();
    CDiskSyncer::Written(synced);
    while (!frameEnds.empty() && frameEnds.front() <= flushed) {
        wholeOnDisk = frameEnds.front();
        frameEnds.pop_front();
    }
    if (writeFailed)
        CutToWholeFrames(flushed);
    return !writeFailed;
}

void CMp3File::CutToWholeFrames(uint64_t onDisk)
{
    // Bytes of a frame that did not fit whole are cut off again.
    const uint64_t cut = wholeOnDisk;
    if (cut >= onDisk)
        return;
    if (ftruncate(fd, static_cast<off_t>(cut)) != 0) {
        SC_LOG_ERROR(kSrc, "CMp3File::WriteData", "cannot cut [%s] to its last whole frame: %s", path.c_str(),
                     strerror(errno));
        return;
    }
    SC_LOG_INFO(kSrc, "CMp3File::WriteData", "[%s] ends after its last whole frame, at byte %llu", path.c_str(),
                static_cast<unsigned long long>(cut));
}

int CMp3File::WriteError() const
{
    return writeErrno;
}

bool CMp3File::WriteTags(const char*, const char*, const char*)
{
    return false;
}

bool CMp3File::CloseMultiChannel()
{
    SC_LOG_INFO(kSrc, "CMp3File::Close", "close mp3 fix data ...");
    if (!wav.Close() && !writeFailed) {
        writeFailed = true;
        writeErrno = wav.WriteError() != 0 ? wav.WriteError() : EIO;
    }
    const bool ok = !writeFailed;
    multiChannel = false;
    const std::string target = path + ".mp3";
    const std::vector<std::string> args = {converter, "-nostdin", "-y", "-loglevel", "error",
                                           "-i", path, "-vn", "-ar", std::to_string(sampleRate),
                                           "-ac", "2", "-ab", std::to_string(bitRate) + "k",
                                           "-f", "mp3", target};
    int exitStatus = -1;
    const bool ran = RunConverter(args, converterTimeout, &exitStatus);
    struct stat info;
    const bool produced = stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
    if (ran && exitStatus == 0 && produced) {
        // rename replaces the WAV in one step: the song's path always holds a file.
        if (rename(target.c_str(), path.c_str()) == 0) {
            // The converter's file is forced to disk like the song's own.
            const int converted = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            CDiskSyncer::Handle handle = syncer.Attach(converted);
            if (converted >= 0)
                close(converted);
            syncer.Detach(handle);
            SC_LOG_INFO(kSrc, "CMp3File::Close", "close mp3 fix data [%s -> %s][%d]OK", target.c_str(),
                        path.c_str(), exitStatus);
            return ok;
        }
        SC_LOG_ERROR(kSrc, "CMp3File::Close", "cannot move [%s] to [%s]: %s", target.c_str(), path.c_str(),
                     strerror(errno));
    } else {
        SC_LOG_ERROR(kSrc, "CMp3File::Close", "mix-down of [%s] failed (started %d, exit %d, output %d); the song stays WAV",
                     path.c_str(), ran ? 1 : 0, exitStatus, produced ? 1 : 0);
    }
    remove(target.c_str());
    // WAV data behind an ".mp3" name would not play as what it claims to be.
    const std::string wavPath = RenameToFreeName(path, "wav");
    if (wavPath.empty()) {
        SC_LOG_ERROR(kSrc, "CMp3File::Close", "cannot give [%s] a .wav name: %s", path.c_str(), strerror(errno));
    } else {
        SC_LOG_INFO(kSrc, "CMp3File::Close", "the song is kept as [%s]", wavPath.c_str());
        closedPath = wavPath;
    }
    return ok;
}

bool CMp3File::Close()
{
    if (multiChannel)
        return CloseMultiChannel();
    if (!lame)
        return true;
    unsigned char tail[7200];
    const int last = lame_encode_flush(lame, tail, sizeof(tail));
    if (last > 0 && fd >= 0)
        WriteFile(tail, static_cast<size_t>(last));
    ReleaseEncoder();
    return !writeFailed;
}
