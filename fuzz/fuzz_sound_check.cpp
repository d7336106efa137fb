// The check that comes before a compaction's first write, on any bytes after an SQLite
// file's magic: it never crashes or loops, and a file it calls sound is one that the
// compaction may rebuild: VACUUM INTO makes a copy without an error, the copy passes
// integrity_check, and every table keeps its number of rows.
#include "SqliteInput.h"
#include "standin/SoundCheck.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// An open in-memory database; closed in every case.
struct Memory {
    sqlite3* db = nullptr;
    explicit Memory(const char* name) {
        sqlite3_open_v2(name, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr);
    }
    ~Memory() { sqlite3_close_v2(db); }
};

std::vector<std::string> Tables(sqlite3* db) {
    std::vector<std::string> names;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_list WHERE schema = 'main' AND type = 'table'", -1,
                           &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW)
            names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return names;
}

// The table's rows, or -1 when they cannot be counted.
long long Rows(sqlite3* db, const std::string& table) {
    std::string quoted = "\"";
    for (char c : table)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    const std::string sql = "SELECT count(*) FROM " + quoted + "\"";
    sqlite3_stmt* st = nullptr;
    long long rows = -1;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        rows = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return rows;
}

bool IntegrityOk(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    bool ok = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
              sqlite3_step(st) == SQLITE_ROW &&
              std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok") == 0;
    sqlite3_finalize(st);
    return ok;
}

// A small sound database of 512-byte pages: tables with and without rowids, an index,
// overflow pages and free pages, to be spoilt byte by byte.
const std::vector<unsigned char>& SoundFile() {
    static const std::vector<unsigned char> bytes = [] {
        Memory db(":memory:");
        sqlite3_exec(db.db,
                     "PRAGMA page_size = 512; VACUUM;"
                     "CREATE TABLE t(id INTEGER PRIMARY KEY, a TEXT NOT NULL, b BLOB);"
                     "CREATE INDEX t_a ON t(a);"
                     "CREATE TABLE k(k TEXT PRIMARY KEY, v) WITHOUT ROWID;"
                     "CREATE TABLE gone(x);"
                     "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 40)"
                     " INSERT INTO t(a, b) SELECT 'row ' || x, zeroblob(x * 30) FROM n;"
                     "INSERT INTO k SELECT a, id FROM t; INSERT INTO gone SELECT b FROM t;"
                     "DELETE FROM t WHERE id % 4 = 0; DROP TABLE gone;",
                     nullptr, nullptr, nullptr);
        sqlite3_int64 size = 0;
        unsigned char* data = sqlite3_serialize(db.db, "main", &size, 0);
        std::vector<unsigned char> copy(data, data + size);
        sqlite3_free(data);
        return copy;
    }();
    return bytes;
}

// The file the input stands for. The first byte's low bits: 1, the input follows a
// sound header of 512-byte pages, so that it reaches the pages' own checks; 2, it is
// a list of changes (two bytes of offset, one of value) to the sound database above;
// neither, it is the header too.
std::vector<unsigned char> FileOf(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t flags = size > 0 ? data[0] : 0;
    if (size) {
        ++data;
        --size;
    }
    if (flags & 2) {
        std::vector<unsigned char> file = SoundFile();
        for (std::size_t i = 0; i + 3 <= size; i += 3)
            file[(std::size_t{data[i]} << 8 | data[i + 1]) % file.size()] = data[i + 2];
        return file;
    }
    return SqliteFileOf(data, size, flags & 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<unsigned char> bytes = FileOf(data, size);
    const std::size_t total = bytes.size();
    auto* file = static_cast<unsigned char*>(sqlite3_malloc64(total));
    if (!file)
        return 0;
    std::memcpy(file, bytes.data(), total);

    Memory source(":memory:");
    if (sqlite3_deserialize(source.db, "main", file, static_cast<sqlite3_int64>(total),
                            static_cast<sqlite3_int64>(total),
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY) != SQLITE_OK)
        return 0;
    // The check's reads of the schema and its pages, as the engine's would be.
    sqlite3_exec(source.db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    const quillet::standin::Soundness verdict =
        quillet::standin::CheckSoundness(source.db, "/nonexistent/fuzz.db", source.db);
    if (verdict.damaged || verdict.failure)
        return 0;

    Memory copy("file:/fuzz-copy?vfs=memdb");
    if (sqlite3_exec(source.db, "VACUUM INTO 'file:/fuzz-copy?vfs=memdb'", nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort(); // called sound, yet it cannot be rebuilt
    if (!IntegrityOk(copy.db))
        std::abort();
    for (const std::string& table : Tables(source.db)) {
        const long long before = Rows(source.db, table), after = Rows(copy.db, table);
        if (before >= 0 && before != after)
            std::abort();
    }
    return 0;
}
