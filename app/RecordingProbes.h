#pragma once

// Checks made before a recording starts: whether the sound server answers and
// lets the program record from an input at all, and whether a known
// conflicting audio tool runs.

#include <QString>

enum MicrophoneProbe {
    kProbeGranted = 0,       // granted, or nothing to record from
    kProbeDenied = 1,        // the server refuses for lack of permission
    kProbeFailed = -1,       // no server to reach, or the probe failed otherwise
    kProbeServerHung = -2,   // the server is there but does not answer
};

// Opens (and at once closes) a record stream on the sound server's default
// source, never waiting longer than about PulseSession's time-out in all.
int ProbeMicrophoneAccess();

// True when a process under `procRoot` ("/proc" in the program; tests pass a
// folder of their own) runs a program whose name contains `namePart`,
// compared without regard to case: the command name or the file name of the
// program it runs, never its other arguments (a song or a search term that
// holds the name is no running tool).
bool IsProcessRunning(const QString& namePart, const QString& procRoot = QStringLiteral("/proc"));
