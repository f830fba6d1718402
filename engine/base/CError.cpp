#include "CError.h"

#include <utility>

CError::CError(int code, std::string message) : code(code), message(std::move(message)) {}

CError::~CError() = default;

int CError::Code() const
{
    return code;
}

std::string CError::Message() const
{
    return message;
}

const char* ErrorCodeText(int)
{
    return "error";
}

void ThrowCodedError(int code)
{
    throw CError(code, ErrorCodeText(code));
}
