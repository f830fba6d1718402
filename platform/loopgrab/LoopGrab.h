#pragma once

// Loopback capture of the default output.
//
// Events handed to the callback, all on the capture thread:
//   0  data is an AudioParam (Sonacap.h) describing every block that follows;
//      always the first event after WAS_Start
//   2  data holds size bytes of interleaved PCM in that format
//   4  capture stopped (data null): the sound server went away, the stream
//      failed, or the server sent nothing for 3 s while the output ran (a
//      hung server); silent blocks keep coming meanwhile
//   5  capture runs again after event 4 (data null). A lost server is
//      reconnected by itself, once a second, on the monitor of whatever is
//      then the default output; the format stays the one event 0 gave.
//   6  data is a zero-terminated line for the engine's log (size counts the
//      zero): a switch of output and how it was joined, a move the server
//      made, a hole in the stream. It is only valid during the call.
// The format is 16-bit integer PCM at the output's own rate and channel count.
// While the output is suspended or idle, blocks of silence keep arriving
// (event 2, zeros), so a listener always sees time pass.
// When the user picks another default output while recording, the capture
// moves to it without losing the sound of the switch: while songs are being
// recorded (WAS_Record) every other output has a standby stream on its
// monitor, and the new default's takes over. While the program only waits
// there are none, so the other outputs may suspend; a switch then opens a
// stream on the new output. The capture streams ask the server not to move
// them (when it does all the same, the capture follows). When the captured
// output goes away, capture goes on on the new default without event 4. The
// format stays the one event 0 gave (the server converts).
// After a hung server answers again (event 5) it hands over at once what it
// rendered for the time it stood still, the players' buffered sound among it.
// All of it is handed on: the server sends each moment of a capture stream
// once, so nothing of it was given before.
//
// Results: 0 success; -4093 no sound server or a server call failed;
// -4094 no default output; -4096 called out of order (WAS_Start before WAS_Init).
// Only one capture exists per process; the calls are serialised.

typedef void (*WAS_Callback)(int event, void* data, int size, void* user);

int WAS_Init(WAS_Callback callback, void* user, const char* logDir);
int WAS_Start();
// After it returns no callback runs and none is running.
int WAS_Stop();
// Stops and disconnects; WAS_Init is needed again.
int WAS_Reset();
// Whether songs are being recorded (1) or the program only waits (0); off
// after WAS_Init. -4096 before WAS_Init.
int WAS_Record(int recording);
