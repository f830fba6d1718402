#pragma once

// Faults of a library file as users meet them: pages overwritten by a failing
// disk, a file cut short, emptied, garbage or another kind of file in its
// place, another program holding SQLite's lock on it (for a moment, while it
// writes, or for long), a read-only data folder and a full disk. Also one
// library to meet them with, and what its intact pages hold after each.

#include "MusicDatabase.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace damaged_library {

struct LeafPage {
    int page;   // 1-based page number
    int rows;   // rows the page holds
};

// The leaf pages of `table` in a sound library file, in page order (SQLite's
// dbstat table), and the file's page size.
inline std::vector<LeafPage> LeafPages(const QString& path, const char* table, int* pageSize)
{
    std::vector<LeafPage> pages;
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "select pageno, ncell from dbstat where name = ? and pagetype = 'leaf' "
                                   "order by pageno",
                               -1, &stmt, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(stmt, 1, table, -1, SQLITE_STATIC);
            while (sqlite3_step(stmt) == SQLITE_ROW)
                pages.push_back({sqlite3_column_int(stmt, 0), sqlite3_column_int(stmt, 1)});
        }
        sqlite3_finalize(stmt);
        if (sqlite3_prepare_v2(db, "pragma page_size", -1, &stmt, nullptr) == SQLITE_OK
            && sqlite3_step(stmt) == SQLITE_ROW)
            *pageSize = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return pages;
}

// Garbage over whole pages, as a failing disk leaves them.
inline bool OverwritePages(const QString& path, const std::vector<int>& pages, int pageSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    for (int page : pages) {
        if (!file.seek(static_cast<qint64>(page - 1) * pageSize)
            || file.write(QByteArray(pageSize, '\x5a')) != pageSize)
            return false;
    }
    return true;
}

inline QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Runs statements on the file as another program would (a connection of its
// own); false with nothing done when they fail.
inline bool Exec(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK
              && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Another program at work on the library file: in the middle of a write
// transaction (SQLite's exclusive lock) until the object goes, or for `ms`
// milliseconds, during which it writes the song row `musicId` (and runs
// `change`, when given) and then commits. `setup` runs before the
// transaction begins. Commits() tells whether that commit went through.
class ForeignWriteLock
{
public:
    explicit ForeignWriteLock(const QString& path, int ms = -1, int musicId = 0, const QString& change = {},
                              const QString& setup = {})
    {
        m_holder.start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral("-c"),
                        QStringLiteral("import sqlite3, sys, time\n"
                                       "c = sqlite3.connect(sys.argv[1], isolation_level=None, timeout=10)\n"
                                       "if sys.argv[5]:\n"
                                       "    c.executescript(sys.argv[5])\n"
                                       "c.execute('begin exclusive')\n"
                                       "if int(sys.argv[3]):\n"
                                       "    c.execute(\"insert into MusicInfo (MusicId, MusicPath, MusicName) "
                                       "values (?, '/elsewhere/written meanwhile.mp3', 'Written meanwhile')\", "
                                       "(int(sys.argv[3]),))\n"
                                       "if sys.argv[4]:\n"
                                       "    c.execute(sys.argv[4])\n"
                                       "print('locked', flush=True)\n"
                                       "if int(sys.argv[2]) < 0:\n"
                                       "    sys.stdin.read()\n"
                                       "else:\n"
                                       "    time.sleep(int(sys.argv[2]) / 1000.0)\n"
                                       "c.execute('commit')\n"
                                       "print('committed', flush=True)\n"),
                        path, QString::number(ms), QString::number(musicId), change, setup});
        m_locked = m_holder.waitForStarted(5000) && m_holder.waitForReadyRead(10000)
                   && m_holder.readAllStandardOutput().startsWith("locked");
    }
    ~ForeignWriteLock() { Release(); }
    bool Locked() const { return m_locked; }
    // Lets go (commits) and waits for the program to end.
    void Release()
    {
        if (m_holder.state() != QProcess::NotRunning) {
            m_holder.closeWriteChannel();
            if (!m_holder.waitForFinished(15000))
                m_holder.kill();
            m_holder.waitForFinished(2000);
        }
        m_output += m_holder.readAllStandardOutput();
        m_output += m_holder.readAllStandardError();
    }
    QByteArray Output() const { return m_output; }
    bool Committed()
    {
        Release();
        return m_holder.exitStatus() == QProcess::NormalExit && m_holder.exitCode() == 0
               && m_output.contains("committed");
    }

private:
    QProcess m_holder;
    QByteArray m_output;
    bool m_locked = false;
};

// ---------------------------------------------------------------- the library

// The library the faults are met with: kSongs songs on 1 KB pages (so that
// the songs' b-tree has interior pages below its root), as a user's library
// looks after a while: every third song played, every fifth with a cover,
// every fiftieth with a tag text long enough to go on over an overflow page,
// the default play list deleted and three of the user's with about a
// thousand entries, and a hundred songs deleted at the end by a program that
// does not wipe what it deletes (their pages are free, their bytes still
// there).
constexpr int kSongs = 2000;
constexpr int kFirstDeleted = 1201;
constexpr int kLastDeleted = 1300;

inline bool HasCover(int id)
{
    return id % 5 == 0;
}

inline bool MakeLibrary(const QString& path, const std::function<QString(int)>& songPath,
                        const std::function<QString(int)>& coverPath)
{
    if (DB_OpenDatabaseFile(path) != 0)
        return false;
    bool ok = DB_CreateTransaction() == 0;
    for (int id = 1; ok && id <= kSongs; ++id) {
        MusicInfoRow song;
        song.MusicId = id;
        song.MusicPath = songPath(id);
        CopyUtf8Field(song.Info.MusicName, sizeof song.Info.MusicName, "Title " + QByteArray::number(id));
        CopyUtf8Field(song.Info.Artist, sizeof song.Info.Artist, "Artist " + QByteArray::number(id % 37));
        CopyUtf8Field(song.Info.Year, sizeof song.Info.Year, QByteArray("1999"));
        if (id % 50 == 0)
            CopyUtf8Field(song.Info.AlbumMusicList, sizeof song.Info.AlbumMusicList, QByteArray(900, 'L'));
        song.TimeRecorded = "03:25";
        song.DateAdded = id % 3 ? "05/01/2024 10:00" : "05/01/2024 10:00;05/02/2024 11:00";
        ok = DB_SetMusicInfo(&song) == 0;
        if (ok && HasCover(id))
            ok = DB_SetImageInfo(id, id, coverPath(id).toUtf8().constData()) == 0;
    }
    DB_DeleteMusicList(4);
    std::vector<int> itemIds;
    for (int list = 5; ok && list <= 7; ++list) {
        ok = DB_SetMusicList(list, QStringLiteral("Mix %1").arg(list)).isNull();
        std::vector<int> ids;
        for (int id = list - 4; id <= kSongs; id += 6)
            ids.push_back(id);
        ok = ok && DB_SetMusicItems(list, ids, itemIds) == 0;
    }
    ok = DB_CommitTransaction() == 0 && ok;
    DB_CloseDatabase();
    const QByteArray remove = QStringLiteral("pragma secure_delete = off; "
                                             "delete from MusicItem where MusicId between %1 and %2; "
                                             "delete from CoverInfo where MusicId between %1 and %2; "
                                             "delete from MusicInfo where MusicId between %1 and %2;")
                                  .arg(kFirstDeleted)
                                  .arg(kLastDeleted)
                                  .toUtf8();
    return ok && Exec(path, "pragma page_size = 1024; vacuum;") && Exec(path, remove.constData());
}

// One row of a table as stored: its rowid and each value with its type.
using Rows = std::map<qint64, QByteArray>;

inline std::map<QString, Rows> TablesOf(const QString& path)
{
    std::map<QString, Rows> tables;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return tables;
    }
    for (const char* table : {"MusicList", "MusicItem", "MusicInfo", "CoverInfo", "MusicItemUnlinked",
                              "CoverInfoUnlinked"}) {
        sqlite3_stmt* stmt = nullptr;
        const QByteArray sql = QByteArray("select rowid, * from ") + table;
        Rows& rows = tables[table];
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            continue;
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QByteArray row;
            for (int i = 1; i < sqlite3_column_count(stmt); ++i) {
                const char* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, i));
                row += QByteArray::number(sqlite3_column_type(stmt, i)) + ':'
                       + QByteArray(bytes, sqlite3_column_bytes(stmt, i)) + '|';
            }
            rows[sqlite3_column_int64(stmt, 0)] = row;
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return tables;
}

// Column `column` of a row as TablesOf keeps it (an integer key, say).
inline QByteArray Value(const QByteArray& row, int column)
{
    const QByteArray field = row.split('|').value(column);
    return field.mid(field.indexOf(':') + 1);
}

// Where a sound file keeps what: each table's pages, and the pages each of
// its rows needs (its leaf and its overflow pages), from SQLite's dbstat.
struct Survey {
    int pageSize = 0;
    int pageCount = 0;
    qint64 fileSize = 0;
    std::map<QString, int> root;                     // b-tree name -> first page
    std::map<QString, std::vector<int>> interior;    // interior pages below the root
    std::map<QString, std::vector<int>> leaves;      // leaf pages, in key order
    std::map<QString, std::map<qint64, std::vector<int>>> pagesOfRow;   // table -> rowid -> pages
};

inline Survey SurveyOf(const QString& path)
{
    Survey survey;
    survey.fileSize = QFile(path).size();
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "pragma page_size", -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        survey.pageSize = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    survey.pageCount = survey.pageSize ? static_cast<int>(survey.fileSize / survey.pageSize) : 0;
    // Pages in b-tree order: paths sort depth first ("/", "/000/", "/000/000/",
    // "/000/000+000000" for an overflow page of cell 0 of leaf "/000/"...).
    struct Page {
        QString name;
        QString path;
        int page;
        QString type;
        int cells;
    };
    std::vector<Page> pages;
    if (sqlite3_prepare_v2(db, "select name, path, pageno, pagetype, ncell from dbstat order by name, path", -1, &stmt,
                           nullptr)
        == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW)
            pages.push_back({QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))),
                             QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1))),
                             sqlite3_column_int(stmt, 2),
                             QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3))),
                             sqlite3_column_int(stmt, 4)});
    }
    sqlite3_finalize(stmt);
    std::map<QString, std::vector<qint64>> rowids;
    for (const char* table : {"MusicList", "MusicItem", "MusicInfo", "CoverInfo"}) {
        const QByteArray sql = QByteArray("select rowid from ") + table + " order by rowid";
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW)
                rowids[table].push_back(sqlite3_column_int64(stmt, 0));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    std::map<QString, size_t> next;                      // table -> rowids handed to leaves so far
    std::map<QString, std::map<QString, size_t>> first;   // table -> leaf path -> index of its first rowid
    for (const Page& p : pages) {
        if (p.path == "/")
            survey.root[p.name] = p.page;
        if (p.type == "internal" && p.path != "/")
            survey.interior[p.name].push_back(p.page);
        const auto table = rowids.find(p.name);
        if (p.type == "leaf") {
            survey.leaves[p.name].push_back(p.page);
            if (table != rowids.end()) {
                first[p.name][p.path] = next[p.name];
                for (int i = 0; i < p.cells && next[p.name] < table->second.size(); ++i)
                    survey.pagesOfRow[p.name][table->second[next[p.name]++]].push_back(p.page);
            }
        } else if (p.type == "overflow" && table != rowids.end()) {
            // "<leaf path><cell, 3 hex digits>+<overflow page, 6 hex digits>"
            const int plus = p.path.indexOf('+');
            const QString leaf = p.path.left(plus - 3);
            const size_t cell = p.path.mid(plus - 3, 3).toUInt(nullptr, 16);
            const auto at = first[p.name].find(leaf);
            if (at != first[p.name].end() && at->second + cell < table->second.size())
                survey.pagesOfRow[p.name][table->second[at->second + cell]].push_back(p.page);
        }
    }
    return survey;
}

// What a library file holds after a fault: each table's rows whose pages
// are all intact.
inline std::map<QString, Rows> IntactRows(const std::map<QString, Rows>& original, const Survey& survey,
                                          const std::set<int>& lost)
{
    std::map<QString, Rows> intact;
    for (const auto& table : original) {
        const auto pages = survey.pagesOfRow.find(table.first);
        for (const auto& row : table.second) {
            bool whole = true;
            if (pages != survey.pagesOfRow.end()) {
                const auto of = pages->second.find(row.first);
                for (int page : of == pages->second.end() ? std::vector<int>() : of->second)
                    whole = whole && !lost.count(page);
            }
            if (whole)
                intact[table.first].insert(row);
        }
    }
    return intact;
}

// The keys (column `column`) of a table's rows.
inline std::set<QByteArray> Keys(const Rows& rows, int column)
{
    std::set<QByteArray> keys;
    for (const auto& row : rows)
        keys.insert(Value(row.second, column));
    return keys;
}

// What a rebuilt library keeps of intact rows: the songs, their lists'
// entries and covers; the entries and covers of songs that were lost wait
// apart.
struct Kept {
    Rows songs, lists, items, covers, itemsWaiting, coversWaiting;
};

inline Kept KeptOf(const std::map<QString, Rows>& intact)
{
    auto of = [&](const char* table) {
        const auto it = intact.find(table);
        return it == intact.end() ? Rows() : it->second;
    };
    Kept kept;
    kept.songs = of("MusicInfo");
    kept.lists = of("MusicList");
    const std::set<QByteArray> songIds = Keys(kept.songs, 0);
    for (const auto& row : of("MusicItem"))
        (songIds.count(Value(row.second, 2)) ? kept.items : kept.itemsWaiting).insert(row);
    for (const auto& row : of("CoverInfo"))
        (songIds.count(Value(row.second, 1)) ? kept.covers : kept.coversWaiting).insert(row);
    return kept;
}

// ---------------------------------------------------------------- the faults

struct Damage {
    enum Kind {
        Overwritten,    // garbage over the pages `pagesOf` chooses
        Misplaced,      // the page `copyOf` chooses written over the one `pagesOf` chooses
        Cut,            // the file cut to half (at a page's end)
        Emptied,        // 0 bytes
        Noise,          // random bytes
        Picture,        // a picture under the library's name
        Folder,         // a folder under the library's name
        LockedMoment,   // another program's lock, let go within the open's wait
        LockedWriting,  // another program writes a song meanwhile and commits
        LockedLong,     // another program's lock that outlasts the open's wait
        ReadOnlyFolder, // the data folder cannot be written
        FullDisk,       // the data folder's disk is full
    };
    std::string name;
    Kind kind;
    std::function<std::vector<int>(const Survey&)> pagesOf;
    std::function<int(const Survey&)> copyOf = {};

    std::vector<int> PagesHit(const Survey& survey) const { return pagesOf ? pagesOf(survey) : std::vector<int>(); }
    qint64 CutAt(const Survey& survey) const { return survey.fileSize / survey.pageSize / 2 * survey.pageSize; }
    // The pages whose rows are gone; every page when nothing is left.
    std::set<int> Lost(const Survey& survey) const
    {
        const std::vector<int> pages = PagesHit(survey);
        std::set<int> lost(pages.begin(), pages.end());
        for (int page = 1; page <= survey.pageCount; ++page) {
            if ((kind == Cut && static_cast<qint64>(page) * survey.pageSize > CutAt(survey))
                || kind == Emptied || kind == Noise || kind == Picture || kind == Folder)
                lost.insert(page);
        }
        return lost;
    }
    bool Locked() const { return kind == LockedMoment || kind == LockedWriting || kind == LockedLong; }
    // A fresh library takes the file's place.
    bool Rebuilds() const { return kind <= Folder; }
    // The library takes new songs only once the fault is gone.
    bool RefusesSongs() const { return kind == LockedLong || kind == ReadOnlyFolder || kind == FullDisk; }
};

inline void PrintTo(const Damage& damage, std::ostream* os)
{
    *os << damage.name;
}

// The damage's name as a test's name may have it.
inline std::string Identifier(const Damage& damage)
{
    std::string name;
    for (char c : damage.name)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

// The faults, for a library MakeLibrary made.
inline std::vector<Damage> Damages()
{
    auto nth = [](const std::map<QString, std::vector<int>>& pages, const char* name, double at) {
        const auto it = pages.find(name);
        if (it == pages.end() || it->second.empty())
            return 0;
        return it->second[std::min(static_cast<size_t>(at * static_cast<double>(it->second.size())),
                                    it->second.size() - 1)];
    };
    auto songsRoot = [](const Survey& s) { return s.root.count("MusicInfo") ? s.root.at("MusicInfo") : 0; };
    using P = std::vector<int>;
    return {
        {"the songs' root page", Damage::Overwritten, [=](const Survey& s) { return P{songsRoot(s)}; }},
        {"an interior page of songs", Damage::Overwritten, [=](const Survey& s) { return P{nth(s.interior, "MusicInfo", 0.5)}; }},
        {"a leaf of songs", Damage::Overwritten, [=](const Survey& s) { return P{nth(s.leaves, "MusicInfo", 0.3)}; }},
        {"a leaf of list entries", Damage::Overwritten, [=](const Survey& s) { return P{nth(s.leaves, "MusicItem", 0.5)}; }},
        {"an index page", Damage::Overwritten,
         [=](const Survey& s) { return P{nth(s.leaves, "sqlite_autoindex_MusicInfo_1", 0.5)}; }},
        {"the last page", Damage::Overwritten, [](const Survey& s) { return P{s.pageCount}; }},
        {"four pages, the songs' root among them", Damage::Overwritten,
         [=](const Survey& s) {
             return P{songsRoot(s), nth(s.leaves, "MusicInfo", 0.1), nth(s.leaves, "MusicInfo", 0.5),
                      nth(s.leaves, "MusicInfo", 0.95)};
         }},
        {"the first page, with the schema", Damage::Overwritten, [](const Survey&) { return P{1}; }},
        // A write that went to the wrong place: a page of covers where the
        // list entries' b-tree begins.
        {"a page of covers in the list entries' root's place", Damage::Misplaced,
         [](const Survey& s) { return P{s.root.count("MusicItem") ? s.root.at("MusicItem") : 0}; },
         [=](const Survey& s) { return nth(s.leaves, "CoverInfo", 0.5); }},
        {"cut to half", Damage::Cut, {}},
        {"emptied", Damage::Emptied, {}},
        {"random bytes", Damage::Noise, {}},
        {"a picture in its place", Damage::Picture, {}},
        {"a folder in its place", Damage::Folder, {}},
        {"locked for a moment", Damage::LockedMoment, {}},
        {"locked while another program writes", Damage::LockedWriting, {}},
        {"locked longer than the wait", Damage::LockedLong, {}},
        {"a read-only data folder", Damage::ReadOnlyFolder, {}},
        {"a full disk", Damage::FullDisk, {}},
    };
}

// Damages the library file at `path` (the kinds that change the file).
inline bool Apply(const Damage& damage, const QString& path, const Survey& survey)
{
    switch (damage.kind) {
    case Damage::Overwritten:
        return OverwritePages(path, damage.PagesHit(survey), survey.pageSize);
    case Damage::Misplaced: {
        const int from = damage.copyOf(survey);
        QFile file(path);
        if (from < 1 || !file.open(QIODevice::ReadWrite) || !file.seek(static_cast<qint64>(from - 1) * survey.pageSize))
            return false;
        const QByteArray page = file.read(survey.pageSize);
        for (int to : damage.PagesHit(survey)) {
            if (to < 1 || page.size() != survey.pageSize || !file.seek(static_cast<qint64>(to - 1) * survey.pageSize)
                || file.write(page) != page.size())
                return false;
        }
        return true;
    }
    case Damage::Cut:
        return QFile::resize(path, damage.CutAt(survey));
    case Damage::Emptied:
        return QFile::resize(path, 0);
    case Damage::Noise: {
        QByteArray noise(static_cast<int>(QFile(path).size()), 0);
        quint32 state = 12345;
        for (char& c : noise) {
            state = state * 1103515245u + 12345u;
            c = static_cast<char>(state >> 24);
        }
        return WriteAll(path, noise);
    }
    case Damage::Picture: {
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        return picture.save(path, "PNG");
    }
    case Damage::Folder: {
        QFile inside(path + "/note.txt");
        return QFile::remove(path) && QDir().mkpath(path) && inside.open(QIODevice::WriteOnly);
    }
    default:
        return true;
    }
}

// A mounted small disk made read-only, or writable again.
inline bool Remount(const std::string& folder, bool readOnly)
{
    return mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0),
                 nullptr)
           == 0;
}

// Fills a disk with one file until about `leave` bytes are left free (none
// by default); removed, the room is back.
inline bool FillDisk(const QString& file, qint64 leave = 0)
{
    QFile filler(file);
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    auto freeBytes = [&] {
        struct statvfs st {};
        return statvfs(QFile::encodeName(file).constData(), &st) == 0
                   ? static_cast<qint64>(st.f_bavail) * static_cast<qint64>(st.f_frsize)
                   : 0;
    };
    for (const int block : {64 * 1024, 4096, 512}) {
        const QByteArray bytes(block, '\0');
        while (freeBytes() - block >= leave && filler.write(bytes) == block && filler.flush()) {
        }
    }
    return true;
}

} // namespace damaged_library
