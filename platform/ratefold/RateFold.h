#pragma once

// Sits between a capture callback and its consumer: hands every event on to
// target with the same shape. When the format event (0, data an AudioParam)
// announces 32-bit float samples (format tag 3), the announcement is rewritten
// as 16-bit integer PCM and the data events (2 and 3) that follow are folded
// to 16-bit before they are handed on. Everything else passes unchanged.
//
// State is kept per user pointer, so several captures may share the function.
// Runs on the caller's thread; the folded block is valid during the call only.

typedef void (*RateFoldTarget)(int event, void* data, int size, void* user);

void Channel_Convert(RateFoldTarget target, int event, void* data, int size, void* user);
