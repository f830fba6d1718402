#pragma once
// capdev: the audio-device layer of the program. It keeps an opaque device
// handle for the windows that pass it around, and writes song tags into
// recorded MP3 and WAV files.

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CapDevHandle* HCAPDEV;

// Creates a device handle; null on failure.
HCAPDEV AudioDevCreate(void);
// Stops any recording of the device. Returns 0 (also for a null handle).
int AudioDevStopRecord(HCAPDEV handle);
// Releases the handle; a null handle is ignored.
void AudioDevDestroy(HCAPDEV handle);

// Paths cross as zero-terminated UTF-16 arrays of this many units.
#define CAPDEV_PATH_UNITS 512

// The tags of one song, UTF-8 and zero-terminated. A null or empty text
// removes that tag; a null cover keeps no picture.
typedef struct MusicTagsInfo {
    const char* title;
    const char* artist;
    const char* album;
    const char* year;   // free text, e.g. "1999" or "1999-05-01"
    const char* genre;  // several genres joined by ';'
    const char* cover;  // path of a JPEG or PNG picture, or null
} MusicTagsInfo;

enum {
    CAPDEV_OK = 0,
    CAPDEV_ERR_ARGUMENT = -1,     // null pointer or an unterminated path
    CAPDEV_ERR_SOURCE = -2,       // the source cannot be read
    CAPDEV_ERR_FORMAT = -3,       // neither an MP3 nor a WAV file
    CAPDEV_ERR_BROKEN = -4,       // the tag library rejects the file
    CAPDEV_ERR_TEMPFILE = -5,     // no temporary file beside the destination
    CAPDEV_ERR_WRITE = -6,        // writing the tags failed
    CAPDEV_ERR_RENAME = -7,       // the finished file could not take its name
};

// Writes the tags into a copy of `source` and gives that copy the name
// `destination` by one atomic rename (destination may equal source, which
// updates the file in place). The copy is made in a uniquely named temporary
// file in the destination's folder, so an existing file of any other name is
// never touched, and on any failure the source and destination stay exactly
// as they were. MP3 files get an ID3v2.4 tag with one front cover; WAV files
// get a RIFF INFO list (and the same ID3v2 tag, which holds the cover).
// Returns CAPDEV_OK or one of the negative codes above.
int SetMusicTagsInfo(const MusicTagsInfo* tags,
                     const char16_t* source,
                     const char16_t* destination);

#ifdef __cplusplus
}
#endif
