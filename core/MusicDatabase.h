#pragma once

// The music library: free functions over one process-wide SQLite connection to
// "music.db" in the per-user data folder.
//
// Results are SQLite result codes (0 success) unless stated. When the database
// is not open (never opened, failed to open, or closed) no SQLite call is made:
// functions return SQLITE_MISUSE (21), row counts are -1 and key allocators -1.
//
// Thread contract: every function may be called from any thread; the
// connection, the item-id cache and its cursor are guarded by one non-recursive
// process-wide mutex, which no function holds while calling another.

#include "MusicRecords.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// Key limits of the callers' allocations.
constexpr int kMaxMusicInfoRows = 100000;
constexpr int kMaxCoverInfoRows = 500000;
constexpr int kMaxMusicListRows = 999;
constexpr int kMaxItemIds = 2000000000;

// Opens (creating when missing) GetLogPath() + "/music.db"; a new file gets the
// four tables and the default lists 1..4. A file that fails SQLite's check or
// that SQLite cannot use (not a database, damaged, empty) is kept as it was
// beside it (once) and replaced by a fresh library made from every row its
// pages still hold (see DB_LastRepair). A file another program holds locked
// longer than a moment is not touched at all (see DB_LibraryInUse).
// 0 or the SQLite error code.
int DB_OpenDatabase();
// The same for an explicit file (tests and tools).
int DB_OpenDatabaseFile(const QString& path);
int DB_CloseDatabase();
bool DB_IsOpen();
// What the last open found wrong, in SQLite's words (for the log): empty when
// the file opened and passed SQLite's quick check. For a damaged file
// `backup` gets the path of the copy made of it before anything could write
// to it (empty when none could be made).
QString DB_OpenProblem(QString* backup = nullptr);
// SQLite's text for the last failed call (or "the library is not open").
QString DB_LastErrorText();
// What the last open did about a damaged or unusable library file: when
// `rebuilt`, a fresh library made from every row its pages held (none, for a
// file with no readable page) took its place, the file as it was being kept
// (DB_OpenProblem's backup); the counts are the rows saved.
struct LibraryRepairReport {
    enum Fault {
        NoFault,
        DamagedPages,   // SQLite's check found damaged pages
        CutShort,       // the file ends before its last page
        NotALibrary,    // no SQLite database at all
        FolderInPlace,  // a folder has the library file's name
        EmptyFile,      // a file of 0 bytes
        Unreadable,     // the file cannot be read
    };
    bool rebuilt = false;
    Fault fault = NoFault;
    QString reason;   // SQLite's words for what was wrong with the file (the log's)
    int songsSaved = 0;
    int listsSaved = 0;
    int itemsSaved = 0;
    int coversSaved = 0;
    // List entries and covers of songs that did not read: they wait for
    // their songs to come back from their files (DB_AddSongs).
    int itemsWaiting = 0;
    int coversWaiting = 0;
};
LibraryRepairReport DB_LastRepair();

// True while the library file is held by another program (a lock that
// outlasted the open's wait): the library is then a read-only picture of the
// file as it was at the start (empty when no sound one could be taken), every
// change fails, and the file and its journal are left alone.
bool DB_LibraryInUse();
// Takes the library file up once the other program let it go: 1 when the
// library is the file's own again (or never was in use), 0 while the file is
// still held, -1 when it stays read-only until the next start: the file
// turned out damaged, or the picture was no picture of it, or the other
// program changed or removed rows the picture holds (what the library page
// shows would no longer be the file's rows).
int DB_TakeUpLibraryWhenFree();
// Songs DB_AddSongs took in since the library was opened.
int DB_SongsTakenFromFiles();

// Songs kept in the output folder while the library could not take them:
// noted in a file beside the library (when it takes the note), so that the
// library takes them in as soon as it can, in this session or a later one.
// (Songs of the output folder no row names come in at a later start in any
// case.) Safe from any thread.
void DB_NoteSongOutside(const QString& path);
struct OutsideSongNotes {
    QStringList songs;
    QStringList folders;   // folders to look through, noted by earlier versions
    int entries = 0;   // notes read, for DB_ForgetOutsideNotes
};
OutsideSongNotes DB_ReadOutsideNotes();
// Drops the first `entries` notes (those a DB_ReadOutsideNotes saw, once
// their songs are in); notes made since stay.
void DB_ForgetOutsideNotes(int entries);

// Songs whose length is not stored (an empty TimeRecorded, as a program ended
// in the middle of a song leaves them): MusicId and MusicPath.
int DB_GetSongsWithoutLength(std::vector<std::pair<int, QString>>& out);
// Stores the TimeRecorded texts of songs (MusicId, text) in one transaction,
// touching no other column.
int DB_SetSongLengths(const std::vector<std::pair<int, QString>>& lengths);
// The MusicPath of every song.
int DB_GetMusicPaths(std::vector<QString>& out);
// Adds new songs in one transaction, each under the MusicId CreatePrimaryKey
// would give it after the ones before it (written into the rows). A song
// given a former MusicId (`formerIds`, in the order of `rows`; 0 none) takes
// that id back when it is free, and the list entries and covers waiting
// under it (see LibraryRepairReport) become its own again. At the song limit
// only the first ones go in. The number added, or -1 with nothing added.
int DB_AddSongs(std::vector<MusicInfoRow>& rows, const std::vector<int>& formerIds = {});
// The covers waiting for their songs: (former MusicId, picture path), in
// MusicId order.
int DB_GetUnlinkedCovers(std::vector<std::pair<int, QString>>& out);

int DB_CreateTransaction();   // "begin transaction"
int DB_CommitTransaction();   // "commit transaction"
// "rollback transaction": drops every change since DB_CreateTransaction.
int DB_RollbackTransaction();

// Rows found (0 or 1); -1 when the database is not open.
int DB_GetMusicInfo(int musicId, MusicInfoRow* row);
// One new row per MusicInfo row, keyed by MusicId; the caller owns them.
// Returns the number of rows, -1 when the database is not open.
int DB_GetAllMusicInfo(QMap<int, MusicInfoRow*>& out);
// Every MusicInfo row as the track list shows it (see MusicInfoListRow), in
// MusicId order; a repeated key keeps its last row, as DB_GetAllMusicInfo
// does. Returns the number of rows read, -1 when the database is not open.
// `complete` (may be null) is false when reading stopped at an error: rows
// after it were not read.
int DB_GetAllMusicListRows(std::vector<MusicInfoListRow>& out, bool* complete = nullptr);
// DB_GetImageInfo for many songs in one query: the cover candidates of each
// song of `musicIds` (ascending), in MusicId order and for each song in the
// order DB_GetImageInfo reads them, at most five a song; a sixth row met is
// deleted as DB_GetImageInfo deletes it. Covers of other songs are neither
// read nor touched. 0 or the SQLite error code.
int DB_GetAllImageInfo(const std::vector<int>& musicIds, std::vector<CoverCandidateRow>& out);
// Fills row's cover candidates from CoverInfo (at most five; a sixth row met
// is deleted, one per call).
int DB_GetImageInfo(MusicInfoRow* row);
// Appends the MusicItem rows whose `column` ("ListId" or "MusicId") equals
// `value`, ordered by MusicId.
int DB_GetMusicItem(QList<MusicItemLink>& out, int value, const QString& column);
// Appends every list with its item count; nothing appended on failure.
int DB_GetMusicList(QList<MusicListRow>& out);
// Leaves `name` unchanged when the query fails or no such list exists.
int DB_GetMusicListName(int listId, QString& name);

// A file a deletion has made unused: its rows are gone (committed), the file
// itself is removed by the caller afterwards. Kept in the PendingRemoval
// table until the caller confirms, so a program killed in between removes
// the files at its next start instead of leaving them behind.
struct PendingFileRemoval {
    enum Kind { SongFile = 0, CoverPicture = 1 };
    qint64 id = 0;        // the entry's key in PendingRemoval
    int kind = SongFile;
    QString path;
    bool named = false;   // DB_GetPendingRemovals: a song or cover names the path again
};
// Deletes the songs of `musicIds` from the library in one transaction: their
// MusicInfo, MusicItem and CoverInfo rows, and records as pending removals
// each song's file (unless another song names it) and each cover picture no
// remaining CoverInfo row names. Files are not touched. 0 and the removals in
// `removals`, or the SQLite error code with nothing changed.
int DB_DeleteSongs(const std::vector<int>& musicIds, std::vector<PendingFileRemoval>& removals);
// Deletes the MusicItem rows of `itemIds` in one transaction.
int DB_DeleteMusicItems(const std::vector<int>& itemIds);
// Cuts the play date off the DateAdded of the songs of `musicIds` (back to
// its first 16 characters) in one transaction.
int DB_CutPlayDates(const std::vector<int>& musicIds);
// The removals recorded and not yet confirmed (none when there is no table),
// each marked when a song or a cover names its path again.
int DB_GetPendingRemovals(std::vector<PendingFileRemoval>& out);
// Confirms removals: their entries go.
int DB_DonePendingRemovals(const std::vector<PendingFileRemoval>& done);

int DB_DeleteMusicinfo(int musicId);
int DB_DeleteMusicList(int listId);
// Also removes the id from the item-id cache.
int DB_DeleteMusicItem(int itemId);
int DB_DeleteImage(int coverId);

// Insert returns SQLITE_CONSTRAINT for a MusicId already present.
int DB_SetMusicInfo(const MusicInfoRow* row);
// `unused` is kept for callers that pass 0 or 1.
int DB_UpdateMusicInfo(const MusicInfoRow* row, int unused = 0);
int DB_SetMusicItem(int itemId, int listId, int musicId);
// A null QString on success, otherwise "Save List info to DB failed!".
QString DB_SetMusicList(int listId, const QString& name);
int DB_UpdateMusicList(int listId, const QString& name);
int DB_SetImageInfo(int coverId, int musicId, const char* path);
// 1 when some CoverInfo row names `path`, else 0.
int DB_GetImageId(const QString& path);

// The lowest free key of table.column from `start` (see the key rules), or -1
// when the table holds `max` rows or more, the database is not open or the
// query fails (a key known to be free cannot be given then). `full` (may be
// null) tells the first case from the others.
int CreatePrimaryKey(const QString& table, const QString& column, int start, int max, bool* full = nullptr);
// A free MusicItem.ItemId from the in-memory cache, or -1.
int DB_CreateItemId();
// Adds the songs of `musicIds` to list `listId` in one transaction: an ItemId
// each (the ids as many DB_CreateItemId calls give, in one pass) and its
// MusicItem row. 0 with the ids in `itemIds` (in the order of musicIds), or an
// error code (SQLITE_FULL when the ids ran out) with nothing stored.
int DB_SetMusicItems(int listId, const std::vector<int>& musicIds, std::vector<int>& itemIds);
// "PlayList n" (translated "PlayList") with the lowest n no list is named yet.
void DB_GetNewListName(QString& out);
