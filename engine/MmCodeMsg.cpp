#include "Sonacap.h"

#include "CError.h"

const char* MmCodeMsg(int code)
{
    return ErrorCodeText(code);
}
