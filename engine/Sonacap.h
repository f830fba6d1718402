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

enum tagSonacapNotify {
    kSonacapNotifyProcessStart = 0,  // param: AudioParam*
    kSonacapNotifyAudioClip = 1,     // param: AudioClip* (idle block)
    kSonacapNotifyMusicStart = 2,    // param: AudioClip* (name holds the path)
    kSonacapNotifyMusicData = 3,     // param: AudioClip*
    kSonacapNotifyMusicEnd = 4,      // param: const char* UTF-8 path, null when deleted as too short
    kSonacapNotifyReserved = 5,      // never sent
    kSonacapNotifyDiskFull = 6,      // param: uint64_t* free bytes
};

// Runs on the engine's processing thread. One exception: Start called after
// Stop but before the processing thread's next clip finishes the song still
// open first, and its kSonacapNotifyMusicEnd then comes on the caller's thread,
// inside Start, while the processing thread waits.
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
