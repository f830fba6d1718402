#pragma once

// Inside the music database (MusicDatabase.cpp is the only user besides the
// page reader's fuzz entry point): the schema
// of a library file, and a damaged library rebuilt from every row its pages
// still hold.

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace music_db {

// The table of file removals a deletion noted and did not confirm yet.
extern const char* const kCreatePendingRemoval;
// List entries and covers a rebuilt library kept whose song did not read:
// they wait there for their song to come back from its file.
extern const char* const kCreateItemsUnlinked;
extern const char* const kCreateCoversUnlinked;

// The tables (the default lists only when MusicList is new and they are
// wanted) and the indexes on `db`. True when the file was new.
bool CreateSchema(sqlite3* db, bool defaultLists = true);
// The indexes on the tables of rows waiting for their songs, when `db` has them.
void CreateWaitingIndexes(sqlite3* db);

// SQLite's result for an existing library that it could not use because of
// the file itself: not a database, damaged or not readable. A missing folder,
// a full memory or another program's lock is not the file's fault.
bool IsFileFault(int rc);
// Another program's lock: the file is in use, not damaged.
bool IsBusy(int rc);

struct RepairResult {
    QString keptCopy;       // the file as it was (empty: none could be kept)
    bool rebuilt = false;   // a fresh library took the file's place
    bool inUse = false;     // another program holds the file: nothing was done
    int songs = 0;          // rows saved, by table
    int lists = 0;
    int items = 0;
    int covers = 0;
    int itemsWaiting = 0;   // entries and covers whose song did not read
    int coversWaiting = 0;
};

// Fills `to`, an empty database, with the library's tables and every row
// `bytes` (a library file's, possibly damaged; empty: none) holds, as a
// repair does; the counts of RepairResult. The repair and the page reader's
// fuzz entry point use it.
RepairResult FillFreshLibrary(sqlite3* to, const QByteArray& bytes);

// Unless another program holds `path` (then only `inUse` is set and the file
// and its journal stay as they are): keeps `path` as it was (a copy beside
// it, or the thing itself moved aside when it cannot be read; a copy kept at
// an earlier start that is still the same is used again), builds a fresh
// library beside it from every row its pages hold (an empty one when none
// does), and puts it in `path`'s place. Other programs are kept from writing
// to the file meanwhile. Touches no connection of the caller's.
RepairResult RebuildLibrary(const QString& path);

// Where the notes of songs kept outside the library live: beside `library`.
void SetNotesLibraryPath(const QString& library);

} // namespace music_db
