#pragma once

// Checks made before a recording starts: whether the system lets the program
// record from an input at all, and whether a known conflicting audio tool runs.

#include <QString>

// Opens (and at once closes) a record stream on the sound server's default
// source. 1 when the server refuses it for lack of permission, 0 when it was
// granted or there is nothing to record from, -1 when the server cannot be
// reached or the probe failed otherwise.
int ProbeMicrophoneAccess();

// True when the command name or command line of a process under `procRoot`
// ("/proc" in the program; tests pass a folder of their own) contains
// `namePart`, compared without regard to case.
bool IsProcessRunning(const QString& namePart, const QString& procRoot = QStringLiteral("/proc"));
