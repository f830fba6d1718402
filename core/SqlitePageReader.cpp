// SQLite's file format (https://www.sqlite.org/fileformat2.html), read side
// only, as far as table b-trees go: the header, table interior and leaf
// pages, overflow chains, the record format and the freelist.
#include "SqlitePageReader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kHeaderSize = 100;
constexpr int kMinUsable = 480;   // the smallest usable size SQLite allows
constexpr int kLeafHeader = 8;
constexpr int kInteriorHeader = 12;
// SQLite's largest value (SQLITE_MAX_LENGTH): no record is longer.
constexpr int64_t kMaxPayload = 1000000000;

using Byte = unsigned char;

unsigned Get16(const Byte* p)
{
    return (static_cast<unsigned>(p[0]) << 8) | p[1];
}

uint32_t Get32(const Byte* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16)
           | (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// An SQLite varint at p, which must end before `end`: its length (1 to 9),
// or 0 when it does not.
int GetVarint(const Byte* p, const Byte* end, uint64_t* out)
{
    uint64_t value = 0;
    for (int i = 0; i < 9; ++i) {
        if (p + i >= end)
            return 0;
        if (i == 8) {
            *out = (value << 8) | p[i];
            return 9;
        }
        value = (value << 7) | (p[i] & 0x7f);
        if (!(p[i] & 0x80)) {
            *out = value;
            return i + 1;
        }
    }
    return 0;
}

// The bytes a value of serial type `type` takes in a record's body; -1 for
// the types the format reserves.
int64_t SerialSize(uint64_t type)
{
    static const int kSizes[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};
    if (type < 10)
        return kSizes[type];
    if (type < 12)
        return -1;
    // Beyond any payload: the caller's length check refuses it.
    if (type > static_cast<uint64_t>(2 * kMaxPayload + 13))
        return kMaxPayload + 1;
    return static_cast<int64_t>((type - 12) / 2);
}

int64_t BigEndianInt(const Byte* p, int bytes)
{
    // Sign from the first byte, then the rest.
    int64_t value = static_cast<signed char>(p[0]);
    for (int i = 1; i < bytes; ++i)
        value = static_cast<int64_t>(static_cast<uint64_t>(value) << 8 | p[i]);
    return value;
}

// The record of `payload`, which must be exactly as long as its header and
// body say: fields into `row`; false when it is no well-formed record.
bool ParseRecord(const char* payload, int64_t size, SqlitePageReader::Row& row)
{
    const Byte* p = reinterpret_cast<const Byte*>(payload);
    const Byte* end = p + size;
    uint64_t headerSize = 0;
    const int first = GetVarint(p, end, &headerSize);
    if (first == 0 || headerSize < static_cast<uint64_t>(first) || headerSize > static_cast<uint64_t>(size))
        return false;
    const Byte* headerEnd = p + headerSize;
    std::vector<uint64_t> types;
    int64_t body = 0;
    for (const Byte* at = p + first; at < headerEnd;) {
        uint64_t type = 0;
        const int length = GetVarint(at, headerEnd, &type);
        if (length == 0)
            return false;
        const int64_t bytes = SerialSize(type);
        if (bytes < 0 || bytes > size)
            return false;
        body += bytes;
        if (body > size)
            return false;
        types.push_back(type);
        at += length;
    }
    if (types.empty() || static_cast<int64_t>(headerSize) + body != size)
        return false;
    row.fields.clear();
    row.fields.reserve(types.size());
    const Byte* value = headerEnd;
    for (uint64_t type : types) {
        SqlitePageReader::Field field;
        const int64_t bytes = SerialSize(type);
        if (type == 0) {
            field.type = SqlitePageReader::Null;
        } else if (type <= 6) {
            field.type = SqlitePageReader::Integer;
            field.integer = BigEndianInt(value, static_cast<int>(bytes));
        } else if (type == 7) {
            field.type = SqlitePageReader::Real;
            uint64_t bits = 0;
            for (int i = 0; i < 8; ++i)
                bits = bits << 8 | value[i];
            std::memcpy(&field.real, &bits, sizeof bits);
        } else if (type == 8 || type == 9) {
            field.type = SqlitePageReader::Integer;
            field.integer = type == 9 ? 1 : 0;
        } else {
            field.type = (type & 1) ? SqlitePageReader::Text : SqlitePageReader::Blob;
            field.data = reinterpret_cast<const char*>(value);
            field.size = static_cast<int>(bytes);
        }
        value += bytes;
        row.fields.push_back(field);
    }
    row.payload = payload;
    row.payloadSize = static_cast<int>(size);
    return true;
}

// How much of a table leaf cell's payload of `size` bytes stays on its page
// (the rest goes on to overflow pages).
int64_t LocalPayload(int64_t size, int usable)
{
    const int64_t most = usable - 35;
    if (size <= most)
        return size;
    const int64_t least = (static_cast<int64_t>(usable) - 12) * 32 / 255 - 23;
    const int64_t local = least + (size - least) % (usable - 4);
    return local <= most ? local : least;
}

} // namespace

SqlitePageReader::SqlitePageReader(const QByteArray& file, int pageSize)
    : m_file(file)
{
    const Byte* bytes = reinterpret_cast<const Byte*>(m_file.constData());
    const bool header = m_file.size() >= kHeaderSize && std::memcmp(bytes, "SQLite format 3", 16) == 0;
    int reserved = 0;
    m_header = header;
    if (header) {
        const unsigned size = Get16(bytes + 16);
        const int fromHeader = size == 1 ? 65536 : static_cast<int>(size);
        const bool power = fromHeader >= 512 && fromHeader <= 65536 && (fromHeader & (fromHeader - 1)) == 0;
        if (pageSize == 0 && power)
            pageSize = fromHeader;
        if (fromHeader - bytes[20] >= kMinUsable)
            reserved = bytes[20];
        const uint32_t encoding = Get32(bytes + 56);
        if (encoding >= 1 && encoding <= 3)
            m_encoding = static_cast<int>(encoding);
    }
    if (pageSize == 0) {
        // The size at which the most pages read as table leaves with rows.
        int best = 0;
        for (int candidate = 512; candidate <= 65536; candidate *= 2) {
            int leaves = 0;
            for (qint64 at = 0; at < m_file.size(); at += candidate) {
                const int present = static_cast<int>(qMin<qint64>(candidate, m_file.size() - at));
                const int offset = at == 0 ? kHeaderSize : 0;
                if (present > offset && bytes[at + offset] == TableLeaf
                    && !LeafRowsOfImage(m_file.constData() + at, present, candidate, offset).empty())
                    ++leaves;
            }
            // Ties keep the smaller size: a larger one sees only some leaves whole.
            if (leaves > best) {
                best = leaves;
                pageSize = candidate;
            }
        }
    }
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        return;
    m_pageSize = pageSize;
    m_usable = pageSize - reserved;
    m_pageCount = static_cast<int>(qMin<qint64>((m_file.size() + pageSize - 1) / pageSize, 0x7fffffff));
}

const char* SqlitePageReader::PageData(int page, int* present) const
{
    if (page < 1 || page > m_pageCount)
        return nullptr;
    const qint64 offset = static_cast<qint64>(page - 1) * m_pageSize;
    *present = static_cast<int>(qMin<qint64>(m_pageSize, m_file.size() - offset));
    return m_file.constData() + offset;
}

int SqlitePageReader::TypeOf(int page) const
{
    int present = 0;
    const char* data = PageData(page, &present);
    const int offset = page == 1 ? kHeaderSize : 0;
    if (!data || present <= offset)
        return 0;
    const int type = static_cast<Byte>(data[offset]);
    return type == IndexInterior || type == TableInterior || type == IndexLeaf || type == TableLeaf ? type : 0;
}

namespace {

// The cells of a table leaf page image: `read(offset, limit, row)` reads the
// cell at `offset`, whose bytes must end before `limit`.
template <typename ReadCell>
std::vector<SqlitePageReader::Row> ReadLeaf(const char* page, int present, int usable, int headerOffset, int* bad,
                                            ReadCell read)
{
    std::vector<SqlitePageReader::Row> rows;
    if (bad)
        *bad = 0;
    const int limit = qMin(present, usable);
    if (headerOffset + kLeafHeader > limit
        || static_cast<Byte>(page[headerOffset]) != SqlitePageReader::TableLeaf)
        return rows;
    const Byte* bytes = reinterpret_cast<const Byte*>(page);
    const int cells = static_cast<int>(Get16(bytes + headerOffset + 3));
    const int pointers = headerOffset + kLeafHeader;
    const int contentStart = pointers + 2 * cells;
    if (contentStart > limit) {
        if (bad)
            *bad = cells;
        return rows;
    }
    rows.reserve(static_cast<size_t>(cells));
    for (int i = 0; i < cells; ++i) {
        const int offset = static_cast<int>(Get16(bytes + pointers + 2 * i));
        SqlitePageReader::Row row;
        if (offset >= contentStart && offset < limit && read(offset, limit, row))
            rows.push_back(std::move(row));
        else if (bad)
            ++*bad;
    }
    return rows;
}

// The start of a table leaf cell: its payload's size, its rowid and where
// its payload begins; false when they do not lie whole before `limit`.
bool CellHead(const char* page, int offset, int limit, int64_t* size, int64_t* rowid, int* payload)
{
    const Byte* bytes = reinterpret_cast<const Byte*>(page);
    const Byte* end = bytes + limit;
    uint64_t payloadSize = 0;
    uint64_t key = 0;
    const int a = GetVarint(bytes + offset, end, &payloadSize);
    if (a == 0 || payloadSize > static_cast<uint64_t>(kMaxPayload))
        return false;
    const int b = GetVarint(bytes + offset + a, end, &key);
    if (b == 0)
        return false;
    *size = static_cast<int64_t>(payloadSize);
    *rowid = static_cast<int64_t>(key);
    *payload = offset + a + b;
    return true;
}

} // namespace

std::vector<SqlitePageReader::Row> SqlitePageReader::LeafRowsOfImage(const char* page, int bytes, int usable,
                                                                     int headerOffset, int* bad)
{
    if (!page || bytes <= 0 || usable < kMinUsable)
        return {};
    return ReadLeaf(page, bytes, usable, headerOffset, bad, [&](int offset, int limit, Row& row) {
        int64_t size = 0;
        int payload = 0;
        if (!CellHead(page, offset, limit, &size, &row.rowid, &payload))
            return false;
        // Only what lies on the page: a cell that goes on elsewhere is left out.
        if (LocalPayload(size, usable) != size || payload + size > limit)
            return false;
        return ParseRecord(page + payload, size, row);
    });
}

std::vector<SqlitePageReader::Row> SqlitePageReader::LeafRows(int page, int* bad) const
{
    int present = 0;
    const char* data = PageData(page, &present);
    if (bad)
        *bad = 0;
    if (!data || !Valid())
        return {};
    // The overflow pages of a sound page's cells are distinct pages of the
    // file, so the rows put together from them hold no more than the file:
    // cells that claim more share pages, and are left out before they could
    // ask for more memory than the file has.
    int64_t overflowLeft = m_file.size();
    return ReadLeaf(data, present, m_usable, page == 1 ? kHeaderSize : 0, bad,
                    [&](int offset, int limit, Row& row) { return ReadCell(data, limit, offset, &overflowLeft, row); });
}

bool SqlitePageReader::ReadCell(const char* page, int limit, int offset, int64_t* overflowLeft, Row& row) const
{
    int64_t size = 0;
    int payload = 0;
    if (!CellHead(page, offset, limit, &size, &row.rowid, &payload))
        return false;
    const int64_t local = LocalPayload(size, m_usable);
    if (local == size) {
        if (payload + size > limit)
            return false;
        return ParseRecord(page + payload, size, row);
    }
    if (payload + local + 4 > limit || size > *overflowLeft)
        return false;
    const int first = static_cast<int>(qMin<uint32_t>(Get32(reinterpret_cast<const Byte*>(page + payload + local)),
                                                      0x7fffffff));
    if (!GatherOverflow(first, size, static_cast<int>(local), page + payload, row))
        return false;
    *overflowLeft -= size;
    // The record lives in the row's own buffer from here on.
    return ParseRecord(row.spilled.constData(), size, row);
}

bool SqlitePageReader::GatherOverflow(int first, int64_t total, int local, const char* localBytes, Row& row) const
{
    const int64_t perPage = m_usable - 4;
    const int64_t rest = total - local;
    const int64_t pages = (rest + perPage - 1) / perPage;
    if (pages > m_pageCount)
        return false;
    // The chain's pages, checked for repeats once it is whole: a chain that
    // comes back on itself would repeat bytes. Sorting them costs the chain's
    // length, not the file's for every cell that overflows.
    std::vector<int> chain;
    chain.reserve(static_cast<size_t>(pages));
    int page = first;
    int64_t left = rest;
    while (left > 0) {
        int present = 0;
        const char* data = page >= 2 ? PageData(page, &present) : nullptr;
        const int chunk = static_cast<int>(qMin(left, perPage));
        if (!data || present < 4 + chunk)
            return false;
        chain.push_back(page);
        const uint32_t next = Get32(reinterpret_cast<const Byte*>(data));
        left -= chunk;
        if (left == 0) {
            // The last page of a chain points nowhere.
            if (next != 0)
                return false;
        } else {
            if (next > static_cast<uint32_t>(m_pageCount))
                return false;
            page = static_cast<int>(next);
        }
    }
    std::vector<int> sorted = chain;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
        return false;
    row.spilled.clear();
    row.spilled.reserve(static_cast<int>(total));
    row.spilled.append(localBytes, local);
    left = rest;
    for (int at : chain) {
        int present = 0;
        const char* data = PageData(at, &present);
        const int chunk = static_cast<int>(qMin(left, perPage));
        row.spilled.append(data + 4, chunk);
        left -= chunk;
    }
    return true;
}

std::vector<int> SqlitePageReader::LeavesOf(int root, std::vector<bool>& seen, bool* whole) const
{
    std::vector<int> leaves;
    if (whole)
        *whole = true;
    auto broken = [whole] {
        if (whole)
            *whole = false;
    };
    if (seen.size() < static_cast<size_t>(m_pageCount) + 1)
        seen.resize(static_cast<size_t>(m_pageCount) + 1, false);
    std::vector<int> stack{root};
    while (!stack.empty()) {
        const int page = stack.back();
        stack.pop_back();
        int present = 0;
        const char* data = PageData(page, &present);
        if (!data || seen[static_cast<size_t>(page)]) {
            broken();
            continue;
        }
        seen[static_cast<size_t>(page)] = true;
        const int offset = page == 1 ? kHeaderSize : 0;
        const int limit = qMin(present, m_usable);
        const int type = TypeOf(page);
        if (type == TableLeaf) {
            leaves.push_back(page);
            continue;
        }
        if (type != TableInterior || offset + kInteriorHeader > limit) {
            broken();
            continue;
        }
        const Byte* bytes = reinterpret_cast<const Byte*>(data);
        const int cells = static_cast<int>(Get16(bytes + offset + 3));
        const int pointers = offset + kInteriorHeader;
        const int contentStart = pointers + 2 * cells;
        if (contentStart > limit) {
            broken();
            continue;
        }
        // Right-most child last: pushed first.
        stack.push_back(static_cast<int>(qMin<uint32_t>(Get32(bytes + offset + 8), 0x7fffffff)));
        for (int i = cells - 1; i >= 0; --i) {
            const int cell = static_cast<int>(Get16(bytes + pointers + 2 * i));
            if (cell < contentStart || cell + 4 > limit) {
                broken();
                continue;
            }
            stack.push_back(static_cast<int>(qMin<uint32_t>(Get32(bytes + cell), 0x7fffffff)));
        }
    }
    return leaves;
}

std::vector<int> SqlitePageReader::FreelistPages() const
{
    std::vector<int> pages;
    if (!Valid() || m_file.size() < kHeaderSize)
        return pages;
    const Byte* header = reinterpret_cast<const Byte*>(m_file.constData());
    std::vector<bool> visited(static_cast<size_t>(m_pageCount) + 1, false);
    uint32_t trunk = Get32(header + 32);
    const uint32_t perTrunk = static_cast<uint32_t>(m_usable / 4 - 2);
    while (trunk >= 2 && trunk <= static_cast<uint32_t>(m_pageCount) && !visited[trunk]) {
        visited[trunk] = true;
        pages.push_back(static_cast<int>(trunk));
        int present = 0;
        const Byte* data = reinterpret_cast<const Byte*>(PageData(static_cast<int>(trunk), &present));
        if (present < 8)
            break;
        const uint32_t count = qMin(Get32(data + 4), perTrunk);
        for (uint32_t i = 0; i < count && 8 + 4 * static_cast<int>(i) + 4 <= present; ++i) {
            const uint32_t leaf = Get32(data + 8 + 4 * i);
            if (leaf >= 2 && leaf <= static_cast<uint32_t>(m_pageCount) && !visited[leaf]) {
                visited[leaf] = true;
                pages.push_back(static_cast<int>(leaf));
            }
        }
        trunk = Get32(data);
    }
    return pages;
}

std::vector<int> SqlitePageReader::FreelistPagesByLook() const
{
    std::vector<int> pages;
    const uint32_t perTrunk = static_cast<uint32_t>(m_usable / 4 - 2);
    for (int page = 2; page <= m_pageCount; ++page) {
        int present = 0;
        const Byte* data = reinterpret_cast<const Byte*>(PageData(page, &present));
        // A b-tree page starts with its type, which makes no page number in
        // range; text, which overflow pages mostly hold, makes none either.
        if (!data || present < 8 || TypeOf(page) != 0)
            continue;
        const uint32_t next = Get32(data);
        const uint32_t count = Get32(data + 4);
        if (next > static_cast<uint32_t>(m_pageCount) || next == static_cast<uint32_t>(page) || count == 0
            || count > perTrunk || 8 + 4 * static_cast<int64_t>(count) > present)
            continue;
        bool listed = true;
        for (uint32_t i = 0; i < count && listed; ++i) {
            const uint32_t leaf = Get32(data + 8 + 4 * i);
            listed = leaf >= 2 && leaf <= static_cast<uint32_t>(m_pageCount) && leaf != static_cast<uint32_t>(page);
        }
        if (!listed)
            continue;
        pages.push_back(page);
        for (uint32_t i = 0; i < count; ++i)
            pages.push_back(static_cast<int>(Get32(data + 8 + 4 * i)));
    }
    return pages;
}
