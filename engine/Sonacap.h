// Public interface of the Sonacap recording engine.
//
// Everything declared here is exported from libSonacap.so; nothing else is.
// Texts crossing this interface are UTF-8, except the song path handed with
// kSonacapNotifyMusicStart (AudioClip::name), which is in the engine's local
// encoding (UTF-8 on this platform, so the two agree).
#pragma once

#include <cstdint>

#if defined(SONACAP_BUILDING_ENGINE)
#define SONACAP_API __attribute__((visibility("default")))
#else
#define SONACAP_API
#endif

// A PCM format: seven 32-bit integers in this order. Callers fill the first
// three and zero the rest; the capture side reports the complete record.
struct AudioParam {
    int32_t samplesPerSec;
    int32_t channels;
    int32_t bitsPerSample;
    int32_t reserved;      // passed through untouched
    int32_t blockAlign;
    int32_t formatTag;     // 1 = PCM
    int32_t extraSize;
};

// One classified 20 ms clip handed to the callback. Valid only during the call.
struct AudioClip {
    int type;              // 0 not classified, 1 silence, 3 music
    int size;              // bytes of PCM in data
    unsigned char* data;   // PCM in the captured format, before rate conversion
    int seconds;           // whole seconds written into the open song
    bool reached20;        // set when seconds is exactly 20 at its last update
    char* name;            // the open song's full path (zero-terminated)
    AudioParam param;      // the captured format
};

// Every notification comes on the engine's processing thread, most of them
// while it holds its processing lock (so the engine's Stop, called from
// another thread, waits until the callback returns); the exception is named
// at the entry point of SonacapNotifyCallback below.
enum tagSonacapNotify {
    kSonacapNotifyProcessStart = 0,  // param: AudioParam*, the captured format
    kSonacapNotifyAudioClip = 1,     // param: AudioClip* (idle block, no song open)
    kSonacapNotifyMusicStart = 2,    // param: AudioClip* (name holds the path)
    kSonacapNotifyMusicData = 3,     // param: AudioClip*
    // param: const char* UTF-8 path of a finished song file that exists on
    // disk, null when there is none (deleted as too short, or lost with its
    // folder). The path is where the file really is: a multi-channel MP3 whose
    // down-mix failed is kept as WAV data under a ".wav" name.
    kSonacapNotifyMusicEnd = 4,
    kSonacapNotifyReserved = 5,      // never sent
    // param: uint64_t* free bytes. The output folder's disk is nearly full:
    // no song starts, or the open one was finished (and reported with code 4)
    // while there was still room to close it. Recording has stopped.
    kSonacapNotifyDiskFull = 6,
    // param: const SonacapFailure*. A song file could not be created or
    // written (disk full, folder removed or read-only, I/O error). The song
    // was closed with what had been written and reported with code 4 before
    // this; failure->path names it when it was kept. Recording has stopped:
    // the engine never writes a song with a hole in it.
    kSonacapNotifyWriteFailed = 7,
    // param: const SonacapFailure* (reason kSonacapReasonCaptureLost). The
    // sound server went away or stopped delivering sound. An open song was
    // finished with what had arrived and reported with code 4 before this.
    // Recording stays on: the engine reconnects by itself and raises
    // kSonacapNotifyCaptureRestored once sound arrives again.
    kSonacapNotifyCaptureLost = 8,
    // param: null. Capture runs again after kSonacapNotifyCaptureLost.
    kSonacapNotifyCaptureRestored = 9,
};

// Why a song could not be written or capture stopped.
enum SonacapFailureReason {
    kSonacapReasonDiskFull = 1,          // no space left on the output folder's disk
    kSonacapReasonFolderNotWritable = 2, // folder missing, removed, read-only or not permitted
    kSonacapReasonWriteError = 3,        // any other write failure (an I/O error)
    kSonacapReasonCaptureLost = 4,       // the sound server went away or stopped answering
};

// The record handed with kSonacapNotifyWriteFailed and kSonacapNotifyCaptureLost;
// valid only during the call.
struct SonacapFailure {
    int reason;          // SonacapFailureReason
    int systemError;     // the errno of the failed call, 0 when there was none
    const char* folder;  // UTF-8 output folder, never null (empty for capture losses)
    const char* path;    // UTF-8 path of the song kept, null when none was kept
};

// Results of the engine's operations: 0 (or a count) on success, one of these
// on failure. The loopback capture's own non-zero codes pass through as well.
enum SonacapErrorCode {
    kErrInvalidDevice = -4095,     // unknown or missing device name or index
    kErrNoDevice = -4094,          // no audio device of the kind asked for
    kErrSystem = -4093,            // a sound-system call failed, or an unknown exception
    kErrFormatUnsupported = -4092, // the input device does not offer the requested format
    kErrBufferTooSmall = -4091,    // caller's buffer null or of size 0
    kErrMixer = -4090,             // a mixer call failed
    kErrNoSourceLine = -4089,      // the mixer has no suitable line or control
    kErrNoRecorder = -4086,        // Start without a recorder object (no capture set up)
    kErrDiskFull = -4085,          // Start with less than 50 MiB free on the output folder's disk
    kErrBadFormat = -3583,         // output format neither 1 nor 2
    kErrOpenFile = -3582,          // song file cannot be opened
    kErrEncoderInit = -3581,       // MP3 encoder set-up failed
    kErrTagTooLarge = -3580,       // ID3v2 tag larger than its buffer
    kErrOutputFolder = -3579,      // Start with an output folder that is missing or not writable
};

typedef void (*SonacapNotifyCallback)(void* user, tagSonacapNotify code, void* param);

// Root of every engine class. Engine objects are never copied.
class SONACAP_API CAudioBase {
public:
    virtual ~CAudioBase();

protected:
    CAudioBase();

private:
    CAudioBase(const CAudioBase&);
    CAudioBase& operator=(const CAudioBase&);
};

// The engine object. Created by GetInstance, destroyed by Release.
class SONACAP_API CSonacapBase : public CAudioBase {
public:
    virtual ~CSonacapBase();
    virtual int EnumInputDevice() = 0;
    virtual int InputDeviceCount() = 0;
    virtual int GetInputDevice(unsigned index, char* buf, int size) = 0;
    virtual int SelectMode(int mode, AudioParam param, const char* device) = 0;
    virtual int Start(int unused, int format, int quality) = 0;
    virtual void Pause(bool pause) = 0;
    virtual void Stop() = 0;
    virtual void Reset() = 0;
    virtual void SetPreviewVolume(int volume) = 0;
    virtual int GetPreviewVolume() = 0;
    virtual void SetTextParam(int key, const char* value) = 0;
    virtual void SetIntParam(int key, int value) = 0;

    // A new engine object on every call. InitSonacapModule must run first.
    static CSonacapBase* GetInstance();
    // Destroys the object; a null pointer is accepted and ignored.
    static void Release(CSonacapBase* engine);

    void RegCallback(SonacapNotifyCallback cb, void* user);

protected:
    CSonacapBase();
    static const char* GetWorkDir();
    static const char* GetLogDir();

    SonacapNotifyCallback callback;
    void* user;
};

// Installs and removes the virtual audio device.
class SONACAP_API ISonacapDriverSetup : public CAudioBase {
public:
    virtual ~ISonacapDriverSetup();
    // version: UTF-8, may be null.
    virtual bool CheckDriverExist(const char* version) = 0;
    virtual bool Install() = 0;
    virtual bool Uninstall() = 0;
    virtual bool IsDriverDefaultDevice() = 0;

    // driverDir: UTF-8 folder of the driver package, or null for the default.
    static ISonacapDriverSetup* GetInstance(const char* driverDir);
    // Destroys the object; a null pointer is accepted and ignored.
    static void Release(ISonacapDriverSetup* setup);

protected:
    ISonacapDriverSetup();
};

// Sets the engine's work and log folders (UTF-8; null for the defaults) and
// starts its log. Must run before CSonacapBase::GetInstance.
SONACAP_API void InitSonacapModule(const char* workDir, const char* logDir);

// The text of an engine error code.
SONACAP_API const char* MmCodeMsg(int code);
