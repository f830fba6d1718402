#pragma once

// Reads the rows of an SQLite database file straight from its pages, for a
// file SQLite itself refuses to walk: a table whose interior pages are
// damaged still has its rows on its leaf pages. Every offset, length and page
// number read from the file is checked before it is used; a cell that fails
// any check is left out, never guessed at, so what comes back is exactly what
// the file holds.
//
// The file's bytes are held by the reader (a shared, not a copied, buffer);
// the texts and blobs of the rows point into them, or into the row's own
// buffer when a row went on over overflow pages, and live as long as both.
//
// Thread contract: a reader is immutable after construction; any thread may
// read from it.

#include <QByteArray>

#include <cstdint>
#include <vector>

class SqlitePageReader
{
public:
    enum PageType {
        IndexInterior = 0x02,
        TableInterior = 0x05,
        IndexLeaf = 0x0a,
        TableLeaf = 0x0d,
    };
    // Storage classes as SQLite numbers them (SQLITE_INTEGER ...).
    enum FieldType { Integer = 1, Real = 2, Text = 3, Blob = 4, Null = 5 };

    struct Field {
        int type = Null;
        int64_t integer = 0;
        double real = 0;
        const char* data = nullptr;   // Text and Blob: the bytes
        int size = 0;
    };
    struct Row {
        int64_t rowid = 0;
        std::vector<Field> fields;
        // The record as stored: its header and body, one run of bytes.
        const char* payload = nullptr;
        int payloadSize = 0;
        // The payload of a row that went on over overflow pages, put together.
        QByteArray spilled;
    };

    // `pageSize` 0: the file header's, or, when the header does not read, the
    // size at which the most pages read as table leaves.
    explicit SqlitePageReader(const QByteArray& file, int pageSize = 0);

    // False when no page size could be found: nothing reads.
    bool Valid() const { return m_pageSize > 0; }
    int PageSize() const { return m_pageSize; }
    int UsableSize() const { return m_usable; }
    // Pages the file holds, the last one possibly cut short.
    int PageCount() const { return m_pageCount; }
    // SQLITE_UTF8, SQLITE_UTF16LE or SQLITE_UTF16BE, as the header says (UTF-8
    // when it does not read).
    int TextEncoding() const { return m_encoding; }

    // The b-tree page type of `page` (1-based), 0 when it is none or not there.
    int TypeOf(int page) const;
    // The rows of table leaf `page` whose cells are whole and well formed, in
    // cell order; `bad` (may be null) gets the number of cells left out.
    std::vector<Row> LeafRows(int page, int* bad = nullptr) const;
    // The table leaf pages below `root`, left to right, as far as its
    // interior pages read. Pages already marked in `seen` are not entered;
    // every page entered is marked. `whole` (may be null) is false when some
    // page of the tree did not read.
    std::vector<int> LeavesOf(int root, std::vector<bool>& seen, bool* whole = nullptr) const;
    // Whether the file begins with an SQLite header.
    bool HeaderReads() const { return m_header; }
    // The pages of the freelist, as far as it reads from the header on.
    std::vector<int> FreelistPages() const;
    // Without the header: the pages that look like freelist trunk pages (no
    // b-tree page, a next trunk and a count in range, every page it lists
    // in the file), with the pages they list.
    std::vector<int> FreelistPagesByLook() const;

    // Reads one leaf page image on its own (no overflow pages to follow):
    // what the fuzz entry point and the page guess use.
    static std::vector<Row> LeafRowsOfImage(const char* page, int bytes, int usable, int headerOffset,
                                            int* bad = nullptr);

private:
    const char* PageData(int page, int* present) const;
    // `overflowLeft`: the bytes the page's rows put together from overflow
    // pages may still take, lowered by this row's.
    bool ReadCell(const char* page, int present, int offset, int64_t* overflowLeft, Row& row) const;
    bool GatherOverflow(int first, int64_t total, int local, const char* localBytes, Row& row) const;

    QByteArray m_file;
    int m_pageSize = 0;
    int m_usable = 0;
    int m_pageCount = 0;
    int m_encoding = 1;
    bool m_header = false;
};
