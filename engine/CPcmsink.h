#pragma once

#include <string>

#include "CDiskSyncer.h"
#include "IMusicFile.h"

// WAV song writer over the pcmsink layer, which holds the one open WAV file of
// the process. Open throws CError(kErrOpenFile) when the file cannot be created.
// The open file is forced to disk by `syncer` about every half second.
// Used by the processing thread only.
class CPcmsink : public IMusicFile {
public:
    explicit CPcmsink(CDiskSyncer& syncer = CDiskSyncer::Shared());
    ~CPcmsink() override;
    void Open(const char* path, const AudioParam* format) override;
    bool WriteData(const void* data, unsigned size) override;
    bool WriteTags(const char* path, const char* title, const char* artist) override;
    bool Close() override;
    int WriteError() const override;
    std::string ClosedPath() const override { return path; }

private:
    // Set at the first failed write of the open song, so a full disk is
    // logged once per song rather than once per clip.
    bool writeFailed = false;
    std::string path;
    CDiskSyncer& syncer;
    CDiskSyncer::Handle synced;
};
