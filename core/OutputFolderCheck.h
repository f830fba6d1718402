#pragma once

// Whether a folder can receive recordings: a real folder that exists or can
// be made, in which new files can be written, and not on one of the kernel's
// own file systems (/proc, /sys and the like), whose folders take no files
// and report no free space (the engine then took /sys/kernel for a full disk).
//
// Thread contract: any thread; it touches only the file system.

#include <QString>

enum class OutputFolderProblem {
    None,
    NoFolder,       // no folder given
    NotAFolder,     // a file (or another non-folder) stands at the path
    SystemFolder,   // on a kernel file system
    CannotCreate,   // missing, and it cannot be made
    NotWritable,    // it exists, but files cannot be written in it
};

enum class OutputFolderUse {
    Check,    // nothing on disk changes: a missing folder passes when it could be made
    Create,   // a missing folder is made, with its parents, before the check
};

// Checks `folder`. A full disk is no problem here: the engine's free-space
// check says so in its own words. `systemError`, when given, gets the errno
// behind the problem (0 without one), for the log.
OutputFolderProblem CheckOutputFolder(const QString& folder, OutputFolderUse use, int* systemError = nullptr);

// The problem in the interface language, naming the folder; empty for None.
QString OutputFolderProblemText(OutputFolderProblem problem, const QString& folder);
