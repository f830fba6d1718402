// The page reader against SQLite itself: for files of every page size, text
// encoding and reserved space, every row of a table's b-tree reads exactly as
// SQLite reads it, values of every kind, rows that go on over several
// overflow pages among them; a cut inside a page keeps only the cells that
// lie whole before the cut.
#include "SqlitePageReader.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

struct FileKind {
    int pageSize;
    const char* encoding;
    int reserved;
};

void PrintTo(const FileKind& kind, std::ostream* os)
{
    *os << kind.pageSize << " " << kind.encoding << " reserved " << kind.reserved;
}

// A value as both readers give it: type and bytes (UTF-8 for texts).
using Value = std::pair<int, QByteArray>;
using Row = std::vector<Value>;

class SqlitePageReaderTest : public ::testing::TestWithParam<FileKind> {
protected:
    void SetUp() override
    {
        path = dir.filePath("t.db");
        const FileKind kind = GetParam();
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(path.toUtf8().constData(), &db));
        const QByteArray setup = QStringLiteral("pragma page_size = %1; pragma encoding = '%2';")
                                     .arg(kind.pageSize)
                                     .arg(kind.encoding)
                                     .toUtf8();
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, setup.constData(), nullptr, nullptr, nullptr));
        int reserved = kind.reserved;
        sqlite3_file_control(db, "main", SQLITE_FCNTL_RESERVE_BYTES, &reserved);
        // Integers of every width and sign, reals, texts (empty, non-ASCII, and
        // long enough for one or several overflow pages), blobs and NULLs.
        ASSERT_EQ(SQLITE_OK,
                  sqlite3_exec(db,
                               "create table t (a int primary key, b text, c, d real);"
                               "with recursive n(i) as (select 1 union all select i + 1 from n where i < 700) "
                               "insert into t select "
                               "  case i % 7 when 0 then -i when 1 then i * 100000 when 2 then i * 10000000000 "
                               "    when 3 then -i * 1099511627776 when 4 then i * 256 else i end, "
                               "  case when i % 97 = 0 then printf('%.*c', 70000 + i, 'x') "
                               "    when i % 13 = 0 then '' when i % 11 = 0 then 'Caf\xc3\xa9 \xe9\x9f\xb3 ' || i "
                               "    else 'title ' || i end, "
                               "  case i % 5 when 0 then null when 1 then randomblob(i % 300) when 2 then 0 "
                               "    when 3 then 1 else x'00ff' end, "
                               "  i / 7.0 from n;"
                               "delete from t where a % 10 = 3;",
                               nullptr, nullptr, nullptr))
            << sqlite3_errmsg(db);
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "select rootpage from sqlite_master where name = 't'", -1, &stmt,
                                                nullptr));
        ASSERT_EQ(SQLITE_ROW, sqlite3_step(stmt));
        root = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
        ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "select rowid, a, b, c, d from t order by rowid", -1, &stmt,
                                                nullptr));
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            Row row;
            for (int i = 1; i <= 4; ++i) {
                const int type = sqlite3_column_type(stmt, i);
                QByteArray bytes;
                if (type == SQLITE_TEXT)
                    bytes = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                       sqlite3_column_bytes(stmt, i));
                else if (type == SQLITE_BLOB)
                    bytes = QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, i)),
                                       sqlite3_column_bytes(stmt, i));
                else if (type == SQLITE_INTEGER)
                    bytes = QByteArray::number(sqlite3_column_int64(stmt, i));
                else if (type == SQLITE_FLOAT)
                    bytes = QByteArray::number(sqlite3_column_double(stmt, i), 'g', 17);
                row.push_back({type, bytes});
            }
            expected[sqlite3_column_int64(stmt, 0)] = row;
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        bytes = file.readAll();
    }

    // The reader's values as SQLite gives them. SQLite stores a real that is
    // a whole number as an integer, and makes it a real again as it reads it
    // for a column of real affinity (the last one here).
    static Row AsSqlite(const SqlitePageReader::Row& row, int encoding)
    {
        Row values;
        for (SqlitePageReader::Field field : row.fields) {
            if (values.size() == 3 && field.type == SqlitePageReader::Integer) {
                field.type = SqlitePageReader::Real;
                field.real = static_cast<double>(field.integer);
            }
            QByteArray value;
            if (field.type == SqlitePageReader::Text) {
                const QByteArray raw(field.data, field.size);
                if (encoding == SQLITE_UTF8)
                    value = raw;
                else {
                    QString text(field.size / 2, Qt::Uninitialized);
                    for (int i = 0; i < field.size / 2; ++i) {
                        const auto lo = static_cast<uchar>(raw[2 * i + (encoding == SQLITE_UTF16LE ? 0 : 1)]);
                        const auto hi = static_cast<uchar>(raw[2 * i + (encoding == SQLITE_UTF16LE ? 1 : 0)]);
                        text[i] = QChar(static_cast<ushort>(hi << 8 | lo));
                    }
                    value = text.toUtf8();
                }
            } else if (field.type == SqlitePageReader::Blob) {
                value = QByteArray(field.data, field.size);
            } else if (field.type == SqlitePageReader::Integer) {
                value = QByteArray::number(static_cast<qlonglong>(field.integer));
            } else if (field.type == SqlitePageReader::Real) {
                value = QByteArray::number(field.real, 'g', 17);
            }
            values.push_back({field.type, value});
        }
        return values;
    }

    QTemporaryDir dir;
    QString path;
    int root = 0;
    std::map<qint64, Row> expected;
    QByteArray bytes;
};

TEST_P(SqlitePageReaderTest, ReadsEveryRowAsSqliteDoes)
{
    const SqlitePageReader reader(bytes);
    ASSERT_TRUE(reader.Valid());
    EXPECT_EQ(reader.PageSize(), GetParam().pageSize);
    EXPECT_EQ(reader.UsableSize(), GetParam().pageSize - GetParam().reserved);
    std::vector<bool> seen;
    bool whole = false;
    const std::vector<int> leaves = reader.LeavesOf(root, seen, &whole);
    EXPECT_TRUE(whole);
    std::map<qint64, Row> read;
    for (int page : leaves) {
        int bad = -1;
        for (const SqlitePageReader::Row& row : reader.LeafRows(page, &bad))
            read[row.rowid] = AsSqlite(row, reader.TextEncoding());
        EXPECT_EQ(bad, 0) << "page " << page;
    }
    EXPECT_EQ(read.size(), expected.size());
    EXPECT_TRUE(read == expected);
    // The deleted rows' pages are free: none of them is a leaf of the table.
    for (int page : reader.FreelistPages())
        EXPECT_TRUE(std::find(leaves.begin(), leaves.end(), page) == leaves.end()) << page;

    // Without its header, the same file is read at the same page size.
    QByteArray headless = bytes;
    headless.replace(0, 16, QByteArray(16, 'x'));
    const SqlitePageReader guess(headless);
    EXPECT_EQ(guess.PageSize(), GetParam().pageSize);
}

TEST_P(SqlitePageReaderTest, ACutInsideAPageKeepsTheCellsBeforeIt)
{
    const SqlitePageReader reader(bytes);
    std::vector<bool> seen;
    const std::vector<int> leaves = reader.LeavesOf(root, seen);
    ASSERT_GE(leaves.size(), 2u);
    const int page = leaves[leaves.size() / 2];
    const int pageSize = reader.PageSize();
    const int whole = static_cast<int>(reader.LeafRows(page).size());
    for (int keep : {pageSize / 4, pageSize / 2, pageSize - 1}) {
        SCOPED_TRACE(keep);
        const QByteArray cut = bytes.left(static_cast<qint64>(page - 1) * pageSize + keep);
        const SqlitePageReader shorter(cut);
        int bad = 0;
        const std::vector<SqlitePageReader::Row> rows = shorter.LeafRows(page, &bad);
        EXPECT_EQ(static_cast<int>(rows.size()) + bad, whole);
        for (const SqlitePageReader::Row& row : rows) {
            EXPECT_LE(row.payload + row.payloadSize, cut.constData() + cut.size());
            EXPECT_TRUE(AsSqlite(row, reader.TextEncoding()) == expected.at(row.rowid)) << row.rowid;
        }
    }
}

// A damaged page whose cells all point to one row that goes on over
// overflow pages: its rows never hold more overflow bytes between them than
// the file has, however many cells claim them.
TEST_P(SqlitePageReaderTest, CellsSharingOverflowPagesTakeNoMoreThanTheFileHas)
{
    const SqlitePageReader reader(bytes);
    std::vector<bool> seen;
    int page = 0;
    int cell = -1;
    for (int leaf : reader.LeavesOf(root, seen)) {
        const std::vector<SqlitePageReader::Row> rows = reader.LeafRows(leaf);
        for (size_t i = 0; i < rows.size() && cell < 0; ++i) {
            if (!rows[i].spilled.isEmpty()) {
                page = leaf;
                cell = static_cast<int>(i);
            }
        }
        if (cell >= 0)
            break;
    }
    ASSERT_GE(cell, 0) << "a row on overflow pages";
    const int pageSize = reader.PageSize();
    const int start = (page - 1) * pageSize + (page == 1 ? 100 : 0);
    auto get16 = [&](int at) { return static_cast<uchar>(bytes[at]) << 8 | static_cast<uchar>(bytes[at + 1]); };
    const int offset = get16(start + 8 + 2 * cell);
    // As many pointers as fit before the cell, 64 at most.
    const int kCells = std::min(64, (offset - 8 - (page == 1 ? 100 : 0)) / 2);
    ASSERT_GE(kCells, 2);
    QByteArray damaged = bytes;
    damaged[start + 3] = static_cast<char>(kCells >> 8);
    damaged[start + 4] = static_cast<char>(kCells & 0xff);
    for (int i = 0; i < kCells; ++i) {
        damaged[start + 8 + 2 * i] = static_cast<char>(offset >> 8);
        damaged[start + 9 + 2 * i] = static_cast<char>(offset & 0xff);
    }
    const SqlitePageReader shared(damaged);
    qint64 overflow = 0;
    const std::vector<SqlitePageReader::Row> rows = shared.LeafRows(page);
    for (const SqlitePageReader::Row& row : rows)
        overflow += row.spilled.size();
    EXPECT_GE(rows.size(), 1u);
    EXPECT_LE(overflow, damaged.size());
}

INSTANTIATE_TEST_SUITE_P(Files, SqlitePageReaderTest,
                         ::testing::Values(FileKind{512, "UTF-8", 0}, FileKind{1024, "UTF-8", 0},
                                           FileKind{4096, "UTF-8", 0}, FileKind{4096, "UTF-16le", 0},
                                           FileKind{8192, "UTF-16be", 32}, FileKind{65536, "UTF-8", 0}));

} // namespace
