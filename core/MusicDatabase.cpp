#include "MusicDatabase.h"

#include "CAppSettings.h"
#include "MusicDatabaseRepair.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QDebug>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>

#include <sqlite3.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <unordered_set>
#include <set>
#include <vector>

namespace {

// Thread contract: g_db, g_itemIds, g_itemCursor and the state of the last
// open below (what it found, whether the file is in use, the songs taken in
// since) are read and written only while g_dbLock is held. No function holds it while calling another function
// of this file that takes it (the mutex is not recursive).
QMutex g_dbLock;
sqlite3* g_db = nullptr;
// What went wrong last (SQLite's own words), and what the last open found.
QString g_lastError;
QString g_openProblem;
QString g_openBackup;
LibraryRepairReport g_repair;
// The library file another program holds (g_db is then a picture of it in
// memory), whether that picture is the file's (false: an empty stand-in),
// and the file that is open.
bool g_inUse = false;
bool g_pictureOfFile = false;
QString g_libraryPath;
int g_songsFromFiles = 0;
std::vector<int> g_itemIds;  // ordered ItemIds of MusicItem, loaded on first use
int g_itemCursor = 0;
// Prepared inserts and updates, kept for the life of the connection (keyed by
// their statement text's address): re-preparing per row tripled the cost of
// filling a library. Finalized before the connection closes.
std::map<const char*, sqlite3_stmt*> g_statements;

// Explicit columns in table order, so rows written by other tools with a
// different column order still read correctly.
const char* const kMusicInfoColumns =
    "MusicId, MusicPath, MusicName, TimeRecorded, Artist, Album, Genre, DateAdded, ImageId, AlbumTUI, "
    "AlbumMusicList, Year";

const char* const kInsertMusicInfo =
    "INSERT INTO MusicInfo (MusicId, MusicPath, MusicName ,TimeRecorded ,Artist ,Album,Genre, DateAdded, ImageId, "
    "AlbumTUI, AlbumMusicList, Year) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

const int kNotOpen = SQLITE_MISUSE;
// Cover candidates a song record holds (RecordMusicInfo::CoverPaths).
constexpr int kMaxCoverCandidatesRead = 5;

bool IsIdentifier(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(text).hasMatch();
}

// The text of a column up to its first zero byte; NULL reads as empty.
QByteArray ColumnBytes(sqlite3_stmt* stmt, int column)
{
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text)
        return QByteArray();
    const int bytes = sqlite3_column_bytes(stmt, column);
    return QByteArray(text, static_cast<int>(strnlen(text, static_cast<size_t>(bytes))));
}

void ColumnToField(sqlite3_stmt* stmt, int column, char* field, size_t size)
{
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    const size_t bytes = text ? static_cast<size_t>(sqlite3_column_bytes(stmt, column)) : 0;
    CopyUtf8Field(field, size, text, text ? strnlen(text, bytes) : 0);
}

QString ColumnString(sqlite3_stmt* stmt, int column)
{
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text)
        return QString();
    const int bytes = sqlite3_column_bytes(stmt, column);
    return QString::fromUtf8(text, static_cast<int>(strnlen(text, static_cast<size_t>(bytes))));
}

// Reads one MusicInfo row (columns as kMusicInfoColumns) into `row`.
void ReadMusicInfoRow(sqlite3_stmt* stmt, MusicInfoRow* row)
{
    memset(&row->Info, 0, sizeof(row->Info));
    row->MusicId = sqlite3_column_int(stmt, 0);
    row->MusicPath = ColumnString(stmt, 1);
    ColumnToField(stmt, 2, row->Info.MusicName, sizeof(row->Info.MusicName));
    row->TimeRecorded = ColumnString(stmt, 3);
    ColumnToField(stmt, 4, row->Info.Artist, sizeof(row->Info.Artist));
    ColumnToField(stmt, 5, row->Info.Album, sizeof(row->Info.Album));
    ColumnToField(stmt, 6, row->Info.Genre, sizeof(row->Info.Genre));
    row->DateAdded = ColumnString(stmt, 7);
    row->ImageId = sqlite3_column_int(stmt, 8);
    ColumnToField(stmt, 9, row->Info.AlbumTUI, sizeof(row->Info.AlbumTUI));
    ColumnToField(stmt, 10, row->Info.AlbumMusicList, sizeof(row->Info.AlbumMusicList));
    ColumnToField(stmt, 11, row->Info.Year, sizeof(row->Info.Year));
}

int BindField(sqlite3_stmt* stmt, int index, const char* field, size_t size)
{
    return sqlite3_bind_text(stmt, index, field, static_cast<int>(strnlen(field, size)), SQLITE_STATIC);
}

int BindBytes(sqlite3_stmt* stmt, int index, const QByteArray& bytes)
{
    return sqlite3_bind_text(stmt, index, bytes.constData(), bytes.size(), SQLITE_STATIC);
}

// The UTF-8 texts of a song row, kept alive while its statement runs (the
// binds below do not copy them).
struct MusicRowText {
    explicit MusicRowText(const MusicInfoRow& row)
        : path(row.MusicPath.toUtf8()), timeRecorded(row.TimeRecorded.toUtf8()), dateAdded(row.DateAdded.toUtf8())
    {
    }
    QByteArray path;
    QByteArray timeRecorded;
    QByteArray dateAdded;
};

// Binds a song's eleven columns from MusicPath to Year, in table order, from
// parameter `first` on; insert and update list them alike.
void BindMusicColumns(sqlite3_stmt* stmt, int first, const MusicInfoRow& row, const MusicRowText& text)
{
    const RecordMusicInfo& info = row.Info;
    BindBytes(stmt, first, text.path);
    BindField(stmt, first + 1, info.MusicName, sizeof(info.MusicName));
    BindBytes(stmt, first + 2, text.timeRecorded);
    BindField(stmt, first + 3, info.Artist, sizeof(info.Artist));
    BindField(stmt, first + 4, info.Album, sizeof(info.Album));
    BindField(stmt, first + 5, info.Genre, sizeof(info.Genre));
    BindBytes(stmt, first + 6, text.dateAdded);
    sqlite3_bind_int(stmt, first + 7, row.ImageId);
    BindField(stmt, first + 8, info.AlbumTUI, sizeof(info.AlbumTUI));
    BindField(stmt, first + 9, info.AlbumMusicList, sizeof(info.AlbumMusicList));
    sqlite3_bind_text(stmt, first + 10, info.Year, sizeof(info.Year), SQLITE_STATIC);
}

// Keeps SQLite's text of a failure for DB_LastErrorText; g_dbLock held.
void NoteErrorLocked(int rc)
{
    if (g_inUse)
        g_lastError = QCoreApplication::translate("QObject", "the library is in use by another program");
    else
        g_lastError = g_db ? QString::fromUtf8(sqlite3_errmsg(g_db)) : QString::fromUtf8(sqlite3_errstr(rc));
}

// Runs a statement without rows; logs `message` with the error text on failure.
int ExecLocked(const QByteArray& sql, const char* message, bool critical = true)
{
    char* error = nullptr;
    const int rc = sqlite3_exec(g_db, sql.constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK)
        NoteErrorLocked(rc);
    if (error) {
        if (critical)
            qCritical(message, error);
        else
            qDebug() << message << error;
        sqlite3_free(error);
    }
    return rc;
}

// Loads the ordered ItemIds; g_dbLock must be held.
int LoadItemIdsLocked()
{
    g_itemIds.clear();
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(g_db, "select ItemId from MusicItem order by ItemId", -1, &stmt, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        g_itemIds.push_back(sqlite3_column_int(stmt, 0));
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE)
        qCritical("CreatePrimaryKey, Err: %s", sqlite3_errmsg(g_db));
    sqlite3_finalize(stmt);
    g_itemCursor = g_itemIds.empty() ? 0 : static_cast<int>(g_itemIds.size()) - 1;
    return static_cast<int>(g_itemIds.size());
}

// Finalizes the kept statements; g_dbLock must be held.
void FinalizeStatementsLocked()
{
    for (auto& entry : g_statements)
        sqlite3_finalize(entry.second);
    g_statements.clear();
}

// The connection's prepared statement for `sql` (keyed by the text's
// address), prepared on first use; null with the error in `rc` when it cannot
// be. g_dbLock must be held; the caller resets the statement after use.
sqlite3_stmt* CachedStatementLocked(const char* sql, int* rc)
{
    sqlite3_stmt*& stmt = g_statements[sql];
    *rc = SQLITE_OK;
    if (!stmt) {
        *rc = sqlite3_prepare_v3(g_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        if (*rc != SQLITE_OK) {
            sqlite3_finalize(stmt);
            g_statements.erase(sql);
            return nullptr;
        }
    }
    return stmt;
}

// Prepare (once per connection), bind (by `bind`), step once, reset. Returns
// the prepare's code when it failed (after logging `prepareMessage`), else the
// statement's outcome as the reset reports it (what a finalize would report).
template <typename Bind>
int RunPrepared(const char* sql, const char* prepareMessage, Bind bind)
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db) {
        g_lastError = QCoreApplication::translate("QObject", "the library is not open");
        return kNotOpen;
    }
    int prepared = SQLITE_OK;
    sqlite3_stmt* stmt = CachedStatementLocked(sql, &prepared);
    if (!stmt) {
        NoteErrorLocked(prepared);
        guard.unlock();
        qCritical(prepareMessage, prepared);
        return prepared;
    }
    bind(stmt);
    sqlite3_step(stmt);
    const int rc = sqlite3_reset(stmt);
    if (rc != SQLITE_OK)
        NoteErrorLocked(rc);
    // The texts were bound without a copy: drop them before the caller's
    // buffers go away.
    sqlite3_clear_bindings(stmt);
    return rc;
}

}  // namespace

int DB_OpenDatabase()
{
    return DB_OpenDatabaseFile(CAppSettings::GetInstance()->GetLogPath() + "/music.db");
}

namespace {

// SQLite's own check of the file's pages: 0 with its first findings (empty
// when all is well), or the code of another program's lock met meanwhile.
int QuickCheck(sqlite3* db, QString* out)
{
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(5)", -1, &stmt, nullptr);
    QStringList findings;
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const QString line = ColumnString(stmt, 0);
        if (line != QLatin1String("ok"))
            findings.append(line);
        rc = SQLITE_OK;
    }
    const bool busy = music_db::IsBusy(rc);
    if (rc != SQLITE_DONE && !busy && findings.isEmpty())
        findings.append(QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_finalize(stmt);
    *out = findings.join(QLatin1Char('\n'));
    return busy ? rc : SQLITE_OK;
}

// Another program's write (a backup tool, a sync) is waited for this long at
// the start before the file counts as in use; later calls wait briefly.
constexpr int kOpenBusyMs = 2000;
constexpr int kBusyMs = 250;

// Opens `path` and makes sure it is a database SQLite can read (sqlite3_open
// reads nothing yet), waiting up to `busyMs` for another program's lock: 0
// with the connection and the quick check's findings, or SQLite's code and
// its text with no connection.
int OpenChecked(const QByteArray& path, int busyMs, sqlite3** out, QString* findings, QString* error)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open(path.constData(), &db);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, busyMs);
        rc = sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
    }
    // A file whose pages are partly garbage opens and answers with a
    // fraction of its rows, and refuses new ones for ever: checked first.
    if (rc == SQLITE_OK)
        rc = QuickCheck(db, findings);
    if (rc != SQLITE_OK) {
        *error = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return rc;
    }
    *out = db;
    return SQLITE_OK;
}

// What is wrong with the library file at `path`, which SQLite refused with
// `rc` or whose check found damage.
LibraryRepairReport::Fault FaultOf(const QString& path, int rc)
{
    const QFileInfo info(path);
    if (info.isDir())
        return LibraryRepairReport::FolderInPlace;
    switch (rc & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
        return LibraryRepairReport::NotALibrary;
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_PERM:
        return LibraryRepairReport::Unreadable;
    default:
        break;
    }
    // The header counts the file's pages (when the count is current).
    QFile file(path);
    const QByteArray header = file.open(QIODevice::ReadOnly) ? file.read(100) : QByteArray();
    if (header.size() == 100 && header.mid(24, 4) == header.mid(92, 4)) {
        auto number = [&](int at, int bytes) {
            quint64 value = 0;
            for (int i = 0; i < bytes; ++i)
                value = value << 8 | static_cast<uchar>(header.at(at + i));
            return value;
        };
        const quint64 pageSize = number(16, 2) == 1 ? 65536 : number(16, 2);
        if (static_cast<quint64>(info.size()) < number(28, 4) * pageSize)
            return LibraryRepairReport::CutShort;
    }
    return LibraryRepairReport::DamagedPages;
}

// A read-only picture in memory of the library file as it is now, for a file
// another program holds: the library shows what it held and nothing is ever
// written to the file. Read without a lock, it may meet the other program in
// the middle of a write: a picture that fails SQLite's check is no picture,
// and an empty library stands in.
sqlite3* SnapshotOf(const QString& path, bool* ofFile)
{
    *ofFile = false;
    QByteArray bytes;
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    sqlite3* db = nullptr;
    if (!bytes.isEmpty() && sqlite3_open(":memory:", &db) == SQLITE_OK) {
        auto* data = static_cast<unsigned char*>(sqlite3_malloc64(static_cast<sqlite3_uint64>(bytes.size())));
        QString findings;
        if (!data
            || (memcpy(data, bytes.constData(), static_cast<size_t>(bytes.size())),
                sqlite3_deserialize(db, "main", data, bytes.size(), bytes.size(),
                                    SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY))
                   != SQLITE_OK
            || sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK
            || QuickCheck(db, &findings) != SQLITE_OK || !findings.isEmpty()) {
            qWarning().noquote() << "DB_OpenDatabase: no sound picture of the library in use could be taken";
            sqlite3_close(db);
            db = nullptr;
        }
    }
    *ofFile = db != nullptr;
    if (!db) {
        sqlite3_open(":memory:", &db);
        music_db::CreateSchema(db);
    }
    sqlite3_exec(db, "pragma query_only = 1", nullptr, nullptr, nullptr);
    return db;
}

} // namespace

int DB_OpenDatabaseFile(const QString& path)
{
    const QByteArray utf8Path = path.toUtf8();
    QMutexLocker guard(&g_dbLock);
    if (g_db) {
        FinalizeStatementsLocked();
        sqlite3_close(g_db);
        g_db = nullptr;
    }
    g_itemIds.clear();
    g_itemCursor = 0;
    g_openProblem.clear();
    g_openBackup.clear();
    g_repair = LibraryRepairReport();
    g_inUse = false;
    g_pictureOfFile = false;
    g_libraryPath = path;
    g_songsFromFiles = 0;
    music_db::SetNotesLibraryPath(path);

    const QFileInfo before(path);
    const bool exists = before.exists();
    const bool emptyFile = before.isFile() && before.size() == 0;
    sqlite3* db = nullptr;
    QString findings;
    QString error;
    int rc = OpenChecked(utf8Path, kOpenBusyMs, &db, &findings, &error);
    // A lock that outlasts the wait is another program at work, not damage.
    bool inUse = music_db::IsBusy(rc);
    const bool unusable = !inUse && rc != SQLITE_OK && music_db::IsFileFault(rc) && exists;
    if (unusable || (rc == SQLITE_OK && !findings.isEmpty())) {
        g_openProblem = unusable ? error : findings;
        g_repair.fault = FaultOf(path, rc);
        g_repair.reason = unusable ? error : QString::fromUtf8(sqlite3_errstr(SQLITE_CORRUPT));
        qCritical().noquote() << "DB_OpenDatabase: the library is damaged or cannot be used:" << g_openProblem;
        sqlite3_close(db);
        db = nullptr;
        const music_db::RepairResult repair = music_db::RebuildLibrary(path);
        inUse = repair.inUse;
        g_openBackup = repair.keptCopy;
        if (!inUse && repair.keptCopy.isEmpty())
            qCritical().noquote() << "DB_OpenDatabase: no copy of the damaged library could be kept:" << path;
        if (repair.rebuilt) {
            g_repair.rebuilt = true;
            g_repair.songsSaved = repair.songs;
            g_repair.listsSaved = repair.lists;
            g_repair.itemsSaved = repair.items;
            g_repair.coversSaved = repair.covers;
            g_repair.itemsWaiting = repair.itemsWaiting;
            g_repair.coversWaiting = repair.coversWaiting;
        }
        if (!inUse && (repair.rebuilt || !unusable)) {
            // Rebuilt, or not rebuilt and used as far as it reads.
            QString again;
            rc = OpenChecked(utf8Path, kOpenBusyMs, &db, &again, &error);
            inUse = music_db::IsBusy(rc);
        }
    } else if (rc == SQLITE_OK && emptyFile) {
        // An empty file is a library that lost everything: its songs come
        // back from their files, and the user is told.
        g_repair.rebuilt = true;
        g_repair.fault = LibraryRepairReport::EmptyFile;
        g_repair.reason = QStringLiteral("the file was empty");
        g_openProblem = g_repair.reason;
        qCritical().noquote() << "DB_OpenDatabase: the library file was empty:" << path;
    }
    if (inUse) {
        sqlite3_close(db);
        g_repair = LibraryRepairReport();
        g_openBackup.clear();
        g_openProblem = error;
        g_inUse = true;
        g_db = SnapshotOf(path, &g_pictureOfFile);
        qWarning().noquote() << "DB_OpenDatabase: the library is in use by another program, left alone:" << path
                             << error;
        return SQLITE_OK;
    }
    if (rc != SQLITE_OK) {
        printf("sqlite3_open err %d,%s\n", rc, utf8Path.constData());
        fflush(stdout);
        qDebug().noquote() << "----Error:sqlite3_open err:" << rc << error << "\n----DBPath=" + path;
        if (g_openProblem.isEmpty())
            g_openProblem = error;
        g_lastError = error;
        return rc;
    }
    g_db = db;
    sqlite3_busy_timeout(g_db, kBusyMs);
    if (sqlite3_db_readonly(g_db, "main") == 1)
        qWarning().noquote() << "DB_OpenDatabase: the library is read-only, changes will fail:" << path;
    music_db::CreateSchema(g_db);
    return SQLITE_OK;
}

bool DB_LibraryInUse()
{
    QMutexLocker guard(&g_dbLock);
    return g_inUse;
}

namespace {

// Whether every row the library's picture `picture` (a serialized database,
// taken over) holds is in `db`'s tables as it was: SQLITE_OK when it is,
// SQLITE_MISMATCH when it is not, or the code of another program's lock.
int PictureStillHolds(sqlite3* db, unsigned char* picture, sqlite3_int64 size)
{
    if (sqlite3_exec(db, "attach ':memory:' as picture", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_free(picture);
        return SQLITE_MISMATCH;
    }
    int rc = sqlite3_deserialize(db, "picture", picture, size, size,
                                 SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY);
    for (const char* table : {"MusicList", "MusicItem", "MusicInfo", "CoverInfo"}) {
        if (rc != SQLITE_OK)
            break;
        const QByteArray sql = QByteArray("select exists (select * from picture.") + table
                               + " except select * from main." + table + ")";
        sqlite3_stmt* stmt = nullptr;
        rc = sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(stmt);
            rc = rc == SQLITE_ROW ? (sqlite3_column_int(stmt, 0) ? SQLITE_MISMATCH : SQLITE_OK) : rc;
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_exec(db, "detach picture", nullptr, nullptr, nullptr);
    return rc == SQLITE_OK || music_db::IsBusy(rc) ? rc : SQLITE_MISMATCH;
}

} // namespace

int DB_TakeUpLibraryWhenFree()
{
    QString path;
    {
        QMutexLocker guard(&g_dbLock);
        if (!g_inUse)
            return 1;
        // The library page shows the picture, and acts on the rows by their
        // keys: an empty stand-in in front of the file's rows would have a
        // deletion or a list's removal meet rows the user never saw.
        if (!g_pictureOfFile)
            return -1;
        path = g_libraryPath;
    }
    // Tried without a wait: the caller comes back.
    sqlite3* db = nullptr;
    QString findings;
    QString error;
    const int rc = OpenChecked(path.toUtf8(), 0, &db, &findings, &error);
    if (music_db::IsBusy(rc))
        return 0;
    if (rc != SQLITE_OK || !findings.isEmpty()) {
        sqlite3_close(db);
        qWarning().noquote() << "DB_TakeUpLibraryWhenFree: the library let go is damaged, left to the next start:"
                             << (findings.isEmpty() ? error : findings);
        return -1;
    }
    unsigned char* picture = nullptr;
    sqlite3_int64 pictureSize = 0;
    {
        QMutexLocker guard(&g_dbLock);
        if (g_inUse && g_libraryPath == path && g_db)
            picture = sqlite3_serialize(g_db, "main", &pictureSize, 0);
    }
    // The other program may have changed what the page shows meanwhile:
    // taken up, the page's rows must still be the file's. Rows it added are
    // no harm (they show at the next start); a row changed or gone is.
    const int held = picture ? PictureStillHolds(db, picture, pictureSize) : SQLITE_OK;
    if (music_db::IsBusy(held)) {
        sqlite3_close(db);
        return 0;
    }
    if (held != SQLITE_OK) {
        sqlite3_close(db);
        qWarning().noquote() << "DB_TakeUpLibraryWhenFree: another program changed the library meanwhile; it stays "
                                "read-only until the next start:"
                             << path;
        return -1;
    }
    QMutexLocker guard(&g_dbLock);
    if (!g_inUse || g_libraryPath != path) {
        sqlite3_close(db);
        return g_inUse ? 0 : 1;
    }
    FinalizeStatementsLocked();
    sqlite3_close(g_db);
    g_db = db;
    g_inUse = false;
    g_pictureOfFile = false;
    g_itemIds.clear();
    g_itemCursor = 0;
    sqlite3_busy_timeout(g_db, kBusyMs);
    music_db::CreateSchema(g_db);
    qWarning().noquote() << "DB_TakeUpLibraryWhenFree: the library is free again:" << path;
    return 1;
}

int DB_SongsTakenFromFiles()
{
    QMutexLocker guard(&g_dbLock);
    return g_songsFromFiles;
}

int DB_CloseDatabase()
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    FinalizeStatementsLocked();
    const int rc = sqlite3_close(g_db);
    if (rc == SQLITE_OK) {
        g_db = nullptr;
        g_inUse = false;
        g_pictureOfFile = false;
    } else
        qCritical("DB_CloseDatabase, Err: %s", sqlite3_errmsg(g_db));
    return rc;
}

bool DB_IsOpen()
{
    QMutexLocker guard(&g_dbLock);
    return g_db != nullptr;
}

QString DB_OpenProblem(QString* backup)
{
    QMutexLocker guard(&g_dbLock);
    if (backup)
        *backup = g_openBackup;
    return g_openProblem;
}

LibraryRepairReport DB_LastRepair()
{
    QMutexLocker guard(&g_dbLock);
    return g_repair;
}

QString DB_LastErrorText()
{
    QMutexLocker guard(&g_dbLock);
    return g_lastError;
}

int DB_CreateTransaction()
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    return ExecLocked("begin transaction", "DB_CreateTransaction failed : ", false);
}

int DB_CommitTransaction()
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    return ExecLocked("commit transaction", "DB_CommitTransaction failed : ", false);
}

int DB_RollbackTransaction()
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    return ExecLocked("rollback transaction", "DB_RollbackTransaction failed : ", false);
}

int DB_GetMusicInfo(int musicId, MusicInfoRow* row)
{
    if (!row)
        return 0;
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return -1;
    const QByteArray sql = QByteArray("SELECT ") + kMusicInfoColumns + " FROM MusicInfo WHERE MusicId = ?";
    sqlite3_stmt* stmt = nullptr;
    int rows = 0;
    int rc = sqlite3_prepare_v2(g_db, sql.constData(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_int(stmt, 1, musicId);
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            ReadMusicInfoRow(stmt, row);
            rows = 1;
            rc = SQLITE_DONE;
        }
    }
    if (rc != SQLITE_DONE)
        qCritical("DB_GetMusicInfo, Err: %s", sqlite3_errmsg(g_db));
    sqlite3_finalize(stmt);
    return rows;
}

int DB_GetAllMusicInfo(QMap<int, MusicInfoRow*>& out)
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return -1;
    const QByteArray sql = QByteArray("SELECT ") + kMusicInfoColumns + " FROM MusicInfo";
    sqlite3_stmt* stmt = nullptr;
    int rows = 0;
    int rc = sqlite3_prepare_v2(g_db, sql.constData(), -1, &stmt, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        MusicInfoRow* row = new MusicInfoRow;
        ReadMusicInfoRow(stmt, row);
        auto it = out.find(row->MusicId);
        if (it != out.end()) {
            delete it.value();  // a repeated key (no constraint in an edited file)
            it.value() = row;
        } else {
            out.insert(row->MusicId, row);
        }
        ++rows;
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE)
        qCritical("DB_GetAllMusicInfo, Err: %s", sqlite3_errmsg(g_db));
    sqlite3_finalize(stmt);
    return rows;
}

namespace {
// UTF-8 into `to`, which has room for `bytes` units (UTF-8 never gives more
// UTF-16 units than bytes); returns the units written. ASCII, nearly every
// text of a library, is copied unit by unit; the rest of a text from its
// first other byte on goes through QString::fromUtf8, so both read the same.
int Utf8Into(QChar* to, const char* text, int bytes)
{
    // The ASCII run first, eight bytes at a time, then widened in one loop
    // the compiler vectorises.
    int ascii = 0;
    while (ascii + 8 <= bytes) {
        quint64 word;
        memcpy(&word, text + ascii, sizeof word);
        if (word & 0x8080808080808080ull)
            break;
        ascii += 8;
    }
    while (ascii < bytes && static_cast<uchar>(text[ascii]) < 0x80)
        ++ascii;
    ushort* out = reinterpret_cast<ushort*>(to);
    for (int i = 0; i < ascii; ++i)
        out[i] = static_cast<uchar>(text[i]);
    const int i = ascii;
    if (i == bytes)
        return i;
    const QString rest = QString::fromUtf8(text + i, bytes - i);
    std::copy(rest.constData(), rest.constData() + rest.size(), to + i);
    return i + rest.size();
}
} // namespace

int DB_GetAllMusicListRows(std::vector<MusicInfoListRow>& out, bool* complete)
{
    if (complete)
        *complete = false;
    const RecordMusicInfo* field = nullptr;   // for the field widths only
    // Width of each text as the record's field would cut it; 0: whole.
    constexpr size_t kWhole = 0;
    const size_t widths[MusicInfoListRow::TextFieldCount] = {
        kWhole, sizeof field->MusicName, kWhole, sizeof field->Artist, sizeof field->Album, sizeof field->Genre,
        kWhole};
    std::vector<MusicInfoListRow> rows;
    {
        QMutexLocker guard(&g_dbLock);
        if (!g_db)
            return -1;
        // The rows in one block: grown row by row, 100,000 of them were
        // copied and their memory touched anew eighteen times. The highest
        // rowid is at least the number of rows and costs one look at the
        // table's last page (counting them walks every page); past the
        // library's limit the block grows as needed.
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(g_db, "SELECT max(rowid) FROM MusicInfo", -1, &stmt, nullptr) == SQLITE_OK
            && sqlite3_step(stmt) == SQLITE_ROW)
            rows.reserve(static_cast<size_t>(qBound<sqlite3_int64>(0, sqlite3_column_int64(stmt, 0), kMaxMusicInfoRows)));
        sqlite3_finalize(stmt);
        stmt = nullptr;
        // The columns of kMusicInfoColumns up to ImageId, in the order of
        // MusicInfoListRow's texts: the tag texts after it are not shown in
        // the list.
        int rc = sqlite3_prepare_v2(g_db,
                                    "SELECT MusicId, ImageId, MusicPath, MusicName, TimeRecorded, Artist, Album, "
                                    "Genre, DateAdded FROM MusicInfo",
                                    -1, &stmt, nullptr);
        constexpr int kFirstText = 2;
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            rows.emplace_back();
            MusicInfoListRow& row = rows.back();
            row.MusicId = sqlite3_column_int(stmt, 0);
            row.ImageId = sqlite3_column_int(stmt, 1);
            const char* texts[MusicInfoListRow::TextFieldCount];
            int bytes[MusicInfoListRow::TextFieldCount];
            int total = 0;
            for (int i = 0; i < MusicInfoListRow::TextFieldCount; ++i) {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, kFirstText + i));
                // Up to the first zero byte, as the record reads it; NULL is
                // empty. (SQLite ends every text with a zero byte, so its
                // length need not be asked: each question takes its lock.)
                size_t length = text ? strlen(text) : 0;
                if (widths[i] != kWhole)
                    length = Utf8FieldLength(widths[i], text, length);
                texts[i] = text;
                bytes[i] = static_cast<int>(length);
                total += bytes[i];
            }
            row.Texts = QString(total, Qt::Uninitialized);
            QChar* to = row.Texts.data();
            int at = 0;
            for (int i = 0; i < MusicInfoListRow::TextFieldCount; ++i) {
                at += Utf8Into(to + at, texts[i], bytes[i]);
                row.TextEnd[i] = at;
            }
            row.Texts.truncate(at);
            rc = SQLITE_OK;
        }
        if (rc != SQLITE_DONE)
            qCritical("DB_GetAllMusicListRows, Err: %s", sqlite3_errmsg(g_db));
        else if (complete)
            *complete = true;
        sqlite3_finalize(stmt);
    }
    const int read = static_cast<int>(rows.size());
    // MusicId order; of rows with one key the last read stays (the key is a
    // primary key, so only a file edited by hand has repeats). The table
    // nearly always comes in that order already.
    const auto byId = [](const MusicInfoListRow& a, const MusicInfoListRow& b) { return a.MusicId < b.MusicId; };
    if (!std::is_sorted(rows.begin(), rows.end(), byId))
        std::stable_sort(rows.begin(), rows.end(), byId);
    const auto repeat = std::adjacent_find(rows.begin(), rows.end(), [](const MusicInfoListRow& a,
                                                                       const MusicInfoListRow& b) {
        return a.MusicId == b.MusicId;
    });
    if (repeat != rows.end()) {
        auto kept = repeat;
        for (auto it = repeat; it != rows.end(); ++it) {
            if (it + 1 != rows.end() && (it + 1)->MusicId == it->MusicId)
                continue;
            if (kept != it)
                *kept = std::move(*it);
            ++kept;
        }
        rows.erase(kept, rows.end());
    }
    if (out.empty())
        out = std::move(rows);
    else
        std::move(rows.begin(), rows.end(), std::back_inserter(out));
    return read;
}

int DB_GetAllImageInfo(const std::vector<int>& musicIds, std::vector<CoverCandidateRow>& out)
{
    const RecordMusicInfo* field = nullptr;   // for the field width only
    std::vector<int> surplus;   // the sixth cover of a song, deleted below
    int rc;
    {
        QMutexLocker guard(&g_dbLock);
        if (!g_db)
            return kNotOpen;
        // Within one song the rows come in the order of the CoverInfo_MusicId
        // index (row order), which is the order the one-song query reads.
        sqlite3_stmt* stmt = nullptr;
        rc = sqlite3_prepare_v2(g_db, "SELECT MusicId, CoverId, ImagePath FROM CoverInfo ORDER BY MusicId, rowid",
                                -1, &stmt, nullptr);
        int lastId = 0;
        int taken = 0;
        auto wanted = musicIds.begin();
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            rc = SQLITE_OK;
            if (sqlite3_column_type(stmt, 0) == SQLITE_NULL)
                continue;   // no song's query matches it
            const int musicId = sqlite3_column_int(stmt, 0);
            if (taken == 0 || musicId != lastId) {
                lastId = musicId;
                taken = 0;
            }
            while (wanted != musicIds.end() && *wanted < musicId)
                ++wanted;
            if (wanted == musicIds.end() || *wanted != musicId)
                continue;
            ++taken;
            if (taken <= kMaxCoverCandidatesRead) {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2));
                const size_t bytes = text ? strnlen(text, static_cast<size_t>(sqlite3_column_bytes(stmt, 2))) : 0;
                out.push_back({musicId, sqlite3_column_int(stmt, 1),
                               QString::fromUtf8(text, static_cast<int>(Utf8FieldLength(sizeof field->CoverPaths[0],
                                                                                         text, bytes)))});
            } else if (taken == kMaxCoverCandidatesRead + 1) {
                surplus.push_back(sqlite3_column_int(stmt, 1));
            }
        }
        if (rc != SQLITE_DONE)
            qCritical("DB_GetAllImageInfo, Err: %s", sqlite3_errmsg(g_db));
        else
            rc = SQLITE_OK;
        sqlite3_finalize(stmt);
    }
    for (int coverId : surplus)
        DB_DeleteImage(coverId);
    return rc;
}

int DB_GetImageInfo(MusicInfoRow* row)
{
    if (!row)
        return SQLITE_MISUSE;
    struct Cover {
        int id;
        QByteArray path;
    };
    std::vector<Cover> covers;
    int rc;
    {
        QMutexLocker guard(&g_dbLock);
        if (!g_db)
            return kNotOpen;
        // Kept prepared: the library page asks once per song while it loads,
        // and parsing the statement 100,000 times cost more than the reads.
        sqlite3_stmt* stmt =
            CachedStatementLocked("SELECT CoverId, ImagePath FROM CoverInfo WHERE  MusicId = ?", &rc);
        if (stmt)
            sqlite3_bind_int(stmt, 1, row->MusicId);
        // A sixth row is all that is needed to know one must go.
        while (rc == SQLITE_OK && covers.size() < 6 && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            covers.push_back({sqlite3_column_int(stmt, 0), ColumnBytes(stmt, 1)});
            rc = SQLITE_OK;
        }
        if (rc != SQLITE_OK && rc != SQLITE_DONE)
            qCritical("DB_GetImageInfo, Err: %s", sqlite3_errmsg(g_db));
        else
            rc = SQLITE_OK;
        if (stmt)
            sqlite3_reset(stmt);
    }
    const int filled = covers.size() < 5 ? static_cast<int>(covers.size()) : 5;
    for (int i = 0; i < filled; ++i) {
        row->Info.CoverIds[i] = covers[i].id;
        CopyUtf8Field(row->Info.CoverPaths[i], sizeof(row->Info.CoverPaths[i]), covers[i].path);
    }
    row->Info.CoverCount = filled;
    if (covers.size() > 5)
        DB_DeleteImage(covers[5].id);
    return rc;
}

int DB_GetMusicItem(QList<MusicItemLink>& out, int value, const QString& column)
{
    if (!IsIdentifier(column)) {
        qCritical("DB_GetMusicItem, Err: %s", "bad column name");
        return SQLITE_ERROR;
    }
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    const QByteArray sql =
        "SELECT ItemId, ListId, MusicId FROM MusicItem WHERE " + column.toUtf8() + " = ? order by MusicId";
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(g_db, sql.constData(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK)
        sqlite3_bind_int(stmt, 1, value);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        out.append({sqlite3_column_int(stmt, 0), sqlite3_column_int(stmt, 1), sqlite3_column_int(stmt, 2)});
        rc = SQLITE_OK;
    }
    if (rc == SQLITE_DONE) {
        rc = SQLITE_OK;
    } else {
        qCritical("DB_GetMusicItem, Err: %s", sqlite3_errmsg(g_db));
    }
    sqlite3_finalize(stmt);
    return rc;
}

int DB_GetMusicList(QList<MusicListRow>& out)
{
    QList<MusicListRow> lists;
    {
        QMutexLocker guard(&g_dbLock);
        if (!g_db)
            return kNotOpen;
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(g_db, "SELECT ListId, ListName FROM MusicList", -1, &stmt, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            MusicListRow row;
            row.ListId = sqlite3_column_int(stmt, 0);
            row.ListName = ColumnString(stmt, 1);
            lists.append(row);
            rc = SQLITE_OK;
        }
        if (rc != SQLITE_DONE) {
            qCritical("DB_GetMusicList, Err: %s", sqlite3_errmsg(g_db));
            sqlite3_finalize(stmt);
            return rc;
        }
        sqlite3_finalize(stmt);
    }
    // One count per list, each under its own hold of the mutex so a long
    // library does not block other callers for the whole walk.
    for (MusicListRow& row : lists) {
        QMutexLocker guard(&g_dbLock);
        if (!g_db)
            break;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(g_db, "SELECT count(*) FROM MusicItem WHERE ListId = ?", -1, &stmt, nullptr)
            == SQLITE_OK) {
            sqlite3_bind_int(stmt, 1, row.ListId);
            if (sqlite3_step(stmt) == SQLITE_ROW)
                row.ItemCount = sqlite3_column_int(stmt, 0);
        }
        sqlite3_finalize(stmt);
    }
    out.append(lists);
    return SQLITE_OK;
}

int DB_GetMusicListName(int listId, QString& name)
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(g_db, "SELECT ListName FROM MusicList WHERE ListId = ?", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_int(stmt, 1, listId);
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW)
            name = ColumnString(stmt, 0);
        if (rc == SQLITE_ROW || rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK)
        qCritical("DB_GetMusicListName, Err: %s", sqlite3_errmsg(g_db));
    sqlite3_finalize(stmt);
    return rc;
}

int DB_DeleteMusicinfo(int musicId)
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    return ExecLocked("delete from MusicInfo where MusicId = " + QByteArray::number(musicId),
                      "DB_DeleteMusicinfo, Err: %s");
}

int DB_DeleteMusicList(int listId)
{
    qDebug() << "DB_DeleteMusicList, ListId: " << listId;
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    return ExecLocked("delete from MusicList where ListId = " + QByteArray::number(listId),
                      "DB_DeleteMusicList, Err: %s");
}

int DB_DeleteMusicItem(int itemId)
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    if (g_itemIds.empty())
        LoadItemIdsLocked();
    if (!g_itemIds.empty()) {
        // Bisection over the ordered cache.
        int lo = 0;
        int hi = static_cast<int>(g_itemIds.size()) - 1;
        while (lo != hi) {
            const int mid = (lo + hi) / 2;
            if (g_itemIds[mid] == itemId) {
                lo = hi = mid;
                break;
            }
            if (itemId > g_itemIds[mid])
                lo = mid + 1;
            else
                hi = mid;
        }
        if (g_itemIds[lo] == itemId)
            g_itemIds.erase(g_itemIds.begin() + lo);
    }
    return ExecLocked("delete from MusicItem where ItemId = " + QByteArray::number(itemId) + " ",
                      "DB_DeleteMusicItem, Err: %s");
}

int DB_DeleteImage(int coverId)
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    return ExecLocked("delete from CoverInfo where CoverId = " + QByteArray::number(coverId),
                      "DB_DeleteImage, Err: %s");
}

namespace {

// Runs `body` inside a savepoint (a transaction of its own, or nested in the
// caller's); on failure everything it did is rolled back. g_dbLock must be
// held. Returns the first failing code, or 0.
template <typename Body>
int InSavepointLocked(const char* name, Body body)
{
    const QByteArray savepoint(name);
    int rc = ExecLocked("savepoint " + savepoint, "savepoint failed: %s");
    if (rc != SQLITE_OK)
        return rc;
    rc = body();
    if (rc == SQLITE_OK)
        rc = ExecLocked("release " + savepoint, "release failed: %s");
    if (rc != SQLITE_OK) {
        ExecLocked("rollback to " + savepoint, "rollback failed: %s");
        ExecLocked("release " + savepoint, "release failed: %s");
    }
    return rc;
}

// Steps one prepared statement `count` times, `bind(stmt, i)` binding the
// i-th time's parameters (texts bound without a copy live until their step);
// stops at the first failure. 0 or that failure's code.
template <typename Bind>
int StepEachLocked(const char* sql, size_t count, Bind bind)
{
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(g_db, sql, -1, &stmt, nullptr);
    for (size_t i = 0; rc == SQLITE_OK && i < count; ++i) {
        bind(stmt, i);
        rc = sqlite3_step(stmt);
        rc = rc == SQLITE_DONE || rc == SQLITE_ROW ? sqlite3_reset(stmt) : rc;
        sqlite3_clear_bindings(stmt);
    }
    if (rc != SQLITE_OK) {
        NoteErrorLocked(rc);
        qCritical("%s, Err: %s", sql, sqlite3_errmsg(g_db));
    }
    sqlite3_finalize(stmt);
    return rc;
}

// Steps a prepared statement once per key of `keys` (bound as parameter 1).
int StepForEachLocked(const char* sql, const std::vector<int>& keys)
{
    return StepEachLocked(sql, keys.size(), [&](sqlite3_stmt* stmt, size_t i) { sqlite3_bind_int(stmt, 1, keys[i]); });
}

// Fills the temporary table DeleteIds with `ids` (the sets below name it).
int FillIdTableLocked(const std::vector<int>& ids)
{
    int rc = ExecLocked("create temp table if not exists DeleteIds (MusicId integer primary key)",
                        "DeleteIds, Err: %s");
    if (rc == SQLITE_OK)
        rc = ExecLocked("delete from temp.DeleteIds", "DeleteIds, Err: %s");
    if (rc == SQLITE_OK)
        rc = StepForEachLocked("insert or ignore into temp.DeleteIds values (?)", ids);
    return rc;
}

// The first column of every row of `sql`, each value as `read` takes it.
template <typename T, typename Read>
int ReadFirstColumnLocked(const char* sql, std::vector<T>& out, Read read)
{
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(g_db, sql, -1, &stmt, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        out.push_back(read(stmt));
        rc = SQLITE_OK;
    }
    rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    if (rc != SQLITE_OK)
        qCritical("%s, Err: %s", sql, sqlite3_errmsg(g_db));
    sqlite3_finalize(stmt);
    return rc;
}

// The text of the first column of every row of `sql`.
int ReadTextsLocked(const char* sql, std::vector<QString>& out)
{
    return ReadFirstColumnLocked(sql, out, [](sqlite3_stmt* stmt) { return ColumnString(stmt, 0); });
}

// The first column of every row of `sql` as integers.
int ReadKeysLocked(const char* sql, std::vector<int>& out)
{
    return ReadFirstColumnLocked(sql, out, [](sqlite3_stmt* stmt) { return sqlite3_column_int(stmt, 0); });
}

// Whether the library has the table `name`.
bool HasTableLocked(const char* name)
{
    sqlite3_stmt* stmt = nullptr;
    bool has = false;
    if (sqlite3_prepare_v2(g_db, "select 1 from sqlite_master where type = 'table' and name = ?", -1, &stmt, nullptr)
        == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, name, -1, SQLITE_STATIC);
        has = sqlite3_step(stmt) == SQLITE_ROW;
    }
    sqlite3_finalize(stmt);
    return has;
}

// Deleted entries' ItemIds are free again: out of the ordered cache.
void ForgetItemIdsLocked(std::vector<int> gone)
{
    std::sort(gone.begin(), gone.end());
    std::vector<int> kept;
    kept.reserve(g_itemIds.size());
    std::set_difference(g_itemIds.begin(), g_itemIds.end(), gone.begin(), gone.end(), std::back_inserter(kept));
    g_itemIds.swap(kept);
}

} // namespace

int DB_DeleteSongs(const std::vector<int>& musicIds, std::vector<PendingFileRemoval>& removals)
{
    removals.clear();
    if (musicIds.empty())
        return SQLITE_OK;
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    std::vector<int> itemIds;
    const int rc = InSavepointLocked("DeleteSongs", [&] {
        int r = ExecLocked(music_db::kCreatePendingRemoval, "PendingRemoval, Err: %s");
        if (r == SQLITE_OK)
            r = FillIdTableLocked(musicIds);
        std::vector<QString> items;
        if (r == SQLITE_OK)
            r = ReadTextsLocked("select ItemId from MusicItem where MusicId in (select MusicId from temp.DeleteIds)",
                                items);
        // The files the songs name, then the rows; what the remaining rows
        // still name stays. Each question is one pass over a table, not one
        // per file: a deletion may take 100,000 songs.
        for (const char* sql : {
                 "create temp table if not exists DeletePaths (Kind int, Path text)",
                 "delete from temp.DeletePaths",
                 "insert into temp.DeletePaths select distinct 0, MusicPath from MusicInfo "
                 "where MusicId in (select MusicId from temp.DeleteIds) and MusicPath <> ''",
                 "insert into temp.DeletePaths select distinct 1, ImagePath from CoverInfo "
                 "where MusicId in (select MusicId from temp.DeleteIds) and ImagePath <> ''",
                 "delete from MusicItem where MusicId in (select MusicId from temp.DeleteIds)",
                 "delete from CoverInfo where MusicId in (select MusicId from temp.DeleteIds)",
                 "delete from MusicInfo where MusicId in (select MusicId from temp.DeleteIds)",
                 "delete from temp.DeletePaths where (Kind = 0 and Path in (select MusicPath from MusicInfo)) "
                 "or (Kind = 1 and Path in (select ImagePath from CoverInfo))"}) {
            if (r == SQLITE_OK)
                r = ExecLocked(sql, "DB_DeleteSongs, Err: %s");
        }
        // A picture a cover waiting for its song names stays: it is what
        // tells that song's file when it comes back.
        if (r == SQLITE_OK && HasTableLocked("CoverInfoUnlinked"))
            r = ExecLocked("delete from temp.DeletePaths where Kind = 1 and Path in "
                           "(select ImagePath from CoverInfoUnlinked)",
                           "DB_DeleteSongs, Err: %s");
        if (r == SQLITE_OK)
            r = ExecLocked("insert into PendingRemoval (Kind, Path) select Kind, Path from temp.DeletePaths",
                           "DB_DeleteSongs, Err: %s");
        // The entries just made are the last ones (keys count upwards).
        sqlite3_stmt* stmt = nullptr;
        if (r == SQLITE_OK)
            r = sqlite3_prepare_v2(g_db,
                                   "select Id, Kind, Path from PendingRemoval where Id > "
                                   "(select coalesce(max(Id), 0) from PendingRemoval) - "
                                   "(select count(*) from temp.DeletePaths) order by Id",
                                   -1, &stmt, nullptr);
        while (r == SQLITE_OK && (r = sqlite3_step(stmt)) == SQLITE_ROW) {
            PendingFileRemoval removal;
            removal.id = sqlite3_column_int64(stmt, 0);
            removal.kind = sqlite3_column_int(stmt, 1);
            removal.path = ColumnString(stmt, 2);
            removals.push_back(removal);
            r = SQLITE_OK;
        }
        r = r == SQLITE_DONE ? SQLITE_OK : r;
        sqlite3_finalize(stmt);
        for (const QString& item : items)
            itemIds.push_back(item.toInt());
        return r;
    });
    if (rc != SQLITE_OK) {
        removals.clear();
        return rc;
    }
    ForgetItemIdsLocked(std::move(itemIds));
    return SQLITE_OK;
}

int DB_DeleteMusicItems(const std::vector<int>& itemIds)
{
    if (itemIds.empty())
        return SQLITE_OK;
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    const int rc = InSavepointLocked("DeleteMusicItems", [&] {
        return StepForEachLocked("delete from MusicItem where ItemId = ?", itemIds);
    });
    if (rc == SQLITE_OK)
        ForgetItemIdsLocked(itemIds);
    return rc;
}

int DB_CutPlayDates(const std::vector<int>& musicIds)
{
    if (musicIds.empty())
        return SQLITE_OK;
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    return InSavepointLocked("CutPlayDates", [&] {
        return StepForEachLocked(
            "update MusicInfo set DateAdded = substr(DateAdded, 1, 16) where MusicId = ? and length(DateAdded) > 16",
            musicIds);
    });
}

int DB_GetPendingRemovals(std::vector<PendingFileRemoval>& out)
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql =
        QByteArray("select Id, Kind, Path, (Kind = 0 and Path in (select MusicPath from MusicInfo)) "
                   "or (Kind = 1 and Path in (select ImagePath from CoverInfo))")
        + (HasTableLocked("CoverInfoUnlinked") ? " or (Kind = 1 and Path in (select ImagePath from CoverInfoUnlinked))"
                                               : "")
        + " from PendingRemoval order by Id";
    // No table: no deletion ever ran on this library.
    if (sqlite3_prepare_v2(g_db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return SQLITE_OK;
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        PendingFileRemoval removal;
        removal.id = sqlite3_column_int64(stmt, 0);
        removal.kind = sqlite3_column_int(stmt, 1);
        removal.path = ColumnString(stmt, 2);
        removal.named = sqlite3_column_int(stmt, 3) != 0;
        out.push_back(removal);
    }
    rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    if (rc != SQLITE_OK)
        qCritical("DB_GetPendingRemovals, Err: %s", sqlite3_errmsg(g_db));
    sqlite3_finalize(stmt);
    return rc;
}

int DB_DonePendingRemovals(const std::vector<PendingFileRemoval>& done)
{
    if (done.empty())
        return SQLITE_OK;
    qint64 low = done.front().id, high = done.front().id;
    for (const PendingFileRemoval& removal : done) {
        low = qMin(low, removal.id);
        high = qMax(high, removal.id);
    }
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    return InSavepointLocked("DonePendingRemovals", [&] {
        // A whole deletion's entries are one run of keys: one statement.
        if (high - low + 1 == static_cast<qint64>(done.size())) {
            sqlite3_stmt* stmt = nullptr;
            int r = sqlite3_prepare_v2(g_db, "delete from PendingRemoval where Id between ? and ?", -1, &stmt, nullptr);
            if (r == SQLITE_OK) {
                sqlite3_bind_int64(stmt, 1, low);
                sqlite3_bind_int64(stmt, 2, high);
                r = sqlite3_step(stmt) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(g_db);
            }
            sqlite3_finalize(stmt);
            return r;
        }
        sqlite3_stmt* stmt = nullptr;
        int r = sqlite3_prepare_v2(g_db, "delete from PendingRemoval where Id = ?", -1, &stmt, nullptr);
        for (size_t i = 0; r == SQLITE_OK && i < done.size(); ++i) {
            sqlite3_bind_int64(stmt, 1, done[i].id);
            r = sqlite3_step(stmt) == SQLITE_DONE ? sqlite3_reset(stmt) : sqlite3_errcode(g_db);
        }
        sqlite3_finalize(stmt);
        return r;
    });
}

int DB_SetMusicInfo(const MusicInfoRow* row)
{
    if (!row)
        return SQLITE_MISUSE;
    const MusicRowText text(*row);
    return RunPrepared(
        kInsertMusicInfo, "DB_SetMusicInfo failed, ErrCode: %d", [&](sqlite3_stmt* stmt) {
            sqlite3_bind_int(stmt, 1, row->MusicId);
            BindMusicColumns(stmt, 2, *row, text);
        });
}

int DB_UpdateMusicInfo(const MusicInfoRow* row, int /*unused*/)
{
    if (!row)
        return SQLITE_MISUSE;
    const MusicRowText text(*row);
    return RunPrepared(
        "update MusicInfo set MusicPath = ?, MusicName = ?, TimeRecorded = ?, Artist = ?, Album = ?, Genre = "
        "?,DateAdded = ?, ImageId = ?, AlbumTUI = ?, AlbumMusicList = ?, Year = ? WHERE MusicId = ?",
        "DB_UpdateMusicInfo failed, ErrCode: %d", [&](sqlite3_stmt* stmt) {
            BindMusicColumns(stmt, 1, *row, text);
            sqlite3_bind_int(stmt, 12, row->MusicId);
        });
}

int DB_SetMusicItem(int itemId, int listId, int musicId)
{
    return RunPrepared("INSERT INTO MusicItem (ItemId, ListId, MusicId) VALUES (?, ?, ?)",
                       "DB_SetMusicItem failed, ErrCode: %d", [&](sqlite3_stmt* stmt) {
                           sqlite3_bind_int(stmt, 1, itemId);
                           sqlite3_bind_int(stmt, 2, listId);
                           sqlite3_bind_int(stmt, 3, musicId);
                       });
}

QString DB_SetMusicList(int listId, const QString& name)
{
    const QByteArray utf8 = name.toUtf8();
    const int rc = RunPrepared("INSERT INTO MusicList (ListId, ListName) VALUES (?, ?)",
                               "DB_SetMusicList failed, ErrCode: %d", [&](sqlite3_stmt* stmt) {
                                   sqlite3_bind_int(stmt, 1, listId);
                                   BindBytes(stmt, 2, utf8);
                               });
    if (rc == SQLITE_OK)
        return QString();
    qCritical("DB_SetMusicList failed, ErrCode: %d", rc);
    return QStringLiteral("Save List info to DB failed!");
}

int DB_UpdateMusicList(int listId, const QString& name)
{
    const QByteArray utf8 = name.toUtf8();
    return RunPrepared("UPDATE MusicList SET ListName = ? WHERE ListId = ?", "DB_UpdateMusicList failed, ErrCode: %d",
                       [&](sqlite3_stmt* stmt) {
                           BindBytes(stmt, 1, utf8);
                           sqlite3_bind_int(stmt, 2, listId);
                       });
}

int DB_SetImageInfo(int coverId, int musicId, const char* path)
{
    const QByteArray utf8(path ? path : "");
    return RunPrepared("INSERT INTO CoverInfo (CoverId, MusicId, ImagePath) VALUES (?, ?, ?)",
                       "DB_SetImageInfo failed, ErrCode: %d", [&](sqlite3_stmt* stmt) {
                           sqlite3_bind_int(stmt, 1, coverId);
                           sqlite3_bind_int(stmt, 2, musicId);
                           BindBytes(stmt, 3, utf8);
                       });
}

int DB_GetImageId(const QString& path)
{
    const QByteArray utf8 = path.toUtf8();
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return 0;
    sqlite3_stmt* stmt = nullptr;
    int found = 0;
    if (sqlite3_prepare_v2(g_db, "SELECT CoverId FROM CoverInfo WHERE ImagePath = ?", -1, &stmt, nullptr)
        == SQLITE_OK) {
        BindBytes(stmt, 1, utf8);
        if (sqlite3_step(stmt) == SQLITE_ROW)
            found = sqlite3_data_count(stmt) > 0 ? 1 : 0;
    }
    sqlite3_finalize(stmt);
    return found;
}

int CreatePrimaryKey(const QString& table, const QString& column, int start, int max, bool* full)
{
    if (full)
        *full = false;
    if (!IsIdentifier(table) || !IsIdentifier(column)) {
        qCritical("CreatePrimaryKey, Err: %s", "bad table or column name");
        return -1;
    }
    std::vector<int> keys;
    {
        QMutexLocker guard(&g_dbLock);
        if (!g_db) {
            g_lastError = QCoreApplication::translate("QObject", "the library is not open");
            return -1;
        }
        const QByteArray sql = QStringLiteral("select %2 from %1 order by %2").arg(table, column).toUtf8();
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(g_db, sql.constData(), -1, &stmt, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            keys.push_back(sqlite3_column_int(stmt, 0));
            rc = SQLITE_OK;
        }
        const bool failed = rc != SQLITE_DONE;
        if (failed) {
            NoteErrorLocked(rc);
            qCritical("CreatePrimaryKey, Err: %s", sqlite3_errmsg(g_db));
        }
        sqlite3_finalize(stmt);
        // Without the keys in use no key is known to be free; `start` may be
        // taken already.
        if (failed)
            return -1;
    }
    const size_t n = keys.size();
    if (n == 0)
        return start;
    if (max >= 0 && n >= static_cast<size_t>(max)) {
        if (full)
            *full = true;
        return -1;
    }
    if (n == 1)
        return keys[0] + 1;
    if (keys[0] != start)
        return start;
    for (size_t i = 0; i + 1 < n; ++i) {
        if (keys[i + 1] > keys[i] + 1)
            return keys[i] + 1;
    }
    return keys.back() + 1;
}

namespace {

// DB_CreateItemId's allocation; g_dbLock must be held.
int CreateItemIdLocked()
{
    if (g_itemIds.empty()) {
        LoadItemIdsLocked();
        if (g_itemIds.empty()) {
            g_itemIds.push_back(1);
            return 1;
        }
    }
    std::vector<int>& cache = g_itemIds;
    const int size = static_cast<int>(cache.size());
    if (size >= kMaxItemIds)
        return -1;
    if (size == 1) {
        const long long next = static_cast<long long>(cache[0]) + 1;
        const int id = next > kMaxItemIds ? 1 : static_cast<int>(next);
        if (id < cache[0])
            cache.insert(cache.begin(), id);
        else
            cache.push_back(id);
        g_itemCursor = 1;
        return id;
    }
    if (g_itemCursor < 0)
        g_itemCursor = 0;
    if (g_itemCursor > size - 1)
        g_itemCursor = size - 1;
    if (cache[g_itemCursor] == kMaxItemIds)
        g_itemCursor = 0;
    if (g_itemCursor == size - 1) {
        const int id = cache.back() + 1;
        cache.push_back(id);
        g_itemCursor = size;
        return id;
    }
    for (int i = g_itemCursor; i < size - 1; ++i) {
        const int candidate = cache[i] + 1;
        g_itemCursor = i + 1;
        if (cache[i + 1] > candidate) {
            cache.insert(cache.begin() + i + 1, candidate);
            return candidate;
        }
    }
    const int id = cache.back() + 1;
    cache.push_back(id);
    return id;
}

// `count` ids with the values `count` calls of CreateItemIdLocked give (each
// the lowest free id above the cursor's), found in one walk and merged into
// the cache once: one by one, every id taken from a gap moved the rest of the
// cache, which made adding 100,000 songs to a list take minutes. Fewer than
// `count` when the ids run out. g_dbLock must be held.
std::vector<int> CreateItemIdsLocked(size_t count)
{
    std::vector<int> ids;
    ids.reserve(count);
    // The walk needs two ids in the cache and a cursor below the top id.
    auto walkable = [] {
        if (g_itemIds.size() < 2)
            return false;
        const qint64 cursor = qBound<qint64>(0, g_itemCursor, static_cast<qint64>(g_itemIds.size()) - 1);
        return g_itemIds[static_cast<size_t>(cursor)] != kMaxItemIds;
    };
    while (ids.size() < count && !walkable()) {
        const int id = CreateItemIdLocked();
        if (id < 0)
            return ids;
        ids.push_back(id);
    }
    if (ids.size() == count)
        return ids;
    std::vector<int>& cache = g_itemIds;
    const size_t cursor = static_cast<size_t>(qBound<qint64>(0, g_itemCursor, static_cast<qint64>(cache.size()) - 1));
    std::vector<int> fresh;
    fresh.reserve(count - ids.size());
    size_t at = cursor;
    long long next = static_cast<long long>(cache[cursor]) + 1;
    while (ids.size() + fresh.size() < count && next <= kMaxItemIds
           && cache.size() + fresh.size() < static_cast<size_t>(kMaxItemIds)) {
        while (at < cache.size() && cache[at] < next)
            ++at;
        if (at < cache.size() && cache[at] == next) {
            ++next;
            continue;
        }
        fresh.push_back(static_cast<int>(next++));
    }
    if (!fresh.empty()) {
        std::vector<int> merged;
        merged.reserve(cache.size() + fresh.size());
        std::merge(cache.begin(), cache.end(), fresh.begin(), fresh.end(), std::back_inserter(merged));
        cache.swap(merged);
        g_itemCursor = static_cast<int>(std::lower_bound(cache.begin(), cache.end(), fresh.back()) - cache.begin());
        ids.insert(ids.end(), fresh.begin(), fresh.end());
    }
    // Past the top id the allocation starts again from the lowest ids.
    while (ids.size() < count) {
        const int id = CreateItemIdLocked();
        if (id < 0)
            break;
        ids.push_back(id);
    }
    return ids;
}

} // namespace

int DB_GetSongsWithoutLength(std::vector<std::pair<int, QString>>& out)
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(g_db,
                                "select MusicId, MusicPath from MusicInfo where TimeRecorded is null or "
                                "TimeRecorded = '' order by MusicId",
                                -1, &stmt, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        out.emplace_back(sqlite3_column_int(stmt, 0), ColumnString(stmt, 1));
        rc = SQLITE_OK;
    }
    rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    if (rc != SQLITE_OK)
        qCritical("DB_GetSongsWithoutLength, Err: %s", sqlite3_errmsg(g_db));
    sqlite3_finalize(stmt);
    return rc;
}

int DB_SetSongLengths(const std::vector<std::pair<int, QString>>& lengths)
{
    if (lengths.empty())
        return SQLITE_OK;
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    std::vector<QByteArray> texts;
    texts.reserve(lengths.size());
    for (const auto& length : lengths)
        texts.push_back(length.second.toUtf8());
    return InSavepointLocked("SetSongLengths", [&] {
        return StepEachLocked("update MusicInfo set TimeRecorded = ? where MusicId = ?", lengths.size(),
                              [&](sqlite3_stmt* stmt, size_t i) {
                                  BindBytes(stmt, 1, texts[i]);
                                  sqlite3_bind_int(stmt, 2, lengths[i].first);
                              });
    });
}

int DB_GetMusicPaths(std::vector<QString>& out)
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    return ReadTextsLocked("select MusicPath from MusicInfo", out);
}

namespace {

// The keys `count` CreatePrimaryKey calls would give one after another, each
// taking its key before the next asks (`keys` ascending); fewer at `max`.
std::vector<int> NextPrimaryKeys(const std::vector<int>& keys, int start, int max, size_t count)
{
    std::set<int> taken(keys.begin(), keys.end());
    std::vector<int> out;
    // The key before the lowest gap: gaps only fill, so the walk never goes back.
    std::set<int>::iterator gap;
    bool walking = false;
    while (out.size() < count && static_cast<qint64>(taken.size()) < max) {
        int key;
        if (taken.empty()) {
            key = start;
        } else if (taken.size() == 1) {
            key = *taken.begin() + 1;
        } else if (*taken.begin() != start) {
            key = start;
        } else {
            if (!walking) {
                gap = taken.begin();
                walking = true;
            }
            for (auto next = std::next(gap); next != taken.end() && *next == *gap + 1; ++next)
                gap = next;
            key = *gap + 1;
        }
        taken.insert(key);
        out.push_back(key);
    }
    return out;
}

} // namespace

namespace {

// The list entries and covers waiting under the former MusicIds of `songs`
// (former, new) become the new songs': each keeps its key unless a row made
// since took it. g_dbLock held, inside the caller's savepoint; the ItemIds
// taken go into the cache. One look-up by index per song and per row, and
// one merge into the cache: thousands of songs back from their files took
// the window most of a minute when each row went into the cache on its own.
int LinkWaitingRowsLocked(const std::vector<std::pair<int, int>>& songs)
{
    struct Item {
        int id, listId, musicId;
    };
    struct Cover {
        int id, musicId;
        QByteArray path;
    };
    std::vector<Item> items;
    std::vector<Cover> covers;
    {
        sqlite3_stmt* itemsOf = nullptr;
        sqlite3_stmt* coversOf = nullptr;
        // No tables: a library never rebuilt keeps none.
        if (sqlite3_prepare_v2(g_db, "select ItemId, ListId from MusicItemUnlinked where MusicId = ? order by rowid",
                               -1, &itemsOf, nullptr)
                != SQLITE_OK
            || sqlite3_prepare_v2(g_db,
                                  "select CoverId, ImagePath from CoverInfoUnlinked where MusicId = ? order by rowid",
                                  -1, &coversOf, nullptr)
                   != SQLITE_OK) {
            sqlite3_finalize(itemsOf);
            sqlite3_finalize(coversOf);
            return SQLITE_OK;
        }
        std::unordered_set<int> formers;
        for (const auto& song : songs) {
            // Rows wait for one song: a second file taken for it finds none.
            if (!formers.insert(song.first).second)
                continue;
            sqlite3_bind_int(itemsOf, 1, song.first);
            while (sqlite3_step(itemsOf) == SQLITE_ROW)
                items.push_back({sqlite3_column_int(itemsOf, 0), sqlite3_column_int(itemsOf, 1), song.second});
            sqlite3_reset(itemsOf);
            sqlite3_bind_int(coversOf, 1, song.first);
            while (sqlite3_step(coversOf) == SQLITE_ROW)
                covers.push_back({sqlite3_column_int(coversOf, 0), song.second, ColumnBytes(coversOf, 1)});
            sqlite3_reset(coversOf);
        }
        sqlite3_finalize(itemsOf);
        sqlite3_finalize(coversOf);
    }

    if (!items.empty() && g_itemIds.empty())
        LoadItemIdsLocked();
    std::vector<int> kept;
    std::vector<Item*> renamed;
    {
        std::unordered_set<int> claimed;
        for (Item& item : items) {
            if (item.id <= 0 || std::binary_search(g_itemIds.begin(), g_itemIds.end(), item.id)
                || !claimed.insert(item.id).second)
                renamed.push_back(&item);
            else
                kept.push_back(item.id);
        }
    }
    std::sort(kept.begin(), kept.end());
    const auto middle = g_itemIds.insert(g_itemIds.end(), kept.begin(), kept.end());
    std::inplace_merge(g_itemIds.begin(), middle, g_itemIds.end());
    for (Item* item : renamed) {
        item->id = CreateItemIdLocked();
        if (item->id <= 0)
            return SQLITE_FULL;
    }

    std::vector<Cover*> newKeys;
    {
        std::unordered_set<int> claimed;
        sqlite3_stmt* exists = nullptr;
        int rc = sqlite3_prepare_v2(g_db, "select 1 from CoverInfo where CoverId = ?", -1, &exists, nullptr);
        for (Cover& cover : covers) {
            if (rc != SQLITE_OK)
                break;
            sqlite3_bind_int(exists, 1, cover.id);
            const bool taken = sqlite3_step(exists) == SQLITE_ROW;
            sqlite3_reset(exists);
            if (cover.id <= 0 || taken || !claimed.insert(cover.id).second)
                newKeys.push_back(&cover);
        }
        sqlite3_finalize(exists);
        if (rc != SQLITE_OK)
            return rc;
        if (!newKeys.empty()) {
            std::vector<int> keys;
            rc = ReadKeysLocked("select CoverId from CoverInfo order by CoverId", keys);
            if (rc != SQLITE_OK)
                return rc;
            keys.insert(keys.end(), claimed.begin(), claimed.end());
            std::sort(keys.begin(), keys.end());
            const std::vector<int> next = NextPrimaryKeys(keys, 1, kMaxCoverInfoRows, newKeys.size());
            if (next.size() < newKeys.size())
                return SQLITE_FULL;
            for (size_t i = 0; i < newKeys.size(); ++i)
                newKeys[i]->id = next[i];
        }
    }

    int rc = StepEachLocked("INSERT INTO MusicItem (ItemId, ListId, MusicId) VALUES (?, ?, ?)", items.size(),
                            [&](sqlite3_stmt* stmt, size_t i) {
                                sqlite3_bind_int(stmt, 1, items[i].id);
                                sqlite3_bind_int(stmt, 2, items[i].listId);
                                sqlite3_bind_int(stmt, 3, items[i].musicId);
                            });
    if (rc == SQLITE_OK)
        rc = StepEachLocked("INSERT INTO CoverInfo (CoverId, MusicId, ImagePath) VALUES (?, ?, ?)", covers.size(),
                            [&](sqlite3_stmt* stmt, size_t i) {
                                sqlite3_bind_int(stmt, 1, covers[i].id);
                                sqlite3_bind_int(stmt, 2, covers[i].musicId);
                                BindBytes(stmt, 3, covers[i].path);
                            });
    std::vector<int> formers;
    formers.reserve(songs.size());
    for (const auto& song : songs)
        formers.push_back(song.first);
    for (const char* sql :
         {"delete from MusicItemUnlinked where MusicId = ?", "delete from CoverInfoUnlinked where MusicId = ?"}) {
        if (rc == SQLITE_OK)
            rc = StepForEachLocked(sql, formers);
    }
    return rc;
}

} // namespace

int DB_AddSongs(std::vector<MusicInfoRow>& rows, const std::vector<int>& formerIds)
{
    if (rows.empty())
        return 0;
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return -1;
    std::vector<int> keys;
    if (ReadKeysLocked("select MusicId from MusicInfo order by MusicId", keys) != SQLITE_OK) {
        NoteErrorLocked(SQLITE_ERROR);
        return -1;
    }
    const size_t room = keys.size() < static_cast<size_t>(kMaxMusicInfoRows) ? kMaxMusicInfoRows - keys.size() : 0;
    const size_t count = std::min(rows.size(), room);
    // A song whose entries and covers wait under its former MusicId takes
    // that id back while it is free; the others get the keys CreatePrimaryKey
    // would give one after another.
    std::vector<int> ids(count, 0);
    std::vector<int> taken = keys;
    bool linking = false;
    {
        std::unordered_set<int> back;
        for (size_t i = 0; i < count && i < formerIds.size(); ++i) {
            const int former = formerIds[i];
            if (former <= 0)
                continue;
            linking = true;
            if (std::binary_search(keys.begin(), keys.end(), former) || !back.insert(former).second)
                continue;
            taken.push_back(former);
            ids[i] = former;
        }
        const auto formers = taken.begin() + static_cast<std::ptrdiff_t>(keys.size());
        std::sort(formers, taken.end());
        std::inplace_merge(taken.begin(), formers, taken.end());
    }
    const std::vector<int> fresh =
        NextPrimaryKeys(taken, 1, kMaxMusicInfoRows, static_cast<size_t>(std::count(ids.begin(), ids.end(), 0)));
    auto next = fresh.begin();
    for (int& id : ids) {
        if (id == 0 && next != fresh.end())
            id = *next++;
    }
    const size_t added = static_cast<size_t>(std::count_if(ids.begin(), ids.end(), [](int id) { return id > 0; }));
    std::vector<MusicRowText> texts;
    texts.reserve(added);
    for (size_t i = 0; i < added; ++i) {
        rows[i].MusicId = ids[i];
        texts.emplace_back(rows[i]);
    }
    std::vector<int> itemsBefore;
    const int cursorBefore = g_itemCursor;
    if (linking)
        itemsBefore = g_itemIds;
    const int rc = InSavepointLocked("AddSongs", [&] {
        int r = StepEachLocked(kInsertMusicInfo, added, [&](sqlite3_stmt* stmt, size_t i) {
            sqlite3_bind_int(stmt, 1, rows[i].MusicId);
            BindMusicColumns(stmt, 2, rows[i], texts[i]);
        });
        std::vector<std::pair<int, int>> back;
        for (size_t i = 0; i < added && i < formerIds.size(); ++i) {
            if (formerIds[i] > 0)
                back.emplace_back(formerIds[i], rows[i].MusicId);
        }
        if (r == SQLITE_OK && !back.empty())
            r = LinkWaitingRowsLocked(back);
        return r;
    });
    if (rc != SQLITE_OK) {
        if (linking) {
            g_itemIds = itemsBefore;
            g_itemCursor = cursorBefore;
        }
        for (size_t i = 0; i < added; ++i)
            rows[i].MusicId = 0;
        return -1;
    }
    g_songsFromFiles += static_cast<int>(added);
    return static_cast<int>(added);
}

int DB_GetUnlinkedCovers(std::vector<std::pair<int, QString>>& out)
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return kNotOpen;
    sqlite3_stmt* stmt = nullptr;
    // No table: the library was never rebuilt.
    if (sqlite3_prepare_v2(g_db, "select MusicId, ImagePath from CoverInfoUnlinked order by MusicId, rowid", -1, &stmt,
                           nullptr)
        != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return SQLITE_OK;
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        out.emplace_back(sqlite3_column_int(stmt, 0), ColumnString(stmt, 1));
    rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    sqlite3_finalize(stmt);
    return rc;
}

int DB_CreateItemId()
{
    QMutexLocker guard(&g_dbLock);
    if (!g_db)
        return -1;
    return CreateItemIdLocked();
}

int DB_SetMusicItems(int listId, const std::vector<int>& musicIds, std::vector<int>& itemIds)
{
    itemIds.clear();
    if (musicIds.empty())
        return SQLITE_OK;
    QMutexLocker guard(&g_dbLock);
    if (!g_db) {
        g_lastError = QCoreApplication::translate("QObject", "the library is not open");
        return kNotOpen;
    }
    std::vector<int> ids = CreateItemIdsLocked(musicIds.size());
    if (ids.size() < musicIds.size()) {
        ForgetItemIdsLocked(ids);
        g_lastError = QStringLiteral("no free ItemId");
        qCritical("DB_SetMusicItems, Err: %s", "no free ItemId");
        return SQLITE_FULL;
    }
    const int rc = InSavepointLocked("SetMusicItems", [&] {
        return StepEachLocked("INSERT INTO MusicItem (ItemId, ListId, MusicId) VALUES (?, ?, ?)", ids.size(),
                              [&](sqlite3_stmt* stmt, size_t i) {
                                  sqlite3_bind_int(stmt, 1, ids[i]);
                                  sqlite3_bind_int(stmt, 2, listId);
                                  sqlite3_bind_int(stmt, 3, musicIds[i]);
                              });
    });
    if (rc != SQLITE_OK) {
        ForgetItemIdsLocked(ids);
        return rc;
    }
    itemIds = std::move(ids);
    return SQLITE_OK;
}

void DB_GetNewListName(QString& out)
{
    const QString base = QCoreApplication::translate("QObject", "PlayList");
    QMutexLocker guard(&g_dbLock);
    for (int n = 1;; ++n) {
        const QString candidate = base + QLatin1Char(' ') + QString::number(n);
        bool taken = false;
        if (g_db) {
            // The candidate is bound: a translation holding a quote is safe.
            sqlite3_stmt* stmt = nullptr;
            if (sqlite3_prepare_v2(g_db, "SELECT 1 FROM musiclist WHERE listname = ?", -1, &stmt, nullptr)
                == SQLITE_OK) {
                const QByteArray utf8 = candidate.toUtf8();
                BindBytes(stmt, 1, utf8);
                taken = sqlite3_step(stmt) == SQLITE_ROW;
            }
            sqlite3_finalize(stmt);
        }
        if (!taken) {
            out = candidate;
            return;
        }
    }
}
