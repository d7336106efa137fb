// Reads an SQLite database file page by page without trusting it: every tree is
// walked from its root with strict checks, pages that no tree reaches are offered to
// the table whose shape and key range they fit, and only rows that pass reach the
// sink. Memory holds one byte per page and the page being read, whatever the size.
#pragma once

#include "standin/LoggedSource.h"
#include "standin/PageSource.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet::standin {

// One value of a record. Text and blobs point into the reader's buffers and stay
// valid until the sink's call returns.
struct Value {
    enum Kind : std::uint8_t { Null, Integer, Real, Text, Blob } kind = Null;
    std::int64_t integer = 0;
    double real = 0;
    const unsigned char* bytes = nullptr;
    std::size_t length = 0;
};

struct SchemaEntry {
    std::string type, name, table, sql;
    std::uint32_t root = 0;
    bool sqlReadable = true; // text that is valid in the file's encoding
};

struct Header {
    std::uint32_t pageSize = 0, usable = 0, pageCount = 0;
    std::uint32_t headerPageCount = 0; // what the header says, trusted or not
    bool headerCountTrusted = false;
    int textEncoding = 1;              // 1 UTF-8, 2 UTF-16le, 3 UTF-16be
    std::uint32_t userVersion = 0, applicationId = 0;
    bool wal = false, autoVacuum = false, incrementalVacuum = false;
};

// What became of one table's rows.
struct TableCount {
    std::string name;
    std::uint32_t root = 0;
    long long rows = 0;        // passed every check
    long long dropped = 0;     // cells that failed a check: known lost
    long long adopted = 0;     // rows from pages that no tree reached (among `rows`)
    long long pagesLost = 0;   // pages of its tree unreadable or missing: rows unknown
    std::size_t maxColumns = 0;
};

// Receives what the walk finds. Rows come table by table in key order, then the
// rows of adopted pages.
class SalvageSink {
public:
    virtual ~SalvageSink() = default;
    virtual void schema(const Header& header, const std::vector<SchemaEntry>& entries,
                        const std::vector<TableCount>& shapes) = 0;
    // Returns false when the row was refused (a constraint): counted as dropped.
    virtual bool row(std::uint32_t root, std::int64_t rowid, const std::vector<Value>& values) = 0;
};

// A row kept with text that is not valid in the file's encoding or holds NUL bytes.
struct OddRow {
    std::string table;
    std::int64_t rowid = 0;
    bool withoutRowid = false;
};

struct Survey {
    Header header;
    bool readable = false;         // an SQLite file header with a usable page size
    std::vector<SchemaEntry> schema;
    std::vector<TableCount> tables;
    std::vector<std::string> problems; // what was found damaged, in words
    bool tableDamage = false;      // anything that needs a salvage
    bool indexDamage = false;      // damage in index trees only
    long long orphanPages = 0;     // reached by no tree, not free, not taken up
    long long orphanRows = 0;      // rows on those pages
    bool schemaDamaged = false;    // page 1's tree: its rows were looked for by a scan
    std::string schemaRowProblem;  // the first schema row of no shape SQLite writes, in words
    bool treesCut = false;         // a table's tree lost a page
    bool freelistComplete = true;
    std::vector<std::string> damagedIndexes; // indexes whose own pages showed damage
    std::vector<OddRow> oddText;   // the first of them
    long long oddTextRows = 0;

    bool damaged() const { return tableDamage || indexDamage; }
    bool rowsLost() const;
};

// Walks every tree of the file. With a sink, passes it the schema and every row that
// passed; without one, it only checks, and `stopAtTableDamage` ends the walk at the
// first damage that needs a salvage.
Survey ReadDatabase(const PageSource& source, SalvageSink* sink, bool stopAtTableDamage = false);

} // namespace quillet::standin
