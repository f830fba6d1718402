// Fuzz entry point of the library's page reader: whatever bytes it is given
// as a leaf page, or as a whole file, it must not crash, and every row it
// gives back must be a record that lies whole in those bytes and says what
// they say (checked here by a decoding of its own).
//
// The first byte chooses the page's geometry: bits 0-1 the page size (512,
// 1 K, 4 K, 64 K), bits 2-4 reserved bytes (times 8), bit 5 the page is the
// first (its header takes 100 bytes), bit 6 the page size is guessed for the
// whole file, bit 7 the file is also repaired into a library in memory (its
// schema's statements, the tables its pages are given to, the rows copied).
// The rest is the page, or the file.
#include "MusicDatabaseRepair.h"
#include "SqlitePageReader.h"

#include <QByteArray>
#include <QtGlobal>
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Byte = unsigned char;

void Fail(const char* what)
{
    __builtin_trap();
    (void)what;
}

int Varint(const Byte* p, const Byte* end, uint64_t* out)
{
    uint64_t v = 0;
    for (int i = 0; i < 9 && p + i < end; ++i) {
        if (i == 8) {
            *out = v << 8 | p[i];
            return 9;
        }
        v = v << 7 | (p[i] & 0x7f);
        if (!(p[i] & 0x80)) {
            *out = v;
            return i + 1;
        }
    }
    return 0;
}

// The row says exactly what its record's bytes say.
void CheckRecord(const SqlitePageReader::Row& row)
{
    const Byte* p = reinterpret_cast<const Byte*>(row.payload);
    const Byte* end = p + row.payloadSize;
    uint64_t header = 0;
    const int first = Varint(p, end, &header);
    if (!first || header > static_cast<uint64_t>(row.payloadSize))
        Fail("header");
    const Byte* type = p + first;
    const Byte* body = p + header;
    size_t field = 0;
    while (type < p + header) {
        uint64_t t = 0;
        const int n = Varint(type, p + header, &t);
        if (!n || field >= row.fields.size())
            Fail("serial type");
        type += n;
        const SqlitePageReader::Field& f = row.fields[field++];
        static const int kWidth[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};
        if (t >= 10 && t < 12)
            Fail("reserved type");
        const uint64_t width = t < 10 ? static_cast<uint64_t>(kWidth[t]) : (t - 12) / 2;
        if (width > static_cast<uint64_t>(end - body))
            Fail("value past the record");
        if (t == 0) {
            if (f.type != SqlitePageReader::Null)
                Fail("null");
        } else if (t <= 6) {
            uint64_t bits = body[0] & 0x80 ? ~uint64_t(0) : 0;
            for (uint64_t i = 0; i < width; ++i)
                bits = bits << 8 | body[i];
            if (f.type != SqlitePageReader::Integer || f.integer != static_cast<int64_t>(bits))
                Fail("integer");
        } else if (t == 7) {
            uint64_t bits = 0;
            for (int i = 0; i < 8; ++i)
                bits = bits << 8 | body[i];
            if (f.type != SqlitePageReader::Real || std::memcmp(&bits, &f.real, 8) != 0)
                Fail("real");
        } else if (t == 8 || t == 9) {
            if (f.type != SqlitePageReader::Integer || f.integer != static_cast<int64_t>(t - 8))
                Fail("constant");
        } else {
            const int kind = (t & 1) ? SqlitePageReader::Text : SqlitePageReader::Blob;
            if (f.type != kind || f.data != reinterpret_cast<const char*>(body)
                || f.size != static_cast<int>(width))
                Fail("text or blob");
        }
        body += width;
    }
    if (field != row.fields.size() || body != end)
        Fail("record length");
}

bool Inside(const char* at, int size, const char* begin, int length)
{
    return at >= begin && size >= 0 && at + size <= begin + length;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The repair says what it found in the log: millions of times here.
    static const bool quiet = (qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {}),
                               true);
    (void)quiet;
    if (size < 2)
        return 0;
    static const int kPageSizes[] = {512, 1024, 4096, 65536};
    const int choice = data[0];
    const int pageSize = kPageSizes[choice & 3];
    const int usable = pageSize - ((choice >> 2) & 7) * 8;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const int length = static_cast<int>(size - 1 < static_cast<size_t>(1 << 24) ? size - 1 : 1 << 24);

    const int page = length < pageSize ? length : pageSize;
    for (const SqlitePageReader::Row& row :
         SqlitePageReader::LeafRowsOfImage(bytes, page, usable, (choice & 0x20) ? 100 : 0)) {
        if (!Inside(row.payload, row.payloadSize, bytes, page))
            Fail("row outside the page");
        CheckRecord(row);
    }

    const QByteArray file = QByteArray::fromRawData(bytes, length);
    if (choice & 0x80) {
        sqlite3* library = nullptr;
        if (sqlite3_open(":memory:", &library) == SQLITE_OK) {
            const music_db::RepairResult saved = music_db::FillFreshLibrary(library, file);
            if (saved.songs < 0 || saved.items < 0 || saved.covers < 0 || saved.lists < 0)
                Fail("counts");
        }
        sqlite3_close(library);
    }
    const SqlitePageReader reader(file, (choice & 0x40) ? 0 : pageSize);
    if (!reader.Valid())
        return 0;
    std::vector<bool> seen;
    reader.LeavesOf(1, seen);
    reader.LeavesOf(2, seen);
    reader.FreelistPages();
    reader.FreelistPagesByLook();
    for (int p = 1; p <= reader.PageCount() && p <= 4096; ++p) {
        for (const SqlitePageReader::Row& row : reader.LeafRows(p)) {
            if (!Inside(row.payload, row.payloadSize, bytes, length)
                && !Inside(row.payload, row.payloadSize, row.spilled.constData(), row.spilled.size()))
                Fail("row outside the file");
            CheckRecord(row);
        }
    }
    return 0;
}
