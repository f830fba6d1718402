// A damaged library rebuilt from the rows that still read, the schema every
// library file gets, and the notes of songs the library could not take.
#include "MusicDatabaseRepair.h"

#include "MusicDatabase.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QUrl>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace music_db {

const char* const kCreatePendingRemoval =
    "create table if not exists PendingRemoval (Id integer primary key autoincrement, Kind int, Path varchar(512))";

namespace {

const char* const kCreateMusicList = "create table MusicList (ListId int primary key, ListName varchar(512))";
const char* const kCreateMusicItem = "create table MusicItem (ItemId int primary key, ListId int, MusicId int )";
const char* const kCreateMusicInfo =
    "create table MusicInfo (MusicId int primary key, MusicPath varchar(512), MusicName varchar(128), "
    "TimeRecorded varchar(10), Artist varchar(128), Album varchar(128), Genre varchar(128), DateAdded varchar(20), "
    "ImageId int, AlbumTUI varchar(128),AlbumMusicList varchar(512),Year varchar(32) )";
const char* const kCreateCoverInfo =
    "create table CoverInfo (CoverId int primary key,MusicId int, ImagePath varchar(512))";
// The default lists of a new library (1 to 4), or, for a rebuilt one whose
// lists partly read, the fixed lists 1 to 3 it lacks, placed before the
// others. The translated names are bound, never pasted into the statement,
// so any character is safe.
void InsertDefaultLists(sqlite3* db, bool onlyMissingFixed)
{
    static const char* const kNames[] = {
        QT_TRANSLATE_NOOP("QObject", "All Recordings"),
        QT_TRANSLATE_NOOP("QObject", "New Recordings"),
        QT_TRANSLATE_NOOP("QObject", "Recently Played"),
        QT_TRANSLATE_NOOP("QObject", "PlayList 1"),
    };
    const char* const sql = onlyMissingFixed ? "insert into MusicList (rowid, ListId, ListName) select ?1 - 4, ?1, ?2 "
                                               "where not exists (select 1 from MusicList where ListId = ?1)"
                                             : "insert into MusicList values(?1, ?2)";
    for (int i = 0; i < (onlyMissingFixed ? 3 : 4); ++i) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            continue;
        }
        const QByteArray name = QCoreApplication::translate("QObject", kNames[i]).toUtf8();
        sqlite3_bind_int(stmt, 1, i + 1);
        sqlite3_bind_text(stmt, 2, name.constData(), name.size(), SQLITE_STATIC);
        sqlite3_step(stmt);
        sqlite3_finalize(stmt);
    }
}

// ---------------------------------------------------------------- salvage

// A table of the library and its columns, the key first. Rows keep their
// rowids, so lists and songs come back in the order they had.
struct SalvagedTable {
    const char* name;
    QStringList columns;
    bool ownRowid;   // false: the key is the rowid
};

const SalvagedTable kSalvaged[] = {
    {"MusicList", {"ListId", "ListName"}, true},
    {"MusicItem", {"ItemId", "ListId", "MusicId"}, true},
    {"MusicInfo",
     {"MusicId", "MusicPath", "MusicName", "TimeRecorded", "Artist", "Album", "Genre", "DateAdded", "ImageId",
      "AlbumTUI", "AlbumMusicList", "Year"},
     true},
    {"CoverInfo", {"CoverId", "MusicId", "ImagePath"}, true},
    {"PendingRemoval", {"Id", "Kind", "Path"}, false},
};
// The column stored with zero bytes after its text (a record field's width).
const char* const kPaddedColumn = "Year";

// The columns of `table` that the file's schema has (none when the table or
// the schema is gone); a file made by an older program may lack some.
QStringList ColumnsIn(sqlite3* db, const SalvagedTable& table)
{
    QStringList present;
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = QByteArray("pragma table_info(") + table.name + ")";
    QStringList found;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW)
            found << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
    }
    sqlite3_finalize(stmt);
    for (const QString& column : table.columns) {
        if (found.contains(column, Qt::CaseInsensitive))
            present << column;
    }
    // Without its key no row can be told from another.
    if (present.isEmpty() || present.first() != table.columns.first())
        return {};
    return present;
}

// Whether a row read is one the program wrote: its key is there, and no text
// holds a zero byte (the padded column aside), which is what the end of a row
// cut short by a file's end, read as zeros, looks like.
bool Whole(sqlite3_stmt* read, int columns, int padded)
{
    if (sqlite3_column_type(read, 1) == SQLITE_NULL)
        return false;
    for (int i = 0; i < columns; ++i) {
        if (i == padded || sqlite3_column_type(read, i + 1) != SQLITE_TEXT)
            continue;
        const void* text = sqlite3_column_blob(read, i + 1);
        if (text && std::memchr(text, 0, static_cast<size_t>(sqlite3_column_bytes(read, i + 1))))
            return false;
    }
    return true;
}

// Whether the table's b-tree can be entered at the first row from `rowid` on
// without an error (a row or the end: both read).
bool Reads(sqlite3_stmt* probe, qint64 rowid)
{
    sqlite3_bind_int64(probe, 1, rowid);
    const int rc = sqlite3_step(probe);
    sqlite3_reset(probe);
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

// The first rowid above `failed` from which the table reads again, found by
// steps that double and then halve (the damaged pages hold a run of rowids:
// entering below its end fails, above it works); false when nothing above
// `failed` reads.
bool NextReadable(sqlite3_stmt* probe, qint64 failed, qint64* next)
{
    const qint64 top = std::numeric_limits<qint64>::max();
    qint64 bad = failed;
    qint64 step = 1;
    qint64 good = 0;
    for (;;) {
        if (bad > top - step)
            return false;
        const qint64 at = bad + step;
        if (Reads(probe, at)) {
            good = at;
            break;
        }
        bad = at;
        if (step < (top >> 1))
            step *= 2;
    }
    while (good - bad > 1) {
        const qint64 mid = bad + (good - bad) / 2;
        (Reads(probe, mid) ? good : bad) = mid;
    }
    *next = good;
    return true;
}

// Copies every row of `table` that still reads from `from` into `to`, in
// rowid order, stepping over damaged stretches; the number copied.
int SalvageTable(sqlite3* from, sqlite3* to, const SalvagedTable& table)
{
    const QStringList columns = ColumnsIn(from, table);
    if (columns.isEmpty())
        return 0;   // the table never existed, or its schema did not survive
    const int count = columns.size();
    const int padded = columns.indexOf(QLatin1String(kPaddedColumn));
    const QByteArray list = columns.join(QStringLiteral(", ")).toUtf8();
    const QByteArray select =
        QByteArray("select rowid, ") + list + " from " + table.name + " where rowid >= ? order by rowid";
    const QByteArray probeSql = QByteArray("select rowid from ") + table.name + " where rowid >= ? order by rowid limit 1";
    const int first = table.ownRowid ? 0 : 1;   // the parameter of the first value read
    const QByteArray insert = QByteArray("insert or ignore into ") + table.name + " ("
                              + (table.ownRowid ? "rowid, " : "") + list + ") values ("
                              + QByteArray("?, ").repeated(count - first) + "?)";
    sqlite3_stmt* read = nullptr;
    sqlite3_stmt* probe = nullptr;
    sqlite3_stmt* write = nullptr;
    int copied = 0;
    if (sqlite3_prepare_v2(from, select.constData(), -1, &read, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(from, probeSql.constData(), -1, &probe, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(to, insert.constData(), -1, &write, nullptr) != SQLITE_OK) {
        qWarning().noquote() << "Library repair:" << table.name << "cannot be read:" << sqlite3_errmsg(from);
        sqlite3_finalize(read);
        sqlite3_finalize(probe);
        sqlite3_finalize(write);
        return 0;
    }
    qint64 start = std::numeric_limits<qint64>::min();
    for (;;) {
        sqlite3_bind_int64(read, 1, start);
        int rc;
        bool any = false;
        qint64 last = start;
        while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
            // A page cut short reads as zeros: cells with rowid 0 and no
            // values, out of order, or rows whose end is zeros.
            const qint64 rowid = sqlite3_column_int64(read, 0);
            if ((any && rowid <= last) || !Whole(read, count, padded))
                continue;
            any = true;
            last = rowid;
            for (int i = first; i <= count; ++i)
                sqlite3_bind_value(write, i + 1 - first, sqlite3_column_value(read, i));
            if (sqlite3_step(write) == SQLITE_DONE)
                ++copied;
            sqlite3_reset(write);
            sqlite3_clear_bindings(write);
        }
        sqlite3_reset(read);
        if (rc == SQLITE_DONE)
            break;
        // Damaged pages: on after them, from the first rowid that reads.
        const qint64 failed = any ? last : start;
        qint64 next = 0;
        if (!NextReadable(probe, failed, &next) || next <= start)
            break;
        qWarning().noquote() << "Library repair:" << table.name << "rows after rowid" << failed << "up to" << next
                             << "do not read";
        start = next;
    }
    sqlite3_finalize(read);
    sqlite3_finalize(probe);
    sqlite3_finalize(write);
    return copied;
}

// ---------------------------------------------------------------- files

bool SameBytes(const QString& a, const QString& b)
{
    QFile fa(a);
    QFile fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash ha(QCryptographicHash::Sha1);
    QCryptographicHash hb(QCryptographicHash::Sha1);
    return ha.addData(&fa) && hb.addData(&fb) && ha.result() == hb.result();
}

// A copy of `path` kept at an earlier start that still has its bytes.
QString EarlierCopy(const QString& path)
{
    const QFileInfo file(path);
    const QStringList copies = file.dir().entryList({file.fileName() + QStringLiteral(".damaged-*")},
                                                    QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : copies) {
        if (name.endsWith(QLatin1String("-journal")) || name.endsWith(QLatin1String("-wal"))
            || name.endsWith(QLatin1String("-shm")))
            continue;
        const QString copy = file.dir().filePath(name);
        if (SameBytes(path, copy))
            return copy;
    }
    return QString();
}

// A name beside `path` for the file as it was, not taken yet.
QString FreeCopyName(const QString& path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss"));
    for (int n = 0; n < 1000; ++n) {
        const QString name = path + QStringLiteral(".damaged-") + stamp + (n ? QStringLiteral("-%1").arg(n) : QString());
        if (!QFileInfo::exists(name))
            return name;
    }
    return QString();
}

bool RenameOver(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// The sidecar files SQLite keeps beside a library: a journal beside the new
// file would be taken for its own and "rolled back" into it.
const char* const kSidecars[] = {"-journal", "-wal", "-shm"};

} // namespace

bool CreateSchema(sqlite3* db, bool defaultLists)
{
    const bool fresh = sqlite3_exec(db, kCreateMusicList, nullptr, nullptr, nullptr) == SQLITE_OK;
    if (fresh && defaultLists)
        InsertDefaultLists(db, false);
    sqlite3_exec(db, kCreateMusicItem, nullptr, nullptr, nullptr);
    sqlite3_exec(db, kCreateMusicInfo, nullptr, nullptr, nullptr);
    sqlite3_exec(db, kCreateCoverInfo, nullptr, nullptr, nullptr);
    // The library page asks for each song's covers and lists by MusicId while
    // it loads; without an index every question scans the whole table, and a
    // start with 100,000 songs took minutes instead of a second. Indexes add
    // no table or column, so older files read as before.
    sqlite3_exec(db, "create index if not exists CoverInfo_MusicId on CoverInfo (MusicId)", nullptr, nullptr,
                 nullptr);
    sqlite3_exec(db, "create index if not exists MusicItem_MusicId on MusicItem (MusicId)", nullptr, nullptr,
                 nullptr);
    return fresh;
}

bool IsFileFault(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_PERM:
    case SQLITE_FORMAT:
        return true;
    default:
        return false;
    }
}

RepairResult RebuildLibrary(const QString& path)
{
    RepairResult result;
    const QFileInfo original(path);
    const bool folder = original.isDir();
    // The file as it was: a copy (made once), or, when it cannot be read or
    // is no file at all, the thing itself moved aside.
    QString source;
    if (!folder) {
        result.keptCopy = EarlierCopy(path);
        if (result.keptCopy.isEmpty()) {
            const QString copy = FreeCopyName(path);
            if (!copy.isEmpty() && QFile::copy(path, copy))
                result.keptCopy = copy;
        }
        source = result.keptCopy;
    }
    bool movedAside = false;
    if (result.keptCopy.isEmpty()) {
        QFile probe(path);
        if (!folder && probe.open(QIODevice::ReadOnly)) {
            // Readable but not copied (a read error, a full disk): the file
            // stays where it is.
            qCritical().noquote() << "Library repair: no copy of" << path << "could be made; left as it is";
            return result;
        }
        const QString aside = FreeCopyName(path);
        if (aside.isEmpty() || !RenameOver(path, aside)) {
            qCritical().noquote() << "Library repair: could not move" << path << "aside:" << std::strerror(errno);
            return result;
        }
        result.keptCopy = aside;
        movedAside = true;
    }

    // The fresh library, built beside the file and put in its place in one step.
    const QString fresh = path + QStringLiteral(".rebuilding");
    QFile::remove(fresh);
    for (const char* sidecar : kSidecars)
        QFile::remove(fresh + QLatin1String(sidecar));
    sqlite3* to = nullptr;
    if (sqlite3_open(QFile::encodeName(fresh).constData(), &to) != SQLITE_OK) {
        qCritical().noquote() << "Library repair: cannot make" << fresh << sqlite3_errmsg(to);
        sqlite3_close(to);
        if (movedAside)
            RenameOver(result.keptCopy, path);
        result.keptCopy = movedAside ? QString() : result.keptCopy;
        return result;
    }
    sqlite3_exec(to, "begin", nullptr, nullptr, nullptr);
    CreateSchema(to, false);
    sqlite3_exec(to, kCreatePendingRemoval, nullptr, nullptr, nullptr);
    // The kept copy is only read: immutable, so SQLite neither locks it nor
    // writes a journal for it.
    sqlite3* from = nullptr;
    const QByteArray uri = QUrl::fromLocalFile(source.isEmpty() ? result.keptCopy : source).toEncoded()
                           + "?immutable=1";
    // A file cut short claims more pages than it has, which SQLite refuses
    // unless the schema may be written; the pages that are there still read.
    if (sqlite3_open_v2(uri.constData(), &from, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK
        && sqlite3_exec(from, "pragma writable_schema = on", nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_exec(from, "select count(*) from sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK) {
        int* counts[] = {&result.lists, &result.items, &result.songs, &result.covers, nullptr};
        int k = 0;
        for (const SalvagedTable& table : kSalvaged) {
            const int copied = SalvageTable(from, to, table);
            if (counts[k])
                *counts[k] = copied;
            ++k;
        }
        // Entries and covers of songs that did not read name nobody now; a
        // song added later under a free MusicId would take them over.
        sqlite3_exec(to, "delete from MusicItem where MusicId not in (select MusicId from MusicInfo)", nullptr,
                     nullptr, nullptr);
        result.items -= sqlite3_changes(to);
        sqlite3_exec(to, "delete from CoverInfo where MusicId not in (select MusicId from MusicInfo)", nullptr,
                     nullptr, nullptr);
        result.covers -= sqlite3_changes(to);
    } else {
        qWarning().noquote() << "Library repair: nothing of" << path << "reads:" << sqlite3_errmsg(from);
    }
    sqlite3_close(from);
    InsertDefaultLists(to, result.lists > 0);
    const int committed = sqlite3_exec(to, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(to);
    if (committed != SQLITE_OK) {
        qCritical().noquote() << "Library repair: the fresh library could not be written";
        QFile::remove(fresh);
        if (movedAside) {
            RenameOver(result.keptCopy, path);
            result.keptCopy.clear();
        }
        return result;
    }

    // The old file's journal must not meet the new file: kept beside the copy.
    for (const char* sidecar : kSidecars) {
        const QString old = path + QLatin1String(sidecar);
        if (QFileInfo::exists(old) && !RenameOver(old, result.keptCopy + QLatin1String(sidecar)))
            QFile::remove(old);
    }
    if (!RenameOver(fresh, path)) {
        qCritical().noquote() << "Library repair: could not put the fresh library in place:" << std::strerror(errno);
        QFile::remove(fresh);
        if (movedAside) {
            RenameOver(result.keptCopy, path);
            result.keptCopy.clear();
        }
        return result;
    }
    result.rebuilt = true;
    qWarning().noquote() << "Library repair:" << path << "rebuilt;" << result.songs << "songs," << result.lists
                         << "lists," << result.items << "list entries," << result.covers
                         << "covers saved; the file as it was is" << result.keptCopy;
    return result;
}

// ---------------------------------------------------------------- notes

namespace {
// Guards the notes file and its path (any thread may note a song).
QMutex g_notesLock;
QString g_notesPath;

const QChar kSongMark = QLatin1Char('S');
const QChar kFolderMark = QLatin1Char('F');

QString NotesPathLocked()
{
    return g_notesPath.isEmpty() ? QString() : g_notesPath + QStringLiteral(".outside");
}

void AppendNoteLocked(QChar mark, const QString& path)
{
    const QString notes = NotesPathLocked();
    if (notes.isEmpty() || path.isEmpty())
        return;
    QFile file(notes);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qWarning().noquote() << "Library notes: cannot write" << notes << file.errorString();
        return;
    }
    // Paths hold no line break the program makes; one would end the entry.
    QString line = path;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    file.write(QString(mark + QLatin1Char('\t') + line + QLatin1Char('\n')).toUtf8());
}
} // namespace

void SetNotesLibraryPath(const QString& library)
{
    QMutexLocker guard(&g_notesLock);
    g_notesPath = library;
}

} // namespace music_db

void DB_NoteSongOutside(const QString& path)
{
    QMutexLocker guard(&music_db::g_notesLock);
    music_db::AppendNoteLocked(music_db::kSongMark, path);
}

void DB_NoteFolderToReconcile(const QString& folder)
{
    QMutexLocker guard(&music_db::g_notesLock);
    music_db::AppendNoteLocked(music_db::kFolderMark, folder);
}

namespace music_db {
namespace {
// The notes file's lines (entries), empty when there is none.
QList<QByteArray> NoteLinesLocked()
{
    QFile file(NotesPathLocked());
    if (NotesPathLocked().isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
} // namespace
} // namespace music_db

OutsideSongNotes DB_ReadOutsideNotes()
{
    OutsideSongNotes notes;
    QMutexLocker guard(&music_db::g_notesLock);
    const QList<QByteArray> lines = music_db::NoteLinesLocked();
    notes.entries = lines.size();
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw);
        if (line.size() < 3 || line.at(1) != QLatin1Char('\t'))
            continue;
        QStringList& list = line.at(0) == music_db::kFolderMark ? notes.folders : notes.songs;
        const QString entry = line.mid(2);
        if (!list.contains(entry))
            list.append(entry);
    }
    return notes;
}

void DB_ForgetOutsideNotes(int entries)
{
    if (entries <= 0)
        return;
    QMutexLocker guard(&music_db::g_notesLock);
    const QString path = music_db::NotesPathLocked();
    const QList<QByteArray> lines = music_db::NoteLinesLocked();
    if (entries >= lines.size()) {
        if (!QFile::remove(path))
            qWarning().noquote() << "Library notes: cannot remove" << path;
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qWarning().noquote() << "Library notes: cannot rewrite" << path << file.errorString();
        return;
    }
    for (int i = entries; i < lines.size(); ++i)
        file.write(lines.at(i) + '\n');
}
