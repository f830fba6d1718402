#pragma once

#include <string>

#include "Sonacap.h"

// Engine error codes are SonacapErrorCode of the public header. Inside the
// engine they travel as CError; the interface operations turn them into
// negative int results.

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
