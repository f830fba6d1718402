#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "CDiskSyncer.h"
#include "CPcmsink.h"
#include "IMusicFile.h"

struct lame_global_struct;

// MP3 song writer: constant bit rate, mono for one channel, stereo otherwise,
// starting with LAME's empty ID3v2 tag. More than two channels are written as a
// WAV at the song's path and mixed down to a stereo MP3 by ffmpeg on Close;
// when the mix-down fails the song is kept as that WAV under a ".wav" name
// (ClosedPath tells which), never as WAV data behind an ".mp3" name.
// What is encoded reaches the file at least every quarter second of song, so
// a killed program or a full disk loses no more than that. A song cut short by
// a failed write (a full disk) ends on a whole MP3 frame: what reached the
// disk of a frame that did not fit is cut off again, so the file decodes to
// its end. The open file is forced to disk by `syncer` about every half
// second, so a power cut costs about as much of the song as a killed program.
// Used by the processing thread only.
class CMp3File : public IMusicFile {
public:
    explicit CMp3File(CDiskSyncer& syncer = CDiskSyncer::Shared());
    ~CMp3File() override;

    // kbit/s; 320 until set.
    void SetRatio(unsigned kbps);
    // The down-mix program (default "ffmpeg", found through PATH) and its
    // time-out in seconds; a seam for tests.
    void SetConverter(const std::string& program, unsigned timeoutSeconds);

    void Open(const char* path, const AudioParam* format) override;
    bool WriteData(const void* data, unsigned size) override;
    bool WriteTags(const char* path, const char* title, const char* artist) override;
    bool Close() override;
    int WriteError() const override;
    std::string ClosedPath() const override { return closedPath; }

private:
    void InitializeLameStream(const AudioParam* format);
    void ReleaseEncoder();
    bool CloseMultiChannel();
    // Appends to the song file (through `pending`); the first bytes are the
    // tag, everything after it is MPEG frames.
    bool WriteFile(const unsigned char* bytes, size_t size);
    bool FlushPending();
    // Follows the frame headers of the bytes appended to the song.
    void TrackFrames(const unsigned char* bytes, size_t size);
    // After a failed write: the file ends after the last whole frame on disk.
    void CutToWholeFrames(uint64_t onDisk);
    void Fail(int error, const char* function, const char* what);

    CDiskSyncer& syncer;
    CDiskSyncer::Handle synced;
    bool multiChannel;
    CPcmsink wav;
    std::string path;
    int sampleRate;
    unsigned bitRate;
    int fd;
    lame_global_struct* lame;
    AudioParam format;
    std::string converter;
    unsigned converterTimeout;
    // Set at the first failed write of the open song (logged once per song);
    // nothing more is written to it then.
    bool writeFailed;
    int writeErrno;
    // Where the last closed song is.
    std::string closedPath;
    // Work buffers reused from clip to clip.
    std::vector<short> pcm16;
    std::vector<unsigned char> mp3Buffer;
    // Encoded bytes not yet handed to the file (at most `blockBytes`, a
    // quarter second of the song); `flushed` bytes are.
    std::vector<unsigned char> pending;
    size_t blockBytes;
    uint64_t flushed;
    // Frame tracking: bytes appended so far, where the next header begins
    // (the first one right after the tag), the header bytes gathered so far,
    // and the ends of the frames not known to be on disk, after the last one
    // that is (`wholeOnDisk`, the tag's end before any). `framesKnown` goes
    // false on bytes that are no frame header; a cut then keeps the last end
    // known.
    uint64_t appended;
    uint64_t nextHeader;
    unsigned char header[4];
    unsigned headerBytes;
    bool framesKnown;
    std::deque<uint64_t> frameEnds;
    uint64_t wholeOnDisk;
};
