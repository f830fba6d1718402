#include "CPcmsink.h"

#include <cstring>

#include "CError.h"
#include "Log.h"
#include "pcmsink.h"

IMusicFile::IMusicFile() = default;
IMusicFile::~IMusicFile() = default;

CPcmsink::CPcmsink(CDiskSyncer& diskSyncer) : syncer(diskSyncer) {}

// The WAV layer's file is not closed here: another writer may have opened the
// one it holds now.
CPcmsink::~CPcmsink()
{
    syncer.Detach(synced);
}

void CPcmsink::Open(const char* songPath, const AudioParam* format)
{
    if (!format) {
        SC_LOG_ERROR("Pcmsink", "CPcmsink::Open", "no format for [%s]", songPath ? songPath : "");
        ThrowCodedError(kErrOpenFile);
    }
    SC_LOG_INFO("Pcmsink", "CPcmsink::Open",
                "get trans format[%d]  bit[%d] samplesPerSec[%d] channels[%d] align[%d]cb[%d]",
                format->formatTag, format->bitsPerSample, format->samplesPerSec, format->channels,
                format->blockAlign, format->extraSize);
    // The engine must know when no song file exists, so a failed open is an
    // error like the MP3 writer's.
    writeFailed = false;
    path = songPath ? songPath : "";
    syncer.Detach(synced);
    const int result = WAV_Open(songPath, format);
    if (result != 0) {
        SC_LOG_ERROR("Pcmsink", "CPcmsink::Open", "Open file[%s] failed:%d", path.c_str(), result);
        ThrowCodedError(kErrOpenFile);
    }
    synced = syncer.Attach(WAV_Descriptor());
}

bool CPcmsink::WriteData(const void* data, unsigned size)
{
    if (WAV_WriteData(data, size) == 0) {
        // What of it reached the file (a block at least every quarter second
        // of the song) is forced at the syncer's next pass.
        CDiskSyncer::Written(synced);
        return true;
    }
    if (!writeFailed) {
        writeFailed = true;
        SC_LOG_ERROR("Pcmsink", "CPcmsink::WriteData", "write to [%s] failed: %s; the song ends here", path.c_str(),
                     strerror(WAV_WriteError()));
    }
    return false;
}

int CPcmsink::WriteError() const
{
    return WAV_WriteError();
}

bool CPcmsink::WriteTags(const char*, const char*, const char*)
{
    return false;
}

bool CPcmsink::Close()
{
    const bool ok = WAV_Close() == 0;
    syncer.Detach(synced);
    return ok;
}
