#pragma once

// pcmsink: writes one WAV file at a time (the functions take no handle).
// The header is derived from the format's rate, channels and bits per sample
// (8 unsigned, 16 and 24 signed integer PCM, 32 IEEE float); the other fields
// of the format are not used. PCM reaches the file at least every quarter
// second of the song, and the header is brought up to date each time, so a
// file whose writer is killed stays a valid WAV holding everything but its
// last quarter second.
// The calls are serialised by an internal lock.

struct AudioParam;

// 0 on success; a negative value when the format is unusable or the file
// cannot be created. A file still open is closed first.
int WAV_Open(const char* path, const AudioParam* format);
// Appends size bytes of PCM in the opened format. 0 on success, negative when
// no file is open or the write failed. After a failed write every later one
// fails too, so a file never gets a hole when space comes back; the header
// still describes exactly the bytes that reached the disk once it is closed.
int WAV_WriteData(const void* data, unsigned size);
// The errno of the first failed write since WAV_Open, or of a failed
// WAV_Open itself (0 when none). Kept after WAV_Close until the next WAV_Open.
int WAV_WriteError();
// The descriptor of the open file (-1 when none), valid until the next
// WAV_Open or WAV_Close; to force the file to disk, not to write to it.
int WAV_Descriptor();
// Completes the header and closes the file. Harmless when nothing is open.
// Negative when the last buffered bytes could not be written (the file is
// closed and valid all the same).
int WAV_Close();
