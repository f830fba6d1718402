#pragma once

#include <string>

// Engine error codes. Inside the engine they travel as CError; the interface
// operations turn them into negative int results.
enum SonacapErrorCode {
    kErrInvalidDevice = -4095,     // unknown or missing device name or index
    kErrNoDevice = -4094,          // no audio device of the kind asked for
    kErrSystem = -4093,            // a sound-system call failed, or an unknown exception
    kErrFormatUnsupported = -4092, // the input device does not offer the requested format
    kErrBufferTooSmall = -4091,    // caller's buffer null or of size 0
    kErrMixer = -4090,             // a mixer call failed
    kErrNoSourceLine = -4089,      // the mixer has no suitable line or control
    kErrNoRecorder = -4086,        // Start without a recorder object
    kErrDiskFull = -4085,          // Start with less than 50 MiB free
    kErrBadFormat = -3583,         // output format neither 1 nor 2
    kErrOpenFile = -3582,          // song file cannot be opened
    kErrEncoderInit = -3581,       // MP3 encoder set-up failed
    kErrTagTooLarge = -3580,       // ID3v2 tag larger than its buffer
};

// The exception thrown inside the engine: thrown by value, caught by reference.
class CError {
public:
    CError(int code, std::string message);
    virtual ~CError();

    int Code() const;
    std::string Message() const;

private:
    int code;
    std::string message;
};

// The message every coded failure carries: "error" for any code (the detail is
// logged where the failure is detected). The exported MmCodeMsg returns it too;
// it lives here so the base library does not depend on the engine's objects.
const char* ErrorCodeText(int code);

// Throws CError(code, MmCodeMsg(code)).
[[noreturn]] void ThrowCodedError(int code);
