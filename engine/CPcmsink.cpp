#include "CPcmsink.h"

#include "CError.h"
#include "Log.h"
#include "pcmsink.h"

IMusicFile::IMusicFile() = default;
IMusicFile::~IMusicFile() = default;

CPcmsink::CPcmsink() = default;
CPcmsink::~CPcmsink() = default;

void CPcmsink::Open(const char* path, const AudioParam* format)
{
    if (!format) {
        SC_LOG_ERROR("Pcmsink", "CPcmsink::Open", "no format for [%s]", path ? path : "");
        ThrowCodedError(kErrOpenFile);
    }
    SC_LOG_INFO("Pcmsink", "CPcmsink::Open",
                "get trans format[%d]  bit[%d] samplesPerSec[%d] channels[%d] align[%d]cb[%d]",
                format->formatTag, format->bitsPerSample, format->samplesPerSec, format->channels,
                format->blockAlign, format->extraSize);
    // The engine must know when no song file exists, so a failed open is an
    // error like the MP3 writer's.
    writeFailed = false;
    const int result = WAV_Open(path, format);
    if (result != 0) {
        SC_LOG_ERROR("Pcmsink", "CPcmsink::Open", "Open file[%s] failed:%d", path ? path : "", result);
        ThrowCodedError(kErrOpenFile);
    }
}

void CPcmsink::WriteData(const void* data, unsigned size)
{
    if (WAV_WriteData(data, size) != 0 && !writeFailed) {
        writeFailed = true;
        SC_LOG_ERROR("Pcmsink", "CPcmsink::WriteData", "write to the song file failed; the song is incomplete");
    }
}

bool CPcmsink::WriteTags(const char*, const char*, const char*)
{
    return false;
}

void CPcmsink::Close()
{
    WAV_Close();
}
