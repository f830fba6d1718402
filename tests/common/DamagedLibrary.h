#pragma once

// Faults of a library file as users meet them: pages overwritten by a failing
// disk, a file cut short, garbage or another kind of file in its place, and
// another program holding SQLite's write lock on it. Also tells which rows of
// a table still read after given pages are gone.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QString>

#include <sqlite3.h>

#include <functional>
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

// Another program in the middle of a write transaction on the file (SQLite's
// exclusive lock), until the object goes.
class ForeignWriteLock
{
public:
    explicit ForeignWriteLock(const QString& path)
    {
        m_holder.start(QStringLiteral("/usr/bin/python3"),
                       {QStringLiteral("-c"),
                        QStringLiteral("import sqlite3, sys\n"
                                       "c = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                       "c.execute('begin exclusive')\n"
                                       "print('locked', flush=True)\n"
                                       "sys.stdin.read()\n"),
                        path});
        m_locked = m_holder.waitForStarted(5000) && m_holder.waitForReadyRead(10000)
                   && m_holder.readAllStandardOutput().startsWith("locked");
    }
    ~ForeignWriteLock()
    {
        m_holder.closeWriteChannel();
        if (!m_holder.waitForFinished(5000))
            m_holder.kill();
        m_holder.waitForFinished(2000);
    }
    bool Locked() const { return m_locked; }

private:
    QProcess m_holder;
    bool m_locked = false;
};

// One fault of the table below.
struct Fault {
    const char* name;
    // Damages the sound library file at the path; false when it could not.
    std::function<bool(const QString& path)> apply;
    int songsThatRead;        // rows of MusicInfo a reader can still get
    bool otherTablesRead;     // only song pages were hit: every other row reads
    bool locked;              // hold ForeignWriteLock while the library opens
    bool folder;              // a folder takes the file's place
};

// The faults users meet, for the sound library file at `path` (read now)
// whose MusicInfo table has `songs` rows.
inline std::vector<Fault> Faults(const QString& path, int songs)
{
    int pageSize = 0;
    const std::vector<LeafPage> leaves = LeafPages(path, "MusicInfo", &pageSize);
    const qint64 size = QFile(path).size();
    if (leaves.size() < 8 || pageSize <= 0)
        return {};
    // Four pages of songs, apart from each other, as a failing disk leaves them.
    const std::vector<LeafPage> hit = {leaves[4], leaves[5], leaves[leaves.size() / 2], leaves[leaves.size() - 2]};
    int onHit = 0;
    for (const LeafPage& leaf : hit)
        onHit += leaf.rows;
    // A file cut to half (at a page's end) keeps the songs on the pages before.
    const qint64 cut = size / pageSize / 2 * pageSize;
    int beforeCut = 0;
    for (const LeafPage& leaf : leaves)
        beforeCut += static_cast<qint64>(leaf.page) * pageSize <= cut ? leaf.rows : 0;
    auto write = [](const QString& file, const QByteArray& bytes) {
        QFile f(file);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    };
    return {
        {"four pages of songs overwritten",
         [=](const QString& file) {
             return OverwritePages(file, {hit[0].page, hit[1].page, hit[2].page, hit[3].page}, pageSize);
         },
         songs - onHit, true, false, false},
        {"cut to half", [=](const QString& file) { return QFile::resize(file, cut); }, beforeCut, false, false, false},
        {"random bytes",
         [=](const QString& file) {
             QByteArray noise(static_cast<int>(size), 0);
             quint32 state = 12345;
             for (char& c : noise) {
                 state = state * 1103515245u + 12345u;
                 c = static_cast<char>(state >> 24);
             }
             return write(file, noise);
         },
         0, false, false, false},
        {"a picture in its place",
         [](const QString& file) {
             QImage picture(64, 64, QImage::Format_RGB32);
             picture.fill(Qt::blue);
             return picture.save(file, "PNG");
         },
         0, false, false, false},
        {"a folder in its place",
         [](const QString& file) {
             QFile inside(file + "/note.txt");
             return QFile::remove(file) && QDir().mkpath(file) && inside.open(QIODevice::WriteOnly);
         },
         0, false, false, true},
        {"locked by another program", [](const QString&) { return true; }, songs, true, true, false},
    };
}

} // namespace damaged_library
