// A damaged library rebuilt from every row its pages still hold, the schema
// every library file gets, and the notes of songs the library could not take.
#include "MusicDatabaseRepair.h"

#include "MusicDatabase.h"
#include "SqlitePageReader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStringList>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace music_db {

const char* const kCreatePendingRemoval =
    "create table if not exists PendingRemoval (Id integer primary key autoincrement, Kind int, Path varchar(512))";
const char* const kCreateItemsUnlinked =
    "create table if not exists MusicItemUnlinked (ItemId int, ListId int, MusicId int)";
const char* const kCreateCoversUnlinked =
    "create table if not exists CoverInfoUnlinked (CoverId int, MusicId int, ImagePath varchar(512))";

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

// A table of the library as the program makes it. Rows keep their rowids, so
// lists and songs come back in the order they had, and their keys, so list
// entries and covers stay with their songs.
struct SalvagedTable {
    const char* name;
    const char* create;
    // Known by its b-tree only: a page of it that no b-tree reaches looks
    // like its twin's, whose rows it holds, and goes there.
    bool twin = false;
};

const SalvagedTable kSalvaged[] = {
    {"MusicList", kCreateMusicList},
    {"MusicItem", kCreateMusicItem},
    {"MusicInfo", kCreateMusicInfo},
    {"CoverInfo", kCreateCoverInfo},
    {"PendingRemoval", kCreatePendingRemoval},
    {"MusicItemUnlinked", kCreateItemsUnlinked, true},
    {"CoverInfoUnlinked", kCreateCoversUnlinked, true},
};

struct Column {
    QString name;
    enum Affinity { Integer, Text, Other } affinity = Other;
    bool rowid = false;   // INTEGER PRIMARY KEY: the record holds NULL, the rowid is its value
};

// The columns a "create table" statement makes, in record order, as SQLite
// itself reads the statement (in a scratch database of its own). Empty for
// anything else, or for a table without rowids.
std::vector<Column> ColumnsOf(const QByteArray& sql)
{
    static const QRegularExpression form(QStringLiteral(R"(^\s*create\s+table\s+(if\s+not\s+exists\s+)?)"
                                                        R"(("[^"]*"|\[[^\]]*\]|`[^`]*`|'[^']*'|\w+)\s*\()"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString text = QString::fromUtf8(sql);
    if (!form.match(text).hasMatch() || text.contains(QLatin1String("without rowid"), Qt::CaseInsensitive))
        return {};
    std::vector<Column> columns;
    sqlite3* scratch = nullptr;
    if (sqlite3_open(":memory:", &scratch) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        bool made = sqlite3_prepare_v2(scratch, sql.constData(), sql.size(), &stmt, &tail) == SQLITE_OK
                    && sqlite3_step(stmt) == SQLITE_DONE;
        sqlite3_finalize(stmt);
        // One statement only.
        for (const char* c = tail; made && c && *c; ++c)
            made = *c == ';' || std::isspace(static_cast<unsigned char>(*c));
        stmt = nullptr;
        if (made && sqlite3_prepare_v2(scratch,
                                       "select p.name, p.type, p.pk, (select count(*) from pragma_table_info(m.name) "
                                       "where pk > 0) from sqlite_master m, pragma_table_info(m.name) p "
                                       "where m.type = 'table' and m.name not like 'sqlite\\_%' escape '\\' order by p.cid",
                                       -1, &stmt, nullptr)
                        == SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                Column column;
                column.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
                const QString type =
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1))).toUpper();
                // SQLite's rules for a column's affinity, by its declared type.
                if (type.contains(QLatin1String("INT")))
                    column.affinity = Column::Integer;
                else if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB"))
                         || type.contains(QLatin1String("TEXT")))
                    column.affinity = Column::Text;
                column.rowid = type == QLatin1String("INTEGER") && sqlite3_column_int(stmt, 2) == 1
                               && sqlite3_column_int(stmt, 3) == 1;
                columns.push_back(column);
            }
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(scratch);
    return columns;
}

// One table of the damaged file on its way into the fresh library.
struct TableCopy {
    const SalvagedTable* table = nullptr;
    std::vector<Column> file;   // the file's columns, in record order
    int root = 0;               // its b-tree's first page; 0 when not known
    // For each of the file's columns, the insert's parameter that takes it
    // (0: a column the program does not keep); the one taking the rowid.
    std::vector<int> parameter;
    int rowidParameter = 0;
    sqlite3_stmt* insert = nullptr;
    int copied = 0;
};

// Prepares the insert of `copy`'s rows into `to`: the program's columns the
// file has, the key among them. False when the file lacks the key, without
// which no row can be told from another.
bool PrepareCopy(sqlite3* to, TableCopy& copy)
{
    const std::vector<Column> fresh = ColumnsOf(copy.table->create);
    if (fresh.empty() || copy.file.empty())
        return false;
    auto inFile = [&](const QString& name) {
        for (size_t i = 0; i < copy.file.size(); ++i) {
            if (copy.file[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return static_cast<int>(i);
        }
        return -1;
    };
    if (inFile(fresh.front().name) < 0)
        return false;
    copy.parameter.assign(copy.file.size(), 0);
    QByteArray names;
    int parameters = 0;
    for (const Column& column : fresh) {
        const int at = inFile(column.name);
        if (at < 0 && !column.rowid)
            continue;
        names += (parameters ? ", " : "") + column.name.toUtf8();
        ++parameters;
        if (column.rowid)
            copy.rowidParameter = parameters;
        else
            copy.parameter[static_cast<size_t>(at)] = parameters;
    }
    if (!copy.rowidParameter) {
        names = "rowid, " + names;
        for (int& parameter : copy.parameter)
            parameter += parameter ? 1 : 0;
        copy.rowidParameter = 1;
        ++parameters;
    }
    const QByteArray sql = QByteArray("insert or ignore into ") + copy.table->name + " (" + names + ") values ("
                           + QByteArray("?, ").repeated(parameters - 1) + "?)";
    return sqlite3_prepare_v2(to, sql.constData(), -1, &copy.insert, nullptr) == SQLITE_OK;
}

// Whether a row has `copy`'s shape: as many values as the file's table has
// columns (or fewer, for a row its own b-tree holds: one written before a
// column was added), each of the kind its column holds, and its key.
bool FitsShape(const SqlitePageReader::Row& row, const TableCopy& copy, bool fewerValues = false)
{
    if (row.fields.size() > copy.file.size() || (!fewerValues && row.fields.size() != copy.file.size()))
        return false;
    for (size_t i = 0; i < row.fields.size(); ++i) {
        const int type = row.fields[i].type;
        const Column& column = copy.file[i];
        if (column.rowid) {
            if (type != SqlitePageReader::Null)
                return false;
        } else if (i == 0 && type == SqlitePageReader::Null) {
            return false;
        } else if (column.affinity == Column::Integer && type != SqlitePageReader::Integer
                   && type != SqlitePageReader::Null) {
            return false;
        } else if (column.affinity == Column::Text && type != SqlitePageReader::Text
                   && type != SqlitePageReader::Null) {
            return false;
        }
    }
    return true;
}

// Inserts one row as the file holds it (values it lacks at its end are
// NULL, as SQLite reads such a row). Texts keep every byte, the zeros after
// the year's text too.
void CopyRow(TableCopy& copy, const SqlitePageReader::Row& row, int encoding)
{
    if (row.fields.size() > copy.file.size())
        return;
    sqlite3_stmt* insert = copy.insert;
    sqlite3_bind_int64(insert, copy.rowidParameter, row.rowid);
    for (size_t i = 0; i < row.fields.size(); ++i) {
        const int parameter = copy.parameter[i];
        if (!parameter)
            continue;
        const SqlitePageReader::Field& field = row.fields[i];
        switch (field.type) {
        case SqlitePageReader::Integer:
            sqlite3_bind_int64(insert, parameter, field.integer);
            break;
        case SqlitePageReader::Real:
            sqlite3_bind_double(insert, parameter, field.real);
            break;
        case SqlitePageReader::Text:
            sqlite3_bind_text64(insert, parameter, field.data, static_cast<sqlite3_uint64>(field.size), SQLITE_STATIC,
                                static_cast<unsigned char>(encoding));
            break;
        case SqlitePageReader::Blob:
            sqlite3_bind_blob(insert, parameter, field.data, field.size, SQLITE_STATIC);
            break;
        default:
            sqlite3_bind_null(insert, parameter);
            break;
        }
    }
    if (sqlite3_step(insert) == SQLITE_DONE && sqlite3_changes(sqlite3_db_handle(insert)) > 0)
        ++copy.copied;
    sqlite3_reset(insert);
    sqlite3_clear_bindings(insert);
}

// The library's tables as the file's schema (sqlite_master, page 1 on) says,
// with their b-trees' first pages. A table the schema does not name is taken
// to be as the program makes it, its pages known by their rows' shape alone,
// unless the whole schema read (then the file never had it). `others` gets
// the first pages of every other b-tree the schema names.
std::vector<TableCopy> TablesOf(const SqlitePageReader& reader, std::vector<bool>& seen, std::vector<int>& others)
{
    bool whole = true;
    struct Entry {
        int root;
        QByteArray sql;
    };
    QMap<QString, Entry> schema;
    for (int page : reader.LeavesOf(1, seen, &whole)) {
        int bad = 0;
        for (const SqlitePageReader::Row& row : reader.LeafRows(page, &bad)) {
            const auto& f = row.fields;
            if (f.size() != 5 || f[0].type != SqlitePageReader::Text || f[1].type != SqlitePageReader::Text
                || f[3].type != SqlitePageReader::Integer)
                continue;
            const int root = static_cast<int>(qBound<int64_t>(0, f[3].integer, reader.PageCount()));
            const QByteArray type(f[0].data, f[0].size);
            const QString name = QString::fromUtf8(f[1].data, f[1].size).toLower();
            if (type == "table" && f[4].type == SqlitePageReader::Text && !schema.contains(name))
                schema.insert(name, {root, QByteArray(f[4].data, f[4].size)});
            else if (root)
                others.push_back(root);
        }
        whole = whole && bad == 0;
    }
    std::vector<TableCopy> tables;
    for (const SalvagedTable& table : kSalvaged) {
        TableCopy copy;
        copy.table = &table;
        const QString name = QString::fromLatin1(table.name).toLower();
        const auto entry = schema.constFind(name);
        if (entry != schema.constEnd()) {
            copy.file = ColumnsOf(entry->sql);
            copy.root = entry->root;
            schema.remove(name);
        } else if (!whole) {
            copy.file = ColumnsOf(table.create);
        }
        tables.push_back(std::move(copy));
    }
    // Tables of other programs: their pages are theirs, whatever their shape.
    for (const Entry& entry : schema) {
        if (entry.root)
            others.push_back(entry.root);
    }
    return tables;
}

// Copies into `to` every row of the library's tables that the file's pages
// hold: first through each table's b-tree as far as it reads, then from the
// table leaf pages no b-tree reached (below a damaged interior page, or of a
// table whose schema is gone), each page given to the one table whose shape
// all its rows have. Pages of the freelist hold nothing that is still there.
void SalvageRows(const QByteArray& bytes, sqlite3* to, std::vector<TableCopy>& tables)
{
    const SqlitePageReader reader(bytes);
    if (!reader.Valid()) {
        qWarning() << "Library repair: no page of the file reads";
        return;
    }
    std::vector<bool> seen(static_cast<size_t>(reader.PageCount()) + 1, false);
    // Without the header the freelist is found by the look of its pages: the
    // rows of songs deleted long ago must not come back.
    for (int page : reader.HeaderReads() ? reader.FreelistPages() : reader.FreelistPagesByLook())
        seen[static_cast<size_t>(page)] = true;
    std::vector<int> others;
    tables = TablesOf(reader, seen, others);
    std::vector<TableCopy*> usable;
    for (TableCopy& copy : tables) {
        if (PrepareCopy(to, copy))
            usable.push_back(&copy);
    }
    const int encoding = reader.TextEncoding();
    int badCells = 0;
    int foreignPages = 0;
    for (TableCopy* copy : usable) {
        if (!copy->root)
            continue;
        bool whole = true;
        for (int page : reader.LeavesOf(copy->root, seen, &whole)) {
            int bad = 0;
            const std::vector<SqlitePageReader::Row> rows = reader.LeafRows(page, &bad);
            badCells += bad;
            // A damaged interior page may point into another table's pages:
            // a leaf whose rows mostly have another shape is not this
            // table's. Its rows would be made up here, and would take the
            // keys of this table's own rows; it goes back to the pages read
            // on their own.
            size_t fitting = 0;
            for (const SqlitePageReader::Row& row : rows)
                fitting += FitsShape(row, *copy, true) ? 1 : 0;
            if (!rows.empty() && fitting * 2 <= rows.size()) {
                seen[static_cast<size_t>(page)] = false;
                whole = false;
                ++foreignPages;
                continue;
            }
            for (const SqlitePageReader::Row& row : rows)
                CopyRow(*copy, row, encoding);
        }
        if (!whole)
            qWarning().noquote() << "Library repair:" << copy->table->name
                                 << "has damaged pages; its rows are looked for page by page";
    }
    for (int root : others)
        reader.LeavesOf(root, seen);
    int strayPages = 0;
    int unclaimed = 0;
    for (int page = 2; page <= reader.PageCount(); ++page) {
        if (seen[static_cast<size_t>(page)] || reader.TypeOf(page) != SqlitePageReader::TableLeaf)
            continue;
        int bad = 0;
        const std::vector<SqlitePageReader::Row> rows = reader.LeafRows(page, &bad);
        badCells += bad;
        // The table whose shape the most rows have, when no other has as many.
        TableCopy* best = nullptr;
        int bestCount = 0;
        bool tie = false;
        for (TableCopy* copy : usable) {
            if (copy->table->twin)
                continue;
            int count = 0;
            for (const SqlitePageReader::Row& row : rows)
                count += FitsShape(row, *copy) ? 1 : 0;
            if (count > bestCount) {
                best = copy;
                bestCount = count;
                tie = false;
            } else if (count > 0 && count == bestCount) {
                tie = true;
            }
        }
        if (!best || tie) {
            unclaimed += rows.empty() ? 0 : 1;
            continue;
        }
        ++strayPages;
        for (const SqlitePageReader::Row& row : rows) {
            if (FitsShape(row, *best))
                CopyRow(*best, row, encoding);
        }
    }
    if (strayPages || unclaimed || badCells || foreignPages)
        qWarning().noquote() << "Library repair:" << strayPages << "pages read on their own," << unclaimed
                             << "pages of no table of the library," << badCells << "damaged cells left out,"
                             << foreignPages << "pages of another table met below a table's b-tree";
    for (TableCopy& copy : tables) {
        sqlite3_finalize(copy.insert);
        copy.insert = nullptr;
    }
}

// Entries and covers whose song did not read wait apart (a song added under
// a free MusicId must not take them over) until their song comes back from
// its file. The rows moved.
int SetAsideUnlinked(sqlite3* to, const char* table, const char* waiting, const char* columns)
{
    const QByteArray orphans = QByteArray(" from ") + table
                               + " where MusicId not in (select MusicId from MusicInfo where MusicId is not null)";
    const QByteArray move = QByteArray("insert into ") + waiting + " (" + columns + ") select " + columns + orphans;
    if (sqlite3_exec(to, move.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return 0;
    const QByteArray drop = "delete" + orphans;
    sqlite3_exec(to, drop.constData(), nullptr, nullptr, nullptr);
    return sqlite3_changes(to);
}

int RowsOf(sqlite3* db, const char* table)
{
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = QByteArray("select count(*) from ") + table;
    int rows = 0;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        rows = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return rows;
}

// ---------------------------------------------------------------- files

// SQLite's locks on a database file (its unix VFS): the pending byte at 1 GB,
// the reserved byte after it, then 510 bytes of shared locks; a WAL file's
// readers and writers lock bytes 120 to 128 of its "-shm" file.
constexpr off_t kPendingByte = 0x40000000;
constexpr off_t kLockBytes = 512;
constexpr off_t kShmLocks = 120;
constexpr off_t kShmLockBytes = 9;

// Whether another process holds a lock on `length` bytes from `start`.
bool LockedByOther(int fd, off_t start, off_t length)
{
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = start;
    probe.l_len = length;
    return fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

// The library file held while it is repaired: SQLite's writers elsewhere
// need the reserved byte, on which this keeps a read lock, so nobody writes
// to the file or starts a journal meanwhile. The file is read through this
// one descriptor only: closing any other descriptor of the file in this
// process would drop the lock.
class FileHold
{
public:
    enum Outcome { Taken, HeldByOther, CannotOpen };
    ~FileHold()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Outcome Take(const QString& path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return CannotOpen;
        struct flock lock {};
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = kPendingByte;
        lock.l_len = 2;
        if (fcntl(m_fd, F_SETLK, &lock) != 0) {
            if (errno == EACCES || errno == EAGAIN)
                return HeldByOther;
            qWarning().noquote() << "Library repair: the file system keeps no locks:" << std::strerror(errno);
        }
        if (LockedByOther(m_fd, kPendingByte, kLockBytes))
            return HeldByOther;
        const int shm = ::open(QFile::encodeName(path + QStringLiteral("-shm")).constData(), O_RDONLY | O_CLOEXEC);
        if (shm >= 0) {
            const bool held = LockedByOther(shm, kShmLocks, kShmLockBytes);
            ::close(shm);
            if (held)
                return HeldByOther;
        }
        return Taken;
    }
    // Every byte of the file; false when it cannot be read whole.
    bool ReadAll(QByteArray* out) const
    {
        struct stat st {};
        if (m_fd < 0 || fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 0x7fff0000)
            return false;
        out->resize(static_cast<int>(st.st_size));
        qint64 done = 0;
        while (done < st.st_size) {
            const ssize_t got = pread(m_fd, out->data() + done, static_cast<size_t>(st.st_size - done), done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            done += got;
        }
        return true;
    }

private:
    int m_fd = -1;
};

// A copy of the file kept at an earlier start that still has its bytes.
QString EarlierCopy(const QString& path, const QByteArray& bytes)
{
    const QFileInfo file(path);
    const QStringList copies = file.dir().entryList({file.fileName() + QStringLiteral(".damaged-*")},
                                                    QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : copies) {
        if (name.endsWith(QLatin1String("-journal")) || name.endsWith(QLatin1String("-wal"))
            || name.endsWith(QLatin1String("-shm")))
            continue;
        QFile copy(file.dir().filePath(name));
        if (copy.size() == bytes.size() && copy.open(QIODevice::ReadOnly) && copy.readAll() == bytes)
            return copy.fileName();
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

// The file's bytes kept under `name`; nothing is left of a copy cut short.
bool WriteCopy(const QString& name, const QByteArray& bytes)
{
    QFile copy(name);
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const bool written = copy.write(bytes) == bytes.size() && copy.flush() && ::fsync(copy.handle()) == 0;
    copy.close();
    if (!written)
        copy.remove();
    return written;
}

bool RenameOver(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// The sidecar files SQLite keeps beside a library: a journal beside the new
// file would be taken for its own and "rolled back" into it.
const char* const kSidecars[] = {"-journal", "-wal", "-shm"};

} // namespace

void CreateWaitingIndexes(sqlite3* db)
{
    // Each song back from its file asks for its rows by MusicId: without an
    // index every question reads every waiting row. Only a rebuilt library
    // has the tables; on others the statements fail, as they may.
    sqlite3_exec(db, "create index if not exists MusicItemUnlinked_MusicId on MusicItemUnlinked (MusicId)", nullptr,
                 nullptr, nullptr);
    sqlite3_exec(db, "create index if not exists CoverInfoUnlinked_MusicId on CoverInfoUnlinked (MusicId)", nullptr,
                 nullptr, nullptr);
}

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
    CreateWaitingIndexes(db);
    return fresh;
}

bool IsFileFault(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_PERM:
    case SQLITE_FORMAT:
        return true;
    default:
        return false;
    }
}

bool IsBusy(int rc)
{
    return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
}

RepairResult FillFreshLibrary(sqlite3* to, const QByteArray& bytes)
{
    RepairResult result;
    CreateSchema(to, false);
    for (const char* sql : {kCreatePendingRemoval, kCreateItemsUnlinked, kCreateCoversUnlinked})
        sqlite3_exec(to, sql, nullptr, nullptr, nullptr);
    CreateWaitingIndexes(to);
    std::vector<TableCopy> tables;
    if (!bytes.isEmpty())
        SalvageRows(bytes, to, tables);
    for (const TableCopy& copy : tables) {
        const QByteArray name(copy.table->name);
        int* count = name == "MusicList" ? &result.lists
                     : name == "MusicItem" ? &result.items
                     : name == "MusicInfo" ? &result.songs
                     : name == "CoverInfo" ? &result.covers
                                           : nullptr;
        if (count)
            *count = copy.copied;
    }
    result.items -= SetAsideUnlinked(to, "MusicItem", "MusicItemUnlinked", "ItemId, ListId, MusicId");
    result.covers -= SetAsideUnlinked(to, "CoverInfo", "CoverInfoUnlinked", "CoverId, MusicId, ImagePath");
    result.itemsWaiting = RowsOf(to, "MusicItemUnlinked");
    result.coversWaiting = RowsOf(to, "CoverInfoUnlinked");
    InsertDefaultLists(to, result.lists > 0);
    return result;
}

RepairResult RebuildLibrary(const QString& path)
{
    RepairResult result;
    const bool folder = QFileInfo(path).isDir();
    FileHold hold;
    QByteArray bytes;
    bool readable = false;
    if (!folder) {
        const FileHold::Outcome taken = hold.Take(path);
        if (taken == FileHold::HeldByOther) {
            qWarning().noquote() << "Library repair:" << path << "is in use by another program; left as it is";
            result.inUse = true;
            return result;
        }
        readable = taken == FileHold::Taken && hold.ReadAll(&bytes);
    }
    // The file as it was: a copy (made once), or, when it cannot be read or
    // is no file at all, the thing itself moved aside.
    bool movedAside = false;
    if (readable) {
        result.keptCopy = EarlierCopy(path, bytes);
        if (result.keptCopy.isEmpty()) {
            const QString copy = FreeCopyName(path);
            if (!copy.isEmpty() && WriteCopy(copy, bytes))
                result.keptCopy = copy;
        }
        if (result.keptCopy.isEmpty()) {
            // No room for a copy: the file stays where it is, as it is.
            qCritical().noquote() << "Library repair: no copy of" << path << "could be made; left as it is";
            return result;
        }
    } else {
        const QString aside = FreeCopyName(path);
        if (aside.isEmpty() || !RenameOver(path, aside)) {
            qCritical().noquote() << "Library repair: could not move" << path << "aside:" << std::strerror(errno);
            return result;
        }
        result.keptCopy = aside;
        movedAside = true;
    }
    auto giveBack = [&] {
        if (movedAside) {
            RenameOver(result.keptCopy, path);
            result.keptCopy.clear();
        }
    };

    // The fresh library, built beside the file and put in its place in one step.
    const QString fresh = path + QStringLiteral(".rebuilding");
    QFile::remove(fresh);
    for (const char* sidecar : kSidecars)
        QFile::remove(fresh + QLatin1String(sidecar));
    sqlite3* to = nullptr;
    if (sqlite3_open(QFile::encodeName(fresh).constData(), &to) != SQLITE_OK) {
        qCritical().noquote() << "Library repair: cannot make" << fresh << sqlite3_errmsg(to);
        sqlite3_close(to);
        giveBack();
        return result;
    }
    sqlite3_exec(to, "begin", nullptr, nullptr, nullptr);
    const QString keptCopy = result.keptCopy;
    result = FillFreshLibrary(to, readable ? bytes : QByteArray());
    result.keptCopy = keptCopy;
    const int committed = sqlite3_exec(to, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(to);
    if (committed != SQLITE_OK) {
        qCritical().noquote() << "Library repair: the fresh library could not be written";
        QFile::remove(fresh);
        giveBack();
        return result;
    }

    // Nobody writes to the file now (the hold): a journal or WAL beside it is
    // a crashed writer's, kept with the copy, never met by the new file.
    for (const char* sidecar : kSidecars) {
        const QString old = path + QLatin1String(sidecar);
        if (QFileInfo::exists(old) && !RenameOver(old, result.keptCopy + QLatin1String(sidecar)))
            QFile::remove(old);
    }
    if (!RenameOver(fresh, path)) {
        qCritical().noquote() << "Library repair: could not put the fresh library in place:" << std::strerror(errno);
        QFile::remove(fresh);
        giveBack();
        return result;
    }
    result.rebuilt = true;
    qWarning().noquote() << "Library repair:" << path << "rebuilt;" << result.songs << "songs," << result.lists
                         << "lists," << result.items << "list entries," << result.covers << "covers saved,"
                         << result.itemsWaiting << "entries and" << result.coversWaiting
                         << "covers wait for their songs; the file as it was is" << result.keptCopy;
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
    const QByteArray entry = QString(mark + QLatin1Char('\t') + line + QLatin1Char('\n')).toUtf8();
    // A full disk takes nothing: said in the log. The song still comes in
    // at a later start, from the output folder.
    if (file.write(entry) != entry.size() || !file.flush())
        qWarning().noquote() << "Library notes: cannot write" << notes << file.errorString();
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
