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
//
// A report that never got that far (the program crashed or was killed while
// it packed or sent) leaves its folder behind. So each report holds an
// exclusive flock on the lock file in its folder for as long as the folder is
// its own; the lock goes with the process, however it ends. Every new report
// first removes the report folders whose lock it can take: those no running
// report of any instance holds.
//
// Thread contract: Create() runs on the GUI thread; Remove() on any thread
// (the mail thread removes what it sent), and so does RemoveStale() (at
// program start on a thread of its own, at once with a report's Create()).
// The locks this process holds (folder -> descriptor) are written by
// Create() and Remove() and read by RemoveStale(), all under that table's
// own mutex. A folder Create() has made but not yet entered there is locked
// already, so a sweep meanwhile cannot take it; one a sweep locked first,
// Create() gives up for a new one.
class ReportArchive
{
public:
    static constexpr const char* kFileName = "BugReport.dmp";
    // In each report's folder; locked while the report lives.
    static constexpr const char* kLockName = "BugReport.lock";

    // Removes what reports that no longer run left behind (RemoveStale),
    // then makes a new folder below `reportFolder`, readable by the user
    // only, locks it and returns the archive's path in it; empty when the
    // folder cannot be made.
    static QString Create(const QString& reportFolder);
    // Removes the archive and, when it lies in a folder Create() made, that
    // folder with whatever else is in it, and lets go of its lock; either may
    // already be gone.
    static void Remove(const QString& archivePath);
    // Removes, in `reportFolder`, the archive all reports once shared and
    // every report's folder that no running report holds; a folder another
    // report (of this or another instance) holds stays. Returns how many
    // went.
    static int RemoveStale(const QString& reportFolder);
};
