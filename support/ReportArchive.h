#pragma once

#include <QString>

// Where a bug report's archive lies while the report runs: a folder of its
// own below the report folder, so that two reports running at once (the
// menu's window and the one the microphone notice opens) never overwrite or
// send each other's file, and the file keeps the name the support service
// knows, "BugReport.dmp".
//
// The archive is a full copy of the user's library, settings and logs: it is
// removed, with its folder, as soon as the report that made it is done with
// it. Whoever holds it last removes it (the packer until it hands the archive
// over, then the mail or the upload).
class ReportArchive
{
public:
    static constexpr const char* kFileName = "BugReport.dmp";

    // Makes a new, empty folder below `reportFolder`, readable by the user
    // only, and returns the archive's path in it; empty when the folder
    // cannot be made.
    static QString Create(const QString& reportFolder);
    // Removes the archive and, when it lies in a report's own folder, that
    // folder with whatever else is in it; either may already be gone. Any
    // thread.
    static void Remove(const QString& archivePath);
};
