#pragma once

// Inside the music database (MusicDatabase.cpp is the only user): the schema
// of a library file, and a damaged library rebuilt from the rows that still
// read.

#include <QString>

struct sqlite3;

namespace music_db {

// The table of file removals a deletion noted and did not confirm yet.
extern const char* const kCreatePendingRemoval;

// The tables (the default lists only when MusicList is new and they are
// wanted) and the indexes on `db`. True when the file was new.
bool CreateSchema(sqlite3* db, bool defaultLists = true);

// SQLite's result for an existing library that it could not use because of
// the file itself: not a database, damaged, locked by another program or not
// readable. A missing folder or a full memory is not the file's fault.
bool IsFileFault(int rc);

struct RepairResult {
    QString keptCopy;       // the file as it was (empty: none could be kept)
    bool rebuilt = false;   // a fresh library took the file's place
    int songs = 0;          // rows saved, by table
    int lists = 0;
    int items = 0;
    int covers = 0;
};

// Keeps `path` as it was (a copy beside it, or the file itself moved aside
// when it cannot be read; a copy kept at an earlier start that is still the
// same is used again), builds a fresh library beside it from every row that
// still reads (an empty one when none does), and puts it in `path`'s place
// together with nothing of the old file's journal. Touches no connection of
// the caller's.
RepairResult RebuildLibrary(const QString& path);

// Where the notes of songs kept outside the library live: beside `library`.
void SetNotesLibraryPath(const QString& library);

} // namespace music_db
