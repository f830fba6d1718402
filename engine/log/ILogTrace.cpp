#include "ILogTrace.h"

#include <cstdio>

ILogTrace::~ILogTrace() = default;

void ILogTrace::Write(const char* line)
{
    if (!line)
        return;
    // One call per line: stdio locks the stream for it, so lines of two
    // threads never interleave.
    fputs(line, stdout);
    fflush(stdout);
}
